// The receive ring: wrap-around, flags and dropping what does not fit.
#include <gtest/gtest.h>

#include <vector>

#include "ring.h"

namespace {

std::vector<uint8_t> bytes(int from, int n) {
  std::vector<uint8_t> v;
  for (int i = 0; i < n; ++i) v.push_back(uint8_t(from + i));
  return v;
}

TEST(ByteRing, WrapsAroundAndKeepsOrder) {
  hidlink::ByteRing ring(8);
  ASSERT_TRUE(ring.valid());
  auto a = bytes(1, 6);
  EXPECT_EQ(ring.append(a.data(), a.size()), 6u);
  uint8_t out[8];
  EXPECT_EQ(ring.take(out, 4), 4u);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), bytes(1, 4));
  auto b = bytes(7, 5);  // runs over the end of the storage
  EXPECT_EQ(ring.append(b.data(), b.size()), 5u);
  EXPECT_EQ(ring.size(), 7u);
  EXPECT_EQ(ring.take(out, 8), 7u);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 7), bytes(5, 7));
  EXPECT_FALSE(ring.hasData());
}

TEST(ByteRing, DropsWhatDoesNotFitAndTracksFullAndHasData) {
  hidlink::ByteRing ring(8);
  EXPECT_FALSE(ring.hasData());
  auto a = bytes(1, 10);
  EXPECT_EQ(ring.append(a.data(), a.size()), 8u);
  EXPECT_TRUE(ring.full());
  EXPECT_TRUE(ring.hasData());
  EXPECT_EQ(ring.append(a.data(), 1), 0u);
  uint8_t out[8];
  EXPECT_EQ(ring.take(out, 3), 3u);
  EXPECT_FALSE(ring.full());
  EXPECT_TRUE(ring.hasData());
  EXPECT_EQ(ring.take(out, 8), 5u);
  EXPECT_EQ(out[4], 8);  // the ninth and tenth bytes were dropped
  EXPECT_FALSE(ring.hasData());
  EXPECT_EQ(ring.take(out, 8), 0u);

  ring.append(a.data(), 4);
  ring.reset();
  EXPECT_EQ(ring.size(), 0u);
  EXPECT_FALSE(ring.hasData());
  EXPECT_EQ(ring.room(), 8u);
}

// A ring whose storage could not be had holds nothing: neither full nor
// holding data, and it takes no bytes.
TEST(ByteRing, InvalidRingIsEmptyNotFull) {
  hidlink::ByteRing ring(0);
  ASSERT_FALSE(ring.valid());
  const uint8_t byte = 1;
  EXPECT_EQ(ring.append(&byte, 1), 0u);
  EXPECT_FALSE(ring.full() || ring.hasData());
}

TEST(ByteRing, ReceiveRingHoldsEightMebibytes) {
  hidlink::ByteRing ring(hidlink::kRingCapacity);
  ASSERT_TRUE(ring.valid());
  EXPECT_EQ(ring.capacity(), 0x800000u);
}

}  // namespace
