#include "qt/win_serial_port_windows.h"

#include <QMetaObject>
#include <QTimer>
#include <QWinEventNotifier>
#include <algorithm>
#include <utility>

#include "core/os_files.h"
#include "link/port_names.h"

namespace {

// How long closing waits for written bytes to leave: a few frames take
// milliseconds at 28800 baud; a port that does not drain in this time is dead.
constexpr DWORD kDrainMs = 500;
// A driver that ends this many waits in a row by itself cannot signal bytes.
constexpr int kStrayAbortsToPoll = 3;
constexpr int kFastPollMs = 1;
constexpr int kIdlePollMs = 50;

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

HANDLE newEvent() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }

void closeEvent(OVERLAPPED& io) {
  if (io.hEvent) CloseHandle(io.hEvent);
  io = OVERLAPPED{};
}

bool present(const std::string& name) {
  wchar_t target[512];
  return QueryDosDeviceW(wide(name).c_str(), target, sizeof target / sizeof target[0]) != 0;
}

DWORD WINAPI flushThread(LPVOID handle) {
  FlushFileBuffers(static_cast<HANDLE>(handle));
  return 0;
}

}  // namespace

WinSerialPort::WinSerialPort(std::string programFolder, QObject* parent)
    : QObject(parent), folder_(std::move(programFolder)) {}

WinSerialPort::~WinSerialPort() {
  // No handler of the core may run for a port that is going away.
  onReadyRead = nullptr;
  onError = nullptr;
  close();
}

bool WinSerialPort::configure(std::string& why) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle_, &dcb)) {
    why = kp::os::systemErrorText(GetLastError());
    return false;
  }
  dcb.BaudRate = static_cast<DWORD>(settings_.baud);
  dcb.ByteSize = static_cast<BYTE>(settings_.dataBits);
  switch (settings_.parity) {
    case kp::Parity::None: dcb.Parity = NOPARITY; break;
    case kp::Parity::Even: dcb.Parity = EVENPARITY; break;
    case kp::Parity::Odd: dcb.Parity = ODDPARITY; break;
  }
  dcb.StopBits = settings_.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = settings_.parity != kp::Parity::None;
  // No handshake of any kind: the unit has only its data lines.
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
  if (!SetCommState(handle_, &dcb)) {
    why = kp::os::systemErrorText(GetLastError());
    return false;
  }
  // Reads return at once with what is there; a write ends within a second
  // more than its bytes need, even on a port that stopped sending.
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = MAXDWORD;
  t.WriteTotalTimeoutMultiplier = 1;
  t.WriteTotalTimeoutConstant = 1000;
  SetupComm(handle_, 4096, 4096);
  if (!SetCommTimeouts(handle_, &t) || !SetCommMask(handle_, EV_RXCHAR)) {
    why = kp::os::systemErrorText(GetLastError());
    return false;
  }
  PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
  return true;
}

bool WinSerialPort::open(std::string* error) {
  std::string scratch;
  std::string& why = error ? *error : scratch;
  if (isOpen()) {
    why = name() + " is already open";
    return false;
  }
  const std::string device = kp::portDevice(number_, folder_);
  if (device.empty()) {
    why = name() + " is not a valid port number";
    return false;
  }
  handle_ = CreateFileW(wide(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    switch (code) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
        why = name() + " does not exist on this computer. Check that the cable or USB serial "
              "adapter is plugged in, and look up its number in Device Manager under "
              "Ports (COM & LPT).";
        break;
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION:
        why = name() + " is in use by another program. Close that program, or choose another "
              "port in Serial Port.";
        break;
      default:
        why = "Cannot open " + name() + ": " + kp::os::systemErrorText(code);
    }
    return false;
  }
  std::string settingsError;
  if (!configure(settingsError)) {
    why = name() + " does not take the line settings " + std::to_string(settings_.baud) + "," +
          (settings_.parity == kp::Parity::Even ? "E" : settings_.parity == kp::Parity::Odd ? "O" : "N") +
          "," + std::to_string(settings_.dataBits) + "," + std::to_string(settings_.stopBits) +
          ": " + settingsError;
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return false;
  }
  waitIo_.hEvent = newEvent();
  readIo_.hEvent = newEvent();
  writeIo_.hEvent = newEvent();
  waitNotifier_ = new QWinEventNotifier(waitIo_.hEvent, this);
  writeNotifier_ = new QWinEventNotifier(writeIo_.hEvent, this);
  connect(waitNotifier_, &QWinEventNotifier::activated, this, [this] { commEvent(); });
  connect(writeNotifier_, &QWinEventNotifier::activated, this, [this] {
    if (writePending_ && finishWrite(false, 0)) startWrite();
  });
  ++session_;
  rx_.clear();
  txQueue_.clear();
  notifyPending_ = false;
  failurePending_ = false;
  armWait();
  return true;
}

void WinSerialPort::armWait() {
  if (!isOpen() || waitPending_ || pollTimer_) return;
  for (;;) {
    ResetEvent(waitIo_.hEvent);
    eventMask_ = 0;
    if (!WaitCommEvent(handle_, &eventMask_, &waitIo_)) {
      const DWORD code = GetLastError();
      if (code == ERROR_IO_PENDING) {
        waitPending_ = true;
        // Bytes that came between the last read and this wait signal no
        // event with every driver: take them now rather than at the next.
        pullInput();
        return;
      }
      fail(code);
      return;
    }
    // Done at once: bytes were already waiting.
    if (!pullInput()) return;
  }
}

void WinSerialPort::commEvent() {
  if (!waitPending_) return;
  DWORD unused = 0;
  const bool ok = GetOverlappedResult(handle_, &waitIo_, &unused, FALSE);
  const DWORD code = ok ? ERROR_SUCCESS : GetLastError();
  if (!ok && code == ERROR_IO_INCOMPLETE) return;
  waitPending_ = false;
  if (!ok) {
    if (code != ERROR_OPERATION_ABORTED) {
      fail(code);
    } else if (++strayAborts_ < kStrayAbortsToPoll) {
      armWait();  // this port closes by releaseHandles(), which waits no more
    } else {
      pollTimer_ = new QTimer(this);
      pollTimer_->setSingleShot(true);
      pollTimer_->setTimerType(Qt::PreciseTimer);
      connect(pollTimer_, &QTimer::timeout, this, [this] { poll(); });
      pollSoon();
    }
    return;
  }
  strayAborts_ = 0;
  // Whatever the event says, take all that waits: drivers merge events.
  if (pullInput()) armWait();
}

void WinSerialPort::poll() {
  const std::size_t before = rx_.size();
  if (!pullInput()) return;
  const bool heard = rx_.size() > before;
  const int next = heard ? kFastPollMs : std::min(pollTimer_->interval() * 2, kIdlePollMs);
  pollTimer_->start(std::max(next, kFastPollMs));
}

void WinSerialPort::pollSoon() {
  if (pollTimer_) pollTimer_->start(kFastPollMs);
}

bool WinSerialPort::pullInput() {
  for (;;) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_, &errors, &status)) {
      fail(GetLastError());
      return false;
    }
    if (status.cbInQue == 0) break;
    const std::size_t at = rx_.size();
    rx_.resize(at + status.cbInQue);
    ResetEvent(readIo_.hEvent);
    DWORD got = 0;
    if (!ReadFile(handle_, rx_.data() + at, status.cbInQue, &got, &readIo_)) {
      const DWORD code = GetLastError();
      // The read timeouts make even a pending read end at once.
      if (code != ERROR_IO_PENDING || !GetOverlappedResult(handle_, &readIo_, &got, TRUE)) {
        rx_.resize(at);
        fail(code == ERROR_IO_PENDING ? GetLastError() : code);
        return false;
      }
    }
    rx_.resize(at + got);
    if (got == 0) break;
  }
  if (!rx_.empty()) notifyReadyRead();
  return true;
}

void WinSerialPort::notifyReadyRead() {
  if (notifyPending_) return;
  notifyPending_ = true;
  const std::uint64_t session = session_;
  // Through the queue, so that a handler waiting in a nested event loop
  // still hears the bytes that arrive meanwhile.
  QMetaObject::invokeMethod(
      this,
      [this, session] {
        notifyPending_ = false;
        if (session != session_ || !isOpen()) return;
        if (!rx_.empty() && onReadyRead) onReadyRead();
      },
      Qt::QueuedConnection);
}

void WinSerialPort::readInto(kp::Bytes& out) {
  std::size_t n = rx_.size();
  if (readSize_ > 0) n = std::min(n, readSize_);
  out.assign(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(n));
  rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(n));
}

void WinSerialPort::discardInput() {
  if (!isOpen()) return;
  PurgeComm(handle_, PURGE_RXCLEAR);
  rx_.clear();
}

void WinSerialPort::write(const kp::Bytes& bytes) {
  if (!isOpen() || bytes.empty()) return;
  txQueue_.insert(txQueue_.end(), bytes.begin(), bytes.end());
  if (!writePending_) startWrite();
  pollSoon();  // an answer is due
}

void WinSerialPort::startWrite() {
  if (!isOpen() || writePending_ || txQueue_.empty()) return;
  txFlight_.swap(txQueue_);
  txQueue_.clear();
  ResetEvent(writeIo_.hEvent);
  writePending_ = true;
  if (!WriteFile(handle_, txFlight_.data(), static_cast<DWORD>(txFlight_.size()), nullptr,
                 &writeIo_)) {
    const DWORD code = GetLastError();
    if (code != ERROR_IO_PENDING) {
      writePending_ = false;
      fail(code);
    }
  }
  // Done at once or not, the event is signalled at the end and finishWrite()
  // takes the result.
}

bool WinSerialPort::finishWrite(bool wait, DWORD waitMs) {
  if (wait && WaitForSingleObject(writeIo_.hEvent, waitMs) != WAIT_OBJECT_0) return false;
  DWORD written = 0;
  if (!GetOverlappedResult(handle_, &writeIo_, &written, FALSE)) {
    const DWORD code = GetLastError();
    if (code == ERROR_IO_INCOMPLETE) return false;
    writePending_ = false;
    txFlight_.clear();
    if (code != ERROR_OPERATION_ABORTED) fail(code);
    return false;
  }
  writePending_ = false;
  // A write cut short by its time-out keeps its rest first in line.
  if (written < txFlight_.size())
    txQueue_.insert(txQueue_.begin(), txFlight_.begin() + written, txFlight_.end());
  txFlight_.clear();
  return true;
}

void WinSerialPort::drainOutput(DWORD maxMs) {
  if (!isOpen()) return;
  const ULONGLONG deadline = GetTickCount64() + maxMs;
  while (writePending_ || !txQueue_.empty()) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return;
    if (!writePending_) startWrite();
    if (writePending_ && !finishWrite(true, static_cast<DWORD>(deadline - now))) return;
  }
  // The driver's own buffer, on a thread of its own so that the wait stays
  // bounded: FlushFileBuffers on a port that no longer sends never returns.
  const HANDLE flusher = CreateThread(nullptr, 0, flushThread, handle_, 0, nullptr);
  if (!flusher) return;
  const ULONGLONG now = GetTickCount64();
  const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
  if (WaitForSingleObject(flusher, left) != WAIT_OBJECT_0) {
    CancelSynchronousIo(flusher);
    WaitForSingleObject(flusher, 100);
  }
  CloseHandle(flusher);
}

void WinSerialPort::close() {
  if (!isOpen()) return;
  ++session_;
  drainOutput(kDrainMs);
  releaseHandles();
}

void WinSerialPort::releaseHandles() {
  delete waitNotifier_;
  delete writeNotifier_;
  delete pollTimer_;
  waitNotifier_ = writeNotifier_ = nullptr;
  pollTimer_ = nullptr;
  strayAborts_ = 0;
  // Ends the pending WaitCommEvent and write before their buffers go.
  SetCommMask(handle_, 0);
  CancelIo(handle_);
  DWORD unused = 0;
  if (waitPending_) GetOverlappedResult(handle_, &waitIo_, &unused, TRUE);
  if (writePending_) GetOverlappedResult(handle_, &writeIo_, &unused, TRUE);
  waitPending_ = writePending_ = false;
  CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  closeEvent(waitIo_);
  closeEvent(readIo_);
  closeEvent(writeIo_);
  rx_.clear();
  txQueue_.clear();
  txFlight_.clear();
}

void WinSerialPort::fail(DWORD code) {
  if (failurePending_ || !isOpen()) return;
  failurePending_ = true;
  const std::string text = present(name())
                               ? name() + " failed: " + kp::os::systemErrorText(code)
                               : name() + " was disconnected";
  // Closed from the queue, not here: this may run inside the notifier that
  // closing deletes.
  const std::uint64_t session = session_;
  QMetaObject::invokeMethod(
      this,
      [this, session, text] {
        failurePending_ = false;
        if (session != session_) return;  // closed by the program meanwhile
        ++session_;
        releaseHandles();
        if (onError) onError(text);
      },
      Qt::QueuedConnection);
}
