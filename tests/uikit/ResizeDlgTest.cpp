// The resizable dialog base on a real dialog from a resource template: the
// controls' rectangles after each kind of resize, the grip and the minimum
// tracking size.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "framework/win/MessageMap.h"
#include "framework/win/WinApp.h"
#include "uikit/ResizeDlg.h"

namespace {

constexpr UINT kDialogId = 100;
constexpr int kW0 = 400, kH0 = 300;  // initial client size

struct ControlSpec {
  UINT id;
  RECT start;  // client co-ordinates at registration
  int left, right, top, bottom;
  double ratio, grow;  // both axes (kind 5)
};

const ControlSpec kControls[] = {
    {1001, {10, 10, 60, 30}, 0, 0, 0, 0, -1.0, -1.0},
    {1002, {10, 40, 110, 60}, 1, 1, 1, 1, -1.0, -1.0},
    {1003, {300, 200, 380, 220}, 2, 2, 2, 2, -1.0, -1.0},
    {1004, {150, 100, 250, 120}, 3, 3, 3, 3, -1.0, -1.0},
    {1005, {40, 200, 120, 240}, 4, 4, 4, 4, -1.0, -1.0},
    {1006, {200, 250, 260, 280}, 5, 5, 5, 5, 0.25, 0.5},
    {1007, {100, 150, 140, 170}, 2, 1, 0, 0, -1.0, -1.0},
};
constexpr size_t kCount = sizeof(kControls) / sizeof(kControls[0]);

class TestResizeDlg : public CResizeDlg {
 public:
  TestResizeDlg() : CResizeDlg(kDialogId) {}

  BOOL OnInitDialog() override {
    // Exact pixels, before the base records the initial size.
    RECT frame{0, 0, kW0, kH0};
    ::AdjustWindowRectEx(&frame, GetStyle(), FALSE, GetExStyle());
    SetWindowPos(nullptr, 100, 100, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlSpec& c : kControls)
      ::MoveWindow(::GetDlgItem(m_hWnd, c.id), c.start.left, c.start.top,
                   c.start.right - c.start.left, c.start.bottom - c.start.top, TRUE);
    BOOL result = CResizeDlg::OnInitDialog();
    for (const ControlSpec& c : kControls)
      AddControl(c.id, c.left, c.right, c.top, c.bottom, 0, c.ratio, c.grow, c.ratio, c.grow);
    return result;
  }

  using CResizeDlg::AddControl;
  using CResizeDlg::m_controls;
  using CResizeDlg::m_grip;
  using CResizeDlg::m_sizingEdge;
  bool swallowSize = false;  // lets a test deliver its own WM_SIZE

 protected:
  void OnSize(UINT nType, int cx, int cy) {
    if (!swallowSize) CResizeDlg::OnSize(nType, cx, cy);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestResizeDlg, CResizeDlg)
ON_WM_SIZE()
END_MESSAGE_MAP()

RECT ControlRect(CWnd& dlg, UINT id) {
  RECT rc{};
  HWND control = ::GetDlgItem(dlg.m_hWnd, static_cast<int>(id));
  ::GetWindowRect(control, &rc);
  ::MapWindowPoints(nullptr, dlg.m_hWnd, reinterpret_cast<LPPOINT>(&rc), 2);
  return rc;
}

SIZE ClientSize(CWnd& dlg) {
  RECT rc;
  ::GetClientRect(dlg.m_hWnd, &rc);
  return SIZE{rc.right, rc.bottom};
}

// Resizes the client to w x h; keepRight moves the left edge instead (a left drag).
void SetClientSize(CWnd& dlg, int w, int h, bool keepRight = false) {
  RECT window;
  ::GetWindowRect(dlg.m_hWnd, &window);
  RECT frame{0, 0, w, h};
  ::AdjustWindowRectEx(&frame, dlg.GetStyle(), FALSE, dlg.GetExStyle());
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const int x = keepRight ? window.right - width : window.left;
  ::SetWindowPos(dlg.m_hWnd, nullptr, x, window.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

LONG T(double v) { return static_cast<LONG>(v); }

// What one restore/maximise layout from the initial size gives, axis by axis
// from the right/bottom kinds, written from the kinds' definitions.
RECT Expected(const ControlSpec& c, int w, int h) {
  const RECT s = c.start;
  const int dW = w - kW0, dH = h - kH0;
  RECT r = s;
  auto axis = [](int kind, LONG a, LONG b, LONG& outA, LONG& outB, int size, int size0, int d,
                 double ratio, double grow) {
    // Stored like the record's ratio (no excess x87 precision).
    volatile double centre = (a + b) * 0.5 / size0;
    switch (kind) {
      case 1:
        outB = b + d;
        break;
      case 2:
        outA = a + d;
        outB = b + d;
        break;
      case 3:
        outA = T(size * centre - (b - a) * 0.5);
        outB = outA + (b - a);
        break;
      case 4:
        outA = T(static_cast<double>(a) * size / size0);
        outB = T(static_cast<double>(b) * size / size0);
        break;
      case 5:
        outB = T(b + d * ratio + d * grow);
        outA = a + T(d * ratio);
        break;
      default:
        break;
    }
  };
  axis(c.right, s.left, s.right, r.left, r.right, w, kW0, dW, c.ratio, c.grow);
  axis(c.bottom, s.top, s.bottom, r.top, r.bottom, h, kH0, dH, c.ratio, c.grow);
  return r;
}

void ExpectRect(const RECT& actual, const RECT& expected, UINT id) {
  EXPECT_TRUE(::EqualRect(&actual, &expected))
      << "control " << id << ": (" << actual.left << "," << actual.top << "," << actual.right << ","
      << actual.bottom << ") expected (" << expected.left << "," << expected.top << ","
      << expected.right << "," << expected.bottom << ")";
}

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

class ResizeDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dlg = std::make_unique<TestResizeDlg>();
    ASSERT_TRUE(dlg->Create(kDialogId, nullptr));
    dlg->ShowWindow(SW_SHOWNORMAL);
    Pump();
    SIZE client = ClientSize(*dlg);
    ASSERT_EQ(client.cx, kW0);
    ASSERT_EQ(client.cy, kH0);
  }
  void TearDown() override {
    if (dlg && ::IsWindow(dlg->m_hWnd)) dlg->DestroyWindow();
    dlg.reset();
  }
  bool GripShown() const { return (dlg->m_grip.GetStyle() & WS_VISIBLE) != 0; }

  std::unique_ptr<TestResizeDlg> dlg;
};

}  // namespace

// Growing the client through SetWindowPos (right/bottom), a left-edge drag and
// a right-edge drag give the same rectangles: WM_SIZE with SIZE_RESTORED always
// uses the right and bottom kinds. Numbers pin the truncation.
TEST_F(ResizeDlgTest, RestoreAndEdgeDragsGiveTheFormulaRectangles) {
  const RECT at500x350[kCount] = {
      {10, 10, 60, 30},    {10, 40, 210, 110},   {400, 250, 480, 270}, {200, 118, 300, 138},
      {50, 233, 150, 280}, {225, 262, 335, 317}, {100, 150, 240, 170},
  };
  struct Case {
    const char* name;
    UINT sizingEdge;  // WM_SIZING sent first, 0 for none
    bool keepRight;
  };
  const Case cases[] = {
      {"SetWindowPos", 0, false},
      {"left-edge drag", WMSZ_LEFT, true},
      {"right-edge drag", WMSZ_RIGHT, false},
      {"top-left corner drag", WMSZ_TOPLEFT, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    TearDown();
    SetUp();
    if (test.sizingEdge) {
      RECT window;
      dlg->GetWindowRect(&window);
      dlg->SendMessage(WM_SIZING, test.sizingEdge, reinterpret_cast<LPARAM>(&window));
      EXPECT_EQ(dlg->m_sizingEdge, test.sizingEdge);
    }
    SetClientSize(*dlg, 500, 350, test.keepRight);
    for (size_t i = 0; i < kCount; ++i)
      ExpectRect(ControlRect(*dlg, kControls[i].id), at500x350[i], kControls[i].id);
    EXPECT_EQ(dlg->m_sizingEdge, 0u);
  }
}

// Whether the window's update region holds all of rect (client co-ordinates of window).
bool WaitsForRedraw(HWND window, const RECT& rect) {
  HRGN update = ::CreateRectRgn(0, 0, 0, 0);
  ::GetUpdateRgn(window, update, FALSE);
  HRGN missing = ::CreateRectRgnIndirect(&rect);
  const int left = ::CombineRgn(missing, missing, update, RGN_DIFF);
  ::DeleteObject(missing);
  ::DeleteObject(update);
  return left == NULLREGION;
}

// A resize by code redraws what the layout moved or stretched: the dialog where each such
// control was and where it went, the control itself in full, and the grip's old and new
// corner; a control the layout left alone is not drawn again.
TEST_F(ResizeDlgTest, WhatTheLayoutMovesIsRedrawnWhereItWasAndWhereItGoes) {
  HWND window = dlg->m_hWnd;
  const auto gripRect = [&] {
    RECT rc;
    dlg->m_grip.GetWindowRect(&rc);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<LPPOINT>(&rc), 2);
    return rc;
  };
  ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  ASSERT_FALSE(::GetUpdateRect(window, nullptr, FALSE));
  RECT before[kCount];
  for (size_t i = 0; i < kCount; ++i) before[i] = ControlRect(*dlg, kControls[i].id);
  const RECT gripBefore = gripRect();

  SetClientSize(*dlg, 500, 350);
  for (size_t i = 0; i < kCount; ++i) {
    SCOPED_TRACE(kControls[i].id);
    HWND control = ::GetDlgItem(window, static_cast<int>(kControls[i].id));
    const RECT after = ControlRect(*dlg, kControls[i].id);
    RECT client;
    ::GetClientRect(control, &client);
    if (::EqualRect(&before[i], &after)) {
      EXPECT_FALSE(::GetUpdateRect(control, nullptr, FALSE));
      continue;
    }
    EXPECT_TRUE(WaitsForRedraw(control, client));
    EXPECT_TRUE(WaitsForRedraw(window, before[i]));
    EXPECT_TRUE(WaitsForRedraw(window, after));
  }
  EXPECT_TRUE(WaitsForRedraw(window, gripBefore));
  EXPECT_TRUE(WaitsForRedraw(window, gripRect()));
  // The grip's triangle clips its own update region.
  EXPECT_TRUE(::GetUpdateRect(dlg->m_grip.m_hWnd, nullptr, FALSE));
}

// A WM_SIZE of another type takes its moving edges from the last WM_SIZING: a
// left edge moves the horizontal axis by the left kinds and leaves every
// vertical axis alone, even though the height changed too.
TEST_F(ResizeDlgTest, OtherSizeTypesUseTheSizingEdge) {
  dlg->swallowSize = true;
  SetClientSize(*dlg, 500, 350);
  dlg->swallowSize = false;
  RECT window;
  dlg->GetWindowRect(&window);
  dlg->SendMessage(WM_SIZING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&window));
  dlg->SendMessage(WM_SIZE, SIZE_MAXSHOW, MAKELPARAM(500, 350));

  const RECT leftOnly[kCount] = {
      {10, 10, 60, 30},    {10, 40, 210, 60},    {400, 200, 480, 220}, {200, 100, 300, 120},
      {50, 200, 150, 240}, {225, 250, 335, 280}, {200, 150, 240, 170},
  };
  for (size_t i = 0; i < kCount; ++i)
    ExpectRect(ControlRect(*dlg, kControls[i].id), leftOnly[i], kControls[i].id);

  // Without a pending WM_SIZING nothing moves.
  dlg->swallowSize = true;
  SetClientSize(*dlg, 450, 320);
  dlg->swallowSize = false;
  dlg->SendMessage(WM_SIZE, SIZE_MAXSHOW, MAKELPARAM(450, 320));
  for (size_t i = 0; i < kCount; ++i)
    ExpectRect(ControlRect(*dlg, kControls[i].id), leftOnly[i], kControls[i].id);
}

// Maximise lays out for the screen-sized client and hides the grip; restore
// brings both back; minimise moves nothing and keeps the pending edge and grip.
TEST_F(ResizeDlgTest, MaximiseRestoreMinimise) {
  EXPECT_TRUE(GripShown());

  dlg->ShowWindow(SW_MAXIMIZE);
  Pump();
  ASSERT_TRUE(dlg->IsZoomed());
  SIZE max = ClientSize(*dlg);
  ASSERT_GT(max.cx, kW0);
  for (const ControlSpec& c : kControls)
    ExpectRect(ControlRect(*dlg, c.id), Expected(c, max.cx, max.cy), c.id);
  EXPECT_FALSE(GripShown());

  dlg->ShowWindow(SW_RESTORE);
  Pump();
  ASSERT_FALSE(dlg->IsZoomed());
  for (const ControlSpec& c : kControls)
    ExpectRect(ControlRect(*dlg, c.id), Expected(c, kW0, kH0), c.id);
  EXPECT_TRUE(GripShown());

  RECT window;
  dlg->GetWindowRect(&window);
  dlg->SendMessage(WM_SIZING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&window));
  RECT before[kCount];
  for (size_t i = 0; i < kCount; ++i) before[i] = ControlRect(*dlg, kControls[i].id);
  dlg->ShowWindow(SW_MINIMIZE);
  Pump();
  ASSERT_TRUE(dlg->IsIconic());
  for (size_t i = 0; i < kCount; ++i)
    ExpectRect(ControlRect(*dlg, kControls[i].id), before[i], kControls[i].id);
  EXPECT_EQ(dlg->m_sizingEdge, static_cast<UINT>(WMSZ_LEFT));
  EXPECT_TRUE(GripShown());
}

// The grip sits in the lower right corner, answers as a bottom-right sizing
// border (bottom-left when mirrored) and is clipped to its lower right triangle.
TEST_F(ResizeDlgTest, GripCornerHitTestAndTriangle) {
  CSizeGripExt& grip = dlg->m_grip;
  ASSERT_TRUE(::IsWindow(grip.m_hWnd));
  const int cx = ::GetSystemMetrics(SM_CXVSCROLL), cy = ::GetSystemMetrics(SM_CYHSCROLL);
  RECT rc;
  grip.GetWindowRect(&rc);
  ::MapWindowPoints(nullptr, dlg->m_hWnd, reinterpret_cast<LPPOINT>(&rc), 2);
  ExpectRect(rc, RECT{kW0 - cx, kH0 - cy, kW0, kH0}, 0);

  SetClientSize(*dlg, 520, 330);
  grip.GetWindowRect(&rc);
  ::MapWindowPoints(nullptr, dlg->m_hWnd, reinterpret_cast<LPPOINT>(&rc), 2);
  ExpectRect(rc, RECT{520 - cx, 330 - cy, 520, 330}, 0);

  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(::GetWindowRgn(grip.m_hWnd, region), ERROR);
  EXPECT_FALSE(::PtInRegion(region, 1, 1));           // upper left: outside
  EXPECT_TRUE(::PtInRegion(region, cx - 2, cy - 2));  // lower right: inside
  ::DeleteObject(region);
  EXPECT_EQ(grip.SendMessage(WM_NCHITTEST, 0, 0), HTBOTTOMRIGHT);
  EXPECT_EQ(grip.SendMessage(WM_GETDLGCODE), DLGC_STATIC);
  grip.ModifyStyleEx(0, WS_EX_LAYOUTRTL);
  EXPECT_EQ(grip.SendMessage(WM_NCHITTEST, 0, 0), HTBOTTOMLEFT);
}

// Registering an id again keeps one record, with the new anchors and the
// control's current rectangle.
TEST_F(ResizeDlgTest, RegisteringAnIdTwiceKeepsOneRecord) {
  HWND fixed = ::GetDlgItem(dlg->m_hWnd, 1001);
  ::MoveWindow(fixed, 20, 20, 50, 20, TRUE);
  dlg->AddControl(1001, 2, 2, 2, 2);
  ASSERT_EQ(dlg->m_controls.size(), kCount);
  const AnchoredControl& record = dlg->m_controls[0];
  EXPECT_EQ(record.id, 1001u);
  EXPECT_EQ(record.anchors, 0x2222u);
  ExpectRect(record.rect, RECT{20, 20, 70, 40}, 1001);

  SetClientSize(*dlg, 500, 350);
  ExpectRect(ControlRect(*dlg, 1001), RECT{120, 70, 170, 90}, 1001);
}

// The minimum tracking size is the window size at initialisation.
TEST_F(ResizeDlgTest, MinimumTrackingSizeIsTheInitialWindowSize) {
  RECT window;
  dlg->GetWindowRect(&window);
  MINMAXINFO info{};
  dlg->SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, window.right - window.left);
  EXPECT_EQ(info.ptMinTrackSize.y, window.bottom - window.top);
}

// The background erase leaves a visible clipOnErase control alone, unless the
// dialog clips its children anyway (WS_CLIPCHILDREN).
TEST_F(ResizeDlgTest, EraseSkipsClipOnEraseControls) {
  dlg->AddControl(1003, 2, 2, 2, 2, kAnchorClipOnErase);
  const RECT inside{310, 205, 320, 215};  // within control 1003
  auto erase = [&](COLORREF& inControl, COLORREF& outside) {
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, kW0, kH0);
    HGDIOBJ old = ::SelectObject(mem, bitmap);
    ::PatBlt(mem, 0, 0, kW0, kH0, BLACKNESS);
    dlg->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem));
    AfxDeleteTempMaps();
    inControl = ::GetPixel(mem, inside.left, inside.top);
    outside = ::GetPixel(mem, 5, 290);
    ::SelectObject(mem, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
  };
  COLORREF inControl, outside;
  erase(inControl, outside);
  EXPECT_EQ(inControl, RGB(0, 0, 0));
  EXPECT_NE(outside, RGB(0, 0, 0));

  dlg->ModifyStyle(0, WS_CLIPCHILDREN);
  erase(inControl, outside);
  EXPECT_NE(inControl, RGB(0, 0, 0));
}

// Holds the dialog on screen before and after a resize when asked
// (CORVANE_SHOT_PAUSE=seconds), for a screenshot from outside.
TEST_F(ResizeDlgTest, ScreenshotPause) {
  const char* pause = std::getenv("CORVANE_SHOT_PAUSE");
  if (!pause) GTEST_SKIP() << "set CORVANE_SHOT_PAUSE to hold the dialog for screenshots";
  const DWORD ms = static_cast<DWORD>(std::atoi(pause)) * 1000;
  auto hold = [ms] {
    const DWORD end = ::GetTickCount() + ms;
    while (::GetTickCount() < end) {
      Pump();
      ::Sleep(20);
    }
  };
  dlg->SetWindowPos(nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  hold();
  SetClientSize(*dlg, 640, 420);
  hold();
  // Then fully repainted, to tell layout from leftover pixels.
  ::RedrawWindow(dlg->m_hWnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  hold();
}
