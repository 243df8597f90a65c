// Inputs the INI fuzzer found breaking the writer, kept as plain tests.
#include "ini/ini.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/rig.h"

namespace fs = std::filesystem;
using kp::Read_Ini;
using kp::Write_Ini;

namespace {

class IniRegression : public ::testing::Test {
 protected:
  std::string path() const { return folder_.file("a.ini"); }
  void put(const std::string& bytes) const { std::ofstream(path(), std::ios::binary) << bytes; }
  std::string slurp() const {
    std::ifstream in(path(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  kp::test::TempDir folder_;
};

// The line "[OM=0]c" reads as the header of a section "OM=0": the write
// reported success, the value never read back, and the keys written after it
// went into that stray section.
TEST_F(IniRegression, AnEntryThatWouldReadAsASectionHeaderIsRefused) {
  const std::string before = "[config]\r\nCOM=1\r\n";
  put(before);
  std::string error;
  EXPECT_FALSE(Write_Ini("config", "[OM", "0]c", path(), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(slurp(), before);

  ASSERT_TRUE(Write_Ini("config", "PORT", "2", path()));
  EXPECT_EQ(slurp(), "[config]\r\nCOM=1\r\nPORT=2\r\n");
  EXPECT_EQ(Read_Ini("config", "PORT", path()), "2");
}

TEST_F(IniRegression, AnEntryThatWouldReadAsASectionHeaderCreatesNoFile) {
  EXPECT_FALSE(Write_Ini("co[fig", "[OM", "0]c", path()));
  EXPECT_FALSE(fs::exists(path()));
}

// Only the combination is a header: such a key with a plain value, or a
// plain key with a bracket in its value, stays an entry and reads back.
TEST_F(IniRegression, ABracketInTheKeyOrInTheValueAloneStillReadsBack) {
  ASSERT_TRUE(Write_Ini("config", "[OM", "0c", path()));
  EXPECT_EQ(Read_Ini("config", "[OM", path()), "0c");
  ASSERT_TRUE(Write_Ini("config", "COM", "[0]c", path()));
  EXPECT_EQ(Read_Ini("config", "COM", path()), "[0]c");
  EXPECT_EQ(slurp(), "[config]\r\n[OM=0c\r\nCOM=[0]c\r\n");
}

}  // namespace
