// The application object, its profile (registry or .ini) and the process entry.
#pragma once

#include "framework/win/Wnd.h"

class CWinApp : public CCmdTarget {
 public:
  // Null name: the executable's base name without extension.
  explicit CWinApp(LPCTSTR lpszAppName = nullptr);
  ~CWinApp() override;

  LPCTSTR m_pszAppName;
  LPCTSTR m_pszExeName;
  LPCTSTR m_pszRegistryKey;  // null: the profile is m_pszProfileName (.ini)
  LPCTSTR m_pszProfileName;  // application name (registry) or .ini path
  HINSTANCE m_hInstance;
  LPTSTR m_lpCmdLine;
  int m_nCmdShow;
  CWnd* m_pMainWnd;

  // The profile then lives under HKCU\Software\<key>\<application>.
  void SetRegistryKey(LPCTSTR lpszRegistryKey);
  void SetRegistryKey(UINT nIDRegistryKey);

  // Entry null deletes the section, value null the entry; "" is the section's default value.
  UINT GetProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nDefault);
  BOOL WriteProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nValue);
  CString GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault = nullptr);
  BOOL WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue);
  // *ppData is new[]-allocated for the caller; FALSE (and null) when absent.
  BOOL GetProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE* ppData, UINT* pBytes);
  BOOL WriteProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE pData, UINT nBytes);
  HKEY GetAppRegistryKey();                 // caller closes
  HKEY GetSectionKey(LPCTSTR lpszSection);  // caller closes

  HICON LoadIcon(UINT nIDResource) const;
  HICON LoadIcon(LPCTSTR lpszResourceName) const;
  HICON LoadStandardIcon(LPCTSTR lpszIconName) const { return ::LoadIconW(nullptr, lpszIconName); }
  HCURSOR LoadCursor(UINT nIDResource) const;
  HCURSOR LoadStandardCursor(LPCTSTR lpszCursorName) const {
    return ::LoadCursorW(nullptr, lpszCursorName);
  }

  virtual BOOL InitApplication();
  virtual BOOL InitInstance();
  virtual int ExitInstance();
  virtual int Run();  // the message loop, used only when InitInstance returns TRUE
  virtual BOOL OnIdle(LONG lCount);
  virtual BOOL PreTranslateMessage(MSG* pMsg);
  // AfxMessageBox's box: caption the application name, default icon by type.
  virtual int DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT nIDPrompt);

 protected:
  DECLARE_MESSAGE_MAP()

 private:
  CString m_strAppName;
  CString m_strExeName;
  CString m_strRegistryKey;
  CString m_strProfileName;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
// Instance, application name, common controls; called by AfxWinMain (and tests).
BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);
int AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = static_cast<UINT>(-1));
// Windows Sockets 1.1; cleaned up when the process ends normally.
BOOL AfxSocketInit(struct WSAData* lpwsaData = nullptr);
inline void AfxEnableControlContainer() {}
