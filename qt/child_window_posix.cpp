#include "qt/child_window.h"

// Children share the terminal, if any; nothing opens a window.
void startWithoutConsole(QProcess&) {}
