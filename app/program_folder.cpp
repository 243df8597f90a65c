#include "app/program_folder.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "core/utf8_path.h"
#include "ini/ini.h"

namespace kp {

namespace fs = std::filesystem;

std::string installedResources(const std::string& exeDir) {
  std::error_code ec;
  const fs::path share = pathFromUtf8(exeDir).parent_path() / "share" / "karaoke-panel";
  return fs::is_regular_file(share / "config.ini", ec) ? utf8FromPath(share) : std::string();
}

namespace {

std::string lowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

void addMissingSettings(const std::string& shipped, const std::string& mine) {
  std::vector<std::string> have = Ini_Keys("config", mine);
  if (have.empty()) return;  // no file of the user's to complete
  for (std::string& k : have) k = lowerAscii(k);
  for (const std::string& key : Ini_Keys("config", shipped)) {
    if (std::find(have.begin(), have.end(), lowerAscii(key)) != have.end()) continue;
    if (!Write_Ini("config", key, Read_Ini("config", key, shipped), mine)) return;
    have.push_back(lowerAscii(key));
  }
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
  // A config.ini kept from an earlier version lacks the texts of this one.
  addMissingSettings(utf8FromPath(from / "config.ini"), utf8FromPath(to / "config.ini"));
  return userDir;
}

}  // namespace kp
