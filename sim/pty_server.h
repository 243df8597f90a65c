#pragma once
// The pseudo-terminal karaoke-unit-sim serves the virtual unit on: the panel
// opens its slave side, published as <folder>/ports/comN, as it would a
// serial port. Linux only (pty_server_posix.cpp). Each step that fails says
// why on standard error and returns false.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "core/bytes.h"
#include "sim/poll_clock.h"
#include "sim/virtual_unit.h"

namespace kp::sim {

class PtyServer {
 public:
  // A pseudo-terminal with its slave side in raw mode.
  bool openTerminal();
  // Links the slave side as link, in place of a link an earlier run left, and
  // prints link on standard output.
  bool publish(const std::filesystem::path& link);
  // From here on SIGINT and SIGTERM end serve(), SIGUSR1 has the unit send
  // its volume notice and SIGUSR2 saves its state; SIGPIPE is ignored.
  bool catchSignals();
  // What the unit says, for the panel.
  void sendToPanel(const Bytes& bytes);
  // Passes bytes both ways and runs the clock's events until SIGINT or
  // SIGTERM. logLine says when a panel opens or closes the port.
  void serve(PollClock& clock, VirtualUnit& unit, bool paced,
             const std::function<void(const std::string&)>& logLine,
             const std::function<void()>& saveState);
  // Removes the link and closes the pseudo-terminal.
  void withdraw();

 private:
  int master_ = -1;
  std::string slave_;
  std::filesystem::path link_;
  bool panelPresent_ = false;
  std::int64_t probeAtUs_ = 0;
  Bytes pendingOut_;  // what the master could not take yet
};

}  // namespace kp::sim
