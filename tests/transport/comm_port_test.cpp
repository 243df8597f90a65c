// The Windows serial port's logic against drivers that behave as real ones
// do: an idle port wakes nobody, drivers whose events cannot be trusted are
// polled, failures are told once and truly, and closing never hangs.
#include <gtest/gtest.h>

#include "app/program.h"
#include "link/transport/comm_port.h"
#include "sim/in_process.h"
#include "tests/support/rig.h"
#include "tests/transport/fake_comm_driver.h"

namespace kp {
namespace {

using test::FakeCommDriver;
using Mode = FakeCommDriver::WaitMode;

const Bytes kFrame{0xAA, 0x01, 0x10, 0x00, 0xFF, 0x55};
const Bytes kReply{0xAA, 0x60};

class CommPortTest : public ::testing::Test {
 protected:
  CommPortTest() {
    port.setPortNumber(3);
    port.onReadyRead = [this] {
      while (port.bytesAvailable() > 0) {
        const Bytes b = port.read();
        heard.insert(heard.end(), b.begin(), b.end());
      }
    };
    port.onError = [this](const std::string& e) { errors.push_back(e); };
    port.onLog = [this](const std::string& line) { log.push_back(line); };
    // The far end answers every write 3 ms after it has left.
    driver.onWire = [this](const Bytes& b) {
      wire.insert(wire.end(), b.begin(), b.end());
      if (answer) loop.at(loop.nowMs() + 3, [this] { driver.arrive(kReply); });
    };
  }
  void openPort() {
    std::string error;
    ASSERT_TRUE(port.open(&error)) << error;
  }
  // One frame out; true when the answer was read within withinMs.
  bool exchange(int withinMs = 100) {
    heard.clear();
    port.write(kFrame);
    return loop.runUntil([&] { return heard == kReply; }, withinMs);
  }

  VirtualLoop loop;
  FakeCommDriver driver{loop};
  CommPort port{driver, loop, loop};
  bool answer = true;
  Bytes heard, wire;
  std::vector<std::string> errors, log;
};

TEST_F(CommPortTest, AnIdlePortOnAnEventDriverWakesNobody) {
  openPort();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(exchange());
  loop.advance(1000);  // what the exchanges left behind runs out
  const int wakeups = driver.wakeups, polls = driver.statusCalls;
  loop.advance(10000);
  EXPECT_EQ(driver.wakeups - wakeups, 0);
  EXPECT_EQ(driver.statusCalls - polls, 0);
  EXPECT_EQ(loop.pending(), 0u);
  EXPECT_FALSE(port.polling());
  EXPECT_TRUE(errors.empty());
}

// Drivers that end waits without a byte, refuse them, or keep bytes quiet:
// the port polls, hears every answer, and when idle asks 20 times a second.
TEST_F(CommPortTest, UntrustworthyWaitsFallBackToPollingThatHearsEveryAnswer) {
  struct Case {
    Mode mode;
    std::uint32_t refusal;
  };
  for (const Case c :
       {Case{Mode::NeverSignals, 0}, Case{Mode::AbortsAtOnce, 0}, Case{Mode::AbortsLater, 0},
        Case{Mode::EmptyAtOnce, 0}, Case{Mode::TxEmptyAtOnce, 0},
        Case{Mode::Refused, comm::kInvalidFunction}, Case{Mode::Refused, comm::kNotSupported},
        Case{Mode::Refused, comm::kInvalidParameter}}) {
    SCOPED_TRACE(static_cast<int>(c.mode) * 1000 + static_cast<int>(c.refusal));
    driver.waitMode = c.mode;
    driver.refusal = c.refusal;
    openPort();
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(exchange(60)) << i;
    EXPECT_TRUE(port.polling());
    loop.advance(1000);
    const int wakeups = driver.wakeups, polls = driver.statusCalls;
    loop.advance(10000);
    EXPECT_EQ(driver.wakeups - wakeups, 0);
    EXPECT_LE(driver.statusCalls - polls, 10000 / 50 + 2);
    // Bytes nobody asked for are still heard, within an idle poll.
    heard.clear();
    driver.arrive(kReply);
    EXPECT_TRUE(loop.runUntil([&] { return heard == kReply; }, 51));
    EXPECT_TRUE(errors.empty()) << errors.front();
    port.close();
  }
}

TEST_F(CommPortTest, WritesCutShortOrAbortedArriveWholeAndInOrder) {
  openPort();
  answer = false;
  driver.writeLimit = 4;
  driver.abortWrites = 2;
  Bytes sent;
  for (std::uint8_t i = 0; i < 5; ++i) {
    Bytes frame = kFrame;
    frame[2] = i;
    sent.insert(sent.end(), frame.begin(), frame.end());
    port.write(frame);
  }
  loop.advance(100);
  EXPECT_EQ(wire, sent);
  EXPECT_TRUE(errors.empty());

  // A port that takes nothing at all is dead, not a loop.
  driver.writeLimit = 0;
  port.write(kFrame);
  loop.advance(100);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "COM3 failed: error 31");
  EXPECT_FALSE(port.isOpen());
}

// Pulled out while waiting, writing or reading: told once, as a
// disconnection, and the port opens again once it is back.
TEST_F(CommPortTest, AnUnplugIsToldOnceWhateverRanAndThePortOpensAgain) {
  for (int where = 0; where < 3; ++where) {
    SCOPED_TRACE(where);
    errors.clear();
    driver.plugIn();
    openPort();
    ASSERT_TRUE(exchange());
    if (where == 0) {
      driver.unplug();
    } else if (where == 1) {
      driver.writesNeverEnd = true;
      port.write(kFrame);
      driver.unplug(comm::kGenFailure);
      driver.writesNeverEnd = false;
    } else {
      driver.failNextRead = true;
      driver.arrive(kReply);
    }
    loop.advance(50);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "COM3 was disconnected");
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(driver.deviceOpen);
  }
  driver.plugIn();
  openPort();
  EXPECT_TRUE(exchange());
}

TEST_F(CommPortTest, ClosingReportsNothingAndNeverHangs) {
  openPort();
  // The drain's write fails: the program closed the port, nobody is told.
  driver.failWrites = comm::kGenFailure;
  driver.writeMs = 5;
  port.write(kFrame);
  port.close();
  loop.advance(100);
  EXPECT_TRUE(errors.empty());

  // A driver that gives nothing back: close returns within its bounds and
  // leaves the operations to the driver.
  driver.failWrites = 0;
  driver.waitMode = Mode::NeverSignals;
  driver.writesNeverEnd = true;
  driver.cancelIgnored = true;
  openPort();
  port.write(kFrame);
  const std::int64_t before = loop.nowMs();
  port.close();
  EXPECT_LE(loop.nowMs() - before, 500 + 200);
  EXPECT_EQ(driver.abandoned, 2);
  EXPECT_FALSE(driver.deviceOpen);
  EXPECT_TRUE(errors.empty());
  driver.writesNeverEnd = driver.cancelIgnored = false;
  openPort();
  EXPECT_TRUE(exchange(100));
}

TEST_F(CommPortTest, LineSettingsAreWholeWhateverTheDriverReported) {
  driver.reported.outX = driver.reported.outxCtsFlow = true;
  driver.reported.xonLim = driver.reported.xoffLim = 0xFFFF;
  openPort();  // equal XON/XOFF characters (0, 0) and limits past the buffer
  EXPECT_EQ(driver.lineSet.baudRate, 28800u);
  EXPECT_EQ(driver.lineSet.parity, 2);
  EXPECT_EQ(driver.lineSet.byteSize, 8);
  EXPECT_EQ(driver.lineSet.stopBits, 0);
  EXPECT_FALSE(driver.lineSet.outX || driver.lineSet.inX || driver.lineSet.outxCtsFlow);
  EXPECT_NE(driver.lineSet.xonChar, driver.lineSet.xoffChar);
  port.close();

  driver.openCode = comm::kFileNotFound;
  std::string error;
  EXPECT_FALSE(port.open(&error));
  EXPECT_EQ(error.rfind("COM3 does not exist on this computer.", 0), 0u) << error;
  // A port chosen by its device path (a room's) has no COM number.
  port.setPortNumber(0);
  port.setDevice("\\\\.\\COM17");
  EXPECT_FALSE(port.open(&error));
  EXPECT_EQ(error.find("COM0"), std::string::npos) << error;
}

TEST_F(CommPortTest, LineErrorsAreLoggedAndTheBytesStillArrive) {
  openPort();
  driver.errors = comm::kCeOverrun | comm::kCeFrame;
  ASSERT_TRUE(exchange());
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "COM3: overrun, framing error");
  EXPECT_EQ(port.lineErrors(), 1u);
}

// The whole program links through a driver that never signals a byte.
TEST(CommPortLink, TheProgramLinksThroughADriverThatKeepsBytesQuiet) {
  test::TempDir folder;
  folder.write("config.ini", "[config]\r\nCOM=1\r\n");
  VirtualLoop loop;
  sim::LoopClock unitClock{loop};
  sim::VirtualUnit unit{unitClock, {}};
  FakeCommDriver driver{loop};
  driver.waitMode = Mode::NeverSignals;
  CommPort port{driver, loop, loop};
  driver.onWire = [&](const Bytes& b) { unit.onBytesFromPanel(b); };
  unit.onOutput = [&](const Bytes& b) { driver.arrive(b); };
  RecordingDialogs dialogs;
  RecordingDesktop desktop;
  Platform platform{port, loop, loop, dialogs, desktop};
  Program program(platform, folder.str());
  program.startUp();
  program.form4.link1.click();
  program.form1.Combo1.setIndex(0);
  program.form1.Command1.click();
  EXPECT_TRUE(loop.runUntil([&] { return program.state.Is_Linked; }, 30000));
  EXPECT_TRUE(port.polling());
  EXPECT_TRUE(dialogs.messages.empty());
}

}  // namespace
}  // namespace kp
