// The disc worker: refresh, tray, drive selection and media notifications.
#include "VeltraskDlg.h"

#include <dbt.h>

#include "AlbumLookup.h"
#include "engine/CDDrive.h"
#include "engine/EngineLog.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"
#include "resource.h"

namespace {

// How refreshes are kept to one at a time: whoever wants a refresh sets the pending flag
// and then tries to claim the refresh. The claimer consumes the pending flag and starts
// the worker; the running refresh keeps the claim until its very end (a failed refresh
// hands it to its retry), then releases it and looks at the pending flag again. A request
// that arrives while a refresh runs therefore starts one more refresh after it, never a
// second one beside it. Sequentially consistent atomics: each side's store must be seen
// before the other side's load.
std::atomic<BOOL> g_refreshClaimed{FALSE};
std::atomic<BOOL> g_refreshPending{FALSE};
// Counts the refreshes that have begun; an Edit CD dialog compares it with its opening's.
std::atomic<LONG> g_refreshesBegun{0};
// A media notification that came while a rip job ran; its refresh follows the job.
std::atomic<BOOL> g_mediaChangedDuringRip{FALSE};
// An exit that came while a refresh was asked for or ran: set on the user-interface
// thread, read at every refresh's end, which asks for the exit again. From then on no
// further refresh begins (requests are dropped) and a failed refresh starts no retry.
// Sequentially consistent, paired with the refresh claim: whichever side comes second
// sees the other's store, so the exit is asked for at least once.
std::atomic<BOOL> g_exitAfterRefresh{FALSE};

void AskForExit() {
  if (CVeltraskDlg* dlg = g_pMainDlg) ::PostMessageW(dlg->m_hWnd, WM_CLOSE, 0, 0);
}

void DrainRefreshRequests() {
  while (g_refreshPending.load()) {
    if (g_refreshClaimed.exchange(TRUE)) return;  // the holder drains when it ends
    if (!g_refreshPending.exchange(FALSE)) {
      g_refreshClaimed = FALSE;  // someone else took the request
      continue;
    }
    if (!g_exitAfterRefresh && StartDiscWorker(0)) return;
    g_refreshClaimed = FALSE;  // exiting, or no thread: the request is dropped
    return;
  }
}

// Asks for a refresh: now, or after the one that runs.
void RequestRefresh() {
  g_refreshPending = TRUE;
  DrainRefreshRequests();
}

// The end of a refresh that started nothing after it.
void ReleaseRefresh() {
  g_refreshClaimed = FALSE;
  DrainRefreshRequests();
  if (g_exitAfterRefresh) AskForExit();
}

CString CurrentDriveName() {
  if (DriveNum < 0 || DriveNum >= g_driveLetters.GetSize()) return CString();
  return g_driveLetters[DriveNum];
}

}  // namespace

BOOL IsRefreshRunning() {
  return g_bBusy.load() || g_refreshClaimed.load() || g_refreshPending.load();
}

LONG RefreshesBegun() { return g_refreshesBegun.load(); }

BOOL HoldRefreshes() {
  if (g_bBusy || g_refreshClaimed.exchange(TRUE)) return FALSE;
  if (g_refreshPending) {
    ReleaseRefresh();  // asked for just now: it runs
    return FALSE;
  }
  return TRUE;
}

void ReleaseRefreshHold() { ReleaseRefresh(); }

void ExitAfterRefresh() {
  if (!g_exitAfterRefresh.exchange(TRUE)) {
    CVeltraskDlg::AddLog(L"Exiting once the disc refresh has ended.", LOG_INFO);
  }
  EndLookups();
  // The refresh may have ended just before the flag was set, seeing it clear.
  if (!IsRefreshRunning()) AskForExit();
}

BOOL StartDiscWorker(short action) {
  short* parameter = new short(action);
  if (!AfxBeginThread(DiscWorkerThread, parameter, THREAD_PRIORITY_HIGHEST)) {
    delete parameter;
    return FALSE;
  }
  return TRUE;
}

UINT DiscWorkerThread(LPVOID pParam) {
  short* parameter = static_cast<short*>(pParam);
  const short action = parameter ? *parameter : -1;
  delete parameter;
  try {
    switch (action) {
      case 0:
        if (g_pMainDlg) {
          g_pMainDlg->RefreshDisc();
        } else {
          ReleaseRefresh();
        }
        break;
      case 1:
      case 2: {
        const CString drive = CurrentDriveName();
        if (!drive.IsEmpty()) SetTrayDoor(action == 1, drive);
        break;
      }
      default:
        break;
    }
  } catch (CException* e) {
    e->Delete();
  } catch (...) {
  }
  return 0;
}

void CVeltraskDlg::ReadDisc() {
  CString status;
  switch (::ReadDisc(status)) {
    case DiscState::NoHandle:
      // The pane would go on naming the disc of the drive read before.
      status = L"Cannot open the drive";
      break;
    case DiscState::NoDisc:
      g_bLookupAlbumInfo = FALSE;
      ClearQueryResults();
      break;
    case DiscState::NotAudio:
      m_bAudioCD = FALSE;
      g_bLookupAlbumInfo = FALSE;
      ClearQueryResults();
      break;
    case DiscState::Audio:
      m_bAudioCD = TRUE;
      break;
  }
  SetStatusPane(2, status);
}

void CVeltraskDlg::RefreshDisc() {
  ++g_refreshesBegun;
  g_bPlaceholderRecord = FALSE;
  EnableControls(FALSE);
  try {
    ClearQueryResults();
    if (g_bLookupFromSettings) g_bLookupAlbumInfo = LoadAlbumInfo;
    AddLog(L"Refreshing CD...", LOG_INFO);
    m_listTracks.DeleteAllItems();
    m_listTracks.EnableWindow(TRUE);
    ReadDisc();
    if (g_bNoDisc) {
      EnableControls(TRUE);
      ReleaseRefresh();
      return;
    }
    ApplyCDDBServer();
    if (g_bLookupAlbumInfo) {
      switch (AlbumInfoSource) {
        case 0:
          if (LoadLocalCDDB()) {
            AddLog(L"Local CDDB loaded.", LOG_INFO);
          } else {
            AddLog(L"Fail to load local CDDB, try remote FreeDB server.", LOG_WARNING);
            ClearQueryResults();
            QueryRemoteCDDB();
          }
          break;
        case 1:
          QueryRemoteCDDB();
          break;
        case 2:
          if (LoadLocalCDDB()) {
            AddLog(L"Local CDDB loaded.", LOG_INFO);
          } else {
            AddLog(L"Fail to load local CDDB", LOG_WARNING);
            ClearQueryResults();
            g_bLookupAlbumInfo = FALSE;
            SetDefaultRecord();
          }
          break;
        default:
          break;  // no lookup: the record stays as it is
      }
    } else {
      SetDefaultRecord();
    }
    RefreshTrackList();
    EnableControls(TRUE);
    g_bLookupFromSettings = TRUE;
  } catch (CException* e) {
    e->Delete();
    if (RefreshFailed()) return;
  } catch (...) {
    if (RefreshFailed()) return;
  }
  ReleaseRefresh();
}

// TRUE when the retry was started and holds the refresh now.
BOOL CVeltraskDlg::RefreshFailed() {
  try {
    AddLog(L"Error on refresh disc info!", LOG_WARNING);
    if (!g_bLookupAlbumInfo) {
      EnableControls(TRUE);
      return FALSE;
    }
    // One retry without lookup; it cannot fail into another retry.
    g_bLookupAlbumInfo = FALSE;
    g_bLookupFromSettings = FALSE;
    ClearQueryResults();
    SetDefaultRecord();
  } catch (CException* e) {
    e->Delete();
  } catch (...) {
  }
  EnableControls(TRUE);
  // An exit waits for this refresh: it ends here, with the placeholder record.
  if (g_exitAfterRefresh) return FALSE;
  return StartDiscWorker(0);
}

void CVeltraskDlg::MakeSelectedDriveCurrent() {
  DriveNum = static_cast<short>(m_comboDrive.GetCurSel());
  CString text;
  if (GetDriveDisplayText(DriveNum, text)) AddLog(L"Set drive " + text + L" as current.", LOG_INFO);
  if (CMenu* drives = DriveMenu()) {
    drives->CheckMenuRadioItem(ID_DRIVE_FIRST, ID_DRIVE_FIRST + g_driveList.found - 1,
                               ID_DRIVE_FIRST + DriveNum, MF_BYCOMMAND);
  }
}

void CVeltraskDlg::SetCurrentDrive(BOOL lookup) {
  MakeSelectedDriveCurrent();
  g_bLookupAlbumInfo = lookup;
  RequestRefresh();
}

// Start-up made its drive current already.
LRESULT CVeltraskDlg::OnFirstRefresh(WPARAM, LPARAM) {
  RequestRefresh();
  return 0;
}

void CVeltraskDlg::OnDriveSelChange() {
  if (m_bPlaying) StopPlayback();
  m_nCurrentTrack = 0;
  SetCurrentDrive(FALSE);
}

void CVeltraskDlg::OnDriveMenu(UINT nID) {
  if (m_bPlaying) StopPlayback();
  m_nCurrentTrack = 0;
  const UINT found = g_driveList.found;
  const UINT index = nID - ID_DRIVE_FIRST;
  const UINT chosen = index < found ? index : 0;
  if (CMenu* drives = DriveMenu()) {
    drives->CheckMenuRadioItem(ID_DRIVE_FIRST, ID_DRIVE_FIRST + found - 1, ID_DRIVE_FIRST + chosen,
                               MF_BYCOMMAND);
  }
  m_comboDrive.SetCurSel(static_cast<int>(chosen));
  SetCurrentDrive(FALSE);
}

void CVeltraskDlg::OnCloseTray() {
  if (IsRefreshRunning()) return;
  if (m_bPlaying) OnStopPlay();
  StartDiscWorker(2);
}

void CVeltraskDlg::OnEjectTray() {
  if (IsRefreshRunning()) return;
  if (m_bPlaying) OnStopPlay();
  StartDiscWorker(1);
}

void CVeltraskDlg::OnRefreshDisc() {
  if (IsRefreshRunning()) return;
  if (m_bPlaying) OnStopPlay();
  RequestRefresh();
}

TCHAR DriveLetterFromUnitMask(DWORD unitMask) {
  for (int i = 0; i < 26; ++i) {
    if (unitMask & (1u << i)) return static_cast<TCHAR>(L'A' + i);
  }
  return static_cast<TCHAR>(L'Z' + 1);
}

BOOL CVeltraskDlg::OnDeviceChange(UINT nEventType, DWORD_PTR dwData) {
  if (nEventType != DBT_DEVICEARRIVAL && nEventType != DBT_DEVICEREMOVECOMPLETE) return TRUE;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(dwData);
  if (!header || header->dbch_devicetype != DBT_DEVTYP_VOLUME) return TRUE;
  const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(header);
  if (!(volume->dbcv_flags & DBTF_MEDIA)) return TRUE;
  const CString name = CurrentDriveName();
  if (name.IsEmpty() || name.Find(DriveLetterFromUnitMask(volume->dbcv_unitmask)) < 0) return TRUE;

  AddLog(nEventType == DBT_DEVICEARRIVAL ? L"Insert disc." : L"Eject disc.", LOG_INFO);
  m_staticTime.SetWindowText(L"00:00");
  // The rip threads read through the handle the refresh reopens and name and tag their
  // files from the record it rewrites: the refresh waits for the job's end.
  if (IsRipJobRunning()) {
    g_mediaChangedDuringRip = TRUE;
    return TRUE;
  }
  // Playback reads through the handle the refresh reopens: it stops first. A refresh that
  // is asked for or runs now keeps its own lookup choice; this one follows it.
  if (m_bPlaying) StopPlayback();
  if (!IsRefreshRunning()) g_bLookupAlbumInfo = FALSE;
  RequestRefresh();
  return TRUE;
}

void CVeltraskDlg::RefreshAfterRipJob() {
  if (!g_mediaChangedDuringRip.exchange(FALSE)) return;
  if (!IsRefreshRunning()) g_bLookupAlbumInfo = FALSE;
  RequestRefresh();
}
