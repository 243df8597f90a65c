#pragma once
// The help command: hands the help document to the desktop's own viewer.
#include <string>

#include "core/ports.h"

namespace kp {

// Windows: <folder>\help.chm, whether or not it is there (the shell decides).
// Elsewhere: help.chm when present, otherwise the shipped HTML help
// <folder>/help/index.html. True when a document was handed over and the
// desktop took it; false, with nothing shown, when there is none.
bool look_help(const std::string& programFolder, Desktop& desktop);

}  // namespace kp
