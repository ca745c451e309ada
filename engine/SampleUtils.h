// Small sample and header helpers shared by the converter and the writers.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

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

// An MPEG audio Layer III frame header (MPEG-1, 2 or 2.5).
struct Mp3FrameHeader {
  DWORD rate = 0;   // samples per second
  DWORD kbps = 0;   // bitrate in kbit/s
  DWORD bytes = 0;  // the whole frame, header included
};
// Reads the four header bytes at h; false when they are no Layer III frame header.
bool ReadMp3FrameHeader(const BYTE* h, Mp3FrameHeader* frame);
// The length of the run of whole frames that data starts with (0: none).
size_t WholeMp3FramesLength(const BYTE* data, size_t size);

// Closes a Win32 file handle; for std::unique_ptr<void, FileHandleCloser>.
struct FileHandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};

// Cuts the open file after its first keep bytes when it holds more, and only then: a full
// volume can refuse even a cut at the file's own length. False when the cut fails.
bool CutFileAfter(HANDLE file, ULONGLONG keep);

// For a file that a failed write has left: reads it whole, lets repair change its bytes and
// return how many to keep (setting *changedFrom to the first byte it changed), writes the
// changed bytes back and cuts the file after the kept ones (CutFileAfter). False when the
// file cannot be read or changed.
bool RepairFileEnd(
    LPCWSTR path,
    const std::function<size_t(std::vector<BYTE>& data, size_t* changedFrom)>& repair);
