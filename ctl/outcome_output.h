#pragma once
// How karaoke-ctl tells what a command did: results on standard output (the
// lines, or one JSON object), failures in words on standard error, and for
// a rooms run that started this process, tagged lines it reads.
#include "ctl/ctl_args.h"
#include "ctl/unit_commands.h"

namespace kp::ctl {

void printOutcome(Outcome& outcome, const Options& options);

// What a rooms run reads from each room's standard error besides progress.
inline constexpr const char* kSummaryTag = "@summary ";
inline constexpr const char* kDetailTag = "@detail ";
inline constexpr const char* kErrorTag = "@error ";

}  // namespace kp::ctl
