#pragma once
#include <QDialog>

namespace kp {
class Form2;
namespace ui {

// The serial port dialog's view: ten options in a frame, OK and cancel.
class PortDialog : public QDialog {
 public:
  PortDialog(Form2& model, const QString& programFolder, QWidget* parent);

 protected:
  void reject() override;  // Escape and the window frame cancel
  void showEvent(QShowEvent* e) override;

 private:
  Form2& m_;
  QString folder_;
};

}  // namespace ui
}  // namespace kp
