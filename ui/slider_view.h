#pragma once
// A vertical fader for the panel's sliders: a QSlider (so keyboard, mouse and
// wheel behave as operators expect) painted as a console fader, with a scale
// and a filled track so a row of them reads like a curve at a glance.
#include <QColor>
#include <QSlider>
#include <optional>

namespace kp::ui {

class SliderView : public QSlider {
 public:
  enum class Scale {
    Centre,  // equaliser band: cut below the 0 mark, boost above it
    Level,   // level from the bottom up
  };

  SliderView(Scale scale, QColor accent, int tickStep, QWidget* parent = nullptr);

  Scale scale() const { return scale_; }
  QColor accent() const { return accent_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  // Where the middle of the cap sits for a value, in widget coordinates.
  double positionOf(int value) const;

  // A mark at a value beside the track (what the band is compared with).
  void setMark(std::optional<int> mark) {
    if (mark == mark_) return;
    mark_ = mark;
    update();
  }
  const std::optional<int>& mark() const { return mark_; }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  Scale scale_;
  QColor accent_;
  int tickStep_;
  std::optional<int> mark_;
};

// The dB figures beside a row of band faders, lined up with the ticks of
// the fader it stands next to.
class ScaleView : public QWidget {
 public:
  ScaleView(const SliderView* reference, QWidget* parent = nullptr);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  const SliderView* ref_;
};

}  // namespace kp::ui
