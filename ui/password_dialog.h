#pragma once
#include <QDialog>

namespace kp {
class Form5;
namespace ui {

// The password dialog's view: old, new and confirmed password as "*" boxes
// that take only what the model's key filter lets through, confirm and
// cancel. Enter confirms; Escape and the window frame cancel.
class PasswordDialog : public QDialog {
 public:
  PasswordDialog(Form5& model, QWidget* parent);
  ~PasswordDialog() override;

 protected:
  void reject() override;

 private:
  Form5& m_;
};

}  // namespace ui
}  // namespace kp
