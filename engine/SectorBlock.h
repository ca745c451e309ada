// Sector read blocks and the read of sectors into a sample ring.
#pragma once

#include <windows.h>

#include <memory>

#include "engine/RingBuffer.h"
#include "platform/cdgrab/AudioCDGrabber.h"

struct SectorBlockFree {
  void operator()(CDAudioBlock* block) const {
    if (block) GlobalFree(block);
  }
};
// Owner of a block made by AllocSectorBlock.
using SectorBlockPtr = std::unique_ptr<CDAudioBlock, SectorBlockFree>;

// The main dialog's block (27 sectors), used by playback; made at start, freed at exit.
extern SectorBlockPtr g_pSectorBlock;

// A zeroed block from the global heap with room for n sectors (capacity n * 2352), or
// null when it cannot be had. Free with GlobalFree (or hand it to a SectorBlockPtr).
CDAudioBlock* AllocSectorBlock(uint32_t sectors);

// Reads count sectors from firstSector through g_pSectorBlock and writes the delivered
// samples into ring. The caller must first wait until the ring has room for
// count * 1176 samples; a call without that room is refused (and asserts in debug
// builds), so no sample is ever dropped. FALSE, with the ring unchanged, when the read
// fails, is refused, or the library reports more data than the block or request holds.
BOOL ReadSectorsToRing(CDHANDLE hCD, int32_t firstSector, uint32_t count,
                       RingBuffer<short, 1>* ring);
