#include "uikit/MemDC2.h"

CMemDC2::CMemDC2(CDC* target, const CRect* area)
    : m_target(target), m_isMemoryDC(!target->IsPrinting()) {
  if (area)
    m_rect = *area;
  else
    target->GetClipBox(&m_rect);

  if (m_isMemoryDC) {
    CRect device = m_rect;
    target->LPtoDP(&device);
    // A flipped y axis (y up) turns the rectangle over in device units; the
    // bitmap needs the positive size and the logical corner of its top left.
    device.NormalizeRect();
    if (CreateCompatibleDC(target) &&
        m_bitmap.CreateCompatibleBitmap(target, device.Width(), device.Height())) {
      m_oldBitmap = SelectObject(&m_bitmap);
      SetMapMode(target->GetMapMode());
      SetWindowExt(target->GetWindowExt());
      SetViewportExt(target->GetViewportExt());
      m_rect = device;
      target->DPtoLP(&m_rect);
      SetWindowOrg(m_rect.left, m_rect.top);
    } else {
      // No room for the bitmap (or an empty area): drawing into the DC's
      // 1x1 default bitmap and blitting it would paint garbage, so draw
      // straight to the target instead.
      DeleteDC();
      m_isMemoryDC = FALSE;
    }
  }
  if (!m_isMemoryDC) ShareTarget();

  FillSolidRect(&m_rect, target->GetBkColor());
}

void CMemDC2::ShareTarget() {
  m_bPrinting = m_target->m_bPrinting;
  m_hDC = m_target->m_hDC;
  m_hAttribDC = m_target->m_hAttribDC;
}

CMemDC2::~CMemDC2() {
  if (m_isMemoryDC) {
    m_target->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), this, m_rect.left,
                     m_rect.top, SRCCOPY);
    if (m_oldBitmap) SelectObject(m_oldBitmap);
  } else {
    // The handles belong to the target.
    m_hDC = m_hAttribDC = nullptr;
  }
}
