#pragma once
// The Windows communications API as the serial port's logic sees it: a
// narrow set of calls on one open device, each one Win32 call (or a short,
// bounded group of them) with its outcome as plain values. The Qt layer
// makes the calls (qt/win_comm_driver_windows.h); tests drive the logic with
// a scripted driver of their own, so the waits, completions and failures of
// real drivers can be played on any platform.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/ports.h"

namespace kp::comm {

// Win32 error codes the logic tells apart, by value.
enum : std::uint32_t {
  kSuccess = 0,
  kInvalidFunction = 1,        // ERROR_INVALID_FUNCTION
  kFileNotFound = 2,           // ERROR_FILE_NOT_FOUND
  kPathNotFound = 3,           // ERROR_PATH_NOT_FOUND
  kAccessDenied = 5,           // ERROR_ACCESS_DENIED
  kBadCommand = 22,            // ERROR_BAD_COMMAND
  kGenFailure = 31,            // ERROR_GEN_FAILURE
  kSharingViolation = 32,      // ERROR_SHARING_VIOLATION
  kNotSupported = 50,          // ERROR_NOT_SUPPORTED
  kInvalidParameter = 87,      // ERROR_INVALID_PARAMETER
  kOperationAborted = 995,     // ERROR_OPERATION_ABORTED
  kDeviceNotConnected = 1167,  // ERROR_DEVICE_NOT_CONNECTED
};

// WaitCommEvent's mask bits.
enum : std::uint32_t { kEvRxChar = 0x0001, kEvTxEmpty = 0x0004 };

// ClearCommError's error bits.
enum : std::uint32_t {
  kCeRxOver = 0x0001,
  kCeOverrun = 0x0002,
  kCeRxParity = 0x0004,
  kCeFrame = 0x0008,
  kCeBreak = 0x0010,
};

// The fields of a DCB that the port sets, with the DCB's own encodings
// (parity 0 none, 1 odd, 2 even; stop bits 0 one, 2 two; DTR/RTS control 1
// on). GetCommState fills it, SetCommState takes it.
struct LineControl {
  std::uint32_t baudRate = 0;
  std::uint8_t byteSize = 0;
  std::uint8_t parity = 0;
  std::uint8_t stopBits = 0;
  bool binary = false;
  bool parityCheck = false;
  bool outxCtsFlow = false;
  bool outxDsrFlow = false;
  std::uint8_t dtrControl = 0;
  bool dsrSensitivity = false;
  bool txContinueOnXoff = false;
  bool outX = false;
  bool inX = false;
  bool errorCharOn = false;
  bool nullStrip = false;
  std::uint8_t rtsControl = 0;
  bool abortOnError = false;
  std::uint16_t xonLim = 0;
  std::uint16_t xoffLim = 0;
  char xonChar = 0;
  char xoffChar = 0;
  char errorChar = 0;
  char eofChar = 0;
  char evtChar = 0;
  bool operator==(const LineControl&) const = default;
};

// The driver's input buffer the port asks for (SetupComm).
constexpr std::uint32_t kInBufferBytes = 4096;
constexpr std::uint32_t kOutBufferBytes = 4096;

// Sets every field the port relies on, whatever the driver reported: no
// handshake of any kind (the unit has only its data lines), binary, and
// XON/XOFF characters and limits that SetCommState accepts even though they
// are never used (drivers refuse equal characters, and some report zeros).
void fillLineControl(LineControl& line, const LineSettings& settings);

// The two overlapped operations the port keeps in flight, each with its own
// manual-reset event.
enum class Op { Wait, Write };

struct Result {
  enum class State { Done, Pending, Failed };
  State state = State::Failed;
  std::uint32_t code = kSuccess;  // when failed
  std::uint32_t value = 0;        // done: the event mask (Wait), bytes written (Write)
  bool done() const { return state == State::Done; }
  bool pending() const { return state == State::Pending; }
};

struct Status {
  bool ok = false;
  std::uint32_t code = kSuccess;  // when not ok
  std::uint32_t errors = 0;       // CE_* bits since the last call
  std::uint32_t inQueue = 0;      // bytes the driver holds for reading
};

struct ReadResult {
  bool ok = false;
  std::uint32_t code = kSuccess;
  std::size_t got = 0;
};

class Driver {
 public:
  virtual ~Driver() = default;

  // Opens the device for overlapped I/O and makes the operations' events;
  // kSuccess or the error.
  virtual std::uint32_t openDevice(const std::string& path) = 0;
  virtual std::uint32_t getLine(LineControl& line) = 0;
  virtual std::uint32_t setLine(const LineControl& line) = 0;
  // Buffer sizes, read time-outs that make a read return at once, write
  // time-outs, the EV_RXCHAR mask and a purge of both directions.
  virtual std::uint32_t prepare() = 0;
  // Ends pending operations' hold on the device and closes it and the events
  // of every operation not abandoned.
  virtual void closeDevice() = 0;
  // Whether the system still knows a device of this name (COMn).
  virtual bool present(const std::string& name) = 0;
  virtual std::string errorText(std::uint32_t code) = 0;

  // WaitCommEvent and WriteFile, overlapped; the event is signalled when the
  // operation ends, at once or later. startWrite copies the bytes.
  virtual Result startWait() = 0;
  virtual Result startWrite(const std::uint8_t* data, std::size_t n) = 0;
  // GetOverlappedResult without waiting: Pending while the operation runs.
  virtual Result result(Op op) = 0;
  // Waits at most maxMs for the operation to end, then as result().
  virtual Result await(Op op, int maxMs) = 0;
  // CancelIoEx of the operation.
  virtual void cancel(Op op) = 0;
  // The operation did not end after its cancel: its buffers and event are
  // left to the driver for good, and the operation starts afresh next time.
  virtual void abandon(Op op) = 0;
  virtual void resetSignal(Op op) = 0;
  // Whether the operation's event is watched: while it is and the event is
  // signalled, onSignalled(op) runs on the user-interface thread, and runs
  // again after each return for as long as the event stays signalled.
  virtual void watch(Op op, bool on) = 0;
  std::function<void(Op)> onSignalled;

  // ClearCommError.
  virtual Status status() = 0;
  // Reads up to n waiting bytes into out; never blocks for long.
  virtual ReadResult read(std::uint8_t* out, std::size_t n) = 0;
  // PurgeComm of unread input.
  virtual void purgeInput() = 0;
};

}  // namespace kp::comm
