// Facts of POSIX file systems met by preset files: symbolic links, named
// pipes, endless devices and a file size limit.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <set>

#include "ini/ini.h"
#include "tests/presets/save_fixture.h"

namespace kp {
namespace {

using test::listing;
using test::PresetData;
using test::SaveFailure;
using test::SavePreset;
namespace fs = std::filesystem;
using SavePresetPosix = SavePreset;
using SaveFailurePosix = SaveFailure;

TEST_F(SavePresetPosix, SavingThroughALinkReplacesTheFileItNamesAndKeepsTheLink) {
  fs::create_directory(rig.folder.path() / "real");
  rig.folder.write("real/target.dat", "[config]\r\nMusic_Master=1\r\n");
  fs::create_symlink("real/target.dat", rig.folder.path() / "link.dat");
  setPanel(PresetData::sample());
  saveCommand(file("link.dat"));
  EXPECT_TRUE(rig.dialogs.messages.empty()) << rig.dialogs.messages.front();
  EXPECT_TRUE(fs::is_symlink(rig.folder.path() / "link.dat"));
  EXPECT_EQ(Read_Ini("config", "Music_Master", file("real/target.dat")), "55");
  EXPECT_EQ(Read_Ini("Mic_2", "37", file("real/target.dat")),
            std::to_string(PresetData::sample().mic[2][37]));
  EXPECT_EQ(listing(rig.folder.path() / "real"), (std::set<std::string>{"target.dat"}));
}

TEST_F(SaveFailurePosix, ATargetThatIsAPipeIsReportedAndLeftAlone) {
  ASSERT_EQ(mkfifo(file("pipe.dat").c_str(), 0644), 0);
  saveCommand(file("pipe.dat"));
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_NE(rig.dialogs.messages[0].find(file("pipe.dat")), std::string::npos);
  EXPECT_TRUE(fs::is_fifo(file("pipe.dat")));
  EXPECT_EQ(listing(rig.folder.path()), (std::set<std::string>{"config.ini", "pipe.dat"}));
}

TEST_F(SaveFailurePosix, AWriteThatFailsHalfwayLeavesTheOldFileWhole) {
  // The process may write files of at most 900 bytes: the working copy of
  // the small old file fits, the complete preset (about 1.5 kB) does not.
  // This holds for root too.
  const std::string old = "[config]\r\nMusic_Master=1\r\nMic_Master=2\r\n";
  rig.folder.write("half.dat", old);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto* previous = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 900;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  saveCommand(file("half.dat"));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);

  expectReported(file("half.dat"), "too large");
  EXPECT_EQ(rig.folder.read("half.dat"), old);
  EXPECT_EQ(listing(rig.folder.path()), (std::set<std::string>{"config.ini", "half.dat"}));

  // With room again the same save goes through.
  saveCommand(file("half.dat"));
  EXPECT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(Read_Ini("config", "Music_Master", file("half.dat")), "55");
  EXPECT_EQ(Read_Ini("Mic_2", "37", file("half.dat")),
            std::to_string(PresetData::sample().mic[2][37]));
}

// A default preset that is no file at all: start-up must neither block on it
// nor read from it.
class StartUpWithoutAFilePosix : public ::testing::Test {
 protected:
  void startWith(const std::function<void(const fs::path&)>& place) {
    place(rig.folder.path() / "Pro.dat");
    rig.make().startUp();
    const auto& p = *rig.program;
    EXPECT_EQ(p.form4.Combo1.items().size(), 3u);
    EXPECT_EQ(p.form4.Combo1.index(), -1);
    EXPECT_EQ(p.state.Device_Settings.MIC_MAX_VOLUME, 0);
    for (int k = 1; k <= 31; ++k) EXPECT_EQ(p.state.image.music(0, k), 0);
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_TRUE(rig.dialogs.messages.empty());
  }
  test::Rig rig;
};

TEST_F(StartUpWithoutAFilePosix, APipeNamedProDatLoadsAsKeysMissing) {
  startWith([](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); });
}

TEST_F(StartUpWithoutAFilePosix, ALinkToAnEndlessDeviceLoadsAsKeysMissing) {
  startWith([](const fs::path& p) { fs::create_symlink("/dev/zero", p); });
}

}  // namespace
}  // namespace kp
