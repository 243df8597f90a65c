#pragma once
// An event loop that owns virtual time, for tests, benchmarks and the
// in-process virtual unit: a 4 s resend or a 15 s watchdog runs in
// microseconds and exactly.
#include <algorithm>
#include <compare>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/ports.h"

namespace kp {

class VirtualLoop : public Clock, public EventPump {
 public:
  std::int64_t nowMs() const override { return now_; }

  // Runs the earliest pending event if it is due by deadlineMs; otherwise
  // moves the clock to the deadline. Never waits for real.
  void runOnce(std::int64_t deadlineMs) override;
  std::unique_ptr<Timer> createTimer() override;
  // Moves the clock on without running anything.
  void sleepMs(int ms) override { now_ += ms; }

  // Runs fn at virtual time whenMs (at once if that has passed), after the
  // events already due then.
  void at(std::int64_t whenMs, std::function<void()> fn);
  void post(std::function<void()> fn) override { at(now_, std::move(fn)); }

  // Runs every event due within the next ms, then leaves the clock at now+ms.
  void advance(std::int64_t ms);
  // Runs events in time order until pred() holds or limitMs of virtual time
  // have passed; returns pred().
  bool runUntil(const std::function<bool()>& pred, std::int64_t limitMs);
  // Runs what is due now, without moving the clock.
  void settle() { advance(0); }

  std::size_t pending() const { return events_.size(); }
  std::uint64_t pumps() const { return pumps_; }

 private:
  friend class VirtualTimer;
  struct Key {
    std::int64_t when;
    std::uint64_t seq;
    auto operator<=>(const Key&) const = default;
  };
  // A timer's tick is an event of its own kind: a timer keeps one event in
  // the queue however often it is restarted (the link restarts its timers at
  // every message), and ticks at the very place in the order that an event
  // scheduled at its last start would have.
  struct Ticking {
    virtual void tick(const Key& key) = 0;

   protected:
    ~Ticking() = default;
  };
  struct Event {
    Key key;
    std::function<void()> fn;  // empty for a timer's tick
    Ticking* timer = nullptr;
  };
  Key keyAt(std::int64_t whenMs) { return Key{std::max(whenMs, now_), seq_++}; }
  void push(Event e);
  bool runNextDueBy(std::int64_t limit);

  std::int64_t now_ = 1'000'000;  // far from 0, so "stamp 0" bugs show
  std::uint64_t seq_ = 0;
  std::uint64_t pumps_ = 0;
  // Earliest first: a heap of keys, each naming the slot that holds its
  // event, so that ordering the queue moves only small records.
  struct Queued {
    Key key;
    std::size_t slot;
    bool operator>(const Queued& o) const { return key > o.key; }
  };
  std::vector<Queued> events_;
  std::vector<Event> slots_;
  std::vector<std::size_t> freeSlots_;
  // Timers alive; a tick of one destroyed is dropped. Shared, so that a
  // timer may outlive its loop.
  std::shared_ptr<std::unordered_set<Ticking*>> timers_ =
      std::make_shared<std::unordered_set<Ticking*>>();
};

// A serial port on virtual time. What the panel writes goes to onTransmit
// (the virtual unit or a test); receive() hands bytes to the panel.
class VirtualSerialPort : public SerialPort {
 public:
  explicit VirtualSerialPort(VirtualLoop& loop) : loop_(loop) {}

  void setPortNumber(int n) override { port_ = n; }
  int portNumber() const override { return port_; }
  void setSettings(const LineSettings& s) override { settings = s; }
  void setReadSize(std::size_t n) override { readSize = n; }
  bool open(std::string* error) override;
  void close() override;
  bool isOpen() const override { return open_; }
  void write(const Bytes& bytes) override;
  void drain(int maxMs) override;
  void discardInput() override { inbox_.clear(); }
  void readInto(Bytes& out) override;
  std::size_t bytesAvailable() const override { return inbox_.size(); }

  // Bytes from the far end arrive now; the panel is notified through the loop.
  void receive(const Bytes& bytes);
  // The device disappears under an open port.
  void fail(const std::string& error);

  // What the far end sees of every write, in order.
  std::function<void(const Bytes&)> onTransmit;

  // Every write made while open, and its virtual time; a fuzz target that
  // checks each write in onWrite turns the log off and saves its copies.
  bool keepLog = true;
  std::vector<Bytes> writes;
  std::vector<std::int64_t> writeTimes;
  std::size_t writeCount = 0;  // writes made while open, logged or not
  // What reached the line, in order: o open, w write, d drain, c close.
  std::string trail;
  int lastDrainMs = 0;
  std::function<void(const Bytes&)> onWrite;
  int writesWhileClosed = 0;
  int opens = 0;
  int closes = 0;
  LineSettings settings{};
  std::size_t readSize = 0;
  // When set, open() fails with this description.
  std::optional<std::string> openError;

  Bytes allWritten() const;
  void clearLog() {
    writes.clear();
    writeTimes.clear();
  }

 private:
  VirtualLoop& loop_;
  int port_ = 0;
  bool open_ = false;
  bool notifyPending_ = false;
  // Received and not yet read: the bytes from head on.
  struct Inbox {
    Bytes bytes;
    std::size_t head = 0;
    std::size_t size() const { return bytes.size() - head; }
    bool empty() const { return size() == 0; }
    void clear() {
      bytes.clear();
      head = 0;
    }
  } inbox_;
};

// Message boxes and file dialogs that record what the program showed.
class RecordingDialogs : public Dialogs {
 public:
  void message(const std::string& text) override;
  std::optional<std::string> openFile(const std::string& current,
                                      const std::string& filter) override;
  std::optional<std::string> saveFile(const std::string& current,
                                      const std::string& filter) override;
  // Takes the next of askAnswers (yes when none is left).
  bool ask(const std::string& text) override;
  // Takes the next file answer, as the file dialogs do.
  std::optional<std::string> chooseFolder(const std::string& current) override;

  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::deque<bool> askAnswers;
  // Answers for the next file dialogs, in order; an empty queue cancels.
  std::deque<std::optional<std::string>> fileAnswers;
  std::vector<std::string> fileDialogFilters;
  // Runs while a message box is "open", as a modal box runs events.
  std::function<void(const std::string&)> onMessage;
};

class RecordingDesktop : public Desktop {
 public:
  bool openDocument(const std::string& path) override {
    opened.push_back(path);
    return result;
  }
  std::vector<std::string> opened;
  bool result = true;
};

}  // namespace kp
