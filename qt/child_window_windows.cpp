#include <windows.h>

#include <QProcess>

#include "qt/child_window.h"

void startWithoutConsole(QProcess& process) {
  process.setCreateProcessArgumentsModifier(
      [](QProcess::CreateProcessArguments* args) { args->flags |= CREATE_NO_WINDOW; });
}
