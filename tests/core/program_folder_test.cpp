#include "app/program_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/rig.h"

namespace kp {
namespace {

namespace fs = std::filesystem;

TEST(ProgramFolder, APortableBuildKeepsTheExecutablesFolder) {
  test::TempDir root;
  root.write("config.ini", "[config]\r\nCOM=1\r\n");
  EXPECT_EQ(chooseProgramFolder(root.str(), root.file("user")), root.str());
  EXPECT_FALSE(fs::exists(root.file("user")));
}

TEST(ProgramFolder, AnInstalledProgramSeedsTheUsersFolderOnceAndNeverOverwrites) {
  test::TempDir root;
  fs::create_directories(root.path() / "bin");
  fs::create_directories(root.path() / "share/karaoke-panel/help");
  root.write("share/karaoke-panel/config.ini", "[config]\r\nCOM=1\r\n");
  root.write("share/karaoke-panel/Pro.dat", "factory");
  root.write("share/karaoke-panel/help/index.html", "<html/>");
  const std::string user = root.file("home/.local/share/karaoke-panel");

  EXPECT_EQ(chooseProgramFolder(root.file("bin"), user), user);
  EXPECT_EQ(root.read("home/.local/share/karaoke-panel/Pro.dat"), "factory");
  EXPECT_EQ(root.read("home/.local/share/karaoke-panel/help/index.html"), "<html/>");

  // The user's own preset and port survive the next start.
  root.write("home/.local/share/karaoke-panel/Pro.dat", "mine");
  root.write("home/.local/share/karaoke-panel/config.ini", "[config]\r\nCOM=4\r\n");
  EXPECT_EQ(chooseProgramFolder(root.file("bin"), user), user);
  EXPECT_EQ(root.read("home/.local/share/karaoke-panel/Pro.dat"), "mine");
  EXPECT_EQ(root.read("home/.local/share/karaoke-panel/config.ini"), "[config]\r\nCOM=4\r\n");
}

TEST(ProgramFolder, WithoutResourcesAnywhereTheExecutablesFolderIsUsed) {
  test::TempDir root;
  fs::create_directories(root.path() / "bin");
  EXPECT_EQ(chooseProgramFolder(root.file("bin"), root.file("user")), root.file("bin"));
}

}  // namespace
}  // namespace kp
