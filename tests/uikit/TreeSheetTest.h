// Pages and helpers shared by the tree sheet tests.
#pragma once

#include <windows.h>

#define IDD_TS_PAGE1 300
#define IDD_TS_PAGE2 301
#define IDD_TS_PAGE3 302
#define IDD_TS_PAGE4 303
#define IDC_TS_EDIT 1201
#define IDC_TS_TEXT 1202

#ifndef RC_INVOKED

#include <string>

#include "uikit/TreePropSheetBase.h"

// A page with a title of the test's choosing; it can refuse to be left.
class CTitledPage : public CPropertyPage {
 public:
  CTitledPage(UINT id, LPCWSTR title) : CPropertyPage(id), m_title(title) {
    m_psp.dwFlags |= PSP_USETITLE;
    m_psp.pszTitle = m_title;
  }
  BOOL OnKillActive() override { return !m_refuseToLeave; }
  BOOL OnSetActive() override {
    ++m_activations;
    if (m_pressOnActive)
      ::PostMessageW(::GetParent(m_hWnd), PSM_PRESSBUTTON, static_cast<WPARAM>(m_pressOnActive), 0);
    m_pressOnActive = 0;
    return CPropertyPage::OnSetActive();
  }
  BOOL OnApply() override {
    ++m_applies;
    return TRUE;
  }
  BOOL m_refuseToLeave = FALSE;
  int m_pressOnActive = 0;  // a PSBTN_* to press once this page shows
  int m_kicks = 0;
  int m_helps = 0;
  int m_activations = 0;
  int m_applies = 0;

 protected:
  LRESULT OnKickIdle(WPARAM, LPARAM) {
    ++m_kicks;
    return 0;
  }
  LRESULT OnHelp(WPARAM, LPARAM) {
    ++m_helps;
    return TRUE;
  }
  DECLARE_MESSAGE_MAP()
  CString m_title;
};

// The tree as text: "name[page](children) ..." in order.
std::wstring DumpTree(const CTreeCtrl& tree, HTREEITEM first);

void Pump();

#endif
