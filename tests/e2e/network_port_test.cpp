// Device servers that are not there, do not answer, or do not speak RFC 2217,
// on 127.0.0.1 only: the panel says so after "出错内容为:" within seconds,
// keeps its window painted meanwhile, and never opens another port instead.
// And one that holds its small writes until acknowledged is not kept waiting.
#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <string>

#include <gtest/gtest.h>

#include "link/frames.h"
#include "link/messages.h"
#include "qt/port_factory.h"
#include "tests/e2e/qt_rig.h"
#include "tests/e2e/ser2net_process.h"

namespace kp {
namespace {

// A listening socket on 127.0.0.1 that never accepts. With `fill`, its
// queue is taken by one connection of its own, so that every later connect
// hangs unanswered, as with a host that is switched off; without, a connect
// gets through to a server that never says a word.
class SilentListener {
 public:
  explicit SilentListener(bool fill) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(fd_, fill ? 0 : 8) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      return;
    port_ = ntohs(a.sin_port);
    if (!fill) return;
    filler_ = socket(AF_INET, SOCK_STREAM, 0);
    if (connect(filler_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) port_ = 0;
  }
  ~SilentListener() {
    if (filler_ >= 0) ::close(filler_);
    if (fd_ >= 0) ::close(fd_);
  }
  int port() const { return port_; }

 private:
  int fd_ = -1, filler_ = -1, port_ = 0;
};

struct Opening {
  bool opened = false;
  std::string error;
  double seconds = 0;
  int ticks = 0;  // of a 100 ms timer while it ran: the window's events went on
};

Opening openTarget(const std::string& url) {
  test::ensureQtApp();
  Opening o;
  auto port = makePortFor(*parsePortTarget(url, nullptr), nullptr);
  port->setPortNumber(2);
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++o.ticks; });
  ticker.start(100);
  QElapsedTimer t;
  t.start();
  o.opened = port->open(&o.error);
  o.seconds = static_cast<double>(t.elapsed()) / 1000.0;
  return o;
}

TEST(NetworkPortOpening, AServerNotThereIsNamedAtOnceAndOneThatDoesNotAnswerWithinSeconds) {
  const int port = test::Ser2netProcess::freePort();  // nothing listens there now
  for (const char* scheme : {"tcp", "rfc2217"}) {
    const Opening o = openTarget(std::string(scheme) + "://127.0.0.1:" + std::to_string(port));
    EXPECT_FALSE(o.opened);
    EXPECT_EQ(o.error, "cannot reach 127.0.0.1:" + std::to_string(port) + " (Connection refused)");
    EXPECT_LT(o.seconds, 2.0);
  }
  SilentListener host(true);
  ASSERT_GT(host.port(), 0);
  const Opening o = openTarget("tcp://127.0.0.1:" + std::to_string(host.port()));
  EXPECT_FALSE(o.opened);
  EXPECT_EQ(o.error,
            "cannot reach 127.0.0.1:" + std::to_string(host.port()) + " (no answer within 3 s)");
  EXPECT_GE(o.seconds, 2.5) << "given its time";
  EXPECT_LT(o.seconds, 10.0) << "but never left hanging";
  EXPECT_GE(o.ticks, 5) << "the event loop ran while the port was opening";
}

TEST(PanelPortsSection, AnEntryThatDoesNotParseIsShownAtStartUpAndNoOtherPortOpens) {
  test::PanelRig rig;
  rig.folder.write("config.ini", "[config]\r\nCOM=2\r\n[ports]\r\nCOM2=tcp://127.0.0.1:0\r\n");
  Program& p = rig.make();
  p.startUp();
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0],
            std::string(kErrorPrefix) + "config.ini [ports] COM2: port 0 is outside 1..65535");
  EXPECT_FALSE(rig.serial->isOpen());

  // Mended by hand while the panel runs: the next connect takes it.
  SilentListener server(false);
  rig.folder.write("config.ini", "[config]\r\nCOM=2\r\n[ports]\r\nCOM2=tcp://127.0.0.1:" +
                                     std::to_string(server.port()) + "\r\n");
  p.form4.link1.click();
  p.form1.Command1.click();
  EXPECT_TRUE(rig.serial->isOpen());
  EXPECT_EQ(rig.dialogs.messages.size(), 1u);
  p.shutDown();
}

// ser2net passes on the unit's answer in the pieces it reads off the line,
// and sends a piece only once the last one is acknowledged (Nagle's rule):
// the panel must not delay its acknowledgement for an answer of its own,
// which it gives only once the message is whole.
TEST(NetworkPortAcknowledgement, APieceOfAMessageIsAcknowledgedAsSoonAsItIsRead) {
  test::ensureQtApp();
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  auto port = makePortFor(
      *parsePortTarget("tcp://127.0.0.1:" + std::to_string(server.serverPort()), nullptr), nullptr);
  std::string error;
  ASSERT_TRUE(port->open(&error)) << error;
  ASSERT_TRUE(test::pumpUntil([&] { return server.hasPendingConnections(); }, 5000));
  QTcpSocket* unit = server.nextPendingConnection();
  const auto unacknowledged = [&] {
    int n = -1;
    ioctl(static_cast<int>(unit->socketDescriptor()), SIOCOUTQ, &n);
    return n;
  };

  // Each whole message is acknowledged at once, as during the dump: the
  // traffic after which Linux delays acknowledgements for an answer to carry.
  constexpr int kMessages = 8;
  std::size_t heard = 0;
  Bytes piece;
  port->onReadyRead = [&] {
    for (port->readInto(piece); !piece.empty(); port->readInto(piece)) heard += piece.size();
    if (heard % kFrameSize == 0) port->write({kAckByte});
  };
  const Bytes message = commandFrame(1, 2);
  for (int i = 1; i <= kMessages; ++i) {
    unit->write(reinterpret_cast<const char*>(message.data()), static_cast<qint64>(message.size()));
    ASSERT_TRUE(test::pumpUntil([&] { return unit->bytesAvailable() == i; }, 5000))
        << "message " << i;
  }

  unit->write(reinterpret_cast<const char*>(message.data()), 2);
  ASSERT_TRUE(test::pumpUntil([&] { return heard == kMessages * kFrameSize + 2; }, 5000));
  EXPECT_EQ(unacknowledged(), 0)
      << "the server would hold the rest of the message for the panel's delayed "
         "acknowledgement";
  unit->close();
}

}  // namespace
}  // namespace kp
