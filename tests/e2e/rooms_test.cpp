// The Rooms window's work through the real stack: karaoke-ctl processes, one
// per room, reaching karaoke-unit-sim on pseudo-terminals and through
// ser2net over RFC 2217 and raw TCP, all on this machine.
#include <gtest/gtest.h>

#include <filesystem>

#include "ini/ini.h"
#include "qt/qt_child_processes.h"
#include "sim/unit_state_text.h"
#include "tests/e2e/qt_rig.h"
#include "tests/e2e/ser2net_process.h"
#include "tests/support/sim_process.h"
#include "venue/venue.h"

namespace kp {
namespace {

using test::pumpUntil;
using test::Ser2netProcess;
using test::SimProcess;

class RoomsOverPty : public ::testing::Test {
 protected:
  RoomsOverPty() {
    test::ensureQtApp();
    std::filesystem::copy_file(test::binDir() + "/config.ini", folder.file("config.ini"));
    std::filesystem::copy_file(test::binDir() + "/Pro.dat", folder.file("Pro.dat"));
    venue.setEngine(test::binDir() + "/karaoke-ctl", &children);
  }
  // A unit on ports/com<port>, starting from state when one is given.
  void unit(int port, const sim::UnitState* state = nullptr, std::vector<std::string> extra = {}) {
    if (state) folder.write("state" + std::to_string(port) + ".txt", sim::stateText(*state));
    extra.insert(extra.end(), {"--state", folder.file("state" + std::to_string(port) + ".txt"),
                               "--log", logOf(port)});
    sims.push_back(std::make_unique<SimProcess>(folder.str(), port, extra));
    ASSERT_TRUE(sims.back()->ready());
  }
  std::string logOf(int port) const { return folder.file("unit" + std::to_string(port) + ".log"); }
  void rooms(const std::string& text) {
    folder.write("rooms.csv", text);
    ASSERT_TRUE(venue.openFile(folder.file("rooms.csv"))) << dialogs.messages.back();
  }
  void select(std::initializer_list<int> chosen) {
    for (auto& r : window.rows) r.selected = false;
    for (int i : chosen) window.rows[static_cast<std::size_t>(i)].selected = true;
  }
  bool runAll(Venue::Action action) {
    venue.run(action);
    return pumpUntil([&] { return !venue.busy(); }, 90000);
  }
  const RoomRow& row(int i) const { return window.rows[static_cast<std::size_t>(i)]; }

  test::TempDir folder;
  std::vector<std::unique_ptr<SimProcess>> sims;
  QtChildProcesses children;
  RecordingDialogs dialogs;
  RecordingDesktop desktop;
  RoomsWindow window;
  Venue venue{window, VenueEnv{folder.str(),
                               {},
                               nullptr,
                               &dialogs,
                               &desktop,
                               {},
                               {},
                               [] { return std::string("12:00"); },
                               [] { return std::string("2026-12-09"); },
                               [] { return true; }}};
};

TEST_F(RoomsOverPty, CheckVerifyBackUpAndRestoreEveryKindOfRoomWhileOneFailureStopsNoOther) {
  sim::UnitState changed = sim::UnitState::factory();
  changed.musicSlots[1].bands[18] = static_cast<std::uint8_t>(changed.musicSlots[1].bands[18] + 3);
  unit(5);
  unit(6, &changed);
  unit(7);
  unit(8);
  for (const char* sub : {"rfc", "raw", "backups"})
    std::filesystem::create_directories(folder.file(sub));
  Ser2netProcess rfc(folder.str() + "/rfc",
                     Ser2netProcess::serialConnector(Ser2netProcess::linkTarget(folder.str(), 7)),
                     Ser2netProcess::Protocol::Rfc2217);
  Ser2netProcess raw(folder.str() + "/raw",
                     Ser2netProcess::serialConnector(Ser2netProcess::linkTarget(folder.str(), 8)),
                     Ser2netProcess::Protocol::RawTcp);
  ASSERT_TRUE(rfc.ready() && raw.ready());
  std::filesystem::create_directories(folder.file("ports"));
  std::filesystem::create_symlink("/dev/kp-no-such-tty", folder.file("ports/com9"));
  const int refused = Ser2netProcess::freePort();
  rooms("room,port,file\nA,COM5\nB,COM6\nC," + rfc.url() + "\nD," + raw.url() +
        "\nE,COM9\nF,tcp://127.0.0.1:" + std::to_string(refused) + "\n");
  ASSERT_EQ(window.rows.size(), 6u);

  ASSERT_TRUE(runAll(Venue::Action::Check));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(row(i).state, "answers: long dump") << row(i).room.name;
  EXPECT_EQ(row(0).checkedAt, "12:00");
  EXPECT_EQ(row(4).state.rfind("Cannot open COM9 (", 0), 0u) << row(4).state;
  EXPECT_EQ(row(5).state.rfind("cannot reach 127.0.0.1:" + std::to_string(refused) + " (", 0), 0u)
      << row(5).state;
  EXPECT_EQ(window.Summary.caption(), "4 answer, 2 failed");

  // A's unit backed up, and the backup made the reference of A, B and C.
  dialogs.fileAnswers.push_back(folder.file("backups"));
  select({0});
  ASSERT_TRUE(runAll(Venue::Action::Backup));
  const std::string backup = folder.file("backups/A-2026-12-09.dat");
  EXPECT_EQ(row(0).state, "backed up: A-2026-12-09.dat");
  ASSERT_TRUE(std::filesystem::exists(backup));
  for (int i : {0, 1, 2}) window.onCellEdited(i, 3, backup);
  EXPECT_TRUE(dialogs.questions.empty());

  select({0, 1, 2, 3});
  ASSERT_TRUE(runAll(Venue::Action::Verify));
  EXPECT_EQ(row(0).state, "same");
  EXPECT_EQ(row(1).state, "values differ: 1");
  ASSERT_FALSE(row(1).details.empty());
  EXPECT_NE(row(1).details.front().find("RAM2"), std::string::npos) << row(1).details.front();
  EXPECT_EQ(row(2).state, "same") << "through RFC 2217";
  EXPECT_EQ(row(3).state, "no reference file");

  // The reference back into B, after one confirmation naming it; verified.
  select({1});
  dialogs.askAnswers = {true, true};
  ASSERT_TRUE(runAll(Venue::Action::Restore));
  EXPECT_EQ(row(1).state, "restored and verified")
      << (row(1).details.empty() ? "" : row(1).details.back());
  ASSERT_EQ(dialogs.questions.size(), 2u);
  EXPECT_NE(dialogs.questions[1].find(": B?"), std::string::npos) << dialogs.questions[1];
  EXPECT_EQ(dialogs.messages.size(), 0u);
}

TEST_F(RoomsOverPty, StopDuringARestoreUnlinksEveryUnitAndSaysHowFarEachCame) {
  unit(5, nullptr, {"--latency", "15"});
  unit(6, nullptr, {"--latency", "15"});
  rooms("A,COM5,Pro.dat\nB,COM6,Pro.dat\n");
  dialogs.askAnswers = {true, true};
  venue.run(Venue::Action::Restore);
  ASSERT_TRUE(pumpUntil(
      [&] { return row(0).state == "sending settings" && row(1).state == "sending settings"; },
      30000))
      << row(0).state << " / " << row(1).state;
  venue.stop();
  ASSERT_TRUE(pumpUntil([&] { return !venue.busy(); }, 15000));
  for (int i : {0, 1}) {
    EXPECT_EQ(row(i).state.rfind("restore stopped: ", 0), 0u) << row(i).state;
    EXPECT_NE(row(i).state.find(" settings sent; restore again"), std::string::npos)
        << row(i).state;
    EXPECT_EQ(test::disconnectsHeard(folder.read("unit" + std::to_string(5 + i) + ".log")), 1);
  }
  EXPECT_EQ(window.Summary.caption(), "2 stopped");
}

// The panel itself, its port switched from room to room without a restart.
TEST(RoomsLink, LinkToRoomSwitchesThePanelsPortAndTheRoomLeftHearsTheDisconnect) {
  test::PanelRig rig;
  rig.folder.write("config.ini", "[config]\r\nCOM=5\r\n");
  SimProcess a(rig.folder.str(), 5, {"--log", rig.folder.str() + "/a.log"});
  SimProcess b(rig.folder.str(), 6, {"--log", rig.folder.str() + "/b.log"});
  ASSERT_TRUE(a.ready() && b.ready());
  Program& p = rig.make();
  p.chosenPort = rig.serial.get();
  p.startUp();
  rig.folder.write("rooms.csv", "room,port\nBar,COM5\nHall,COM6\n");
  ASSERT_TRUE(p.venue.openFile(rig.folder.str() + "/rooms.csv"));

  p.roomsWindow.onActivated(0);
  ASSERT_TRUE(pumpUntil([&] { return p.state.Is_Linked; }, 15000));
  EXPECT_EQ(p.state.roomName, "Bar");
  EXPECT_NE(p.form4.caption().find("Bar"), std::string::npos);
  EXPECT_EQ(p.form4.Label(3).caption().rfind("Bar\n", 0), 0u);

  p.roomsWindow.onActivated(1);
  ASSERT_TRUE(pumpUntil([&] { return p.state.Is_Linked && p.state.roomName == "Hall"; }, 15000));
  EXPECT_TRUE(
      pumpUntil([&] { return test::disconnectsHeard(rig.folder.read("a.log")) == 1; }, 3000));
  EXPECT_EQ(test::disconnectsHeard(rig.folder.read("b.log")), 0);
  EXPECT_EQ(Read_Ini("config", "COM", rig.folder.str() + "/config.ini"), "5")
      << "the port dialog's choice stays";
  EXPECT_EQ(Read_Ini("config", "Rooms_File", rig.folder.str() + "/config.ini"),
            rig.folder.str() + "/rooms.csv");
  p.shutDown();
  EXPECT_TRUE(
      pumpUntil([&] { return test::disconnectsHeard(rig.folder.read("b.log")) == 1; }, 3000));
}

}  // namespace
}  // namespace kp
