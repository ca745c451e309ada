// Property sheets and pages.
#include "framework/win/PropSheet.h"

#include "framework/win/WinApp.h"

// ---------------------------------------------------------------- CPropertyPage

CPropertyPage::CPropertyPage() : m_psp{}, m_bFirstSetActive(TRUE) { Construct(0, 0); }

CPropertyPage::CPropertyPage(UINT nIDTemplate, UINT nIDCaption) : m_psp{}, m_bFirstSetActive(TRUE) {
  Construct(nIDTemplate, nIDCaption);
}

void CPropertyPage::Construct(UINT nIDTemplate, UINT nIDCaption) {
  m_lpszTemplateName = MAKEINTRESOURCEW(nIDTemplate);
  m_nIDHelp = nIDTemplate;
  m_psp = {};
  m_psp.dwSize = sizeof(m_psp);
  m_psp.dwFlags = PSP_DEFAULT;
  m_psp.hInstance = AfxGetResourceHandle();
  m_psp.pszTemplate = m_lpszTemplateName;
  m_psp.pfnDlgProc = &AfxPageDlgProc;
  m_psp.lParam = reinterpret_cast<LPARAM>(this);
  if (nIDCaption) {
    m_strCaption.LoadString(nIDCaption);
    m_psp.pszTitle = m_strCaption;
    m_psp.dwFlags |= PSP_USETITLE;
  }
}

INT_PTR CALLBACK CPropertyPage::AfxPageDlgProc(HWND hWnd, UINT message, WPARAM,
                                               LPARAM lParam) noexcept {
  if (message != WM_INITDIALOG) return FALSE;
  try {
    CPropertyPage* pPage = nullptr;
    if (CWnd* p = FromHandlePermanent(hWnd)) {
      pPage = dynamic_cast<CPropertyPage*>(p);
    } else {
      // First sight of the page: its object rides in the page's lParam.
      auto* psp = reinterpret_cast<PROPSHEETPAGEW*>(lParam);
      pPage = reinterpret_cast<CPropertyPage*>(psp->lParam);
      if (!pPage->SubclassWindow(hWnd)) return TRUE;
    }
    if (pPage) return pPage->OnInitDialog();
  } catch (CException* e) {
    e->ReportError(MB_ICONEXCLAMATION);
    e->Delete();
  } catch (...) {
  }
  return TRUE;
}

CPropertySheet* CPropertyPage::GetSheet() const {
  return dynamic_cast<CPropertySheet*>(FromHandlePermanent(::GetParent(m_hWnd)));
}

void CPropertyPage::SetModified(BOOL bChanged) {
  HWND hSheet = ::GetParent(m_hWnd);
  ::SendMessageW(hSheet, bChanged ? PSM_CHANGED : PSM_UNCHANGED, reinterpret_cast<WPARAM>(m_hWnd),
                 0);
}

BOOL CPropertyPage::OnSetActive() {
  if (m_bFirstSetActive)
    m_bFirstSetActive = FALSE;
  else
    UpdateData(FALSE);
  return TRUE;
}
BOOL CPropertyPage::OnKillActive() { return UpdateData(TRUE); }
BOOL CPropertyPage::OnApply() {
  OnOK();
  return TRUE;
}
void CPropertyPage::OnReset() { OnCancel(); }
BOOL CPropertyPage::OnQueryCancel() { return TRUE; }
LRESULT CPropertyPage::OnWizardBack() { return 0; }
LRESULT CPropertyPage::OnWizardNext() { return 0; }
BOOL CPropertyPage::OnWizardFinish() { return TRUE; }
void CPropertyPage::OnOK() {}
void CPropertyPage::OnCancel() {}

BOOL CPropertyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  auto* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
  if (pNMHDR->hwndFrom != ::GetParent(m_hWnd)) return CDialog::OnNotify(wParam, lParam, pResult);
  switch (pNMHDR->code) {
    case PSN_SETACTIVE:
      *pResult = OnSetActive() ? 0 : -1;
      return TRUE;
    case PSN_KILLACTIVE:
      *pResult = OnKillActive() ? FALSE : TRUE;
      return TRUE;
    case PSN_APPLY: {
      BOOL ok = OnApply();
      *pResult = ok ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
      if (ok && reinterpret_cast<PSHNOTIFY*>(lParam)->lParam)
        if (CPropertySheet* pSheet = GetSheet()) pSheet->m_nResultPending = IDOK;
      return TRUE;
    }
    case PSN_RESET:
      OnReset();
      *pResult = 0;
      return TRUE;
    case PSN_QUERYCANCEL:
      *pResult = OnQueryCancel() ? FALSE : TRUE;
      return TRUE;
    case PSN_WIZBACK:
      *pResult = OnWizardBack();
      return TRUE;
    case PSN_WIZNEXT:
      *pResult = OnWizardNext();
      return TRUE;
    case PSN_WIZFINISH:
      *pResult = OnWizardFinish() ? FALSE : TRUE;
      return TRUE;
    default:
      return CDialog::OnNotify(wParam, lParam, pResult);
  }
}

BOOL CPropertyPage::PreTranslateMessage(MSG* pMsg) {
  // The sheet does the dialog keys for its pages.
  return CWnd::PreTranslateMessage(pMsg);
}

// ---------------------------------------------------------------- CPropertySheet

BEGIN_MESSAGE_MAP(CPropertySheet, CWnd)
ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
END_MESSAGE_MAP()

CPropertySheet::CPropertySheet()
    : m_psh{}, m_pParentWnd(nullptr), m_bModeless(FALSE), m_bStacked(TRUE), m_nResultPending(0) {
  Construct(static_cast<LPCTSTR>(nullptr));
}

CPropertySheet::CPropertySheet(UINT nIDCaption, CWnd* pParentWnd, UINT iSelectPage)
    : CPropertySheet() {
  Construct(nIDCaption, pParentWnd, iSelectPage);
}

CPropertySheet::CPropertySheet(LPCTSTR pszCaption, CWnd* pParentWnd, UINT iSelectPage)
    : CPropertySheet() {
  Construct(pszCaption, pParentWnd, iSelectPage);
}

void CPropertySheet::Construct(UINT nIDCaption, CWnd* pParentWnd, UINT iSelectPage) {
  CString caption;
  caption.LoadString(nIDCaption);
  Construct(caption, pParentWnd, iSelectPage);
}

void CPropertySheet::Construct(LPCTSTR pszCaption, CWnd* pParentWnd, UINT iSelectPage) {
  m_psh = {};
  m_psh.dwSize = sizeof(m_psh);
  m_psh.dwFlags = PSH_PROPSHEETPAGE;
  m_strCaption = pszCaption ? pszCaption : L"";
  m_psh.pszCaption = m_strCaption;
  m_psh.nStartPage = iSelectPage;
  m_psh.hInstance = AfxGetResourceHandle();
  m_pParentWnd = pParentWnd;
}

CPropertySheet::~CPropertySheet() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
}

void CPropertySheet::BuildPropPageArray() {
  m_pageArray.clear();
  for (CPropertyPage* p : m_pages) m_pageArray.push_back(p->m_psp);
  m_psh.nPages = static_cast<UINT>(m_pageArray.size());
  m_psh.ppsp = m_pageArray.empty() ? nullptr : m_pageArray.data();
  m_psh.dwFlags |= PSH_PROPSHEETPAGE;
}

void CPropertySheet::AddPage(CPropertyPage* pPage) {
  m_pages.push_back(pPage);
  if (m_hWnd) {
    HPROPSHEETPAGE h = ::CreatePropertySheetPageW(&pPage->m_psp);
    if (!h || !::SendMessageW(m_hWnd, PSM_ADDPAGE, 0, reinterpret_cast<LPARAM>(h))) {
      if (h) ::DestroyPropertySheetPage(h);
      m_pages.pop_back();
      AfxThrowMemoryException();
    }
  }
}

void CPropertySheet::RemovePage(CPropertyPage* pPage) {
  int i = GetPageIndex(pPage);
  if (i >= 0) RemovePage(i);
}

void CPropertySheet::RemovePage(int nPage) {
  if (nPage < 0 || nPage >= GetPageCount()) AfxThrowInvalidArgException();
  // The list first: whoever watches PSM_REMOVEPAGE sees the pages that remain.
  m_pages.erase(m_pages.begin() + nPage);
  if (m_hWnd) ::SendMessageW(m_hWnd, PSM_REMOVEPAGE, static_cast<WPARAM>(nPage), 0);
}

BOOL CPropertySheet::SetActivePage(int nPage) {
  if (!m_hWnd) {
    m_psh.nStartPage = static_cast<UINT>(nPage);
    return TRUE;
  }
  return static_cast<BOOL>(::SendMessageW(m_hWnd, PSM_SETCURSEL, static_cast<WPARAM>(nPage), 0));
}

BOOL CPropertySheet::SetActivePage(CPropertyPage* pPage) {
  int i = GetPageIndex(pPage);
  return i >= 0 ? SetActivePage(i) : FALSE;
}

int CPropertySheet::GetActiveIndex() const {
  if (!m_hWnd) return static_cast<int>(m_psh.nStartPage);
  HWND hPage = reinterpret_cast<HWND>(::SendMessageW(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0));
  for (size_t i = 0; i < m_pages.size(); ++i)
    if (m_pages[i]->m_hWnd && m_pages[i]->m_hWnd == hPage) return static_cast<int>(i);
  return -1;
}

CPropertyPage* CPropertySheet::GetActivePage() const {
  int i = GetActiveIndex();
  return i >= 0 && i < GetPageCount() ? m_pages[static_cast<size_t>(i)] : nullptr;
}

int CPropertySheet::GetPageCount() const { return static_cast<int>(m_pages.size()); }

CPropertyPage* CPropertySheet::GetPage(int nPage) const {
  if (nPage < 0 || nPage >= GetPageCount()) AfxThrowInvalidArgException();
  return m_pages[static_cast<size_t>(nPage)];
}

int CPropertySheet::GetPageIndex(CPropertyPage* pPage) const {
  for (size_t i = 0; i < m_pages.size(); ++i)
    if (m_pages[i] == pPage) return static_cast<int>(i);
  return -1;
}

CTabCtrl* CPropertySheet::GetTabControl() const {
  // CTabCtrl adds no data to CWnd, so the window wrapper stands for it.
  return reinterpret_cast<CTabCtrl*>(
      FromHandle(reinterpret_cast<HWND>(::SendMessageW(m_hWnd, PSM_GETTABCONTROL, 0, 0))));
}

void CPropertySheet::SetTitle(LPCTSTR lpszText, UINT nStyle) {
  m_strCaption = lpszText;
  m_psh.pszCaption = m_strCaption;
  if (m_hWnd)
    ::SendMessageW(m_hWnd, PSM_SETTITLEW, nStyle,
                   reinterpret_cast<LPARAM>(static_cast<LPCWSTR>(m_strCaption)));
}

void CPropertySheet::EndDialog(int nEndID) {
  if (m_nFlags & (WF_MODALLOOP | WF_CONTINUEMODAL))
    EndModalLoop(nEndID);
  else if (m_hWnd)
    ::PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

LRESULT CPropertySheet::HandleInitDialog(WPARAM, LPARAM) {
  BOOL result = OnInitDialog();
  if (!m_bStacked) {
    HWND hTab = reinterpret_cast<HWND>(::SendMessageW(m_hWnd, PSM_GETTABCONTROL, 0, 0));
    if (hTab) CWnd::ModifyStyle(hTab, TCS_MULTILINE, TCS_SINGLELINE, 0);
  }
  return result;
}

BOOL CPropertySheet::OnInitDialog() { return static_cast<BOOL>(Default()); }

BOOL CPropertySheet::Create(CWnd* pParentWnd, DWORD dwStyle, DWORD dwExStyle) {
  if (m_hWnd) return FALSE;
  BuildPropPageArray();
  m_psh.dwFlags |= PSH_MODELESS;
  m_psh.hwndParent = pParentWnd->GetSafeHwnd();
  (void)dwStyle;
  (void)dwExStyle;
  m_bModeless = TRUE;
  AfxHookWindowCreate(this);
  INT_PTR h = ::PropertySheetW(&m_psh);
  AfxUnhookWindowCreate();
  if (h == 0 || h == -1) {
    if (m_hWnd) Detach();
    return FALSE;
  }
  return TRUE;
}

INT_PTR CPropertySheet::DoModal() {
  if (m_hWnd) return -1;
  HWND hTop = nullptr;
  HWND hOwner = CWnd::GetSafeOwner_(m_pParentWnd->GetSafeHwnd(), &hTop);
  bool enableOwner = false;
  if (hOwner && ::IsWindowEnabled(hOwner)) {
    ::EnableWindow(hOwner, FALSE);
    enableOwner = true;
  }
  m_nModalResult = -1;
  m_nResultPending = IDCANCEL;
  BuildPropPageArray();
  m_psh.dwFlags |= PSH_MODELESS;
  m_psh.hwndParent = hOwner;
  m_bModeless = FALSE;
  AfxHookWindowCreate(this);
  INT_PTR h = ::PropertySheetW(&m_psh);
  AfxUnhookWindowCreate();
  if (h != 0 && h != -1 && m_hWnd) {
    m_nFlags |= WF_CONTINUEMODAL;
    m_nModalResult = IDCANCEL;
    try {
      RunModalLoop(MLF_SHOWONIDLE);
    } catch (CException* e) {
      e->Delete();
    } catch (...) {
    }
  } else if (m_hWnd) {
    Detach();
  }
  if (enableOwner) ::EnableWindow(hOwner, TRUE);
  if (hTop) ::EnableWindow(hTop, TRUE);
  if (m_hWnd) {
    if (hOwner && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(hOwner);
    DestroyWindow();
  }
  return m_nModalResult;
}

BOOL CPropertySheet::ContinueModal() {
  if (!CWnd::ContinueModal()) return FALSE;
  // comctl32 lets a modeless sheet go by dropping its current page.
  if (::SendMessageW(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0) == 0) {
    m_nModalResult = m_nResultPending ? m_nResultPending : IDCANCEL;
    return FALSE;
  }
  return TRUE;
}

BOOL CPropertySheet::PreTranslateMessage(MSG* pMsg) {
  if (CWnd::PreTranslateMessage(pMsg)) return TRUE;
  if (!m_hWnd || (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd))) return FALSE;
  return static_cast<BOOL>(
      ::SendMessageW(m_hWnd, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(pMsg)));
}
