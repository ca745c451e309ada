// A property sheet runs modally under the framework loop (WM_KICKIDLE reaches the
// sheet, keys pass PreTranslateMessage) and ends with OK or Cancel.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/window/TestApp.h"
#include "tests/window/TestIds.h"

namespace {

std::vector<std::string> g_events;

class CTestPage : public CPropertyPage {
 public:
  explicit CTestPage(UINT id) : CPropertyPage(id) {}
  CString m_text = L"page text";
  BOOL m_refuseApply = FALSE;
  void DoDataExchange(CDataExchange* pDX) override {
    if (m_psp.pszTemplate == MAKEINTRESOURCEW(IDD_PAGE1)) DDX_Text(pDX, IDC_PAGE_EDIT, m_text);
  }
  BOOL OnSetActive() override {
    g_events.push_back("setactive");
    return CPropertyPage::OnSetActive();
  }
  BOOL OnApply() override {
    g_events.push_back("apply");
    return !m_refuseApply;
  }
  void OnReset() override { g_events.push_back("reset"); }
};

class CTestSheet : public CPropertySheet {
 public:
  CTestSheet() : CPropertySheet(L"Sheet") {}
  int m_button = PSBTN_OK;
  int m_kicks = 0;
  bool m_sawKey = false;
  bool m_hookedFromBirth = false;
  BOOL OnInitDialog() override {
    m_hookedFromBirth = FromHandlePermanent(m_hWnd) == this;
    return CPropertySheet::OnInitDialog();
  }
  BOOL PreTranslateMessage(MSG* pMsg) override {
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_F3) m_sawKey = true;
    return CPropertySheet::PreTranslateMessage(pMsg);
  }
  LRESULT OnKickIdle(WPARAM, LPARAM) {
    if (++m_kicks == 1) {
      HWND page = reinterpret_cast<HWND>(SendMessage(PSM_GETCURRENTPAGEHWND));
      ::PostMessageW(::GetDlgItem(page, IDC_PAGE_EDIT), WM_KEYDOWN, VK_F3, 0);
    } else if (m_kicks == 2) {
      PressButton(m_button);
    }
    return FALSE;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestSheet, CPropertySheet)
ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
END_MESSAGE_MAP()

TEST(PropSheet, RunsModallyUnderTheFrameworkLoopAndEndsWithOk) {
  g_events.clear();
  CTestPage first(IDD_PAGE1);
  CTestPage second(IDD_PAGE2);
  CTestSheet sheet;
  sheet.AddPage(&first);
  sheet.AddPage(&second);
  EXPECT_EQ(sheet.GetPageCount(), 2);
  EXPECT_EQ(sheet.GetPage(1), &second);
  EXPECT_EQ(sheet.GetPageIndex(&second), 1);
  EXPECT_EQ(sheet.DoModal(), IDOK);
  EXPECT_TRUE(sheet.m_hookedFromBirth);
  EXPECT_TRUE(sheet.m_sawKey);
  EXPECT_GE(sheet.m_kicks, 2);
  EXPECT_EQ(sheet.m_hWnd, nullptr);
  ASSERT_FALSE(g_events.empty());
  EXPECT_EQ(g_events.front(), "setactive");
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "apply"), g_events.end());
}

TEST(PropSheet, CancelEndsWithIdCancel) {
  g_events.clear();
  CTestPage first(IDD_PAGE1);
  CTestSheet sheet;
  sheet.m_button = PSBTN_CANCEL;
  sheet.AddPage(&first);
  EXPECT_EQ(sheet.DoModal(), IDCANCEL);
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "reset"), g_events.end());
  EXPECT_EQ(std::find(g_events.begin(), g_events.end(), "apply"), g_events.end());
}

TEST(PropSheet, GetPageOutOfRangeThrowsInvalidArg) {
  CTestSheet sheet;
  bool thrown = false;
  try {
    sheet.GetPage(0);
  } catch (CInvalidArgException* e) {
    thrown = true;
    e->Delete();
  }
  EXPECT_TRUE(thrown);
}

}  // namespace
