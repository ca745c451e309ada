// The WAV writer: a 44-byte PCM header, then the encoder ring's samples as they are
// (16-bit) or narrowed to unsigned 8-bit; the header is rewritten with the real size.
#include <vector>

#include "engine/RippingProgress.h"
#include "engine/SampleUtils.h"
#include "engine/Settings.h"
#include "framework/core/File.h"

namespace {

constexpr DWORD kChunkSamples = 2048;
constexpr DWORD kProgressIntervalMs = 100;

// Rewrites the header for the whole sample frames the file holds after it; used when a
// write has failed, so the partial file stays a valid WAV of what reached the disk.
void RepairHeader(CFile& file, DWORD blockAlign) {
  try {
    const ULONGLONG length = file.GetLength();
    ULONGLONG data = length > kWavHeaderSize ? length - kWavHeaderSize : 0;
    data -= data % blockAlign;
    if (data > 0xFFFFFFFFull - 36) data = 0;
    BYTE header[kWavHeaderSize];
    BuildWavHeader(header, static_cast<DWORD>(data));
    file.SeekToBegin();
    file.Write(header, kWavHeaderSize);
    file.Close();
  } catch (CException* e) {
    e->Delete();  // the first failure is the one reported
    file.Abort();
  }
}

}  // namespace

void CRippingProgress::WriteWavTrack(const CString& path) {
  const bool eightBit = SubFormat == 0;
  const DWORD bytesPerSample = eightBit ? 1 : 2;
  const DWORD channels = Channel ? 2 : 1;
  std::vector<BYTE> narrow(eightBit ? kChunkSamples : 0);
  std::vector<short> samples(kChunkSamples);

  CFile file(path, CFile::modeCreate | CFile::modeWrite);
  BYTE header[kWavHeaderSize];
  BuildWavHeader(header, 0);

  DWORD jobTotal = 0;
  DWORD trackTotal = 0;
  GetSampleTotals(jobTotal, trackTotal);
  DWORD remaining = trackTotal;
  if (!m_bDownMix && (trackTotal & 1)) remaining = trackTotal + 1;  // whole stereo frames
  DWORD chunk = remaining < kChunkSamples ? remaining : kChunkSamples;
  DWORD lastProgress = GetTickCount();

  try {
    file.Write(header, kWavHeaderSize);
    while (m_bRunning.load(std::memory_order_acquire) && remaining > 0) {
      if (m_bPaused.load(std::memory_order_acquire)) {
        Sleep(100);
        continue;
      }
      if (GetTickCount() - lastProgress > kProgressIntervalMs) {
        lastProgress = GetTickCount();
        PostProgress(trackTotal, jobTotal);
      }
      BOOL ended = FALSE;
      const DWORD taken = TakeSamples(samples.data(), chunk, &ended);
      if (taken == 0) {
        if (ended) break;
        Sleep(1);
        continue;
      }
      if (eightBit) {
        SamplesToUnsigned8(samples.data(), narrow.data(), static_cast<int>(taken));
        file.Write(narrow.data(), taken);
      } else {
        file.Write(samples.data(), taken * 2);
      }
      m_nTrackSamplesDone.fetch_add(taken);
      m_nJobSamplesDone.fetch_add(taken);
      if (ended) break;  // the source's last samples: the track ends here
      remaining -= taken;
      if (chunk > remaining) chunk = remaining;
    }
    BuildWavHeader(header, m_nTrackSamplesDone.load() * bytesPerSample);
    file.SeekToBegin();
    file.Write(header, kWavHeaderSize);
    file.Close();
  } catch (CFileException*) {
    RepairHeader(file, channels * bytesPerSample);
    throw;
  }
  SendProgress(trackTotal, jobTotal);
}
