#include "qt/win_comm_driver_windows.h"

#include <QWinEventNotifier>
#include <algorithm>

#include "core/os_files.h"

namespace {

using kp::comm::Op;
using kp::comm::Result;
using State = kp::comm::Result::State;

static_assert(kp::comm::kInvalidFunction == ERROR_INVALID_FUNCTION);
static_assert(kp::comm::kFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(kp::comm::kPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(kp::comm::kAccessDenied == ERROR_ACCESS_DENIED);
static_assert(kp::comm::kBadCommand == ERROR_BAD_COMMAND);
static_assert(kp::comm::kGenFailure == ERROR_GEN_FAILURE);
static_assert(kp::comm::kSharingViolation == ERROR_SHARING_VIOLATION);
static_assert(kp::comm::kNotSupported == ERROR_NOT_SUPPORTED);
static_assert(kp::comm::kInvalidParameter == ERROR_INVALID_PARAMETER);
static_assert(kp::comm::kOperationAborted == ERROR_OPERATION_ABORTED);
static_assert(kp::comm::kDeviceNotConnected == ERROR_DEVICE_NOT_CONNECTED);
static_assert(kp::comm::kEvRxChar == EV_RXCHAR && kp::comm::kEvTxEmpty == EV_TXEMPTY);
static_assert(kp::comm::kCeRxOver == CE_RXOVER && kp::comm::kCeOverrun == CE_OVERRUN &&
              kp::comm::kCeRxParity == CE_RXPARITY && kp::comm::kCeFrame == CE_FRAME &&
              kp::comm::kCeBreak == CE_BREAK);

// A read returns at once with what is there; this bounds a driver that
// keeps it pending anyway, and then its cancel.
constexpr DWORD kReadWaitMs = 100;

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

Result done(std::uint32_t value) { return {State::Done, ERROR_SUCCESS, value}; }
Result failed(DWORD code) { return {State::Failed, code, 0}; }
Result pending() { return {State::Pending, ERROR_SUCCESS, 0}; }

std::uint32_t lastError() {
  const DWORD code = GetLastError();
  return code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE;
}

}  // namespace

WinCommDriver::IoBlock::~IoBlock() {
  if (io.hEvent) CloseHandle(io.hEvent);
}

WinCommDriver::WinCommDriver(QObject* parent) : QObject(parent) {}

WinCommDriver::~WinCommDriver() { closeDevice(); }

std::uint32_t WinCommDriver::makeSlot(Op op) {
  Slot& s = slot(op);
  auto block = std::make_unique<IoBlock>();
  block->io.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!block->io.hEvent) return lastError();
  s.notifier = new QWinEventNotifier(this);
  s.notifier->setHandle(block->io.hEvent);
  s.notifier->setEnabled(s.watched);
  connect(s.notifier, &QWinEventNotifier::activated, this, [this, op] {
    if (onSignalled) onSignalled(op);
  });
  s.block = std::move(block);
  return ERROR_SUCCESS;
}

void WinCommDriver::dropSlot(Op op, bool leak) {
  Slot& s = slot(op);
  delete s.notifier;
  s.notifier = nullptr;
  // An operation the driver still holds may yet write to its block and
  // signal its event: both stay, for good.
  if (leak)
    (void)s.block.release();
  else
    s.block.reset();
}

std::uint32_t WinCommDriver::openDevice(const std::string& path) {
  closeDevice();
  handle_ = CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) return lastError();
  std::uint32_t code = makeSlot(Op::Wait);
  if (code == ERROR_SUCCESS) code = makeSlot(Op::Write);
  if (code == ERROR_SUCCESS) {
    readBlock_ = std::make_unique<IoBlock>();
    readBlock_->io.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!readBlock_->io.hEvent) code = lastError();
  }
  if (code != ERROR_SUCCESS) closeDevice();
  return code;
}

std::uint32_t WinCommDriver::getLine(kp::comm::LineControl& line) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle_, &dcb)) return lastError();
  line.baudRate = dcb.BaudRate;
  line.byteSize = dcb.ByteSize;
  line.parity = dcb.Parity;
  line.stopBits = dcb.StopBits;
  line.binary = dcb.fBinary;
  line.parityCheck = dcb.fParity;
  line.outxCtsFlow = dcb.fOutxCtsFlow;
  line.outxDsrFlow = dcb.fOutxDsrFlow;
  line.dtrControl = static_cast<std::uint8_t>(dcb.fDtrControl);
  line.dsrSensitivity = dcb.fDsrSensitivity;
  line.txContinueOnXoff = dcb.fTXContinueOnXoff;
  line.outX = dcb.fOutX;
  line.inX = dcb.fInX;
  line.errorCharOn = dcb.fErrorChar;
  line.nullStrip = dcb.fNull;
  line.rtsControl = static_cast<std::uint8_t>(dcb.fRtsControl);
  line.abortOnError = dcb.fAbortOnError;
  line.xonLim = dcb.XonLim;
  line.xoffLim = dcb.XoffLim;
  line.xonChar = dcb.XonChar;
  line.xoffChar = dcb.XoffChar;
  line.errorChar = dcb.ErrorChar;
  line.eofChar = dcb.EofChar;
  line.evtChar = dcb.EvtChar;
  return ERROR_SUCCESS;
}

std::uint32_t WinCommDriver::setLine(const kp::comm::LineControl& line) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle_, &dcb)) return lastError();
  dcb.BaudRate = line.baudRate;
  dcb.ByteSize = line.byteSize;
  dcb.Parity = line.parity;
  dcb.StopBits = line.stopBits;
  dcb.fBinary = line.binary;
  dcb.fParity = line.parityCheck;
  dcb.fOutxCtsFlow = line.outxCtsFlow;
  dcb.fOutxDsrFlow = line.outxDsrFlow;
  dcb.fDtrControl = line.dtrControl;
  dcb.fDsrSensitivity = line.dsrSensitivity;
  dcb.fTXContinueOnXoff = line.txContinueOnXoff;
  dcb.fOutX = line.outX;
  dcb.fInX = line.inX;
  dcb.fErrorChar = line.errorCharOn;
  dcb.fNull = line.nullStrip;
  dcb.fRtsControl = line.rtsControl;
  dcb.fAbortOnError = line.abortOnError;
  dcb.XonLim = line.xonLim;
  dcb.XoffLim = line.xoffLim;
  dcb.XonChar = line.xonChar;
  dcb.XoffChar = line.xoffChar;
  dcb.ErrorChar = line.errorChar;
  dcb.EofChar = line.eofChar;
  dcb.EvtChar = line.evtChar;
  return SetCommState(handle_, &dcb) ? ERROR_SUCCESS : lastError();
}

std::uint32_t WinCommDriver::prepare() {
  // Not every driver sizes its buffers on request; its own sizes do.
  SetupComm(handle_, kp::comm::kInBufferBytes, kp::comm::kOutBufferBytes);
  // Reads return at once with what is there; a write ends within a second
  // more than its bytes need, even on a port that stopped sending.
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = MAXDWORD;
  t.WriteTotalTimeoutMultiplier = 1;
  t.WriteTotalTimeoutConstant = 1000;
  if (!SetCommTimeouts(handle_, &t) || !SetCommMask(handle_, EV_RXCHAR)) return lastError();
  PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
  return ERROR_SUCCESS;
}

void WinCommDriver::closeDevice() {
  if (handle_ != INVALID_HANDLE_VALUE) SetCommMask(handle_, 0);  // ends a pending wait
  for (Op op : {Op::Wait, Op::Write}) {
    Slot& s = slot(op);
    dropSlot(op, s.block && !HasOverlappedIoCompleted(&s.block->io));
    s.watched = false;
  }
  if (readBlock_ && !HasOverlappedIoCompleted(&readBlock_->io)) (void)readBlock_.release();
  readBlock_.reset();
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool WinCommDriver::present(const std::string& name) {
  wchar_t target[512];
  return QueryDosDeviceW(wide(name).c_str(), target, sizeof target / sizeof target[0]) != 0;
}

std::string WinCommDriver::errorText(std::uint32_t code) { return kp::os::systemErrorText(code); }

Result WinCommDriver::startWait() {
  IoBlock* b = slot(Op::Wait).block.get();
  if (!b) return failed(ERROR_INVALID_HANDLE);
  b->mask = 0;
  if (WaitCommEvent(handle_, &b->mask, &b->io)) return done(b->mask);
  const DWORD code = GetLastError();
  return code == ERROR_IO_PENDING ? pending() : failed(code);
}

Result WinCommDriver::startWrite(const std::uint8_t* data, std::size_t n) {
  IoBlock* b = slot(Op::Write).block.get();
  if (!b) return failed(ERROR_INVALID_HANDLE);
  b->data.assign(data, data + n);
  if (WriteFile(handle_, b->data.data(), static_cast<DWORD>(b->data.size()), nullptr, &b->io))
    return overlappedResult(*b, Op::Write);
  const DWORD code = GetLastError();
  return code == ERROR_IO_PENDING ? pending() : failed(code);
}

Result WinCommDriver::overlappedResult(IoBlock& b, Op op) {
  DWORD n = 0;
  if (GetOverlappedResult(handle_, &b.io, &n, FALSE)) return done(op == Op::Wait ? b.mask : n);
  const DWORD code = GetLastError();
  return code == ERROR_IO_INCOMPLETE ? pending() : failed(code);
}

Result WinCommDriver::result(Op op) {
  IoBlock* b = slot(op).block.get();
  return b ? overlappedResult(*b, op) : failed(ERROR_INVALID_HANDLE);
}

Result WinCommDriver::await(Op op, int maxMs) {
  IoBlock* b = slot(op).block.get();
  if (!b) return failed(ERROR_INVALID_HANDLE);
  const Result now = overlappedResult(*b, op);
  if (!now.pending()) return now;
  // The event, not the result, is waited on: bounded, whatever the driver does.
  WaitForSingleObject(b->io.hEvent, static_cast<DWORD>(std::max(0, maxMs)));
  return overlappedResult(*b, op);
}

void WinCommDriver::cancel(Op op) {
  if (IoBlock* b = slot(op).block.get()) CancelIoEx(handle_, &b->io);
}

void WinCommDriver::abandon(Op op) {
  dropSlot(op, true);
  makeSlot(op);
}

void WinCommDriver::resetSignal(Op op) {
  if (IoBlock* b = slot(op).block.get()) ResetEvent(b->io.hEvent);
}

void WinCommDriver::watch(Op op, bool on) {
  Slot& s = slot(op);
  s.watched = on;
  if (s.notifier && s.notifier->isEnabled() != on) s.notifier->setEnabled(on);
}

kp::comm::Status WinCommDriver::status() {
  DWORD errors = 0;
  COMSTAT st{};
  if (!ClearCommError(handle_, &errors, &st)) return {false, lastError(), 0, 0};
  return {true, ERROR_SUCCESS, errors, st.cbInQue};
}

kp::comm::ReadResult WinCommDriver::read(std::uint8_t* out, std::size_t n) {
  if (!readBlock_) return {false, ERROR_INVALID_HANDLE, 0};
  IoBlock& b = *readBlock_;
  b.data.resize(n);
  ResetEvent(b.io.hEvent);
  DWORD got = 0;
  if (!ReadFile(handle_, b.data.data(), static_cast<DWORD>(n), nullptr, &b.io)) {
    const DWORD code = GetLastError();
    if (code != ERROR_IO_PENDING) return {false, code, 0};
    if (WaitForSingleObject(b.io.hEvent, kReadWaitMs) != WAIT_OBJECT_0) {
      CancelIoEx(handle_, &b.io);
      if (WaitForSingleObject(b.io.hEvent, kReadWaitMs) != WAIT_OBJECT_0) {
        // Never given back: the block stays the driver's.
        (void)readBlock_.release();
        readBlock_ = std::make_unique<IoBlock>();
        readBlock_->io.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        return {false, ERROR_OPERATION_ABORTED, 0};
      }
    }
  }
  if (!GetOverlappedResult(handle_, &b.io, &got, FALSE)) return {false, lastError(), 0};
  got = std::min<DWORD>(got, static_cast<DWORD>(n));
  std::copy_n(b.data.begin(), got, out);
  return {true, ERROR_SUCCESS, got};
}

void WinCommDriver::purgeInput() { PurgeComm(handle_, PURGE_RXCLEAR); }
