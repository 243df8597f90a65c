#include "sim/virtual_unit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "core/virtual_loop.h"
#include "link/frames.h"
#include "sim/in_process.h"

namespace kp::sim {
namespace {

using AV = std::pair<int, int>;

struct Msg {
  Bytes bytes;
  std::int64_t us;  // when its last byte arrived
  bool isFrame() const { return bytes.size() == 6 && bytes[1] != 0x60; }
};

// The panel's end of the line: cuts what arrives into the unit's messages
// and, as the panel does in dumps and blocks, acknowledges every frame.
struct Line {
  explicit Line(UnitOptions o = {}, int linkCode = 0) : opts(o), unit(clock, o) {
    unit.onOutput = [this](const Bytes& b) {
      ++deliveries;
      // A piece joining an unfinished message must come later, or a reader
      // would take both in one read.
      if (!stream.empty() && clock.nowUs() <= lastUs) ++sameTimePieces;
      lastUs = clock.nowUs();
      stream.insert(stream.end(), b.begin(), b.end());
      cut();
    };
    if (linkCode) {
      linkUp(linkCode);
      got.clear();
    }
  }
  void cut() {
    while (!stream.empty()) {
      std::size_t len = stream[0] == 0x55 ? 1 : 6;
      if (len == 6 && stream.size() >= 2 && stream[1] == 0x60 && !opts.longAnswer) len = 2;
      if (stream.size() < len) return;
      Msg m{Bytes(stream.begin(), stream.begin() + len), clock.nowUs()};
      stream.erase(stream.begin(), stream.begin() + len);
      if (autoAck && m.isFrame())
        clock.at(clock.nowUs(), [this] { unit.onBytesFromPanel({0xAA}); });
      got.push_back(std::move(m));
    }
  }
  void write(const Bytes& b) {
    unit.onBytesFromPanel(b);
    clock.runAll();
  }
  void send(int a, int v) {
    write(commandFrame(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(v)));
  }
  void ack() { write({0xAA}); }
  void linkUp(int code) {  // connect, acknowledge the answer, ask for the dump
    send(0, code);
    ack();
    send(0, 10);
  }
  std::vector<AV> frames() const {
    std::vector<AV> out;
    for (const auto& m : got)
      if (m.isFrame()) out.push_back({m.bytes[1], m.bytes[3]});
    return out;
  }
  int answers() const {
    return static_cast<int>(std::count_if(got.begin(), got.end(), [](const Msg& m) {
      return m.bytes.size() > 1 && m.bytes[1] == 0x60;
    }));
  }

  UnitOptions opts;
  ManualClock clock;
  VirtualUnit unit;
  std::vector<Msg> got;
  Bytes stream;
  bool autoAck = true;
  int deliveries = 0, sameTimePieces = 0;
  std::int64_t lastUs = 0;
};

std::vector<int> addresses(const std::vector<AV>& f, std::size_t from = 0) {
  std::vector<int> out;
  for (std::size_t i = from; i < f.size(); ++i) out.push_back(f[i].first);
  return out;
}

void appendRange(std::vector<int>& v, int from, int to) {
  for (int a = from; a <= to; ++a) v.push_back(a);
}

// The dump as the panel's parser expects it: six sections, then parameters.
std::vector<int> expectedDump(bool full) {
  std::vector<int> a;
  for (int s = 0; s < 6; ++s) {
    a.push_back(0);
    appendRange(a, s < 3 ? 51 : 20, s < 3 ? 81 : 50);
    if (s >= 3) appendRange(a, 11, 16);
  }
  appendRange(a, 1, 83);
  if (full) {
    a.push_back(84);
    appendRange(a, 86, 93);
  }
  return a;
}

constexpr std::size_t kSectionMessages = 3 * 32 + 3 * 38;

// The parameter part of a dump that follows its connect answer.
std::map<int, int> parameters(const Line& line) {
  const auto f = line.frames();
  std::map<int, int> out;
  for (std::size_t i = 1 + kSectionMessages; i < f.size(); ++i) out[f[i].first] = f[i].second;
  return out;
}

// ---------------------------------------------------------------- the dump

TEST(Dump, ShortDumpRunsSectionsThenParametersToEightyThree) {
  Line line;
  line.linkUp(1);
  const auto f = line.frames();
  EXPECT_EQ(line.got.at(0).bytes, (Bytes{0xAA, 0x00, 0xFF, 0x01, 0xFE, 0x55}));
  EXPECT_EQ(addresses(f, 1), expectedDump(false));
  std::vector<int> markers;
  for (std::size_t i = 1; i < f.size(); ++i)
    if (f[i].first == 0) markers.push_back(f[i].second);
  EXPECT_EQ(markers, (std::vector<int>{13, 14, 15, 16, 17, 18}));
  EXPECT_EQ(line.unit.link(), VirtualUnit::Link::Linked);
}

TEST(Dump, LongDumpEndsAtNinetyThreeUnlessForcedShort) {
  Line line;
  line.linkUp(2);
  EXPECT_EQ(line.frames().at(0), AV(0, 2));
  EXPECT_EQ(addresses(line.frames(), 1), expectedDump(true));

  UnitOptions o;
  o.forceFullModel = false;
  Line forced(o);
  forced.linkUp(2);
  EXPECT_EQ(forced.frames().at(0), AV(0, 1));
  EXPECT_EQ(forced.frames().back().first, 83);
}

TEST(Dump, EachMessageWaitsForTheAckOfThePrevious) {
  Line line;
  line.autoAck = false;
  line.linkUp(1);
  line.send(0, 10);                // the panel repeats its request until the dump begins
  ASSERT_EQ(line.got.size(), 2u);  // connect answer, marker 13
  line.clock.advanceUs(10'000'000);
  EXPECT_EQ(line.got.size(), 2u);
  line.ack();
  EXPECT_EQ(line.frames().back().first, 51);
  line.write({0xAA, 0xAA});  // a doubled AA releases one message, not two
  EXPECT_EQ(line.got.size(), 4u);
  EXPECT_TRUE(line.unit.awaitingAck());
  line.autoAck = true;
  line.ack();
  EXPECT_EQ(line.frames().size(), 1 + expectedDump(false).size());
}

TEST(Dump, UserSlotsTravelInTheirSections) {
  Line line({}, 1);
  line.send(45, 20);  // music band 1
  line.send(86, 1);   // into RAM2
  line.send(44, 3);   // mic band 31
  line.send(78, 77);  // REP
  line.send(83, 2);   // into RAM3
  EXPECT_EQ(line.answers(), 5);
  line.got.clear();
  line.linkUp(1);
  const auto f = line.frames();
  auto at = [&](std::size_t i) { return f.at(1 + i); };
  EXPECT_EQ(at(1), AV(51, 15));  // RAM1 untouched
  EXPECT_EQ(at(32), AV(0, 14));
  EXPECT_EQ(at(33), AV(51, 20));
  const std::size_t s6 = 96 + 2 * 38;
  EXPECT_EQ(at(s6), AV(0, 18));
  EXPECT_EQ(at(s6 + 31), AV(50, 3));
  EXPECT_EQ(at(s6 + 34), AV(13, 77));  // REP reported under 13
  EXPECT_EQ(at(s6 + 37).first, 16);    // the sections end with 16
}

TEST(Dump, ParametersGoOutUnderTheirDumpAddresses) {
  struct Row {
    int unitAddress, value, dumpAddress;
  };
  const std::vector<Row> rows = {
      {84, 6, 18},  {82, 7, 17},                            // modes first: they load curves
      {1, 7, 1},    {2, 3, 2},    {3, 0, 3},    {4, 9, 4},  // password digits
      {5, 55, 5},   {6, 66, 6},   {7, 21, 7},   {8, 22, 8},   {9, 91, 9},
      {10, 92, 10}, {11, 5, 82},  {12, 6, 83},  // effect modes
      {76, 41, 11}, {77, 42, 12}, {78, 43, 13}, {79, 44, 14}, {80, 45, 15},
      {81, 46, 16}, {87, 12, 19}, {14, 1, 20},  {44, 29, 50}, {45, 2, 51},
      {75, 28, 81}, {88, 11, 87}, {90, 13, 89}, {93, 16, 92},  // 5.1 L, SL, SUB
      {94, 33, 93}, {95, 4, 84},  {95, 32, 86},                // ultra-low
  };
  Line line({}, 2);
  for (const auto& r : rows) line.send(r.unitAddress, r.value);
  EXPECT_EQ(line.unit.counters().valuesRejected, 0u);
  line.got.clear();
  line.linkUp(2);
  const auto p = parameters(line);
  for (const auto& r : rows)
    EXPECT_EQ(p.at(r.dumpAddress), r.value) << "unit address " << r.unitAddress;
}

// ---------------------------------------------------------------- reassembly

TEST(Reassembly, FrameInSinglesGetsTheSameAnswer) {
  Line line;
  for (auto b : commandFrame(0, 1)) {
    line.unit.onBytesFromPanel({b});
    line.clock.advanceUs(2000);
  }
  line.clock.runAll();
  ASSERT_EQ(line.got.size(), 1u);
  EXPECT_EQ(line.got[0].bytes, commandFrame(0, 1));
}

TEST(Reassembly, GluedFramesAcksAndNoiseAreSortedOut) {
  Line line({}, 1);
  Bytes b = {0x00, 0x13};  // noise before the first header
  for (const auto& f : {commandFrame(5, 10), commandFrame(6, 20)})
    b.insert(b.end(), f.begin(), f.end());
  line.write(b);
  EXPECT_EQ(line.answers(), 2);
  EXPECT_EQ(line.unit.state().musicMaster, 20);
  EXPECT_EQ(line.unit.counters().garbageBytes, 2u);

  line.autoAck = false;
  line.send(84, 4);  // a block, its first message out
  line.got.clear();
  b = {0xAA};
  const auto f = commandFrame(5, 33);
  b.insert(b.end(), f.begin(), f.end());
  line.write(b);
  EXPECT_EQ(line.frames(), (std::vector<AV>{{52, line.unit.state().music.bands[1]}}));
  EXPECT_EQ(line.answers(), 1);
  EXPECT_EQ(line.unit.state().micMaster, 33);
}

TEST(Reassembly, MalformedOrIncompleteFramesAskForAResend) {
  Line line({}, 1);
  line.write({0xAA, 0x05, 0xFB, 0x0A, 0xF5, 0x55});  // bad address complement
  ASSERT_EQ(line.got.size(), 1u);
  EXPECT_EQ(line.got[0].bytes, Bytes{0x55});
  EXPECT_NE(line.unit.state().micMaster, 10);

  line.got.clear();
  const std::int64_t t0 = line.clock.nowUs();
  line.unit.onBytesFromPanel({0xAA, 0x05, 0xFA});
  line.clock.advanceUs(40'000);
  EXPECT_TRUE(line.got.empty());  // may still be completed
  line.clock.runAll();
  ASSERT_EQ(line.got.size(), 1u);
  EXPECT_EQ(line.got[0].bytes, Bytes{0x55});
  EXPECT_EQ(line.got[0].us - t0, 50'000);
  line.send(5, 10);  // the panel's resend
  EXPECT_EQ(line.unit.state().micMaster, 10);
}

// ---------------------------------------------------------------- linked

TEST(Linked, ChangesAreAnsweredShortOrLong) {
  for (bool longAnswer : {false, true}) {
    UnitOptions o;
    o.longAnswer = longAnswer;
    Line line(o, 1);
    line.send(45, 17);
    ASSERT_EQ(line.got.size(), 1u);
    EXPECT_EQ(line.got[0].bytes, longAnswer ? commandFrame(0x60, 0) : (Bytes{0xAA, 0x60}));
    EXPECT_EQ(line.unit.state().music.bands[0], 17);
  }
}

TEST(Linked, OutOfRangeIsAnsweredButNotTaken) {
  Line line({}, 1);
  const UnitState before = line.unit.state();
  for (AV f : std::vector<AV>{{45, 31},
                              {87, 0},
                              {87, 16},
                              {1, 10},
                              {7, 0},
                              {76, 101},
                              {88, 20} /* no 5.1 on the short model */,
                              {95, 3},
                              {86, 3},
                              {99, 1}})
    line.send(f.first, f.second);
  EXPECT_EQ(line.answers(), 10);
  EXPECT_EQ(line.unit.counters().valuesRejected, 10u);
  EXPECT_EQ(line.unit.state(), before);
}

TEST(Linked, NothingCountsOutsideTheLink) {
  Line line;
  const UnitState before = line.unit.state();
  line.send(45, 20);  // before any connect
  line.send(0, 11);
  line.send(0, 1);
  line.got.clear();
  line.send(45, 20);  // answered, not yet dumped
  EXPECT_TRUE(line.got.empty());
  line.send(0, 10);
  line.got.clear();
  line.send(0, 0);  // disconnect: no answer
  line.send(45, 20);
  EXPECT_TRUE(line.got.empty());
  EXPECT_EQ(line.unit.link(), VirtualUnit::Link::Idle);
  EXPECT_EQ(line.unit.state(), before);
}

TEST(Linked, ResetBatchAndPasswordCommands) {
  Line line({}, 1);
  line.send(45, 2);
  line.send(14, 28);
  line.send(79, 88);  // ECHO
  line.send(0, 13);
  EXPECT_EQ(line.unit.state().music.bands[0], 15);
  EXPECT_EQ(line.unit.state().mic.bands[0], 28);
  line.send(0, 14);
  EXPECT_EQ(line.unit.state().mic.bands, line.unit.state().musicSlots[3].bands);  // flat
  EXPECT_EQ(line.unit.state().mic.effect(Effect::Echo), 88);
  line.send(0, 15);
  line.send(0, 12);
  for (AV d : std::vector<AV>{{1, 4}, {2, 0}, {3, 7}, {4, 1}}) line.send(d.first, d.second);
  EXPECT_EQ(line.answers(), 11);
  EXPECT_EQ(line.unit.state().passwordText(), "4071");
}

TEST(Linked, VolumeNoticeOnlyWhenLinkedAndIdle) {
  Line line;
  EXPECT_FALSE(line.unit.sendVolumeNotice());
  line.linkUp(1);
  for (AV f : std::vector<AV>{{5, 80}, {6, 90}, {7, 25}, {8, 35}}) line.send(f.first, f.second);
  line.autoAck = false;
  line.send(84, 0);
  EXPECT_FALSE(line.unit.sendVolumeNotice());  // not in the middle of a block
  line.autoAck = true;
  line.ack();
  line.got.clear();
  EXPECT_TRUE(line.unit.sendVolumeNotice());
  line.clock.runAll();
  ASSERT_EQ(line.got.size(), 1u);
  EXPECT_EQ(line.got[0].bytes, (Bytes{0xAA, 0x00, 0xFF, 0x0A, 0xF5, 0x55}));
  EXPECT_EQ(line.unit.state().micMaster, 25);
  EXPECT_EQ(line.unit.state().musicMaster, 35);
}

// ---------------------------------------------------------------- modes

TEST(ModeChange, AnsweredByTheBlockAloneMicEndingAtSixteen) {
  Line line({}, 1);
  line.send(84, 4);
  std::vector<int> want;
  appendRange(want, 51, 81);
  EXPECT_EQ(addresses(line.frames()), want);
  EXPECT_EQ(line.answers(), 0);  // the panel expects the block, not AA 60
  for (int k = 0; k < 31; ++k)
    EXPECT_EQ(line.frames()[k].second, line.unit.state().musicSlots[4].bands[k]);

  line.got.clear();
  line.send(82, 5);
  want.clear();
  appendRange(want, 20, 50);
  appendRange(want, 11, 16);
  const auto f = line.frames();
  EXPECT_EQ(addresses(f), want);
  const MicCurve& solo = line.unit.state().micSlots[5];
  EXPECT_EQ(f[31], AV(11, solo.effect(Effect::Master)));
  EXPECT_EQ(f[32], AV(12, solo.effect(Effect::Del)));
  EXPECT_EQ(f[33], AV(13, solo.effect(Effect::Rep)));
  EXPECT_EQ(f[35], AV(15, solo.effect(Effect::RevDel)));
  EXPECT_EQ(f[36], AV(16, solo.effect(Effect::RevVol)));
}

TEST(ModeChange, UnsavedEditsAreLostStoredOnesComeBack) {
  Line line({}, 1);
  for (AV f : std::vector<AV>{{84, 0}, {45, 25}, {84, 3}}) line.send(f.first, f.second);
  line.got.clear();
  line.send(84, 0);
  EXPECT_EQ(line.frames().at(0), AV(51, 15));
  for (AV f : std::vector<AV>{{45, 25}, {86, 0}, {84, 3}}) line.send(f.first, f.second);
  line.got.clear();
  line.send(84, 0);
  EXPECT_EQ(line.frames().at(0), AV(51, 25));
}

TEST(ModeChange, NewModeReplacesABlockThePanelStoppedAcknowledging) {
  Line line({}, 1);
  line.autoAck = false;
  line.send(84, 4);
  line.got.clear();
  line.autoAck = true;
  line.send(82, 6);
  EXPECT_EQ(line.frames().size(), 37u);
  EXPECT_FALSE(line.unit.awaitingAck());
}

// ---------------------------------------------------------------- factory reset

TEST(FactoryReset, ConfirmsThenDumpsFactoryValuesUnasked) {
  Line line({}, 2);
  for (AV f : std::vector<AV>{{1, 9}, {45, 3}, {86, 0}}) line.send(f.first, f.second);
  line.got.clear();
  line.send(0, 11);  // no dump request follows from the panel
  const auto f = line.frames();
  EXPECT_EQ(f.at(0), AV(0, 2));
  EXPECT_EQ(addresses(f, 1), expectedDump(true));
  EXPECT_EQ(line.answers(), 0);
  EXPECT_EQ(f.at(2), AV(51, 15));  // RAM1 restored
  EXPECT_EQ(parameters(line).at(1), 0);
  EXPECT_EQ(line.unit.state(), UnitState::factory());
  EXPECT_EQ(line.unit.link(), VirtualUnit::Link::Linked);

  UnitOptions o;
  o.confirmFactoryReset = false;
  Line quiet(o, 1);
  quiet.send(0, 11);
  EXPECT_EQ(addresses(quiet.frames()), expectedDump(false));
}

// ---------------------------------------------------------------- faults

TEST(Faults, SilentNoDumpAndStopAfter) {
  UnitOptions silent;
  silent.silent = true;
  Line mute(silent);
  mute.linkUp(1);
  mute.send(45, 20);
  mute.write({0xAA, 0x05});
  mute.clock.runAll();
  EXPECT_TRUE(mute.got.empty());
  EXPECT_EQ(mute.unit.counters().framesReceived, 3u);

  UnitOptions noDump;
  noDump.noDump = true;
  Line answerOnly(noDump);
  answerOnly.linkUp(1);
  answerOnly.send(0, 10);
  EXPECT_EQ(answerOnly.frames(), (std::vector<AV>{{0, 1}}));

  UnitOptions stop;
  stop.stopAfter = 5;
  Line stalls(stop);
  stalls.linkUp(1);
  EXPECT_EQ(stalls.got.size(), 5u);  // connect answer, marker, 3 bands
  stalls.ack();
  EXPECT_EQ(stalls.got.size(), 5u);
  EXPECT_EQ(stalls.unit.link(), VirtualUnit::Link::Dumping);
}

TEST(Faults, ProbabilityOneResendsOrDropsEveryFrame) {
  UnitOptions o;
  o.resendProbability = 1;
  Line resend(o);
  resend.linkUp(1);
  ASSERT_EQ(resend.got.size(), 2u);
  for (const auto& m : resend.got) EXPECT_EQ(m.bytes, Bytes{0x55});
  EXPECT_EQ(resend.unit.link(), VirtualUnit::Link::Idle);

  UnitOptions d;
  d.dropProbability = 1;
  Line drop(d);
  drop.linkUp(1);
  EXPECT_TRUE(drop.got.empty());
  EXPECT_EQ(drop.unit.counters().framesDropped, 2u);
}

// Which of 40 changes a linked unit answered while dropping half.
std::vector<bool> dropPattern(std::uint64_t seed) {
  UnitOptions o;
  o.seed = seed;
  Line line(o, 1);
  line.unit.options().dropProbability = 0.5;
  std::vector<bool> answered;
  for (int i = 0; i < 40; ++i) {
    const int before = line.answers();
    line.send(45, i % 31);
    answered.push_back(line.answers() > before);
  }
  return answered;
}

TEST(Faults, SeedMakesRandomFaultsReproducible) {
  const auto a = dropPattern(7);
  EXPECT_EQ(a, dropPattern(7));
  EXPECT_NE(a, dropPattern(8));
  const auto kept = std::count(a.begin(), a.end(), true);
  EXPECT_GT(kept, 8);
  EXPECT_LT(kept, 32);
}

TEST(Faults, ChunksSplitTheBytesButKeepThem) {
  Line plain;
  plain.linkUp(2);
  UnitOptions o;
  o.chunks = true;
  o.seed = 3;
  Line chunked(o);
  chunked.linkUp(2);
  EXPECT_EQ(chunked.frames(), plain.frames());
  EXPECT_GE(chunked.deliveries, 2 * plain.deliveries);  // every message cut at least once
  EXPECT_EQ(chunked.sameTimePieces, 0);
}

TEST(Faults, PacedBothWaysAtElevenBitsPerByteWithoutDrift) {
  constexpr double kByteUs = 11 * 1e6 / 28800;
  UnitOptions o;
  o.paced = true;
  Line line(o);
  line.linkUp(1);
  // The panel's AA reaches the unit a byte after it was written, and the next
  // dump message is through 6 bytes after that.
  for (std::size_t i = 3; i < line.got.size(); ++i)
    EXPECT_NEAR(static_cast<double>(line.got[i].us - line.got[i - 1].us), 7 * kByteUs, 1.0);
  // Twenty frames written at once arrive one after the other, each answered
  // as it is through; the last answer takes its own two bytes.
  line.got.clear();
  Bytes burst;
  for (int i = 0; i < 20; ++i) {
    const auto f = commandFrame(45, static_cast<std::uint8_t>(i));
    burst.insert(burst.end(), f.begin(), f.end());
  }
  const std::int64_t t0 = line.clock.nowUs();
  line.write(burst);
  ASSERT_EQ(line.got.size(), 20u);
  EXPECT_NEAR(static_cast<double>(line.got.back().us - t0), (20 * 6 + 2) * kByteUs, 1.0);
  EXPECT_NEAR(static_cast<double>(line.got.front().us - t0), (6 + 2) * kByteUs, 1.0);
}

TEST(Faults, LatencyDelaysEveryMessage) {
  UnitOptions o;
  o.latencyMs = 30;
  Line line(o);
  const std::int64_t t0 = line.clock.nowUs();
  line.send(0, 1);
  ASSERT_EQ(line.got.size(), 1u);
  EXPECT_EQ(line.got[0].us - t0, 30'000);
  line.ack();
  line.send(0, 10);
  EXPECT_GE(line.got.back().us - t0,
            static_cast<std::int64_t>(1 + expectedDump(false).size()) * 30'000);
}

// ---------------------------------------------------------------- in process

TEST(InProcess, EveryReadOfThePanelHoldsOneMessage) {
  VirtualLoop loop;
  VirtualSerialPort port(loop);
  port.setReadSize(7);
  ASSERT_TRUE(port.open(nullptr));
  InProcessUnit unit(loop, port);
  std::vector<Bytes> reads;
  port.onReadyRead = [&] {
    while (port.bytesAvailable()) {
      reads.push_back(port.read());
      if (reads.back().size() != 6) continue;
      port.write({0xAA});
      if (reads.size() == 1) port.write(commandFrame(0, 10));
    }
  };
  port.write(commandFrame(0, 2));
  ASSERT_TRUE(loop.runUntil([&] { return unit->link() == VirtualUnit::Link::Linked; }, 5000));
  loop.advance(100);
  EXPECT_EQ(reads.size(), 1 + expectedDump(true).size());
  for (const auto& r : reads) EXPECT_EQ(r.size(), 6u);
}

}  // namespace
}  // namespace kp::sim
