#include "uikit/HyperLink.h"

#include <shellapi.h>

#include <atomic>
#include <vector>

namespace {

constexpr UINT_PTR kTool = 1;

int SystemShellExecute(LPCWSTR url, int showCmd) {
  return static_cast<int>(
      reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", url, nullptr, nullptr, showCmd)));
}

LONG SystemReadClassesRootDefault(LPCWSTR subKey, CString& value) {
  HKEY key = nullptr;
  LONG result = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey, 0, KEY_QUERY_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  wchar_t data[MAX_PATH + 1] = L"";
  DWORD bytes = MAX_PATH * sizeof(wchar_t);  // one character spare for a missing terminator
  DWORD type = 0;
  result = ::RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
  ::RegCloseKey(key);
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  data[bytes / sizeof(wchar_t)] = L'\0';
  value = data;
  return ERROR_SUCCESS;
}

UINT SystemWinExec(LPCSTR commandLine, int showCmd) {
  return ::WinExec(commandLine, static_cast<UINT>(showCmd));
}

const HyperLinkShell kSystemShell{SystemShellExecute, SystemReadClassesRootDefault, SystemWinExec};
std::atomic<const HyperLinkShell*> g_shell{&kSystemShell};

struct OpenError {
  int code;
  const wchar_t* text;
};

const OpenError kOpenErrors[] = {
    {0, L"The operating system is out\nof memory or resources."},
    {ERROR_FILE_NOT_FOUND, L"The specified file was not found."},
    {ERROR_PATH_NOT_FOUND, L"The specified path was not found."},
    {ERROR_ACCESS_DENIED, L"The operating system denied\naccess to the specified file."},
    {8, L"There was not enough memory to complete the operation."},
    {ERROR_BAD_FORMAT, L"The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
    {SE_ERR_SHARE, L"A sharing violation occurred. "},
    {SE_ERR_ASSOCINCOMPLETE, L"The filename association is\nincomplete or invalid."},
    {SE_ERR_DDETIMEOUT,
     L"The DDE transaction could not\nbe completed because the request timed out."},
    {SE_ERR_DDEFAIL, L"The DDE transaction failed."},
    {SE_ERR_DDEBUSY,
     L"The DDE transaction could not\nbe completed because other DDE transactions\nwere being "
     L"processed."},
    {SE_ERR_NOASSOC, L"There is no application associated\nwith the given filename extension."},
    {SE_ERR_DLLNOTFOUND, L"The specified dynamic-link library was not found."},
};

}  // namespace

void SetHyperLinkShell(const HyperLinkShell* shell) { g_shell = shell ? shell : &kSystemShell; }

CString OpenErrorText(int code) {
  for (const OpenError& e : kOpenErrors) {
    if (e.code == code) return e.text;
  }
  CString text;
  text.Format(L"Unknown Error (%d) occurred.", code);
  return text;
}

void ShowOpenError(int code) {
  AfxMessageBox(L"Unable to open hyperlink:\n\n" + OpenErrorText(code), MB_OK | MB_ICONEXCLAMATION);
}

CString BrowserCommandLine(const CString& registeredCommand, const CString& url) {
  CString command = registeredCommand;
  int placeholder = command.Find(L"\"%1\"");
  if (placeholder < 0) placeholder = command.Find(L"%1");
  if (placeholder >= 0) command = command.Left(placeholder);
  return command + L" " + url;
}

int OpenTarget(LPCWSTR url, int showCmd) {
  const HyperLinkShell* shell = g_shell.load();
  const int result = shell->shellExecute(url, showCmd);
  if (result > 32) return result;

  // No handler for the url itself: hand it to whatever opens web pages.
  CString fileType;
  if (shell->readClassesRootDefault(L".htm", fileType) != ERROR_SUCCESS) return result;
  CString command;
  if (shell->readClassesRootDefault(fileType + L"\\shell\\open\\command", command) != ERROR_SUCCESS)
    return result;
  const CString line = BrowserCommandLine(command, url);

  const int bytes = ::WideCharToMultiByte(CP_THREAD_ACP, 0, line, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return result;
  std::vector<char> ansi(static_cast<size_t>(bytes));
  ::WideCharToMultiByte(CP_THREAD_ACP, 0, line, -1, ansi.data(), bytes, nullptr, nullptr);
  return static_cast<int>(shell->winExec(ansi.data(), showCmd));
}

// ---- The control --------------------------------------------------------------------------

CHyperLink::CHyperLink()
    : m_linkColour(RGB(0, 0, 238)),
      m_visitedColour(RGB(85, 26, 139)),
      m_hoverColour(RGB(255, 0, 0)),
      m_hovering(FALSE),
      m_visited(FALSE),
      m_underlineMode(-1),
      m_fitToText(TRUE),
      m_linkCursor(nullptr),
      m_timerId(100) {}

CHyperLink::~CHyperLink() {
  if (m_linkCursor) ::DestroyCursor(m_linkCursor);
}

BEGIN_MESSAGE_MAP(CHyperLink, CStatic)
ON_WM_CTLCOLOR_REFLECT()
ON_WM_SETCURSOR()
ON_WM_MOUSEMOVE()
ON_WM_TIMER()
ON_CONTROL_REFLECT(STN_CLICKED, OnClicked)
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

void CHyperLink::PreSubclassWindow() {
  ModifyStyle(0, SS_NOTIFY);

  CString text;
  GetWindowText(text);
  if (m_url.IsEmpty()) m_url = text;
  if (text.IsEmpty()) SetWindowText(m_url);

  HFONT font = GetFontHandle();
  if (!font) font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  if (!font) font = static_cast<HFONT>(::GetStockObject(ANSI_VAR_FONT));
  LOGFONTW lf{};
  ::GetObjectW(font, sizeof(lf), &lf);
  m_normalFont.DeleteObject();
  m_normalFont.CreateFontIndirect(&lf);
  lf.lfUnderline = 1;
  m_underlineFont.DeleteObject();
  m_underlineFont.CreateFontIndirect(&lf);

  FitToText();
  LoadLinkCursor();
  SetUnderline(-1);

  // Relayed from PreTranslateMessage, so the tool does not subclass the control.
  if (m_tooltip.Create(this, TTS_ALWAYSTIP | TTS_NOPREFIX)) {
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = m_hWnd;
    ti.uId = kTool;
    ::GetClientRect(m_hWnd, &ti.rect);
    ti.lpszText = const_cast<LPWSTR>(m_url.GetString());
    m_tooltip.SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
  CStatic::PreSubclassWindow();
}

void CHyperLink::SetTarget(CString url) {
  m_url = url;
  if (!::IsWindow(GetSafeHwnd())) return;
  FitToText();
  if (::IsWindow(m_tooltip.GetSafeHwnd())) {
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = m_hWnd;
    ti.uId = kTool;
    ti.lpszText = const_cast<LPWSTR>(m_url.GetString());
    m_tooltip.SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

void CHyperLink::SetUnderline(int mode) {
  if (mode == m_underlineMode) return;
  if (::IsWindow(GetSafeHwnd())) {
    SetFont(mode == 1 ? &m_underlineFont : &m_normalFont, TRUE);
    Invalidate();
  }
  m_underlineMode = mode;
}

void CHyperLink::FitToText() {
  if (!m_fitToText || !::IsWindow(GetSafeHwnd())) return;
  CWnd* parent = GetParent();
  if (!parent) return;

  CRect window, client;
  GetWindowRect(&window);
  parent->ScreenToClient(&window);
  GetClientRect(&client);
  const int borderX = window.Width() - client.Width();
  const int borderY = window.Height() - client.Height();

  CString text;
  GetWindowText(text);
  CClientDC dc(this);
  CFont* old = dc.SelectObject(&m_underlineFont);
  const CSize extent = dc.GetTextExtent(text);
  if (old) dc.SelectObject(old);

  const DWORD style = GetStyle();
  const int height = extent.cy + borderY;
  if (style & SS_CENTERIMAGE) {
    window.top += (window.Height() - height) / 2;
    window.bottom = window.top + height;
  } else {
    window.bottom = window.top + height;
  }
  const int width = extent.cx + borderX;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER:
      window.left += (window.Width() - width) / 2;
      window.right = window.left + width;
      break;
    case SS_RIGHT:
      window.left = window.right - width;
      break;
    default:
      window.right = window.left + width;
      break;
  }
  SetWindowPos(nullptr, window.left, window.top, window.Width(), window.Height(), SWP_NOZORDER);
}

void CHyperLink::LoadLinkCursor() {
  if (m_linkCursor) return;
  wchar_t folder[MAX_PATH] = L"";
  const UINT length = ::GetWindowsDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  const CString path = CString(folder) + L"\\winhlp32.exe";
  HMODULE module = ::LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return;
  if (HCURSOR cursor = ::LoadCursorW(module, MAKEINTRESOURCEW(106)))
    m_linkCursor = static_cast<HCURSOR>(::CopyIcon(cursor));
  ::FreeLibrary(module);
}

BOOL CHyperLink::PreTranslateMessage(MSG* pMsg) {
  if (::IsWindow(m_tooltip.GetSafeHwnd())) m_tooltip.RelayEvent(pMsg);
  return CStatic::PreTranslateMessage(pMsg);
}

BOOL CHyperLink::DestroyWindow() {
  KillTimer(m_timerId);
  return CStatic::DestroyWindow();
}

HBRUSH CHyperLink::CtlColor(CDC* pDC, UINT) {
  pDC->SetTextColor(m_hovering ? m_hoverColour : m_visited ? m_visitedColour : m_linkColour);
  pDC->SetBkMode(TRANSPARENT);
  return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

BOOL CHyperLink::OnEraseBkgnd(CDC* pDC) {
  CRect rect;
  GetClientRect(&rect);
  pDC->FillSolidRect(&rect, ::GetSysColor(COLOR_BTNFACE));
  return TRUE;
}

BOOL CHyperLink::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) {
  if (!m_linkCursor) return CStatic::OnSetCursor(pWnd, nHitTest, message);
  ::SetCursor(m_linkCursor);
  return TRUE;
}

void CHyperLink::OnMouseMove(UINT nFlags, CPoint point) {
  if (!m_hovering) {
    m_hovering = TRUE;
    if (m_underlineMode == -1) SetFont(&m_underlineFont, TRUE);
    Invalidate();
    SetTimer(m_timerId, 100);
  }
  CStatic::OnMouseMove(nFlags, point);
}

void CHyperLink::OnTimer(UINT_PTR nIDEvent) {
  // Where the cursor was when the tick was posted, not where it is now.
  CPoint cursor = GetCurrentMessage()->pt;
  ScreenToClient(&cursor);
  CRect client;
  GetClientRect(&client);
  if (!client.PtInRect(cursor)) {
    m_hovering = FALSE;
    KillTimer(m_timerId);
    if (m_underlineMode != 1) SetFont(&m_normalFont, TRUE);
    Invalidate();
  }
  CStatic::OnTimer(nIDEvent);
}

void CHyperLink::OnClicked() {
  m_hovering = FALSE;
  const int result = OpenTarget(m_url, SW_SHOW);
  if (result > 32) {
    m_visited = TRUE;  // stays visited, whatever later clicks do
    Invalidate();
  } else {
    ::MessageBeep(MB_ICONEXCLAMATION);
    ShowOpenError(result);
  }
}
