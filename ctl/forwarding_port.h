#pragma once
// A serial port that hands every call to another one: the base of the ports
// karaoke-ctl puts around the system's port to hold its number or to watch
// what is written.
#include <functional>
#include <memory>

#include "core/ports.h"

namespace kp::ctl {

class ForwardingPort : public SerialPort {
 public:
  explicit ForwardingPort(SerialPort& inner) : in_(inner) {
    in_.onReadyRead = [this] {
      if (onReadyRead) onReadyRead();
    };
    in_.onError = [this](const std::string& e) {
      if (onError) onError(e);
    };
  }
  ~ForwardingPort() override {
    in_.onReadyRead = nullptr;
    in_.onError = nullptr;
  }
  ForwardingPort(const ForwardingPort&) = delete;
  ForwardingPort& operator=(const ForwardingPort&) = delete;

  void setPortNumber(int n) override { in_.setPortNumber(n); }
  int portNumber() const override { return in_.portNumber(); }
  void setSettings(const LineSettings& s) override { in_.setSettings(s); }
  void setReadSize(std::size_t n) override { in_.setReadSize(n); }
  bool open(std::string* error) override { return in_.open(error); }
  void close() override { in_.close(); }
  bool isOpen() const override { return in_.isOpen(); }
  void write(const Bytes& bytes) override { in_.write(bytes); }
  void drain(int maxMs) override { in_.drain(maxMs); }
  void discardInput() override { in_.discardInput(); }
  void readInto(Bytes& out) override { in_.readInto(out); }
  std::size_t bytesAvailable() const override { return in_.bytesAvailable(); }

 protected:
  SerialPort& in_;
};

// Tells of every write before it goes out.
class WatchedPort : public ForwardingPort {
 public:
  using ForwardingPort::ForwardingPort;
  void write(const Bytes& bytes) override {
    if (onWrite) onWrite(bytes);
    in_.write(bytes);
  }
  std::function<void(const Bytes&)> onWrite;
};

}  // namespace kp::ctl
