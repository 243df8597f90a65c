#include "tests/support/rig.h"

#include "core/utf8_path.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

namespace kp::test {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto p = base / ("kp-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (std::filesystem::create_directory(p, ec)) {
      path_ = p;
      break;
    }
  }
}

TempDir::~TempDir() {
  // Tests leave read-only files and folders behind; they go too.
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto it = fs::recursive_directory_iterator(path_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code e;
    if (!fs::is_symlink(it->symlink_status(e)))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, e);
  }
  fs::remove_all(path_, ec);
}

std::string TempDir::str() const { return utf8FromPath(path_); }

std::string TempDir::file(const std::string& name) const {
  return utf8FromPath(path_ / pathFromUtf8(name));
}

void TempDir::write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(path_ / pathFromUtf8(name), std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream in(path_ / pathFromUtf8(name), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Rig::Rig() { config("[config]\r\nCOM=1\r\n"); }

Program& Rig::make() {
  program = std::make_unique<Program>(platform, folder.str());
  return *program;
}

}  // namespace kp::test
