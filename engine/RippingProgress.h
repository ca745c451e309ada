// The rip job: a modal progress window that owns three worker threads. The reader copies
// the job's sectors into ring A, the converter (only when down-mixing or resampling) runs
// ring A through a libsox chain into ring B, and the encoder writes one file per job track
// from its source ring. The workers report by the WM_RIP_* messages below; only the window's
// handlers touch controls.
#pragma once

#include <windows.h>

#include <shobjidl.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>

#include "BladeMP3EncDLL.h"
#include "engine/RingBuffer.h"
#include "engine/SectorBlock.h"
#include "framework/core/Collections.h"
#include "framework/core/Thread.h"
#include "framework/win/Controls.h"
#include "resources/resource.h"
#include "uikit/ResizeDlg.h"
#include "uikit/WindowPlacement.h"

// Worker-to-window messages of a rip job. Every payload is allocated by the sender with new
// and freed by the handler; a sender whose post or send fails frees it itself (see
// PostRipLog and friends in the .cpp).
constexpr UINT WM_RIP_PROGRESS = WM_USER + 100;  // wParam float* track %, lParam float* job %
constexpr UINT WM_RIP_LOG = WM_USER + 101;       // wParam CString* text, lParam level 0..2
constexpr UINT WM_RIP_STATUS = WM_USER + 102;  // wParam 0 status line / 2 caption, lParam CString*
constexpr UINT WM_RIP_FINISHED = WM_USER + 105;  // sent once after a complete run
// Or'ed into WM_RIP_LOG's level by a worker that posts the line after the job's running
// flag was cleared: a failure clears the flag first, so its line carries this, while a
// line of the running job that is handled only after the stop does not.
constexpr LPARAM kRipLogAfterStop = 0x100;

// The record for lame_enc.dll from the MP3 settings (LameFreq, LameChannel, LameBits) and
// the fixed quality: what every MP3 rip, and the bare-encoder benchmark, encodes with.
BE_CONFIG LameConfigFromSettings();

// lame_enc.dll's lame_close, which frees a stream (the library's stream handle is its
// encoder record).
typedef int (*LAMECLOSE)(HBE_STREAM);

// What the encoder library makes of a configuration record: the sample rate and bitrate
// of the frames it writes, or the error that beInitStream gave (0 when it made frames).
struct LameOutput {
  BE_ERR error = BE_ERR_SUCCESSFUL;
  DWORD rate = 0;
  DWORD kbps = 0;
};

// One job track, in job order.
struct TrackData {
  short nTrack;                // row in the track list, 0-based (table-of-contents entry)
  int32_t nFirstSector;        // logical block address of the track's start
  int32_t nSectors;            // length in sectors
  int32_t nCumulativeSectors;  // this record's sectors plus all records' before it
};

using RipRing = RingBuffer<short, 1>;

class CRippingProgress : public CResizeDlg {
 public:
  explicit CRippingProgress(CWnd* pParent = nullptr);
  ~CRippingProgress() override;

  // How long stopping the job waits, in all, for its threads to end after the running
  // flag is cleared. The workers poll the flag at least every 100 ms; only a thread held
  // in a drive or encoder call takes longer, and it is terminated when this has passed.
  static constexpr DWORD kStopDeadlineMs = 4000;

  BOOL OnInitDialog() override;

  // Rings the job uses as A (CD data) and B (converted data); the main window owns them
  // (they are large and made once). Without a call the job makes a pair of its own.
  void SetRipRings(RipRing* ringA, RipRing* ringB);

  // Appends the job record of track-list row row, sectors long: its start from the table of
  // contents (g_toc), its cumulative count from the record before it.
  void AddTrack(short row, int32_t sectors);

  // Tells whether the disc in the drive has audio tracks (the main window's flag); the
  // reader asks it before each track. Unset: only the no-disc flag is checked.
  std::function<BOOL()> m_isAudioCD;

  // Opens the folder for the "Open Dir" button. Unset: the shell's "open".
  std::function<void(const CString& folder)> m_openFolder;

  // ---- used by the worker threads and the writers --------------------------------------

  // Reader, converter and encoder loops (thread procedures below run them).
  void ReadAllTracks();
  void ReadTrack(int32_t firstSector, int32_t sectors);
  void ConvertSamples();
  void EncodeAllTracks();

  // Per-track work on the encoder thread.
  void RipTrack(const CString& folder);
  BOOL CheckFileOpen(const CString& path, UINT openFlags);
  void WriteWavTrack(const CString& path);
  // Defined by the MP3 and OGG writers' own files.
  void WriteMp3Track(const CString& path);
  void WriteOggTrack(const CString& path);
  // After beCloseStream: with writeInfo, has the library write the Info header into the
  // closed file at path; the stream is freed either way. A file that can no longer be
  // opened for reading and writing is not handed over (the library would answer with a
  // box of its own): the job stops with a write error naming it.
  void FinishMp3Stream(HBE_STREAM stream, const CString& path, bool writeInfo);
  // Loads lame_enc.dll, its entry points and the configuration record (MP3 jobs only);
  // FALSE, after the warning and the box, when the library or an entry point is missing.
  BOOL LoadLame();
  // Encodes a moment of silence with the configuration record and reads what came out.
  LameOutput ProbeLameOutput() const;
  // DesDir plus the folder part of the file-name style (the output naming's rule).
  CString BuildOutputFolder();

  // Helpers shared by the writers.
  // jobTotal (T) and trackTotal (N): output samples of the whole job and of the current
  // track after down-mix and resampling, rounded to the nearest sample.
  void GetSampleTotals(DWORD& jobTotal, DWORD& trackTotal) const;
  // Takes up to wanted samples from the encoder source ring into dest. Returns wanted
  // when the ring holds that many; 0 when the writer should wait (Sleep(1)) and ask again.
  // Once the ring's producer has ended, returns what is left (fewer than wanted, a final
  // odd stereo sample padded with a 0 to a whole frame) and sets *pEnded when nothing more
  // will come, so a track whose rounded length the source never reaches still ends. After
  // a converter that had the whole job, the shortfall is the rate filter's rounding: the
  // take is filled up with silence to wanted instead.
  DWORD TakeSamples(short* dest, DWORD wanted, BOOL* pEnded);
  // Progress in percent of N and T; a total of 0 counts as complete.
  static float Percent(DWORD done, DWORD total);
  // Posts WM_RIP_PROGRESS (every 100 ms from the writers' loops) or sends it (the final
  // one of a track) with the current counters.
  void PostProgress(DWORD trackTotal, DWORD jobTotal);
  void SendProgress(DWORD trackTotal, DWORD jobTotal);
  // Posts one WM_RIP_LOG line (marked kRipLogAfterStop once the job has stopped).
  void PostLog(const CString& text, int level);
  // A writer's failure: stops the job and logs text at level 1.
  void FailTrack(const CString& text);
  // FailTrack for a failed write to path, with the C runtime's reason (errno) when it has one.
  void FailWrite(const CString& path);
  // Closes a writer's output file; false when the close failed, which is reported unless a
  // failure already was.
  bool CloseTrackFile(FILE* file, const CString& path, bool failureReported);

  // A writer's walk through the current track's samples (encoder thread only).
  struct RipChunks {
    RipChunks(const CRippingProgress& job, DWORD chunkSamples);
    DWORD jobTotal = 0;  // T and N, as GetSampleTotals gives them
    DWORD trackTotal = 0;
    DWORD remaining = 0;     // samples still to take, whole stereo frames
    DWORD chunk = 0;         // size of the next take
    DWORD lastProgress = 0;  // GetTickCount() of the last progress post
    DWORD taken = 0;         // the last take, counted once the writer asks for the next
    BOOL ended = FALSE;      // the source's last samples have been taken
  };
  // One step of a writer's ring loop: counts the previous take as written, waits while
  // paused, posts progress every 100 ms and takes the next chunk into dest. Returns the
  // count taken; 0 ends the loop (stopped, track complete or source ended).
  DWORD NextRipChunk(short* dest, RipChunks& walk);

  // ---- members, in the order the job uses them ----------------------------------------

  WindowPlacementStore m_placement;
  CStatic m_trackTimeLeft;        // 1252
  CStatic m_trackElapsed;         // 1251
  CProgressCtrl m_jobProgress;    // 1054
  CProgressCtrl m_trackProgress;  // 1056
  CStatic m_jobTimeLeft;          // 1250
  CStatic m_jobElapsed;           // 1249

  std::atomic<DWORD> m_dwTrackStartTime{0};  // GetTickCount() at the writer's start
  std::atomic<DWORD> m_dwJobStartTime{0};
  // Path of the file being written; after the job, the last one. The encoder writes it;
  // the window reads it only once the workers have ended (the Open Dir button).
  CString m_strLastOutputPath;

  // How the flags work: the user-interface thread sets paused and cancelled and clears
  // running; the workers poll all three and clear running on a failure. Release/acquire
  // so a worker that sees running clear also sees what the clearing side wrote before.
  std::atomic<BOOL> m_bCancelled{FALSE};
  std::atomic<BOOL> m_bRunning{FALSE};
  std::atomic<BOOL> m_bPaused{FALSE};

  BOOL m_bDownMix = FALSE;
  BOOL m_bResample = FALSE;
  double m_dResampleRatio = 1.0;                   // output rate / 44100
  std::atomic<unsigned short> m_nCurrentTrack{0};  // job index, kept by the encoder

  BEINITSTREAM m_beInitStream = nullptr;
  BEENCODECHUNK m_beEncodeChunk = nullptr;
  BEDEINITSTREAM m_beDeinitStream = nullptr;
  BECLOSESTREAM m_beCloseStream = nullptr;
  BEWRITEVBRHEADER m_beWriteVBRHeader = nullptr;
  BEWRITEINFOTAG m_beWriteInfoTag = nullptr;  // optional
  LAMECLOSE m_lameClose = nullptr;            // optional
  HMODULE m_hLameDll = nullptr;
  BE_CONFIG m_beConfig;

  CWinThread* m_pEncoderThread = nullptr;
  CWinThread* m_pConverterThread = nullptr;
  CWinThread* m_pReaderThread = nullptr;

  RipRing* m_pRingIn = nullptr;       // ring A: the reader's output
  RipRing* m_pRingOut = nullptr;      // ring B: the converter's output
  RipRing* m_pEncoderRing = nullptr;  // B with a converter, else A

  CArray<TrackData, const TrackData&> m_jobList;

  unsigned short m_nSectorsPerRead = 0;
  // Counted up by the writers (encoder thread), read by the window for the speed texts.
  std::atomic<DWORD> m_nJobSamplesDone{0};
  std::atomic<DWORD> m_nTrackSamplesDone{0};
  // Counted down by the converter's input handler; the writers read it once the converter
  // has ended (0: the whole job went through the converter).
  std::atomic<DWORD> m_nInputSamplesLeft{0};
  SectorBlockPtr m_pBlock;  // the reader's own 27-sector block
  int m_nReaderPriority = THREAD_PRIORITY_NORMAL;
  int m_nEncoderPriority = THREAD_PRIORITY_HIGHEST;
  float m_fRealTimeSampleRate = 88200.0f;  // output samples per second of audio

  // Set by the producer of the encoder source ring (converter, else reader) once it has
  // written its last sample; release, so the writer that sees it sees every sample.
  std::atomic<BOOL> m_bSourceEnded{FALSE};

  // A read that failed for good: the job index of its track (-1: none) and its first
  // sector. The reader sets the sector, then the index (release); the running flag stays
  // set, so what was read before is still encoded, and the encoder ends the job after that
  // track. A cancel still clears the running flag and stops everything at once.
  std::atomic<int> m_nReadFailedTrack{-1};
  int32_t m_nReadFailedSector = 0;
  int m_nReaderTrack = 0;  // the reader's current job index (reader thread only)

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  void OnCancel() override;
  void OnOK() override {}  // Enter does not end the job
  void OnClose();
  void OnDestroy();
  void OnPause();
  void OnViewLog();
  LRESULT OnRipProgress(WPARAM wParam, LPARAM lParam);
  LRESULT OnRipLog(WPARAM wParam, LPARAM lParam);
  LRESULT OnRipStatus(WPARAM wParam, LPARAM lParam);
  LRESULT OnRipFinished(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

 private:
  // Refuses what the job cannot write (an unknown format, MP3 settings the encoder
  // library cannot encode) with a line and a box, and warns when the library will change
  // the MP3 rate or bitrate. FALSE: the job does not start.
  BOOL CheckOutputSettings();
  void SetThreadPriorities();
  BOOL StartThreads();
  // Waits for every started thread to end, answering sent messages and repainting
  // meanwhile; a thread still running at the deadline (kStopDeadlineMs from the start of
  // the stop) is terminated and logged. Idempotent.
  void StopThreads();
  void SetTaskbarState(int state);
  void SetTaskbarValue(int completed);
  void ShowFinishedButtons();
  // Caption, status line, buttons and taskbar of a job that a failure has stopped; the
  // first call names the failure, later ones change nothing.
  void ShowStoppedOnError(const CString& text);

  std::unique_ptr<RipRing> m_ownRingA, m_ownRingB;
  BOOL m_bThreadsStopped = FALSE;
  BOOL m_bStopShown = FALSE;  // user-interface thread only
};

// The running job (null when none): the converter's libsox handlers find it here.
extern CRippingProgress* g_pRippingProgress;

// Thread procedures; the parameter is the CRippingProgress.
UINT __cdecl RipReaderThreadProc(LPVOID pParam);
UINT __cdecl RipConverterThreadProc(LPVOID pParam);
UINT __cdecl RipEncoderThreadProc(LPVOID pParam);

// The "%02d:%02d:%02d" text of whole seconds.
CString FormatRipTime(double seconds);
