// Small sample and header helpers shared by the converter and the writers.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr int kWavHeaderSize = 44;

// out[i] = high byte of in[i] - 128 (unsigned 8-bit PCM). Returns count.
int SamplesToUnsigned8(const short* in, BYTE* out, int count);
// In place: clears the low 4 bits of every sample (the sample mask).
void MaskSamples(short* samples, int count);
// out[i] = in[i] in the upper 16 bits, lower half 0.
void Sample16ToSox32(const short* in, int32_t* out, int count);
// out[i] = upper 16 bits of in[i].
void Sox32ToSample16(const int32_t* in, short* out, int count);
// out[i] = in[i] / 32768.
void SamplesToFloat(const short* in, float* out, int count);
// A zero-terminated copy in the ANSI code page; the caller frees it with delete[].
char* WideToAnsiAlloc(LPCWSTR text);
// The 44-byte PCM WAV header for dataSize bytes of samples, in the format the WAV
// settings (Channel, Freq, SubFormat) give.
void BuildWavHeader(BYTE* header, DWORD dataSize);
