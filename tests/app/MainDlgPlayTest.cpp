// The main window's play commands over a generated disc behind a Wine CD-ROM letter, the
// real CD library and the test environment's file-backed sound device: what is played
// lands in $HOME/played.raw and is compared with the disc image.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "VeltraskDlg.h"
#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/ProcessState.h"
#include "engine/SectorBlock.h"
#include "engine/Settings.h"
#include "resource.h"
#include "tests/app/MainWindowOnDisc.h"
#include "tests/window/BoxDriver.h"
#include "tests/window/TestApp.h"
#include "uikit/XMessageBox.h"

namespace {

const std::vector<DWORD> kTrackSectors = {75, 38, 60};

std::vector<short> ReadSamples(const std::wstring& path, long byteOffset = 0, long bytes = -1) {
  const std::string data = ReadBytes(path, byteOffset, bytes);
  std::vector<short> samples(data.size() / 2);
  memcpy(samples.data(), data.data(), samples.size() * 2);
  return samples;
}

std::vector<short> DiscSamples(int row) {
  return ReadSamples(WindowsPath(APP_PLAY_DISC "/disc.bin"), TrackFirstSector(row) * 2352L,
                     static_cast<long>(kTrackSectors[row]) * 2352);
}

// The played audio frames; the device fills gaps with silence, and no disc frame is all
// zero (the right channel counts from 0x1000 up).
std::vector<short> PlayedAudio() {
  const wchar_t* home = _wgetenv(L"CORVANE_HOME");
  if (!home) home = _wgetenv(L"HOME");
  std::wstring path = L"Z:";
  for (const wchar_t* c = home ? home : L""; *c; ++c) path += *c == L'/' ? L'\\' : *c;
  const std::vector<short> samples = ReadSamples(path + L"\\played.raw");
  std::vector<short> audio;
  for (size_t i = 0; i + 1 < samples.size(); i += 2) {
    if (samples[i] == 0 && samples[i + 1] == 0) continue;
    audio.push_back(samples[i]);
    audio.push_back(samples[i + 1]);
  }
  return audio;
}

class TestDlg : public CVeltraskDlg {
 public:
  using CVeltraskDlg::OnDblclkTrackList;
  using CVeltraskDlg::OnHScroll;
  using CVeltraskDlg::OnNextTrack;
  using CVeltraskDlg::OnPauseResume;
  using CVeltraskDlg::OnPlay;
  using CVeltraskDlg::OnPlayCurrent;
  using CVeltraskDlg::OnToolTipNeedText;
};

class MainDlgPlay : public MainWindowOnDisc<TestDlg> {
 protected:
  static void SetUpTestSuite() { DefineDisc(L"WVUTSN", APP_PLAY_DISC); }
  static void TearDownTestSuite() { RemoveDisc(); }

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(OpenOnDisc(3, [] {
      DbClk = -1;
      Volume = 100;
    }));
    ASSERT_TRUE(g_bSoundAvailable);
    for (int row = 0; row < 3; ++row) dlg.m_listTracks.SetCheck(row, TRUE);
  }

  void TearDown() override {
    dlg.StopPlayback();
    PumpPending();
    dlg.DestroyWindow();
    DbClk = -1;
  }

  bool PlayToTheEnd() {
    const bool ended = PumpUntil([this] { return !dlg.m_bPlaying; });
    dlg.StopPlayback();
    PumpPending();
    return ended;
  }
};

std::vector<short> Joined(std::initializer_list<int> rows) {
  std::vector<short> all;
  for (int row : rows) {
    const std::vector<short> track = DiscSamples(row);
    all.insert(all.end(), track.begin(), track.end());
  }
  return all;
}

TEST_F(MainDlgPlay, PlayPlaysTheCheckedTracksAndPlayWhilePlayingDoesNothing) {
  dlg.m_listTracks.SetCheck(1, FALSE);
  dlg.OnPlay();
  ASSERT_TRUE(dlg.m_bPlaying);
  EXPECT_EQ(dlg.m_nCurrentTrack, 0);
  CWinThread* output = dlg.m_pOutputThread;
  dlg.OnPlay();
  EXPECT_EQ(dlg.m_pOutputThread, output) << "a second Play started another playback";
  ASSERT_TRUE(PlayToTheEnd());
  EXPECT_EQ(dlg.m_nCurrentTrack, 2);
  EXPECT_TRUE(PlayedAudio() == Joined({0, 2}));
}

TEST_F(MainDlgPlay, PlayWithNothingCheckedWarnsAndStartsNothing) {
  for (int row = 0; row < 3; ++row) dlg.m_listTracks.SetCheck(row, FALSE);
  BoxAnswer box(AfxGetApp()->m_pszAppName);
  dlg.OnPlay();
  EXPECT_TRUE(box.Found());
  EXPECT_NE(box.Text().find(L"Warning: No Audio Track Checked!"), std::wstring::npos) << box.Text();
  EXPECT_FALSE(dlg.m_bPlaying);
  EXPECT_EQ(dlg.m_pOutputThread, nullptr);
}

TEST_F(MainDlgPlay, PlayCurrentWhilePlayingSwitchesToTheSelectedRowAtZero) {
  dlg.OnPlay();
  dlg.OnPauseResume();
  ASSERT_TRUE(dlg.m_bPaused);
  dlg.m_staticTime.SetWindowText(L"00:07");
  Select(2);
  dlg.OnPlayCurrent();
  EXPECT_EQ(dlg.m_nCurrentTrack, 2);
  EXPECT_EQ(dlg.m_nReadSector, TrackFirstSector(2));
  EXPECT_EQ(dlg.m_nSectorsLeft, 60);
  CString time;
  dlg.m_staticTime.GetWindowText(time);
  EXPECT_EQ(time, L"00:00");
  dlg.OnPauseResume();
  ASSERT_TRUE(PlayToTheEnd());
  const std::vector<short> played = PlayedAudio();
  const std::vector<short> last = DiscSamples(2);
  ASSERT_GE(played.size(), last.size());
  EXPECT_TRUE(std::equal(last.begin(), last.end(), played.end() - last.size()));
  EXPECT_LT(played.size(), Joined({0, 1, 2}).size()) << "track 2 was not skipped";
}

TEST_F(MainDlgPlay, PlayCurrentWithoutASelectionKeepsPlaying) {
  dlg.OnPlay();
  dlg.OnPauseResume();
  const int sector = dlg.m_nReadSector;
  dlg.m_listTracks.SetItemState(-1, 0, LVIS_SELECTED);
  BoxAnswer box(AfxGetApp()->m_pszAppName);
  dlg.OnPlayCurrent();
  EXPECT_TRUE(box.Found());
  EXPECT_NE(box.Text().find(L"No Audio Track Selected!"), std::wstring::npos) << box.Text();
  EXPECT_TRUE(dlg.m_bPlaying);
  EXPECT_EQ(dlg.m_nCurrentTrack, 0);
  EXPECT_EQ(dlg.m_nReadSector, sector);
}

// Busy with a refresh, or without a sound device, Play and Play Current do nothing.
TEST_F(MainDlgPlay, PlayRefusesWhileBusyOrWithoutSound) {
  Select(1);
  for (int refusal = 0; refusal < 2; ++refusal) {
    SCOPED_TRACE(refusal == 0 ? "busy" : "no sound");
    if (refusal == 0)
      g_bBusy = TRUE;
    else
      g_bSoundAvailable = FALSE;
    dlg.OnPlay();
    dlg.OnPlayCurrent();
    EXPECT_FALSE(dlg.m_bPlaying);
    EXPECT_EQ(dlg.m_pOutputThread, nullptr);
    g_bBusy = FALSE;
    g_bSoundAvailable = TRUE;
  }
}

TEST_F(MainDlgPlay, PlayCurrentWhenStoppedPlaysFromTheSelectedRow) {
  Select(1);
  dlg.OnPlayCurrent();
  ASSERT_TRUE(dlg.m_bPlaying);
  ASSERT_TRUE(PlayToTheEnd());
  EXPECT_TRUE(PlayedAudio() == Joined({1, 2}));
}

TEST_F(MainDlgPlay, DoubleClickFollowsTheSettingOrAsks) {
  // Below the rows: nothing, not even the question.
  DoubleClick(-1);
  EXPECT_FALSE(dlg.m_bPlaying);

  // Any other value than -1, 0 and 1 does nothing.
  DbClk = 5;
  Select(1);
  DoubleClick(1);
  EXPECT_FALSE(dlg.m_bPlaying);

  // Asked: Cancel changes nothing.
  DbClk = -1;
  {
    BoxDriver driver(L"Choose Your Action",
                     [](HWND box) { ::PostMessageW(box, WM_COMMAND, 25, 0); });
    DoubleClick(1);
    EXPECT_TRUE(driver.Found());
  }
  EXPECT_FALSE(dlg.m_bPlaying);
  EXPECT_EQ(DbClk, -1);

  // Asked: Play with "Don't ask me again" plays and keeps the choice.
  {
    std::wstring text;
    BoxDriver driver(L"Choose Your Action", [&text](HWND box) {
      text = DialogText(box);
      ::SendMessageW(::GetDlgItem(box, kXmbIdCheckBox), BM_SETCHECK, BST_CHECKED, 0);
      ::PostMessageW(box, WM_COMMAND, 23, 0);
    });
    DoubleClick(1);
    EXPECT_TRUE(driver.Found());
    EXPECT_EQ(text,
              L"|Which Action Do You Wish to Perform?|Play the Track|Rip the Track|Cancel|"
              L"Don't ask me again|");
  }
  EXPECT_EQ(DbClk, 0);
  EXPECT_TRUE(dlg.m_bPlaying);
  EXPECT_EQ(dlg.m_nCurrentTrack, 1);
  dlg.StopPlayback();

  // Now without asking.
  Select(2);
  DoubleClick(2);
  EXPECT_TRUE(dlg.m_bPlaying);
  EXPECT_EQ(dlg.m_nCurrentTrack, 2);
}

TEST_F(MainDlgPlay, EnterAndEscapeDoNotCloseTheWindow) {
  for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
    MSG msg{dlg.m_listTracks.m_hWnd, WM_KEYDOWN, key, 0};
    EXPECT_TRUE(dlg.PreTranslateMessage(&msg));
  }
  PumpPending();
  EXPECT_TRUE(::IsWindow(dlg.m_hWnd));
  EXPECT_TRUE(dlg.IsWindowVisible());
}

TEST_F(MainDlgPlay, TooltipsFollowTheVolumeSliderAndTheStringTable) {
  dlg.m_sliderVolume.SetPos(35);
  struct Case {
    UINT_PTR idFrom;
    UINT flags;
    BOOL handled;
    const wchar_t* text;
  };
  const Case cases[] = {
      {reinterpret_cast<UINT_PTR>(dlg.m_sliderVolume.m_hWnd), TTF_IDISHWND, TRUE, L"Volume: 35"},
      {IDC_SLIDER_VOLUME, 0, TRUE, L"Volume: 35"},
      {reinterpret_cast<UINT_PTR>(dlg.m_sliderPosition.m_hWnd), TTF_IDISHWND, TRUE,
       L"Playback position: drag to move within the playing track"},
      {ID_PLAY, 0, TRUE, L"Play the checked tracks from the first one"},
      {0, 0, FALSE, L""},
      {4242, 0, FALSE, L""},  // no string
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    NMTTDISPINFOW info{};
    info.hdr.idFrom = c.idFrom;
    info.hdr.code = TTN_NEEDTEXTW;
    info.uFlags = c.flags;
    LRESULT result = 1;
    EXPECT_EQ(dlg.OnToolTipNeedText(0, &info.hdr, &result), c.handled);
    EXPECT_STREQ(info.szText, c.text);
  }
  // A string tip tells the tooltip it has its text.
  NMTTDISPINFOW info{};
  info.hdr.idFrom = IDC_SLIDER_POSITION;
  LRESULT result = 1;
  EXPECT_TRUE(dlg.OnToolTipNeedText(0, &info.hdr, &result));
  EXPECT_EQ(result, 0);
}

TEST_F(MainDlgPlay, SlidersSetTheVolumeAndTheirEndsDoNotSeek) {
  dlg.m_sliderVolume.SetPos(40);
  dlg.OnHScroll(TB_THUMBPOSITION, 40, reinterpret_cast<CScrollBar*>(&dlg.m_sliderVolume));
  EXPECT_EQ(Volume, 40);

  dlg.m_nReadSector = 1234;
  for (int end : {1000, 0}) {
    dlg.m_sliderPosition.SetPos(end);
    dlg.OnHScroll(TB_THUMBPOSITION, end, reinterpret_cast<CScrollBar*>(&dlg.m_sliderPosition));
    EXPECT_EQ(dlg.m_sliderPosition.GetPos(), end);
    EXPECT_EQ(dlg.m_nReadSector, 1234) << "the end " << end << " sought";
  }
  // Between the ends the read position moves and the time shows where.
  dlg.m_nCurrentTrack = 0;
  dlg.m_dTrackTenths = TrackTenths(75);
  dlg.m_sliderPosition.SetPos(960);
  dlg.OnHScroll(TB_THUMBPOSITION, 960, reinterpret_cast<CScrollBar*>(&dlg.m_sliderPosition));
  EXPECT_EQ(dlg.m_nReadSector, TrackFirstSector(0) + 72);
  CString time;
  dlg.m_staticTime.GetWindowText(time);
  EXPECT_EQ(time, L"00:01");
}

}  // namespace
