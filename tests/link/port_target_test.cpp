// What a COMn stands for: the [ports] values an operator may write, the
// mistakes they may make in them, and the order of the lookup.
#include <gtest/gtest.h>

#include <string>

#include "link/port_target.h"
#include "tests/support/rig.h"

namespace kp {
namespace {

using Kind = PortTarget::Kind;

TEST(ParsePortTarget, TakesEveryFormAnOperatorWrites) {
  struct Case {
    const char* text;
    Kind kind;
    const char* host;
    int port;
    const char* canonical;
  };
  const Case cases[] = {
      {"rfc2217://192.168.10.21:4001", Kind::Rfc2217, "192.168.10.21", 4001, "rfc2217://192.168.10.21:4001"},
      {"RFC2217://rack-3.venue.lan:65535", Kind::Rfc2217, "rack-3.venue.lan", 65535, "rfc2217://rack-3.venue.lan:65535"},
      {"tcp://192.168.10.22:4001", Kind::Tcp, "192.168.10.22", 4001, "tcp://192.168.10.22:4001"},
      {"socket://room7:1", Kind::Tcp, "room7", 1, "tcp://room7:1"},
      {"tcp://[fe80::1]:0400", Kind::Tcp, "fe80::1", 400, "tcp://[fe80::1]:400"},
      {"/dev/ttyUSB1", Kind::Device, "", 0, "/dev/ttyUSB1"},
      {"\\\\.\\COM17", Kind::Device, "", 0, "\\\\.\\COM17"},
      {"com17", Kind::SystemPort, "", 0, "COM17"},
      {"COM255", Kind::SystemPort, "", 0, "COM255"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error = "untouched";
    const auto t = parsePortTarget(c.text, &error);
    ASSERT_TRUE(t) << error;
    EXPECT_EQ(t->kind, c.kind);
    EXPECT_EQ(t->host, c.host);
    EXPECT_EQ(t->port, c.port);
    EXPECT_EQ(t->text(), c.canonical);
    EXPECT_EQ(parsePortTarget(t->text(), nullptr), t) << "the canonical text reads back the same";
  }
  EXPECT_EQ(parsePortTarget("COM17", nullptr)->systemPortNumber(), 17);
}

TEST(ParsePortTarget, BadValuesSayWhatIsWrong) {
  const struct {
    std::string text;
    const char* says;
  } cases[] = {
      {"", "no port given"},
      {"tcp://:4001", "no host in"},
      {"rfc2217://[]:4001", "not an IPv6 address"},
      {"tcp://[::1:4001", "no closing ]"},
      {"tcp://host", "no port in"},
      {"tcp://host:", "no port in"},
      {"tcp://host/4001", "no port in"},
      {"tcp://host:0", "port 0 is outside 1..65535"},
      {"tcp://host:65536", "port 65536 is outside 1..65535"},
      {"tcp://host:99999999999999999999", "is outside 1..65535"},
      {"tcp://host:-1", "is not a number"},
      {"tcp://host:40a1", "unexpected \"a1\" after the port"},
      {"rfc2217://host:4001/path", "unexpected \"/path\" after the port"},
      {"tcp://ho@st:1", "character '@'"},
      {"udp://host:4001", "unknown scheme \"udp\""},
      {"telnet://host:23", "unknown scheme \"telnet\""},
      {"tcp://my host:4001", "has a space"},
      {"tcp://host:4001\t", "has a space"},
      {std::string("tcp://host\x01:1"), "control character"},
      {"ttyUSB0", "unknown port \"ttyUSB0\""},
      {"COM0", "unknown port"},
      {"COM256", "unknown port"},
      {std::string(300, 'x'), "300 characters long; a port is at most 255"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    std::string error;
    EXPECT_FALSE(parsePortTarget(c.text, &error));
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_LT(error.size(), 200u) << "a message quotes a bad value, never all of it";
  }
}

class LookupPortTarget : public ::testing::Test {
 protected:
  void config(const std::string& ports) {
    folder.write("config.ini", "[config]\r\nCOM=2\r\n[ports]\r\n" + ports);
  }
  test::TempDir folder;
};

TEST_F(LookupPortTarget, PortsSectionFirstThenTheSystemsOwnPort) {
  config("COM2=rfc2217://192.168.10.21:4001\r\ncom3 = tcp://192.168.10.22:4001\r\nCOM5=COM17\r\n");
  std::string error;
  auto t = lookupPortTarget(2, folder.str(), &error);
  ASSERT_TRUE(t) << error;
  EXPECT_EQ(t->text(), "rfc2217://192.168.10.21:4001");
  EXPECT_EQ(lookupPortTarget(3, folder.str(), &error)->text(), "tcp://192.168.10.22:4001");
  EXPECT_EQ(lookupPortTarget(5, folder.str(), &error)->text(), "COM17");
  // No key: the system's own port, as always.
  t = lookupPortTarget(4, folder.str(), &error);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->kind, Kind::SystemPort);
  EXPECT_EQ(t->name, "COM4");
  EXPECT_FALSE(lookupPortTarget(0, folder.str(), &error));

  EXPECT_EQ(describeComPort(2, folder.str()),
            "rfc2217://192.168.10.21:4001 (device server, RFC 2217: the panel sets 28800,E,8,1)");
  EXPECT_NE(describeComPort(3, folder.str()).find("raw TCP: the server sets the line"), std::string::npos);
}

TEST_F(LookupPortTarget, AnEntryThatDoesNotParseIsAnErrorNeverAnotherPort) {
  config("COM2=tcp://:4001\r\nCOM3=" + std::string(3000, '9') + "\r\n");
  std::string error;
  EXPECT_FALSE(lookupPortTarget(2, folder.str(), &error));
  EXPECT_EQ(error, "config.ini [ports] COM2: no host in \"tcp://:4001\"");
  EXPECT_EQ(describeComPort(2, folder.str()), error) << "the tooltip says the same";
  EXPECT_FALSE(lookupPortTarget(3, folder.str(), &error));
  EXPECT_NE(error.find("characters long"), std::string::npos) << error;
}

}  // namespace
}  // namespace kp
