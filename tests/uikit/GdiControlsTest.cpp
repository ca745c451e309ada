// GDI wrapper ownership and temporaries, and the control wrappers on real
// controls.
#include <gtest/gtest.h>

#include <thread>

#include "framework/win/Win.h"

namespace {

// Per-thread temporaries wrap without owning; an owner deletes its handle.
TEST(Gdi, TemporariesNeverOwnAndOwnersDelete) {
  HBRUSH handle = ::CreateSolidBrush(RGB(1, 2, 3));
  CBrush* temp = CBrush::FromHandle(handle);
  ASSERT_NE(temp, nullptr);
  EXPECT_EQ(temp, CBrush::FromHandle(handle));  // one wrapper per handle and thread
  EXPECT_EQ(static_cast<HBRUSH>(*temp), handle);

  CBrush* otherThread = nullptr;
  std::thread([&] { otherThread = CBrush::FromHandle(handle); }).join();
  EXPECT_NE(otherThread, temp);

  AfxDeleteTempMaps();
  EXPECT_EQ(::GetObjectType(handle), static_cast<DWORD>(OBJ_BRUSH));  // still alive
  {
    CBrush owner;
    ASSERT_TRUE(owner.Attach(handle));
    EXPECT_FALSE(owner.Attach(::GetStockObject(WHITE_BRUSH)));  // already holds one
  }
  EXPECT_EQ(::GetObjectType(handle), 0u);  // deleted by its owner
}

// Selecting hands back a wrapper for what was selected before; FillSolidRect
// keeps the background colour.
TEST(Gdi, SelectReturnsThePreviousObject) {
  CDC dc;
  ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
  HGDIOBJ original = ::GetCurrentObject(dc, OBJ_FONT);
  CFont font;
  ASSERT_TRUE(
      font.CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
  CFont* old = dc.SelectObject(&font);
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(old->m_hObject, original);
  EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), font.m_hObject);
  EXPECT_EQ(dc.SelectObject(old), CFont::FromHandle(font));
  EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), original);

  CBitmap bitmap;
  CDC screen;
  screen.Attach(::GetDC(nullptr));
  ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&screen, 8, 8));
  ::ReleaseDC(nullptr, screen.Detach());
  CBitmap* oldBitmap = dc.SelectObject(&bitmap);
  ASSERT_NE(oldBitmap, nullptr);
  dc.SetBkColor(RGB(9, 8, 7));
  dc.FillSolidRect(0, 0, 4, 4, RGB(255, 0, 0));
  EXPECT_EQ(dc.GetPixel(1, 1), RGB(255, 0, 0));
  EXPECT_EQ(dc.GetBkColor(), RGB(9, 8, 7));
  dc.SelectObject(oldBitmap);

  BITMAP info{};
  ASSERT_TRUE(bitmap.GetBitmap(&info));
  EXPECT_EQ(info.bmWidth, 8);
  EXPECT_NE(CDC::GetHalftoneBrush(), nullptr);
  EXPECT_EQ(CDC::GetHalftoneBrush(), CDC::GetHalftoneBrush());
  EXPECT_EQ(::GetObjectType(CDC::GetHalftoneBrush()->m_hObject), static_cast<DWORD>(OBJ_BRUSH));
}

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    ASSERT_TRUE(parent.CreateEx(0, AfxRegisterWndClass(0), L"controls",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 400, nullptr,
                                nullptr));
  }
  void TearDown() override { parent.DestroyWindow(); }
  CWnd parent;
};

TEST_F(ControlsTest, ComboBox) {
  CComboBox combo;
  ASSERT_TRUE(
      combo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, CRect(10, 10, 200, 200), &parent, 101));
  EXPECT_EQ(combo.AddString(L"alpha"), 0);
  EXPECT_EQ(combo.AddString(L"beta"), 1);
  EXPECT_EQ(combo.GetCount(), 2);
  EXPECT_EQ(combo.SelectString(-1, L"be"), 1);
  EXPECT_EQ(combo.GetCurSel(), 1);
  CString text;
  combo.GetLBText(0, text);
  EXPECT_EQ(text, L"alpha");
  combo.GetLBText(7, text);
  EXPECT_TRUE(text.IsEmpty());
  combo.SetItemData(0, 42);
  EXPECT_EQ(combo.GetItemData(0), 42u);
  EXPECT_TRUE(combo.SetEditSel(1, 3));
  EXPECT_EQ(combo.GetEditSel(), static_cast<DWORD>(MAKELONG(1, 3)));
  combo.ResetContent();
  EXPECT_EQ(combo.GetCount(), 0);
}

TEST_F(ControlsTest, ListCtrlItemsChecksAndSelection) {
  CListCtrl list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 400, 300), &parent, 102));
  list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  EXPECT_EQ(list.GetExtendedStyle() & LVS_EX_CHECKBOXES, static_cast<DWORD>(LVS_EX_CHECKBOXES));
  EXPECT_EQ(list.InsertColumn(0, L"Title", LVCFMT_LEFT, 200), 0);
  EXPECT_EQ(list.InsertColumn(1, L"Time", LVCFMT_RIGHT, 80), 1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(list.InsertItem(i, L"track"), i);
  EXPECT_EQ(list.GetItemCount(), 4);

  const CString longText(L'x', 700);  // longer than the first read buffer
  EXPECT_TRUE(list.SetItemText(2, 1, longText));
  EXPECT_EQ(list.GetItemText(2, 1), longText);
  EXPECT_EQ(list.GetItemText(1, 0), L"track");

  EXPECT_TRUE(list.SetItemData(3, 0xBEEF));
  EXPECT_EQ(list.GetItemData(3), 0xBEEFu);

  EXPECT_TRUE(list.SetCheck(1, TRUE));
  EXPECT_TRUE(list.GetCheck(1));
  EXPECT_FALSE(list.GetCheck(0));
  EXPECT_TRUE(list.SetCheck(1, FALSE));
  EXPECT_FALSE(list.GetCheck(1));

  list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
  list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
  POSITION pos = list.GetFirstSelectedItemPosition();
  ASSERT_NE(pos, nullptr);
  EXPECT_EQ(list.GetNextSelectedItem(pos), 0);
  ASSERT_NE(pos, nullptr);
  EXPECT_EQ(list.GetNextSelectedItem(pos), 2);
  EXPECT_EQ(pos, nullptr);

  EXPECT_TRUE(list.DeleteAllItems());
  EXPECT_EQ(list.GetFirstSelectedItemPosition(), nullptr);
}

TEST_F(ControlsTest, TreeAndTab) {
  CTreeCtrl tree;
  ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 200), &parent, 103));
  HTREEITEM root = tree.InsertItem(L"Options");
  HTREEITEM child = tree.InsertItem(L"Encoder", root);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(tree.GetParentItem(child), root);
  EXPECT_EQ(tree.GetChildItem(root), child);
  EXPECT_TRUE(tree.ItemHasChildren(root) || tree.GetChildItem(root) != nullptr);
  EXPECT_EQ(tree.GetItemText(child), L"Encoder");
  EXPECT_TRUE(tree.SetItemData(child, 7));
  EXPECT_EQ(tree.GetItemData(child), 7u);
  EXPECT_EQ(tree.GetCount(), 2u);

  CTabCtrl tab;
  ASSERT_TRUE(tab.Create(WS_CHILD | WS_VISIBLE, CRect(200, 0, 480, 200), &parent, 104));
  EXPECT_EQ(tab.InsertItem(0, L"One"), 0);
  EXPECT_EQ(tab.InsertItem(1, L"Two"), 1);
  EXPECT_EQ(tab.GetItemCount(), 2);
  tab.SetCurSel(1);
  EXPECT_EQ(tab.GetCurSel(), 1);
  CRect display(0, 0, 280, 200);
  tab.AdjustRect(FALSE, &display);
  EXPECT_GT(display.top, 0);  // the tabs take the top
}

TEST_F(ControlsTest, StatusBarPanesAndMenu) {
  CStatusBar bar;
  ASSERT_TRUE(bar.CreateEx(&parent));
  const UINT panes[] = {0, 0, 0};
  bar.SetIndicators(panes, 3);
  EXPECT_EQ(bar.GetCount(), 3);
  bar.SetPaneInfo(1, 0, SBPS_NORMAL, 60);
  EXPECT_TRUE(bar.SetPaneText(1, L"Ready"));
  EXPECT_EQ(bar.GetPaneText(1), L"Ready");
  int rights[3] = {};
  EXPECT_EQ(bar.GetStatusBarCtrl().GetParts(3, rights), 3);
  EXPECT_LT(rights[0], rights[1]);

  CMenu menu;
  ASSERT_TRUE(menu.CreatePopupMenu());
  menu.AppendMenu(MF_STRING, 201, L"Play");
  menu.AppendMenu(MF_SEPARATOR);
  CMenu sub;
  ASSERT_TRUE(sub.CreatePopupMenu());
  sub.AppendMenu(MF_STRING, 301, L"WAV");
  menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(sub.Detach()), L"Format");
  EXPECT_EQ(menu.GetMenuItemCount(), 3);
  EXPECT_EQ(menu.GetMenuItemID(0), 201u);
  EXPECT_EQ(menu.GetMenuItemID(1), 0u);
  EXPECT_EQ(menu.GetMenuItemID(2), static_cast<UINT>(-1));
  CMenu* format = menu.GetSubMenu(2);
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(format->GetMenuItemID(0), 301u);
  EXPECT_EQ(menu.EnableMenuItem(201, MF_GRAYED), static_cast<UINT>(MF_ENABLED));
  EXPECT_EQ(menu.EnableMenuItem(201, MF_ENABLED), static_cast<UINT>(MF_GRAYED));
  EXPECT_EQ(menu.EnableMenuItem(999, MF_GRAYED), static_cast<UINT>(-1));
  AfxDeleteTempMaps();  // the submenu belongs to the menu, not the temporary
  EXPECT_EQ(menu.GetMenuItemCount(), 3);
  EXPECT_TRUE(::IsMenu(::GetSubMenu(menu, 2)));
}

}  // namespace
