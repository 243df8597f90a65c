// The interface language on a program in virtual time: which text lands on
// which control, in which order, in both languages, and what a config.ini
// without a language's texts leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "panel/catalogue.h"
#include "shell/language.h"
#include "tests/support/rig.h"

namespace kp::test {
namespace {

// Every text N as "<lang>N", status pieces as "<lang>sN"; the English keys
// are left out when english is false.
std::string textsConfig(bool english = true) {
  std::string s = "[config]\r\nCOM=1\r\n";
  for (int n = 1; n <= 43; ++n) {
    s += std::to_string(n) + "_c=c" + std::to_string(n) + "\r\n";
    if (english) s += std::to_string(n) + "_e=e" + std::to_string(n) + "\r\n";
  }
  for (int n = 1; n <= 3; ++n) {
    s += "Connect_c_" + std::to_string(n) + "=cs" + std::to_string(n) + "\r\n";
    if (english) s += "Connect_e_" + std::to_string(n) + "=es" + std::to_string(n) + "\r\n";
  }
  return s;
}

// One replaceable text of one window: its name, how to read it back and
// how to watch it change, and its text number (0: the status label).
struct Target {
  std::string name;
  int key;
  std::function<std::string()> caption;
  std::function<void(std::function<void()>)> watch;
};

class LanguageTest : public ::testing::Test {
 protected:
  explicit LanguageTest(const std::string& config = textsConfig()) {
    rig.config(config);
    p = &rig.make();
    lang = std::make_unique<Language>(p->state, p->form4, p->form1, p->form2, p->form3, p->form5,
                                      p->form6, p->panel, p->progress, p->edits);
    // The load steps of the settings and save-to-slot dialogs, as wired.
    p->settings.Set_Language = [this] { lang->Set_Language(); };
    p->saveToSlot.Set_Language = [this] { lang->Set_Language(); };
    p->startUp();
  }

  static Target control(std::string name, Control& c, int key) {
    return {std::move(name), key, [&c] { return c.caption(); },
            [&c](std::function<void()> f) { c.onViewChanged = std::move(f); }};
  }
  static Target window(std::string name, Window& w, int key) {
    return {std::move(name), key, [&w] { return w.caption(); },
            [&w](std::function<void()> f) { w.onViewChanged = std::move(f); }};
  }

  // The 63 targets in the order the texts are applied.
  std::vector<Target> targets() {
    auto& f4 = p->form4;
    auto& f3 = p->form3;
    auto tb = [&](int i) -> Control& { return f4.Toolbar1(i); };
    return {
        control("file1", f4.file1, 1),
        control("open1", f4.open1, 2),
        control("Toolbar1(1)", tb(1), 2),
        control("save1", f4.save1, 3),
        control("Toolbar1(2)", tb(2), 3),
        control("exit1", f4.exit1, 4),
        control("Toolbar1(10)", tb(10), 4),
        control("Pro1", f4.Pro1, 5),
        control("link1", f4.link1, 6),
        control("Toolbar1(3)", tb(3), 6),
        control("unlink", f4.unlink, 7),
        control("Toolbar1(4)", tb(4), 7),
        control("com_set1", f4.com_set1, 8),
        control("Toolbar1(5)", tb(5), 8),
        control("Pro_set1", f4.Pro_set1, 9),
        control("Toolbar1(7)", tb(7), 9),
        control("All_Reset1", f4.All_Reset1, 10),
        control("Toolbar1(8)", tb(8), 10),
        control("Pass_set1", f4.Pass_set1, 11),
        control("Toolbar1(6)", tb(6), 11),
        control("China_E1", f4.China_E1, 12),
        control("Toolbar1(9)", tb(9), 12),
        control("help1", f4.help1, 13),
        control("look_help", f4.look_help, 14),
        control("Form4.Label1", f4.Label(1), 15),
        control("Form4.Label4", f4.Label(4), 16),
        control("Form4.Label2", f4.Label(2), 17),
        control("Form4.Label6", f4.Label(6), 18),
        control("Form4.Label5", f4.Label(5), 19),
        control("Form4.Label3", f4.Label(3), 0),
        control("Command67", f4.Command(67), 20),
        control("Command68", f4.Command(68), 21),
        control("Command143", f4.Command(143), 20),
        control("Command144", f4.Command(144), 21),
        window("Form1", p->form1, 22),
        control("Form1.Command1", p->form1.Command1, 23),
        control("Form1.Command2", p->form1.Command2, 24),
        window("Form2", p->form2, 8),
        control("Form2.Frame1", p->form2.Frame1, 43),
        control("Form2.Command1", p->form2.Command1, 25),
        control("Form2.Command2", p->form2.Command2, 24),
        window("Form3", f3, 26),
        control("Form3.Frame1", f3.Frame1, 27),
        control("Form3.Label1", f3.Label1, 28),
        control("Form3.Label2", f3.Label2, 29),
        control("Form3.Label3", f3.Label3, 30),
        control("Form3.Frame2", f3.Frame2, 31),
        control("Form3.Label4", f3.Label4, 32),
        control("Form3.Label5", f3.Label5, 33),
        control("Form3.Label6", f3.Label6, 34),
        control("Form3.Frame3", f3.Frame3, 35),
        control("Form3.Label7", f3.Label7, 36),
        control("Form3.Label9", f3.Label9, 37),
        control("Form3.Label8", f3.Label8, 38),
        control("Form3.Command1", f3.Command1, 25),
        control("Form3.Command2", f3.Command2, 24),
        window("Form5", p->form5, 39),
        control("Form5.Label1", p->form5.Label1, 40),
        control("Form5.Label2", p->form5.Label2, 41),
        control("Form5.Label3", p->form5.Label3, 42),
        control("Form5.Command1", p->form5.Command1, 25),
        control("Form5.Command2", p->form5.Command2, 24),
        control("Form6.Command1", p->form6.Command1, 20),
    };
  }

  // What a target should show in the current language and link state.
  std::string expected(const Target& t, const char* lang) const {
    if (t.key != 0) return lang + std::to_string(t.key);
    const std::string s = std::string(lang) + "s";
    return "\n" + s + "1\n\n" + s + (p->state.Is_Linked ? "2" : "3");
  }

  Rig rig;
  Program* p = nullptr;
  std::unique_ptr<Language> lang;
};

// Shared texts included: 24 on four cancel buttons, 25 on three confirm
// buttons, 8 on the menu item, toolbar button 5 and the port dialog's title.
TEST_F(LanguageTest, EnglishReachesEveryTargetOnceInTableOrder) {
  const std::string mainCaption = p->form4.caption();
  lang->Set_Language();  // every window exists now
  auto all = targets();
  ASSERT_EQ(all.size(), 63u);
  std::vector<std::string> seen;
  for (auto& t : all) t.watch([&seen, &t] { seen.push_back(t.name + "=" + t.caption()); });

  lang->toggle();

  std::vector<std::string> want;
  for (const auto& t : all) want.push_back(t.name + "=" + expected(t, "e"));
  EXPECT_EQ(seen, want);
  EXPECT_EQ(p->form4.caption(), mainCaption) << "the main window keeps its own caption";
}

TEST_F(LanguageTest, TwoTogglesComeBackToChineseThroughEnglish) {
  lang->Set_Language();
  ASSERT_EQ(p->state.Is_English, 0);
  lang->toggle();
  EXPECT_EQ(p->state.Is_English, -1);
  EXPECT_EQ(p->form4.file1.caption(), "e1");
  EXPECT_EQ(p->form5.caption(), "e39");
  lang->toggle();
  EXPECT_EQ(p->state.Is_English, 0);
  for (const auto& t : targets()) EXPECT_EQ(t.caption(), expected(t, "c")) << t.name;
}

TEST_F(LanguageTest, TheStatusLabelShowsTheLinkStateAtTheMomentOfTheSwitch) {
  lang->Set_Language();
  EXPECT_EQ(p->form4.Label(3).caption(), "\ncs1\n\ncs3");
  p->state.Is_Linked = true;
  lang->toggle();
  EXPECT_EQ(p->form4.Label(3).caption(), "\nes1\n\nes2");
  p->state.Is_Linked = false;
  lang->toggle();
  EXPECT_EQ(p->form4.Label(3).caption(), "\ncs1\n\ncs3");
}

TEST_F(LanguageTest, EveryCallReadsTheFileAgain) {
  lang->Set_Language();
  EXPECT_EQ(p->form4.open1.caption(), "c2");
  std::string edited = textsConfig();
  edited.replace(edited.find("2_c=c2\r\n"), 8, "2_c=Open file\r\n");
  rig.config(edited);
  lang->Set_Language();
  EXPECT_EQ(p->form4.open1.caption(), "Open file");
  EXPECT_EQ(p->form4.Toolbar1(1).caption(), "Open file");
}

TEST_F(LanguageTest, ReadsConfigIniWhereverIniPathPointsAndGivesThePathBack) {
  // A preset load opens the settings dialog, whose load step lands here,
  // and then reads its next keys from Ini_Path.
  rig.folder.write("Pro.dat", "[config]\r\n1_c=preset\r\nConnect_c_1=preset\r\n");
  p->form2.unload();  // its load step points Ini_Path at config.ini as well
  p->state.Ini_Path = p->state.defaultPresetPath();
  lang->Set_Language();
  EXPECT_EQ(p->form4.file1.caption(), "c1");
  EXPECT_EQ(p->form4.Label(3).caption(), "\ncs1\n\ncs3");
  EXPECT_EQ(p->state.Ini_Path, p->state.defaultPresetPath());
}

// A program whose windows have never been opened.
class FreshProgramLanguage : public ::testing::Test {
 protected:
  FreshProgramLanguage() {
    rig.config(textsConfig());
    p = &rig.make();
    lang = std::make_unique<Language>(p->state, p->form4, p->form1, p->form2, p->form3, p->form5,
                                      p->form6, p->panel, p->progress, p->edits);
    p->settings.Set_Language = [this] {
      ++settingsCalls;
      lang->Set_Language();
    };
    p->saveToSlot.Set_Language = [this] {
      ++saveCalls;
      lang->Set_Language();
    };
  }
  std::vector<Window*> dialogs() { return {&p->form1, &p->form2, &p->form3, &p->form5, &p->form6}; }
  Rig rig;
  Program* p = nullptr;
  std::unique_ptr<Language> lang;
  int settingsCalls = 0, saveCalls = 0;
};

TEST_F(FreshProgramLanguage, CreatesTheMissingWindowsHiddenAndTheirLoadStepsCallItOnce) {
  for (Window* w : dialogs()) ASSERT_FALSE(w->loaded());
  lang->Set_Language();
  for (Window* w : dialogs()) {
    EXPECT_TRUE(w->loaded());
    EXPECT_FALSE(w->visible());
  }
  EXPECT_EQ(settingsCalls, 1);
  EXPECT_EQ(saveCalls, 1);
  EXPECT_EQ(p->form3.Label9.caption(), "c37");
  EXPECT_EQ(p->form6.Command1.caption(), "c20");
  EXPECT_EQ(p->form6.Combo1.index(), 0) << "the save-to-slot load step ran";
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_EQ(rig.port.writesWhileClosed, 0);

  lang->Set_Language();
  EXPECT_EQ(settingsCalls, 1) << "windows that exist are not created again";
  EXPECT_EQ(saveCalls, 1);
}

class ChineseOnlyConfig : public LanguageTest {
 protected:
  ChineseOnlyConfig() : LanguageTest(textsConfig(/*english=*/false)) {}
};

TEST_F(ChineseOnlyConfig, EnglishBlanksEveryTextAndChineseBringsThemBack) {
  lang->Set_Language();
  lang->toggle();
  for (const auto& t : targets()) {
    if (t.key == 0)
      EXPECT_EQ(t.caption(), "\n\n\n") << "line feeds only";
    else
      EXPECT_EQ(t.caption(), "") << t.name;
  }
  lang->toggle();
  for (const auto& t : targets()) EXPECT_EQ(t.caption(), expected(t, "c")) << t.name;
}

// The config.ini the build ships, with its GBK Chinese texts.
class ShippedConfig : public LanguageTest {
 protected:
  ShippedConfig() : LanguageTest(shipped()) {}
  static std::string shipped() {
    std::ifstream in(std::filesystem::path(KP_SOURCE_DIR) / "resources" / "config.ini",
                     std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
};

TEST_F(ShippedConfig, HasEveryTextInBothLanguages) {
  lang->Set_Language();
  EXPECT_EQ(p->form4.file1.caption(), "文件(&F)");
  EXPECT_EQ(p->form3.Label2.caption(), "话筒初化音量");
  for (const auto& t : targets()) EXPECT_FALSE(t.caption().empty()) << t.name;
  EXPECT_NE(p->form4.Label(3).caption().find("未连接"), std::string::npos);
  lang->toggle();
  EXPECT_EQ(p->form4.file1.caption(), "&File");
  for (const auto& t : targets()) {
    EXPECT_FALSE(t.caption().empty()) << t.name;
    // The switch names both languages, so either reader finds the way back.
    if (t.key == 12) continue;
    for (unsigned char ch : t.caption())
      EXPECT_LT(ch, 0x80) << t.name << " is English text: " << t.caption();
  }
}

// The texts of long work and the accessible names, in both languages and
// read anew at every call.
TEST_F(ShippedConfig, TheExtraTextsAndTheAccessibleNamesFollowTheLanguage) {
  Form4& f = p->form4;
  EXPECT_EQ(f.cpvSlider(19).accessibleName(), "音乐 1.25k");
  EXPECT_EQ(f.fileName.caption(), "预设文件: Pro.dat");
  lang->toggle();
  EXPECT_EQ(f.cpvSlider(19).accessibleName(), "Music 1.25k");
  EXPECT_EQ(f.Label(sliderParam(19)->label).accessibleName(), "Music 1.25k reading");
  EXPECT_EQ(f.cpvSlider(kMicMaster).accessibleName(), "Microphone MASTER");
  EXPECT_EQ(f.cpvSlider(76).accessibleName(), "REV VOL");
  EXPECT_EQ(f.Command(76).accessibleName(), "Key natural");
  EXPECT_EQ(f.Command(144).accessibleName(), "Microphone Reset");
  for (const auto& sp : sliderCatalogue())
    for (unsigned char ch : f.Label(sp.label).accessibleName()) EXPECT_LT(ch, 0x80);
  std::string edited = shipped();
  edited.replace(edited.find("Preset file: %1"), 15, "File %1");
  rig.config(edited);
  lang->Set_Extra_Language();
  EXPECT_EQ(f.fileName.caption(), "File Pro.dat");
}

}  // namespace
}  // namespace kp::test
