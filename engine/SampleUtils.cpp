#include "engine/SampleUtils.h"

#include <cstring>

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
