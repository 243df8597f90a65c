#pragma once
// The serial port's logic on the Windows communications API, toolkit-free:
// what to arm, when to read, the write queue, when to give up on the
// driver's events and poll instead, errors, unplugging and a bounded close.
// The calls themselves go through a comm::Driver.
//
// Event-driven while the driver keeps its word: an overlapped WaitCommEvent
// signals arriving bytes and writes are overlapped, so an idle port runs
// nothing at all. A driver that ends waits without data, refuses them, or
// holds bytes without signalling them is asked for waiting bytes by a timer
// instead: every millisecond while the unit talks or an answer is due,
// backing off to every 50 ms on an idle line.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "core/ports.h"
#include "link/transport/comm_driver.h"
#include "link/transport/port_session.h"

namespace kp {

class CommPort : public SerialPort {
 public:
  // Opens the system's port COMn (port_names.h), or the device set.
  CommPort(comm::Driver& driver, const Clock& clock, EventPump& pump);
  ~CommPort() override;

  void setPortNumber(int n) override { number_ = n; }
  int portNumber() const override { return number_; }
  // Opens this device (\\.\COM17) instead of the one COMn names; messages
  // then speak of it by its own name too. Empty: COMn's again.
  void setDevice(std::string device) { fixedDevice_ = std::move(device); }
  void setSettings(const LineSettings& settings) override { settings_ = settings; }
  void setReadSize(std::size_t n) override { readSize_ = n; }

  bool open(std::string* error) override;
  // Lets what was written leave first, for a bounded time, then ends the
  // operations in flight, waiting a bounded time for the driver to give them
  // back. Nothing that fails on the way is reported: the program closed it.
  void close() override;
  bool isOpen() const override { return open_; }

  void write(const Bytes& bytes) override;
  void drain(int maxMs) override;
  void discardInput() override;
  void readInto(Bytes& out) override;
  std::size_t bytesAvailable() const override { return rx_.size(); }

  // A line for the program's log: overrun, parity and framing errors the
  // driver reported (the bytes around them still reach the reader), and the
  // switch to polling.
  std::function<void(const std::string&)> onLog;

  bool polling() const { return polling_; }
  std::uint32_t lineErrors() const { return lineErrors_; }
  // "COM3", or "COM17 (COM5)" for COM5 standing for another port.
  std::string name() const;

 private:
  void signalled(comm::Op op);
  void armWait();
  void waitEnded(const comm::Result& r);
  void uselessWait();
  void startPolling();
  void poll();
  void pollSoon();
  void checkAnswer();
  bool pullInput(std::size_t* pulled);
  void startWrite();
  void writeEnded(const comm::Result& r);
  void endOperations(std::int64_t deadlineMs);
  void notifyReadyRead();
  void fail(std::uint32_t code);
  void release();

  comm::Driver& driver_;
  const Clock& clock_;
  // The system's name of the device opened: "COM17".
  std::string deviceName() const;

  std::string fixedDevice_;
  int number_ = 1;
  LineSettings settings_{};
  std::size_t readSize_ = 0;  // 0: no limit

  bool open_ = false;
  bool closing_ = false;  // errors from here on are the close's own
  bool waitPending_ = false;
  bool writePending_ = false;
  bool polling_ = false;
  int uselessWaits_ = 0;   // waits in a row that brought no byte
  int missedAnswers_ = 0;  // checks that found bytes the driver kept quiet about
  int writeRetries_ = 0;   // aborted or stalled writes in a row
  std::uint32_t lineErrors_ = 0;

  std::unique_ptr<Timer> pollTimer_;
  std::unique_ptr<Timer> answerTimer_;
  std::unique_ptr<Timer> rearmTimer_;
  // What was posted for a connection since closed, or a port since gone,
  // is dropped.
  PortSession events_;

  Bytes rx_;        // received, not yet read
  Bytes txQueue_;   // waiting for the write in flight to end
  Bytes txFlight_;  // handed to the driver, not yet complete
};

}  // namespace kp
