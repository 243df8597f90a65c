#pragma once
// The help command: hands the help document to the desktop's own viewer.
#include <string>

#include "core/ports.h"

namespace kp {

// <folder>/help.chm when present, otherwise the shipped HTML help
// <folder>/help/index.html. True when a document was handed over and the
// desktop took it; false, with nothing shown, when there is none.
bool look_help(const std::string& programFolder, Desktop& desktop);

}  // namespace kp
