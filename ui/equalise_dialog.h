#pragma once
#include <QDialog>

namespace kp {
class EqualiseWindow;
namespace ui {

// The view of Equalise from measurement: the measurement's file and Open,
// the channel, target and limits, the chart, the current and proposed
// value of each band, the errors before and after, Apply and Close.
// Escape and the window frame close it.
class EqualiseDialog : public QDialog {
 public:
  EqualiseDialog(EqualiseWindow& model, QWidget* parent);
  ~EqualiseDialog() override;

 protected:
  void reject() override;

 private:
  EqualiseWindow& m_;
};

}  // namespace ui
}  // namespace kp
