#pragma once
// The core's serial port on the Windows communications API.
//
// Event-driven, without threads: an overlapped WaitCommEvent signals arriving
// bytes through a QWinEventNotifier, and writes are overlapped, so an idle
// link costs no CPU and a write never blocks the window. A driver that keeps
// ending the wait unasked (some virtual ports; Wine on a pseudo-terminal) is
// asked for waiting bytes by a timer instead: every millisecond or two while
// the unit talks or an answer is due, backing off to every 50 ms when the
// line is idle. As with any kp::SerialPort, onReadyRead must read until
// bytesAvailable() is 0.
#include <windows.h>

#include <QObject>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/ports.h"

class QTimer;
class QWinEventNotifier;

class WinSerialPort : public QObject, public kp::SerialPort {
  Q_OBJECT
 public:
  explicit WinSerialPort(std::string programFolder, QObject* parent = nullptr);
  ~WinSerialPort() override;

  void setPortNumber(int n) override { number_ = n; }
  int portNumber() const override { return number_; }
  void setSettings(const kp::LineSettings& settings) override { settings_ = settings; }
  void setReadSize(std::size_t n) override { readSize_ = n; }

  bool open(std::string* error) override;
  // Lets what was written leave the machine first (bounded, so a dead port
  // cannot hang the program): the unit must hear a closing frame whole.
  void close() override;
  bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

  void write(const kp::Bytes& bytes) override;
  void drain(int maxMs) override { drainOutput(static_cast<DWORD>(maxMs > 0 ? maxMs : 0)); }
  void discardInput() override;
  void readInto(kp::Bytes& out) override;
  std::size_t bytesAvailable() const override { return rx_.size(); }

 private:
  std::string name() const { return "COM" + std::to_string(number_); }
  bool configure(std::string& why);
  void armWait();
  void commEvent();
  void poll();
  void pollSoon();
  bool pullInput();
  void startWrite();
  bool finishWrite(bool wait, DWORD waitMs);
  void drainOutput(DWORD maxMs);
  void notifyReadyRead();
  void fail(DWORD code);
  void releaseHandles();

  std::string folder_;
  int number_ = 1;
  kp::LineSettings settings_{};
  std::size_t readSize_ = 0;  // 0: no limit

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  OVERLAPPED waitIo_{};
  OVERLAPPED readIo_{};
  OVERLAPPED writeIo_{};
  DWORD eventMask_ = 0;
  bool waitPending_ = false;
  bool writePending_ = false;
  QWinEventNotifier* waitNotifier_ = nullptr;
  QWinEventNotifier* writeNotifier_ = nullptr;
  int strayAborts_ = 0;       // waits the driver ended by itself, in a row
  QTimer* pollTimer_ = nullptr;  // set once waits have proved useless

  kp::Bytes rx_;         // received, not yet read
  kp::Bytes txQueue_;    // waiting for the write in flight to end
  kp::Bytes txFlight_;   // handed to the driver, not yet complete
  bool notifyPending_ = false;
  bool failurePending_ = false;
  // Counts opens and closes, so an event of a connection that has since been
  // closed (and maybe reopened) is dropped.
  std::uint64_t session_ = 0;
};
