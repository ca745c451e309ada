// Leaving the program.
#include "VeltraskDlg.h"

void CVeltraskDlg::OnExitApp() {
  if (g_bBusy) return;
  if (m_bPlaying) StopPlayback();
  SaveSettings();
  m_placement.Save(m_hWnd, L"{F2E2C5E4-3803-4791-813A-DED9CD2E2815}", L"Position");
  EndDialog(1);
}

void CVeltraskDlg::OnClose() { OnExitApp(); }

BOOL CVeltraskDlg::OnQueryEndSession() {
  if (!Default()) return FALSE;
  OnExitApp();
  return TRUE;
}
