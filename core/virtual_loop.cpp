#include "core/virtual_loop.h"

#include <algorithm>
#include <functional>

namespace kp {

class VirtualTimer : public Timer, private VirtualLoop::Ticking {
 public:
  explicit VirtualTimer(VirtualLoop& loop) : loop_(loop), alive_(loop.timers_) {
    alive_->insert(this);
  }
  ~VirtualTimer() override { alive_->erase(this); }

  void setInterval(int ms) override { interval_ = std::max(1, ms); }
  int interval() const override { return interval_; }
  void start() override {
    if (active_) return;
    active_ = true;
    schedule();
  }
  void stop() override { active_ = false; }
  bool isActive() const override { return active_; }

 private:
  using Key = VirtualLoop::Key;

  void schedule() {
    due_ = loop_.keyAt(loop_.nowMs() + interval_);
    // An earlier event of ours stays queued and moves on when it comes up.
    if (!queued_ || due_ < queuedKey_) {
      queuedKey_ = due_;
      queued_ = true;
      loop_.push({due_, {}, this});
    }
  }
  void tick(const Key& key) override {
    if (!queued_ || key != queuedKey_) return;  // superseded by an earlier one
    queued_ = false;
    if (!active_) return;
    if (due_ > key) {  // restarted since: wait on
      queuedKey_ = due_;
      queued_ = true;
      loop_.push({due_, {}, this});
      return;
    }
    schedule();  // periodic, like a toolkit timer
    if (onTick) onTick();
  }

  VirtualLoop& loop_;
  std::shared_ptr<std::unordered_set<Ticking*>> alive_;
  int interval_ = 1000;
  bool active_ = false;
  Key due_{};
  bool queued_ = false;
  Key queuedKey_{};
};

void VirtualLoop::push(Event e) {
  std::size_t slot = slots_.size();
  if (freeSlots_.empty()) {
    slots_.push_back(std::move(e));
  } else {
    slot = freeSlots_.back();
    freeSlots_.pop_back();
    slots_[slot] = std::move(e);
  }
  events_.push_back({slots_[slot].key, slot});
  std::push_heap(events_.begin(), events_.end(), std::greater<>());
}

void VirtualLoop::at(std::int64_t whenMs, std::function<void()> fn) {
  push(Event{keyAt(whenMs), std::move(fn), nullptr});
}

bool VirtualLoop::runNextDueBy(std::int64_t limit) {
  if (events_.empty() || events_.front().key.when > limit) return false;
  std::pop_heap(events_.begin(), events_.end(), std::greater<>());
  const std::size_t slot = events_.back().slot;
  events_.pop_back();
  Event e = std::move(slots_[slot]);
  slots_[slot].fn = nullptr;
  freeSlots_.push_back(slot);
  now_ = std::max(now_, e.key.when);
  if (e.fn)
    e.fn();
  else if (timers_->count(e.timer))
    e.timer->tick(e.key);
  return true;
}

void VirtualLoop::runOnce(std::int64_t deadlineMs) {
  ++pumps_;
  if (!runNextDueBy(deadlineMs)) now_ = std::max(now_, deadlineMs);
}

std::unique_ptr<Timer> VirtualLoop::createTimer() { return std::make_unique<VirtualTimer>(*this); }

void VirtualLoop::advance(std::int64_t ms) {
  const std::int64_t end = now_ + ms;
  while (runNextDueBy(end)) {
  }
  now_ = std::max(now_, end);
}

bool VirtualLoop::runUntil(const std::function<bool()>& pred, std::int64_t limitMs) {
  const std::int64_t end = now_ + limitMs;
  while (!pred()) {
    if (!runNextDueBy(end)) {
      now_ = std::max(now_, end);
      return pred();
    }
  }
  return true;
}

bool VirtualSerialPort::open(std::string* error) {
  if (openError) {
    if (error) *error = *openError;
    return false;
  }
  if (open_) {
    if (error) *error = "port already open";
    return false;
  }
  open_ = true;
  ++opens;
  trail += 'o';
  return true;
}

void VirtualSerialPort::close() {
  if (!open_) return;
  open_ = false;
  ++closes;
  trail += 'c';
  inbox_.clear();
}

void VirtualSerialPort::write(const Bytes& bytes) {
  if (!open_) {
    ++writesWhileClosed;
    return;
  }
  ++writeCount;
  if (keepLog) {
    trail += 'w';
    writes.push_back(bytes);
    writeTimes.push_back(loop_.nowMs());
  }
  if (onWrite) onWrite(bytes);
  if (onTransmit) onTransmit(bytes);
}

void VirtualSerialPort::readInto(Bytes& out) {
  const std::size_t n = std::min(inbox_.size(), readSize ? readSize : inbox_.size());
  const auto from = inbox_.bytes.begin() + static_cast<std::ptrdiff_t>(inbox_.head);
  out.assign(from, from + static_cast<std::ptrdiff_t>(n));
  inbox_.head += n;
  if (inbox_.empty()) inbox_.clear();
}

void VirtualSerialPort::receive(const Bytes& bytes) {
  if (!open_ || bytes.empty()) return;  // a closed port hears nothing
  inbox_.bytes.insert(inbox_.bytes.end(), bytes.begin(), bytes.end());
  if (notifyPending_) return;
  notifyPending_ = true;
  loop_.post([this] {
    notifyPending_ = false;
    if (open_ && !inbox_.empty() && onReadyRead) onReadyRead();
  });
}

void VirtualSerialPort::fail(const std::string& error) {
  if (!open_) return;
  close();
  if (onError) onError(error);
}

void VirtualSerialPort::drain(int maxMs) {
  if (!open_) return;
  trail += 'd';
  lastDrainMs = maxMs;
}

Bytes VirtualSerialPort::allWritten() const {
  Bytes out;
  for (const auto& w : writes) out.insert(out.end(), w.begin(), w.end());
  return out;
}

void RecordingDialogs::message(const std::string& text) {
  messages.push_back(text);
  if (onMessage) onMessage(text);
}

std::optional<std::string> RecordingDialogs::openFile(const std::string&,
                                                      const std::string& filter) {
  fileDialogFilters.push_back(filter);
  if (fileAnswers.empty()) return std::nullopt;
  auto a = fileAnswers.front();
  fileAnswers.pop_front();
  return a;
}

std::optional<std::string> RecordingDialogs::saveFile(const std::string& c, const std::string& f) {
  return openFile(c, f);
}

bool RecordingDialogs::ask(const std::string& text) {
  questions.push_back(text);
  if (askAnswers.empty()) return true;
  const bool yes = askAnswers.front();
  askAnswers.pop_front();
  return yes;
}

std::optional<std::string> RecordingDialogs::chooseFolder(const std::string& current) {
  return openFile(current, "");
}

}  // namespace kp
