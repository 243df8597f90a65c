#include "qt/frame_log.h"

Q_LOGGING_CATEGORY(lcFrames, "kp.frames", QtWarningMsg)

LoggingSerialPort::LoggingSerialPort(kp::SerialPort& inner) : in_(inner) {
  clock_.start();
  in_.onReadyRead = [this] {
    if (onReadyRead) onReadyRead();
  };
  in_.onError = [this](const std::string& e) {
    qCDebug(lcFrames, "%9.3f port error: %s", clock_.elapsed() / 1000.0, e.c_str());
    if (onError) onError(e);
  };
}

void LoggingSerialPort::log(const char* what, const kp::Bytes& bytes) const {
  if (!lcFrames().isDebugEnabled()) return;
  qCDebug(lcFrames, "%9.3f %s %s", clock_.elapsed() / 1000.0, what, kp::toHex(bytes).c_str());
}

bool LoggingSerialPort::open(std::string* error) {
  const bool ok = in_.open(error);
  qCDebug(lcFrames, "%9.3f open COM%d: %s", clock_.elapsed() / 1000.0, in_.portNumber(),
          ok ? "ok" : (error ? error->c_str() : "failed"));
  return ok;
}

void LoggingSerialPort::drain(int maxMs) {
  in_.drain(maxMs);
  qCDebug(lcFrames, "%9.3f drained", clock_.elapsed() / 1000.0);
}

void LoggingSerialPort::close() {
  qCDebug(lcFrames, "%9.3f close", clock_.elapsed() / 1000.0);
  in_.close();
}

void LoggingSerialPort::write(const kp::Bytes& bytes) {
  log("panel→unit", bytes);
  in_.write(bytes);
}

void LoggingSerialPort::discardInput() {
  if (lcFrames().isDebugEnabled() && in_.bytesAvailable())
    qCDebug(lcFrames, "%9.3f discard %zu unread bytes", clock_.elapsed() / 1000.0,
            in_.bytesAvailable());
  in_.discardInput();
}

void LoggingSerialPort::readInto(kp::Bytes& out) {
  in_.readInto(out);
  if (!out.empty()) log("unit→panel", out);
}
