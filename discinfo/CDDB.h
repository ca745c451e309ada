// The CDDB client.
#pragma once

#include "discinfo/CDDBTrackPosition.h"

class CCDDB {
 public:
  // The 32-bit CDDB disc id of a disc's positions (lead-out last). Needs no client
  // state. An empty array throws CInvalidArgException.
  static DWORD CalcDiscId(const CCDDBTrackPositionArray& positions);
};
