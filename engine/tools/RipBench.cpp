// rip_bench: rips every audio track of a virtual disc to WAV (or MP3, or Ogg Vorbis) through
// the real rip job window and prints the wall time, the speed in x realtime and the process
// CPU time per minute of audio. Not a test: the figures depend on the host. Run by
// scripts/bench-rip.sh.
//   rip_bench /unix/disc/folder Z:\out\folder\ [channel 0|1] [rate index] [format 1|2|3]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/EngineLog.h"
#include "engine/OutputNaming.h"
#include "engine/RippingProgress.h"
#include "engine/Settings.h"
#include "framework/win/Win.h"
#include "platform/tools/WineDrive.h"

namespace {

class CBenchApp : public CWinApp {
 public:
  CBenchApp() : CWinApp(L"CorvaneRipBench") {}
  int DoMessageBox(LPCTSTR prompt, UINT, UINT) override {
    fwprintf(stderr, L"box: %ls\n", prompt);
    return IDYES;
  }
} g_app;

DWORD g_finishedAt = 0;

void PrintLog(LPCTSTR text, int level) {
  if (level > 0) fwprintf(stderr, L"log %d: %ls\n", level, text);
}

// Closes the window once the job has stopped, noting when.
void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) noexcept {
  CRippingProgress* job = g_pRippingProgress;
  if (!job || !job->GetSafeHwnd() || job->m_bRunning.load() || g_finishedAt) return;
  g_finishedAt = GetTickCount();
  ::PostMessageW(job->GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
}

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: rip_bench /unix/disc/folder Z:\\out\\folder\\ [channel] [rate]\n");
    return 2;
  }
  AfxWinInit(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
  SetLogSink(PrintLog);
  const wchar_t letter = cdgrab::FindFreeDriveLetter(cdgrab::kSpareLetters);
  if (!letter || cdgrab::DefineWineCdDrive(letter, argv[1]) != 0) {
    fprintf(stderr, "no drive letter for %s\n", argv[1]);
    return 1;
  }
  FindCDDriveLetters();
  ListCDDrives();
  for (int i = 0; i < g_driveLetters.GetSize(); ++i) {
    if (g_driveLetters[i] == CString(letter) + L":") DriveNum = static_cast<short>(i);
  }
  CString status;
  if (ReadDisc(status) != DiscState::Audio) {
    fprintf(stderr, "no audio disc: %ls\n", status.GetString());
    cdgrab::RemoveWineDrive(letter);
    return 1;
  }
  OutputFormat = argc > 5 ? static_cast<short>(atoi(argv[5])) : 1;
  SubFormat = 1;
  Channel = argc > 3 ? atoi(argv[3]) != 0 : TRUE;
  Freq = argc > 4 ? static_cast<short>(atoi(argv[4])) : kCDRateIndex;
  FileStyle = 0;
  M3U = FALSE;
  wchar_t out[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, argv[2], -1, out, MAX_PATH);
  DesDir = out;

  int32_t sectors = 0;
  {
    CRippingProgress job;
    const int tracks = g_toc.lastTrack - g_toc.firstTrack + 1;
    for (int row = 0; row < tracks; ++row) {
      DWORD start = 0, next = 0;
      ReadBigEndian32(start, g_toc.entries[row].address);
      ReadBigEndian32(next, g_toc.entries[row + 1].address);
      if (g_toc.entries[row].adrControl & kCDControlData) continue;
      job.AddTrack(static_cast<short>(row), static_cast<int32_t>(next - start));
      CString title;
      title.Format(L"Track%02d", row + 1);
      g_cddbRecord.m_trackTitles.SetAtGrow(row, title);
      sectors += static_cast<int32_t>(next - start);
    }
    const UINT_PTR timer = SetTimer(nullptr, 0, 5, Watch);
    const double cpuBefore = CpuSeconds();
    const DWORD started = GetTickCount();
    job.DoModal();
    KillTimer(nullptr, timer);
    const double wall = (g_finishedAt - started) / 1000.0;
    const double cpu = CpuSeconds() - cpuBefore;
    const double audio = sectors / 75.0;
    DWORD jobTotal = 0, trackTotal = 0;
    job.GetSampleTotals(jobTotal, trackTotal);
    if (job.m_nJobSamplesDone.load() < jobTotal) {
      printf("the rip stopped after %lu of %lu samples\n",
             static_cast<unsigned long>(job.m_nJobSamplesDone.load()),
             static_cast<unsigned long>(jobTotal));
      return 1;
    }
    // The job waits 0.5 s before its workers start; the figure without it is the steady rate.
    char what[64];
    if (OutputFormat == 2) {
      snprintf(what, sizeof what, "MP3 %d kbit/s", Mp3BitrateOrDefault(LameBits));
    } else if (OutputFormat == 3) {
      snprintf(what, sizeof what, "Ogg Vorbis quality %d", QualityCompression);
    } else {
      snprintf(what, sizeof what, "%s %d Hz", Channel ? "stereo" : "mono",
               static_cast<int>(SampleRateOrDefault(Freq)));
    }
    printf(
        "rip %s: %.1f min of audio in %.2f s wall = %.1fx realtime "
        "(%.1fx without the 0.5 s start delay); CPU %.2f s = %.2f s per audio minute\n",
        what, audio / 60, wall, audio / wall, audio / (wall - 0.5), cpu, cpu / (audio / 60));
  }
  cdgrab::RemoveWineDrive(letter);
  return 0;
}
