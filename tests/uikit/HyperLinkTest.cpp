// The link control on statics of a real dialog: target and text, fitting to the text,
// colours and underline by state, the tooltip, clicks through a recording shell (no
// browser ever opens), the browser fall-back's command line and the error texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/win/Win.h"
#include "tests/window/TestApp.h"
#include "uikit/HyperLink.h"

namespace {

constexpr UINT kDialogId = 100;

// What OpenTarget did, and what the fake system answers.
struct ShellLog {
  int shellResult = 42;
  std::vector<std::pair<std::wstring, std::wstring>> classes;  // key, default value
  UINT execResult = 33;
  std::vector<std::wstring> opened;
  std::vector<std::wstring> keysRead;
  std::vector<std::string> executed;
} g_shell;

int FakeShellExecute(LPCWSTR url, int showCmd) {
  EXPECT_EQ(showCmd, SW_SHOW);
  g_shell.opened.push_back(url);
  return g_shell.shellResult;
}
LONG FakeRead(LPCWSTR subKey, CString& value) {
  g_shell.keysRead.push_back(subKey);
  for (const auto& [key, data] : g_shell.classes) {
    if (key == subKey) {
      value = data.c_str();
      return ERROR_SUCCESS;
    }
  }
  return ERROR_FILE_NOT_FOUND;
}
UINT FakeWinExec(LPCSTR command, int) {
  g_shell.executed.push_back(command);
  return g_shell.execResult;
}
const HyperLinkShell kFakeShell{FakeShellExecute, FakeRead, FakeWinExec};

class LinkDialog : public CDialog {
 public:
  LinkDialog() : CDialog(kDialogId) {}
  CHyperLink links[5];
  CString presetTarget;  // given to the empty static before it is subclassed

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    if (!presetTarget.IsEmpty() && !links[4].m_hWnd) links[4].SetTarget(presetTarget);
    for (int i = 0; i < 5; ++i) DDX_Control(pDX, 1001 + i, links[i]);
  }
};

CRect ParentRect(CWnd& dlg, CWnd& control) {
  CRect rect;
  control.GetWindowRect(&rect);
  dlg.ScreenToClient(&rect);
  return rect;
}

CSize UnderlinedExtent(CWnd& control) {
  CString text;
  control.GetWindowText(text);
  LOGFONTW lf{};
  ::GetObjectW(control.GetFontHandle(), sizeof(lf), &lf);
  lf.lfUnderline = 1;
  CFont font;
  font.CreateFontIndirect(&lf);
  CClientDC dc(&control);
  CFont* old = dc.SelectObject(&font);
  const CSize extent = dc.GetTextExtent(text);
  dc.SelectObject(old);
  return extent;
}

bool Underlined(CWnd& control) {
  LOGFONTW lf{};
  ::GetObjectW(control.GetFontHandle(), sizeof(lf), &lf);
  return lf.lfUnderline != 0;
}

// The text colour the dialog's colour message gives the link.
COLORREF TextColour(CWnd& dlg, CWnd& control) {
  CClientDC dc(&control);
  dc.SetTextColor(RGB(1, 2, 3));
  const LRESULT brush = dlg.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.m_hDC),
                                        reinterpret_cast<LPARAM>(control.m_hWnd));
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), ::GetStockObject(NULL_BRUSH));
  EXPECT_EQ(dc.GetBkMode(), TRANSPARENT);
  return dc.GetTextColor();
}

struct TooltipSearch {
  HWND control;
  std::wstring text;
  bool found;
};

BOOL CALLBACK AskTooltip(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<TooltipSearch*>(param);
  wchar_t cls[64] = L"";
  ::GetClassNameW(hwnd, cls, 64);
  if (wcscmp(cls, TOOLTIPS_CLASSW) != 0) return TRUE;
  wchar_t text[256] = L"";
  TOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = search->control;
  ti.uId = 1;
  ti.lpszText = text;
  if (!::SendMessageW(hwnd, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti))) return TRUE;
  ti.lpszText = text;
  ::SendMessageW(hwnd, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
  search->text = text;
  search->found = true;
  return FALSE;
}

// The text of tool 1 of the control, from whichever tooltip of this thread has it.
std::wstring TooltipText(CWnd& control) {
  TooltipSearch search{control.m_hWnd, L"", false};
  ::EnumThreadWindows(::GetCurrentThreadId(), AskTooltip, reinterpret_cast<LPARAM>(&search));
  return search.found ? search.text : L"<no tooltip>";
}

class HyperLink : public ::testing::Test {
 protected:
  void SetUp() override {
    g_shell = ShellLog();
    SetHyperLinkShell(&kFakeShell);
    g_testApp.m_boxes.clear();
    dlg.presetTarget = L"https://preset.example/";
    ASSERT_TRUE(dlg.Create(kDialogId));
    dlg.ShowWindow(SW_SHOW);
    PumpPending();
  }
  void TearDown() override {
    dlg.DestroyWindow();
    SetHyperLinkShell(nullptr);
  }
  LinkDialog dlg;
};

TEST_F(HyperLink, TargetAndTextFillEachOtherAndTheTooltipShowsTheTarget) {
  EXPECT_EQ(dlg.links[0].GetTarget(), L"https://left.example/");  // the text
  CString text;
  dlg.links[4].GetWindowText(text);
  EXPECT_EQ(text, L"https://preset.example/");  // empty static shows the target
  EXPECT_EQ(dlg.links[2].GetTarget(), L"right");
  for (CHyperLink& link : dlg.links) EXPECT_TRUE(link.GetStyle() & SS_NOTIFY);

  EXPECT_EQ(TooltipText(dlg.links[0]), L"https://left.example/");
  // A new target on a live link: tooltip follows, text stays.
  dlg.links[2].SetTarget(L"mailto:someone@corvane.example");
  EXPECT_EQ(TooltipText(dlg.links[2]), L"mailto:someone@corvane.example");
  dlg.links[2].GetWindowText(text);
  EXPECT_EQ(text, L"right");
}

TEST_F(HyperLink, FittedToTheTextKeepingItsAlignment) {
  // Template rectangles in pixels, before fitting.
  struct Case {
    int index;
    RECT templateDlu;
    enum { kLeft, kCentre, kRight } anchor;
    bool middle;
  };
  const Case cases[] = {
      {0, {10, 10, 210, 22}, Case::kLeft, false},
      {1, {10, 30, 210, 42}, Case::kCentre, false},
      {2, {10, 50, 210, 62}, Case::kRight, false},
      {3, {10, 70, 210, 94}, Case::kLeft, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    CRect before = c.templateDlu;
    dlg.MapDialogRect(&before);
    const CRect after = ParentRect(dlg, dlg.links[c.index]);
    const CSize extent = UnderlinedExtent(dlg.links[c.index]);
    EXPECT_EQ(after.Width(), extent.cx);  // no border on these statics
    EXPECT_EQ(after.Height(), extent.cy);
    EXPECT_LT(after.Width(), before.Width());
    switch (c.anchor) {
      case Case::kLeft:
        EXPECT_EQ(after.left, before.left);
        break;
      case Case::kCentre:
        EXPECT_NEAR(after.CenterPoint().x, before.CenterPoint().x, 1);
        break;
      case Case::kRight:
        EXPECT_EQ(after.right, before.right);
        break;
    }
    if (c.middle) {
      EXPECT_NEAR(after.CenterPoint().y, before.CenterPoint().y, 1);
    } else {
      EXPECT_EQ(after.top, before.top);
    }
  }
}

TEST_F(HyperLink, UnderlineFollowsTheMouseByMode) {
  CHyperLink& link = dlg.links[0];
  CRect rect;
  link.GetWindowRect(&rect);
  const CPoint inside = rect.CenterPoint();
  const CPoint outside(rect.right + 40, rect.bottom + 40);

  struct Case {
    int mode;
    bool atRest, hovered;
  };
  for (const Case c : {Case{-1, false, true}, Case{1, true, true}, Case{0, false, false}}) {
    SCOPED_TRACE(c.mode);
    link.SetUnderline(c.mode);
    EXPECT_EQ(Underlined(link), c.atRest);
    ::SetCursorPos(inside.x, inside.y);
    link.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(Underlined(link), c.hovered);
    EXPECT_EQ(TextColour(dlg, link), RGB(255, 0, 0));
    // Still over it: the timer keeps the hover.
    ::Sleep(250);
    PumpPending();
    EXPECT_EQ(TextColour(dlg, link), RGB(255, 0, 0));
    ::SetCursorPos(outside.x, outside.y);
    EXPECT_TRUE(PumpUntil([&] { return TextColour(dlg, link) == RGB(0, 0, 238); }, 3000))
        << "the hover did not end after the mouse left";
    EXPECT_EQ(Underlined(link), c.atRest);
  }
}

TEST_F(HyperLink, ClickOpensTheTargetAndMarksTheLinkVisited) {
  CHyperLink& link = dlg.links[1];
  EXPECT_EQ(TextColour(dlg, link), RGB(0, 0, 238));
  link.SetTarget(L"https://click.example/");
  // A real click on the static: it reports it because the link made it notify.
  link.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  link.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  PumpPending();
  ASSERT_EQ(g_shell.opened, (std::vector<std::wstring>{L"https://click.example/"}));
  EXPECT_TRUE(link.IsVisited());
  EXPECT_EQ(TextColour(dlg, link), RGB(85, 26, 139));
  EXPECT_TRUE(g_testApp.m_boxes.empty());

  // A later failure shows the box but the link stays visited.
  g_shell.shellResult = 31;
  dlg.SendMessage(WM_COMMAND, MAKEWPARAM(1002, STN_CLICKED), reinterpret_cast<LPARAM>(link.m_hWnd));
  EXPECT_TRUE(link.IsVisited());
  ASSERT_EQ(g_testApp.m_boxes.size(), 1u);
}

TEST_F(HyperLink, FailedOpenShowsTheErrorAndLeavesTheLinkUnvisited) {
  g_shell.shellResult = 31;  // and no ".htm" class
  CHyperLink& link = dlg.links[0];
  dlg.SendMessage(WM_COMMAND, MAKEWPARAM(1001, STN_CLICKED), reinterpret_cast<LPARAM>(link.m_hWnd));
  EXPECT_FALSE(link.IsVisited());
  EXPECT_EQ(TextColour(dlg, link), RGB(0, 0, 238));
  EXPECT_TRUE(g_shell.executed.empty());
  ASSERT_EQ(g_testApp.m_boxes.size(), 1u);
  EXPECT_EQ(g_testApp.m_boxes[0],
            L"Unable to open hyperlink:\n\nThere is no application associated\nwith the given "
            L"filename extension.");
  EXPECT_EQ(g_testApp.m_lastType, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
}

TEST(HyperLinkOpen, FallsBackToTheRegisteredBrowser) {
  struct Case {
    const wchar_t* name;
    int shellResult;
    std::vector<std::pair<std::wstring, std::wstring>> classes;
    std::vector<std::string> executed;
    int result;
  };
  const std::pair<std::wstring, std::wstring> htm{L".htm", L"htmlfile"};
  const wchar_t* key = L"htmlfile\\shell\\open\\command";
  const Case cases[] = {
      {L"shell opens it", 42, {htm, {key, L"browser \"%1\""}}, {}, 42},
      {L"no .htm class", 31, {}, {}, 31},
      {L"no open command", 2, {htm}, {}, 2},
      {L"quoted placeholder",
       31,
       {htm, {key, L"\"C:\\Web\\browser.exe\" -new \"%1\" -x"}},
       {"\"C:\\Web\\browser.exe\" -new  https://a.example/?q=1"},
       33},
      {L"bare placeholder",
       31,
       {htm, {key, L"C:\\browser.exe %1"}},
       {"C:\\browser.exe  https://a.example/?q=1"},
       33},
      {L"no placeholder",
       31,
       {htm, {key, L"C:\\browser.exe"}},
       {"C:\\browser.exe https://a.example/?q=1"},
       33},
  };
  SetHyperLinkShell(&kFakeShell);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_shell = ShellLog();
    g_shell.shellResult = c.shellResult;
    g_shell.classes = c.classes;
    EXPECT_EQ(OpenTarget(L"https://a.example/?q=1", SW_SHOW), c.result);
    EXPECT_EQ(g_shell.executed, c.executed);
  }
  SetHyperLinkShell(nullptr);
}

TEST(HyperLinkOpen, ErrorTexts) {
  struct Case {
    int code;
    const wchar_t* text;
  };
  for (const Case c : {
           Case{0, L"The operating system is out\nof memory or resources."},
           Case{2, L"The specified file was not found."},
           Case{26, L"A sharing violation occurred. "},
           Case{30,
                L"The DDE transaction could not\nbe completed because other DDE "
                L"transactions\nwere being processed."},
           Case{32, L"The specified dynamic-link library was not found."},
           Case{4, L"Unknown Error (4) occurred."},
           Case{-7, L"Unknown Error (-7) occurred."},
       }) {
    EXPECT_EQ(OpenErrorText(c.code), c.text) << c.code;
  }
}

}  // namespace
