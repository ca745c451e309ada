// The match chooser run modally on real list views: its rows, the record following the
// highlight, every way of ending it, the notifications it must ignore, and row tints.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "AlbumLookup.h"
#include "FreeDBChoice.h"
#include "engine/OutputNaming.h"
#include "resource.h"
#include "tests/window/TestApp.h"

namespace {

constexpr UINT kRunScript = WM_APP + 40;

// Runs the test's script once the modal loop is up, on the dialog's own thread.
class ScriptedChoice : public CFreeDBChoice {
 public:
  std::function<void(ScriptedChoice&)> script;
  bool shotPending = false;

  HWND Matches() const { return ::GetDlgItem(m_hWnd, IDC_LIST_MATCHES); }
  HWND Tracks() const { return ::GetDlgItem(m_hWnd, IDC_LIST_MATCH_TRACKS); }

 protected:
  BOOL OnInitDialog() override {
    const BOOL result = CFreeDBChoice::OnInitDialog();
    ::PostMessageW(m_hWnd, kRunScript, 0, 0);
    return result;
  }
  LRESULT OnRunScript(WPARAM, LPARAM) {
    if (script) script(*this);
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ScriptedChoice, CFreeDBChoice)
ON_MESSAGE(kRunScript, OnRunScript)
END_MESSAGE_MAP()

CString Cell(HWND list, int row, int column) {
  wchar_t buffer[256] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 256;
  ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

int Rows(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

void Select(HWND list, int row) {
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

POINT RowPoint(HWND list, int row) {
  RECT rc{};
  rc.left = LVIR_LABEL;
  ::SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rc));
  return POINT{rc.left + 5, (rc.top + rc.bottom) / 2};
}

// A point inside the list below its last row.
POINT BelowLastRow(HWND list) {
  RECT last{};
  last.left = LVIR_BOUNDS;
  ::SendMessageW(list, LVM_GETITEMRECT, Rows(list) - 1, reinterpret_cast<LPARAM>(&last));
  RECT client;
  ::GetClientRect(list, &client);
  EXPECT_LT(last.bottom + 10, client.bottom) << "the list must show empty space";
  return POINT{20, last.bottom + 8};
}

// A click: the up is queued first so the list's drag detection ends at once.
void Click(HWND list, POINT pt) {
  ::PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
  ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
  PumpPending();
}

void DoubleClick(HWND list, POINT pt) {
  Click(list, pt);
  ::PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
  ::SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
  PumpPending();
}

void Command(HWND dialog, int id) {
  ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

class FreeDBChoiceTest : public testing::Test {
 protected:
  // Matches with distinct texts; match i has i + 2 track titles.
  void SetMatches(int count) {
    g_queryResults.RemoveAll();
    g_matchRecords.RemoveAll();
    for (int i = 0; i < count; ++i) {
      CCDDBQueryResult match;
      match.m_category = L"rock";
      match.m_discId = 0x0A0B0C00u + i;
      match.m_artist.Format(L"Artist %d", i);
      match.m_title.Format(L"Album %d", i);
      g_queryResults.Add(match);
      CCDDBRecord record;
      record.m_discId = match.m_discId;
      record.m_artist = match.m_artist;
      record.m_title = match.m_title;
      record.m_genre.Format(L"Genre %d", i);
      record.m_year = 1990 + i;
      for (int t = 0; t < i + 2; ++t) {
        CString title;
        title.Format(L"Song %d.%d", i, t + 1);
        record.m_trackTitles.Add(title);
      }
      g_matchRecords.Add(record);
    }
  }

  void SetUp() override {
    SetMatches(3);
    g_cddbRecord = CCDDBRecord();
    g_cddbRecord.m_title = L"before the chooser";
    g_testApp.m_boxes.clear();
  }
  void TearDown() override {
    g_queryResults.RemoveAll();
    g_matchRecords.RemoveAll();
  }

  INT_PTR Run(std::function<void(ScriptedChoice&)> script) {
    ScriptedChoice dlg;
    dlg.script = std::move(script);
    return dlg.DoModal();
  }
};

TEST_F(FreeDBChoiceTest, ListsShowEveryMatchAndNoTracksYet) {
  Run([](ScriptedChoice& dlg) {
    const HWND matches = dlg.Matches();
    struct Column {
      const wchar_t* header;
      int width, format;
    };
    const Column kColumns[] = {{L"DiscID", 60, LVCFMT_LEFT},
                               {L"Album", 200, LVCFMT_CENTER},
                               {L"Artist", 150, LVCFMT_CENTER},
                               {L"Genre", 150, LVCFMT_CENTER},
                               {L"Year", 50, LVCFMT_CENTER}};
    for (int col = 0; col < 5; ++col) {
      wchar_t header[32] = {};
      LVCOLUMNW info{};
      info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
      info.pszText = header;
      info.cchTextMax = 32;
      ASSERT_TRUE(::SendMessageW(matches, LVM_GETCOLUMNW, col, reinterpret_cast<LPARAM>(&info)));
      EXPECT_STREQ(header, kColumns[col].header);
      EXPECT_EQ(info.cx, kColumns[col].width);
      if (col > 0) {
        EXPECT_EQ(info.fmt & LVCFMT_JUSTIFYMASK, kColumns[col].format);
      }
    }
    ASSERT_EQ(Rows(matches), 3);
    EXPECT_EQ(Cell(matches, 0, 0), L"0a0b0c00");
    EXPECT_EQ(Cell(matches, 2, 0), L"0a0b0c02");
    EXPECT_EQ(Cell(matches, 1, 1), L"Album 1");
    EXPECT_EQ(Cell(matches, 1, 2), L"Artist 1");
    EXPECT_EQ(Cell(matches, 1, 3), L"Genre 1");
    EXPECT_EQ(Cell(matches, 1, 4), L"1991");

    wchar_t header[32] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT | LVCF_WIDTH;
    info.pszText = header;
    info.cchTextMax = 32;
    ::SendMessageW(dlg.Tracks(), LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(header, L"Track Title");
    EXPECT_EQ(info.cx, 560);
    EXPECT_EQ(Rows(dlg.Tracks()), 0);
    Command(dlg.m_hWnd, IDCANCEL);
  });
}

TEST_F(FreeDBChoiceTest, RecordAndTrackListFollowTheHighlight) {
  Run([](ScriptedChoice& dlg) {
    for (int row : {1, 2, 0}) {
      SCOPED_TRACE(row);
      Select(dlg.Matches(), row);
      EXPECT_EQ(g_cddbRecord.m_title, g_matchRecords[row].m_title);
      ASSERT_EQ(Rows(dlg.Tracks()), row + 2);
      EXPECT_EQ(Cell(dlg.Tracks(), 0, 0), L"1");
      EXPECT_EQ(Cell(dlg.Tracks(), row + 1, 0), CString(std::to_wstring(row + 2).c_str()));
      CString title;
      title.Format(L"Song %d.%d", row, row + 2);
      EXPECT_EQ(Cell(dlg.Tracks(), row + 1, 1), title);
    }
    Command(dlg.m_hWnd, IDOK);
  });
  EXPECT_EQ(g_cddbRecord.m_title, L"Album 0");
}

// Every way out leaves one of the matches in the record.
TEST_F(FreeDBChoiceTest, EachWayOfEndingChoosesItsMatch) {
  struct Case {
    const char* name;
    int highlight;  // -1: none
    std::function<void(ScriptedChoice&)> end;
    INT_PTR result;
    int chosen;
  };
  const Case kCases[] = {
      {"OK with a selection", 2, [](ScriptedChoice& d) { Command(d.m_hWnd, IDOK); }, IDOK, 2},
      {"double-click on a row", -1,
       [](ScriptedChoice& d) { DoubleClick(d.Matches(), RowPoint(d.Matches(), 1)); }, IDOK, 1},
      {"Cancel at once", -1, [](ScriptedChoice& d) { Command(d.m_hWnd, IDCANCEL); }, IDCANCEL, 0},
      {"Cancel after highlighting the second", 1,
       [](ScriptedChoice& d) { Command(d.m_hWnd, IDCANCEL); }, IDCANCEL, 0},
      {"Esc key", 2,
       [](ScriptedChoice& d) {
         ::SetFocus(d.Matches());
         MSG msg{d.Matches(), WM_KEYDOWN, VK_ESCAPE, 0x00010001, 0, {}};
         if (!d.PreTranslateMessage(&msg)) ::DispatchMessageW(&msg);
       },
       IDCANCEL, 0},
      {"close box", 2, [](ScriptedChoice& d) { ::SendMessageW(d.m_hWnd, WM_CLOSE, 0, 0); },
       IDCANCEL, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    g_cddbRecord.m_title = L"before the chooser";
    const INT_PTR result = Run([&c](ScriptedChoice& d) {
      if (c.highlight >= 0) Select(d.Matches(), c.highlight);
      c.end(d);
    });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(g_cddbRecord.m_title, g_matchRecords[c.chosen].m_title);
    EXPECT_EQ(g_cddbRecord.m_trackTitles.GetSize(), c.chosen + 2);
    EXPECT_TRUE(g_testApp.m_boxes.empty());
  }
}

TEST_F(FreeDBChoiceTest, OkWithoutSelectionIsRefusedAndTheDialogStays) {
  bool stillOpen = false;
  const INT_PTR result = Run([&stillOpen](ScriptedChoice& d) {
    Command(d.m_hWnd, IDOK);
    stillOpen = ::IsWindowVisible(d.m_hWnd) != FALSE;
    Command(d.m_hWnd, IDCANCEL);
  });
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(g_testApp.m_boxes.size(), 1u);
  EXPECT_EQ(g_testApp.m_boxes[0], L"Please select a listing!");
  EXPECT_EQ(g_testApp.m_lastType & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(g_cddbRecord.m_title, L"Album 0");
}

TEST_F(FreeDBChoiceTest, ClickOnEmptySpaceEmptiesTracksThenOkIsRefused) {
  int tracksAfterClick = -1;
  bool stillOpen = false;
  Run([&](ScriptedChoice& d) {
    Select(d.Matches(), 1);
    Click(d.Matches(), BelowLastRow(d.Matches()));
    tracksAfterClick = Rows(d.Tracks());
    Command(d.m_hWnd, IDOK);
    stillOpen = ::IsWindow(d.m_hWnd) && ::IsWindowVisible(d.m_hWnd);
    Command(d.m_hWnd, IDCANCEL);
  });
  EXPECT_EQ(tracksAfterClick, 0);
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(g_testApp.m_boxes.size(), 1u);
  EXPECT_EQ(g_testApp.m_boxes[0], L"Please select a listing!");
}

TEST_F(FreeDBChoiceTest, DoubleClickBelowTheRowsDoesNotEnd) {
  bool stillOpen = false;
  CString recordAfter;
  Run([&](ScriptedChoice& d) {
    Select(d.Matches(), 2);
    DoubleClick(d.Matches(), BelowLastRow(d.Matches()));
    stillOpen = ::IsWindow(d.m_hWnd) && ::IsWindowVisible(d.m_hWnd);
    recordAfter = g_cddbRecord.m_title;
    Command(d.m_hWnd, IDCANCEL);
  });
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(recordAfter, L"Album 2");
}

// Only a real row that has just become selected moves the record; a notification for no
// row, for a row past the matches, for a row losing its selection or for another state
// bit leaves record and track list alone.
TEST_F(FreeDBChoiceTest, ItemChangedActsOnlyForARowThatJustBecameSelected) {
  struct Case {
    const char* name;
    int item;
    UINT changed, oldState, newState;
  };
  const Case kCases[] = {
      {"no row", -1, LVIF_STATE, 0, LVIS_SELECTED},
      {"row past the matches", 3, LVIF_STATE, 0, LVIS_SELECTED},
      {"row losing its selection", 0, LVIF_STATE, LVIS_SELECTED, 0},
      {"already selected row", 0, LVIF_STATE, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED},
      {"focus only", 0, LVIF_STATE, 0, LVIS_FOCUSED},
      {"text change", 0, LVIF_TEXT, 0, LVIS_SELECTED},
  };
  Run([&kCases](ScriptedChoice& d) {
    Select(d.Matches(), 1);
    for (const Case& c : kCases) {
      SCOPED_TRACE(c.name);
      NMLISTVIEW change{};
      change.hdr.hwndFrom = d.Matches();
      change.hdr.idFrom = IDC_LIST_MATCHES;
      change.hdr.code = LVN_ITEMCHANGED;
      change.iItem = c.item;
      change.uChanged = c.changed;
      change.uOldState = c.oldState;
      change.uNewState = c.newState;
      ::SendMessageW(d.m_hWnd, WM_NOTIFY, IDC_LIST_MATCHES, reinterpret_cast<LPARAM>(&change));
      EXPECT_EQ(g_cddbRecord.m_title, L"Album 1");
      EXPECT_EQ(Rows(d.Tracks()), 3);
    }
    Command(d.m_hWnd, IDOK);
  });
  EXPECT_EQ(g_cddbRecord.m_title, L"Album 1");
}

COLORREF PixelInRow(HWND list, int row, int column) {
  RECT cell{};
  cell.top = column;
  cell.left = LVIR_BOUNDS;
  ::SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
  HDC dc = ::GetDC(list);
  const COLORREF pixel = ::GetPixel(dc, cell.right - 3, (cell.top + cell.bottom) / 2);
  ::ReleaseDC(list, dc);
  return pixel;
}

TEST_F(FreeDBChoiceTest, OddRowsAreTintedInBothLists) {
  SetMatches(6);
  g_matchRecords[5].m_trackTitles.SetSize(6);
  for (int t = 0; t < 6; ++t) g_matchRecords[5].m_trackTitles[t].Format(L"Song %d", t + 1);
  Run([](ScriptedChoice& d) {
    Select(d.Matches(), 5);  // fills the track list; rows 0 to 4 stay unhighlighted
    ::ShowWindow(d.m_hWnd, SW_SHOWNORMAL);
    for (HWND list : {d.Matches(), d.Tracks()}) {
      ::RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
      for (int row = 0; row < 5; ++row)  // row 5 of the match list had the selection
        EXPECT_EQ(PixelInRow(list, row, 1), row % 2 ? RGB(243, 245, 252) : RGB(255, 255, 255))
            << "row " << row;
    }
    Command(d.m_hWnd, IDCANCEL);
  });
}

}  // namespace
