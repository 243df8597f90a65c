#include "ui/slider_view.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>

#include "ui/panel_style.h"

namespace kp::ui {

namespace {

// A fader cap larger than the desktop default, so it is easy to grab on a
// dim desk; shared by all sliders and owned by the application.
class FaderStyle : public QProxyStyle {
 public:
  FaderStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}
  int pixelMetric(PixelMetric m, const QStyleOption* o, const QWidget* w) const override {
    switch (m) {
      case PM_SliderLength:
        return 14;
      case PM_SliderThickness:
      case PM_SliderControlThickness:
        return 24;
      case PM_SliderTickmarkOffset:
        return 0;
      default:
        return QProxyStyle::pixelMetric(m, o, w);
    }
  }
};

QStyle* faderStyle() {
  static QStyle* style = [] {
    auto* s = new FaderStyle;
    s->setParent(qApp);
    return s;
  }();
  return style;
}

}  // namespace

SliderView::SliderView(Scale scale, QColor accent, int tickStep, QWidget* parent)
    : QSlider(Qt::Vertical, parent),
      scale_(scale),
      accent_(accent),
      tickStep_(std::max(1, tickStep)) {
  setStyle(faderStyle());
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize SliderView::sizeHint() const { return {36, 124}; }
QSize SliderView::minimumSizeHint() const { return {20, 64}; }

double SliderView::positionOf(int value) const {
  QStyleOptionSlider opt;
  initStyleOption(&opt);
  const int len = style()->pixelMetric(QStyle::PM_SliderLength, &opt, this);
  const int span = height() - len;
  return QStyle::sliderPositionFromValue(minimum(), maximum(), value, span, opt.upsideDown) +
         len / 2.0;
}

void SliderView::paintEvent(QPaintEvent*) {
  using namespace colours;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QStyleOptionSlider opt;
  initStyleOption(&opt);
  const QRect handle =
      style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
  const bool on = isEnabled();
  const double cx = width() / 2.0;
  const double half = std::min(width() / 2.0 - 2.0, 13.0);
  const double top = positionOf(maximum());
  const double bottom = positionOf(minimum());

  // Scale: a tick every step, the 0 mark of a band across the whole width.
  const QColor tick = on ? QColor(0x4b, 0x53, 0x5d) : QColor(0x38, 0x3e, 0x46);
  const int first = (minimum() / tickStep_) * tickStep_;
  for (int v = first; v <= maximum(); v += tickStep_) {
    if (v < minimum()) continue;
    const double y = std::round(positionOf(v)) + 0.5;
    const bool zero = scale_ == Scale::Centre && v == 0;
    p.setPen(QPen(zero ? (on ? kDimText : tick.lighter(130)) : tick, zero ? 1.4 : 1.0));
    const double reach = zero ? half : half * 0.7;
    p.drawLine(QPointF(cx - reach, y), QPointF(cx - 4, y));
    p.drawLine(QPointF(cx + 4, y), QPointF(cx + reach, y));
  }

  // Track, then the part between the reference and the value in the accent.
  const QRectF track(cx - 2.5, top, 5, bottom - top);
  p.setPen(QPen(QColor(0x0b, 0x0d, 0x10), 1));
  p.setBrush(kDisplay);
  p.drawRoundedRect(track, 2.5, 2.5);
  const double from =
      positionOf(scale_ == Scale::Centre ? std::clamp(0, minimum(), maximum()) : minimum());
  const double to = positionOf(value());
  if (std::abs(to - from) > 0.5) {
    p.setPen(Qt::NoPen);
    p.setBrush(on ? accent_ : QColor(0x4a, 0x52, 0x5c));
    p.drawRoundedRect(QRectF(cx - 1.5, std::min(from, to), 3, std::abs(to - from)), 1.5, 1.5);
  }

  // The mark: a bar across the track and a notch on its left, under the cap
  // when the value comes back to it.
  if (mark_ && *mark_ >= minimum() && *mark_ <= maximum()) {
    const double y = std::round(positionOf(*mark_)) + 0.5;
    const QColor mark = on ? kMark : kMark.darker(130);
    p.setPen(QPen(mark, 2.0));
    p.drawLine(QPointF(cx - half * 0.55, y), QPointF(cx + half * 0.55, y));
    QPainterPath notch;
    notch.moveTo(cx - half, y - 4);
    notch.lineTo(cx - half * 0.55, y);
    notch.lineTo(cx - half, y + 4);
    notch.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(mark);
    p.drawPath(notch);
  }

  // The cap, drawn where the style puts the handle so a grab lands on it.
  const double capW = std::min(width() - 4.0, 24.0);
  const QRectF cap(cx - capW / 2, handle.top() + 0.5, capW, handle.height() - 1.0);
  const bool hot =
      isSliderDown() || (underMouse() && handle.contains(mapFromGlobal(QCursor::pos())));
  QLinearGradient g(cap.topLeft(), cap.bottomLeft());
  if (on) {
    g.setColorAt(0, hot ? QColor(0xec, 0xef, 0xf2) : QColor(0xd3, 0xd8, 0xde));
    g.setColorAt(1, hot ? QColor(0xb4, 0xbc, 0xc5) : QColor(0x98, 0xa1, 0xab));
  } else {
    g.setColorAt(0, QColor(0x5c, 0x64, 0x6e));
    g.setColorAt(1, QColor(0x4a, 0x51, 0x5a));
  }
  p.setPen(QPen(QColor(0x0b, 0x0d, 0x10), 1));
  p.setBrush(g);
  p.drawRoundedRect(cap, 3, 3);
  const double mid = std::round(cap.center().y()) + 0.5;
  p.setPen(QPen(hasFocus() ? kHighlight.darker(120) : QColor(0x25, 0x29, 0x2f), 2));
  p.drawLine(QPointF(cap.left() + 3, mid), QPointF(cap.right() - 3, mid));

  if (hasFocus()) {
    p.setPen(QPen(kHighlight, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 4, 4);
  }
}

ScaleView::ScaleView(const SliderView* reference, QWidget* parent)
    : QWidget(parent), ref_(reference) {
  QFont f = font();
  f.setPointSizeF(f.pointSizeF() * 0.75);
  setFont(f);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

QSize ScaleView::sizeHint() const { return {fontMetrics().horizontalAdvance("+15") + 4, 0}; }

void ScaleView::paintEvent(QPaintEvent*) {
  if (!ref_) return;
  QPainter p(this);
  p.setPen(isEnabled() ? colours::kDimText : colours::kDimText.darker(150));
  const int shift = ref_->mapTo(window(), QPoint()).y() - mapTo(window(), QPoint()).y();
  const int h = fontMetrics().height();
  for (int v = ref_->maximum(); v >= ref_->minimum(); v -= 5) {
    const int y = static_cast<int>(ref_->positionOf(v)) + shift;
    const QString text = v > 0 ? QString("+%1").arg(v) : QString::number(v);
    p.drawText(QRect(0, y - h / 2, width() - 2, h), Qt::AlignRight | Qt::AlignVCenter, text);
  }
}

}  // namespace kp::ui
