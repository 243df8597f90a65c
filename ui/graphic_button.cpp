#include "ui/graphic_button.h"

#include <QImageReader>
#include <QPainter>
#include <QStyleOption>
#include <algorithm>

#include "core/models.h"

namespace kp::ui {

QColor modelColour(std::uint32_t c, const QPalette& palette) {
  if (c & 0x80000000u) return palette.color(QPalette::Button);
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

GraphicButton::GraphicButton(QWidget* parent)
    : QAbstractButton(parent), face_(Button::kButtonFace) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void GraphicButton::setFace(std::uint32_t colour) {
  if (colour == face_) return;
  face_ = colour;
  update();
}

void GraphicButton::setPicturePath(const QString& path) {
  if (path == picturePath_) return;
  picturePath_ = path;
  picture_ = QPixmap();
  if (!path.isEmpty()) {
    QImageReader reader(path);
    const QImage image = reader.read();
    if (!image.isNull()) picture_ = QPixmap::fromImage(image);
  }
  update();
}

QSize GraphicButton::sizeHint() const {
  const QFontMetrics fm(font());
  const int h = fm.height() + 12;
  int w = fm.horizontalAdvance(text()) + 16;
  if (hasPicture() || text().isEmpty()) w = std::max(w, h + 8);
  return {std::max(w, 36), h};
}

QSize GraphicButton::minimumSizeHint() const {
  const QFontMetrics fm(font());
  return {std::max(fm.horizontalAdvance(text()) + 8, 26), fm.height() + 8};
}

void GraphicButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const bool on = isEnabled();
  QColor face = faceColour();
  if (isDown())
    face = face.darker(125);
  else if (on && underMouse())
    face = face.lighter(112);
  // A disabled button keeps its marking, only quieter.
  if (!on)
    face = QColor::fromRgbF(face.redF() * 0.6 + 0.1, face.greenF() * 0.6 + 0.1,
                            face.blueF() * 0.6 + 0.1);
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  p.setPen(QPen(QColor(0x0b, 0x0d, 0x10), 1));
  p.setBrush(face);
  p.drawRoundedRect(r, 3, 3);

  QRectF content = r.adjusted(3, 3, -3, -3);
  if (hasPicture()) {
    const double side = std::min(content.height(), content.width());
    QSizeF size = QSizeF(picture_.size()).scaled(side, side, Qt::KeepAspectRatio);
    QRectF target(QPointF(), size);
    target.moveCenter(text().isEmpty() ? content.center()
                                       : QPointF(content.left() + side / 2, content.center().y()));
    if (!on) p.setOpacity(0.55);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(target, picture_, QRectF(picture_.rect()));
    p.setOpacity(1.0);
    if (!text().isEmpty()) content.setLeft(target.right() + 2);
  }
  if (!text().isEmpty()) {
    // Dark text on a bright marking, light text on the face.
    const bool bright = face.lightnessF() > 0.45;
    QColor ink = bright ? QColor(0x10, 0x12, 0x14) : palette().color(QPalette::ButtonText);
    if (!on)
      ink = bright ? QColor(0x30, 0x30, 0x30)
                   : palette().color(QPalette::Disabled, QPalette::ButtonText);
    p.setPen(ink);
    QFont f = font();
    if (face_ != Button::kButtonFace) f.setBold(true);
    p.setFont(f);
    p.drawText(content, Qt::AlignCenter, text());
  }
  if (hasFocus()) {
    p.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
  }
}

}  // namespace kp::ui
