#pragma once
// A serial port that hands every call to another one: the base of the ports
// put around a real one to hold a choice of port, to log what crosses it or
// to watch what is written. The inner port's notices come out of this one.
#include <string>

#include "core/ports.h"

namespace kp {

class ForwardingPort : public SerialPort {
 public:
  explicit ForwardingPort(SerialPort* inner = nullptr) { attach(inner); }
  ~ForwardingPort() override { attach(nullptr); }
  ForwardingPort(const ForwardingPort&) = delete;
  ForwardingPort& operator=(const ForwardingPort&) = delete;

  void setPortNumber(int n) override {
    if (in_) in_->setPortNumber(n);
  }
  int portNumber() const override { return in_ ? in_->portNumber() : 0; }
  void setSettings(const LineSettings& s) override {
    if (in_) in_->setSettings(s);
  }
  void setReadSize(std::size_t n) override {
    if (in_) in_->setReadSize(n);
  }
  bool open(std::string* error) override {
    if (in_) return in_->open(error);
    if (error) *error = "no port";
    return false;
  }
  void close() override {
    if (in_) in_->close();
  }
  bool isOpen() const override { return in_ && in_->isOpen(); }
  void write(const Bytes& bytes) override {
    if (in_) in_->write(bytes);
  }
  void drain(int maxMs) override {
    if (in_) in_->drain(maxMs);
  }
  void discardInput() override {
    if (in_) in_->discardInput();
  }
  void readInto(Bytes& out) override {
    if (in_) {
      in_->readInto(out);
    } else {
      out.clear();
    }
  }
  std::size_t bytesAvailable() const override { return in_ ? in_->bytesAvailable() : 0; }

 protected:
  // Hands on to `inner` from now on (nullptr: to nothing); the notices of
  // the one before stop reaching this port.
  void attach(SerialPort* inner) {
    if (in_) {
      in_->onReadyRead = nullptr;
      in_->onError = nullptr;
    }
    in_ = inner;
    if (!in_) return;
    in_->onReadyRead = [this] {
      if (onReadyRead) onReadyRead();
    };
    in_->onError = [this](const std::string& e) { forwardError(e); };
  }
  SerialPort* inner() const { return in_; }
  // The inner port failed under the program; a port that logs hears it here.
  virtual void forwardError(const std::string& error) {
    if (onError) onError(error);
  }

 private:
  SerialPort* in_ = nullptr;
};

}  // namespace kp
