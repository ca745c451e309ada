// The main window over a generated disc behind a Wine CD-ROM letter while its own threads
// work: a rip job that meets a disc taken away and put back or a log-off, and a playback
// whose output cannot start.
#include <gtest/gtest.h>

#include "VeltraskDlg.h"

#include <dbt.h>
#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EventLog.h"
#include "engine/CDDrive.h"
#include "engine/OutputNaming.h"
#include "engine/RippingProgress.h"
#include "engine/Settings.h"
#include "platform/tools/WineDrive.h"
#include "resource.h"
#include "tests/app/MainDlgTestSupport.h"
#include "tests/app/MainWindowOnDisc.h"
#include "tests/window/TestApp.h"

namespace {

constexpr int kTracks = 3;
constexpr int32_t kTrackSectors = 1200;  // the three tracks outgrow the rip's ring

// ---- a rip job held at the start of its first track ------------------------------------

// What runs on a thread of its own while the job's first track is held; the job goes on
// once it has returned.
std::function<void()> g_whileHeld;
std::thread g_heldThread;
std::atomic<bool> g_held{false};
INT_PTR g_logAtJobEnd = -1;
INT_PTR g_refreshesAtJobEnd = -1;
INT_PTR g_logFrom = 0;

// The encoder sends the job window the track's destination before it writes the file:
// the first one pauses the job (as its Pause button does) until g_whileHeld is done.
LRESULT CALLBACK HoldTheFirstTrack(int code, WPARAM wParam, LPARAM lParam) noexcept {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  CRippingProgress* job = g_pRippingProgress;
  if (code >= 0 && job && call->hwnd == job->GetSafeHwnd() && call->message == WM_RIP_STATUS &&
      call->wParam == 0 && !g_held.exchange(true)) {
    job->m_bPaused = TRUE;
    g_heldThread = std::thread([job] {
      if (g_whileHeld) g_whileHeld();
      job->m_bPaused = FALSE;
    });
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Closes the job window once its job has stopped, noting what the log held then.
std::atomic<int> g_jobsRun{0};
void CALLBACK CloseAndNoteStoppedJob(HWND, UINT, UINT_PTR, DWORD) noexcept {
  if (!CloseStoppedJob()) return;
  ++g_jobsRun;
  g_refreshesAtJobEnd = CountLogLines(g_logFrom, L"Refreshing CD...");
  g_logAtJobEnd = LogSize();
}

class TestDlg : public CVeltraskDlg {
 public:
  using CVeltraskDlg::OnRip;
};

class MainDlgDiscChange : public MainWindowOnDisc<TestDlg> {
 protected:
  static void SetUpTestSuite() { DefineDisc(L"QPOLKJ", APP_CHANGE_DISC); }
  static void TearDownTestSuite() { RemoveDisc(); }

  void SetUp() override {
    g_testApp.m_boxes.clear();
    m_folder = WindowsPath(APP_CHANGE_OUT);
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    std::filesystem::create_directories(m_folder);
    ASSERT_NO_FATAL_FAILURE(OpenOnDisc(kTracks, [this] {
      RipToWavFiles(m_folder);
      FileStyle = 3;  // <Tracknum>-<Title>
      Volume = 100;
    }));
    ASSERT_TRUE(WaitForRefresh(RefreshWait::kWorkerOnly));
  }

  void TearDown() override {
    if (g_heldThread.joinable()) g_heldThread.join();
    dlg.StopPlayback();
    WaitForRefresh(RefreshWait::kWorkerOnly);
    dlg.DestroyWindow();
    g_cddbRecord = CCDDBRecord();
  }

  // The record the user has given the disc (as Edit CD or a lookup would).
  void NameTheDisc() {
    g_cddbRecord.m_artist = L"Band";
    g_cddbRecord.m_title = L"Album";
    g_cddbRecord.m_trackTitles.RemoveAll();
    for (const wchar_t* title : {L"One", L"Two", L"Three"}) g_cddbRecord.m_trackTitles.Add(title);
    g_bPlaceholderRecord = FALSE;
    dlg.RefreshDestinations();
  }

  // Rips every track; whileHeld runs while the first track waits.
  void RipHolding(std::function<void()> whileHeld) {
    for (int row = 0; row < kTracks; ++row) dlg.m_listTracks.SetCheck(row, TRUE);
    g_whileHeld = std::move(whileHeld);
    g_held = false;
    g_jobsRun = 0;
    g_logAtJobEnd = g_refreshesAtJobEnd = -1;
    g_logFrom = LogSize();
    HHOOK hook =
        ::SetWindowsHookExW(WH_CALLWNDPROC, HoldTheFirstTrack, nullptr, ::GetCurrentThreadId());
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, CloseAndNoteStoppedJob);
    dlg.OnRip();
    ::KillTimer(nullptr, timer);
    ::UnhookWindowsHookEx(hook);
    if (g_heldThread.joinable()) g_heldThread.join();
    g_whileHeld = nullptr;
    EXPECT_TRUE(g_held) << "the job never reached its first track";
    EXPECT_EQ(g_jobsRun, 1);
  }

  // Each track in one file named from the record, holding the disc's samples.
  void ExpectTheRipIntact() {
    const wchar_t* names[] = {L"01-One.wav", L"02-Two.wav", L"03-Three.wav"};
    std::vector<std::wstring> found;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder))
      found.push_back(entry.path().filename().wstring());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, std::vector<std::wstring>(std::begin(names), std::end(names)));
    const std::wstring image = WindowsPath(APP_CHANGE_DISC "/disc.bin");
    for (int row = 0; row < kTracks; ++row) {
      SCOPED_TRACE(row);
      const std::string written = ReadBytes(m_folder + L"\\" + names[row], 44);
      const std::string disc =
          ReadBytes(image, TrackFirstSector(row) * 2352L, kTrackSectors * 2352L);
      ASSERT_EQ(disc.size(), kTrackSectors * 2352u);
      EXPECT_EQ(written.size(), disc.size());
      EXPECT_TRUE(written == disc) << "the file does not hold the track";
    }
  }

  void SendMediaChange(UINT event) {
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_flags = DBTF_MEDIA;
    volume.dbcv_unitmask = 1u << (s_letter - L'A');
    ::SendMessageW(dlg.m_hWnd, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume));
  }

  std::wstring m_folder;
};

TEST_F(MainDlgDiscChange, DiscTakenAwayAndPutBackDuringARipIsRefreshedOnceAfterIt) {
  NameTheDisc();
  RipHolding([this] {
    // Wine's mount manager does not tell the windows of a letter's change: the test sends
    // the notifications the system sends for a medium.
    ASSERT_EQ(cdgrab::RemoveWineDrive(s_letter), 0u);
    SendMediaChange(DBT_DEVICEREMOVECOMPLETE);
    ASSERT_EQ(cdgrab::DefineWineCdDrive(s_letter, APP_CHANGE_DISC), 0u);
    SendMediaChange(DBT_DEVICEARRIVAL);
    ::Sleep(500);  // time for a refresh that should not come
  });
  EXPECT_EQ(CountLogLines(g_logFrom, L"Eject disc."), 1);
  EXPECT_EQ(CountLogLines(g_logFrom, L"Insert disc."), 1);
  EXPECT_EQ(g_refreshesAtJobEnd, 0) << "a refresh ran during the rip";
  ExpectTheRipIntact();

  ASSERT_TRUE(WaitForRefresh(RefreshWait::kWorkerOnly));
  EXPECT_EQ(CountLogLines(g_logFrom, L"Refreshing CD..."), 1);
  // The refresh after the job read the disc again, without a lookup.
  ASSERT_EQ(dlg.m_listTracks.GetItemCount(), kTracks);
  EXPECT_EQ(dlg.m_listTracks.GetItemText(0, 1), L"Track01");
}

TEST_F(MainDlgDiscChange, LogOffDuringARipIsRefusedAndTheRipGoesOn) {
  NameTheDisc();
  std::atomic<LRESULT> answer{-1};
  RipHolding([this, &answer] { answer = ::SendMessageW(dlg.m_hWnd, WM_QUERYENDSESSION, 0, 0); });
  EXPECT_EQ(answer, FALSE);
  EXPECT_FALSE(g_bExiting);
  ExpectTheRipIntact();
}

// ---- a playback whose output cannot start -------------------------------------------------

// Pumps for ms, keeping every Status text posted to the main window.
std::vector<std::wstring> PumpKeepingStatusTexts(HWND main, int ms) {
  std::vector<std::wstring> texts;
  PumpUntil([] { return false; }, ms,
            [main, &texts](const MSG& msg) {
              if (msg.hwnd == main && msg.message == WM_PLAYER_TEXT &&
                  msg.lParam == kPlayerRowStatus && msg.wParam)
                texts.push_back(reinterpret_cast<const CString*>(msg.wParam)->GetString());
            });
  return texts;
}

TEST_F(MainDlgDiscChange, PlayingIsShownOnlyOnceSomethingPlays) {
  ASSERT_TRUE(g_bSoundAvailable);
  struct Case {
    UINT command;
    bool output;  // the sound output opens
  };
  const Case cases[] = {
      {ID_PLAY, false}, {ID_PLAY_CURRENT, false}, {ID_PLAY, true}, {ID_PLAY_CURRENT, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.command << (c.output ? " with" : " without") << " output");
    for (int row = 0; row < kTracks; ++row) {
      dlg.m_listTracks.SetCheck(row, row == 1);
      dlg.m_listTracks.SetItemText(row, 5, L"");
    }
    dlg.m_listTracks.SetItemState(-1, 0, LVIS_SELECTED);
    dlg.m_listTracks.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    const INT_PTR from = LogSize();
    // No device until PortAudio is initialised again, as often as it was.
    int initialised = 0;
    if (!c.output) {
      while (Pa_GetDeviceCount() != paNotInitialized && initialised < 10) {
        Pa_Terminate();
        ++initialised;
      }
    }
    dlg.SendMessage(WM_COMMAND, c.command);
    const std::vector<std::wstring> texts = PumpKeepingStatusTexts(dlg.m_hWnd, 1500);
    const CString shown = dlg.m_listTracks.GetItemText(1, 5);
    dlg.StopPlayback();
    PumpPending();
    for (; initialised > 0; --initialised) ASSERT_EQ(Pa_Initialize(), paNoError);

    const bool saidPlaying = std::count(texts.begin(), texts.end(), L"Playing") > 0;
    EXPECT_EQ(saidPlaying, c.output);
    EXPECT_EQ(shown == L"Playing", c.output) << shown.GetString();
    EXPECT_EQ(CountLogLines(from, L"Fail to open input stream."), c.output ? 0 : 1);
  }
}

}  // namespace
