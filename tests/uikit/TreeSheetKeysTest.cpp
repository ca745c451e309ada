// Keys typed into an edit box on a page of a tree sheet, through the sheet's own
// message pre-translation as in its modal loop: the Ctrl keys of the edit box
// (select all, copy, paste, cut, word moves) reach it, and only Ctrl+Tab,
// Ctrl+Shift+Tab, Ctrl+PgUp and Ctrl+PgDn switch pages. Uses the clipboard.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/uikit/TreeSheetTest.h"

using namespace TreePropSheet;

namespace {

std::wstring ClipboardText() {
  if (!::OpenClipboard(nullptr)) return L"(clipboard busy)";
  std::wstring text;
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const wchar_t*>(::GlobalLock(data))) {
      text = p;
      ::GlobalUnlock(data);
    }
  }
  ::CloseClipboard();
  return text;
}

void SetClipboardText(const std::wstring& text) {
  ASSERT_TRUE(::OpenClipboard(nullptr));
  ::EmptyClipboard();
  HGLOBAL data = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  ::memcpy(::GlobalLock(data), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  ::GlobalUnlock(data);
  ::SetClipboardData(CF_UNICODETEXT, data);
  ::CloseClipboard();
}

class TreeSheetKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    pages.push_back(std::make_unique<CTitledPage>(IDD_TS_PAGE1, L"Output::Names"));
    pages.push_back(std::make_unique<CTitledPage>(IDD_TS_PAGE2, L"Output::Files"));
    pages.push_back(std::make_unique<CTitledPage>(IDD_TS_PAGE3, L"General"));
    for (auto& page : pages) sheet.AddPage(page.get());
    ASSERT_TRUE(sheet.SetTreeMode(TRUE, TRUE, FALSE));
    ASSERT_TRUE(sheet.Create());
    sheet.ShowWindow(SW_SHOW);
    Pump();
    edit = ::GetDlgItem(pages[0]->m_hWnd, IDC_TS_EDIT);
    ASSERT_NE(edit, nullptr);
    s_keys.clear();
    s_editProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingEditProc)));
    ::SetFocus(edit);
  }
  void TearDown() override {
    if (sheet.m_hWnd) sheet.DestroyWindow();
  }

  // One key press at the focused window, with Ctrl (and Shift) held, handled the
  // way the sheet's modal loop handles it.
  void Press(UINT vk, bool ctrl, bool shift = false) {
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
    HWND focus = ::GetFocus();
    ::PostMessageW(focus, WM_KEYDOWN, vk, 1);
    ::PostMessageW(focus, WM_KEYUP, vk, 0xC0000001);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!CWnd::WalkPreTranslateTree(sheet.m_hWnd, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
    keys[VK_CONTROL] = 0;
    keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
  }
  std::wstring Text() {
    wchar_t text[256] = {};
    ::GetWindowTextW(edit, text, 256);
    return text;
  }
  std::pair<DWORD, DWORD> Selection() {
    DWORD start = 0, end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    return {start, end};
  }

  // The key presses that reached the edit box.
  static std::vector<WPARAM> KeysSeen() { return s_keys; }
  static LRESULT CALLBACK RecordingEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN) s_keys.push_back(wParam);
    return ::CallWindowProcW(s_editProc, hwnd, message, wParam, lParam);
  }
  static inline std::vector<WPARAM> s_keys;
  static inline WNDPROC s_editProc = nullptr;

  std::vector<std::unique_ptr<CTitledPage>> pages;
  CTreePropSheetBase sheet{L"Keys"};
  HWND edit = nullptr;
};

TEST_F(TreeSheetKeys, CtrlKeysOfTheEditBoxReachItAndOnlyThePageKeysSwitchPages) {
  ::SetWindowTextW(edit, L"alpha beta");
  ::SendMessageW(edit, EM_SETSEL, 10, 10);
  Press('Q', false);  // plain typing
  EXPECT_EQ(Text(), L"alpha betaq");

  Press(VK_LEFT, true);  // a word back
  EXPECT_EQ(Selection(), std::make_pair(DWORD{6}, DWORD{6}));
  Press(VK_RIGHT, true);
  EXPECT_EQ(Selection(), std::make_pair(DWORD{11}, DWORD{11}));

  // Select all is the edit box's own business (not every version of it does it):
  // the key has to arrive there.
  Press('A', true);
  EXPECT_EQ(KeysSeen(), (std::vector<WPARAM>{'Q', VK_LEFT, VK_RIGHT, 'A'}));

  ::SendMessageW(edit, EM_SETSEL, 0, -1);
  SetClipboardText(L"stale");
  Press('C', true);
  EXPECT_EQ(ClipboardText(), L"alpha betaq");

  ::SendMessageW(edit, EM_SETSEL, 11, 11);
  Press('V', true);
  EXPECT_EQ(Text(), L"alpha betaqalpha betaq");

  ::SendMessageW(edit, EM_SETSEL, 0, 6);
  Press('X', true);
  EXPECT_EQ(Text(), L"betaqalpha betaq");
  EXPECT_EQ(ClipboardText(), L"alpha ");
  EXPECT_EQ(sheet.GetActiveIndex(), 0);  // none of these switched the page

  // The sheet's own keys still switch, from inside the edit box too.
  Press(VK_TAB, true);
  EXPECT_EQ(sheet.GetActiveIndex(), 1);
  Press(VK_TAB, true, true);
  EXPECT_EQ(sheet.GetActiveIndex(), 0);
  Press(VK_NEXT, true);
  EXPECT_EQ(sheet.GetActiveIndex(), 1);
  Press(VK_PRIOR, true);
  EXPECT_EQ(sheet.GetActiveIndex(), 0);
}

}  // namespace
