// The percentage layout on a real window with real child controls: rectangles
// after a resize, the class rules for clipping and repainting, the controls'
// own answers, callback records, the erase region, the grip's show reasons,
// the tracking limits, the placement string and a resizable page in a sheet.
#include <gtest/gtest.h>

#include <memory>

#include "framework/win/WinApp.h"
#include "uikit/ResizablePage.h"

namespace {

CWinApp g_app(L"CorvaneLayoutTest");

struct Init {
  Init() { AfxWinInit(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL); }
} g_init;

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

class CLayoutHost : public CWnd, public CResizableLayout {
 public:
  using CResizableLayout::CanClipControl;
  using CResizableLayout::ControlNeedsRepaint;
  using CResizableLayout::m_anchors;

  // Callback record 5 is filled with m_callbackWnd while it is set.
  HWND m_callbackWnd = nullptr;

 protected:
  CWnd* GetLayoutWindow() override { return this; }
  BOOL UpdateCallbackAnchor(LayoutInfo& info) override {
    if (info.callbackId != 5 || !m_callbackWnd) return FALSE;
    info.hWnd = m_callbackWnd;
    info.className = L"Static";
    info.anchorTopLeft = kAnchorTopLeft;
    info.anchorBottomRight = kAnchorBottomRight;
    info.marginTopLeft = {10, 10};
    info.marginBottomRight = {-10, -10};
    info.properties = {FALSE, FALSE, TRUE, FALSE};
    return TRUE;
  }
};

RECT RectIn(HWND parent, HWND child) {
  RECT rc;
  ::GetWindowRect(child, &rc);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<LPPOINT>(&rc), 2);
  return rc;
}

::testing::AssertionResult SameRect(const RECT& a, const RECT& b) {
  if (::EqualRect(&a, &b)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "(" << a.left << "," << a.top << "," << a.right << "," << a.bottom << ") expected ("
         << b.left << "," << b.top << "," << b.right << "," << b.bottom << ")";
}

// Counts the position changes a control is asked for.
LRESULT CALLBACK CountingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR counter) {
  if (message == WM_WINDOWPOSCHANGING) ++*reinterpret_cast<int*>(counter);
  return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

// Answers the layout's questions: properties (clipping asked each time),
// clipping from dwRef's bit 0, repaint from bit 1.
LRESULT CALLBACK AnsweringProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR answers) {
  if (message == WMU_RESIZESUPPORT) {
    switch (wParam) {
      case RSZSUP_QUERYPROPERTIES:
        *reinterpret_cast<RESIZEPROPERTIES*>(lParam) = {TRUE, TRUE, FALSE, FALSE};
        return TRUE;
      case RSZSUP_LIKESCLIPPING:
        *reinterpret_cast<BOOL*>(lParam) = (answers & 1) != 0;
        return TRUE;
      case RSZSUP_NEEDSREFRESH:
        reinterpret_cast<REFRESHPROPERTY*>(lParam)->needsRepaint = (answers & 2) != 0;
        return TRUE;
      default:
        break;
    }
  }
  return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

LRESULT CALLBACK TransparentHitProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR) {
  if (message == WM_NCHITTEST) return HTTRANSPARENT;
  return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

class LayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host = std::make_unique<CLayoutHost>();
    LPCTSTR cls = AfxRegisterWndClass(0, nullptr, ::GetSysColorBrush(COLOR_BTNFACE));
    ASSERT_TRUE(host->CreateEx(0, cls, L"layout", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 20, 20,
                               400, 300, nullptr, nullptr));
  }
  void TearDown() override {
    if (host && host->m_hWnd) host->DestroyWindow();
    host.reset();
  }
  HWND Child(LPCWSTR cls, DWORD style, RECT rc) {
    return ::CreateWindowExW(0, cls, L"text", WS_CHILD | WS_VISIBLE | style, rc.left, rc.top,
                             rc.right - rc.left, rc.bottom - rc.top, host->m_hWnd, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
  }
  void Resize(int w, int h) {
    host->SetWindowPos(nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  std::unique_ptr<CLayoutHost> host;
};

TEST_F(LayoutTest, AnchorsKeepTheirPercentagePointsAndMargins) {
  struct Case {
    const char* name;
    RECT start;
    SIZE topLeft, bottomRight;
    RECT at600x450;
  };
  const Case cases[] = {
      {"all four sides",
       {10, 20, 390, 280},
       kAnchorTopLeft,
       kAnchorBottomRight,
       {10, 20, 590, 430}},
      {"centred, own size", {150, 10, 250, 30}, {50, 0}, kAnchorNone, {250, 10, 350, 30}},
      {"lower right corner",
       {300, 250, 390, 290},
       kAnchorBottomRight,
       kAnchorNone,
       {500, 400, 590, 440}},
      {"bottom strip",
       {0, 270, 400, 300},
       kAnchorBottomLeft,
       kAnchorBottomRight,
       {0, 420, 600, 450}},
      // 33% of 400 is 132 and of 600 is 198: truncated, not rounded.
      {"a third across", {140, 0, 160, 10}, {33, 0}, {33, 0}, {206, 0, 226, 10}},
  };
  std::vector<HWND> controls;
  for (const Case& c : cases) {
    controls.push_back(Child(L"Static", SS_LEFT, c.start));
    host->AnchorControl(controls.back(), c.topLeft, c.bottomRight);
  }
  Resize(600, 450);
  host->ApplyLayout();
  for (size_t i = 0; i < controls.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_TRUE(SameRect(RectIn(host->m_hWnd, controls[i]), cases[i].at600x450));
  }
  // And back: the margins stay what they were at registration.
  Resize(400, 300);
  host->ApplyLayout();
  for (size_t i = 0; i < controls.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_TRUE(SameRect(RectIn(host->m_hWnd, controls[i]), cases[i].start));
  }
}

TEST_F(LayoutTest, UnchangedControlsAreNotTouchedAndCallbackRecordsAreFilledAtEachUse) {
  int fixedMoves = 0, cornerMoves = 0;
  HWND fixed = Child(L"Static", SS_LEFT, {10, 10, 60, 30});
  HWND corner = Child(L"Static", SS_LEFT, {300, 250, 390, 290});
  ::SetWindowSubclass(fixed, &CountingProc, 1, reinterpret_cast<DWORD_PTR>(&fixedMoves));
  ::SetWindowSubclass(corner, &CountingProc, 1, reinterpret_cast<DWORD_PTR>(&cornerMoves));
  host->AnchorControl(fixed, kAnchorTopLeft);
  host->AnchorControl(corner, kAnchorBottomRight);
  HWND filled = Child(L"Static", SS_LEFT, {0, 0, 5, 5});
  host->AddCallbackRecord(5);

  Resize(500, 400);
  host->ApplyLayout();
  EXPECT_EQ(fixedMoves, 0);
  EXPECT_GE(cornerMoves, 1);
  // Unfilled: left out.
  EXPECT_TRUE(SameRect(RectIn(host->m_hWnd, filled), {0, 0, 5, 5}));
  host->m_callbackWnd = filled;
  host->ApplyLayout();
  EXPECT_TRUE(SameRect(RectIn(host->m_hWnd, filled), {10, 10, 490, 390}));
  ::RemoveWindowSubclass(fixed, &CountingProc, 1);
  ::RemoveWindowSubclass(corner, &CountingProc, 1);
}

TEST_F(LayoutTest, ClassRulesDecideWhichControlsTheEraseLeavesOut) {
  struct Case {
    const char* name;
    LPCWSTR cls;
    DWORD style;
    BOOL clip;
  };
  const Case cases[] = {
      {"plain toolbar", TOOLBARCLASSNAMEW, CCS_NORESIZE | CCS_NOPARENTALIGN, TRUE},
      {"transparent toolbar", TOOLBARCLASSNAMEW,
       CCS_NORESIZE | CCS_NOPARENTALIGN | TBSTYLE_TRANSPARENT, FALSE},
      {"push button", L"Button", BS_PUSHBUTTON, TRUE},
      {"group box", L"Button", BS_GROUPBOX, FALSE},
      {"owner-draw button", L"Button", BS_OWNERDRAW, TRUE},
      {"left text", L"Static", SS_LEFT, TRUE},
      {"icon", L"Static", SS_ICON, TRUE},
      {"centred icon", L"Static", SS_ICON | SS_CENTERIMAGE, FALSE},
      {"black frame", L"Static", SS_BLACKFRAME, FALSE},
      {"owner-draw static", L"Static", SS_OWNERDRAW, FALSE},
      {"etched horizontal line", L"Static", SS_ETCHEDHORZ, TRUE},
      {"etched frame", L"Static", SS_ETCHEDFRAME, FALSE},
      {"edit", L"Edit", 0, TRUE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND control = Child(c.cls, c.style, {10, 10, 110, 40});
    ASSERT_NE(control, nullptr);
    host->AnchorControl(control, kAnchorTopLeft);
    const LayoutInfo* info = host->FindAnchor(control);
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(info->answersResizeSupport);
    EXPECT_FALSE(info->properties.askClipping);
    EXPECT_EQ(info->properties.cachedClipping, c.clip);
    ::DestroyWindow(control);
  }
  // An owner-draw button that lets clicks through is painted over.
  HWND seeThrough = Child(L"Button", BS_OWNERDRAW, {10, 10, 110, 40});
  ::SetWindowSubclass(seeThrough, &TransparentHitProc, 1, 0);
  host->AnchorControl(seeThrough, kAnchorTopLeft);
  EXPECT_FALSE(host->FindAnchor(seeThrough)->properties.cachedClipping);
  ::RemoveWindowSubclass(seeThrough, &TransparentHitProc, 1);
}

TEST_F(LayoutTest, EraseRegionCutsOutClippedControlsAndHonoursTheirOwnAnswer) {
  HWND button = Child(L"Button", BS_PUSHBUTTON, {10, 10, 60, 40});
  HWND group = Child(L"Button", BS_GROUPBOX, {100, 10, 200, 80});
  HWND hidden = Child(L"Button", BS_PUSHBUTTON, {250, 10, 300, 40});
  ::ShowWindow(hidden, SW_HIDE);
  DWORD_PTR answers = 0;  // says "do not clip me", asked at every erase
  HWND answering = Child(L"Button", BS_PUSHBUTTON, {10, 100, 60, 140});
  ::SetWindowSubclass(answering, &AnsweringProc, 1, answers);
  for (HWND h : {button, group, hidden, answering}) host->AnchorControl(h, kAnchorTopLeft);
  EXPECT_TRUE(host->FindAnchor(answering)->answersResizeSupport);

  CRgn region;
  host->BuildClipRegion(&region);
  EXPECT_FALSE(::PtInRegion(region, 30, 20));   // push button: cut out
  EXPECT_TRUE(::PtInRegion(region, 150, 50));   // group box: painted over
  EXPECT_TRUE(::PtInRegion(region, 270, 20));   // hidden: not a control of the erase
  EXPECT_TRUE(::PtInRegion(region, 30, 120));   // its own answer: no clipping
  EXPECT_TRUE(::PtInRegion(region, 350, 250));  // plain background

  ::SetWindowSubclass(answering, &AnsweringProc, 1, 1);  // now it asks to be clipped
  host->BuildClipRegion(&region);
  EXPECT_FALSE(::PtInRegion(region, 30, 120));
  ::RemoveWindowSubclass(answering, &AnsweringProc, 1);
}

TEST_F(LayoutTest, RepaintRulesFollowWhatTheContentDependsOn) {
  struct Case {
    const char* name;
    LPCWSTR cls;
    DWORD style;
    int dW, dH;
    BOOL repaint;
  };
  const Case cases[] = {
      {"left text, wider", L"Static", SS_LEFT, 20, 0, TRUE},
      {"left text, taller", L"Static", SS_LEFT, 0, 20, FALSE},
      {"left text, centred image, taller", L"Static", SS_LEFT | SS_CENTERIMAGE, 0, 20, TRUE},
      {"right text, narrower", L"Static", SS_RIGHT, -20, 0, TRUE},
      {"no word wrap, wider", L"Static", SS_LEFTNOWORDWRAP, 20, 0, FALSE},
      {"no word wrap with ellipsis, wider", L"Static", SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS, 20, 0,
       TRUE},
      {"icon, taller", L"Static", SS_ICON, 0, 20, TRUE},
      {"etched horizontal, wider", L"Static", SS_ETCHEDHORZ, 20, 0, FALSE},
      {"left text, moved only", L"Static", SS_LEFT, 0, 0, FALSE},
      {"edit, wider", L"Edit", 0, 20, 0, FALSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND control = Child(c.cls, c.style, {10, 10, 110, 40});
    host->AnchorControl(control, kAnchorTopLeft);
    const LayoutInfo& info = *host->FindAnchor(control);
    const RECT before{10, 10, 110, 40};
    const RECT after{30, 30, 130 + c.dW, 60 + c.dH};
    EXPECT_EQ(host->ControlNeedsRepaint(info, before, after), c.repaint);
    ::DestroyWindow(control);
  }

  // A control's own answer wins over the class rules.
  HWND answering = Child(L"Static", SS_LEFT, {10, 10, 110, 40});
  ::SetWindowSubclass(answering, &AnsweringProc, 1, 0);
  host->AnchorControl(answering, kAnchorTopLeft);
  EXPECT_FALSE(host->ControlNeedsRepaint(*host->FindAnchor(answering), {10, 10, 110, 40},
                                         {10, 10, 150, 40}));
  ::RemoveWindowSubclass(answering, &AnsweringProc, 1);
}

TEST_F(LayoutTest, AListBoxGrowingWiderRepaintsWhenItsScrollRangeNoLongerCoversTheGrowth) {
  HWND list = Child(L"ListBox", WS_HSCROLL | LBS_NOINTEGRALHEIGHT, {10, 10, 210, 110});
  ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"a long line"));
  ::SendMessageW(list, LB_SETHORIZONTALEXTENT, 400, 0);
  host->AnchorControl(list, kAnchorTopLeft);
  const LayoutInfo& info = *host->FindAnchor(list);
  SCROLLINFO si{sizeof(si), SIF_ALL};
  ASSERT_TRUE(::GetScrollInfo(list, SB_HORZ, &si));
  const int maxPos = si.nMax - static_cast<int>(si.nPage) + 1;
  ASSERT_GT(maxPos, 50);
  const RECT before{10, 10, 210, 110};
  // At position 0 a small growth stays within the range.
  EXPECT_FALSE(host->ControlNeedsRepaint(info, before, {10, 10, 220, 110}));
  // Scrolled to the end, any growth uncovers the far side.
  ::SendMessageW(list, WM_HSCROLL, MAKEWPARAM(SB_RIGHT, 0), 0);
  EXPECT_TRUE(host->ControlNeedsRepaint(info, before, {10, 10, 220, 110}));
  // Narrower never needs it.
  EXPECT_FALSE(host->ControlNeedsRepaint(info, before, {10, 10, 200, 110}));
}

class CGripHost : public CWnd, public CResizableGrip {
 protected:
  CWnd* GetResizableWnd() override { return this; }
};

TEST(ResizableGrip, ShownWhileAnyReasonHolds) {
  CGripHost host;
  LPCTSTR cls = AfxRegisterWndClass(0, nullptr, ::GetSysColorBrush(COLOR_BTNFACE));
  ASSERT_TRUE(host.CreateEx(0, cls, L"grip", WS_POPUP | WS_VISIBLE | WS_THICKFRAME, 0, 0, 300, 200,
                            nullptr, nullptr));
  ASSERT_TRUE(host.CreateGrip(FALSE, TRUE));
  auto shown = [&] { return (host.GetGrip().GetStyle() & WS_VISIBLE) != 0; };
  EXPECT_FALSE(shown());
  DWORD reasons = 0;
  host.AddGripShowReason(&reasons, 1);
  host.AddGripShowReason(&reasons, 2);
  host.AddGripShowReason(&reasons, 2);  // already there: counts once
  host.PlaceGrip();
  EXPECT_TRUE(shown());
  host.RemoveGripShowReason(&reasons, 1);
  host.PlaceGrip();
  EXPECT_TRUE(shown());
  host.RemoveGripShowReason(&reasons, 1);  // not there: no change
  host.RemoveGripShowReason(&reasons, 2);
  host.PlaceGrip();
  EXPECT_FALSE(shown());
  EXPECT_EQ(reasons, 0u);

  // In the lower right corner of the client area.
  host.SetGripVisible(TRUE);
  host.PlaceGrip();
  RECT client, grip;
  host.GetClientRect(&client);
  grip = RectIn(host.m_hWnd, host.GetGrip().m_hWnd);
  EXPECT_EQ(grip.right, client.right);
  EXPECT_EQ(grip.bottom, client.bottom);
  host.DestroyWindow();
}

TEST(ResizableMinMax, AppliesOnlyTheLimitsThatWereSet) {
  CResizableMinMax limits;
  MINMAXINFO mmi{};
  mmi.ptMinTrackSize = {1, 2};
  mmi.ptMaxTrackSize = {3, 4};
  mmi.ptMaxPosition = {5, 6};
  limits.ApplyMinMax(&mmi);
  EXPECT_EQ(mmi.ptMinTrackSize.x, 1);
  EXPECT_EQ(mmi.ptMaxTrackSize.y, 4);
  limits.SetMinTrack({200, 150});
  limits.ApplyMinMax(&mmi);
  EXPECT_EQ(mmi.ptMinTrackSize.x, 200);
  EXPECT_EQ(mmi.ptMinTrackSize.y, 150);
  EXPECT_EQ(mmi.ptMaxTrackSize.x, 3);
  limits.SetMaxTrack({900, 700});
  limits.ApplyMinMax(&mmi);
  EXPECT_EQ(mmi.ptMaxTrackSize.x, 900);
  EXPECT_EQ(mmi.ptMaxPosition.x, 5);
}

class CStateHost : public CWnd, public CResizableState {
 protected:
  CWnd* GetResizableWnd() override { return this; }
};

TEST(ResizableState, StoresThePlacementAsText) {
  g_app.SetRegistryKey(L"Corvane Tests");
  CStateHost host;
  LPCTSTR cls = AfxRegisterWndClass(0);
  ASSERT_TRUE(
      host.CreateEx(0, cls, L"state", WS_POPUP | WS_VISIBLE, 30, 40, 200, 100, nullptr, nullptr));
  ASSERT_TRUE(host.StorePlacementString(L"LayoutState", TRUE));
  EXPECT_EQ(g_app.GetProfileString(L"LayoutState", L"WindowPlacement"), L"30,40,230,140,1,0");
  ASSERT_TRUE(host.StorePlacementString(L"LayoutState", FALSE));
  CString full = g_app.GetProfileString(L"LayoutState", L"WindowPlacement");
  EXPECT_EQ(full.Left(15), L"30,40,230,140,1");
  g_app.WriteProfileString(L"LayoutState", nullptr, nullptr);
  host.DestroyWindow();
}

// A page template built in memory: one edit control.
struct PageTemplate {
  DLGTEMPLATE dlg;
  WORD menu, cls, title;
  DLGITEMTEMPLATE item;
  WORD itemClass[2], itemTitle, itemData;
};

class CAnchoredPage : public CResizablePage {
 public:
  CAnchoredPage() {
    m_template.dlg = {WS_CHILD | WS_CAPTION | DS_CONTROL, 0, 1, 0, 0, 200, 100};
    m_template.item = {WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 10, 10, 50, 14, 1001};
    m_template.itemClass[0] = 0xFFFF;
    m_template.itemClass[1] = 0x0081;  // edit
    m_psp.dwFlags |= PSP_DLGINDIRECT;
    m_psp.pResource = &m_template.dlg;
  }
  BOOL OnInitDialog() override {
    CResizablePage::OnInitDialog();
    AnchorControl(1001u, kAnchorBottomRight);
    return TRUE;
  }
  alignas(4) PageTemplate m_template{};
};

TEST(ResizablePage, AnchoredControlFollowsThePageSize) {
  CAnchoredPage page;
  CPropertySheet sheet(L"pages");
  sheet.AddPage(&page);
  ASSERT_TRUE(sheet.Create());
  Pump();
  ASSERT_TRUE(::IsWindow(page.m_hWnd));
  HWND edit = ::GetDlgItem(page.m_hWnd, 1001);
  const RECT before = RectIn(page.m_hWnd, edit);
  RECT pageRect;
  page.GetClientRect(&pageRect);
  page.SetWindowPos(nullptr, 0, 0, pageRect.right + 40, pageRect.bottom + 30,
                    SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT after = RectIn(page.m_hWnd, edit);
  EXPECT_EQ(after.left - before.left, 40);
  EXPECT_EQ(after.top - before.top, 30);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  sheet.DestroyWindow();
}

}  // namespace
