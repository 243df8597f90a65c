#pragma once
// A log of every byte on the serial line, both ways, with timestamps, for
// support calls. Off by default; switched on with Qt's logging rules:
//   QT_LOGGING_RULES="kp.frames.debug=true" karaoke-panel
#include <QElapsedTimer>
#include <QLoggingCategory>

#include "core/ports.h"

Q_DECLARE_LOGGING_CATEGORY(lcFrames)

// Passes everything to the real port and logs what crosses it.
class LoggingSerialPort : public kp::SerialPort {
 public:
  explicit LoggingSerialPort(kp::SerialPort& inner);

  void setPortNumber(int n) override { in_.setPortNumber(n); }
  int portNumber() const override { return in_.portNumber(); }
  void setSettings(const kp::LineSettings& s) override { in_.setSettings(s); }
  void setReadSize(std::size_t n) override { in_.setReadSize(n); }
  bool open(std::string* error) override;
  void close() override;
  bool isOpen() const override { return in_.isOpen(); }
  void write(const kp::Bytes& bytes) override;
  void drain(int maxMs) override;
  void discardInput() override;
  void readInto(kp::Bytes& out) override;
  std::size_t bytesAvailable() const override { return in_.bytesAvailable(); }

 private:
  void log(const char* what, const kp::Bytes& bytes) const;
  kp::SerialPort& in_;
  QElapsedTimer clock_;
};
