// encoder_bench: encodes raw CD audio (16-bit little-endian stereo at 44100 Hz) from a file
// to MP3 through lame_enc.dll or to Ogg Vorbis through libvorbis, with the calls, chunk
// sizes, sample masking and settings of the rip job's writers but without the job (no
// window, threads or rings), and prints the speed in x realtime. It shows how fast the
// encoders of this build are by themselves, for scripts/bench-rip.sh. Not a test.
//   encoder_bench mp3|ogg Z:\in.raw Z:\out\prefix [track samples]
// Each track of track samples (default: the whole file) goes to a file of its own,
// <prefix>NN.mp3 or <prefix>NN.ogg, as a rip writes one file per track.
#include <windows.h>

#include <vorbis/vorbisenc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BladeMP3EncDLL.h"
#include "engine/RippingProgress.h"
#include "engine/SampleUtils.h"
#include "engine/Settings.h"

namespace {

constexpr DWORD kOggChunkSamples = 2048;  // the OGG writer's chunk
constexpr long kRate = 44100;

template <typename Fn>
Fn Entry(HMODULE dll, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Reads up to count samples; a short count only at the end of the file or the track.
DWORD ReadSamples(FILE* in, short* dest, DWORD count) {
  return static_cast<DWORD>(fread(dest, sizeof(short), count, in));
}

struct Lame {
  BEINITSTREAM init = nullptr;
  BEENCODECHUNK encode = nullptr;
  BEDEINITSTREAM deinit = nullptr;
  BECLOSESTREAM close = nullptr;
  BEWRITEINFOTAG infoTag = nullptr;
};

// One track: false when the encoder or a write failed.
bool EncodeMp3Track(const Lame& lame, BE_CONFIG& config, FILE* in, DWORD trackSamples,
                    const std::string& path) {
  FILE* out = fopen(path.c_str(), "w+b");
  if (!out) return false;
  DWORD chunkSamples = 0, bufferSize = 0;
  HBE_STREAM stream = nullptr;
  if (lame.init(&config, &chunkSamples, &bufferSize, &stream) != BE_ERR_SUCCESSFUL) {
    fclose(out);
    return false;
  }
  std::vector<BYTE> output(bufferSize);
  std::vector<short> input(chunkSamples);
  bool ok = true;
  DWORD left = trackSamples;
  while (ok && left > 0) {
    const DWORD taken = ReadSamples(in, input.data(), left < chunkSamples ? left : chunkSamples);
    if (taken == 0) break;
    left -= taken;
    MaskSamples(input.data(), static_cast<int>(taken));
    DWORD produced = 0;
    ok = lame.encode(stream, taken, input.data(), output.data(), &produced) == BE_ERR_SUCCESSFUL &&
         fwrite(output.data(), 1, produced, out) == produced;
  }
  DWORD produced = 0;
  ok = ok && lame.deinit(stream, output.data(), &produced) == BE_ERR_SUCCESSFUL &&
       fwrite(output.data(), 1, produced, out) == produced;
  lame.close(stream);
  ok = fclose(out) == 0 && ok;
  if (ok && lame.infoTag) lame.infoTag(stream, path.c_str());
  return ok;
}

bool EncodeOggTrack(FILE* in, DWORD trackSamples, const std::string& path) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, 2, kRate, QualityCompressionOrDefault() / 10.0f) != 0) {
    vorbis_info_clear(&info);
    return false;
  }
  FILE* out = fopen(path.c_str(), "w+b");
  if (!out) {
    vorbis_info_clear(&info);
    return false;
  }
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1);
  bool ok = true;
  auto writePage = [&](const ogg_page& page) {
    ok = ok &&
         fwrite(page.header, 1, page.header_len, out) == static_cast<size_t>(page.header_len) &&
         fwrite(page.body, 1, page.body_len, out) == static_cast<size_t>(page.body_len);
  };
  ogg_packet identification, comments, codebooks;
  vorbis_analysis_headerout(&dsp, &comment, &identification, &comments, &codebooks);
  ogg_stream_packetin(&stream, &identification);
  ogg_stream_packetin(&stream, &comments);
  ogg_stream_packetin(&stream, &codebooks);
  ogg_page page;
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

  std::vector<short> samples(kOggChunkSamples);
  std::vector<float> floats(kOggChunkSamples);
  DWORD left = trackSamples;
  while (left > 0) {
    const DWORD taken =
        ReadSamples(in, samples.data(), left < kOggChunkSamples ? left : kOggChunkSamples);
    if (taken == 0) break;
    left -= taken;
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
  vorbis_analysis_wrote(&dsp, 0);
  drain();

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || (strcmp(argv[1], "mp3") != 0 && strcmp(argv[1], "ogg") != 0)) {
    fprintf(stderr, "usage: encoder_bench mp3|ogg Z:\\in.raw Z:\\out\\prefix [track samples]\n");
    return 2;
  }
  const bool mp3 = strcmp(argv[1], "mp3") == 0;
  FILE* in = fopen(argv[2], "rb");
  if (!in) {
    fprintf(stderr, "cannot open %s\n", argv[2]);
    return 1;
  }
  _fseeki64(in, 0, SEEK_END);
  const long long totalSamples = _ftelli64(in) / 2;
  _fseeki64(in, 0, SEEK_SET);
  long long trackSamples = argc > 4 ? atoll(argv[4]) : totalSamples;
  if (trackSamples <= 0 || trackSamples > 0x7FFFFFFF) trackSamples = totalSamples;

  Lame lame;
  BE_CONFIG config = LameConfigFromSettings();
  if (mp3) {
    HMODULE dll = LoadLibraryW(L"lame_enc.dll");
    if (!dll) {
      fprintf(stderr, "cannot load lame_enc.dll\n");
      return 1;
    }
    lame.init = Entry<BEINITSTREAM>(dll, TEXT_BEINITSTREAM);
    lame.encode = Entry<BEENCODECHUNK>(dll, TEXT_BEENCODECHUNK);
    lame.deinit = Entry<BEDEINITSTREAM>(dll, TEXT_BEDEINITSTREAM);
    lame.close = Entry<BECLOSESTREAM>(dll, TEXT_BECLOSESTREAM);
    lame.infoTag = Entry<BEWRITEINFOTAG>(dll, TEXT_BEWRITEINFOTAG);
    if (!lame.init || !lame.encode || !lame.deinit || !lame.close) {
      fprintf(stderr, "lame_enc.dll lacks an entry point\n");
      return 1;
    }
  }

  const double started = Now();
  int track = 0;
  for (long long done = 0; done < totalSamples; done += trackSamples) {
    const long long rest = totalSamples - done;
    const DWORD samples = static_cast<DWORD>(rest < trackSamples ? rest : trackSamples);
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s%02d.%s", argv[3], ++track, mp3 ? "mp3" : "ogg");
    const bool ok =
        mp3 ? EncodeMp3Track(lame, config, in, samples, path) : EncodeOggTrack(in, samples, path);
    if (!ok) {
      fprintf(stderr, "encoding %s failed\n", path);
      return 1;
    }
  }
  const double wall = Now() - started;
  fclose(in);
  const double audio = totalSamples / 2.0 / kRate;
  char what[64];
  if (mp3) {
    snprintf(what, sizeof what, "MP3 %d kbit/s", Mp3BitrateOrDefault(LameBits));
  } else {
    snprintf(what, sizeof what, "Ogg Vorbis quality %d", QualityCompressionOrDefault());
  }
  printf("bare %s: %.1f min of audio in %d file(s) in %.2f s wall = %.1fx realtime\n", what,
         audio / 60, track, wall, audio / wall);
  return 0;
}
