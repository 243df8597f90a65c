#pragma once
// The core's serial port on QSerialPort.
//
// Receiving: QSerialPort does not emit readyRead again while a slot connected
// to it is still running. The port therefore hands readyRead on through the
// event queue, so a handler that waits in a nested event loop still hears
// later bytes; and, as with any kp::SerialPort, onReadyRead must read until
// bytesAvailable() is 0, since bytes that arrive while it runs raise no
// second call.
#include <QObject>
#include <QSerialPort>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "core/ports.h"
#include "link/transport/port_session.h"

class QtSerialPort : public QObject, public kp::SerialPort {
  Q_OBJECT
 public:
  explicit QtSerialPort(QObject* parent = nullptr);
  // Opens this device instead of the system's port COMn (port_names.h).
  void setDevice(std::string device) { fixedDevice_ = std::move(device); }
  ~QtSerialPort() override;

  void setPortNumber(int n) override { number_ = n; }
  int portNumber() const override { return number_; }
  void setSettings(const kp::LineSettings& settings) override { settings_ = settings; }
  void setReadSize(std::size_t n) override { readSize_ = n; }

  // Every line setting is applied before the device is opened: a Linux
  // pseudo-terminal cannot hold parity, and setting it on the open device
  // fails there, while real ports take it either way.
  bool open(std::string* error) override;
  void close() override;
  bool isOpen() const override { return port_.isOpen(); }

  // Queues the bytes and hands what the driver takes at once to it.
  void write(const kp::Bytes& bytes) override;
  // Qt's buffer, then the driver's (serial_drain.h).
  void drain(int maxMs) override;
  void discardInput() override;
  void readInto(kp::Bytes& out) override;
  std::size_t bytesAvailable() const override;

  // The device path the next open() uses.
  std::string deviceName() const;
  // How messages name the port: "COM3 (/dev/ttyUSB0)", or the device alone
  // when no COMn stands for it.
  std::string shownName() const;

 private:
  void handleError(QSerialPort::SerialPortError error);
  void notifyReadyRead();
  bool applySettings(std::string* why);
  std::string portName() const;
  std::string failureText(QSerialPort::SerialPortError error) const;

  QSerialPort port_;
  std::string fixedDevice_;
  int number_ = 1;
  kp::LineSettings settings_{};
  std::size_t readSize_ = 0;  // 0: no limit
  std::string device_;        // what the open port was opened as
  int readErrors_ = 0;        // failed reads since the last good one
  // A failure reported for a connection that has since been closed (and
  // maybe reopened) is dropped.
  kp::PortSession events_;
};
