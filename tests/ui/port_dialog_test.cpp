// The port dialog's tooltips say what each COMn stands for, read afresh
// from config.ini each time the dialog opens.
#include <gtest/gtest.h>

#include <QApplication>
#include <QRadioButton>

#include "tests/support/rig.h"
#include "ui/port_dialog.h"

namespace kp::test {
namespace {

TEST(PortDialogView, EachTooltipSaysWhatItsPortStandsFor) {
  if (!QApplication::instance()) {
    static int argc = 1;
    static char name[] = "kp_tests_ui";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
  Rig rig;
  rig.config("[config]\r\nCOM=2\r\n[ports]\r\nCOM2=rfc2217://192.168.10.21:4001\r\nCOM3=tcp://h:0\r\n");
  Program& p = rig.make();
  ui::PortDialog dialog(p.form2, QString::fromStdString(rig.folder.str()), nullptr);
  auto tip = [&](int i) {
    return dialog.findChild<QRadioButton*>(QString("Option1_%1").arg(i))->toolTip().toStdString();
  };
  dialog.show();
  EXPECT_EQ(tip(1).rfind("rfc2217://192.168.10.21:4001 (device server, RFC 2217", 0), 0u) << tip(1);
  EXPECT_EQ(tip(2), "config.ini [ports] COM3: port 0 is outside 1..65535");
  EXPECT_EQ(tip(3).find("://"), std::string::npos) << "a port without a key is the system's: " << tip(3);
  EXPECT_EQ(tip(3).find("config.ini"), std::string::npos) << tip(3);

  dialog.hide();
  rig.config("[config]\r\nCOM=2\r\n[ports]\r\nCOM3=/dev/kp-no-such-device\r\n");
  dialog.show();
  EXPECT_EQ(tip(2), "/dev/kp-no-such-device (not present)");
  EXPECT_EQ(tip(1).find("rfc2217"), std::string::npos);
}

}  // namespace
}  // namespace kp::test
