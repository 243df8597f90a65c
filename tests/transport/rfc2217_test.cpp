// The RFC 2217 client against scripted servers: the opening in order, each
// answer checked, refusals and silence named, and the line's bytes through
// the Telnet layer both ways.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/transport/rfc2217.h"

namespace kp {
namespace {

using namespace telnet;
using State = Rfc2217Client::State;

Bytes answer(std::uint8_t command, const Bytes& value,
             std::uint8_t offset = rfc2217::kServerOffset) {
  Bytes b{IAC, SB, COM_PORT, static_cast<std::uint8_t>(command + offset)};
  for (std::uint8_t v : value) b.push_back(v);
  b.push_back(IAC);
  b.push_back(SE);
  return b;
}
Bytes request(std::uint8_t command, const Bytes& value) { return answer(command, value, 0); }

// What Debian 12's ser2net says first: suppress-go-ahead both ways, an offer
// of echo, and yes to binary both ways and to COM-PORT.
const Bytes kGreeting{IAC,  WILL, SGA, IAC,    DO,  SGA,  IAC,    WILL, ECHO, IAC,     DONT,
                      ECHO, IAC,  DO,  BINARY, IAC, WILL, BINARY, IAC,  DO,   COM_PORT};
const Bytes kModemState{IAC, SB, COM_PORT, 107, 0x00, IAC, SE};
// 28800 baud, 8 data bits, even parity, 1 stop bit, no flow control.
const std::vector<Bytes> kValues = {{0x00, 0x00, 0x70, 0x80}, {8}, {3}, {1}, {1}};

// Feeds the client in pieces of `piece` bytes (0: whole).
struct Server {
  Rfc2217Client client{3000};
  std::size_t piece = 0;
  Bytes sent, data;

  void say(const Bytes& bytes) {
    const std::size_t step = piece == 0 ? bytes.size() : piece;
    for (std::size_t i = 0; i < bytes.size(); i += step) {
      const auto s = client.receive(bytes.data() + i, std::min(step, bytes.size() - i), 1000);
      sent.insert(sent.end(), s.toServer.begin(), s.toServer.end());
      data.insert(data.end(), s.data.begin(), s.data.end());
    }
  }
  Bytes take() { return std::exchange(sent, {}); }
  // Opens, with the first `answered` settings answered as asked.
  void open(std::size_t answered = 5) {
    client.start(LineSettings{}, 1000);
    say(kGreeting);
    for (std::size_t i = 0; i < answered; ++i)
      say(answer(static_cast<std::uint8_t>(i + 1), kValues[i]));
    take();
  }
};

TEST(Rfc2217Opening, OffersOptionsThenSetsTheLineOneSettingAtATimeInOrder) {
  for (std::size_t piece : {0u, 1u}) {
    Server s;
    s.piece = piece;
    EXPECT_EQ(s.client.start(LineSettings{}, 1000),
              (Bytes{IAC, WILL, COM_PORT, IAC, WILL, BINARY, IAC, DO, BINARY}));
    s.say(kGreeting);
    // Suppress-go-ahead taken both ways, echo declined, then the baud rate.
    Bytes expected{IAC, DO, SGA, IAC, WILL, SGA, IAC, DONT, ECHO};
    for (std::size_t i = 0; i < kValues.size(); ++i) {
      const auto command = static_cast<std::uint8_t>(i + 1);
      const Bytes r = request(command, kValues[i]);
      expected.insert(expected.end(), r.begin(), r.end());
      EXPECT_EQ(s.take(), expected) << "setting " << i;
      expected.clear();
      EXPECT_EQ(s.client.state(), State::Negotiating);
      s.say(kModemState);  // notifications come at any time and answer nothing
      s.say(answer(command, kValues[i]));
    }
    EXPECT_TRUE(s.take().empty());
    EXPECT_EQ(s.client.state(), State::Linked);
    s.say({IAC, WILL, SGA, IAC, WILL, ECHO});
    EXPECT_TRUE(s.take().empty()) << "a repeated offer is not answered again: no loop";
  }
}

TEST(Rfc2217Opening, ARefusalOrSilenceFailsItAndSaysWhat) {
  const std::string text = "Device open failure: Permission denied\r\n";
  const struct {
    std::size_t answered;  // settings answered as asked first
    Bytes last;            // then this, and the server hangs up; empty: time runs out first
    const char* says;
  } cases[] = {
      {0, answer(1, {0x00, 0x00, 0x25, 0x80}), "did not take 28800 baud (it answered: 9600 baud)"},
      {2, answer(3, {1}), "did not take even parity (it answered: no parity)"},
      {3, answer(4, {2}), "did not take 1 stop bit (it answered: 2 stop bits)"},
      {4, answer(5, {3}), "did not take no flow control (it answered: hardware flow control)"},
      {0, answer(1, {0x70, 0x80}), "answered the setting of 28800 baud with a malformed reply"},
      {2, {}, "did not answer the setting of even parity within 3 s"},
      {0, {IAC, DONT, COM_PORT}, "refused the COM-PORT option"},
      {0, {IAC, WONT, BINARY}, "refused binary transmission"},
      {0, Bytes(text.begin(), text.end()),
       "closed the connection: Device open failure: Permission denied"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    Server s;
    s.open(c.answered);
    s.say(c.last);
    if (c.last.empty()) {
      s.client.tick(3999);
      EXPECT_EQ(s.client.state(), State::Negotiating) << "not before the deadline";
      s.client.tick(4000);
    }
    s.client.closedByServer();
    EXPECT_EQ(s.client.state(), State::Failed);
    EXPECT_NE(s.client.failure().find(c.says), std::string::npos) << s.client.failure();
  }
  // A plain Telnet server agrees to binary but never to COM-PORT.
  Rfc2217Client plain(3000);
  plain.start(LineSettings{}, 0);
  plain.receive({IAC, DO, BINARY, IAC, WILL, BINARY}, 10);
  plain.tick(3000);
  EXPECT_EQ(plain.failure(),
            "the server did not agree to RFC 2217 within 3 s (no answer to COM-PORT)");
}

TEST(Rfc2217Linked, DataGoesThroughTheTelnetLayerUntouchedBothWays) {
  for (std::size_t piece : {0u, 1u}) {
    Server s;
    s.piece = piece;
    s.open();
    s.say({0xAA, IAC, IAC, 0x60, IAC, NOP, 0x13, IAC, SB, COM_PORT, 106, 0x60, IAC, SE, 0x55, IAC,
           WILL, 5});
    EXPECT_EQ(s.data, (Bytes{0xAA, 0xFF, 0x60, 0x13, 0x55}));
    EXPECT_EQ(s.take(), (Bytes{IAC, DONT, 5}));
    // The purge's answer is acknowledged at once, so that a server that holds
    // small writes (Nagle's rule) sends the unit's answer behind it without
    // waiting for a delayed acknowledgement at every frame.
    EXPECT_EQ(s.client.purgeRequest(), request(12, {1}));
    s.say(answer(12, {1}));
    EXPECT_EQ(s.take(), (Bytes{IAC, NOP}));
    // Closing asks for the baud rate and waits for the answer: the server
    // has then taken everything sent before it.
    EXPECT_EQ(s.client.syncRequest(), request(1, {0, 0, 0, 0}));
    EXPECT_TRUE(s.client.syncPending());
    s.say(answer(1, kValues[0]));
    EXPECT_FALSE(s.client.syncPending());
  }
  Bytes out;
  const Bytes frame{0xAA, 0x00, 0xFF, 0x01, 0xFE, 0x55};
  Rfc2217Client::encodeData(frame.data(), frame.size(), out);
  EXPECT_EQ(out, (Bytes{0xAA, 0x00, 0xFF, 0xFF, 0x01, 0xFE, 0x55}));

  // Before the line is set up bytes are no one's; behind the last answer in
  // the same piece they are the line's already.
  Server s;
  s.client.start(LineSettings{}, 1000);
  Bytes script{0x55, 0x55};
  script.insert(script.end(), kGreeting.begin(), kGreeting.end());
  for (std::size_t i = 0; i < kValues.size(); ++i) {
    const Bytes a = answer(static_cast<std::uint8_t>(i + 1), kValues[i]);
    script.insert(script.end(), a.begin(), a.end());
  }
  script.insert(script.end(), {0xAA, 0x60});
  s.say(script);
  EXPECT_EQ(s.data, (Bytes{0xAA, 0x60}));
}

}  // namespace
}  // namespace kp
