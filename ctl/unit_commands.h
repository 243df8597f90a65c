#pragma once
// The commands that reach a unit: probe, backup, restore (and its dry run),
// verify and a report from the unit, each for one unit on one port.
#include <memory>
#include <string>
#include <vector>

#include "ctl/ctl_args.h"
#include "ctl/ctl_port.h"
#include "ctl/ctl_session.h"
#include "ctl/ctl_status.h"
#include "ctl/json_writer.h"
#include "ctl/stop_request.h"

namespace kp::ctl {

// How one command for one unit (or on files) ended.
struct Outcome {
  Status status = Status::Done;
  std::string summary;               // one line of what was done
  std::string error;                 // what failed, and where, in words
  std::vector<std::string> details;  // printed before the summary
  JsonObject json;                   // the command's own fields
};

// A port, the platform around it and the program running on it.
class Unit {
 public:
  Unit(Clock& clock, EventPump& pump, std::unique_ptr<SerialPort> port,
       const std::string& programFolder, const ParameterTexts& texts);
  Session& session() { return session_; }

 private:
  std::unique_ptr<SerialPort> port_;
  ToolDialogs dialogs_;
  NoDesktop desktop_;
  Platform platform_;
  Session session_;
};

struct UnitJob {
  const Options& options;
  Clock& clock;
  EventPump& pump;
  PortChoice port;
  std::string file;    // FILE of backup, restore, verify; OUT of a report
  std::string folder;  // the program folder
  ParameterTexts texts;
  // Set on the session before it starts, for the progress display.
  std::function<void(const char* what, int done, int total)> onProgress;
  // Stops the work when requested; nullptr: nothing stops it.
  StopRequest* stop = nullptr;
};

// "1 setting", "3 settings".
inline std::string settings(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " setting" : " settings");
}

// Checks what it can before the port is opened, then runs the command.
Outcome runUnitCommand(const UnitJob& job);

// What a restore would send, listed without touching any port: the linked
// load runs against the virtual unit on virtual time.
Outcome dryRunRestore(const Options& options, const std::string& file, const std::string& folder,
                      const ParameterTexts& texts);

}  // namespace kp::ctl
