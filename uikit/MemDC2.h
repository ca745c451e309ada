// A device context that stands in for a paint DC: drawing goes to an
// off-screen bitmap the size of the painted area and reaches the target in one
// blit when the object goes out of scope.
#pragma once

#include "framework/win/Gdi.h"

class CMemDC2 : public CDC {
 public:
  // area: the part of the target to paint, in its logical co-ordinates; null
  // means the target's clip box.
  explicit CMemDC2(CDC* target, const CRect* area = nullptr);
  ~CMemDC2() override;

 private:
  CBitmap m_bitmap;
  CBitmap* m_oldBitmap = nullptr;
  CDC* m_target;
  CRect m_rect;
  BOOL m_isMemoryDC;
  CRect m_deviceRect;  // the bitmap's place on the target, in device pixels
};
