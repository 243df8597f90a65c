// Facts of POSIX file systems: permission bits, symbolic links and a file
// size limit.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/ini/ini_fixture.h"

namespace {

namespace fs = std::filesystem;
using kp::Read_Ini;
using kp::Write_Ini;
using kp::test::IniFiles;
using IniSafeWritePosix = IniFiles;

TEST_F(IniSafeWritePosix, ReadOnlyFolderRefused) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores permission bits";
  put(path(), "[s]\nk=1\n");
  std::string error;
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(Write_Ini("s", "k", "2", path(), &error));
  EXPECT_EQ(error, "Permission denied");
  EXPECT_EQ(slurp(path()), "[s]\nk=1\n");
  EXPECT_EQ(listing(), std::set<std::string>{"a.ini"});
}

TEST_F(IniSafeWritePosix, WriteFailingMidwayKeepsOldFile) {
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

TEST_F(IniSafeWritePosix, SymlinkWrittenThrough) {
  put(path("real.ini"), "[s]\nk=1\n");
  fs::create_symlink("real.ini", dir_ / "link.ini");
  ASSERT_TRUE(Write_Ini("s", "k", "2", path("link.ini")));
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.ini"));
  EXPECT_EQ(slurp(path("real.ini")), "[s]\nk=2\n");
  EXPECT_EQ(listing(), (std::set<std::string>{"link.ini", "real.ini"}));
}

TEST_F(IniSafeWritePosix, PermissionBitsKept) {
  put(path(), "[s]\nk=1\n");
  const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(path(), mode);
  ASSERT_TRUE(Write_Ini("s", "k", "2", path()));
  EXPECT_EQ(fs::status(path()).permissions(), mode);
}

}  // namespace
