#include "link/framer.h"

#include <gtest/gtest.h>

#include <random>

#include "link/frames.h"

namespace kp {
namespace {

struct Collected {
  std::vector<Bytes> messages;
  Framer framer{[this](const Bytes& m) { messages.push_back(m); }};
};

TEST(Framer, RecognisesTheThreeKindsOfMessage) {
  Collected c;
  c.framer.feed({0x55});
  c.framer.feed({0xAA, 0x60});
  c.framer.feed(commandFrame(51, 15));
  ASSERT_EQ(c.messages.size(), 3u);
  EXPECT_EQ(c.messages[0], Bytes{0x55});
  EXPECT_EQ(c.messages[1], (Bytes{0xAA, 0x60}));
  EXPECT_EQ(c.messages[2], commandFrame(51, 15));
  EXPECT_FALSE(c.framer.hasPartial());
}

TEST(Framer, AWholeAcknowledgementFrameIsOneAcknowledgementAndItsTailIsNoResendRequest) {
  Collected c;
  Bytes stream = commandFrame(0x60, 0x00);  // AA 60 9F 00 FF 55
  const Bytes next = commandFrame(20, 15);
  stream.insert(stream.end(), next.begin(), next.end());
  c.framer.feed(stream);
  ASSERT_EQ(c.messages.size(), 2u);
  EXPECT_EQ(c.messages[0], (Bytes{0xAA, 0x60}));
  EXPECT_EQ(c.messages[1], next);
  EXPECT_EQ(c.framer.droppedBytes(), 0u);
}

TEST(Framer, AFrameRightAfterATwoByteAcknowledgementIsKept) {
  Collected c;
  Bytes stream{0xAA, 0x60};
  const Bytes next = commandFrame(0x9F, 1);  // even one whose address looks like a tail
  c.framer.feed(stream);
  c.framer.feed(next);
  ASSERT_EQ(c.messages.size(), 2u);
  EXPECT_EQ(c.messages[1], next);
}

TEST(Framer, BytesThatStartNoMessageAreDroppedAndCounted) {
  Collected c;
  c.framer.feed({0x00, 0x13, 0xFE});
  c.framer.feed(commandFrame(6, 40));
  ASSERT_EQ(c.messages.size(), 1u);
  EXPECT_EQ(c.messages[0], commandFrame(6, 40));
  EXPECT_EQ(c.framer.droppedBytes(), 3u);
}

TEST(Framer, AMessageLeftUnfinishedByTheLineIsDroppedNotInterpreted) {
  Collected c;
  c.framer.feed({0xAA, 0x05, 0xFA});
  EXPECT_TRUE(c.framer.hasPartial());
  c.framer.lineSilent();
  EXPECT_TRUE(c.messages.empty());
  EXPECT_EQ(c.framer.droppedBytes(), 3u);
  c.framer.feed(commandFrame(5, 10));
  ASSERT_EQ(c.messages.size(), 1u);
  EXPECT_EQ(c.messages[0], commandFrame(5, 10));
}

TEST(Framer, TheSameStreamGivesTheSameMessagesHoweverTheReadsCutIt) {
  Bytes stream;
  auto add = [&](const Bytes& b) { stream.insert(stream.end(), b.begin(), b.end()); };
  add(commandFrame(0x33, 1));
  add({0x55});
  add({0xAA, 0x60});
  add(commandFrame(0x60, 0));
  add(commandFrame(0, 13));
  for (int a = 50; a < 82; ++a) add(commandFrame(static_cast<std::uint8_t>(a), 15));
  add({0x55, 0xAA, 0x60});
  add(commandFrame(93, 25));

  Collected whole;
  whole.framer.feed(stream);
  Collected bytewise;
  for (auto b : stream) bytewise.framer.feed({b});
  EXPECT_EQ(bytewise.messages, whole.messages);

  std::mt19937 rng(7);
  for (int round = 0; round < 50; ++round) {
    Collected chunked;
    for (std::size_t i = 0; i < stream.size();) {
      const std::size_t n = std::min<std::size_t>(1 + rng() % 9, stream.size() - i);
      chunked.framer.feed(Bytes(stream.begin() + static_cast<std::ptrdiff_t>(i),
                                stream.begin() + static_cast<std::ptrdiff_t>(i + n)));
      i += n;
    }
    ASSERT_EQ(chunked.messages, whole.messages) << "round " << round;
  }
  EXPECT_EQ(whole.framer.droppedBytes(), 0u);
  EXPECT_EQ(whole.messages.size(), 1u + 1 + 1 + 1 + 1 + 32 + 2 + 1);
}

}  // namespace
}  // namespace kp
