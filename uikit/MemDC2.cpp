#include "uikit/MemDC2.h"

namespace {

// Scopes a DC to device units (MM_TEXT, zero origins) and puts it back after.
class DeviceUnits {
 public:
  explicit DeviceUnits(HDC hDC) : m_hDC(hDC), m_saved(::SaveDC(hDC)) {
    ::SetMapMode(hDC, MM_TEXT);
    ::SetWindowOrgEx(hDC, 0, 0, nullptr);
    ::SetViewportOrgEx(hDC, 0, 0, nullptr);
  }
  ~DeviceUnits() { ::RestoreDC(m_hDC, m_saved); }
  DeviceUnits(const DeviceUnits&) = delete;
  DeviceUnits& operator=(const DeviceUnits&) = delete;

 private:
  HDC m_hDC;
  int m_saved;
};

}  // namespace

CMemDC2::CMemDC2(CDC* target, const CRect* area)
    : m_target(target), m_isMemoryDC(!target->IsPrinting()) {
  if (area)
    m_rect = *area;
  else
    target->GetClipBox(&m_rect);

  if (m_isMemoryDC) {
    if (area) {
      m_deviceRect = m_rect;
      target->LPtoDP(&m_deviceRect);
    } else {
      // Clip regions are kept in device units; the logical clip box is rounded
      // and would miss a pixel row or column under scaling mapping modes.
      DeviceUnits device(target->m_hDC);
      ::GetClipBox(target->m_hDC, &m_deviceRect);
    }
    // A flipped axis turns the rectangle over in device units.
    m_deviceRect.NormalizeRect();
    if (CreateCompatibleDC(target) &&
        m_bitmap.CreateCompatibleBitmap(target, m_deviceRect.Width(), m_deviceRect.Height())) {
      m_oldBitmap = SelectObject(&m_bitmap);
      // Filled while the memory DC still maps one to one, so every pixel of the
      // bitmap gets the background even where the area's edges fall between
      // logical units.
      FillSolidRect(0, 0, m_deviceRect.Width(), m_deviceRect.Height(), target->GetBkColor());
      // The target's mapping shifted by the bitmap's device corner: a logical
      // point lands on the same pixel it would on the target. (Moving only the
      // window origin to the rounded logical corner shifts drawing by a pixel
      // under scaling mapping modes.)
      SetMapMode(target->GetMapMode());
      SetWindowExt(target->GetWindowExt());
      SetViewportExt(target->GetViewportExt());
      SetWindowOrg(target->GetWindowOrg());
      CPoint viewportOrg = target->GetViewportOrg();
      SetViewportOrg(viewportOrg.x - m_deviceRect.left, viewportOrg.y - m_deviceRect.top);
      return;
    }
    // No room for the bitmap (or an empty area): drawing into the DC's 1x1
    // default bitmap and blitting it would paint garbage, so draw straight to
    // the target instead.
    DeleteDC();
    m_isMemoryDC = FALSE;
  }
  m_bPrinting = target->m_bPrinting;
  m_hDC = target->m_hDC;
  m_hAttribDC = target->m_hAttribDC;
  FillSolidRect(&m_rect, target->GetBkColor());
}

CMemDC2::~CMemDC2() {
  if (m_isMemoryDC) {
    // Blit pixel for pixel: the logical rectangle may not be whole pixels.
    {
      DeviceUnits targetUnits(m_target->m_hDC);
      DeviceUnits ownUnits(m_hDC);
      ::BitBlt(m_target->m_hDC, m_deviceRect.left, m_deviceRect.top, m_deviceRect.Width(),
               m_deviceRect.Height(), m_hDC, 0, 0, SRCCOPY);
    }
    if (m_oldBitmap) SelectObject(m_oldBitmap);
  } else {
    // The handles belong to the target.
    m_hDC = m_hAttribDC = nullptr;
  }
}
