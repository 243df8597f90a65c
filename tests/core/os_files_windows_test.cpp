// A save replaces its file even while a scanner or indexer holds the old
// one open for a moment, and still says no when the hold does not end.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "core/os_files.h"
#include "core/utf8_path.h"
#include "tests/support/rig.h"

namespace kp {
namespace {

HANDLE holdUnshared(const std::filesystem::path& p) {
  return CreateFileW(p.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(ReplaceFileWindows, WaitsOutABriefHoldButNotALongOne) {
  test::TempDir dir;
  dir.write("Pro.dat", "old");
  dir.write("Pro.dat.new", "new");
  const auto target = dir.path() / "Pro.dat", fresh = dir.path() / "Pro.dat.new";
  HANDLE h = holdUnshared(target);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::thread release([h] {
    Sleep(150);
    CloseHandle(h);
  });
  std::string error;
  EXPECT_TRUE(os::replaceFile(fresh, target, true, error)) << error;
  release.join();
  EXPECT_EQ(dir.read("Pro.dat"), "new");

  dir.write("Pro.dat.new", "newer");
  h = holdUnshared(target);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(os::replaceFile(fresh, target, true, error));
  CloseHandle(h);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(dir.read("Pro.dat"), "new");
  EXPECT_EQ(dir.read("Pro.dat.new"), "newer");
}

// Windows converts names to UTF-16: malformed text must name no file rather
// than throw (a rooms file's name once ended the program here).
TEST(Utf8PathWindows, NamesWithoutAUtf16FormNameNoFileAndNeverThrow) {
  test::TempDir dir;
  std::filesystem::path p;
  ASSERT_NO_THROW(p = dir.path() / pathFromUtf8("\xB0\xFC.dat"));
  EXPECT_LT(os::openFile(p, os::OpenMode::CreateNew), 0);
  std::string back;
  ASSERT_NO_THROW(back = utf8FromPath(std::filesystem::path(L"a\xD800.dat")));
  EXPECT_EQ(back, "a?.dat");
}

}  // namespace
}  // namespace kp
