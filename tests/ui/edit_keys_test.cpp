// Undo, redo and compare from the keyboard, on the main window as an
// operator presses them: a held arrow key is one step, Ctrl+Z takes it back,
// Ctrl+Y and Ctrl+Shift+Z bring it again, Ctrl+1 compares the music bands.
#include <gtest/gtest.h>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include "link/frames.h"
#include "tests/support/rig.h"
#include "ui/main_window.h"
#include "ui/slider_view.h"

namespace kp {
namespace {

void ensureApplication() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "kp_tests_ui";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

TEST(EditKeys, AHeldArrowIsOneStepTheShortcutsUndoRedoAndCompareIt) {
  ensureApplication();
  test::Rig rig;
  std::string pro = "[config]\r\nMUSIC_CHANGE_MODE=0\r\n[Music_0]\r\n";
  for (int k = 1; k <= 31; ++k) pro += std::to_string(k) + "=15\r\n";
  rig.folder.write("Pro.dat", pro);
  Program& p = rig.make();
  ui::MainWindow window(p.form4);
  p.startUp();
  window.show();
  QApplication::setActiveWindow(&window);
  p.state.Is_Linked = true;
  p.panel.Is_link_Command();
  auto* band = window.findChild<ui::SliderView*>("cpvSlider5");
  ASSERT_NE(band, nullptr);
  band->setFocus();
  rig.port.clearLog();

  auto key = [&](QEvent::Type type, bool repeat) {
    QKeyEvent e(type, Qt::Key_Up, Qt::NoModifier, QString(), repeat);
    QApplication::sendEvent(band, &e);
  };
  key(QEvent::KeyPress, false);
  for (int i = 0; i < 3; ++i) key(QEvent::KeyPress, true);
  key(QEvent::KeyRelease, false);
  QApplication::processEvents();
  ASSERT_EQ(band->value(), 4);
  EXPECT_EQ(rig.port.writes.size(), 4u);

  auto shortcut = [&](Qt::Key k, Qt::KeyboardModifiers m = Qt::ControlModifier) {
    rig.port.clearLog();
    QTest::keyClick(&window, k, m);
    QApplication::processEvents();
  };
  shortcut(Qt::Key_Z);
  EXPECT_EQ(band->value(), 0) << "the whole hold at once";
  EXPECT_EQ(rig.port.writes, std::vector<Bytes>{commandFrame(49, 15)});
  shortcut(Qt::Key_Y);
  EXPECT_EQ(band->value(), 4);
  shortcut(Qt::Key_Z);
  shortcut(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(band->value(), 4);

  shortcut(Qt::Key_1);
  auto* compare = window.findChild<QPushButton*>("musicCompare");
  EXPECT_TRUE(compare->isChecked());
  EXPECT_EQ(band->value(), 0);
  EXPECT_FALSE(band->isEnabled());
  EXPECT_EQ(band->mark(), 4) << "the edit stays marked";
  EXPECT_EQ(rig.port.writes, std::vector<Bytes>{commandFrame(49, 15)});
  shortcut(Qt::Key_1);
  EXPECT_FALSE(compare->isChecked());
  EXPECT_EQ(band->value(), 4);
  EXPECT_EQ(band->mark(), 0);
}

}  // namespace
}  // namespace kp
