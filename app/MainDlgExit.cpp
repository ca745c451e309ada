// Leaving the program: the one place where the settings, the last disc's cache file and
// the window's placement are written, and where the process ends.
#include "VeltraskApp.h"
#include "VeltraskDlg.h"

#include <portaudio.h>

#include "AlbumLookup.h"
#include "EventLog.h"
#include "FreeDBServer.h"
#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/OutputNaming.h"
#include "engine/RippingProgress.h"
#include "engine/SectorBlock.h"
#include "engine/Settings.h"
#include "uikit/StdioFileEx.h"

std::atomic<BOOL> g_bExiting{FALSE};
BOOL g_bComInitialized = FALSE;

namespace {

constexpr wchar_t kPlacementValue[] = L"{F2E2C5E4-3803-4791-813A-DED9CD2E2815}";
constexpr wchar_t kPlacementSection[] = L"Position";

// Five line ends part this run's lines from the next run's banner. A file that cannot be
// opened or written is skipped: the exit goes on.
void EndLogFileRun() {
  CStdioFileEx file;
  if (!file.Open(g_strSettingsFolder + L"\\Corvane.log", CFile::modeCreate | CFile::modeNoTruncate |
                                                             CFile::modeWrite |
                                                             TextFileUnicodeFlag))
    return;
  try {
    file.SeekToEnd();
    file.WriteString(L"\r\n\r\n\r\n\r\n\r\n");
    file.Close();
  } catch (CException* e) {
    e->Delete();
    file.Abort();
  }
}

}  // namespace

// Runs on the user-interface thread and returns only when it refuses.
void CVeltraskDlg::OnExitApp() {
  // An exit already under way (a close request while the cache box below is open), and a
  // rip job: its threads use the rings and the drive handle released below, so the exit
  // waits until the job has ended.
  if (g_bExiting || IsRipJobRunning()) return;
  // A refresh asked for or running: its lookup is ended, and its end asks again.
  if (IsRefreshRunning()) {
    ExitAfterRefresh();
    return;
  }
  g_bExiting = TRUE;

  if (m_bPlaying) StopPlayback();
  if (WriteLog) EndLogFileRun();
  SaveSettings();
  DeleteAllLogItems();

  // A file that holds the record already is left alone (a read-only cache stays quiet).
  // Otherwise the file is written beside the old one and moved over it, so a failed write
  // keeps the old file.
  if (!g_bNoDisc && m_bAudioCD && SaveAlbumInfo && !g_bPlaceholderRecord &&
      !LocalCDDBHolds(g_cddbRecord, g_dwDiscId)) {
    if (!SaveLocalCDDB(g_cddbRecord, g_dwDiscId))
      MessageBox(L"Fail to Save Local CDDB File!", L"File Error", MB_OK | MB_ICONERROR);
  }

  if (CDHANDLE handle = g_hCD.exchange(0)) CDLib().CloseCDHandle(handle);
  g_pSectorBlock.reset();
  if (g_pTaskbarList) {
    g_pTaskbarList->Release();
    g_pTaskbarList = nullptr;
  }
  if (g_bComInitialized) {
    ::CoUninitialize();
    g_bComInitialized = FALSE;
  }
  if (g_bSoundAvailable) Pa_Terminate();
  delete m_pToolTip;
  m_pToolTip = nullptr;
  RemoveAllFreeDBServers();
  delete m_pRipRingA;
  m_pRipRingA = nullptr;
  delete m_pRipRingB;
  m_pRipRingB = nullptr;

  m_placement.Save(m_hWnd, kPlacementValue, kPlacementSection);
  if (::IsWindow(g_logDlg.m_hWnd)) g_logDlg.DestroyWindow();
  EndDialog(1);
  // Nothing after this runs: no destructors of process-wide objects, no return of the
  // modal loop.
  ::TerminateProcess(::GetCurrentProcess(), 1);
}

void CVeltraskDlg::OnClose() { OnExitApp(); }

BOOL CVeltraskDlg::OnQueryEndSession() {
  if (!Default()) return FALSE;
  // The rip threads are writing files and the settings are not saved yet: the session
  // may end once the job has.
  if (IsRipJobRunning()) return FALSE;
  OnExitApp();
  return TRUE;
}
