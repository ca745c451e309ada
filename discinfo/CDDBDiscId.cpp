#include "discinfo/CDDB.h"

#include "framework/core/Exceptions.h"

namespace {

DWORD SumOfDigits(DWORD value) {
  DWORD sum = 0;
  for (; value != 0; value /= 10) sum += value % 10;
  return sum;
}

}  // namespace

DWORD CCDDB::CalcDiscId(const CCDDBTrackPositionArray& positions) {
  if (positions.GetSize() < 1) AfxThrowInvalidArgException();  // no lead-out
  const INT_PTR tracks = positions.GetSize() - 1;

  DWORD checksum = 0;
  for (INT_PTR i = 0; i < tracks; ++i) {
    checksum += SumOfDigits(positions.GetAt(i).GetSeconds());
  }
  // Lead-out minus first track; for a lead-out-only array both are the same element.
  const DWORD playingTime = positions.GetAt(tracks).GetSeconds() - positions.GetAt(0).GetSeconds();

  // The playing time and the count are OR-ed in unmasked; servers compute it so.
  return ((checksum % 255) << 24) | (playingTime << 8) | static_cast<DWORD>(tracks);
}
