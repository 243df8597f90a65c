// Changing the unit's password on a program in virtual time: opening only
// while linked, the key filter, the three checks in order, the four digit
// frames each waiting for the unit, and what a silent unit leaves behind.
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

constexpr const char* kConfig =
    "[config]\r\nCOM=1\r\n39_c=pw-title\r\n40_c=old\r\n24_c=cancel\r\n";
constexpr int kReplyDelayMs = 250;

class PasswordTest : public ::testing::Test {
 protected:
  PasswordTest() {
    rig.config(kConfig);
    p = &rig.make();
    p->startUp();
    lang = std::make_unique<Language>(p->state, p->form4, p->form1, p->form2, p->form3,
                                      p->form5, p->form6, p->panel);
    pw = std::make_unique<PasswordDialog>(p->state, p->form5, p->link, rig.dialogs);
    pw->Set_Language = [this] {
      ++languageCalls;
      lang->Set_Language();
    };
    // A unit that answers each frame with AA 60 after a while, until told
    // to fall silent.
    rig.port.onTransmit = [this](const Bytes& b) {
      if (b.size() != kFrameSize || answered >= answerLimit) return;
      ++answered;
      rig.loop.at(rig.loop.nowMs() + kReplyDelayMs,
                  [this] { rig.port.receive({kFrameHeader, kReplyAddress}); });
    };
    rig.port.clearLog();
    rig.dialogs.messages.clear();
  }

  void linkWithPassword(const std::string& current) {
    p->state.Is_Linked = true;
    p->state.Device_Password = current;
  }
  void openAndFill(const std::string& oldText, const std::string& newText,
                   const std::string& again) {
    pw->open();
    ASSERT_TRUE(p->form5.visible());
    p->form5.Text1.setText(oldText);
    p->form5.Text2.setText(newText);
    p->form5.Text3.setText(again);
  }
  std::vector<Bytes> frames() const {
    std::vector<Bytes> out;
    for (const auto& w : rig.port.writes)
      if (w.size() == kFrameSize) out.push_back(w);
    return out;
  }
  const std::vector<std::string>& messages() const { return rig.dialogs.messages; }

  Rig rig;
  Program* p = nullptr;
  std::unique_ptr<Language> lang;
  std::unique_ptr<PasswordDialog> pw;
  int languageCalls = 0;
  int answered = 0;
  int answerLimit = 1000;
};

// --- opening ---------------------------------------------------------------

TEST_F(PasswordTest, UnlinkedOpeningDoesNothingAtAll) {
  p->form5.unload();
  pw->open();
  EXPECT_FALSE(p->form5.loaded());
  EXPECT_FALSE(p->form5.visible());
  EXPECT_EQ(languageCalls, 0);
  EXPECT_TRUE(messages().empty());
  EXPECT_TRUE(rig.port.writes.empty());
}

TEST_F(PasswordTest, TheToolbarButtonIsTheMenuItemAndNeedsTheLink) {
  p->form4.Pass_set1.onClick = [this] { pw->open(); };  // as the menu is wired
  p->form5.unload();
  p->form4.Toolbar1(6).click();
  EXPECT_FALSE(p->form5.visible());
  linkWithPassword("1234");
  p->form4.Toolbar1(6).click();
  EXPECT_TRUE(p->form5.visible());
}

TEST_F(PasswordTest, LinkedOpeningAppliesTheLanguageThenShowsEmptyBoxes) {
  linkWithPassword("1234");
  pw->open();
  EXPECT_EQ(languageCalls, 1);
  EXPECT_TRUE(p->form5.visible());
  EXPECT_EQ(p->form5.caption(), "pw-title");
  EXPECT_EQ(p->form5.Label1.caption(), "old");
  EXPECT_EQ(p->form5.Command2.caption(), "cancel");
  for (TextBox* t : {&p->form5.Text1, &p->form5.Text2, &p->form5.Text3}) {
    EXPECT_EQ(t->text(), "");
    EXPECT_TRUE(t->password);
  }
}

TEST_F(PasswordTest, CancelClosesSendsNothingAndTheNextOpeningStartsEmpty) {
  linkWithPassword("1234");
  openAndFill("1234", "5678", "5678");
  p->form5.Command2.click();
  EXPECT_FALSE(p->form5.loaded());
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_EQ(p->state.Device_Password, "1234");
  pw->open();
  EXPECT_EQ(p->form5.Text2.text(), "");
}

// --- key filter ------------------------------------------------------------

TEST_F(PasswordTest, EachBoxTakesAtMostFourDigitsAndNothingElse) {
  linkWithPassword("1234");
  pw->open();
  for (TextBox* t : {&p->form5.Text1, &p->form5.Text2, &p->form5.Text3}) {
    ASSERT_TRUE(t->keyFilter);
    t->setText("");
    t->selectionLength = 0;
    EXPECT_TRUE(t->keyFilter(U'0'));
    EXPECT_TRUE(t->keyFilter(U'9'));
    for (char32_t c : {U'a', U'Z', U' ', U'-', U'/', U':', U'\u0661', char32_t{22}, char32_t{13}})
      EXPECT_FALSE(t->keyFilter(c)) << static_cast<unsigned>(c);
    t->setText("123");
    EXPECT_TRUE(t->keyFilter(U'4'));
    t->setText("1234");
    EXPECT_FALSE(t->keyFilter(U'5')) << "a fifth digit";
    EXPECT_TRUE(t->keyFilter(char32_t{8})) << "Backspace always";
    t->selectionLength = 4;
    EXPECT_TRUE(t->keyFilter(U'5')) << "replaces the selection";
    EXPECT_FALSE(t->keyFilter(U'x')) << "a selection does not admit letters";
    t->selectionLength = 0;
    t->setText("");
    EXPECT_TRUE(t->keyFilter(char32_t{8}));
  }
}

// --- the checks ------------------------------------------------------------

class PasswordChecks : public PasswordTest {
 protected:
  PasswordChecks() { linkWithPassword("1234"); }
  void expectRefused(const char* message) {
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0], message);
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_TRUE(p->form5.visible()) << "kept for a correction";
    EXPECT_EQ(p->state.Device_Password, "1234");
  }
};

TEST_F(PasswordChecks, AConfirmationThatDiffersComesFirstEvenWithAWrongOldPassword) {
  openAndFill("9999", "5678", "5679");
  p->form5.Command1.click();
  expectRefused(kPasswordMismatch);
  EXPECT_EQ(std::string(kPasswordMismatch), "新密码和确认密码不相同");
  EXPECT_EQ(p->form5.Text1.text(), "9999");
  EXPECT_EQ(p->form5.Text2.text(), "5678");
  EXPECT_EQ(p->form5.Text3.text(), "5679");
}

TEST_F(PasswordChecks, ANewPasswordEqualToTheOldOneComesNextEvenWhenTheOldIsWrong) {
  openAndFill("9999", "9999", "9999");
  p->form5.Command1.click();
  expectRefused(kPasswordUnchanged);
  EXPECT_EQ(std::string(kPasswordUnchanged), "新密码和旧密码相同");
}

TEST_F(PasswordChecks, AWrongOldPasswordIsRefused) {
  openAndFill("4321", "5678", "5678");
  p->form5.Command1.click();
  expectRefused(kPasswordWrongOld);
  EXPECT_EQ(std::string(kPasswordWrongOld), "旧密码不正确");
}

TEST_F(PasswordChecks, FewerThanFourDigitsAreRefusedWithoutAFrame) {
  openAndFill("1234", "56", "56");
  p->form5.Command1.click();
  expectRefused(kPasswordNotFourDigits);
}

TEST_F(PasswordChecks, PastedContentThatIsNotFourDigitsIsRefused) {
  for (const char* pasted : {"5a78", "56789", " 567", "５６７８"}) {
    rig.dialogs.messages.clear();
    openAndFill("1234", pasted, pasted);
    p->form5.Command1.click();
    expectRefused(kPasswordNotFourDigits);
  }
}

// --- the change --------------------------------------------------------------

class PasswordChange : public PasswordTest {
 protected:
  PasswordChange() { linkWithPassword("1234"); }
};

TEST_F(PasswordChange, FourFramesEachAfterTheAnswerToThePreviousThenSuccess) {
  openAndFill("1234", "5678", "5678");
  const auto t0 = rig.loop.nowMs();
  p->form5.Command1.click();
  ASSERT_EQ(frames(), (std::vector<Bytes>{commandFrame(1, 5), commandFrame(2, 6),
                                          commandFrame(3, 7), commandFrame(4, 8)}));
  ASSERT_EQ(rig.port.writeTimes.size(), 4u);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(rig.port.writeTimes[static_cast<std::size_t>(i)] - t0, i * kReplyDelayMs)
        << "frame " << i + 1 << " waits for the answer to the one before";
  EXPECT_FALSE(p->state.Awaiting_Reply);
  EXPECT_EQ(messages(), std::vector<std::string>{kPasswordChanged});
  EXPECT_EQ(std::string(kPasswordChanged), "修改成功");
  EXPECT_EQ(p->state.Device_Password, "5678");
  EXPECT_FALSE(p->form5.loaded()) << "closed and discarded";

  // The new password is now the one to give as the old.
  rig.port.clearLog();
  rig.dialogs.messages.clear();
  openAndFill("1234", "2468", "2468");
  p->form5.Command1.click();
  EXPECT_EQ(messages(), std::vector<std::string>{kPasswordWrongOld});
  p->form5.Text1.setText("5678");
  rig.dialogs.messages.clear();
  p->form5.Command1.click();
  EXPECT_EQ(messages(), std::vector<std::string>{kPasswordChanged});
  EXPECT_EQ(frames().front(), commandFrame(1, 2));
  EXPECT_EQ(p->state.Device_Password, "2468");
}

TEST_F(PasswordChange, ALeadingZeroSendsTheValueZero) {
  openAndFill("1234", "0905", "0905");
  p->form5.Command1.click();
  ASSERT_EQ(frames().size(), 4u);
  EXPECT_EQ(frames()[0], commandFrame(1, 0));
  EXPECT_EQ(frames()[1], commandFrame(2, 9));
  EXPECT_EQ(frames()[2], commandFrame(3, 0));
  EXPECT_EQ(frames()[3], commandFrame(4, 5));
  EXPECT_EQ(p->state.Device_Password, "0905");
}

TEST_F(PasswordChange, ASecondClickWhileTheDigitsGoOutIsIgnored) {
  openAndFill("1234", "5678", "5678");
  rig.loop.at(rig.loop.nowMs() + 100, [this] { p->form5.Command1.click(); });
  p->form5.Command1.click();
  EXPECT_EQ(frames().size(), 4u);
  EXPECT_EQ(messages(), std::vector<std::string>{kPasswordChanged});
}

TEST_F(PasswordChange, AnUnansweredDigitFailsAndKeepsThePassword) {
  answerLimit = 0;
  openAndFill("1234", "5678", "5678");
  p->form5.Command1.click();
  // The first digit goes out three times (two resends), then the wait
  // gives up; nothing of the other digits follows.
  EXPECT_EQ(frames(), (std::vector<Bytes>(3, commandFrame(1, 5))));
  EXPECT_EQ(messages(), std::vector<std::string>{kPasswordFailed});
  EXPECT_EQ(std::string(kPasswordFailed), "修改失败");
  EXPECT_EQ(p->state.Device_Password, "1234");
  EXPECT_TRUE(p->form5.visible()) << "open for another try";
  EXPECT_EQ(p->form5.Text2.text(), "5678");
}

TEST_F(PasswordChange, AUnitThatFallsSilentHalfwayFailsWithoutTheLastDigit) {
  answerLimit = 2;
  openAndFill("1234", "5678", "5678");
  p->form5.Command1.click();
  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(1, 5), commandFrame(2, 6),
                                          commandFrame(3, 7), commandFrame(3, 7),
                                          commandFrame(3, 7)}));
  EXPECT_EQ(messages(), std::vector<std::string>{kPasswordFailed});
  EXPECT_EQ(p->state.Device_Password, "1234");
}

TEST_F(PasswordChange, APanelBusyBeingFilledSendsNothingAndFails) {
  openAndFill("1234", "5678", "5678");
  p->state.Is_Busy = true;
  // The fill ends a moment later, as a dump block does.
  rig.loop.at(rig.loop.nowMs() + 500, [this] { p->state.Is_Busy = false; });
  p->form5.Command1.click();
  EXPECT_TRUE(frames().empty());
  EXPECT_EQ(messages(), std::vector<std::string>{kPasswordFailed});
  EXPECT_EQ(p->state.Device_Password, "1234");
}

// --- with the virtual unit -----------------------------------------------------

class PasswordWithUnit : public ::testing::Test {
 protected:
  PasswordWithUnit() : unit(rig.loop, rig.port) {
    p = &rig.make();
    p->startUp();
    pw = std::make_unique<PasswordDialog>(p->state, p->form5, p->link, rig.dialogs);
    p->form4.link1.click();
    p->form1.Combo1.setIndex(0);
    p->form1.Command1.click();
  }
  Rig rig;
  sim::InProcessUnit unit;
  Program* p = nullptr;
  std::unique_ptr<PasswordDialog> pw;
};

TEST_F(PasswordWithUnit, TheUnitEndsUpWithTheNewDigits) {
  ASSERT_TRUE(rig.loop.runUntil([&] { return p->state.Is_Linked; }, 30000));
  const std::string current = unit->state().passwordText();
  ASSERT_EQ(p->state.Device_Password, current) << "reported in the dump";
  pw->open();
  p->form5.Text1.setText(current);
  p->form5.Text2.setText("3071");
  p->form5.Text3.setText("3071");
  p->form5.Command1.click();
  EXPECT_EQ(rig.dialogs.messages, std::vector<std::string>{kPasswordChanged});
  EXPECT_EQ(unit->state().passwordText(), "3071");
  EXPECT_EQ(p->state.Device_Password, "3071");
  EXPECT_TRUE(p->state.Is_Linked);
}

}  // namespace
}  // namespace kp::test
