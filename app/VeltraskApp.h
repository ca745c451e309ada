// The application object: one instance per user, sockets, the registry key, and the
// main window run modally.
#pragma once

#include "framework/win/Win.h"

class CVeltraskApp : public CWinApp {
 public:
  CVeltraskApp() : CWinApp(nullptr) {}
  // Always FALSE: the main window's modal loop is the program's only loop.
  BOOL InitInstance() override;

 protected:
  DECLARE_MESSAGE_MAP()
};

// The folder of the executable, without a final "\"; set by the main window's start-up.
extern CString g_strProgramFolder;
// Per-user application data + "\Corvane"; set by the main window's start-up.
extern CString g_strSettingsFolder;

// Brings the main window of an instance already running to the front (its last active
// pop-up too, so a modal dialog it shows comes first). FALSE when no window carries the
// property named appName.
BOOL RaiseRunningInstance(LPCTSTR appName);
