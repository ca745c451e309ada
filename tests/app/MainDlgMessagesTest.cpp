// Two messages of the main window: the playback threads' texts (log lines by kind, the
// current row's Status cell, clearing every Status cell) on a track list of its own, and
// the disc worker's several-matches request.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AlbumLookup.h"
#include "EventLog.h"
#include "VeltraskDlg.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"
#include "resource.h"
#include "tests/window/TestApp.h"

namespace {

constexpr int kRows = 4;
constexpr int kStatusColumn = 5;

class PlayerTextDlg : public CVeltraskDlg {
 public:
  using CVeltraskDlg::OnCddbMultiple;
  using CVeltraskDlg::OnPlayerText;
};

class MainDlgMessages : public testing::Test {
 protected:
  void SetUp() override {
    WriteLog = FALSE;
    DeleteAllLogItems();
    HWND list = ::CreateWindowW(WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 600, 200, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(m_dlg.m_listTracks.SubclassWindow(list));
    for (int col = 0; col <= kStatusColumn; ++col) m_dlg.m_listTracks.InsertColumn(col, L"c");
    for (int row = 0; row < kRows; ++row) {
      m_dlg.m_listTracks.InsertItem(row, L"track");
      m_dlg.m_listTracks.SetItemText(row, kStatusColumn, L"earlier");
    }
    m_dlg.m_nCurrentTrack = 2;
  }
  void TearDown() override {
    m_dlg.m_listTracks.DestroyWindow();
    DeleteAllLogItems();
  }

  std::vector<CString> StatusCells() {
    std::vector<CString> cells;
    for (int row = 0; row < kRows; ++row)
      cells.push_back(m_dlg.m_listTracks.GetItemText(row, kStatusColumn));
    return cells;
  }

  PlayerTextDlg m_dlg;
};

TEST_F(MainDlgMessages, SelectorsZeroToTwoAddALogLineOfThatKind) {
  for (LPARAM kind : {LOG_INFO, LOG_WARNING, LOG_ERROR}) {
    SCOPED_TRACE(kind);
    const int before = g_nLogCount;
    CString text;
    text.Format(L"playback line %d", static_cast<int>(kind));
    EXPECT_EQ(m_dlg.OnPlayerText(reinterpret_cast<WPARAM>(new CString(text)), kind), 0);

    EXPECT_EQ(g_nLogCount, before + 1);
    ASSERT_GT(g_logItems.GetSize(), 0);
    const CLogItem* item = g_logItems[g_logItems.GetSize() - 1];
    EXPECT_EQ(item->m_strDescription, text);
    EXPECT_EQ(item->m_nKind, kind);
    EXPECT_EQ(StatusCells(), std::vector<CString>(kRows, L"earlier"));
  }
}

TEST_F(MainDlgMessages, OtherSelectorsSetTheCurrentRowsStatusCell) {
  for (LPARAM selector : {LPARAM{3}, LPARAM{5}, LPARAM{1000}}) {
    SCOPED_TRACE(selector);
    const int before = g_nLogCount;
    CString text;
    text.Format(L"Playing %d", static_cast<int>(selector));
    m_dlg.OnPlayerText(reinterpret_cast<WPARAM>(new CString(text)), selector);

    const std::vector<CString> expected = {L"earlier", L"earlier", text, L"earlier"};
    EXPECT_EQ(StatusCells(), expected);
    EXPECT_EQ(g_nLogCount, before);
  }
}

TEST_F(MainDlgMessages, SelectorFourEmptiesEveryStatusCell) {
  EXPECT_EQ(m_dlg.OnPlayerText(0, 4), 0);
  EXPECT_EQ(StatusCells(), std::vector<CString>(kRows, L""));
}

TEST_F(MainDlgMessages, MissingTextChangesNothing) {
  const int before = g_nLogCount;
  for (LPARAM selector : {LPARAM{0}, LPARAM{2}, LPARAM{3}}) m_dlg.OnPlayerText(0, selector);
  EXPECT_EQ(g_nLogCount, before);
  EXPECT_EQ(StatusCells(), std::vector<CString>(kRows, L"earlier"));
}

// A current track that is no row (none chosen yet, or a list emptied by a refresh) takes
// the text without touching any row.
TEST_F(MainDlgMessages, StatusForNoRowTouchesNoRow) {
  for (int current : {-1, kRows}) {
    m_dlg.m_nCurrentTrack = current;
    m_dlg.OnPlayerText(reinterpret_cast<WPARAM>(new CString(L"Playing")), 3);
    EXPECT_EQ(StatusCells(), std::vector<CString>(kRows, L"earlier"));
  }
}

// ---- Several matches ----------------------------------------------------------------

// Stands in for the user: once the chooser shows, picks the second listing and OK.
struct ChooserUser {
  size_t boxesBeforeChooser = 0;
  bool seen = false;
} g_user;

BOOL CALLBACK PickSecond(HWND window, LPARAM) {
  wchar_t caption[64] = {};
  ::GetWindowTextW(window, caption, 64);
  if (std::wstring(caption) != L"Please select a CDDB listing" || !::IsWindowVisible(window))
    return TRUE;
  g_user.seen = true;
  g_user.boxesBeforeChooser = g_testApp.m_boxes.size();
  LVITEMW item{};
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(::GetDlgItem(window, IDC_LIST_MATCHES), LVM_SETITEMSTATE, 1,
                 reinterpret_cast<LPARAM>(&item));
  ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(window, IDOK)));
  return FALSE;
}

void CALLBACK LookForChooser(HWND, UINT, UINT_PTR timer, DWORD) {
  ::EnumThreadWindows(::GetCurrentThreadId(), PickSecond, 0);
  if (g_user.seen) ::KillTimer(nullptr, timer);
}

TEST_F(MainDlgMessages, SeveralMatchesNoticeThenChooserThenLogLine) {
  g_queryResults.RemoveAll();
  g_matchRecords.RemoveAll();
  for (int i = 0; i < 3; ++i) {
    CCDDBQueryResult match;
    match.m_discId = 0x10203000u + i;
    match.m_title.Format(L"Album %d", i);
    g_queryResults.Add(match);
    CCDDBRecord record;
    record.m_discId = match.m_discId;
    record.m_title = match.m_title;
    g_matchRecords.Add(record);
  }
  g_testApp.m_boxes.clear();
  g_user = ChooserUser{};
  const int before = g_nLogCount;
  ::SetTimer(nullptr, 0, 50, &LookForChooser);

  EXPECT_EQ(m_dlg.OnCddbMultiple(0, 0), 0);

  EXPECT_TRUE(g_user.seen);
  EXPECT_EQ(g_user.boxesBeforeChooser, 1u);  // the notice came first
  ASSERT_EQ(g_testApp.m_boxes.size(), 1u);
  EXPECT_EQ(g_testApp.m_boxes[0],
            L"FreeDB Server Returned Multiple Results, Please Select the Correct One.");
  EXPECT_EQ(g_cddbRecord.m_title, L"Album 1");
  EXPECT_EQ(g_nLogCount, before + 1);
  ASSERT_GT(g_logItems.GetSize(), 0);
  const CLogItem* item = g_logItems[g_logItems.GetSize() - 1];
  EXPECT_EQ(item->m_strDescription, L"FreeDB server returned multiple results.");
  EXPECT_EQ(item->m_nKind, LOG_INFO);
  g_queryResults.RemoveAll();
  g_matchRecords.RemoveAll();
}

}  // namespace
