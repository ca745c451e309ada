// Play commands, the player's controls, the double-click action, keys and tooltips.
#include "VeltraskDlg.h"

#include <iterator>

#include "engine/ProcessState.h"
#include "engine/Settings.h"
#include "resource.h"
#include "uikit/XMessageBox.h"

namespace {

// The double-click question: exclamation icon, "Don't ask me again", built-in texts.
constexpr UINT kChooseActionStyle = 0x21000030;
constexpr int kChoosePlay = 23;
constexpr int kChooseRip = 24;

CString FormatTime(int seconds) {
  CString text;
  text.Format(L"%02d:%02d", seconds / 60, seconds % 60);
  return text;
}

// Previous, Next, First and Last: the time shows 00:00 when playback moved.
void SkipAndShowTime(CVeltraskDlg& dlg, PlayerSkip skip) {
  if (IsRefreshRunning()) return;
  if (dlg.SkipTrack(skip) && dlg.m_bPlaying) dlg.m_staticTime.SetWindowText(L"00:00");
}

}  // namespace

// ---- Starting playback ----------------------------------------------------------------

void CVeltraskDlg::OnPlay() {
  if (IsRefreshRunning() || !g_bSoundAvailable || m_bPlaying) return;
  if (!FindNextCheckedTrack(-1, TRUE)) {
    MessageBox(L"Warning: No Audio Track Checked!", nullptr, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (!FindNextCheckedTrack(-1, FALSE)) return;
  StartPlayback();  // the row says "Playing" once something plays
}

void CVeltraskDlg::OnPlayCurrent() {
  if (IsRefreshRunning() || !g_bSoundAvailable) return;
  if (m_bPlaying) {
    // The running threads go on with the selected row; when it is refused they go on
    // from the reader's position.
    PostPlayerText(CString(), kPlayerClearStatus);
    ResetPlaybackRing();
    if (SelectCurrentTrack()) {
      PostPlayerText(L"Playing", kPlayerRowStatus);
      RestartAtTrack(m_nCurrentTrack);
      m_staticTime.SetWindowText(L"00:00");
    }
    return;
  }
  if (SelectCurrentTrack()) StartPlayback();
}

// ---- Player commands ------------------------------------------------------------------

void CVeltraskDlg::OnPauseResume() {
  if (g_bSoundAvailable) PauseResume();
}

void CVeltraskDlg::OnPreviousTrack() { SkipAndShowTime(*this, PlayerSkip::Previous); }

void CVeltraskDlg::OnNextTrack() { SkipAndShowTime(*this, PlayerSkip::Next); }

void CVeltraskDlg::OnFirstTrack() { SkipAndShowTime(*this, PlayerSkip::First); }

void CVeltraskDlg::OnLastTrack() { SkipAndShowTime(*this, PlayerSkip::Last); }

void CVeltraskDlg::OnStopPlay() { StopPlayback(); }

void CVeltraskDlg::OnHScroll(UINT, UINT, CScrollBar* pScrollBar) {
  const int id = pScrollBar ? pScrollBar->GetDlgCtrlID() : 0;
  if (id == IDC_SLIDER_VOLUME) {
    SetVolume(m_sliderVolume.GetPos());
    if (m_hWndToolTip) ::SendMessageW(m_hWndToolTip, TTM_UPDATE, 0, 0);
    if (m_pToolTip && m_pToolTip->m_hWnd) m_pToolTip->Update();
    return;
  }
  if (id != IDC_SLIDER_POSITION || m_bSeeking) return;
  const int pos = m_sliderPosition.GetPos();
  // The ends do not seek: the end of a track is its natural end, its start a restart.
  if (pos >= 1000) {
    m_sliderPosition.SetPos(1000);
    return;
  }
  if (pos <= 0) {
    m_sliderPosition.SetPos(0);
    return;
  }
  int seconds = 0;
  if (Seek(pos, seconds)) m_staticTime.SetWindowText(FormatTime(seconds));
}

// ---- Track-list double-click ---------------------------------------------------------------

void CVeltraskDlg::OnDblclkTrackList(NMHDR* pNMHDR, LRESULT* pResult) {
  *pResult = 0;
  const auto* item = reinterpret_cast<const NMITEMACTIVATE*>(pNMHDR);
  if (item->iItem < 0) return;  // below the rows
  switch (DbClk) {
    case 0:
      OnPlayCurrent();
      return;
    case 1:
      OnRipCurrent();
      return;
    case -1:
      break;
    default:
      return;
  }
  MessageBoxParams params;
  wcscpy_s(params.customButtons, L"Play the Track\nRip the Track\nCancel\n");
  const int answer = XMessageBox(m_hWnd, L"Which Action Do You Wish to Perform?",
                                 L"Choose Your Action", kChooseActionStyle, &params);
  const bool remember = (static_cast<UINT>(answer) & kXmbDontAskAgain) != 0;
  switch (answer & 0xFF) {
    case kChoosePlay:
      if (remember) DbClk = 0;
      OnPlayCurrent();
      break;
    case kChooseRip:
      if (remember) DbClk = 1;
      OnRipCurrent();
      break;
    default:
      break;
  }
}

// ---- Keys and tooltips ---------------------------------------------------------------------

BOOL CVeltraskDlg::PreTranslateMessage(MSG* pMsg) {
  if (m_hAccel && ::TranslateAcceleratorW(m_hWnd, m_hAccel, pMsg)) return TRUE;
  if (pMsg->message == WM_KEYDOWN) {
    switch (pMsg->wParam) {
      case VK_RETURN:
      case VK_ESCAPE:
        return TRUE;  // neither ends the main window
      case VK_F1:
        OnHelpContents();
        return TRUE;
      default:
        break;
    }
  }
  return CResizeDlg::PreTranslateMessage(pMsg);
}

BOOL CVeltraskDlg::OnToolTipNeedText(UINT, NMHDR* pNMHDR, LRESULT* pResult) {
  auto* info = reinterpret_cast<NMTTDISPINFOW*>(pNMHDR);
  UINT_PTR id = pNMHDR->idFrom;
  if (info->uFlags & TTF_IDISHWND) id = ::GetDlgCtrlID(reinterpret_cast<HWND>(id));
  if (id == IDC_SLIDER_VOLUME) {
    swprintf_s(info->szText, L"Volume: %d", m_sliderVolume.GetPos());
    info->lpszText = info->szText;
    info->hinst = nullptr;
    return TRUE;
  }
  if (id == 0) return FALSE;
  wchar_t text[256] = L"";
  if (::LoadStringW(AfxGetResourceHandle(), static_cast<UINT>(id), text, 256) <= 0) return FALSE;
  // At most 79 characters and the terminator.
  wcsncpy_s(info->szText, std::size(info->szText), text, _TRUNCATE);
  info->lpszText = info->szText;
  info->hinst = AfxGetResourceHandle();
  *pResult = 0;
  ::SetWindowPos(pNMHDR->hwndFrom, HWND_TOP, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOSIZE | SWP_NOMOVE);
  return TRUE;
}
