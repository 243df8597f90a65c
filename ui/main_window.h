#pragma once
#include <QMainWindow>

namespace kp {
class Form4;
namespace ui {

// The main window's view: menus, toolbar and the panel area, bound to the
// main window's model.
class MainWindow : public QMainWindow {
 public:
  explicit MainWindow(Form4& model, QWidget* parent = nullptr);

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void buildMenus();
  void buildToolbar();
  // The designed size, within the screen's working area.
  void fitToScreen();
  Form4& f4_;
  bool closing_ = false;
};

// Twips (1/1440 inch) to device-independent pixels of this screen, and back.
int twipsToPixels(int twips, const QWidget* w);
int pixelsToTwips(int pixels, const QWidget* w);

}  // namespace ui
}  // namespace kp
