// The tree property sheet on real modeless sheets: page paths in the tree,
// selection of nodes without pages, disabled pages, keyboard page switching,
// pages added and removed after creation, and the frame's caption and message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "tests/uikit/TreeSheetTest.h"

using namespace TreePropSheet;

namespace {

class CTestSheet : public CTreePropSheetBase {
 public:
  CTestSheet() : CTreePropSheetBase(L"Tree sheet") {}
  using CTreePropSheetBase::FindSelectableBelow;
  using CTreePropSheetBase::PreTranslateMessage;
};

TEST(SplitPagePath, FirstNameAndRest) {
  struct Case {
    LPCWSTR path, first, rest;
  };
  const Case cases[] = {
      {L"A::B", L"A", L"B"},           {L"A::B::C", L"A", L"B::C"},
      {L"Alone", L"Alone", L""},       {L"A\\::B", L"A\\::B", L""},  // last part: kept as written
      {L"A\\::B::C", L"A::B", L"C"},  // escaped separator within a node name
      {L"A\\\\::B", L"A\\", L"B"},    // an escaped backslash does not escape the separator
      {L"::Lead", L"::Lead", L""},    // a leading separator is part of the name
      {L"::Lead::X", L"::Lead", L"X"}, {L"", L"", L""},
  };
  for (const Case& c : cases) {
    CString path = c.path;
    const CString first = CTreePropSheetBase::SplitPagePath(path);
    EXPECT_EQ(first, c.first) << "path " << CStringA(c.path).GetString();
    EXPECT_EQ(path, c.rest) << "path " << CStringA(c.path).GetString();
  }
}

// Pages Output::Files, Output::Names, output::Files and General.
class TreeSheetTest : public ::testing::Test {
 protected:
  void Open(bool treeMode = true, bool caption = true) {
    pages.push_back(std::make_unique<CTitledPage>(IDD_TS_PAGE1, L"Output::Files"));
    pages.push_back(std::make_unique<CTitledPage>(IDD_TS_PAGE2, L"Output::Names"));
    pages.push_back(std::make_unique<CTitledPage>(IDD_TS_PAGE3, L"output::Files"));
    pages.push_back(std::make_unique<CTitledPage>(IDD_TS_PAGE4, L"General"));
    for (auto& page : pages) sheet.AddPage(page.get());
    ASSERT_TRUE(sheet.SetTreeMode(treeMode, caption, FALSE));
    sheet.SetEmptyPageText(L"Choose a page under %s");
    ASSERT_TRUE(sheet.Create());
    sheet.ShowWindow(SW_SHOW);
    Pump();
  }
  void TearDown() override {
    if (sheet.m_hWnd) sheet.DestroyWindow();
  }
  CTreePropSheetTreeCtrl& Tree() { return *sheet.GetPageTree(); }
  HTREEITEM Item(LPCWSTR path) {
    CString rest = path;
    HTREEITEM item = TVI_ROOT;
    while (!rest.IsEmpty()) {
      const CString name = CTreePropSheetBase::SplitPagePath(rest);
      HTREEITEM child = item == TVI_ROOT ? Tree().GetRootItem() : Tree().GetChildItem(item);
      while (child && Tree().GetItemText(child) != name) child = Tree().GetNextSiblingItem(child);
      item = child;
      if (!item) return nullptr;
    }
    return item;
  }
  CString SelectedText() {
    HTREEITEM item = Tree().GetSelectedItem();
    return item ? Tree().GetItemText(item) : CString(L"(none)");
  }
  bool PageShown(int index) {
    HWND page = pages[static_cast<size_t>(index)]->m_hWnd;
    return page && ::IsWindowVisible(page);
  }
  LRESULT CtrlKey(UINT vk, bool shift = false) {
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
    MSG msg{sheet.m_hWnd, WM_KEYDOWN, vk, 0, 0, {0, 0}};
    const LRESULT result =
        sheet.SendMessage(PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&msg));
    keys[VK_CONTROL] = 0;
    keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
    return result;
  }
  BOOL TreeKey(UINT vk) {
    MSG msg{Tree().m_hWnd, WM_KEYDOWN, vk, 0, 0, {0, 0}};
    return sheet.PreTranslateMessage(&msg);
  }

  std::vector<std::unique_ptr<CTitledPage>> pages;
  CTestSheet sheet;
};

TEST_F(TreeSheetTest, PathsBecomeNodesMatchedCaseSensitively) {
  Open();
  ASSERT_NE(sheet.GetPageTree(), nullptr);
  ASSERT_NE(sheet.GetPageFrame(), nullptr);
  EXPECT_EQ(DumpTree(Tree(), Tree().GetRootItem()),
            L"Output[-1](Files[0] Names[1]) output[-1](Files[2]) General[3]");
  EXPECT_EQ(SelectedText(), L"Files");
  EXPECT_EQ(sheet.GetPageFrame()->GetCaptionText(), L"Files");
  EXPECT_TRUE(sheet.ItemHasPage(Item(L"General")));
  EXPECT_FALSE(sheet.ItemHasPage(Item(L"Output")));
  // The tab row is gone; the tree sits left of the frame.
  EXPECT_FALSE(::IsWindowVisible(sheet.GetTabControl()->m_hWnd));
  RECT tree, frame;
  ::GetWindowRect(Tree().m_hWnd, &tree);
  ::GetWindowRect(sheet.GetPageFrame()->GetFrameWnd()->m_hWnd, &frame);
  EXPECT_LE(tree.right, frame.left);
  // The set-up is fixed once the window exists.
  EXPECT_FALSE(sheet.SetTreeMode(FALSE));
  EXPECT_FALSE(sheet.SetTreePaneWidth(300));
}

// With the focus on a page the tree still shows which page is open: the selected item's
// background stands out from an unselected item's, whether the tree has the focus or not.
TEST_F(TreeSheetTest, TheSelectionStaysPlainWhileAPageHasTheFocus) {
  Open();
  ASSERT_EQ(SelectedText(), L"Files");
  RECT client;
  Tree().GetClientRect(&client);
  // The text background of an item, the tree painted into a bitmap.
  const auto background = [&](HTREEITEM item) {
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    Tree().SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
                       PRF_CLIENT | PRF_ERASEBKGND);
    RECT text{};
    Tree().GetItemRect(item, &text, TRUE);
    const COLORREF colour = ::GetPixel(memory, text.left + 1, text.top + 1);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return colour;
  };
  const auto contrast = [&] {
    const COLORREF a = background(Tree().GetSelectedItem()), b = background(Item(L"General"));
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
           std::abs(GetBValue(a) - GetBValue(b));
  };
  for (bool treeFocused : {true, false}) {
    SCOPED_TRACE(treeFocused ? "the tree has the focus" : "a page has the focus");
    HWND focus = treeFocused ? Tree().m_hWnd : ::GetDlgItem(pages[0]->m_hWnd, IDC_TS_EDIT);
    ::SetFocus(focus);
    ASSERT_EQ(::GetFocus(), focus);
    EXPECT_GE(contrast(), 100);
  }
}

TEST_F(TreeSheetTest, ANodeWithoutAPageShowsTheMessageOnceTheActivePageLetsGo) {
  Open();
  // The page refuses: the tree keeps its selection and the page stays.
  pages[0]->m_refuseToLeave = TRUE;
  Tree().SelectItem(Item(L"Output"));
  EXPECT_EQ(SelectedText(), L"Files");
  EXPECT_TRUE(PageShown(0));

  pages[0]->m_refuseToLeave = FALSE;
  Tree().SelectItem(Item(L"Output"));
  EXPECT_EQ(SelectedText(), L"Output");
  EXPECT_FALSE(PageShown(0));
  EXPECT_EQ(sheet.GetPageFrame()->GetMessageText(), L"Choose a page under Output");

  // Back to the same page: it shows again.
  Tree().SelectItem(Item(L"Output::Files"));
  EXPECT_EQ(SelectedText(), L"Files");
  EXPECT_TRUE(PageShown(0));
  EXPECT_EQ(sheet.GetPageFrame()->GetCaptionText(), L"Files");

  // Another page refusing to be left vetoes a page change too.
  Tree().SelectItem(Item(L"General"));
  ASSERT_EQ(sheet.GetActiveIndex(), 3);
  pages[3]->m_refuseToLeave = TRUE;
  Tree().SelectItem(Item(L"output::Files"));
  EXPECT_EQ(sheet.GetActiveIndex(), 3);
  EXPECT_EQ(SelectedText(), L"General");
  pages[3]->m_refuseToLeave = FALSE;
}

TEST_F(TreeSheetTest, SkippingEmptyNodesPassesTheSelectionToTheFirstPageBelow) {
  sheet.SetSkipEmptyPages(true);
  Open();
  Tree().SelectItem(Item(L"General"));
  ASSERT_EQ(sheet.GetActiveIndex(), 3);
  Tree().SelectItem(Item(L"output"));
  EXPECT_EQ(sheet.GetActiveIndex(), 2);
  EXPECT_EQ(Tree().GetSelectedItem(), Item(L"output::Files"));
  EXPECT_TRUE(PageShown(2));

  // Arrow keys walk the pages; an item without selection consumes every key.
  EXPECT_TRUE(TreeKey(VK_DOWN));
  EXPECT_EQ(sheet.GetActiveIndex(), 3);
  EXPECT_TRUE(TreeKey(VK_DOWN));  // wraps to the first item, which passes on to Files
  EXPECT_EQ(sheet.GetActiveIndex(), 0);
  Tree().Expand(Item(L"Output"), TVE_COLLAPSE);
  Tree().SelectItem(Item(L"General"));
  Tree().SelectItem(Item(L"Output"));
  EXPECT_EQ(SelectedText(), L"Files");
}

TEST_F(TreeSheetTest, DisabledPagesAreGreyUnreachableAndKeepTheirStateAcrossRebuilds) {
  Open();
  // Disabling the active page moves on first.
  EXPECT_FALSE(sheet.SetPageEnabled(pages[0].get(), false));
  EXPECT_EQ(sheet.GetActiveIndex(), 1);
  EXPECT_FALSE(sheet.IsPageEnabled(pages[0].get()));
  EXPECT_FALSE(::IsWindowEnabled(pages[0]->m_hWnd));
  COLORREF colour = 0;
  ASSERT_TRUE(Tree().GetItemColour(Item(L"Output::Files"), &colour));
  EXPECT_EQ(colour, ::GetSysColor(COLOR_GRAYTEXT));
  EXPECT_FALSE(Tree().GetItemColour(Item(L"Output::Names"), nullptr));

  // The user cannot reach it: the selection goes on below instead.
  Tree().SelectItem(Item(L"Output::Files"));
  EXPECT_EQ(sheet.GetActiveIndex(), 1);
  EXPECT_EQ(SelectedText(), L"Names");

  // Ctrl+Tab walks over it and wraps.
  Tree().SelectItem(Item(L"General"));
  EXPECT_EQ(CtrlKey(VK_TAB), 1);
  EXPECT_EQ(sheet.GetActiveIndex(), 1);  // Output (empty), Files (grey) skipped
  EXPECT_EQ(CtrlKey(VK_PRIOR), 1);
  EXPECT_EQ(sheet.GetActiveIndex(), 3);  // backwards from Names wraps to General
  EXPECT_EQ(CtrlKey(VK_TAB, true), 1);
  EXPECT_EQ(sheet.GetActiveIndex(), 2);

  // Removing a page rebuilds the tree: a page after the removed one moves down an
  // index and keeps its grey; the page that takes over its old index stays black.
  sheet.SetActivePage(3);
  EXPECT_FALSE(sheet.SetPageEnabled(pages[2].get(), false));
  sheet.RemovePage(1);
  EXPECT_EQ(DumpTree(Tree(), Tree().GetRootItem()),
            L"Output[-1](Files[0]) output[-1](Files[1]) General[2]");
  EXPECT_TRUE(Tree().GetItemColour(Item(L"Output::Files"), nullptr));  // before the removed one
  ASSERT_TRUE(Tree().GetItemColour(Item(L"output::Files"), &colour));  // index 2, now 1
  EXPECT_EQ(colour, ::GetSysColor(COLOR_GRAYTEXT));
  EXPECT_FALSE(Tree().GetItemColour(Item(L"General"), nullptr));  // index 3, now 2
  EXPECT_EQ(sheet.GetActiveIndex(), 2);
  EXPECT_EQ(Tree().GetSelectedItem(), Item(L"General"));
  // The moved grey page is still out of reach.
  Tree().SelectItem(Item(L"output::Files"));
  EXPECT_EQ(sheet.GetActiveIndex(), 2);
  EXPECT_EQ(sheet.SendMessage(WMU_TPS_ENABLEPAGE, reinterpret_cast<WPARAM>(pages[2].get()), 1), 1);

  // Enabling by message.
  EXPECT_EQ(sheet.SendMessage(WMU_TPS_ENABLEPAGE, reinterpret_cast<WPARAM>(pages[0].get()), 1), 1);
  EXPECT_TRUE(sheet.IsPageEnabled(pages[0].get()));
  EXPECT_FALSE(Tree().GetItemColour(Item(L"Output::Files"), nullptr));
  EXPECT_TRUE(::IsWindowEnabled(pages[0]->m_hWnd));

  // Added after creation: in the tree at once.
  CTitledPage extra(IDD_TS_PAGE2, L"Output::Extra");
  sheet.AddPage(&extra);
  EXPECT_EQ(DumpTree(Tree(), Tree().GetRootItem()),
            L"Output[-1](Files[0] Extra[3]) output[-1](Files[1]) General[2]");
  sheet.DestroyWindow();
}

TEST_F(TreeSheetTest, DisablingTheOnlyPageLeavesItEnabled) {
  CTitledPage only(IDD_TS_PAGE1, L"Only");
  sheet.AddPage(&only);
  ASSERT_TRUE(sheet.SetTreeMode(TRUE, TRUE, FALSE));
  ASSERT_TRUE(sheet.Create());
  EXPECT_TRUE(sheet.SetPageEnabled(&only, true) == false);  // no entry before
  EXPECT_TRUE(sheet.SetPageEnabled(&only, false));          // the old entry: enabled
  EXPECT_TRUE(sheet.IsPageEnabled(&only));
  EXPECT_TRUE(::IsWindowEnabled(only.m_hWnd));
  sheet.DestroyWindow();
}

TEST_F(TreeSheetTest, WithoutTheTreeCtrlPageDownWrapsFromTheLastPageToTheFirst) {
  Open(false);
  EXPECT_EQ(sheet.GetPageTree(), nullptr);
  EXPECT_EQ(sheet.GetPageFrame(), nullptr);
  EXPECT_TRUE(::IsWindowVisible(sheet.GetTabControl()->m_hWnd));
  sheet.SetActivePage(3);
  EXPECT_EQ(CtrlKey(VK_NEXT), 1);
  EXPECT_EQ(sheet.GetActiveIndex(), 0);
  EXPECT_EQ(CtrlKey(VK_PRIOR), 1);
  EXPECT_EQ(sheet.GetActiveIndex(), 3);
}

TEST_F(TreeSheetTest, SelectingByResourceIdMovesTheTreeAlong) {
  Open();
  sheet.SendMessage(PSM_SETCURSELID, 0, IDD_TS_PAGE3);
  EXPECT_EQ(sheet.GetActiveIndex(), 2);
  EXPECT_EQ(Tree().GetSelectedItem(), Item(L"output::Files"));
  EXPECT_EQ(sheet.GetPageFrame()->GetCaptionText(), L"Files");
  sheet.SetActivePage(3);
  EXPECT_EQ(Tree().GetSelectedItem(), Item(L"General"));
  EXPECT_EQ(sheet.GetPageFrame()->GetCaptionText(), L"General");
}

}  // namespace
