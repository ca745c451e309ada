// The main window over a scripted drive while a refresh is on its way: the commands refuse
// from the moment a refresh is asked for, not only once the worker has switched the busy
// state on, and the Edit CD dialog applies its edits only to the disc it was opened for.
#include <gtest/gtest.h>

#include "VeltraskDlg.h"

#include <dbt.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EventLog.h"
#include "FreeDBServer.h"
#include "VeltraskDlg.h"
#include "engine/OutputNaming.h"
#include "engine/RippingProgress.h"
#include "engine/SectorBlock.h"
#include "engine/Settings.h"
#include "resource.h"
#include "tests/app/MainDlgTestSupport.h"
#include "tests/discinfo/CddbTestServer.h"
#include "tests/engine/FakeCDLibrary.h"
#include "tests/window/BoxDriver.h"
#include "tests/window/TestApp.h"

namespace {

constexpr wchar_t kLetter = OneLetter::kLetter;
constexpr wchar_t kDiscChanged[] = L"The Disc Has Changed, Edits Not Applied!";

// Lets the refresh that runs go on until it has switched the busy state off, and keeps it
// there: only messages sent to this thread are answered meanwhile, so its next call into
// this thread's windows (the drive combo box) waits until messages are pumped again.
// What follows it (the refresh asked for meanwhile, or a failed lookup's retry) has not
// begun then.
bool HoldTheRefreshAtItsEnd() {
  bool busySeen = false;
  return AnswerSentMessagesUntil([&busySeen] {
    if (g_bBusy) {
      busySeen = true;
      return false;
    }
    return busySeen;
  });
}

int CountBoxes(const wchar_t* text) {
  int count = 0;
  for (const CString& box : g_testApp.m_boxes) count += box == text;
  return count;
}

// Closes an Edit CD dialog or a stopped rip job that a command opened when it should
// have refused, and counts them.
std::atomic<int> g_windowsOpened{0};
void CALLBACK CloseOpenedWindows(HWND, UINT, UINT_PTR, DWORD) noexcept {
  if (HWND edit = FindOwnWindow(L"Edit CD Info")) {
    ++g_windowsOpened;
    ::PostMessageW(edit, WM_COMMAND, IDCANCEL, 0);
  }
  if (CloseStoppedJob()) ++g_windowsOpened;
}

class TestDlg : public CVeltraskDlg {};

class MainDlgBusy : public ScriptedDriveTest {
 protected:
  void SetUp() override {
    g_testApp.m_boxes.clear();
    ScriptTheDrive(3);
    cache = TempFolder(L"busy", L"cache");
    g_bTipPending = FALSE;  // the start-up tip is not part of these tests
    ASSERT_TRUE(dlg.Create(IDD_CORVANE_DIALOG));
    dlg.ShowWindow(SW_SHOW);
    // The first refresh comes after start-up: these settings are in time for it.
    AlbumInfoSource = 2;
    LoadAlbumInfo = TRUE;
    SaveAlbumInfo = FALSE;
    LocalCDDBDir = cache;
    DesDir = L"C:\\Out\\";
    FileStyle = 12;  // artist-album-year folders: the destinations show the album
    OutputFormat = 1;
    ASSERT_TRUE(WaitForRefresh(RefreshWait::kWorkerOnly));
    ASSERT_EQ(dlg.m_listTracks.GetItemCount(), 3);
  }

  void TearDown() override {
    if (m_timer) ::KillTimer(nullptr, m_timer);
    WaitForRefresh(RefreshWait::kWorkerOnly);
    dlg.StopPlayback();
    dlg.DestroyWindow();
    ForgetTheDrive();
    g_bLookupFromSettings = TRUE;
    RemoveFolder(cache);
  }

  // Lookups go to the test server, which answers reply to every request.
  void LookUpFrom(CddbTestServer& server, CddbTestServer::Reply reply) {
    auto* entry = static_cast<CFreeDBServer*>(g_serverList[0]);
    entry->m_strHost = L"127.0.0.1";
    entry->m_nPort = server.Port();
    entry->m_nTimeout = 5000;
    AlbumInfoSource = 1;
    server.Script({reply});
  }

  // The media notification of the drive, as the system sends it.
  void SendMediaArrival() {
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_flags = DBTF_MEDIA;
    volume.dbcv_unitmask = 1u << (kLetter - L'A');
    ::SendMessageW(dlg.m_hWnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                   reinterpret_cast<LPARAM>(&volume));
  }

  CString cache;
  TestDlg dlg;
  UINT_PTR m_timer = 0;
};

// ---- between a refresh's request and its start -------------------------------------------

TEST_F(MainDlgBusy, CommandsRefuseBetweenARefreshAndTheOneAskedForAfterIt) {
  WinsockSession sockets;
  CddbTestServer server;
  struct Case {
    const char* name;
    // Starts a refresh, then asks for what follows it.
    std::function<void()> start;
  };
  const Case cases[] = {
      {"a notification during a refresh",
       [&] {
         dlg.SendMessage(WM_COMMAND, ID_REFRESH_DISC);
         // The worker waits for this thread in its first call into the window.
         ASSERT_TRUE(AnswerSentMessagesUntil([] { return g_bBusy.load(); }));
         SendMediaArrival();  // waits for the refresh that runs
       }},
      {"a failed lookup before its retry",
       [&] {
         LookUpFrom(server, {{"HTTP/1.0 500 Internal Server Error\r\n\r\n"}});
         dlg.SendMessage(WM_COMMAND, ID_REFRESH_DISC);
       }},
  };
  // The commands that refuse while a refresh runs. Exit is not among them: it waits for
  // the refresh and is carried out at its end (the exit test shows it).
  const struct {
    const wchar_t* name;
    UINT command;
  } commands[] = {
      {L"Rip", ID_RIP},   {L"Rip Current", ID_RIP_CURRENT},   {L"Edit CD Info", ID_EDIT_CD_INFO},
      {L"Play", ID_PLAY}, {L"Play Current", ID_PLAY_CURRENT}, {L"Next", ID_NEXT_TRACK},
  };
  m_timer = ::SetTimer(nullptr, 0, 10, CloseOpenedWindows);
  g_windowsOpened = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WaitForRefresh(RefreshWait::kWorkerOnly));
    AlbumInfoSource = 2;
    lib.tocReads = 0;
    c.start();
    ASSERT_TRUE(HoldTheRefreshAtItsEnd());
    ASSERT_FALSE(g_bBusy);
    // Rows for every command to act on: a failed refresh leaves the list empty.
    for (int row = dlg.m_listTracks.GetItemCount(); row < 3; ++row) {
      dlg.m_listTracks.InsertItem(row, L"");
      dlg.m_listTracks.SetItemData(row, 150);
    }
    for (int row = 0; row < 3; ++row) {
      dlg.m_listTracks.SetCheck(row, TRUE);
      dlg.m_listTracks.SetItemText(row, 5, L"old status");
    }
    dlg.m_listTracks.SetItemState(-1, 0, LVIS_SELECTED);
    dlg.m_listTracks.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    dlg.m_nCurrentTrack = 1;
    for (const auto& command : commands) {
      SCOPED_TRACE(command.name);
      dlg.SendMessage(WM_COMMAND, command.command);
      EXPECT_EQ(dlg.m_nCurrentTrack, 1);
      EXPECT_EQ(dlg.m_listTracks.GetItemText(1, 5), L"old status");
      EXPECT_EQ(dlg.m_pOutputThread, nullptr);
      EXPECT_FALSE(g_bExiting);
    }
    ASSERT_TRUE(WaitForRefresh(RefreshWait::kWorkerOnly));
    dlg.StopPlayback();
    EXPECT_EQ(lib.tocReads, 2) << "the refresh and the one after it";
    EXPECT_EQ(g_windowsOpened, 0);
    EXPECT_EQ(dlg.m_listTracks.GetItemCount(), 3);
  }
}

TEST_F(MainDlgBusy, RipQuestionOpenDuringAMediaChangeRipsNothing) {
  m_timer = ::SetTimer(nullptr, 0, 10, CloseOpenedWindows);
  g_windowsOpened = 0;
  for (UINT command : {ID_RIP, ID_RIP_CURRENT}) {
    SCOPED_TRACE(command);
    ASSERT_TRUE(WaitForRefresh(RefreshWait::kWorkerOnly));
    for (int row = 0; row < 3; ++row) dlg.m_listTracks.SetCheck(row, TRUE);
    dlg.m_listTracks.SetItemState(-1, 0, LVIS_SELECTED);
    dlg.m_listTracks.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    dlg.m_bPlaying = TRUE;  // as if a track played: the rip asks first
    lib.tocReads = 0;
    std::atomic<bool> asked{false};
    std::thread user([&] {
      HWND box = nullptr;
      for (int i = 0; i < 1000 && !box; ++i) {
        box = FindOwnWindow(AfxGetApp()->m_pszAppName);
        if (box == dlg.m_hWnd) box = nullptr;
        if (!box) ::Sleep(10);
      }
      if (!box) return;
      asked = true;
      // The disc changes while the question is open; the answer comes after the refresh.
      SendMediaArrival();
      for (int i = 0; i < 1000 && IsRefreshRunning(); ++i) ::Sleep(5);
      ::PostMessageW(box, WM_COMMAND, IDYES, 0);
    });
    dlg.SendMessage(WM_COMMAND, command);
    user.join();
    EXPECT_TRUE(asked);
    PumpUntil([] { return false; }, 300);  // a job that started would be closed by now
    ASSERT_TRUE(WaitForRefresh(RefreshWait::kWorkerOnly));
    EXPECT_EQ(lib.tocReads, 1);
    EXPECT_EQ(g_windowsOpened, 0) << "a job ran over the refreshed rows";
    EXPECT_FALSE(dlg.m_bPlaying);
  }
}

// ---- Edit CD and a refresh -----------------------------------------------------------------

TEST_F(MainDlgBusy, EditCDAppliesOnlyToTheDiscItWasOpenedFor) {
  WinsockSession sockets;
  CddbTestServer server;
  enum Meanwhile { kNothing, kSameDiscRefreshed, kOtherDisc, kRefreshRunning };
  struct Case {
    Meanwhile meanwhile;
    UINT button;
    bool applied;
  };
  const Case cases[] = {
      {kNothing, IDC_EDITCD_OK, true},
      {kNothing, IDC_EDITCD_SAVE, true},
      {kSameDiscRefreshed, IDC_EDITCD_OK, false},
      {kOtherDisc, IDC_EDITCD_OK, false},
      {kOtherDisc, IDC_EDITCD_SAVE, false},
      {kRefreshRunning, IDC_EDITCD_OK, false},
      {kRefreshRunning, IDC_EDITCD_SAVE, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "meanwhile " << c.meanwhile << ", button " << c.button);
    SetAudioDisc(3);
    AlbumInfoSource = 2;
    dlg.SendMessage(WM_COMMAND, ID_REFRESH_DISC);
    ASSERT_TRUE(WaitForRefresh(RefreshWait::kWorkerOnly));
    RemoveFolder(cache);
    ::CreateDirectoryW(cache, nullptr);
    g_testApp.m_boxes.clear();
    const INT_PTR logFrom = LogSize();
    const DWORD openedFor = g_dwDiscId;
    if (c.meanwhile == kOtherDisc) SetAudioDisc(4);
    // The lookup of the refresh stays unanswered for a while.
    if (c.meanwhile == kRefreshRunning) {
      CddbTestServer::Reply stalled;
      stalled.end = CddbTestServer::End::kStall;
      stalled.stallMs = 1500;
      LookUpFrom(server, stalled);
    }

    std::atomic<bool> found{false}, closedByTheClick{false};
    std::thread user([&] {
      HWND edit = WaitForOwnWindow(L"Edit CD Info");
      if (!edit) return;
      found = true;
      ::SetDlgItemTextW(edit, IDC_EDITCD_ALBUM, L"Edited Album");
      if (c.meanwhile != kNothing) SendMediaArrival();
      if (c.meanwhile == kRefreshRunning) {
        for (int i = 0; i < 1000 && !g_bBusy; ++i) ::Sleep(5);
      } else {
        for (int i = 0; i < 1000 && IsRefreshRunning(); ++i) ::Sleep(5);
      }
      ::SendMessageW(edit, WM_COMMAND, MAKEWPARAM(c.button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(::GetDlgItem(edit, c.button)));
      // A dialog that the click ended is hidden once its loop wakes up.
      ::PostMessageW(edit, WM_NULL, 0, 0);
      for (int i = 0; i < 100 && ::IsWindowVisible(edit); ++i) ::Sleep(10);
      closedByTheClick = !::IsWindowVisible(edit);
      if (::IsWindow(edit)) ::PostMessageW(edit, WM_COMMAND, IDCANCEL, 0);
    });
    dlg.SendMessage(WM_COMMAND, ID_EDIT_CD_INFO);
    user.join();
    ASSERT_TRUE(found);
    ASSERT_TRUE(WaitForRefresh(RefreshWait::kWorkerOnly));

    if (c.applied) {
      EXPECT_EQ(g_cddbRecord.m_title, L"Edited Album");
      EXPECT_EQ(CountBoxes(kDiscChanged), 0);
      EXPECT_EQ(closedByTheClick, c.button == IDC_EDITCD_OK);
      if (c.button == IDC_EDITCD_SAVE) {
        EXPECT_EQ(CacheFiles(cache).size(), 1u);
        EXPECT_EQ(CountLogLines(logFrom, L"Local CDDB file saved."), 1);
      }
    } else {
      EXPECT_NE(g_cddbRecord.m_title, L"Edited Album");
      EXPECT_EQ(CountBoxes(kDiscChanged), 1);
      EXPECT_TRUE(closedByTheClick) << "a dialog of another disc stays open";
      EXPECT_TRUE(CacheFiles(cache).empty());
      EXPECT_EQ(CountLogLines(logFrom, L"Local CDDB file saved."), 0);
      EXPECT_EQ(g_dwDiscId != openedFor, c.meanwhile == kOtherDisc);
    }
    const CString destination = dlg.m_listTracks.GetItemText(0, 6);
    EXPECT_EQ(destination.Find(L"Edited Album") >= 0, c.applied) << destination.GetString();
  }
}

}  // namespace
