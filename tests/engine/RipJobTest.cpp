// Rip jobs end to end on generated discs: the WAV files against the disc image, the
// playlist, read retries, pause, cancel, a full disk, the window's figures and the MP3
// library's configuration record.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"
#include "tests/engine/LogCapture.h"
#include "tests/engine/RipDiscFixture.h"
#include "tests/engine/RipJobHarness.h"

namespace {

constexpr uint32_t kSectorBytes = 2352;

struct WavInfo {
  bool valid = false;
  uint32_t riffSize = 0, rate = 0, byteRate = 0, dataSize = 0;
  uint16_t format = 0, channels = 0, blockAlign = 0, bits = 0;
  size_t fileSize = 0;
  std::vector<unsigned char> data;
};

uint32_t Le32(const unsigned char* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

WavInfo ReadWav(const std::wstring& path) {
  WavInfo wav;
  std::vector<unsigned char> bytes = ReadFileBytes(path);
  wav.fileSize = bytes.size();
  if (bytes.size() < 44 || memcmp(bytes.data(), "RIFF", 4) || memcmp(&bytes[8], "WAVEfmt ", 8) ||
      memcmp(&bytes[36], "data", 4) || Le32(&bytes[16]) != 16) {
    return wav;
  }
  wav.valid = true;
  wav.riffSize = Le32(&bytes[4]);
  wav.format = Le16(&bytes[20]);
  wav.channels = Le16(&bytes[22]);
  wav.rate = Le32(&bytes[24]);
  wav.byteRate = Le32(&bytes[28]);
  wav.blockAlign = Le16(&bytes[32]);
  wav.bits = Le16(&bytes[34]);
  wav.dataSize = Le32(&bytes[40]);
  wav.data.assign(bytes.begin() + 44, bytes.end());
  return wav;
}

// The header describes exactly the bytes behind it.
void ExpectHeaderMatchesFile(const WavInfo& wav, const std::wstring& what) {
  SCOPED_TRACE(std::string(what.begin(), what.end()));
  ASSERT_TRUE(wav.valid);
  EXPECT_EQ(wav.dataSize, wav.fileSize - 44);
  EXPECT_EQ(wav.riffSize, wav.dataSize + 36);
  EXPECT_EQ(wav.dataSize % wav.blockAlign, 0u);
}

class RipJob : public RipDiscTest {
 protected:
  void SetUp() override {
    RipDiscTest::SetUp();
    if (HasFatalFailure()) return;
    OutputFormat = 1;
    SubFormat = 1;
    Channel = TRUE;
    Freq = kCDRateIndex;
    M3U = TRUE;
    g_cddbRecord.m_artist = L"Artist";
  }

  // The disc image's bytes of sectors [first, first + count).
  std::vector<unsigned char> BinSectors(int32_t first, int32_t count) {
    std::ifstream bin(
        std::filesystem::path(WinPath(std::string(RIP_TEST_DISCS) + "/" + m_disc + "/disc.bin")),
        std::ios::binary);
    std::vector<unsigned char> bytes(size_t(count) * kSectorBytes);
    bin.seekg(std::streamoff(first) * kSectorBytes);
    bin.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    EXPECT_EQ(size_t(bin.gcount()), bytes.size());
    return bytes;
  }

  void ExpectSameAudio(const WavInfo& wav, const TrackData& track) {
    const std::vector<unsigned char> bin = BinSectors(track.nFirstSector, track.nSectors);
    ASSERT_EQ(wav.data.size(), bin.size());
    EXPECT_TRUE(wav.data == bin) << "samples differ from the disc image";
  }
};

std::string Ansi(const std::wstring& text) {
  char buffer[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
  return buffer;
}

TEST_F(RipJob, StereoCdRateWavIsTheDiscAudioAndTheWindowEndsFinished) {
  LoadDisc("main");
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "stereo");
  const std::vector<TrackData> job = JobForRows({0, 1, 2});
  const RipRun run =
      RunRipJob(job, {WaitUntilStopped(), Screenshot(L"rip-finished"), Click(IDCANCEL)});
  ASSERT_FALSE(run.timedOut);

  const wchar_t* names[] = {L"01-One.wav", L"02-Two.wav", L"03-Three.wav"};
  for (size_t i = 0; i < job.size(); ++i) {
    const WavInfo wav = ReadWav(folder + L"\\" + names[i]);
    ExpectHeaderMatchesFile(wav, names[i]);
    EXPECT_EQ(wav.format, 1);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.rate, 44100u);
    EXPECT_EQ(wav.byteRate, 176400u);
    EXPECT_EQ(wav.blockAlign, 4);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.dataSize, uint32_t(job[i].nSectors) * kSectorBytes);
    ExpectSameAudio(wav, job[i]);
  }
  const std::vector<unsigned char> playlist = ReadFileBytes(folder + L"\\Album.m3u");
  EXPECT_EQ(std::string(playlist.begin(), playlist.end()),
            "01-One.wav\r\n02-Two.wav\r\n03-Three.wav\r\n");

  EXPECT_TRUE(run.Logged(L"Finished copying!"));
  EXPECT_TRUE(run.Logged(L"Rip track(s) to \"" + folder + L"\\03-Three.wav\""));
  EXPECT_EQ(run.captions.back(), L"Finished Copying");
  EXPECT_EQ(run.pauseText, L"Open Dir");
  EXPECT_EQ(run.cancelText, L"Finish");
  EXPECT_EQ(run.trackPercent, L"100.00%");
  EXPECT_EQ(run.jobPercent, L"100.00%");
  // A job of a few seconds of audio may take less than one: its figures still show.
  double speed = 0;
  EXPECT_EQ(swscanf(run.jobSpeed.c_str(), L" %lfx", &speed), 1);
  EXPECT_GT(speed, 0.0) << std::string(run.jobElapsed.begin(), run.jobElapsed.end());
  // Closing a finished job asks nothing, and no worker outlives it.
  EXPECT_TRUE(g_ripTestApp.m_boxes.empty());
  EXPECT_EQ(run.result, IDCANCEL);
  EXPECT_LE(run.threadsAfter, run.threadsBefore);
}

// Down-mix, resampling and 8-bit output. The lengths follow the rounding rule per track
// (output samples = sectors x 1176 x rate / 44100 / channels-divisor, nearest; stereo
// rounded up to whole frames), the last track's too: with a rate that is no whole number
// of samples per sector the converter ends a few samples short of it (at 16000 Hz one
// frame), and silence makes up the rest. The sox check after this test decodes every file
// listed in expected.txt.
TEST_F(RipJob, ConvertedFormatsHaveTheirLengthsAndHeaders) {
  struct Case {
    const char* name;
    BOOL channel;
    short freq;
    short subFormat;
  };
  const Case cases[] = {
      {"mono-16-44100", FALSE, 7, 1},  {"stereo-16-22050", TRUE, 4, 1},
      {"stereo-16-8000", TRUE, 0, 1},  {"mono-16-8000", FALSE, 0, 1},
      {"stereo-8-44100", TRUE, 7, 0},  {"mono-8-11025", FALSE, 1, 0},
      {"stereo-16-48000", TRUE, 8, 1}, {"stereo-16-16000", TRUE, 3, 1},
  };
  LoadDisc("main");
  const std::vector<TrackData> job = JobForRows({0, 1, 2});
  std::ofstream expected(std::filesystem::path(WinPath(RIP_TEST_OUT "/expected.txt")),
                         std::ios::binary | std::ios::trunc);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Channel = c.channel;
    Freq = c.freq;
    SubFormat = c.subFormat;
    const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, c.name);
    const RipRun run = RunRipJob(job);
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.Logged(L"Finished copying!"));

    const uint16_t channels = c.channel ? 2 : 1;
    const uint16_t bytes = c.subFormat ? 2 : 1;
    const uint32_t rate = kSampleRates[c.freq];
    const wchar_t* names[] = {L"01-One.wav", L"02-Two.wav", L"03-Three.wav"};
    for (size_t i = 0; i < job.size(); ++i) {
      const WavInfo wav = ReadWav(folder + L"\\" + names[i]);
      ExpectHeaderMatchesFile(wav, names[i]);
      EXPECT_EQ(wav.channels, channels);
      EXPECT_EQ(wav.rate, rate);
      EXPECT_EQ(wav.bits, bytes * 8);
      EXPECT_EQ(wav.blockAlign, channels * bytes);
      EXPECT_EQ(wav.byteRate, rate * channels * bytes);
      uint32_t samples = static_cast<uint32_t>(
          job[i].nSectors * 1176.0 * rate / 44100 / (c.channel ? 1 : 2) + 0.5);
      if (c.channel && samples % 2) ++samples;
      EXPECT_EQ(wav.dataSize, samples * bytes);
      const std::string unixFolder = std::string(RIP_TEST_OUT) + "/" + c.name + "/";
      expected << unixFolder << std::string(names[i], names[i] + wcslen(names[i])) << " "
               << channels << " " << rate << " " << bytes * 8 << " "
               << wav.dataSize / (channels * bytes) << "\n";
    }

    if (c.subFormat == 0 && c.freq == kCDRateIndex && c.channel) {
      // 8-bit: the high byte of each disc sample, offset by 128.
      const std::vector<unsigned char> bin = BinSectors(job[0].nFirstSector, job[0].nSectors);
      const WavInfo wav = ReadWav(folder + L"\\01-One.wav");
      ASSERT_EQ(wav.data.size() * 2, bin.size());
      size_t wrong = 0;
      for (size_t k = 0; k < wav.data.size(); ++k) {
        wrong += wav.data[k] != static_cast<unsigned char>(bin[2 * k + 1] - 128);
      }
      EXPECT_EQ(wrong, 0u);
    }
    if (c.subFormat == 1 && c.freq == kCDRateIndex && !c.channel) {
      // Mono at the CD rate: the mean of left and right of each frame.
      const std::vector<unsigned char> bin = BinSectors(job[1].nFirstSector, job[1].nSectors);
      const WavInfo wav = ReadWav(folder + L"\\02-Two.wav");
      ASSERT_EQ(wav.data.size() * 2, bin.size());
      size_t wrong = 0;
      for (size_t k = 0; k < wav.data.size() / 2; ++k) {
        const int left = static_cast<int16_t>(Le16(&bin[4 * k]));
        const int right = static_cast<int16_t>(Le16(&bin[4 * k + 2]));
        const int mono = static_cast<int16_t>(Le16(&wav.data[2 * k]));
        wrong += std::abs(mono - (left + right) / 2) > 1;
      }
      EXPECT_EQ(wrong, 0u);
    }
  }
}

// Non-ASCII names reach the playlist in the ANSI code page; ripping again appends, and
// the files already there are kept under " (2)", " (3)".
TEST_F(RipJob, PlaylistAppendsAnsiNamesAndExistingFilesGetNumbers) {
  LoadDisc("main");
  g_cddbRecord.m_title = L"\u00c9t\u00e9";
  g_cddbRecord.m_trackTitles.SetAt(0, L"Caf\u00e9 \u00d1");
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "playlist");
  const std::wstring names[] = {L"01-Caf\u00e9 \u00d1.wav", L"01-Caf\u00e9 \u00d1 (2).wav",
                                L"01-Caf\u00e9 \u00d1 (3).wav"};
  std::string lines;
  for (const std::wstring& name : names) {
    const RipRun run = RunRipJob(JobForRows({0}));
    ASSERT_TRUE(run.Logged(L"Finished copying!"));
    EXPECT_TRUE(ReadWav(folder + L"\\" + name).valid) << Ansi(name);
    lines += Ansi(name) + "\r\n";
  }
  ASSERT_EQ(Ansi(L"\u00e9").size(), 1u) << "the test expects a single-byte ANSI code page";
  const std::vector<unsigned char> playlist = ReadFileBytes(folder + L"\\\u00c9t\u00e9.m3u");
  EXPECT_EQ(std::string(playlist.begin(), playlist.end()), lines);
}

std::string Utf8(const std::wstring& text) {
  char buffer[1024] = {};
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
  return buffer;
}

// Names the ANSI code page cannot hold: the files carry them, and the playlist, UTF-8
// with its mark from its first such name on, lists exactly those files.
TEST_F(RipJob, PlaylistNamesFilesTheCodePageCannotHold) {
  LoadDisc("main");
  g_cddbRecord.m_title = L"\u0410\u043b\u044c\u0431\u043e\u043c";
  g_cddbRecord.m_trackTitles.SetAt(1, L"\u041f\u0440\u0438\u0432\u0435\u0442");
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "playlist-cyrillic");
  const RipRun run = RunRipJob(JobForRows({0, 1, 2}));
  ASSERT_TRUE(run.Logged(L"Finished copying!"));
  const std::wstring names[] = {L"01-One.wav", L"02-\u041f\u0440\u0438\u0432\u0435\u0442.wav",
                                L"03-Three.wav"};
  std::string lines = "\xEF\xBB\xBF";
  for (const std::wstring& name : names) {
    EXPECT_TRUE(ReadWav(folder + L"\\" + name).valid) << Utf8(name);
    lines += Utf8(name) + "\r\n";
  }
  const std::vector<unsigned char> playlist =
      ReadFileBytes(folder + L"\\\u0410\u043b\u044c\u0431\u043e\u043c.m3u");
  EXPECT_EQ(std::string(playlist.begin(), playlist.end()), lines);
}

// A record with fewer titles than the disc has tracks: every track is ripped, those
// without a title under the names the track list shows for them.
TEST_F(RipJob, ShortRecordRipsEveryTrackUnderItsListName) {
  LoadDisc("main");
  g_cddbRecord.m_trackTitles.RemoveAll();
  g_cddbRecord.m_trackTitles.Add(L"One");
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "short-record");
  const std::vector<TrackData> job = JobForRows({0, 1, 2});
  const RipRun run = RunRipJob(job);
  ASSERT_TRUE(run.Logged(L"Finished copying!"));
  const wchar_t* names[] = {L"01-One.wav", L"02-Track02.wav", L"03-Track03.wav"};
  for (size_t i = 0; i < job.size(); ++i)
    ExpectSameAudio(ReadWav(folder + L"\\" + names[i]), job[i]);
  const std::vector<unsigned char> playlist = ReadFileBytes(folder + L"\\Album.m3u");
  EXPECT_EQ(std::string(playlist.begin(), playlist.end()),
            "01-One.wav\r\n02-Track02.wav\r\n03-Track03.wav\r\n");
}

// Titles too long for a file name (300 characters; 130 Cyrillic ones, 260 bytes of
// UTF-8): each file is made under a shortened name that keeps its extension, the later
// tracks are ripped too, and the playlist lists every file under the name it was written.
TEST_F(RipJob, LongTitlesAreShortenedAndListedAsWritten) {
  LoadDisc("main");
  std::wstring x300(300, L'x');
  std::wstring cyrillic(130, L'\u0416');
  g_cddbRecord.m_trackTitles.SetAt(0, x300.c_str());
  g_cddbRecord.m_trackTitles.SetAt(1, cyrillic.c_str());
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "long-titles");
  const std::vector<TrackData> job = JobForRows({0, 1, 2});
  const RipRun run = RunRipJob(job);
  ASSERT_TRUE(run.Logged(L"Finished copying!"));
  std::vector<std::wstring> expected = {L"Album.m3u"};
  std::string lines = "\xEF\xBB\xBF";
  for (short row = 0; row < 3; ++row) {
    const CString path = BuildOutputName(row);
    const std::wstring name(path.Mid(path.ReverseFind(L'\\') + 1).GetString());
    EXPECT_EQ(name.substr(name.size() - 4), L".wav");
    ExpectSameAudio(ReadWav(path.GetString()), job[row]);
    expected.push_back(name);
    lines += Utf8(name) + "\r\n";
  }
  EXPECT_LT(expected[1].size(), x300.size());
  // What the folder really holds: no name cut by the file system behind our back.
  std::vector<std::wstring> stored;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    stored.push_back(entry.path().filename().wstring());
  }
  std::sort(stored.begin(), stored.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(stored, expected);
  const std::vector<unsigned char> playlist = ReadFileBytes(folder + L"\\Album.m3u");
  EXPECT_EQ(std::string(playlist.begin(), playlist.end()), lines);
}

// A DesDir stored without its final "\" still holds the files: nothing lands beside it
// named after it.
TEST_F(RipJob, StoredFolderWithoutItsBackslashHoldsTheFiles) {
  LoadDisc("main");
  UseOutputFolder(RIP_TEST_OUT, "no-backslash");
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "no-backslash/out");
  const std::wstring ini = WinPath(std::string(RIP_TEST_OUT) + "/no-backslash.ini");
  DeleteFileW(ini.c_str());
  const wchar_t* keys[][3] = {{L"OUTPUT", L"OutputFormat", L"1"},
                              {L"OUTPUT", L"FileStyle", L"3"},
                              {L"OUTPUT", L"DesDir", folder.c_str()}};
  for (const auto& key : keys) {
    ASSERT_TRUE(WritePrivateProfileStringW(key[0], key[1], key[2], ini.c_str()));
  }
  ASSERT_TRUE(LoadSettings(ini.c_str()));
  DeleteFileW(ini.c_str());
  DriveNum = s_drive;
  EXPECT_EQ(std::wstring(DesDir.GetString()), folder + L"\\");
  const RipRun run = RunRipJob(JobForRows({0}));
  ASSERT_TRUE(run.Logged(L"Finished copying!"));
  EXPECT_TRUE(ReadWav(folder + L"\\01-One.wav").valid);
  size_t outside = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder + L"\\..")) {
    outside += entry.path().filename() != L"out";
  }
  EXPECT_EQ(outside, 0u);
}

// Every field empty (style <Tracktitle>, no album, no titles): the first file is ".wav",
// the others get numbers instead of overwriting it, and all stay in DesDir. Without an
// extension nothing names a file at all: the job stops at the first track, writing nothing.
TEST_F(RipJob, EmptyNamesNeitherOverwriteNorLeaveTheOutputFolder) {
  LoadDisc("main");
  UseOutputFolder(RIP_TEST_OUT, "empty-names");
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "empty-names/out");
  FileStyle = 2;
  g_cddbRecord.m_artist.Empty();
  g_cddbRecord.m_title.Empty();
  for (int i = 0; i < 3; ++i) g_cddbRecord.m_trackTitles.SetAt(i, L" ");
  const std::vector<TrackData> job = JobForRows({0, 1, 2});
  const RipRun run = RunRipJob(job);
  ASSERT_TRUE(run.Logged(L"Finished copying!"));
  const std::wstring names[] = {L".wav", L" (2).wav", L" (3).wav"};
  for (int i = 0; i < 3; ++i) ExpectSameAudio(ReadWav(folder + L"\\" + names[i]), job[i]);
  // No album: the playlist takes the placeholder album name.
  CString listName;
  listName.Format(L"\\Unknown Album %08x.m3u", g_dwDiscId);
  const std::vector<unsigned char> playlist = ReadFileBytes(folder + listName.GetString());
  EXPECT_EQ(std::string(playlist.begin(), playlist.end()), ".wav\r\n (2).wav\r\n (3).wav\r\n");
  size_t outside = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder + L"\\..")) {
    outside += entry.path().filename() != L"out";
  }
  EXPECT_EQ(outside, 0u);

  UseOutputFolder(RIP_TEST_OUT, "empty-names/out");
  OutputFormat = 0;
  const RipRun unnamed = RunRipJob(job);
  // A format with no file name at all is refused before any name is made.
  EXPECT_TRUE(
      unnamed.Logged(L"Unknown output format 0: nothing is ripped (1 WAV, 2 MP3, 3 OGG Vorbis)"));
  EXPECT_FALSE(unnamed.Logged(L"Finished copying!"));
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// What stops a track before its file is written: a folder that cannot be made, a playlist
// that cannot be opened. Each says so once at level 2 and stops the job; with playlists
// off, an unusable playlist stops nothing.
TEST_F(RipJob, UnusableDestinationsStopTheJobWithTheirLine) {
  struct Case {
    const char* name;
    const char* blocker;  // made a folder (or, ending in "!", a file) before the job
    BOOL m3u;
    const wchar_t* line;  // prefix of the one level-2 line; null: the job finishes
  };
  const Case cases[] = {
      {"folder under a file", "sub!", TRUE, L"Fail to create folder "},
      {"playlist is a folder", "Album.m3u", TRUE, L"File Error: "},
      {"playlist off", "Album.m3u", FALSE, nullptr},
  };
  LoadDisc("main");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "blocked");
    std::string blocker = c.blocker;
    if (blocker.back() == '!') {
      blocker.pop_back();
      std::ofstream(
          std::filesystem::path(folder + L"\\" + std::wstring(blocker.begin(), blocker.end())));
      // The files go below the file "sub": its folder cannot be made.
      DesDir = (folder + L"\\sub\\deeper\\").c_str();
    } else {
      std::filesystem::create_directories(folder + L"\\" +
                                          std::wstring(blocker.begin(), blocker.end()));
    }
    M3U = c.m3u;
    const RipRun run = RunRipJob(JobForRows({0}));
    ASSERT_FALSE(run.timedOut);
    int errors = 0;
    std::wstring errorLine;
    for (const auto& line : run.log) {
      if (line.first == 2) {
        ++errors;
        errorLine = line.second;
      }
    }
    if (c.line) {
      EXPECT_EQ(errors, 1);
      EXPECT_EQ(errorLine.rfind(c.line, 0), 0u) << std::string(errorLine.begin(), errorLine.end());
      EXPECT_FALSE(run.Logged(L"Finished copying!"));
      EXPECT_EQ(run.cancelText, L"Finish");
      EXPECT_FALSE(std::filesystem::exists(folder + L"\\01-One.wav"));
    } else {
      EXPECT_EQ(errors, 0);
      EXPECT_TRUE(run.Logged(L"Finished copying!"));
      EXPECT_TRUE(ReadWav(folder + L"\\01-One.wav").valid);
    }
  }
}

// A file the track cannot open: the one error line gives the system's reason without its
// line break and names the file, and the playlist lists no file that was never written.
TEST_F(RipJob, FilesThatCannotBeOpenedAreNamedAndNeverListed) {
  struct Case {
    const char* name;
    bool holdPlaylist;     // another program holds the playlist without sharing
    bool playlistFolder;   // a folder has taken the playlist's name
    const wchar_t* named;  // the file the line names
  };
  const Case cases[] = {
      {"playlist held", true, false, L"Album.m3u"},
      {"playlist name taken by a folder", false, true, L"Album.m3u"},
  };
  LoadDisc("main");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "unopenable");
    const std::wstring playlist = folder + L"\\Album.m3u";
    if (c.playlistFolder) {
      std::filesystem::create_directory(playlist);
    } else {
      std::ofstream(std::filesystem::path(playlist), std::ios::binary) << "00-Old.wav\r\n";
    }
    g_cddbRecord.m_trackTitles.SetAt(0, L"xxx");
    const std::wstring output = folder + L"\\01-xxx.wav";
    HANDLE held = c.holdPlaylist ? CreateFileW(playlist.c_str(), GENERIC_READ, 0, nullptr,
                                               OPEN_EXISTING, 0, nullptr)
                                 : INVALID_HANDLE_VALUE;
    if (c.holdPlaylist) {
      ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    const RipRun run = RunRipJob(JobForRows({0}));
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    ASSERT_FALSE(run.timedOut);
    std::vector<std::wstring> errors;
    for (const auto& line : run.log) {
      if (line.first == 2) errors.push_back(line.second);
    }
    ASSERT_EQ(errors.size(), 1u);
    const std::wstring named = folder + L"\\" + c.named;
    EXPECT_EQ(errors[0].rfind(L"File Error: ", 0), 0u) << Ansi(errors[0]);
    EXPECT_GT(errors[0].size(), named.size() + 15) << "no reason given";
    EXPECT_EQ(errors[0].substr(errors[0].size() - named.size() - 3), L" (" + named + L")");
    EXPECT_EQ(errors[0].find_first_of(L"\r\n"), std::wstring::npos);
    EXPECT_FALSE(run.Logged(L"Finished copying!"));
    if (!c.playlistFolder) {
      const std::vector<unsigned char> list = ReadFileBytes(playlist);
      EXPECT_EQ(std::string(list.begin(), list.end()), "00-Old.wav\r\n");
    }
    EXPECT_FALSE(std::filesystem::exists(output));
  }
}

// A sector that fails twice: two retry lines for the same read, then the job goes on; the
// warnings leave the buttons alone while it runs, and pause and resume work on the way.
TEST_F(RipJob, ReadFailingTwiceRetriesAndCompletesTheFile) {
  LoadDisc("retry");
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "retry");
  const std::vector<TrackData> job = JobForRows({0, 1});
  std::vector<std::wstring> buttons;
  auto keepButtons = [&buttons](CRippingProgress& j) {
    buttons.push_back(WindowText(::GetDlgItem(j.GetSafeHwnd(), IDC_RIP_PAUSE)) + L"|" +
                      WindowText(::GetDlgItem(j.GetSafeHwnd(), IDCANCEL)) + L"|" +
                      (j.m_bRunning.load() ? L"running" : L"stopped"));
    return true;
  };
  HoldReadsFrom(1000);  // the job keeps running until the steps are done
  const RipRun run =
      RunRipJob(job, {[](CRippingProgress&) {
                        int retries = 0;
                        for (const auto& line : LogCapture::Lines()) {
                          retries += line.second.rfind(L"Retry ", 0) == 0;
                        }
                        return retries >= 2;
                      },
                      keepButtons, ClickWhileRunning(IDC_RIP_PAUSE), keepButtons,
                      Screenshot(L"rip-paused"), Pause(300), ClickWhileRunning(IDC_RIP_PAUSE),
                      keepButtons, ReleaseReads(), WaitUntilStopped(), Click(IDCANCEL)});
  ASSERT_FALSE(run.timedOut);
  const std::vector<std::wstring> expectedButtons = {
      L"Pause|Cancel|running", L"Resume|Cancel|running", L"Pause|Cancel|running"};
  EXPECT_EQ(buttons, expectedButtons);

  std::vector<std::pair<int, std::wstring>> retries;
  for (const auto& line : run.log) {
    if (line.second.rfind(L"Retry", 0) == 0) retries.push_back(line);
  }
  const std::vector<std::pair<int, std::wstring>> expected = {{1, L"Retry 1 to read sector 130"},
                                                              {1, L"Retry 2 to read sector 130"}};
  EXPECT_EQ(retries, expected);
  EXPECT_TRUE(run.Logged(L"Finished copying!"));
  ExpectSameAudio(ReadWav(folder + L"\\01-One.wav"), job[0]);
  ExpectSameAudio(ReadWav(folder + L"\\02-Two.wav"), job[1]);
}

// The library's two error codes, recording the order they are asked in; each answers
// with a value of its own, so the error line shows which code went where.
std::vector<std::string> g_errorCalls;
int32_t __cdecl RecordLibError() {
  g_errorCalls.push_back("lib");
  return 21;
}
int32_t __cdecl RecordTransportError() {
  g_errorCalls.push_back("transport");
  return 0x1234;  // only the low 8 bits are shown
}

// A sector that never reads: five retries, the error and the stop line, no finish. What
// the reader had read before it is still written, whether the failure comes long after
// the writer is through track 1 ("broken") or while it is still at it ("early-error",
// also through the converter): the tracks before are complete, the failing track's file
// holds the sectors before the failing read and the last line names it, and no later
// track is started. The error codes are asked for right after the last failure, the
// transport status first.
TEST_F(RipJob, ReadFailingForeverStopsTheJobAfterWritingWhatWasRead) {
  struct Case {
    const char* name;
    const char* disc;
    std::vector<int> rows;
    int32_t failingRead;  // first sector of the read that fails
    BOOL channel;
    short freq;
  };
  const Case cases[] = {
      {"broken", "broken", {0, 1}, 1294, TRUE, kCDRateIndex},
      {"early-error", "early-error", {0, 1, 2}, 277, TRUE, kCDRateIndex},
      {"early-error mono", "early-error", {0, 1, 2}, 277, FALSE, kCDRateIndex},
      {"early-error 22050", "early-error", {0, 1, 2}, 277, TRUE, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadDisc(c.disc);
    Channel = c.channel;
    Freq = c.freq;
    const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, c.disc);
    const std::vector<TrackData> job = JobForRows(c.rows);
    CDGrabberApi recording = CDLib();
    recording.GetAspiLibError = RecordLibError;
    recording.GetAspiLibAspiError = RecordTransportError;
    g_errorCalls.clear();
    SetCDGrabberApi(&recording);
    const RipRun run = RunRipJob(job);
    SetCDGrabberApi(nullptr);
    ASSERT_FALSE(run.timedOut);

    const std::wstring sector = std::to_wstring(c.failingRead);
    EXPECT_EQ(run.CountLogged(L"Retry "), 5);
    for (int n = 1; n <= 5; ++n) {
      EXPECT_TRUE(run.Logged(L"Retry " + std::to_wstring(n) + L" to read sector " + sector));
    }
    const std::vector<std::string> order = {"transport", "lib"};
    EXPECT_EQ(g_errorCalls, order);
    bool errorLine = false;
    for (const auto& line : run.log) {
      if (line.second == L"Error at sector " + sector + L" (error code: 21, 52)") {
        errorLine = line.first == 1;
      }
    }
    EXPECT_TRUE(errorLine);
    EXPECT_TRUE(run.Logged(L"Reach Maximum Retries, Forced to Stop."));
    const std::wstring partialPath = folder + L"\\02-Two.wav";
    const std::pair<int, std::wstring> last{2, L"Read error at sector " + sector + L": \"" +
                                                   partialPath +
                                                   L"\" holds what was read before it"};
    EXPECT_EQ(run.log.back(), last);
    EXPECT_FALSE(run.Logged(L"Finished copying!"));
    EXPECT_EQ(run.captions.back(), L"Stopped on an error: " + last.second);
    EXPECT_EQ(run.statusText, L"Stopped on an error: " + last.second);
    EXPECT_EQ(run.pauseText, L"Open Dir");
    EXPECT_EQ(run.cancelText, L"Finish");
    EXPECT_TRUE(g_ripTestApp.m_boxes.empty());

    TrackData read = job[1];
    read.nSectors = c.failingRead - read.nFirstSector;
    const WavInfo first = ReadWav(folder + L"\\01-One.wav");
    const WavInfo partial = ReadWav(partialPath);
    ExpectHeaderMatchesFile(first, L"01-One.wav");
    ExpectHeaderMatchesFile(partial, L"02-Two.wav");
    if (c.channel && c.freq == kCDRateIndex) {
      ExpectSameAudio(first, job[0]);
      ExpectSameAudio(partial, read);
    } else {
      // Output samples of s sectors at the case's rate and channels.
      auto samples = [&c](int32_t sectors) {
        return static_cast<uint32_t>(
            sectors * 1176.0 * kSampleRates[c.freq] / 44100 / (c.channel ? 1 : 2) + 0.5);
      };
      EXPECT_EQ(first.dataSize, samples(job[0].nSectors) * 2);
      // The rate filter's delay shifts a few samples across the boundary.
      EXPECT_NEAR(double(partial.dataSize), double(samples(read.nSectors) * 2), 2 * 64);
    }
    EXPECT_FALSE(std::filesystem::exists(folder + L"\\03-Three.wav"));
  }
}

// A delivery that is not exactly the sectors asked for, or does not fit the block, counts
// as a failed attempt: it is retried, and no track boundary moves.
TEST_F(RipJob, DeliveriesOfTheWrongSizeAreRetried) {
  struct Case {
    const char* name;
    std::function<void(CDAudioBlock*)> tamper;
  };
  const Case cases[] = {
      {"one sector short", [](CDAudioBlock* b) { b->bytesDelivered -= 2352; }},
      {"one sector more", [](CDAudioBlock* b) { b->bytesDelivered += 2352; }},
      {"odd byte count", [](CDAudioBlock* b) { b->bytesDelivered -= 1; }},
      {"offset past the block", [](CDAudioBlock* b) { b->audioOffset = 2 * 2352; }},
  };
  LoadDisc("main");
  const std::vector<TrackData> job = JobForRows({0, 1, 2});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "tamper");
    bool tampered = false;
    TamperReads([&](CDAudioBlock* block, int32_t& result) {
      if (result == 1 && block->firstSector == 52 && !tampered) {
        tampered = true;
        c.tamper(block);
      }
    });
    const RipRun run = RunRipJob(job);
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(tampered);
    EXPECT_EQ(run.CountLogged(L"Retry "), 1);
    EXPECT_TRUE(run.Logged(L"Retry 1 to read sector 52"));
    EXPECT_TRUE(run.Logged(L"Finished copying!"));
    const wchar_t* names[] = {L"01-One.wav", L"02-Two.wav", L"03-Three.wav"};
    for (size_t i = 0; i < job.size(); ++i) {
      ExpectSameAudio(ReadWav(folder + L"\\" + names[i]), job[i]);
    }
  }
}

// No disc (or no audio) when the reader starts: the job stops without a line and without
// a finish, and closing the window asks nothing.
TEST_F(RipJob, NoAudioDiscStopsTheJobSilently) {
  LoadDisc("main");
  UseOutputFolder(RIP_TEST_OUT, "no-disc");
  const RipRun run = RunRipJob(JobForRows({0}), {},
                               [](CRippingProgress& j) { j.m_isAudioCD = [] { return FALSE; }; });
  ASSERT_FALSE(run.timedOut);
  // The encoder may have named its first file before the reader stopped the job; nothing
  // else is said.
  for (const auto& line : run.log) {
    EXPECT_EQ(line.first, 0) << std::string(line.second.begin(), line.second.end());
  }
  EXPECT_FALSE(run.Logged(L"Finished copying!"));
  EXPECT_TRUE(g_ripTestApp.m_boxes.empty());
  EXPECT_EQ(run.pauseText, L"Pause");
  EXPECT_EQ(run.cancelText, L"Cancel");
}

// Cancel while the encoder is sending to the window (its destination line): the stop
// waits while answering sent messages, so the encoder ends by itself and nothing is
// terminated.
TEST_F(RipJob, CancelWhileTheEncoderSendsEndsWithoutTermination) {
  LoadDisc("main");
  UseOutputFolder(RIP_TEST_OUT, "cancel-send");
  // This thread is held until the encoder has had time to start its first track and
  // block in its send to it; the question (a pause) comes only then.
  const RipRun run = RunRipJob(JobForRows({0, 1, 2}), {[](CRippingProgress& j) {
                                 Sleep(1500);
                                 return ClickWhileRunning(IDCANCEL)(j);
                               }});
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.result, IDCANCEL);
  EXPECT_TRUE(
      run.Logged(L"Rip track(s) to \"" + WinPath(RIP_TEST_OUT "/cancel-send") + L"\\01-One.wav\""));
  EXPECT_FALSE(run.Logged(L"A rip thread did not stop and was terminated"));
  EXPECT_FALSE(run.Logged(L"Finished copying!"));
  EXPECT_LE(run.threadsAfter, run.threadsBefore);
}

// Cancel while the reader is held inside a drive call that ignores the running flag: the
// stop waits for it until the one deadline, keeps the window painting meanwhile, then
// terminates the reader and says so; the other threads end by themselves.
TEST_F(RipJob, CancelTerminatesAThreadStuckInADriveCallAtTheDeadline) {
  LoadDisc("main");
  UseOutputFolder(RIP_TEST_OUT, "stuck");
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(release);
  std::atomic<bool> stuck{false};
  TamperReads([&stuck, release](CDAudioBlock*, int32_t&) {
    if (!stuck.exchange(true)) WaitForSingleObject(release, INFINITE);
  });
  DWORD stopMs = 0;
  std::atomic<bool> stopping{false}, paintedWhileStopping{false};
  const RipStep cancelAndTime = [&](CRippingProgress& job) {
    const HWND hwnd = job.GetSafeHwnd();
    stopping = true;
    // Once the stop is under way the window is made dirty; it must be painted again
    // before the stop ends.
    std::thread painter([hwnd, &stopping, &paintedWhileStopping] {
      Sleep(300);
      InvalidateRect(hwnd, nullptr, TRUE);
      while (stopping && !paintedWhileStopping) {
        if (!GetUpdateRect(hwnd, nullptr, FALSE)) paintedWhileStopping = stopping.load();
        Sleep(10);
      }
    });
    const DWORD start = GetTickCount();
    Click(IDCANCEL)(job);
    stopMs = GetTickCount() - start;
    stopping = false;
    painter.join();
    return true;
  };
  const RipRun run = RunRipJob(
      JobForRows({0, 1, 2}), {[&stuck](CRippingProgress&) { return stuck.load(); }, cancelAndTime});
  SetEvent(release);
  CloseHandle(release);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.result, IDCANCEL);
  EXPECT_TRUE(paintedWhileStopping);
  EXPECT_GE(stopMs + 50, CRippingProgress::kStopDeadlineMs)
      << "the stuck reader was not waited for";
  EXPECT_LT(stopMs, CRippingProgress::kStopDeadlineMs + 3000);
  EXPECT_EQ(run.CountLogged(L"A rip thread did not stop and was terminated"), 1);
  for (const auto& line : run.log) {
    if (line.second == L"A rip thread did not stop and was terminated") {
      EXPECT_EQ(line.first, 2);
    }
  }
  EXPECT_LE(run.threadsAfter, run.threadsBefore);
}

// Cancel while a track is being written: the question, the aborting caption, a partial
// file whose header matches its bytes, a line naming it, its playlist line taken out
// again, and no worker left behind.
TEST_F(RipJob, CancelMidTrackLeavesAValidPartialFileAndNoThreads) {
  LoadDisc("long");
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "cancel");
  const std::vector<TrackData> job = JobForRows({0, 1});
  const std::wstring playlist = folder + L"\\Album.m3u";
  std::ofstream(std::filesystem::path(playlist), std::ios::binary) << "00-Old.wav\r\n";
  HoldReadsFrom(1500);  // the writer starves half-way through the first track
  const RipRun run = RunRipJob(
      job, {[](CRippingProgress& j) { return j.m_nTrackSamplesDone.load() > 1000 * 1176; },
            Pause(400), Screenshot(L"rip-running"), ClickWhileRunning(IDCANCEL)});
  ASSERT_FALSE(run.timedOut);

  const std::vector<CString> question = {L"Do You Want to Cancel?"};
  EXPECT_EQ(g_ripTestApp.m_boxes, question);
  EXPECT_NE(std::find(run.captions.begin(), run.captions.end(), L"Aborting, Please Wait..."),
            run.captions.end());
  EXPECT_EQ(run.result, IDCANCEL);
  EXPECT_FALSE(run.Logged(L"Finished copying!"));
  EXPECT_LE(run.threadsAfter, run.threadsBefore);

  const WavInfo first = ReadWav(folder + L"\\01-One.wav");
  ExpectHeaderMatchesFile(first, L"01-One.wav");
  EXPECT_GT(first.dataSize, 0u);
  EXPECT_LT(first.dataSize, uint32_t(job[0].nSectors) * kSectorBytes);
  EXPECT_FALSE(std::filesystem::exists(folder + L"\\02-Two.wav"));
  // The log says which file holds only part of its track, and the playlist does not list it.
  EXPECT_EQ(
      run.CountLogged(L"Cancelled: \"" + folder + L"\\01-One.wav\" holds only part of the track"),
      1);
  const std::vector<unsigned char> list = ReadFileBytes(playlist);
  EXPECT_EQ(std::string(list.begin(), list.end()), "00-Old.wav\r\n");
}

// Runs this thread's messages for ms, as a message box does while it is up.
void PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  }
}

// Sees the messages sent to this thread's windows before their handlers do.
std::function<void(const CWPSTRUCT&)> g_onSent;
LRESULT CALLBACK SentHook(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code >= 0 && g_onSent) g_onSent(*reinterpret_cast<const CWPSTRUCT*>(lParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A pause, and the cancel question, hold the job until they end, also across a track
// boundary: pressed before the first track starts, or right after the writer has taken
// the last samples of track 1 (while it sends that track's final progress), nothing
// more is ripped meanwhile, and a paused job's button keeps offering "Resume". Then the
// job runs to its end.
TEST_F(RipJob, PauseAndTheCancelQuestionHoldTheJobAcrossTracks) {
  struct Case {
    const char* name;
    UINT button;                // pressed to hold the job
    bool atStart;               // before the first track, else at the end of track 1
    const wchar_t* buttonText;  // button 1206 while held
  };
  const Case cases[] = {
      {"paused before the first track", IDC_RIP_PAUSE, true, L"Resume"},
      {"paused at the end of track 1", IDC_RIP_PAUSE, false, L"Resume"},
      {"asked at the end of track 1", IDCANCEL, false, L"Pause"},
  };
  LoadDisc("main");
  const std::vector<TrackData> job = JobForRows({0, 1, 2});
  g_ripTestApp.m_answer = IDNO;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "hold");
    const DWORD expectedHeld = c.atStart ? 0 : DWORD(job[0].nSectors) * 1176;
    std::atomic<bool> held{false};
    DWORD samplesHeld = 0;
    BOOL pausedHeld = FALSE;
    std::wstring buttonHeld;
    auto record = [&](CRippingProgress& j) {
      samplesHeld = j.m_nJobSamplesDone.load();
      pausedHeld = j.m_bPaused.load();
      buttonHeld = WindowText(::GetDlgItem(j.GetSafeHwnd(), IDC_RIP_PAUSE));
      return true;
    };
    // The question stays up for 800 ms, its messages flowing.
    g_ripTestApp.m_whileAsking = [&] {
      PumpFor(800);
      record(*g_pRippingProgress);
    };
    g_onSent = [&](const CWPSTRUCT& call) {
      CRippingProgress* j = g_pRippingProgress;
      if (c.atStart || held || !j || call.hwnd != j->GetSafeHwnd() ||
          call.message != WM_RIP_PROGRESS || !call.wParam || j->m_nCurrentTrack.load() != 0 ||
          *reinterpret_cast<const float*>(call.wParam) < 100.0f) {
        return;
      }
      held = true;
      ReplyMessage(1);  // the writer goes on towards the next track
      Click(c.button)(*j);
    };
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, SentHook, nullptr, GetCurrentThreadId());
    std::vector<RipStep> steps;
    if (c.atStart) {
      steps.push_back(ClickWhileRunning(c.button));
      steps.push_back([&held](CRippingProgress&) { return held = true; });
    }
    steps.push_back([&held](CRippingProgress&) { return held.load(); });
    if (c.button == IDC_RIP_PAUSE) {
      steps.push_back(Pause(800));
      steps.push_back(record);
      steps.push_back(ClickWhileRunning(IDC_RIP_PAUSE));
    }
    steps.push_back(WaitUntilStopped());
    steps.push_back(Click(IDCANCEL));
    const RipRun run = RunRipJob(job, steps);
    UnhookWindowsHookEx(hook);
    g_onSent = nullptr;
    g_ripTestApp.m_whileAsking = nullptr;
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(held);
    EXPECT_EQ(samplesHeld, expectedHeld);
    EXPECT_TRUE(pausedHeld);
    EXPECT_EQ(buttonHeld, c.buttonText);
    EXPECT_TRUE(run.Logged(L"Finished copying!"));
    const wchar_t* names[] = {L"01-One.wav", L"02-Two.wav", L"03-Three.wav"};
    for (size_t i = 0; i < job.size(); ++i) {
      ExpectSameAudio(ReadWav(folder + L"\\" + names[i]), job[i]);
    }
  }
}

// "Open Dir" after a failure elsewhere has stopped the job (a failing converter clears
// the running flag, nothing more) reads the last output path only once the workers have
// ended; here the encoder cannot end before this thread answers the progress it sends
// at the end of its track.
TEST_F(RipJob, OpenDirAfterAFailureReadsThePathOnceTheWorkersHaveEnded) {
  LoadDisc("main");
  const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "open-dir");
  HoldReadsFrom(100);  // the writer starves in track 1
  bool opened = false, workersEnded = false;
  CString openedFolder;
  const RipRun run = RunRipJob(
      JobForRows({0, 1, 2}),
      {[](CRippingProgress& j) { return j.m_nTrackSamplesDone.load() > 50 * 1176; },
       [](CRippingProgress& j) {
         j.m_bRunning.store(FALSE);
         return Click(IDC_RIP_PAUSE)(j);
       },
       WaitUntilStopped(), Click(IDCANCEL)},
      [&](CRippingProgress& j) {
        j.m_openFolder = [&](const CString& f) {
          opened = true;
          openedFolder = f;
          workersEnded = true;
          for (CWinThread* t : {j.m_pReaderThread, j.m_pConverterThread, j.m_pEncoderThread}) {
            if (t && WaitForSingleObject(t->m_hThread, 0) != WAIT_OBJECT_0) workersEnded = false;
          }
        };
      });
  ASSERT_FALSE(run.timedOut);
  EXPECT_TRUE(opened);
  EXPECT_TRUE(workersEnded);
  EXPECT_EQ(std::wstring(openedFolder.GetString()), folder);
  EXPECT_FALSE(run.Logged(L"A rip thread did not stop and was terminated"));
}

// Answering No resumes the job as it was, and it runs to its end.
TEST_F(RipJob, AnsweringNoToCancelGoesOn) {
  LoadDisc("main");
  UseOutputFolder(RIP_TEST_OUT, "cancel-no");
  g_ripTestApp.m_answer = IDNO;
  std::wstring buttonAfter;
  BOOL pausedAfter = TRUE;
  const RipRun run = RunRipJob(JobForRows({0, 1, 2}), {Click(IDCANCEL),
                                                       [&](CRippingProgress& j) {
                                                         pausedAfter = j.m_bPaused.load();
                                                         buttonAfter = WindowText(::GetDlgItem(
                                                             j.GetSafeHwnd(), IDC_RIP_PAUSE));
                                                         return true;
                                                       },
                                                       WaitUntilStopped(), Click(IDCANCEL)});
  EXPECT_EQ(g_ripTestApp.m_boxes.size(), 1u);
  EXPECT_FALSE(pausedAfter);
  EXPECT_EQ(buttonAfter, L"Pause");
  EXPECT_TRUE(run.Logged(L"Finished copying!"));
}

// A destination that fills up: one file error, the job stops, the file before is whole
// and the one that hit the limit has a header for what reached the disk.
TEST_F(RipJob, FullDiskReportsOnceAndKeepsEarlierFiles) {
  ULARGE_INTEGER freeBytes{}, total{};
  const std::wstring root = WinPath(RIP_TEST_FULL);
  if (!GetDiskFreeSpaceExW(root.c_str(), &freeBytes, &total, nullptr) ||
      total.QuadPart > 4u << 20) {
    GTEST_SKIP() << "no small file system mounted at " << RIP_TEST_FULL;
  }
  LoadDisc("full");
  const std::wstring folder = UseOutputFolder(RIP_TEST_FULL, "out");
  const std::vector<TrackData> job = JobForRows({0, 1, 2});
  const RipRun run = RunRipJob(job);
  ASSERT_FALSE(run.timedOut);

  // The line gives the system's reason and the file, also when part of a write fitted.
  ASSERT_EQ(run.CountLogged(L"File Error: "), 1);
  for (const auto& line : run.log) {
    if (line.second.rfind(L"File Error: ", 0) != 0) continue;
    const std::wstring suffix = L" (" + folder + L"\\02-Two.wav)";
    ASSERT_GT(line.second.size(), 12 + suffix.size()) << Ansi(line.second);
    EXPECT_EQ(line.second.substr(line.second.size() - suffix.size()), suffix);
  }
  EXPECT_FALSE(run.Logged(L"Finished copying!"));
  EXPECT_EQ(run.cancelText, L"Finish");
  ExpectSameAudio(ReadWav(folder + L"\\01-One.wav"), job[0]);
  const WavInfo partial = ReadWav(folder + L"\\02-Two.wav");
  ExpectHeaderMatchesFile(partial, L"02-Two.wav");
  EXPECT_LT(partial.dataSize, uint32_t(job[1].nSectors) * kSectorBytes);
  EXPECT_FALSE(std::filesystem::exists(folder + L"\\03-Three.wav"));
}

// A hand-edited output format is refused before anything is written: no file, no playlist
// line, no "Finished copying!".
TEST_F(RipJob, UnknownOutputFormatIsRefusedAndWritesNothing) {
  LoadDisc("main");
  for (const short format : {0, 4, -1}) {
    SCOPED_TRACE(format);
    OutputFormat = format;
    g_ripTestApp.m_boxes.clear();
    const std::wstring folder = UseOutputFolder(RIP_TEST_OUT, "unknown-format");
    const RipRun run = RunRipJob(JobForRows({1, 2}));
    ASSERT_FALSE(run.timedOut);
    const std::wstring line = L"Unknown output format " + std::to_wstring(format) +
                              L": nothing is ripped (1 WAV, 2 MP3, 3 OGG Vorbis)";
    EXPECT_TRUE(std::find(run.log.begin(), run.log.end(), std::make_pair(2, line)) !=
                run.log.end());
    EXPECT_FALSE(run.Logged(L"Finished copying!"));
    ASSERT_EQ(g_ripTestApp.m_boxes.size(), 1u);
    EXPECT_EQ(std::wstring(g_ripTestApp.m_boxes[0].GetString()), line);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
  }
}

// The progress handler: percentages on every message, times and speeds on every 10th and
// only after the first 0.1 s of a track, a track at 0 % keeps its time left.
TEST_F(RipJob, ProgressFiguresFollowTheMessages) {
  struct Case {
    const char* name;
    DWORD trackAgeMs, jobAgeMs, trackSamples, jobSamples;
    float p, P;
    const wchar_t *trackPercent, *trackElapsed, *trackLeft, *jobElapsed, *jobLeft, *speed,
        *jobSpeed;
  };
  const Case cases[] = {
      {"within 0.1 s", 0, 0, 0, 0, 12.5f, 1.25f, L"12.50%", L"00:00:00", L"00:00:00", L"00:00:00",
       L"00:00:00", L"0.00x", L"0.00x"},
      // Long enough ago that the milliseconds the messages take change no figure.
      {"half way", 500000, 1000000, 88200000, 88200000, 50.0f, 25.0f, L"50.00%", L"00:08:20",
       L"00:08:20", L"00:16:40", L"00:50:00", L"  2.00x", L"  1.00x"},
      {"track at 0 %", 3000, 3600000, 0, 88200, 0.0f, 10.0f, L" 0.00%", L"00:00:03", L"00:00:00",
       L"01:00:00", L"09:00:00", L"  0.00x", L"  0.00x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::wstring> texts;
    RunRipJob({}, {[&](CRippingProgress& j) {
                     j.m_bRunning.store(TRUE);
                     const DWORD now = GetTickCount();
                     j.m_dwTrackStartTime.store(now - c.trackAgeMs);
                     j.m_dwJobStartTime.store(now - c.jobAgeMs);
                     j.m_nTrackSamplesDone.store(c.trackSamples);
                     j.m_nJobSamplesDone.store(c.jobSamples);
                     for (int i = 0; i < 10; ++i) {
                       j.SendMessage(WM_RIP_PROGRESS, reinterpret_cast<WPARAM>(new float(c.p)),
                                     reinterpret_cast<LPARAM>(new float(c.P)));
                     }
                     for (UINT id : {IDC_RIP_TRACK_PERCENT, IDC_RIP_TRACK_ELAPSED,
                                     IDC_RIP_TRACK_LEFT, IDC_RIP_JOB_ELAPSED, IDC_RIP_JOB_LEFT,
                                     IDC_RIP_TRACK_SPEED, IDC_RIP_JOB_SPEED}) {
                       texts.push_back(WindowText(::GetDlgItem(j.GetSafeHwnd(), id)));
                     }
                     texts.push_back(std::to_wstring(::SendDlgItemMessageW(
                         j.GetSafeHwnd(), IDC_RIP_TRACK_PROGRESS, PBM_GETPOS, 0, 0)));
                     j.m_bRunning.store(FALSE);
                     return true;
                   },
                   Click(IDCANCEL)});
    const std::vector<std::wstring> expected = {
        c.trackPercent, c.trackElapsed, c.trackLeft, c.jobElapsed,
        c.jobLeft,      c.speed,        c.jobSpeed,  std::to_wstring(static_cast<int>(c.p))};
    EXPECT_EQ(texts, expected);
  }
}

// Log lines: an error line becomes the caption; a running job's warnings change nothing,
// also when they are handled only after the job stopped. A failure clears the running
// flag before it posts its line, so the first line of either level posted after the stop
// says, in the caption and the status line, that the job stopped on an error and which;
// it offers the folder and closing, and neither a later line nor a track that had just
// started covers it. A cancelled job shows no such thing, and a stopped window's progress
// messages change nothing.
TEST_F(RipJob, LogLinesShowWhatStoppedTheJob) {
  struct Event {
    const wchar_t* text;
    int level;             // -1: the caption of a track that started
    bool running;          // the running flag when the window handles it
    bool postedAfterStop;  // the running flag was clear when it was posted
    bool cancelled;
  };
  struct Case {
    const char* name;
    std::vector<Event> events;
    std::wstring caption, status, pause, cancel;
  };
  const std::wstring destination = L"Destination:     X";
  const std::wstring writeError = L"Stopped on an error: Output file write error";
  const std::wstring diskFull = L"Stopped on an error: File Error: Disk full.";
  const Case cases[] = {
      {"a running job's warning and error",
       {{L"Retry 1 to read sector 5", 1, true, false, false},
        {L"Fail to write mp3 tag.", 2, true, false, false}},
       L"Fail to write mp3 tag.",
       destination,
       L"Pause",
       L"Cancel"},
      {"stopped by a warning-level failure",
       {{L"Retry 1 to read sector 5", 1, false, false, false},
        {L"Output file write error", 1, false, true, false},
        {L"2/2", -1, false, false, false}},
       writeError,
       writeError,
       L"Open Dir",
       L"Finish"},
      {"stopped by an error, then its follow-up line",
       {{L"File Error: Disk full.", 2, false, true, false},
        {L"An error occurred while encoding", 1, false, true, false}},
       diskFull,
       diskFull,
       L"Open Dir",
       L"Finish"},
      {"cancelled",
       {{L"An error occurred while encoding", 1, false, true, true}},
       L"1/2",
       destination,
       L"Pause",
       L"Cancel"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::wstring> seen;
    RunRipJob({}, {[&](CRippingProgress& j) {
                     j.SetWindowText(L"1/2");
                     j.SetDlgItemText(IDC_RIP_STATUS, destination.c_str());
                     for (const Event& e : c.events) {
                       j.m_bRunning.store(e.running);
                       j.m_bCancelled.store(e.cancelled);
                       if (e.level < 0) {
                         j.SendMessage(WM_RIP_STATUS, 2,
                                       reinterpret_cast<LPARAM>(new CString(e.text)));
                       } else {
                         j.SendMessage(WM_RIP_LOG, reinterpret_cast<WPARAM>(new CString(e.text)),
                                       e.level | (e.postedAfterStop ? kRipLogAfterStop : 0));
                       }
                     }
                     j.m_bRunning.store(FALSE);
                     j.SendMessage(WM_RIP_PROGRESS, reinterpret_cast<WPARAM>(new float(70)),
                                   reinterpret_cast<LPARAM>(new float(70)));
                     const HWND hwnd = j.GetSafeHwnd();
                     seen = {WindowText(hwnd), WindowText(::GetDlgItem(hwnd, IDC_RIP_STATUS)),
                             WindowText(::GetDlgItem(hwnd, IDC_RIP_PAUSE)),
                             WindowText(::GetDlgItem(hwnd, IDCANCEL)),
                             WindowText(::GetDlgItem(hwnd, IDC_RIP_JOB_PERCENT))};
                     return true;
                   },
                   Click(IDCANCEL)});
    const std::vector<std::wstring> expected = {c.caption, c.status, c.pause, c.cancel, L"0.00%"};
    EXPECT_EQ(seen, expected);
  }
}

// The finished window shows the job's real final figures however short the job was: the
// elapsed times in whole seconds, or in milliseconds under one second, and the speeds
// from the times in milliseconds, not the figures of the last refresh.
TEST_F(RipJob, FinishShowsTheRealFinalFigures) {
  struct Case {
    const char* name;
    DWORD trackAgeMs, jobAgeMs, trackSamples, jobSamples;
    double trackSpeed, jobSpeed;
    const wchar_t *trackElapsed, *jobElapsed;  // null: "<ms> ms" within 50 ms of the age
  };
  const Case cases[] = {
      {"under a second", 200, 400, 88200, 176400, 5.0, 5.0, nullptr, nullptr},
      {"longer", 2500, 62500, 441000, 2205000, 2.0, 0.4, L"00:00:02", L"00:01:02"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::wstring> texts;
    RunRipJob({}, {[&](CRippingProgress& j) {
                     j.m_bRunning.store(TRUE);
                     const DWORD now = GetTickCount();
                     j.m_dwTrackStartTime.store(now - c.trackAgeMs);
                     j.m_dwJobStartTime.store(now - c.jobAgeMs);
                     j.m_nTrackSamplesDone.store(c.trackSamples);
                     j.m_nJobSamplesDone.store(c.jobSamples);
                     j.SendMessage(WM_RIP_FINISHED);
                     for (UINT id : {IDC_RIP_TRACK_ELAPSED, IDC_RIP_JOB_ELAPSED,
                                     IDC_RIP_TRACK_SPEED, IDC_RIP_JOB_SPEED}) {
                       texts.push_back(WindowText(::GetDlgItem(j.GetSafeHwnd(), id)));
                     }
                     return true;
                   },
                   Click(IDCANCEL)});
    ASSERT_EQ(texts.size(), 4u);
    const DWORD ages[] = {c.trackAgeMs, c.jobAgeMs};
    const wchar_t* elapsed[] = {c.trackElapsed, c.jobElapsed};
    const double speeds[] = {c.trackSpeed, c.jobSpeed};
    for (int k = 0; k < 2; ++k) {
      if (elapsed[k]) {
        EXPECT_EQ(texts[k], elapsed[k]);
      } else {
        unsigned long ms = 0;
        wchar_t unit[8] = {};
        ASSERT_EQ(swscanf(texts[k].c_str(), L"%lu %7ls", &ms, unit), 2) << texts[k].size();
        EXPECT_EQ(std::wstring(unit), L"ms");
        EXPECT_GE(ms, ages[k]);
        EXPECT_LT(ms, ages[k] + 50);
      }
      double speed = 0;
      ASSERT_EQ(swscanf(texts[2 + k].c_str(), L" %lfx", &speed), 1);
      EXPECT_NEAR(speed, speeds[k], speeds[k] * 0.1);
    }
  }
}

// MP3 jobs load the encoder library and fill its configuration record from the settings.
TEST_F(RipJob, Mp3JobFillsTheEncoderRecord) {
  LoadDisc("main");
  UseOutputFolder(RIP_TEST_OUT, "mp3");
  OutputFormat = 2;
  LameFreq = 4;   // 22050
  LameBits = 11;  // 128 kbit/s
  const LONG modes[] = {BE_MP3_MODE_MONO, BE_MP3_MODE_STEREO, BE_MP3_MODE_JSTEREO,
                        BE_MP3_MODE_DUALCHANNEL};
  for (short channel = 0; channel <= 3; ++channel) {
    SCOPED_TRACE(channel);
    LameChannel = channel;
    BE_CONFIG config{};
    BOOL downMix = -1, resample = -1;
    bool entries = false;
    const RipRun run = RunRipJob(
        JobForRows({2}), {[&](CRippingProgress& j) {
                            config = j.m_beConfig;
                            downMix = j.m_bDownMix;
                            resample = j.m_bResample;
                            entries = j.m_beInitStream && j.m_beEncodeChunk && j.m_beCloseStream;
                            return true;
                          },
                          WaitUntilStopped(), Click(IDCANCEL)});
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(entries);
    EXPECT_EQ(downMix, channel == 0);
    EXPECT_FALSE(resample);
    BE_CONFIG want{};
    want.dwConfig = 256;
    auto& w = want.format.LHV1;
    w.dwStructVersion = 1;
    w.dwStructSize = 331;
    w.dwSampleRate = 44100;
    w.dwReSampleRate = 22050;
    w.nMode = modes[channel];
    w.dwBitrate = 128;
    w.nPreset = -1;
    w.dwMpegVersion = 1;
    w.bWriteVBRHeader = 1;
    w.bNoRes = 1;
    w.nQuality = 0xF609;  // high byte 246, low byte 9
    EXPECT_EQ(memcmp(&config, &want, sizeof(want)), 0);
  }
}

}  // namespace

namespace {

// The rip commands' records: each starts where the table of contents says and counts the
// sectors of the records before it.
TEST(RipJobList, RecordsCarryStartsAndCumulativeSectors) {
  memset(&g_toc, 0, sizeof(g_toc));
  for (int i = 0; i < 8; ++i) {
    const DWORD start = 150000 + 1000 * i * i;
    for (int b = 0; b < 4; ++b) g_toc.entries[i].address[b] = BYTE(start >> (24 - 8 * b));
  }
  CRippingProgress job;
  job.AddTrack(1, 1000);
  job.AddTrack(4, 2000);
  job.AddTrack(6, 3000);
  ASSERT_EQ(job.m_jobList.GetSize(), 3);
  const TrackData expected[] = {
      {1, 151000, 1000, 1000}, {4, 166000, 2000, 3000}, {6, 186000, 3000, 6000}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(job.m_jobList[i].nTrack, expected[i].nTrack);
    EXPECT_EQ(job.m_jobList[i].nFirstSector, expected[i].nFirstSector);
    EXPECT_EQ(job.m_jobList[i].nSectors, expected[i].nSectors);
    EXPECT_EQ(job.m_jobList[i].nCumulativeSectors, expected[i].nCumulativeSectors);
  }
  memset(&g_toc, 0, sizeof(g_toc));
}

// Percentages in floating point: 32-bit products of sample counts overflow after minutes
// of audio; an empty track or job is complete.
TEST(RipJobList, PercentagesStayRightForLongJobsAndEmptyOnes) {
  struct Case {
    DWORD done, total;
    float percent;
  };
  const Case cases[] = {
      {0, 0, 100.0f},
      {5, 0, 100.0f},
      {0, 100, 0.0f},
      {40000000, 80000000, 50.0f},
      {158760000, 158760000, 100.0f},
      {1001, 1000, 100.0f},  // the padding sample of an odd stereo track
  };
  for (const Case& c : cases) {
    EXPECT_FLOAT_EQ(CRippingProgress::Percent(c.done, c.total), c.percent)
        << c.done << " of " << c.total;
  }
}

}  // namespace
