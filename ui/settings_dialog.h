#pragma once
#include <QDialog>

namespace kp {
class Form3;
namespace ui {

// The device settings dialog's view: microphone, music and ultra-low groups,
// each volume shown as "N%" beside its up/down arrows, the four lists, and
// confirm and cancel. Enter confirms; Escape and the window frame cancel.
class SettingsDialog : public QDialog {
 public:
  SettingsDialog(Form3& model, QWidget* parent);
  ~SettingsDialog() override;

 protected:
  void reject() override;
  // Up and Down on a volume display step its spin button.
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  Form3& m_;
};

}  // namespace ui
}  // namespace kp
