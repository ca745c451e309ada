// The exit sequence in the real main window over a generated disc behind a Wine CD-ROM
// letter. The sequence ends its process, so each exit runs in a child process (a death
// test re-runs the test up to the exit there) and the parent looks at what it left:
// the settings file, the log file, the disc's cache file.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "AlbumLookup.h"
#include "EventLog.h"
#include "FreeDBServer.h"
#include "VeltraskApp.h"
#include "VeltraskDlg.h"
#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/RippingProgress.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"
#include "framework/win/WinApp.h"
#include "resource.h"
#include "tests/app/MainWindowOnDisc.h"
#include "tests/discinfo/CddbTestServer.h"
#include "tests/window/BoxDriver.h"
#include "tests/window/TestApp.h"

namespace {

// Parent and child share the letter and the scratch folder through the environment: the
// child inherits it, and everything before the exit runs in both.
constexpr wchar_t kLetterVar[] = L"CORVANE_EXIT_TEST_LETTER";
constexpr wchar_t kScratchVar[] = L"CORVANE_EXIT_TEST_SCRATCH";

std::wstring GetEnv(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value ? value : L"";
}

void SetEnv(const wchar_t* name, const std::wstring& value) {
  _wputenv_s(name, value.c_str());
  ::SetEnvironmentVariableW(name, value.empty() ? nullptr : value.c_str());
}

std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  if (FILE* f = _wfopen(path.c_str(), L"rb")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    fclose(f);
  }
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The UTF-16 text of a file written with a byte-order mark.
std::wstring ReadUtf16(const std::wstring& path) {
  const std::string bytes = ReadBytes(path);
  std::wstring text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2)
    text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                 static_cast<unsigned char>(bytes[i + 1]) << 8);
  return text;
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(folder + L"\\" + name);
      else
        ::DeleteFileW((folder + L"\\" + name).c_str());
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(folder.c_str());
}

class TestDlg : public CVeltraskDlg {
 public:
  using CVeltraskDlg::OnEditCDInfo;
  using CVeltraskDlg::OnExitApp;
  using CVeltraskDlg::OnPlay;
  using CVeltraskDlg::OnRip;
};

// The last line of the event log and its kind.
std::pair<CString, short> LastLogLine() {
  std::lock_guard<std::mutex> lock(g_logItemsLock);
  if (g_logItems.IsEmpty()) return {CString(), -1};
  const CLogItem* item = g_logItems[g_logItems.GetSize() - 1];
  return {item->m_strDescription, item->m_nKind};
}

// Where the child writes what its helper thread saw (ASCII texts; the parent reads it).
void Note(const std::wstring& path, const std::wstring& text) {
  if (FILE* f = _wfopen(path.c_str(), L"ab")) {
    for (wchar_t c : text) fputc(static_cast<char>(c), f);
    fclose(f);
  }
}

// The rip job of a child holds still at its reads until the exit has been tried.
std::atomic<bool> g_holdReads{false};
const CDGrabberApi* g_realApi = nullptr;
CDGrabberApi g_heldApi;
int32_t __cdecl HeldRead(CDHANDLE handle, CDAudioBlock* block) {
  for (int i = 0; i < 20000 && g_holdReads.load(); ++i) ::Sleep(1);
  return g_realApi->ReadCDAudioLBA(handle, block);
}

TestDlg* g_ripWindow = nullptr;
std::wstring g_ripNotes;

// On the user-interface thread, in the job window's loop: while the held job runs, Exit
// and closing the main window, then the job may go on; once it has stopped, its window
// is closed.
void CALLBACK ExitDuringRip(HWND, UINT, UINT_PTR, DWORD) noexcept {
  CRippingProgress* job = g_pRippingProgress;
  if (!job || !job->GetSafeHwnd()) return;
  if (job->m_bRunning.load()) {
    if (!g_holdReads.load()) return;
    g_ripWindow->OnExitApp();  // returns only when it refuses
    g_ripWindow->SendMessage(WM_CLOSE);
    const bool shown = ::IsWindow(g_ripWindow->m_hWnd) && g_ripWindow->IsWindowVisible();
    Note(g_ripNotes, std::wstring(L"refused while ripping") + (g_bExiting ? L", exiting" : L"") +
                         (shown ? L"" : L", window gone") + L"\n");
    g_holdReads = false;
    return;
  }
  if (job->GetDlgItem(IDCANCEL)->IsWindowEnabled()) {
    ::PostMessageW(job->GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
    job->GetDlgItem(IDCANCEL)->EnableWindow(FALSE);  // once
  }
}

class MainDlgExit : public MainWindowOnDisc<TestDlg> {
 protected:
  static void SetUpTestSuite() {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::wstring inherited = GetEnv(kLetterVar);
    if (!inherited.empty()) {
      s_letter = inherited[0];
      return;
    }
    DefineDisc(L"MLKJ", APP_EXIT_DISC);
    if (s_letter) SetEnv(kLetterVar, std::wstring(1, s_letter));
  }
  static void TearDownTestSuite() {
    RemoveDisc();
    SetEnv(kLetterVar, L"");
  }

  void SetUp() override {
    ASSERT_NE(s_letter, 0) << "no Wine drive letter could be defined";
    scratch = GetEnv(kScratchVar);
    if (scratch.empty()) {
      wchar_t temp[MAX_PATH];
      ::GetTempPathW(MAX_PATH, temp);
      // Process ids come round again: a folder an earlier run left is not taken over.
      do {
        scratch = std::wstring(temp) + L"corvane-exit-" + std::to_wstring(::GetCurrentProcessId()) +
                  L"-" + std::to_wstring(++s_run);
      } while (!::CreateDirectoryW(scratch.c_str(), nullptr));
      SetEnv(kScratchVar, scratch);
      s_ownsScratch = true;
    }
    cache = scratch + L"\\cache";

    ASSERT_NO_FATAL_FAILURE(OpenOnDisc(2));
    ASSERT_TRUE(dlg.m_bAudioCD);
    // What the exit writes goes to this test's own folder.
    g_strSettingsFolder = scratch.c_str();
    LocalCDDBDir = cache.c_str();
  }

  void TearDown() override {
    PumpPending();
    dlg.DestroyWindow();
    if (s_ownsScratch) RemoveTree(scratch);
    s_ownsScratch = false;
    SetEnv(kScratchVar, L"");
    SaveAlbumInfo = FALSE;
  }

  // An album as a lookup leaves it.
  static void LookedUpRecord() {
    g_cddbRecord.m_artist = L"Exit Artist";
    g_cddbRecord.m_title = L"Exit Album";
    g_cddbRecord.m_genre = L"Rock";
    g_cddbRecord.m_year = 1999;
    g_cddbRecord.m_discId = g_dwDiscId;
    g_bPlaceholderRecord = FALSE;
  }

  std::wstring CacheFile() const {
    wchar_t name[16];
    swprintf(name, 16, L"%08x", static_cast<unsigned>(g_dwDiscId));
    return cache + L"\\" + name + L".cddb";
  }

  static int s_run;
  static bool s_ownsScratch;
  std::wstring scratch, cache;
};
int MainDlgExit::s_run = 0;
bool MainDlgExit::s_ownsScratch = false;

TEST_F(MainDlgExit, ExitWritesSettingsLogEndAndCacheAndEndsWithCodeOne) {
  EXPECT_EXIT(
      {
        WriteLog = TRUE;
        Volume = 37;
        SaveAlbumInfo = TRUE;
        LookedUpRecord();
        AddLogLine(L"last line of the run", LOG_INFO);
        dlg.OnExitApp();
      },
      ::testing::ExitedWithCode(1), "");

  const std::wstring ini = scratch + L"\\Corvane.ini";
  EXPECT_EQ(::GetPrivateProfileIntW(L"OUTPUT", L"Volume", -1, ini.c_str()), 37);
  const std::wstring log = ReadUtf16(scratch + L"\\Corvane.log");
  const std::wstring end = L"last line of the run\r\n\r\n\r\n\r\n\r\n\r\n";
  ASSERT_GE(log.size(), end.size()) << "no log file";
  EXPECT_EQ(log.substr(log.size() - end.size()), end);

  CCDDBRecord empty;
  g_cddbRecord = empty;
  LocalCDDBDir = cache.c_str();
  ASSERT_TRUE(LoadLocalCDDB()) << "no cache file " << testing::PrintToString(CacheFile());
  EXPECT_EQ(g_cddbRecord.m_artist, L"Exit Artist");
  EXPECT_EQ(g_cddbRecord.m_title, L"Exit Album");
  EXPECT_EQ(g_cddbRecord.m_year, 1999);
}

// Without an audio disc, with saving off or with the placeholder record, the exit leaves
// any cache file as it was.
TEST_F(MainDlgExit, CacheFileIsLeftAloneUnlessAnAudioDiscHasARealRecordToSave) {
  struct Case {
    const char* name;
    BOOL noDisc, audio, save, placeholder;
  };
  const Case cases[] = {
      {"no disc", TRUE, FALSE, TRUE, FALSE},
      {"data-only disc", FALSE, FALSE, TRUE, FALSE},
      {"saving off", FALSE, TRUE, FALSE, FALSE},
      {"placeholder record", FALSE, TRUE, TRUE, TRUE},
  };
  const std::string old = "an older cache file";
  ASSERT_TRUE(CreateDirectoryPath(cache.c_str()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(CacheFile(), old);
    EXPECT_EXIT(
        {
          LookedUpRecord();
          g_bNoDisc = c.noDisc;
          dlg.m_bAudioCD = c.audio;
          SaveAlbumInfo = c.save;
          g_bPlaceholderRecord = c.placeholder;
          dlg.OnExitApp();
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(ReadBytes(CacheFile()), old);
    EXPECT_TRUE(Exists(scratch + L"\\Corvane.ini")) << "the settings are written all the same";
  }
}

// A cache folder that cannot be made: the box, and a close request while it is open
// does not start a second exit; the first one still ends the process.
TEST_F(MainDlgExit, UnwritableCacheShowsTheBoxAndTheExitGoesOn) {
  const std::wstring notes = scratch + L"\\notes.txt";
  WriteBytes(scratch + L"\\blocker", "a file where the cache folder should be");
  EXPECT_EXIT(
      {
        LocalCDDBDir = (scratch + L"\\blocker\\cache").c_str();
        SaveAlbumInfo = TRUE;
        LookedUpRecord();
        std::thread driver([this, notes] {
          HWND box = WaitForOwnWindow(L"File Error");
          if (!box) return;
          wchar_t text[256] = L"";
          ::GetDlgItemTextW(box, 0xFFFF, text, 256);
          Note(notes, std::wstring(L"box:") + text + L"\n");
          ::SendMessageW(dlg.m_hWnd, WM_CLOSE, 0, 0);
          Note(notes, L"close returned\n");
          ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
        driver.detach();
        dlg.OnExitApp();
      },
      ::testing::ExitedWithCode(1), "");
  const std::string seen = ReadBytes(notes);
  std::wstring text(seen.begin(), seen.end());
  EXPECT_NE(text.find(L"box:Fail to Save Local CDDB File!"), std::wstring::npos) << seen;
  EXPECT_NE(text.find(L"close returned"), std::wstring::npos) << seen;
  EXPECT_TRUE(Exists(scratch + L"\\Corvane.ini"));
}

// While a refresh runs the exit (by command, close box or session end) does nothing yet;
// once it has ended, Exit works.
TEST_F(MainDlgExit, ExitIsRefusedWhileARefreshRunsAndWorksAfterIt) {
  EXPECT_EXIT(
      {
        g_bBusy = TRUE;
        dlg.OnExitApp();
        dlg.SendMessage(WM_CLOSE);
        const BOOL answer = static_cast<BOOL>(dlg.SendMessage(WM_QUERYENDSESSION, 0, 0));
        // Each refusal that went wrong gets a bit of the child's exit code.
        const int wrong = (!::IsWindow(dlg.m_hWnd) || !dlg.IsWindowVisible() ? 0x10 : 0) |
                          (!answer ? 0x20 : 0) | (Exists(scratch + L"\\Corvane.ini") ? 0x40 : 0) |
                          (g_bExiting ? 0x80 : 0);
        g_bBusy = FALSE;
        if (!wrong) dlg.OnExitApp();
        ::ExitProcess(wrong | 3);  // refused wrongly above, or the exit returned
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(Exists(scratch + L"\\Corvane.ini"));
}

// A server that accepts the lookup and never answers: the status bar says a lookup is
// under way, and Exit or the close box ends it and exits long before the reply's
// deadline (2 x 30 s here), with nothing cached.
TEST_F(MainDlgExit, ExitDuringALookupOfASilentServerEndsTheLookupAndExits) {
  struct Case {
    const char* name;
    void (*exit)(TestDlg& dlg);
  };
  const Case cases[] = {
      {"Exit", [](TestDlg& dlg) { dlg.SendMessage(WM_COMMAND, ID_EXIT); }},
      {"close box", [](TestDlg& dlg) { dlg.SendMessage(WM_CLOSE); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring notes = scratch + L"\\notes.txt";
    ::DeleteFileW(notes.c_str());
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EXIT(
        {
          WinsockSession sockets;
          CddbTestServer server;
          CddbTestServer::Reply silent;
          silent.end = CddbTestServer::End::kStall;
          silent.stallMs = 90000;
          server.Script({silent});
          g_nServerIndex = static_cast<short>(
              g_serverList.Add(new CFreeDBServer(L"127.0.0.1", server.Port(), 30000, 6)));
          AlbumInfoSource = 1;
          LoadAlbumInfo = TRUE;
          SaveAlbumInfo = TRUE;
          dlg.SendMessage(WM_COMMAND, ID_REFRESH_DISC);
          if (!PumpUntil([&server] { return !server.Requests().empty(); }, 10000))
            ::ExitProcess(5);  // no lookup
          PumpUntil([] { return false; }, 300);
          Note(notes, std::wstring(dlg.m_wndStatusBar.GetPaneText(0)) + L"\n");
          c.exit(dlg);
          Note(notes, L"exit returned\n");
          PumpUntil([] { return false; }, 15000);
          ::ExitProcess(6);  // the exit was dropped, or waited for the deadline
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_LT(::GetTickCount64() - start, 20000u);
    EXPECT_EQ(ReadBytes(notes), "  Looking up the album on 127.0.0.1...\nexit returned\n");
    EXPECT_TRUE(Exists(scratch + L"\\Corvane.ini"));
    EXPECT_FALSE(Exists(CacheFile())) << "the placeholder record was cached";
  }
}

// A cache file that holds the record already is not written again at the exit: with the
// file's scratch name taken by a folder every rewrite fails with the box, and only a
// changed record shows it. The child makes the file and the folder: everything before
// the exit runs in both processes.
TEST_F(MainDlgExit, ExitRewritesTheCacheFileOnlyWhenTheRecordChanged) {
  struct Case {
    const char* name;
    bool changed;
  };
  for (const Case& c : {Case{"unchanged", false}, Case{"edited", true}}) {
    SCOPED_TRACE(c.name);
    const std::wstring notes = scratch + L"\\notes.txt";
    ::DeleteFileW(notes.c_str());
    ::RemoveDirectoryW((CacheFile() + L".tmp").c_str());
    EXPECT_EXIT(
        {
          SaveAlbumInfo = TRUE;
          LookedUpRecord();
          if (!SaveLocalCDDB(g_cddbRecord, g_dwDiscId) ||
              !::CreateDirectoryW((CacheFile() + L".tmp").c_str(), nullptr))
            ::ExitProcess(5);
          if (c.changed) g_cddbRecord.m_title = L"Edited Album";
          std::thread driver([notes] {
            HWND box = WaitForOwnWindow(L"File Error");
            if (!box) return;
            Note(notes, L"box\n");
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
          });
          driver.detach();
          dlg.OnExitApp();
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(ReadBytes(notes), c.changed ? "box\n" : "");
    g_cddbRecord = CCDDBRecord();
    ASSERT_TRUE(LoadLocalCDDB());
    EXPECT_EQ(g_cddbRecord.m_title, L"Exit Album");
    ::RemoveDirectoryW((CacheFile() + L".tmp").c_str());
  }
}

// While a rip job runs, Exit and closing the window do nothing: the job writes its files
// whole, and once it has ended Exit works.
TEST_F(MainDlgExit, ExitIsRefusedWhileARipRunsAndWorksAfterIt) {
  const std::wstring notes = scratch + L"\\notes.txt";
  const std::wstring out = scratch + L"\\out";
  EXPECT_EXIT(
      {
        ::CreateDirectoryW(out.c_str(), nullptr);
        RipToWavFiles(out);
        for (int row = 0; row < 2; ++row) dlg.m_listTracks.SetCheck(row, TRUE);
        g_realApi = &CDLib();
        g_heldApi = *g_realApi;
        g_heldApi.ReadCDAudioLBA = HeldRead;
        SetCDGrabberApi(&g_heldApi);
        g_holdReads = true;
        g_ripWindow = &dlg;
        g_ripNotes = notes;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, ExitDuringRip);
        dlg.OnRip();
        ::KillTimer(nullptr, timer);
        Note(notes, L"rip ended\n");
        dlg.OnExitApp();
        ::ExitProcess(3);  // the exit returned
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(ReadBytes(notes), "refused while ripping\nrip ended\n");
  EXPECT_EQ(ReadBytes(out + L"\\01.wav").size(), 44 + 150 * 2352u);
  EXPECT_EQ(ReadBytes(out + L"\\02.wav").size(), 44 + 75 * 2352u);
  EXPECT_TRUE(Exists(scratch + L"\\Corvane.ini"));
}

// The Edit CD Info command over the disc: the dialog edits the disc's record, and an
// exit afterwards writes the edit to the cache file.
TEST_F(MainDlgExit, EditCDInfoEditsTheRecordThatTheExitWrites) {
  EXPECT_EXIT(
      {
        LookedUpRecord();
        g_bPlaceholderRecord = TRUE;
        SaveAlbumInfo = TRUE;
        std::thread driver([] {
          if (HWND edit = WaitForOwnWindow(L"Edit CD Info", 10000, nullptr)) {
            ::SetDlgItemTextW(edit, IDC_EDITCD_ALBUM, L"Edited Album");
            ::PostMessageW(edit, WM_COMMAND, MAKEWPARAM(IDC_EDITCD_OK, BN_CLICKED), 0);
          }
        });
        dlg.OnEditCDInfo();
        driver.join();
        // OK made the record a real one, so the exit writes it.
        dlg.OnExitApp();
      },
      ::testing::ExitedWithCode(1), "");
  g_cddbRecord = CCDDBRecord();
  LocalCDDBDir = cache.c_str();
  ASSERT_TRUE(LoadLocalCDDB());
  EXPECT_EQ(g_cddbRecord.m_title, L"Edited Album");
  EXPECT_EQ(g_cddbRecord.m_artist, L"Exit Artist");
}

// Save to Local reports to the event log and in a box: information when written, a
// warning when the file cannot be written.
TEST_F(MainDlgExit, EditCDSaveToLocalReportsToTheEventLog) {
  struct Case {
    const char* name;
    bool writable;
    const wchar_t* line;
    short kind;
    size_t boxes;
  };
  const Case cases[] = {
      {"not writable", false, L"Fail to save local CDDB file!", LOG_WARNING, 1},
      {"written", true, L"Local CDDB file saved.", LOG_INFO, 1},
  };
  WriteBytes(scratch + L"\\blocker", "a file where the cache folder should be");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LocalCDDBDir = c.writable ? cache.c_str() : (scratch + L"\\blocker\\cache").c_str();
    g_testApp.m_boxes.clear();
    std::thread driver([] {
      if (HWND edit = WaitForOwnWindow(L"Edit CD Info", 10000, nullptr)) {
        ::SetDlgItemTextW(edit, IDC_EDITCD_YEAR, L"2001");
        ::SendMessageW(edit, WM_COMMAND, MAKEWPARAM(IDC_EDITCD_SAVE, BN_CLICKED), 0);
        ::PostMessageW(edit, WM_COMMAND, IDCANCEL, 0);
      }
    });
    dlg.OnEditCDInfo();
    driver.join();
    EXPECT_EQ(LastLogLine(), std::make_pair(CString(c.line), c.kind));
    EXPECT_EQ(g_testApp.m_boxes.size(), c.boxes);
    EXPECT_EQ(Exists(CacheFile()), c.writable);
    EXPECT_EQ(g_cddbRecord.m_year, 2001);
  }
}

// Exit while a track plays: playback stops before the drive and the read block go.
TEST_F(MainDlgExit, ExitWhilePlayingStopsPlaybackFirst) {
  EXPECT_EXIT(
      {
        for (int row = 0; row < 2; ++row) dlg.m_listTracks.SetCheck(row, TRUE);
        dlg.OnPlay();
        if (!dlg.m_bPlaying) ::ExitProcess(4);  // nothing to stop: the test would show nothing
        dlg.OnExitApp();
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(Exists(scratch + L"\\Corvane.ini"));
}

}  // namespace
