// The main window's rip commands over a generated disc (a data track, then three audio
// tracks) behind a Wine CD-ROM letter: which rows become the job, the refusals and their
// boxes, and the files the job leaves.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "VeltraskDlg.h"
#include "engine/CDDrive.h"
#include "engine/RippingProgress.h"
#include "engine/Settings.h"
#include "resource.h"
#include "tests/app/MainDlgTestSupport.h"
#include "tests/app/MainWindowOnDisc.h"
#include "tests/window/BoxDriver.h"
#include "tests/window/TestApp.h"
#include "uikit/XMessageBox.h"

namespace {

const int32_t kAudioSectors[] = {75, 38, 60};  // rows 1 to 3; row 0 is the data track

// Closes the job window once its job has stopped, and counts the jobs that ran.
std::atomic<int> g_jobsRun{0};
void CALLBACK CloseJobTimer(HWND, UINT, UINT_PTR, DWORD) noexcept {
  if (CloseStoppedJob()) ++g_jobsRun;
}

class TestDlg : public CVeltraskDlg {
 public:
  using CVeltraskDlg::OnDblclkTrackList;
  using CVeltraskDlg::OnPauseResume;
  using CVeltraskDlg::OnPlay;
  using CVeltraskDlg::OnRip;
  using CVeltraskDlg::OnRipCurrent;
};

class MainDlgRip : public MainWindowOnDisc<TestDlg> {
 protected:
  static void SetUpTestSuite() { DefineDisc(L"VUTSNM", APP_RIP_DISC); }
  static void TearDownTestSuite() { RemoveDisc(); }

  void SetUp() override {
    m_folder = WindowsPath(APP_RIP_OUT);
    ASSERT_NO_FATAL_FAILURE(OpenOnDisc(4, [this] {
      RipToWavFiles(m_folder);
      DbClk = -1;
      std::error_code ignored;
      std::filesystem::remove_all(m_folder, ignored);
      std::filesystem::create_directories(m_folder);
    }));
    for (int row = 0; row < 4; ++row) {
      dlg.m_listTracks.SetCheck(row, FALSE);
      dlg.m_listTracks.SetItemText(row, 5, L"old status");
    }
    dlg.m_listTracks.SetItemState(-1, 0, LVIS_SELECTED);
    g_jobsRun = 0;
    m_timer = SetTimer(nullptr, 0, 10, CloseJobTimer);
  }

  void TearDown() override {
    KillTimer(nullptr, m_timer);
    dlg.StopPlayback();
    PumpPending();
    dlg.DestroyWindow();
    DbClk = -1;
  }

  void RemoveFiles() {
    for (const auto& entry : std::filesystem::directory_iterator(m_folder))
      std::filesystem::remove(entry.path());
  }

  // Output file sizes by name.
  std::vector<std::pair<std::wstring, uintmax_t>> Files() {
    std::vector<std::pair<std::wstring, uintmax_t>> files;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
      files.emplace_back(entry.path().filename().wstring(), entry.file_size());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  static uintmax_t WavSize(int audioRow) { return 44 + kAudioSectors[audioRow - 1] * 2352ull; }

  bool StatusColumnEmpty() {
    for (int row = 0; row < 4; ++row) {
      if (!dlg.m_listTracks.GetItemText(row, 5).IsEmpty()) return false;
    }
    return true;
  }

  std::wstring m_folder;
  UINT_PTR m_timer = 0;
};

TEST_F(MainDlgRip, RipMakesOneJobOfTheCheckedAudioRowsAndEmptiesTheStatusColumn) {
  dlg.m_listTracks.SetCheck(0, TRUE);  // a data row refuses the check
  dlg.m_listTracks.SetCheck(1, TRUE);
  dlg.m_listTracks.SetCheck(3, TRUE);
  dlg.OnRip();
  EXPECT_EQ(g_jobsRun, 1);
  EXPECT_EQ(g_pRippingProgress, nullptr);
  const std::vector<std::pair<std::wstring, uintmax_t>> expected = {{L"02.wav", WavSize(1)},
                                                                    {L"04.wav", WavSize(3)}};
  EXPECT_EQ(Files(), expected);
  EXPECT_TRUE(StatusColumnEmpty());
}

TEST_F(MainDlgRip, RipWithNoAudioRowCheckedRunsNoJob) {
  dlg.m_listTracks.SetCheck(0, TRUE);
  BoxAnswer box(AfxGetApp()->m_pszAppName);
  dlg.OnRip();
  EXPECT_NE(box.Text().find(L"No Audio Tracks Checked!"), std::wstring::npos) << box.Text();
  EXPECT_EQ(g_jobsRun, 0);
  EXPECT_TRUE(Files().empty());
  EXPECT_FALSE(StatusColumnEmpty());
}

TEST_F(MainDlgRip, RipCurrentRipsTheSelectedRowWhateverItsCheck) {
  dlg.m_listTracks.SetCheck(1, TRUE);
  dlg.m_listTracks.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
  dlg.OnRipCurrent();
  EXPECT_EQ(g_jobsRun, 1);
  EXPECT_EQ(dlg.m_nCurrentTrack, 2);
  const std::vector<std::pair<std::wstring, uintmax_t>> expected = {{L"03.wav", WavSize(2)}};
  EXPECT_EQ(Files(), expected);
  EXPECT_TRUE(StatusColumnEmpty());
}

TEST_F(MainDlgRip, RipCurrentRefusesNoSelectionAndADataRow) {
  struct Case {
    int selected;
    const wchar_t* box;
  };
  const Case cases[] = {{-1, L"No Audio Track Selected!"}, {0, L"Not an Audio Track!"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selected);
    dlg.m_listTracks.SetItemState(-1, 0, LVIS_SELECTED);
    if (c.selected >= 0) dlg.m_listTracks.SetItemState(c.selected, LVIS_SELECTED, LVIS_SELECTED);
    BoxAnswer box(AfxGetApp()->m_pszAppName);
    dlg.OnRipCurrent();
    EXPECT_NE(box.Text().find(c.box), std::wstring::npos) << box.Text();
    EXPECT_EQ(g_jobsRun, 0);
    EXPECT_TRUE(Files().empty());
  }
}

TEST_F(MainDlgRip, RipCommandsDoNothingWhileTheDiscIsRefreshed) {
  dlg.m_listTracks.SetCheck(1, TRUE);
  dlg.m_listTracks.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
  g_bBusy = TRUE;
  dlg.OnRip();
  dlg.OnRipCurrent();
  g_bBusy = FALSE;
  EXPECT_EQ(g_jobsRun, 0);
  EXPECT_TRUE(Files().empty());
  EXPECT_FALSE(StatusColumnEmpty());
}

// The rip commands posted to the main window once the job writes its first track; the
// window is disabled then, but its posted messages still reach it through the job's loop.
HWND g_commandsTo = nullptr;
std::atomic<bool> g_commandsPosted{false};
LRESULT CALLBACK PostRipCommandsDuringTheJob(int code, WPARAM wParam, LPARAM lParam) noexcept {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  CRippingProgress* job = g_pRippingProgress;
  if (code >= 0 && job && call->hwnd == job->GetSafeHwnd() && call->message == WM_RIP_STATUS &&
      call->wParam == 0 && !g_commandsPosted.exchange(true)) {
    ::PostMessageW(g_commandsTo, WM_COMMAND, ID_RIP, 0);
    ::PostMessageW(g_commandsTo, WM_COMMAND, ID_RIP_CURRENT, 0);
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// A second job would read into the rings the first one reads into: while a job runs,
// both rip commands do nothing.
TEST_F(MainDlgRip, RipCommandsDuringAJobStartNoSecondJob) {
  struct Case {
    const char* name;
    bool current;  // the job is Rip Current's, else Rip's
    const wchar_t* file;
    int audioRow;
  };
  const Case cases[] = {{"during Rip", false, L"02.wav", 1},
                        {"during Rip Current", true, L"03.wav", 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_jobsRun = 0;
    RemoveFiles();
    dlg.m_listTracks.SetCheck(1, TRUE);
    Select(2);
    g_commandsTo = dlg.m_hWnd;
    g_commandsPosted = false;
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, PostRipCommandsDuringTheJob, nullptr,
                                     ::GetCurrentThreadId());
    if (c.current) {
      dlg.OnRipCurrent();
    } else {
      dlg.OnRip();
    }
    ::UnhookWindowsHookEx(hook);
    PumpPending();
    EXPECT_TRUE(g_commandsPosted) << "the job never reached its first track";
    EXPECT_EQ(g_jobsRun, 1);
    const std::vector<std::pair<std::wstring, uintmax_t>> expected = {
        {c.file, WavSize(c.audioRow)}};
    EXPECT_EQ(Files(), expected);
  }
}

// Asked on a double-click, "Rip the Track" with "Don't ask me again" rips the row and
// keeps the choice: the next double-click rips without asking.
TEST_F(MainDlgRip, DoubleClickRipTheTrackWithTheCheckBoxRipsFromThenOnWithoutAsking) {
  Select(2);
  {
    BoxDriver driver(L"Choose Your Action", [](HWND box) {
      ::SendMessageW(::GetDlgItem(box, kXmbIdCheckBox), BM_SETCHECK, BST_CHECKED, 0);
      ::PostMessageW(box, WM_COMMAND, 24, 0);
    });
    DoubleClick(2);
    EXPECT_TRUE(driver.Found());
  }
  EXPECT_EQ(DbClk, 1);
  EXPECT_EQ(g_jobsRun, 1);
  std::vector<std::pair<std::wstring, uintmax_t>> expected = {{L"03.wav", WavSize(2)}};
  EXPECT_EQ(Files(), expected);

  Select(3);
  {
    BoxDriver driver(
        L"Choose Your Action", [](HWND box) { ::PostMessageW(box, WM_COMMAND, 25, 0); }, 1500);
    DoubleClick(3);
    EXPECT_FALSE(driver.Found()) << "asked again";
  }
  EXPECT_EQ(g_jobsRun, 2);
  expected.emplace_back(L"04.wav", WavSize(3));
  EXPECT_EQ(Files(), expected);
}

// While a track plays, both rip commands ask first: No leaves playback going and rips
// nothing; Yes stops playback, then rips.
TEST_F(MainDlgRip, RipWhilePlayingAsksToStopPlayingFirst) {
  struct Case {
    const char* name;
    bool current;  // Rip Current, else Rip
    int answer;
  };
  const Case cases[] = {{"Rip, No", false, IDNO},
                        {"Rip, Yes", false, IDYES},
                        {"Rip Current, No", true, IDNO},
                        {"Rip Current, Yes", true, IDYES}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_jobsRun = 0;
    RemoveFiles();
    dlg.m_listTracks.SetCheck(1, TRUE);
    Select(1);
    dlg.OnPlay();
    dlg.OnPauseResume();  // paused, it plays on until stopped
    ASSERT_TRUE(dlg.m_bPlaying);
    BoxAnswer box(AfxGetApp()->m_pszAppName, c.answer);
    if (c.current) {
      dlg.OnRipCurrent();
    } else {
      dlg.OnRip();
    }
    EXPECT_NE(box.Text().find(L"|Do You Wish to Stop Playing to Rip Audio Tracks?|"),
              std::wstring::npos)
        << box.Text();
    const bool yes = c.answer == IDYES;
    EXPECT_EQ(dlg.m_bPlaying.load() != FALSE, !yes);
    EXPECT_EQ(g_jobsRun, yes ? 1 : 0);
    EXPECT_EQ(Files().size(), yes ? 1u : 0u);
    dlg.StopPlayback();
    PumpPending();
  }
}

}  // namespace
