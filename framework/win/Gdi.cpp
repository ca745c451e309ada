#include "framework/win/Gdi.h"

#include <memory>
#include <vector>

#include "framework/core/ThreadLocal.h"
#include "framework/win/TempMap.h"

namespace {
using TempMapList = std::vector<std::unique_ptr<afx_temp::MapBase>>;
TempMapList& ThreadTempMaps() {
  static CThreadLocal<TempMapList> maps;
  return maps.Get();
}
}  // namespace

afx_temp::MapBase* afx_temp::Adopt(MapBase* map) {
  ThreadTempMaps().emplace_back(map);
  return map;
}

void AfxFreeTempGdiObjects() {
  for (auto& map : ThreadTempMaps()) map->Clear();
}

// CGdiObject ---------------------------------------------------------------

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
  if (!hObject || m_hObject) return FALSE;
  m_hObject = hObject;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ hObject = m_hObject;
  m_hObject = nullptr;
  return hObject;
}

BOOL CGdiObject::DeleteObject() {
  HGDIOBJ hObject = Detach();
  return hObject ? ::DeleteObject(hObject) : FALSE;
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ hObject) { return AfxTempWrapper<CGdiObject>(hObject); }

CBitmap* CBitmap::FromHandle(HBITMAP hBitmap) { return AfxTempWrapper<CBitmap>(hBitmap); }

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) {
  return Attach(::CreateCompatibleBitmap(pDC->m_hDC, nWidth, nHeight));
}

CRgn* CRgn::FromHandle(HRGN hRgn) { return AfxTempWrapper<CRgn>(hRgn); }

CFont* CFont::FromHandle(HFONT hFont) { return AfxTempWrapper<CFont>(hFont); }

CBrush* CBrush::FromHandle(HBRUSH hBrush) { return AfxTempWrapper<CBrush>(hBrush); }

// CDC ----------------------------------------------------------------------

CDC* CDC::FromHandle(HDC hDC) { return AfxTempWrapper<CDC>(hDC); }

BOOL CDC::Attach(HDC hDC) {
  if (!hDC || m_hDC) return FALSE;
  m_hDC = m_hAttribDC = hDC;
  return TRUE;
}

HDC CDC::Detach() {
  HDC hDC = m_hDC;
  m_hDC = m_hAttribDC = nullptr;
  return hDC;
}

BOOL CDC::DeleteDC() {
  HDC hDC = Detach();
  return hDC ? ::DeleteDC(hDC) : FALSE;
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
  return Attach(::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr));
}

HGDIOBJ CDC::SelectObject(HGDIOBJ hObject) {
  if (!hObject) return nullptr;
  HGDIOBJ hOld = nullptr;
  if (m_hDC != m_hAttribDC && m_hDC) hOld = ::SelectObject(m_hDC, hObject);
  if (m_hAttribDC) hOld = ::SelectObject(m_hAttribDC, hObject);
  return hOld;
}

CFont* CDC::SelectObject(CFont* pFont) {
  return CFont::FromHandle(static_cast<HFONT>(SelectObject(pFont ? pFont->m_hObject : nullptr)));
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
  return CBitmap::FromHandle(
      static_cast<HBITMAP>(SelectObject(pBitmap ? pBitmap->m_hObject : nullptr)));
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
  return CBrush::FromHandle(
      static_cast<HBRUSH>(SelectObject(pBrush ? pBrush->m_hObject : nullptr)));
}

int CDC::SelectObject(CRgn* pRgn) {
  if (!pRgn || !pRgn->m_hObject) return ERROR;
  // For a region SelectObject returns the region type cast to a handle.
  return static_cast<int>(reinterpret_cast<INT_PTR>(SelectObject(pRgn->m_hObject)));
}

CGdiObject* CDC::SelectStockObject(int nIndex) {
  HGDIOBJ hStock = ::GetStockObject(nIndex);
  return hStock ? CGdiObject::FromHandle(SelectObject(hStock)) : nullptr;
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
  COLORREF old = CLR_INVALID;
  if (m_hDC != m_hAttribDC && m_hDC) old = ::SetTextColor(m_hDC, crColor);
  if (m_hAttribDC) old = ::SetTextColor(m_hAttribDC, crColor);
  return old;
}

COLORREF CDC::SetBkColor(COLORREF crColor) {
  COLORREF old = CLR_INVALID;
  if (m_hDC != m_hAttribDC && m_hDC) old = ::SetBkColor(m_hDC, crColor);
  if (m_hAttribDC) old = ::SetBkColor(m_hAttribDC, crColor);
  return old;
}

int CDC::SetBkMode(int nBkMode) {
  int old = 0;
  if (m_hDC != m_hAttribDC && m_hDC) old = ::SetBkMode(m_hDC, nBkMode);
  if (m_hAttribDC) old = ::SetBkMode(m_hAttribDC, nBkMode);
  return old;
}

CSize CDC::GetTextExtent(LPCTSTR lpszString, int nCount) const {
  SIZE size{};
  ::GetTextExtentPoint32W(m_hAttribDC, lpszString, nCount, &size);
  return CSize(size.cx, size.cy);
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) {
  // An opaque empty text-out fills with the background colour, which is then
  // put back so the caller's text drawing is not affected.
  COLORREF old = ::SetBkColor(m_hDC, clr);
  ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, lpRect, nullptr, 0, nullptr);
  ::SetBkColor(m_hDC, old);
}

int CDC::ExcludeClipRect(int x1, int y1, int x2, int y2) {
  int result = ERROR;
  if (m_hDC != m_hAttribDC && m_hDC) result = ::ExcludeClipRect(m_hDC, x1, y1, x2, y2);
  if (m_hAttribDC) result = ::ExcludeClipRect(m_hAttribDC, x1, y1, x2, y2);
  return result;
}

int CDC::SelectClipRgn(CRgn* pRgn) {
  HRGN hRgn = pRgn ? static_cast<HRGN>(*pRgn) : nullptr;
  int result = ERROR;
  if (m_hDC != m_hAttribDC && m_hDC) result = ::SelectClipRgn(m_hDC, hRgn);
  if (m_hAttribDC) result = ::SelectClipRgn(m_hAttribDC, hRgn);
  return result;
}

int CDC::SelectClipRgn(CRgn* pRgn, int nMode) {
  HRGN hRgn = pRgn ? static_cast<HRGN>(*pRgn) : nullptr;
  int result = ERROR;
  if (m_hDC != m_hAttribDC && m_hDC) result = ::ExtSelectClipRgn(m_hDC, hRgn, nMode);
  if (m_hAttribDC) result = ::ExtSelectClipRgn(m_hAttribDC, hRgn, nMode);
  return result;
}

int CDC::SetMapMode(int nMapMode) {
  int old = 0;
  if (m_hDC != m_hAttribDC && m_hDC) old = ::SetMapMode(m_hDC, nMapMode);
  if (m_hAttribDC) old = ::SetMapMode(m_hAttribDC, nMapMode);
  return old;
}

CSize CDC::GetWindowExt() const {
  SIZE size{};
  ::GetWindowExtEx(m_hAttribDC, &size);
  return CSize(size.cx, size.cy);
}

CSize CDC::SetWindowExt(int cx, int cy) {
  SIZE size{};
  if (m_hDC != m_hAttribDC && m_hDC) ::SetWindowExtEx(m_hDC, cx, cy, &size);
  if (m_hAttribDC) ::SetWindowExtEx(m_hAttribDC, cx, cy, &size);
  return CSize(size.cx, size.cy);
}

CSize CDC::GetViewportExt() const {
  SIZE size{};
  ::GetViewportExtEx(m_hAttribDC, &size);
  return CSize(size.cx, size.cy);
}

CSize CDC::SetViewportExt(int cx, int cy) {
  SIZE size{};
  if (m_hDC != m_hAttribDC && m_hDC) ::SetViewportExtEx(m_hDC, cx, cy, &size);
  if (m_hAttribDC) ::SetViewportExtEx(m_hAttribDC, cx, cy, &size);
  return CSize(size.cx, size.cy);
}

CPoint CDC::GetWindowOrg() const {
  POINT point{};
  ::GetWindowOrgEx(m_hAttribDC, &point);
  return CPoint(point.x, point.y);
}

CPoint CDC::SetWindowOrg(int x, int y) {
  POINT point{};
  if (m_hDC != m_hAttribDC && m_hDC) ::SetWindowOrgEx(m_hDC, x, y, &point);
  if (m_hAttribDC) ::SetWindowOrgEx(m_hAttribDC, x, y, &point);
  return CPoint(point.x, point.y);
}

CPoint CDC::GetViewportOrg() const {
  POINT point{};
  ::GetViewportOrgEx(m_hAttribDC, &point);
  return CPoint(point.x, point.y);
}

CPoint CDC::SetViewportOrg(int x, int y) {
  POINT point{};
  if (m_hDC != m_hAttribDC && m_hDC) ::SetViewportOrgEx(m_hDC, x, y, &point);
  if (m_hAttribDC) ::SetViewportOrgEx(m_hAttribDC, x, y, &point);
  return CPoint(point.x, point.y);
}

CBrush* CDC::GetHalftoneBrush() {
  // Built once per process (thread-safe static init) and never freed.
  static CBrush* const brush = [] {
    WORD pattern[8];
    for (int i = 0; i < 8; ++i) pattern[i] = static_cast<WORD>(0x5555 << (i & 1));
    auto* result = new CBrush;
    if (HBITMAP hBitmap = ::CreateBitmap(8, 8, 1, 1, pattern)) {
      result->Attach(::CreatePatternBrush(hBitmap));
      ::DeleteObject(hBitmap);  // the brush keeps its own copy
    }
    return result;
  }();
  return brush;
}
