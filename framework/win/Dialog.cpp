// Dialogs: creation through the hook, the framework modal run, data exchange.
#include "framework/win/Dialog.h"

#include <cwchar>
#include <exception>

#include "framework/win/WinApp.h"

HWND& AfxLockoutNotifyWindow();

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
ON_WM_PAINT()
END_MESSAGE_MAP()

CDialog::CDialog()
    : m_lpszTemplateName(nullptr),
      m_nIDHelp(0),
      m_lpDialogTemplate(nullptr),
      m_pParentWnd(nullptr),
      m_hWndTop(nullptr) {}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : CDialog() {
  m_lpszTemplateName = MAKEINTRESOURCEW(nIDTemplate);
  m_nIDHelp = nIDTemplate;
  m_pParentWnd = pParentWnd;
}

CDialog::CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd) : CDialog() {
  m_lpszTemplateName = lpszTemplateName;
  m_pParentWnd = pParentWnd;
}

CDialog::~CDialog() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
}

INT_PTR CALLBACK CDialog::AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM) noexcept {
  if (message != WM_INITDIALOG) return FALSE;
  // Also when WM_INITDIALOG is sent again later: the same initialisation runs.
  try {
    if (auto* pDlg = dynamic_cast<CDialog*>(FromHandlePermanent(hWnd))) return pDlg->OnInitDialog();
  } catch (CException* e) {
    e->ReportError(MB_ICONEXCLAMATION);
    e->Delete();
  } catch (...) {
  }
  return TRUE;
}

LPCDLGTEMPLATE CDialog::LoadTemplate(HINSTANCE* phInst) const {
  if (m_lpDialogTemplate) {
    *phInst = AfxGetInstanceHandle();
    return m_lpDialogTemplate;
  }
  HINSTANCE hInst = AfxGetResourceHandle();
  HRSRC hRes = ::FindResourceW(hInst, m_lpszTemplateName, MAKEINTRESOURCEW(5));  // RT_DIALOG
  if (!hRes) return nullptr;
  HGLOBAL hGlobal = ::LoadResource(hInst, hRes);
  *phInst = hInst;
  return hGlobal ? static_cast<LPCDLGTEMPLATE>(::LockResource(hGlobal)) : nullptr;
}

BOOL CDialog::CreateDlgIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd,
                                HINSTANCE hInst) {
  if (!lpDialogTemplate || m_hWnd) return FALSE;
  AfxHookWindowCreate(this);
  HWND hWnd = ::CreateDialogIndirectParamW(hInst, lpDialogTemplate, pParentWnd->GetSafeHwnd(),
                                           &AfxDlgProc, reinterpret_cast<LPARAM>(this));
  AfxUnhookWindowCreate();
  if (!hWnd) {
    if (m_hWnd) Detach();
    return FALSE;
  }
  return TRUE;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
  return Create(MAKEINTRESOURCEW(nIDTemplate), pParentWnd);
}

BOOL CDialog::Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd) {
  m_lpszTemplateName = lpszTemplateName;
  if (!pParentWnd) pParentWnd = m_pParentWnd;
  m_pParentWnd = pParentWnd;
  HINSTANCE hInst = nullptr;
  LPCDLGTEMPLATE tmpl = LoadTemplate(&hInst);
  return CreateDlgIndirect(tmpl, pParentWnd, hInst);
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd) {
  m_pParentWnd = pParentWnd;
  return CreateDlgIndirect(lpDialogTemplate, pParentWnd, AfxGetInstanceHandle());
}

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd) {
  m_lpDialogTemplate = lpDialogTemplate;
  m_pParentWnd = pParentWnd;
  return lpDialogTemplate != nullptr;
}

HWND CDialog::PreModal() {
  HWND hOwner = CWnd::GetSafeOwner_(m_pParentWnd->GetSafeHwnd(), &m_hWndTop);
  if (m_hWndTop == m_hWnd) m_hWndTop = nullptr;
  return hOwner;
}

void CDialog::PostModal() {
  if (m_hWndTop && ::IsWindow(m_hWndTop)) ::EnableWindow(m_hWndTop, TRUE);
  m_hWndTop = nullptr;
}

INT_PTR CDialog::DoModal() {
  HINSTANCE hInst = nullptr;
  LPCDLGTEMPLATE tmpl = LoadTemplate(&hInst);
  if (!tmpl) return -1;
  HWND hOwner = PreModal();
  bool enableOwner = false;
  if (hOwner && hOwner != ::GetDesktopWindow() && ::IsWindowEnabled(hOwner)) {
    ::EnableWindow(hOwner, FALSE);
    enableOwner = true;
  }
  m_nModalResult = -1;
  m_nFlags |= WF_CONTINUEMODAL;  // EndDialog from OnInitDialog ends before the loop
  try {
    if (CreateDlgIndirect(tmpl, CWnd::FromHandle(hOwner), hInst)) {
      if (m_nFlags & WF_CONTINUEMODAL) {
        DWORD flags = MLF_SHOWONIDLE;
        if (GetStyle() & DS_NOIDLEMSG) flags |= MLF_NOIDLEMSG;
        RunModalLoop(flags);
      }
      if (m_hWnd)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
  } catch (CException* e) {
    e->Delete();
    m_nModalResult = -1;
  } catch (...) {
    m_nModalResult = -1;
  }
  m_nFlags &= ~(WF_CONTINUEMODAL | WF_MODALLOOP);
  // Owner back before the dialog goes, so activation returns to it.
  if (enableOwner) ::EnableWindow(hOwner, TRUE);
  if (hOwner && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(hOwner);
  DestroyWindow();
  PostModal();
  return m_nModalResult;
}

void CDialog::EndDialog(int nResult) {
  if (m_nFlags & (WF_MODALLOOP | WF_CONTINUEMODAL))
    EndModalLoop(nResult);
  else
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnPaint() { Default(); }

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
  if (CWnd::PreTranslateMessage(pMsg)) return TRUE;
  bool input = (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST) ||
               (pMsg->message >= WM_MOUSEFIRST && pMsg->message <= WM_MOUSELAST);
  if (!input || !m_hWnd) return FALSE;
  if (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd)) return FALSE;
  return ::IsDialogMessageW(m_hWnd, pMsg);
}

// ---------------------------------------------------------------- UpdateData

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  HWND& lockout = AfxLockoutNotifyWindow();
  HWND oldLockout = lockout;
  lockout = m_hWnd;  // controls changed by the exchange notify nobody
  BOOL ok = FALSE;
  try {
    DoDataExchange(&dx);
    ok = TRUE;
  } catch (CUserException* e) {
    e->Delete();  // already told, focus already back
  } catch (CException* e) {
    e->ReportError(MB_ICONEXCLAMATION);
    e->Delete();
  }
  lockout = oldLockout;
  return ok;
}

// ---------------------------------------------------------------- CDataExchange

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate),
      m_pDlgWnd(pDlgWnd),
      m_hWndLastControl(nullptr),
      m_bEditLastControl(FALSE) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
  HWND hCtrl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
  if (!hCtrl) AfxThrowNotSupportedException();  // a template without the control
  m_hWndLastControl = hCtrl;
  m_bEditLastControl = FALSE;
  return hCtrl;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) {
  HWND hCtrl = PrepareCtrl(nIDC);
  m_bEditLastControl = TRUE;
  return hCtrl;
}

void CDataExchange::Fail() {
  if (m_bSaveAndValidate && m_hWndLastControl) {
    ::SetFocus(m_hWndLastControl);
    if (m_bEditLastControl) ::SendMessageW(m_hWndLastControl, EM_SETSEL, 0, -1);
  }
  AfxThrowUserException();
}

namespace {

void FailWith(CDataExchange* pDX, LPCTSTR text) {
  AfxMessageBox(text, MB_ICONEXCLAMATION);
  pDX->Fail();
}

CString WindowText(HWND hWnd) {
  CString s;
  CWnd(hWnd).GetWindowText(s);
  return s;
}

// Whole text an integer in range (blanks around allowed).
bool ParseInt(LPCWSTR text, bool allowSign, long long lo, long long hi, long long* out) {
  while (*text == L' ' || *text == L'\t') ++text;
  const wchar_t* p = text;
  bool neg = false;
  if (*p == L'+' || *p == L'-') {
    if (!allowSign && *p == L'-') return false;
    neg = *p == L'-';
    ++p;
  }
  if (*p < L'0' || *p > L'9') return false;
  long long v = 0;
  for (; *p >= L'0' && *p <= L'9'; ++p) {
    v = v * 10 + (*p - L'0');
    if (v > 0xFFFFFFFFLL) return false;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  if (*p) return false;
  if (neg) v = -v;
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

void SetTextIfChanged(HWND hCtrl, LPCWSTR text) {
  if (WindowText(hCtrl) != text) ::SetWindowTextW(hCtrl, text);
}

}  // namespace

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd) return;  // once is enough; later exchanges leave it alone
  HWND hCtrl = pDX->PrepareCtrl(nIDC);
  if (!rControl.SubclassWindow(hCtrl)) AfxThrowNotSupportedException();
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
  HWND hCtrl = pDX->PrepareEditCtrl(nIDC);
  if (pDX->m_bSaveAndValidate)
    value = WindowText(hCtrl);
  else
    SetTextIfChanged(hCtrl, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
  HWND hCtrl = pDX->PrepareEditCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    long long v = 0;
    if (!ParseInt(WindowText(hCtrl), true, INT_MIN, INT_MAX, &v))
      FailWith(pDX, L"Please enter an integer.");
    value = static_cast<int>(v);
  } else {
    CString s;
    s.Format(L"%d", value);
    SetTextIfChanged(hCtrl, s);
  }
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) {
  HWND hCtrl = pDX->PrepareEditCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    long long v = 0;
    if (!ParseInt(WindowText(hCtrl), false, 0, UINT_MAX, &v))
      FailWith(pDX, L"Please enter a positive integer.");
    value = static_cast<UINT>(v);
  } else {
    CString s;
    s.Format(L"%u", value);
    SetTextIfChanged(hCtrl, s);
  }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
  HWND hCtrl = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate)
    value = static_cast<int>(::SendMessageW(hCtrl, BM_GETCHECK, 0, 0));
  else
    ::SendMessageW(hCtrl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
  HWND hCtrl = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) value = -1;
  int index = 0;
  // The group: from nIDC up to the next control with WS_GROUP.
  for (HWND h = hCtrl; h; h = ::GetWindow(h, GW_HWNDNEXT), ++index) {
    if (h != hCtrl && (::GetWindowLongPtrW(h, GWL_STYLE) & WS_GROUP)) break;
    if (!(::SendMessageW(h, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)) continue;
    if (pDX->m_bSaveAndValidate) {
      if (::SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
    } else {
      ::SendMessageW(h, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
  HWND hCtrl = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate)
    index = static_cast<int>(::SendMessageW(hCtrl, CB_GETCURSEL, 0, 0));
  else
    ::SendMessageW(hCtrl, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value) {
  HWND hCtrl = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    value = WindowText(hCtrl);
  } else {
    LRESULT i = ::SendMessageW(hCtrl, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(static_cast<LPCWSTR>(value)));
    if (i == CB_ERR) ::SetWindowTextW(hCtrl, value);
  }
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars) {
  if (!pDX->m_bSaveAndValidate) {
    if (pDX->m_hWndLastControl && pDX->m_bEditLastControl)
      ::SendMessageW(pDX->m_hWndLastControl, EM_LIMITTEXT, static_cast<WPARAM>(nChars), 0);
    return;
  }
  if (value.GetLength() > nChars) {
    CString n;
    n.Format(L"%d", nChars);
    LPCTSTR args[] = {n};
    CString text;
    AfxFormatStrings(text, L"Enter no more than %1 characters.", args, 1);
    FailWith(pDX, text);
  }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
  if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) return;
  CString lo;
  CString hi;
  lo.Format(L"%d", minVal);
  hi.Format(L"%d", maxVal);
  LPCTSTR args[] = {lo, hi};
  CString text;
  AfxFormatStrings(text, L"Enter an integer between %1 and %2.", args, 2);
  FailWith(pDX, text);
}

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal) {
  if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) return;
  CString lo;
  CString hi;
  lo.Format(L"%u", minVal);
  hi.Format(L"%u", maxVal);
  LPCTSTR args[] = {lo, hi};
  CString text;
  AfxFormatStrings(text, L"Enter an integer between %1 and %2.", args, 2);
  FailWith(pDX, text);
}

// ---------------------------------------------------------------- CCommonDialog

CCommonDialog::CCommonDialog(CWnd* pParentWnd) : CDialog() { m_pParentWnd = pParentWnd; }

HWND CCommonDialog::PreModal() {
  m_hWndOwner = CWnd::GetSafeOwner_(m_pParentWnd->GetSafeHwnd(), nullptr);
  if (m_bDisableOwner && m_hWndOwner && ::IsWindowEnabled(m_hWndOwner)) {
    m_hWndTop = m_hWndOwner;
    ::EnableWindow(m_hWndOwner, FALSE);
  }
  return m_hWndOwner;
}

void CCommonDialog::PostModal() {
  CDialog::PostModal();
  if (m_hWndOwner && ::IsWindow(m_hWndOwner) && ::GetActiveWindow() == nullptr)
    ::SetActiveWindow(m_hWndOwner);
  m_hWndOwner = nullptr;
}
