// The menu shortcuts, pressed on the main window as an operator would.
#include <gtest/gtest.h>
#include <QApplication>
#include <QTest>

#include "tests/support/rig.h"
#include "ui/main_window.h"

namespace kp {
namespace {

void ensureApplication() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "kp_tests_ui";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

class Shortcuts : public ::testing::Test {
 protected:
  Shortcuts() {
    ensureApplication();
    p = &rig.make();
    window = std::make_unique<ui::MainWindow>(p->form4, nullptr);
    p->startUp();
    window->show();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
  }
  void press(Qt::Key key) {
    QTest::keyClick(window.get(), key, Qt::ControlModifier);
    QApplication::processEvents();
  }
  test::Rig rig;
  Program* p = nullptr;
  std::unique_ptr<ui::MainWindow> window;
};

TEST_F(Shortcuts, PasswordNeedsALinkSettingsOpenInEitherState) {
  press(Qt::Key_P);
  EXPECT_FALSE(p->form5.visible());
  press(Qt::Key_V);
  EXPECT_TRUE(p->form3.visible());
  p->form3.unload();
  p->state.Is_Linked = true;
  press(Qt::Key_P);
  EXPECT_TRUE(p->form5.visible());
  press(Qt::Key_V);
  EXPECT_TRUE(p->form3.visible());
}

TEST_F(Shortcuts, LinkPortLanguageAndExit) {
  press(Qt::Key_L);
  EXPECT_TRUE(p->form1.visible());
  press(Qt::Key_C);
  EXPECT_TRUE(p->form2.visible());
  press(Qt::Key_G);
  EXPECT_EQ(p->state.Is_English, -1);
  press(Qt::Key_G);
  EXPECT_EQ(p->state.Is_English, 0);
  bool exited = false;
  p->onExit = [&] { exited = true; };
  press(Qt::Key_E);
  EXPECT_TRUE(exited);
  EXPECT_FALSE(rig.port.isOpen());
}

TEST_F(Shortcuts, FactoryResetWhileLinkedSendsItsCommand) {
  p->state.Is_Linked = true;
  rig.port.clearLog();
  press(Qt::Key_A);
  ASSERT_EQ(rig.port.writes.size(), 1u);
  EXPECT_EQ(rig.port.writes[0], (Bytes{0xAA, 0x00, 0xFF, 0x0B, 0xF4, 0x55}));
  EXPECT_FALSE(p->state.Is_Linked);
}

}  // namespace
}  // namespace kp
