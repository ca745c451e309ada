// Data exchange round trips, validation prompts, focus on failure, and the
// notification lockout while UpdateData runs.
#include <gtest/gtest.h>

#include "tests/window/TestApp.h"
#include "tests/window/TestIds.h"

namespace {

class CDataDlg : public CDialog {
 public:
  CDataDlg() : CDialog(IDD_TEST) {}
  CString m_text = L"abc";
  int m_number = 1999;
  int m_check = 1;
  int m_radio = 2;
  CWnd m_editCtl;
  int m_changes = 0;

  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Control(pDX, IDC_EDIT, m_editCtl);
    DDX_Text(pDX, IDC_EDIT, m_text);
    DDV_MaxChars(pDX, m_text, 5);
    DDX_Text(pDX, IDC_NUMBER, m_number);
    DDV_MinMaxInt(pDX, m_number, 1, 2100);
    DDX_Check(pDX, IDC_CHECK, m_check);
    DDX_Radio(pDX, IDC_RADIO1, m_radio);
  }
  void OnEditChange() { ++m_changes; }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDataDlg, CDialog)
ON_EN_CHANGE(IDC_EDIT, OnEditChange)
END_MESSAGE_MAP()

struct DataFixture : ::testing::Test {
  CDataDlg dlg;
  void SetUp() override {
    g_testApp.m_boxes.clear();
    ASSERT_TRUE(dlg.Create(IDD_TEST));
    dlg.ShowWindow(SW_SHOW);
    dlg.m_changes = 0;
  }
  void TearDown() override { dlg.DestroyWindow(); }
  CString Text(int id) {
    CString s;
    dlg.GetDlgItemText(id, s);
    return s;
  }
};

TEST_F(DataFixture, LoadThenSaveRoundTrips) {
  // OnInitDialog loaded the members.
  EXPECT_EQ(Text(IDC_EDIT), L"abc");
  EXPECT_EQ(Text(IDC_NUMBER), L"1999");
  EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_CHECK), 1u);
  EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_RADIO3), 1u);
  EXPECT_EQ(dlg.SendDlgItemMessage(IDC_EDIT, EM_GETLIMITTEXT), 5);
  EXPECT_EQ(CWnd::FromHandlePermanent(::GetDlgItem(dlg, IDC_EDIT)), &dlg.m_editCtl);

  dlg.SetDlgItemText(IDC_EDIT, L"xy");
  dlg.SetDlgItemText(IDC_NUMBER, L" 42 ");
  dlg.CheckDlgButton(IDC_CHECK, 0);
  dlg.CheckRadioButton(IDC_RADIO1, IDC_RADIO3, IDC_RADIO1);
  ASSERT_TRUE(dlg.UpdateData(TRUE));
  EXPECT_EQ(dlg.m_text, L"xy");
  EXPECT_EQ(dlg.m_number, 42);
  EXPECT_EQ(dlg.m_check, 0);
  EXPECT_EQ(dlg.m_radio, 0);
  EXPECT_TRUE(g_testApp.m_boxes.empty());
}

TEST_F(DataFixture, FailuresShowThePromptAndFocusTheControl) {
  struct Case {
    int id;
    LPCWSTR text;
    LPCWSTR prompt;
  };
  const Case cases[] = {
      {IDC_NUMBER, L"12a", L"Please enter an integer."},
      {IDC_NUMBER, L"", L"Please enter an integer."},
      {IDC_NUMBER, L"2101", L"Enter an integer between 1 and 2100."},
      {IDC_NUMBER, L"0", L"Enter an integer between 1 and 2100."},
      {IDC_EDIT, L"abcdef", L"Enter no more than 5 characters."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text);
    dlg.UpdateData(FALSE);
    g_testApp.m_boxes.clear();
    int before = dlg.m_number;
    dlg.SendDlgItemMessage(c.id, EM_LIMITTEXT, 0);
    dlg.SetDlgItemText(c.id, c.text);
    EXPECT_FALSE(dlg.UpdateData(TRUE));
    ASSERT_EQ(g_testApp.m_boxes.size(), 1u);
    EXPECT_EQ(g_testApp.m_boxes[0], c.prompt);
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(dlg, c.id));
    if (c.id == IDC_NUMBER && wcscmp(c.prompt, L"Please enter an integer.") == 0) {
      EXPECT_EQ(dlg.m_number, before);
    }
    dlg.m_text = L"abc";
    dlg.m_number = 1999;
  }
}

TEST_F(DataFixture, NotificationsAreLockedOutDuringTheExchange) {
  dlg.m_text = L"new";
  ASSERT_TRUE(dlg.UpdateData(FALSE));
  EXPECT_EQ(dlg.m_changes, 0);
  dlg.SetDlgItemText(IDC_EDIT, L"typed");
  EXPECT_EQ(dlg.m_changes, 1);
}

TEST_F(DataFixture, OnInitDialogRunsAgainWhenResent) {
  dlg.m_text = L"again";
  dlg.SendMessage(WM_INITDIALOG, 0, 0);
  EXPECT_EQ(Text(IDC_EDIT), L"again");
}

}  // namespace
