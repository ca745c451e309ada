#include "tests/engine/RipJobHarness.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/EngineLog.h"
#include "tests/engine/LogCapture.h"

CRipTestApp g_ripTestApp;

int CRipTestApp::DoMessageBox(LPCTSTR lpszPrompt, UINT, UINT) {
  m_boxes.push_back(lpszPrompt);
  if (m_whileAsking) m_whileAsking();
  return m_answer;
}

namespace {

struct Init {
  Init() { AfxWinInit(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL); }
} g_init;

constexpr DWORD kJobTimeoutMs = 120000;

struct Script {
  std::vector<RipStep> steps;
  size_t next = 0;
  DWORD started = 0;
  bool timedOut = false;
  RipRun* run = nullptr;
};
Script* g_script = nullptr;
HHOOK g_captionHook = nullptr;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) noexcept {
  Script* script = g_script;
  CRippingProgress* job = g_pRippingProgress;
  if (!script || !job || !job->GetSafeHwnd()) return;
  if (GetTickCount() - script->started > kJobTimeoutMs && !script->timedOut) {
    script->timedOut = true;
    job->m_bRunning.store(FALSE);
    ::PostMessageW(job->GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
    return;
  }
  // Steps may open message boxes (cancel) that pump this timer again: one at a time.
  static bool busy = false;
  if (busy || script->next >= script->steps.size()) return;
  busy = true;
  if (script->steps[script->next](*job)) ++script->next;
  busy = false;
}

LRESULT CALLBACK CaptionHook(int code, WPARAM wParam, LPARAM lParam) noexcept {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code >= 0 && call->message == WM_SETTEXT && g_script && g_pRippingProgress &&
      call->hwnd == g_pRippingProgress->GetSafeHwnd() && call->lParam) {
    g_script->run->captions.emplace_back(reinterpret_cast<LPCWSTR>(call->lParam));
  }
  return CallNextHookEx(g_captionHook, code, wParam, lParam);
}

std::atomic<int32_t> g_holdFrom{INT32_MAX};
CDGrabberApi g_heldApi;
const CDGrabberApi* g_realApi = nullptr;
std::function<void(CDAudioBlock*, int32_t&)> g_tamper;

int32_t __cdecl HeldRead(CDHANDLE handle, CDAudioBlock* block) {
  while (block->firstSector + int32_t(block->sectorCount) > g_holdFrom.load() &&
         g_pRippingProgress && g_pRippingProgress->m_bRunning.load()) {
    Sleep(1);
  }
  int32_t result = g_realApi->ReadCDAudioLBA(handle, block);
  if (g_tamper) g_tamper(block, result);
  return result;
}

bool WorkersEnded(const CRippingProgress& job) {
  for (CWinThread* thread : {job.m_pReaderThread, job.m_pConverterThread, job.m_pEncoderThread}) {
    if (thread && WaitForSingleObject(thread->m_hThread, 0) != WAIT_OBJECT_0) return false;
  }
  return true;
}

// Keeps the window's end figures for the test to look at.
class CObservedJob : public CRippingProgress {
 public:
  explicit CObservedJob(RipRun& run) : m_run(run) {}

 protected:
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override {
    if (nID == IDCANCEL && nCode == CN_COMMAND && !pHandlerInfo) Keep();
    return CRippingProgress::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
  }

 private:
  void Keep() {
    m_run.pauseText = WindowText(::GetDlgItem(m_hWnd, IDC_RIP_PAUSE));
    m_run.cancelText = WindowText(::GetDlgItem(m_hWnd, IDCANCEL));
    m_run.trackPercent = WindowText(::GetDlgItem(m_hWnd, IDC_RIP_TRACK_PERCENT));
    m_run.jobPercent = WindowText(::GetDlgItem(m_hWnd, IDC_RIP_JOB_PERCENT));
    m_run.statusText = WindowText(::GetDlgItem(m_hWnd, IDC_RIP_STATUS));
    m_run.trackElapsed = WindowText(::GetDlgItem(m_hWnd, IDC_RIP_TRACK_ELAPSED));
    m_run.jobElapsed = WindowText(::GetDlgItem(m_hWnd, IDC_RIP_JOB_ELAPSED));
    m_run.trackSpeed = WindowText(::GetDlgItem(m_hWnd, IDC_RIP_TRACK_SPEED));
    m_run.jobSpeed = WindowText(::GetDlgItem(m_hWnd, IDC_RIP_JOB_SPEED));
  }
  RipRun& m_run;
};

}  // namespace

bool RipRun::Logged(const std::wstring& text) const {
  for (const auto& line : log) {
    if (line.second == text) return true;
  }
  return false;
}

int RipRun::CountLogged(const std::wstring& prefix) const {
  int count = 0;
  for (const auto& line : log) count += line.second.rfind(prefix, 0) == 0;
  return count;
}

std::vector<TrackData> JobForRows(const std::vector<int>& rows) {
  std::vector<TrackData> job;
  int32_t cumulative = 0;
  for (int row : rows) {
    DWORD start = 0, next = 0;
    ReadBigEndian32(start, g_toc.entries[row].address);
    ReadBigEndian32(next, g_toc.entries[row + 1].address);
    const int32_t sectors = static_cast<int32_t>(next - start);
    cumulative += sectors;
    job.push_back({static_cast<short>(row), static_cast<int32_t>(start), sectors, cumulative});
  }
  return job;
}

void TamperReads(std::function<void(CDAudioBlock*, int32_t&)> tamper) {
  g_tamper = std::move(tamper);
}

void HoldReadsFrom(int32_t sector) { g_holdFrom.store(sector); }

RipStep ReleaseReads() {
  return [](CRippingProgress&) {
    g_holdFrom.store(INT32_MAX);
    return true;
  };
}

RipRun RunRipJob(const std::vector<TrackData>& job, std::vector<RipStep> steps,
                 std::function<void(CRippingProgress&)> configure) {
  RipRun run;
  g_realApi = &CDLib();
  g_heldApi = *g_realApi;
  g_heldApi.ReadCDAudioLBA = HeldRead;
  SetCDGrabberApi(&g_heldApi);
  if (steps.empty()) steps = {WaitUntilStopped(), Click(IDCANCEL)};
  Script script{std::move(steps), 0, GetTickCount(), false, &run};
  g_script = &script;
  LogCapture capture;
  g_captionHook = SetWindowsHookExW(WH_CALLWNDPROC, CaptionHook, nullptr, GetCurrentThreadId());
  run.threadsBefore = CountProcessThreads();
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
  {
    CObservedJob dlg(run);
    for (const TrackData& record : job) dlg.m_jobList.Add(record);
    if (configure) configure(dlg);
    run.result = dlg.DoModal();
  }
  KillTimer(nullptr, timer);
  UnhookWindowsHookEx(g_captionHook);
  g_captionHook = nullptr;
  run.threadsAfter = CountProcessThreads();
  run.log = LogCapture::Lines();
  run.timedOut = script.timedOut;
  g_script = nullptr;
  SetCDGrabberApi(nullptr);
  g_holdFrom.store(INT32_MAX);
  g_tamper = nullptr;
  return run;
}

RipStep WaitUntilStopped() {
  return [](CRippingProgress& job) { return !job.m_bRunning.load() && WorkersEnded(job); };
}

RipStep ClickWhileRunning(UINT id) {
  return [id](CRippingProgress& job) {
    if (!job.m_bRunning.load()) {
      ADD_FAILURE() << "the job ended before the click on " << id;
      return true;
    }
    return Click(id)(job);
  };
}

RipStep Click(UINT id) {
  return [id](CRippingProgress& job) {
    ::SendMessageW(job.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(job.GetSafeHwnd(), id)));
    return true;
  };
}

RipStep Pause(DWORD ms) {
  auto start = std::make_shared<DWORD>(0);
  return [start, ms](CRippingProgress&) {
    if (*start == 0) *start = GetTickCount() | 1;
    return GetTickCount() - *start >= ms;
  };
}

// The picture is taken from outside (the X server's view, title and buttons as drawn):
// the step writes "<name>.ready" into CORVANE_SHOT_DIR and holds the window, its
// messages still flowing, for five seconds while the writer holds still.
RipStep Screenshot(const wchar_t* name) {
  std::wstring file = name;
  auto started = std::make_shared<DWORD>(0);
  auto wasPaused = std::make_shared<BOOL>(FALSE);
  return [file, started, wasPaused](CRippingProgress& job) {
    const wchar_t* dir = _wgetenv(L"CORVANE_SHOT_DIR");
    if (!dir) return true;
    if (*started == 0) {
      *wasPaused = job.m_bPaused.exchange(TRUE);
      RedrawWindow(job.GetSafeHwnd(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
      std::ofstream(std::filesystem::path(std::wstring(dir) + L"\\" + file + L".ready"));
      *started = GetTickCount() | 1;
      return false;
    }
    if (GetTickCount() - *started < 5000) return false;
    job.m_bPaused.store(*wasPaused);
    return true;
  };
}

std::wstring WinPath(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

std::vector<unsigned char> ReadFileBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>());
}

int CountProcessThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  int count = 0;
  const DWORD self = GetCurrentProcessId();
  for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry)) {
    count += entry.th32OwnerProcessID == self;
  }
  CloseHandle(snapshot);
  return count;
}

std::wstring WindowText(HWND hwnd) {
  wchar_t text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return text;
}
