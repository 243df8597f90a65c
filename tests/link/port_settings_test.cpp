#include <gtest/gtest.h>

#include "ini/ini.h"
#include "link/port_settings.h"
#include "tests/support/rig.h"

namespace kp {
namespace {

using test::Rig;

class CommSetTest : public ::testing::Test {
 protected:
  void start(const std::string& config) {
    rig.config(config);
    rig.make();
    Comm_set(rig.program->state, rig.port, rig.program->form2, rig.dialogs);
  }
  Rig rig;
};

TEST_F(CommSetTest, OpensTheStoredPortAtTheFixedLineSettings) {
  start("[config]\r\nCOM=3\r\n");
  EXPECT_TRUE(rig.port.isOpen());
  EXPECT_EQ(rig.port.portNumber(), 3);
  EXPECT_EQ(rig.port.settings, (LineSettings{28800, Parity::Even, 8, 1}));
  EXPECT_EQ(rig.port.readSize, 7u);
  EXPECT_EQ(rig.program->form2.selected(), 2);
  EXPECT_TRUE(rig.program->form2.loaded());
  EXPECT_FALSE(rig.program->form2.visible());
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST_F(CommSetTest, APortNumberOutsideOneToTenStopsBeforeThePortIsTouched) {
  start("[config]\r\nCOM=11\r\n");
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_EQ(rig.port.portNumber(), 0);
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0].rfind("出错内容为:", 0), 0u);
  EXPECT_NE(rig.dialogs.messages[0].find("11"), std::string::npos);
}

TEST_F(CommSetTest, TextThatIsNoNumberAndAMissingKeyAreReported) {
  for (const char* config : {"[config]\r\nCOM=abc\r\n", "[config]\r\n"}) {
    Rig r;
    r.config(config);
    r.make();
    Comm_set(r.program->state, r.port, r.program->form2, r.dialogs);
    EXPECT_FALSE(r.port.isOpen()) << config;
    ASSERT_EQ(r.dialogs.messages.size(), 1u) << config;
    EXPECT_EQ(r.dialogs.messages[0].rfind("出错内容为:", 0), 0u);
  }
}

TEST_F(CommSetTest, AFailedOpenShowsTheReasonAndLeavesThePortClosed) {
  rig.port.openError = "cannot open COM1 (/dev/ttyS0): No such file or directory";
  start("[config]\r\nCOM=1\r\n");
  EXPECT_FALSE(rig.port.isOpen());
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0],
            "出错内容为:cannot open COM1 (/dev/ttyS0): No such file or directory");
}

TEST(PortNumberText, ReadsNumbersAsTheClassicConversionDoes) {
  EXPECT_EQ(parsePortNumber("3"), 3);
  EXPECT_EQ(parsePortNumber(" 4 "), 4);
  EXPECT_EQ(parsePortNumber("2.5"), 2);
  EXPECT_EQ(parsePortNumber("3.5"), 4);
  EXPECT_EQ(parsePortNumber("-1"), -1);
  EXPECT_FALSE(parsePortNumber(""));
  EXPECT_FALSE(parsePortNumber("abc"));
  EXPECT_FALSE(parsePortNumber("3x"));
  EXPECT_FALSE(parsePortNumber("99999"));
  // The port dialog rounds after taking one off.
  EXPECT_EQ(portOptionIndex("3.5"), 2);
  EXPECT_EQ(portOptionIndex("4.5"), 4);
  EXPECT_EQ(portOptionIndex("3"), 2);
  EXPECT_FALSE(portOptionIndex("x"));
}

class PortDialogTest : public ::testing::Test {
 protected:
  Form2& open(const std::string& config) {
    rig.config(config);
    rig.make().form2.show();
    return rig.program->form2;
  }
  Rig rig;
};

TEST_F(PortDialogTest, ShowsTheStoredPortAndStoresTheChosenOne) {
  Form2& f = open("[config]\r\n1_c=x\r\nCOM=3\r\n");
  EXPECT_EQ(f.selected(), 2);
  f.select(4);
  f.Command1.click();
  EXPECT_FALSE(f.loaded());
  EXPECT_EQ(Read_Ini("config", "COM", rig.folder.file("config.ini")), "5");
  EXPECT_EQ(rig.folder.read("config.ini"), "[config]\r\n1_c=x\r\nCOM=5\r\n");
  EXPECT_FALSE(rig.port.isOpen()) << "the port in use changes at the next start";
}

TEST_F(PortDialogTest, CancelWritesNothing) {
  Form2& f = open("[config]\r\nCOM=3\r\n");
  f.select(7);
  f.Command2.click();
  EXPECT_FALSE(f.loaded());
  EXPECT_EQ(rig.folder.read("config.ini"), "[config]\r\nCOM=3\r\n");
}

TEST_F(PortDialogTest, AStoredValueOutsideTheRangeSelectsNothingAndOkWritesNothing) {
  for (const char* config : {"[config]\r\nCOM=0\r\n", "[config]\r\nCOM=12\r\n",
                             "[config]\r\nCOM=abc\r\n", "[config]\r\n"}) {
    Rig r;
    r.config(config);
    Form2& f = r.make().form2;
    f.show();
    EXPECT_EQ(f.selected(), -1) << config;
    f.Command1.click();
    EXPECT_EQ(r.folder.read("config.ini"), config);
  }
}

TEST_F(PortDialogTest, AConfigThatCannotBeWrittenIsReportedAndTheDialogStays) {
  Form2& f = open("[config]\r\nCOM=3\r\n");
  // A folder where the file should be: no write can succeed, not even as root.
  std::filesystem::remove(rig.folder.file("config.ini"));
  std::filesystem::create_directory(rig.folder.file("config.ini"));
  f.select(1);
  f.Command1.click();
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_NE(rig.dialogs.messages[0].find("config.ini"), std::string::npos);
  EXPECT_TRUE(f.visible());
}

}  // namespace
}  // namespace kp
