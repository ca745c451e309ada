// The MP3 writer: the encoder ring's samples through lame_enc.dll into a file, then LAME's
// Info header and the ID3 tags.
#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/RippingProgress.h"
#include "engine/SampleUtils.h"
#include "engine/Settings.h"
#include "engine/TagWriter.h"
#include "framework/core/File.h"

namespace {

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};

// The library opens the file again by an 8-bit name, and when that open fails it shows a
// message box from the encoder thread, which holds the job until someone answers it. A
// path the ANSI code page cannot spell is handed over by its short name, which is plain
// ASCII where the volume keeps one; without a usable name the header is left out (a
// constant-bitrate file plays the same without it). Null: no usable name.
std::unique_ptr<char[]> LibraryFileName(const CString& path) {
  std::unique_ptr<char[]> ansi(WideToAnsiAlloc(path));
  if (CString(ansi.get()) == path) return ansi;
  const DWORD length = GetShortPathNameW(path, nullptr, 0);
  if (length == 0) return nullptr;
  std::vector<wchar_t> shortPath(length);
  if (GetShortPathNameW(path, shortPath.data(), length) == 0) return nullptr;
  ansi.reset(WideToAnsiAlloc(shortPath.data()));
  if (CString(ansi.get()) != CString(shortPath.data())) return nullptr;
  return ansi;
}

// The system's text for an error code, without the line break it ends with.
CString SystemErrorText(DWORD error) {
  CFileException exception(CFileException::none, static_cast<LONG>(error));
  TCHAR message[512] = {};
  exception.GetErrorMessage(message, 512);
  CString text(message);
  text.Trim();
  return text;
}

// Whether the library's own open of the closed file for reading and writing will work
// (a folder deleted or made read-only meanwhile); GetLastError() tells why not.
bool CanReopenForInfo(const CString& path) {
  std::unique_ptr<void, FileHandleCloser> file(
      CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() != INVALID_HANDLE_VALUE) return true;
  file.release();
  return false;
}

}  // namespace

void CRippingProgress::FinishMp3Stream(HBE_STREAM stream, const CString& path, bool writeInfo) {
  // With the header asked for, beCloseStream keeps the stream for it, and writing the
  // header frees it.
  if (!m_beConfig.format.LHV1.bWriteVBRHeader) return;
  if (writeInfo && !CanReopenForInfo(path)) {
    // The library would say so in a box of its own and hold the job until it is answered.
    const DWORD error = GetLastError();
    CString text;
    text.Format(L"Output file write error: %s (%s)", path.GetString(),
                SystemErrorText(error).GetString());
    FailTrack(text);
    writeInfo = false;
  }
  if (writeInfo) {
    // The Info header goes into the first frame, which the encoder reserved for it.
    if (std::unique_ptr<char[]> name = LibraryFileName(path)) {
      if (m_beWriteInfoTag) {
        m_beWriteInfoTag(stream, name.get());
      } else {
        m_beWriteVBRHeader(name.get());
      }
      return;
    }
  }
  // Without the header the stream is only freed: the library's stream handle is its
  // encoder record, which its lame_close frees. A library without lame_close keeps it.
  if (m_lameClose) m_lameClose(stream);
}

void CRippingProgress::WriteMp3Track(const CString& path) {
  FILE* opened = nullptr;
  if (_wfopen_s(&opened, path, L"w+b") != 0 || !opened) {
    CString text;
    text.Format(L"Error creating file %s", path.GetString());
    FailTrack(text);
    return;
  }
  std::unique_ptr<FILE, FileCloser> file(opened);

  DWORD chunkSamples = 0;
  DWORD bufferSize = 0;
  HBE_STREAM stream = nullptr;
  const BE_ERR initError = m_beInitStream(&m_beConfig, &chunkSamples, &bufferSize, &stream);
  if (initError != BE_ERR_SUCCESSFUL || chunkSamples == 0 || bufferSize == 0) {
    CString text;
    text.Format(L"Error opening encoding stream (%lu)", initError);
    // Only a stream the library handed out is closed again.
    if (stream) {
      m_beCloseStream(stream);
      FinishMp3Stream(stream, path, false);
    }
    FailTrack(text);
    return;
  }
  std::vector<BYTE> output(bufferSize);
  std::vector<short> input(chunkSamples);

  RipChunks walk(*this, chunkSamples);

  // An encoder or write failure ends the loop; the stream is then still closed exactly
  // once below, but not flushed, since its output could not go anywhere.
  bool failed = false;
  auto fail = [&](const CString& text) {
    failed = true;
    FailTrack(text);
  };
  while (const DWORD taken = NextRipChunk(input.data(), walk)) {
    MaskSamples(input.data(), static_cast<int>(taken));
    DWORD produced = 0;
    const BE_ERR error = m_beEncodeChunk(stream, taken, input.data(), output.data(), &produced);
    if (error != BE_ERR_SUCCESSFUL) {
      CString text;
      text.Format(L"beEncodeChunk() failed (%lu)", error);
      fail(text);
      break;
    }
    errno = 0;
    if (fwrite(output.data(), 1, produced, file.get()) != produced) {
      failed = true;
      FailWrite(path);
      break;
    }
  }

  if (!failed) {
    DWORD produced = 0;
    const BE_ERR error = m_beDeinitStream(stream, output.data(), &produced);
    if (error != BE_ERR_SUCCESSFUL) {
      CString text;
      text.Format(L"beExitStream failed (%lu)", error);
      fail(text);
    } else if (produced != 0) {
      errno = 0;
      if (fwrite(output.data(), 1, produced, file.get()) != produced) {
        failed = true;
        FailWrite(path);
      }
    }
  }
  m_beCloseStream(stream);
  const bool closed = CloseTrackFile(file.release(), path, failed);
  if (failed || !closed) {
    // A write that did not fit may have left part of a frame, and the Info header would
    // claim frames the file does not hold: the file keeps its whole frames and no header.
    RepairFileEnd(path, [](std::vector<BYTE>& data, size_t*) {
      return WholeMp3FramesLength(data.data(), data.size());
    });
    FinishMp3Stream(stream, path, false);
  } else {
    FinishMp3Stream(stream, path, true);
  }

  if (FillTag && m_bRunning.load(std::memory_order_acquire)) {
    if (!WriteMp3Tags(path, m_jobList[m_nCurrentTrack.load()].nTrack)) {
      CString text;
      text.Format(L"Fail to write mp3 tag. (%s)", path.GetString());
      PostLog(text, 2);
    }
  }
  SendProgress(walk.trackTotal, walk.jobTotal);
}
