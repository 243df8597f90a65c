#pragma once
// The core's serial port on a serial device server: a TCP connection that
// carries the line's bytes, raw or under RFC 2217 (link/transport/rfc2217.h), which
// also sets the line to the port's settings.
//
// Opening waits for the connection (and the RFC 2217 negotiation) in a local
// event loop that keeps the window painted but holds the operator's input
// back until it is done, for at most kConnectMs (and kNegotiateMs): a host
// that does not answer costs seconds, never a frozen window. A connection
// that ends while open is reported through onError as an unplugged adapter
// is, after the bytes that came before the end have been read. As with any
// kp::SerialPort, onReadyRead must read until bytesAvailable() is 0.
#include <QObject>
#include <QTcpSocket>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/ports.h"
#include "link/transport/port_session.h"
#include "link/transport/port_target.h"
#include "link/transport/rfc2217.h"

class NetworkSerialPort : public QObject, public kp::SerialPort {
  Q_OBJECT
 public:
  static constexpr int kConnectMs = 3000;
  static constexpr int kNegotiateMs = 3000;

  // target must be a network target (tcp or rfc2217).
  explicit NetworkSerialPort(kp::PortTarget target, QObject* parent = nullptr);
  ~NetworkSerialPort() override;

  void setPortNumber(int n) override { number_ = n; }
  int portNumber() const override { return number_; }
  // Raw TCP carries bytes only: there the settings are the server's.
  void setSettings(const kp::LineSettings& settings) override { settings_ = settings; }
  void setReadSize(std::size_t n) override { readSize_ = n; }

  bool open(std::string* error) override;
  void close() override;
  bool isOpen() const override { return open_; }

  void write(const kp::Bytes& bytes) override;
  // Until the system has taken what was written (what the server has done
  // with it is beyond the panel's sight).
  void drain(int maxMs) override;
  // Drops what was received and not read; under RFC 2217 the server is
  // asked to drop what it holds from the line as well.
  void discardInput() override;
  void readInto(kp::Bytes& out) override;
  std::size_t bytesAvailable() const override { return rx_.size() - rxStart_; }

  const kp::PortTarget& target() const { return target_; }

 private:
  bool connectSocket(std::string& why);
  bool negotiate(std::string& why);
  void sendRaw(const kp::Bytes& bytes);
  void pullInput();
  void notifyReadyRead();
  void lost(const std::string& reason);
  // "COM2 (rfc2217://host:4001)", or the target alone when no COMn stands
  // for it.
  std::string name() const;

  kp::PortTarget target_;
  QTcpSocket socket_;
  kp::Rfc2217Client rfc_{kNegotiateMs};
  int number_ = 1;
  kp::LineSettings settings_{};
  std::size_t readSize_ = 0;  // 0: no limit
  bool open_ = false;
  bool opening_ = false;

  kp::Bytes rx_;  // received, not yet read, from rxStart_ on
  std::size_t rxStart_ = 0;
  kp::Bytes scratch_;  // what the socket gave, before the protocol's part is taken out
  // An event of a connection that has since been closed (and maybe
  // reopened) is dropped.
  kp::PortSession events_;
};
