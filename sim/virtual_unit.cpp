#include "sim/virtual_unit.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "link/frames.h"
#include "sim/unit_map.h"

namespace kp::sim {

namespace {

// Line time in 1/18 us: both a microsecond (18) and a bit at 28800 baud
// (625) are whole numbers of it, so pacing neither rounds nor drifts.
constexpr std::int64_t kTicksPerUs = 18;
constexpr std::int64_t kTicksPerByte = 11 * 625;  // start, 8 data, parity, stop

std::int64_t tickToUs(std::int64_t tick) { return (tick + kTicksPerUs - 1) / kTicksPerUs; }

std::uint8_t inv(std::uint8_t b) { return static_cast<std::uint8_t>(0xFF - b); }

bool wholeFrameAt(const Bytes& b, std::size_t i) {
  return i + kFrameSize <= b.size() && b[i] == kFrameHeader && b[i + 2] == inv(b[i + 1]) &&
         b[i + 4] == inv(b[i + 3]) && b[i + 5] == kFrameTrailer;
}

std::string ramName(int slot) { return "RAM" + std::to_string(slot + 1); }

}  // namespace

const char* linkName(VirtualUnit::Link link) {
  switch (link) {
    case VirtualUnit::Link::Idle: return "idle";
    case VirtualUnit::Link::Answered: return "answered";
    case VirtualUnit::Link::Dumping: return "dumping";
    case VirtualUnit::Link::Linked: return "linked";
  }
  return "?";
}

namespace {
// Units alive, each with its serial: an event the clock runs after its unit
// has gone, or once another unit lives at the same address, finds no match.
std::unordered_map<const VirtualUnit*, std::uint64_t>& liveUnits() {
  static std::unordered_map<const VirtualUnit*, std::uint64_t> units;
  return units;
}
std::uint64_t lastSerial = 0;
}  // namespace

bool VirtualUnit::alive(const VirtualUnit* unit, std::uint64_t serial) {
  const auto it = liveUnits().find(unit);
  return it != liveUnits().end() && it->second == serial;
}

VirtualUnit::VirtualUnit(UnitClock& clock, UnitOptions options)
    : clock_(clock), options_(options), rng_(options.seed), serial_(++lastSerial) {
  liveUnits()[this] = serial_;
}

VirtualUnit::~VirtualUnit() { liveUnits().erase(this); }

// ---------------------------------------------------------------- receiving

void VirtualUnit::onBytesFromPanel(const Bytes& bytes) {
  if (bytes.empty()) return;
  if (!options_.paced) return takeIn(bytes);
  // On a real line the unit has a byte only once its eleven bits are over,
  // and the bytes come one after the other. The unit acts only at the end
  // of what the panel sends (a lone AA or a whole frame), so such a piece is
  // taken in at once when its last byte is through; anything else byte by
  // byte.
  std::int64_t tick = std::max(inLineFreeTick_, clock_.nowUs() * kTicksPerUs);
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = wholeFrameAt(bytes, i) ? kFrameSize : 1;
    tick += kTicksPerByte * static_cast<std::int64_t>(n);
    clock_.at(tickToUs(tick), [this, serial = serial_, piece = Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                                                                  bytes.begin() + static_cast<std::ptrdiff_t>(i + n))] {
      if (alive(this, serial)) takeIn(piece);
    });
    i += n;
  }
  inLineFreeTick_ = tick;
}

void VirtualUnit::takeIn(const Bytes& bytes) {
  inbox_.insert(inbox_.end(), bytes.begin(), bytes.end());
  ++inboxGeneration_;
  parse();
}

VirtualUnit::Piece VirtualUnit::classify() const {
  const std::size_t n = inbox_.size();
  // A lone AA is the panel's acknowledge once the awaited message has
  // reached it; before that it may still be the head of a frame.
  if (n == 1) return awaitingAck_ && awaitedDelivered_ ? Piece::Ack : Piece::NeedMore;
  // No frame carries address AA, so AA AA is an acknowledge and a new head.
  if (inbox_[1] == kFrameHeader) return Piece::Ack;
  if (n > 2 && inbox_[2] != inv(inbox_[1])) return Piece::Bad;
  if (n > 4 && inbox_[4] != inv(inbox_[3])) return Piece::Bad;
  if (n > 5 && inbox_[5] != kFrameTrailer) return Piece::Bad;
  return n >= kFrameSize ? Piece::Frame : Piece::NeedMore;
}

void VirtualUnit::parse() {
  using D = TraceEvent::Direction;
  while (!inbox_.empty()) {
    auto head = std::find(inbox_.begin(), inbox_.end(), kFrameHeader);
    if (head != inbox_.begin()) {
      const Bytes noise(inbox_.begin(), head);
      counters_.garbageBytes += noise.size();
      inbox_.erase(inbox_.begin(), head);
      trace(D::PanelToUnit, noise, "noise");
      continue;
    }
    switch (classify()) {
      case Piece::NeedMore:
        armPartialTimeout();
        return;
      case Piece::Ack:
        inbox_.erase(inbox_.begin());
        trace(D::PanelToUnit, {kAckByte}, awaitingAck_ && awaitedDelivered_ ? "ack" : "ack, nothing awaited");
        handleAck();
        break;
      case Piece::Frame: {
        const std::uint8_t a = inbox_[1], v = inbox_[3];
        inbox_.erase(inbox_.begin(), inbox_.begin() + kFrameSize);
        handleFrame(a, v);
        break;
      }
      case Piece::Bad: {
        // Up to the next header, which may start a good frame.
        const auto limit = inbox_.begin() + static_cast<std::ptrdiff_t>(std::min(inbox_.size(), kFrameSize));
        const auto next = std::find(inbox_.begin() + 1, limit, kFrameHeader);
        const Bytes bad(inbox_.begin(), next);
        inbox_.erase(inbox_.begin(), next);
        ++counters_.framesBad;
        trace(D::PanelToUnit, bad, "not understood");
        requestResend("frame not understood");
        break;
      }
    }
  }
}

// One check is pending at a time: a frame coming in byte by byte moves its
// deadline on instead of leaving a check behind for every byte.
void VirtualUnit::armPartialTimeout() {
  partialDueUs_ = clock_.nowUs() + options_.partialFrameTimeoutMs * 1000LL;
  partialGeneration_ = inboxGeneration_;
  if (!partialCheckPending_) schedulePartialCheck();
}

void VirtualUnit::schedulePartialCheck() {
  partialCheckPending_ = true;
  clock_.at(partialDueUs_, [this, serial = serial_] {
    if (!alive(this, serial)) return;
    partialCheckPending_ = false;
    if (clock_.nowUs() < partialDueUs_)
      schedulePartialCheck();
    else
      onPartialTimeout(partialGeneration_);
  });
}

void VirtualUnit::onPartialTimeout(std::uint64_t generation) {
  if (generation != inboxGeneration_ || inbox_.empty()) return;
  ++inboxGeneration_;
  if (inbox_.size() == 1) {  // an AA that nothing was waiting for
    inbox_.clear();
    trace(TraceEvent::Direction::PanelToUnit, {kAckByte}, "ack, nothing awaited");
    ++counters_.strayAcks;
    return;
  }
  auto next = std::find(inbox_.begin() + 1, inbox_.end(), kFrameHeader);
  const Bytes partial(inbox_.begin(), next);
  inbox_.erase(inbox_.begin(), next);
  ++counters_.framesBad;
  trace(TraceEvent::Direction::PanelToUnit, partial, "incomplete frame");
  requestResend("incomplete frame");
  parse();
}

void VirtualUnit::handleAck() {
  if (awaitingAck_ && awaitedDelivered_) {
    ++counters_.acksReceived;
    awaitingAck_ = false;
    sendNextPaced();
  } else {
    ++counters_.strayAcks;
  }
}

void VirtualUnit::handleFrame(std::uint8_t a, std::uint8_t v) {
  ++counters_.framesReceived;
  const Bytes frame = onTrace ? commandFrame(a, v) : Bytes();
  std::string text = note([&] { return describeUnitAddress(a, v); });
  if (options_.silent) {
    ++counters_.framesIgnored;
    trace(TraceEvent::Direction::PanelToUnit, frame, text);
    return;
  }
  if (chance(options_.dropProbability)) {
    ++counters_.framesDropped;
    trace(TraceEvent::Direction::PanelToUnit, frame, text + " [dropped]");
    return;
  }
  if (chance(options_.resendProbability)) {
    trace(TraceEvent::Direction::PanelToUnit, frame, text);
    requestResend("resend fault");
    return;
  }
  trace(TraceEvent::Direction::PanelToUnit, frame, text);

  if (a == 0) {
    handleSystem(v);
  } else if (link_ == Link::Idle || link_ == Link::Answered) {
    ++counters_.framesIgnored;  // parameters only count once linked
  } else if (a == unitaddr::MusicMode) {
    changeMusicMode(v);
  } else if (a == unitaddr::MicMode) {
    changeMicMode(v);
  } else {
    if (!apply(a, v)) ++counters_.valuesRejected;
    answer();
  }
}

void VirtualUnit::handleSystem(std::uint8_t code) {
  using namespace kp::cmd;
  if (code == ConnectShort || code == ConnectLong) {
    connect(code == ConnectLong);
    return;
  }
  if (code == Disconnect) {
    // The panel writes it without waiting for an answer.
    link_ = Link::Idle;
    abandonPaced();
    return;
  }
  if (code == DumpRequest) {
    // The panel repeats the request until the dump begins; only the first
    // after a connect answer starts one.
    if (link_ == Link::Answered && !options_.noDump) {
      startDump(false);
    } else {
      ++counters_.framesIgnored;
    }
    return;
  }
  if (link_ == Link::Idle || link_ == Link::Answered) {
    ++counters_.framesIgnored;
    return;
  }
  switch (code) {
    case FactoryReset:
      state_ = UnitState::factory();
      startDump(options_.confirmFactoryReset);
      return;
    case ResetMusic:
      state_.music.bands.fill(kFlatBand);
      break;
    case ResetMic:
      state_.mic.bands.fill(kFlatBand);  // the effect levels stay
      break;
    case StartBatch:
    case EndBatch:
      break;
    default:
      ++counters_.valuesRejected;
      break;
  }
  answer();
}

bool VirtualUnit::apply(std::uint8_t a, std::uint8_t v) {
  auto within = [v](int lo, int hi) { return v >= lo && v <= hi; };
  auto set = [&](std::uint8_t& field, int lo, int hi) {
    if (!within(lo, hi)) return false;
    field = v;
    return true;
  };
  DeviceSetup& d = state_.setup;
  switch (a) {
    case 1: case 2: case 3: case 4:
      return set(state_.password[a - 1], 0, 9);
    case unitaddr::MicMaster: return set(state_.micMaster, 0, 100);
    case unitaddr::MusicMaster: return set(state_.musicMaster, 0, 100);
    case unitaddr::MicMinVolume: return set(d.micMinVolume, 1, 100);
    case unitaddr::MusicMinVolume: return set(d.musicMinVolume, 1, 100);
    case unitaddr::MicMaxVolume: return set(d.micMaxVolume, 1, 100);
    case unitaddr::MusicMaxVolume: return set(d.musicMaxVolume, 1, 100);
    case unitaddr::MusicEffectMode: return set(d.musicEffectMode, 0, kSlots - 1);
    case unitaddr::MicEffectMode: return set(d.micEffectMode, 0, kSlots - 1);
    case unitaddr::StoreMic:
      if (!within(0, kUserSlots - 1)) return false;
      state_.micSlots[v] = state_.mic;
      return true;
    case unitaddr::StoreMusic:
      if (!within(0, kUserSlots - 1)) return false;
      state_.musicSlots[v] = state_.music;
      return true;
    case unitaddr::Step: return set(state_.step, 1, 15);
    default: break;
  }
  if (a >= unitaddr::MicBand1 && a < unitaddr::MicBand1 + kBands)
    return set(state_.mic.bands[a - unitaddr::MicBand1], 0, kMaxBand);
  if (a >= unitaddr::MusicBand1 && a < unitaddr::MusicBand1 + kBands)
    return set(state_.music.bands[a - unitaddr::MusicBand1], 0, kMaxBand);
  if (auto e = effectOfUnitAddress(a)) return set(state_.mic.effect(*e), 0, 100);

  // The 5.1 outputs and the ultra-low settings exist on the full model only.
  if (!fullModel_) return false;
  if (a >= unitaddr::Surround1 && a < unitaddr::Surround1 + kSurrounds)
    return set(state_.surround[a - unitaddr::Surround1], 0, 50);
  if (a == unitaddr::KtvMinVolume) return set(d.ktvMinVolume, 0, 50);
  if (a == unitaddr::KtvBits) {
    // Reset time in bits 0..2, sensitivity in bits 3..5, one bit each.
    const int time = v & 0x07, sens = v & 0x38;
    auto oneBit = [](int x) { return x == 0 || (x & (x - 1)) == 0; };
    if ((v & ~0x3F) || v == 0 || !oneBit(time) || !oneBit(sens)) return false;
    if (time) d.ktvResetTime = static_cast<std::uint8_t>(time);
    if (sens) d.ktvSensitivity = static_cast<std::uint8_t>(sens);
    return true;
  }
  return false;
}

void VirtualUnit::connect(bool longDump) {
  fullModel_ = options_.forceFullModel.value_or(longDump);
  link_ = Link::Answered;
  abandonPaced();
  const std::uint8_t kind = fullModel_ ? 2 : 1;
  sendNow({commandFrame(0, kind), fullModel_ ? "connect answer: long dump" : "connect answer: short dump"});
}

void VirtualUnit::startDump(bool confirm) {
  link_ = Link::Dumping;
  abandonPaced();
  std::vector<Message> messages;
  if (confirm) {
    messages.push_back({0, static_cast<std::uint8_t>(fullModel_ ? 2 : 1),
                        "factory values restored, dump follows"});
  }
  if (!options_.noDump) {
    auto dump = dumpMessages();
    if (options_.shortestDump) dump.erase(dump.begin(), dump.end() - 1);
    messages.insert(messages.end(), dump.begin(), dump.end());
  }
  queuePaced(messages, !options_.noDump);
}

void VirtualUnit::changeMusicMode(std::uint8_t mode) {
  if (mode >= kSlots) {
    ++counters_.valuesRejected;
    answer();
    return;
  }
  state_.musicMode = mode;
  state_.music = state_.musicSlots[mode];
  abandonPaced();
  // The block itself is the answer: the panel takes an AA 60 here only as a
  // sign of life and would not acknowledge it, so nothing would pace on.
  queuePaced(musicBlock(), false);
}

void VirtualUnit::changeMicMode(std::uint8_t mode) {
  if (mode >= kSlots) {
    ++counters_.valuesRejected;
    answer();
    return;
  }
  state_.micMode = mode;
  state_.mic = state_.micSlots[mode];
  abandonPaced();
  queuePaced(micBlock(), false);
}

bool VirtualUnit::sendVolumeNotice() {
  if (link_ != Link::Linked || awaitingAck_ || !queue_.empty()) return false;
  state_.musicMaster = state_.setup.musicMinVolume;
  state_.micMaster = state_.setup.micMinVolume;
  // Not paced: a panel that is waiting for an answer ignores the notice and
  // sends no AA, and nothing must hang on that.
  sendNow({commandFrame(0, kVolumeNoticeValue), "volume notice: masters at initial volume"});
  return true;
}

// ---------------------------------------------------------------- messages

std::vector<VirtualUnit::Message> VirtualUnit::musicBlock() const {
  std::vector<Message> out;
  for (int k = 0; k < kBands; ++k) {
    const auto a = static_cast<std::uint8_t>(dumpaddr::MusicBand1 + k);
    out.push_back({a, state_.music.bands[k], note([&] { return describeDumpAddress(a, state_.music.bands[k]); })});
  }
  return out;
}

std::vector<VirtualUnit::Message> VirtualUnit::micBlock() const {
  // Bands first: the panel ends a microphone block on dump address 16.
  std::vector<Message> out;
  for (int k = 0; k < kBands; ++k) {
    const auto a = static_cast<std::uint8_t>(dumpaddr::MicBand1 + k);
    out.push_back({a, state_.mic.bands[k], note([&] { return describeDumpAddress(a, state_.mic.bands[k]); })});
  }
  for (int a = dumpaddr::Effect1; a <= dumpaddr::EffectLast; ++a) {
    const auto v = state_.mic.effect(*effectOfDumpAddress(static_cast<std::uint8_t>(a)));
    out.push_back({static_cast<std::uint8_t>(a), v,
                   note([&] { return describeDumpAddress(static_cast<std::uint8_t>(a), v); })});
  }
  return out;
}

std::vector<VirtualUnit::Message> VirtualUnit::dumpMessages() const {
  std::vector<Message> out;
  // prefix makes the note's beginning, when notes are made at all.
  auto add = [&](int a, int v, const std::function<std::string()>& prefix = {}) {
    const auto aa = static_cast<std::uint8_t>(a);
    const auto vv = static_cast<std::uint8_t>(v);
    out.push_back({aa, vv, note([&] { return (prefix ? prefix() : "") + describeDumpAddress(aa, vv); })});
  };
  auto marker = [&](int v, std::string what) {
    out.push_back({0, static_cast<std::uint8_t>(v),
                   note([&] { return "dump marker " + std::to_string(v) + ": " + what; })});
  };

  // Six preset sections: music RAM1..RAM3, then microphone RAM1..RAM3.
  for (int s = 0; s < kUserSlots; ++s) {
    marker(kFirstSectionMarker + s, "music " + ramName(s));
    for (int k = 0; k < kBands; ++k)
      add(dumpaddr::MusicBand1 + k, state_.musicSlots[s].bands[k], [s] { return ramName(s) + " "; });
  }
  for (int s = 0; s < kUserSlots; ++s) {
    marker(kFirstSectionMarker + kUserSlots + s, "mic " + ramName(s));
    const MicCurve& c = state_.micSlots[s];
    auto slot = [s] { return ramName(s) + " "; };
    for (int k = 0; k < kBands; ++k) add(dumpaddr::MicBand1 + k, c.bands[k], slot);
    for (int a = dumpaddr::Effect1; a <= dumpaddr::EffectLast; ++a)
      add(a, c.effect(*effectOfDumpAddress(static_cast<std::uint8_t>(a))), slot);
  }

  // The parameters in force, by dump address.
  const DeviceSetup& d = state_.setup;
  for (int i = 0; i < 4; ++i) add(dumpaddr::PasswordDigit1 + i, state_.password[i]);
  add(dumpaddr::MicMaster, state_.micMaster);
  add(dumpaddr::MusicMaster, state_.musicMaster);
  add(dumpaddr::MicMinVolume, d.micMinVolume);
  add(dumpaddr::MusicMinVolume, d.musicMinVolume);
  add(dumpaddr::MicMaxVolume, d.micMaxVolume);
  add(dumpaddr::MusicMaxVolume, d.musicMaxVolume);
  for (int a = dumpaddr::Effect1; a <= dumpaddr::EffectLast; ++a)
    add(a, state_.mic.effect(*effectOfDumpAddress(static_cast<std::uint8_t>(a))));
  add(dumpaddr::MicMode, state_.micMode);
  add(dumpaddr::MusicMode, state_.musicMode);
  add(dumpaddr::Step, state_.step);
  for (int k = 0; k < kBands; ++k) add(dumpaddr::MicBand1 + k, state_.mic.bands[k]);
  for (int k = 0; k < kBands; ++k) add(dumpaddr::MusicBand1 + k, state_.music.bands[k]);
  add(dumpaddr::MusicEffectMode, d.musicEffectMode);
  add(dumpaddr::MicEffectMode, d.micEffectMode);
  if (fullModel_) {
    add(dumpaddr::KtvResetTime, d.ktvResetTime);
    add(dumpaddr::KtvSensitivity, d.ktvSensitivity);
    for (int i = 0; i < kSurrounds; ++i) add(dumpaddr::Surround1 + i, state_.surround[i]);
    add(dumpaddr::KtvMinVolume, d.ktvMinVolume);
  }
  return out;
}

// ---------------------------------------------------------------- sending

void VirtualUnit::answer() {
  ++counters_.answers;
  sendNow({options_.longAnswer ? commandFrame(kReplyAddress, 0) : Bytes{kFrameHeader, kReplyAddress},
           "answer"});
}

void VirtualUnit::requestResend(const std::string& why) {
  ++counters_.resendRequests;
  sendNow({{kResendRequest}, "resend request (" + why + ")"});
}

void VirtualUnit::sendNow(Outgoing out) { emit(out, false); }

void VirtualUnit::queuePaced(const std::vector<Message>& messages, bool endsDump) {
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const auto& m = messages[i];
    queue_.push_back({commandFrame(m.address, m.value), m.note,
                      endsDump && i + 1 == messages.size()});
  }
  if (!awaitingAck_) sendNextPaced();
}

void VirtualUnit::abandonPaced() {
  // The panel asks for something new only once it has given up on the old.
  queue_.clear();
  awaitingAck_ = false;
}

void VirtualUnit::sendNextPaced() {
  if (queue_.empty()) return;
  Outgoing out = std::move(queue_.front());
  queue_.pop_front();
  emit(out, true);
}

void VirtualUnit::emit(const Outgoing& out, bool paced) {
  if (options_.silent) return;
  if (options_.stopAfter && counters_.messagesSent >= *options_.stopAfter) {
    ++counters_.messagesWithheld;
    trace(TraceEvent::Direction::UnitToPanel, out.bytes, out.note + " [withheld]");
    return;
  }
  ++counters_.messagesSent;
  counters_.bytesSent += out.bytes.size();
  if (out.endsDump) link_ = Link::Linked;

  // Cut into pieces where the chunk fault says so; at least one cut. The
  // unit's messages are six bytes at most.
  std::array<std::size_t, kFrameSize + 1> ends{};  // end offset of each piece
  std::size_t pieces = 0;
  const std::size_t n = out.bytes.size();
  if (options_.chunks && n > 1 && n <= kFrameSize) {
    for (std::size_t i = 1; i < n; ++i)
      if (rng_() & 1) ends[pieces++] = i;
    if (pieces == 0) ends[pieces++] = 1 + rng_() % (n - 1);
  }
  ends[pieces++] = n;

  const std::int64_t start = clock_.nowUs() + options_.latencyMs * 1000LL;
  std::int64_t startTick = 0;
  if (options_.paced) {
    startTick = std::max(lineFreeTick_, start * kTicksPerUs);
    lineFreeTick_ = startTick + kTicksPerByte * static_cast<std::int64_t>(n);
  }

  std::uint64_t gen = 0;
  if (paced) {
    awaitingAck_ = true;
    awaitedDelivered_ = false;
    gen = ++sendGeneration_;
  }

  std::size_t from = 0;
  for (std::size_t p = 0; p < pieces; ++p) {
    std::int64_t when =
        options_.paced ? tickToUs(startTick + kTicksPerByte * static_cast<std::int64_t>(ends[p]))
                       : start + static_cast<std::int64_t>(p) * options_.chunkGapUs;
    when = std::max(when, lastDeliveryUs_);  // the line keeps its order
    lastDeliveryUs_ = when;
    Delivery d;
    d.size = ends[p] - from;
    std::copy(out.bytes.begin() + static_cast<std::ptrdiff_t>(from),
              out.bytes.begin() + static_cast<std::ptrdiff_t>(ends[p]), d.bytes.begin());
    from = ends[p];
    d.last = p + 1 == pieces;
    d.paced = paced;
    d.generation = gen;
    if (d.last && onTrace) {
      d.text = pieces > 1 ? out.note + " (in " + std::to_string(pieces) + " pieces)" : out.note;
      d.whole = out.bytes;
    }
    // Deliveries fall due in the order they are made: the line keeps its
    // order, and the event need only say whose turn it is.
    deliveries_.push_back(std::move(d));
    clock_.at(when, [this, serial = serial_] {
      if (alive(this, serial)) deliverNext();
    });
  }
}

void VirtualUnit::deliverNext() {
  if (deliveries_.empty()) return;
  const Delivery d = std::move(deliveries_.front());
  deliveries_.pop_front();
  if (d.last) {
    // Before the bytes go out: the panel may acknowledge at once.
    if (d.paced && d.generation == sendGeneration_) awaitedDelivered_ = true;
    trace(TraceEvent::Direction::UnitToPanel, d.whole, d.text);
  }
  if (!onOutput) return;
  Bytes piece;  // the storage of the last piece, kept for the next
  piece.swap(pieceBuffer_);
  piece.assign(d.bytes.begin(), d.bytes.begin() + static_cast<std::ptrdiff_t>(d.size));
  onOutput(piece);
  pieceBuffer_.swap(piece);
}

bool VirtualUnit::chance(double p) {
  if (p <= 0) return false;
  // From the raw generator: the distributions of the library differ between
  // implementations, and a seed must give the same run everywhere.
  const double u = static_cast<double>(rng_() >> 11) * 0x1.0p-53;
  return u < p;
}

void VirtualUnit::trace(TraceEvent::Direction d, const Bytes& bytes, std::string text) {
  if (onTrace) onTrace({d, clock_.nowUs(), bytes, std::move(text)});
}

}  // namespace kp::sim
