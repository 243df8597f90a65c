#include "tests/support/sim_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace kp::test {

std::string binDir() {
#ifdef KP_BIN_DIR
  return KP_BIN_DIR;
#else
  return std::filesystem::current_path().string();
#endif
}

SimProcess::SimProcess(const std::string& folder, int port,
                       const std::vector<std::string>& extraArgs) {
  link_ = folder + "/ports/com" + std::to_string(port);
  // A link a killed simulator left behind points at a terminal number that
  // another test's simulator may have by now; it would read as ready at once.
  std::error_code gone;
  std::filesystem::remove(link_, gone);
  const std::string program = binDir() + "/karaoke-unit-sim";
  std::vector<std::string> args = {program, "--folder", folder, "--port", std::to_string(port)};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::fflush(nullptr);  // the child must not repeat what the parent buffered
  pid_ = fork();
  if (pid_ == 0) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // Its chatter on stdout is not the test's business.
    if (!freopen("/dev/null", "w", stdout)) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  for (int i = 0; i < 500 && pid_ > 0; ++i) {
    std::error_code ec;
    if (std::filesystem::exists(link_, ec)) {
      ready_ = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

SimProcess::~SimProcess() { stop(); }

void SimProcess::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

}  // namespace kp::test
