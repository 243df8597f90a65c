// Equalise from measurement on the offscreen platform, as an operator uses
// it: the Edit menu's item opens the window, Open reads a measurement,
// Apply moves the music bands and sends them, Ctrl+Z takes them back.
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <cstdio>
#include <filesystem>

#include "link/frames.h"
#include "tests/support/rig.h"
#include "tuning/eq_model.h"
#include "tuning/log_curve.h"
#include "ui/bindings.h"
#include "ui/equalise_dialog.h"
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

QPushButton* buttonNamed(QWidget* in, const QString& accessibleName) {
  for (auto* b : in->findChildren<QPushButton*>())
    if (b->accessibleName() == accessibleName) return b;
  return nullptr;
}

TEST(EqualiseDialog, AProposalAppliedFromTheWindowIsSentAndUndoneInOneStep) {
  ensureApplication();
  test::Rig rig;
  std::filesystem::copy_file(std::filesystem::path(KP_SOURCE_DIR) / "resources" / "config.ini",
                             rig.folder.path() / "config.ini",
                             std::filesystem::copy_options::overwrite_existing);
  // A room 6 dB up at 100 and 125 Hz, as the equaliser's own bands make it.
  tuning::BandValues room{};
  room[7] = room[8] = 6;
  std::string text = "Freq(Hz)\tSPL(dB)\n";
  for (double hz : tuning::logSpaced(20, 20000, 48)) {
    char row[48];
    std::snprintf(row, sizeof row, "%.2f\t%.2f\n", hz, 85 + tuning::EqModel().responseDb(room, hz));
    text += row;
  }
  rig.folder.write("room.txt", text);
  Program& p = rig.make();
  ui::MainWindow window(p.form4);
  ui::EqualiseDialog dialog(p.equalise, &window);
  p.startUp();
  p.form4.China_E1.click();
  window.show();
  p.state.Is_Linked = true;
  p.panel.Is_link_Command();

  auto* item = window.findChild<QAction*>("equalise1");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text(), QString::fromUtf8("Equalise from measurement…"));
  item->trigger();
  QApplication::processEvents();
  ASSERT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.windowTitle(), "Equalise from measurement");
  QPushButton* open = buttonNamed(&dialog, "Open");
  QPushButton* apply = buttonNamed(&dialog, "Apply");
  ASSERT_TRUE(open && apply);
  EXPECT_FALSE(apply->isEnabled()) << "nothing to apply before a measurement";

  rig.dialogs.fileAnswers.push_back(rig.folder.file("room.txt"));
  QTest::mouseClick(open, Qt::LeftButton);
  EXPECT_EQ(dialog.findChild<QLabel*>("measurementFile")->text(), "room.txt");
  EXPECT_EQ(dialog.findChild<QLabel*>("proposed8")->text(), "-6");
  EXPECT_TRUE(dialog.findChild<QLabel*>("errorAfter")->text().startsWith("Error after: 0."));
  rig.port.clearLog();

  QTest::mouseClick(apply, Qt::LeftButton);
  auto* band100 = window.findChild<QSlider*>("cpvSlider8");
  ASSERT_NE(band100, nullptr);
  EXPECT_EQ(band100->value(), -6);
  EXPECT_EQ(window.findChild<QSlider*>("cpvSlider9")->value(), -6);
  std::vector<Bytes> sent;
  for (const Bytes& w : rig.port.writes)
    if (w.size() == kFrameSize) sent.push_back(w);
  EXPECT_EQ(sent, (std::vector<Bytes>{commandFrame(52, 9), commandFrame(53, 9)}));

  rig.port.clearLog();
  QApplication::setActiveWindow(&window);
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_EQ(band100->value(), 0);
  EXPECT_EQ(window.findChild<QSlider*>("cpvSlider9")->value(), 0);
  EXPECT_EQ(rig.port.writes, (std::vector<Bytes>{commandFrame(53, 15), commandFrame(52, 15)}));
  EXPECT_FALSE(p.edits.history.canUndo()) << "the proposal was one step";
}

}  // namespace
}  // namespace kp
