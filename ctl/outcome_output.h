#pragma once
// How karaoke-ctl tells what a command did: results on standard output (the
// lines, or one JSON object), failures in words on standard error, and for
// a rooms run that started this process, tagged lines it reads.
#include "ctl/ctl_args.h"
#include "ctl/unit_commands.h"
#include "venue/engine_lines.h"

namespace kp::ctl {

void printOutcome(Outcome& outcome, const Options& options);

}  // namespace kp::ctl
