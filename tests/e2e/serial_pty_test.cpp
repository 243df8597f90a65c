// The serial stack on a real pseudo-terminal: the Qt port, the Qt event loop
// and the transmitter, with the test playing the unit on the master side.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/state.h"
#include "link/frames.h"
#include "link/transmitter.h"
#include "link/transport/port_names.h"
#include "link/transport/port_target.h"
#include "qt/port_factory.h"
#include "qt/qt_platform.h"
#include "qt/qt_serial_port.h"
#include "tests/e2e/pty_speed.h"

namespace fs = std::filesystem;

namespace {

void ensureApp() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char* argv[] = {const_cast<char*>("kp_tests_e2e"), nullptr};
  static QApplication app(argc, argv);
}

// Runs Qt's events until pred() holds or timeoutMs pass.
bool pumpUntil(const std::function<bool()>& pred, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > timeoutMs) return pred();
    QCoreApplication::processEvents();
    poll(nullptr, 0, 2);
  }
  return true;
}

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A pseudo-terminal pair; the test holds the master, the port opens the slave.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (const char* name = ptsname(master_)) slave_ = name;
  }
  ~Pty() { closeMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool ok() const { return master_ >= 0 && !slave_.empty(); }
  int master() const { return master_; }
  const std::string& slavePath() const { return slave_; }
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  void send(const kp::Bytes& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // What the panel sent, running Qt's events meanwhile, until n bytes came
  // or timeoutMs passed.
  kp::Bytes receive(std::size_t n, int timeoutMs) {
    kp::Bytes got;
    QElapsedTimer t;
    t.start();
    while (got.size() < n && t.elapsed() <= timeoutMs) {
      QCoreApplication::processEvents();
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
        std::uint8_t buf[64];
        const ssize_t r = ::read(master_, buf, sizeof buf);
        if (r > 0) got.insert(got.end(), buf, buf + r);
      }
    }
    return got;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

// A throw-away program folder with its ports/ subfolder.
class ProgramFolder {
 public:
  ProgramFolder() {
    std::string tmpl = (fs::temp_directory_path() / "kp_e2e_XXXXXX").string();
    if (mkdtemp(tmpl.data())) path_ = tmpl;
    fs::create_directories(fs::path(path_) / "ports");
  }
  ~ProgramFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string link(int n, const std::string& target) const {
    const fs::path l = fs::path(path_) / "ports" / ("com" + std::to_string(n));
    fs::create_symlink(target, l);
    return l.string();
  }

 private:
  std::string path_;
};

const kp::Bytes kReply{0xAA, 0x60};

class SerialPty : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ensureApp(); }

  void SetUp() override {
    ASSERT_TRUE(pty.ok()) << "no pseudo-terminal available";
    folder.link(3, pty.slavePath());
  }

  std::unique_ptr<kp::ChosenPort> openCom3(const kp::LineSettings& settings = {}) {
    auto port = makePanelSerialPort(folder.path());
    port->setPortNumber(3);
    port->setSettings(settings);
    port->setReadSize(7);
    std::string error;
    EXPECT_TRUE(port->open(&error)) << error;
    return port;
  }

  Pty pty;
  ProgramFolder folder;
};

}  // namespace

TEST(PortNames, Com3IsTheLinkWhenPresentAndTtyS2Otherwise) {
  ProgramFolder folder;
  const bool ttyS2 = fs::exists("/dev/ttyS2");
  EXPECT_EQ(kp::portDevice(3, folder.path()), "/dev/ttyS2");
  EXPECT_EQ(kp::describeComPort(3, folder.path()),
            ttyS2 ? "/dev/ttyS2" : "/dev/ttyS2 (not present)");
  EXPECT_EQ(kp::portDevice(1, folder.path()), "/dev/ttyS0");

  Pty pty;
  ASSERT_TRUE(pty.ok());
  const std::string link = folder.link(3, pty.slavePath());
  EXPECT_EQ(kp::portDevice(3, folder.path()), link);
  EXPECT_EQ(kp::describeComPort(3, folder.path()), "ports/com3 \xE2\x86\x92 " + pty.slavePath());
  // Only COM3 is redirected.
  EXPECT_EQ(kp::portDevice(4, folder.path()), "/dev/ttyS3");
  std::ofstream(folder.path() + "/config.ini") << "[ports]\r\nCOM3=COM17\r\n";
  EXPECT_EQ(kp::portTargetDevice(*kp::lookupPortTarget(3, folder.path(), nullptr)), "/dev/ttyS16")
      << "[ports] goes before the link";
}

TEST(PortNames, DanglingLinkStaysTheChoiceAndIsReportedMissing) {
  ProgramFolder folder;
  const std::string link = folder.link(5, "/dev/kp-no-such-tty");
  EXPECT_EQ(kp::portDevice(5, folder.path()), link);
  EXPECT_EQ(kp::describeComPort(5, folder.path()),
            "ports/com5 \xE2\x86\x92 /dev/kp-no-such-tty (not present)");
  EXPECT_EQ(kp::portDevice(0, folder.path()), "");
}

TEST_F(SerialPty, OpensThroughLinkWithEveryLineSetting) {
  auto port = openCom3();
  ASSERT_TRUE(port->isOpen());
  PtyLine line;
  ASSERT_TRUE(readPtyLine(pty.master(), &line));
  EXPECT_EQ(line.inputSpeed, 28800u);
  EXPECT_EQ(line.outputSpeed, 28800u);
  EXPECT_FALSE(line.twoStopBits);
  EXPECT_FALSE(line.hardwareFlow);
  EXPECT_FALSE(line.softwareFlow);

  // Other settings reach the device too; nothing is fixed at 28800,E,8,1.
  port->close();
  EXPECT_FALSE(port->isOpen());
  port->setSettings(*kp::LineSettings::parse("9600,O,8,2"));
  std::string error;
  ASSERT_TRUE(port->open(&error)) << error;
  ASSERT_TRUE(readPtyLine(pty.master(), &line));
  EXPECT_EQ(line.outputSpeed, 9600u);
  EXPECT_TRUE(line.twoStopBits);

  EXPECT_FALSE(port->open(&error)) << "a second open of an open port";
  EXPECT_NE(error.find("COM3"), std::string::npos) << error;
}

TEST_F(SerialPty, OpenOnMissingPortNamesThePortAndDevice) {
  auto com = makePanelSerialPort(folder.path());
  kp::SerialPort& port = *com;
  port.setPortNumber(200);
  std::string error;
  EXPECT_FALSE(port.open(&error));
  EXPECT_FALSE(port.isOpen());
  EXPECT_NE(error.find("COM200"), std::string::npos) << error;
  EXPECT_NE(error.find("/dev/ttyS199"), std::string::npos) << error;

  const std::string link = folder.link(4, "/dev/kp-no-such-tty");
  port.setPortNumber(4);
  EXPECT_FALSE(port.open(&error));
  EXPECT_NE(error.find("COM4"), std::string::npos) << error;
  EXPECT_NE(error.find(link), std::string::npos) << error;
}

TEST_F(SerialPty, ReadReturnsAtMostTheReadSize) {
  auto port = openCom3();
  kp::Bytes sent;
  for (std::uint8_t i = 0; i < 20; ++i) sent.push_back(static_cast<std::uint8_t>(0x10 + i));
  pty.send(sent);
  ASSERT_TRUE(pumpUntil([&] { return port->bytesAvailable() == 20; }, 2000))
      << port->bytesAvailable();

  kp::Bytes got;
  std::vector<std::size_t> sizes;
  for (kp::Bytes chunk = port->read(); !chunk.empty(); chunk = port->read()) {
    sizes.push_back(chunk.size());
    got.insert(got.end(), chunk.begin(), chunk.end());
  }
  EXPECT_EQ(sizes, (std::vector<std::size_t>{7, 7, 6}));
  EXPECT_EQ(got, sent);
  EXPECT_EQ(port->bytesAvailable(), 0u);
}

TEST_F(SerialPty, DiscardInputDropsBufferedAndPendingBytes) {
  auto port = openCom3();
  pty.send({1, 2, 3});
  ASSERT_TRUE(pumpUntil([&] { return port->bytesAvailable() == 3; }, 2000));
  // These are still in the driver: no event has run since they were sent.
  pty.send({4, 5});
  usleep(20'000);
  port->discardInput();
  EXPECT_EQ(port->bytesAvailable(), 0u);
  pumpUntil([] { return false; }, 150);
  EXPECT_EQ(port->bytesAvailable(), 0u);
  EXPECT_TRUE(port->read().empty());

  pty.send({6});
  ASSERT_TRUE(pumpUntil([&] { return port->bytesAvailable() == 1; }, 2000));
  EXPECT_EQ(port->read(), kp::Bytes{6});
}

// Closing restores the port's old line settings at once: what was written
// must have left before. A line that takes nothing holds the program only
// for the drain's bound.
TEST_F(SerialPty, DrainLetsTheFrameLeaveBeforeTheCloseAndABlockedLineCannotHangIt) {
  auto port = openCom3();
  port->write(kp::disconnectFrame());
  port->drain(500);
  port->close();
  EXPECT_EQ(pty.receive(6, 2000), kp::disconnectFrame());

  port = openCom3();
  port->write(kp::Bytes(1 << 20, 0x11));  // far more than the terminal holds unread
  QElapsedTimer t;
  t.start();
  port->drain(200);
  EXPECT_LT(t.elapsed(), 5000) << "the bound is 200 ms";
  port->close();
}

TEST_F(SerialPty, HandlerWaitingInNestedLoopStillHearsLaterBytes) {
  auto port = openCom3();
  kp::Bytes got;
  int calls = 0;
  bool nestedHeard = false;
  port->onReadyRead = [&] {
    ++calls;
    while (port->bytesAvailable() > 0) {
      const kp::Bytes b = port->read();
      got.insert(got.end(), b.begin(), b.end());
    }
    if (calls == 1) {
      QTimer::singleShot(30, [&] { pty.send({0xBB}); });
      nestedHeard = pumpUntil([&] { return got.size() == 2; }, 2000);
    }
  };
  pty.send({0xAA});
  ASSERT_TRUE(pumpUntil([&] { return calls >= 1 && got.size() == 2; }, 3000));
  EXPECT_TRUE(nestedHeard);
  EXPECT_EQ(got, (kp::Bytes{0xAA, 0xBB}));
  EXPECT_EQ(calls, 2);
}

TEST_F(SerialPty, VanishingDeviceRaisesOneErrorAndClosesThePort) {
  auto port = openCom3();
  int errors = 0;
  std::string text;
  port->onError = [&](const std::string& e) {
    ++errors;
    text = e;
  };
  pty.closeMaster();
  ASSERT_TRUE(pumpUntil([&] { return errors > 0; }, 2000));
  EXPECT_FALSE(port->isOpen());
  EXPECT_NE(text.find("COM3"), std::string::npos) << text;

  // Closed, so nothing goes on firing.
  const double cpu0 = cpuSeconds();
  pumpUntil([] { return false; }, 200);
  EXPECT_EQ(errors, 1);
  EXPECT_LT(cpuSeconds() - cpu0, 0.15);
}

TEST_F(SerialPty, CommandReachesUnitAndReplyEndsWaitAfterOneTransmission) {
  auto port = openCom3();
  QtClock clock;
  QtEventPump pump(clock);
  auto watchdog = pump.createTimer();
  kp::SharedState state;
  kp::Transmitter tx(state, *port, clock, pump, *watchdog);
  kp::Bytes heard;
  port->onReadyRead = [&] {
    while (port->bytesAvailable() > 0) {
      const kp::Bytes b = port->read();
      heard.insert(heard.end(), b.begin(), b.end());
    }
    if (heard.size() >= 2 && std::equal(kReply.begin(), kReply.end(), heard.end() - 2))
      state.Awaiting_Reply = false;
  };

  tx.Send_Command(51, 15);
  EXPECT_TRUE(state.Awaiting_Reply);
  EXPECT_TRUE(watchdog->isActive());
  EXPECT_EQ(kp::toHex(pty.receive(6, 2000)), "AA 33 CC 0F F0 55");

  pty.send(kReply);
  QElapsedTimer t;
  t.start();
  tx.Wait_Reply();
  EXPECT_LT(t.elapsed(), 1000);
  EXPECT_FALSE(state.Awaiting_Reply);
  EXPECT_EQ(state.Send_Count, 1);
  EXPECT_TRUE(pty.receive(1, 300).empty()) << "sent again after the reply";
}

TEST_F(SerialPty, SilentUnitGetsThreeTransmissionsInAll) {
  auto port = openCom3();
  QtClock clock;
  QtEventPump pump(clock);
  auto watchdog = pump.createTimer();
  kp::SharedState state;
  kp::Transmitter tx(state, *port, clock, pump, *watchdog);

  QElapsedTimer t;
  t.start();
  tx.Send_Command(51, 15);
  tx.Wait_Reply();
  const qint64 took = t.elapsed();
  EXPECT_GE(took, 2 * kp::Transmitter::kResendAfterMs);
  EXPECT_LT(took, 2 * kp::Transmitter::kResendAfterMs + 1000);
  EXPECT_EQ(state.Send_Count, 3);
  const kp::Bytes frame = kp::commandFrame(51, 15);
  kp::Bytes three;
  for (int i = 0; i < 3; ++i) three.insert(three.end(), frame.begin(), frame.end());
  EXPECT_EQ(kp::toHex(pty.receive(19, 300)), kp::toHex(three));
}

TEST(QtPlatform, PumpSleepsUntilDeadlineOrEvent) {
  ensureApp();
  QtClock clock;
  QtEventPump pump(clock);

  // Idle: sleeps to the deadline in a few turns and on next to no CPU
  // (the first turns may still serve the application's start-up events).
  const double cpu0 = cpuSeconds();
  std::int64_t t0 = clock.nowMs();
  int turns = 0;
  while (clock.nowMs() < t0 + 400) {
    pump.runOnce(t0 + 400);
    ++turns;
  }
  EXPECT_LE(turns, 10);
  EXPECT_LT(cpuSeconds() - cpu0, 0.1);

  // An event ends the sleep early.
  bool fired = false;
  QTimer::singleShot(50, [&] { fired = true; });
  t0 = clock.nowMs();
  while (!fired && clock.nowMs() - t0 < 2000) pump.runOnce(t0 + 2000);
  EXPECT_TRUE(fired);
  EXPECT_LT(clock.nowMs() - t0, 500);

  // A deadline already past runs what is pending without waiting.
  bool posted = false;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { posted = true; }, Qt::QueuedConnection);
  t0 = clock.nowMs();
  pump.runOnce(t0 - 10);
  EXPECT_TRUE(posted);
  EXPECT_LT(clock.nowMs() - t0, 50);
}

TEST(QtPlatform, TimerStartKeepsCountdownRestartBeginsAnew) {
  ensureApp();
  QtClock clock;
  QtEventPump pump(clock);
  for (bool restart : {false, true}) {
    SCOPED_TRACE(restart ? "restart" : "start");
    auto timer = pump.createTimer();
    timer->setInterval(300);
    EXPECT_EQ(timer->interval(), 300);
    std::int64_t tick = 0;
    timer->onTick = [&] {
      if (!tick) tick = clock.nowMs();
    };
    timer->start();
    ASSERT_TRUE(timer->isActive());
    pumpUntil([] { return false; }, 150);
    const std::int64_t again = clock.nowMs();
    if (restart)
      timer->restart();
    else
      timer->start();
    ASSERT_TRUE(pumpUntil([&] { return tick != 0; }, 2000));
    if (restart)
      EXPECT_GE(tick - again, 290);
    else
      EXPECT_LT(tick - again, 260);
    timer->stop();
    EXPECT_FALSE(timer->isActive());
  }
}
