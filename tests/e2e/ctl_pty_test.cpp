// karaoke-ctl through the whole stack: the program as shipped, the Qt serial
// port, pseudo-terminals and karaoke-unit-sim processes, several at once.
// What a unit holds is read from the simulator's own state when it ends,
// and what a preset file must hold comes from the file format's table, so
// neither side is judged by the code under test.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "ini/ini.h"
#include "sim/unit_state_text.h"
#include "tests/support/rig.h"
#include "tests/support/run_program.h"
#include "tests/support/sim_process.h"

namespace kp {
namespace {

using test::binDir;
using test::ProgramResult;
using test::runProgram;
using test::SimProcess;
using Values = std::map<std::pair<std::string, std::string>, int>;

int indexOf(int code, std::initializer_list<int> codes) {
  int i = 0;
  for (int c : codes) {
    if (c == code) return i;
    ++i;
  }
  return -1;
}

// The preset file's keys for a unit's state.
Values presetValuesOf(const sim::UnitState& s) {
  Values v;
  const auto& d = s.setup;
  const std::pair<const char*, int> config[] = {
      {"MIC_MAX_VOLUME", d.micMaxVolume},
      {"MIC_MIN_VOLUME", d.micMinVolume},
      {"MIC_MODE", d.micEffectMode},
      {"MUSIC_MAX_VOLUME", d.musicMaxVolume},
      {"MUSIC_MIN_VOLUME", d.musicMinVolume},
      {"MUSIC_MODE", d.musicEffectMode},
      {"Music_Master", s.musicMaster},
      {"Mic_Master", s.micMaster},
      {"KTV_MIN_VOLUME", d.ktvMinVolume},
      {"KTV_MIN_DU", indexOf(d.ktvSensitivity, {8, 16, 32})},
      {"KTV_RESET_TIME", indexOf(d.ktvResetTime, {1, 2, 4})}};
  for (const auto& [key, value] : config) v[{"config", key}] = value;
  const char* surround[] = {"L", "R", "SL", "SR", "C", "SUB"};
  for (int i = 0; i < 6; ++i) v[{"config", surround[i]}] = s.surround[i];
  for (int n = 0; n < 3; ++n) {
    for (int k = 1; k <= 31; ++k) {
      v[{"Music_" + std::to_string(n), std::to_string(k)}] = s.musicSlots[n].bands[k - 1];
      v[{"Mic_" + std::to_string(n), std::to_string(k)}] = s.micSlots[n].bands[k - 1];
    }
    for (int k = 32; k <= 37; ++k)
      v[{"Mic_" + std::to_string(n), std::to_string(k)}] = s.micSlots[n].effects[k - 32];
  }
  return v;
}

std::string presetText(const Values& values) {
  std::string text, section;
  for (const auto& [at, value] : values) {
    if (at.first != section) text += "[" + (section = at.first) + "]\r\n";
    text += at.second + "=" + std::to_string(value) + "\r\n";
  }
  return text;
}

// Every key of the file that differs from what it should hold.
std::vector<std::string> mismatches(const std::string& path, const Values& expected) {
  std::vector<std::string> out;
  for (const auto& [at, value] : expected) {
    const std::string got = Read_Ini(at.first, at.second, path);
    if (got != std::to_string(value))
      out.push_back("[" + at.first + "] " + at.second + ": " + got +
                    " != " + std::to_string(value));
  }
  return out;
}

class CtlOverPty : public ::testing::Test {
 protected:
  CtlOverPty() {
    std::filesystem::copy_file(binDir() + "/config.ini", folder.file("config.ini"));
    std::filesystem::copy_file(binDir() + "/Pro.dat", folder.file("Pro.dat"));
  }
  ProgramResult ctl(std::vector<std::string> args) {
    args.insert(args.end(), {"--folder", folder.str()});
    return runProgram(binDir() + "/karaoke-ctl", args);
  }
  // A unit on ports/com<port>, keeping its state in state<port>.txt.
  SimProcess& unit(int port, std::vector<std::string> extra = {}) {
    extra.insert(extra.end(), {"--state", statePath(port)});
    sims.push_back(std::make_unique<SimProcess>(folder.str(), port, extra));
    EXPECT_TRUE(sims.back()->ready());
    return *sims.back();
  }
  std::string statePath(int port) const {
    return folder.file("state" + std::to_string(port) + ".txt");
  }
  void writeState(int port, const sim::UnitState& s) {
    folder.write("state" + std::to_string(port) + ".txt", sim::stateText(s));
  }
  // What the unit held when its program ended.
  sim::UnitState finalState(SimProcess& sim, int port) {
    sim.stop();
    const auto s = sim::parseStateText(folder.read("state" + std::to_string(port) + ".txt"));
    EXPECT_TRUE(s.has_value());
    return s.value_or(sim::UnitState{});
  }

  test::TempDir folder;
  std::vector<std::unique_ptr<SimProcess>> sims;
};

TEST_F(CtlOverPty, BackupOfEveryRoomHoldsThatUnitsStateAndIsNamedByRoom) {
  for (int port : {11, 12, 13}) unit(port, {"--random-state", std::to_string(port)});
  folder.write("rooms.csv", "room,port\r\n101,COM11\r\n102,COM12\r\n\"Bar 3\",COM13\r\n");
  std::filesystem::create_directory(folder.file("venue"));
  const auto r = ctl({"backup", "--rooms", folder.file("rooms.csv"), folder.file("venue")});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("3 rooms: 3 done"), std::string::npos) << r.out;
  const std::pair<const char*, int> rooms[] = {{"101", 11}, {"102", 12}, {"Bar 3", 13}};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto state = finalState(*sims[i], rooms[i].second);
    EXPECT_EQ(mismatches(folder.file("venue/" + std::string(rooms[i].first) + ".dat"),
                         presetValuesOf(state)),
              std::vector<std::string>{})
        << rooms[i].first;
  }
}

TEST_F(CtlOverPty, RestoreOfRandomFilesLeavesEachUnitHoldingItsFile) {
  std::string rooms;
  for (int port : {14, 15}) {
    unit(port);
    folder.write("preset" + std::to_string(port) + ".dat",
                 presetText(presetValuesOf(sim::randomState(port * 31))));
    rooms += "r" + std::to_string(port) + ",COM" + std::to_string(port) + ",preset" +
             std::to_string(port) + ".dat\n";
  }
  folder.write("rooms.csv", rooms);
  const auto r = ctl({"restore", "--rooms", folder.file("rooms.csv"), "-j", "1"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("verified: the unit holds what the file holds"), std::string::npos) << r.out;
  for (std::size_t i = 0; i < 2; ++i) {
    const int port = 14 + static_cast<int>(i);
    const std::string file = folder.file("preset" + std::to_string(port) + ".dat");
    const auto state = finalState(*sims[i], port);
    EXPECT_EQ(mismatches(file, presetValuesOf(state)), std::vector<std::string>{}) << port;
  }
}

TEST_F(CtlOverPty, VerifyNamesTheOneBandThatDiffers) {
  sim::UnitState s = sim::randomState(7);
  Values file = presetValuesOf(s);
  file[{"Music_1", "19"}] = 18;    // RAM2's 1.25k at +3 in the file
  s.musicSlots[1].bands[18] = 15;  // and flat in the unit
  folder.write("room.dat", presetText(file));
  writeState(16, s);
  unit(16);
  const auto r = ctl({"verify", "COM16", folder.file("room.dat")});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out, "Music RAM2 1.25k: file +3, unit 0\nCOM16 differs from " +
                       folder.file("room.dat") + " in 1 setting\n");
}

TEST_F(CtlOverPty, NoisyLineStillRestoresEverything) {
  unit(17, {"--resend", "0.2", "--drop", "0.005", "--seed", "5"});
  const auto r = ctl({"restore", "COM17", folder.file("Pro.dat")});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("sent again; verified: the unit holds what the file holds"),
            std::string::npos)
      << r.out;
}

TEST_F(CtlOverPty, UnitFallingSilentDuringARestoreNamesWhatWasNotConfirmed) {
  // The link and its dump are 303 messages; the unit answers 47 frames more.
  unit(18, {"--stop-after", "350"});
  const auto plan = ctl({"restore", "COM18", folder.file("Pro.dat"), "--dry-run"});
  ASSERT_EQ(plan.exitCode, 0) << plan.err;
  const auto at = plan.out.find("\n48  ");
  ASSERT_NE(at, std::string::npos) << plan.out;
  const std::string first = plan.out.substr(at + 5, plan.out.find('\n', at + 1) - at - 5);
  const auto r = ctl({"restore", "COM18", folder.file("Pro.dat"), "--no-verify", "--json"});
  EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
  EXPECT_NE(r.out.find("\"unconfirmed\":[\"" + first + "\","), std::string::npos) << first << "\n"
                                                                                  << r.out;
  EXPECT_NE(r.out.find("the link was lost during the load"), std::string::npos) << r.out;
}

TEST_F(CtlOverPty, SilentUnitAndMissingPortFailOnTheirOwnWhileTheOthersGoOn) {
  unit(19, {"--silent"});
  unit(20);
  std::filesystem::create_directories(folder.file("ports"));
  std::filesystem::create_symlink("/nonexistent/tty", folder.file("ports/com21"));
  folder.write("rooms.csv", "silent,COM19\ngood,COM20\nunplugged,COM21\n");
  const auto r = ctl({"probe", "--rooms", folder.file("rooms.csv")});
  EXPECT_EQ(r.exitCode, 4) << r.out << r.err;  // the largest: port failed
  EXPECT_NE(r.out.find("silent: no answer"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("good: done: COM20: long dump, 302 messages"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("unplugged: port failed"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("3 rooms: 1 done, 1 no answer, 1 port failed"), std::string::npos) << r.out;
}

TEST_F(CtlOverPty, BadInputIsRefusedBeforeAnythingIsSentOrWritten) {
  unit(22, {"--log", folder.file("frames.log")});
  std::filesystem::create_directory(folder.file("out"));
  folder.write("dup.csv", "a,COM22\nb,com22\n");
  folder.write("short.csv", "a,COM22\nb\n");
  folder.write("broken.dat", "[config]\r\nMIC_MAX_VOLUME=loud\r\nMIC_MIN_VOLUME=40\r\n");
  const auto dup = ctl({"backup", "--rooms", folder.file("dup.csv"), folder.file("out")});
  EXPECT_EQ(dup.exitCode, 2);
  EXPECT_NE(dup.err.find("line 2: port com22 is the device of line 1 too"), std::string::npos)
      << dup.err;
  // ports/com22 is a link to the unit's pseudo-terminal: the same unit.
  folder.write(
      "linked.csv",
      "a,COM22\nb," + std::filesystem::read_symlink(folder.file("ports/com22")).string() + "\n");
  const auto linked = ctl({"backup", "--rooms", folder.file("linked.csv"), folder.file("out")});
  EXPECT_EQ(linked.exitCode, 2);
  EXPECT_NE(linked.err.find("is the device of line 1 too"), std::string::npos) << linked.err;
  const auto unreadable =
      ctl({"backup", "--rooms", folder.file("missing.csv"), folder.file("out")});
  EXPECT_EQ(unreadable.exitCode, 2);
  EXPECT_NE(unreadable.err.find("cannot read the rooms file"), std::string::npos) << unreadable.err;
  const auto shortRow = ctl({"backup", "--rooms", folder.file("short.csv"), folder.file("out")});
  EXPECT_EQ(shortRow.exitCode, 2);
  EXPECT_NE(shortRow.err.find("line 2: room b has no port column"), std::string::npos)
      << shortRow.err;
  const auto broken = ctl({"restore", "COM22", folder.file("broken.dat")});
  EXPECT_EQ(broken.exitCode, 5);
  EXPECT_NE(broken.err.find("MIC_MAX_VOLUME: \"loud\" is not a whole number 1..100"),
            std::string::npos)
      << broken.err;
  const auto noFolder = ctl({"backup", "COM22", folder.file("missing/unit.dat")});
  EXPECT_EQ(noFolder.exitCode, 5);
  EXPECT_TRUE(std::filesystem::is_empty(folder.file("out")));
  sims.back()->stop();
  EXPECT_EQ(folder.read("frames.log").find("panel→unit"), std::string::npos);
}

}  // namespace
}  // namespace kp
