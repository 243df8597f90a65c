#include "qt/network_port.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "qt/socket_options.h"

namespace {

// How long closing waits for the server to finish: the frame that ends a
// link must reach the unit whole, and a dead server must not hang the panel.
constexpr int kCloseMs = 500;

std::int64_t nowMs() {
  QElapsedTimer t;
  t.start();
  return t.msecsSinceReference();
}

}  // namespace

NetworkSerialPort::NetworkSerialPort(kp::PortTarget target, QObject* parent)
    : QObject(parent), target_(std::move(target)), events_([this](std::function<void()> fn) {
        QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
      }) {
  connect(&socket_, &QTcpSocket::readyRead, this, &NetworkSerialPort::pullInput);
  connect(&socket_, &QAbstractSocket::disconnected, this,
          [this] { lost("the server closed the connection"); });
  connect(&socket_, &QAbstractSocket::errorOccurred, this,
          [this](QAbstractSocket::SocketError) { lost(socket_.errorString().toStdString()); });
}

NetworkSerialPort::~NetworkSerialPort() {
  // No handler of the core may run for a port that is going away.
  onReadyRead = nullptr;
  onError = nullptr;
  close();
  socket_.abort();
}

std::string NetworkSerialPort::name() const {
  return number_ > 0 ? "COM" + std::to_string(number_) + " (" + target_.text() + ")"
                     : target_.text();
}

bool NetworkSerialPort::connectSocket(std::string& why) {
  socket_.abort();
  socket_.connectToHost(QString::fromStdString(target_.host), target_.port);
  QEventLoop loop;
  QTimer giveUp;
  giveUp.setSingleShot(true);
  giveUp.setTimerType(Qt::PreciseTimer);
  connect(&socket_, &QAbstractSocket::connected, &loop, &QEventLoop::quit);
  connect(&socket_, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
  connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
  giveUp.start(kConnectMs);
  const auto pending = [this] {
    const auto s = socket_.state();
    return s == QAbstractSocket::HostLookupState || s == QAbstractSocket::ConnectingState;
  };
  // The window keeps painting; clicks and keys wait until the port is open.
  if (pending()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (socket_.state() == QAbstractSocket::ConnectedState) {
    // Frames are a few bytes each, and each waits for its answer.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    acknowledgeAtOnce(socket_.socketDescriptor());
    return true;
  }
  const std::string reason = pending()
                                 ? "no answer within " + std::to_string(kConnectMs / 1000) + " s"
                                 : socket_.errorString().toStdString();
  socket_.abort();
  why = "cannot reach " + target_.hostPort() + " (" + reason + ")";
  return false;
}

bool NetworkSerialPort::negotiate(std::string& why) {
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  const auto settled = [this] { return rfc_.state() != kp::Rfc2217Client::State::Negotiating; };
  // pullInput() was connected first, so it has fed the client by now.
  const auto readConn = connect(&socket_, &QTcpSocket::readyRead, &loop, [&] {
    if (settled()) loop.quit();
  });
  const auto endConn = connect(&socket_, &QAbstractSocket::disconnected, &loop, [&] {
    pullInput();
    rfc_.closedByServer();
    loop.quit();
  });
  connect(&deadline, &QTimer::timeout, &loop, [&] {
    rfc_.tick(nowMs());
    if (settled()) {
      loop.quit();
    } else {
      deadline.start(static_cast<int>(std::max<std::int64_t>(1, rfc_.deadlineMs() - nowMs())));
    }
  });
  sendRaw(rfc_.start(settings_, nowMs()));
  deadline.start(kNegotiateMs);
  if (!settled()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  disconnect(readConn);
  disconnect(endConn);
  if (rfc_.state() == kp::Rfc2217Client::State::Linked) return true;
  why = name() + ": " + rfc_.failure();
  return false;
}

bool NetworkSerialPort::open(std::string* error) {
  std::string scratch;
  std::string& why = error ? *error : scratch;
  if (open_ || opening_) {
    why = name() + (open_ ? " is already open" : " is being opened");
    return false;
  }
  if (!target_.isNetwork()) {
    why = name() + " is not on the network";
    return false;
  }
  opening_ = true;
  rx_.clear();
  rxStart_ = 0;
  const bool ok =
      connectSocket(why) && (target_.kind != kp::PortTarget::Kind::Rfc2217 || negotiate(why));
  opening_ = false;
  if (!ok) {
    socket_.abort();
    return false;
  }
  events_.opened();
  open_ = true;
  // What came behind the last answer of the opening is the line's already.
  if (bytesAvailable() > 0) notifyReadyRead();
  return true;
}

void NetworkSerialPort::close() {
  if (!open_) return;
  events_.closed();
  open_ = false;
  // What was written must reach the line whole (the frame that ends a link
  // first of all), also when the panel connects again at once. ser2net may
  // drop what came just before the end of a Telnet connection, so under RFC
  // 2217 closing first waits until the server has answered a question sent
  // behind the data; then this end says it is done and waits until the
  // server has closed its side. Reading all along, as unread input would
  // make the system reset the connection, and a reset drops what is on its
  // way. All of it bounded: a dead server must not hang the panel.
  QElapsedTimer clock;
  clock.start();
  const auto left = [&] {
    return static_cast<int>(std::max<qint64>(0, kCloseMs - clock.elapsed()));
  };
  const auto connected = [this] { return socket_.state() == QAbstractSocket::ConnectedState; };
  // Qt's waits may end early without cause on Windows: each is tried again
  // until the deadline, unless the connection has ended.
  sendRaw(rfc_.syncRequest());
  while (socket_.bytesToWrite() > 0 && connected() && left() > 0)
    socket_.waitForBytesWritten(left());
  while (rfc_.syncPending() && connected() && left() > 0)
    socket_.waitForReadyRead(left());  // pullInput() feeds the client
  socket_.readAll();
  if (connected()) {
    shutdownSending(socket_.socketDescriptor());
    while (connected() && left() > 0) {
      socket_.waitForReadyRead(left());
      socket_.readAll();
    }
  }
  socket_.abort();
  rx_.clear();
  rxStart_ = 0;
}

void NetworkSerialPort::sendRaw(const kp::Bytes& bytes) {
  if (bytes.empty()) return;
  socket_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  // Non-blocking: the frame leaves now even if the core does not return to
  // the event loop soon; what the system cannot take waits in Qt's buffer.
  socket_.flush();
}

void NetworkSerialPort::write(const kp::Bytes& bytes) {
  if (!open_ || bytes.empty()) return;
  if (target_.kind != kp::PortTarget::Kind::Rfc2217) {
    sendRaw(bytes);
    return;
  }
  scratch_.clear();
  kp::Rfc2217Client::encodeData(bytes.data(), bytes.size(), scratch_);
  sendRaw(scratch_);
}

void NetworkSerialPort::drain(int maxMs) {
  if (!open_) return;
  QElapsedTimer clock;
  clock.start();
  // Qt's wait may end early without cause on Windows: tried again until the
  // deadline, unless the connection has ended.
  while (socket_.bytesToWrite() > 0 && socket_.state() == QAbstractSocket::ConnectedState) {
    const qint64 left = maxMs - clock.elapsed();
    if (left <= 0) return;
    socket_.waitForBytesWritten(static_cast<int>(left));
  }
}

void NetworkSerialPort::discardInput() {
  if (!open_) return;
  pullInput();
  rx_.clear();
  rxStart_ = 0;
  sendRaw(rfc_.purgeRequest());
}

void NetworkSerialPort::readInto(kp::Bytes& out) {
  out.clear();
  std::size_t n = bytesAvailable();
  if (readSize_ > 0) n = std::min(n, readSize_);
  if (n == 0) return;
  const auto from = rx_.begin() + static_cast<std::ptrdiff_t>(rxStart_);
  out.assign(from, from + static_cast<std::ptrdiff_t>(n));
  rxStart_ += n;
  if (rxStart_ == rx_.size()) {
    rx_.clear();
    rxStart_ = 0;
  }
}

void NetworkSerialPort::pullInput() {
  const qint64 waiting = socket_.bytesAvailable();
  if (waiting <= 0) return;
  scratch_.resize(static_cast<std::size_t>(waiting));
  const qint64 got = socket_.read(reinterpret_cast<char*>(scratch_.data()), waiting);
  scratch_.resize(static_cast<std::size_t>(std::max<qint64>(got, 0)));
  // The server may be holding the rest of the unit's answer until this
  // piece is acknowledged.
  renewAcknowledgeAtOnce(socket_.socketDescriptor());
  const bool live = open_ || opening_;
  if (target_.kind == kp::PortTarget::Kind::Rfc2217) {
    // Closing, the client still hears the answer that closing waits for.
    const auto step = rfc_.receive(scratch_, nowMs());
    if (!live) return;
    sendRaw(step.toServer);
    rx_.insert(rx_.end(), step.data.begin(), step.data.end());
  } else if (live) {
    rx_.insert(rx_.end(), scratch_.begin(), scratch_.end());
  }
  if (open_ && bytesAvailable() > 0) notifyReadyRead();
}

void NetworkSerialPort::notifyReadyRead() {
  // Through the queue, as the serial ports do: a handler that waits in a
  // nested event loop still hears later bytes.
  events_.readable([this] {
    if (open_ && bytesAvailable() > 0 && onReadyRead) onReadyRead();
  });
}

void NetworkSerialPort::lost(const std::string& reason) {
  // Failures of an opening are open()'s to report.
  if (!open_ || events_.failing()) return;
  // What the server sent before the end is read, and its notice queued,
  // before the report, which closes the port: nothing is lost.
  pullInput();
  const std::string text = name() + " was disconnected: " + reason;
  events_.failed([this, text] {
    close();
    if (onError) onError(text);
  });
}
