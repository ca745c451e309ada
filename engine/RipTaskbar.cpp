// The job's mirror on the main window's taskbar button (Windows 7 and later).
#include "engine/RippingProgress.h"
#include "framework/win/WinApp.h"

namespace {

// The taskbar object is the main window's; until it is wired in, the job has none.
ITaskbarList3* RipTaskbar() { return nullptr; }

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
