#include "engine/SampleUtils.h"

#include <cstring>
#include <memory>

#include "engine/Settings.h"

int SamplesToUnsigned8(const short* in, BYTE* out, int count) {
  memset(out, 0, count);
  for (int i = 0; i < count; ++i) {
    out[i] = static_cast<BYTE>((static_cast<unsigned short>(in[i]) >> 8) - 128);
  }
  return count;
}

void MaskSamples(short* samples, int count) {
  for (int i = 0; i < count; ++i) samples[i] = static_cast<short>(samples[i] & kSampleMask);
}

void Sample16ToSox32(const short* in, int32_t* out, int count) {
  memset(out, 0, count * sizeof(int32_t));
  for (int i = 0; i < count; ++i) out[i] = static_cast<int32_t>(in[i]) * 65536;
}

void Sox32ToSample16(const int32_t* in, short* out, int count) {
  memset(out, 0, count * sizeof(short));
  for (int i = 0; i < count; ++i) out[i] = static_cast<short>(in[i] >> 16);
}

void SamplesToFloat(const short* in, float* out, int count) {
  for (int i = 0; i < count; ++i) out[i] = in[i] * (1.0f / 32768.0f);
}

char* WideToAnsiAlloc(LPCWSTR text) {
  if (!text) text = L"";
  // Sized from the converter's own answer (terminator included): a fixed two bytes per
  // character is not enough for every code page.
  int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size < 1) size = 1;
  char* out = new char[size]();
  WideCharToMultiByte(CP_ACP, 0, text, -1, out, size, nullptr, nullptr);
  out[size - 1] = 0;
  return out;
}

namespace {
void Put16(BYTE* at, unsigned value) {
  at[0] = static_cast<BYTE>(value);
  at[1] = static_cast<BYTE>(value >> 8);
}
void Put32(BYTE* at, DWORD value) {
  Put16(at, value & 0xFFFF);
  Put16(at + 2, value >> 16);
}
}  // namespace

void BuildWavHeader(BYTE* header, DWORD dataSize) {
  const unsigned channels = Channel ? 2 : 1;
  const unsigned bytesPerSample = SubFormat == 0 ? 1 : 2;
  const DWORD rate = SampleRateOrDefault(Freq);
  memcpy(header, "RIFF", 4);
  Put32(header + 4, dataSize + 36);
  memcpy(header + 8, "WAVEfmt ", 8);
  Put32(header + 16, 16);
  Put16(header + 20, 1);  // PCM
  Put16(header + 22, channels);
  Put32(header + 24, rate);
  Put32(header + 28, rate * channels * bytesPerSample);
  Put16(header + 32, channels * bytesPerSample);
  Put16(header + 34, bytesPerSample * 8);
  memcpy(header + 36, "data", 4);
  Put32(header + 40, dataSize);
}

bool ReadMp3FrameHeader(const BYTE* h, Mp3FrameHeader* frame) {
  // Indexed by the header's version bits (MPEG-2.5, reserved, MPEG-2, MPEG-1), then by its
  // rate and bitrate indexes.
  static const DWORD kRates[4][3] = {
      {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
  static const WORD kKbpsMpeg1[15] = {0,   32,  40,  48,  56,  64,  80, 96,
                                      112, 128, 160, 192, 224, 256, 320};
  static const WORD kKbpsMpeg2[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || ((h[1] >> 1) & 3) != 1) return false;
  const int version = (h[1] >> 3) & 3;
  const int bitrateIndex = h[2] >> 4;
  const int rateIndex = (h[2] >> 2) & 3;
  if (version == 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  const bool mpeg1 = version == 3;
  frame->rate = kRates[version][rateIndex];
  frame->kbps = (mpeg1 ? kKbpsMpeg1 : kKbpsMpeg2)[bitrateIndex];
  // 1152 samples a frame in MPEG-1, 576 in the others.
  frame->bytes = (mpeg1 ? 144000 : 72000) * frame->kbps / frame->rate + ((h[2] >> 1) & 1);
  return true;
}

size_t WholeMp3FramesLength(const BYTE* data, size_t size) {
  size_t at = 0;
  Mp3FrameHeader frame;
  while (size - at >= 4 && ReadMp3FrameHeader(data + at, &frame) && size - at >= frame.bytes) {
    at += frame.bytes;
  }
  return at;
}

bool CutFileAfter(HANDLE file, ULONGLONG keep) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return false;
  if (keep >= static_cast<ULONGLONG>(size.QuadPart)) return true;
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(keep);
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

bool RepairFileEnd(
    LPCWSTR path,
    const std::function<size_t(std::vector<BYTE>& data, size_t* changedFrom)>& repair) {
  std::unique_ptr<void, FileHandleCloser> file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0,
                                                           nullptr, OPEN_EXISTING,
                                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) return false;
  std::vector<BYTE> data(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!data.empty() &&
      (!ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr) ||
       read != data.size())) {
    return false;
  }
  size_t changedFrom = data.size();
  size_t keep = repair(data, &changedFrom);
  if (keep > data.size()) keep = data.size();
  // Cut first: on a full disk that frees the room the changed bytes may need.
  if (!CutFileAfter(file.get(), keep)) return false;
  if (changedFrom >= keep) return true;
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(changedFrom);
  DWORD written = 0;
  const DWORD count = static_cast<DWORD>(keep - changedFrom);
  return SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) &&
         WriteFile(file.get(), data.data() + changedFrom, count, &written, nullptr) &&
         written == count;
}
