#include "ini/ini.h"
#include "ini/gbk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "tests/ini/ini_fixture.h"
#include "tests/support/run_program.h"

using namespace std::string_literals;

namespace {

using kp::Read_Ini;
using kp::Write_Ini;
using kp::test::IniFiles;
namespace fs = std::filesystem;

using IniLookup = IniFiles;

TEST_F(IniLookup, NamesMatchAsciiCaseInsensitively) {
  put(path(), "[COM]\r\nPort=3\r\n");
  EXPECT_EQ(Read_Ini("com", "PORT", path()), "3");
  EXPECT_EQ(Read_Ini("Com", "port", path()), "3");
}

TEST_F(IniLookup, FirstSectionAndFirstKeyWin) {
  put(path(), "[a]\nk=1\nk=2\n[A]\nk=3\nj=4\n");
  EXPECT_EQ(Read_Ini("a", "k", path()), "1");
  EXPECT_EQ(Read_Ini("a", "j", path()), "");
}

TEST_F(IniLookup, BlanksAroundNamesAndValuesIgnored) {
  put(path(), "  [  net  ]  \n  host  =  a b  \n\tport\t=\t7\t\n");
  EXPECT_EQ(Read_Ini("net", "host", path()), "a b");
  EXPECT_EQ(Read_Ini(" net ", "port", path()), "7");
}

TEST_F(IniLookup, KeysBelongOnlyToTheirSection) {
  put(path(), "k=0\n[a]\nplain line\n;k=9\n[b]\nk=1\n");
  EXPECT_EQ(Read_Ini("a", "k", path()), "");
  EXPECT_EQ(Read_Ini("a", "plain line", path()), "");
  EXPECT_EQ(Read_Ini("b", "k", path()), "1");
}

TEST_F(IniLookup, DoubleByteTrailsAreNeitherFoldedNorBrackets) {
  // 0x81 0x41 and 0x81 0x61 are different characters; 0x81 0x5D ends in ']'.
  put(path(), "[\x81\x41]\nk=upper\n[\x81\x61]\nk=lower\n[\x81\x5D]\nk=bracket\n");
  EXPECT_EQ(Read_Ini(kp::gbkToUtf8("\x81\x61"), "k", path()), "lower");
  EXPECT_EQ(Read_Ini(kp::gbkToUtf8("\x81\x5D"), "k", path()), "bracket");
}

using IniValue = IniFiles;

TEST_F(IniValue, MatchingQuotesRemoved) {
  put(path(), "[s]\na=\"x y\"\nb='q'\nc=\"open\nd='mixed\"\ne=\"\nf=\"\"\n");
  EXPECT_EQ(Read_Ini("s", "a", path()), "x y");
  EXPECT_EQ(Read_Ini("s", "b", path()), "q");
  EXPECT_EQ(Read_Ini("s", "c", path()), "\"open");
  EXPECT_EQ(Read_Ini("s", "d", path()), "'mixed\"");
  EXPECT_EQ(Read_Ini("s", "e", path()), "\"");
  EXPECT_EQ(Read_Ini("s", "f", path()), "");
}

TEST_F(IniValue, CutAtItsFirstNulThenSpacesAroundRemoved) {
  put(path(), "[s]\nq=\" spaced \"\nt='\tx \t'\nn=ab\0cd\nz=\0x\nm=\" a\0 b\"\nw=\"   \"\n"s);
  EXPECT_EQ(Read_Ini("s", "q", path()), "spaced");
  EXPECT_EQ(Read_Ini("s", "t", path()), "\tx \t") << "only spaces go, not tabs";
  EXPECT_EQ(Read_Ini("s", "n", path()), "ab");
  EXPECT_EQ(Read_Ini("s", "z", path()), "");
  EXPECT_EQ(Read_Ini("s", "m", path()), "a");
  EXPECT_EQ(Read_Ini("s", "w", path()), "");
}

TEST_F(IniValue, CutAt2047BytesOnCharacterBoundary) {
  put(path(), "[s]\nlong=" + std::string(3000, 'x') + "\nwide=" + std::string(2046, 'x') +
                  "\xD6\xD0\xD6\xD0\n");
  EXPECT_EQ(Read_Ini("s", "long", path()), std::string(2047, 'x'));
  EXPECT_EQ(Read_Ini("s", "wide", path()), std::string(2046, 'x'));

  ASSERT_TRUE(Write_Ini("s", "w", std::string(2046, 'y') + "中", path("b.ini")));
  EXPECT_EQ(slurp(path("b.ini")), "[s]\r\nw=" + std::string(2046, 'y') + "\r\n");
}

TEST_F(IniValue, MissingOrEmptyReadsEmpty) {
  EXPECT_EQ(Read_Ini("s", "k", path("absent.ini")), "");
  put(path(), "[s]\nk=\n");
  EXPECT_EQ(Read_Ini("s", "k", path()), "");
  EXPECT_EQ(Read_Ini("s", "other", path()), "");
  EXPECT_EQ(Read_Ini("t", "k", path()), "");
}

using IniHostileInput = IniFiles;

TEST_F(IniHostileInput, ReadsWithoutCrashOrHang) {
  EXPECT_EQ(Read_Ini("s", "k", dir_.string()), "");
  // "\xFE[" is one double-byte character, hence the line end before "[s]".
  put(path(), std::string("\0\xFF\xFE\n[s]\n\0\0\0\nk=v\n", 16) + std::string(4 << 20, 'a') +
                  "\nz=last\nt=ab\x81");
  EXPECT_EQ(Read_Ini("s", "k", path()), "v");
  EXPECT_EQ(Read_Ini("s", "z", path()), "last");
  EXPECT_EQ(Read_Ini("s", "t", path()), "ab\xEF\xBF\xBD");
}

using IniEdit = IniFiles;

TEST_F(IniEdit, ExistingKeyReplacedInPlace) {
  EXPECT_EQ(edit("; top\r\n[config]\r\n  com = 1  \r\nbaud=9600\r\n\r\n[other]\r\ncom=5\r\n",
                 "CONFIG", "Com", "3"),
            "; top\r\n[config]\r\nCom=3\r\nbaud=9600\r\n\r\n[other]\r\ncom=5\r\n");
}

TEST_F(IniEdit, NewKeyFollowsLastEntryOfItsSection) {
  EXPECT_EQ(edit("[a]\r\nx=1\r\n; note\r\n\r\n\r\n[b]\r\ny=2\r\n", "a", "z", "9"),
            "[a]\r\nx=1\r\n; note\r\nz=9\r\n\r\n\r\n[b]\r\ny=2\r\n");
  EXPECT_EQ(edit("[a]\r\n\r\n[b]\r\n", "a", "z", "9"), "[a]\r\nz=9\r\n\r\n[b]\r\n");
  EXPECT_EQ(edit("[a]\nx=1", "a", "y", "2"), "[a]\nx=1\ny=2\n");
}

TEST_F(IniEdit, NewSectionAppendedAtEnd) {
  EXPECT_EQ(edit("[a]\r\nx=1\r\n", "b", "y", "2"), "[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
  EXPECT_EQ(edit("[a]\r\nx=1", "b", "y", "2"), "[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
}

TEST_F(IniEdit, MissingFileCreatedWithCrlf) {
  ASSERT_TRUE(Write_Ini("config", "COM", "3", path()));
  EXPECT_EQ(slurp(path()), "[config]\r\nCOM=3\r\n");
}

TEST_F(IniEdit, LfFileStaysLf) {
  put(path(), "[a]\nx=1\n");
  ASSERT_TRUE(Write_Ini("b", "y", "2", path()));
  ASSERT_TRUE(Write_Ini("a", "z", "3", path()));
  EXPECT_EQ(slurp(path()), "[a]\nx=1\nz=3\n[b]\ny=2\n");
}

TEST_F(IniEdit, EveryCallSeesTheFileAsItIsNow) {
  ASSERT_TRUE(Write_Ini("s", "k", "1", path()));
  EXPECT_EQ(Read_Ini("s", "k", path()), "1");
  ASSERT_TRUE(Write_Ini("s", "k", "2", path()));
  EXPECT_EQ(Read_Ini("s", "k", path()), "2");
  put(path(), "[s]\r\nk=by hand\r\n");
  EXPECT_EQ(Read_Ini("s", "k", path()), "by hand");
}

TEST_F(IniEdit, RefusesNamesAndValuesThatWouldAddLines) {
  put(path(), "[s]\nk=1\n");
  std::string error;
  EXPECT_FALSE(Write_Ini("a]b", "k", "v", path(), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(Write_Ini("s", "x=y", "v", path()));
  EXPECT_FALSE(Write_Ini("s", "[t]", "v", path()));
  EXPECT_FALSE(Write_Ini("s", "k", "1\n[evil]", path()));
  EXPECT_FALSE(Write_Ini("s", "", "v", path()));
  EXPECT_EQ(slurp(path()), "[s]\nk=1\n");
}

using IniGbk = IniFiles;

TEST_F(IniGbk, ChineseStoredAsGbkAndReadBack) {
  ASSERT_TRUE(Write_Ini("设置", "名字", "中文", path()));
  EXPECT_EQ(slurp(path()), "[\xC9\xE8\xD6\xC3]\r\n\xC3\xFB\xD7\xD6=\xD6\xD0\xCE\xC4\r\n");
  EXPECT_EQ(Read_Ini("设置", "名字", path()), "中文");
}

TEST_F(IniGbk, InvalidBytesInOtherLinesSurviveAWrite) {
  const std::string junk = "\xFF\x80\x81 junk\x81\n";
  const std::string tail = "[b]\n\xFE\xFF=\x81\nok=\xFE\n";
  put(path(), "[a]\n" + junk + "x=1\n" + tail);
  ASSERT_TRUE(Write_Ini("a", "x", "2", path()));
  EXPECT_EQ(slurp(path()), "[a]\n" + junk + "x=2\n" + tail);
  EXPECT_EQ(Read_Ini("a", "x", path()), "2");
  EXPECT_EQ(Read_Ini("b", "ok", path()), "\xEF\xBF\xBD");
}

TEST(GbkConversion, BadInputBecomesReplacementCharacters) {
  EXPECT_EQ(kp::gbkToUtf8("\xD6\xD0 ok"), "中 ok");
  EXPECT_EQ(kp::gbkToUtf8("a\xFF b"), "a\xEF\xBF\xBD b");
  EXPECT_EQ(kp::gbkToUtf8("ab\x81"), "ab\xEF\xBF\xBD");
  EXPECT_EQ(kp::gbkToUtf8("\xA2\x41z"), "\xEF\xBF\xBDz");  // unassigned pair: one character
  EXPECT_EQ(kp::utf8ToGbk("中😀x"), "\xD6\xD0?x");
  EXPECT_EQ(kp::utf8ToGbk("a\xC3(b\x80"), "a?(b?");
  EXPECT_EQ(kp::utf8ToGbk("\xED\xA0\x80中"), "???\xD6\xD0");  // a surrogate is not a character
  // The user-defined areas: Windows' code page maps them to private use
  // characters, iconv refuses them; both systems refuse them here.
  EXPECT_EQ(kp::gbkToUtf8("\xAA\xA1"), "\xEF\xBF\xBD");
  EXPECT_EQ(kp::utf8ToGbk("\xEE\x80\x80"), "?");  // U+E000
}

// A file written on one system reads the same on the other: every
// double-byte sequence decodes to the same text, and exactly the GBK
// characters survive a round trip. The figures are those of code page 936,
// whose single byte 0x80 (the euro sign) leads the table.
TEST(GbkConversion, EveryDoubleByteSequenceReadsTheSameOnEverySystem) {
  EXPECT_EQ(kp::gbkToUtf8("\x80 5"), "€ 5");
  EXPECT_EQ(kp::utf8ToGbk("€ 5"), "\x80 5");
  std::uint64_t fingerprint = 1469598103934665603ull;  // FNV-1a over all results
  int roundTrips = 0;
  for (int lead = 0x80; lead <= 0xFE; ++lead)
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
      const std::string utf8 = kp::gbkToUtf8(gbk);
      for (unsigned char c : utf8 + '|') {
        fingerprint ^= c;
        fingerprint *= 1099511628211ull;
      }
      roundTrips += utf8 != "\xEF\xBF\xBD" && kp::utf8ToGbk(utf8) == gbk;
    }
  EXPECT_EQ(roundTrips, 21856);
  EXPECT_EQ(fingerprint, 354076827261952545ull);
}

using IniSafeWrite = IniFiles;

TEST_F(IniSafeWrite, FailureLeavesNoTraceAndSaysWhy) {
  put(path("plain"), "x");
  put(path(), "[s]\nk=1\n");
  std::string error;
  EXPECT_FALSE(Write_Ini("s", "k", "2", path("plain") + "/a.ini", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(Write_Ini("s", "k", "2", path("missing") + "/a.ini"));
  EXPECT_FALSE(Write_Ini("s", "k", "2", dir_.string()));
  EXPECT_EQ(listing(), (std::set<std::string>{"a.ini", "plain"}));
  EXPECT_EQ(slurp(path("plain")), "x");
}

// karaoke-ini takes and prints UTF-8 on every system, whatever the
// system's own code page, and says by its exit code how it went.
class IniTool : public IniFiles {
 protected:
  kp::test::ProgramResult run(const std::vector<std::string>& args) {
    return kp::test::runProgram(KP_BIN_DIR "/karaoke-ini", args);
  }
};

TEST_F(IniTool, GetAndSetSpeakUtf8AndTheFileKeepsGbk) {
  put(path(), "[config]\r\nname=\xD6\xD0\r\n");
  auto r = run({"get", path(), "CONFIG", "name"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "中\n");
  r = run({"get", path(), "config", "missing"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "\n");

  // A value and a folder name in Chinese, through the command line.
  const std::string folder = path("预设");
  fs::create_directory(kp::pathFromUtf8(folder));
  const std::string file = folder + "/配置.ini";
  EXPECT_EQ(run({"set", file, "config", "歌手", "张 三"}).exitCode, 0);
  EXPECT_EQ(slurp(file), "[config]\r\n\xB8\xE8\xCA\xD6=\xD5\xC5 \xC8\xFD\r\n");
  EXPECT_EQ(run({"get", file, "config", "歌手"}).out, "张 三\n");

  // It prints what Read_Ini returns.
  put(path(), "[config]\nq=\" spaced \"\nn=ab\0cd\n"s);
  EXPECT_EQ(run({"get", path(), "config", "q"}).out, "spaced\n");
  EXPECT_EQ(run({"get", path(), "config", "n"}).out, "ab\n");
}

TEST_F(IniTool, SetReportsOutcomeInExitCode) {
  EXPECT_EQ(run({"set", path(), "config", "COM", "3"}).exitCode, 0);
  EXPECT_EQ(slurp(path()), "[config]\r\nCOM=3\r\n");

  put(path("plain"), "x");
  const std::string bad = path("plain") + "/a.ini";
  const auto r = run({"set", bad, "config", "COM", "3"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(bad), std::string::npos) << r.err;

  EXPECT_EQ(run({}).exitCode, 2);
  EXPECT_NE(run({}).err.find("usage"), std::string::npos);
  EXPECT_EQ(run({"get", path(), "config"}).exitCode, 2);
  EXPECT_EQ(run({"put", path(), "config", "COM", "3"}).exitCode, 2);
}

}  // namespace
