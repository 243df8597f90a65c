// Reading a measured response as room-measurement programs export it, and
// refusing, with the line and the reason, what is not one.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "tests/support/rig.h"
#include "tuning/measurement.h"

namespace kp::tuning {
namespace {

// Twenty rows of 20 Hz .. 20*2^(19/2) Hz, written by `row`.
std::string rows(const std::function<std::string(double hz, double db)>& row) {
  std::string out;
  for (int i = 0; i < 20; ++i) out += row(20 * std::exp2(i / 2.0), i - 10.5);
  return out;
}

TEST(ResponseText, EveryExportFormReadsTheSame) {
  auto fmt = [](const char* pattern, bool comma) {
    return [=](double hz, double db) {
      char buf[96];
      std::snprintf(buf, sizeof buf, pattern, hz, db);
      std::string s = buf;
      if (comma)
        for (char& c : s)
          if (c == '.') c = ',';
      return s;
    };
  };
  const std::string forms[] = {
      "* Measurement data\n* Source: test\nFreq(Hz) SPL(dB) Phase(degrees)\n" +
          rows(fmt("%.4f %.3f 12.5\n", false)),
      rows(fmt("%.4f\t%.3f\n", false)),
      "Frequency,Level\r\n" + rows(fmt("%.4f, %.3f, -170\r\n", false)),
      "\xEF\xBB\xBF" + rows(fmt("%.4f;%.3f;0.0\r\n", true)),
      "Freq;SPL;Phase\n" + rows(fmt("%.4f; %.3f; 0,0\n", true)),
      rows(fmt("%.4f\t%.3f\n", true)),
  };
  for (const std::string& text : forms) {
    const ResponseText r = parseResponseText(text, kMinMeasurementPoints);
    ASSERT_TRUE(r.ok()) << r.describe() << "\n" << text;
    ASSERT_EQ(r.points.size(), 20u);
    EXPECT_NEAR(r.points[3].hz, 20 * std::exp2(1.5), 1e-3);
    EXPECT_NEAR(r.points[3].db, -7.5, 1e-3);
  }
}

TEST(ResponseText, WhatIsNotAMeasurementIsRefusedWithItsLineAndReason) {
  const std::string good = rows(
      [](double hz, double db) { return std::to_string(hz) + " " + std::to_string(db) + "\n"; });
  const struct {
    std::string text;
    int line;
    const char* reason;
  } cases[] = {
      {"* header\n20 1\n\x01\x02\x00\xff binary", 3, "binary data"},
      {std::string("\xFF\xFE"
                   "2\0"
                   "0\0",
                   6),
       1, "UTF-16"},
      {"just some words\nand more words\n", 0, "no rows of frequency and level"},
      {good + "500 1\n", 21, "frequency 500 Hz does not increase (line 20 has"},
      {"20 1\n20 2\n" + good, 2, "does not increase"},
      {"20 nan\n" + good, 1, "NaN or infinite"},
      {"20 1\n25 -inf\n" + good, 2, "NaN or infinite"},
      {"20 1e999\n", 1, "NaN or infinite"},
      {"20 1\n25 2 3 4\n", 2, "more than three columns"},
      {"20 1\n25\n", 2, "a frequency without a level"},
      {"20 1\n25 abc\n", 2, "\"abc\" is not a number"},
      {"0 1\n", 1, "not above 0 Hz"},
      {good + "end of data\n", 21, "not a row"},
      {"20 1\n25 2\n31.5 3\n", 0, "only 3 rows of frequency and level; at least 20"},
  };
  for (const auto& c : cases) {
    const ResponseText r = parseResponseText(c.text, kMinMeasurementPoints);
    EXPECT_FALSE(r.ok()) << c.reason;
    EXPECT_EQ(r.line, c.line) << r.describe();
    EXPECT_NE(r.problem.find(c.reason), std::string::npos) << r.describe();
  }
  EXPECT_TRUE(parseResponseText("20 0\n20000 -3\n", kMinTargetPoints).ok())
      << "a target may be two points";
}

TEST(ResponseText, AFileThatCannotBeReadSaysWhy) {
  test::TempDir dir;
  EXPECT_NE(readResponseFile(dir.file("missing.txt"), 20).problem.find("cannot be read"),
            std::string::npos);
  EXPECT_NE(readResponseFile(dir.str(), 20).problem.find("cannot be read"), std::string::npos);
  dir.write("room.txt", rows([](double hz, double db) {
              return std::to_string(hz) + "," + std::to_string(db) + "\n";
            }));
  EXPECT_EQ(readResponseFile(dir.file("room.txt"), 20).points.size(), 20u);
}

}  // namespace
}  // namespace kp::tuning
