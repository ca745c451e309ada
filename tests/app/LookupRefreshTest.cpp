// The album lookup through the real disc refresh: the main window on a virtual disc,
// with the loopback CDDB server as the selected server entry. Each test asks for a
// refresh as the Refresh command does and looks at what the window shows afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AlbumLookup.h"
#include "FreeDBServer.h"
#include "VeltraskDlg.h"
#include "discinfo/DiscInfoLog.h"
#include "engine/CDDrive.h"
#include "engine/EngineLog.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"
#include "framework/core/File.h"
#include "platform/tools/WineDrive.h"
#include "resource.h"
#include "tests/discinfo/CddbTestServer.h"

void PrintTo(const CString& s, std::ostream* os) { *os << '"' << CStringA(s).GetString() << '"'; }

namespace {

// Message boxes of the framework go nowhere; the window's own boxes are real windows.
class CLookupTestApp : public CWinApp {
 public:
  CLookupTestApp() : CWinApp(L"CorvaneLookupTests") {}
  int DoMessageBox(LPCTSTR, UINT, UINT) override { return IDOK; }
};
CLookupTestApp g_app;
struct Init {
  Init() { AfxWinInit(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL); }
} g_init;
WinsockSession g_winsock;

// The lookup's log lines on their way to the window.
std::mutex g_logLock;
std::vector<std::wstring> g_lines;
LogSink g_windowSink = nullptr;
void Capture(LPCTSTR text, int level) {
  {
    std::lock_guard<std::mutex> hold(g_logLock);
    g_lines.emplace_back(text);
  }
  if (g_windowSink) g_windowSink(text, level);
}
std::vector<std::wstring> Lines() {
  std::lock_guard<std::mutex> hold(g_logLock);
  return g_lines;
}
void ClearLines() {
  std::lock_guard<std::mutex> hold(g_logLock);
  g_lines.clear();
}
int CountLines(const std::wstring& prefix) {
  int n = 0;
  for (const std::wstring& line : Lines()) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
  return n;
}

void Pump() {
  MSG msg;
  for (int i = 0; i < 1000 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// Pumps until no refresh has run for a second (a failed refresh starts its retry
// within moments of ending). FALSE when that never happened within the bound.
bool WaitUntilIdle() {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  auto idleSince = Clock::now();
  while (Clock::now() < deadline) {
    Pump();
    if (g_bBusy.load()) idleSince = Clock::now();
    if (Clock::now() - idleSince > std::chrono::seconds(1)) return true;
    ::Sleep(10);
  }
  return false;
}

std::vector<BYTE> ReadBytes(const CString& path) {
  CFile file(path, CFile::modeRead);
  std::vector<BYTE> bytes(static_cast<size_t>(file.GetLength()));
  if (!bytes.empty()) file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  return bytes;
}

bool Exists(const CString& path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// The read reply of a record whose three titles start with album.
CddbTestServer::Reply RecordPage(const std::string& category, const std::string& id,
                                 const std::string& artist, const std::string& album) {
  std::string body = "210 " + category + " " + id + " CD database entry follows\r\n";
  body +=
      "# xmcd\r\n#\r\n# Track frame offsets:\r\n#\t150\r\n#\t900\r\n#\t1275\r\n#\r\n"
      "# Disc length: 21 seconds\r\n#\r\n# Revision: 1\r\n# Submitted via: tester 2.0\r\n#\r\n";
  body += "DISCID=" + id + "\r\nDTITLE=" + artist + " / " + album + "\r\nDYEAR=2004\r\n";
  body += "DGENRE=" + category + "\r\n";
  for (int i = 0; i < 3; ++i) {
    body += "TTITLE" + std::to_string(i) + "=" + album + " " + std::to_string(i + 1) + "\r\n";
  }
  body += "EXTD=\r\nEXTT0=\r\nEXTT1=\r\nEXTT2=\r\nPLAYORDER=\r\n.\r\n";
  return CddbTestServer::Page(body);
}

// Answers the windows of the several-matches hand-over as a user would: OK on the
// notice, then the second listing and OK in the chooser. Runs on a thread of its own,
// since the user-interface thread is inside their modal loops meanwhile.
struct UserStandIn {
  DWORD uiThread;
  HWND mainWindow;
  std::atomic<bool> stop{false};
  std::atomic<bool> chooserSeen{false};
};

BOOL CALLBACK ActAsUser(HWND window, LPARAM param) {
  UserStandIn& user = *reinterpret_cast<UserStandIn*>(param);
  if (window == user.mainWindow || !::IsWindowVisible(window)) return TRUE;
  wchar_t caption[128] = {};
  ::GetWindowTextW(window, caption, 128);
  if (std::wstring(caption) == L"Please select a CDDB listing") {
    if (user.chooserSeen.exchange(true)) return TRUE;
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(::GetDlgItem(window, 1031), LVM_SETITEMSTATE, 1,
                   reinterpret_cast<LPARAM>(&item));
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, IDOK)));
    return TRUE;
  }
  wchar_t className[32] = {};
  ::GetClassNameW(window, className, 32);
  if (std::wstring(className) == L"#32770" && !user.chooserSeen.load()) {
    ::PostMessageW(window, WM_COMMAND, IDOK, 0);  // the notice before the chooser
  }
  return TRUE;
}

class LookupRefresh : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_letter = cdgrab::DefineFreeWineCdDrive(L"VUTSJKLMNW", LOOKUP_TEST_DISC);
    if (!s_letter) return;
    s_server = new CddbTestServer;
    s_server->Script({CddbTestServer::Page("202 No match.\r\n")});
    // Ahead of the entry the start-up adds, so it is the selected one.
    g_serverList.Add(new CFreeDBServer(L"127.0.0.1", s_server->Port(), 3000, 6));

    g_bTipPending = FALSE;  // the start-up tip is not part of these tests
    s_dlg = new CVeltraskDlg;
    if (!s_dlg->Create(IDD_CORVANE_DIALOG)) return;
    s_dlg->ShowWindow(SW_SHOW);
    g_windowSink = SetLogSink(Capture);
    SetDiscInfoLogSink(Capture);
    if (!WaitUntilIdle()) return;

    // Our disc, refreshed once without a lookup, so its id is known.
    for (INT_PTR i = 0; i < g_driveLetters.GetSize(); ++i) {
      if (g_driveLetters[i] == CString(s_letter) + L":") s_driveIndex = static_cast<int>(i);
    }
    if (s_driveIndex < 0) return;
    LoadAlbumInfo = FALSE;
    s_dlg->SendMessage(WM_COMMAND, ID_DRIVE_FIRST + s_driveIndex);
    s_ready = WaitUntilIdle() && DriveNum == s_driveIndex && !g_bNoDisc;
  }

  static void TearDownTestSuite() {
    if (s_dlg) {
      WaitUntilIdle();
      SetLogSink(g_windowSink);
      if (s_dlg->m_hWnd) s_dlg->DestroyWindow();
      g_pMainDlg = nullptr;
    }
    // The worker is gone with the last refresh; the window object may go now.
    delete s_dlg;
    s_dlg = nullptr;
    delete s_server;
    s_server = nullptr;
    if (s_letter) cdgrab::RemoveWineDrive(s_letter);
  }

  void SetUp() override {
    ASSERT_TRUE(s_ready) << "the window, the disc or the first refresh did not come up";
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    LocalCDDBDir.Format(L"%scorvane-lookup-refresh-%lu", temp, ::GetCurrentProcessId());
    ::CreateDirectoryW(LocalCDDBDir, nullptr);
    ::DeleteFileW(CachePath());
    AlbumInfoSource = 0;
    LoadAlbumInfo = TRUE;
    SaveAlbumInfo = TRUE;
    ClearLines();
  }

  static CString CachePath() { return LocalCDDBPath(g_dwDiscId); }

  static void Refresh() {
    s_dlg->SendMessage(WM_COMMAND, ID_REFRESH_DISC);
    ASSERT_TRUE(WaitUntilIdle());
  }

  static std::vector<CString> ShownTitles() {
    std::vector<CString> titles;
    for (int row = 0; row < s_dlg->m_listTracks.GetItemCount(); ++row)
      titles.push_back(s_dlg->m_listTracks.GetItemText(row, 1));
    return titles;
  }

  static size_t Requests() { return s_server->Requests().size(); }

  static std::vector<CString> Placeholder() { return {L"Track01", L"Track02", L"Track03"}; }

  static wchar_t s_letter;
  static int s_driveIndex;
  static bool s_ready;
  static CddbTestServer* s_server;
  static CVeltraskDlg* s_dlg;
};
wchar_t LookupRefresh::s_letter = 0;
int LookupRefresh::s_driveIndex = -1;
bool LookupRefresh::s_ready = false;
CddbTestServer* LookupRefresh::s_server = nullptr;
CVeltraskDlg* LookupRefresh::s_dlg = nullptr;

TEST_F(LookupRefresh, CacheHitShowsTheCachedAlbumWithoutTheServer) {
  CCDDBRecord cached;
  cached.m_discId = g_dwDiscId;
  cached.m_artist = L"Cached Artist";
  cached.m_title = L"Cached Album";
  for (const wchar_t* title : {L"Cached One", L"Cached Two", L"Cached Three"})
    cached.m_trackTitles.Add(CString(title));
  ASSERT_TRUE(SaveLocalCDDB(cached, g_dwDiscId));
  const size_t before = Requests();

  Refresh();
  const std::vector<CString> expected = {L"Cached One", L"Cached Two", L"Cached Three"};
  EXPECT_EQ(expected, ShownTitles());
  EXPECT_EQ(before, Requests());
  EXPECT_FALSE(g_bPlaceholderRecord);
  EXPECT_EQ(CString(L"Cached Artist"), g_cddbRecord.m_artist);
}

TEST_F(LookupRefresh, MissOrDamagedCacheGoesToTheServerAndSaves) {
  // A damaged file counts as a miss, and the good record from the server replaces it.
  {
    CFile damaged(CachePath(), CFile::modeCreate | CFile::modeWrite);
    const BYTE bytes[] = {1, 0, 0, 0, 2, 0};
    damaged.Write(bytes, sizeof(bytes));
  }
  CString id;
  id.Format(L"%08x", g_dwDiscId);
  const std::string idText = CStringA(id).GetString();
  s_server->Script({CddbTestServer::Page("200 rock " + idText + " Some Artist / Some Album\r\n"),
                    RecordPage("rock", idText, "Some Artist", "Some Album")});
  const size_t before = Requests();

  Refresh();
  const std::vector<CString> expected = {L"Some Album 1", L"Some Album 2", L"Some Album 3"};
  EXPECT_EQ(expected, ShownTitles());
  ASSERT_EQ(before + 2, Requests());
  EXPECT_EQ(0u, s_server->Requests()[before].find("GET /~cddb/cddb.cgi?cmd=cddb+query+" + idText +
                                                  "+3+150+900+1275+"));
  EXPECT_EQ(1, CountLines(L"Local CDDB file " + std::wstring(CachePath()) + L" is damaged"));
  EXPECT_EQ(1, CountLines(L"Local CDDB file saved."));

  // What was saved is what the next refresh loads, byte for byte, without the server.
  const std::vector<BYTE> saved = ReadBytes(CachePath());
  Refresh();
  EXPECT_EQ(expected, ShownTitles());
  EXPECT_EQ(before + 2, Requests());
  ASSERT_TRUE(SaveLocalCDDB(g_cddbRecord, g_dwDiscId ^ 1));
  EXPECT_EQ(saved, ReadBytes(LocalCDDBPath(g_dwDiscId ^ 1)));
  ::DeleteFileW(LocalCDDBPath(g_dwDiscId ^ 1));
}

TEST_F(LookupRefresh, DamagedCacheWithLocalOnlyShowsThePlaceholder) {
  {
    CFile damaged(CachePath(), CFile::modeCreate | CFile::modeWrite);
    const BYTE bytes[] = {9, 0, 0};
    damaged.Write(bytes, sizeof(bytes));
  }
  g_cddbRecord.m_artist = L"left from before";
  AlbumInfoSource = 2;
  const size_t before = Requests();

  Refresh();
  EXPECT_EQ(Placeholder(), ShownTitles());
  EXPECT_TRUE(g_bPlaceholderRecord);
  CString artist;
  artist.Format(L"Unknown Artist %08x", g_dwDiscId);
  EXPECT_EQ(artist, g_cddbRecord.m_artist);
  EXPECT_EQ(before, Requests());
  EXPECT_EQ(1, CountLines(L"Local CDDB file " + std::wstring(CachePath()) + L" is damaged"));
}

TEST_F(LookupRefresh, ThreeMatchesAreReadAndOneIsChosen) {
  CString id;
  id.Format(L"%08x", g_dwDiscId);
  const std::string idText = CStringA(id).GetString();
  s_server->Script({CddbTestServer::Page("211 Found inexact matches, list follows\r\n"
                                         "rock " +
                                         idText +
                                         " First Artist / First Album\r\n"
                                         "misc " +
                                         idText +
                                         " Second Artist / Second Album\r\n"
                                         "jazz " +
                                         idText + " Third Artist / Third Album\r\n.\r\n"),
                    RecordPage("rock", idText, "First Artist", "First Album"),
                    RecordPage("misc", idText, "Second Artist", "Second Album"),
                    RecordPage("jazz", idText, "Third Artist", "Third Album")});
  const size_t before = Requests();

  // The user: confirms the notice and picks the second listing in the chooser.
  UserStandIn user{::GetCurrentThreadId(), s_dlg->m_hWnd};
  std::thread userThread([&user] {
    while (!user.stop.load()) {
      ::EnumThreadWindows(user.uiThread, ActAsUser, reinterpret_cast<LPARAM>(&user));
      ::Sleep(50);
    }
  });
  Refresh();
  user.stop = true;
  userThread.join();

  EXPECT_EQ(3, CountLines(L"Retrieving "));
  EXPECT_EQ(before + 4, Requests());
  EXPECT_TRUE(user.chooserSeen);
  EXPECT_EQ(CString(L"Second Album"), g_cddbRecord.m_title);
  EXPECT_EQ(CString(L"Second Album 1"), ShownTitles().at(0));
  EXPECT_EQ(1, CountLines(L"Local CDDB file saved."));
  CCDDBRecord saved = g_cddbRecord;
  g_cddbRecord = CCDDBRecord();
  ASSERT_TRUE(LoadLocalCDDB());
  EXPECT_EQ(saved.m_title, g_cddbRecord.m_title);
}

TEST_F(LookupRefresh, NoMatchOrNoServerEndsInThePlaceholderAfterTheRetry) {
  struct Case {
    const char* name;
    bool unreachable;
  };
  for (const Case c : {Case{"no match", false}, Case{"unreachable server", true}}) {
    CFreeDBServer* entry = static_cast<CFreeDBServer*>(g_serverList[0]);
    const int port = entry->m_nPort;
    if (c.unreachable) {
      // A port that was free a moment ago: nothing listens there.
      SOCKET probe = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address = {};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address));
      int length = sizeof(address);
      ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
      ::closesocket(probe);
      entry->m_nPort = ntohs(address.sin_port);
    } else {
      s_server->Script({CddbTestServer::Page("202 No match for this disc.\r\n")});
    }
    const size_t before = Requests();
    ClearLines();
    Refresh();
    entry->m_nPort = port;

    EXPECT_EQ(Placeholder(), ShownTitles()) << c.name;
    EXPECT_TRUE(g_bPlaceholderRecord) << c.name;
    CString artist;
    artist.Format(L"Unknown Artist %08x", g_dwDiscId);
    EXPECT_EQ(artist, g_cddbRecord.m_artist) << c.name;
    // One query at most: the retry does not look up.
    EXPECT_EQ(before + (c.unreachable ? 0 : 1), Requests()) << c.name;
    EXPECT_EQ(1, CountLines(L"Querying CD album information")) << c.name;
    EXPECT_EQ(1, CountLines(L"Warning: throwing CCDDBException for error")) << c.name;
    EXPECT_FALSE(Exists(CachePath())) << c.name;
  }

  // The refresh after the retry looks up again.
  CString id;
  id.Format(L"%08x", g_dwDiscId);
  const std::string idText = CStringA(id).GetString();
  s_server->Script({CddbTestServer::Page("200 rock " + idText + " Back / Again\r\n"),
                    RecordPage("rock", idText, "Back", "Again")});
  Refresh();
  EXPECT_EQ(CString(L"Again 1"), ShownTitles().at(0));
  EXPECT_FALSE(g_bPlaceholderRecord);
}

}  // namespace
