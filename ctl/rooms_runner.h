#pragma once
// --rooms: the command for every room of a rooms file, one process of this
// program per unit, at most -j at a time. Every room's files and ports are
// checked before the first one starts; a room that fails does not stop the
// others. One summary per room as it ends, then a total.
#include <string>
#include <vector>

#include "core/child_processes.h"
#include "core/ports.h"
#include "ctl/ctl_args.h"
#include "ctl/ctl_status.h"
#include "ctl/stop_request.h"
#include "venue/rooms_file.h"

namespace kp::ctl {

struct RoomsRun {
  const Options& options;
  std::string program;  // this program, started once per room
  std::string folder;   // the program folder
  Clock& clock;
  EventPump& pump;
  ChildProcesses& children;
  bool bars = false;            // standard error is a terminal
  StopRequest* stop = nullptr;  // stops every room; nullptr: nothing does
};

// One room's work: the arguments of its process and the file it writes.
struct RoomJob {
  Room room;
  std::vector<std::string> args;
  std::string target;  // what a backup or report writes; "" otherwise
};

// The jobs of every room, or nullopt with the reason and status when the
// rooms or their files do not allow the run (nothing has run yet).
std::optional<std::vector<RoomJob>> planRooms(const Options& options,
                                              const std::vector<Room>& rooms,
                                              const std::string& folder, std::string* error,
                                              Status* status);

// The exit status: the largest of the rooms'.
int runRooms(const RoomsRun& run);

}  // namespace kp::ctl
