// The disc worker's request to choose among several matches.
#include "FreeDBChoice.h"
#include "VeltraskDlg.h"
#include "engine/EngineLog.h"
#include "framework/win/WinApp.h"

// Sent by the disc worker, which waits in its send until the chooser has closed and then
// reads g_cddbRecord; the chooser leaves one of the matches there however it ends.
LRESULT CVeltraskDlg::OnCddbMultiple(WPARAM, LPARAM) {
  AfxMessageBox(L"FreeDB Server Returned Multiple Results, Please Select the Correct One.", MB_OK);
  CFreeDBChoice dlg(this);
  dlg.DoModal();
  AddLog(L"FreeDB server returned multiple results.", LOG_INFO);
  return 0;
}
