// A tone encoded in VBR quality mode decodes back to the same length.
#include "ToneFiles.h"

#include <gtest/gtest.h>

using deps_test::TempFile;

TEST(Vorbis, ToneRoundTripKeepsLengthAndLevel) {
  struct Case {
    size_t frames;
    float quality;
  };
  // Lengths off the block sizes, a single frame, and the quality range ends.
  const Case cases[] = {{88200, 0.3f}, {44100 + 17, -0.1f}, {1, 0.5f}, {3 * 1024 + 1, 1.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.frames << " frames at q " << c.quality);
    TempFile ogg(L".ogg");
    ASSERT_TRUE(deps_test::WriteOggVorbis(ogg.path(), deps_test::StereoTone(c.frames, 440, 16000),
                                          c.quality));
    int channels = 0, peak = 0;
    long rate = 0;
    EXPECT_EQ(deps_test::OggFrameCount(ogg.path(), &channels, &rate, &peak),
              static_cast<long long>(c.frames));
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, 44100);
    if (c.frames > 1000) {
      EXPECT_GT(peak, 14000);  // the tone survives, not silence
      EXPECT_LT(peak, 18000);
    }
  }
}
