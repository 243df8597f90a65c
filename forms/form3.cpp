#include "forms/form3.h"

namespace kp {

Form3::Form3() { onUnload(); }

SpinButton* Form3::spin(std::string_view key) {
  if (key == "MIC_MAX_VOLUME") return &SpinButton1;
  if (key == "MIC_MIN_VOLUME") return &SpinButton2;
  if (key == "MUSIC_MAX_VOLUME") return &SpinButton3;
  if (key == "MUSIC_MIN_VOLUME") return &SpinButton4;
  if (key == "KTV_MIN_VOLUME") return &SpinButton5;
  return nullptr;
}

ListBox* Form3::list(std::string_view key) {
  if (key == "MIC_MODE") return &Combo1;
  if (key == "MUSIC_MODE") return &Combo2;
  if (key == "KTV_MIN_DU") return &Combo3;
  if (key == "KTV_RESET_TIME") return &Combo4;
  return nullptr;
}

void Form3::onLoad() {
  if (loadStep) loadStep();
}

void Form3::onUnload() {
  // Handlers stay attached; the values go back to the design state quietly.
  auto resetSpin = [](SpinButton& s, int min, int max, const char* tag) {
    s.setDesign(min, max, 1);
    s.Tag = tag;
    s.setEnabled(true);
  };
  auto resetList = [](ListBox& l, std::vector<std::string> items, const char* tag) {
    l.setItems(items);
    l.Tag = tag;
    l.setEnabled(true);
  };
  resetSpin(SpinButton1, 1, 100, "9");
  resetSpin(SpinButton2, 1, 100, "7");
  resetSpin(SpinButton3, 1, 100, "10");
  resetSpin(SpinButton4, 1, 100, "8");
  resetSpin(SpinButton5, 0, 50, "94");
  resetList(Combo1,
            {"1.RAM1", "2.RAM2", "3.RAM3", "4.HALL", "5.CHORUS", "6.SOLO", "7.ROOM", "8.DELAY"},
            "12");
  resetList(Combo2,
            {"1.RAM1", "2.RAM2", "3.RAM3", "4.FLAT", "5.ROCK", "6.POPS", "7.SOFT", "8.DANCE"},
            "11");
  resetList(Combo3, {"1.HI", "2.MID", "3.LOW"}, "95");
  resetList(Combo4, {"7.5s", "5.0s", "2.5s"}, "95");
  setCaption("配置");
  Frame1.setCaption("话筒");
  Frame2.setCaption("音乐");
  Frame3.setCaption("超低");
  Label1.setCaption("话筒最大音量");
  Label2.setCaption("话筒初化音量");
  Label3.setCaption("话筒效果模式");
  Label4.setCaption("音乐最大音量");
  Label5.setCaption("音乐初化音量");
  Label6.setCaption("音乐效果模式");
  Label7.setCaption("演唱超低音量");
  Label8.setCaption("演唱超低灵敏度");
  Label9.setCaption("超低复位时间");
  for (TextBox* t : {&Text1, &Text2, &Text3, &Text4}) t->setText("1%");
  Text5.setText("2%");
  for (Control* c : {static_cast<Control*>(&Frame3), static_cast<Control*>(&Label7),
                     static_cast<Control*>(&Label8), static_cast<Control*>(&Label9),
                     static_cast<Control*>(&Text5), static_cast<Control*>(&SpinButton5)})
    c->setEnabled(true);
  Command1.setCaption("确  认");
  Command2.setCaption("取  消");
}

}  // namespace kp
