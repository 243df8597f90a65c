// karaoke-ctl's command line and rooms files: what must be refused before
// any port is opened, and what must be read as meant.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "core/fresh_file.h"
#include "core/state.h"
#include "ctl/ctl_args.h"
#include "ctl/rooms_runner.h"
#include "presets/preset_compare.h"
#include "tests/support/rig.h"
#include "venue/rooms_file.h"

namespace kp::ctl {
namespace {

std::string refusal(const std::vector<std::string>& args) {
  std::string error;
  return parseArgs(args, &error) ? "accepted" : error;
}

TEST(CtlArguments, CommandsTakeTheirArgumentsWherePlaced) {
  std::string error;
  const auto o =
      parseArgs({"restore", "--model", "2", "COM3", "std.dat", "--no-verify", "--json"}, &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->port, "COM3");
  EXPECT_EQ(o->files, std::vector<std::string>{"std.dat"});
  EXPECT_EQ(o->model, 2);
  EXPECT_TRUE(o->noVerify && o->json);
  const auto rooms = parseArgs({"backup", "--rooms=venue.csv", "out", "-j", "4"}, &error);
  ASSERT_TRUE(rooms) << error;
  EXPECT_TRUE(rooms->port.empty());
  EXPECT_EQ(rooms->files, std::vector<std::string>{"out"});
  EXPECT_EQ(rooms->jobs, 4);
}

TEST(CtlArguments, NonsenseIsRefusedWithTheReason) {
  EXPECT_EQ(refusal({"restore", "COM3"}), "restore takes PORT FILE");
  EXPECT_EQ(refusal({"backup", "COM3", "a.dat", "--dry-run"}), "--dry-run is for restore");
  EXPECT_EQ(refusal({"report", "a.dat"}), "report needs -o OUT.html");
  EXPECT_EQ(refusal({"report", "a.dat", "--port", "COM1", "-o", "x.html"}),
            "report takes either a FILE or --port PORT");
  EXPECT_EQ(refusal({"probe", "COM1", "-j", "2"}), "-j is for --rooms");
  EXPECT_EQ(refusal({"probe", "COM1", "--model", "8"}), "--model needs 0..7, not 8");
  EXPECT_EQ(refusal({"verify", "COM1", "a.dat", "--lang", "fr"}), "--lang is en or zh, not fr");
}

TEST(RoomsFile, QuotedFieldsKeepTheirCommas) {
  EXPECT_EQ(csvFields(" a , \"b, c\" ,\"say \"\"hi\"\"\""),
            (std::vector<std::string>{"a", "b, c", "say \"hi\""}));
  EXPECT_FALSE(csvFields("a,\"open"));
}

TEST(RoomsFile, EachFaultIsNamedByItsLine) {
  test::TempDir folder;
  auto fault = [&](const std::string& text) {
    std::string error;
    return parseRooms(text, "rooms.csv", folder.str(), folder.str(), &error) ? "accepted" : error;
  };
  EXPECT_EQ(fault("room,port,file\n# ground floor\n101,COM3\n102\n"),
            "rooms.csv line 4: room 102 has no port column");
  EXPECT_EQ(fault("101,COM3\n101,COM4\n"), "rooms.csv line 2: room 101 is named on line 1 already");
  EXPECT_EQ(fault("Caf\xC3\xA9,COM3\nCAF\xC3\x89,COM4\n"),
            "rooms.csv line 2: room CAF\xC3\x89 is named on line 1 already");
  EXPECT_EQ(fault("101,COM3\n102,com3\n"),
            "rooms.csv line 2: port com3 is the device of line 1 too: one unit per port");
  EXPECT_EQ(fault("../up,COM3\n"), "rooms.csv line 1: the room name \"../up\" cannot name a file");
  EXPECT_EQ(fault("101,COM0\n"), "rooms.csv line 1: no such port COM0 (COM1..COM255)");
  EXPECT_EQ(fault("room,port\n"), "rooms.csv: no rooms in it");
  std::string error;
  const auto rooms = parseRooms("\xEF\xBB\xBFroom,port,file\r\n101,COM3,std.dat\r\n", "r.csv",
                                folder.str(), folder.str(), &error);
  ASSERT_TRUE(rooms) << error;
  EXPECT_EQ((*rooms)[0].file, folder.file("std.dat"));
}

TEST(RoomsFile, ASpreadsheetsGbkIsReadAsChineseAndUtf8AsItIs) {
  test::TempDir folder;
  std::string error;
  const auto gbk = parseRooms(
      "room,port,file\r\n\xB0\xFC\xCF\xE1"
      "1,COM3,\xB1\xEA\xD7\xBC.dat\r\n",
      "r.csv", folder.str(), folder.str(), &error);
  ASSERT_TRUE(gbk) << error;
  EXPECT_EQ((*gbk)[0].name, "包厢1");
  EXPECT_EQ((*gbk)[0].file, folder.file("标准.dat"));
  const auto utf8 =
      parseRooms("\xEF\xBB\xBF包厢2,COM4\n", "r.csv", folder.str(), folder.str(), &error);
  ASSERT_TRUE(utf8) << error;
  EXPECT_EQ((*utf8)[0].name, "包厢2");
}

TEST(RoomsFile, OnePortIsOneUnitWhateverNameItGoesBy) {
  test::TempDir folder;
  folder.write("config.ini",
               "[ports]\r\nCOM4=/dev/ttyUSB1\r\nCOM5=COM17\r\nCOM6=tcp://Unit-7.local:4001\r\n");
  auto verdict = [&](const std::string& text) {
    std::string error;
    return parseRooms(text, "rooms.csv", folder.str(), folder.str(), &error) ? "accepted" : error;
  };
  EXPECT_EQ(verdict("a,COM4\nb,/dev/ttyUSB1\n"),
            "rooms.csv line 2: port /dev/ttyUSB1 is the device of line 1 too: one unit per port");
  EXPECT_EQ(verdict("a,com17\nb,COM5\n"),
            "rooms.csv line 2: port COM5 is the device of line 1 too: one unit per port");
  EXPECT_EQ(verdict("a,COM6\nb,socket://UNIT-7.local:4001\n"),
            "rooms.csv line 2: port socket://UNIT-7.local:4001 is the device of line 1 too: one "
            "unit per port");
  EXPECT_EQ(verdict("a,COM4\nb,COM5\nc,/dev/ttyUSB2\nd,COM6\ne,tcp://unit-7.local:4002\nf,COM7\n"),
            "accepted");
}

// The rooms of text, planned for the command line args.
std::optional<std::vector<RoomJob>> plan(const test::TempDir& folder, const std::string& text,
                                         const std::vector<std::string>& args, std::string* error) {
  const auto rooms = parseRooms(text, "rooms.csv", folder.str(), folder.str(), error);
  const auto o = parseArgs(args, error);
  if (!rooms || !o) return std::nullopt;
  Status status = Status::Done;
  return planRooms(*o, *rooms, folder.str(), error, &status);
}

TEST(RoomsPlan, AReportGoesIntoItsFolderAndNeverOverARoomsPreset) {
  test::TempDir folder;
  std::filesystem::create_directory(folder.file("reports"));
  folder.write("bar-standard.dat", "[config]\r\nMic_Master=50\r\n");
  const std::vector<std::string> args = {"report", "--rooms", "rooms.csv", "-o",
                                         folder.file("reports")};
  std::string error;
  const auto jobs = plan(folder, "101,COM3\nBar,COM5,bar-standard.dat\n", args, &error);
  ASSERT_TRUE(jobs) << error;
  EXPECT_EQ((*jobs)[1].target, joinPath(folder.file("reports"), "Bar.html"));
  const auto& a = (*jobs)[1].args;
  EXPECT_EQ(std::find(a.begin(), a.end(), folder.file("bar-standard.dat")), a.end());
  EXPECT_FALSE(plan(folder, "Bar,COM5,reports/bar.HTML\n", args, &error));
  EXPECT_NE(error.find("is a room's preset file"), std::string::npos) << error;
}

TEST(RoomsPlan, BackupsWhoseNamesDifferOnlyInCaseCollide) {
  test::TempDir folder;
  std::filesystem::create_directory(folder.file("backups"));
  const std::vector<std::string> args = {"backup", "--rooms", "rooms.csv", folder.file("backups")};
  std::string error;
  EXPECT_FALSE(plan(folder, "a,COM3,x.dat\nb,COM4,X.DAT\n", args, &error));
  EXPECT_NE(error.find("X.DAT, which another room writes too"), std::string::npos) << error;
  EXPECT_FALSE(plan(folder, "Caf\xC3\xA9,COM3\nb,COM4,backups/CAF\xC3\x89.dat\n", args, &error));
  EXPECT_NE(error.find("which another room writes too"), std::string::npos) << error;
  EXPECT_TRUE(plan(folder, "a,COM3,x.dat\nb,COM4,y.dat\n", args, &error)) << error;
}

TEST(FreshFile, ANameAlreadyTakenIsNeverHandedOutAgain) {
  test::TempDir folder;
  const auto target = folder.path() / "unit.dat";
  const std::uint32_t numbers[] = {7, 7, 7, 8};
  std::size_t next = 0;
  const std::function<std::uint32_t()> random = [&] { return numbers[next++ % 4]; };
  std::string error;
  const auto first = claimFreshFile(target, &error, random);
  const auto second = claimFreshFile(target, &error, random);
  ASSERT_TRUE(first && second) << error;
  EXPECT_NE(*first, *second);
  EXPECT_TRUE(std::filesystem::exists(*first) && std::filesystem::exists(*second));
  EXPECT_FALSE(claimFreshFile(folder.path() / "missing" / "unit.dat", &error, random));
  EXPECT_NE(error.find("cannot create a file beside"), std::string::npos) << error;
}

TEST(PresetComparison, AShortDumpUnitIsNotHeldToTheFilesOutputs) {
  PresetContents file = presetContentsOfText("[config]\r\nL=40\r\nMic_Master=50\r\n");
  PresetContents unit = presetContentsOfText("[config]\r\nMic_Master=45\r\n");
  ParameterTexts names;
  std::vector<std::string> differing;
  for (const auto& d : comparePresets(file, unit, false))
    differing.push_back(parameterName(presetKeys()[d.key], names));
  EXPECT_EQ(differing, std::vector<std::string>{"Microphone MASTER"});
  EXPECT_EQ(comparePresets(file, unit, true).size(), 2u);
}

}  // namespace
}  // namespace kp::ctl
