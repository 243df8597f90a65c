#pragma once
// What karaoke-ctl checks before it opens a port or writes anything, so
// that bad input fails at once with nothing sent and nothing written.
#include <string>

#include "ctl/ctl_status.h"
#include "presets/preset_contents.h"

namespace kp::ctl {

// A preset file that a restore or verify can use whole: readable, and every
// key the unit's dump form needs present and within its range. Otherwise
// FileFailed with the file and its first problems in *error.
Status checkPresetFile(const std::string& path, bool fullModel, PresetContents* contents,
                       std::string* error);

// A preset file for diff, show or a report: readable, its values in range;
// a key it lacks is shown as missing.
Status checkReadablePreset(const std::string& path, PresetContents* contents, std::string* error);

// That a file can be written at path: its folder exists and takes a new
// file, and path is neither a folder nor a read-only file.
Status checkWritable(const std::string& path, std::string* error);

}  // namespace kp::ctl
