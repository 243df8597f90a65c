#include "shell/help.h"

#include <filesystem>
#include <system_error>

#include "core/state.h"

namespace kp {

#ifndef _WIN32
namespace {
bool isFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}
}  // namespace
#endif

bool look_help(const std::string& programFolder, Desktop& desktop) {
  const std::string chm = joinPath(programFolder, "help.chm");
#ifdef _WIN32
  return desktop.openDocument(chm);
#else
  // Few Linux desktops read compiled help, so the HTML help ships beside it.
  if (isFile(chm)) return desktop.openDocument(chm);
  const std::string html = joinPath(joinPath(programFolder, "help"), "index.html");
  if (isFile(html)) return desktop.openDocument(html);
  return false;
#endif
}

}  // namespace kp
