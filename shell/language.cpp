#include "shell/language.h"

#include <array>
#include <string>

#include "panel/catalogue.h"

#include "ini/ini.h"

namespace kp {

Language::Language(SharedState& state, Form4& form4, Form1& form1, Form2& form2, Form3& form3,
                   Form5& form5, Form6& form6, Panel& panel, ProgressDisplay& progress,
                   Edits& edits)
    : s_(state),
      f4_(form4),
      f1_(form1),
      f2_(form2),
      f3_(form3),
      f5_(form5),
      f6_(form6),
      panel_(panel),
      progress_(progress),
      edits_(edits) {}

void Language::toggle() {
  // The flag is a 16-bit true/false: complementing it alternates 0 and -1.
  s_.Is_English = static_cast<std::int16_t>(~s_.Is_English);
  Set_Language();
  Set_Extra_Language();
}

void Language::Set_Extra_Language() {
  const std::string path = s_.configPath();
  const std::string suffix = s_.Is_English ? "_e_" : "_c_";
  auto text = [&](const char* family, int n) {
    return Read_Ini("config", family + suffix + std::to_string(n), path);
  };
  std::array<std::string, ProgressDisplay::kTexts> work;
  for (int n = 1; n <= ProgressDisplay::kTexts; ++n)
    work[static_cast<std::size_t>(n - 1)] = text("Work", n);
  std::array<std::string, kNameTexts> names;
  for (int n = 1; n <= kNameTexts; ++n) names[static_cast<std::size_t>(n - 1)] = text("Name", n);
  std::array<std::string, Edits::kTexts> edit;
  for (int n = 1; n <= Edits::kTexts; ++n) edit[static_cast<std::size_t>(n - 1)] = text("Edit", n);
  auto name = [&](int n) -> const std::string& { return names[static_cast<std::size_t>(n - 1)]; };
  const std::string& music = name(1);
  const std::string& mic = name(2);

  // Sliders and their readouts by their catalogue entry: "Music 1.25k",
  // "Microphone MASTER", "REV VOL", and "... reading" for the readout.
  for (const SliderParam& p : sliderCatalogue()) {
    std::string full = sliderItemName(p);
    const bool band = p.encoding == Encoding::Band;
    if ((band && p.table == ImageTable::Music) || p.slider == kMusicMaster)
      full = fillText(music, full);
    else if ((band && p.table == ImageTable::Mic) || p.slider == kMicMaster)
      full = fillText(mic, full);
    f4_.cpvSlider(p.slider).setAccessibleName(full);
    f4_.Label(p.label).setAccessibleName(fillText(name(3), full));
  }
  for (int step = 1; step <= 15; ++step) {
    Button& b = f4_.Command(Panel::kFirstStepButton + step - 1);
    b.setAccessibleName(fillText(name(4), step == Panel::kCentreStep ? name(5) : b.caption()));
  }
  f4_.Command(67).setAccessibleName(fillText(music, name(6)));
  f4_.Command(68).setAccessibleName(fillText(music, name(7)));
  f4_.Command(143).setAccessibleName(fillText(mic, name(6)));
  f4_.Command(144).setAccessibleName(fillText(mic, name(7)));
  f4_.Combo1.setAccessibleName(fillText(music, name(8)));
  f4_.Combo2.setAccessibleName(fillText(mic, name(8)));
  f4_.workBar.setAccessibleName(name(9));
  f1_.workBar.setAccessibleName(name(9));
  f4_.musicCompare.setAccessibleName(fillText(music, name(10)));
  f4_.micCompare.setAccessibleName(fillText(mic, name(10)));

  progress_.setTexts(work);
  edits_.setTexts(edit);
}

void Language::Set_Language() {
  // The caller may be a preset load (through the settings dialog's load
  // step) that reads on from Ini_Path afterwards: it gets its path back.
  const std::string callerPath = s_.Ini_Path;
  const std::string path = s_.configPath();
  s_.Ini_Path = path;
  const std::string suffix = s_.Is_English ? "_e" : "_c";
  // The windows' load steps move Ini_Path too, so every read names
  // config.ini itself.
  auto text = [&](int n) { return Read_Ini("config", std::to_string(n) + suffix, path); };
  auto set = [&](Control& c, int n) { c.setCaption(text(n)); };
  auto title = [&](Window& w, int n) { w.setCaption(text(n)); };

  f4_.load();
  // Menus, each toolbar button reading the text of the item it stands for.
  set(f4_.file1, 1);
  set(f4_.open1, 2);
  set(f4_.Toolbar1(1), 2);
  set(f4_.save1, 3);
  set(f4_.Toolbar1(2), 3);
  set(f4_.exit1, 4);
  set(f4_.Toolbar1(10), 4);
  set(f4_.Pro1, 5);
  set(f4_.link1, 6);
  set(f4_.Toolbar1(3), 6);
  set(f4_.unlink, 7);
  set(f4_.Toolbar1(4), 7);
  set(f4_.com_set1, 8);
  set(f4_.Toolbar1(5), 8);
  set(f4_.Pro_set1, 9);
  set(f4_.Toolbar1(7), 9);
  set(f4_.All_Reset1, 10);
  set(f4_.Toolbar1(8), 10);
  set(f4_.Pass_set1, 11);
  set(f4_.Toolbar1(6), 11);
  set(f4_.China_E1, 12);
  set(f4_.Toolbar1(9), 12);
  set(f4_.help1, 13);
  set(f4_.look_help, 14);

  set(f4_.Label(1), 15);
  set(f4_.Label(4), 16);
  set(f4_.Label(2), 17);
  set(f4_.Label(6), 18);
  set(f4_.Label(5), 19);
  s_.Ini_Path = path;  // the status text reads through it
  f4_.Label(3).setCaption(panel_.statusText(s_.Is_Linked));

  set(f4_.Command(67), 20);
  set(f4_.Command(68), 21);
  set(f4_.Command(143), 20);
  set(f4_.Command(144), 21);

  f1_.load();
  title(f1_, 22);
  set(f1_.Command1, 23);
  set(f1_.Command2, 24);

  f2_.load();
  title(f2_, 8);
  set(f2_.Frame1, 43);
  set(f2_.Command1, 25);
  set(f2_.Command2, 24);

  f3_.load();
  title(f3_, 26);
  set(f3_.Frame1, 27);
  set(f3_.Label1, 28);
  set(f3_.Label2, 29);
  set(f3_.Label3, 30);
  set(f3_.Frame2, 31);
  set(f3_.Label4, 32);
  set(f3_.Label5, 33);
  set(f3_.Label6, 34);
  set(f3_.Frame3, 35);
  set(f3_.Label7, 36);
  set(f3_.Label9, 37);
  set(f3_.Label8, 38);
  set(f3_.Command1, 25);
  set(f3_.Command2, 24);

  f5_.load();
  title(f5_, 39);
  set(f5_.Label1, 40);
  set(f5_.Label2, 41);
  set(f5_.Label3, 42);
  set(f5_.Command1, 25);
  set(f5_.Command2, 24);

  f6_.load();
  set(f6_.Command1, 20);

  s_.Ini_Path = callerPath;
}

}  // namespace kp
