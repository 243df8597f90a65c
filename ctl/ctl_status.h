#pragma once
// How a karaoke-ctl command ended: its exit status, and the word for it in
// summaries and JSON.
namespace kp::ctl {

enum class Status : int {
  Done = 0,
  Differences = 1,  // verify or diff found values that differ
  Usage = 2,        // bad arguments or a bad rooms file: nothing was done
  NoAnswer = 3,     // the unit did not answer, stopped sending, or the link fell silent
  PortFailed = 4,   // the port cannot be opened, or failed under the program
  FileFailed = 5,   // a file cannot be read (or is no usable preset file) or written
  Incomplete =
      6,        // the unit did not confirm every setting, or reported values the panel cannot hold
  Stopped = 7,  // stopped on request (a signal, a closed console, Stop): the unit was unlinked
};

inline int exitCode(Status s) { return static_cast<int>(s); }

inline const char* statusWord(Status s) {
  switch (s) {
    case Status::Done:
      return "done";
    case Status::Differences:
      return "differences";
    case Status::Usage:
      return "usage";
    case Status::NoAnswer:
      return "no answer";
    case Status::PortFailed:
      return "port failed";
    case Status::FileFailed:
      return "file failed";
    case Status::Incomplete:
      return "incomplete";
    case Status::Stopped:
      return "stopped";
  }
  return "failed";
}

}  // namespace kp::ctl
