// The device settings, password and save-to-slot dialogs on screen (offscreen
// platform) over a program on virtual time: Enter and Escape, the spin
// arrows, the password boxes' filter, language switches and placement.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <memory>
#include <string>
#include <vector>

#include "link/frames.h"
#include "panel/catalogue.h"
#include "shell/language.h"
#include "shell/password.h"
#include "tests/support/rig.h"
#include "ui/bindings.h"
#include "ui/main_window.h"
#include "ui/password_dialog.h"
#include "ui/save_slot_dialog.h"
#include "ui/settings_dialog.h"

namespace kp::test {
namespace {

void ensureApplication() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "kp_tests_ui";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

std::string textsConfig() {
  std::string s = "[config]\r\nCOM=1\r\n";
  for (int n = 1; n <= 43; ++n) {
    s += std::to_string(n) + "_c=c" + std::to_string(n) + "\r\n";
    s += std::to_string(n) + "_e=e" + std::to_string(n) + "\r\n";
  }
  return s;
}

class DialogsTest : public ::testing::Test {
 protected:
  DialogsTest() {
    ensureApplication();
    rig.config(textsConfig());
    p = &rig.make();
    lang = std::make_unique<Language>(p->state, p->form4, p->form1, p->form2, p->form3, p->form5,
                                      p->form6, p->panel, p->progress, p->edits);
    p->settings.Set_Language = [this] { lang->Set_Language(); };
    p->saveToSlot.Set_Language = [this] { lang->Set_Language(); };
    password = std::make_unique<PasswordDialog>(p->state, p->form5, p->link, rig.dialogs);
    password->Set_Language = [this] { lang->Set_Language(); };
    settingsView = std::make_unique<ui::SettingsDialog>(p->form3, nullptr);
    passwordView = std::make_unique<ui::PasswordDialog>(p->form5, nullptr);
    saveView = std::make_unique<ui::SaveSlotDialog>(p->form6, nullptr);
    p->startUp();
    rig.port.clearLog();
  }
  ~DialogsTest() override {
    saveView.reset();
    passwordView.reset();
    settingsView.reset();
  }

  void link() {
    p->state.Is_Linked = true;
    p->panel.Is_link_Command();
  }
  void settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
  static void key(QWidget* w, int k, const QString& text = {},
                  Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent down(QEvent::KeyPress, k, mods, text);
    QApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, k, mods, text);
    QApplication::sendEvent(w, &up);
  }
  static void type(QWidget* w, const QString& text) {
    for (QChar c : text) key(w, c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_A, c);
  }
  template <class T>
  T* child(QWidget* parent, const char* name) {
    T* w = parent->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  std::vector<Bytes> frames() const {
    std::vector<Bytes> out;
    for (const auto& w : rig.port.writes)
      if (w.size() == kFrameSize) out.push_back(w);
    return out;
  }

  Rig rig;
  Program* p = nullptr;
  std::unique_ptr<Language> lang;
  std::unique_ptr<PasswordDialog> password;
  std::unique_ptr<ui::SettingsDialog> settingsView;
  std::unique_ptr<ui::PasswordDialog> passwordView;
  std::unique_ptr<ui::SaveSlotDialog> saveView;
};

// --- device settings -----------------------------------------------------------

class SettingsView : public DialogsTest {};

TEST_F(SettingsView, ShowsEveryControlUnderItsModelName) {
  link();
  auto& ds = p->state.Device_Settings;
  ds.MIC_MAX_VOLUME = 70;
  ds.MIC_MIN_VOLUME = 40;
  ds.MUSIC_MAX_VOLUME = 90;
  ds.MUSIC_MIN_VOLUME = 20;
  ds.KTV_MIN_VOLUME = 25;
  ds.MUSIC_MODE = 5;
  p->settings.open();
  settle();
  QWidget* d = settingsView.get();
  ASSERT_TRUE(d->isVisible());
  EXPECT_FALSE(settingsView->isModal());
  EXPECT_EQ(d->windowTitle(), "c26");
  EXPECT_EQ(child<QGroupBox>(d, "Frame1")->title(), "c27");
  EXPECT_EQ(child<QGroupBox>(d, "Frame2")->title(), "c31");
  EXPECT_EQ(child<QGroupBox>(d, "Frame3")->title(), "c35");
  EXPECT_EQ(child<QLabel>(d, "Label9")->text(), "c37");
  EXPECT_EQ(child<QPushButton>(d, "Command1")->text(), "c25");
  EXPECT_EQ(child<QPushButton>(d, "Command2")->text(), "c24");
  const std::pair<const char*, const char*> shown[] = {
      {"Text1", "70%"}, {"Text2", "40%"}, {"Text3", "90%"}, {"Text4", "20%"}, {"Text5", "50%"}};
  for (const auto& [name, text] : shown) {
    auto* t = child<QLineEdit>(d, name);
    EXPECT_TRUE(t->isReadOnly()) << name;
    EXPECT_EQ(t->text(), text) << name;
  }
  EXPECT_EQ(child<QComboBox>(d, "Combo2")->count(), 8);
  EXPECT_EQ(child<QComboBox>(d, "Combo2")->currentText(), "6.POPS");
  EXPECT_EQ(child<QComboBox>(d, "Combo3")->itemText(1), "2.MID");
  for (const char* name : {"SpinButton1_up", "SpinButton5_down"})
    EXPECT_NE(child<QToolButton>(d, name), nullptr);
}

TEST_F(SettingsView, ASpinArrowSendsAndTheMaximumComesBackToTheInitialVolume) {
  link();
  p->state.Device_Settings.MIC_MAX_VOLUME = 60;
  p->state.Device_Settings.MIC_MIN_VOLUME = 60;
  p->settings.open();
  settle();
  rig.port.clearLog();
  child<QToolButton>(settingsView.get(), "SpinButton1_down")->click();
  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(9, 59), commandFrame(9, 60)}));
  EXPECT_EQ(child<QLineEdit>(settingsView.get(), "Text1")->text(), "60%");
  EXPECT_EQ(p->state.Device_Settings.MIC_MAX_VOLUME, 60);
  EXPECT_EQ(p->form4.cpvSlider(kMicMaster).upperLimit(), 60);

  rig.port.clearLog();
  key(child<QLineEdit>(settingsView.get(), "Text2"), Qt::Key_Up);  // the arrow key steps too
  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(7, 61), commandFrame(9, 61)}));
}

TEST_F(SettingsView, EnterConfirmsAndClosesWhileLinked) {
  link();
  p->settings.open();
  settle();
  rig.port.clearLog();
  key(child<QLineEdit>(settingsView.get(), "Text1"), Qt::Key_Return);
  settle();
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(0, 12)});
  EXPECT_FALSE(p->form3.loaded());
  EXPECT_FALSE(settingsView->isVisible());
}

TEST_F(SettingsView, EscapeAndTheWindowFrameCancelWithoutSending) {
  link();
  p->settings.open();
  settle();
  rig.port.clearLog();
  key(settingsView.get(), Qt::Key_Escape);
  settle();
  EXPECT_FALSE(p->form3.loaded());
  EXPECT_FALSE(settingsView->isVisible());

  p->settings.open();
  settle();
  rig.port.clearLog();
  ASSERT_TRUE(settingsView->isVisible());
  settingsView->close();
  settle();
  EXPECT_FALSE(p->form3.loaded());
  EXPECT_FALSE(settingsView->isVisible());
  EXPECT_TRUE(frames().empty());
}

TEST_F(SettingsView, ALanguageSwitchRelabelsTheOpenDialog) {
  p->settings.open();
  settle();
  lang->toggle();
  settle();
  EXPECT_TRUE(settingsView->isVisible());
  EXPECT_EQ(settingsView->windowTitle(), "e26");
  EXPECT_EQ(child<QGroupBox>(settingsView.get(), "Frame1")->title(), "e27");
  EXPECT_EQ(child<QLabel>(settingsView.get(), "Label8")->text(), "e38");
  EXPECT_EQ(child<QPushButton>(settingsView.get(), "Command2")->text(), "e24");
}

// --- password --------------------------------------------------------------------

class PasswordView : public DialogsTest {
 protected:
  PasswordView() {
    link();
    p->state.Device_Password = "1234";
    password->open();
    settle();
  }
  QLineEdit* box(const char* name) { return child<QLineEdit>(passwordView.get(), name); }
};

TEST_F(PasswordView, TypedLettersAndAFifthDigitNeverReachTheBox) {
  ASSERT_TRUE(passwordView->isVisible());
  QLineEdit* t = box("Text2");
  EXPECT_EQ(t->echoMode(), QLineEdit::Password);
  type(t, "a1b2");
  key(t, Qt::Key_Space, " ");
  type(t, "34");
  type(t, "5");
  EXPECT_EQ(t->text(), "1234");
  EXPECT_EQ(p->form5.Text2.text(), "1234");
  key(t, Qt::Key_Backspace);
  EXPECT_EQ(p->form5.Text2.text(), "123");
  t->selectAll();
  type(t, "7");
  EXPECT_EQ(p->form5.Text2.text(), "7") << "a digit replaces the selection";
}

TEST_F(PasswordView, CtrlVIsRejectedAndAContextMenuPasteIsCaughtAtConfirm) {
  QApplication::clipboard()->setText("5a78");
  QLineEdit* t2 = box("Text2");
  key(t2, Qt::Key_V, "\x16", Qt::ControlModifier);
  EXPECT_EQ(t2->text(), "");
  // What the box's own menu does.
  t2->paste();
  box("Text3")->paste();
  ASSERT_EQ(p->form5.Text2.text(), "5a78") << "the model holds what the box holds";
  type(box("Text1"), "1234");
  p->form5.Command1.click();
  EXPECT_EQ(rig.dialogs.messages, std::vector<std::string>{kPasswordNotFourDigits});
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_TRUE(passwordView->isVisible());
}

TEST_F(PasswordView, EnterConfirmsWithTheChecks) {
  type(box("Text1"), "9999");
  type(box("Text2"), "5678");
  type(box("Text3"), "5678");
  key(box("Text3"), Qt::Key_Return);
  EXPECT_EQ(rig.dialogs.messages, std::vector<std::string>{kPasswordWrongOld});
  EXPECT_TRUE(passwordView->isVisible());
  EXPECT_EQ(box("Text1")->text(), "9999");
}

TEST_F(PasswordView, EscapeCancelsAndTheNextOpeningIsEmpty) {
  type(box("Text1"), "1234");
  key(passwordView.get(), Qt::Key_Escape);
  settle();
  EXPECT_FALSE(passwordView->isVisible());
  EXPECT_FALSE(p->form5.loaded());
  EXPECT_TRUE(rig.port.writes.empty());
  password->open();
  settle();
  EXPECT_TRUE(passwordView->isVisible());
  EXPECT_EQ(box("Text1")->text(), "");
}

// --- save to slot ------------------------------------------------------------------

// Opened from the real main window: the dialog lands under the save button
// that opened it, by the button's place in the window.
class SaveSlotView : public DialogsTest {
 protected:
  SaveSlotView() {
    window = std::make_unique<ui::MainWindow>(p->form4);
    window->resize(window->sizeHint());
    saveView.reset();  // the one the model had; a view unbinds as it goes
    saveView = std::make_unique<ui::SaveSlotDialog>(p->form6, window.get());
    link();
    settle();
  }
  ~SaveSlotView() override {
    saveView.reset();
    window.reset();
  }
  QPushButton* saveButton(int n) {
    return child<QPushButton>(window.get(), ("Command" + std::to_string(n)).c_str());
  }
  // Left: the button's left; top: its top plus its width plus 200 twips.
  QPoint under(QWidget* button) {
    const QPoint at = button->mapTo(window.get(), QPoint(0, 0));
    const int left = ui::pixelsToTwips(at.x(), button);
    const int top =
        ui::pixelsToTwips(at.y(), button) + ui::pixelsToTwips(button->width(), button) + 200;
    return {ui::twipsToPixels(left, button), ui::twipsToPixels(top, button)};
  }
  std::unique_ptr<ui::MainWindow> window;
};

TEST_F(SaveSlotView, OpensUnderItsSaveButtonWithRam1Chosen) {
  saveButton(143)->click();
  settle();
  ASSERT_TRUE(saveView->isVisible());
  EXPECT_EQ(saveView->pos(), under(saveButton(143)));
  // The music button replaces it with a dialog under itself.
  saveButton(67)->click();
  settle();
  ASSERT_TRUE(saveView->isVisible());
  EXPECT_EQ(saveView->pos(), under(saveButton(67)));
  EXPECT_NE(under(saveButton(67)), under(saveButton(143)));
  auto* list = child<QComboBox>(saveView.get(), "Combo1");
  EXPECT_EQ(list->count(), 3);
  EXPECT_EQ(list->currentText(), "RAM1");
  EXPECT_EQ(child<QPushButton>(saveView.get(), "Command1")->text(), "c20");
}

TEST_F(SaveSlotView, EscapeClosesWithoutStoringAndEnterStoresTheChosenSlot) {
  p->saveToSlot.open(SaveToSlot::kMic);
  settle();
  rig.port.clearLog();
  key(saveView.get(), Qt::Key_Escape);
  settle();
  EXPECT_FALSE(saveView->isVisible());
  EXPECT_FALSE(p->form6.loaded());
  EXPECT_TRUE(frames().empty());

  p->saveToSlot.open(SaveToSlot::kMusic);
  settle();
  emit child<QComboBox>(saveView.get(), "Combo1")->activated(1);
  rig.port.clearLog();
  key(saveView.get(), Qt::Key_Return);
  settle();
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(86, 1)});
  EXPECT_FALSE(saveView->isVisible());
  EXPECT_FALSE(p->form6.loaded());
}

}  // namespace
}  // namespace kp::test
