#include "engine/Playback.h"

#include <portaudio.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "engine/CDDrive.h"
#include "engine/SectorBlock.h"
#include "engine/Settings.h"
#include "framework/core/Exceptions.h"

namespace {

constexpr DWORD kDataTrackBit = 0x80000000;

// Waits for a thread to end while answering messages sent to this thread's windows:
// a worker may be inside a SendMessage to one of them (the reader asks the track list).
void WaitAnsweringSentMessages(HANDLE thread) {
  for (;;) {
    const DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (result != WAIT_OBJECT_0 + 1) return;  // ended, or the handle is unusable
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

BOOL HasEnded(const CWinThread* thread) {
  return !thread || WaitForSingleObject(thread->m_hThread, 0) != WAIT_TIMEOUT;
}

// The blocking output stream: default device, 16-bit stereo at 44100 Hz. Null when it
// cannot be opened or started.
PaStream* OpenOutputStream() {
  PaStreamParameters output{};
  output.device = Pa_GetDefaultOutputDevice();
  if (output.device == paNoDevice) return nullptr;
  const PaDeviceInfo* info = Pa_GetDeviceInfo(output.device);
  if (!info) return nullptr;
  output.channelCount = 2;
  output.sampleFormat = paInt16;
  output.suggestedLatency = info->defaultLowInputLatency;
  output.hostApiSpecificStreamInfo = nullptr;
  PaStream* stream = nullptr;
  if (Pa_OpenStream(&stream, nullptr, &output, 44100.0, paFramesPerBufferUnspecified, paNoFlag,
                    nullptr, nullptr) != paNoError) {
    return nullptr;
  }
  if (Pa_StartStream(stream) != paNoError) {
    Pa_CloseStream(stream);
    return nullptr;
  }
  return stream;
}

}  // namespace

int32_t TrackFirstSector(int row) {
  if (row < 0 || row >= static_cast<int>(std::size(g_toc.entries))) return 0;
  DWORD address = 0;
  ReadBigEndian32(address, g_toc.entries[row].address);
  return static_cast<int32_t>(address);
}

double TrackTenths(int sectors) { return sectors / 7.5 + 0.5; }

CPlayback::CPlayback()
    : m_bSeeking(FALSE),
      m_bPlaying(FALSE),
      m_bPaused(FALSE),
      m_nCurrentTrack(0),
      m_pPlaybackRing(nullptr),
      m_pOutputThread(nullptr),
      m_pReaderThread(nullptr),
      m_nSectorsLeft(0),
      m_nBlocksPlayed(0),
      m_nReadSector(0),
      m_dTrackTenths(0.0),
      m_bResetRing(FALSE),
      m_nVolume(100) {}

CPlayback::~CPlayback() {
  m_bPlaying = FALSE;
  JoinThreads();
}

void CPlayback::JoinThreads() {
  // The output thread waits for the reader before it ends, so once it has ended
  // m_pReaderThread is final and its thread has ended too.
  if (m_pOutputThread) {
    WaitAnsweringSentMessages(m_pOutputThread->m_hThread);
    delete m_pOutputThread;
    m_pOutputThread = nullptr;
  }
  if (m_pReaderThread) {
    WaitAnsweringSentMessages(m_pReaderThread->m_hThread);
    delete m_pReaderThread;
    m_pReaderThread = nullptr;
  }
}

BOOL CPlayback::StartPlayback() {
  if (m_bPlaying) return FALSE;
  JoinThreads();  // a playback that ended by itself leaves its objects
  m_nVolume = std::clamp<int>(Volume, 0, 100);
  m_bResetRing = FALSE;
  m_bSeeking = FALSE;
  m_bPaused = FALSE;
  m_bPlaying = TRUE;
  // The start position is set here rather than by the reader, so a track command or a
  // seek right after the start is not overwritten when the reader gets going.
  {
    const int row = m_nCurrentTrack;
    const DWORD itemData = GetTrackItemData(row);
    CSingleLock lock(&m_playLock, TRUE);
    SetPositionLocked(row, itemData);
  }
  CWinThread* thread = AfxBeginThread(PlaybackOutputThreadProc, this, THREAD_PRIORITY_TIME_CRITICAL,
                                      0, CREATE_SUSPENDED);
  if (!thread) {
    m_bPlaying = FALSE;
    return FALSE;
  }
  thread->m_bAutoDelete = FALSE;
  m_pOutputThread = thread;
  thread->ResumeThread();
  return TRUE;
}

void CPlayback::StopPlayback() {
  m_bSeeking = FALSE;
  m_bPaused = FALSE;
  m_bPlaying = FALSE;
  JoinThreads();
}

void CPlayback::PauseResume() {
  if (!m_bPlaying) return;
  PostPlayerText(m_bPaused ? L"Playing" : L"Paused", kPlayerRowStatus);
  m_bPaused = !m_bPaused;
}

BOOL CPlayback::SkipTrack(PlayerSkip skip) {
  if (m_bSeeking) return FALSE;
  const int current = m_nCurrentTrack;
  const int count = GetTrackCount();
  int from = current;
  if (skip == PlayerSkip::First) {
    if (current == 0) return FALSE;
    from = -1;
  } else if (skip == PlayerSkip::Last) {
    if (current == count - 1) return FALSE;
    from = count;
  }
  const bool forward = skip == PlayerSkip::Next || skip == PlayerSkip::First;
  auto find = [&](BOOL testOnly) {
    return forward ? FindNextCheckedTrack(from, testOnly)
                   : FindPreviousCheckedTrack(from, testOnly);
  };
  if (!find(TRUE)) return FALSE;

  CSingleLock lock(&m_playLock, TRUE);
  const BOOL playing = m_bPlaying;
  if (playing) {
    m_bResetRing = TRUE;
    PostPlayerText(CString(), kPlayerClearStatus);
  }
  find(FALSE);
  if (playing) {
    PostPlayerText(m_bPaused ? L"Paused" : L"Playing", kPlayerRowStatus);
    const int row = m_nCurrentTrack;
    SetPositionLocked(row, GetTrackItemData(row));
  }
  return TRUE;
}

BOOL CPlayback::Seek(int pos, int& seconds) {
  if (m_bSeeking.exchange(TRUE)) return FALSE;
  try {
    {
      CSingleLock lock(&m_playLock, TRUE);
      const int row = m_nCurrentTrack;
      const DWORD itemData = GetTrackItemData(row);
      const int sectors = (itemData & kDataTrackBit) ? 0 : static_cast<int>(itemData);
      const int offset = static_cast<int>(sectors * pos / 1000.0 + 0.5);
      m_nReadSector = TrackFirstSector(row) + offset;
      m_nSectorsLeft = sectors - offset;
      m_nBlocksPlayed = static_cast<uint32_t>(offset / 7.5 + 0.5);
      m_bResetRing = TRUE;
    }
    seconds = static_cast<int>(pos / 10000.0 * m_dTrackTenths);
    m_bSeeking = FALSE;
    return TRUE;
  } catch (CException* e) {
    e->Delete();
  } catch (...) {
  }
  PostPlayerText(L"Error during seeking the track!", kPlayerLogWarning);
  StopPlayback();
  return FALSE;
}

void CPlayback::ResetPlaybackRing() {
  CSingleLock lock(&m_playLock, TRUE);
  m_bResetRing = TRUE;
}

void CPlayback::RestartAtTrack(int row) {
  const DWORD itemData = GetTrackItemData(row);
  CSingleLock lock(&m_playLock, TRUE);
  SetPositionLocked(row, itemData);
}

void CPlayback::SetVolume(int percent) {
  percent = std::clamp(percent, 0, 100);
  Volume = static_cast<unsigned short>(percent);
  m_nVolume = percent;
}

void CPlayback::SetPositionLocked(int row, DWORD itemData) {
  const int sectors = (itemData & kDataTrackBit) ? 0 : static_cast<int>(itemData);
  m_nBlocksPlayed = 0;
  m_nSectorsLeft = sectors;
  m_dTrackTenths = TrackTenths(sectors);
  m_nReadSector = TrackFirstSector(row);
}

void CPlayback::ApplyRingReset() {
  if (m_bResetRing) {
    m_pPlaybackRing->Reset();
    m_bResetRing = FALSE;
  }
}

void CPlayback::PostPlayerText(const CString& text, LPARAM kind) {
  const HWND window = GetPlayerWindow();
  if (kind == kPlayerClearStatus) {
    if (window) ::PostMessageW(window, WM_PLAYER_TEXT, 0, kind);
    return;
  }
  CString* payload = new (std::nothrow) CString(text);
  if (!payload) return;
  if (!window || !::PostMessageW(window, WM_PLAYER_TEXT, reinterpret_cast<WPARAM>(payload), kind)) {
    delete payload;
  }
}

void CPlayback::PostPlayerTime(int seconds) {
  if (const HWND window = GetPlayerWindow()) ::PostMessageW(window, WM_PLAYER_TIME, 0, seconds);
}

UINT CPlayback::PlaybackOutputThreadProc(LPVOID pParam) {
  static_cast<CPlayback*>(pParam)->PlaybackOutputThread();
  return 0;
}

UINT CPlayback::PlaybackReaderThreadProc(LPVOID pParam) {
  static_cast<CPlayback*>(pParam)->PlaybackReaderThread();
  return 0;
}

void CPlayback::PlaybackOutputThread() {
  PaStream* stream = nullptr;
  CWinThread* reader = nullptr;
  BOOL failed = FALSE;
  try {
    m_pPlaybackRing = new RingBuffer<short, 1>(kRingSamples);
    stream = OpenOutputStream();
    if (!stream) {
      // Without a stream there is nothing to play into: playback ends at once.
      PostPlayerText(L"Fail to open input stream.", kPlayerLogWarning);
      m_bPlaying = FALSE;
    } else {
      // The row says so only once there is an output to play into; the reader, started
      // below, posts its own texts after this one.
      PostPlayerText(m_bPaused ? L"Paused" : L"Playing", kPlayerRowStatus);
    }
    reader = AfxBeginThread(PlaybackReaderThreadProc, this, THREAD_PRIORITY_TIME_CRITICAL, 0,
                            CREATE_SUSPENDED);
    if (reader) {
      reader->m_bAutoDelete = FALSE;
      m_pReaderThread = reader;
      reader->ResumeThread();
    }

    std::vector<short> block(kBlockSamples);
    m_nBlocksPlayed = 0;
    while (m_bPlaying) {
      ApplyRingReset();
      if (m_bPaused) {
        Sleep(100);
        continue;
      }
      // Whether the reader has ended is asked before the count, so samples it wrote
      // just before ending are counted.
      const BOOL readerEnded = HasEnded(reader);
      uint32_t n = m_pPlaybackRing->ReadableCount();
      if (n >= kBlockSamples) {
        n = kBlockSamples;
      } else if (!readerEnded) {
        Sleep(25);
        continue;
      } else {
        m_bPlaying = FALSE;  // the last samples of the last track
      }
      const uint32_t blocks = ++m_nBlocksPlayed;
      m_pPlaybackRing->Read(block.data(), n);
      if (m_bPlaying && blocks % 10 == 0) PostPlayerTime(static_cast<int>(blocks / 10));
      const int volume = m_nVolume;
      if (volume != 100) {
        // Integer scaling truncates the exact product, whatever the FPU keeps.
        for (uint32_t i = 0; i < n; ++i) block[i] = static_cast<short>(block[i] * volume / 100);
      }
      if (n >= 2) Pa_WriteStream(stream, block.data(), n / 2);
    }
  } catch (CException* e) {
    e->Delete();
    failed = TRUE;
  } catch (...) {
    failed = TRUE;
  }
  if (failed) {
    m_bSeeking = FALSE;
    m_bPaused = FALSE;
    m_bPlaying = FALSE;
    PostPlayerText(L"Error", kPlayerRowStatus);
    PostPlayerText(L"An error occurred while playing.", kPlayerLogWarning);
  }

  if (stream) {
    Pa_StopStream(stream);
    Pa_CloseStream(stream);
  }
  // The reader may be inside a read: the ring goes only once it has ended.
  m_bPlaying = FALSE;
  if (reader) WaitForSingleObject(reader->m_hThread, INFINITE);
  delete m_pPlaybackRing;
  m_pPlaybackRing = nullptr;

  if (!failed) {
    PostPlayerTime(0);
    PostPlayerText(CString(), kPlayerClearStatus);
  }
  m_bSeeking = FALSE;
  m_bPaused = FALSE;
  m_bPlaying = FALSE;
}

void CPlayback::PlaybackReaderThread() {
  try {
    RingBuffer<short, 1>* ring = m_pPlaybackRing;
    while (m_bPlaying) {
      if (m_bPaused || m_bResetRing) {
        Sleep(m_bPaused ? 100 : 25);
        continue;
      }
      if (ring->WritableCount() / kCDSectorSamples < kRoomSectors) {
        Sleep(25);
        continue;
      }
      if (m_nSectorsLeft <= 0) {
        const int row = m_nCurrentTrack;
        if (!FindNextCheckedTrack(row, TRUE)) break;  // the last checked track is read
        PostPlayerText(CString(), kPlayerRowStatus);
        // The track list answers on the user-interface thread, which may be waiting for
        // the lock: it is asked outside the lock.
        if (m_nCurrentTrack == row) FindNextCheckedTrack(row, FALSE);
        const int next = m_nCurrentTrack;
        const DWORD itemData = GetTrackItemData(next);
        {
          CSingleLock lock(&m_playLock, TRUE);
          // A track command may have moved on meanwhile; its position stands.
          if (m_nSectorsLeft <= 0) SetPositionLocked(next, itemData);
        }
        PostPlayerTime(0);
        PostPlayerText(L"Playing", kPlayerRowStatus);
        continue;
      }
      CSingleLock lock(&m_playLock, TRUE);
      // A reset requested since the check above: the output thread may be emptying the
      // ring now, so nothing is written until it has.
      if (m_bResetRing) continue;
      const int count = std::min<int>(m_nSectorsLeft, kReadSectors);
      if (count <= 0) continue;
      ReadSectorsToRing(g_hCD, m_nReadSector, static_cast<uint32_t>(count), ring);
      m_nSectorsLeft -= count;
      m_nReadSector += count;
    }
  } catch (CException* e) {
    e->Delete();
    ReaderFailed();
  } catch (...) {
    ReaderFailed();
  }
}

void CPlayback::ReaderFailed() {
  m_bSeeking = FALSE;
  m_bPaused = FALSE;
  m_bPlaying = FALSE;
  PostPlayerText(L"Error", kPlayerRowStatus);
  PostPlayerText(L"An error occurred while reading audio CD.", kPlayerLogWarning);
}
