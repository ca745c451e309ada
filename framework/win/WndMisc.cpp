// CWnd helpers: owners, styles, geometry, text, tool tips, window classes.
#include <deque>
#include <mutex>

#include "framework/win/Gdi.h"
#include "framework/win/WinApp.h"
#include "framework/win/Wnd.h"

HWND CWnd::GetSafeOwner_(HWND hWnd, HWND* pWndTop) {
  HWND hOwner = hWnd;
  if (!hOwner) {
    CWnd* pMain = AfxGetMainWnd();
    hOwner = pMain->GetSafeHwnd();
  }
  // An owner must be a top-level window.
  while (hOwner && (::GetWindowLongPtrW(hOwner, GWL_STYLE) & WS_CHILD))
    hOwner = ::GetParent(hOwner);
  HWND hTop = hOwner;
  while (hTop && ::GetParent(hTop)) hTop = ::GetParent(hTop);
  if (!hWnd && hOwner) hOwner = ::GetLastActivePopup(hOwner);
  if (pWndTop) {
    if (hTop && ::IsWindowEnabled(hTop) && hTop != hOwner) {
      *pWndTop = hTop;
      ::EnableWindow(hTop, FALSE);
    } else {
      *pWndTop = nullptr;
    }
  }
  return hOwner;
}

CWnd* CWnd::GetSafeOwner(CWnd* pParent, HWND* pWndTop) {
  return FromHandle(GetSafeOwner_(pParent->GetSafeHwnd(), pWndTop));
}

BOOL CWnd::ModifyStyle(HWND hWnd, DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
  DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hWnd, GWL_STYLE));
  DWORD newStyle = (style & ~dwRemove) | dwAdd;
  if (style == newStyle) return FALSE;
  ::SetWindowLongPtrW(hWnd, GWL_STYLE, static_cast<LONG_PTR>(newStyle));
  if (nFlags)
    ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
  return TRUE;
}

BOOL CWnd::ModifyStyleEx(HWND hWnd, DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
  DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hWnd, GWL_EXSTYLE));
  DWORD newStyle = (style & ~dwRemove) | dwAdd;
  if (style == newStyle) return FALSE;
  ::SetWindowLongPtrW(hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(newStyle));
  if (nFlags)
    ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
  return TRUE;
}

void CWnd::ClientToScreen(LPRECT lpRect) const {
  ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<LPPOINT>(lpRect), 2);
}
void CWnd::ScreenToClient(LPRECT lpRect) const {
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(lpRect), 2);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
  HWND hCenter = pAlternateOwner ? pAlternateOwner->m_hWnd : nullptr;
  DWORD style = GetStyle();
  if (!hCenter) hCenter = (style & WS_CHILD) ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
  RECT rcDlg{};
  ::GetWindowRect(m_hWnd, &rcDlg);
  RECT rcArea{};
  RECT rcCenter{};
  if (style & WS_CHILD) {
    HWND hParent = ::GetParent(m_hWnd);
    ::GetClientRect(hParent, &rcArea);
    ::GetClientRect(hCenter ? hCenter : hParent, &rcCenter);
    ::MapWindowPoints(hCenter ? hCenter : hParent, hParent, reinterpret_cast<LPPOINT>(&rcCenter),
                      2);
  } else {
    HMONITOR mon = ::MonitorFromWindow(hCenter ? hCenter : m_hWnd, MONITOR_DEFAULTTONEAREST);
    MONITORINFO mi{sizeof(mi)};
    ::GetMonitorInfoW(mon, &mi);
    rcArea = mi.rcWork;
    if (hCenter && ::IsWindowVisible(hCenter) && !::IsIconic(hCenter))
      ::GetWindowRect(hCenter, &rcCenter);
    else
      rcCenter = rcArea;
  }
  int w = rcDlg.right - rcDlg.left;
  int h = rcDlg.bottom - rcDlg.top;
  int x = (rcCenter.left + rcCenter.right) / 2 - w / 2;
  int y = (rcCenter.top + rcCenter.bottom) / 2 - h / 2;
  if (x + w > rcArea.right) x = rcArea.right - w;
  if (x < rcArea.left) x = rcArea.left;
  if (y + h > rcArea.bottom) y = rcArea.bottom - h;
  if (y < rcArea.top) y = rcArea.top;
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CWnd* CWnd::GetTopLevelParent() const {
  HWND hWnd = m_hWnd;
  while (hWnd && (::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD)) hWnd = ::GetParent(hWnd);
  return FromHandle(hWnd);
}

void CWnd::GetWindowText(CString& rString) const {
  int n = ::GetWindowTextLengthW(m_hWnd);
  LPWSTR buf = rString.GetBuffer(n + 1);
  int got = ::GetWindowTextW(m_hWnd, buf, n + 1);
  rString.ReleaseBuffer(got);
}

UINT CWnd::GetDlgItemText(int nID, CString& rString) const {
  HWND hItem = ::GetDlgItem(m_hWnd, nID);
  if (!hItem) {
    rString.Empty();
    return 0;
  }
  CWnd(hItem).GetWindowText(rString);
  return static_cast<UINT>(rString.GetLength());
}

CFont* CWnd::GetFont() const { return CFont::FromHandle(GetFontHandle()); }

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
  SetFont(pFont ? static_cast<HFONT>(pFont->m_hObject) : nullptr, bRedraw);
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep) {
  for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild;
       hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
    ::SendMessageW(hChild, message, wParam, lParam);
    if (bDeep) CWnd(hChild).SendMessageToDescendants(message, wParam, lParam, TRUE);
  }
}

int CWnd::MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption, UINT nType) {
  if (!lpszCaption) lpszCaption = AfxGetApp() ? AfxGetApp()->m_pszAppName : L"";
  return ::MessageBoxW(m_hWnd, lpszText, lpszCaption, nType);
}

// ---------------------------------------------------------------- tool tips

BOOL CWnd::EnableToolTips(BOOL bEnable) {
  if (!bEnable) {
    if (m_hWndToolTip) ::SendMessageW(m_hWndToolTip, TTM_ACTIVATE, FALSE, 0);
    return TRUE;
  }
  if (!m_hWndToolTip) {
    m_hWndToolTip =
        ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd,
                          nullptr, AfxGetInstanceHandle(), nullptr);
    if (!m_hWndToolTip) return FALSE;
    ::SendMessageW(m_hWndToolTip, TTM_SETMAXTIPWIDTH, 0, SHRT_MAX);
  }
  // Every child a tool, text asked from this window by TTN_NEEDTEXTW.
  for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild;
       hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = m_hWnd;
    ti.uId = reinterpret_cast<UINT_PTR>(hChild);
    ti.lpszText = LPSTR_TEXTCALLBACKW;
    ::SendMessageW(m_hWndToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
  ::SendMessageW(m_hWndToolTip, TTM_ACTIVATE, TRUE, 0);
  return TRUE;
}

BOOL CWnd::FilterToolTipMessage(MSG* pMsg) {
  // The tools subclass themselves; mouse messages that reach this window itself
  // (over a disabled child) are relayed so their tips still show.
  if (m_hWndToolTip && pMsg->hwnd == m_hWnd && pMsg->message >= WM_MOUSEFIRST &&
      pMsg->message <= WM_MOUSELAST)
    ::SendMessageW(m_hWndToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg));
  return FALSE;
}

// ---------------------------------------------------------------- window classes

LPCTSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon) {
  static std::mutex lock;
  static auto* names = new std::deque<CString>;  // stable addresses, kept for the process
  CString name;
  name.Format(L"CorvaneWnd:%x:%p:%p:%p", nClassStyle, static_cast<void*>(hCursor),
              static_cast<void*>(hbrBackground), static_cast<void*>(hIcon));
  std::lock_guard guard(lock);
  for (const CString& known : *names)
    if (known == name) return known;
  HINSTANCE hInst = AfxGetInstanceHandle();
  WNDCLASSW wc{};
  if (!::GetClassInfoW(hInst, name, &wc)) {
    wc.style = nClassStyle;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = hInst;
    wc.hCursor = hCursor;
    wc.hbrBackground = hbrBackground;
    wc.hIcon = hIcon;
    wc.lpszClassName = name;
    if (!::RegisterClassW(&wc)) AfxThrowNotSupportedException();
  }
  names->push_back(name);
  return names->back();
}
