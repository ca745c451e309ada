// The application object and the single-instance rule.
#include "VeltraskApp.h"

#include "VeltraskDlg.h"

CString g_strProgramFolder;
CString g_strSettingsFolder;

BEGIN_MESSAGE_MAP(CVeltraskApp, CWinApp)
END_MESSAGE_MAP()

BOOL RaiseRunningInstance(LPCTSTR appName) {
  HWND window = ::GetWindow(::GetDesktopWindow(), GW_CHILD);
  while (::IsWindow(window) && !::GetPropW(window, appName)) {
    window = ::GetWindow(window, GW_HWNDNEXT);
  }
  if (!::IsWindow(window)) return FALSE;
  if (::IsIconic(window)) ::ShowWindow(window, SW_RESTORE);
  // What comes to the front is the last active pop-up (the About box, the options sheet)
  // or the window itself. A main window disabled under its pop-up is not activated on the
  // way: it would keep the foreground above the pop-up.
  HWND front = ::GetLastActivePopup(window);
  if (front == window || ::IsWindowEnabled(window)) ::SetForegroundWindow(window);
  // Activation alone does not raise a window everywhere (Wine without a window manager).
  ::SetWindowPos(front, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::SetForegroundWindow(front);
  return TRUE;
}

BOOL CVeltraskApp::InitInstance() {
  // The semaphore's name is the only thing that matters: nobody waits on it, and the
  // first instance keeps its handle until the process ends.
  HANDLE semaphore = ::CreateSemaphoreW(nullptr, 1, 1, m_pszAppName);
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    if (semaphore) ::CloseHandle(semaphore);
    RaiseRunningInstance(m_pszAppName);
    return FALSE;
  }
  if (!AfxSocketInit()) return FALSE;
  AfxEnableControlContainer();
  SetRegistryKey(L"Brondel Corporation\\Corvane");

  CVeltraskDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}
