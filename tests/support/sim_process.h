#pragma once
// Runs the karaoke-unit-sim program beside the tests, serving the virtual
// unit on a pseudo-terminal linked as <folder>/ports/com<N>.
#include <string>
#include <vector>

namespace kp::test {

class SimProcess {
 public:
  // Starts the program and waits (up to 5 s) until its link exists.
  SimProcess(const std::string& folder, int port, const std::vector<std::string>& extraArgs = {});
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool ready() const { return ready_; }
  const std::string& linkPath() const { return link_; }
  int pid() const { return pid_; }
  // Ends the program (SIGTERM) and waits for it.
  void stop();

 private:
  int pid_ = -1;
  bool ready_ = false;
  std::string link_;
};

// The folder holding the built programs.
std::string binDir();

}  // namespace kp::test
