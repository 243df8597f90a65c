#include "sim/unit_map.h"

namespace kp::sim {

namespace {

std::string num(int n) { return std::to_string(n); }

std::string named(const std::string& head, const std::string& what) {
  return what.empty() ? head : head + ": " + what;
}

}  // namespace

std::optional<Effect> effectOfUnitAddress(std::uint8_t a) {
  switch (a) {
    case 76:
      return Effect::Master;
    case 77:
      return Effect::Del;
    case 78:
      return Effect::Rep;
    case 79:
      return Effect::Echo;
    case 80:
      return Effect::RevDel;
    case 81:
      return Effect::RevVol;
    default:
      return std::nullopt;
  }
}

std::optional<Effect> effectOfDumpAddress(std::uint8_t a) {
  switch (a) {
    case 11:
      return Effect::Master;
    case 12:
      return Effect::Del;
    case 13:
      return Effect::Rep;
    case 14:
      return Effect::Echo;
    case 15:
      return Effect::RevDel;
    case 16:
      return Effect::RevVol;
    default:
      return std::nullopt;
  }
}

std::uint8_t dumpAddressOf(Effect e) {
  switch (e) {
    case Effect::Master:
      return 11;
    case Effect::Del:
      return 12;
    case Effect::Rep:
      return 13;
    case Effect::Echo:
      return 14;
    case Effect::RevDel:
      return 15;
    case Effect::RevVol:
      return 16;
  }
  return 0;
}

const char* effectName(Effect e) {
  static constexpr const char* names[kEffects] = {"REP",     "DEL",     "ECHO",
                                                  "REV VOL", "REV DEL", "MASTER"};
  return names[static_cast<int>(e)];
}

const char* surroundName(Surround s) {
  static constexpr const char* names[kSurrounds] = {"L", "R", "SL", "SR", "C", "SUB"};
  return names[static_cast<int>(s)];
}

std::string describeSystemCode(std::uint8_t code) {
  switch (code) {
    case 0:
      return "disconnect";
    case 1:
      return "connect, short dump";
    case 2:
      return "connect, long dump";
    case 10:
      return "dump request";
    case 11:
      return "factory reset";
    case 12:
      return "end of batch";
    case 13:
      return "reset music equaliser";
    case 14:
      return "reset microphone equaliser";
    case 15:
      return "start of batch";
    default:
      return "unknown system code";
  }
}

std::string describeUnitAddress(std::uint8_t a, std::uint8_t v) {
  const std::string head = "address " + num(a) + " = " + num(v);
  if (a == 0) return "system " + num(v) + ": " + describeSystemCode(v);
  std::string what;
  if (a >= 1 && a <= 4)
    what = "password digit " + num(a);
  else if (a == unitaddr::MicMaster)
    what = "mic master";
  else if (a == unitaddr::MusicMaster)
    what = "music master";
  else if (a == unitaddr::MicMinVolume)
    what = "mic initial volume";
  else if (a == unitaddr::MusicMinVolume)
    what = "music initial volume";
  else if (a == unitaddr::MicMaxVolume)
    what = "mic maximum volume";
  else if (a == unitaddr::MusicMaxVolume)
    what = "music maximum volume";
  else if (a == unitaddr::MusicEffectMode)
    what = "music effect mode";
  else if (a == unitaddr::MicEffectMode)
    what = "mic effect mode";
  else if (a >= 14 && a <= 44)
    what = "mic band " + num(a - 13);
  else if (a >= 45 && a <= 75)
    what = "music band " + num(a - 44);
  else if (auto e = effectOfUnitAddress(a))
    what = std::string("effect ") + effectName(*e);
  else if (a == unitaddr::MicMode)
    what = std::string("mic mode ") + micModeName(v);
  else if (a == unitaddr::StoreMic)
    what = "store mic into RAM" + num(v + 1);
  else if (a == unitaddr::MusicMode)
    what = std::string("music mode ") + musicModeName(v);
  else if (a == unitaddr::StoreMusic)
    what = "store music into RAM" + num(v + 1);
  else if (a == unitaddr::Step)
    what = "step";
  else if (a >= 88 && a <= 93)
    what = std::string("5.1 ") + surroundName(static_cast<Surround>(a - 88));
  else if (a == unitaddr::KtvMinVolume)
    what = "ultra-low volume";
  else if (a == unitaddr::KtvBits)
    what = "ultra-low reset time / sensitivity";
  else
    what = "unknown";
  return named(head, what);
}

std::string describeDumpAddress(std::uint8_t a, std::uint8_t v) {
  const std::string head = "dump " + num(a) + " = " + num(v);
  std::string what;
  if (a >= 1 && a <= 4)
    what = "password digit " + num(a);
  else if (a == dumpaddr::MicMaster)
    what = "mic master";
  else if (a == dumpaddr::MusicMaster)
    what = "music master";
  else if (a == dumpaddr::MicMinVolume)
    what = "mic initial volume";
  else if (a == dumpaddr::MusicMinVolume)
    what = "music initial volume";
  else if (a == dumpaddr::MicMaxVolume)
    what = "mic maximum volume";
  else if (a == dumpaddr::MusicMaxVolume)
    what = "music maximum volume";
  else if (auto e = effectOfDumpAddress(a))
    what = std::string("effect ") + effectName(*e);
  else if (a == dumpaddr::MicMode)
    what = std::string("mic mode ") + micModeName(v);
  else if (a == dumpaddr::MusicMode)
    what = std::string("music mode ") + musicModeName(v);
  else if (a == dumpaddr::Step)
    what = "step";
  else if (a >= 20 && a <= 50)
    what = "mic band " + num(a - 19);
  else if (a >= 51 && a <= 81)
    what = "music band " + num(a - 50);
  else if (a == dumpaddr::MusicEffectMode)
    what = "music effect mode";
  else if (a == dumpaddr::MicEffectMode)
    what = "mic effect mode";
  else if (a == dumpaddr::KtvResetTime)
    what = "ultra-low reset time";
  else if (a == dumpaddr::KtvSensitivity)
    what = "ultra-low sensitivity";
  else if (a >= 87 && a <= 92)
    what = std::string("5.1 ") + surroundName(static_cast<Surround>(a - 87));
  else if (a == dumpaddr::KtvMinVolume)
    what = "ultra-low volume";
  return named(head, what);
}

}  // namespace kp::sim
