// The job's mirror on the main window's taskbar button (Windows 7 and later).
// Every call is on the user-interface thread, the only one that uses the taskbar object.
#include "engine/ProcessState.h"
#include "engine/RippingProgress.h"
#include "framework/win/WinApp.h"

namespace {

ITaskbarList3* RipTaskbar() { return g_pTaskbarList; }

}  // namespace

void CRippingProgress::SetTaskbarState(int state) {
  CWnd* main = AfxGetMainWnd();
  if (ITaskbarList3* taskbar = RipTaskbar(); taskbar && main && main->GetSafeHwnd()) {
    taskbar->SetProgressState(main->GetSafeHwnd(), static_cast<TBPFLAG>(state));
  }
}

void CRippingProgress::SetTaskbarValue(int completed) {
  CWnd* main = AfxGetMainWnd();
  if (ITaskbarList3* taskbar = RipTaskbar(); taskbar && main && main->GetSafeHwnd()) {
    taskbar->SetProgressValue(main->GetSafeHwnd(), completed, 100);
  }
}
