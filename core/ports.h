#pragma once
// What the core needs from the outside world. The shipped program implements
// these on Qt (ui/); the tests use the virtual-time fakes of core/virtual_*.h.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/bytes.h"
#include "core/child_processes.h"

namespace kp {

enum class Parity { None, Even, Odd };

struct LineSettings {
  int baud = 28800;
  Parity parity = Parity::Even;
  int dataBits = 8;
  int stopBits = 1;

  // Reads the classic settings text, e.g. "28800,E,8,1".
  static std::optional<LineSettings> parse(const std::string& text);
  bool operator==(const LineSettings&) const = default;
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Port COMn; takes effect at the next open.
  virtual void setPortNumber(int n) = 0;
  virtual int portNumber() const = 0;
  virtual void setSettings(const LineSettings& settings) = 0;
  // One read() returns at most this many bytes.
  virtual void setReadSize(std::size_t n) = 0;

  // Opens the selected port; on failure fills *error with a description the
  // operator can act on and returns false.
  virtual bool open(std::string* error) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;

  // Queues bytes for transmission in order; never blocks.
  virtual void write(const Bytes& bytes) = 0;
  // Waits until what was written has left the machine (the port's buffers,
  // then the driver's), for at most maxMs: closing a port restores its old
  // line settings at once, which would garble a frame still on its way, and
  // a dead port must not hang the program.
  virtual void drain(int maxMs) = 0;
  // Drops received bytes that have not been read yet.
  virtual void discardInput() = 0;
  // Takes up to the read size of waiting bytes into out, replacing what it
  // held; empty when nothing waits. Keeps out's storage, so a reader that
  // reads all day allocates nothing.
  virtual void readInto(Bytes& out) = 0;
  Bytes read() {
    Bytes out;
    readInto(out);
    return out;
  }
  virtual std::size_t bytesAvailable() const = 0;

  // Raised on the user-interface thread when bytes wait. The handler must
  // read until bytesAvailable() is 0: a port need not raise it again for
  // bytes that arrived while the handler ran.
  std::function<void()> onReadyRead;
  // Raised when an open port fails under the program (device removed).
  std::function<void(const std::string& error)> onError;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds of a monotonic tick count.
  virtual std::int64_t nowMs() const = 0;
};

// To start a timer is to enable it (a running one keeps its countdown); to
// restart it is to stop and start it, which begins a new countdown.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void setInterval(int ms) = 0;
  virtual int interval() const = 0;
  virtual void start() = 0;
  virtual void stop() = 0;
  virtual bool isActive() const = 0;
  void restart() {
    stop();
    start();
  }
  std::function<void()> onTick;
};

class EventPump {
 public:
  virtual ~EventPump() = default;
  // Lets pending events run once. When none is pending it sleeps until an
  // event arrives or the clock reaches deadlineMs, so a wait costs no CPU.
  virtual void runOnce(std::int64_t deadlineMs) = 0;
  virtual std::unique_ptr<Timer> createTimer() = 0;
  // Runs fn on a later turn of the loop, after what is pending now.
  virtual void post(std::function<void()> fn) = 0;
  // Blocks for ms without letting events run (a pause the unit needs).
  virtual void sleepMs(int ms);
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A message box with one OK button and the application's title.
  virtual void message(const std::string& text) = 0;
  // File dialogs; nullopt when the operator cancels.
  virtual std::optional<std::string> openFile(const std::string& current,
                                              const std::string& filter) = 0;
  virtual std::optional<std::string> saveFile(const std::string& current,
                                              const std::string& filter) = 0;
  // A question with Yes and No; only the windows that offer a choice use it
  // (the classic ones show OK alone). Without a display the answer is yes.
  virtual bool ask(const std::string& text) {
    (void)text;
    return true;
  }
  // A folder dialog; nullopt when the operator cancels (or none can be shown).
  virtual std::optional<std::string> chooseFolder(const std::string& current) {
    (void)current;
    return std::nullopt;
  }
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Opens a document with the desktop's default handler.
  virtual bool openDocument(const std::string& path) = 0;
};

// Everything of the outside world, handed to the core in one piece.
struct Platform {
  SerialPort& serial;
  Clock& clock;
  EventPump& pump;
  Dialogs& dialogs;
  Desktop& desktop;
  // Programs started beside this one (the Rooms window's work); none in a
  // program without them.
  ChildProcesses* children = nullptr;
};

}  // namespace kp
