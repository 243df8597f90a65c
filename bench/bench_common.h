#pragma once
// What the benchmarks share: CPU and memory readings, a port that counts the
// bytes crossing it, the panel on the Qt port and loop with karaoke-unit-sim
// behind a pseudo-terminal, and the measurements themselves, so that each
// figure has one way of being taken. Header only: every .cpp in bench/ is a
// program of its own.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
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
#include "core/state.h"
#include "core/virtual_loop.h"
#include "link/transmitter.h"
#include "panel/catalogue.h"
#include "qt/port_factory.h"
#include "qt/qt_platform.h"
#include "qt/qt_serial_port.h"
#include "tests/e2e/ser2net_process.h"
#include "tests/support/rig.h"
#include "tests/support/sim_process.h"

namespace kp::bench {

namespace fs = std::filesystem;

inline constexpr double kBitsPerByte = 11;  // start, 8 data, parity, stop
inline constexpr double kBaud = 28800;
inline constexpr double kLoadPauseS = 0.100;  // between a load's two mode changes

// Seconds the bytes take on the line.
inline double wireSeconds(std::size_t bytes) {
  return static_cast<double>(bytes) * kBitsPerByte / kBaud;
}

// CPU seconds of this process, user and system.
inline double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds another process has used so far, from /proc/<pid>/stat.
inline double cpuSecondsOf(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos || close + 2 >= text.size()) return 0;
  std::vector<std::string> fields;
  std::string field;
  for (char c : text.substr(close + 2)) {
    if (c != ' ') {
      field += c;
      continue;
    }
    fields.push_back(field);
    field.clear();
  }
  if (fields.size() < 13) return 0;
  return (std::stod(fields[11]) + std::stod(fields[12])) /
         static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Resident memory of this process in KiB (VmRSS of /proc/self/status).
inline long residentKiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

inline double secondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Counts the bytes that cross the port both ways, input dropped unread too.
class CountingPort : public kp::SerialPort {
 public:
  explicit CountingPort(kp::SerialPort& inner) : in_(inner) {
    in_.onReadyRead = [this] {
      if (onReadyRead) onReadyRead();
    };
    in_.onError = [this](const std::string& e) {
      if (onError) onError(e);
    };
  }
  void setPortNumber(int n) override { in_.setPortNumber(n); }
  int portNumber() const override { return in_.portNumber(); }
  void setSettings(const kp::LineSettings& s) override { in_.setSettings(s); }
  void setReadSize(std::size_t n) override { in_.setReadSize(n); }
  bool open(std::string* e) override { return in_.open(e); }
  void close() override { in_.close(); }
  void drain(int maxMs) override { in_.drain(maxMs); }
  bool isOpen() const override { return in_.isOpen(); }
  void write(const kp::Bytes& b) override {
    written += b.size();
    ++writes;
    in_.write(b);
  }
  void discardInput() override {
    received += in_.bytesAvailable();
    in_.discardInput();
  }
  void readInto(kp::Bytes& out) override {
    in_.readInto(out);
    received += out.size();
  }
  std::size_t bytesAvailable() const override { return in_.bytesAvailable(); }
  void resetCounts() { written = received = writes = 0; }
  std::size_t written = 0, received = 0;
  std::size_t writes = 0;  // each a turn of the line: the unit answers or sends on

 private:
  kp::SerialPort& in_;
};

// Runs the loop until pred() holds or ms pass; returns pred().
inline bool runUntil(kp::EventPump& pump, kp::Clock& clock, const std::function<bool()>& pred,
                     int ms) {
  const std::int64_t until = clock.nowMs() + ms;
  while (!pred()) {
    const std::int64_t now = clock.nowMs();
    if (now >= until) return pred();
    pump.runOnce(std::min(until, now + 20));
  }
  return true;
}

// How the panel reaches the simulator's pseudo-terminal: directly, or
// through ser2net on 127.0.0.1 as a device server, raw or RFC 2217.
enum class Route { Pty, Ser2netRaw, Ser2netRfc2217 };

inline const char* routeName(Route r) {
  return r == Route::Pty          ? "pseudo-terminal"
         : r == Route::Ser2netRaw ? "ser2net raw TCP"
                                  : "ser2net RFC 2217";
}

// The panel on its own port (qt/port_factory.h) and the Qt event loop, and
// karaoke-unit-sim serving its port from a pseudo-terminal in a folder of
// its own; through ser2net, [ports] of config.ini sends COMn there.
class QtPanel {
 public:
  QtPanel(int com, const std::vector<std::string>& simArgs, Route route = Route::Pty) {
    folder.write("config.ini", "[config]\r\nCOM=" + std::to_string(com) + "\r\n");
    sim = std::make_unique<kp::test::SimProcess>(folder.str(), com, simArgs);
    if (route == Route::Pty || !sim->ready()) return;
    using P = kp::test::Ser2netProcess;
    server = std::make_unique<P>(
        folder.str(), P::serialConnector(P::linkTarget(folder.str(), com)),
        route == Route::Ser2netRaw ? P::Protocol::RawTcp : P::Protocol::Rfc2217);
    folder.write("config.ini", "[config]\r\nCOM=" + std::to_string(com) + "\r\n[ports]\r\nCOM" +
                                   std::to_string(com) + "=" + server->url() + "\r\n");
  }
  ~QtPanel() {
    if (program) program->shutDown();
  }
  bool simReady() const { return sim->ready() && (!server || server->ready()); }

  // Builds the program and starts it as the main window's opening does.
  kp::Program& start() {
    program = std::make_unique<kp::Program>(platform, folder.str());
    program->startUp();
    // The simulator looks for a panel on its port every 50 ms while none
    // holds it: a connect right away would be timed from that look.
    runUntil(
        pump, clock, [] { return false; }, 120);
    return *program;
  }
  // The operator's connect with this model, up to the linked state.
  void clickConnect(int model) {
    program->form4.link1.click();
    program->form1.Combo1.setIndex(model);
    program->form1.Command1.click();
  }
  bool waitLinked(int ms) {
    const bool ok = runUntil(
        pump, clock, [&] { return program->state.Is_Linked; }, ms);
    runUntil(
        pump, clock, [&] { return !program->state.Awaiting_Reply && !program->state.Is_Busy; },
        1000);
    return ok;
  }

  kp::test::TempDir folder;
  std::unique_ptr<kp::test::SimProcess> sim;
  std::unique_ptr<kp::test::Ser2netProcess> server;
  std::unique_ptr<kp::SerialPort> serial = makePanelSerialPort(folder.str());
  CountingPort port{*serial};
  QtClock clock;
  QtEventPump pump{clock};
  kp::RecordingDialogs dialogs;
  kp::RecordingDesktop desktop;
  kp::Platform platform{port, clock, pump, dialogs, desktop};
  std::unique_ptr<kp::Program> program;
};

// ------------------------------------------------------------ measurements

// Connect button to linked state with the long dump.
struct LinkFigures {
  bool linked = false;
  double wallS = 0, cpuS = 0;
  std::size_t out = 0, in = 0, exchanges = 0;
  // The time the bytes need on the line, both ways; paced, the simulator
  // takes the panel's bytes at the line's speed too.
  double floorS() const { return wireSeconds(out + in); }
  double usPerExchange() const { return exchanges ? (wallS - floorS()) * 1e6 / exchanges : 0; }
};

// The simulator's arguments. A real serial port hands a device server the
// unit's bytes as they come off the line, not whole messages: in pieces, the
// simulator delivers each message cut at random places, each piece at its
// time.
inline std::vector<std::string> simArgs(bool paced, bool inPieces) {
  std::vector<std::string> args;
  if (paced) args.push_back("--paced");
  if (inPieces) args.push_back("--chunks");
  return args;
}

inline LinkFigures measureLink(bool paced, int com = 7, Route route = Route::Pty,
                               bool inPieces = false) {
  LinkFigures f;
  QtPanel panel(com, simArgs(paced, inPieces), route);
  if (!panel.simReady()) return f;
  kp::Program& p = panel.start();
  panel.port.resetCounts();
  const double cpu0 = cpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  panel.clickConnect(4);
  f.linked = runUntil(
      panel.pump, panel.clock, [&] { return p.state.Is_Linked; }, 30000);
  f.wallS = secondsSince(t0);
  f.cpuS = cpuSeconds() - cpu0;
  f.out = panel.port.written;
  f.in = panel.port.received;
  f.exchanges = panel.port.writes;
  return f;
}

// One linked load of the shipped Pro.dat (as Shipped.dat) into the unit.
struct LoadFigures {
  bool done = false;
  bool messageShown = false;
  double wallS = 0, cpuS = 0, simCpuS = 0;
  std::size_t out = 0, in = 0, exchanges = 0;
  double floorS() const { return wireSeconds(out + in) + kLoadPauseS; }
  double usPerExchange() const { return exchanges ? (wallS - floorS()) * 1e6 / exchanges : 0; }
};

// `loads` linked loads in a row on one link; empty when nothing could run,
// with the reason in *why.
inline std::vector<LoadFigures> measurePresetLoad(bool paced, int loads, std::string* why,
                                                  int com = 9, Route route = Route::Pty,
                                                  bool inPieces = false) {
  std::vector<LoadFigures> out;
  QtPanel panel(com, simArgs(paced, inPieces), route);
  std::error_code ec;
  fs::copy_file(fs::path(kp::test::binDir()) / "Pro.dat", panel.folder.path() / "Shipped.dat", ec);
  if (ec) {
    *why = "no shipped Pro.dat in " + kp::test::binDir();
    return out;
  }
  if (!panel.simReady()) {
    *why = panel.sim->ready() ? "ser2net did not start" : "karaoke-unit-sim did not start";
    return out;
  }
  kp::Program& p = panel.start();
  panel.clickConnect(4);
  if (!panel.waitLinked(30000)) {
    *why = "no link";
    return out;
  }
  for (int i = 0; i < loads; ++i) {
    LoadFigures f;
    panel.port.resetCounts();
    panel.dialogs.messages.clear();
    const double cpu0 = cpuSeconds();
    const double simCpu0 = cpuSecondsOf(panel.sim->pid());
    const auto t0 = std::chrono::steady_clock::now();
    panel.dialogs.fileAnswers.push_back(panel.folder.file("Shipped.dat"));
    p.form4.open1.click();  // returns when the load is done
    f.wallS = secondsSince(t0);
    f.cpuS = cpuSeconds() - cpu0;
    f.simCpuS = cpuSecondsOf(panel.sim->pid()) - simCpu0;
    f.out = panel.port.written;
    f.in = panel.port.received;
    f.exchanges = panel.port.writes;
    f.done = p.state.Is_Linked;
    f.messageShown = !panel.dialogs.messages.empty();
    out.push_back(f);
  }
  return out;
}

// What one turn of the line costs the test rig itself: a byte across the
// pseudo-terminal and back, answered at once by a bare thread on one side and
// held for a paced dump message's time on the other as the simulator holds
// it (asleep, then awake for the last 150 us). The excess over the held time
// is the part of each exchange that no panel could save on this machine;
// negative when nothing could be measured.
inline double bareExchangeUs(int exchanges = 300) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || !ptsname(master)) {
    if (master >= 0) ::close(master);
    return -1;
  }
  const int slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
  termios t{};
  if (slave < 0 || tcgetattr(slave, &t) != 0) {
    if (slave >= 0) ::close(slave);
    ::close(master);
    return -1;
  }
  cfmakeraw(&t);
  tcsetattr(slave, TCSANOW, &t);
  std::thread echo([slave] {
    char c = 0;
    while (::read(slave, &c, 1) == 1 && c != 'q')
      if (::write(slave, &c, 1) != 1) break;
  });
  using Clock = std::chrono::steady_clock;
  constexpr auto kHeld = std::chrono::microseconds(2673);  // AA in, six bytes out
  constexpr auto kAwake = std::chrono::microseconds(150);
  // The simulator's own timer slack when paced.
  const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  char c = 'x';
  bool ok = ::write(master, &c, 1) == 1;
  const auto t0 = Clock::now();
  for (int i = 0; ok && i < exchanges; ++i) {
    pollfd answer{master, POLLIN, 0};
    ok = poll(&answer, 1, 1000) == 1 && ::read(master, &c, 1) == 1;
    const auto due = Clock::now() + kHeld;
    for (auto left = due - Clock::now(); left.count() > 0; left = due - Clock::now()) {
      const auto nap = std::chrono::duration_cast<std::chrono::nanoseconds>(left - kAwake);
      const timespec ts{0, nap.count() > 0 ? static_cast<long>(nap.count()) : 0};
      ppoll(nullptr, 0, &ts, nullptr);
    }
    ok = ok && ::write(master, &c, 1) == 1;
  }
  const double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
  if (slack > 0) prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack), 0UL, 0UL, 0UL);
  c = 'q';
  [[maybe_unused]] const auto n = ::write(master, &c, 1);
  echo.join();
  ::close(slave);
  ::close(master);
  return ok ? us / exchanges - static_cast<double>(kHeld.count()) : -1;
}

// While linked, an operator drags a music band through its whole range and
// back: the time from each change to its frame being handed to the port.
struct LatencyFigures {
  bool ran = false;
  std::size_t changes = 0;
  double medianUs = 0, p99Us = 0, maxUs = 0;
};

inline LatencyFigures measureSliderLatency(int com = 8) {
  LatencyFigures f;
  QtPanel panel(com, {});
  if (!panel.simReady()) return f;
  kp::Program& p = panel.start();
  panel.clickConnect(0);
  if (!panel.waitLinked(10000)) return f;
  // Each change is measured up to the write of its frame; then the events
  // that came meanwhile run, as they would between two mouse moves.
  kp::Slider& band = p.form4.cpvSlider(kp::musicBandSlider(16));
  std::vector<double> us;
  for (int round = 0; round < 20; ++round)
    for (int v : {-15, 15}) {
      const int step = v > band.value() ? 1 : -1;
      while (band.value() != v) {
        const auto t0 = std::chrono::steady_clock::now();
        band.operatorSet(band.value() + step);
        us.push_back(secondsSince(t0) * 1e6);
        QCoreApplication::processEvents();
      }
    }
  if (us.empty()) return f;
  std::sort(us.begin(), us.end());
  f.ran = true;
  f.changes = us.size();
  f.medianUs = us[us.size() / 2];
  f.p99Us = us[std::min(us.size() - 1, us.size() * 99 / 100)];
  f.maxUs = us.back();
  return f;
}

}  // namespace kp::bench
