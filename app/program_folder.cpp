#include "app/program_folder.h"

#include <filesystem>

namespace kp {

namespace fs = std::filesystem;

std::string installedResources(const std::string& exeDir) {
  std::error_code ec;
  const fs::path share = fs::path(exeDir).parent_path() / "share" / "karaoke-panel";
  return fs::is_regular_file(share / "config.ini", ec) ? share.string() : std::string();
}

std::string chooseProgramFolder(const std::string& exeDir, const std::string& userDir) {
  std::error_code ec;
  if (fs::is_regular_file(fs::path(exeDir) / "config.ini", ec)) return exeDir;
  const std::string share = installedResources(exeDir);
  if (share.empty() || userDir.empty()) return exeDir;
  fs::create_directories(userDir, ec);
  for (auto it = fs::recursive_directory_iterator(share, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path target = fs::path(userDir) / fs::relative(it->path(), share, ec);
    std::error_code e;
    if (it->is_directory(e))
      fs::create_directories(target, e);
    else if (!fs::exists(target, e))
      fs::copy_file(it->path(), target, e);
  }
  return userDir;
}

}  // namespace kp
