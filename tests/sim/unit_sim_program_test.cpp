// karaoke-unit-sim as a program: a pseudo-terminal published as ports/comN.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/bytes.h"
#include "link/frames.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Sim {
  explicit Sim(std::vector<std::string> args) {
    folder = fs::temp_directory_path() / ("kp_unit_sim_" + std::to_string(getpid()) + "_" +
                                          std::to_string(counter++));
    fs::create_directories(folder);
    for (auto& a : args)  // "@" stands for the program folder
      if (!a.empty() && a[0] == '@') a = folder.string() + a.substr(1);
    args.insert(args.begin(), {KP_BIN_DIR "/karaoke-unit-sim", "--folder", folder.string()});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    EXPECT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    EXPECT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    stdoutFd = out[0];
  }
  ~Sim() {
    if (pid > 0) stop();
    if (stdoutFd >= 0) close(stdoutFd);
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  std::string firstLine() {
    std::string line;
    char c;
    while (wait(stdoutFd, 3000) && read(stdoutFd, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }

  int stop(rusage* usage = nullptr) {
    kill(pid, SIGTERM);
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    pid = -1;
    if (usage) *usage = ru;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  static bool wait(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, ms) == 1;
  }

  static int counter;
  fs::path folder;
  pid_t pid = -1;
  int stdoutFd = -1;
};
int Sim::counter = 0;

int openRaw(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return fd;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

// What arrives within ms of quiet.
kp::Bytes readFor(int fd, int ms) {
  kp::Bytes got;
  std::uint8_t buf[64];
  while (Sim::wait(fd, ms)) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.insert(got.end(), buf, buf + n);
  }
  return got;
}

void put(int fd, const kp::Bytes& b) { ASSERT_EQ(write(fd, b.data(), b.size()), static_cast<ssize_t>(b.size())); }

TEST(UnitSimProgram, ServesThePortAcrossReopensAndCleansUp) {
  Sim sim({"--port", "4", "--latency", "100", "--log", "@/unit.log"});
  const std::string link = sim.firstLine();
  EXPECT_EQ(link, (sim.folder / "ports" / "com4").string());
  ASSERT_TRUE(fs::is_symlink(link));

  int fd = openRaw(link);
  ASSERT_GE(fd, 0);
  put(fd, kp::commandFrame(0, 2));
  EXPECT_EQ(readFor(fd, 300), kp::commandFrame(0, 2));
  put(fd, {0xAA});
  put(fd, kp::commandFrame(0, 10));
  EXPECT_EQ(readFor(fd, 300), kp::commandFrame(0, 13));  // and waits for the AA
  close(fd);

  // The panel closes the port before the (late) answer is out, then opens
  // it again: the answer must not greet it as stale input.
  fd = openRaw(link);
  ASSERT_GE(fd, 0);
  put(fd, kp::commandFrame(0, 1));
  close(fd);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  fd = openRaw(link);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(readFor(fd, 200).empty());
  put(fd, kp::commandFrame(0, 1));
  EXPECT_EQ(readFor(fd, 300), kp::commandFrame(0, 1));
  close(fd);

  EXPECT_EQ(sim.stop(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  std::ifstream log(sim.folder / "unit.log");
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_NE(text.str().find("panel→unit AA 00 FF 02 FD 55 (system 2: connect, long dump)"),
            std::string::npos)
      << text.str();
  EXPECT_NE(text.str().find("unit→panel AA 00 FF 0D F2 55 (dump marker 13: music RAM1)"),
            std::string::npos);
}

TEST(UnitSimProgram, WaitsWithoutSpinningWhileNoPanelHoldsThePort) {
  Sim sim({});
  ASSERT_FALSE(sim.firstLine().empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  rusage ru{};
  EXPECT_EQ(sim.stop(&ru), 0);
  const double cpuMs = (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
                       (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
  EXPECT_LT(cpuMs, 200.0);
}

TEST(UnitSimProgram, RejectsUnknownOptions) {
  Sim sim({"--resend", "2"});
  int status = 0;
  waitpid(sim.pid, &status, 0);
  sim.pid = -1;
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
