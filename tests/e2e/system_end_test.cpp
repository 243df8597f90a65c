// Ended by the system instead of the operator: the panel and karaoke-ctl
// run the shut-down of a closed window, so the unit hears the disconnect;
// karaoke-ctl says which work it stopped.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QProcess>
#include <csignal>

#include "qt/system_end.h"
#include "tests/e2e/qt_rig.h"
#include "tests/support/sim_process.h"

namespace kp {
namespace {

using test::pumpUntil;
using test::QtRig;
using test::SimProcess;

// The panel has sent a band: a restore is under way.
bool restoring(const std::string& log) {
  for (auto at = log.find("panel\xE2\x86\x92unit AA"); at != std::string::npos;
       at = log.find("panel\xE2\x86\x92unit AA", at + 1)) {
    const auto end = log.find('\n', at);
    if (log.substr(at, end - at).find("music band") != std::string::npos) return true;
  }
  return false;
}

TEST(SystemEnd, ALinkedPanelEndedBySigtermUnlinksTheUnitAndClosesThePort) {
  QtRig rig;
  SimProcess sim(rig.folder.str(), 5, {"--log", rig.folder.str() + "/unit.log"});
  ASSERT_TRUE(sim.ready());
  Program& p = rig.make();
  bool ended = false;
  p.onExit = [&] { ended = true; };
  onSystemEnd([&p] { p.exit(); });
  p.startUp();
  p.form4.link1.click();
  p.form1.Combo1.setIndex(4);
  p.form1.Command1.click();
  ASSERT_TRUE(pumpUntil([&] { return p.state.Is_Linked; }, 10000));

  ::kill(::getpid(), SIGTERM);
  ASSERT_TRUE(pumpUntil([&] { return ended; }, 3000)) << "the signal reaches the event loop";
  EXPECT_FALSE(rig.serial.isOpen());
  EXPECT_TRUE(
      pumpUntil([&] { return test::disconnectsHeard(rig.folder.read("unit.log")) == 1; }, 3000))
      << rig.folder.read("unit.log");
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

class CtlStopped : public ::testing::Test {
 protected:
  CtlStopped() {
    std::filesystem::copy_file(test::binDir() + "/config.ini", folder.file("config.ini"));
    std::filesystem::copy_file(test::binDir() + "/Pro.dat", folder.file("Pro.dat"));
  }
  // A unit slow enough that a restore is still under way a second later.
  void unit(int port) {
    sims.push_back(std::make_unique<SimProcess>(
        folder.str(), port, std::vector<std::string>{"--latency", "15", "--log", logOf(port)}));
    ASSERT_TRUE(sims.back()->ready());
  }
  std::string logOf(int port) const { return folder.file("unit" + std::to_string(port) + ".log"); }
  // The unit logs what it hears a moment after karaoke-ctl has ended.
  bool heardOneDisconnect(int port) const {
    return pumpUntil([&] { return test::disconnectsHeard(folder.read(logOf(port))) == 1; }, 3000);
  }
  // Starts karaoke-ctl, lets the restore run a while, then ends it as
  // `kill` does.
  void runAndTerminate(QStringList args, std::vector<int> ports = {5}) {
    args << "--folder" << QString::fromStdString(folder.str());
    ctl.start(QString::fromStdString(test::binDir() + "/karaoke-ctl"), args);
    ASSERT_TRUE(ctl.waitForStarted(5000));
    for (int port : ports)
      ASSERT_TRUE(pumpUntil(
          [&] { return restoring(folder.read(logOf(port))); }, 20000))
          << "the restore began on COM" << port;
    ::kill(static_cast<pid_t>(ctl.processId()), SIGTERM);
    ASSERT_TRUE(ctl.waitForFinished(10000));
  }

  test::TempDir folder;
  std::vector<std::unique_ptr<SimProcess>> sims;
  QProcess ctl;
};

TEST_F(CtlStopped, ARestoreEndedBySigtermSaysHowFarItCameAndTheUnitHearsTheDisconnect) {
  unit(5);
  runAndTerminate({"restore", "COM5", QString::fromStdString(folder.file("Pro.dat"))});
  EXPECT_EQ(ctl.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(ctl.exitCode(), 7);
  const std::string err = ctl.readAllStandardError().toStdString();
  EXPECT_NE(err.find("restore stopped: "), std::string::npos) << err;
  EXPECT_NE(err.find(" settings sent; restore again"), std::string::npos) << err;
  EXPECT_TRUE(heardOneDisconnect(5)) << folder.read("unit5.log");
}

TEST_F(CtlStopped, ARoomsRunEndedBySigtermStopsEveryRoomAndReportsThemStopped) {
  unit(5);
  unit(6);
  folder.write("rooms.csv", "room,port\nA,COM5\nB,COM6\n");
  runAndTerminate({"restore", "--rooms", QString::fromStdString(folder.file("rooms.csv")),
                   QString::fromStdString(folder.file("Pro.dat"))},
                  {5, 6});
  EXPECT_EQ(ctl.exitCode(), 7);
  const std::string out = ctl.readAllStandardOutput().toStdString();
  EXPECT_NE(out.find("A: stopped"), std::string::npos) << out;
  EXPECT_NE(out.find("B: stopped"), std::string::npos) << out;
  EXPECT_NE(out.find("2 rooms: 2 stopped"), std::string::npos) << out;
  for (int port : {5, 6}) EXPECT_TRUE(heardOneDisconnect(port)) << folder.read(logOf(port));
}

}  // namespace
}  // namespace kp
