#pragma once
// The commands on preset files alone, with no unit: diff, show, and a
// report of a file.
#include <string>

#include "ctl/ctl_args.h"
#include "ctl/unit_commands.h"

namespace kp::ctl {

Outcome runFileCommand(const Options& options, const std::string& programFolder,
                       const ParameterTexts& texts);

}  // namespace kp::ctl
