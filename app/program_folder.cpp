#include "app/program_folder.h"

#include <filesystem>

#include "core/utf8_path.h"

namespace kp {

namespace fs = std::filesystem;

std::string installedResources(const std::string& exeDir) {
  std::error_code ec;
  const fs::path share = pathFromUtf8(exeDir).parent_path() / "share" / "karaoke-panel";
  return fs::is_regular_file(share / "config.ini", ec) ? utf8FromPath(share) : std::string();
}

std::string chooseProgramFolder(const std::string& exeDir, const std::string& userDir) {
  std::error_code ec;
  if (fs::is_regular_file(pathFromUtf8(exeDir) / "config.ini", ec)) return exeDir;
  const std::string share = installedResources(exeDir);
  if (share.empty() || userDir.empty()) return exeDir;
  const fs::path from = pathFromUtf8(share);
  const fs::path to = pathFromUtf8(userDir);
  fs::create_directories(to, ec);
  for (auto it = fs::recursive_directory_iterator(from, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path target = to / fs::relative(it->path(), from, ec);
    std::error_code e;
    if (it->is_directory(e))
      fs::create_directories(target, e);
    else if (!fs::exists(target, e))
      fs::copy_file(it->path(), target, e);
  }
  return userDir;
}

}  // namespace kp
