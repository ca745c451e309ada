#include "engine/SampleUtils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/Settings.h"
#include "tests/engine/FullVolume.h"

namespace {

TEST(SampleUtils, SixteenToUnsignedEightKeepsTheHighByteShifted) {
  const short in[] = {0x0000, 0x7FFF, static_cast<short>(0x8000), -1, 0x00FF, 0x0100};
  const BYTE expected[] = {0x80, 0xFF, 0x00, 0x7F, 0x80, 0x81};
  BYTE out[6];
  memset(out, 0xCC, sizeof(out));
  EXPECT_EQ(SamplesToUnsigned8(in, out, 6), 6);
  EXPECT_EQ(0, memcmp(out, expected, 6));
}

TEST(SampleUtils, MaskClearsTheFourLowBits) {
  short samples[] = {0x123F, -1, 0x000F, static_cast<short>(0x8001)};
  MaskSamples(samples, 4);
  EXPECT_EQ(samples[0], 0x1230);
  EXPECT_EQ(samples[1], static_cast<short>(0xFFF0));
  EXPECT_EQ(samples[2], 0);
  EXPECT_EQ(samples[3], static_cast<short>(0x8000));
}

TEST(SampleUtils, SoxValuesCarryTheSampleInTheUpperHalf) {
  const short in[] = {0, 1, -1, 32767, -32768};
  int32_t sox[5];
  Sample16ToSox32(in, sox, 5);
  EXPECT_EQ(sox[1], 0x10000);
  EXPECT_EQ(sox[2], -65536);
  EXPECT_EQ(sox[3], 32767 * 65536);
  EXPECT_EQ(sox[4], INT32_MIN);
  short back[5];
  Sox32ToSample16(sox, back, 5);
  EXPECT_EQ(0, memcmp(back, in, sizeof(in)));
  // The lower half is dropped, not rounded.
  const int32_t fractional[] = {0x0001FFFF, -1};
  Sox32ToSample16(fractional, back, 2);
  EXPECT_EQ(back[0], 1);
  EXPECT_EQ(back[1], -1);
}

TEST(SampleUtils, FloatIsTheSampleOver32768) {
  const short in[] = {0, 16384, -32768, 32767};
  float out[4];
  SamplesToFloat(in, out, 4);
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_EQ(out[1], 0.5f);
  EXPECT_EQ(out[2], -1.0f);
  EXPECT_FLOAT_EQ(out[3], 32767.0f / 32768.0f);
}

TEST(SampleUtils, WideToAnsiMatchesTheSystemConversion) {
  for (LPCWSTR text : {L"", L"C:\\Music\\Track 01.mp3", L"caf\u00e9 \u00fcber"}) {
    std::unique_ptr<char[]> ansi(WideToAnsiAlloc(text));
    char expected[256] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, expected, sizeof(expected), nullptr, nullptr);
    EXPECT_STREQ(ansi.get(), expected);
  }
}

// Frame headers of the three MPEG versions, and what is no Layer III header.
TEST(SampleUtils, Mp3FrameHeadersGiveRateBitrateAndLength) {
  struct Case {
    BYTE header[4];
    bool valid;
    DWORD rate, kbps, bytes;
  };
  const Case cases[] = {
      {{0xFF, 0xFB, 0x90, 0x64}, true, 44100, 128, 417},  // MPEG-1
      {{0xFF, 0xFB, 0x92, 0x64}, true, 44100, 128, 418},  // padded
      {{0xFF, 0xFA, 0xE4, 0x00}, true, 48000, 320, 960},
      {{0xFF, 0xFB, 0x18, 0xC4}, true, 32000, 32, 144},
      {{0xFF, 0xF3, 0xE0, 0x64}, true, 22050, 160, 522},  // MPEG-2
      {{0xFF, 0xF3, 0x18, 0xC4}, true, 16000, 8, 36},
      {{0xFF, 0xE3, 0x18, 0xC4}, true, 8000, 8, 72},  // MPEG-2.5
      {{0xFF, 0xE3, 0x94, 0x64}, true, 12000, 80, 480},
      {{0xFF, 0xEB, 0x90, 0x64}, false},  // reserved version
      {{0xFF, 0xFD, 0x90, 0x64}, false},  // Layer II
      {{0xFF, 0xFB, 0x00, 0x64}, false},  // free bitrate
      {{0xFF, 0xFB, 0xF0, 0x64}, false},  // bad bitrate
      {{0xFF, 0xFB, 0x9C, 0x64}, false},  // reserved rate
      {{0xFE, 0xFB, 0x90, 0x64}, false},  // no sync
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << int(c.header[1]) << " " << int(c.header[2]));
    Mp3FrameHeader frame;
    ASSERT_EQ(ReadMp3FrameHeader(c.header, &frame), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(frame.rate, c.rate);
    EXPECT_EQ(frame.kbps, c.kbps);
    EXPECT_EQ(frame.bytes, c.bytes);
  }
}

// A run of frames cut anywhere: only the whole ones count, and garbage ends the run.
TEST(SampleUtils, WholeMp3FramesStopAtACutOrAForeignByte) {
  std::vector<BYTE> data;
  for (const BYTE padding : {0x90, 0x92, 0x90}) {
    const size_t at = data.size();
    data.resize(at + (padding == 0x92 ? 418 : 417));
    const BYTE header[4] = {0xFF, 0xFB, padding, 0x64};
    memcpy(&data[at], header, 4);
  }
  EXPECT_EQ(WholeMp3FramesLength(data.data(), data.size()), 1252u);
  EXPECT_EQ(WholeMp3FramesLength(data.data(), 1251), 835u);
  EXPECT_EQ(WholeMp3FramesLength(data.data(), 837), 835u);
  EXPECT_EQ(WholeMp3FramesLength(data.data(), 3), 0u);
  data[835] = 0;
  EXPECT_EQ(WholeMp3FramesLength(data.data(), data.size()), 835u);
}

// The repair keeps what it is told, with its changes written back.
TEST(SampleUtils, RepairFileEndCutsAndRewritesTheChangedBytes) {
  wchar_t folder[MAX_PATH] = {}, path[MAX_PATH] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
  ASSERT_NE(GetTempFileNameW(folder, L"rfe", 0, path), 0u);
  const std::string original = "0123456789abcdef";
  FILE* f = _wfopen(path, L"wb");
  ASSERT_NE(f, nullptr);
  fwrite(original.data(), 1, original.size(), f);
  fclose(f);
  EXPECT_TRUE(RepairFileEnd(path, [](std::vector<BYTE>& data, size_t* changedFrom) {
    EXPECT_EQ(data.size(), 16u);
    data[7] = 'X';
    *changedFrom = 7;
    return size_t{10};
  }));
  char back[32] = {};
  f = _wfopen(path, L"rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(fread(back, 1, sizeof(back), f), 10u);
  fclose(f);
  EXPECT_STREQ(back, "0123456X89");
  DeleteFileW(path);
  EXPECT_FALSE(RepairFileEnd(path, [](std::vector<BYTE>&, size_t*) { return size_t{0}; }));
}

// On a full volume: a repair that keeps every byte and only changes some (the end-of-stream
// flag of a file that ended on a page boundary) gets its change written; one that keeps
// fewer bytes still cuts the rest.
TEST(SampleUtils, RepairFileEndOnAFullVolumeCutsOnlyWhatMustGo) {
  const std::wstring volume = SmallVolume(ENGINE_TEST_FULL);
  if (volume.empty()) GTEST_SKIP() << "no small file system mounted at " << ENGINE_TEST_FULL;
  const std::wstring path = volume + L"\\repair.bin";
  struct Case {
    size_t keep;
    const char* after;
  };
  for (const Case& c : {Case{16, "0123456X89abcdef"}, Case{10, "0123456X89"}}) {
    SCOPED_TRACE(c.keep);
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    fputs("0123456789abcdef", f);
    fclose(f);
    VolumeFiller filler(volume);
    ASSERT_TRUE(filler.full());
    EXPECT_TRUE(RepairFileEnd(path.c_str(), [&c](std::vector<BYTE>& data, size_t* changedFrom) {
      data[7] = 'X';
      *changedFrom = 7;
      return c.keep;
    }));
    char back[32] = {};
    f = _wfopen(path.c_str(), L"rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fread(back, 1, sizeof(back), f), strlen(c.after));
    fclose(f);
    EXPECT_STREQ(back, c.after);
    DeleteFileW(path.c_str());
  }
}

struct WavFormat {
  BOOL channel;
  short freq;
  short subFormat;
  DWORD rate;
  WORD channels;
  WORD bits;
};

// Keeps the WAV settings of the process as they were before each test.
class WavSettings : public ::testing::Test {
 protected:
  void SetUp() override { m_saved = {Channel, Freq, SubFormat, 0, 0, 0}; }
  void TearDown() override {
    Channel = m_saved.channel;
    Freq = m_saved.freq;
    SubFormat = m_saved.subFormat;
  }
  WavFormat m_saved;
};

class WavHeader : public WavSettings, public ::testing::WithParamInterface<WavFormat> {};

DWORD Get32(const BYTE* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24;
}
WORD Get16(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }

TEST_F(WavSettings, CdStereoSixteenBitHeaderBytes) {
  Channel = 1;
  Freq = 7;
  SubFormat = 1;
  BYTE header[kWavHeaderSize];
  BuildWavHeader(header, 10 * 2352);
  const BYTE expected[kWavHeaderSize] = {
      'R',  'I',  'F',  'F',  0x04, 0x5C, 0x00, 0x00, 'W',  'A',  'V',  'E',  'f',  'm',  't',
      ' ',  0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1,
      0x02, 0x00, 0x04, 0x00, 0x10, 0x00, 'd',  'a',  't',  'a',  0xE0, 0x5B, 0x00, 0x00};
  EXPECT_EQ(0, memcmp(header, expected, kWavHeaderSize));
}

TEST_P(WavHeader, FieldsFollowTheWavSettings) {
  const WavFormat& f = GetParam();
  Channel = f.channel;
  Freq = f.freq;
  SubFormat = f.subFormat;
  BYTE header[kWavHeaderSize];
  BuildWavHeader(header, 1000);
  EXPECT_EQ(Get32(header + 4), 1036u);
  EXPECT_EQ(Get16(header + 22), f.channels);
  EXPECT_EQ(Get32(header + 24), f.rate);
  EXPECT_EQ(Get32(header + 28), f.rate * f.channels * (f.bits / 8));
  EXPECT_EQ(Get16(header + 32), f.channels * (f.bits / 8));
  EXPECT_EQ(Get16(header + 34), f.bits);
  EXPECT_EQ(Get32(header + 40), 1000u);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WavHeader,
    ::testing::Values(WavFormat{0, 4, 0, 22050, 1, 8}, WavFormat{1, 10, 1, 96000, 2, 16},
                      WavFormat{0, 0, 1, 8000, 1, 16},
                      // a hand-edited rate index outside the table falls back to 44100
                      WavFormat{1, 11, 1, 44100, 2, 16}, WavFormat{1, -1, 0, 44100, 2, 8}));

}  // namespace
