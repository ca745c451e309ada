// The rip job window's handlers: progress, log lines, status, finish, pause and cancel.
// They run on the user-interface thread; the workers only post or send the WM_RIP_*
// messages, whose heap payloads the handlers free.
#include <windows.h>

#include <shellapi.h>

#include <memory>

#include "engine/EngineLog.h"
#include "engine/RippingProgress.h"
#include "framework/win/WinApp.h"

namespace {

// Counts progress messages over the life of the process: times and speeds are refreshed
// on every 10th only. User-interface thread only.
unsigned g_nProgressMessages = 0;

CString FormatPercent(double percent) {
  CString text;
  text.Format(L"%5.2lf%%", percent);
  return text;
}

CString FormatSpeed(double samples, double rate, double seconds) {
  CString text;
  text.Format(L" %5.2fx", samples / (rate * seconds));
  return text;
}

// A finished job's elapsed time: whole seconds as while running, or the milliseconds of
// a job shorter than one second, which would otherwise show as nothing at all.
CString FormatFinalElapsed(DWORD ms) {
  if (ms >= 1000) return FormatRipTime(ms / 1000.0);
  CString text;
  text.Format(L"%lu ms", static_cast<unsigned long>(ms));
  return text;
}

}  // namespace

CString FormatRipTime(double seconds) {
  const int s = seconds > 0 ? static_cast<int>(seconds) : 0;
  CString text;
  text.Format(L"%02d:%02d:%02d", s / 3600, s % 3600 / 60, s % 60);
  return text;
}

LRESULT CRippingProgress::OnRipProgress(WPARAM wParam, LPARAM lParam) {
  std::unique_ptr<float> trackPercent(reinterpret_cast<float*>(wParam));
  std::unique_ptr<float> jobPercent(reinterpret_cast<float*>(lParam));
  if (!m_bRunning.load(std::memory_order_acquire)) return 1;
  ++g_nProgressMessages;
  const double p = trackPercent ? *trackPercent : 0.0;
  const double P = jobPercent ? *jobPercent : 0.0;
  SetDlgItemText(IDC_RIP_TRACK_PERCENT, FormatPercent(p));
  SetDlgItemText(IDC_RIP_JOB_PERCENT, FormatPercent(P));
  m_trackProgress.SetPos(static_cast<int>(p));
  m_jobProgress.SetPos(static_cast<int>(P));
  if (g_nProgressMessages % 10 != 0) return 1;

  const DWORD now = GetTickCount();
  const double t = (now - m_dwTrackStartTime.load()) / 1000.0;
  if (t <= 0.1) return 1;
  m_trackElapsed.SetWindowText(FormatRipTime(t));
  if (p > 0) m_trackTimeLeft.SetWindowText(FormatRipTime((100 - p) * t / p));
  const double T = (now - m_dwJobStartTime.load()) / 1000.0;
  m_jobElapsed.SetWindowText(FormatRipTime(T));
  if (P > 0) m_jobTimeLeft.SetWindowText(FormatRipTime((100 - P) * T / P));
  SetDlgItemText(IDC_RIP_TRACK_SPEED,
                 FormatSpeed(m_nTrackSamplesDone.load(), m_fRealTimeSampleRate, t));
  if (T > 0) {
    SetDlgItemText(IDC_RIP_JOB_SPEED,
                   FormatSpeed(m_nJobSamplesDone.load(), m_fRealTimeSampleRate, T));
  }
  SetTaskbarValue(static_cast<int>(P));
  return 1;
}

LRESULT CRippingProgress::OnRipLog(WPARAM wParam, LPARAM lParam) {
  std::unique_ptr<CString> text(reinterpret_cast<CString*>(wParam));
  if (!text) return 1;
  const int level = static_cast<int>(lParam & ~kRipLogAfterStop);
  EngineLog(*text, level);
  if (level > 1) {
    SetWindowText(*text);
    SetTaskbarState(TBPF_ERROR);
  }
  // Warnings of a job that goes on (read retries) leave the window alone. A failure
  // clears the running flag before it posts its line, so the first line posted after the
  // stop (of a job not cancelled) names what stopped it.
  if (level >= 1 && (lParam & kRipLogAfterStop) && !m_bCancelled.load(std::memory_order_acquire)) {
    ShowStoppedOnError(*text);
  }
  return 1;
}

void CRippingProgress::ShowStoppedOnError(const CString& text) {
  if (m_bStopShown) return;
  m_bStopShown = TRUE;
  const CString stopped = L"Stopped on an error: " + text;
  SetWindowText(stopped);
  SetDlgItemText(IDC_RIP_STATUS, stopped);
  ShowFinishedButtons();
  SetTaskbarState(TBPF_ERROR);
}

LRESULT CRippingProgress::OnRipStatus(WPARAM wParam, LPARAM lParam) {
  std::unique_ptr<CString> text(reinterpret_cast<CString*>(lParam));
  // A track that started just before a failure stopped the job must not cover the stop.
  if (!text || m_bStopShown) return 1;
  if (wParam == 0) {
    SetDlgItemText(IDC_RIP_STATUS, *text);
  } else if (wParam == 2) {
    SetWindowText(*text);
  }
  return 1;
}

LRESULT CRippingProgress::OnRipFinished(WPARAM, LPARAM) {
  m_bRunning.store(FALSE, std::memory_order_release);
  // The job's real final figures: the running display refreshes only every 10th progress
  // message and after the first 0.1 s, so a short job would keep its initial ones.
  const DWORD now = GetTickCount();
  const DWORD trackMs = now - m_dwTrackStartTime.load();
  const DWORD jobMs = now - m_dwJobStartTime.load();
  m_trackElapsed.SetWindowText(FormatFinalElapsed(trackMs));
  m_jobElapsed.SetWindowText(FormatFinalElapsed(jobMs));
  SetDlgItemText(IDC_RIP_TRACK_SPEED, FormatSpeed(m_nTrackSamplesDone.load(), m_fRealTimeSampleRate,
                                                  (trackMs ? trackMs : 1) / 1000.0));
  SetDlgItemText(IDC_RIP_JOB_SPEED, FormatSpeed(m_nJobSamplesDone.load(), m_fRealTimeSampleRate,
                                                (jobMs ? jobMs : 1) / 1000.0));
  SetDlgItemText(IDC_RIP_TRACK_PERCENT, L"100.00%");
  m_trackProgress.SetPos(100);
  m_trackTimeLeft.SetWindowText(L"00:00:00");
  SetDlgItemText(IDC_RIP_JOB_PERCENT, L"100.00%");
  m_jobProgress.SetPos(100);
  m_jobTimeLeft.SetWindowText(L"00:00:00");
  ShowFinishedButtons();
  SetWindowText(L"Finished Copying");
  EngineLog(L"Finished copying!", LOG_INFO);
  SetTaskbarValue(100);
  return 0;
}

void CRippingProgress::ShowFinishedButtons() {
  SetDlgItemText(IDC_RIP_PAUSE, L"Open Dir");
  SetDlgItemText(IDCANCEL, L"Finish");
}

void CRippingProgress::OnPause() {
  if (m_bRunning.load(std::memory_order_acquire)) {
    const BOOL paused = !m_bPaused.load();
    m_bPaused.store(paused, std::memory_order_release);
    SetDlgItemText(IDC_RIP_PAUSE, paused ? L"Resume" : L"Pause");
    SetTaskbarState(paused ? TBPF_PAUSED : TBPF_NORMAL);
    return;
  }
  // After the run: the folder of the last file (empty before any file was named). A
  // failure in the reader or converter stops the job while the encoder may still be
  // naming its file, so the path is read once every worker has ended.
  StopThreads();
  const int cut = m_strLastOutputPath.ReverseFind(L'\\');
  const CString folder = cut < 0 ? CString() : m_strLastOutputPath.Left(cut);
  if (m_openFolder) {
    m_openFolder(folder);
  } else {
    ShellExecuteW(m_hWnd, L"open", folder, nullptr, nullptr, SW_SHOWNORMAL);
  }
}

void CRippingProgress::OnViewLog() {
  CWnd* target = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
  if (target && target->GetSafeHwnd()) target->SendMessage(WM_COMMAND, ID_VIEWLOG);
}

void CRippingProgress::OnClose() { OnCancel(); }

void CRippingProgress::OnCancel() {
  if (!m_bRunning.load(std::memory_order_acquire)) {
    EndDialog(IDCANCEL);
    return;
  }
  // Paused while asking, so the job holds still until the answer.
  const BOOL wasPaused = m_bPaused.load();
  m_bPaused.store(TRUE, std::memory_order_release);
  if (AfxMessageBox(L"Do You Want to Cancel?", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    m_bPaused.store(wasPaused, std::memory_order_release);
    return;
  }
  if (!m_bRunning.load(std::memory_order_acquire)) {
    // The job ended while the question was up: there is nothing left to cancel.
    EndDialog(IDCANCEL);
    return;
  }
  SetTaskbarState(TBPF_INDETERMINATE);
  m_bCancelled.store(TRUE, std::memory_order_release);
  m_bRunning.store(FALSE, std::memory_order_release);
  GetDlgItem(IDC_RIP_PAUSE)->EnableWindow(FALSE);
  GetDlgItem(IDCANCEL)->EnableWindow(FALSE);
  SetWindowText(L"Aborting, Please Wait...");
  StopThreads();
  EndDialog(IDCANCEL);
}
