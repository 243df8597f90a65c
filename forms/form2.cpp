#include "forms/form2.h"

#include <string>

namespace kp {

OptionButton& Form2::Option1(int i) {
  if (i < 0 || i >= kPorts) return none_;
  return options_[static_cast<std::size_t>(i)];
}

bool Form2::select(int i) {
  if (i < 0 || i >= kPorts) return false;
  for (int k = 0; k < kPorts; ++k) options_[static_cast<std::size_t>(k)].setChecked(k == i);
  return true;
}

int Form2::selected() const {
  for (int k = 0; k < kPorts; ++k)
    if (options_[static_cast<std::size_t>(k)].checked()) return k;
  return -1;
}

void Form2::onUnload() {
  for (int k = 0; k < kPorts; ++k) {
    auto& o = options_[static_cast<std::size_t>(k)];
    o.setChecked(false);
    o.setCaption("COM" + std::to_string(k + 1));
  }
  setCaption("串口设置");
  Frame1.setCaption("串口号");
  Command1.setCaption("确  定");
  Command2.setCaption("取  消");
}

}  // namespace kp
