#pragma once
#include <QDialog>

namespace kp {
class Form6;
namespace ui {

// The save-to-slot dialog's view: the user slot list and the store button,
// placed where the model puts it (under the save button that opened it).
// Enter stores; Escape and the window frame close it without storing.
class SaveSlotDialog : public QDialog {
 public:
  SaveSlotDialog(Form6& model, QWidget* parent);
  ~SaveSlotDialog() override;

 protected:
  void reject() override;

 private:
  Form6& m_;
};

}  // namespace ui
}  // namespace kp
