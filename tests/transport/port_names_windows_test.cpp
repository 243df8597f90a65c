// COMn on Windows: the system's own ports, always through the device
// namespace (the only form that reaches COM10 and above).
#include <gtest/gtest.h>

#include "link/transport/port_names.h"
#include "link/transport/port_target.h"

namespace kp {
namespace {

TEST(PortNamesWindows, EveryPortGoesThroughTheDeviceNamespace) {
  EXPECT_EQ(portDevice(1, "C:\\Program Files\\Karaoke Panel"), "\\\\.\\COM1");
  EXPECT_EQ(portDevice(10, ""), "\\\\.\\COM10");
  EXPECT_EQ(portDevice(0, ""), "");
  EXPECT_EQ(describeComPort(0, ""), "COM0 is not a port");
  // The test prefix maps no port above COM1 to anything.
  const std::string ten = describeComPort(10, "");
  EXPECT_TRUE(ten == "COM10" || ten == "COM10 (not present)") << ten;
  // A system port by name reaches beyond the dialog's ten.
  EXPECT_EQ(portTargetDevice(*parsePortTarget("com17", nullptr)), "\\\\.\\COM17");
  // One port by any spelling of its name.
  EXPECT_EQ(deviceIdentity("\\\\.\\com17"), deviceIdentity(portDevice(17, "")));
  EXPECT_NE(deviceIdentity("\\\\.\\COM17"), deviceIdentity(portDevice(1, "")));
}

}  // namespace
}  // namespace kp
