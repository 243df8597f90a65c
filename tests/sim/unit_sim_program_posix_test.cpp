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

#include "link/frames.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

bool readable(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, ms) == 1;
}

// What arrives until ms pass quietly.
kp::Bytes readFor(int fd, int ms) {
  kp::Bytes got;
  std::uint8_t buf[64];
  ssize_t n;
  while (readable(fd, ms) && (n = read(fd, buf, sizeof buf)) > 0)
    got.insert(got.end(), buf, buf + n);
  return got;
}

int openRaw(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  termios t{};
  if (fd >= 0 && tcgetattr(fd, &t) == 0) {
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
  }
  return fd;
}

void put(int fd, const kp::Bytes& b) {
  ASSERT_EQ(write(fd, b.data(), b.size()), static_cast<ssize_t>(b.size()));
}

TEST(UnitSimProgram, ServesThePortAcrossReopensWithoutSpinningAndCleansUp) {
  const fs::path folder = fs::temp_directory_path() / ("kp_unit_sim_" + std::to_string(getpid()));
  fs::create_directories(folder);
  std::vector<std::string> args = {KP_BIN_DIR "/karaoke-unit-sim",
                                   "--folder",
                                   folder.string(),
                                   "--port",
                                   "4",
                                   "--latency",
                                   "100",
                                   "--log",
                                   (folder / "unit.log").string()};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&fa);
  close(out[1]);

  std::string link;
  char c;
  while (readable(out[0], 3000) && read(out[0], &c, 1) == 1 && c != '\n') link += c;
  EXPECT_EQ(link, (folder / "ports" / "com4").string());
  EXPECT_TRUE(fs::is_symlink(link));

  int fd = openRaw(link);
  EXPECT_GE(fd, 0);
  put(fd, kp::commandFrame(0, 2));
  EXPECT_EQ(readFor(fd, 300), kp::commandFrame(0, 2));
  put(fd, {0xAA});
  put(fd, kp::commandFrame(0, 10));
  EXPECT_EQ(readFor(fd, 300), kp::commandFrame(0, 13));  // then waits for the AA
  close(fd);

  // Closed before the (late) answer is out: it must not greet the next
  // opening as stale input.
  fd = openRaw(link);
  put(fd, kp::commandFrame(0, 1));
  close(fd);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  fd = openRaw(link);
  EXPECT_TRUE(readFor(fd, 200).empty());
  put(fd, kp::commandFrame(0, 1));
  EXPECT_EQ(readFor(fd, 300), kp::commandFrame(0, 1));
  close(fd);

  std::this_thread::sleep_for(std::chrono::milliseconds(800));  // nobody holds the port
  kill(pid, SIGTERM);
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const double cpuMs = (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
                       (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
  EXPECT_LT(cpuMs, 200.0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

  std::stringstream log;
  log << std::ifstream(folder / "unit.log").rdbuf();
  EXPECT_NE(log.str().find("panel→unit AA 00 FF 02 FD 55 (system 2: connect, long dump)"),
            std::string::npos)
      << log.str();
  EXPECT_NE(log.str().find("unit→panel AA 00 FF 0D F2 55 (dump marker 13: music RAM1)"),
            std::string::npos);
  close(out[0]);
  fs::remove_all(folder);
}

}  // namespace
