// The framework modal loop: WM_KICKIDLE when idle, PreTranslateMessage along the
// parent chain, the owner disabled during the run, the end on EndDialog.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/window/TestApp.h"
#include "tests/window/TestIds.h"

namespace {

std::vector<std::string> g_trail;

class CTrailEdit : public CWnd {
 public:
  BOOL PreTranslateMessage(MSG* pMsg) override {
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_F2) g_trail.push_back("edit");
    return FALSE;
  }
};

class CLoopDlg : public CDialog {
 public:
  explicit CLoopDlg(CWnd* pParent) : CDialog(IDD_TEST, pParent) {}
  CTrailEdit m_edit;
  std::vector<LPARAM> m_idleCounts;
  bool m_keyPosted = false;
  bool m_ownerDisabledInside = false;
  bool m_endInInit = false;

  void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_EDIT, m_edit); }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    if (m_endInInit) EndDialog(77);
    return TRUE;
  }
  BOOL PreTranslateMessage(MSG* pMsg) override {
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_F2) {
      g_trail.push_back("dialog");
      EndDialog(4242);
      return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
  }
  LRESULT OnKickIdle(WPARAM wParam, LPARAM lParam) {
    EXPECT_EQ(wParam, static_cast<WPARAM>(MSGF_DIALOGBOX));
    m_idleCounts.push_back(lParam);
    if (CWnd* owner = GetOwner()) m_ownerDisabledInside = !owner->IsWindowEnabled();
    if (lParam < 2) return TRUE;  // ask for more idle time twice
    if (!m_keyPosted) {
      m_keyPosted = true;
      ::PostMessageW(m_edit, WM_KEYDOWN, VK_F2, 0);
    }
    return FALSE;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLoopDlg, CDialog)
ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
END_MESSAGE_MAP()

struct ModalFixture : ::testing::Test {
  CWnd owner;
  void SetUp() override {
    g_trail.clear();
    ASSERT_TRUE(owner.CreateEx(0, nullptr, L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300,
                               200, nullptr, nullptr));
  }
  void TearDown() override { owner.DestroyWindow(); }
};

TEST_F(ModalFixture, KickIdlePreTranslateChainAndEndDialog) {
  CLoopDlg dlg(&owner);
  INT_PTR result = dlg.DoModal();
  EXPECT_EQ(result, 4242);
  ASSERT_GE(dlg.m_idleCounts.size(), 3u);
  EXPECT_EQ(dlg.m_idleCounts[0], 0);
  EXPECT_EQ(dlg.m_idleCounts[1], 1);
  EXPECT_EQ(dlg.m_idleCounts[2], 2);
  // The key went to the edit's object first, then up to the dialog, which ate it.
  EXPECT_EQ(g_trail, (std::vector<std::string>{"edit", "dialog"}));
  EXPECT_TRUE(dlg.m_ownerDisabledInside);
  EXPECT_TRUE(owner.IsWindowEnabled());
  EXPECT_EQ(dlg.m_hWnd, nullptr);
  EXPECT_EQ(dlg.m_edit.m_hWnd, nullptr);
}

TEST_F(ModalFixture, EndDialogDuringInitialisationSkipsTheLoop) {
  CLoopDlg dlg(&owner);
  dlg.m_endInInit = true;
  EXPECT_EQ(dlg.DoModal(), 77);
  EXPECT_TRUE(dlg.m_idleCounts.empty());
  EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST_F(ModalFixture, CancelAndCloseEndWithIdCancel) {
  for (UINT message : {static_cast<UINT>(WM_CLOSE), static_cast<UINT>(WM_COMMAND)}) {
    struct CCloser : CLoopDlg {
      using CLoopDlg::CLoopDlg;
      UINT m_message = 0;
      BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (m_message == WM_CLOSE)
          PostMessage(WM_CLOSE);
        else
          PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                      reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, IDCANCEL)));
        return TRUE;
      }
    } dlg(&owner);
    dlg.m_message = message;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL) << message;
  }
}

TEST_F(ModalFixture, QuitMessageEndsTheLoopAndIsPostedAgain) {
  struct CQuitter : CLoopDlg {
    using CLoopDlg::CLoopDlg;
    BOOL OnInitDialog() override {
      CDialog::OnInitDialog();
      ::PostQuitMessage(3);
      return TRUE;
    }
  } dlg(&owner);
  EXPECT_EQ(dlg.DoModal(), -1);
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

}  // namespace
