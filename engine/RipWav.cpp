// The WAV writer: a 44-byte PCM header, then the encoder ring's samples as they are
// (16-bit) or narrowed to unsigned 8-bit; the header is rewritten with the real size.
#include <vector>

#include "engine/RippingProgress.h"
#include "engine/SampleUtils.h"
#include "engine/Settings.h"
#include "framework/core/File.h"

namespace {

constexpr DWORD kChunkSamples = 2048;

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
    // Part of a frame that did not fit goes: the file is then exactly what its header says.
    // After the header, so that a volume refusing even this leaves the header right.
    if (!CutFileAfter(file, kWavHeaderSize + data)) {
      file.Abort();
      return;
    }
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

  RipChunks walk(*this, kChunkSamples);

  try {
    file.Write(header, kWavHeaderSize);
    while (const DWORD taken = NextRipChunk(samples.data(), walk)) {
      if (eightBit) {
        SamplesToUnsigned8(samples.data(), narrow.data(), static_cast<int>(taken));
        file.Write(narrow.data(), taken);
      } else {
        file.Write(samples.data(), taken * 2);
      }
    }
    BuildWavHeader(header, m_nTrackSamplesDone.load() * bytesPerSample);
    file.SeekToBegin();
    file.Write(header, kWavHeaderSize);
    file.Close();
  } catch (CFileException*) {
    RepairHeader(file, channels * bytesPerSample);
    throw;
  }
  SendProgress(walk.trackTotal, walk.jobTotal);
}
