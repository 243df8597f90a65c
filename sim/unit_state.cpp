#include "sim/unit_state.h"

#include <initializer_list>
#include <utility>

namespace kp::sim {

namespace {

// A curve drawn through a few (band index, offset in dB steps) points; the
// bands between two points are interpolated, rounded to the nearest step.
std::array<std::uint8_t, kBands> curve(std::initializer_list<std::pair<int, int>> points) {
  std::array<std::uint8_t, kBands> bands{};
  auto prev = *points.begin();
  for (const auto& next : points) {
    for (int b = prev.first; b <= next.first; ++b) {
      const int span = next.first - prev.first;
      const int num =
          span ? (prev.second * (next.first - b) + next.second * (b - prev.first)) : prev.second;
      const int den = span ? span : 1;
      const int offset = (2 * num + (num >= 0 ? den : -den)) / (2 * den);
      bands[b] = static_cast<std::uint8_t>(kFlatBand + offset);
    }
    prev = next;
  }
  return bands;
}

MicCurve micCurve(std::array<std::uint8_t, kBands> bands,
                  std::array<std::uint8_t, kEffects> effects) {
  MicCurve c;
  c.bands = bands;
  c.effects = effects;
  return c;
}

constexpr const char* kMusicNames[kSlots] = {"RAM1", "RAM2", "RAM3", "FLAT",
                                             "ROCK", "POPS", "SOFT", "DANCE"};
constexpr const char* kMicNames[kSlots] = {"RAM1",   "RAM2", "RAM3", "HALL",
                                           "CHORUS", "SOLO", "ROOM", "DELAY"};

}  // namespace

std::string UnitState::passwordText() const {
  std::string text;
  for (auto d : password) text += std::to_string(d);
  return text;
}

UnitState UnitState::factory() {
  UnitState s;
  const auto flat = curve({{0, 0}, {30, 0}});
  // Effects in row order: REP, DEL, ECHO, REV VOL, REV DEL, MASTER.
  const std::array<std::uint8_t, kEffects> plain = {30, 30, 30, 30, 30, 70};

  for (int i = 0; i < kUserSlots; ++i) {
    s.musicSlots[i].bands = flat;
    s.micSlots[i] = micCurve(flat, plain);
  }
  s.musicSlots[3].bands = flat;
  s.musicSlots[4].bands = curve({{0, 6}, {6, 4}, {12, 0}, {16, -2}, {20, 0}, {25, 4}, {30, 5}});
  s.musicSlots[5].bands = curve({{0, -1}, {8, 1}, {14, 4}, {18, 4}, {24, 1}, {30, -1}});
  s.musicSlots[6].bands = curve({{0, 1}, {12, 0}, {22, -2}, {30, -5}});
  s.musicSlots[7].bands = curve({{0, 9}, {5, 7}, {10, 1}, {18, 0}, {26, 3}, {30, 2}});

  s.micSlots[3] = micCurve(curve({{0, -6}, {4, -2}, {8, 0}, {20, 2}, {24, 3}, {28, 0}, {30, -3}}),
                           {20, 30, 40, 70, 60, 80});
  s.micSlots[4] =
      micCurve(curve({{0, -4}, {6, 0}, {18, 1}, {26, 2}, {30, 0}}), {40, 25, 50, 50, 40, 75});
  s.micSlots[5] = micCurve(curve({{0, -8}, {5, -3}, {10, 0}, {19, 3}, {23, 4}, {30, -2}}),
                           {10, 15, 20, 30, 20, 70});
  s.micSlots[6] = micCurve(curve({{0, -3}, {10, 0}, {20, 1}, {30, -1}}), {15, 10, 15, 45, 25, 65});
  s.micSlots[7] = micCurve(curve({{0, -5}, {8, 0}, {22, 2}, {30, 0}}), {60, 70, 65, 20, 15, 80});

  s.musicMode = 3;
  s.micMode = 3;
  s.music = s.musicSlots[3];
  s.mic = s.micSlots[3];
  s.surround = {40, 40, 35, 35, 40, 45};
  s.password = {0, 0, 0, 0};
  return s;
}

const char* musicModeName(int slot) { return slot >= 0 && slot < kSlots ? kMusicNames[slot] : "?"; }

const char* micModeName(int slot) { return slot >= 0 && slot < kSlots ? kMicNames[slot] : "?"; }

}  // namespace kp::sim
