#include "forms/form4.h"

#include <string>
#include <utility>

namespace kp {

Form4::Form4(EventPump& pump) : Timer1(pump.createTimer()) {
  // The window has cpvSlider1..32, 34..65 and 67..78; their ranges, Tags and
  // readouts come from the parameter catalogue (the panel sets them up).
  for (int n = 1; n <= kMaxSlider; ++n)
    hasSlider_[static_cast<std::size_t>(n)] = n != 33 && n != 66;
  Combo1.Tag = "84";
  Combo2.Tag = "82";

  // Design captions; the language texts replace them at run time.
  setCaption("卡拉OK 控制面板");
  const std::pair<Button*, const char*> menus[] = {
      {&file1, "文件(&F)"},     {&open1, "打开"},
      {&save1, "保存"},         {&exit1, "退出"},
      {&Pro1, "设备(&D)"},      {&link1, "链接"},
      {&unlink, "断开"},        {&com_set1, "串口设置"},
      {&Pro_set1, "设备设置"},  {&All_Reset1, "恢复出厂值"},
      {&Pass_set1, "密码设置"}, {&China_E1, "中/英"},
      {&help1, "帮助(&H)"},     {&look_help, "查看帮助"}};
  for (const auto& [item, caption] : menus) item->setCaption(caption);
  const char* tips[] = {"打开",     "保存",     "链接",       "断开",  "串口设置",
                        "密码设置", "设备设置", "恢复出厂值", "中/英", "退出"};
  for (int i = 1; i <= kToolbarButtons; ++i) Toolbar1(i).setCaption(tips[i - 1]);
  const std::pair<int, const char*> captions[] = {{1, "音乐均衡调节"},
                                                  {2, "话筒均衡调节"},
                                                  {4, "交调控制"},
                                                  {5, "效果调节"},
                                                  {6, "5.1 声道音量调节"}};
  for (const auto& [n, text] : captions) Label(n).setCaption(text);
  for (int n : {67, 143}) Command(n).setCaption("保  存");
  for (int n : {68, 144}) Command(n).setCaption("复  位");
  // Step captions b7..b1 and #1..#7 around the centre picture, and the names
  // under the output and effect sliders; none of them follows the language.
  const char* steps[] = {"b7", "b6", "b5", "b4", "b3", "b2", "b1", "",
                         "#1", "#2", "#3", "#4", "#5", "#6", "#7"};
  for (int i = 0; i < 15; ++i) Command(69 + i).setCaption(steps[i]);
  const char* names[] = {"L",   "R",   "SL",   "SR",      "C",       "SUB",
                         "REP", "DEL", "ECHO", "REV VOL", "REV DEL", "MASTER"};
  for (int i = 0; i < 12; ++i) Command(84 + i).setCaption(names[i]);
}

bool Form4::hasSlider(int n) const {
  return n >= 0 && n <= kMaxSlider && hasSlider_[static_cast<std::size_t>(n)];
}

Slider& Form4::cpvSlider(int n) {
  return hasSlider(n) ? sliders_[static_cast<std::size_t>(n)] : noSlider_;
}

kp::Label& Form4::Label(int n) {
  if (n < 0 || n > kMaxLabel) return noLabel_;
  return labels_[static_cast<std::size_t>(n)];
}

Button& Form4::Command(int n) {
  if (n < 0 || n > kMaxCommand) return noButton_;
  return commands_[static_cast<std::size_t>(n)];
}

Button& Form4::Toolbar1(int index) {
  if (index < 1 || index > kToolbarButtons) return noButton_;
  return toolbar_[static_cast<std::size_t>(index)];
}

}  // namespace kp
