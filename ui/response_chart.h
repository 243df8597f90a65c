#pragma once
#include <QWidget>

namespace kp {
class EqualiseWindow;
namespace ui {

// The equalise window's chart: the smoothed measurement, the target at the
// level of the fit and the response predicted after the proposal, over a
// logarithmic frequency axis from 20 Hz to 20 kHz, with the correction
// range shaded. Drawn with QPainter from the window's model.
class ResponseChart : public QWidget {
 public:
  ResponseChart(EqualiseWindow& model, QWidget* parent);
  QSize sizeHint() const override { return {820, 320}; }
  QSize minimumSizeHint() const override { return {420, 200}; }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  EqualiseWindow& m_;
};

}  // namespace ui
}  // namespace kp
