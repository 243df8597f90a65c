#pragma once
// The password dialog's controls: old, new and confirmed password.
#include <functional>

#include "core/models.h"

namespace kp {

class Form5 : public Window {
 public:
  Form5() { onUnload(); }

  Label Label1, Label2, Label3;
  TextBox Text1, Text2, Text3;  // password boxes, shown as "*"
  Button Command1;              // confirm
  Button Command2;              // cancel

  std::function<void()> loadStep;

 protected:
  void onLoad() override {
    if (loadStep) loadStep();
  }
  void onUnload() override {
    setCaption("密码更改");
    Label1.setCaption("旧密码:");
    Label2.setCaption("新密码:");
    Label3.setCaption("确认密码:");
    for (TextBox* t : {&Text1, &Text2, &Text3}) {
      t->setText("");
      t->password = true;
    }
    Command1.setCaption("确  认");
    Command2.setCaption("取  消");
  }
};

}  // namespace kp
