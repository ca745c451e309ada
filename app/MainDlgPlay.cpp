// Play commands, the player's controls, the double-click action, keys and tooltips.
#include "VeltraskDlg.h"

void CVeltraskDlg::OnPlay() {}

void CVeltraskDlg::OnPlayCurrent() {}

void CVeltraskDlg::OnPauseResume() {}

void CVeltraskDlg::OnPreviousTrack() {}

void CVeltraskDlg::OnNextTrack() {}

void CVeltraskDlg::OnFirstTrack() {}

void CVeltraskDlg::OnLastTrack() {}

void CVeltraskDlg::OnStopPlay() { StopPlayback(); }

void CVeltraskDlg::OnHScroll(UINT, UINT, CScrollBar*) {}

void CVeltraskDlg::OnDblclkTrackList(NMHDR*, LRESULT* pResult) { *pResult = 0; }

BOOL CVeltraskDlg::PreTranslateMessage(MSG* pMsg) {
  if (m_hAccel && ::TranslateAcceleratorW(m_hWnd, m_hAccel, pMsg)) return TRUE;
  return CResizeDlg::PreTranslateMessage(pMsg);
}

BOOL CVeltraskDlg::OnToolTipNeedText(UINT, NMHDR*, LRESULT*) { return FALSE; }
