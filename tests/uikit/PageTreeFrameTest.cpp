// The page tree's own item colours and the page frame's rectangles, caption
// and message, on real windows painted into bitmaps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "framework/win/WinApp.h"
#include "uikit/PropPageFrame.h"
#include "uikit/TreePropSheetTreeCtrl.h"

using namespace TreePropSheet;

namespace {

struct Init {
  Init() { AfxWinInit(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL); }
} g_init;

// What a window shows on screen after a full repaint, copied into a bitmap.
// A null window gives an empty black bitmap to draw into.
class Snapshot {
 public:
  Snapshot(HWND hWnd, int w, int h) {
    HDC screen = ::GetDC(nullptr);
    m_dc = ::CreateCompatibleDC(screen);
    m_bitmap = ::CreateCompatibleBitmap(screen, w, h);
    ::ReleaseDC(nullptr, screen);
    m_old = ::SelectObject(m_dc, m_bitmap);
    RECT all{0, 0, w, h};
    ::FillRect(m_dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    if (!hWnd) return;
    ::RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC source = ::GetDC(hWnd);
    ::BitBlt(m_dc, 0, 0, w, h, source, 0, 0, SRCCOPY);
    ::ReleaseDC(hWnd, source);
  }
  ~Snapshot() {
    ::SelectObject(m_dc, m_old);
    ::DeleteObject(m_bitmap);
    ::DeleteDC(m_dc);
  }
  COLORREF At(int x, int y) const { return ::GetPixel(m_dc, x, y); }
  // Pixels of the colour within the rectangle.
  int Count(const RECT& rc, COLORREF colour) const {
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
      for (int x = rc.left; x < rc.right; ++x)
        if (At(x, y) == colour) ++n;
    return n;
  }
  HDC dc() const { return m_dc; }

 private:
  HDC m_dc;
  HBITMAP m_bitmap;
  HGDIOBJ m_old;
};

class CHostWnd : public CWnd {};

std::unique_ptr<CHostWnd> MakeHost() {
  auto host = std::make_unique<CHostWnd>();
  LPCTSTR cls = AfxRegisterWndClass(0, nullptr, ::GetSysColorBrush(COLOR_BTNFACE));
  host->CreateEx(0, cls, L"host", WS_POPUP | WS_VISIBLE, 10, 10, 400, 300, nullptr, nullptr);
  return host;
}

// -------------------------------------------------------------------- page tree

class CTestTree : public CTreePropSheetTreeCtrl {
 public:
  using CTreePropSheetTreeCtrl::m_itemColours;
};

class PageTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host = MakeHost();
    ASSERT_TRUE(tree.CreateEx(0, WC_TREEVIEWW, L"PageTree",
                              WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_SHOWSELALWAYS,
                              CRect(0, 0, 200, 200), host.get(), 0x7EEE));
    tree.SetFont(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
    first = tree.InsertItem(L"First");
    second = tree.InsertItem(L"Second");
    third = tree.InsertItem(L"Third");
  }
  void TearDown() override {
    tree.DestroyWindow();
    host->DestroyWindow();
  }
  void Colour(HTREEITEM item, COLORREF colour) {
    tree.SendMessage(WMU_TPS_ENABLETREEITEM, reinterpret_cast<WPARAM>(item), colour);
  }
  // Red pixels over an item's text.
  int RedIn(const Snapshot& shot, HTREEITEM item) {
    RECT rc;
    tree.GetItemRect(item, &rc, TRUE);
    rc.right += 30;  // a bold text runs wider than the platform's own
    return shot.Count(rc, RGB(255, 0, 0));
  }

  std::unique_ptr<CHostWnd> host;
  CTestTree tree;
  HTREEITEM first{}, second{}, third{};
};

TEST_F(PageTreeTest, ColouredItemsArePaintedInTheirColourExceptWhenSelected) {
  const UINT kRed = RGB(255, 0, 0);
  EXPECT_EQ(tree.SendMessage(WMU_TPS_ENABLETREEITEM, reinterpret_cast<WPARAM>(first), kRed), 1);
  Colour(second, kRed);
  Colour(third, kRed);
  tree.SetItemState(third, TVIS_BOLD, TVIS_BOLD);
  tree.SelectItem(second);
  Snapshot shot(tree.m_hWnd, 200, 200);
  EXPECT_GT(RedIn(shot, first), 10);
  EXPECT_EQ(RedIn(shot, second), 0);  // the selection keeps the platform's colours
  EXPECT_GT(RedIn(shot, third), 10);

  // A bold item stays bold: more red than the same text drawn normal.
  Colour(first, tree.GetTextColor());
  tree.SetItemText(first, L"Third");
  Colour(first, kRed);
  Snapshot again(tree.m_hWnd, 200, 200);
  EXPECT_GT(RedIn(again, third), RedIn(again, first));
}

TEST_F(PageTreeTest, TheTreesOwnTextColourRemovesTheEntry) {
  Colour(first, RGB(128, 128, 128));
  COLORREF colour = 0;
  ASSERT_TRUE(tree.GetItemColour(first, &colour));
  EXPECT_EQ(colour, RGB(128, 128, 128));
  // A tree on the default colour reports -1, which the sender passes as "normal".
  ASSERT_EQ(tree.GetTextColor(), static_cast<COLORREF>(-1));
  Colour(first, static_cast<COLORREF>(-1));
  EXPECT_FALSE(tree.GetItemColour(first, nullptr));
  // With a colour of its own, that colour is the normal one.
  tree.SetTextColor(RGB(0, 0, 128));
  Colour(second, RGB(128, 128, 128));
  Colour(second, RGB(0, 0, 128));
  EXPECT_TRUE(tree.m_itemColours.empty());
}

TEST_F(PageTreeTest, DeletedItemsLeaveNoColourForANewItemWithTheSameHandle) {
  Colour(first, RGB(128, 128, 128));
  Colour(third, RGB(128, 128, 128));
  tree.DeleteItem(first);
  EXPECT_EQ(tree.m_itemColours.size(), 1u);
  tree.DeleteAllItems();
  EXPECT_TRUE(tree.m_itemColours.empty());
  HTREEITEM fresh = tree.InsertItem(L"Fresh");
  EXPECT_FALSE(tree.GetItemColour(fresh, nullptr));
}

// -------------------------------------------------------------------- page frame

class CTestFrame : public CPropPageFrameEx {
 public:
  using CPropPageFrameEx::m_captionImages;
};

class PageFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host = MakeHost();
    ASSERT_TRUE(frame.CreateFrame(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, CRect(10, 10, 310, 210),
                                  host.get(), 0xFFFF));
    frame.SetCaptionBandHeight(20);
  }
  void TearDown() override {
    frame.DestroyWindow();
    host->DestroyWindow();
  }
  std::unique_ptr<CHostWnd> host;
  CTestFrame frame;
};

TEST_F(PageFrameTest, PageAndCaptionRectanglesFollowTheCaption) {
  const bool themed = CPropPageFrameEx::IsThemed() != FALSE;
  CRect client;
  frame.GetClientRect(&client);
  const int lift = WindowsMajorVersion() >= 6 ? 2 : 1;

  frame.SetCaptionVisible(FALSE);
  CRect page = frame.CalcPageRect();
  CRect caption = frame.CalcCaptionRect();
  if (!themed) {
    EXPECT_EQ(page, client);
    EXPECT_EQ(caption.bottom, 1);
  }
  // Hidden: a strip that only serves for invalidation.
  EXPECT_EQ(caption.Height(), lift + 1);

  frame.SetCaptionVisible(TRUE);
  page = frame.CalcPageRect();
  caption = frame.CalcCaptionRect();
  EXPECT_EQ(page.top, client.top + 21);
  EXPECT_EQ(caption.bottom, client.top + 21);
  if (!themed) {
    EXPECT_EQ(page.left, 0);
    EXPECT_EQ(page.bottom, client.bottom);
    EXPECT_EQ(caption.top, -lift);
  }
}

TEST_F(PageFrameTest, CaptionIsAGradientFromTheInactiveCaptionColourWithItsOwnIconCopy) {
  frame.SetCaptionVisible(TRUE);
  HICON icon =
      static_cast<HICON>(::CopyImage(::LoadIconW(nullptr, IDI_INFORMATION), IMAGE_ICON, 16, 16, 0));
  ASSERT_NE(icon, nullptr);
  frame.SetCaptionText(L"Caption", icon);
  ASSERT_NE(frame.m_captionImages.GetSafeHandle(), nullptr);
  EXPECT_EQ(frame.m_captionImages.GetImageCount(), 1);
  IMAGEINFO info{};
  frame.m_captionImages.GetImageInfo(0, &info);
  EXPECT_EQ(info.rcImage.right - info.rcImage.left, 16);
  ::DestroyIcon(icon);  // the frame draws its own copy

  Snapshot shot(frame.m_hWnd, 300, 200);
  const CRect caption = frame.CalcCaptionRect();
  const COLORREF start = ::GetSysColor(COLOR_INACTIVECAPTION);
  const COLORREF left = shot.At(std::max<LONG>(caption.left, 0), caption.bottom - 2);
  EXPECT_LE(std::abs(GetRValue(left) - GetRValue(start)), 8);
  EXPECT_LE(std::abs(GetBValue(left) - GetBValue(start)), 8);
  // The icon is there: pixels differing from the gradient around x = 8..24.
  int iconPixels = 0;
  for (int x = 8; x < 24; ++x)
    if (shot.At(x, caption.CenterPoint().y) != shot.At(x, caption.bottom - 1)) ++iconPixels;
  EXPECT_GT(iconPixels, 0);

  frame.SetCaptionText(L"No icon", nullptr);
  EXPECT_EQ(frame.m_captionImages.GetSafeHandle(), nullptr);
}

TEST_F(PageFrameTest, MessageShowsInThePageAreaLiterally) {
  frame.SetCaptionVisible(FALSE);
  EXPECT_EQ(frame.GetMessageFormat(),
            static_cast<UINT>(DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX));
  Snapshot empty(frame.m_hWnd, 300, 200);
  frame.SetMessageText(L"&&&&&&&&&&&&");
  Snapshot withText(frame.m_hWnd, 300, 200);
  // Drawn literally, twelve ampersands take far more ink than the six a prefix
  // pass would leave; compare with six drawn literally.
  auto ink = [](const Snapshot& shot, const Snapshot& base) {
    int n = 0;
    for (int y = 80; y < 120; ++y)
      for (int x = 0; x < 300; ++x)
        if (shot.At(x, y) != base.At(x, y)) ++n;
    return n;
  };
  const int twelve = ink(withText, empty);
  frame.SetMessageText(L"&&&&&&");
  Snapshot six(frame.m_hWnd, 300, 200);
  EXPECT_GT(twelve, ink(six, empty) * 3 / 2);
}

TEST(FillGradientRect, RunsFromTheLeftToTheRightColour) {
  Snapshot shot(nullptr, 100, 10);
  CDC* dc = CDC::FromHandle(shot.dc());
  ASSERT_TRUE(FillGradientRect(dc, CRect(0, 0, 100, 10), RGB(255, 0, 0), RGB(0, 0, 255)));
  EXPECT_GE(GetRValue(shot.At(0, 5)), 240);
  EXPECT_LE(GetBValue(shot.At(0, 5)), 15);
  EXPECT_LE(GetRValue(shot.At(99, 5)), 15);
  EXPECT_GE(GetBValue(shot.At(99, 5)), 240);
  const COLORREF middle = shot.At(50, 5);
  EXPECT_NEAR(GetRValue(middle), 128, 20);
  EXPECT_NEAR(GetBValue(middle), 128, 20);
}

}  // namespace
