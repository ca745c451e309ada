// One job track on the encoder thread: the output path, its folder, the unique name, the
// destination line, the playlist line and the writer of the chosen format; and the
// helpers the writers share (sample totals, taking samples, the ring loop step, progress
// and log messages).
#include <windows.h>

#include <shlwapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/OutputNaming.h"
#include "engine/RippingProgress.h"
#include "engine/SampleUtils.h"
#include "engine/Settings.h"
#include "framework/core/File.h"

namespace {

constexpr UINT kTrialOpenOutput =
    CFile::typeBinary | CFile::modeCreate | CFile::shareExclusive | CFile::modeWrite;  // 0x9011
constexpr UINT kTrialOpenPlaylist =
    CFile::modeCreate | CFile::modeNoTruncate | CFile::shareExclusive | CFile::modeWrite;  // 0x3011

constexpr DWORD kProgressIntervalMs = 100;

CString FolderOf(const CString& path) {
  const int cut = path.ReverseFind(L'\\');
  return cut < 0 ? CString() : path.Left(cut);
}

// A playlist's bytes; empty when it cannot be read (playlists are small).
std::string ReadSmallFile(const CString& path) {
  std::unique_ptr<void, FileHandleCloser> file(CreateFileW(
      path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return {};
  }
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > (16 << 20)) return {};
  std::string data(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!data.empty() &&
      !ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr)) {
    return {};
  }
  data.resize(read);
  return data;
}

// Takes a cancelled track's line out again: the playlist goes back to what it held before
// the line was added, unless something else has changed it since.
void RestorePlaylist(const CString& path, const std::string& before, const std::string& after) {
  if (before == after || ReadSmallFile(path) != after) return;
  std::unique_ptr<void, FileHandleCloser> file(
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return;
  }
  // Usually the line was only appended, and a cut needs no room on the volume.
  if (after.compare(0, before.size(), before) != 0) {
    DWORD written = 0;
    if (!WriteFile(file.get(), before.data(), static_cast<DWORD>(before.size()), &written,
                   nullptr) ||
        written != before.size()) {
      return;
    }
  }
  CutFileAfter(file.get(), before.size());
}

}  // namespace

void CRippingProgress::RipTrack(const CString& folder) {
  m_nTrackSamplesDone.store(0);
  const unsigned short current = m_nCurrentTrack.load();
  if (current >= m_jobList.GetSize()) AfxThrowInvalidArgException();
  // The same rule as the track list's Destination column; a track it cannot name
  // throws, and the encoder loop reports it.
  const CString path = BuildOutputPath(folder, m_jobList[current].nTrack);
  const CString outputFolder = FolderOf(path);
  if (!PathFileExistsW(outputFolder) && !CreateDirectoryPath(outputFolder)) {
    CString text;
    text.Format(L"Fail to create folder %s !", outputFolder.GetString());
    m_bRunning.store(FALSE, std::memory_order_release);
    PostLog(text, 2);
    return;
  }
  m_strLastOutputPath = PathFileExistsW(path) ? MakeUniqueFileName(path) : path;

  CString text;
  text.Format(L"Rip track(s) to \"%s\"", m_strLastOutputPath.GetString());
  PostLog(text, 0);
  // The paused flag stays as the user (or the cancel question) left it: a pause holds
  // across tracks.
  m_bCancelled.store(FALSE, std::memory_order_release);

  // Sent: the window shows the destination before the file is written.
  auto* status = new CString;
  status->Format(L"Destination:     %s", m_strLastOutputPath.GetString());
  if (!::SendMessageW(m_hWnd, WM_RIP_STATUS, 0, reinterpret_cast<LPARAM>(status))) {
    delete status;
  }

  CString playlist;
  if (M3U) {
    playlist = BuildPlaylistPath(m_strLastOutputPath);
    if (!CheckFileOpen(playlist, kTrialOpenPlaylist)) return;
  }

  m_dwTrackStartTime.store(GetTickCount());
  if (!CheckFileOpen(m_strLastOutputPath, kTrialOpenOutput)) return;

  // Listed only once the file exists. Opened for its own binary writes: no C-runtime
  // locale switch, which would change every other thread's conversions too. A playlist
  // that opened on trial but not here gets no line; the track is still written.
  std::string listedBefore, listedAfter;
  if (M3U) {
    listedBefore = ReadSmallFile(playlist);
    AppendPlaylistLine(playlist,
                       m_strLastOutputPath.Mid(m_strLastOutputPath.ReverseFind(L'\\') + 1));
    listedAfter = ReadSmallFile(playlist);
  }

  switch (OutputFormat) {
    case 1:
      WriteWavTrack(m_strLastOutputPath);
      break;
    case 2:
      WriteMp3Track(m_strLastOutputPath);
      break;
    case 3:
      WriteOggTrack(m_strLastOutputPath);
      break;
    default:
      break;
  }

  DWORD jobTotal = 0, trackTotal = 0;
  GetSampleTotals(jobTotal, trackTotal);
  if (m_bCancelled.load(std::memory_order_acquire) && m_nTrackSamplesDone.load() < trackTotal) {
    text.Format(L"Cancelled: \"%s\" holds only part of the track", m_strLastOutputPath.GetString());
    PostLog(text, 1);
    if (M3U) RestorePlaylist(playlist, listedBefore, listedAfter);
  }
}

BOOL CRippingProgress::CheckFileOpen(const CString& path, UINT openFlags) {
  CFile file;
  CFileException error;
  if (file.Open(path, openFlags, &error)) {
    file.Close();
    return TRUE;
  }
  TCHAR message[1024] = {};
  error.GetErrorMessage(message, 1024);
  CString reason(message);
  reason.Trim();  // the system's texts end with a line break
  CString text;
  text.Format(L"File Error: %s (%s)", reason.GetString(), path.GetString());
  m_bRunning.store(FALSE, std::memory_order_release);
  PostLog(text, 2);
  return FALSE;
}

// ---- shared by the writers ------------------------------------------------------------

void CRippingProgress::GetSampleTotals(DWORD& jobTotal, DWORD& trackTotal) const {
  const double d = m_bDownMix ? 2.0 : 1.0;
  const double perSector = kCDSectorSamples * m_dResampleRatio / d;
  jobTotal = trackTotal = 0;
  if (m_jobList.IsEmpty()) return;
  jobTotal =
      static_cast<DWORD>(m_jobList[m_jobList.GetUpperBound()].nCumulativeSectors * perSector + 0.5);
  const unsigned short current = m_nCurrentTrack.load();
  if (current < m_jobList.GetSize()) {
    trackTotal = static_cast<DWORD>(m_jobList[current].nSectors * perSector + 0.5);
  }
}

DWORD CRippingProgress::TakeSamples(short* dest, DWORD wanted, BOOL* pEnded) {
  *pEnded = FALSE;
  RipRing* ring = m_pEncoderRing;
  if (wanted == 0) return 0;
  if (ring->ReadableCount() >= wanted) return ring->Read(dest, wanted);
  if (!m_bSourceEnded.load(std::memory_order_acquire)) return 0;
  // The producer has ended, so what the ring holds now is all there will be.
  const DWORD left = ring->ReadableCount();
  if (left >= wanted) return ring->Read(dest, wanted);
  if (m_pEncoderRing == m_pRingOut && m_nInputSamplesLeft.load() == 0) {
    // The whole job went through the converter, whose rate filter rounds the job's length
    // once, not every track's: the last track may lack a few samples of its own rounded
    // length, and gets them as silence.
    const DWORD taken = ring->Read(dest, left);
    std::fill(dest + taken, dest + wanted, short{0});
    return wanted;
  }
  *pEnded = TRUE;
  if (left == 0) return 0;
  DWORD taken = ring->Read(dest, left);
  if (!m_bDownMix && (taken & 1)) dest[taken++] = 0;  // a whole final frame
  return taken;
}

CRippingProgress::RipChunks::RipChunks(const CRippingProgress& job, DWORD chunkSamples) {
  job.GetSampleTotals(jobTotal, trackTotal);
  remaining = trackTotal;
  if (!job.m_bDownMix && (trackTotal & 1)) remaining = trackTotal + 1;  // whole stereo frames
  chunk = remaining < chunkSamples ? remaining : chunkSamples;
  lastProgress = GetTickCount();
}

// A writer that fails on a chunk leaves the loop without asking again, so that chunk is
// never counted.
DWORD CRippingProgress::NextRipChunk(short* dest, RipChunks& walk) {
  if (const DWORD written = walk.taken) {
    walk.taken = 0;
    m_nTrackSamplesDone.fetch_add(written);
    m_nJobSamplesDone.fetch_add(written);
    if (walk.ended) return 0;  // the source's last samples: the track ends here
    walk.remaining -= written;
    if (walk.chunk > walk.remaining) walk.chunk = walk.remaining;
  }
  while (m_bRunning.load(std::memory_order_acquire) && walk.remaining > 0) {
    if (m_bPaused.load(std::memory_order_acquire)) {
      Sleep(100);
      continue;
    }
    if (GetTickCount() - walk.lastProgress > kProgressIntervalMs) {
      walk.lastProgress = GetTickCount();
      PostProgress(walk.trackTotal, walk.jobTotal);
    }
    walk.taken = TakeSamples(dest, walk.chunk, &walk.ended);
    if (walk.taken != 0 || walk.ended) return walk.taken;
    Sleep(1);
  }
  return 0;
}

void CRippingProgress::FailTrack(const CString& text) {
  m_bRunning.store(FALSE, std::memory_order_release);
  PostLog(text, 1);
}

void CRippingProgress::FailWrite(const CString& path) {
  const int error = errno;  // first, before anything else can change it
  CString text;
  text.Format(L"Output file write error: %s", path.GetString());
  if (error != 0) {
    CString reason(_wcserror(error));
    text.AppendFormat(L" (%s)", reason.GetString());
  }
  FailTrack(text);
}

bool CRippingProgress::CloseTrackFile(FILE* file, const CString& path, bool failureReported) {
  // The last buffered bytes reach the disk only here: a full disk shows up now.
  errno = 0;
  if (fclose(file) == 0) return true;
  if (!failureReported) FailWrite(path);
  return false;
}

float CRippingProgress::Percent(DWORD done, DWORD total) {
  if (total == 0) return 100.0f;
  const double percent = done * 100.0 / total;
  return static_cast<float>(percent > 100.0 ? 100.0 : percent);
}

void CRippingProgress::PostProgress(DWORD trackTotal, DWORD jobTotal) {
  auto* track = new float(Percent(m_nTrackSamplesDone.load(), trackTotal));
  auto* job = new float(Percent(m_nJobSamplesDone.load(), jobTotal));
  if (!::PostMessageW(m_hWnd, WM_RIP_PROGRESS, reinterpret_cast<WPARAM>(track),
                      reinterpret_cast<LPARAM>(job))) {
    delete track;
    delete job;
  }
}

void CRippingProgress::SendProgress(DWORD trackTotal, DWORD jobTotal) {
  auto* track = new float(Percent(m_nTrackSamplesDone.load(), trackTotal));
  auto* job = new float(Percent(m_nJobSamplesDone.load(), jobTotal));
  // The handler frees both and answers 1; no answer means it never ran.
  if (!::SendMessageW(m_hWnd, WM_RIP_PROGRESS, reinterpret_cast<WPARAM>(track),
                      reinterpret_cast<LPARAM>(job))) {
    delete track;
    delete job;
  }
}

void CRippingProgress::PostLog(const CString& text, int level) {
  auto* line = new CString(text);
  const LPARAM stopped = m_bRunning.load(std::memory_order_acquire) ? 0 : kRipLogAfterStop;
  if (!::PostMessageW(m_hWnd, WM_RIP_LOG, reinterpret_cast<WPARAM>(line), level | stopped)) {
    delete line;
  }
}
