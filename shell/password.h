#pragma once
// The password dialog's behaviour: the old password is checked against the
// one the unit reported, then the four new digits go to the unit one frame
// each, every frame waiting for its answer.
#include <functional>
#include <string>

#include "core/ports.h"
#include "core/state.h"
#include "forms/form5.h"
#include "link/transmitter.h"

namespace kp {

// The dialog's messages; fixed Chinese whatever the interface language.
inline constexpr const char* kPasswordMismatch = "新密码和确认密码不相同";
inline constexpr const char* kPasswordUnchanged = "新密码和旧密码相同";
inline constexpr const char* kPasswordWrongOld = "旧密码不正确";
inline constexpr const char* kPasswordChanged = "修改成功";
inline constexpr const char* kPasswordNotFourDigits = "新密码必须是4位数字";
inline constexpr const char* kPasswordFailed = "修改失败";

class PasswordDialog {
 public:
  static constexpr int kDigits = 4;

  PasswordDialog(SharedState& state, Form5& form5, Transmitter& tx, Dialogs& dialogs);

  // The menu item and toolbar button: only while linked, otherwise nothing.
  void open();
  // Whether a typed character may enter the box: Backspace, or a digit while
  // the box holds fewer than four characters or has a selection to replace.
  bool keyAccepted(const TextBox& box, char32_t c) const;
  // Command1.
  void confirm();
  // Command2 and the window frame: closes, sends nothing.
  void cancel();

  std::function<void()> Set_Language;

 private:
  SharedState& s_;
  Form5& f5_;
  Transmitter& tx_;
  Dialogs& dialogs_;
  bool sending_ = false;
};

}  // namespace kp
