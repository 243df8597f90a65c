// What a COMn stands for: the [ports] values an operator may write, the
// mistakes they may make in them, and the order of the lookup.
#include <gtest/gtest.h>

#include <string>

#include "link/transport/port_target.h"
#include "tests/support/rig.h"

namespace kp {
namespace {

using Kind = PortTarget::Kind;

TEST(ParsePortTarget, TakesEveryFormAndReadsBackItsOwnText) {
  const struct {
    const char* text;
    Kind kind;
    const char* canonical;
  } cases[] = {
      {"RFC2217://rack-3.venue.lan:65535", Kind::Rfc2217, "rfc2217://rack-3.venue.lan:65535"},
      {"tcp://192.168.10.22:4001", Kind::Tcp, "tcp://192.168.10.22:4001"},
      {"socket://room7:1", Kind::Tcp, "tcp://room7:1"},
      {"tcp://[fe80::1]:0400", Kind::Tcp, "tcp://[fe80::1]:400"},
      {"/dev/ttyUSB1", Kind::Device, "/dev/ttyUSB1"},
      {"\\\\.\\COM17", Kind::Device, "\\\\.\\COM17"},
      {"com17", Kind::SystemPort, "COM17"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const auto t = parsePortTarget(c.text, &error);
    ASSERT_TRUE(t) << error;
    EXPECT_EQ(t->kind, c.kind);
    EXPECT_EQ(t->text(), c.canonical);
    EXPECT_EQ(parsePortTarget(t->text(), nullptr), t);
  }
  EXPECT_EQ(parsePortTarget("tcp://[fe80::1]:400", nullptr)->host, "fe80::1");
}

TEST(ParsePortTarget, BadValuesSayWhatIsWrong) {
  const struct {
    std::string text;
    const char* says;
  } cases[] = {
      {"", "no port given"},
      {"tcp://:4001", "no host in"},
      {"tcp://[::1:4001", "no closing ]"},
      {"tcp://host", "no port in"},
      {"tcp://host/4001", "no port in"},
      {"tcp://host:0", "port 0 is outside 1..65535"},
      {"tcp://host:99999999999999999999", "is outside 1..65535"},
      {"tcp://host:-1", "is not a number"},
      {"rfc2217://host:4001/path", "unexpected \"/path\" after the port"},
      {"udp://host:4001", "unknown scheme \"udp\""},
      {"tcp://my host:4001", "has a space"},
      {"tcp://host\x01:1", "control character"},
      {"ttyUSB0", "unknown port \"ttyUSB0\""},
      {"COM256", "unknown port"},
      {std::string(300, 'x'), "300 characters long; a port is at most 255"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(parsePortTarget(c.text, &error)) << c.text;
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_LT(error.size(), 200u) << "a message quotes a bad value, never all of it";
  }
}

TEST(LookupPortTarget, PortsSectionFirstAndAMistakeIsNeverAnotherPort) {
  test::TempDir folder;
  folder.write("config.ini",
               "[ports]\r\nCOM2=rfc2217://192.168.10.21:4001\r\ncom3 = tcp://:4001\r\n"
               "COM5=COM17\r\nCOM6=" +
                   std::string(3000, '9') + "\r\n");
  std::string error;
  EXPECT_EQ(lookupPortTarget(2, folder.str(), &error)->text(), "rfc2217://192.168.10.21:4001");
  EXPECT_EQ(lookupPortTarget(5, folder.str(), &error)->text(), "COM17");
  const auto four = lookupPortTarget(4, folder.str(), &error);  // no key: the system's own
  ASSERT_TRUE(four);
  EXPECT_EQ(four->kind, Kind::SystemPort);
  EXPECT_EQ(four->name, "COM4");

  EXPECT_FALSE(lookupPortTarget(3, folder.str(), &error));
  EXPECT_EQ(error, "config.ini [ports] COM3: no host in \"tcp://:4001\"");
  EXPECT_EQ(describeComPort(3, folder.str()), error) << "the tooltip says the same";
  EXPECT_FALSE(lookupPortTarget(6, folder.str(), &error));
  EXPECT_NE(error.find("characters long"), std::string::npos) << error;
  EXPECT_EQ(describeComPort(2, folder.str()),
            "rfc2217://192.168.10.21:4001 (device server, RFC 2217: the panel sets 28800,E,8,1)");
}

}  // namespace
}  // namespace kp
