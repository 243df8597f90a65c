#pragma once
// The real stack against the karaoke-unit-sim program: the program started
// on a pseudo-terminal published as <folder>/ports/comN, and a kp::Program on
// the Qt clock, event loop and serial port linked to it. Shared by the end to
// end test and the load benchmark; a Qt application must exist.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "core/virtual_loop.h"
#include "ui/qt_platform.h"
#include "ui/qt_serial_port.h"

namespace kp::e2e {

namespace fs = std::filesystem;

inline double cpuSecondsOf(int who) {
  rusage u{};
  getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds a running child has used so far (utime + stime of /proc/pid/stat).
inline double cpuSecondsOfProcess(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::vector<std::string> fields;
  std::string field;
  for (char c : text.substr(close + 2)) {
    if (c == ' ') {
      fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  if (fields.size() < 13) return 0;
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  return (std::stod(fields[11]) + std::stod(fields[12])) / ticks;
}

// A throw-away program folder.
class Folder {
 public:
  Folder() {
    std::string tmpl = (fs::temp_directory_path() / "kp_e2e_preset_XXXXXX").string();
    if (mkdtemp(tmpl.data())) path_ = tmpl;
  }
  ~Folder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return (fs::path(path_) / name).string(); }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary | std::ios::trunc) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

 private:
  std::string path_;
};

// karaoke-unit-sim as a child process; ended (and reaped) with the object.
class UnitSimProcess {
 public:
  UnitSimProcess(const std::string& exe, const std::string& folder, int port,
                 const std::vector<std::string>& extra = {}) {
    link_ = (fs::path(folder) / "ports" / ("com" + std::to_string(port))).string();
    std::vector<std::string> args = {exe, "--folder", folder, "--port", std::to_string(port)};
    args.insert(args.end(), extra.begin(), extra.end());
    const std::string log = (fs::path(folder) / "unit-sim.out").string();
    // Everything the child needs is prepared before the fork: it only
    // redirects its output and executes.
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_ = fork();
    if (pid_ == 0) {
      if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
      }
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (fd >= 0) ::close(fd);
  }
  ~UnitSimProcess() { stop(); }
  UnitSimProcess(const UnitSimProcess&) = delete;
  UnitSimProcess& operator=(const UnitSimProcess&) = delete;

  pid_t pid() const { return pid_; }
  const std::string& linkPath() const { return link_; }

  // Waits until the program has published its port; false if it ended or
  // did not within timeoutMs.
  bool waitReady(int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
      std::error_code ec;
      if (fs::is_symlink(link_, ec)) return true;
      int status = 0;
      if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  std::string link_;
};

// A serial port that counts what passes through it both ways.
class CountingPort : public SerialPort {
 public:
  explicit CountingPort(SerialPort& inner) : inner_(inner) {
    inner_.onReadyRead = [this] {
      if (onReadyRead) onReadyRead();
    };
    inner_.onError = [this](const std::string& e) {
      if (onError) onError(e);
    };
  }
  void setPortNumber(int n) override { inner_.setPortNumber(n); }
  int portNumber() const override { return inner_.portNumber(); }
  void setSettings(const LineSettings& s) override { inner_.setSettings(s); }
  void setReadSize(std::size_t n) override { inner_.setReadSize(n); }
  bool open(std::string* error) override { return inner_.open(error); }
  void close() override { inner_.close(); }
  bool isOpen() const override { return inner_.isOpen(); }
  void write(const Bytes& bytes) override {
    written += bytes.size();
    inner_.write(bytes);
  }
  void discardInput() override {
    received += inner_.bytesAvailable();
    inner_.discardInput();
  }
  Bytes read() override {
    Bytes b = inner_.read();
    received += b.size();
    return b;
  }
  std::size_t bytesAvailable() const override { return inner_.bytesAvailable(); }

  std::uint64_t written = 0;
  std::uint64_t received = 0;

 private:
  SerialPort& inner_;
};

// A kp::Program on the Qt platform in a program folder. Message boxes and
// file dialogs are recorded, so nothing modal can stop a run.
struct QtProgram {
  explicit QtProgram(const std::string& folder)
      : pump(clock), serial(folder), port(serial), platform{port, clock, pump, dialogs, desktop},
        program(platform, folder) {}

  // Runs the event loop until pred() holds or timeoutMs pass.
  bool runUntil(const std::function<bool()>& pred, int timeoutMs) {
    const std::int64_t until = clock.nowMs() + timeoutMs;
    while (!pred()) {
      const std::int64_t now = clock.nowMs();
      if (now >= until) return pred();
      pump.runOnce(std::min(until, now + 20));
    }
    return true;
  }

  // Connects as the operator does, with the given model, and waits for the
  // dump to complete.
  bool link(int model, int timeoutMs = 30000) {
    program.form4.link1.click();
    program.form1.Combo1.setIndex(model);
    program.form1.Command1.click();
    const bool ok = runUntil([&] { return program.state.Is_Linked; }, timeoutMs);
    runUntil([&] { return !program.state.Awaiting_Reply && !program.state.Is_Busy; }, 1000);
    return ok;
  }

  QtClock clock;
  QtEventPump pump;
  QtSerialPort serial;
  CountingPort port;
  RecordingDialogs dialogs;
  QtDesktop desktop;
  Platform platform;
  Program program;
};

}  // namespace kp::e2e
