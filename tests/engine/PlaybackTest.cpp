// Playback of a generated disc through PortAudio. The test environment's default sound
// device writes what is played to $HOME/played.raw at real-time pace, so the samples
// that reached the device can be compared with the disc image.
#include <portaudio.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/Playback.h"
#include "engine/SectorBlock.h"
#include "engine/Settings.h"
#include "platform/tools/WineDrive.h"

namespace {

// Audio tracks of the disc, in sectors (see CMakeLists.txt).
const std::vector<DWORD> kTrackSectors = {75, 38, 60};

struct PlayerMessage {
  UINT message;
  LPARAM lParam;
  std::wstring text;
  bool hasText;
};

// The track list stand-in: rows with item data and check boxes, and a message-only
// window on the test thread that collects what the threads post.
class TestPlayer : public CPlayback {
 public:
  TestPlayer() {
    m_window = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                               nullptr);
    m_items = kTrackSectors;
    m_checked.assign(m_items.size(), true);
  }
  ~TestPlayer() override {
    StopPlayback();
    TakeMessages();
    DestroyWindow(m_window);
  }

  BOOL FindNextCheckedTrack(int row, BOOL testOnly) override {
    if (failLookup) AfxThrowMemoryException();
    for (int r = row < -1 ? 0 : row + 1; r < static_cast<int>(m_items.size()); ++r) {
      if (!m_checked[r]) continue;
      if (!testOnly) m_nCurrentTrack = r;
      return TRUE;
    }
    return FALSE;
  }
  BOOL FindPreviousCheckedTrack(int row, BOOL testOnly) override {
    const int rows = static_cast<int>(m_items.size());
    for (int r = (row > rows ? rows : row) - 1; r >= 0; --r) {
      if (!m_checked[r]) continue;
      if (!testOnly) m_nCurrentTrack = r;
      return TRUE;
    }
    return FALSE;
  }
  // A row's position is taken through this (at the start and by the reader at a track's
  // end): pauseAtRow pauses playback there, before a sample of that row is read, so what
  // follows does not hang on timing.
  DWORD GetTrackItemData(int row) override {
    if (row == pauseAtRow) {
      pauseAtRow = -1;
      m_bPaused = TRUE;
    }
    return row >= 0 && row < static_cast<int>(m_items.size()) ? m_items[row] : 0;
  }
  int GetTrackCount() override { return static_cast<int>(m_items.size()); }
  HWND GetPlayerWindow() override { return m_window; }

  // Everything posted so far; the text payloads are freed here, as the window would.
  std::vector<PlayerMessage> TakeMessages() {
    MSG msg;
    while (PeekMessageW(&msg, m_window, 0, 0, PM_REMOVE)) {
      PlayerMessage m{msg.message, msg.lParam, L"", false};
      if (msg.message == WM_PLAYER_TEXT && msg.wParam) {
        auto* text = reinterpret_cast<CString*>(msg.wParam);
        m.text = text->GetString();
        m.hasText = true;
        delete text;
      }
      m_messages.push_back(m);
    }
    return m_messages;
  }

  // Waits (answering the messages) until playback has ended by itself.
  bool WaitUntilEnded(DWORD limitMs = 30000) {
    const DWORD start = GetTickCount();
    while (m_bPlaying && GetTickCount() - start < limitMs) {
      TakeMessages();
      Sleep(20);
    }
    const bool ended = !m_bPlaying;
    StopPlayback();  // joins the threads
    TakeMessages();
    return ended;
  }

  // Polls until the flag has the value; false when it did not come.
  bool WaitFor(const std::atomic<BOOL>& flag, BOOL value) {
    for (int i = 0; i < 1000 && flag != value; ++i) {
      TakeMessages();
      Sleep(10);
    }
    return flag == value;
  }

  std::vector<DWORD> m_items;
  std::vector<bool> m_checked;
  std::atomic<int> pauseAtRow{-1};
  std::atomic<bool> failLookup{false};  // the track list fails (as if out of memory)

 private:
  HWND m_window;
  std::vector<PlayerMessage> m_messages;
};

std::wstring PlayedFilePath() {
  const wchar_t* home = _wgetenv(L"CORVANE_HOME");
  if (!home) home = _wgetenv(L"HOME");
  std::wstring path = L"Z:";
  path += home ? home : L"";
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path + L"\\played.raw";
}

std::vector<short> ReadSamples(const std::wstring& path, long byteOffset = 0, long bytes = -1) {
  std::vector<short> samples;
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return samples;
  fseek(f, 0, SEEK_END);
  const long size = ftell(f);
  if (bytes < 0 || byteOffset + bytes > size) bytes = size > byteOffset ? size - byteOffset : 0;
  samples.resize(bytes / 2);
  fseek(f, byteOffset, SEEK_SET);
  const size_t got = fread(samples.data(), 2, samples.size(), f);
  samples.resize(got);
  fclose(f);
  return samples;
}

// The disc's samples of row, from offset sectors on.
std::vector<short> DiscSamples(int row, int offset = 0) {
  const std::wstring bin = [] {
    std::wstring p = L"Z:";
    for (const char* c = ENGINE_PLAYBACK_DISC "/disc.bin"; *c; ++c) p += *c == '/' ? L'\\' : *c;
    return p;
  }();
  const long first = TrackFirstSector(row) + offset;
  const long sectors = static_cast<long>(kTrackSectors[row]) - offset;
  return ReadSamples(bin, first * 2352, sectors * 2352);
}

// The played audio frames. The device fills gaps (pauses, starved output) with
// silence; a disc frame is never all zero, as its right channel counts from 0x1000 up.
std::vector<short> PlayedAudio() {
  const std::vector<short> samples = ReadSamples(PlayedFilePath());
  std::vector<short> audio;
  for (size_t i = 0; i + 1 < samples.size(); i += 2) {
    if (samples[i] == 0 && samples[i + 1] == 0) continue;
    audio.push_back(samples[i]);
    audio.push_back(samples[i + 1]);
  }
  return audio;
}

// The tracks' right channel counts frames from the track start: the frame index the
// played frame i holds.
int FrameCounter(const std::vector<short>& samples, size_t frame) {
  return samples[2 * frame + 1] & 0xFFF;
}

class Playback : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Other test programs take spare letters from the front of the list at the same
    // time; this one starts from the back.
    s_letter = cdgrab::DefineFreeWineCdDrive(L"JKLMNSTUVW", ENGINE_PLAYBACK_DISC);
    s_paReady = Pa_Initialize() == paNoError;
  }
  static void TearDownTestSuite() {
    if (s_paReady) Pa_Terminate();
    if (s_letter) cdgrab::RemoveWineDrive(s_letter);
  }
  void SetUp() override {
    ASSERT_NE(s_letter, 0) << "no Wine drive letter could be defined";
    ASSERT_TRUE(s_paReady);
    ASSERT_GE(FindCDDriveLetters(), 1);
    ASSERT_GE(ListCDDrives(), 1);
    const CString letter = CString(s_letter) + L":";
    for (int i = 0; i < g_driveLetters.GetSize(); ++i) {
      if (g_driveLetters[i] == letter) DriveNum = static_cast<short>(i);
    }
    CString status;
    ASSERT_EQ(ReadDisc(status), DiscState::Audio) << status.GetString();
    g_pSectorBlock.reset(AllocSectorBlock(27));
    Volume = 100;
  }
  void TearDown() override {
    if (CDHANDLE h = g_hCD.exchange(0)) CDLib().CloseCDHandle(h);
    g_pSectorBlock.reset();
    DriveNum = 0;
    Volume = 100;
  }
  static wchar_t s_letter;
  static bool s_paReady;
};
wchar_t Playback::s_letter = 0;
bool Playback::s_paReady = false;

// Status texts and clears posted, in order, as "text" / "<clear>"; times as "t=N".
std::vector<std::wstring> Story(const std::vector<PlayerMessage>& messages, bool withTimes) {
  std::vector<std::wstring> story;
  for (const auto& m : messages) {
    if (m.message == WM_PLAYER_TIME) {
      if (withTimes) story.push_back(L"t=" + std::to_wstring(m.lParam));
    } else if (m.lParam == kPlayerClearStatus) {
      story.push_back(L"<clear>");
    } else {
      story.push_back((m.lParam == kPlayerLogWarning ? L"warn:" : L"") + m.text);
    }
  }
  return story;
}

TEST_F(Playback, PlaysTheCheckedTracksSampleForSampleAndSkipsUncheckedOnes) {
  TestPlayer player;
  player.m_checked = {true, false, true};
  player.m_nCurrentTrack = 0;
  ASSERT_TRUE(player.StartPlayback());
  ASSERT_TRUE(player.WaitUntilEnded());

  std::vector<short> expected = DiscSamples(0);
  const std::vector<short> third = DiscSamples(2);
  expected.insert(expected.end(), third.begin(), third.end());
  const std::vector<short> played = PlayedAudio();
  ASSERT_EQ(played.size(), expected.size());
  EXPECT_TRUE(played == expected);
  EXPECT_EQ(player.m_nCurrentTrack, 2);

  // The row says "Playing" once the output runs; track 1 has an empty status when it
  // ends, track 3 restarts the time; the end resets the time and clears the column.
  // Nothing else was said.
  const std::vector<std::wstring> story = Story(player.TakeMessages(), true);
  const std::vector<std::wstring> expectedStory = {L"Playing", L"",    L"t=0",
                                                   L"Playing", L"t=0", L"<clear>"};
  std::vector<std::wstring> withoutTicks;
  for (const auto& s : story) {
    if (s.rfind(L"t=", 0) != 0 || s == L"t=0") withoutTicks.push_back(s);
  }
  EXPECT_EQ(withoutTicks, expectedStory);
  EXPECT_FALSE(player.m_bPlaying);
  EXPECT_EQ(player.m_pPlaybackRing, nullptr);
}

TEST_F(Playback, VolumeScalesEverySampleAndFullVolumeLeavesThemAlone) {
  // Each sample becomes sample * volume / 100, truncated toward zero.
  for (const int volume : {50, 35}) {
    SCOPED_TRACE(volume);
    TestPlayer player;
    player.m_checked = {false, true, false};
    player.m_nCurrentTrack = 1;
    player.SetVolume(volume);
    EXPECT_EQ(Volume, volume);
    ASSERT_TRUE(player.StartPlayback());
    ASSERT_TRUE(player.WaitUntilEnded());
    const std::vector<short> disc = DiscSamples(1);
    const std::vector<short> played = PlayedAudio();
    ASSERT_EQ(played.size(), disc.size());
    size_t wrong = 0;
    for (size_t i = 0; i < disc.size(); ++i) {
      if (played[i] != static_cast<short>(disc[i] * volume / 100)) {
        if (++wrong < 5) ADD_FAILURE() << i << ": " << disc[i] << " -> " << played[i];
      }
    }
    EXPECT_EQ(wrong, 0u);
  }
}

// Count of the played audio samples that equal the start of expected.
size_t MatchingPrefix(const std::vector<short>& played, const std::vector<short>& expected) {
  size_t n = 0;
  while (n < played.size() && n < expected.size() && played[n] == expected[n]) ++n;
  return n;
}

TEST_F(Playback, PauseHoldsTheOutputAndStopEndsBothThreads) {
  TestPlayer player;
  player.m_nCurrentTrack = 0;
  player.pauseAtRow = 1;  // once track 1 is read, with most of it still in the ring
  ASSERT_TRUE(player.StartPlayback());
  ASSERT_TRUE(player.WaitFor(player.m_bPaused, TRUE));
  Sleep(300);  // the block under way is finished
  const size_t before = PlayedAudio().size();
  Sleep(400);
  EXPECT_EQ(PlayedAudio().size(), before) << "output went on while paused";
  std::vector<short> all = DiscSamples(0);
  for (int row : {1, 2}) {
    const std::vector<short> more = DiscSamples(row);
    all.insert(all.end(), more.begin(), more.end());
  }
  EXPECT_LT(before, DiscSamples(0).size()) << "paused before the end of track 1";
  EXPECT_EQ(MatchingPrefix(PlayedAudio(), all), before);

  player.PauseResume();
  EXPECT_FALSE(player.m_bPaused);
  Sleep(100);
  CWinThread* output = player.m_pOutputThread;
  ASSERT_NE(output, nullptr);
  HANDLE outputHandle = nullptr, readerHandle = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), output->m_hThread, GetCurrentProcess(),
                              &outputHandle, SYNCHRONIZE, FALSE, 0));
  ASSERT_NE(player.m_pReaderThread, nullptr);
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), player.m_pReaderThread->m_hThread,
                              GetCurrentProcess(), &readerHandle, SYNCHRONIZE, FALSE, 0));
  player.StopPlayback();
  EXPECT_EQ(WaitForSingleObject(outputHandle, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(readerHandle, 0), WAIT_OBJECT_0);
  CloseHandle(outputHandle);
  CloseHandle(readerHandle);
  EXPECT_EQ(player.m_pOutputThread, nullptr);
  EXPECT_EQ(player.m_pReaderThread, nullptr);
  EXPECT_FALSE(player.m_bPlaying || player.m_bPaused || player.m_bSeeking);

  // What was played is the disc from its start, without a gap.
  const std::vector<short> played = PlayedAudio();
  EXPECT_GT(played.size(), before);
  EXPECT_EQ(MatchingPrefix(played, all), played.size());
  const std::vector<std::wstring> story = Story(player.TakeMessages(), false);
  ASSERT_GE(story.size(), 2u);
  EXPECT_EQ(story.back(), L"<clear>");

  // A stopped player starts again.
  player.m_checked = {false, true, false};
  player.m_nCurrentTrack = 1;
  ASSERT_TRUE(player.StartPlayback());
  ASSERT_TRUE(player.WaitUntilEnded());
  EXPECT_EQ(PlayedAudio(), DiscSamples(1));
}

// A seek while paused before the first sample: playback starts exactly at the sector
// of the position.
TEST_F(Playback, SeekGoesOnFromTheSectorAtThePosition) {
  TestPlayer player;
  player.m_checked = {true, false, false};
  player.m_nCurrentTrack = 0;
  player.pauseAtRow = 0;
  ASSERT_TRUE(player.StartPlayback());
  ASSERT_TRUE(player.WaitFor(player.m_bPaused, TRUE));
  int seconds = -1;
  ASSERT_TRUE(player.Seek(960, seconds));
  // m_dTrackTenths is 75 / 7.5 + 0.5; 960 / 1000 of the track is sector 72.
  EXPECT_EQ(seconds, 1);
  EXPECT_EQ(player.m_nReadSector, TrackFirstSector(0) + 72);
  EXPECT_EQ(player.m_nSectorsLeft, 3);
  EXPECT_EQ(player.m_nBlocksPlayed, 10u);
  EXPECT_FALSE(player.m_bSeeking);
  // A seek being applied ignores another.
  player.m_bSeeking = TRUE;
  EXPECT_FALSE(player.Seek(100, seconds));
  EXPECT_EQ(player.m_nReadSector, TrackFirstSector(0) + 72);
  player.m_bSeeking = FALSE;

  player.PauseResume();
  ASSERT_TRUE(player.WaitUntilEnded());
  const std::vector<short> played = PlayedAudio();
  EXPECT_EQ(played, DiscSamples(0, 72))
      << "first frame played counts " << (played.size() > 1 ? FrameCounter(played, 0) : -1);
}

TEST_F(Playback, NextWhilePausedStaysPausedAndPlaysTheNextRowFromItsStart) {
  TestPlayer player;
  player.m_nCurrentTrack = 0;
  player.pauseAtRow = 0;
  ASSERT_TRUE(player.StartPlayback());
  ASSERT_TRUE(player.WaitFor(player.m_bPaused, TRUE));
  // Paused from the start: the output says so once it runs.
  for (int i = 0; i < 1000 && player.TakeMessages().empty(); ++i) Sleep(10);
  ASSERT_TRUE(player.SkipTrack(PlayerSkip::Next));
  EXPECT_EQ(player.m_nCurrentTrack, 1);
  EXPECT_EQ(player.m_nReadSector, TrackFirstSector(1));
  EXPECT_EQ(player.m_nSectorsLeft, 38);
  EXPECT_EQ(player.m_nBlocksPlayed, 0u);
  EXPECT_TRUE(player.m_bPaused);
  player.PauseResume();
  ASSERT_TRUE(player.WaitUntilEnded());

  const std::vector<std::wstring> story = Story(player.TakeMessages(), false);
  const std::vector<std::wstring> expected = {L"Paused", L"<clear>", L"Paused", L"Playing",
                                              L"",       L"Playing", L"<clear>"};
  EXPECT_EQ(story, expected);
  std::vector<short> rest = DiscSamples(1);
  const std::vector<short> third = DiscSamples(2);
  rest.insert(rest.end(), third.begin(), third.end());
  EXPECT_EQ(PlayedAudio(), rest);
}

TEST_F(Playback, TrackCommandsMoveToTheirRowsAndRefuseAsTheyShould) {
  TestPlayer player;
  player.m_items = {100, 200, 0x80000010, 300, 400};
  player.m_checked = {true, false, false, true, true};
  struct Case {
    PlayerSkip skip;
    int from;
    BOOL moved;
    int to;
  };
  const Case cases[] = {
      {PlayerSkip::Next, 0, TRUE, 3},     {PlayerSkip::Next, 4, FALSE, 4},
      {PlayerSkip::Previous, 3, TRUE, 0}, {PlayerSkip::Previous, 0, FALSE, 0},
      {PlayerSkip::First, 4, TRUE, 0},    {PlayerSkip::First, 0, FALSE, 0},
      {PlayerSkip::Last, 0, TRUE, 4},     {PlayerSkip::Last, 4, FALSE, 4},
      {PlayerSkip::Previous, 2, TRUE, 0}, {PlayerSkip::Next, 1, TRUE, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.skip) << " from " << c.from);
    player.m_nCurrentTrack = c.from;
    EXPECT_EQ(player.SkipTrack(c.skip), c.moved);
    EXPECT_EQ(player.m_nCurrentTrack, c.to);
  }

  // Nothing checked: First and Last refuse too.
  player.m_checked.assign(5, false);
  player.m_nCurrentTrack = 2;
  EXPECT_FALSE(player.SkipTrack(PlayerSkip::First));
  EXPECT_FALSE(player.SkipTrack(PlayerSkip::Last));

  // While a seek is applied every command refuses.
  player.m_checked.assign(5, true);
  player.m_bSeeking = TRUE;
  for (PlayerSkip skip :
       {PlayerSkip::Previous, PlayerSkip::Next, PlayerSkip::First, PlayerSkip::Last}) {
    EXPECT_FALSE(player.SkipTrack(skip));
    EXPECT_EQ(player.m_nCurrentTrack, 2);
  }
  player.m_bSeeking = FALSE;
  EXPECT_TRUE(player.TakeMessages().empty()) << "nothing is posted while stopped";
}

TEST_F(Playback, FailuresEndPlaybackWithTheirMessages) {
  // The reader fails at the end of the first track.
  {
    TestPlayer player;
    player.m_nCurrentTrack = 0;
    player.failLookup = true;
    ASSERT_TRUE(player.StartPlayback());
    ASSERT_TRUE(player.WaitUntilEnded());
    const std::vector<std::wstring> expected = {
        L"Playing", L"Error", L"warn:An error occurred while reading audio CD.", L"<clear>"};
    EXPECT_EQ(Story(player.TakeMessages(), false), expected);
    EXPECT_FALSE(player.m_bPlaying || player.m_bPaused || player.m_bSeeking);
    EXPECT_EQ(player.m_pPlaybackRing, nullptr);
  }
  // Without an output device nothing is played and playback ends at once.
  Pa_Terminate();
  {
    TestPlayer player;
    player.m_nCurrentTrack = 0;
    ASSERT_TRUE(player.StartPlayback());
    ASSERT_TRUE(player.WaitUntilEnded());
    const std::vector<std::wstring> expected = {L"warn:Fail to open input stream.", L"t=0",
                                                L"<clear>"};
    EXPECT_EQ(Story(player.TakeMessages(), true), expected);
  }
  s_paReady = Pa_Initialize() == paNoError;
}

}  // namespace
