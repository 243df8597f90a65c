#include <windows.h>

#include <shellapi.h>

#include <QString>

#include "ui/qt_dialogs.h"

bool openWithDesktop(const std::string& path) {
  // The shell's "open" verb, as Explorer does on a double click: a .chm goes
  // to the help viewer, an .html to the browser.
  const std::wstring file = QString::fromStdString(path).toStdWString();
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}
