// karaoke-ctl eq: its options, the proposal from a measurement taken with
// a preset's slot, the copy of the preset it writes, and the files it
// refuses with the status for an unusable file.
#include <gtest/gtest.h>

#include <cstdio>

#include "ctl/eq_command.h"
#include "ini/ini.h"
#include "tests/presets/preset_fixture.h"
#include "tuning/eq_model.h"
#include "tuning/log_curve.h"

namespace kp::ctl {
namespace {

Options parsed(const std::vector<std::string>& args) {
  std::string error;
  const auto o = parseArgs(args, &error);
  EXPECT_TRUE(o) << error;
  return o.value_or(Options{});
}

std::string refusal(const std::vector<std::string>& args) {
  std::string error;
  return parseArgs(args, &error) ? "accepted" : error;
}

TEST(EqArguments, OptionsAreReadAndMisplacedOnesRefused) {
  const Options o = parsed({"eq", "room.txt", "--range", "63-12.5k", "--slot", "ram2", "--channel",
                            "mic", "--max-boost", "3", "--tilt", "-0.5", "-o", "out.dat"});
  EXPECT_EQ(o.files, std::vector<std::string>{"room.txt"});
  EXPECT_EQ(o.eq.lowHz, 63);
  EXPECT_EQ(o.eq.highHz, 12500);
  EXPECT_EQ(o.eq.slot, 1);
  EXPECT_TRUE(o.eq.mic);
  EXPECT_EQ(o.eq.maxBoost, 3);
  EXPECT_EQ(o.eq.tilt, -0.5);
  EXPECT_EQ(refusal({"eq"}), "eq takes one MEASUREMENT");
  EXPECT_EQ(refusal({"eq", "r.txt", "--tilt", "1", "--target", "house.txt"}),
            "eq takes --target or --tilt, not both");
  EXPECT_EQ(refusal({"eq", "r.txt", "--range", "16k-40"}),
            "--range needs LOW-HIGH in Hz within 20-20k, such as 40-16k, not 16k-40");
  EXPECT_EQ(refusal({"eq", "r.txt", "--slot", "RAM4"}), "--slot is RAM1, RAM2 or RAM3, not RAM4");
  EXPECT_EQ(refusal({"diff", "a.dat", "b.dat", "--from", "c.dat"}), "--from is for eq");
}

class EqCommand : public ::testing::Test {
 protected:
  EqCommand() {
    dir.write("config.ini", "[config]\r\nCOM=1\r\n");
    dir.write("from.dat", test::PresetData::sample().text("\r\n"));
  }
  // The room 5 dB up at 400 Hz, measured through music RAM2 of from.dat.
  std::string measurement() {
    const test::PresetData d = test::PresetData::sample();
    for (int k = 1; k <= tuning::kBands; ++k)
      with[static_cast<std::size_t>(k - 1)] = d.music[1][k] - kBandOffset;
    tuning::BandValues room{};
    room[13] = 5;
    std::string text;
    for (double hz : tuning::logSpaced(20, 20000, 48)) {
      char row[48];
      std::snprintf(row, sizeof row, "%.3f,%.3f\n", hz,
                    model.responseDb(room, hz) + model.responseDb(with, hz));
      text += row;
    }
    dir.write("room.txt", text);
    return dir.file("room.txt");
  }
  Outcome run(const std::vector<std::string>& args) {
    return runEqCommand(parsed(args), dir.str());
  }

  test::TempDir dir;
  tuning::EqModel model;
  tuning::BandValues with{};
};

TEST_F(EqCommand, TheProposalIsFromTheSlotMeasuredWithAndLandsInACopyOfThePreset) {
  const std::string out = dir.file("out.dat");
  const Outcome r = run(
      {"eq", measurement(), "--from", dir.file("from.dat"), "--slot", "RAM2", "-o", out, "--json"});
  ASSERT_EQ(r.status, Status::Done) << r.error;
  for (int k = 1; k <= tuning::kBands; ++k) {
    const int written = std::stoi(Read_Ini("Music_1", std::to_string(k), out)) - kBandOffset;
    // Bands outside the range keep their values; those next to the range's
    // ends also make up for what the kept ones spill into it.
    if (k < 4 || k > 30) {
      EXPECT_EQ(written, with[static_cast<std::size_t>(k - 1)]) << k;
    } else if (k > 5 && k < 29) {
      EXPECT_NEAR(written, k == 14 ? -5 : 0, 1) << k;
    }
    EXPECT_EQ(Read_Ini("Music_0", std::to_string(k), out),
              Read_Ini("Music_0", std::to_string(k), dir.file("from.dat")));
  }
  const std::string json = r.json.str();
  EXPECT_NE(json.find("\"bands\":[" + std::to_string(with[0]) + ","), std::string::npos) << json;
  EXPECT_NE(json.find("\"error_after_db\":0."), std::string::npos) << json;
  EXPECT_EQ(r.details.size(), 32u);
}

TEST_F(EqCommand, WhatIsNoUsableMeasurementIsAFileFailure) {
  dir.write("notes.txt", "Measured on Tuesday\nlevels fine\n");
  const Outcome words = run({"eq", dir.file("notes.txt")});
  EXPECT_EQ(words.status, Status::FileFailed);
  EXPECT_EQ(words.error, dir.file("notes.txt") + ": no rows of frequency and level");
  std::string partial;
  for (double hz : tuning::logSpaced(50, 20000, 12)) partial += std::to_string(hz) + " 80\n";
  dir.write("partial.txt", partial);
  const Outcome narrow = run({"eq", dir.file("partial.txt")});
  EXPECT_EQ(narrow.status, Status::FileFailed);
  EXPECT_NE(narrow.error.find("not the correction range 40 Hz to 16 kHz"), std::string::npos)
      << narrow.error;
  const Outcome missing = run({"eq", measurement(), "--from", dir.file("none.dat")});
  EXPECT_EQ(missing.status, Status::FileFailed);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.dat"));
}

}  // namespace
}  // namespace kp::ctl
