#include "ui/toolbar_icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace kp::ui {

namespace {

const QColor kInk(0xd8, 0xdd, 0xe3);
const QColor kAmber(0xe0, 0xa4, 0x48);
const QColor kGreen(0x5c, 0xc8, 0x7a);
const QColor kRed(0xe0, 0x5a, 0x50);
const QColor kBlue(0x6f, 0xa8, 0xe8);

QPen ink(const QColor& c, double w = 1.6) {
  return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A chain link: a stadium around the segment a-b.
void chainLink(QPainter& p, QPointF a, QPointF b, double r) {
  const double angle = std::atan2(b.y() - a.y(), b.x() - a.x()) * 180.0 / M_PI;
  const double len = std::hypot(b.x() - a.x(), b.y() - a.y());
  p.save();
  p.translate(a);
  p.rotate(angle);
  p.drawRoundedRect(QRectF(-r, -r, len + 2 * r, 2 * r), r, r);
  p.restore();
}

// Every picture is drawn on a 24 x 24 grid.
void draw(QPainter& p, IconKind kind) {
  p.setBrush(Qt::NoBrush);
  switch (kind) {
    case IconKind::Open: {
      p.setPen(ink(kInk));
      QPainterPath back;
      back.moveTo(3, 19);
      back.lineTo(3, 5.5);
      back.lineTo(9, 5.5);
      back.lineTo(11, 7.5);
      back.lineTo(19, 7.5);
      back.lineTo(19, 10.5);
      p.drawPath(back);
      QPainterPath flap;
      flap.moveTo(3, 19);
      flap.lineTo(6.5, 10.5);
      flap.lineTo(22, 10.5);
      flap.lineTo(18.5, 19);
      flap.closeSubpath();
      p.setBrush(kAmber);
      p.setPen(ink(kAmber.darker(150), 1.2));
      p.drawPath(flap);
      break;
    }
    case IconKind::Save: {
      p.setPen(ink(kInk));
      QPainterPath body;
      body.moveTo(4, 4);
      body.lineTo(17, 4);
      body.lineTo(20, 7);
      body.lineTo(20, 20);
      body.lineTo(4, 20);
      body.closeSubpath();
      p.setBrush(QColor(0x3a, 0x55, 0x78));
      p.drawPath(body);
      p.setBrush(kInk);
      p.drawRect(QRectF(8, 4, 7, 4.5));
      p.setBrush(QColor(0x1c, 0x20, 0x25));
      p.drawRoundedRect(QRectF(7, 12.5, 10, 7.5), 1, 1);
      break;
    }
    case IconKind::Link:
      p.setPen(ink(kGreen, 2.0));
      chainLink(p, QPointF(5.5, 15.5), QPointF(10.5, 10.5), 3.2);
      chainLink(p, QPointF(13.5, 13.5), QPointF(18.5, 8.5), 3.2);
      break;
    case IconKind::Unlink:
      p.setPen(ink(kInk, 2.0));
      chainLink(p, QPointF(4.5, 17.5), QPointF(7.5, 14.5), 3.2);
      chainLink(p, QPointF(16.5, 9.5), QPointF(19.5, 6.5), 3.2);
      p.setPen(ink(kRed, 1.8));
      p.drawLine(QPointF(10.5, 9), QPointF(9, 5.5));
      p.drawLine(QPointF(12.5, 8.5), QPointF(13, 4.5));
      p.drawLine(QPointF(13.5, 15), QPointF(15, 18.5));
      p.drawLine(QPointF(11.5, 15.5), QPointF(11, 19.5));
      break;
    case IconKind::SerialPort: {
      QPainterPath shell;
      shell.moveTo(2.5, 7);
      shell.lineTo(21.5, 7);
      shell.lineTo(18.5, 17);
      shell.lineTo(5.5, 17);
      shell.closeSubpath();
      p.setPen(ink(kInk));
      p.setBrush(QColor(0x3a, 0x40, 0x48));
      p.drawPath(shell);
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      for (int i = 0; i < 5; ++i) p.drawEllipse(QPointF(6.5 + i * 2.75, 10.5), 1.05, 1.05);
      for (int i = 0; i < 4; ++i) p.drawEllipse(QPointF(7.9 + i * 2.75, 13.7), 1.05, 1.05);
      break;
    }
    case IconKind::Password: {
      p.setPen(ink(kInk, 2.0));
      p.drawArc(QRectF(7, 3, 10, 12), 0, 180 * 16);
      p.drawLine(QPointF(7, 9), QPointF(7, 11));
      p.drawLine(QPointF(17, 9), QPointF(17, 11));
      p.setPen(ink(kAmber.darker(150), 1.2));
      p.setBrush(kAmber);
      p.drawRoundedRect(QRectF(4.5, 10.5, 15, 10.5), 2, 2);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x1c, 0x20, 0x25));
      p.drawEllipse(QPointF(12, 14.6), 1.7, 1.7);
      p.drawRect(QRectF(11.3, 15, 1.4, 3.5));
      break;
    }
    case IconKind::DeviceSettings: {
      QPainterPath gear;
      const int teeth = 8;
      for (int i = 0; i < teeth * 2; ++i) {
        const double a0 = (i - 0.5) * M_PI / teeth, a1 = (i + 0.5) * M_PI / teeth;
        const double r = (i % 2 == 0) ? 9.5 : 7.2;
        const QPointF p0(12 + r * std::cos(a0), 12 + r * std::sin(a0));
        const QPointF p1(12 + r * std::cos(a1), 12 + r * std::sin(a1));
        if (i == 0)
          gear.moveTo(p0);
        else
          gear.lineTo(p0);
        gear.lineTo(p1);
      }
      gear.closeSubpath();
      gear.addEllipse(QPointF(12, 12), 3.2, 3.2);
      gear.setFillRule(Qt::OddEvenFill);
      p.setPen(ink(kInk, 1.2));
      p.setBrush(QColor(0x8d, 0x97, 0xa3));
      p.drawPath(gear);
      break;
    }
    case IconKind::FactoryReset: {
      p.setPen(ink(kAmber, 2.2));
      p.drawArc(QRectF(4, 4, 16, 16), 100 * 16, 290 * 16);
      QPainterPath head;
      head.moveTo(11.0, 0.8);
      head.lineTo(11.0, 7.6);
      head.lineTo(5.6, 4.4);
      head.closeSubpath();
      p.setPen(Qt::NoPen);
      p.setBrush(kAmber);
      p.drawPath(head);
      p.setBrush(kInk);
      p.drawEllipse(QPointF(12, 12), 2.2, 2.2);
      break;
    }
    case IconKind::Language: {
      p.setPen(ink(kBlue, 1.5));
      p.drawEllipse(QPointF(12, 12), 9, 9);
      p.drawEllipse(QPointF(12, 12), 4, 9);
      p.drawLine(QPointF(12, 3), QPointF(12, 21));
      p.drawLine(QPointF(3, 12), QPointF(21, 12));
      p.drawLine(QPointF(4.6, 7.5), QPointF(19.4, 7.5));
      p.drawLine(QPointF(4.6, 16.5), QPointF(19.4, 16.5));
      break;
    }
    case IconKind::Exit: {
      p.setPen(ink(kInk));
      p.drawPolyline(QPolygonF({QPointF(13, 7), QPointF(13, 3.5), QPointF(4, 3.5), QPointF(4, 20.5),
                                QPointF(13, 20.5), QPointF(13, 17)}));
      p.setPen(ink(kRed, 2.2));
      p.drawLine(QPointF(8.5, 12), QPointF(20.5, 12));
      p.drawPolyline(QPolygonF({QPointF(16.5, 8), QPointF(20.5, 12), QPointF(16.5, 16)}));
      break;
    }
    case IconKind::Panel: {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x24, 0x29, 0x30));
      p.drawRoundedRect(QRectF(1, 1, 22, 22), 4, 4);
      const double caps[] = {14, 8, 11, 6};
      const QColor accents[] = {kAmber, kAmber, QColor(0x46, 0xb8, 0xac), QColor(0x46, 0xb8, 0xac)};
      for (int i = 0; i < 4; ++i) {
        const double x = 5 + i * 4.6;
        p.setPen(ink(QColor(0x10, 0x13, 0x17), 2.4));
        p.drawLine(QPointF(x, 4), QPointF(x, 20));
        p.setPen(ink(accents[i], 2.0));
        p.drawLine(QPointF(x, caps[i]), QPointF(x, 20));
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawRoundedRect(QRectF(x - 2.2, caps[i] - 1.4, 4.4, 2.8), 1, 1);
      }
      break;
    }
  }
}

class PaintedEngine : public QIconEngine {
 public:
  explicit PaintedEngine(IconKind kind) : kind_(kind) {}
  void paint(QPainter* p, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->translate(rect.topLeft());
    p->scale(rect.width() / 24.0, rect.height() / 24.0);
    if (mode == QIcon::Disabled) p->setOpacity(0.35);
    draw(*p, kind_);
    p->restore();
  }
  // Asked in device pixels; QIcon sets the pixel ratio on the result.
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint(&p, QRect(QPoint(), size), mode, state);
    return pm;
  }
  QIconEngine* clone() const override { return new PaintedEngine(kind_); }
  QString key() const override { return QStringLiteral("kp.painted"); }

 private:
  IconKind kind_;
};

}  // namespace

QIcon paintedIcon(IconKind kind) { return QIcon(new PaintedEngine(kind)); }

QIcon toolbarIcon(int index) {
  static constexpr IconKind kinds[] = {
      IconKind::Open,       IconKind::Save,     IconKind::Link,           IconKind::Unlink,
      IconKind::SerialPort, IconKind::Password, IconKind::DeviceSettings, IconKind::FactoryReset,
      IconKind::Language,   IconKind::Exit};
  if (index < 1 || index > 10) return {};
  return paintedIcon(kinds[index - 1]);
}

}  // namespace kp::ui
