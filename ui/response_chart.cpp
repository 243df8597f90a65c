#include "ui/response_chart.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "tuning/equalise_window.h"
#include "ui/bindings.h"
#include "ui/panel_style.h"

namespace kp::ui {

namespace {
constexpr double kLowHz = 20, kHighHz = 20000;
constexpr int kLeft = 46, kRight = 14, kTop = 26, kBottom = 28;
}  // namespace

ResponseChart::ResponseChart(EqualiseWindow& model, QWidget* parent) : QWidget(parent), m_(model) {
  setObjectName("responseChart");
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ResponseChart::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), colours::kDisplay);
  const QRectF plot(kLeft, kTop, width() - kLeft - kRight, height() - kTop - kBottom);
  const auto& proposal = m_.proposal();

  // The level axis spans what is drawn, in whole 5 dB, 30 dB at least.
  double lo = 70, hi = 90;
  if (proposal && !proposal->hz.empty()) {
    lo = hi = proposal->measuredDb.front();
    for (const auto* curve : {&proposal->measuredDb, &proposal->predictedDb, &proposal->targetDb})
      for (double v : *curve) lo = std::min(lo, v), hi = std::max(hi, v);
  }
  lo = std::floor(lo / 5) * 5;
  hi = std::ceil(hi / 5) * 5;
  if (hi - lo < 30) {
    const double grow = (30 - (hi - lo)) / 2;
    lo = std::floor((lo - grow) / 5) * 5;
    hi = lo + 30;
  }
  auto x = [&](double hz) {
    return plot.left() + std::log10(hz / kLowHz) / std::log10(kHighHz / kLowHz) * plot.width();
  };
  auto y = [&](double db) { return plot.bottom() - (db - lo) / (hi - lo) * plot.height(); };

  const tuning::Limits range = m_.limits();
  QColor shade = colours::kSection;
  shade = shade.lighter(140);
  p.fillRect(QRectF(QPointF(x(range.lowHz), plot.top()), QPointF(x(range.highHz), plot.bottom())),
             shade);

  QColor grid = colours::kDimText;
  grid.setAlpha(70);
  p.setFont(font());
  const QFontMetrics fm(font());
  for (int decade = 10; decade <= 10000; decade *= 10) {
    for (int d = 1; d <= 9; ++d) {
      const double hz = decade * d;
      if (hz < kLowHz || hz > kHighHz) continue;
      const bool labelled = d == 1 || d == 2 || d == 5;
      QColor c = grid;
      c.setAlpha(labelled ? 110 : 45);
      p.setPen(QPen(c, 1));
      p.drawLine(QPointF(x(hz), plot.top()), QPointF(x(hz), plot.bottom()));
      if (!labelled) continue;
      const QString text = hz >= 1000 ? QString::number(hz / 1000) + "k" : QString::number(hz);
      p.setPen(colours::kDimText);
      p.drawText(QRectF(x(hz) - 20, plot.bottom() + 4, 40, fm.height()), Qt::AlignHCenter, text);
    }
  }
  const double step = hi - lo > 50 ? 10 : 5;
  for (double db = lo; db <= hi + 0.01; db += step) {
    p.setPen(QPen(grid, 1));
    p.drawLine(QPointF(plot.left(), y(db)), QPointF(plot.right(), y(db)));
    p.setPen(colours::kDimText);
    p.drawText(QRectF(0, y(db) - fm.height() / 2.0, kLeft - 6, fm.height()), Qt::AlignRight,
               QString::number(db));
  }
  p.drawText(QRectF(4, plot.bottom() + 4, kLeft - 20, fm.height()), Qt::AlignLeft, "Hz");
  p.drawText(QRectF(4, 4, kLeft, fm.height()), Qt::AlignLeft, "dB");

  const QColor predicted = m_.channel.index() == 1 ? colours::kMic : colours::kMusic;
  const struct {
    const std::vector<double>* values;
    QColor colour;
    Qt::PenStyle style;
    kp::Label* legend;
  } curves[] = {
      {proposal ? &proposal->measuredDb : nullptr, colours::kHighlight, Qt::SolidLine,
       &m_.measuredLegend},
      {proposal ? &proposal->targetDb : nullptr, colours::kText, Qt::DashLine, &m_.targetLegend},
      {proposal ? &proposal->predictedDb : nullptr, predicted, Qt::SolidLine, &m_.predictedLegend},
  };
  p.setClipRect(plot);
  for (const auto& c : curves) {
    if (!c.values || c.values->empty()) continue;
    QPainterPath path;
    for (std::size_t i = 0; i < c.values->size(); ++i) {
      const QPointF at(x(proposal->hz[i]), y((*c.values)[i]));
      if (i == 0)
        path.moveTo(at);
      else
        path.lineTo(at);
    }
    p.setPen(QPen(c.colour, 2, c.style));
    p.drawPath(path);
  }
  p.setClipping(false);

  // The legend across the top; the reason there is no curve, when so.
  double lx = plot.left();
  for (const auto& c : curves) {
    p.setPen(QPen(c.colour, 2, c.style));
    p.drawLine(QPointF(lx, kTop / 2.0), QPointF(lx + 22, kTop / 2.0));
    p.setPen(colours::kText);
    const QString text = qs(c.legend->caption());
    p.drawText(QPointF(lx + 28, kTop / 2.0 + fm.ascent() / 2.0 - 1), text);
    lx += 28 + fm.horizontalAdvance(text) + 24;
  }
  if (!proposal) {
    p.setPen(colours::kDimText);
    p.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap, qs(m_.status.caption()));
  }
}

}  // namespace kp::ui
