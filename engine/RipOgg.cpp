// The OGG Vorbis writer: the encoder ring's stereo 44100-Hz samples through libvorbis
// (quality mode) into Ogg pages, then the Vorbis comments.
#include <vorbis/vorbisenc.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "engine/RippingProgress.h"
#include "engine/SampleUtils.h"
#include "engine/Settings.h"
#include "engine/TagWriter.h"

namespace {

constexpr DWORD kChunkSamples = 2048;  // 1024 stereo frames
constexpr long kRate = 44100;

// For a file whose writing failed: keeps the whole pages it starts with and marks the last
// of them as the end of the stream (with its checksum renewed), so the file ends the way a
// stopped track's does. Returns the bytes to keep.
size_t EndAtLastWholePage(std::vector<BYTE>& data, size_t* changedFrom) {
  constexpr size_t kHeader = 27;  // a page header without its segment table
  size_t at = 0, last = 0, lastEnd = 0;
  while (data.size() - at >= kHeader && memcmp(&data[at], "OggS", 4) == 0) {
    const size_t segments = data[at + 26];
    if (data.size() - at < kHeader + segments) break;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += data[at + kHeader + i];
    const size_t length = kHeader + segments + body;
    if (data.size() - at < length) break;
    last = at;
    lastEnd = at + length;
    at = lastEnd;
  }
  if (lastEnd == 0) return 0;
  BYTE& flags = data[last + 5];
  if (!(flags & 0x04)) {
    flags |= 0x04;
    ogg_page page;
    page.header = &data[last];
    page.header_len = static_cast<long>(kHeader + data[last + 26]);
    page.body = &data[last] + page.header_len;
    page.body_len = static_cast<long>(lastEnd - last - page.header_len);
    ogg_page_checksum_set(&page);
    *changedFrom = last;
  }
  return lastEnd;
}

}  // namespace

void CRippingProgress::WriteOggTrack(const CString& path) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, 2, kRate, QualityCompression / 10.0f) != 0) {
    vorbis_info_clear(&info);
    FailTrack(L"Invalid Ogg Vorbis format.");
    return;
  }
  // The trial open has just created the file, so this rarely fails; when it does (the file
  // taken meanwhile), the track ends the way an MP3 track does.
  FILE* file = _wfopen(path, L"w+b");
  if (!file) {
    vorbis_info_clear(&info);
    CString text;
    text.Format(L"Error creating file %s", path.GetString());
    FailTrack(text);
    return;
  }

  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_comment comment;
  vorbis_comment_init(&comment);  // no user comments: the tags come afterwards
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  // Seeded per file with the time in seconds, so files started in the same second share
  // a serial number; each file is a stream of its own, so that does no harm.
  srand(static_cast<unsigned>(_time64(nullptr)));
  ogg_stream_state stream;
  ogg_stream_init(&stream, rand());

  // A failed page write ends the track with a report instead of leaving a truncated file
  // that looks complete; the stream is still finished and cleared below, and the file cut
  // back to its whole pages.
  bool writeFailed = false;
  auto writePage = [&](const ogg_page& page) {
    if (writeFailed) return;
    errno = 0;
    if (fwrite(page.header, 1, page.header_len, file) != static_cast<size_t>(page.header_len) ||
        fwrite(page.body, 1, page.body_len, file) != static_cast<size_t>(page.body_len)) {
      writeFailed = true;
      FailWrite(path);
    }
  };

  ogg_packet identification, comments, codebooks;
  vorbis_analysis_headerout(&dsp, &comment, &identification, &comments, &codebooks);
  ogg_stream_packetin(&stream, &identification);
  ogg_stream_packetin(&stream, &comments);
  ogg_stream_packetin(&stream, &codebooks);
  ogg_page page;
  // The audio starts on a page of its own.
  while (ogg_stream_flush(&stream, &page) != 0) writePage(page);

  bool endOfStream = false;
  auto drain = [&] {
    ogg_packet packet;
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (!endOfStream && ogg_stream_pageout(&stream, &page) != 0) {
          writePage(page);
          endOfStream = ogg_page_eos(&page) != 0;
        }
      }
    }
  };

  std::vector<short> samples(kChunkSamples);
  std::vector<float> floats(kChunkSamples);
  RipChunks walk(*this, kChunkSamples);

  while (const DWORD taken = NextRipChunk(samples.data(), walk)) {
    MaskSamples(samples.data(), static_cast<int>(taken));
    SamplesToFloat(samples.data(), floats.data(), static_cast<int>(taken));
    const int frames = static_cast<int>(taken / 2);
    float** buffer = vorbis_analysis_buffer(&dsp, frames);
    for (int i = 0; i < frames; ++i) {
      buffer[0][i] = floats[2 * i];
      buffer[1][i] = floats[2 * i + 1];
    }
    vorbis_analysis_wrote(&dsp, frames);
    drain();
  }

  // End of input: the last packets and the end-of-stream page, also for a stopped track.
  vorbis_analysis_wrote(&dsp, 0);
  drain();

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  if (!CloseTrackFile(file, path, writeFailed) || writeFailed)
    RepairFileEnd(path, EndAtLastWholePage);

  if (FillTag && m_bRunning.load(std::memory_order_acquire)) {
    if (!WriteOggTags(path, m_jobList[m_nCurrentTrack.load()].nTrack)) {
      CString text;
      text.Format(L"Fail to write ogg vorbis tag! (%s)", path.GetString());
      PostLog(text, 2);
    }
  }
  SendProgress(walk.trackTotal, walk.jobTotal);
}
