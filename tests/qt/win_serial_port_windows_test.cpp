// The Windows serial port says in a technician's words why a port cannot be
// opened, and a closed port takes nothing and raises nothing.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <string>

#include "qt/win_serial_port_windows.h"

namespace {

TEST(WinSerialPortWindows, AMissingPortIsReportedAsMissing) {
  static int argc = 1;
  static char name[] = "kp_tests_ui";
  static char* argv[] = {name, nullptr};
  std::unique_ptr<QCoreApplication> app;
  if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
  WinSerialPort port;
  // A number no system has a port for. (Wine keeps a device for every port
  // its Ports key names, even one mapped to nothing, so a low number would
  // open there and fail later, at the line settings.)
  port.setPortNumber(300);
  std::string error;
  ASSERT_FALSE(port.open(&error));
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(error.rfind("COM300 does not exist on this computer.", 0), 0u) << error;
  EXPECT_NE(error.find("Device Manager"), std::string::npos) << error;

  port.setPortNumber(0);
  EXPECT_FALSE(port.open(&error));
  EXPECT_EQ(error, "COM0 is not a valid port number");

  int raised = 0;
  port.onReadyRead = [&] { ++raised; };
  port.write({0xAA, 0x00, 0xFF, 0x00, 0xFF, 0x55});
  port.discardInput();
  QCoreApplication::processEvents();
  EXPECT_TRUE(port.read().empty());
  EXPECT_EQ(port.bytesAvailable(), 0u);
  EXPECT_EQ(raised, 0);
  port.close();
}

}  // namespace
