#include "qt/qt_serial_port.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>
#include <utility>

#include "link/transport/port_names.h"
#include "qt/serial_drain.h"

QtSerialPort::QtSerialPort(QObject* parent)
    : QObject(parent), events_([this](std::function<void()> fn) {
        QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
      }) {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialPort::notifyReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::handleError);
}

QtSerialPort::~QtSerialPort() {
  // No handler of the core may run for a port that is going away.
  onReadyRead = nullptr;
  onError = nullptr;
  port_.close();
}

std::string QtSerialPort::portName() const {
  return number_ > 0 || fixedDevice_.empty() ? "COM" + std::to_string(number_) : fixedDevice_;
}

std::string QtSerialPort::shownName() const {
  const std::string device = device_.empty() ? deviceName() : device_;
  return number_ > 0 ? portName() + " (" + device + ")" : device;
}

std::string QtSerialPort::deviceName() const {
  const std::string device = fixedDevice_.empty() ? kp::systemPortDevice(number_) : fixedDevice_;
  if (device.empty()) return device;
  // QSerialPort takes a bare name for a device under /dev, so a path must be
  // absolute to reach a link in the program folder.
  const QString path = QString::fromStdString(device);
  return (QFileInfo(path).isRelative() ? QFileInfo(path).absoluteFilePath() : path).toStdString();
}

bool QtSerialPort::applySettings(std::string* why) {
  QSerialPort::Parity parity = QSerialPort::NoParity;
  switch (settings_.parity) {
    case kp::Parity::None:
      parity = QSerialPort::NoParity;
      break;
    case kp::Parity::Even:
      parity = QSerialPort::EvenParity;
      break;
    case kp::Parity::Odd:
      parity = QSerialPort::OddParity;
      break;
  }
  if (settings_.dataBits < 5 || settings_.dataBits > 8) {
    *why = "unsupported data bits " + std::to_string(settings_.dataBits);
    return false;
  }
  if (settings_.stopBits != 1 && settings_.stopBits != 2) {
    *why = "unsupported stop bits " + std::to_string(settings_.stopBits);
    return false;
  }
  const bool ok =
      port_.setBaudRate(settings_.baud) &&
      port_.setDataBits(static_cast<QSerialPort::DataBits>(settings_.dataBits)) &&
      port_.setParity(parity) &&
      port_.setStopBits(settings_.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
      port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!ok) *why = port_.errorString().toStdString();
  return ok;
}

bool QtSerialPort::open(std::string* error) {
  std::string scratch;
  std::string& why = error ? *error : scratch;
  const std::string name = portName();
  if (port_.isOpen()) {
    why = name + " is already open";
    return false;
  }
  const std::string device = deviceName();
  if (device.empty()) {
    why = name + " is not a valid port number";
    return false;
  }
  const std::string shown = number_ > 0 ? name + " (" + device + ")" : device;
  port_.setPortName(QString::fromStdString(device));
  std::string settingsError;
  if (!applySettings(&settingsError)) {
    why = "Cannot set up " + shown + ": " + settingsError;
    return false;
  }
  if (!port_.open(QIODevice::ReadWrite)) {
    why = "Cannot open " + shown + ": " + port_.errorString().toStdString();
    // Built on Linux only: Windows has a port of its own.
    if (port_.error() == QSerialPort::PermissionError)
      why +=
          ". If no other program is using the port, add your user to the "
          "dialout group (sudo usermod -aG dialout $USER) and log in again.";
    port_.clearError();
    return false;
  }
  events_.opened();
  device_ = device;
  readErrors_ = 0;
  return true;
}

void QtSerialPort::close() {
  if (!port_.isOpen()) return;
  events_.closed();
  port_.close();
}

void QtSerialPort::write(const kp::Bytes& bytes) {
  if (!port_.isOpen() || bytes.empty()) return;
  port_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  // Non-blocking: the frame leaves now even if the core does not return to
  // the event loop soon; what the driver cannot take waits in Qt's buffer.
  port_.flush();
}

void QtSerialPort::drain(int maxMs) {
  if (!port_.isOpen()) return;
  QElapsedTimer clock;
  clock.start();
  while (port_.bytesToWrite() > 0) {
    const qint64 left = maxMs - clock.elapsed();
    if (left <= 0 || !port_.waitForBytesWritten(static_cast<int>(left))) return;
  }
  const qint64 left = maxMs - clock.elapsed();
  if (left > 0) drainSerialDriver(port_.handle(), static_cast<int>(left));
}

void QtSerialPort::discardInput() {
  if (!port_.isOpen()) return;
  port_.clear(QSerialPort::Input);
  port_.readAll();
}

void QtSerialPort::readInto(kp::Bytes& out) {
  out.clear();
  if (!port_.isOpen()) return;
  qint64 n = port_.bytesAvailable();
  if (readSize_ > 0) n = std::min<qint64>(n, static_cast<qint64>(readSize_));
  if (n <= 0) return;
  out.resize(static_cast<std::size_t>(n));
  const qint64 got = port_.read(reinterpret_cast<char*>(out.data()), n);
  out.resize(static_cast<std::size_t>(std::max<qint64>(got, 0)));
}

std::size_t QtSerialPort::bytesAvailable() const {
  if (!port_.isOpen()) return 0;
  return static_cast<std::size_t>(std::max<qint64>(port_.bytesAvailable(), 0));
}

void QtSerialPort::notifyReadyRead() {
  readErrors_ = 0;
  events_.readable([this] {
    if (port_.isOpen() && port_.bytesAvailable() > 0 && onReadyRead) onReadyRead();
  });
}

namespace {
// A hung-up line reads as end-of-file at every turn of the loop and Qt
// reports each one; a single failed read on a live line is survivable.
constexpr int kReadErrorsToFail = 16;
}  // namespace

std::string QtSerialPort::failureText(QSerialPort::SerialPortError error) const {
  const std::string head = shownName();
  if (!QFileInfo::exists(QString::fromStdString(device_))) return head + " was disconnected";
  if (error == QSerialPort::ReadError) return head + " stopped delivering data";
  return head + " failed: " + port_.errorString().toStdString();
}

void QtSerialPort::handleError(QSerialPort::SerialPortError error) {
  // Errors of a failing open() are reported by open() itself.
  if (!port_.isOpen() || events_.failing()) return;
  switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
      break;
    case QSerialPort::ReadError:
      if (++readErrors_ >= kReadErrorsToFail || !QFileInfo::exists(QString::fromStdString(device_)))
        break;
      return;
    default:
      return;
  }
  const std::string text = failureText(error);
  // Closed from the queue, not here: this runs inside QSerialPort's own
  // notifier, which closing tears down.
  events_.failed([this, text] {
    close();
    if (onError) onError(text);
  });
}
