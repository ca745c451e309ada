// lame_enc.dll, loaded by name the way the program loads it, encodes a tone at
// CBR 128 kbps into a stream of well-formed MPEG-1 Layer III frames.
#include <windows.h>

#include "BladeMP3EncDLL.h"
#include "ToneFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

// The program hands this record to beInitStream; the DLL copies
// dwStructSize bytes of it, so both sides must agree on the packed size.
static_assert(sizeof(BE_CONFIG) == 331, "BE_CONFIG must be packed to LAME's 331-byte layout");

namespace {

struct LibraryDeleter {
  void operator()(HMODULE h) const { FreeLibrary(h); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryDeleter>;

template <typename Fn>
Fn Entry(HMODULE dll, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

struct Frame {
  size_t offset, length;
  int bitrateIndex;
};

// Walks MPEG-1 Layer III frames from offset 0; stops at the first bad header.
std::vector<Frame> ParseFrames(const std::vector<unsigned char>& data, size_t* end) {
  static const int kBitrates[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                    112, 128, 160, 192, 224, 256, 320, 0};
  std::vector<Frame> frames;
  size_t at = 0;
  while (at + 4 <= data.size()) {
    const unsigned char* h = &data[at];
    const bool sync = h[0] == 0xFF && (h[1] & 0xE0) == 0xE0;
    const bool mpeg1Layer3 = (h[1] & 0x1E) == 0x1A;  // version 11, layer 01
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (!sync || !mpeg1Layer3 || kBitrates[bitrateIndex] == 0 || rateIndex != 0) break;
    const size_t length = 144 * kBitrates[bitrateIndex] * 1000 / 44100 + ((h[2] >> 1) & 1);
    frames.push_back({at, length, bitrateIndex});
    at += length;
  }
  *end = at;
  return frames;
}

}  // namespace

TEST(LameEnc, EncodesCbr128ToParsableFrames) {
  Library dll(LoadLibraryW(L"lame_enc.dll"));
  ASSERT_TRUE(dll) << "LoadLibraryW failed: " << GetLastError();
  auto init = Entry<BEINITSTREAM>(dll.get(), TEXT_BEINITSTREAM);
  auto encode = Entry<BEENCODECHUNK>(dll.get(), TEXT_BEENCODECHUNK);
  auto deinit = Entry<BEDEINITSTREAM>(dll.get(), TEXT_BEDEINITSTREAM);
  auto close = Entry<BECLOSESTREAM>(dll.get(), TEXT_BECLOSESTREAM);
  auto vbrHeader = Entry<BEWRITEVBRHEADER>(dll.get(), TEXT_BEWRITEVBRHEADER);
  auto infoTag = Entry<BEWRITEINFOTAG>(dll.get(), TEXT_BEWRITEINFOTAG);
  ASSERT_TRUE(init && encode && deinit && close && vbrHeader && infoTag);

  BE_CONFIG config{};
  config.dwConfig = BE_CONFIG_LAME;
  auto& lhv1 = config.format.LHV1;
  lhv1.dwStructVersion = 1;
  lhv1.dwStructSize = sizeof(BE_CONFIG);
  lhv1.dwSampleRate = 44100;
  lhv1.dwReSampleRate = 44100;
  lhv1.nMode = BE_MP3_MODE_JSTEREO;
  lhv1.dwBitrate = 128;
  lhv1.nPreset = LQP_NOPRESET;
  lhv1.dwMpegVersion = MPEG1;
  lhv1.bWriteVBRHeader = TRUE;  // CBR gets an "Info" frame in front
  lhv1.bEnableVBR = FALSE;
  lhv1.nQuality = static_cast<WORD>(9 | ((~9 & 0xFF) << 8));

  DWORD chunkSamples = 0, bufferSize = 0;
  HBE_STREAM stream = nullptr;
  ASSERT_EQ(init(&config, &chunkSamples, &bufferSize, &stream), BE_ERR_SUCCESSFUL);
  ASSERT_GT(chunkSamples, 0u);
  ASSERT_GT(bufferSize, 0u);

  const size_t kFrames = 2 * 44100;
  std::vector<short> pcm = deps_test::StereoTone(kFrames, 1000, 12000);
  deps_test::TempFile mp3(L".mp3");
  FILE* f = _wfopen(mp3.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  std::vector<BYTE> out(bufferSize);
  bool ok = true;
  for (size_t at = 0; at < pcm.size() && ok; at += chunkSamples) {
    DWORD n = static_cast<DWORD>(std::min<size_t>(chunkSamples, pcm.size() - at));
    DWORD written = 0;
    ok = encode(stream, n, &pcm[at], out.data(), &written) == BE_ERR_SUCCESSFUL;
    ok = ok && fwrite(out.data(), 1, written, f) == written;
  }
  DWORD written = 0;
  ok = ok && deinit(stream, out.data(), &written) == BE_ERR_SUCCESSFUL;
  ok = ok && fwrite(out.data(), 1, written, f) == written;
  close(stream);
  fclose(f);
  ASSERT_TRUE(ok);
  ASSERT_EQ(infoTag(stream, mp3.narrow().c_str()), BE_ERR_SUCCESSFUL);

  std::vector<unsigned char> data = deps_test::ReadAll(mp3.path());
  size_t end = 0;
  std::vector<Frame> frames = ParseFrames(data, &end);
  // Every byte belongs to a frame: the lengths chain from the first to the last.
  EXPECT_EQ(end, data.size());
  ASSERT_GE(frames.size(), kFrames / 1152 + 1);
  EXPECT_LE(frames.size(), kFrames / 1152 + 4);  // encoder delay and padding
  size_t not128 = 0;
  for (const Frame& fr : frames) not128 += fr.bitrateIndex != 9;  // index 9 is 128 kbps
  EXPECT_EQ(not128, 0u) << "of " << frames.size() << " frames";
  // The first frame carries the Info tag after the 32-byte stereo side info.
  ASSERT_GT(data.size(), 40u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&data[36]), 4), "Info");
}
