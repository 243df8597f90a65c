#pragma once
// The virtual unit: the karaoke processor's side of the serial line, without
// hardware and without any transport. Bytes from the panel go in through
// onBytesFromPanel; what the unit says comes out through onOutput at the
// moment it would reach the panel, on the UnitClock it is given. Paced, it
// also takes in each byte of the panel only when it would have crossed the
// line.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "sim/unit_clock.h"
#include "sim/unit_state.h"

namespace kp::sim {

struct UnitOptions {
  // Answer a change with the whole frame AA 60 9F 00 FF 55 instead of AA 60.
  bool longAnswer = false;
  // Confirm a factory reset with (0, 1|2) before its dump, as for a connect.
  bool confirmFactoryReset = true;
  // Report this dump kind whatever the panel asked for (true: long dump).
  std::optional<bool> forceFullModel;
  // A frame left incomplete this long is taken as not understood.
  int partialFrameTimeoutMs = 50;

  // Faults the unit can play.
  bool silent = false;                     // hears, never speaks
  bool noDump = false;                     // answers the connect, never dumps
  bool shortestDump = false;               // dumps only the last parameter, which ends it
  std::optional<std::uint64_t> stopAfter;  // goes mute after this many messages
  double resendProbability = 0;            // answer a frame with 55 instead
  double dropProbability = 0;              // ignore a received frame
  bool chunks = false;                     // deliver each message in random pieces
  int chunkGapUs = 1000;                   // between pieces when not paced
  bool paced = false;                      // 28800 baud, 11 bits a byte, both ways
  int latencyMs = 0;                       // before each message leaves
  std::uint64_t seed = 1;
};

struct UnitCounters {
  std::uint64_t framesReceived = 0;  // well-formed six-byte frames
  std::uint64_t acksReceived = 0;    // lone AA that released a paced message
  std::uint64_t strayAcks = 0;       // lone AA when nothing awaited one
  std::uint64_t framesIgnored = 0;   // not meaningful in the link state
  std::uint64_t framesDropped = 0;   // by the drop fault
  std::uint64_t framesBad = 0;       // malformed or incomplete: answered 55
  std::uint64_t garbageBytes = 0;    // outside any frame
  std::uint64_t answers = 0;         // AA 60 sent
  std::uint64_t resendRequests = 0;  // 55 sent (fault or bad frame)
  std::uint64_t valuesRejected = 0;  // answered, but outside the range
  std::uint64_t messagesSent = 0;
  std::uint64_t messagesWithheld = 0;  // by the stop-after fault
  std::uint64_t bytesSent = 0;
};

struct TraceEvent {
  enum class Direction { PanelToUnit, UnitToPanel };
  Direction direction;
  std::int64_t timeUs;
  Bytes bytes;
  std::string text;  // "address 51 = 15: music band 7", "dump marker 13: ..."
};

class VirtualUnit {
 public:
  enum class Link {
    Idle,      // no panel linked; only a connect is heard
    Answered,  // connect answered, waiting for the dump request
    Dumping,   // sending the dump (after a connect or a factory reset)
    Linked,
  };

  explicit VirtualUnit(UnitClock& clock, UnitOptions options = {});
  ~VirtualUnit();
  VirtualUnit(const VirtualUnit&) = delete;
  VirtualUnit& operator=(const VirtualUnit&) = delete;

  // Bytes as the panel wrote them, in any pieces.
  void onBytesFromPanel(const Bytes& bytes);
  // Bytes as they reach the panel, called from the clock.
  std::function<void(const Bytes&)> onOutput;
  // Every frame both ways, for logs. The descriptions are made only while
  // it is set, so a unit nobody traces spends nothing on them.
  std::function<void(const TraceEvent&)> onTrace;

  // Unsolicited notice that the masters went back to their initial volumes
  // (the frame AA 00 FF 0A F5 55). Only while linked and no dump or block is
  // under way; false otherwise.
  bool sendVolumeNotice();

  const UnitState& state() const { return state_; }
  void setState(const UnitState& s) { state_ = s; }
  Link link() const { return link_; }
  bool fullModel() const { return fullModel_; }
  // A paced message has gone out and its AA has not come back yet.
  bool awaitingAck() const { return awaitingAck_; }
  std::size_t queuedMessages() const { return queue_.size(); }
  const UnitCounters& counters() const { return counters_; }
  // Faults may be changed between exchanges; the seed counts only at start.
  UnitOptions& options() { return options_; }

  // What the unit sends as its dump, and as its answer to a mode change:
  // each entry is one (address, value) frame.
  struct Message {
    std::uint8_t address;
    std::uint8_t value;
    std::string note;
  };
  // Their notes are empty while nobody traces.
  std::vector<Message> dumpMessages() const;
  std::vector<Message> musicBlock() const;
  std::vector<Message> micBlock() const;

 private:
  enum class Piece { Frame, Ack, Bad, NeedMore };
  struct Outgoing {
    Bytes bytes;
    std::string note;
    bool endsDump = false;
  };

  void takeIn(const Bytes& bytes);
  void parse();
  Piece classify() const;
  void armPartialTimeout();
  void schedulePartialCheck();
  void onPartialTimeout(std::uint64_t generation);

  void handleAck();
  void handleFrame(std::uint8_t address, std::uint8_t value);
  void handleSystem(std::uint8_t code);
  bool apply(std::uint8_t address, std::uint8_t value);
  void connect(bool longDump);
  void startDump(bool confirm);
  void changeMusicMode(std::uint8_t mode);
  void changeMicMode(std::uint8_t mode);

  void answer();
  void requestResend(const std::string& why);
  void sendNow(Outgoing out);
  void queuePaced(const std::vector<Message>& messages, bool endsDump);
  void abandonPaced();
  void sendNextPaced();
  void putOut(const Outgoing& out, bool paced);
  bool chance(double p);
  void trace(TraceEvent::Direction d, const Bytes& bytes, std::string text);
  template <class Make>
  std::string note(Make&& make) const {
    return onTrace ? make() : std::string();
  }

  UnitClock& clock_;
  UnitOptions options_;
  std::mt19937_64 rng_;
  // What the clock runs for this unit checks first that the unit still lives.
  static bool alive(const VirtualUnit* unit, std::uint64_t serial);
  std::uint64_t serial_;

  UnitState state_ = UnitState::factory();
  Link link_ = Link::Idle;
  bool fullModel_ = false;
  UnitCounters counters_;

  Bytes inbox_;
  std::uint64_t inboxGeneration_ = 0;
  std::int64_t partialDueUs_ = 0;
  std::uint64_t partialGeneration_ = 0;
  bool partialCheckPending_ = false;

  std::deque<Outgoing> queue_;
  // Pieces on their way to the panel, in the order they fall due.
  struct Delivery {
    std::array<std::uint8_t, 6> bytes{};
    std::size_t size = 0;
    bool last = false, paced = false;
    std::uint64_t generation = 0;
    std::string text;  // for the trace
    Bytes whole;
  };
  std::deque<Delivery> deliveries_;
  Bytes pieceBuffer_;
  void deliverNext();
  bool awaitingAck_ = false;
  bool awaitedDelivered_ = false;  // an AA counts only after the message arrived
  std::uint64_t sendGeneration_ = 0;

  std::int64_t lineFreeTick_ = 0;    // in 1/18 us, when paced: the unit's line
  std::int64_t inLineFreeTick_ = 0;  // and the panel's
  std::int64_t lastDeliveryUs_ = 0;
};

const char* linkName(VirtualUnit::Link link);

}  // namespace kp::sim
