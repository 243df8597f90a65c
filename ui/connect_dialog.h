#pragma once
#include <QDialog>

namespace kp {
class Form1;
namespace ui {

// The connect dialog's view: the unit model list, a picture, connect and
// cancel. Enter connects, Escape cancels.
class ConnectDialog : public QDialog {
 public:
  ConnectDialog(Form1& model, QWidget* parent);

 protected:
  void reject() override;

 private:
  Form1& m_;
};

}  // namespace ui
}  // namespace kp
