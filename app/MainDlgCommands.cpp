// Command states, the busy switch, track selection, check commands, the track list's
// clicks and colours, the format commands, and the window's own handling.
#include "OptionPages.h"
#include "VeltraskApp.h"
#include "VeltraskDlg.h"

#include "AboutDlg.h"
#include "TipDlg.h"

#include <shellapi.h>
#include "EditCD.h"
#include "engine/CDDrive.h"
#include "engine/EngineLog.h"
#include "engine/Settings.h"
#include "resource.h"

namespace {

constexpr COLORREF kEvenRow = RGB(255, 255, 255);
constexpr COLORREF kOddRow = RGB(243, 245, 252);
constexpr COLORREF kDataRow = RGB(255, 204, 231);

constexpr wchar_t kDownloadPage[] = L"https://corvane.example/download/";
constexpr wchar_t kSupportPage[] = L"https://corvane.example/support/";
constexpr wchar_t kSupportMail[] = L"mailto:support@corvane.example";
constexpr wchar_t kFormatsPage[] = L"https://corvane.example/formats/";

bool IsDataRow(const CListCtrl& list, int row) {
  return static_cast<LONG>(list.GetItemData(row)) < 0;
}

// The screen position of the message being handled.
POINT MessagePoint() {
  const DWORD pos = ::GetMessagePos();
  return {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
}

void OpenShell(HWND owner, LPCWSTR target) {
  ::ShellExecuteW(owner, L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

// ---- Busy switch ------------------------------------------------------------------------

void CVeltraskDlg::EnableControls(BOOL enable) {
  g_bBusy = !enable;
  m_comboDrive.EnableWindow(enable);
  if (CMenu* drives = DriveMenu()) {
    for (int i = 0; i < DriveCount; ++i)
      drives->EnableMenuItem(i, MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
  }
  if (enable) m_listTracks.Invalidate();
  // The taskbar object belongs to the user-interface thread; this may run on the worker.
  PostMessage(WM_TASKBAR_STATE, enable ? TBPF_NOPROGRESS : TBPF_INDETERMINATE);
}

LRESULT CVeltraskDlg::OnTaskbarState(WPARAM wParam, LPARAM) {
  if (g_pTaskbarList) g_pTaskbarList->SetProgressState(m_hWnd, static_cast<TBPFLAG>(wParam));
  return 0;
}

// ---- Track selection --------------------------------------------------------------------

void CVeltraskDlg::MakeCurrentTrack(int row) {
  m_nCurrentTrack = row;
  m_listTracks.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  m_listTracks.EnsureVisible(row, FALSE);
  m_listTracks.SetFocus();
}

BOOL CVeltraskDlg::FindNextCheckedTrack(int row, BOOL testOnly) {
  const int rows = m_listTracks.GetItemCount();
  for (int r = row < -1 ? 0 : row + 1; r < rows; ++r) {
    if (!m_listTracks.GetCheck(r)) continue;
    if (!testOnly) MakeCurrentTrack(r);
    return TRUE;
  }
  return FALSE;
}

BOOL CVeltraskDlg::FindPreviousCheckedTrack(int row, BOOL testOnly) {
  const int rows = m_listTracks.GetItemCount();
  for (int r = (row > rows ? rows : row) - 1; r >= 0; --r) {
    if (!m_listTracks.GetCheck(r)) continue;
    if (!testOnly) MakeCurrentTrack(r);
    return TRUE;
  }
  return FALSE;
}

BOOL CVeltraskDlg::SelectCurrentTrack() {
  const int row = m_listTracks.GetNextItem(-1, LVNI_SELECTED);
  if (row < 0) {
    MessageBox(L"No Audio Track Selected!");
    return FALSE;
  }
  if (IsDataRow(m_listTracks, row)) {
    MessageBox(L"Not an Audio Track!", nullptr, MB_OK | MB_ICONERROR);
    return FALSE;
  }
  MakeCurrentTrack(row);
  return TRUE;
}

// ---- Check commands ---------------------------------------------------------------------

void CVeltraskDlg::OnCheckAll() {
  if (g_bNoDisc) return;
  for (int row = 0; row < m_listTracks.GetItemCount(); ++row)
    if (!IsDataRow(m_listTracks, row)) m_listTracks.SetCheck(row, TRUE);
}

void CVeltraskDlg::OnUncheckAll() {
  if (g_bNoDisc) return;
  for (int row = 0; row < m_listTracks.GetItemCount(); ++row) m_listTracks.SetCheck(row, FALSE);
}

void CVeltraskDlg::OnReverseCheck() {
  if (g_bNoDisc) return;
  for (int row = 0; row < m_listTracks.GetItemCount(); ++row) {
    const BOOL check = !IsDataRow(m_listTracks, row) && !m_listTracks.GetCheck(row);
    m_listTracks.SetCheck(row, check);
  }
}

// ---- Track list clicks and colours ------------------------------------------------------

void CVeltraskDlg::OnTrackListClick(NMHDR*, LRESULT* pResult) {
  *pResult = 0;
  const POINT screen = MessagePoint();
  LVHITTESTINFO hit{};
  hit.pt = screen;
  m_listTracks.ScreenToClient(&hit.pt);
  const int row = m_listTracks.HitTest(&hit);
  // The check box alone: with full-row selection a hit elsewhere on the row reports every
  // part of the item (LVHT_ONITEM), the state icon's bit with them.
  if (row < 0 || (hit.flags & LVHT_ONITEM) != LVHT_ONITEMSTATEICON || !IsDataRow(m_listTracks, row))
    return;
  // The box itself stays clear: the item-changing veto refuses every check of a data row,
  // whether the list toggles it before or after this notification.
  AfxMessageBox(L"Warning: Only Audio Track can be Checked!", MB_OK | MB_ICONWARNING);
  AddLog(L"Warning: only audio track can be checked!", LOG_WARNING);
}

void CVeltraskDlg::OnTrackListItemChanging(NMHDR* pNMHDR, LRESULT* pResult) {
  const auto* change = reinterpret_cast<const NMLISTVIEW*>(pNMHDR);
  *pResult = FALSE;
  if (change->iItem < 0 || !(change->uChanged & LVIF_STATE)) return;
  const UINT newImage = change->uNewState & LVIS_STATEIMAGEMASK;
  if (newImage == INDEXTOSTATEIMAGEMASK(2) && IsDataRow(m_listTracks, change->iItem))
    *pResult = TRUE;  // a data track is never checked, by mouse or by keyboard
}

void CVeltraskDlg::OnTrackListRightClick(NMHDR*, LRESULT* pResult) {
  *pResult = 0;
  const POINT screen = MessagePoint();
  LVHITTESTINFO hit{};
  hit.pt = screen;
  m_listTracks.ScreenToClient(&hit.pt);
  if (m_listTracks.HitTest(&hit) < 0) return;
  CMenu menu;
  if (!menu.LoadMenu(IDR_TRACKLIST_MENU)) return;
  CMenu* popup = menu.GetSubMenu(0);
  if (!popup) return;
  if (DbClk == 0) popup->SetDefaultItem(0, TRUE);
  if (DbClk == 1) popup->SetDefaultItem(3, TRUE);
  popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, this);
}

void CVeltraskDlg::OnTrackListCustomDraw(NMHDR* pNMHDR, LRESULT* pResult) {
  auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(pNMHDR);
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
    case CDDS_ITEMPREPAINT:
      *pResult =
          draw->nmcd.dwDrawStage == CDDS_PREPAINT ? CDRF_NOTIFYITEMDRAW : CDRF_NOTIFYSUBITEMDRAW;
      return;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      const auto row = static_cast<int>(draw->nmcd.dwItemSpec);
      if (draw->nmcd.uItemState & CDIS_SELECTED) {
        // The selection keeps its own highlight, as a themed list shows it.
      } else if (static_cast<LONG>(draw->nmcd.lItemlParam) < 0) {
        draw->clrTextBk = kDataRow;
      } else {
        draw->clrTextBk = (row % 2) ? kOddRow : kEvenRow;
      }
      *pResult = CDRF_DODEFAULT;
      return;
    }
    default:
      *pResult = CDRF_DODEFAULT;
      return;
  }
}

// ---- Command states ---------------------------------------------------------------------

void CVeltraskDlg::OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu) {
  if (bSysMenu || !pPopupMenu) {
    CResizeDlg::OnInitMenuPopup(pPopupMenu, nIndex, bSysMenu);
    return;
  }
  AfxUpdateMenuCmdUI(this, pPopupMenu->m_hMenu);
}

LRESULT CVeltraskDlg::OnKickIdle(WPARAM, LPARAM) {
  UpdateDialogControls(this, FALSE);
  return 0;
}

namespace {

// A format item of the drop-down: always there, checked when it is the current format.
void ShowFormatItem(CCmdUI* pCmdUI, short format) {
  pCmdUI->Enable(TRUE);
  pCmdUI->SetCheck(OutputFormat == format);
}

}  // namespace

void CVeltraskDlg::OnUpdateFormatWav(CCmdUI* pCmdUI) { ShowFormatItem(pCmdUI, 1); }
void CVeltraskDlg::OnUpdateFormatMp3(CCmdUI* pCmdUI) { ShowFormatItem(pCmdUI, 2); }
void CVeltraskDlg::OnUpdateFormatOgg(CCmdUI* pCmdUI) { ShowFormatItem(pCmdUI, 3); }

void CVeltraskDlg::OnUpdatePositionSlider(CCmdUI* pCmdUI) { pCmdUI->Enable(m_bPlaying); }

// ---- Output format ----------------------------------------------------------------------

void CVeltraskDlg::SetOutputFormat(short format) {
  OutputFormat = format;
  FormatSummary();
}

void CVeltraskDlg::OnFormatWav() { SetOutputFormat(1); }
void CVeltraskDlg::OnFormatMp3() { SetOutputFormat(2); }
void CVeltraskDlg::OnFormatOgg() { SetOutputFormat(3); }

void CVeltraskDlg::OnFormatDropDown() {
  CMenu menu;
  if (!menu.LoadMenu(IDR_FORMAT_MENU)) return;
  CMenu* popup = menu.GetSubMenu(0);
  const int index = m_wndToolBar.CommandToIndex(ID_FORMAT);
  if (!popup || index < 0) return;
  CRect button;
  m_wndToolBar.GetItemRect(index, &button);
  m_wndToolBar.ClientToScreen(&button);
  TPMPARAMS params{};
  params.cbSize = sizeof(params);
  params.rcExclude = button;
  popup->TrackPopupMenuEx(TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_VERTICAL, button.left, button.bottom,
                          this, &params);
}

// ---- Other commands ---------------------------------------------------------------------

void CVeltraskDlg::OnEditCDInfo() {
  if (IsRefreshRunning()) return;
  if (g_bNoDisc) {
    AfxMessageBox(L"No Disc Found!");
    return;
  }
  if (!m_bAudioCD) {
    AfxMessageBox(L"Not an Audio CD!");
    return;
  }
  CEditCD dlg(this);
  dlg.DoModal();
}

void CVeltraskDlg::OnOptions() {
  ShowOptionsSheet(this);
  FormatSummary();  // whatever the result: a page's Reset writes at once
}

void CVeltraskDlg::OnHelpContents() { OpenShell(m_hWnd, g_strProgramFolder + L"\\Help.chm"); }
void CVeltraskDlg::OnEmailSupport() { OpenShell(m_hWnd, kSupportMail); }
void CVeltraskDlg::OnOnlineSupport() { OpenShell(m_hWnd, kSupportPage); }
void CVeltraskDlg::OnDownload() { OpenShell(m_hWnd, kDownloadPage); }
void CVeltraskDlg::OnMoreFormats() { OpenShell(m_hWnd, kFormatsPage); }

void CVeltraskDlg::OnAbout() {
  CAboutDlg dlg;
  dlg.DoModal();
}

void CVeltraskDlg::OnTipOfTheDay() { ShowTip(); }

void CVeltraskDlg::ShowTip() {
  CTipDlg dlg(this);
  dlg.DoModal();
}

void CVeltraskDlg::OnSysCommand(UINT nID, LPARAM lParam) {
  if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
    OnAbout();
    return;
  }
  CResizeDlg::OnSysCommand(nID, lParam);
}

// ---- Timer, paint, size -----------------------------------------------------------------

void CVeltraskDlg::OnTimer(UINT_PTR nIDEvent) {
  KillTimer(1);
  if (g_bTipPending) {
    const CString ini = g_strSettingsFolder + L"\\" + kSettingsFileName;
    if (::GetPrivateProfileIntW(L"MISC", L"Tip", 1, ini) != 0) {
      g_bTipPending = FALSE;
      ShowTip();
    }
  }
  CResizeDlg::OnTimer(nIDEvent);
}

void CVeltraskDlg::OnPaint() {
  if (!IsIconic()) {
    CResizeDlg::OnPaint();
    return;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
  CRect client;
  GetClientRect(&client);
  const int x = (client.Width() - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.Height() - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CVeltraskDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CVeltraskDlg::OnSize(UINT nType, int cx, int cy) {
  CResizeDlg::OnSize(nType, cx, cy);
  PlaceStatusBar(cx, cy);
  if (::IsWindow(m_wndReBar.m_hWnd)) {
    CRect bar;
    m_wndReBar.GetWindowRect(&bar);
    ScreenToClient(&bar);
    m_wndReBar.MoveWindow(bar.left, bar.top, cx, bar.Height());
  }
}
