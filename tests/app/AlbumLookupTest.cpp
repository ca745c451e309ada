// The album lookup flow without a window: the cache file, the server (the loopback
// test server) and the placeholder, with the log lines a refresh shows.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "app/AlbumLookup.h"
#include "app/FreeDBServer.h"
#include "discinfo/DiscInfoLog.h"
#include "discinfo/WSocket.h"
#include "engine/CDDrive.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"
#include "framework/core/File.h"
#include "tests/discinfo/CddbTestServer.h"
#include "tests/discinfo/XmcdReply.h"
#include "tests/engine/LogCapture.h"

void PrintTo(const CString& s, std::ostream* os) { *os << '"' << CStringA(s).GetString() << '"'; }

namespace {

WinsockSession g_winsock;

constexpr DWORD kDiscId = 0x06019002;

// Tracks at 0:02:00 and 3:22:00, lead-out at 6:42:00.
void UseExampleDisc() {
  g_trackPositions.RemoveAll();
  CCDDBTrackPosition first(0, 2, 0), second(3, 22, 0), leadOut(6, 42, 0);
  g_trackPositions.Add(first);
  g_trackPositions.Add(second);
  g_trackPositions.Add(leadOut);
  g_dwDiscId = kDiscId;
}

// The read reply of one xmcd record with two tracks.
CddbTestServer::Reply RecordPage(const std::string& category, const std::string& id,
                                 const std::string& artist, const std::string& title) {
  return CddbTestServer::Page(XmcdReadReply({category,
                                             id,
                                             artist,
                                             title,
                                             "1999",
                                             category,
                                             {150, 15150},
                                             402,
                                             {"Revision: 3", "Submitted via: tester 2.0"},
                                             {title + " one", title + " two"}}));
}

const char kThreeMatches[] =
    "211 Found inexact matches, list follows (until terminating `.')\r\n"
    "rock 06019002 First Artist / First Album\r\n"
    "misc 06019003 Second Artist / Second Album\r\n"
    "jazz 06019004 Third Artist / Third Album\r\n"
    ".\r\n";

std::vector<BYTE> ReadBytes(const CString& path) {
  CFile file(path, CFile::modeRead);
  std::vector<BYTE> bytes(static_cast<size_t>(file.GetLength()));
  if (!bytes.empty()) file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  return bytes;
}

void WriteBytes(const CString& path, const std::vector<BYTE>& bytes) {
  CFile file(path, CFile::modeCreate | CFile::modeWrite);
  if (!bytes.empty()) file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
}

bool Exists(const CString& path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const CString& path) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(path + L"\\*", &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const CString name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const CString child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        DeleteFileW(child);
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(path);
}

void ForwardDiscInfoLog(LPCTSTR text, int level) { EngineLog(text, level); }

// The chooser stand-in: picks g_pickedMatch as the user would.
int g_handlerCalls = 0;
INT_PTR g_pickedMatch = 0;
INT_PTR g_recordsSeenByHandler = 0;
std::vector<std::wstring> g_categoriesSeenByHandler;
void PickMatch() {
  ++g_handlerCalls;
  g_recordsSeenByHandler = g_matchRecords.GetSize();
  g_categoriesSeenByHandler.clear();
  for (INT_PTR i = 0; i < g_queryResults.GetSize(); ++i)
    g_categoriesSeenByHandler.push_back(std::wstring(g_queryResults[i].m_category));
  g_cddbRecord = g_matchRecords[g_pickedMatch];
}

// What the window would show while each request waits.
std::vector<std::wstring> g_statusTexts;
void KeepStatus(const CString& text) { g_statusTexts.push_back(std::wstring(text)); }

class AlbumLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    root.Format(L"%scorvane-lookup-%lu", temp, GetCurrentProcessId());
    RemoveTree(root);
    CreateDirectoryW(root, nullptr);
    LocalCDDBDir = root + L"\\Local CDDB";
    CreateDirectoryW(LocalCDDBDir, nullptr);
    SaveAlbumInfo = TRUE;
    UseExampleDisc();

    SetDiscInfoLogSink(ForwardDiscInfoLog);
    RemoveAllFreeDBServers();
    g_serverList.Add(new CFreeDBServer(L"127.0.0.1", testServer.Port(), 3000, 6));
    g_strHelloUser = L"Unregistered User 7";
    ApplyCDDBServer();

    g_cddbRecord = CCDDBRecord();
    g_cddbRecord.m_artist = L"before";
    g_matchRecords.RemoveAll();
    ClearQueryResults();
    SetMultipleMatchHandler(nullptr);
    SetLookupStatusHandler(KeepStatus);
    g_statusTexts.clear();
    g_handlerCalls = 0;
    g_pickedMatch = 0;
  }
  void TearDown() override {
    SetDiscInfoLogSink(nullptr);
    SetMultipleMatchHandler(nullptr);
    SetLookupStatusHandler(nullptr);
    CWSocket::SetCancelled(false);
    RemoveAllFreeDBServers();
    RemoveTree(root);
  }

  CString CachePath() const { return LocalCDDBPath(kDiscId); }

  // 0, or the code of the CCDDBException that ended the lookup.
  DWORD Query() {
    try {
      QueryRemoteCDDB();
      return 0;
    } catch (CCDDBException* e) {
      const DWORD code = e->m_error;
      e->Delete();
      return code;
    }
  }

  static std::vector<std::wstring> Texts() {
    std::vector<std::wstring> texts;
    for (const auto& line : LogCapture::Lines()) texts.push_back(line.second);
    return texts;
  }
  static bool Logged(const std::wstring& text, int level) {
    for (const auto& line : LogCapture::Lines()) {
      if (line.second == text && line.first == level) return true;
    }
    return false;
  }

  CddbTestServer testServer;
  CString root;
};

const char kHello[] = "hello=Unregistered_User_7+127_0_0_1+ZevEDUV+1.28&proto=6";

// ---- server entry into the client ----

TEST_F(AlbumLookupTest, ServerEntryGoesIntoTheRequests) {
  EXPECT_EQ(CString(L"127.0.0.1"), g_cddbServer.m_host);
  EXPECT_EQ(testServer.Port(), g_cddbServer.m_port);
  EXPECT_EQ(CString(L"/~cddb/cddb.cgi"), g_cddbServer.m_cgiPath);
  EXPECT_EQ(3000u, g_cddb.m_timeoutMs);

  testServer.Script({CddbTestServer::Page("202 No match for disc ID 06019002.\r\n")});
  Query();
  // Proxy on (with and without credentials), then off again: the last request is direct.
  g_bUseProxy = TRUE;
  g_strProxyHost = L"127.0.0.1";
  g_nProxyPort = testServer.Port();
  g_strProxyUser = L"u";
  g_strProxyPassword = L"p";
  ApplyCDDBServer();
  Query();
  g_bProxyAuthentication = TRUE;
  ApplyCDDBServer();
  Query();
  g_bUseProxy = FALSE;
  g_bProxyAuthentication = FALSE;
  ApplyCDDBServer();
  Query();

  const std::string query = "/~cddb/cddb.cgi?cmd=cddb+query+06019002+2+150+15150+402&";
  const std::string direct = "GET " + query + kHello +
                             " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(testServer.Port()) +
                             "\r\n\r\n";
  const std::string proxied = "GET http://127.0.0.1" + query + kHello + " HTTP/1.0\r\n";
  const std::vector<std::string> expected = {
      direct,
      proxied + "Host: 127.0.0.1\r\n\r\n",
      proxied + "Proxy-Authorization: Basic dTpw\r\nHost: 127.0.0.1\r\n\r\n",
      direct,
  };
  EXPECT_EQ(expected, testServer.Requests());
}

TEST_F(AlbumLookupTest, SelectedIndexOutsideTheListFailsBeforeAnyRequest) {
  RemoveAllFreeDBServers();
  bool invalid = false;
  try {
    ApplyCDDBServer();
  } catch (CInvalidArgException* e) {
    invalid = true;
    e->Delete();
  }
  EXPECT_TRUE(invalid);
  EXPECT_TRUE(testServer.Requests().empty());
}

// ---- the cache ----

TEST_F(AlbumLookupTest, CacheMissesLeaveTheRecord) {
  LogCapture log;
  EXPECT_FALSE(LoadLocalCDDB());
  EXPECT_TRUE(Logged(L"Local CDDB file " + std::wstring(CachePath()) + L" not found", 1));

  const CString folder = LocalCDDBDir;
  LocalCDDBDir = root + L"\\missing";
  EXPECT_FALSE(LoadLocalCDDB());
  EXPECT_TRUE(Logged(L"Local CDDB directory " + std::wstring(LocalCDDBDir) + L" not found", 1));
  LocalCDDBDir = folder;
  EXPECT_EQ(CString(L"before"), g_cddbRecord.m_artist);
}

// A folder where the cache file should be: a miss that says why.
TEST_F(AlbumLookupTest, CacheFileNameTakenByAFolderIsAMissThatSaysSo) {
  ASSERT_TRUE(CreateDirectoryW(CachePath(), nullptr));
  LogCapture log;
  EXPECT_FALSE(LoadLocalCDDB());
  EXPECT_TRUE(
      Logged(L"Local CDDB file " + std::wstring(CachePath()) + L" is a folder, not a file", 1));
  EXPECT_EQ(CString(L"before"), g_cddbRecord.m_artist);
  EXPECT_FALSE(LocalCDDBHolds(g_cddbRecord, kDiscId));
  RemoveDirectoryW(CachePath());
}

// Whether the cache file holds a record: byte for byte what saving it would write.
TEST_F(AlbumLookupTest, CacheFileHoldsARecordOnlyAsSavedAndUnchanged) {
  CCDDBRecord record;
  record.m_artist = L"Held Artist";
  record.m_trackTitles.Add(CString(L"a"));
  EXPECT_FALSE(LocalCDDBHolds(record, kDiscId)) << "no file yet";
  ASSERT_TRUE(SaveLocalCDDB(record, kDiscId));
  EXPECT_TRUE(LocalCDDBHolds(record, kDiscId));
  CCDDBRecord changed = record;
  changed.m_trackTitles[0] = L"b";
  EXPECT_FALSE(LocalCDDBHolds(changed, kDiscId));
  changed = record;
  changed.m_year = 1;
  EXPECT_FALSE(LocalCDDBHolds(changed, kDiscId));
  std::vector<BYTE> longer = ReadBytes(CachePath());
  longer.push_back(0);
  WriteBytes(CachePath(), longer);
  EXPECT_FALSE(LocalCDDBHolds(record, kDiscId)) << "a file with more in it";
}

TEST_F(AlbumLookupTest, DamagedCacheFileIsAMissAndKeepsTheRecord) {
  CCDDBRecord good;
  good.m_artist = L"Cached Artist";
  good.m_title = L"Cached Album";
  good.m_trackTitles.Add(CString(L"a"));
  good.m_trackTitles.Add(CString(L"b"));
  ASSERT_TRUE(SaveLocalCDDB(good, kDiscId));
  const std::vector<BYTE> whole = ReadBytes(CachePath());

  struct Case {
    const char* name;
    size_t keep;  // bytes of the good file kept
  };
  // Cut inside the first field, inside the artist (fields before it already read
  // into a record) and one byte before the end (only the last array short).
  const Case cases[] = {
      {"empty", 0}, {"in the artist", 30}, {"last byte missing", whole.size() - 1}};
  for (const Case& c : cases) {
    WriteBytes(CachePath(), std::vector<BYTE>(whole.begin(), whole.begin() + c.keep));
    LogCapture log;
    g_cddbRecord = CCDDBRecord();
    g_cddbRecord.m_artist = L"before";
    g_cddbRecord.m_discLengthSeconds = 77;
    EXPECT_FALSE(LoadLocalCDDB()) << c.name;
    EXPECT_EQ(CString(L"before"), g_cddbRecord.m_artist) << c.name;
    EXPECT_EQ(77, g_cddbRecord.m_discLengthSeconds) << c.name;
    EXPECT_TRUE(Logged(L"Local CDDB file " + std::wstring(CachePath()) + L" is damaged", 1))
        << c.name;
  }

  WriteBytes(CachePath(), whole);
  EXPECT_TRUE(LoadLocalCDDB());
  EXPECT_EQ(CString(L"Cached Artist"), g_cddbRecord.m_artist);
  EXPECT_EQ(2, g_cddbRecord.m_trackTitles.GetSize());
}

// ---- the server ----

TEST_F(AlbumLookupTest, OneMatchIsReadSavedAndLoadsBackTheSame) {
  testServer.Script({CddbTestServer::Page("200 rock 06019002 Some Artist / Some Album\r\n"),
                     RecordPage("rock", "06019002", "Some Artist", "Some Album")});
  LogCapture log;
  ASSERT_EQ(0u, Query());
  const std::vector<std::wstring> expected = {
      L"Querying CD album information from FreeDB server...",
      L"ServerURL: 127.0.0.1/~cddb/cddb.cgi Port: " + std::to_wstring(testServer.Port()),
      L"Retrieved the following matches for the inserted audio CD.",
      L"06019002, Some Album  Some Artist rock",
      L"FreeDB information available.",
      L"Local CDDB file saved.",
  };
  EXPECT_EQ(expected, Texts());
  const std::vector<std::wstring> shown = {L"Looking up the album on 127.0.0.1...",
                                           L"Reading the album from 127.0.0.1..."};
  EXPECT_EQ(shown, g_statusTexts);
  EXPECT_EQ(CString(L"Some Artist"), g_cddbRecord.m_artist);
  EXPECT_EQ(CString(L"Some Album two"), g_cddbRecord.m_trackTitles[1]);
  ASSERT_EQ(2u, testServer.Requests().size());
  EXPECT_EQ(std::string("GET /~cddb/cddb.cgi?cmd=cddb+read+rock+06019002&") + kHello +
                " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(testServer.Port()) + "\r\n\r\n",
            testServer.Requests()[1]);

  // The saved file loads into the same record, which saves to the same bytes.
  const std::vector<BYTE> saved = ReadBytes(CachePath());
  const CCDDBRecord fetched = g_cddbRecord;
  g_cddbRecord = CCDDBRecord();
  ASSERT_TRUE(LoadLocalCDDB());
  EXPECT_EQ(fetched.m_title, g_cddbRecord.m_title);
  EXPECT_EQ(fetched.m_genre, g_cddbRecord.m_genre);
  EXPECT_EQ(fetched.m_year, g_cddbRecord.m_year);
  ASSERT_TRUE(SaveLocalCDDB(g_cddbRecord, 0x12345678));
  EXPECT_EQ(saved, ReadBytes(LocalCDDBPath(0x12345678)));
  EXPECT_FALSE(Exists(CachePath() + L".tmp"));
}

TEST_F(AlbumLookupTest, ThreeMatchesAreAllReadThenHandedOver) {
  testServer.Script({CddbTestServer::Page(kThreeMatches),
                     RecordPage("rock", "06019002", "First Artist", "First Album"),
                     RecordPage("misc", "06019003", "Second Artist", "Second Album"),
                     RecordPage("jazz", "06019004", "Third Artist", "Third Album")});
  SetMultipleMatchHandler(PickMatch);
  g_pickedMatch = 1;
  LogCapture log;
  ASSERT_EQ(0u, Query());

  std::vector<std::wstring> retrieving;
  for (const std::wstring& text : Texts()) {
    if (text.rfind(L"Retrieving", 0) == 0) retrieving.push_back(text);
  }
  const std::vector<std::wstring> expected = {
      L"Retrieving 06019002, First Album  First Artist rock ...",
      L"Retrieving 06019003, Second Album  Second Artist misc ...",
      L"Retrieving 06019004, Third Album  Third Artist jazz ...",
  };
  EXPECT_EQ(expected, retrieving);
  EXPECT_EQ(1, g_handlerCalls);
  EXPECT_EQ(3, g_recordsSeenByHandler);
  ASSERT_EQ(3, g_queryResults.GetSize());
  ASSERT_EQ(4u, testServer.Requests().size());
  EXPECT_NE(std::string::npos, testServer.Requests()[3].find("cddb+read+jazz+06019004&"));
  // Each record keeps the id it was asked for; the chosen one is saved.
  EXPECT_EQ(0x06019004u, g_matchRecords[2].m_discId);
  EXPECT_EQ(CString(L"Second Album"), g_cddbRecord.m_title);
  EXPECT_EQ(L"Local CDDB file saved.", Texts().back());
  g_cddbRecord = CCDDBRecord();
  ASSERT_TRUE(LoadLocalCDDB());
  EXPECT_EQ(CString(L"Second Artist"), g_cddbRecord.m_artist);

  // With no chooser installed the first match is the record.
  SetMultipleMatchHandler(nullptr);
  testServer.Script({CddbTestServer::Page(kThreeMatches),
                     RecordPage("rock", "06019002", "First Artist", "First Album")});
  ASSERT_EQ(0u, Query());
  EXPECT_EQ(CString(L"First Album"), g_cddbRecord.m_title);
}

TEST_F(AlbumLookupTest, FailedLookupsKeepTheRecordAndWriteNoFile) {
  struct Case {
    const char* name;
    std::vector<CddbTestServer::Reply> replies;
    bool unreachable;
    DWORD code;
  };
  const Case cases[] = {
      {"no match", {CddbTestServer::Page("202 No match for disc ID 06019002.\r\n")}, false, 516},
      {"record unusable",
       {CddbTestServer::Page("200 rock 06019002 A / B\r\n"),
        CddbTestServer::Page("210 rock 06019002\r\nDTITLE=x\r\n.\r\n")},
       false,
       517},
      {"no read of three succeeds",
       {CddbTestServer::Page(kThreeMatches),
        CddbTestServer::Page("401 rock 06019002 No such CD entry in database.\r\n")},
       false,
       517},
      {"unreachable server", {}, true, 0x80070000 | WSAECONNREFUSED},
  };
  SetMultipleMatchHandler(PickMatch);
  for (const Case& c : cases) {
    if (c.unreachable) {
      // A port that was free a moment ago: nothing listens there.
      SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address = {};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address));
      int length = sizeof(address);
      getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
      closesocket(probe);
      static_cast<CFreeDBServer*>(g_serverList[0])->m_nPort = ntohs(address.sin_port);
      ApplyCDDBServer();
    } else {
      testServer.Script(c.replies);
    }
    g_handlerCalls = 0;
    LogCapture log;
    EXPECT_EQ(c.code, Query()) << c.name;
    EXPECT_EQ(CString(L"before"), g_cddbRecord.m_artist) << c.name;
    EXPECT_EQ(0, g_queryResults.GetSize()) << c.name;
    EXPECT_EQ(0, g_handlerCalls) << c.name;
    EXPECT_FALSE(Exists(CachePath())) << c.name;
    EXPECT_EQ(0u, Texts().back().rfind(L"Warning: throwing CCDDBException for error", 0)) << c.name;
  }
}

// A match of several that cannot be read is left out, with its warning line; the others
// are still read, and each record stays beside its own match.
TEST_F(AlbumLookupTest, AnUnreadableMatchIsLeftOutAndTheOthersAreRead) {
  const CddbTestServer::Reply unreadable =
      CddbTestServer::Page("401 misc 06019003 No such CD entry in database.\r\n");
  const CddbTestServer::Reply first = RecordPage("rock", "06019002", "First Artist", "First Album");
  const CddbTestServer::Reply third = RecordPage("jazz", "06019004", "Third Artist", "Third Album");
  struct Case {
    const char* name;
    std::vector<CddbTestServer::Reply> reads;
    std::vector<std::wstring> readable;  // the categories left, in order
    int chooserCalls;
    const wchar_t* album;  // of the record afterwards (the chooser picks the last one)
  };
  const Case cases[] = {
      {"the second fails", {first, unreadable, third}, {L"rock", L"jazz"}, 1, L"Third Album"},
      {"the first fails", {unreadable, unreadable, third}, {L"jazz"}, 0, L"Third Album"},
      {"the last two fail", {first, unreadable, unreadable}, {L"rock"}, 0, L"First Album"},
  };
  SetMultipleMatchHandler(PickMatch);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW(CachePath());
    std::vector<CddbTestServer::Reply> replies = {CddbTestServer::Page(kThreeMatches)};
    replies.insert(replies.end(), c.reads.begin(), c.reads.end());
    testServer.Script(replies);
    const size_t before = testServer.Requests().size();
    g_handlerCalls = 0;
    g_pickedMatch = static_cast<INT_PTR>(c.readable.size()) - 1;
    g_statusTexts.clear();
    LogCapture log;
    ASSERT_EQ(0u, Query());

    EXPECT_EQ(before + 4, testServer.Requests().size()) << "every match is asked for";
    const int failures = 3 - static_cast<int>(c.readable.size());
    int warnings = 0;
    for (const std::wstring& text : Texts())
      warnings += text.rfind(L"Warning: throwing CCDDBException for error 517", 0) == 0;
    EXPECT_EQ(failures, warnings);
    EXPECT_EQ(c.chooserCalls, g_handlerCalls);
    if (c.chooserCalls) {
      EXPECT_EQ(c.readable, g_categoriesSeenByHandler);
      EXPECT_EQ(static_cast<INT_PTR>(c.readable.size()), g_recordsSeenByHandler);
    }
    ASSERT_EQ(static_cast<INT_PTR>(c.readable.size()), g_queryResults.GetSize());
    ASSERT_EQ(g_queryResults.GetSize(), g_matchRecords.GetSize());
    for (INT_PTR i = 0; i < g_queryResults.GetSize(); ++i) {
      EXPECT_EQ(c.readable[static_cast<size_t>(i)], std::wstring(g_queryResults[i].m_category));
      EXPECT_EQ(g_queryResults[i].m_discId, g_matchRecords[i].m_discId);
    }
    EXPECT_EQ(CString(c.album), g_cddbRecord.m_title);
    EXPECT_EQ(L"Local CDDB file saved.", Texts().back());
    const std::vector<std::wstring> shown = {
        L"Looking up the album on 127.0.0.1...", L"Reading match 1 of 3 from 127.0.0.1...",
        L"Reading match 2 of 3 from 127.0.0.1...", L"Reading match 3 of 3 from 127.0.0.1..."};
    EXPECT_EQ(shown, g_statusTexts);
  }
}

// A server that accepts and never answers: ending the lookups ends its wait at once, long
// before the reply's deadline, and no later request goes out.
TEST_F(AlbumLookupTest, EndingTheLookupsEndsAWaitForASilentServer) {
  g_cddb.m_timeoutMs = 30000;
  CddbTestServer::Reply silent;
  silent.end = CddbTestServer::End::kStall;
  silent.stallMs = 60000;
  testServer.Script({silent});
  std::thread ender([this] {
    for (int i = 0; i < 500 && testServer.Requests().empty(); ++i) Sleep(10);
    Sleep(200);  // the client is in its wait by now
    EndLookups();
  });
  const ULONGLONG start = GetTickCount64();
  LogCapture log;
  const DWORD code = Query();
  const ULONGLONG took = GetTickCount64() - start;
  ender.join();
  EXPECT_EQ(0x80070000u | WSAEINTR, code);
  EXPECT_LT(took, 5000u);
  EXPECT_TRUE(LookupsEnded());
  EXPECT_EQ(CString(L"before"), g_cddbRecord.m_artist);
  EXPECT_FALSE(Exists(CachePath()));

  // Later lookups fail before they connect.
  testServer.Script({CddbTestServer::Page("200 rock 06019002 Some Artist / Some Album\r\n")});
  EXPECT_EQ(0x80070000u | WSAEINTR, Query());
  EXPECT_EQ(1u, testServer.Requests().size());
}

// Only a year of digits is taken from a record; anything else is "no year" (0).
TEST_F(AlbumLookupTest, OnlyAYearOfDigitsIsTakenFromTheRecord) {
  struct Case {
    const char* dyear;
    int year;
  };
  const Case cases[] = {{"2001", 2001},   {"", 0},   {"unknown", 0},     {"19xx", 0},
                        {" 1987 ", 1987}, {"-5", 0}, {"99999999999", 0}, {"3000", 3000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dyear);
    XmcdRecord record = {"rock",        "06019002", "A",
                         "B",           c.dyear,    "rock",
                         {150, 15150},  402,        {"Submitted via: tester 2.0"},
                         {"one", "two"}};
    testServer.Script({CddbTestServer::Page("200 rock 06019002 A / B\r\n"),
                       CddbTestServer::Page(XmcdReadReply(record))});
    g_cddbRecord.m_year = 77;
    ASSERT_EQ(0u, Query());
    EXPECT_EQ(c.year, g_cddbRecord.m_year);
  }
}

TEST_F(AlbumLookupTest, SavingFollowsTheSettingAndRecreatesTheFolder) {
  testServer.Script({CddbTestServer::Page("200 rock 06019002 Some Artist / Some Album\r\n"),
                     RecordPage("rock", "06019002", "Some Artist", "Some Album")});
  SaveAlbumInfo = FALSE;
  {
    LogCapture log;
    ASSERT_EQ(0u, Query());
    EXPECT_EQ(L"FreeDB information available.", Texts().back());
  }
  EXPECT_FALSE(Exists(CachePath()));

  SaveAlbumInfo = TRUE;
  LocalCDDBDir = root + L"\\deleted\\meanwhile";
  // A query of its own: the record page is no match list.
  testServer.Script({CddbTestServer::Page("200 rock 06019002 Some Artist / Some Album\r\n"),
                     RecordPage("rock", "06019002", "Some Artist", "Some Album")});
  ASSERT_EQ(0u, Query());
  EXPECT_TRUE(Exists(CachePath()));
}

TEST_F(AlbumLookupTest, FailedSaveKeepsTheRecordAndAnyOlderFile) {
  struct Case {
    const char* name;
    void (*block)(const CString& folder, const CString& path);
    bool olderFileStays;
    bool namesTheFolder;
  };
  const Case cases[] = {
      // The folder's name is taken by a file: nothing can be created there.
      {"folder is a file",
       [](const CString& folder, const CString&) {
         RemoveTree(folder);
         WriteBytes(folder, {1, 2, 3});
       },
       false, false},
      // The cache file's name is a folder: the finished file cannot take its place.
      {"file name is a folder",
       [](const CString&, const CString& path) { CreateDirectoryW(path, nullptr); }, false, true},
      // The scratch file cannot be made: the older cache file is left alone.
      {"scratch name is a folder",
       [](const CString&, const CString& path) {
         ASSERT_TRUE(SaveLocalCDDB(CCDDBRecord(), kDiscId));
         CreateDirectoryW(path + L".tmp", nullptr);
       },
       true, false},
  };
  for (const Case& c : cases) {
    RemoveTree(LocalCDDBDir);
    DeleteFileW(LocalCDDBDir);
    CreateDirectoryW(LocalCDDBDir, nullptr);
    c.block(LocalCDDBDir, CachePath());
    const std::vector<BYTE> before =
        c.olderFileStays ? ReadBytes(CachePath()) : std::vector<BYTE>();
    testServer.Script({CddbTestServer::Page("200 rock 06019002 Some Artist / Some Album\r\n"),
                       RecordPage("rock", "06019002", "Some Artist", "Some Album")});
    LogCapture log;
    EXPECT_EQ(0u, Query()) << c.name;
    EXPECT_EQ(L"Fail to save local CDDB file!", Texts().back()) << c.name;
    EXPECT_EQ(
        c.namesTheFolder,
        Logged(L"Local CDDB file " + std::wstring(CachePath()) + L" is a folder, not a file", 1))
        << c.name;
    EXPECT_EQ(1, LogCapture::Lines().back().first) << c.name;
    EXPECT_EQ(CString(L"Some Artist"), g_cddbRecord.m_artist) << c.name;
    if (c.olderFileStays) {
      EXPECT_EQ(before, ReadBytes(CachePath())) << c.name;
    }
  }
  DeleteFileW(LocalCDDBDir);
}

// ---- the placeholder ----

TEST_F(AlbumLookupTest, PlaceholderFromThePositions) {
  g_trackPositions.RemoveAll();
  const CCDDBTrackPosition positions[] = {{1, 2, 10}, {5, 0, 0}, {9, 30, 74}, {40, 10, 3}};
  for (CCDDBTrackPosition p : positions) g_trackPositions.Add(p);
  g_cddbRecord.m_playOrder.Add(3);
  g_bPlaceholderRecord = FALSE;

  SetDefaultRecord(FALSE, TRUE);
  EXPECT_TRUE(g_bPlaceholderRecord);
  const DWORD id = CCDDB::CalcDiscId(g_trackPositions);
  CString suffix;
  suffix.Format(L" %08x", id);
  EXPECT_EQ(id, g_cddbRecord.m_discId);
  EXPECT_EQ(2410 - 62, g_cddbRecord.m_discLengthSeconds);
  EXPECT_EQ(CString(L"Unknown Artist") + suffix, g_cddbRecord.m_artist);
  EXPECT_EQ(CString(L"Unknown Album") + suffix, g_cddbRecord.m_title);
  EXPECT_EQ(CString(L"Unknown Genre") + suffix, g_cddbRecord.m_genre);
  EXPECT_EQ(2000, g_cddbRecord.m_year);
  EXPECT_EQ(0, g_cddbRecord.m_revision);
  EXPECT_EQ(CString(L"ZevEDUV"), g_cddbRecord.m_submittedViaClient);
  EXPECT_EQ(CString(L"1.28"), g_cddbRecord.m_submittedViaVersion);
  ASSERT_EQ(3, g_cddbRecord.m_trackTitles.GetSize());
  EXPECT_EQ(CString(L"Track01"), g_cddbRecord.m_trackTitles[0]);
  EXPECT_EQ(CString(L"Track03"), g_cddbRecord.m_trackTitles[2]);
  ASSERT_EQ(3, g_cddbRecord.m_trackFrameOffsets.GetSize());
  EXPECT_EQ(4500 + 150 + 10, g_cddbRecord.m_trackFrameOffsets[0]);
  EXPECT_EQ(9 * 4500 + 30 * 75 + 74, g_cddbRecord.m_trackFrameOffsets[2]);
  EXPECT_EQ(3, g_cddbRecord.m_trackExtData.GetSize());
  EXPECT_EQ(0, g_cddbRecord.m_playOrder.GetSize());

  // No disc, or no audio track: only the per-track data goes.
  for (const BOOL noDisc : {TRUE, FALSE}) {
    g_cddbRecord = CCDDBRecord();
    g_cddbRecord.m_artist = L"kept";
    g_cddbRecord.m_trackTitles.Add(CString(L"gone"));
    g_bPlaceholderRecord = FALSE;
    SetDefaultRecord(noDisc, FALSE);
    EXPECT_TRUE(g_bPlaceholderRecord);
    EXPECT_EQ(CString(L"kept"), g_cddbRecord.m_artist);
    EXPECT_EQ(0, g_cddbRecord.m_trackTitles.GetSize());
  }
}

}  // namespace
