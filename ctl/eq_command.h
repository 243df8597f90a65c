#pragma once
// karaoke-ctl eq: the 31 bands of an equaliser proposed from a room's
// measured response, printed, and with -o put into a copy of a preset file.
// Touches no unit.
#include <string>

#include "ctl/ctl_args.h"
#include "ctl/unit_commands.h"

namespace kp::ctl {

Outcome runEqCommand(const Options& options, const std::string& programFolder);

}  // namespace kp::ctl
