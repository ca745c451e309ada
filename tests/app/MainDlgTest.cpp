// The main window in-process: a real dialog over a scripted drive (fake CD library, one
// fake CD-ROM letter), driven through its commands and refreshes.
#include <gtest/gtest.h>

#include "VeltraskDlg.h"

#include <dbt.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AlbumLookup.h"
#include "EventLog.h"
#include "FreeDBServer.h"
#include "VeltraskApp.h"
#include "VeltraskDlg.h"
#include "engine/OutputNaming.h"
#include "engine/SectorBlock.h"
#include "engine/Settings.h"
#include "resource.h"
#include "uikit/HookWnd.h"
#include "tests/app/MainDlgTestSupport.h"
#include "tests/discinfo/CddbTestServer.h"
#include "tests/engine/FakeCDLibrary.h"
#include "tests/window/BoxDriver.h"
#include "tests/window/TestApp.h"

namespace {

constexpr wchar_t kLetter = OneLetter::kLetter;

// Rows as text, one column at a time.
std::vector<std::wstring> Column(const CListCtrl& list, int column) {
  std::vector<std::wstring> texts;
  for (int row = 0; row < list.GetItemCount(); ++row)
    texts.push_back(list.GetItemText(row, column).GetString());
  return texts;
}

// Answers every message box captioned with the application's name on a thread of its own
// (the test's thread runs the box's loop) and keeps their texts.
class BoxAnswerer {
 public:
  BoxAnswerer()
      : m_thread([this] {
          while (!m_stop) {
            if (HWND box = FindOwnWindow(AfxGetApp()->m_pszAppName)) {
              wchar_t text[256] = L"";
              ::GetDlgItemTextW(box, 0xFFFF, text, 256);
              {
                std::lock_guard<std::mutex> lock(m_lock);
                m_texts.push_back(text);
              }
              ::SendMessageW(box, WM_COMMAND, IDOK, 0);
            }
            ::Sleep(10);
          }
        }) {}
  ~BoxAnswerer() {
    m_stop = true;
    m_thread.join();
  }
  std::vector<std::wstring> Texts() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_texts;
  }

 private:
  std::atomic<bool> m_stop{false};
  std::mutex m_lock;
  std::vector<std::wstring> m_texts;
  std::thread m_thread;
};

// The dialog the tests drive; its helpers reach the protected handlers.
class TestDlg : public CVeltraskDlg {
 public:
  using CVeltraskDlg::m_wndStatusBar;
  using CVeltraskDlg::m_wndToolBar;
  using CVeltraskDlg::OnCheckAll;
  using CVeltraskDlg::OnDeviceChange;
  using CVeltraskDlg::OnDriveMenu;
  using CVeltraskDlg::OnFormatMp3;
  using CVeltraskDlg::OnFormatOgg;
  using CVeltraskDlg::OnFormatWav;
  using CVeltraskDlg::OnPlayerTime;
  using CVeltraskDlg::OnReverseCheck;
  using CVeltraskDlg::OnUncheckAll;
};

class MainDlgTest : public ScriptedDriveTest {
 protected:
  void SetUp() override {
    g_testApp.m_boxes.clear();
    ScriptTheDrive(3);
    cache = TempFolder(L"mainwin", L"cache");
    logStart = LogSize();
    g_bTipPending = FALSE;  // the start-up tip is not part of these tests
    ASSERT_TRUE(dlg.Create(IDD_CORVANE_DIALOG));
    dlg.ShowWindow(SW_SHOW);
    UseTestSettings();
    ASSERT_TRUE(WaitForRefresh());
  }

  // Start-up loads the settings file; these hold for the tests (the first refresh comes
  // after start-up, so setting them right after Create is in time).
  void UseTestSettings() {
    AlbumInfoSource = 2;
    LoadAlbumInfo = TRUE;
    SaveAlbumInfo = FALSE;
    LocalCDDBDir = cache;
    DesDir = L"C:\\Out\\";
    FileStyle = 11;
    OutputFormat = 2;
  }

  void TearDown() override {
    WaitForRefresh();
    dlg.DestroyWindow();
    ForgetTheDrive();
    g_bLookupFromSettings = TRUE;
    RemoveFolder(cache);
  }

  // Audio 1-10, then data track 11 after the gap between the sessions.
  void SetEnhancedDisc() {
    std::vector<DWORD> starts;
    for (int i = 0; i < 10; ++i) starts.push_back(150 * i);
    starts.push_back(1500 + 11400);
    lib.tocResult = 1;
    lib.SetToc(1, starts, 1500 + 11400 + 300, {11});
  }

  // As the Refresh Disc command does it: on the disc worker.
  void Refresh() {
    dlg.SendMessage(WM_COMMAND, ID_REFRESH_DISC);
    ASSERT_TRUE(WaitForRefresh());
  }

  CListCtrl& List() { return dlg.m_listTracks; }
  CString Pane(int pane) { return dlg.m_wndStatusBar.GetPaneText(pane); }

  CString cache;
  INT_PTR logStart = 0;
  TestDlg dlg;
};

// ---- start-up ------------------------------------------------------------------------

TEST_F(MainDlgTest, StartUpListsTheDriveAndRefreshesItAfterwards) {
  ASSERT_EQ(dlg.m_comboDrive.GetCount(), 1);
  CString text;
  dlg.m_comboDrive.GetLBText(0, text);
  EXPECT_EQ(text, L"R:  CORVANE TEST DRIVE 1.0  ");
  EXPECT_EQ(DriveNum, 0);
  EXPECT_EQ(DriveCount, 1);
  CMenu* drives = dlg.GetMenu()->GetSubMenu(0)->GetSubMenu(0);
  ASSERT_EQ(drives->GetMenuItemCount(), 1);  // "No Drive" is gone
  EXPECT_EQ(drives->GetMenuItemID(0), static_cast<UINT>(ID_DRIVE_FIRST));
  EXPECT_TRUE(drives->GetMenuState(ID_DRIVE_FIRST, MF_BYCOMMAND) & MF_CHECKED);
  // The File menu lost its Format item: the toolbar reaches it.
  EXPECT_EQ(dlg.GetMenu()->GetSubMenu(0)->GetMenuState(ID_FORMAT, MF_BYCOMMAND),
            static_cast<UINT>(-1));
  EXPECT_EQ(List().GetItemCount(), 3);
  EXPECT_TRUE(::GetPropW(dlg.m_hWnd, AfxGetApp()->m_pszAppName));
  EXPECT_TRUE(g_pSectorBlock);
  EXPECT_TRUE(dlg.m_pRipRingA && dlg.m_pRipRingB);

  const std::vector<LogLine> lines = LogFrom(logStart);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], LogLine(LOG_INFO, L"Launching Corvane..."));
  {
    std::lock_guard<std::mutex> lock(g_logItemsLock);
    EXPECT_EQ(g_logItems[logStart]->m_nNumber, 0);
  }
  EXPECT_EQ(lines[1], LogLine(LOG_INFO, L"Initializing main dialog..."));
  // The drive is made current before the format is shown; the first refresh starts after
  // start-up has finished.
  const auto at = [&lines](const wchar_t* start) {
    return std::find_if(lines.begin(), lines.end(),
                        [start](const LogLine& line) {
                          return line.first == LOG_INFO && line.second.rfind(start, 0) == 0;
                        }) -
           lines.begin();
  };
  const wchar_t* const order[] = {
      L"Find drive \"R:  CORVANE TEST DRIVE 1.0  \"",
      L"Set drive R:  CORVANE TEST DRIVE 1.0   as current.",
      L"Set audio format: ",
      L"Initialization finished.",
      L"Refreshing CD...",
  };
  for (size_t i = 0; i + 1 < std::size(order); ++i)
    EXPECT_LT(at(order[i]), at(order[i + 1])) << CStringA(order[i]).GetString();
  EXPECT_LT(at(L"Refreshing CD..."), static_cast<ptrdiff_t>(lines.size()));
  EXPECT_EQ(CountLines(lines, {LOG_INFO, L"Set drive R:  CORVANE TEST DRIVE 1.0   as current."}),
            1);
}

TEST_F(MainDlgTest, FirstRefreshWaitsForTheEndOfStartUp) {
  dlg.DestroyWindow();
  lib.tocReads = 0;
  TestDlg second;
  ASSERT_TRUE(second.Create(IDD_CORVANE_DIALOG));
  UseTestSettings();
  // Start-up is over and nothing has read the disc yet: the refresh is a posted message.
  EXPECT_EQ(lib.tocReads, 0);
  EXPECT_EQ(second.m_listTracks.GetItemCount(), 0);
  ASSERT_TRUE(WaitForRefresh());
  EXPECT_EQ(lib.tocReads, 1);
  EXPECT_EQ(second.m_listTracks.GetItemCount(), 3);
  const HWND window = second.m_hWnd;
  second.DestroyWindow();
  EXPECT_FALSE(::GetPropW(window, AfxGetApp()->m_pszAppName));
}

// The file is created Unicode (its byte order mark alone), so a folder in any script comes
// back; the warnings of the next start's load reach the event log.
TEST_F(MainDlgTest, MissingSettingsFileIsCreatedUnicodeAndLoadedNextTime) {
  dlg.DestroyWindow();
  const CString ini = g_strSettingsFolder + L"\\Corvane.ini";
  ::DeleteFileW(ini);
  OutputFormat = 2;
  {
    TestDlg first;
    ASSERT_TRUE(first.Create(IDD_CORVANE_DIALOG));
    UseTestSettings();
    WaitForRefresh();
    first.DestroyWindow();
  }
  std::string bytes;
  if (FILE* f = _wfopen(ini, L"rb")) {
    char buffer[16];
    bytes.assign(buffer, fread(buffer, 1, sizeof(buffer), f));
    fclose(f);
  }
  EXPECT_EQ(bytes, std::string("\xFF\xFE"));

  const CString music = L"C:\\\u041c\u0443\u0437\u044b\u043a\u0430\\";
  ASSERT_TRUE(::WritePrivateProfileStringW(L"OUTPUT", L"OutputFormat", L"3", ini));
  ASSERT_TRUE(::WritePrivateProfileStringW(L"OUTPUT", L"FileStyle", L"99", ini));
  ASSERT_TRUE(::WritePrivateProfileStringW(L"OUTPUT", L"DesDir", music, ini));
  {
    OutputFormat = 2;
    const INT_PTR from = LogSize();
    TestDlg next;
    ASSERT_TRUE(next.Create(IDD_CORVANE_DIALOG));
    EXPECT_EQ(OutputFormat, 3);
    EXPECT_EQ(FileStyle, 11);
    EXPECT_EQ(DesDir, music);
    const std::vector<LogLine> lines = LogFrom(from);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], LogLine(LOG_INFO, L"Initializing main dialog..."));
    EXPECT_EQ(lines[2].first, LOG_WARNING);
    EXPECT_NE(lines[2].second.find(L"FileStyle=99"), std::wstring::npos);
    UseTestSettings();
    WaitForRefresh();
    next.DestroyWindow();
  }
  ::DeleteFileW(ini);
}

// ---- track list ----------------------------------------------------------------------

TEST_F(MainDlgTest, EnhancedDiscShowsTheAudioTracksAndTheDataTrackApart) {
  SetEnhancedDisc();
  Refresh();
  ASSERT_EQ(List().GetItemCount(), 11);
  const auto numbers = Column(List(), 0);
  EXPECT_EQ(numbers.front(), L"  01");
  EXPECT_EQ(numbers.back(), L"  11");
  const auto types = Column(List(), 2);
  const auto durations = Column(List(), 4);
  const auto destinations = Column(List(), 6);
  for (int row = 0; row < 10; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(types[row], L"Audio Track");
    EXPECT_TRUE(List().GetCheck(row));
    EXPECT_EQ(List().GetItemData(row), 150u);
    // The last audio track loses the gap between the sessions.
    EXPECT_EQ(durations[row], L"00:02.000");
  }
  EXPECT_EQ(Column(List(), 3)[1], L"00:04.000");  // start + 150
  EXPECT_EQ(types[10], L"Data Track");
  EXPECT_FALSE(List().GetCheck(10));
  EXPECT_EQ(static_cast<LONG>(List().GetItemData(10)), static_cast<LONG>(300 | kDataTrackBit));
  EXPECT_EQ(durations[10], L"00:04.000");
  EXPECT_EQ(destinations[10], L"Not an audio track");
  EXPECT_EQ(Pane(1).Left(22), L" Recognized Audio CD: ");
  EXPECT_EQ(dlg.m_nCurrentTrack, 0);
  EXPECT_TRUE(List().GetItemState(0, LVIS_SELECTED));
}

TEST_F(MainDlgTest, LastAudioTrackBeforeTheLeadOutKeepsItsLength) {
  lib.SetToc(1, {0, 150}, 150 + 12000);
  Refresh();
  ASSERT_EQ(List().GetItemCount(), 2);
  EXPECT_EQ(Column(List(), 4)[1], L"02:40.000");
  EXPECT_EQ(List().GetItemData(1), 12000u);
}

TEST_F(MainDlgTest, DiscStatesInTheListAndTheDiscPane) {
  struct Case {
    const char* name;
    bool opens;  // the drive gives a handle
    int tocResult;
    std::vector<int> dataTracks;
    int rows;
    const wchar_t* pane;
  };
  // The first case follows the audio disc the window opened on: a drive that went away
  // must not leave that disc's id in the pane.
  const Case cases[] = {
      {"no handle", false, 1, {}, 0, L" Cannot open the drive"},
      {"no disc", true, 0, {}, 0, L" No Disc"},
      {"data only", true, 1, {1}, 1, L"  Not an Audio CD"},
  };
  ASSERT_EQ(Pane(1).Left(22), L" Recognized Audio CD: ");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lib.nextHandle = c.opens ? 7 : 0;
    lib.tocResult = c.tocResult;
    lib.SetToc(1, {0}, 300, c.dataTracks);
    lib.tocResult = c.tocResult;
    const INT_PTR from = LogSize();
    Refresh();
    const std::vector<LogLine> lines = LogFrom(from);
    EXPECT_EQ(CountLines(lines, {LOG_INFO, L"Refreshing CD..."}), 1);
    EXPECT_EQ(CountLines(lines, {LOG_WARNING, L"Error on get drive handle!"}), c.opens ? 0 : 1);
    // No disc: the list stays empty without being refilled.
    EXPECT_EQ(CountLines(lines, {LOG_INFO, L"Refreshing track list view..."}), c.rows);
    EXPECT_EQ(List().GetItemCount(), c.rows);
    EXPECT_EQ(Pane(1), c.pane);
    EXPECT_FALSE(g_bBusy);
    EXPECT_TRUE(dlg.m_comboDrive.IsWindowEnabled());
    if (c.rows == 1) {
      EXPECT_FALSE(dlg.m_bAudioCD);
      EXPECT_EQ(Column(List(), 2)[0], L"Data Track");
      EXPECT_EQ(Column(List(), 6)[0], L"Not an audio track");
      EXPECT_FALSE(List().GetCheck(0));
    }
  }
}

// The rows past the record's titles are titled by number, but have no destination: the
// naming cannot name them, and ripping one would stop the job.
TEST_F(MainDlgTest, RecordWithFewerTitlesThanTracksNamesTheRestByNumber) {
  CCDDBRecord record;
  record.m_artist = L"Some Artist  ";
  record.m_title = L"Some Album";
  record.m_trackTitles.Add(L"One");
  record.m_trackTitles.Add(L"Two");
  ASSERT_TRUE(SaveLocalCDDB(record, g_dwDiscId));
  Refresh();
  EXPECT_EQ(Column(List(), 1), (std::vector<std::wstring>{L"One", L"Two", L"Track03"}));
  EXPECT_EQ(Column(List(), 6),
            (std::vector<std::wstring>{L"C:\\Out\\Some Artist\\Some Album\\01-One.mp3",
                                       L"C:\\Out\\Some Artist\\Some Album\\02-Two.mp3",
                                       L"C:\\Out\\Some Artist\\Some Album\\03-Track03.mp3"}));
  EXPECT_FALSE(g_bPlaceholderRecord);
}

TEST_F(MainDlgTest, DestinationsFollowTheStyleAndTheFormat) {
  CCDDBRecord record;
  record.m_artist = L"Band";
  record.m_title = L"Album";
  record.m_year = 1999;
  for (const wchar_t* title : {L"First", L"Second", L"Third"}) record.m_trackTitles.Add(title);
  ASSERT_TRUE(SaveLocalCDDB(record, g_dwDiscId));
  Refresh();
  const struct {
    short style, format;
    const wchar_t* first;
    const wchar_t* third;
  } cases[] = {
      {0, 2, L"C:\\Out\\01.mp3", L"C:\\Out\\03.mp3"},
      {3, 1, L"C:\\Out\\01-First.wav", L"C:\\Out\\03-Third.wav"},
      {7, 3, L"C:\\Out\\Band\\01-First.ogg", L"C:\\Out\\Band\\03-Third.ogg"},
      {12, 2, L"C:\\Out\\Band-Album-1999\\01-First.mp3", L"C:\\Out\\Band-Album-1999\\03-Third.mp3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.style);
    FileStyle = c.style;
    OutputFormat = c.format;
    dlg.FormatSummary();
    const auto destinations = Column(List(), 6);
    EXPECT_EQ(destinations[0], c.first);
    EXPECT_EQ(destinations[2], c.third);
  }
}

TEST_F(MainDlgTest, CacheMissGivesThePlaceholder) {
  const INT_PTR from = LogSize();
  Refresh();
  EXPECT_EQ(CountLines(LogFrom(from), {LOG_WARNING, L"Fail to load local CDDB"}), 1);
  EXPECT_EQ(Column(List(), 1), (std::vector<std::wstring>{L"Track01", L"Track02", L"Track03"}));
  EXPECT_TRUE(g_bPlaceholderRecord);
  CString artist;
  artist.Format(L"Unknown Artist %08x", g_dwDiscId);
  EXPECT_EQ(g_cddbRecord.m_artist, artist);
}

// ---- check commands and the data-track box -------------------------------------------

TEST_F(MainDlgTest, CheckCommandsLeaveDataTracksClear) {
  SetEnhancedDisc();
  Refresh();
  auto checks = [this] {
    std::wstring marks;
    for (int row = 0; row < List().GetItemCount(); ++row)
      marks += List().GetCheck(row) ? L'x' : L'.';
    return marks;
  };
  dlg.OnUncheckAll();
  EXPECT_EQ(checks(), L"...........");
  List().SetCheck(2, TRUE);
  dlg.OnReverseCheck();
  EXPECT_EQ(checks(), L"xx.xxxxxxx.");
  dlg.OnCheckAll();
  EXPECT_EQ(checks(), L"xxxxxxxxxx.");
  // The keyboard's and any other way to check a data row is refused.
  List().SetCheck(10, TRUE);
  EXPECT_FALSE(List().GetCheck(10));

  // Without a disc the commands do nothing, whatever rows the list still shows.
  g_bNoDisc = TRUE;
  dlg.OnUncheckAll();
  EXPECT_EQ(checks(), L"xxxxxxxxxx.");
  dlg.OnReverseCheck();
  EXPECT_EQ(checks(), L"xxxxxxxxxx.");
  List().SetCheck(0, FALSE);
  List().SetCheck(5, FALSE);
  dlg.OnCheckAll();
  EXPECT_EQ(checks(), L".xxxx.xxxx.");
  g_bNoDisc = FALSE;
}

// Only a click on a data row's check box warns; a click on the row's number, title or type
// (where a full-row selection's hit names every part of the item) goes without a word.
TEST_F(MainDlgTest, ClickOnADataTrackBoxWarnsAndLeavesItClear) {
  SetEnhancedDisc();
  Refresh();
  dlg.SetForegroundWindow();
  constexpr int kDataRow = 10;
  // Find the state icon of the data row by hit-testing along the row.
  RECT row{};
  row.left = LVIR_BOUNDS;
  ASSERT_TRUE(List().SendMessage(LVM_GETITEMRECT, kDataRow, reinterpret_cast<LPARAM>(&row)));
  const int middle = (row.top + row.bottom) / 2;
  POINT box{-1, -1};
  for (int x = row.left; x < row.left + 40 && box.x < 0; ++x) {
    LVHITTESTINFO hit{};
    hit.pt = {x, middle};
    if (List().HitTest(&hit) == kDataRow && (hit.flags & LVHT_ONITEM) == LVHT_ONITEMSTATEICON)
      box = hit.pt;
  }
  ASSERT_GE(box.x, 0);
  // The centre of a cell's label (subitem 0 is the number).
  const auto cell = [&](int subItem) {
    RECT label{};
    label.top = subItem;
    label.left = LVIR_LABEL;
    List().SendMessage(subItem ? LVM_GETSUBITEMRECT : LVM_GETITEMRECT, kDataRow,
                       reinterpret_cast<LPARAM>(&label));
    return POINT{(label.left + label.right) / 2, middle};
  };
  struct Case {
    const char* where;
    POINT at;
    bool warns;
  };
  const Case cases[] = {
      {"number", cell(0), false},
      {"title", cell(1), false},
      {"type", cell(2), false},
      {"check box", box, true},
  };
  // A real click goes to whatever window is on top there: other test programs share the
  // display, and the foreground alone does not keep their windows below this one.
  ::SetWindowPos(dlg, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    g_testApp.m_boxes.clear();
    const INT_PTR logAt = LogSize();
    POINT at = c.at;
    List().ClientToScreen(&at);
    ASSERT_EQ(::WindowFromPoint(at), List().m_hWnd);
    ::SetCursorPos(at.x, at.y);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, clicks, sizeof(INPUT));
    // Long enough for the click to arrive, and no double click with the next one.
    PumpUntil([] { return !g_testApp.m_boxes.empty(); },
              static_cast<int>(::GetDoubleClickTime()) + 1000);
    PumpPending();
    ASSERT_EQ(g_testApp.m_boxes.size(), c.warns ? 1u : 0u);
    if (c.warns) {
      EXPECT_EQ(g_testApp.m_boxes[0], L"Warning: Only Audio Track can be Checked!");
    }
    const std::vector<LogLine> lines = LogFrom(logAt);
    EXPECT_EQ(CountLines(lines, {LOG_WARNING, L"Warning: only audio track can be checked!"}),
              c.warns ? 1 : 0);
    EXPECT_FALSE(List().GetCheck(kDataRow));
  }
  ::SetWindowPos(dlg, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// ---- selection ----------------------------------------------------------------------

TEST_F(MainDlgTest, CheckedTrackSearchAndCurrentTrack) {
  SetEnhancedDisc();
  Refresh();
  dlg.OnUncheckAll();
  List().SetCheck(3, TRUE);
  List().SetCheck(7, TRUE);
  EXPECT_TRUE(dlg.FindNextCheckedTrack(3, TRUE));
  EXPECT_EQ(dlg.m_nCurrentTrack, 0);  // test only: nothing moves
  EXPECT_TRUE(dlg.FindNextCheckedTrack(3, FALSE));
  EXPECT_EQ(dlg.m_nCurrentTrack, 7);
  EXPECT_FALSE(dlg.FindNextCheckedTrack(7, FALSE));
  EXPECT_TRUE(dlg.FindPreviousCheckedTrack(7, FALSE));
  EXPECT_EQ(dlg.m_nCurrentTrack, 3);
  EXPECT_FALSE(dlg.FindPreviousCheckedTrack(3, TRUE));

  BoxAnswerer boxes;
  List().SetItemState(10, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_FALSE(dlg.SelectCurrentTrack());
  List().SetItemState(10, 0, LVIS_SELECTED);
  EXPECT_FALSE(dlg.SelectCurrentTrack());
  EXPECT_EQ(dlg.m_nCurrentTrack, 3);
  List().SetItemState(5, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_TRUE(dlg.SelectCurrentTrack());
  EXPECT_EQ(dlg.m_nCurrentTrack, 5);
  EXPECT_EQ(boxes.Texts(),
            (std::vector<std::wstring>{L"Not an Audio Track!", L"No Audio Track Selected!"}));
}

// ---- busy state, drives and media notifications ---------------------------------------

TEST_F(MainDlgTest, BusyDisablesTheDriveChoicesAndTheCommandsRefuse) {
  CMenu* drives = dlg.GetMenu()->GetSubMenu(0)->GetSubMenu(0);
  dlg.EnableControls(FALSE);
  EXPECT_TRUE(g_bBusy);
  EXPECT_FALSE(dlg.m_comboDrive.IsWindowEnabled());
  EXPECT_TRUE(drives->GetMenuState(0, MF_BYPOSITION) & MF_GRAYED);
  lib.tocReads = 0;
  dlg.SendMessage(WM_COMMAND, ID_REFRESH_DISC);
  dlg.SendMessage(WM_COMMAND, ID_EDIT_CD_INFO);
  PumpPending();
  ::Sleep(100);
  EXPECT_EQ(lib.tocReads, 0);
  EXPECT_TRUE(g_testApp.m_boxes.empty());
  dlg.EnableControls(TRUE);
  EXPECT_FALSE(g_bBusy);
  EXPECT_TRUE(dlg.m_comboDrive.IsWindowEnabled());
  EXPECT_FALSE(drives->GetMenuState(0, MF_BYPOSITION) & MF_GRAYED);
  dlg.SendMessage(WM_COMMAND, ID_REFRESH_DISC);
  ASSERT_TRUE(WaitForRefresh());
  EXPECT_EQ(lib.tocReads, 1);
}

// Edit CD without a disc, or on a disc without an audio track, says why and does not
// open the dialog.
TEST_F(MainDlgTest, EditCDRefusesWithoutADiscAndWithoutAnAudioTrack) {
  struct Case {
    const char* name;
    int tocResult;
    const wchar_t* box;
  };
  const Case cases[] = {{"no disc", 0, L"No Disc Found!"}, {"data only", 1, L"Not an Audio CD!"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lib.SetToc(1, {0}, 300, {1});
    lib.tocResult = c.tocResult;
    Refresh();
    g_testApp.m_boxes.clear();
    BoxDriver editor(
        L"Edit CD Info", [](HWND box) { ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0); }, 1500);
    dlg.SendMessage(WM_COMMAND, ID_EDIT_CD_INFO);
    EXPECT_FALSE(editor.Found()) << "the dialog opened";
    ASSERT_EQ(g_testApp.m_boxes.size(), 1u);
    EXPECT_EQ(g_testApp.m_boxes[0], c.box);
  }
}

TEST_F(MainDlgTest, DriveLetterFromUnitMask) {
  const struct {
    DWORD mask;
    wchar_t letter;
  } cases[] = {{0x1, L'A'},      {0x4, L'C'},   {0x20000 | 0x40000, L'R'},
               {1u << 25, L'Z'}, {0, L'Z' + 1}, {1u << 26, L'Z' + 1}};
  for (const auto& c : cases) EXPECT_EQ(DriveLetterFromUnitMask(c.mask), c.letter) << c.mask;
}

TEST_F(MainDlgTest, MediaNotificationsRefreshOnlyTheCurrentDrive) {
  DEV_BROADCAST_VOLUME volume{};
  volume.dbcv_size = sizeof(volume);
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume.dbcv_flags = DBTF_MEDIA;
  const struct {
    UINT event;
    DWORD mask;
    WORD flags;
    int reads;
    const wchar_t* line;  // the log line; none when the notification is passed over
  } cases[] = {
      {DBT_DEVICEARRIVAL, 1u << (kLetter - L'A'), DBTF_MEDIA, 1, L"Insert disc."},
      {DBT_DEVICEREMOVECOMPLETE, 1u << (kLetter - L'A'), DBTF_MEDIA, 1, L"Eject disc."},
      {DBT_DEVICEARRIVAL, 1u << 3, DBTF_MEDIA, 0, nullptr},        // another drive
      {DBT_DEVICEARRIVAL, 1u << (kLetter - L'A'), 0, 0, nullptr},  // not a medium
      {DBT_DEVICEQUERYREMOVE, 1u << (kLetter - L'A'), DBTF_MEDIA, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.event);
    lib.tocReads = 0;
    const INT_PTR from = LogSize();
    dlg.m_staticTime.SetWindowText(L"01:23");
    volume.dbcv_unitmask = c.mask;
    volume.dbcv_flags = c.flags;
    EXPECT_TRUE(dlg.OnDeviceChange(c.event, reinterpret_cast<DWORD_PTR>(&volume)));
    ASSERT_TRUE(WaitForRefresh());
    EXPECT_EQ(lib.tocReads, c.reads);
    const std::vector<LogLine> lines = LogFrom(from);
    EXPECT_EQ(CountLines(lines, {LOG_INFO, L"Insert disc."}) +
                  CountLines(lines, {LOG_INFO, L"Eject disc."}),
              c.line ? 1 : 0);
    if (c.line) {
      EXPECT_EQ(CountLines(lines, {LOG_INFO, c.line}), 1);
    }
    CString time;
    dlg.m_staticTime.GetWindowText(time);
    EXPECT_STREQ(time.GetString(), c.line ? L"00:00" : L"01:23");
  }
}

TEST_F(MainDlgTest, NotificationDuringARefreshRunsOneMoreRefreshAfterIt) {
  DEV_BROADCAST_VOLUME volume{};
  volume.dbcv_size = sizeof(volume);
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume.dbcv_flags = DBTF_MEDIA;
  volume.dbcv_unitmask = 1u << (kLetter - L'A');
  lib.tocReads = 0;
  // Three notifications in a row: the first starts a refresh, the others wait for it
  // and then run as one.
  for (int i = 0; i < 3; ++i)
    dlg.OnDeviceChange(DBT_DEVICEARRIVAL, reinterpret_cast<DWORD_PTR>(&volume));
  ASSERT_TRUE(WaitForRefresh());
  EXPECT_GE(lib.tocReads, 1);
  EXPECT_LE(lib.tocReads, 2);
  EXPECT_EQ(List().GetItemCount(), 3);
}

TEST_F(MainDlgTest, DriveMenuBeyondTheDrivesSelectsTheFirst) {
  dlg.m_comboDrive.SetCurSel(-1);
  dlg.OnDriveMenu(ID_DRIVE_FIRST + 5);
  ASSERT_TRUE(WaitForRefresh());
  EXPECT_EQ(dlg.m_comboDrive.GetCurSel(), 0);
  EXPECT_EQ(DriveNum, 0);
  EXPECT_EQ(List().GetItemCount(), 3);
}

// R: to T:, three CD-ROM drives.
class ThreeLetters : public CDriveLetterSource {
 public:
  UINT DriveType(TCHAR letter) override {
    return letter >= L'R' && letter <= L'T' ? DRIVE_CDROM : DRIVE_NO_ROOT_DIR;
  }
  BOOL Accessible(TCHAR) override { return TRUE; }
};

// The drive saved last time is chosen again only while the number of drives found is
// the one saved with it; otherwise, and for a saved drive beyond the list, the first.
TEST_F(MainDlgTest, SavedDriveIsChosenOnlyWhileTheDriveCountMatches) {
  dlg.DestroyWindow();
  ThreeLetters three;
  CVeltraskDlg::s_pDriveLetterSource = &three;
  lib.drives.found = 3;
  for (int i = 1; i < 3; ++i) lib.drives.entries[i] = lib.drives.entries[0];
  const CString ini = g_strSettingsFolder + L"\\Corvane.ini";
  struct Case {
    const wchar_t* count;
    const wchar_t* drive;
    int chosen;
  };
  const Case cases[] = {{L"3", L"2", 2}, {L"2", L"2", 0}, {L"4", L"1", 0}, {L"3", L"5", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "DriveCount " << c.count << ", DriveNum " << c.drive);
    ::DeleteFileW(ini);
    ASSERT_TRUE(::WritePrivateProfileStringW(L"MISC", L"DriveCount", c.count, ini));
    ASSERT_TRUE(::WritePrivateProfileStringW(L"MISC", L"DriveNum", c.drive, ini));
    TestDlg next;
    ASSERT_TRUE(next.Create(IDD_CORVANE_DIALOG));
    UseTestSettings();
    EXPECT_EQ(next.m_comboDrive.GetCurSel(), c.chosen);
    EXPECT_EQ(DriveNum, c.chosen);
    EXPECT_EQ(DriveCount, 3);
    CMenu* drives = next.GetMenu()->GetSubMenu(0)->GetSubMenu(0);
    EXPECT_TRUE(drives->GetMenuState(ID_DRIVE_FIRST + c.chosen, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(WaitForRefresh());
    next.DestroyWindow();
  }
  ::DeleteFileW(ini);
  CVeltraskDlg::s_pDriveLetterSource = &letters;
}

// ---- refresh failure path ------------------------------------------------------------

std::string HexId(DWORD id) {
  char text[9];
  sprintf(text, "%08lx", static_cast<unsigned long>(id));
  return text;
}

TEST_F(MainDlgTest, UnreachableLookupRetriesOnceWithThePlaceholderAndLooksUpNextTime) {
  WinsockSession sockets;
  CddbTestServer server;
  auto* entry = static_cast<CFreeDBServer*>(g_serverList[0]);
  entry->m_strHost = L"127.0.0.1";
  entry->m_nPort = server.Port();
  entry->m_nTimeout = 3000;
  AlbumInfoSource = 1;
  server.Script({CddbTestServer::Reply{{"HTTP/1.0 500 Internal Server Error\r\n\r\n"}}});
  lib.tocReads = 0;
  const INT_PTR from = LogSize();
  Refresh();
  // The failed refresh and its one retry.
  EXPECT_EQ(lib.tocReads, 2);
  const std::vector<LogLine> lines = LogFrom(from);
  EXPECT_EQ(CountLines(lines, {LOG_WARNING, L"Error on refresh disc info!"}), 1);
  EXPECT_EQ(CountLines(lines, {LOG_INFO, L"Refreshing CD..."}), 2);
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(Column(List(), 1), (std::vector<std::wstring>{L"Track01", L"Track02", L"Track03"}));
  EXPECT_TRUE(g_bPlaceholderRecord);
  EXPECT_TRUE(g_bLookupFromSettings);
  EXPECT_FALSE(g_bBusy);

  const std::string id = HexId(g_dwDiscId);
  server.Script(
      {CddbTestServer::Page("200 folk " + id + " Sea Band / Harbour\r\n"),
       CddbTestServer::Page("210 folk " + id +
                            " CD database entry follows\r\n# xmcd\r\n#\r\n"
                            "# Track frame offsets:\r\n#\t150\r\n#\t300\r\n"
                            "#\t450\r\n#\r\n# Disc length: 8 seconds\r\n#\r\n"
                            "# Revision: 1\r\n# Submitted via: tester 2.0\r\n#\r\nDISCID=" +
                            id +
                            "\r\nDTITLE=Sea Band / Harbour\r\nDYEAR=2001\r\n"
                            "DGENRE=Folk\r\nTTITLE0=Tide\r\nTTITLE1=Gull\r\n"
                            "TTITLE2=Rope\r\nEXTD=\r\nEXTT0=\r\nEXTT1=\r\nEXTT2=\r\n"
                            "PLAYORDER=\r\n.\r\n")});
  Refresh();
  EXPECT_EQ(Column(List(), 1), (std::vector<std::wstring>{L"Tide", L"Gull", L"Rope"}));
  EXPECT_FALSE(g_bPlaceholderRecord);
  EXPECT_EQ(server.Requests().size(), 3u);
}

// ---- status panes, format commands, time display -------------------------------------

TEST_F(MainDlgTest, FormatSummaryTextsAndButtonImage) {
  const struct {
    short format, sub, freq;
    BOOL channel;
    short lameBits, lameFreq, lameChannel, quality;
    const wchar_t* pane;
    int image;
  } cases[] = {
      {1, 1, 7, TRUE, 0, 0, 0, 0, L"  WAV:  Signed 16 bit PCM 44100 Hz;  Stereo;", 9},
      {1, 0, 0, FALSE, 0, 0, 0, 0, L"  WAV:  Unsigned 8 bit PCM  8000 Hz;  Mono;", 9},
      {2, 0, 0, FALSE, 11, 7, 2, 0, L"  MP3:  CBR 128 kbps; 44100 Hz; Joint Stereo;", 3},
      {2, 0, 0, FALSE, 0, 0, 3, 0, L"  MP3:  CBR   8 kbps;  8000 Hz; Dual Channel;", 3},
      {3, 0, 0, FALSE, 0, 0, 0, 4, L"  OGG:  Ogg Vorbis Quality : 0.40;", 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pane);
    SubFormat = c.sub;
    Freq = c.freq;
    Channel = c.channel;
    LameBits = c.lameBits;
    LameFreq = c.lameFreq;
    LameChannel = c.lameChannel;
    QualityCompression = c.quality;
    if (c.format == 1) dlg.OnFormatWav();
    if (c.format == 2) dlg.OnFormatMp3();
    if (c.format == 3) dlg.OnFormatOgg();
    EXPECT_EQ(OutputFormat, c.format);
    EXPECT_EQ(Pane(2), c.pane);
    UINT id = 0, style = 0;
    int image = -1;
    dlg.m_wndToolBar.GetButtonInfo(3, id, style, image);
    EXPECT_EQ(id, static_cast<UINT>(ID_FORMAT));
    EXPECT_EQ(image, c.image);
  }
  // The destinations follow the format.
  EXPECT_EQ(Column(List(), 6)[0].substr(Column(List(), 6)[0].size() - 4), L".ogg");
}

TEST_F(MainDlgTest, FormatChangeDuringARefreshLeavesTheDestinationsToIt) {
  dlg.EnableControls(FALSE);  // a refresh runs: it redoes the destinations at its end
  dlg.OnFormatWav();
  EXPECT_EQ(Pane(2).Left(7), L"  WAV: ");
  EXPECT_EQ(Column(List(), 6)[0].substr(Column(List(), 6)[0].size() - 4), L".mp3");
  dlg.EnableControls(TRUE);
  dlg.OnFormatWav();
  EXPECT_EQ(Column(List(), 6)[0].substr(Column(List(), 6)[0].size() - 4), L".wav");
}

TEST_F(MainDlgTest, SizeKeepsTheStatusBarAtTheBottomWithItsThreeParts) {
  dlg.SetWindowPos(nullptr, 0, 0, 1170, 640, SWP_NOZORDER);
  PumpPending();
  CRect client, bar;
  dlg.GetClientRect(&client);
  dlg.m_wndStatusBar.GetWindowRect(&bar);
  dlg.ScreenToClient(&bar);
  EXPECT_EQ(bar.bottom, client.bottom);
  EXPECT_EQ(bar.Height(), 25);
  EXPECT_EQ(bar.Width(), client.Width());
  int parts[3] = {};
  ASSERT_EQ(dlg.m_wndStatusBar.SendMessage(SB_GETPARTS, 3, reinterpret_cast<LPARAM>(parts)), 3);
  CRect inside;
  dlg.m_wndStatusBar.GetClientRect(&inside);
  EXPECT_EQ(parts[0], static_cast<int>(0.35 * inside.Width()));
  EXPECT_EQ(parts[1], static_cast<int>(0.65 * inside.Width()));
  EXPECT_EQ(parts[2], -1);
  // The track list follows the window.
  CRect list;
  List().GetWindowRect(&list);
  const int before = list.Width();
  dlg.SetWindowPos(nullptr, 0, 0, 1250, 640, SWP_NOZORDER);
  PumpPending();
  List().GetWindowRect(&list);
  EXPECT_EQ(list.Width(), before + 80);
}

TEST_F(MainDlgTest, FormatItemsShowTheCurrentFormat) {
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenu(IDR_FORMAT_MENU));
  CMenu* popup = menu.GetSubMenu(0);
  // Each format checks its own item; a value outside them checks none.
  for (short format : {1, 2, 3, 0}) {
    SCOPED_TRACE(format);
    OutputFormat = format;
    AfxUpdateMenuCmdUI(&dlg, popup->m_hMenu);
    EXPECT_EQ((popup->GetMenuState(ID_FORMAT_WAV, MF_BYCOMMAND) & MF_CHECKED) != 0, format == 1);
    EXPECT_EQ((popup->GetMenuState(ID_FORMAT_MP3, MF_BYCOMMAND) & MF_CHECKED) != 0, format == 2);
    EXPECT_EQ((popup->GetMenuState(ID_FORMAT_OGG, MF_BYCOMMAND) & MF_CHECKED) != 0, format == 3);
  }
}

TEST_F(MainDlgTest, StatusPanesAndTheirTips) {
  dlg.SetStatusPane(1, L"#  7 10:00:00  Hello");
  dlg.SetStatusPane(2, L"No Disc");
  dlg.SetStatusPane(3, L"WAV");
  dlg.SetStatusPane(4, L"ignored");
  EXPECT_EQ(Pane(0), L"  #  7 10:00:00  Hello");
  EXPECT_EQ(Pane(1), L" No Disc");
  EXPECT_EQ(Pane(2), L"  WAV");
  wchar_t tip[128] = {};
  dlg.m_wndStatusBar.SendMessage(SB_GETTIPTEXTW, MAKEWPARAM(1, 128), reinterpret_cast<LPARAM>(tip));
  EXPECT_STREQ(tip, L"Disc Media State: No Disc");
}

TEST_F(MainDlgTest, PlayerTimeMovesTheSliderAndTheClock) {
  const struct {
    double tenths;
    int seconds, position;
    const wchar_t* clock;
  } cases[] = {{2500.0, 125, 500, L"02:05"}, {0.0, 30, 0, L"00:30"}, {600.0, 0, 0, L"00:00"}};
  for (const auto& c : cases) {
    dlg.m_dTrackTenths = c.tenths;
    dlg.OnPlayerTime(0, c.seconds);
    EXPECT_EQ(dlg.m_sliderPosition.GetPos(), c.position);
    CString clock;
    dlg.m_staticTime.GetWindowText(clock);
    EXPECT_EQ(clock, c.clock);
  }
}

// An exception that a window hook throws ends at the hook chain's boundary; the user still
// sees it as an error line of the event log.
TEST_F(MainDlgTest, ExceptionSwallowedByAHookIsAnErrorLineOfTheLog) {
  class CThrowingHook : public CHookWnd {
    LRESULT OnHookedMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
      if (message == WM_APP + 77) AfxThrowInvalidArgException();
      return CHookWnd::OnHookedMessage(message, wParam, lParam);
    }
  } hook;
  hook.AttachHook(&dlg);
  const INT_PTR first = LogSize();
  dlg.SendMessage(WM_APP + 77);
  hook.DetachHook();
  const std::vector<LogLine> lines = LogFrom(first);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].first, LOG_ERROR);
  EXPECT_NE(lines[0].second.find(L"Invalid argument."), std::wstring::npos) << lines[0].second;
}

}  // namespace
