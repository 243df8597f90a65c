#pragma once
// A log of every byte on the serial line, both ways, with timestamps, for
// support calls. Off by default; switched on with Qt's logging rules:
//   QT_LOGGING_RULES="kp.frames.debug=true" karaoke-panel
#include <QElapsedTimer>
#include <QLoggingCategory>

#include "core/forwarding_port.h"

Q_DECLARE_LOGGING_CATEGORY(lcFrames)

// Passes everything to the real port and logs what crosses it.
class LoggingSerialPort : public kp::ForwardingPort {
 public:
  explicit LoggingSerialPort(kp::SerialPort& inner);

  bool open(std::string* error) override;
  void close() override;
  void write(const kp::Bytes& bytes) override;
  void drain(int maxMs) override;
  void discardInput() override;
  void readInto(kp::Bytes& out) override;

 protected:
  void forwardError(const std::string& error) override;

 private:
  void log(const char* what, const kp::Bytes& bytes) const;
  QElapsedTimer clock_;
};
