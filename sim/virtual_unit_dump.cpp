// What the virtual unit says about its state: the dump after a connect or a
// factory reset, and the blocks that answer a mode change.
#include "sim/virtual_unit.h"

#include <functional>
#include <string>

#include "sim/unit_map.h"

namespace kp::sim {

namespace {

std::string ramName(int slot) { return "RAM" + std::to_string(slot + 1); }

}  // namespace

std::vector<VirtualUnit::Message> VirtualUnit::musicBlock() const {
  std::vector<Message> out;
  for (int k = 0; k < kBands; ++k) {
    const auto a = static_cast<std::uint8_t>(dumpaddr::MusicBand1 + k);
    out.push_back({a, state_.music.bands[k],
                   note([&] { return describeDumpAddress(a, state_.music.bands[k]); })});
  }
  return out;
}

std::vector<VirtualUnit::Message> VirtualUnit::micBlock() const {
  // Bands first: the panel ends a microphone block on dump address 16.
  std::vector<Message> out;
  for (int k = 0; k < kBands; ++k) {
    const auto a = static_cast<std::uint8_t>(dumpaddr::MicBand1 + k);
    out.push_back({a, state_.mic.bands[k],
                   note([&] { return describeDumpAddress(a, state_.mic.bands[k]); })});
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
    out.push_back(
        {aa, vv, note([&] { return (prefix ? prefix() : "") + describeDumpAddress(aa, vv); })});
  };
  auto marker = [&](int v, std::string what) {
    out.push_back({0, static_cast<std::uint8_t>(v),
                   note([&] { return "dump marker " + std::to_string(v) + ": " + what; })});
  };

  // Six preset sections: music RAM1..RAM3, then microphone RAM1..RAM3.
  for (int s = 0; s < kUserSlots; ++s) {
    marker(kFirstSectionMarker + s, "music " + ramName(s));
    for (int k = 0; k < kBands; ++k)
      add(dumpaddr::MusicBand1 + k, state_.musicSlots[s].bands[k],
          [s] { return ramName(s) + " "; });
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

}  // namespace kp::sim
