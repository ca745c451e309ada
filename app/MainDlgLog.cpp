// The event log as the main window reaches it.
#include "EventLog.h"
#include "VeltraskDlg.h"
#include "resource.h"

void CVeltraskDlg::AddLog(CString text, short kind) { AddLogLine(text, kind); }

void CVeltraskDlg::OnViewLog() {
  if (!::IsWindow(g_logDlg.m_hWnd) && !g_logDlg.Create(IDD_LOG, this)) return;
  g_logDlg.ShowWindow(SW_SHOWNORMAL);
}
