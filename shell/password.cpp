#include "shell/password.h"

#include <array>
#include <cstdint>

#include "link/frames.h"

namespace kp {

namespace {
constexpr char32_t kBackspace = 8;

// Characters, not bytes: pasted text may hold more than ASCII.
std::size_t characters(const std::string& utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

bool fourDigits(const std::string& text) {
  if (text.size() != PasswordDialog::kDigits) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}
}  // namespace

PasswordDialog::PasswordDialog(SharedState& state, Form5& form5, Transmitter& tx, Dialogs& dialogs)
    : s_(state), f5_(form5), tx_(tx), dialogs_(dialogs) {
  for (TextBox* box : {&f5_.Text1, &f5_.Text2, &f5_.Text3})
    box->keyFilter = [this, box](char32_t c) { return keyAccepted(*box, c); };
  f5_.Command1.onClick = [this] { confirm(); };
  f5_.Command2.onClick = [this] { cancel(); };
}

void PasswordDialog::open() {
  if (!s_.Is_Linked) return;
  if (Set_Language) Set_Language();
  f5_.show();
}

bool PasswordDialog::keyAccepted(const TextBox& box, char32_t c) const {
  if (c == kBackspace) return true;
  if (c < U'0' || c > U'9') return false;
  return box.selectionLength > 0 || characters(box.text()) < kDigits;
}

void PasswordDialog::confirm() {
  // The buttons stay live while the frames go out; a second click must not
  // interleave a second set of digits with the first.
  if (sending_) return;
  const std::string oldText = f5_.Text1.text();
  const std::string newText = f5_.Text2.text();
  // The first failed check is shown and the texts stay for a correction.
  const char* refusal = nullptr;
  if (f5_.Text3.text() != newText)
    refusal = kPasswordMismatch;
  else if (oldText == newText)
    refusal = kPasswordUnchanged;
  else if (oldText != s_.Device_Password)
    refusal = kPasswordWrongOld;
  else if (!fourDigits(newText))  // typing admits only digits, a paste does not
    refusal = kPasswordNotFourDigits;
  if (refusal) {
    dialogs_.message(refusal);
    return;
  }

  std::array<std::uint8_t, kDigits> digits{};
  for (int i = 0; i < kDigits; ++i)
    digits[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(newText[i] - '0');

  sending_ = true;
  for (int i = 0; i < kDigits; ++i) {
    // A busy panel drops the frame, and a digit still awaited after the wait
    // was never taken: either way the unit may hold a mix of old and new
    // digits, so the panel must not claim the new password.
    const bool sent = !s_.Is_Busy;
    tx_.Send_Command(static_cast<std::uint8_t>(addr::PasswordDigit1 + i),
                     digits[static_cast<std::size_t>(i)]);
    if (sent) tx_.Wait_Reply();
    if (!sent || s_.Awaiting_Reply) {
      sending_ = false;
      dialogs_.message(kPasswordFailed);
      return;
    }
  }
  sending_ = false;
  dialogs_.message(kPasswordChanged);
  s_.Device_Password = newText;
  f5_.unload();
}

void PasswordDialog::cancel() { f5_.unload(); }

}  // namespace kp
