// On Linux a ports/comN link keeps working, and [ports] takes precedence.
#include <gtest/gtest.h>

#include <filesystem>

#include "link/port_target.h"
#include "tests/support/rig.h"

namespace kp {
namespace {

TEST(LookupPortTargetPosix, PortsSectionBeforeTheLinkBeforeTheSystemsPort) {
  test::TempDir folder;
  std::filesystem::create_directories(folder.path() / "ports");
  std::filesystem::create_symlink("/dev/null", folder.path() / "ports" / "com3");
  std::filesystem::create_symlink("/dev/null", folder.path() / "ports" / "com4");
  folder.write("config.ini", "[ports]\r\nCOM4=tcp://127.0.0.1:4001\r\n");
  std::string error;
  const auto three = lookupPortTarget(3, folder.str(), &error);
  ASSERT_TRUE(three) << error;
  EXPECT_EQ(three->kind, PortTarget::Kind::Device);
  EXPECT_EQ(portTargetDevice(*three), (folder.path() / "ports" / "com3").string());
  EXPECT_EQ(describeComPort(3, folder.str()), "ports/com3 \xE2\x86\x92 /dev/null");
  EXPECT_EQ(lookupPortTarget(4, folder.str(), &error)->text(), "tcp://127.0.0.1:4001");
  EXPECT_EQ(portTargetDevice(*lookupPortTarget(5, folder.str(), &error)), "/dev/ttyS4");
  EXPECT_EQ(portTargetDevice(*parsePortTarget("COM17", nullptr)), "/dev/ttyS16");
}

}  // namespace
}  // namespace kp
