// Type-ahead completion on a real combo box, typed into key by key as the message loop
// delivers keys: pre-translation first, then the edit field.
#include <gtest/gtest.h>

#include "framework/win/Win.h"
#include "uikit/ComboBoxExt.h"

namespace {

class ComboBoxExtTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(parent.CreateEx(0, AfxRegisterWndClass(0), L"type-ahead",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 300, nullptr,
                                nullptr));
    ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN | CBS_SORT,
                             CRect(10, 10, 200, 200), &parent, 100));
    ASSERT_TRUE(other.CreateEx(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 240, 100, 20,
                               parent.m_hWnd, nullptr));
    for (const wchar_t* item : {L"Rock", L"Rap", L"Reggae", L"Pop", L"Punk Rock"})
      combo.AddString(item);
    edit = ::GetWindow(combo.m_hWnd, GW_CHILD);
    ASSERT_NE(edit, nullptr);
    ::SetForegroundWindow(parent.m_hWnd);
    ::SetFocus(edit);
  }
  void TearDown() override { parent.DestroyWindow(); }

  // One key as the loop delivers it; TRUE when pre-translation consumed it.
  bool Key(WPARAM vk, wchar_t ch = 0) {
    MSG msg{edit, WM_KEYDOWN, vk, 0};
    if (CWnd::WalkPreTranslateTree(parent.m_hWnd, &msg)) return true;
    ::SendMessageW(edit, WM_KEYDOWN, vk, 0);
    if (ch) ::SendMessageW(edit, WM_CHAR, ch, 0);
    ::SendMessageW(edit, WM_KEYUP, vk, 0);
    return false;
  }
  void Type(const wchar_t* text) {
    for (const wchar_t* c = text; *c; ++c) Key(static_cast<WPARAM>(towupper(*c)), *c);
  }
  CString Text() {
    CString text;
    combo.GetWindowText(text);
    return text;
  }
  std::pair<int, int> Sel() {
    const DWORD sel = combo.GetEditSel();
    return {LOWORD(sel), HIWORD(sel)};
  }

  CWnd parent;
  CComboBoxExt combo;
  CWnd other;
  HWND edit = nullptr;
};

TEST_F(ComboBoxExtTest, TypingCompletesOpensTheListAndSelectsTheTail) {
  Type(L"Ro");
  EXPECT_EQ(Text(), L"Rock");
  EXPECT_TRUE(combo.GetDroppedState());
  EXPECT_EQ(Sel(), std::make_pair(2, 4));
  // The next key replaces the completed tail; completion follows the new prefix, and
  // case does not matter.
  Type(L"CK");
  EXPECT_EQ(Text(), L"Rock");
  Type(L" ");
  EXPECT_EQ(Text(), L"Rock ");
}

TEST_F(ComboBoxExtTest, BackspaceAndDeleteAreNotUndoneByCompletion) {
  Type(L"Ro");
  ASSERT_EQ(Text(), L"Rock");
  Key(VK_BACK, L'\b');  // removes the completed tail
  EXPECT_EQ(Text(), L"Ro");
  EXPECT_FALSE(combo.autoComplete);
  Key(VK_BACK, L'\b');
  EXPECT_EQ(Text(), L"R");
  Type(L"e");  // the next letter completes again
  EXPECT_EQ(Text(), L"Reggae");
  EXPECT_EQ(Sel(), std::make_pair(2, 6));
  combo.SetEditSel(0, 1);
  Key(VK_DELETE);
  EXPECT_EQ(Text(), L"eggae");
}

TEST_F(ComboBoxExtTest, ATextWithoutMatchStaysAsTypedAndClosesTheList) {
  Type(L"Ro");
  ASSERT_TRUE(combo.GetDroppedState());
  Type(L"x");
  EXPECT_EQ(Text(), L"Rox");
  EXPECT_FALSE(combo.GetDroppedState());
  EXPECT_EQ(Sel(), std::make_pair(3, 3));
  Type(L"y");
  EXPECT_EQ(Text(), L"Roxy");
}

TEST_F(ComboBoxExtTest, EditingInsideTheTextKeepsTheCaret) {
  struct Case {
    const wchar_t* before;
    int caret;
    const wchar_t* typed;
    const wchar_t* after;
  };
  const Case cases[] = {
      {L"Rck", 1, L"o", L"Rock"},    // completes to a whole item, caret stays after the o
      {L"Rock", 2, L"x", L"Roxck"},  // no match
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.before)));
    combo.autoComplete = FALSE;
    combo.SetWindowText(c.before);
    combo.SetEditSel(c.caret, c.caret);
    Type(c.typed);
    EXPECT_EQ(Text(), c.after);
    EXPECT_EQ(Sel(), std::make_pair(c.caret + 1, c.caret + 1));
  }
}

TEST_F(ComboBoxExtTest, AnEmptiedFieldStaysEmpty) {
  Type(L"Ro");
  combo.SetEditSel(0, -1);
  Key('X', 0x18);  // Ctrl+X cuts the whole text
  EXPECT_EQ(Text(), L"");
}

TEST_F(ComboBoxExtTest, EscapeAndLeavingTheFieldCloseTheList) {
  Type(L"Ro");
  ASSERT_TRUE(combo.GetDroppedState());
  EXPECT_TRUE(Key(VK_ESCAPE)) << "Esc went on to the dialog";
  EXPECT_FALSE(combo.GetDroppedState());
  EXPECT_EQ(Text(), L"Rock");

  // Other messages and keys are not consumed.
  MSG up{edit, WM_KEYUP, VK_ESCAPE, 0};
  EXPECT_FALSE(CWnd::WalkPreTranslateTree(parent.m_hWnd, &up));
  EXPECT_FALSE(Key(VK_RETURN));

  combo.SetEditSel(0, -1);
  Type(L"p");
  ASSERT_TRUE(combo.GetDroppedState());
  ::SetFocus(other.m_hWnd);
  EXPECT_FALSE(combo.GetDroppedState());
}

}  // namespace
