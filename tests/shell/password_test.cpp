// Changing the unit's password on a program in virtual time: opening only
// while linked, the key filter, the checks in order, the four digit frames
// each waiting for the unit, and what a silent unit leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/frames.h"
#include "shell/language.h"
#include "shell/password.h"
#include "sim/in_process.h"
#include "tests/support/rig.h"

namespace kp::test {
namespace {

constexpr int kReplyDelayMs = 250;
using Frames = std::vector<Bytes>;
using Messages = std::vector<std::string>;

class PasswordTest : public ::testing::Test {
 protected:
  PasswordTest() {
    rig.config("[config]\r\nCOM=1\r\n39_c=pw-title\r\n40_c=old\r\n");
    p = &rig.make();
    p->startUp();
    lang = std::make_unique<Language>(p->state, p->form4, p->form1, p->form2, p->form3, p->form5,
                                      p->form6, p->panel, p->progress, p->edits);
    pw = std::make_unique<PasswordDialog>(p->state, p->form5, p->link, rig.dialogs);
    pw->Set_Language = [this] {
      ++languageCalls;
      lang->Set_Language();
    };
    // A unit that answers each frame with AA 60 a while later, until it has
    // answered answerLimit of them.
    rig.port.onTransmit = [this](const Bytes& b) {
      if (b.size() != kFrameSize || answered++ >= answerLimit) return;
      rig.loop.at(rig.loop.nowMs() + kReplyDelayMs, [this] {
        rig.port.receive({kFrameHeader, kReplyAddress});
      });
    };
    p->form5.unload();
    rig.port.clearLog();
  }

  void linkWithPassword(const std::string& current) {
    p->state.Is_Linked = true;
    p->state.Device_Password = current;
  }
  void confirm(const std::string& oldText, const std::string& newText, const std::string& again) {
    if (!p->form5.visible()) pw->open();
    ASSERT_TRUE(p->form5.visible());
    p->form5.Text1.setText(oldText);
    p->form5.Text2.setText(newText);
    p->form5.Text3.setText(again);
    rig.dialogs.messages.clear();
    rig.port.clearLog();
    p->form5.Command1.click();
  }
  const Frames& frames() const { return rig.port.writes; }  // no acks are sent here
  const Messages& messages() const { return rig.dialogs.messages; }

  Rig rig;
  Program* p = nullptr;
  std::unique_ptr<Language> lang;
  std::unique_ptr<PasswordDialog> pw;
  int languageCalls = 0;
  int answered = 0;
  int answerLimit = 1000;
};

TEST_F(PasswordTest, OpensOnlyWhileLinkedWithTheLanguageAppliedAndEmptyBoxes) {
  p->form4.Pass_set1.onClick = [this] { pw->open(); };  // as the menu item is wired
  p->form4.Toolbar1(6).click();
  pw->open();
  EXPECT_FALSE(p->form5.loaded());
  EXPECT_EQ(languageCalls, 0);
  EXPECT_TRUE(messages().empty());

  linkWithPassword("1234");
  p->form4.Toolbar1(6).click();
  EXPECT_TRUE(p->form5.visible());
  EXPECT_EQ(languageCalls, 1);
  EXPECT_EQ(p->form5.caption(), "pw-title");
  EXPECT_EQ(p->form5.Label1.caption(), "old");
  for (TextBox* t : {&p->form5.Text1, &p->form5.Text2, &p->form5.Text3}) EXPECT_EQ(t->text(), "");
  EXPECT_TRUE(rig.port.writes.empty());
}

TEST_F(PasswordTest, CancelClosesSendsNothingAndTheNextOpeningStartsEmpty) {
  linkWithPassword("1234");
  pw->open();
  p->form5.Text2.setText("5678");
  p->form5.Command2.click();
  EXPECT_FALSE(p->form5.loaded());
  EXPECT_TRUE(rig.port.writes.empty());
  pw->open();
  EXPECT_EQ(p->form5.Text2.text(), "");
}

TEST_F(PasswordTest, EachBoxTakesAtMostFourDigitsAndNothingElse) {
  linkWithPassword("1234");
  pw->open();
  for (TextBox* t : {&p->form5.Text1, &p->form5.Text2, &p->form5.Text3}) {
    ASSERT_TRUE(t->keyFilter);
    t->setText("123");
    t->selectionLength = 0;
    EXPECT_TRUE(t->keyFilter(U'0'));
    EXPECT_TRUE(t->keyFilter(U'9'));
    for (char32_t c : {U'a', U' ', U'/', U':', U'\u0661', char32_t{22}, char32_t{13}})
      EXPECT_FALSE(t->keyFilter(c)) << static_cast<unsigned>(c);
    t->setText("1234");
    EXPECT_FALSE(t->keyFilter(U'5')) << "a fifth digit";
    EXPECT_TRUE(t->keyFilter(char32_t{8})) << "Backspace";
    t->selectionLength = 4;
    EXPECT_TRUE(t->keyFilter(U'5')) << "replaces the selection";
  }
}

TEST_F(PasswordTest, TheFirstFailedCheckIsShownAndNothingIsSent) {
  linkWithPassword("1234");
  struct Case {
    const char *oldText, *newText, *again, *message;
  } cases[] = {
      {"9999", "5678", "5679", "新密码和确认密码不相同"},  // first, though the old is wrong too
      {"9999", "9999", "9999", "新密码和旧密码相同"},      // second, though the old is wrong
      {"4321", "5678", "5678", "旧密码不正确"},
      {"1234", "56", "56", kPasswordNotFourDigits},      // short
      {"1234", "5a78", "5a78", kPasswordNotFourDigits},  // pasted past the filter
      {"1234", "56789", "56789", kPasswordNotFourDigits},
      {"1234", "５６７８", "５６７８", kPasswordNotFourDigits},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.newText) + " / " + c.again);
    confirm(c.oldText, c.newText, c.again);
    EXPECT_EQ(messages(), Messages{c.message});
    EXPECT_TRUE(frames().empty());
    EXPECT_TRUE(p->form5.visible()) << "kept for a correction";
    EXPECT_EQ(p->form5.Text3.text(), c.again);
    EXPECT_EQ(p->state.Device_Password, "1234");
  }
}

TEST_F(PasswordTest, FourFramesEachAfterTheAnswerToThePreviousThenSuccess) {
  linkWithPassword("1234");
  const auto t0 = rig.loop.nowMs();
  confirm("1234", "5678", "5678");
  EXPECT_EQ(frames(), (Frames{commandFrame(1, 5), commandFrame(2, 6), commandFrame(3, 7),
                              commandFrame(4, 8)}));
  for (std::size_t i = 0; i < rig.port.writeTimes.size(); ++i)
    EXPECT_EQ(rig.port.writeTimes[i] - t0, static_cast<int>(i) * kReplyDelayMs)
        << "frame " << i + 1 << " waits for the answer to the one before";
  EXPECT_EQ(messages(), Messages{"修改成功"});
  EXPECT_EQ(p->state.Device_Password, "5678");
  EXPECT_FALSE(p->form5.loaded()) << "closed and discarded";

  // The new password is the old one from now on; a leading zero is sent as 0.
  confirm("1234", "0905", "0905");
  EXPECT_EQ(messages(), Messages{kPasswordWrongOld});
  confirm("5678", "0905", "0905");
  EXPECT_EQ(frames(), (Frames{commandFrame(1, 0), commandFrame(2, 9), commandFrame(3, 0),
                              commandFrame(4, 5)}));
  EXPECT_EQ(p->state.Device_Password, "0905");
}

TEST_F(PasswordTest, ASecondClickWhileTheDigitsGoOutIsIgnored) {
  linkWithPassword("1234");
  rig.loop.at(rig.loop.nowMs() + 100, [this] { p->form5.Command1.click(); });
  confirm("1234", "5678", "5678");
  EXPECT_EQ(frames().size(), 4u);
  EXPECT_EQ(messages(), Messages{kPasswordChanged});
}

TEST_F(PasswordTest, AnUnansweredDigitFailsStopsAndKeepsThePassword) {
  linkWithPassword("1234");
  answerLimit = 2;
  confirm("1234", "5678", "5678");
  // The third digit goes out three times (two resends), then the wait gives
  // up; the fourth never follows.
  EXPECT_EQ(frames(), (Frames{commandFrame(1, 5), commandFrame(2, 6), commandFrame(3, 7),
                              commandFrame(3, 7), commandFrame(3, 7)}));
  EXPECT_EQ(messages(), Messages{"修改失败"});
  EXPECT_EQ(p->state.Device_Password, "1234");
  EXPECT_TRUE(p->form5.visible()) << "open for another try";
}

TEST_F(PasswordTest, APanelBusyBeingFilledSendsNothingAndFails) {
  linkWithPassword("1234");
  pw->open();
  p->state.Is_Busy = true;
  confirm("1234", "5678", "5678");
  EXPECT_TRUE(frames().empty());
  EXPECT_EQ(messages(), Messages{kPasswordFailed});
  EXPECT_EQ(p->state.Device_Password, "1234");
}

TEST(PasswordWithUnit, TheUnitEndsUpWithTheNewDigits) {
  Rig rig;
  sim::InProcessUnit unit(rig.loop, rig.port);
  Program& p = rig.make();
  p.startUp();
  PasswordDialog pw(p.state, p.form5, p.link, rig.dialogs);
  p.form4.link1.click();
  p.form1.Command1.click();
  ASSERT_TRUE(rig.loop.runUntil([&] { return p.state.Is_Linked; }, 30000));
  const std::string current = unit->state().passwordText();
  ASSERT_EQ(p.state.Device_Password, current) << "reported in the dump";
  pw.open();
  p.form5.Text1.setText(current);
  p.form5.Text2.setText("3071");
  p.form5.Text3.setText("3071");
  p.form5.Command1.click();
  EXPECT_EQ(rig.dialogs.messages, Messages{kPasswordChanged});
  EXPECT_EQ(unit->state().passwordText(), "3071");
  EXPECT_TRUE(p.state.Is_Linked);
}

}  // namespace
}  // namespace kp::test
