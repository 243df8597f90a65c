// The RFC 2217 client against scripted servers: the opening in order, each
// answer checked, refusals and silence named, and the line's bytes through
// the Telnet layer both ways.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/rfc2217.h"

namespace kp {
namespace {

using namespace telnet;
using State = Rfc2217Client::State;

Bytes answer(std::uint8_t command, const Bytes& value) {
  Bytes b{IAC, SB, COM_PORT, static_cast<std::uint8_t>(command + rfc2217::kServerOffset)};
  for (std::uint8_t v : value) b.push_back(v);
  b.push_back(IAC);
  b.push_back(SE);
  return b;
}
Bytes request(std::uint8_t command, const Bytes& value) {
  Bytes b = answer(command, value);
  b[3] = command;
  return b;
}
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// What a ser2net of Debian 12 says first: it offers and asks for
// suppress-go-ahead, offers echo, asks the client not to echo, and agrees to
// binary both ways and to COM-PORT.
const Bytes kGreeting{IAC, WILL, SGA, IAC, DO, SGA, IAC, WILL, ECHO, IAC, DONT, ECHO,
                      IAC, DO, BINARY, IAC, WILL, BINARY, IAC, DO, COM_PORT};
const Bytes kModemState{IAC, SB, COM_PORT, 107, 0x00, IAC, SE};
// The five settings of 28800,E,8,1 without flow control, in order.
const std::vector<Bytes> kRequests = {
    request(1, {0x00, 0x00, 0x70, 0x80}), request(2, {8}), request(3, {3}), request(4, {1}),
    request(5, {1})};
const std::vector<Bytes> kAnswers = {
    answer(1, {0x00, 0x00, 0x70, 0x80}), answer(2, {8}), answer(3, {3}), answer(4, {1}), answer(5, {1})};

// Feeds bytes in pieces of `piece` bytes (0: all at once), collecting what
// the client sends back and what it gives as the line's data.
struct Server {
  Rfc2217Client client{3000};
  std::size_t piece = 0;
  std::int64_t now = 1000;
  Bytes sent, data;

  Bytes open() { return client.start(LineSettings{}, now); }
  void say(const Bytes& bytes) {
    const std::size_t step = piece == 0 ? bytes.size() : piece;
    for (std::size_t i = 0; i < bytes.size(); i += step) {
      const std::size_t n = std::min(step, bytes.size() - i);
      const auto s = client.receive(bytes.data() + i, n, now);
      sent.insert(sent.end(), s.toServer.begin(), s.toServer.end());
      data.insert(data.end(), s.data.begin(), s.data.end());
    }
  }
  Bytes take() { return std::exchange(sent, {}); }
  void link() {
    open();
    say(cat({kGreeting, kModemState}));
    for (const auto& a : kAnswers) say(a);
    take();
  }
};

TEST(Rfc2217Opening, OffersOptionsThenSetsTheLineOneSettingAtATimeInOrder) {
  for (std::size_t piece : {0u, 1u, 3u}) {
    SCOPED_TRACE("pieces of " + std::to_string(piece));
    Server s;
    s.piece = piece;
    EXPECT_EQ(s.open(), (Bytes{IAC, WILL, COM_PORT, IAC, WILL, BINARY, IAC, DO, BINARY}));
    s.say(kGreeting);
    // Suppress-go-ahead taken both ways, echo declined, then the baud rate.
    EXPECT_EQ(s.take(), cat({{IAC, DO, SGA, IAC, WILL, SGA, IAC, DONT, ECHO}, kRequests[0]}));
    for (std::size_t i = 0; i < kAnswers.size(); ++i) {
      EXPECT_EQ(s.client.state(), State::Negotiating);
      s.say(kModemState);  // notifications come at any time and answer nothing
      EXPECT_TRUE(s.take().empty());
      s.say(kAnswers[i]);
      EXPECT_EQ(s.take(), i + 1 < kRequests.size() ? kRequests[i + 1] : Bytes{});
    }
    EXPECT_EQ(s.client.state(), State::Linked);
    EXPECT_TRUE(s.data.empty());
    // A repeated offer is not answered again: two polite ends never loop.
    s.say({IAC, WILL, SGA, IAC, WILL, ECHO});
    EXPECT_TRUE(s.take().empty());
  }
}

TEST(Rfc2217Opening, ARefusalOrSilenceFailsItAndSaysWhat) {
  struct Case {
    const char* what;
    std::size_t answered;  // settings answered as asked before the last
    Bytes last;
    const char* says;
  };
  const Case cases[] = {
      {"baud", 0, answer(1, {0x00, 0x00, 0x25, 0x80}), "did not take 28800 baud (it answered: 9600 baud)"},
      {"data bits", 1, answer(2, {7}), "did not take 8 data bits (it answered: 7 data bits)"},
      {"parity", 2, answer(3, {1}), "did not take even parity (it answered: no parity)"},
      {"stop bits", 3, answer(4, {2}), "did not take 1 stop bit (it answered: 2 stop bits)"},
      {"flow", 4, answer(5, {3}), "did not take no flow control (it answered: hardware flow control)"},
      {"malformed", 0, answer(1, {0x70, 0x80}), "answered the setting of 28800 baud with a malformed reply"},
      {"silent", 2, {}, "did not answer the setting of even parity within 3 s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Server s;
    s.open();
    s.say(kGreeting);
    for (std::size_t i = 0; i < c.answered; ++i) s.say(kAnswers[i]);
    s.say(c.last);
    if (c.last.empty()) {
      s.now += 2999;
      s.client.tick(s.now);
      EXPECT_EQ(s.client.state(), State::Negotiating) << "not before the deadline";
      s.now += 1;
      s.client.tick(s.now);
    }
    EXPECT_EQ(s.client.state(), State::Failed);
    EXPECT_NE(s.client.failure().find(c.says), std::string::npos) << s.client.failure();
  }

  Server refuses;
  refuses.open();
  refuses.say({IAC, DO, BINARY, IAC, WILL, BINARY, IAC, DONT, COM_PORT});
  EXPECT_EQ(refuses.client.state(), State::Failed);
  EXPECT_NE(refuses.client.failure().find("refused the COM-PORT option"), std::string::npos);

  Server noBinary;
  noBinary.open();
  noBinary.say({IAC, DO, COM_PORT, IAC, WONT, BINARY});
  EXPECT_NE(noBinary.client.failure().find("refused binary transmission"), std::string::npos);

  // A plain Telnet server agrees to binary but never to COM-PORT.
  Server plain;
  plain.open();
  plain.say({IAC, DO, BINARY, IAC, WILL, BINARY});
  plain.client.tick(plain.now + 3000);
  EXPECT_EQ(plain.client.failure(), "the server did not agree to RFC 2217 within 3 s (no answer to COM-PORT)");

  // ser2net explains a device it cannot open in text, then hangs up.
  Server hangsUp;
  hangsUp.open();
  const std::string text = "Device open failure: Permission denied\r\n";
  hangsUp.say(cat({kGreeting, Bytes(text.begin(), text.end())}));
  hangsUp.client.closedByServer();
  EXPECT_EQ(hangsUp.client.failure(), "the server closed the connection: Device open failure: Permission denied");
}

TEST(Rfc2217Linked, DataGoesThroughTheTelnetLayerUntouchedBothWays) {
  for (std::size_t piece : {0u, 1u}) {
    SCOPED_TRACE("pieces of " + std::to_string(piece));
    Server s;
    s.piece = piece;
    s.link();
    s.say({0xAA, IAC, IAC, 0x60, IAC, NOP, 0x13, IAC, SB, COM_PORT, 106, 0x60, IAC, SE, 0x55,
           IAC, WILL, 5, 0x00});
    EXPECT_EQ(s.data, (Bytes{0xAA, 0xFF, 0x60, 0x13, 0x55, 0x00}));
    EXPECT_EQ(s.take(), (Bytes{IAC, DONT, 5}));
  }

  Bytes out;
  const Bytes frame{0xAA, 0x00, 0xFF, 0x01, 0xFE, 0x55};
  Rfc2217Client::encodeData(frame.data(), frame.size(), out);
  EXPECT_EQ(out, (Bytes{0xAA, 0x00, 0xFF, 0xFF, 0x01, 0xFE, 0x55}));

  // What the line sent before the opening was done is no one's; what comes
  // behind the last answer in the same piece is the line's already.
  Server s;
  s.open();
  s.say(cat({{0x55, 0x55}, kGreeting}));
  for (std::size_t i = 0; i + 1 < kAnswers.size(); ++i) s.say(kAnswers[i]);
  s.say(cat({kAnswers.back(), {0xAA, 0x60}}));
  EXPECT_EQ(s.data, (Bytes{0xAA, 0x60}));

  EXPECT_EQ(s.client.purgeRequest(), request(12, {1}));
  // The purge's answer is acknowledged at once, so that a server holding
  // small writes (Nagle's rule) sends the unit's answer behind it without
  // waiting for a delayed acknowledgement at every frame.
  s.take();
  s.say(answer(12, {1}));
  EXPECT_EQ(s.take(), (Bytes{IAC, NOP}));
  EXPECT_EQ(s.data, (Bytes{0xAA, 0x60}));
  EXPECT_TRUE(Rfc2217Client().purgeRequest().empty()) << "nothing to purge before the opening";
}

}  // namespace
}  // namespace kp
