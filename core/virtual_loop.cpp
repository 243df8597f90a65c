#include "core/virtual_loop.h"

#include <algorithm>

namespace kp {

namespace {

class VirtualTimer : public Timer {
 public:
  explicit VirtualTimer(VirtualLoop& loop)
      : loop_(loop), alive_(std::make_shared<int>(0)) {}
  ~VirtualTimer() override { *alive_ = -1; }

  void setInterval(int ms) override { interval_ = std::max(1, ms); }
  int interval() const override { return interval_; }
  void start() override {
    if (active_) return;
    active_ = true;
    schedule();
  }
  void stop() override {
    active_ = false;
    ++generation_;
  }
  bool isActive() const override { return active_; }

 private:
  void schedule() {
    std::weak_ptr<int> alive = alive_;
    const std::uint64_t gen = generation_;
    loop_.at(loop_.nowMs() + interval_, [this, alive, gen] {
      auto lock = alive.lock();
      if (!lock || *lock < 0 || !active_ || gen != generation_) return;
      schedule();  // periodic, like a toolkit timer
      if (onTick) onTick();
    });
  }

  VirtualLoop& loop_;
  std::shared_ptr<int> alive_;
  int interval_ = 1000;
  bool active_ = false;
  std::uint64_t generation_ = 0;
};

}  // namespace

void VirtualLoop::at(std::int64_t whenMs, std::function<void()> fn) {
  events_.emplace(Key{std::max(whenMs, now_), seq_++}, std::move(fn));
}

bool VirtualLoop::runNextDueBy(std::int64_t limit) {
  if (events_.empty()) return false;
  auto it = events_.begin();
  if (it->first.when > limit) return false;
  now_ = std::max(now_, it->first.when);
  auto fn = std::move(it->second);
  events_.erase(it);
  fn();
  return true;
}

void VirtualLoop::runOnce(std::int64_t deadlineMs) {
  ++pumps_;
  if (!runNextDueBy(deadlineMs)) now_ = std::max(now_, deadlineMs);
}

std::unique_ptr<Timer> VirtualLoop::createTimer() {
  return std::make_unique<VirtualTimer>(*this);
}

void VirtualLoop::advance(std::int64_t ms) {
  const std::int64_t end = now_ + ms;
  while (runNextDueBy(end)) {
  }
  now_ = std::max(now_, end);
}

bool VirtualLoop::runUntil(const std::function<bool()>& pred,
                           std::int64_t limitMs) {
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
  return true;
}

void VirtualSerialPort::close() {
  if (!open_) return;
  open_ = false;
  ++closes;
  inbox_.clear();
}

void VirtualSerialPort::write(const Bytes& bytes) {
  if (!open_) {
    ++writesWhileClosed;
    return;
  }
  writes.push_back(bytes);
  writeTimes.push_back(loop_.nowMs());
  if (onTransmit) onTransmit(bytes);
}

Bytes VirtualSerialPort::read() {
  const std::size_t n =
      std::min(inbox_.size(), readSize ? readSize : inbox_.size());
  Bytes out(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(n));
  inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(n));
  return out;
}

void VirtualSerialPort::receive(const Bytes& bytes) {
  if (!open_ || bytes.empty()) return;  // a closed port hears nothing
  inbox_.insert(inbox_.end(), bytes.begin(), bytes.end());
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

std::optional<std::string> RecordingDialogs::saveFile(const std::string& c,
                                                      const std::string& f) {
  return openFile(c, f);
}

}  // namespace kp
