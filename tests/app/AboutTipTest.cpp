// The About box with its two links (opened through a recording shell, never a browser),
// the Tip of the Day over small tips files (comments, long lines, files without a tip,
// the start-up switch saved by OK only), and the main window's start-up tip.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "AboutDlg.h"
#include "TipDlg.h"
#include "VeltraskApp.h"
#include "VeltraskDlg.h"
#include "resource.h"
#include "tests/window/BoxDriver.h"
#include "tests/window/TestApp.h"
#include "uikit/HyperLink.h"

namespace {

std::vector<std::wstring> g_opened;

int RecordOpen(LPCWSTR url, int) {
  g_opened.push_back(url);
  return 42;
}
LONG NoClass(LPCWSTR, CString&) { return ERROR_FILE_NOT_FOUND; }
UINT NoExec(LPCSTR, int) { return 0; }
const HyperLinkShell kRecordingShell{RecordOpen, NoClass, NoExec};

// With CORVANE_SHOT_DIR set (tests/app/about-screenshots.sh), writes "<name>.ready" there
// and waits, the window shown, until the picture has been taken and the file removed.
void HoldForPicture(HWND box, const wchar_t* name) {
  const wchar_t* dir = _wgetenv(L"CORVANE_SHOT_DIR");
  if (!dir || !*dir) return;
  ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  const std::wstring ready = std::wstring(dir) + L"\\" + name + L".ready";
  FILE* f = _wfopen(ready.c_str(), L"w");
  if (!f) return;
  fclose(f);
  for (int i = 0; i < 3000 && ::GetFileAttributesW(ready.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
    ::Sleep(10);
}

void Click(HWND box, int id) { ::SendMessageW(::GetDlgItem(box, id), BM_CLICK, 0, 0); }

std::wstring ItemText(HWND dlg, int id) {
  wchar_t text[256] = L"";
  ::GetDlgItemTextW(dlg, id, text, 256);
  return text;
}

// A folder of its own under the temporary folder, removed with its files.
class TempFolder {
 public:
  TempFolder() {
    wchar_t temp[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, temp);
    wchar_t name[MAX_PATH] = L"";
    ::GetTempFileNameW(temp, L"tip", 0, name);
    ::DeleteFileW(name);
    ::CreateDirectoryW(name, nullptr);
    m_path = name;
  }
  ~TempFolder() {
    for (const wchar_t* file : {L"Tips.tip", L"Corvane.ini"})
      ::DeleteFileW((m_path + L"\\" + file).c_str());
    ::RemoveDirectoryW(m_path.c_str());
  }
  const std::wstring& Path() const { return m_path; }
  std::wstring File(const wchar_t* name) const { return m_path + L"\\" + name; }

 private:
  std::wstring m_path;
};

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

std::wstring IniTip(const std::wstring& ini) {
  wchar_t value[32] = L"";
  ::GetPrivateProfileStringW(L"MISC", L"Tip", L"<none>", value, 32, ini.c_str());
  return value;
}

CString LoadText(UINT id) {
  CString text;
  text.LoadString(id);
  return text;
}

// ---- About box ------------------------------------------------------------------------

class AboutBox : public ::testing::Test {
 protected:
  void SetUp() override {
    g_opened.clear();
    SetHyperLinkShell(&kRecordingShell);
  }
  void TearDown() override { SetHyperLinkShell(nullptr); }
};

TEST_F(AboutBox, ShowsNameVersionAndLinksThatOpenTheirTargets) {
  CAboutDlg dlg;
  ASSERT_TRUE(dlg.Create(IDD_ABOUTBOX));
  CString caption;
  dlg.GetWindowText(caption);
  EXPECT_EQ(caption, L"About Corvane");
  std::set<std::wstring> labels;
  for (HWND c = ::GetWindow(dlg, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    wchar_t text[256] = L"";
    ::GetWindowTextW(c, text, 256);
    labels.insert(text);
  }
  for (const wchar_t* label : {L"Corvane 6.3.7", L"Homepage:", L"Support:", L"OK"})
    EXPECT_TRUE(labels.count(label)) << label;
  EXPECT_EQ(dlg.GetDefID() & 0xFFFF, static_cast<DWORD>(IDOK));

  EXPECT_EQ(ItemText(dlg, IDC_ABOUT_HOMEPAGE), L"https://corvane.example/");
  EXPECT_EQ(ItemText(dlg, IDC_ABOUT_SUPPORT), L"support@corvane.example");
  EXPECT_EQ(dlg.m_homepageLink.m_hWnd, ::GetDlgItem(dlg, IDC_ABOUT_HOMEPAGE));
  EXPECT_EQ(dlg.m_supportLink.m_hWnd, ::GetDlgItem(dlg, IDC_ABOUT_SUPPORT));

  for (int id : {IDC_ABOUT_HOMEPAGE, IDC_ABOUT_SUPPORT}) {
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(id, STN_CLICKED),
                    reinterpret_cast<LPARAM>(::GetDlgItem(dlg, id)));
  }
  EXPECT_EQ(g_opened, (std::vector<std::wstring>{L"https://corvane.example/",
                                                 L"mailto:support@corvane.example"}));
  EXPECT_TRUE(dlg.m_homepageLink.IsVisited());
  dlg.DestroyWindow();
}

// The main window's About command runs the box modally; OK ends it.
TEST_F(AboutBox, AboutCommandRunsTheBoxUntilOK) {
  class Main : public CVeltraskDlg {
   public:
    using CVeltraskDlg::OnAbout;
  } main;
  std::wstring homepage;
  BoxDriver driver(L"About Corvane", [&](HWND box) {
    HoldForPicture(box, L"about");
    homepage = ItemText(box, IDC_ABOUT_HOMEPAGE);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  main.OnAbout();
  EXPECT_TRUE(driver.Found());
  EXPECT_EQ(homepage, L"https://corvane.example/");
}

// ---- Tip of the Day -------------------------------------------------------------------

class TipOfTheDay : public ::testing::Test {
 protected:
  void SetUp() override {
    g_strSettingsFolder = m_folder.Path().c_str();
    g_testApp.m_boxes.clear();
  }
  void TearDown() override { g_strSettingsFolder.Empty(); }

  // The tips shown by the dialog over a file: the first one and after each Next tip.
  std::vector<std::wstring> ShownTips(const std::string& file, int nexts) {
    WriteBytes(m_folder.File(L"Tips.tip"), file);
    CTipDlg dlg(nullptr, m_folder.File(L"Tips.tip").c_str());
    std::vector<std::wstring> shown;
    if (!dlg.Create(IDD_TIP)) return shown;
    shown.push_back(dlg.GetTip().GetString());
    for (int i = 0; i < nexts; ++i) {
      dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TIP_NEXT, BN_CLICKED),
                      reinterpret_cast<LPARAM>(::GetDlgItem(dlg, IDC_TIP_NEXT)));
      shown.push_back(dlg.GetTip().GetString());
    }
    dlg.DestroyWindow();
    return shown;
  }

  TempFolder m_folder;
};

TEST_F(TipOfTheDay, OnlyTipLinesAreShownInFileOrderRoundAndRound) {
  const std::string file =
      "; comment\n"
      "First tip\n"
      " indented line\n"
      "\tTAB line\n"
      "\n"
      "Second tip\r\n"
      ";Third is not a tip\n"
      "Third tip";  // no line end at the end of the file
  const std::vector<std::wstring> tips = {L"First tip\n", L"Second tip\n", L"Third tip"};
  const std::vector<std::wstring> shown = ShownTips(file, 7);
  ASSERT_EQ(shown.size(), 8u);
  size_t at = 0;
  while (at < tips.size() && tips[at] != shown[0]) ++at;
  ASSERT_LT(at, tips.size()) << "not a tip: " << testing::PrintToString(shown[0]);
  for (const std::wstring& tip : shown) {
    EXPECT_EQ(tip, tips[at]);
    at = (at + 1) % tips.size();
  }
}

TEST_F(TipOfTheDay, OneTipAmongCommentsIsAlwaysShown) {
  for (const std::wstring& tip : ShownTips("; a\nThe only tip\n  ; b\n;c\n", 4))
    EXPECT_EQ(tip, L"The only tip\n");
}

TEST_F(TipOfTheDay, LongLineComesInPiecesOf999Characters) {
  const std::string longLine = std::string(999, 'a') + std::string(600, 'b') + "\n";
  const std::vector<std::wstring> shown = ShownTips(longLine, 3);
  const std::wstring first(999, L'a'), second = std::wstring(600, L'b') + L"\n";
  for (size_t i = 0; i + 1 < shown.size(); ++i) {
    EXPECT_TRUE(shown[i] == first || shown[i] == second) << shown[i].size();
    EXPECT_NE(shown[i], shown[i + 1]) << "the pieces alternate";
  }
}

TEST_F(TipOfTheDay, FileWithoutATipGivesUpInsteadOfLoopingForEver) {
  const std::wstring trouble = LoadText(IDS_TIP_FILE_CORRUPT).GetString();
  for (const char* file : {"", "; only\n; comments\n\n  indented\n"}) {
    SCOPED_TRACE(file);
    for (const std::wstring& tip : ShownTips(file, 2)) EXPECT_EQ(tip, trouble);
  }
  EXPECT_TRUE(g_testApp.m_boxes.empty());
}

TEST_F(TipOfTheDay, MissingTipsFileShowsNothing) {
  CTipDlg dlg(nullptr, m_folder.File(L"none.tip").c_str());
  EXPECT_EQ(dlg.GetTip(), LoadText(IDS_TIP_FILE_ABSENT));
  BoxDriver driver(
      L"Tip of the Day", [](HWND box) { ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0); }, 1500);
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_FALSE(driver.Found());
  EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST_F(TipOfTheDay, StartupSwitchIsSavedByOKOnly) {
  WriteBytes(m_folder.File(L"Tips.tip"), "A tip\n");
  const std::wstring ini = m_folder.File(L"Corvane.ini");
  struct Case {
    const char* iniBefore;
    bool toggle;
    int closeWith;
    bool checkedAtStart;
    const wchar_t* iniAfter;
  };
  const Case cases[] = {
      {"", true, IDOK, true, L"0"},
      {"", false, IDOK, true, L"1"},
      {"[MISC]\r\nTip=0\r\n", true, IDOK, false, L"1"},
      {"[MISC]\r\nTip=1\r\n", true, IDCANCEL, true, L"1"},
      {"", true, IDCANCEL, true, L"<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.iniBefore << c.toggle << c.closeWith);
    ::DeleteFileW(ini.c_str());
    if (*c.iniBefore) WriteBytes(ini, c.iniBefore);
    CTipDlg dlg(nullptr, m_folder.File(L"Tips.tip").c_str());
    bool checked = false;
    BoxDriver driver(L"Tip of the Day", [&](HWND box) {
      checked = ::IsDlgButtonChecked(box, IDC_TIP_STARTUP) == BST_CHECKED;
      if (c.toggle) Click(box, IDC_TIP_STARTUP);
      if (c.closeWith == IDOK) {
        Click(box, IDOK);
      } else {
        ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
      }
    });
    EXPECT_EQ(dlg.DoModal(), c.closeWith);
    EXPECT_TRUE(driver.Found());
    EXPECT_EQ(checked, c.checkedAtStart);
    EXPECT_EQ(IniTip(ini), c.iniAfter);
  }
  EXPECT_TRUE(g_testApp.m_boxes.empty());
}

TEST_F(TipOfTheDay, UnwritableSettingsFolderIsReported) {
  WriteBytes(m_folder.File(L"Tips.tip"), "A tip\n");
  g_strSettingsFolder = (m_folder.Path() + L"\\missing").c_str();
  CTipDlg dlg(nullptr, m_folder.File(L"Tips.tip").c_str());
  BoxDriver driver(L"Tip of the Day", [](HWND box) { Click(box, IDOK); });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_TRUE(driver.Found());
  ASSERT_EQ(g_testApp.m_boxes.size(), 1u);
  EXPECT_NE(g_testApp.m_boxes[0].Find(L"could not be saved"), -1);
  EXPECT_NE(g_testApp.m_boxes[0].Find(m_folder.Path().c_str()), -1);
}

// The main window's first timer tick shows the tip from the installed tips file once,
// and only when MISC Tip is on.
TEST_F(TipOfTheDay, StartupTipShowsOnceWhenSwitchedOn) {
  class Main : public CVeltraskDlg {
   public:
    using CVeltraskDlg::OnTimer;
  } main;
  const std::wstring ini = m_folder.File(L"Corvane.ini");
  struct Case {
    const char* iniBefore;
    bool shown;
    BOOL pendingAfter;
  };
  g_bTipPending = TRUE;
  for (const Case c :
       {Case{"[MISC]\r\nTip=0\r\n", false, TRUE}, Case{"", true, FALSE}, Case{"", false, FALSE}}) {
    SCOPED_TRACE(c.iniBefore);
    ::DeleteFileW(ini.c_str());
    if (*c.iniBefore) WriteBytes(ini, c.iniBefore);
    BoxDriver driver(
        L"Tip of the Day",
        [&](HWND box) {
          HoldForPicture(box, L"tip");
          ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
        },
        c.shown ? 10000 : 1500);
    main.OnTimer(1);
    EXPECT_EQ(driver.Found(), c.shown);
    EXPECT_EQ(g_bTipPending.load(), c.pendingAfter);
  }
}

}  // namespace
