// The rip job's three workers: reader (drive to ring A), converter (ring A through libsox
// to ring B) and encoder (one file per job track from its source ring).
//
// How it works: each ring has one writing and one reading thread and no lock (see
// RingBuffer.h). Every wait is a Sleep(1) poll that also watches the running flag, so
// clearing that flag ends all three within a few milliseconds. A failure clears the flag
// first and then posts its line, so the window sees a stopped job when the line arrives.
// A sector that never reads is the exception: what the reader had already put into the
// rings is still encoded, so the reader only marks the failure, the converter passes on
// what is left, and the encoder stops the job once the failing track's file is done.
#include <windows.h>

#include <objbase.h>
#include <sox.h>

#include <algorithm>
#include <mutex>

#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/RippingProgress.h"
#include "engine/SampleUtils.h"
#include "engine/Settings.h"

namespace {

constexpr DWORD kStartDelayMs = 500;
constexpr DWORD kPausedPollMs = 100;  // as the writers wait while paused
constexpr uint32_t kStagingSamples = 16384;

// The converter's staging buffers, one per callback; only one job runs at a time.
short g_soxInputStaging[kStagingSamples];
short g_soxOutputStaging[kStagingSamples];

bool Running(const CRippingProgress* job) {
  return job->m_bRunning.load(std::memory_order_acquire) != FALSE;
}

bool ReadFailed(const CRippingProgress* job) {
  return job->m_nReadFailedTrack.load(std::memory_order_acquire) >= 0;
}

void Stop(CRippingProgress* job) { job->m_bRunning.store(FALSE, std::memory_order_release); }

CString FormatText(LPCWSTR format, ...) {
  CString text;
  va_list args;
  va_start(args, format);
  text.FormatV(format, args);
  va_end(args);
  return text;
}

int SoxInputFromRing(sox_effect_t* effect, sox_sample_t* out, size_t* count) noexcept {
  CRippingProgress* job = g_pRippingProgress;
  const size_t channels = std::max<size_t>(1, effect->out_signal.channels);
  size_t n = std::min<size_t>(*count, kStagingSamples) / channels * channels;
  if (!job || job->m_nInputSamplesLeft == 0) {
    *count = 0;
    return SOX_EOF;
  }
  n = std::min<size_t>(n, job->m_nInputSamplesLeft);
  while (job->m_pRingIn->ReadableCount() < n) {
    if (!Running(job)) {
      *count = 0;
      return SOX_EOF;
    }
    if (ReadFailed(job)) {
      // Nothing more will come: what the ring holds now is the rest of the input.
      n = job->m_pRingIn->ReadableCount() / channels * channels;
      if (n == 0) {
        *count = 0;
        return SOX_EOF;
      }
      break;
    }
    Sleep(1);
  }
  const uint32_t samples = static_cast<uint32_t>(n);
  job->m_pRingIn->Read(g_soxInputStaging, samples);
  Sample16ToSox32(g_soxInputStaging, out, static_cast<int>(samples));
  job->m_nInputSamplesLeft -= samples;
  *count = n;
  return SOX_SUCCESS;
}

int SoxOutputToRing(sox_effect_t*, const sox_sample_t* in, sox_sample_t*, size_t* inCount,
                    size_t* outCount) noexcept {
  *outCount = 0;
  CRippingProgress* job = g_pRippingProgress;
  if (!job) return SOX_EOF;
  size_t left = *inCount;
  while (left > 0) {
    const uint32_t m = static_cast<uint32_t>(std::min<size_t>(left, kStagingSamples));
    Sox32ToSample16(in, g_soxOutputStaging, static_cast<int>(m));
    while (job->m_pRingOut->WritableCount() < m) {
      if (!Running(job)) return SOX_EOF;
      Sleep(1);
    }
    if (job->m_pRingOut->Write(g_soxOutputStaging, m) < m) return SOX_EOF;
    in += m;
    left -= m;
  }
  return SOX_SUCCESS;
}

// Adds one effect, its options and the signal it changes; the chain copies the effect.
bool AddSoxEffect(sox_effects_chain_t* chain, sox_signalinfo_t* signal, sox_effect_t* effect,
                  const char* option) {
  if (!effect) return false;
  char* args[1] = {const_cast<char*>(option)};
  const bool ok =
      sox_effect_options(effect, option ? 1 : 0, option ? args : nullptr) == SOX_SUCCESS &&
      sox_add_effect(chain, effect, signal, signal) == SOX_SUCCESS;
  free(effect);
  return ok;
}

}  // namespace

const sox_effect_handler_t* GetInputEffectHandler() {
  static sox_effect_handler_t handler = {"input", nullptr,          SOX_EFF_MCHAN, nullptr, nullptr,
                                         nullptr, SoxInputFromRing, nullptr,       nullptr, 0};
  return &handler;
}

const sox_effect_handler_t* GetOutputEffectHandler() {
  static sox_effect_handler_t handler = {"output",        nullptr, SOX_EFF_MCHAN, nullptr, nullptr,
                                         SoxOutputToRing, nullptr, nullptr,       nullptr, 0};
  return &handler;
}

// ---- reader -----------------------------------------------------------------------------

void CRippingProgress::ReadAllTracks() {
  Sleep(kStartDelayMs);
  for (INT_PTR i = 0; i < m_jobList.GetSize() && Running(this) && !ReadFailed(this); ++i) {
    m_nReaderTrack = static_cast<int>(i);
    ReadTrack(m_jobList[i].nFirstSector, m_jobList[i].nSectors);
  }
  // Without a converter the reader feeds the encoder: the whole job is in the ring now.
  if (Running(this) && m_pEncoderRing == m_pRingIn) {
    m_bSourceEnded.store(TRUE, std::memory_order_release);
  }
}

void CRippingProgress::ReadTrack(int32_t firstSector, int32_t sectors) {
  const BOOL audioCD = m_isAudioCD ? m_isAudioCD() : TRUE;
  if (g_bNoDisc.load(std::memory_order_acquire) || !audioCD) {
    Stop(this);
    return;
  }
  CDAudioBlock* block = m_pBlock.get();
  memset(block, 0, sizeof(CDAudioBlock));
  block->capacity = kCDBlockDataBytes;

  int32_t s = firstSector;
  int32_t left = sectors;
  while (Running(this) && left > 0) {
    const uint32_t k = static_cast<uint32_t>(std::min<int32_t>(m_nSectorsPerRead, left));
    while (m_pRingIn->WritableCount() / kCDSectorSamples < k) {
      if (!Running(this)) return;
      Sleep(1);
    }
    for (int attempt = 1;; ++attempt) {
      if (!Running(this)) return;
      if (attempt > 1) PostLog(FormatText(L"Retry %d to read sector %d", attempt - 1, s), 1);
      block->sectorCount = k;
      block->audioOffset = 0;
      block->bytesDelivered = 0;
      block->firstSector = s;
      const int32_t result = CDLib().ReadCDAudioLBA(g_hCD.load(std::memory_order_acquire), block);
      // Only a delivery of exactly the sectors asked for, inside the block, counts: a
      // short or oversized one would shift every later track boundary.
      const uint32_t offset = block->audioOffset;
      const uint32_t delivered = block->bytesDelivered;
      if (result == 1 && offset <= block->capacity && delivered <= block->capacity - offset &&
          delivered == k * kCDSectorBytes) {
        m_pRingIn->Write(reinterpret_cast<const short*>(CDAudioBlockData(block) + offset),
                         delivered / 2);
        break;
      }
      if (attempt > kMaxReadRetries) {
        // Both right after the last failure, the transport status first.
        const int transportError = CDLib().GetAspiLibAspiError() & 0xFF;
        const int libError = CDLib().GetAspiLibError();
        // The running flag stays set: the samples read so far are still encoded. Release,
        // so whoever sees the failure sees every sample written before it.
        m_nReadFailedSector = s;
        m_nReadFailedTrack.store(m_nReaderTrack, std::memory_order_release);
        if (m_pEncoderRing == m_pRingIn) m_bSourceEnded.store(TRUE, std::memory_order_release);
        PostLog(FormatText(L"Error at sector %d (error code: %d, %d)", s, libError, transportError),
                1);
        PostLog(L"Reach Maximum Retries, Forced to Stop.", 2);
        return;
      }
    }
    s += static_cast<int32_t>(k);
    left -= static_cast<int32_t>(k);
  }
}

UINT __cdecl RipReaderThreadProc(LPVOID pParam) {
  auto* job = static_cast<CRippingProgress*>(pParam);
  try {
    job->ReadAllTracks();
  } catch (CException* e) {
    e->Delete();
    Stop(job);
    job->PostLog(L"An error occurred while ripping", 2);
  } catch (...) {
    Stop(job);
    job->PostLog(L"An error occurred while ripping", 2);
  }
  return 0;
}

// ---- converter --------------------------------------------------------------------------

void CRippingProgress::ConvertSamples() {
  Sleep(kStartDelayMs);
  static std::once_flag soxStarted;
  static bool soxReady = false;
  std::call_once(soxStarted, [] { soxReady = sox_init() == SOX_SUCCESS; });
  if (!soxReady) AfxThrowNotSupportedException();

  const size_t total =
      static_cast<size_t>(m_jobList[m_jobList.GetUpperBound()].nCumulativeSectors) *
      kCDSectorSamples;
  sox_signalinfo_t signal{};
  signal.rate = 44100;
  signal.channels = 2;
  signal.precision = 32;
  signal.length = total;
  sox_encodinginfo_t encoding{};
  encoding.encoding = SOX_ENCODING_SIGN2;
  encoding.bits_per_sample = 32;
  encoding.compression = 0;
  encoding.reverse_bytes = sox_option_no;
  encoding.reverse_nibbles = sox_option_no;
  encoding.reverse_bits = sox_option_no;

  sox_effects_chain_t* chain = sox_create_effects_chain(&encoding, &encoding);
  if (!chain) AfxThrowMemoryException();
  bool ok = AddSoxEffect(chain, &signal, sox_create_effect(GetInputEffectHandler()), nullptr);
  if (ok && m_bDownMix) {
    ok = AddSoxEffect(chain, &signal, sox_create_effect(sox_find_effect("channels")), "1");
  }
  if (ok && m_bResample) {
    char rate[16];
    snprintf(rate, sizeof(rate), "%d", static_cast<int>(m_dResampleRatio * 44100));
    ok = AddSoxEffect(chain, &signal, sox_create_effect(sox_find_effect("rate")), rate);
  }
  ok = ok && AddSoxEffect(chain, &signal, sox_create_effect(GetOutputEffectHandler()), nullptr);
  const bool flowed = ok && sox_flow_effects(chain, nullptr, nullptr) == SOX_SUCCESS;
  sox_delete_effects_chain(chain);
  if (!ok) AfxThrowNotSupportedException();
  // Everything the chain will ever produce is in ring B now (the rate filter included).
  if (flowed && Running(this)) m_bSourceEnded.store(TRUE, std::memory_order_release);
}

UINT __cdecl RipConverterThreadProc(LPVOID pParam) {
  auto* job = static_cast<CRippingProgress*>(pParam);
  try {
    job->ConvertSamples();
  } catch (CException* e) {
    e->Delete();
    Stop(job);
    job->PostLog(L"An error occurred while processing audio data", 1);
  } catch (...) {
    Stop(job);
    job->PostLog(L"An error occurred while processing audio data", 1);
  }
  return 0;
}

// ---- encoder ----------------------------------------------------------------------------

void CRippingProgress::EncodeAllTracks() {
  const bool com = OutputFormat == 3 && SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  try {
    Sleep(kStartDelayMs);
    m_dwJobStartTime.store(GetTickCount());
    m_nCurrentTrack.store(0);
    const INT_PTR count = m_jobList.GetSize();
    while (Running(this) && m_nCurrentTrack.load() < count) {
      // A pause, and the cancel question, hold the job between tracks as well.
      while (m_bPaused.load(std::memory_order_acquire) && Running(this)) Sleep(kPausedPollMs);
      if (!Running(this)) break;
      CString* caption =
          new CString(FormatText(L"%d/%d", m_nCurrentTrack.load() + 1, static_cast<int>(count)));
      if (!::PostMessageW(m_hWnd, WM_RIP_STATUS, 2, reinterpret_cast<LPARAM>(caption))) {
        delete caption;
      }
      RipTrack(BuildOutputFolder());
      // After a read failure the failing track's file holds what was read: the job ends
      // with it, and the log says which file that is.
      const int failed = m_nReadFailedTrack.load(std::memory_order_acquire);
      if (failed >= 0 && m_nCurrentTrack.load() >= failed && Running(this)) {
        Stop(this);
        PostLog(FormatText(L"Read error at sector %d: \"%s\" holds what was read before it",
                           m_nReadFailedSector, m_strLastOutputPath.GetString()),
                2);
        break;
      }
      m_nCurrentTrack.store(static_cast<unsigned short>(m_nCurrentTrack.load() + 1));
    }
  } catch (CFileException* e) {
    // A failed write (a full disk, for one) is reported once with the system's words.
    TCHAR message[1024] = {};
    e->GetErrorMessage(message, 1024);
    CString reason(message);
    reason.Trim();  // the system's texts end with a line break
    const CString file = e->m_strFileName;
    e->Delete();
    Stop(this);
    PostLog(file.IsEmpty()
                ? FormatText(L"File Error: %s", reason.GetString())
                : FormatText(L"File Error: %s (%s)", reason.GetString(), file.GetString()),
            2);
    PostLog(L"An error occurred while encoding", 1);
  } catch (CException* e) {
    e->Delete();
    Stop(this);
    PostLog(L"An error occurred while encoding", 1);
  } catch (...) {
    Stop(this);
    PostLog(L"An error occurred while encoding", 1);
  }
  if (com) CoUninitialize();
  if (Running(this) && !::PostMessageW(m_hWnd, WM_RIP_FINISHED, 0, 0)) Stop(this);
}

UINT __cdecl RipEncoderThreadProc(LPVOID pParam) {
  auto* job = static_cast<CRippingProgress*>(pParam);
  try {
    job->EncodeAllTracks();
  } catch (...) {
    Stop(job);
  }
  return 0;
}
