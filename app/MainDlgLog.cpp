// The event log as the main window reaches it.
#include "VeltraskDlg.h"

void CVeltraskDlg::AddLog(CString text, short /*kind*/) {
  static std::atomic<int> number{0};
  CVeltraskDlg* dlg = g_pMainDlg;
  if (!dlg) return;
  CString status;
  status.Format(L"#%3d ", ++number);
  dlg->SetStatusPane(1, status + CTime::GetCurrentTime().Format(L"%H:%M:%S") + L"  " + text);
}

void CVeltraskDlg::OnViewLog() {}

LRESULT CVeltraskDlg::OnPlayerText(WPARAM, LPARAM) { return 0; }
