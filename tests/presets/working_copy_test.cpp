// The working copy of a preset save: what a killed save left, the next save
// takes over; one that another save is filling is left alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "core/os_files.h"
#include "core/utf8_path.h"
#include "tests/support/rig.h"

namespace kp {
namespace {

namespace fs = std::filesystem;

// What a killed save leaves, the next save takes over; one that another
// program is filling at that moment it leaves alone.
class WorkingCopyLeft : public ::testing::Test {
 protected:
  WorkingCopyLeft() { rig.make().startUp(); }
  std::set<std::string> names() const {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(rig.folder.path()))
      out.insert(e.path().filename().string());
    return out;
  }
  test::Rig rig;
};

TEST_F(WorkingCopyLeft, ACopyAKilledFirstSaveLeftIsEmptiedAndTakenOver) {
  rig.folder.write(".New.dat.saving", "[Left]\r\nBy=a killed save\r\n[config]\r\nMic_Master=7\r\n");
  ASSERT_TRUE(rig.program->presetFile.Save_Pro_Ini(rig.folder.file("New.dat")));
  const std::string saved = rig.folder.read("New.dat");
  EXPECT_EQ(saved.find("[Left]"), std::string::npos) << "nothing of the old copy comes along";
  EXPECT_EQ(saved.rfind("[config]\r\nMIC_MAX_VOLUME=", 0), 0u) << saved.substr(0, 40);
  EXPECT_EQ(names(), (std::set<std::string>{"New.dat", "config.ini"}));
}

TEST_F(WorkingCopyLeft, ACopyAnotherSaveHoldsIsLeftAsItIs) {
  const std::string held = rig.folder.file(".Busy.dat.saving");
  rig.folder.write(".Busy.dat.saving", "being written elsewhere");
  bool saved = false;
  {
    const os::FileLock otherSave(pathFromUtf8(held));
    ASSERT_TRUE(otherSave.locked());
    saved = rig.program->presetFile.Save_Pro_Ini(rig.folder.file("Busy.dat"));
  }
  ASSERT_TRUE(saved) << (rig.dialogs.messages.empty() ? "" : rig.dialogs.messages[0]);
  EXPECT_EQ(rig.folder.read(".Busy.dat.saving"), "being written elsewhere");
  EXPECT_NE(rig.folder.read("Busy.dat").find("MIC_CHANGE_MODE=0"), std::string::npos);
  EXPECT_EQ(names(), (std::set<std::string>{".Busy.dat.saving", "Busy.dat", "config.ini"}));
}

}  // namespace
}  // namespace kp
