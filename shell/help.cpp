#include "shell/help.h"

#include <filesystem>
#include <system_error>

#include "core/state.h"
#include "core/utf8_path.h"

namespace kp {

namespace {
bool isFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(pathFromUtf8(path), ec);
}
}  // namespace

bool look_help(const std::string& programFolder, Desktop& desktop) {
  // The compiled help where there is one; the HTML help ships beside it for
  // systems without a viewer for it, and for a folder that lacks it.
  const std::string chm = joinPath(programFolder, "help.chm");
  if (isFile(chm)) return desktop.openDocument(chm);
  const std::string html = joinPath(joinPath(programFolder, "help"), "index.html");
  if (isFile(html)) return desktop.openDocument(html);
  return false;
}

}  // namespace kp
