#include "shell/ini/gbk.h"
#include "shell/ini/ini.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using kp::Read_Ini;
using kp::Write_Ini;

namespace {

class IniFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = (fs::temp_directory_path() / "kp_ini_XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    std::string path(const std::string& name = "a.ini") const { return (dir_ / name).string(); }
    static void put(const std::string& p, std::string_view bytes)
    {
        std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string slurp(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::set<std::string> listing() const
    {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.insert(e.path().filename().string());
        return names;
    }
    // Writes original, applies one Write_Ini and returns the resulting bytes.
    std::string edit(std::string_view original, const std::string& sec, const std::string& key,
                     const std::string& value)
    {
        put(path(), original);
        EXPECT_TRUE(Write_Ini(sec, key, value, path()));
        return slurp(path());
    }

    fs::path dir_;
};

using IniLookup = IniFiles;

TEST_F(IniLookup, NamesMatchAsciiCaseInsensitively)
{
    put(path(), "[COM]\r\nPort=3\r\n");
    EXPECT_EQ(Read_Ini("com", "PORT", path()), "3");
    EXPECT_EQ(Read_Ini("Com", "port", path()), "3");
}

TEST_F(IniLookup, FirstSectionAndFirstKeyWin)
{
    put(path(), "[a]\nk=1\nk=2\n[A]\nk=3\nj=4\n");
    EXPECT_EQ(Read_Ini("a", "k", path()), "1");
    EXPECT_EQ(Read_Ini("a", "j", path()), "");
}

TEST_F(IniLookup, BlanksAroundNamesAndValuesIgnored)
{
    put(path(), "  [  net  ]  \n  host  =  a b  \n\tport\t=\t7\t\n");
    EXPECT_EQ(Read_Ini("net", "host", path()), "a b");
    EXPECT_EQ(Read_Ini(" net ", "port", path()), "7");
}

TEST_F(IniLookup, KeysBelongOnlyToTheirSection)
{
    put(path(), "k=0\n[a]\nplain line\n;k=9\n[b]\nk=1\n");
    EXPECT_EQ(Read_Ini("a", "k", path()), "");
    EXPECT_EQ(Read_Ini("a", "plain line", path()), "");
    EXPECT_EQ(Read_Ini("b", "k", path()), "1");
}

TEST_F(IniLookup, DoubleByteTrailsAreNeitherFoldedNorBrackets)
{
    // 0x81 0x41 and 0x81 0x61 are different characters; 0x81 0x5D ends in ']'.
    put(path(), "[\x81\x41]\nk=upper\n[\x81\x61]\nk=lower\n[\x81\x5D]\nk=bracket\n");
    EXPECT_EQ(Read_Ini(kp::gbkToUtf8("\x81\x61"), "k", path()), "lower");
    EXPECT_EQ(Read_Ini(kp::gbkToUtf8("\x81\x5D"), "k", path()), "bracket");
}

using IniValue = IniFiles;

TEST_F(IniValue, MatchingQuotesRemoved)
{
    put(path(), "[s]\na=\"x y\"\nb='q'\nc=\"open\nd='mixed\"\ne=\"\nf=\"\"\n");
    EXPECT_EQ(Read_Ini("s", "a", path()), "x y");
    EXPECT_EQ(Read_Ini("s", "b", path()), "q");
    EXPECT_EQ(Read_Ini("s", "c", path()), "\"open");
    EXPECT_EQ(Read_Ini("s", "d", path()), "'mixed\"");
    EXPECT_EQ(Read_Ini("s", "e", path()), "\"");
    EXPECT_EQ(Read_Ini("s", "f", path()), "");
}

TEST_F(IniValue, CutAt2047BytesOnCharacterBoundary)
{
    put(path(), "[s]\nlong=" + std::string(3000, 'x') + "\nwide=" + std::string(2046, 'x') + "\xD6\xD0\xD6\xD0\n");
    EXPECT_EQ(Read_Ini("s", "long", path()), std::string(2047, 'x'));
    EXPECT_EQ(Read_Ini("s", "wide", path()), std::string(2046, 'x'));

    ASSERT_TRUE(Write_Ini("s", "w", std::string(2046, 'y') + "中", path("b.ini")));
    EXPECT_EQ(slurp(path("b.ini")), "[s]\r\nw=" + std::string(2046, 'y') + "\r\n");
}

TEST_F(IniValue, MissingOrEmptyReadsEmpty)
{
    EXPECT_EQ(Read_Ini("s", "k", path("absent.ini")), "");
    put(path(), "[s]\nk=\n");
    EXPECT_EQ(Read_Ini("s", "k", path()), "");
    EXPECT_EQ(Read_Ini("s", "other", path()), "");
    EXPECT_EQ(Read_Ini("t", "k", path()), "");
}

using IniHostileInput = IniFiles;

TEST_F(IniHostileInput, ReadsWithoutCrashOrHang)
{
    EXPECT_EQ(Read_Ini("s", "k", dir_.string()), "");
    // "\xFE[" is one double-byte character, hence the line end before "[s]".
    put(path(), std::string("\0\xFF\xFE\n[s]\n\0\0\0\nk=v\n", 16) + std::string(4 << 20, 'a') + "\nz=last\nt=ab\x81");
    EXPECT_EQ(Read_Ini("s", "k", path()), "v");
    EXPECT_EQ(Read_Ini("s", "z", path()), "last");
    EXPECT_EQ(Read_Ini("s", "t", path()), "ab\xEF\xBF\xBD");
}

using IniEdit = IniFiles;

TEST_F(IniEdit, ExistingKeyReplacedInPlace)
{
    EXPECT_EQ(edit("; top\r\n[config]\r\n  com = 1  \r\nbaud=9600\r\n\r\n[other]\r\ncom=5\r\n", "CONFIG", "Com", "3"),
              "; top\r\n[config]\r\nCom=3\r\nbaud=9600\r\n\r\n[other]\r\ncom=5\r\n");
}

TEST_F(IniEdit, NewKeyFollowsLastEntryOfItsSection)
{
    EXPECT_EQ(edit("[a]\r\nx=1\r\n; note\r\n\r\n\r\n[b]\r\ny=2\r\n", "a", "z", "9"),
              "[a]\r\nx=1\r\n; note\r\nz=9\r\n\r\n\r\n[b]\r\ny=2\r\n");
    EXPECT_EQ(edit("[a]\r\n\r\n[b]\r\n", "a", "z", "9"), "[a]\r\nz=9\r\n\r\n[b]\r\n");
    EXPECT_EQ(edit("[a]\nx=1", "a", "y", "2"), "[a]\nx=1\ny=2\n");
}

TEST_F(IniEdit, NewSectionAppendedAtEnd)
{
    EXPECT_EQ(edit("[a]\r\nx=1\r\n", "b", "y", "2"), "[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
    EXPECT_EQ(edit("[a]\r\nx=1", "b", "y", "2"), "[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
}

TEST_F(IniEdit, MissingFileCreatedWithCrlf)
{
    ASSERT_TRUE(Write_Ini("config", "COM", "3", path()));
    EXPECT_EQ(slurp(path()), "[config]\r\nCOM=3\r\n");
}

TEST_F(IniEdit, LfFileStaysLf)
{
    put(path(), "[a]\nx=1\n");
    ASSERT_TRUE(Write_Ini("b", "y", "2", path()));
    ASSERT_TRUE(Write_Ini("a", "z", "3", path()));
    EXPECT_EQ(slurp(path()), "[a]\nx=1\nz=3\n[b]\ny=2\n");
}

TEST_F(IniEdit, EveryCallSeesTheFileAsItIsNow)
{
    ASSERT_TRUE(Write_Ini("s", "k", "1", path()));
    EXPECT_EQ(Read_Ini("s", "k", path()), "1");
    ASSERT_TRUE(Write_Ini("s", "k", "2", path()));
    EXPECT_EQ(Read_Ini("s", "k", path()), "2");
    put(path(), "[s]\r\nk=by hand\r\n");
    EXPECT_EQ(Read_Ini("s", "k", path()), "by hand");
}

TEST_F(IniEdit, RefusesNamesAndValuesThatWouldAddLines)
{
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

TEST_F(IniGbk, ChineseStoredAsGbkAndReadBack)
{
    ASSERT_TRUE(Write_Ini("设置", "名字", "中文", path()));
    EXPECT_EQ(slurp(path()), "[\xC9\xE8\xD6\xC3]\r\n\xC3\xFB\xD7\xD6=\xD6\xD0\xCE\xC4\r\n");
    EXPECT_EQ(Read_Ini("设置", "名字", path()), "中文");
}

TEST_F(IniGbk, InvalidBytesInOtherLinesSurviveAWrite)
{
    const std::string junk = "\xFF\x80\x81 junk\x81\n";
    const std::string tail = "[b]\n\xFE\xFF=\x81\nok=\xFE\n";
    put(path(), "[a]\n" + junk + "x=1\n" + tail);
    ASSERT_TRUE(Write_Ini("a", "x", "2", path()));
    EXPECT_EQ(slurp(path()), "[a]\n" + junk + "x=2\n" + tail);
    EXPECT_EQ(Read_Ini("a", "x", path()), "2");
    EXPECT_EQ(Read_Ini("b", "ok", path()), "\xEF\xBF\xBD");
}

TEST(GbkConversion, BadInputBecomesReplacementCharacters)
{
    EXPECT_EQ(kp::gbkToUtf8("\xD6\xD0 ok"), "中 ok");
    EXPECT_EQ(kp::gbkToUtf8("a\xFF b"), "a\xEF\xBF\xBD b");
    EXPECT_EQ(kp::gbkToUtf8("ab\x81"), "ab\xEF\xBF\xBD");
    EXPECT_EQ(kp::gbkToUtf8("\xA2\x41z"), "\xEF\xBF\xBDz"); // unassigned pair: one character
    EXPECT_EQ(kp::utf8ToGbk("中😀x"), "\xD6\xD0?x");
    EXPECT_EQ(kp::utf8ToGbk("a\xC3(b\x80"), "a?(b?");
    EXPECT_EQ(kp::utf8ToGbk("\xED\xA0\x80中"), "???\xD6\xD0"); // a surrogate is not a character
}

using IniSafeWrite = IniFiles;

TEST_F(IniSafeWrite, FailureLeavesNoTraceAndSaysWhy)
{
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

TEST_F(IniSafeWrite, ReadOnlyFolderRefused)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores permission bits";
    put(path(), "[s]\nk=1\n");
    std::string error;
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(Write_Ini("s", "k", "2", path(), &error));
    EXPECT_EQ(error, "Permission denied");
    EXPECT_EQ(slurp(path()), "[s]\nk=1\n");
    EXPECT_EQ(listing(), std::set<std::string>{"a.ini"});
}

TEST_F(IniSafeWrite, WriteFailingMidwayKeepsOldFile)
{
    const std::string original = "[s]\nk=" + std::string(900, 'o') + "\n";
    put(path(), original);
    // A file size limit makes the temporary file's write fail, even for root.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool ok = Write_Ini("s", "k", std::string(2000, 'n'), path(), &error);
        ::_exit(ok ? 1 : error.empty() ? 2 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(slurp(path()), original);
    EXPECT_EQ(listing(), std::set<std::string>{"a.ini"});
}

TEST_F(IniSafeWrite, SymlinkWrittenThrough)
{
    put(path("real.ini"), "[s]\nk=1\n");
    fs::create_symlink("real.ini", dir_ / "link.ini");
    ASSERT_TRUE(Write_Ini("s", "k", "2", path("link.ini")));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.ini"));
    EXPECT_EQ(slurp(path("real.ini")), "[s]\nk=2\n");
    EXPECT_EQ(listing(), (std::set<std::string>{"link.ini", "real.ini"}));
}

TEST_F(IniSafeWrite, PermissionBitsKept)
{
    put(path(), "[s]\nk=1\n");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path(), mode);
    ASSERT_TRUE(Write_Ini("s", "k", "2", path()));
    EXPECT_EQ(fs::status(path()).permissions(), mode);
}

class IniTool : public IniFiles {
protected:
    // Runs karaoke-ini with args; returns its exit code, stdout in out, stderr in err.
    int run(const std::string& args, std::string* out = nullptr, std::string* err = nullptr)
    {
        const std::string errFile = path("stderr.txt");
        const std::string cmd = "'" KP_BIN_DIR "/karaoke-ini' " + args + " 2>'" + errFile + "'";
        FILE* pipe = ::popen(cmd.c_str(), "r");
        if (!pipe)
            return -1;
        std::string text;
        char buf[256];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
            text.append(buf, n);
        const int status = ::pclose(pipe);
        if (out)
            *out = text;
        if (err)
            *err = slurp(errFile);
        fs::remove(errFile);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(IniTool, GetPrintsValueLine)
{
    put(path(), "[config]\r\nname=\xD6\xD0\r\n");
    std::string out;
    EXPECT_EQ(run("get '" + path() + "' CONFIG name", &out), 0);
    EXPECT_EQ(out, "中\n");
    EXPECT_EQ(run("get '" + path() + "' config missing", &out), 0);
    EXPECT_EQ(out, "\n");
}

TEST_F(IniTool, SetReportsOutcomeInExitCode)
{
    EXPECT_EQ(run("set '" + path() + "' config COM 3"), 0);
    EXPECT_EQ(slurp(path()), "[config]\r\nCOM=3\r\n");

    put(path("plain"), "x");
    const std::string bad = path("plain") + "/a.ini";
    std::string err;
    EXPECT_EQ(run("set '" + bad + "' config COM 3", nullptr, &err), 1);
    EXPECT_NE(err.find(bad), std::string::npos) << err;

    EXPECT_EQ(run("", nullptr, &err), 2);
    EXPECT_NE(err.find("usage"), std::string::npos);
    EXPECT_EQ(run("get '" + path() + "' config"), 2);
    EXPECT_EQ(run("put '" + path() + "' config COM 3"), 2);
}

} // namespace
