#include "engine/RingBuffer.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using Ring = RingBuffer<short, 1>;

std::vector<short> Sequence(short first, int count) {
  std::vector<short> v(count);
  for (int i = 0; i < count; ++i) v[i] = static_cast<short>(first + i);
  return v;
}

TEST(RingBuffer, CapacityFourHoldsFourThenReportsNoRoom) {
  Ring ring(4);
  EXPECT_EQ(ring.WritableCount(), 4u);
  const auto in = Sequence(1, 6);
  EXPECT_EQ(ring.Write(in.data(), 6), 4u);  // the rest is dropped
  EXPECT_EQ(ring.WritableCount(), 0u);
  EXPECT_EQ(ring.ReadableCount(), 4u);
  EXPECT_EQ(ring.Write(in.data(), 1), 0u);

  short out[4] = {};
  EXPECT_EQ(ring.Read(out, 4), 4u);
  EXPECT_EQ(std::vector<short>(out, out + 4), Sequence(1, 4));
  EXPECT_EQ(ring.WritableCount(), 4u);
}

TEST(RingBuffer, ShortReadReturnsWhatIsThereAndZeroFillsTheRest) {
  Ring ring(16);
  const auto in = Sequence(100, 3);
  ring.Write(in.data(), 3);
  std::vector<short> out(10, -1);
  EXPECT_EQ(ring.Read(out.data(), 10), 3u);
  EXPECT_EQ(std::vector<short>(out.begin(), out.begin() + 3), in);
  for (int i = 3; i < 10; ++i) EXPECT_EQ(out[i], 0) << "sample " << i;
  // Empty now: a further read is all zeros.
  EXPECT_EQ(ring.Read(out.data(), 2), 0u);
  EXPECT_EQ(out[0], 0);
}

TEST(RingBuffer, WritesAndReadsAcrossTheEndKeepOrder) {
  // Capacity 7 = 8 slots. Every start position and length crosses the end at some point.
  for (uint32_t shift = 0; shift < 8; ++shift) {
    for (uint32_t n = 1; n <= 7; ++n) {
      Ring ring(7);
      std::vector<short> scratch(8);
      ring.Write(scratch.data(), shift);
      ring.Read(scratch.data(), shift);
      const auto in = Sequence(static_cast<short>(1000 + n), n);
      ASSERT_EQ(ring.Write(in.data(), n), n);
      std::vector<short> out(n);
      ASSERT_EQ(ring.Read(out.data(), n), n);
      EXPECT_EQ(out, in) << "shift " << shift << " n " << n;
    }
  }
}

TEST(RingBuffer, ResetEmptiesIt) {
  Ring ring(4);
  const auto in = Sequence(1, 3);
  ring.Write(in.data(), 3);
  ring.Reset();
  EXPECT_EQ(ring.ReadableCount(), 0u);
  EXPECT_EQ(ring.WritableCount(), 4u);
}

TEST(RingBuffer, CapacityWithoutAnElementCountThrowsMemoryException) {
  // The largest capacity wraps the slot count to 0. The next one needs 8 GiB of samples:
  // more than a 32-bit size_t counts, an allocation like any other for a 64-bit one.
  std::vector<uint32_t> capacities{0xFFFFFFFFu};
  if (sizeof(size_t) == 4) capacities.push_back(0xFFFFFFFEu);
  for (uint32_t capacity : capacities) {
    bool thrown = false;
    try {
      Ring ring(capacity);
    } catch (CException* e) {
      thrown = e->IsKindOf(RUNTIME_CLASS(CMemoryException));
      e->Delete();
    }
    EXPECT_TRUE(thrown) << capacity;
  }
}

// One writer, one reader, a small ring and odd chunk sizes so the indexes wrap often
// and the two sides keep meeting at full and empty.
TEST(RingBuffer, TwoThreadsMoveMillionsOfSamplesInOrder) {
  constexpr uint32_t kTotal = 4'000'000;
  Ring ring(509);
  std::thread writer([&] {
    std::vector<short> chunk(97);
    uint32_t next = 0;
    while (next < kTotal) {
      const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(chunk.size()), kTotal - next);
      for (uint32_t i = 0; i < n; ++i) chunk[i] = static_cast<short>(next + i);
      uint32_t done = 0;
      while (done < n) {
        done += ring.Write(chunk.data() + done, n - done);
        if (done < n) std::this_thread::yield();
      }
      next += n;
    }
  });

  std::vector<short> chunk(131);
  uint32_t expected = 0;
  uint32_t mismatches = 0;
  while (expected < kTotal) {
    const uint32_t want =
        std::min<uint32_t>(ring.ReadableCount(), static_cast<uint32_t>(chunk.size()));
    if (want == 0) {
      std::this_thread::yield();
      continue;
    }
    const uint32_t got = ring.Read(chunk.data(), want);
    ASSERT_EQ(got, want);
    for (uint32_t i = 0; i < got; ++i, ++expected) {
      if (chunk[i] != static_cast<short>(expected)) ++mismatches;
    }
  }
  writer.join();
  EXPECT_EQ(expected, kTotal);
  EXPECT_EQ(mismatches, 0u);
  EXPECT_EQ(ring.ReadableCount(), 0u);
}

}  // namespace
