// The Edit CD Info dialog run modally over the current disc record: what it shows, what
// OK and Save to Local apply, what a bad year stops, and the genre names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "AlbumLookup.h"
#include "EditCD.h"
#include "engine/CDDrive.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"
#include "resource.h"
#include "tests/window/Picture.h"
#include "tests/window/TestApp.h"

void PrintTo(const CString& s, std::ostream* os) { *os << '"' << CStringA(s).GetString() << '"'; }

namespace {

constexpr UINT kRunScript = WM_APP + 41;

// Runs the test's script once the modal loop is up, on the dialog's own thread.
class ScriptedEditCD : public CEditCD {
 public:
  std::function<void(ScriptedEditCD&)> script;

  CString Text(int id) {
    CString text;
    GetDlgItemText(id, text);
    return text;
  }
  void SetText(int id, const wchar_t* text) { SetDlgItemText(id, text); }
  bool Enabled(int id) { return ::IsWindowEnabled(::GetDlgItem(m_hWnd, id)) != FALSE; }
  void Click(int id) {
    SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, id)));
  }
  void ClickCheck(int id) {
    CheckDlgButton(id, IsDlgButtonChecked(id) ? BST_UNCHECKED : BST_CHECKED);
    Click(id);
  }

 protected:
  BOOL OnInitDialog() override {
    const BOOL result = CEditCD::OnInitDialog();
    ::PostMessageW(m_hWnd, kRunScript, 0, 0);
    return result;
  }
  LRESULT OnRunScript(WPARAM, LPARAM) {
    if (script) script(*this);
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ScriptedEditCD, CEditCD)
ON_MESSAGE(kRunScript, OnRunScript)
END_MESSAGE_MAP()

std::wstring TempFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + name + std::to_wstring(::GetCurrentProcessId());
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class EditCDTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (g_genres.IsEmpty()) FillGenreTable();
  }
  void SetUp() override {
    g_cddbRecord = CCDDBRecord();
    g_cddbRecord.m_title = L"Old Album";
    g_cddbRecord.m_artist = L"Old Artist";
    g_cddbRecord.m_genre = L"Rock";
    g_cddbRecord.m_year = 1987;
    g_bPlaceholderRecord = TRUE;
    g_testApp.m_boxes.clear();
  }

  INT_PTR Run(std::function<void(ScriptedEditCD&)> script) {
    ScriptedEditCD dlg;
    dlg.script = std::move(script);
    return dlg.DoModal();
  }
};

TEST_F(EditCDTest, GenreTableHoldsTheId3v1NamesByIdWithOurSpellings) {
  ASSERT_EQ(g_genres.GetSize(), 148);
  struct Case {
    int id;
    const wchar_t* name;
  };
  const Case cases[] = {
      {0, L"Blues"},        {17, L"Rock"},      {30, L"Fusion"},     {40, L"Alternative Rock"},
      {67, L"Psychedelic"}, {79, L"Hard Rock"}, {80, L"Folk"},       {81, L"Folk/Rock"},
      {84, L"Fusion"},      {85, L"Bebob"},     {90, L"Avantgarde"}, {100, L"Humour"},
      {123, L"A Cappella"}, {132, L"BritPop"},  {146, L"Jpop"},      {147, L"Synthpop"},
  };
  for (const Case& c : cases) EXPECT_EQ(g_genres[c.id], c.name) << "id " << c.id;
}

TEST_F(EditCDTest, OpensWithTheRecordAndEveryGenreSorted) {
  Run([](ScriptedEditCD& dlg) {
    CString caption;
    dlg.GetWindowText(caption);
    EXPECT_EQ(caption, L"Edit CD Info");
    EXPECT_EQ(dlg.Text(IDC_EDITCD_ALBUM), L"Old Album");
    EXPECT_EQ(dlg.Text(IDC_EDITCD_ARTIST), L"Old Artist");
    EXPECT_EQ(dlg.Text(IDC_EDITCD_GENRE), L"Rock");
    EXPECT_EQ(dlg.Text(IDC_EDITCD_YEAR), L"1987");
    EXPECT_FALSE(dlg.IsDlgButtonChecked(IDC_EDITCD_VARIOUS));
    EXPECT_TRUE(dlg.Enabled(IDC_EDITCD_ARTIST));
    // 148 names, two of them the same text; the box shows them sorted.
    ASSERT_EQ(dlg.m_comboGenre.GetCount(), 148);
    CString first, last;
    dlg.m_comboGenre.GetLBText(0, first);
    dlg.m_comboGenre.GetLBText(147, last);
    EXPECT_EQ(first, L"A Cappella");
    EXPECT_EQ(last, L"Vocal");
    dlg.EndDialog(IDCANCEL);
  });
}

// Only the exact text checks the box; "various artists" is an ordinary artist.
TEST_F(EditCDTest, VariousArtistsIsRecognisedOnlyAsTyped) {
  struct Case {
    const wchar_t* artist;
    bool checked;
  };
  for (const Case& c : {Case{L"Various Artists", true}, Case{L"various artists", false},
                        Case{L"Various Artists ", false}}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.artist)));
    g_cddbRecord.m_artist = c.artist;
    Run([&c](ScriptedEditCD& dlg) {
      EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_EDITCD_VARIOUS) == BST_CHECKED, c.checked);
      EXPECT_EQ(dlg.Enabled(IDC_EDITCD_ARTIST), !c.checked);
      EXPECT_EQ(dlg.Text(IDC_EDITCD_ARTIST), c.artist);
      dlg.EndDialog(IDCANCEL);
    });
  }
}

TEST_F(EditCDTest, OkAppliesEveryFieldAndClearsThePlaceholderFlag) {
  const INT_PTR result = Run([](ScriptedEditCD& dlg) {
    dlg.SetText(IDC_EDITCD_ALBUM, L"New Album");
    dlg.SetText(IDC_EDITCD_ARTIST, L"New Artist");
    dlg.SetText(IDC_EDITCD_GENRE, L"Chiptune Polka");  // not in the list: kept as typed
    dlg.SetText(IDC_EDITCD_YEAR, L"2004");
    dlg.Click(IDC_EDITCD_OK);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(g_cddbRecord.m_title, L"New Album");
  EXPECT_EQ(g_cddbRecord.m_artist, L"New Artist");
  EXPECT_EQ(g_cddbRecord.m_genre, L"Chiptune Polka");
  EXPECT_EQ(g_cddbRecord.m_year, 2004);
  EXPECT_FALSE(g_bPlaceholderRecord);
  EXPECT_TRUE(g_testApp.m_boxes.empty());
}

// Checking sets and locks the artist; unchecking unlocks it and keeps the text.
TEST_F(EditCDTest, VariousArtistsSwitch) {
  Run([](ScriptedEditCD& dlg) {
    dlg.ClickCheck(IDC_EDITCD_VARIOUS);
    EXPECT_FALSE(dlg.Enabled(IDC_EDITCD_ARTIST));
    EXPECT_EQ(dlg.Text(IDC_EDITCD_ARTIST), L"Various Artists");
    dlg.ClickCheck(IDC_EDITCD_VARIOUS);
    EXPECT_TRUE(dlg.Enabled(IDC_EDITCD_ARTIST));
    EXPECT_EQ(dlg.Text(IDC_EDITCD_ARTIST), L"Various Artists");
    dlg.SetText(IDC_EDITCD_ARTIST, L"Someone");
    dlg.ClickCheck(IDC_EDITCD_VARIOUS);
    dlg.Click(IDC_EDITCD_OK);
  });
  EXPECT_EQ(g_cddbRecord.m_artist, L"Various Artists");
}

// A year the exchange refuses: its message, nothing applied, the dialog stays open for
// both buttons.
TEST_F(EditCDTest, ABadYearStopsOkAndSaveWithTheFrameworksMessage) {
  struct Case {
    const wchar_t* year;
    const wchar_t* message;
  };
  const Case cases[] = {
      {L"2101", L"Enter an integer between 1 and 2100."},
      {L"-4", L"Enter an integer between 1 and 2100."},
      {L"19xx", L"Please enter an integer."},
  };
  const std::wstring folder = TempFolder(L"corvane-editcd-bad-");
  LocalCDDBDir = folder.c_str();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.year)));
    for (int button : {IDC_EDITCD_OK, IDC_EDITCD_SAVE}) {
      g_testApp.m_boxes.clear();
      const INT_PTR result = Run([&c, button](ScriptedEditCD& dlg) {
        dlg.SetText(IDC_EDITCD_ALBUM, L"Not Applied");
        dlg.SetText(IDC_EDITCD_YEAR, c.year);
        dlg.Click(button);
        EXPECT_TRUE(dlg.IsWindowVisible()) << "the dialog closed";
        dlg.EndDialog(IDCANCEL);
      });
      EXPECT_EQ(result, IDCANCEL);
      ASSERT_EQ(g_testApp.m_boxes.size(), 1u);
      EXPECT_EQ(g_testApp.m_boxes[0], c.message);
      EXPECT_EQ(g_cddbRecord.m_title, L"Old Album");
      EXPECT_TRUE(g_bPlaceholderRecord);
    }
  }
  EXPECT_FALSE(Exists(folder)) << "a refused save wrote the cache";
}

// A record without a usable year opens with an empty year box, and an empty box or 0 is
// confirmed as "no year" (0) by OK and by Save to Local alike.
TEST_F(EditCDTest, NoYearIsShownEmptyAndConfirmedAsNone) {
  struct Case {
    int recordYear;
    const wchar_t* shown;
    const wchar_t* typed;  // null: the box as it opened
    int stored;
  };
  const Case cases[] = {
      {0, L"", nullptr, 0},           {2101, L"", nullptr, 0},
      {-3, L"", nullptr, 0},          {1, L"1", nullptr, 1},
      {2100, L"2100", nullptr, 2100}, {1999, L"1999", L"0", 0},
      {1999, L"1999", L"", 0},        {0, L"", L" ", 0},
      {0, L"", L"2002", 2002},
  };
  const std::wstring folder = TempFolder(L"corvane-editcd-noyear-");
  LocalCDDBDir = folder.c_str();
  for (const Case& c : cases) {
    for (int button : {IDC_EDITCD_OK, IDC_EDITCD_SAVE}) {
      SCOPED_TRACE(testing::Message() << "year " << c.recordYear << " typed "
                                      << (c.typed ? CStringA(c.typed).GetString() : "nothing")
                                      << (button == IDC_EDITCD_OK ? " OK" : " Save"));
      g_cddbRecord.m_year = c.recordYear;
      g_testApp.m_boxes.clear();
      const INT_PTR result = Run([&c, button](ScriptedEditCD& dlg) {
        EXPECT_EQ(dlg.Text(IDC_EDITCD_YEAR), c.shown);
        if (c.typed) dlg.SetText(IDC_EDITCD_YEAR, c.typed);
        dlg.Click(button);
        // Save to Local stays open, and so does a refused OK (its box says why).
        if (button == IDC_EDITCD_SAVE || !g_testApp.m_boxes.empty()) dlg.EndDialog(IDCANCEL);
      });
      EXPECT_EQ(result, button == IDC_EDITCD_OK ? IDOK : IDCANCEL);
      EXPECT_EQ(g_cddbRecord.m_year, c.stored);
      const std::vector<CString> boxes = button == IDC_EDITCD_OK
                                             ? std::vector<CString>{}
                                             : std::vector<CString>{L"Local CDDB File Saved."};
      EXPECT_EQ(g_testApp.m_boxes, boxes);
    }
  }
  g_cddbRecord = CCDDBRecord();
  ASSERT_TRUE(LoadLocalCDDB());
  EXPECT_EQ(g_cddbRecord.m_year, 2002);
  ::DeleteFileW(LocalCDDBPath(g_dwDiscId));
  ::RemoveDirectoryW(folder.c_str());
}

// Save to Local writes the cache file under missing folders and stays open; Cancel then
// keeps the edits in the record and the file on disk.
TEST_F(EditCDTest, SaveToLocalWritesTheCacheFileAndCancelKeepsTheEdits) {
  const std::wstring folder = TempFolder(L"corvane-editcd-save-") + L"\\deeper\\cache";
  LocalCDDBDir = folder.c_str();
  g_dwDiscId = 0x00ab12;  // written with eight hex digits
  const std::wstring file = folder + L"\\0000ab12.cddb";
  ::DeleteFileW(file.c_str());  // process ids come round again
  const INT_PTR result = Run([](ScriptedEditCD& dlg) {
    dlg.SetText(IDC_EDITCD_ALBUM, L"Saved Album");
    dlg.SetText(IDC_EDITCD_YEAR, L"1975");
    dlg.Click(IDC_EDITCD_SAVE);
    EXPECT_TRUE(dlg.IsWindowVisible()) << "Save to Local closed the dialog";
    dlg.SetText(IDC_EDITCD_ALBUM, L"Cancelled Album");
    dlg.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(result, IDCANCEL);
  ASSERT_EQ(g_testApp.m_boxes.size(), 1u);
  EXPECT_EQ(g_testApp.m_boxes[0], L"Local CDDB File Saved.");
  EXPECT_EQ(g_cddbRecord.m_title, L"Saved Album");
  EXPECT_FALSE(g_bPlaceholderRecord);

  ASSERT_TRUE(Exists(file));
  g_cddbRecord = CCDDBRecord();
  ASSERT_TRUE(LoadLocalCDDB());
  EXPECT_EQ(g_cddbRecord.m_title, L"Saved Album");
  EXPECT_EQ(g_cddbRecord.m_year, 1975);
  EXPECT_EQ(g_cddbRecord.m_artist, L"Old Artist");
  ::DeleteFileW(file.c_str());
}

// A cache folder that cannot be made: the failure box, the record keeps the edits, the
// dialog stays open.
TEST_F(EditCDTest, SaveToLocalThatCannotWriteSaysSoAndKeepsTheEdits) {
  const std::wstring blocker = TempFolder(L"corvane-editcd-blocker-");
  if (FILE* f = _wfopen(blocker.c_str(), L"wb")) fclose(f);
  LocalCDDBDir = (blocker + L"\\cache").c_str();
  Run([](ScriptedEditCD& dlg) {
    dlg.SetText(IDC_EDITCD_ALBUM, L"Kept Album");
    dlg.Click(IDC_EDITCD_SAVE);
    EXPECT_TRUE(dlg.IsWindowVisible());
    dlg.EndDialog(IDCANCEL);
  });
  ASSERT_EQ(g_testApp.m_boxes.size(), 1u);
  EXPECT_EQ(g_testApp.m_boxes[0], L"Fail to Save Local CDDB File!");
  EXPECT_EQ(g_testApp.m_lastType & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(g_cddbRecord.m_title, L"Kept Album");
  ::DeleteFileW(blocker.c_str());
}

// Pictures of the dialog resized by its border and then by code, for a person to look at
// (bash tests/window/screenshots.sh OUT app app_editcd_test '*PicturesOfAResize*'): the
// moved buttons and check box and the stretched group box and boxes are drawn anew.
TEST_F(EditCDTest, PicturesOfAResize) {
  if (!PicturesWanted()) GTEST_SKIP() << "run by tests/window/screenshots.sh";
  Run([](ScriptedEditCD& dlg) {
    dlg.SetWindowPos(nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    HoldForPicture(L"editcd-opened");
    DragLowerRightCorner(dlg.m_hWnd, 200, 40);
    HoldForPicture(L"editcd-dragged");
    RECT rc;
    dlg.GetWindowRect(&rc);
    dlg.SetWindowPos(nullptr, 0, 0, rc.right - rc.left - 120, rc.bottom - rc.top,
                     SWP_NOMOVE | SWP_NOZORDER);
    HoldForPicture(L"editcd-by-code");
    dlg.EndDialog(IDCANCEL);
  });
}

// Holds the dialog on screen when asked (CORVANE_SHOT_PAUSE=seconds), for a screenshot
// from outside: first as opened, then with a genre being typed.
TEST_F(EditCDTest, ScreenshotPause) {
  const char* pause = std::getenv("CORVANE_SHOT_PAUSE");
  if (!pause) GTEST_SKIP() << "set CORVANE_SHOT_PAUSE to hold the dialog for screenshots";
  const DWORD ms = static_cast<DWORD>(std::atoi(pause)) * 1000;
  auto hold = [ms] {
    const DWORD end = ::GetTickCount() + ms;
    while (::GetTickCount() < end) {
      PumpPending();
      ::Sleep(20);
    }
  };
  g_cddbRecord.m_artist = L"Various Artists";
  Run([&hold](ScriptedEditCD& dlg) {
    dlg.SetWindowPos(nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    hold();
    HWND edit = ::GetWindow(dlg.m_comboGenre.m_hWnd, GW_CHILD);
    ::SetFocus(edit);
    dlg.m_comboGenre.SetEditSel(0, -1);
    for (const wchar_t* c = L"Pro"; *c; ++c) {
      MSG msg{edit, WM_KEYDOWN, static_cast<WPARAM>(towupper(*c)), 0};
      if (!CWnd::WalkPreTranslateTree(dlg.m_hWnd, &msg)) ::SendMessageW(edit, WM_CHAR, *c, 0);
    }
    hold();
    dlg.EndDialog(IDCANCEL);
  });
}

}  // namespace
