#include "ToneFiles.h"

#include <windows.h>

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace deps_test {

namespace {

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool WritePage(FILE* f, const ogg_page& page) {
  return fwrite(page.header, 1, page.header_len, f) == static_cast<size_t>(page.header_len) &&
         fwrite(page.body, 1, page.body_len, f) == static_cast<size_t>(page.body_len);
}

}  // namespace

TempFile::TempFile(const wchar_t* extension) {
  static LONG counter = 0;
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  wchar_t name[64];
  swprintf(name, 64, L"corvane-deps-%lu-%ld%ls", GetCurrentProcessId(),
           InterlockedIncrement(&counter), extension);
  m_path = std::wstring(dir) + name;
}

TempFile::~TempFile() { DeleteFileW(m_path.c_str()); }

std::string TempFile::narrow() const {
  int n = WideCharToMultiByte(CP_ACP, 0, m_path.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  WideCharToMultiByte(CP_ACP, 0, m_path.c_str(), -1, s.data(), n, nullptr, nullptr);
  return s;
}

std::vector<short> StereoTone(size_t frames, double hz, short amplitude) {
  std::vector<short> samples(frames * 2);
  const double step = 2 * 3.14159265358979 * hz / 44100.0;
  for (size_t i = 0; i < frames; ++i) {
    short v = static_cast<short>(std::lround(amplitude * std::sin(step * i)));
    samples[2 * i] = samples[2 * i + 1] = v;
  }
  return samples;
}

// The standard libvorbis encoding sequence, headers on their own pages.
bool WriteOggVorbis(const std::wstring& path, const std::vector<short>& samples, float quality) {
  FilePtr f(_wfopen(path.c_str(), L"wb"));
  if (!f) return false;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 2, 44100, quality) != 0) {
    vorbis_info_clear(&vi);
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 12345);

  bool ok = true;
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  ogg_page page;
  while (ogg_stream_flush(&os, &page) != 0) ok = ok && WritePage(f.get(), page);

  bool eos = false;
  auto drain = [&] {
    ogg_packet packet;
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (!eos && ogg_stream_pageout(&os, &page) != 0) {
          ok = ok && WritePage(f.get(), page);
          eos = ogg_page_eos(&page) != 0;
        }
      }
    }
  };
  const size_t frames = samples.size() / 2;
  const size_t chunk = 4096;
  for (size_t at = 0; at < frames; at += chunk) {
    const size_t n = std::min(chunk, frames - at);
    float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
    for (size_t i = 0; i < n; ++i) {
      buffer[0][i] = samples[2 * (at + i)] / 32768.0f;
      buffer[1][i] = samples[2 * (at + i) + 1] / 32768.0f;
    }
    vorbis_analysis_wrote(&vd, static_cast<int>(n));
    drain();
  }
  vorbis_analysis_wrote(&vd, 0);
  drain();

  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return ok && eos;
}

long long OggFrameCount(const std::wstring& path, int* channels, long* rate, int* peak) {
  FilePtr f(_wfopen(path.c_str(), L"rb"));
  if (!f) return -1;
  OggVorbis_File vf;
  if (ov_open_callbacks(f.get(), &vf, nullptr, 0, OV_CALLBACKS_NOCLOSE) != 0) return -1;
  vorbis_info* vi = ov_info(&vf, -1);
  if (channels) *channels = vi->channels;
  if (rate) *rate = vi->rate;
  // Count what actually decodes, not only what the last granule position claims.
  long long frames = 0;
  int top = 0;
  char pcm[8192];
  int section = 0;
  for (;;) {
    long got = ov_read(&vf, pcm, sizeof pcm, 0, 2, 1, &section);
    if (got < 0) {
      frames = -1;
      break;
    }
    if (got == 0) break;
    const short* s = reinterpret_cast<const short*>(pcm);
    for (long i = 0; i < got / 2; ++i) top = std::max(top, std::abs(static_cast<int>(s[i])));
    frames += got / (2 * vi->channels);
  }
  if (peak) *peak = top;
  ov_clear(&vf);
  return frames;
}

bool WriteSilentMpeg(const std::wstring& path, int frames) {
  FilePtr f(_wfopen(path.c_str(), L"wb"));
  if (!f) return false;
  std::vector<unsigned char> frame(kSilentMpegFrameLength, 0);
  frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = 0x90, frame[3] = 0x64;
  for (int i = 0; i < frames; ++i) {
    if (fwrite(frame.data(), 1, frame.size(), f.get()) != frame.size()) return false;
  }
  return true;
}

std::vector<unsigned char> ReadAll(const std::wstring& path) {
  std::vector<unsigned char> data;
  FilePtr f(_wfopen(path.c_str(), L"rb"));
  if (!f) return data;
  unsigned char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f.get())) > 0) data.insert(data.end(), buf, buf + n);
  return data;
}

}  // namespace deps_test
