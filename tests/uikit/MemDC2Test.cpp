// The off-screen paint DC against direct drawing on 32-bit DIB targets, and the
// explorer theme helper.
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "uikit/ExplorerTheme.h"
#include "uikit/MemDC2.h"

namespace {

constexpr int kSize = 160;

// A memory DC over a top-down 32-bit DIB whose pixels the test can read.
class DibTarget {
 public:
  DibTarget() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kSize;
    info.bmiHeader.biHeight = -kSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    dc.CreateCompatibleDC(nullptr);
    old_ = ::SelectObject(dc, bitmap_);
    std::memset(bits_, 0x11, kSize * kSize * 4);
  }
  ~DibTarget() {
    ::SelectObject(dc, old_);
    ::DeleteObject(bitmap_);
  }

  std::vector<DWORD> Pixels() {
    ::GdiFlush();
    const DWORD* p = static_cast<const DWORD*>(bits_);
    return std::vector<DWORD>(p, p + kSize * kSize);
  }
  HBITMAP bitmap() const { return bitmap_; }

  CDC dc;

 private:
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};

struct Mapping {
  const char* name;
  int mode;
  SIZE windowExt, viewportExt;
  POINT windowOrg, viewportOrg;
};

void ApplyMapping(CDC& dc, const Mapping& m) {
  dc.SetMapMode(m.mode);
  if (m.mode == MM_ANISOTROPIC) {
    dc.SetWindowExt(m.windowExt);
    dc.SetViewportExt(m.viewportExt);
  }
  dc.SetWindowOrg(m.windowOrg);
  dc.SetViewportOrg(m.viewportOrg);
}

// What a painter draws, in logical co-ordinates of the DC it is handed.
void Paint(CDC& dc, const CRect& shape) {
  dc.FillSolidRect(&shape, RGB(200, 0, 0));
  dc.FillSolidRect(shape.left + 2, shape.top + 2, 3, 3, RGB(0, 200, 0));
}

const Mapping kMappings[] = {
    {"text", MM_TEXT, {1, 1}, {1, 1}, {0, 0}, {0, 0}},
    {"text with window origin", MM_TEXT, {1, 1}, {1, 1}, {10, 20}, {0, 0}},
    {"scaled by two with viewport origin", MM_ANISOTROPIC, {100, 100}, {200, 200}, {0, 0}, {5, 7}},
    {"y axis up", MM_ANISOTROPIC, {100, 100}, {100, -100}, {0, 0}, {0, kSize}},
    {"x axis flipped, shrunk", MM_ANISOTROPIC, {100, 100}, {-50, 50}, {3, 4}, {kSize - 1, 0}},
};

HBITMAP SelectedBitmap(const CDC& dc) {
  return static_cast<HBITMAP>(::GetCurrentObject(dc.m_hDC, OBJ_BITMAP));
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP bm{};
  ::GetObjectW(bitmap, sizeof(bm), &bm);
  return SIZE{bm.bmWidth, bm.bmHeight};
}

}  // namespace

// Drawing through the memory DC over a given area leaves the target exactly as
// drawing straight into the target over that area would.
TEST(MemDC2, LandsAtTheSameLogicalCoordinatesUnderEveryMapping) {
  for (const Mapping& m : kMappings) {
    SCOPED_TRACE(m.name);
    const CRect area(20, 20, 60, 50);  // logical
    const CRect shape(25, 24, 45, 40);

    DibTarget direct;
    ApplyMapping(direct.dc, m);
    direct.dc.SetBkColor(RGB(0, 0, 180));
    direct.dc.FillSolidRect(&area, RGB(0, 0, 180));
    Paint(direct.dc, shape);

    DibTarget buffered;
    ApplyMapping(buffered.dc, m);
    buffered.dc.SetBkColor(RGB(0, 0, 180));
    {
      CMemDC2 mem(&buffered.dc, &area);
      EXPECT_NE(mem.m_hDC, buffered.dc.m_hDC);
      Paint(mem, shape);
      // Nothing reaches the target before the blit.
      DibTarget untouched;
      EXPECT_EQ(buffered.Pixels(), untouched.Pixels());
    }
    EXPECT_EQ(direct.Pixels(), buffered.Pixels());
    EXPECT_EQ(buffered.dc.GetMapMode(), m.mode);
  }
}

// With no area the bitmap covers the clip box only, in device pixels, and the
// result still matches direct drawing clipped the same way.
TEST(MemDC2, AllocatesOnlyTheClipBox) {
  for (const Mapping& m : kMappings) {
    SCOPED_TRACE(m.name);
    const CRect clipDevice(30, 40, 90, 70);
    const CRect shape(0, 0, 200, 200);  // covers everything the clip lets through

    auto prepare = [&](DibTarget& t) {
      ApplyMapping(t.dc, m);
      CRgn clip;
      clip.CreateRectRgnIndirect(&clipDevice);  // clip regions are in device units
      t.dc.SelectClipRgn(&clip);
      t.dc.SetBkColor(RGB(0, 0, 180));
    };
    DibTarget direct;
    prepare(direct);
    CRect box;
    direct.dc.GetClipBox(&box);
    direct.dc.FillSolidRect(&box, RGB(0, 0, 180));
    Paint(direct.dc, shape);

    DibTarget buffered;
    prepare(buffered);
    {
      CMemDC2 mem(&buffered.dc);
      SIZE size = BitmapSize(SelectedBitmap(mem));
      EXPECT_EQ(size.cx, clipDevice.Width());
      EXPECT_EQ(size.cy, clipDevice.Height());
      Paint(mem, shape);
    }
    EXPECT_EQ(direct.Pixels(), buffered.Pixels());
  }
}

// A printer DC is drawn on directly and survives the helper.
TEST(MemDC2, PrinterTargetIsDrawnDirectly) {
  DibTarget printer;
  printer.dc.m_bPrinting = TRUE;
  std::vector<DWORD> before = printer.Pixels();
  {
    CMemDC2 mem(&printer.dc, nullptr);
    EXPECT_EQ(mem.m_hDC, printer.dc.m_hDC);
    EXPECT_EQ(mem.m_hAttribDC, printer.dc.m_hAttribDC);
    EXPECT_TRUE(mem.IsPrinting());
    EXPECT_EQ(SelectedBitmap(mem), printer.bitmap());
    mem.FillSolidRect(1, 1, 2, 2, RGB(0, 255, 0));
    EXPECT_NE(printer.Pixels(), before);  // already on the target
  }
  EXPECT_EQ(::GetObjectType(printer.dc.m_hDC), static_cast<DWORD>(OBJ_MEMDC));
  EXPECT_EQ(printer.dc.GetPixel(1, 1), RGB(0, 255, 0));
}

namespace {

SIZE g_paintBitmap;

LRESULT CALLBACK PaintProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    CDC dc;
    dc.Attach(::BeginPaint(hwnd, &ps));
    {
      CMemDC2 mem(&dc);
      g_paintBitmap = BitmapSize(SelectedBitmap(mem));
      mem.FillSolidRect(0, 0, 1000, 1000, RGB(0, 128, 0));
    }
    dc.Detach();
    ::EndPaint(hwnd, &ps);
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

// A paint of part of a real window allocates that part, not the window.
TEST(MemDC2, PartialWindowPaintAllocatesTheUpdateArea) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PaintProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"MemDC2PaintTest";
  ASSERT_TRUE(::RegisterClassW(&wc));
  HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"paint", WS_POPUP | WS_VISIBLE, 50, 50, 300,
                                200, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(hwnd, nullptr);
  ::UpdateWindow(hwnd);

  RECT part{40, 30, 90, 60};
  ::InvalidateRect(hwnd, &part, FALSE);
  g_paintBitmap = SIZE{};
  ::UpdateWindow(hwnd);
  EXPECT_EQ(g_paintBitmap.cx, 50);
  EXPECT_EQ(g_paintBitmap.cy, 30);

  ::DestroyWindow(hwnd);
  ::UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

// Theme data missing for the class (as without theming) gives 1; a class with
// theme data gets the sub-application style.
TEST(ExplorerTheme, AppliesOnlyWithThemeData) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&icc);
  HWND list = ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 100, 100,
                                nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(list, nullptr);

  EXPECT_EQ(SetExplorerTheme(list, L"NoSuchThemeClass", L"Explorer", nullptr), 1);

  HTHEME probe = ::OpenThemeData(list, L"ListView");
  if (probe) ::CloseThemeData(probe);
  EXPECT_EQ(SetExplorerTheme(list, L"ListView", L"Explorer", nullptr), probe ? S_OK : 1);
  ::DestroyWindow(list);
}
