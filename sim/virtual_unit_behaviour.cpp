// What the virtual unit does with what it hears: the link's steps, changes
// of its values and modes, and the faults that make it drop or refuse a frame.
#include "sim/virtual_unit.h"

#include "link/frames.h"
#include "sim/unit_map.h"

namespace kp::sim {

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
    case 1:
    case 2:
    case 3:
    case 4:
      return set(state_.password[a - 1], 0, 9);
    case unitaddr::MicMaster:
      return set(state_.micMaster, 0, 100);
    case unitaddr::MusicMaster:
      return set(state_.musicMaster, 0, 100);
    case unitaddr::MicMinVolume:
      return set(d.micMinVolume, 1, 100);
    case unitaddr::MusicMinVolume:
      return set(d.musicMinVolume, 1, 100);
    case unitaddr::MicMaxVolume:
      return set(d.micMaxVolume, 1, 100);
    case unitaddr::MusicMaxVolume:
      return set(d.musicMaxVolume, 1, 100);
    case unitaddr::MusicEffectMode:
      return set(d.musicEffectMode, 0, kSlots - 1);
    case unitaddr::MicEffectMode:
      return set(d.micEffectMode, 0, kSlots - 1);
    case unitaddr::StoreMic:
      if (!within(0, kUserSlots - 1)) return false;
      state_.micSlots[v] = state_.mic;
      return true;
    case unitaddr::StoreMusic:
      if (!within(0, kUserSlots - 1)) return false;
      state_.musicSlots[v] = state_.music;
      return true;
    case unitaddr::Step:
      return set(state_.step, 1, 15);
    default:
      break;
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
  sendNow({commandFrame(0, kind),
           fullModel_ ? "connect answer: long dump" : "connect answer: short dump"});
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

}  // namespace kp::sim
