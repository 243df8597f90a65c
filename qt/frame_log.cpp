#include "qt/frame_log.h"

Q_LOGGING_CATEGORY(lcFrames, "kp.frames", QtWarningMsg)

LoggingSerialPort::LoggingSerialPort(kp::SerialPort& inner) : kp::ForwardingPort(&inner) {
  clock_.start();
}

void LoggingSerialPort::forwardError(const std::string& e) {
  qCDebug(lcFrames, "%9.3f port error: %s", clock_.elapsed() / 1000.0, e.c_str());
  kp::ForwardingPort::forwardError(e);
}

void LoggingSerialPort::log(const char* what, const kp::Bytes& bytes) const {
  if (!lcFrames().isDebugEnabled()) return;
  qCDebug(lcFrames, "%9.3f %s %s", clock_.elapsed() / 1000.0, what, kp::toHex(bytes).c_str());
}

bool LoggingSerialPort::open(std::string* error) {
  const bool ok = kp::ForwardingPort::open(error);
  qCDebug(lcFrames, "%9.3f open COM%d: %s", clock_.elapsed() / 1000.0, portNumber(),
          ok ? "ok" : (error ? error->c_str() : "failed"));
  return ok;
}

void LoggingSerialPort::drain(int maxMs) {
  kp::ForwardingPort::drain(maxMs);
  qCDebug(lcFrames, "%9.3f drained", clock_.elapsed() / 1000.0);
}

void LoggingSerialPort::close() {
  qCDebug(lcFrames, "%9.3f close", clock_.elapsed() / 1000.0);
  kp::ForwardingPort::close();
}

void LoggingSerialPort::write(const kp::Bytes& bytes) {
  log("panel→unit", bytes);
  kp::ForwardingPort::write(bytes);
}

void LoggingSerialPort::discardInput() {
  if (lcFrames().isDebugEnabled() && bytesAvailable())
    qCDebug(lcFrames, "%9.3f discard %zu unread bytes", clock_.elapsed() / 1000.0,
            bytesAvailable());
  kp::ForwardingPort::discardInput();
}

void LoggingSerialPort::readInto(kp::Bytes& out) {
  kp::ForwardingPort::readInto(out);
  if (!out.empty()) log("unit→panel", out);
}
