// Test helpers: temporary files and a tone encoded to Ogg Vorbis.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace deps_test {

// A unique path in the temp folder; the file is deleted with the object.
class TempFile {
 public:
  explicit TempFile(const wchar_t* extension);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::wstring& path() const { return m_path; }
  const wchar_t* c_str() const { return m_path.c_str(); }
  std::string narrow() const;  // for C APIs that take char paths

 private:
  std::wstring m_path;
};

// Interleaved 16-bit stereo sine, the same in both channels.
std::vector<short> StereoTone(size_t frames, double hz, short amplitude);

// Encodes interleaved stereo 44100-Hz samples with vorbis_encode_init_vbr.
// Returns false (and leaves a partial file) when any step fails.
bool WriteOggVorbis(const std::wstring& path, const std::vector<short>& samples, float quality);

// Decodes an Ogg Vorbis file with vorbisfile: frames per channel, or -1.
long long OggFrameCount(const std::wstring& path, int* channels = nullptr, long* rate = nullptr,
                        int* peak = nullptr);

// Silent MPEG-1 Layer III frames (128 kbps, 44100 Hz, no padding): a valid header
// followed by zeroed side info and data, kSilentMpegFrameLength bytes each.
constexpr size_t kSilentMpegFrameLength = 417;
bool WriteSilentMpeg(const std::wstring& path, int frames);

std::vector<unsigned char> ReadAll(const std::wstring& path);

}  // namespace deps_test
