// What the main-window tests share: the scripted drive and its letter, the wait for a
// refresh, scratch folders, the event log's lines and the closing of a finished rip job.
#pragma once

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "EventLog.h"
#include "FreeDBServer.h"
#include "VeltraskDlg.h"
#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/OutputNaming.h"
#include "engine/RippingProgress.h"
#include "engine/SectorBlock.h"
#include "tests/engine/FakeCDLibrary.h"
#include "tests/window/Pump.h"

// Only R: is a CD-ROM drive.
class OneLetter : public CDriveLetterSource {
 public:
  static constexpr wchar_t kLetter = L'R';
  UINT DriveType(TCHAR letter) override {
    return letter == kLetter ? DRIVE_CDROM : DRIVE_NO_ROOT_DIR;
  }
  BOOL Accessible(TCHAR) override { return TRUE; }
};

// A fixture over the scripted drive (the fake CD library and OneLetter): ScriptTheDrive in
// SetUp before the window is made, ForgetTheDrive in TearDown after it is gone.
class ScriptedDriveTest : public ::testing::Test {
 protected:
  // One drive, "CORVANE TEST DRIVE 1.0" behind R:, with an audio disc of tracks tracks.
  void ScriptTheDrive(int tracks) {
    lib.drives.found = 1;
    strcpy(lib.drives.entries[0].vendor, "CORVANE");
    strcpy(lib.drives.entries[0].product, "TEST DRIVE");
    strcpy(lib.drives.entries[0].revision, "1.0");
    SetAudioDisc(tracks);
    CVeltraskDlg::s_pDriveLetterSource = &letters;
  }

  // Audio tracks of 150 sectors from LBA 0: each track count is another disc.
  void SetAudioDisc(int tracks) {
    std::vector<DWORD> starts;
    for (int i = 0; i < tracks; ++i) starts.push_back(150 * i);
    lib.tocResult = 1;
    lib.SetToc(1, starts, 150 * tracks);
  }

  // What the window over the drive leaves in the globals, reset.
  static void ForgetTheDrive() {
    CVeltraskDlg::s_pDriveLetterSource = nullptr;
    if (CDHANDLE h = g_hCD.exchange(0)) CDLib().CloseCDHandle(h);
    g_pSectorBlock.reset();
    RemoveAllFreeDBServers();
    g_driveLetters.RemoveAll();
    g_cddbRecord = CCDDBRecord();
  }

  FakeCDLibrary lib;
  OneLetter letters;
};

// What WaitForRefresh waits for besides the refresh's worker.
enum class RefreshWait {
  kIdle,        // the busy state off as well, whoever switched it on
  kWorkerOnly,  // a busy state that the test holds itself is not waited for
};

// Pumps until the refresh that runs, or the one posted, has ended.
inline bool WaitForRefresh(RefreshWait until = RefreshWait::kIdle, int ms = 20000) {
  PumpPending();  // the first refresh is a posted message
  return PumpUntil(
      [until] { return !IsRefreshRunning() && (until == RefreshWait::kWorkerOnly || !g_bBusy); },
      ms);
}

// %TEMP%\<prefix>-<name>-<process id>, made.
inline CString TempFolder(const wchar_t* prefix, const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  CString folder;
  folder.Format(L"%s%s-%s-%lu", temp, prefix, name, ::GetCurrentProcessId());
  ::CreateDirectoryW(folder, nullptr);
  return folder;
}

// The names in folder that match pattern ("*.cddb").
inline std::vector<std::wstring> FilesIn(const CString& folder, const wchar_t* pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(folder + L"\\" + pattern, &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      names.push_back(data.cFileName);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  return names;
}

inline std::vector<std::wstring> CacheFiles(const CString& folder) {
  return FilesIn(folder, L"*.cddb");
}

// The folder and its files (no subfolders).
inline void RemoveFolder(const CString& folder) {
  for (const std::wstring& name : FilesIn(folder, L"*"))
    ::DeleteFileW(folder + L"\\" + name.c_str());
  ::RemoveDirectoryW(folder);
}

// An event log line: its kind and its text.
using LogLine = std::pair<short, std::wstring>;

inline INT_PTR LogSize() {
  std::lock_guard<std::mutex> lock(g_logItemsLock);
  return g_logItems.GetSize();
}

// The event log's lines from index first on.
inline std::vector<LogLine> LogFrom(INT_PTR first) {
  std::lock_guard<std::mutex> lock(g_logItemsLock);
  std::vector<LogLine> lines;
  for (INT_PTR i = first; i < g_logItems.GetSize(); ++i)
    lines.emplace_back(g_logItems[i]->m_nKind, g_logItems[i]->m_strDescription.GetString());
  return lines;
}

inline int CountLines(const std::vector<LogLine>& lines, const LogLine& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// The lines of the text, of any kind, from index from on.
inline int CountLogLines(INT_PTR from, const wchar_t* text) {
  const std::vector<LogLine> lines = LogFrom(from);
  return static_cast<int>(std::count_if(
      lines.begin(), lines.end(), [text](const LogLine& line) { return line.second == text; }));
}

// Closes the rip job's window once its job has stopped, once: true when this call did.
// For a timer callback of the test's thread, which runs while the job window's loop does.
inline bool CloseStoppedJob() {
  CRippingProgress* job = g_pRippingProgress;
  if (!job || !job->GetSafeHwnd() || job->m_bRunning.load()) return false;
  if (!job->GetDlgItem(IDCANCEL)->IsWindowEnabled()) return false;
  ::PostMessageW(job->GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
  job->GetDlgItem(IDCANCEL)->EnableWindow(FALSE);
  return true;
}
