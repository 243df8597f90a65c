// A save replaces its file even while a scanner or indexer holds the old
// one open for a moment, and still says no when the hold does not end.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "core/os_files.h"
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

}  // namespace
}  // namespace kp
