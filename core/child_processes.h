#pragma once
// Programs started beside this one, each with its output read line by line
// on the user-interface thread; karaoke-ctl runs one per room. The Qt
// implementation is qt/qt_child_processes.h.
#include <functional>
#include <string>
#include <vector>

namespace kp {

class ChildProcesses {
 public:
  virtual ~ChildProcesses() = default;
  // Starts program with args (UTF-8); the id names it in the callbacks.
  // onFinished follows at once, with exit code -1, if it cannot start.
  virtual void start(int id, const std::string& program, const std::vector<std::string>& args) = 0;
  // Asks a running child to stop its work: its standard input is closed
  // (karaoke-ctl takes that as a stop). It still ends through onFinished.
  virtual void stop(int id) = 0;

  std::function<void(int id, const std::string& line)> onOutputLine;  // standard output
  std::function<void(int id, const std::string& line)> onErrorLine;   // standard error
  // exitCode is -1 when the program could not start or did not end normally.
  std::function<void(int id, int exitCode, const std::string& why)> onFinished;
};

}  // namespace kp
