// cdgrab_bench: reads every audio sector of a virtual disc through the library and prints the
// throughput. Not a test: the figures depend on the host.
//   cdgrab_bench /unix/folder/with/cue [sectors-per-read]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/cdgrab/AudioCDGrabber.h"
#include "platform/tools/WineDrive.h"

namespace {

uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

// Removes the letter again however the run ends.
struct MountedLetter {
  wchar_t letter = 0;
  ~MountedLetter() {
    if (letter) cdgrab::RemoveWineDrive(letter);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: cdgrab_bench /unix/folder [sectors-per-read]\n");
    return 2;
  }
  uint32_t perRead = argc > 2 ? static_cast<uint32_t>(atoi(argv[2])) : 26;
  if (perRead < 1 || perRead > kCDBlockSectors) perRead = 26;
  MountedLetter mounted;
  mounted.letter = cdgrab::DefineFreeWineCdDrive(cdgrab::kSpareLetters, argv[1]);
  if (!mounted.letter) {
    fprintf(stderr, "cannot define a drive letter over %s\n", argv[1]);
    return 1;
  }
  CDDriveList list;
  memset(&list, 0, sizeof list);
  list.capacity = 8;
  GetCDList(&list);
  // A virtual drive's address is its letter (host adapter = the letter's ASCII code).
  CDHandleRequest request;
  memset(&request, 0, sizeof request);
  request.size = sizeof request;
  request.version = 1;
  request.hostAdapter = static_cast<uint8_t>(mounted.letter);
  CDHANDLE h = GetCDHandle(&request);
  CDTableOfContents toc;
  memset(&toc, 0, sizeof toc);
  if (!h || ReadTOC(h, &toc) != 1) {
    fprintf(stderr, "no disc (error %d)\n", GetAspiLibError());
    return 1;
  }
  std::vector<uint8_t> block(sizeof(CDAudioBlock) + kCDBlockDataBytes);
  CDAudioBlock* b = reinterpret_cast<CDAudioBlock*>(block.data());
  b->capacity = kCDBlockDataBytes;
  LARGE_INTEGER freq, start, end;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&start);
  uint64_t bytes = 0;
  int tracks = toc.lastTrack - toc.firstTrack + 1;
  for (int t = 0; t < tracks; ++t) {
    if (toc.entries[t].adrControl & kCDControlData) continue;
    uint32_t first = Be32(toc.entries[t].address), next = Be32(toc.entries[t + 1].address);
    for (uint32_t lba = first; lba < next; lba += perRead) {
      b->firstSector = static_cast<int32_t>(lba);
      b->sectorCount = std::min(perRead, next - lba);
      b->bytesDelivered = b->audioOffset = 0;
      if (ReadCDAudioLBA(h, b) != 1) {
        fprintf(stderr, "read failed at %u (error %d)\n", lba, GetAspiLibError());
        return 1;
      }
      bytes += b->bytesDelivered;
    }
  }
  QueryPerformanceCounter(&end);
  CloseCDHandle(h);
  double seconds = double(end.QuadPart - start.QuadPart) / double(freq.QuadPart);
  double mb = double(bytes) / (1024.0 * 1024.0);
  printf("read %.1f MB in %.3f s: %.1f MB/s, %.0fx CD speed (%u sectors per read)\n", mb, seconds,
         mb / seconds, double(bytes) / seconds / (75.0 * kCDSectorBytes), perRead);
  return 0;
}
