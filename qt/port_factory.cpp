#include "qt/port_factory.h"

#include <utility>

#include "qt/network_port.h"
#include "qt/system_serial_port.h"

std::unique_ptr<kp::SerialPort> makePortFor(const kp::PortTarget& target,
                                            const std::string& programFolder) {
  if (target.isNetwork()) return std::make_unique<NetworkSerialPort>(target);
  return makeSystemSerialPort(programFolder, kp::portTargetDevice(target));
}

namespace {

// Hands everything to the port of the target last looked up.
class PanelSerialPort : public kp::SerialPort {
 public:
  explicit PanelSerialPort(std::string programFolder) : folder_(std::move(programFolder)) {}
  ~PanelSerialPort() override {
    onReadyRead = nullptr;
    onError = nullptr;
  }

  void setPortNumber(int n) override { number_ = n; }
  int portNumber() const override { return number_; }
  void setSettings(const kp::LineSettings& s) override { settings_ = s; }
  void setReadSize(std::size_t n) override { readSize_ = n; }

  bool open(std::string* error) override {
    std::string scratch;
    std::string& why = error ? *error : scratch;
    if (isOpen()) {
      why = "COM" + std::to_string(number_) + " is already open";
      return false;
    }
    const auto target = kp::lookupPortTarget(number_, folder_, &why);
    if (!target) return false;
    if (!inner_ || *target != target_) {
      // The old port may be the one whose handler runs now: it goes at the
      // next change, not under its own feet.
      retired_ = std::move(inner_);
      inner_ = makePortFor(*target, folder_);
      target_ = *target;
      inner_->onReadyRead = [this] {
        if (onReadyRead) onReadyRead();
      };
      inner_->onError = [this](const std::string& e) {
        if (onError) onError(e);
      };
    }
    inner_->setPortNumber(number_);
    inner_->setSettings(settings_);
    inner_->setReadSize(readSize_);
    return inner_->open(&why);
  }
  void close() override {
    if (inner_) inner_->close();
  }
  bool isOpen() const override { return inner_ && inner_->isOpen(); }
  void write(const kp::Bytes& bytes) override {
    if (inner_) inner_->write(bytes);
  }
  void drain(int maxMs) override {
    if (inner_) inner_->drain(maxMs);
  }
  void discardInput() override {
    if (inner_) inner_->discardInput();
  }
  void readInto(kp::Bytes& out) override {
    if (inner_) {
      inner_->readInto(out);
    } else {
      out.clear();
    }
  }
  std::size_t bytesAvailable() const override { return inner_ ? inner_->bytesAvailable() : 0; }

 private:
  std::string folder_;
  int number_ = 1;
  kp::LineSettings settings_{};
  std::size_t readSize_ = 0;
  kp::PortTarget target_;
  std::unique_ptr<kp::SerialPort> inner_;
  std::unique_ptr<kp::SerialPort> retired_;
};

}  // namespace

std::unique_ptr<kp::SerialPort> makePanelSerialPort(const std::string& programFolder) {
  return std::make_unique<PanelSerialPort>(programFolder);
}
