// MP3 and Ogg Vorbis rip jobs end to end on generated discs: the files' frames, lengths,
// bitrates and modes, the Info header, the tags read back through TagLib, a cancelled
// track, the encoder refusing its setup, and a disk that fills up.
#include <gtest/gtest.h>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/mpegheader.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>
#include <vorbis/vorbisfile.h>
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"
#include "tests/engine/RipDiscFixture.h"
#include "tests/engine/RipJobHarness.h"

namespace {

constexpr uint32_t kFramesPerSector = 588;  // stereo sample frames in one CD sector

// ---- MP3 frames ---------------------------------------------------------------------------

struct Mp3Layout {
  bool valid = false;
  size_t id3v2Size = 0;       // bytes of the ID3v2 tag in front (0: none)
  bool id3v1 = false;         // a 128-byte "TAG" at the end
  size_t frames = 0;          // MPEG-1 Layer III frames, the Info frame included
  std::vector<int> bitrates;  // kbit/s of every frame
  std::vector<int> modes;     // channel mode bits of every frame (3 mono)
  int rate = 0;
  bool info = false;           // the first frame carries the "Info" header
  uint32_t infoFrames = 0;     // the frame count the Info header records
  int delay = 0, padding = 0;  // encoder delay and end padding from the LAME extension
  size_t framesEnd = 0, audioEnd = 0;
};

uint32_t Be32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// Walks the file: ID3v2, then MPEG-1 Layer III frames that chain without a gap, then an
// optional ID3v1 tag; anything else makes the layout invalid.
Mp3Layout ParseMp3(const std::vector<unsigned char>& data) {
  static const int kBitrates[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                    112, 128, 160, 192, 224, 256, 320, 0};
  static const int kRates[4] = {44100, 48000, 32000, 0};
  Mp3Layout mp3;
  size_t at = 0;
  if (data.size() >= 10 && memcmp(data.data(), "ID3", 3) == 0) {
    at = 10 + ((data[6] & 0x7F) << 21 | (data[7] & 0x7F) << 14 | (data[8] & 0x7F) << 7 |
               (data[9] & 0x7F));
    mp3.id3v2Size = at;
  }
  mp3.id3v1 = data.size() >= 128 && memcmp(&data[data.size() - 128], "TAG", 3) == 0;
  mp3.audioEnd = data.size() - (mp3.id3v1 ? 128 : 0);
  while (at + 4 <= mp3.audioEnd) {
    const unsigned char* h = &data[at];
    if (h[0] != 0xFF || (h[1] & 0xFE) != 0xFA) break;  // sync, MPEG-1, Layer III
    const int bitrate = kBitrates[h[2] >> 4];
    const int rate = kRates[(h[2] >> 2) & 3];
    if (bitrate == 0 || rate == 0) break;
    const size_t length = 144 * bitrate * 1000 / rate + ((h[2] >> 1) & 1);
    const int mode = h[3] >> 6;
    if (mp3.frames == 0) {
      mp3.rate = rate;
      const size_t side = mode == 3 ? 17 : 32;
      const unsigned char* tag = h + 4 + side;
      mp3.info = at + 4 + side + 120 + 24 <= data.size() && memcmp(tag, "Info", 4) == 0;
      if (mp3.info) {
        mp3.infoFrames = (tag[7] & 1) ? Be32(tag + 8) : 0;
        const unsigned char* dp = tag + 141;  // 12-bit delay, 12-bit padding
        mp3.delay = dp[0] << 4 | dp[1] >> 4;
        mp3.padding = (dp[1] & 0x0F) << 8 | dp[2];
      }
    } else {
      mp3.bitrates.push_back(bitrate);
      mp3.modes.push_back(mode);
    }
    ++mp3.frames;
    at += length;
  }
  mp3.framesEnd = at;
  mp3.valid = mp3.frames > 0 && at == mp3.audioEnd;
  return mp3;
}

// ---- Ogg Vorbis ---------------------------------------------------------------------------

struct OggDecoded {
  bool valid = false;
  int channels = 0;
  long rate = 0, nominal = 0;
  long long frames = 0;
};

OggDecoded DecodeOgg(const std::wstring& path) {
  OggDecoded ogg;
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return ogg;
  OggVorbis_File vf;
  if (ov_open_callbacks(f, &vf, nullptr, 0, OV_CALLBACKS_NOCLOSE) != 0) {
    fclose(f);
    return ogg;
  }
  const vorbis_info* vi = ov_info(&vf, -1);
  ogg.channels = vi->channels;
  ogg.rate = vi->rate;
  ogg.nominal = vi->bitrate_nominal;
  char pcm[8192];
  int section = 0;
  ogg.valid = true;
  for (;;) {
    const long got = ov_read(&vf, pcm, sizeof pcm, 0, 2, 1, &section);
    if (got < 0) ogg.valid = false;
    if (got <= 0) break;
    ogg.frames += got / (2 * vi->channels);
  }
  ov_clear(&vf);
  fclose(f);
  return ogg;
}

// The header-type flags of the Ogg pages a file is made of; whole is false when bytes
// follow that are no whole page.
struct OggPages {
  bool whole = false;
  std::vector<int> flags;
};

OggPages ReadOggPages(const std::vector<unsigned char>& data) {
  OggPages pages;
  size_t at = 0;
  while (data.size() - at >= 27 && memcmp(&data[at], "OggS", 4) == 0) {
    const size_t segments = data[at + 26];
    if (data.size() - at < 27 + segments) break;
    size_t length = 27 + segments;
    for (size_t i = 0; i < segments; ++i) length += data[at + 27 + i];
    if (data.size() - at < length) break;
    pages.flags.push_back(data[at + 5]);
    at += length;
  }
  pages.whole = at == data.size();
  return pages;
}

std::string Narrow(const TagLib::String& s) { return s.to8Bit(true); }

std::string Id3Text(TagLib::ID3v2::Tag* tag, const char* id) {
  const TagLib::ID3v2::FrameList& frames = tag->frameList(id);
  return frames.isEmpty() ? std::string("<none>") : Narrow(frames.front()->toString());
}

// The memory the process holds: its private bytes where the system counts them, and the
// pages it uses (Wine reports no private bytes at all).
long long HeldBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  K32GetProcessMemoryInfo(GetCurrentProcess(),
                          reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
  return static_cast<long long>(counters.PrivateUsage) +
         static_cast<long long>(counters.WorkingSetSize);
}

std::string DiscIdText() {
  char text[16];
  snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(g_dwDiscId));
  return text;
}

// ---- the fixture --------------------------------------------------------------------------

class RipEncode : public RipDiscTest {
 protected:
  void SetUp() override {
    RipDiscTest::SetUp();
    if (HasFatalFailure()) return;
    M3U = FALSE;
    FillTag = TRUE;
    LameFreq = kCDRateIndex;
    LameBits = kDefaultLameBits;
    LameChannel = 1;
    QualityCompression = 3;
    g_bPlaceholderRecord = FALSE;
    g_cddbRecord.m_artist = L"Artist \u00c5";
    g_cddbRecord.m_genre = L"Jazz";
    g_cddbRecord.m_year = 2001;
  }
};

// ---- MP3 ----------------------------------------------------------------------------------

TEST_F(RipEncode, Mp3FilesHaveTheirLengthBitrateModeAndTags) {
  LoadDisc("main");
  OutputFormat = 2;
  struct Case {
    const char* name;
    short channel, bits, freq;
    int kbps, rate, mode;
  };
  const Case cases[] = {
      {"stereo 128k", 1, 11, 7, 128, 44100, 0},
      {"mono 64k, down-mixed before the encoder", 0, 7, 7, 64, 44100, 3},
      {"joint stereo 192k at 48000", 2, 13, 8, 192, 48000, 1},
      {"dual channel 256k at 32000", 3, 15, 6, 256, 32000, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "enc-mp3");
    LameChannel = c.channel;
    LameBits = c.bits;
    LameFreq = c.freq;
    const std::vector<TrackData> job = JobForRows({0, 2});
    const RipRun run = RunRipJob(job);
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.Logged(L"Finished copying!"));
    for (const auto& line : run.log) {
      EXPECT_EQ(line.first, 0) << std::string(line.second.begin(), line.second.end());
    }

    const wchar_t* names[] = {L"\\01-One.mp3", L"\\03-Three.mp3"};
    for (size_t t = 0; t < job.size(); ++t) {
      const std::wstring path = folder + names[t];
      SCOPED_TRACE(std::string(path.begin(), path.end()));
      const Mp3Layout mp3 = ParseMp3(ReadFileBytes(path));
      ASSERT_TRUE(mp3.valid) << "frames end at " << mp3.framesEnd << " of " << mp3.audioEnd;
      EXPECT_GT(mp3.id3v2Size, 0u);
      EXPECT_TRUE(mp3.id3v1);
      EXPECT_EQ(mp3.rate, c.rate);
      for (size_t i = 0; i < mp3.bitrates.size(); ++i) {
        ASSERT_EQ(mp3.bitrates[i], c.kbps) << "frame " << i + 1;
        ASSERT_EQ(mp3.modes[i], c.mode) << "frame " << i + 1;
      }
      // The length: the track's samples at the output rate, exactly, once the encoder's
      // delay and padding that the Info header records are taken off.
      ASSERT_TRUE(mp3.info);
      const uint64_t samples = uint64_t(job[t].nSectors) * kFramesPerSector * c.rate / 44100;
      EXPECT_EQ(mp3.infoFrames, mp3.frames - 1);  // the audio frames
      EXPECT_NEAR(double((mp3.frames - 1) * 1152 - mp3.delay - mp3.padding), double(samples), 1.0);

      TagLib::MPEG::File file(path.c_str(), false);
      TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
      ASSERT_NE(v2, nullptr);
      EXPECT_EQ(Id3Text(v2, "TRCK"), t == 0 ? "1/3" : "3/3");
      EXPECT_EQ(Id3Text(v2, "TIT2"), t == 0 ? "One" : "Three");
      EXPECT_EQ(v2->artist(), TagLib::String(L"Artist \u00c5"));
      EXPECT_EQ(Id3Text(v2, "TDRC"), "2001");
      auto* disc = TagLib::ID3v2::UserTextIdentificationFrame::find(v2, "DISCID");
      ASSERT_NE(disc, nullptr);
      EXPECT_EQ(Narrow(disc->fieldList().back()), DiscIdText());
      EXPECT_EQ(file.ID3v1Tag()->track(), t == 0 ? 1u : 3u);
    }
  }
}

// Without tags the file is only frames, and the Info header stays in the first one.
TEST_F(RipEncode, Mp3WithoutTagsKeepsTheInfoHeader) {
  LoadDisc("main");
  OutputFormat = 2;
  FillTag = FALSE;
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "enc-mp3-notag");
  const RipRun run = RunRipJob(JobForRows({1}));
  ASSERT_FALSE(run.timedOut);
  const Mp3Layout mp3 = ParseMp3(ReadFileBytes(folder + L"\\02-Two.mp3"));
  ASSERT_TRUE(mp3.valid);
  EXPECT_EQ(mp3.id3v2Size, 0u);
  EXPECT_FALSE(mp3.id3v1);
  EXPECT_TRUE(mp3.info);
}

// The encoder library reopens the file by an 8-bit name; a title the ANSI code page cannot
// spell still gets its Info header (and the tags, which take the wide name).
TEST_F(RipEncode, Mp3InfoHeaderReachesAFileTheCodePageCannotName) {
  LoadDisc("main");
  OutputFormat = 2;
  g_cddbRecord.m_trackTitles.SetAt(1, L"\u6771\u4eac");
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "enc-mp3-wide");
  ASSERT_FALSE(RunRipJob(JobForRows({1})).timedOut);
  const std::wstring path = folder + L"\\02-\u6771\u4eac.mp3";
  const Mp3Layout mp3 = ParseMp3(ReadFileBytes(path));
  ASSERT_TRUE(mp3.valid);
  EXPECT_TRUE(mp3.info);
  EXPECT_EQ(mp3.infoFrames, mp3.frames - 1);
  TagLib::MPEG::File file(path.c_str(), false);
  EXPECT_EQ(file.ID3v2Tag()->title(), TagLib::String(L"\u6771\u4eac"));
}

// Settings the encoder cannot combine: the job says at its start, in one warning, which
// rate and bitrate the files will have instead, and the files have them.
TEST_F(RipEncode, Mp3SettingsTheEncoderChangesAreAnnouncedAtTheStart) {
  LoadDisc("main");
  OutputFormat = 2;
  struct Case {
    short freq, bits, channel;
    int rate, kbps;
  };
  const Case cases[] = {
      {10, 11, 1, 44100, 128},  // 96000 Hz
      {7, 0, 1, 44100, 32},     // 8 kbit/s at 44100 Hz
      {7, 2, 0, 44100, 32},     // 24 kbit/s, mono
      {4, 13, 2, 22050, 160},   // 192 kbit/s at 22050 Hz
      {4, 16, 3, 22050, 160},   // 320 kbit/s
  };
  for (const Case& c : cases) {
    LameFreq = c.freq;
    LameBits = c.bits;
    LameChannel = c.channel;
    SCOPED_TRACE(testing::Message() << kSampleRates[c.freq] << " Hz, " << kMp3Bitrates[c.bits]
                                    << " kbit/s, channels " << c.channel);
    const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "enc-mp3-changed");
    const RipRun run = RunRipJob(JobForRows({2}));
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.Logged(L"Finished copying!"));
    std::vector<std::wstring> warnings;
    for (const auto& line : run.log) {
      if (line.first != 0) warnings.push_back(line.second);
    }
    const std::wstring expected =
        L"The MP3 encoder cannot make " + std::to_wstring(kSampleRates[c.freq]) + L" Hz at " +
        std::to_wstring(kMp3Bitrates[c.bits]) + L" kbit/s: the files will be " +
        std::to_wstring(c.rate) + L" Hz at " + std::to_wstring(c.kbps) + L" kbit/s";
    EXPECT_EQ(warnings, std::vector<std::wstring>{expected});
    EXPECT_EQ(run.log.front(), std::make_pair(1, expected));  // before the first track

    // The frame after the Info one: what the file really holds (a length computed from the
    // file size would count the Info frame and the tags).
    TagLib::MPEG::File file((folder + L"\\03-Three.mp3").c_str(), false);
    const long first = file.firstFrameOffset();
    ASSERT_GE(first, 0);
    const long second =
        file.nextFrameOffset(first + TagLib::MPEG::Header(&file, first).frameLength());
    ASSERT_GT(second, first);
    const TagLib::MPEG::Header frame(&file, second);
    ASSERT_TRUE(frame.isValid());
    EXPECT_EQ(frame.sampleRate(), c.rate);
    EXPECT_EQ(frame.bitrate(), c.kbps);
  }
}

// A file the library cannot be given by name gets no Info header, and its stream is freed
// all the same: a run of such files leaves the memory as it was.
TEST_F(RipEncode, Mp3StreamIsFreedWhenTheFileHasNoUsableName) {
  CRippingProgress job;
  ASSERT_TRUE(job.LoadLame());
  auto encodeOne = [&job] {
    DWORD samples = 0, bufferSize = 0;
    HBE_STREAM stream = nullptr;
    ASSERT_EQ(job.m_beInitStream(&job.m_beConfig, &samples, &bufferSize, &stream), 0u);
    std::vector<short> silence(samples);
    std::vector<BYTE> output(bufferSize);
    DWORD produced = 0;
    job.m_beEncodeChunk(stream, samples, silence.data(), output.data(), &produced);
    job.m_beDeinitStream(stream, output.data(), &produced);
    job.m_beCloseStream(stream);
    // No such folder, so no short name either.
    job.FinishMp3Stream(stream, L"Z:\\no such folder\\\u6771\u4eac.mp3", true);
  };
  for (int i = 0; i < 4; ++i) encodeOne();
  const long long before = HeldBytes();
  for (int i = 0; i < 64; ++i) encodeOne();
  EXPECT_LT(HeldBytes() - before, 2LL << 20);
}

// The library opens the finished file again for its Info header and, when it cannot, says
// so in a box of its own that holds the job. A file that cannot be opened for writing any
// more (its folder deleted meanwhile here; under Wine as root a read-only file still opens)
// is not handed to it: the job stops with a write error that names the file, and the
// stream is still freed.
int g_infoTagCalls = 0;
BE_ERR CountInfoTag(HBE_STREAM, LPCSTR) {
  ++g_infoTagCalls;
  return BE_ERR_SUCCESSFUL;
}

TEST_F(RipEncode, Mp3FileThatCannotBeReopenedGetsNoInfoHeaderAndStopsTheJob) {
  CRippingProgress job;
  ASSERT_TRUE(job.LoadLame());
  job.m_beWriteInfoTag = CountInfoTag;
  g_infoTagCalls = 0;
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "enc-mp3-folder-gone");
  const std::wstring path = folder + L"\\01-One.mp3";
  DWORD samples = 0, bufferSize = 0;
  HBE_STREAM stream = nullptr;
  ASSERT_EQ(job.m_beInitStream(&job.m_beConfig, &samples, &bufferSize, &stream), 0u);
  std::vector<short> silence(samples);
  std::vector<BYTE> output(bufferSize);
  DWORD produced = 0, flushed = 0;
  job.m_beEncodeChunk(stream, samples, silence.data(), output.data(), &produced);
  FILE* f = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  fwrite(output.data(), 1, produced, f);
  job.m_beDeinitStream(stream, output.data(), &flushed);
  fwrite(output.data(), 1, flushed, f);
  fclose(f);
  job.m_beCloseStream(stream);
  std::filesystem::remove_all(folder);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_RIP_LOG, WM_RIP_LOG, PM_REMOVE)) {
    delete reinterpret_cast<CString*>(msg.wParam);  // lines of earlier windowless jobs
  }

  job.m_bRunning.store(TRUE);
  job.FinishMp3Stream(stream, CString(path.c_str()), true);
  EXPECT_EQ(g_infoTagCalls, 0);
  EXPECT_FALSE(job.m_bRunning.load());
  // A job without a window posts its lines to this thread.
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_RIP_LOG, WM_RIP_LOG, PM_REMOVE));
  std::unique_ptr<CString> line(reinterpret_cast<CString*>(msg.wParam));
  const std::wstring text(line->GetString());
  const std::wstring prefix = L"Output file write error: " + path + L" (";
  EXPECT_EQ(text.rfind(prefix, 0), 0u) << Narrow(TagLib::String(text.c_str()));
  EXPECT_EQ(text.back(), L')');
  EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos);
  EXPECT_EQ(msg.lParam & 0xFF, 1);
}

// The placeholder record gives the numbering, the disc id and the credit only.
TEST_F(RipEncode, PlaceholderRecordTagsOnlyTheNumbering) {
  LoadDisc("main");
  g_bPlaceholderRecord = TRUE;
  g_cddbRecord.m_artist = L"Unknown Artist";
  struct Case {
    short format;
    const char* folder;
  };
  for (const Case& c : {Case{2, "enc-mp3-placeholder"}, Case{3, "enc-ogg-placeholder"}}) {
    SCOPED_TRACE(c.folder);
    OutputFormat = c.format;
    const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, c.folder);
    ASSERT_FALSE(RunRipJob(JobForRows({2})).timedOut);
    if (c.format == 2) {
      TagLib::MPEG::File file((folder + L"\\03-Three.mp3").c_str(), false);
      EXPECT_EQ(file.ID3v2Tag()->frameList().size(), 3u);
      EXPECT_EQ(Id3Text(file.ID3v2Tag(), "TRCK"), "3/3");
      EXPECT_TRUE(file.ID3v1Tag()->artist().isEmpty());
    } else {
      TagLib::Ogg::Vorbis::File file((folder + L"\\03-Three.ogg").c_str(), false);
      EXPECT_EQ(file.tag()->fieldCount(), 4u);
      EXPECT_EQ(Narrow(file.tag()->fieldListMap()["TRACKNUMBER"].front()), "3");
    }
  }
}

// Cancelled mid-track: the encoder is still flushed and closed, the partial file is whole
// frames with its Info header, and it gets no tags.
TEST_F(RipEncode, CancelledTracksStayPlayableWithoutTags) {
  LoadDisc("long");
  for (short format : {2, 3}) {
    SCOPED_TRACE(format);
    OutputFormat = format;
    const std::wstring folder =
        UseOutputFolder(RIP_TEST_OUT, format == 2 ? "enc-mp3-cancel" : "enc-ogg-cancel");
    const std::vector<TrackData> job = JobForRows({0, 1});
    const RipRun run =
        RunRipJob(job, {[](CRippingProgress& j) { return j.m_nTrackSamplesDone.load() > 200000; },
                        Click(IDCANCEL)});
    ASSERT_FALSE(run.timedOut);
    EXPECT_FALSE(run.Logged(L"Finished copying!"));
    const uint64_t full = uint64_t(job[0].nSectors) * kFramesPerSector;
    if (format == 2) {
      const std::wstring path = folder + L"\\01-One.mp3";
      const Mp3Layout mp3 = ParseMp3(ReadFileBytes(path));
      ASSERT_TRUE(mp3.valid);
      EXPECT_TRUE(mp3.info);
      EXPECT_EQ(mp3.id3v2Size, 0u);
      EXPECT_FALSE(mp3.id3v1);
      EXPECT_LT((mp3.frames - 1) * 1152, full);
    } else {
      const std::wstring path = folder + L"\\01-One.ogg";
      const OggDecoded ogg = DecodeOgg(path);
      ASSERT_TRUE(ogg.valid);
      EXPECT_GT(ogg.frames, 100000 / 2);
      EXPECT_LT(uint64_t(ogg.frames), full);
      TagLib::Ogg::Vorbis::File file(path.c_str(), false);
      EXPECT_EQ(file.tag()->fieldCount(), 0u);
    }
    EXPECT_FALSE(
        std::filesystem::exists(folder + (format == 2 ? L"\\02-Two.mp3" : L"\\02-Two.ogg")));
  }
}

// A sector of track 2 that never reads, reached while track 1 is still being encoded:
// track 1 comes out whole, track 2's file holds the sectors read before the failing read
// (225 to 276), the last line names it, and track 3 is never started.
TEST_F(RipEncode, ReadErrorInTrack2KeepsEverythingReadBeforeIt) {
  LoadDisc("early-error");
  for (short format : {2, 3}) {
    SCOPED_TRACE(format);
    OutputFormat = format;
    const std::wstring folder =
        UseOutputFolder(RIP_TEST_OUT, format == 2 ? "enc-mp3-read-error" : "enc-ogg-read-error");
    const std::vector<TrackData> job = JobForRows({0, 1, 2});
    const RipRun run = RunRipJob(job);
    ASSERT_FALSE(run.timedOut);
    EXPECT_FALSE(run.Logged(L"Finished copying!"));
    const wchar_t* ext = format == 2 ? L".mp3" : L".ogg";
    const std::wstring partial = folder + L"\\02-Two" + ext;
    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.back().second,
              L"Read error at sector 277: \"" + partial + L"\" holds what was read before it");
    const uint64_t frames[] = {uint64_t(job[0].nSectors) * kFramesPerSector,
                               uint64_t(277 - job[1].nFirstSector) * kFramesPerSector};
    const std::wstring paths[] = {folder + L"\\01-One" + ext, partial};
    for (int t = 0; t < 2; ++t) {
      SCOPED_TRACE(t + 1);
      if (format == 2) {
        const Mp3Layout mp3 = ParseMp3(ReadFileBytes(paths[t]));
        ASSERT_TRUE(mp3.valid);
        ASSERT_TRUE(mp3.info);
        EXPECT_NEAR(double((mp3.frames - 1) * 1152 - mp3.delay - mp3.padding), double(frames[t]),
                    1.0);
      } else {
        const OggDecoded ogg = DecodeOgg(paths[t]);
        ASSERT_TRUE(ogg.valid);
        EXPECT_EQ(uint64_t(ogg.frames), frames[t]);
      }
    }
    EXPECT_FALSE(std::filesystem::exists(folder + L"\\03-Three" + ext));
  }
}

// ---- Ogg Vorbis ---------------------------------------------------------------------------

TEST_F(RipEncode, OggFilesDecodeToTheTrackLengthWithTheirComments) {
  LoadDisc("main");
  OutputFormat = 3;
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "enc-ogg");
  const std::vector<TrackData> job = JobForRows({0, 1, 2});
  const RipRun run = RunRipJob(job);
  ASSERT_FALSE(run.timedOut);
  EXPECT_TRUE(run.Logged(L"Finished copying!"));
  const wchar_t* names[] = {L"\\01-One.ogg", L"\\02-Two.ogg", L"\\03-Three.ogg"};
  const char* titles[] = {"One", "Two", "Three"};
  // sox on the Linux side decodes the same files after this test (engine_rip_encode_sox_check).
  std::ofstream expected(std::filesystem::path(WinPath(RIP_TEST_OUT "/enc-expected.txt")),
                         std::ios::binary | std::ios::trunc);
  for (size_t t = 0; t < job.size(); ++t) {
    expected << RIP_TEST_OUT "/enc-ogg/" << std::string(names[t] + 1, names[t] + wcslen(names[t]))
             << " 2 44100 0 " << uint64_t(job[t].nSectors) * kFramesPerSector << "\n";
    const std::wstring path = folder + names[t];
    SCOPED_TRACE(std::string(path.begin(), path.end()));
    const OggDecoded ogg = DecodeOgg(path);
    ASSERT_TRUE(ogg.valid);
    EXPECT_EQ(ogg.channels, 2);
    EXPECT_EQ(ogg.rate, 44100);
    EXPECT_EQ(ogg.frames, (long long)job[t].nSectors * kFramesPerSector);

    TagLib::Ogg::Vorbis::File file(path.c_str(), false);
    const TagLib::Ogg::FieldListMap& fields = file.tag()->fieldListMap();
    EXPECT_EQ(Narrow(fields["TRACKNUMBER"].front()), std::to_string(t + 1));
    EXPECT_EQ(Narrow(fields["TOTALTRACKS"].front()), "3");
    EXPECT_EQ(Narrow(fields["DISCID"].front()), DiscIdText());
    EXPECT_EQ(Narrow(fields["TITLE"].front()), titles[t]);
    EXPECT_EQ(fields["ARTIST"].front(), TagLib::String(L"Artist \u00c5"));
    EXPECT_EQ(Narrow(fields["DATE"].front()), "2001");
  }
}

// QualityCompression runs from -1 to 10 and maps to the encoder's -0.1 to 1.0; below that
// the encoder refuses and the job stops with the message, writing no audio.
TEST_F(RipEncode, OggQualityRangeAndRefusedSetup) {
  LoadDisc("main");
  OutputFormat = 3;
  long nominal[3] = {};
  const short qualities[] = {-1, 3, 10};
  for (int i = 0; i < 3; ++i) {
    QualityCompression = qualities[i];
    const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "enc-ogg-quality");
    ASSERT_FALSE(RunRipJob(JobForRows({2})).timedOut);
    const OggDecoded ogg = DecodeOgg(folder + L"\\03-Three.ogg");
    ASSERT_TRUE(ogg.valid) << qualities[i];
    nominal[i] = ogg.nominal;
  }
  // The encoder's own nominal rates: about 48, 112 and 500 kbit/s.
  EXPECT_LT(nominal[0], 64000);
  EXPECT_GT(nominal[1], 96000);
  EXPECT_LT(nominal[1], 128000);
  EXPECT_GT(nominal[2], 400000);

  QualityCompression = -2;  // a hand-edited settings file
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "enc-ogg-refused");
  const RipRun run = RunRipJob(JobForRows({1, 2}));
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.CountLogged(L"Invalid Ogg Vorbis format."), 1);
  EXPECT_FALSE(run.Logged(L"Finished copying!"));
  EXPECT_EQ(run.captions.back(), L"Stopped on an error: Invalid Ogg Vorbis format.");
  EXPECT_EQ(run.statusText, L"Stopped on an error: Invalid Ogg Vorbis format.");
  EXPECT_EQ(run.pauseText, L"Open Dir");
  EXPECT_EQ(std::filesystem::file_size(folder + L"\\02-Two.ogg"), 0u);
  EXPECT_FALSE(std::filesystem::exists(folder + L"\\03-Three.ogg"));
}

// A disk that fills up mid-track is reported once as a write error; the job stops, and
// the truncated file gets no tags (no second, misleading tag error).
TEST_F(RipEncode, FullDiskIsReportedAsAWriteError) {
  ULARGE_INTEGER freeBytes{}, total{};
  const std::wstring root = WinPath(RIP_ENCODE_FULL);
  if (!GetDiskFreeSpaceExW(root.c_str(), &freeBytes, &total, nullptr) ||
      total.QuadPart > 4u << 20) {
    GTEST_SKIP() << "no small file system mounted at " << RIP_ENCODE_FULL;
  }
  LoadDisc("long");
  LameBits = 16;            // 320 kbit/s: 40 s are 1.6 MB
  QualityCompression = 10;  // about 500 kbit/s
  for (short format : {2, 3}) {
    SCOPED_TRACE(format);
    OutputFormat = format;
    const std::wstring folder = UseOutputFolder(RIP_ENCODE_FULL, "out");
    const RipRun run = RunRipJob(JobForRows({0, 1}));
    ASSERT_FALSE(run.timedOut);
    // The line names the file, which keeps whole frames or pages and claims no more.
    const std::wstring path = folder + (format == 2 ? L"\\01-One.mp3" : L"\\01-One.ogg");
    EXPECT_EQ(run.CountLogged(L"Output file write error: " + path), 1);
    EXPECT_EQ(run.CountLogged(L"Fail to write"), 0);
    EXPECT_FALSE(run.Logged(L"Finished copying!"));
    const std::vector<unsigned char> data = ReadFileBytes(path);
    if (format == 2) {
      const Mp3Layout mp3 = ParseMp3(data);
      EXPECT_TRUE(mp3.valid) << "frames end at " << mp3.framesEnd << " of " << mp3.audioEnd;
      EXPECT_GT(mp3.frames, 100u);
      EXPECT_FALSE(mp3.info);  // LAME's counts would be those of the frames that did not fit
      EXPECT_EQ(mp3.id3v2Size, 0u);
    } else {
      const OggPages pages = ReadOggPages(data);
      EXPECT_TRUE(pages.whole);
      ASSERT_GT(pages.flags.size(), 3u);
      for (size_t i = 0; i + 1 < pages.flags.size(); ++i) ASSERT_EQ(pages.flags[i] & 4, 0) << i;
      EXPECT_EQ(pages.flags.back() & 4, 4);  // the stream's end
      const OggDecoded ogg = DecodeOgg(path);
      EXPECT_TRUE(ogg.valid);
      EXPECT_GT(ogg.frames, 44100);
    }
  }
}

}  // namespace
