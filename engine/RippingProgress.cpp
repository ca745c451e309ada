// The rip job window: start-up, the LAME library, thread start and stop, and clean-up.
// The progress, log, pause and cancel handlers are in RipProgressHandlers.cpp.
#include "engine/RippingProgress.h"

#include <cstddef>
#include <vector>

#include "engine/CDDrive.h"
#include "engine/EngineLog.h"
#include "engine/OutputNaming.h"
#include "engine/SampleUtils.h"
#include "engine/Settings.h"
#include "framework/win/WinApp.h"

CRippingProgress* g_pRippingProgress = nullptr;

namespace {

constexpr wchar_t kPlacementSection[] = L"Position";
constexpr wchar_t kPlacementValue[] = L"{5634F63C-A087-4A6C-87F3-E2C0F266F0E8}";
constexpr uint32_t kRipRingCapacity = 0xFFFFF;
constexpr unsigned short kSectorsPerRead = 26;

// LAME's published configuration record: the library copies dwStructSize bytes of it.
static_assert(sizeof(BE_CONFIG) == 331);
static_assert(offsetof(BE_CONFIG, format.LHV1.dwStructVersion) == 4);
static_assert(offsetof(BE_CONFIG, format.LHV1.dwStructSize) == 8);
static_assert(offsetof(BE_CONFIG, format.LHV1.dwSampleRate) == 12);
static_assert(offsetof(BE_CONFIG, format.LHV1.dwReSampleRate) == 16);
static_assert(offsetof(BE_CONFIG, format.LHV1.nMode) == 20);
static_assert(offsetof(BE_CONFIG, format.LHV1.dwBitrate) == 24);
static_assert(offsetof(BE_CONFIG, format.LHV1.dwMaxBitrate) == 28);
static_assert(offsetof(BE_CONFIG, format.LHV1.nPreset) == 32);
static_assert(offsetof(BE_CONFIG, format.LHV1.dwMpegVersion) == 36);
static_assert(offsetof(BE_CONFIG, format.LHV1.bPrivate) == 48);
static_assert(offsetof(BE_CONFIG, format.LHV1.bWriteVBRHeader) == 64);
static_assert(offsetof(BE_CONFIG, format.LHV1.bEnableVBR) == 68);
static_assert(offsetof(BE_CONFIG, format.LHV1.nVbrMethod) == 80);
static_assert(offsetof(BE_CONFIG, format.LHV1.bNoRes) == 84);
static_assert(offsetof(BE_CONFIG, format.LHV1.bStrictIso) == 88);
static_assert(offsetof(BE_CONFIG, format.LHV1.nQuality) == 92);

template <typename Fn>
Fn LameEntry(HMODULE dll, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

// Waits for a thread to end until the deadline (a GetTickCount value), answering messages
// sent to this thread and repainting its windows meanwhile: the encoder sends (not posts)
// its destination line and final progress, so a plain wait could hold it forever, and the
// window must keep showing that it is aborting. Input and posted messages stay queued:
// nothing the user clicks may run before the threads are gone.
bool WaitServicingMessages(HANDLE thread, DWORD deadline) {
  for (;;) {
    const int left = static_cast<int>(deadline - GetTickCount());
    if (left <= 0) return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
    const DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, static_cast<DWORD>(left),
                                                   QS_SENDMESSAGE | QS_PAINT);
    if (result == WAIT_OBJECT_0) return true;
    if (result != WAIT_OBJECT_0 + 1) return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    // Bounded: a window that never validates itself must not hold the wait here.
    for (int i = 0; i < 64 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT); ++i) {
      DispatchMessageW(&msg);
    }
  }
}

// Frees the payload of a WM_RIP_* message that will never reach its handler.
void ReleaseRipPayload(const MSG& msg) {
  switch (msg.message) {
    case WM_RIP_PROGRESS:
      delete reinterpret_cast<float*>(msg.wParam);
      delete reinterpret_cast<float*>(msg.lParam);
      break;
    case WM_RIP_LOG:
      delete reinterpret_cast<CString*>(msg.wParam);
      break;
    case WM_RIP_STATUS:
      delete reinterpret_cast<CString*>(msg.lParam);
      break;
    default:
      break;
  }
}

}  // namespace

CRippingProgress::CRippingProgress(CWnd* pParent) : CResizeDlg(IDD_RIPPING_PROGRESS, pParent) {
  memset(&m_beConfig, 0, sizeof(m_beConfig));
}

CRippingProgress::~CRippingProgress() {
  SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
  // Threads still running here read the block, the rings and the entry points: they are
  // stopped before any of those go.
  StopThreads();
  m_pBlock.reset();
  SetTaskbarState(TBPF_NOPROGRESS);
  if (m_hLameDll) FreeLibrary(m_hLameDll);
  if (g_pRippingProgress == this) g_pRippingProgress = nullptr;
}

void CRippingProgress::SetRipRings(RipRing* ringA, RipRing* ringB) {
  m_pRingIn = ringA;
  m_pRingOut = ringB;
}

void CRippingProgress::AddTrack(short row, int32_t sectors) {
  DWORD start = 0;
  if (row >= 0 && row < kCDTocMaxEntries) ReadBigEndian32(start, g_toc.entries[row].address);
  const int32_t before =
      m_jobList.IsEmpty() ? 0 : m_jobList[m_jobList.GetUpperBound()].nCumulativeSectors;
  m_jobList.Add({row, static_cast<int32_t>(start), sectors, before + sectors});
}

void CRippingProgress::DoDataExchange(CDataExchange* pDX) {
  CResizeDlg::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_RIP_TRACK_LEFT, m_trackTimeLeft);
  DDX_Control(pDX, IDC_RIP_TRACK_ELAPSED, m_trackElapsed);
  DDX_Control(pDX, IDC_RIP_JOB_PROGRESS, m_jobProgress);
  DDX_Control(pDX, IDC_RIP_TRACK_PROGRESS, m_trackProgress);
  DDX_Control(pDX, IDC_RIP_JOB_LEFT, m_jobTimeLeft);
  DDX_Control(pDX, IDC_RIP_JOB_ELAPSED, m_jobElapsed);
}

BEGIN_MESSAGE_MAP(CRippingProgress, CResizeDlg)
ON_WM_CLOSE()
ON_WM_DESTROY()
ON_BN_CLICKED(IDC_RIP_PAUSE, OnPause)
ON_BN_CLICKED(IDC_RIP_LOG, OnViewLog)
ON_MESSAGE(WM_RIP_PROGRESS, OnRipProgress)
ON_MESSAGE(WM_RIP_LOG, OnRipLog)
ON_MESSAGE(WM_RIP_STATUS, OnRipStatus)
ON_MESSAGE(WM_RIP_FINISHED, OnRipFinished)
END_MESSAGE_MAP()

BOOL CRippingProgress::OnInitDialog() {
  CResizeDlg::OnInitDialog();
  if (HICON icon = LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))) {
    SetIcon(icon, FALSE);
  }
  SetPriorityClass(GetCurrentProcess(), ABOVE_NORMAL_PRIORITY_CLASS);

  g_pRippingProgress = this;
  m_bCancelled.store(FALSE);
  m_bRunning.store(FALSE);
  m_bPaused.store(FALSE);
  m_bSourceEnded.store(FALSE);
  m_nReadFailedTrack.store(-1);
  m_nReadFailedSector = 0;
  m_nReaderTrack = 0;
  m_bStopShown = FALSE;
  m_nCurrentTrack.store(0);
  m_nJobSamplesDone.store(0);
  m_nTrackSamplesDone.store(0);
  m_nSectorsPerRead = 0;
  // Until the encoder sets them, the times count from now: a progress message before the
  // first track must not show the time since the system started.
  m_dwTrackStartTime.store(GetTickCount());
  m_dwJobStartTime.store(GetTickCount());

  m_trackProgress.SetRange(0, 100);
  m_trackProgress.SetPos(0);
  m_jobProgress.SetRange(0, 100);
  m_jobProgress.SetPos(0);

  static const UINT kStretched[] = {IDC_RIP_TRACK_GROUP, IDC_RIP_JOB_GROUP, IDC_RIP_TRACK_PROGRESS,
                                    IDC_RIP_JOB_PROGRESS, IDC_RIP_STATUS};
  // The buttons are left out of the erase clipping: with it, themed buttons under Wine
  // are never painted (black boxes), and they paint their own face anyway.
  static const UINT kButtons[] = {IDC_RIP_LOG, IDC_RIP_PAUSE, IDCANCEL};
  static const UINT kCentredClipped[] = {
      IDC_RIP_TRACK_DONE_LABEL, IDC_RIP_JOB_DONE_LABEL,    IDC_RIP_TRACK_SPEED_LABEL,
      IDC_RIP_JOB_SPEED_LABEL,  IDC_RIP_JOB_ELAPSED_LABEL, IDC_RIP_TRACK_ELAPSED_LABEL,
      IDC_RIP_JOB_LEFT_LABEL,   IDC_RIP_TRACK_LEFT_LABEL,  IDC_RIP_TRACK_PERCENT};
  static const UINT kCentred[] = {IDC_RIP_JOB_PERCENT,   IDC_RIP_TRACK_SPEED, IDC_RIP_JOB_SPEED,
                                  IDC_RIP_TRACK_ELAPSED, IDC_RIP_JOB_ELAPSED, IDC_RIP_TRACK_LEFT,
                                  IDC_RIP_JOB_LEFT};
  for (UINT id : kStretched) AddControl(id, 1, 1, 0, 0);
  for (UINT id : kButtons) AddControl(id, 3, 3, 0, 0, 0);
  for (UINT id : kCentredClipped) AddControl(id, 3, 3, 0, 0, kAnchorClipOnErase);
  for (UINT id : kCentred) AddControl(id, 3, 3, 0, 0, 0);

  if (OutputFormat == 2 && !LoadLame()) return TRUE;
  if (!CheckOutputSettings()) return TRUE;

  m_nSectorsPerRead = kSectorsPerRead;
  // The Korean-locale handle close is left out on purpose: the reader goes on with the
  // handle, and a closed one must never be read through.

  m_bDownMix = FALSE;
  m_bResample = FALSE;
  m_dResampleRatio = 1.0;
  if (OutputFormat == 1) {
    m_bDownMix = !Channel;
    if (Freq != kCDRateIndex) {
      m_bResample = TRUE;
      m_dResampleRatio = SampleRateOrDefault(Freq) / 44100.0;
    }
  } else if (OutputFormat == 2) {
    m_bDownMix = LameChannel == 0;
  }

  SetThreadPriorities();
  m_fRealTimeSampleRate = static_cast<float>(m_dResampleRatio * 88200 / (m_bDownMix ? 2 : 1));

  // The job list is never empty when the rip commands run the window; a window run
  // without one shows its initial figures and starts nothing.
  if (m_jobList.IsEmpty()) return TRUE;
  m_nInputSamplesLeft = m_jobList[m_jobList.GetUpperBound()].nCumulativeSectors * 1176;

  float* trackPercent = new float(0.0f);
  float* jobPercent = new float(0.0f);
  if (!PostMessage(WM_RIP_PROGRESS, reinterpret_cast<WPARAM>(trackPercent),
                   reinterpret_cast<LPARAM>(jobPercent))) {
    delete trackPercent;
    delete jobPercent;
  }

  if (!m_pRingIn || !m_pRingOut) {
    m_ownRingA = std::make_unique<RipRing>(kRipRingCapacity);
    m_ownRingB = std::make_unique<RipRing>(kRipRingCapacity);
    m_pRingIn = m_ownRingA.get();
    m_pRingOut = m_ownRingB.get();
  }
  m_pRingIn->Reset();
  m_pRingOut->Reset();

  m_pBlock.reset(AllocSectorBlock(kCDBlockSectors));
  if (!m_pBlock) return TRUE;

  m_placement.Restore(m_hWnd, kPlacementValue, kPlacementSection);
  SetTaskbarState(TBPF_NORMAL);
  StartThreads();
  return TRUE;
}

BOOL CRippingProgress::LoadLame() {
  m_hLameDll = LoadLibraryW(L"lame_enc.dll");
  if (!m_hLameDll) {
    EngineLog(L"Error loading lame_enc.dll", LOG_WARNING);
    AfxMessageBox(L"Error Loading Lame_enc.dll", MB_ICONERROR);
    return FALSE;
  }
  m_beInitStream = LameEntry<BEINITSTREAM>(m_hLameDll, "beInitStream");
  m_beEncodeChunk = LameEntry<BEENCODECHUNK>(m_hLameDll, "beEncodeChunk");
  m_beDeinitStream = LameEntry<BEDEINITSTREAM>(m_hLameDll, "beDeinitStream");
  m_beCloseStream = LameEntry<BECLOSESTREAM>(m_hLameDll, "beCloseStream");
  m_beWriteVBRHeader = LameEntry<BEWRITEVBRHEADER>(m_hLameDll, "beWriteVBRHeader");
  m_beWriteInfoTag = LameEntry<BEWRITEINFOTAG>(m_hLameDll, "beWriteInfoTag");
  if (!m_beInitStream || !m_beEncodeChunk || !m_beDeinitStream || !m_beCloseStream ||
      !m_beWriteVBRHeader) {
    EngineLog(L"Unable to get LAME interfaces", LOG_WARNING);
    AfxMessageBox(L"Unable to Get LAME Interfaces", MB_ICONERROR);
    return FALSE;
  }
  m_lameClose = LameEntry<LAMECLOSE>(m_hLameDll, "lame_close");
  m_beConfig = LameConfigFromSettings();
  return TRUE;
}

LameOutput CRippingProgress::ProbeLameOutput() const {
  LameOutput result;
  BE_CONFIG probe = m_beConfig;
  // Without the header the stream frees itself when closed.
  probe.format.LHV1.bWriteVBRHeader = FALSE;
  DWORD samples = 0;
  DWORD bufferSize = 0;
  HBE_STREAM stream = nullptr;
  result.error = m_beInitStream(&probe, &samples, &bufferSize, &stream);
  if (result.error != BE_ERR_SUCCESSFUL || samples == 0 || bufferSize == 0) {
    if (stream) m_beCloseStream(stream);
    if (result.error == BE_ERR_SUCCESSFUL) result.error = BE_ERR_INVALID_FORMAT_PARAMETERS;
    return result;
  }
  std::vector<short> silence(samples);
  std::vector<BYTE> output(bufferSize);
  std::vector<BYTE> frames;
  DWORD produced = 0;
  if (m_beEncodeChunk(stream, samples, silence.data(), output.data(), &produced) ==
      BE_ERR_SUCCESSFUL) {
    frames.assign(output.begin(), output.begin() + produced);
    produced = 0;
    if (m_beDeinitStream(stream, output.data(), &produced) == BE_ERR_SUCCESSFUL) {
      frames.insert(frames.end(), output.begin(), output.begin() + produced);
    }
  }
  m_beCloseStream(stream);
  Mp3FrameHeader frame;
  if (frames.size() >= 4 && ReadMp3FrameHeader(frames.data(), &frame)) {
    result.rate = frame.rate;
    result.kbps = frame.kbps;
  } else {
    result.error = BE_ERR_INVALID_FORMAT_PARAMETERS;
  }
  return result;
}

BOOL CRippingProgress::CheckOutputSettings() {
  CString text;
  if (OutputFormat < 1 || OutputFormat > 3) {
    text.Format(L"Unknown output format %d: nothing is ripped (1 WAV, 2 MP3, 3 OGG Vorbis)",
                static_cast<int>(OutputFormat));
    EngineLog(text, LOG_ERROR);
    AfxMessageBox(text, MB_ICONERROR);
    return FALSE;
  }
  if (OutputFormat != 2) return TRUE;
  // The library accepts every record, but changes a rate or bitrate that MPEG audio cannot
  // combine with the other; what it really writes is known only from its frames.
  static const wchar_t* const kModeNames[] = {L"mono", L"stereo", L"joint stereo", L"dual channel"};
  const auto& lhv1 = m_beConfig.format.LHV1;
  const wchar_t* mode = LameChannel >= 0 && LameChannel <= 3 ? kModeNames[LameChannel] : L"";
  const LameOutput output = ProbeLameOutput();
  if (output.error != BE_ERR_SUCCESSFUL) {
    text.Format(
        L"The MP3 encoder cannot encode %lu Hz at %lu kbit/s in %s (error %lu): nothing "
        L"is ripped",
        lhv1.dwReSampleRate, lhv1.dwBitrate, mode, output.error);
    EngineLog(text, LOG_ERROR);
    AfxMessageBox(text, MB_ICONERROR);
    return FALSE;
  }
  if (output.rate != lhv1.dwReSampleRate || output.kbps != lhv1.dwBitrate) {
    text.Format(
        L"The MP3 encoder cannot make %lu Hz at %lu kbit/s: the files will be %lu Hz at "
        L"%lu kbit/s",
        lhv1.dwReSampleRate, lhv1.dwBitrate, output.rate, output.kbps);
    EngineLog(text, LOG_WARNING);
  }
  return TRUE;
}

BE_CONFIG LameConfigFromSettings() {
  BE_CONFIG config;
  memset(&config, 0, sizeof(config));
  config.dwConfig = BE_CONFIG_LAME;
  auto& lhv1 = config.format.LHV1;
  lhv1.dwStructVersion = 1;
  lhv1.dwStructSize = sizeof(BE_CONFIG);
  lhv1.dwSampleRate = 44100;
  lhv1.dwReSampleRate = SampleRateOrDefault(LameFreq);
  static const LONG kModes[] = {BE_MP3_MODE_MONO, BE_MP3_MODE_STEREO, BE_MP3_MODE_JSTEREO,
                                BE_MP3_MODE_DUALCHANNEL};
  lhv1.nMode = LameChannel >= 0 && LameChannel <= 3 ? kModes[LameChannel] : BE_MP3_MODE_JSTEREO;
  lhv1.dwBitrate = Mp3BitrateOrDefault(LameBits);
  lhv1.dwMaxBitrate = 0;
  lhv1.nPreset = LQP_NOPRESET;
  lhv1.dwMpegVersion = MPEG1;
  lhv1.bWriteVBRHeader = TRUE;
  lhv1.bEnableVBR = FALSE;
  lhv1.bNoRes = TRUE;
  lhv1.bStrictIso = FALSE;
  lhv1.nQuality = static_cast<WORD>((255 - kLameQuality) * 256 + kLameQuality);
  return config;
}

void CRippingProgress::SetThreadPriorities() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  const int processors = static_cast<int>(info.dwNumberOfProcessors);
  int p = processors - 1 + (m_bResample ? 1 : 0);
  if (p > 5) p = 5;
  if (p <= 2) {
    m_nReaderPriority = THREAD_PRIORITY_NORMAL;
  } else if (p <= 4) {
    m_nReaderPriority = processors == 1 ? THREAD_PRIORITY_NORMAL : THREAD_PRIORITY_ABOVE_NORMAL;
  } else {
    m_nReaderPriority = THREAD_PRIORITY_HIGHEST;
  }
  m_nEncoderPriority = processors == 1 && m_nReaderPriority > THREAD_PRIORITY_NORMAL
                           ? THREAD_PRIORITY_ABOVE_NORMAL
                           : THREAD_PRIORITY_HIGHEST;
}

BOOL CRippingProgress::StartThreads() {
  const bool converting = m_bDownMix || m_bResample;
  m_pEncoderRing = converting ? m_pRingOut : m_pRingIn;
  m_bThreadsStopped = FALSE;
  m_bRunning.store(TRUE, std::memory_order_release);
  auto start = [this](AFX_THREADPROC proc, int priority) -> CWinThread* {
    CWinThread* thread = AfxBeginThread(proc, this, priority, 0, CREATE_SUSPENDED);
    if (thread) thread->m_bAutoDelete = FALSE;
    return thread;
  };
  m_pReaderThread = start(RipReaderThreadProc, m_nReaderPriority);
  if (converting) m_pConverterThread = start(RipConverterThreadProc, THREAD_PRIORITY_NORMAL);
  m_pEncoderThread = start(RipEncoderThreadProc, m_nEncoderPriority);
  if (!m_pReaderThread || (converting && !m_pConverterThread) || !m_pEncoderThread) {
    // None has run yet: stop them before they start.
    m_bRunning.store(FALSE, std::memory_order_release);
    EngineLog(L"The rip threads could not be started", LOG_ERROR);
  }
  for (CWinThread* thread : {m_pReaderThread, m_pConverterThread, m_pEncoderThread}) {
    if (thread) thread->ResumeThread();
  }
  return m_bRunning.load();
}

void CRippingProgress::StopThreads() {
  if (m_bThreadsStopped) return;
  m_bThreadsStopped = TRUE;
  // One deadline for all three, so the whole stop is bounded: a thread that has not
  // ended when it passes is not waited for at all.
  const DWORD deadline = GetTickCount() + kStopDeadlineMs;
  for (CWinThread** slot : {&m_pReaderThread, &m_pConverterThread, &m_pEncoderThread}) {
    CWinThread* thread = *slot;
    if (!thread) continue;
    if (!WaitServicingMessages(thread->m_hThread, deadline)) {
      // Last resort: a thread that ignores the cleared running flag this long is stuck
      // in a drive or encoder call. Terminating it may leave a lock held; say so.
      TerminateThread(thread->m_hThread, static_cast<DWORD>(-1));
      EngineLog(L"A rip thread did not stop and was terminated", LOG_ERROR);
    }
    delete thread;
    *slot = nullptr;
  }
}

void CRippingProgress::OnDestroy() {
  // Whatever ends the window, no worker may outlive it or post into a dead window.
  m_bRunning.store(FALSE, std::memory_order_release);
  StopThreads();
  // What the workers posted last still reaches the log (a line of the stop, a destination).
  MSG msg;
  while (PeekMessageW(&msg, m_hWnd, WM_RIP_PROGRESS, WM_RIP_FINISHED, PM_REMOVE)) {
    if (msg.message == WM_RIP_LOG && msg.wParam) {
      EngineLog(*reinterpret_cast<CString*>(msg.wParam),
                static_cast<int>(msg.lParam & ~kRipLogAfterStop));
    }
    ReleaseRipPayload(msg);
  }
  m_placement.Save(m_hWnd, kPlacementValue, kPlacementSection);
  CResizeDlg::OnDestroy();
}

CString CRippingProgress::BuildOutputFolder() { return ::BuildOutputFolder(); }
