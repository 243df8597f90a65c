#pragma once
// Child processes on QProcess, for the event loop without threads.
#include <QProcess>
#include <map>
#include <memory>

#include "core/child_processes.h"

class QtChildProcesses : public kp::ChildProcesses {
 public:
  ~QtChildProcesses() override;
  void start(int id, const std::string& program, const std::vector<std::string>& args) override;
  void stop(int id) override;

 private:
  struct Child {
    std::unique_ptr<QProcess> process;
    QByteArray out, err;  // what has come of an unfinished line
  };
  void drain(int id, bool final);
  std::map<int, Child> children_;
};
