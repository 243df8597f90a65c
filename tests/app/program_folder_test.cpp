#include "app/program_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/utf8_path.h"
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

// Installed under a folder with a Chinese name, for a user whose folder has
// one too: names are UTF-8 inside the program on every system.
TEST(ProgramFolder, AnInstalledProgramSeedsTheUsersFolderOnceAndNeverOverwrites) {
  test::TempDir root;
  fs::create_directories(pathFromUtf8(root.file("卡拉OK/bin")));
  fs::create_directories(pathFromUtf8(root.file("卡拉OK/share/karaoke-panel/help")));
  root.write("卡拉OK/share/karaoke-panel/config.ini", "[config]\r\nCOM=1\r\n");
  root.write("卡拉OK/share/karaoke-panel/Pro.dat", "factory");
  root.write("卡拉OK/share/karaoke-panel/help/index.html", "<html/>");
  const std::string user = root.file("用户/karaoke-panel");

  EXPECT_EQ(chooseProgramFolder(root.file("卡拉OK/bin"), user), user);
  EXPECT_EQ(root.read("用户/karaoke-panel/Pro.dat"), "factory");
  EXPECT_EQ(root.read("用户/karaoke-panel/help/index.html"), "<html/>");

  // The user's own preset and port survive the next start.
  root.write("用户/karaoke-panel/Pro.dat", "mine");
  root.write("用户/karaoke-panel/config.ini", "[config]\r\nCOM=4\r\n");
  EXPECT_EQ(chooseProgramFolder(root.file("卡拉OK/bin"), user), user);
  EXPECT_EQ(root.read("用户/karaoke-panel/Pro.dat"), "mine");
  EXPECT_EQ(root.read("用户/karaoke-panel/config.ini"), "[config]\r\nCOM=4\r\n");
}

// After an update the user's config.ini keeps its port and texts and gains
// the texts the new version reads; nothing else of it changes.
TEST(ProgramFolder, AnUpdateAddsTheKeysTheUsersConfigLacks) {
  test::TempDir root;
  fs::create_directories(root.path() / "bin");
  fs::create_directories(root.path() / "share" / "karaoke-panel");
  fs::create_directories(root.path() / "user");
  root.write("share/karaoke-panel/config.ini",
             "[config]\r\nCOM=1\r\n1_c=new\r\nWork_c_1=Sending %1\r\nWork_e_1=\"  quoted \"\r\n");
  root.write("user/config.ini", "[config]\r\ncom=4\r\n1_c=mine\r\n");

  EXPECT_EQ(chooseProgramFolder(root.file("bin"), root.file("user")), root.file("user"));
  EXPECT_EQ(root.read("user/config.ini"),
            "[config]\r\ncom=4\r\n1_c=mine\r\nWork_c_1=Sending %1\r\nWork_e_1=quoted\r\n");
  // A second start finds nothing to add.
  chooseProgramFolder(root.file("bin"), root.file("user"));
  EXPECT_EQ(root.read("user/config.ini"),
            "[config]\r\ncom=4\r\n1_c=mine\r\nWork_c_1=Sending %1\r\nWork_e_1=quoted\r\n");
}

TEST(ProgramFolder, WithoutResourcesAnywhereTheExecutablesFolderIsUsed) {
  test::TempDir root;
  fs::create_directories(root.path() / "bin");
  EXPECT_EQ(chooseProgramFolder(root.file("bin"), root.file("user")), root.file("bin"));
}

}  // namespace
}  // namespace kp
