#pragma once
// A graphical push button: a face colour and an optional picture beside its
// caption, as the step buttons need to show which key step is in force.
#include <QAbstractButton>
#include <QPixmap>
#include <cstdint>

namespace kp::ui {

// A colour as the window models keep it: 0x00BBGGRR, or a system colour with
// the top bit set, which shows as the palette's button face.
QColor modelColour(std::uint32_t colour, const QPalette& palette);

class GraphicButton : public QAbstractButton {
 public:
  explicit GraphicButton(QWidget* parent = nullptr);

  // The face in the model's encoding; drawn through modelColour.
  void setFace(std::uint32_t colour);
  std::uint32_t face() const { return face_; }
  QColor faceColour() const { return modelColour(face_, palette()); }

  // Loads the picture file; an empty path or a file that cannot be read
  // leaves the button without a picture.
  void setPicturePath(const QString& path);
  const QString& picturePath() const { return picturePath_; }
  bool hasPicture() const { return !picture_.isNull(); }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  std::uint32_t face_;
  QString picturePath_;
  QPixmap picture_;
};

}  // namespace kp::ui
