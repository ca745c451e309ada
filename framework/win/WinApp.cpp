// The application object and its profile.
#include "framework/win/WinApp.h"

#include <winsock2.h>

#include <shlwapi.h>

#include <memory>

#include "framework/core/File.h"

namespace {
CWinApp* g_pApp = nullptr;

int AppMessageBox(LPCTSTR lpszText, UINT nType, UINT nIDHelp) {
  return AfxMessageBox(lpszText, nType, nIDHelp);
}
}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCTSTR lpszAppName)
    : m_pszAppName(nullptr),
      m_pszExeName(nullptr),
      m_pszRegistryKey(nullptr),
      m_pszProfileName(nullptr),
      m_hInstance(::GetModuleHandleW(nullptr)),
      m_lpCmdLine(nullptr),
      m_nCmdShow(SW_SHOWNORMAL),
      m_pMainWnd(nullptr) {
  g_pApp = this;
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  CString exe(path);
  exe = exe.Mid(exe.ReverseFind(L'\\') + 1);
  int dot = exe.ReverseFind(L'.');
  if (dot >= 0) exe = exe.Left(dot);
  m_strExeName = exe;
  m_pszExeName = m_strExeName;
  m_strAppName = lpszAppName ? CString(lpszAppName) : exe;
  m_pszAppName = m_strAppName;
  m_strProfileName = m_strAppName + L".ini";
  m_pszProfileName = m_strProfileName;
  AfxSetMessageBoxProc(&AppMessageBox);
}

CWinApp::~CWinApp() {
  if (g_pApp == this) g_pApp = nullptr;
}

CWinApp* AfxGetApp() { return g_pApp; }
CWnd* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : nullptr; }
HINSTANCE AfxGetInstanceHandle() {
  return g_pApp ? g_pApp->m_hInstance : ::GetModuleHandleW(nullptr);
}

void CWinApp::SetRegistryKey(LPCTSTR lpszRegistryKey) {
  m_strRegistryKey = lpszRegistryKey;
  m_pszRegistryKey = m_strRegistryKey;
  m_strProfileName = m_strAppName;  // with a key, the profile is named by the application
  m_pszProfileName = m_strProfileName;
}

void CWinApp::SetRegistryKey(UINT nIDRegistryKey) {
  CString key;
  key.LoadString(nIDRegistryKey);
  SetRegistryKey(key);
}

HKEY CWinApp::GetAppRegistryKey() {
  if (!m_pszRegistryKey) return nullptr;
  CString path = CString(L"Software\\") + m_pszRegistryKey + L"\\" + m_pszProfileName;
  HKEY hKey = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return hKey;
}

HKEY CWinApp::GetSectionKey(LPCTSTR lpszSection) {
  HKEY hApp = GetAppRegistryKey();
  if (!hApp) return nullptr;
  HKEY hKey = nullptr;
  LONG rc = ::RegCreateKeyExW(hApp, lpszSection, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_READ | KEY_WRITE, nullptr, &hKey, nullptr);
  ::RegCloseKey(hApp);
  return rc == ERROR_SUCCESS ? hKey : nullptr;
}

namespace {
struct KeyCloser {
  void operator()(HKEY h) const { ::RegCloseKey(h); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// .ini binaries: two characters 'A'+nibble per byte, high nibble first.
CString EncodeBinary(const BYTE* p, UINT n) {
  CString s;
  for (UINT i = 0; i < n; ++i) {
    s += static_cast<wchar_t>(L'A' + (p[i] >> 4));
    s += static_cast<wchar_t>(L'A' + (p[i] & 0x0F));
  }
  return s;
}
}  // namespace

UINT CWinApp::GetProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nDefault) {
  if (m_pszRegistryKey) {
    UniqueKey key(GetSectionKey(lpszSection));
    if (!key) return static_cast<UINT>(nDefault);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key.get(), lpszEntry, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                           &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
      return static_cast<UINT>(nDefault);
    return value;
  }
  return ::GetPrivateProfileIntW(lpszSection, lpszEntry, nDefault, m_pszProfileName);
}

BOOL CWinApp::WriteProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nValue) {
  if (m_pszRegistryKey) {
    UniqueKey key(GetSectionKey(lpszSection));
    if (!key) return FALSE;
    DWORD value = static_cast<DWORD>(nValue);
    return ::RegSetValueExW(key.get(), lpszEntry, 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&value), sizeof(value)) == ERROR_SUCCESS;
  }
  CString s;
  s.Format(L"%d", nValue);
  return WriteProfileString(lpszSection, lpszEntry, s);
}

CString CWinApp::GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault) {
  CString def = lpszDefault ? lpszDefault : L"";
  if (m_pszRegistryKey) {
    UniqueKey key(GetSectionKey(lpszSection));
    if (!key) return def;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), lpszEntry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      return def;
    CString value;
    LPWSTR buf = value.GetBuffer(static_cast<int>(size / sizeof(wchar_t)) + 1);
    if (::RegQueryValueExW(key.get(), lpszEntry, nullptr, &type, reinterpret_cast<BYTE*>(buf),
                           &size) != ERROR_SUCCESS) {
      value.ReleaseBuffer(0);
      return def;
    }
    buf[size / sizeof(wchar_t)] = 0;
    value.ReleaseBuffer();
    return value;
  }
  CString value;
  DWORD cap = 256;
  for (;;) {
    LPWSTR buf = value.GetBuffer(static_cast<int>(cap));
    DWORD n = ::GetPrivateProfileStringW(lpszSection, lpszEntry, def, buf, cap, m_pszProfileName);
    if (n < cap - 1) {
      value.ReleaseBuffer(static_cast<int>(n));
      return value;
    }
    value.ReleaseBuffer(0);
    cap *= 2;
  }
}

BOOL CWinApp::WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue) {
  if (m_pszRegistryKey) {
    if (!lpszEntry) {
      UniqueKey app(GetAppRegistryKey());
      return app && ::RegDeleteKeyW(app.get(), lpszSection) == ERROR_SUCCESS;
    }
    UniqueKey key(GetSectionKey(lpszSection));
    if (!key) return FALSE;
    if (!lpszValue) return ::RegDeleteValueW(key.get(), lpszEntry) == ERROR_SUCCESS;
    DWORD bytes = static_cast<DWORD>((::wcslen(lpszValue) + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.get(), lpszEntry, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(lpszValue), bytes) == ERROR_SUCCESS;
  }
  // A bare name lives in the Windows folder, where only the profile functions go; a file
  // at a path is made Unicode before its first value.
  if (!::PathIsFileSpecW(m_pszProfileName)) AfxCreateUnicodeProfile(m_pszProfileName);
  BOOL ok = ::WritePrivateProfileStringW(lpszSection, lpszEntry, lpszValue, m_pszProfileName);
  // The process may end by termination: do not leave the write in a cache.
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, m_pszProfileName);
  return ok;
}

BOOL CWinApp::GetProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE* ppData,
                               UINT* pBytes) {
  *ppData = nullptr;
  *pBytes = 0;
  if (m_pszRegistryKey) {
    UniqueKey key(GetSectionKey(lpszSection));
    if (!key) return FALSE;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), lpszEntry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_BINARY)
      return FALSE;
    auto data = std::make_unique<BYTE[]>(size ? size : 1);
    if (::RegQueryValueExW(key.get(), lpszEntry, nullptr, &type, data.get(), &size) !=
        ERROR_SUCCESS)
      return FALSE;
    *ppData = data.release();
    *pBytes = size;
    return TRUE;
  }
  CString s = GetProfileString(lpszSection, lpszEntry, nullptr);
  if (s.IsEmpty() || s.GetLength() % 2) return FALSE;
  UINT n = static_cast<UINT>(s.GetLength() / 2);
  auto data = std::make_unique<BYTE[]>(n);
  for (UINT i = 0; i < n; ++i) {
    int hi = s[static_cast<int>(2 * i)] - L'A';
    int lo = s[static_cast<int>(2 * i + 1)] - L'A';
    if (hi < 0 || hi > 15 || lo < 0 || lo > 15) return FALSE;
    data[i] = static_cast<BYTE>((hi << 4) | lo);
  }
  *ppData = data.release();
  *pBytes = n;
  return TRUE;
}

BOOL CWinApp::WriteProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE pData,
                                 UINT nBytes) {
  if (m_pszRegistryKey) {
    UniqueKey key(GetSectionKey(lpszSection));
    if (!key) return FALSE;
    return ::RegSetValueExW(key.get(), lpszEntry, 0, REG_BINARY, pData, nBytes) == ERROR_SUCCESS;
  }
  return WriteProfileString(lpszSection, lpszEntry, EncodeBinary(pData, nBytes));
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
  return ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDResource));
}
HICON CWinApp::LoadIcon(LPCTSTR lpszResourceName) const {
  return ::LoadIconW(AfxGetResourceHandle(), lpszResourceName);
}
HCURSOR CWinApp::LoadCursor(UINT nIDResource) const {
  return ::LoadCursorW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDResource));
}

BOOL CWinApp::InitApplication() { return TRUE; }
BOOL CWinApp::InitInstance() { return TRUE; }
int CWinApp::ExitInstance() { return 0; }
BOOL CWinApp::OnIdle(LONG lCount) {
  if (lCount == 0) AfxDeleteTempMaps();
  return FALSE;
}
BOOL CWinApp::PreTranslateMessage(MSG* pMsg) {
  return CWnd::WalkPreTranslateTree(m_pMainWnd->GetSafeHwnd(), pMsg);
}

int CWinApp::Run() {
  MSG msg{};
  LONG idle = 0;
  for (;;) {
    while (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && OnIdle(idle++)) {
    }
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (!PreTranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    idle = 0;
  }
  ExitInstance();
  return static_cast<int>(msg.wParam);
}

int CWinApp::DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT) {
  HWND hTop = nullptr;
  HWND hOwner = CWnd::GetSafeOwner_(nullptr, &hTop);
  if ((nType & MB_ICONMASK) == 0) {
    switch (nType & MB_TYPEMASK) {
      case MB_OK:
      case MB_OKCANCEL:
        nType |= MB_ICONEXCLAMATION;
        break;
      case MB_YESNO:
      case MB_YESNOCANCEL:
        nType |= MB_ICONQUESTION;
        break;
      default:
        break;
    }
  }
  int result = ::MessageBoxW(hOwner, lpszPrompt, m_pszAppName, nType);
  if (hTop) ::EnableWindow(hTop, TRUE);
  return result;
}

int AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT nIDHelp) {
  if (CWinApp* app = AfxGetApp()) return app->DoMessageBox(lpszText, nType, nIDHelp);
  return ::MessageBoxW(nullptr, lpszText, L"", nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp) {
  CString text;
  text.LoadString(nIDPrompt);
  if (nIDHelp == static_cast<UINT>(-1)) nIDHelp = nIDPrompt;
  return AfxMessageBox(text, nType, nIDHelp);
}

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE, LPTSTR lpCmdLine, int nCmdShow) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_COOL_CLASSES |
                                            ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                                            ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
  ::InitCommonControlsEx(&icc);
  if (CWinApp* app = AfxGetApp()) {
    app->m_hInstance = hInstance;
    app->m_lpCmdLine = lpCmdLine;
    app->m_nCmdShow = nCmdShow;
  }
  return TRUE;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow) {
  CWinApp* app = AfxGetApp();
  if (!app || !AfxWinInit(hInstance, hPrevInstance, lpCmdLine, nCmdShow)) return -1;
  try {
    if (!app->InitApplication()) return app->ExitInstance();
    if (!app->InitInstance()) {
      if (app->m_pMainWnd && ::IsWindow(app->m_pMainWnd->GetSafeHwnd()))
        app->m_pMainWnd->DestroyWindow();
      return app->ExitInstance();
    }
    return app->Run();
  } catch (CException* e) {
    e->ReportError(MB_ICONSTOP);
    e->Delete();
  } catch (...) {
  }
  return -1;
}

namespace {
struct SocketsOwner {
  bool started = false;
  ~SocketsOwner() {
    if (started) ::WSACleanup();
  }
};
SocketsOwner g_sockets;
}  // namespace

BOOL AfxSocketInit(WSADATA* lpwsaData) {
  if (g_sockets.started) return TRUE;
  WSADATA data{};
  if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) return FALSE;
  if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != 1) {
    ::WSACleanup();
    return FALSE;
  }
  g_sockets.started = true;
  if (lpwsaData) *lpwsaData = data;
  return TRUE;
}
