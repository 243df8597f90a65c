#pragma once
// The main window's working area: the music and microphone equaliser rows,
// the key step buttons, the 5.1 and effect levels and the link status, each
// widget bound to its control in the main window's model and named after it.
#include <QWidget>

namespace kp {
class Form4;
namespace ui {

class PanelView : public QWidget {
 public:
  explicit PanelView(Form4& form, QWidget* parent = nullptr);

 private:
  QWidget* equaliserSection(bool music);
  QWidget* levelSection(bool surround);
  QWidget* statusSection();

  Form4& f_;
};

}  // namespace ui
}  // namespace kp
