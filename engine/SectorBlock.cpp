#include "engine/SectorBlock.h"

#include <cassert>

#include "engine/CDLibrary.h"

SectorBlockPtr g_pSectorBlock;

CDAudioBlock* AllocSectorBlock(uint32_t sectors) {
  if (sectors > (UINT32_MAX - sizeof(CDAudioBlock)) / kCDSectorBytes) return nullptr;
  const uint32_t capacity = sectors * kCDSectorBytes;
  auto* block = static_cast<CDAudioBlock*>(
      GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(CDAudioBlock) + capacity));
  if (block) block->capacity = capacity;
  return block;
}

BOOL ReadSectorsToRing(CDHANDLE hCD, int32_t firstSector, uint32_t count,
                       RingBuffer<short, 1>* ring) {
  CDAudioBlock* block = g_pSectorBlock.get();
  if (!block || !ring || count == 0 || count > block->capacity / kCDSectorBytes) return FALSE;
  const uint32_t requestedSamples = count * kCDSectorSamples;
  // The ring's Write would drop what does not fit; callers wait for room instead.
  assert(ring->WritableCount() >= requestedSamples);
  if (ring->WritableCount() < requestedSamples) return FALSE;

  block->sectorCount = count;
  block->audioOffset = 0;
  block->bytesDelivered = 0;
  block->firstSector = firstSector;
  if (CDLib().ReadCDAudioLBA(hCD, block) != 1) return FALSE;

  // The library's figures are checked before they address the data area.
  const uint32_t delivered = block->bytesDelivered;
  const uint32_t offset = block->audioOffset;
  if (offset > block->capacity || delivered > block->capacity - offset ||
      delivered > count * kCDSectorBytes) {
    return FALSE;
  }
  const auto* samples = reinterpret_cast<const short*>(CDAudioBlockData(block) + offset);
  ring->Write(samples, delivered / 2);
  return TRUE;
}
