#include "engine/SectorBlock.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/engine/FakeCDLibrary.h"

namespace {

TEST(SectorBlock, AllocatesAZeroedBlockWithItsCapacity) {
  SectorBlockPtr block(AllocSectorBlock(27));
  ASSERT_TRUE(block);
  EXPECT_EQ(GlobalSize(block.get()), 63528u);
  EXPECT_EQ(block->capacity, 63504u);
  EXPECT_EQ(block->firstSector, 0);
  EXPECT_EQ(block->sectorCount, 0u);
  EXPECT_EQ(block->bytesDelivered, 0u);
  EXPECT_EQ(block->reserved, 0u);
  EXPECT_EQ(block->audioOffset, 0u);
  const uint8_t* data = CDAudioBlockData(block.get());
  for (uint32_t i = 0; i < 63504; ++i) ASSERT_EQ(data[i], 0) << i;
  // A sector count whose byte count does not fit is refused, not wrapped.
  EXPECT_EQ(AllocSectorBlock(0x7FFFFFFF), nullptr);
}

// The playback block installed for the test, and a fake drive whose sectors hold the
// sample numbers from the first sector's LBA on.
class ReadToRing : public ::testing::Test {
 protected:
  void SetUp() override {
    g_pSectorBlock.reset(AllocSectorBlock(27));
    fake.read = [this](CDAudioBlock* block) {
      requests.push_back(*block);
      if (fail) return 0;
      auto* samples = reinterpret_cast<short*>(CDAudioBlockData(block) + offset);
      const uint32_t n = block->sectorCount * kCDSectorSamples;
      if (offset + n * 2 <= block->capacity) {
        for (uint32_t i = 0; i < n; ++i) samples[i] = static_cast<short>(block->firstSector + i);
      }
      block->audioOffset = offset;
      block->bytesDelivered = delivered ? delivered : n * 2;
      return 1;
    };
  }
  void TearDown() override { g_pSectorBlock.reset(); }

  FakeCDLibrary fake;
  std::vector<CDAudioBlock> requests;
  bool fail = false;
  uint32_t offset = 0;
  uint32_t delivered = 0;  // 0: whole sectors
};

TEST_F(ReadToRing, WritesTheDeliveredSamplesFromTheAudioOffset) {
  RingBuffer<short, 1> ring(0xFFFF);
  offset = 8;
  g_pSectorBlock->bytesDelivered = 99;  // stale values from the previous read
  g_pSectorBlock->audioOffset = 99;
  ASSERT_TRUE(ReadSectorsToRing(7, 300, 8, &ring));
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].firstSector, 300);
  EXPECT_EQ(requests[0].sectorCount, 8u);
  EXPECT_EQ(requests[0].bytesDelivered, 0u);
  EXPECT_EQ(requests[0].audioOffset, 0u);

  ASSERT_EQ(ring.ReadableCount(), 8 * 1176u);
  std::vector<short> out(8 * 1176);
  ring.Read(out.data(), static_cast<uint32_t>(out.size()));
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], static_cast<short>(300 + i)) << i;
}

TEST_F(ReadToRing, FailedOrImplausibleReadsLeaveTheRingUnchanged) {
  struct Case {
    const char* what;
    bool fail;
    uint32_t offset;
    uint32_t delivered;
  };
  const Case cases[] = {
      {"read fails", true, 0, 0},
      {"more bytes than requested", false, 0, 2 * 2352 + 2},
      {"offset past the data area", false, 63504 + 2, 2},
      {"offset plus bytes past the data area", false, 63504 - 2, 4},
  };
  for (const Case& c : cases) {
    RingBuffer<short, 1> ring(0xFFFF);
    fail = c.fail;
    offset = c.offset;
    delivered = c.delivered;
    EXPECT_FALSE(ReadSectorsToRing(7, 0, 2, &ring)) << c.what;
    EXPECT_EQ(ring.ReadableCount(), 0u) << c.what;
  }
}

TEST_F(ReadToRing, RefusesMoreSectorsThanTheBlockHolds) {
  RingBuffer<short, 1> ring(0xFFFFF);
  EXPECT_FALSE(ReadSectorsToRing(7, 0, 28, &ring));
  EXPECT_TRUE(requests.empty());
}

#ifdef NDEBUG  // a debug build asserts instead
TEST_F(ReadToRing, RefusesToReadWithoutRoomForEverySample) {
  RingBuffer<short, 1> ring(2 * 1176 - 1);
  EXPECT_FALSE(ReadSectorsToRing(7, 0, 2, &ring));
  EXPECT_TRUE(requests.empty());
  EXPECT_EQ(ring.ReadableCount(), 0u);
}
#endif

}  // namespace
