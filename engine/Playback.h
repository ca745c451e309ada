// CD playback: an output thread that feeds a PortAudio blocking stream in 0.1 s blocks
// and a reader thread that keeps the playback ring filled from the drive, moving on to
// the next checked track at the end of each one.
//
// The main window derives from CPlayback and supplies the track list through the hooks
// below; tests supply a fake one. PortAudio must be initialised by the owner.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "engine/RingBuffer.h"
#include "framework/core/String.h"
#include "framework/core/Thread.h"

// Posted to PlayerWindow(); the receiver frees the CString payload.
//   WM_PLAYER_TEXT  wParam new CString*, lParam 1: log line (warning)
//                   wParam new CString*, lParam 3: the current row's status text
//                   wParam 0,            lParam 4: clear the status column
//   WM_PLAYER_TIME  lParam: seconds played in the current track
constexpr UINT WM_PLAYER_TEXT = WM_USER + 102;
constexpr UINT WM_PLAYER_TIME = WM_USER + 103;

enum PlayerTextKind : LPARAM {
  kPlayerLogWarning = 1,
  kPlayerRowStatus = 3,
  kPlayerClearStatus = 4,
};

enum class PlayerSkip { Previous, Next, First, Last };

class CPlayback {
 public:
  static constexpr uint32_t kRingSamples = 0xFFFF;
  static constexpr uint32_t kBlockSamples = 8820;  // 4410 stereo frames, 0.1 s
  static constexpr uint32_t kReadSectors = 8;      // sectors per read
  static constexpr uint32_t kRoomSectors = 9;      // the reader reads only with this room

  CPlayback();
  // The derived class must call StopPlayback in its own destructor: the threads call
  // its hooks.
  virtual ~CPlayback();
  CPlayback(const CPlayback&) = delete;
  CPlayback& operator=(const CPlayback&) = delete;

  // ---- Hooks (the reader thread calls the first three) ----
  // TRUE when a checked row follows (precedes) row; without testOnly the found row also
  // becomes m_nCurrentTrack and is selected. Row -1 / the row count search the whole list.
  virtual BOOL FindNextCheckedTrack(int row, BOOL testOnly) = 0;
  virtual BOOL FindPreviousCheckedTrack(int row, BOOL testOnly) = 0;
  // The row's item data: its length in sectors, bit 31 set for a data track.
  virtual DWORD GetTrackItemData(int row) = 0;
  virtual int GetTrackCount() = 0;
  // Where status and time messages go; null drops them.
  virtual HWND GetPlayerWindow() = 0;

  // ---- Commands (user-interface thread) ----
  // Sets m_bPlaying, clears m_bSeeking and m_bPaused, sets the read position to the
  // start of m_nCurrentTrack and starts the output thread, which posts the row status
  // "Playing" once its output stream runs. FALSE (nothing running) when the thread
  // cannot be started or a playback is still running.
  BOOL StartPlayback();
  // Clears the flags and waits until both threads have ended. Sent messages are
  // handled while waiting: the reader asks the track list, which belongs to this thread.
  void StopPlayback();
  // Toggles m_bPaused and posts "Playing" or "Paused"; only while playing.
  void PauseResume();
  // Moves to the target row of the command; FALSE when refused (nothing changed).
  BOOL SkipTrack(PlayerSkip skip);
  // Moves the read position to pos / 1000 of the current track (0 < pos < 1000) and
  // returns the seconds there. Ignored (FALSE) while another seek runs; on a failure
  // posts "Error during seeking the track!", stops playback and returns FALSE.
  BOOL Seek(int pos, int& seconds);
  // Empties the playback ring before the reader's next read.
  void ResetPlaybackRing();
  // Under the lock: restarts the read position at the start of row (Play Current).
  void RestartAtTrack(int row);
  // Volume in percent for the following blocks (also stored in the Volume setting).
  void SetVolume(int percent);

  // Thread procedures; pParam is the CPlayback. They return 0.
  static UINT PlaybackOutputThreadProc(LPVOID pParam);
  static UINT PlaybackReaderThreadProc(LPVOID pParam);

  // Posts a status or log text to GetPlayerWindow(); text is copied into a new CString.
  void PostPlayerText(const CString& text, LPARAM kind);

  // How the state is shared: the user-interface thread sets and clears the flags; the
  // threads poll them, so they are atomic (sequentially consistent: rare writes). The
  // read position (m_nReadSector, m_nSectorsLeft), the current-track switch and ring
  // resets happen under m_playLock; the output thread takes no lock and only reads the
  // ring, the flags and m_nVolume. A ring reset is only requested (m_bResetRing, under
  // the lock): the reader does not write while it is set, and the output thread, the
  // ring's only reading side, empties the ring and clears it, so no index is ever
  // stored by two threads at once.
  std::atomic<BOOL> m_bSeeking, m_bPlaying, m_bPaused;
  std::atomic<int> m_nCurrentTrack;
  // Made and freed by the output thread; the reader uses it only while it runs.
  RingBuffer<short, 1>* m_pPlaybackRing;
  // Not auto-deleting: StopPlayback waits on their handles, which stay open until the
  // next start, the next stop or the destructor deletes them.
  CWinThread* m_pOutputThread;
  CWinThread* m_pReaderThread;  // set by the output thread
  std::atomic<int> m_nSectorsLeft;
  std::atomic<uint32_t> m_nBlocksPlayed;
  std::atomic<int> m_nReadSector;
  std::atomic<double> m_dTrackTenths;
  CCriticalSection m_playLock;

 private:
  void PlaybackOutputThread();
  void PlaybackReaderThread();
  // Sets the read position to the start of row (itemData: its item data); caller holds
  // m_playLock. The item data is asked before locking: the track list's window may
  // belong to a thread that is waiting for the lock.
  void SetPositionLocked(int row, DWORD itemData);
  // Empties the ring when a reset was requested; output thread only.
  void ApplyRingReset();
  void PostPlayerTime(int seconds);
  // Clears the flags and reports a reader failure.
  void ReaderFailed();
  // Waits for both threads and deletes their objects; user-interface thread.
  void JoinThreads();

  std::atomic<BOOL> m_bResetRing;
  std::atomic<int> m_nVolume;
};

// The first sector (LBA) of row's table-of-contents entry.
int32_t TrackFirstSector(int row);
// sectors / 7.5 + 0.5: a track's length in tenths of a second.
double TrackTenths(int sectors);
