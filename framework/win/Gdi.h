// GDI wrappers: device contexts and the objects selected into them.
//
// A wrapper owns its handle (the destructor deletes it) unless it came from
// FromHandle: those are per-thread temporaries that never delete the handle and
// live until AfxFreeTempGdiObjects() runs (at idle) or the thread ends. Do not
// keep a temporary pointer across messages.
#pragma once

#include <windows.h>

#include "framework/core/Geometry.h"
#include "framework/core/String.h"

class CWnd;
class CDC;

class CGdiObject {
 public:
  HGDIOBJ m_hObject = nullptr;

  CGdiObject() = default;
  virtual ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  operator HGDIOBJ() const { return m_hObject; }
  HGDIOBJ GetSafeHandle() const { return m_hObject; }

  // Takes ownership; fails when the wrapper already holds a handle.
  BOOL Attach(HGDIOBJ hObject);
  HGDIOBJ Detach();
  BOOL DeleteObject();

  int GetObject(int nCount, LPVOID pObject) const {
    return m_hObject ? ::GetObjectW(m_hObject, nCount, pObject) : 0;
  }
  UINT GetObjectType() const { return m_hObject ? ::GetObjectType(m_hObject) : 0; }

  static CGdiObject* FromHandle(HGDIOBJ hObject);
};

class CBitmap : public CGdiObject {
 public:
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }

  BOOL CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight);
  int GetBitmap(BITMAP* pBitmap) const { return GetObject(sizeof(BITMAP), pBitmap); }

  static CBitmap* FromHandle(HBITMAP hBitmap);
};

class CRgn : public CGdiObject {
 public:
  operator HRGN() const { return static_cast<HRGN>(m_hObject); }

  BOOL CreateRectRgn(int x1, int y1, int x2, int y2) {
    return Attach(::CreateRectRgn(x1, y1, x2, y2));
  }
  BOOL CreateRectRgnIndirect(LPCRECT lpRect) { return Attach(::CreateRectRgnIndirect(lpRect)); }
  BOOL CreatePolygonRgn(const POINT* lpPoints, int nCount, int nMode) {
    return Attach(::CreatePolygonRgn(lpPoints, nCount, nMode));
  }
  // Region type (NULLREGION, SIMPLEREGION, COMPLEXREGION) or ERROR.
  int CombineRgn(const CRgn* pRgn1, const CRgn* pRgn2, int nCombineMode) {
    return ::CombineRgn(*this, pRgn1 ? static_cast<HRGN>(*pRgn1) : nullptr,
                        pRgn2 ? static_cast<HRGN>(*pRgn2) : nullptr, nCombineMode);
  }
  int OffsetRgn(int x, int y) { return ::OffsetRgn(*this, x, y); }
  int OffsetRgn(POINT point) { return ::OffsetRgn(*this, point.x, point.y); }
  int GetRgnBox(LPRECT lpRect) const { return ::GetRgnBox(*this, lpRect); }
  BOOL PtInRegion(int x, int y) const { return ::PtInRegion(*this, x, y); }

  static CRgn* FromHandle(HRGN hRgn);
};

class CFont : public CGdiObject {
 public:
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }

  BOOL CreateFontIndirect(const LOGFONTW* lpLogFont) {
    return Attach(::CreateFontIndirectW(lpLogFont));
  }
  BOOL CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight,
                  BYTE bItalic, BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision,
                  BYTE nClipPrecision, BYTE nQuality, BYTE nPitchAndFamily, LPCTSTR lpszFacename) {
    return Attach(::CreateFontW(nHeight, nWidth, nEscapement, nOrientation, nWeight, bItalic,
                                bUnderline, cStrikeOut, nCharSet, nOutPrecision, nClipPrecision,
                                nQuality, nPitchAndFamily, lpszFacename));
  }
  int GetLogFont(LOGFONTW* pLogFont) const { return GetObject(sizeof(LOGFONTW), pLogFont); }

  static CFont* FromHandle(HFONT hFont);
};

class CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }

  operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }

  BOOL CreateSolidBrush(COLORREF crColor) { return Attach(::CreateSolidBrush(crColor)); }
  BOOL CreatePatternBrush(CBitmap* pBitmap) {
    return Attach(::CreatePatternBrush(static_cast<HBITMAP>(*pBitmap)));
  }

  // Also for stock and system-colour brushes: a temporary never deletes them.
  static CBrush* FromHandle(HBRUSH hBrush);
};

class CDC {
 public:
  // Output goes to m_hDC, queries read m_hAttribDC; both are the same handle
  // except for DCs that share another DC's handles (see CMemDC2).
  HDC m_hDC = nullptr;
  HDC m_hAttribDC = nullptr;
  BOOL m_bPrinting = FALSE;

  CDC() = default;
  virtual ~CDC() {
    if (m_hDC) DeleteDC();
  }
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  operator HDC() const { return m_hDC; }
  HDC GetSafeHdc() const { return m_hDC; }

  BOOL Attach(HDC hDC);
  HDC Detach();
  BOOL DeleteDC();
  BOOL CreateCompatibleDC(CDC* pDC);
  BOOL IsPrinting() const { return m_bPrinting; }

  static CDC* FromHandle(HDC hDC);

  // Selection. The returned wrapper is a temporary for the previously selected
  // object (nullptr on failure); select it back before the DC goes away.
  CFont* SelectObject(CFont* pFont);
  CBitmap* SelectObject(CBitmap* pBitmap);
  CBrush* SelectObject(CBrush* pBrush);
  // Regions are copied into the DC: the result is the region type, not an object.
  int SelectObject(CRgn* pRgn);
  HGDIOBJ SelectObject(HGDIOBJ hObject);
  CGdiObject* SelectStockObject(int nIndex);

  // Colours and modes.
  COLORREF SetTextColor(COLORREF crColor);
  COLORREF GetTextColor() const { return ::GetTextColor(m_hAttribDC); }
  COLORREF SetBkColor(COLORREF crColor);
  COLORREF GetBkColor() const { return ::GetBkColor(m_hAttribDC); }
  int SetBkMode(int nBkMode);
  int GetBkMode() const { return ::GetBkMode(m_hAttribDC); }

  // Text.
  int DrawText(LPCTSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat) {
    return ::DrawTextW(m_hDC, lpszString, nCount, lpRect, nFormat);
  }
  int DrawText(const CString& str, LPRECT lpRect, UINT nFormat) {
    return DrawText(str, str.GetLength(), lpRect, nFormat);
  }
  BOOL TextOut(int x, int y, LPCTSTR lpszString, int nCount) {
    return ::TextOutW(m_hDC, x, y, lpszString, nCount);
  }
  BOOL TextOut(int x, int y, const CString& str) { return TextOut(x, y, str, str.GetLength()); }
  CSize GetTextExtent(LPCTSTR lpszString, int nCount) const;
  CSize GetTextExtent(const CString& str) const { return GetTextExtent(str, str.GetLength()); }

  // Filling and blitting.
  void FillRect(LPCRECT lpRect, CBrush* pBrush) { ::FillRect(m_hDC, lpRect, *pBrush); }
  // Leaves the background colour as it was.
  void FillSolidRect(LPCRECT lpRect, COLORREF clr);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
    RECT rc{x, y, x + cx, y + cy};
    FillSolidRect(&rc, clr);
  }
  BOOL FillRgn(CRgn* pRgn, CBrush* pBrush) { return ::FillRgn(m_hDC, *pRgn, *pBrush); }
  BOOL PatBlt(int x, int y, int nWidth, int nHeight, DWORD dwRop) {
    return ::PatBlt(m_hDC, x, y, nWidth, nHeight, dwRop);
  }
  BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) {
    return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC ? pSrcDC->m_hDC : nullptr, xSrc, ySrc,
                    dwRop);
  }
  COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
  COLORREF GetPixel(POINT point) const { return ::GetPixel(m_hDC, point.x, point.y); }
  BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
  BOOL DrawIcon(POINT point, HICON hIcon) { return ::DrawIcon(m_hDC, point.x, point.y, hIcon); }

  // Clipping (applied to both DCs when they differ).
  int ExcludeClipRect(int x1, int y1, int x2, int y2);
  int ExcludeClipRect(LPCRECT lpRect) {
    return ExcludeClipRect(lpRect->left, lpRect->top, lpRect->right, lpRect->bottom);
  }
  int SelectClipRgn(CRgn* pRgn);  // nullptr removes the clip region
  int SelectClipRgn(CRgn* pRgn, int nMode);
  int GetClipBox(LPRECT lpRect) const { return ::GetClipBox(m_hDC, lpRect); }

  // Co-ordinates (conversions use the attribute DC).
  void LPtoDP(LPPOINT lpPoints, int nCount = 1) const { ::LPtoDP(m_hAttribDC, lpPoints, nCount); }
  void LPtoDP(LPRECT lpRect) const { LPtoDP(reinterpret_cast<LPPOINT>(lpRect), 2); }
  void DPtoLP(LPPOINT lpPoints, int nCount = 1) const { ::DPtoLP(m_hAttribDC, lpPoints, nCount); }
  void DPtoLP(LPRECT lpRect) const { DPtoLP(reinterpret_cast<LPPOINT>(lpRect), 2); }

  int GetMapMode() const { return ::GetMapMode(m_hAttribDC); }
  int SetMapMode(int nMapMode);
  CSize GetWindowExt() const;
  CSize SetWindowExt(int cx, int cy);
  CSize SetWindowExt(SIZE size) { return SetWindowExt(size.cx, size.cy); }
  CSize GetViewportExt() const;
  CSize SetViewportExt(int cx, int cy);
  CSize SetViewportExt(SIZE size) { return SetViewportExt(size.cx, size.cy); }
  CPoint GetWindowOrg() const;
  CPoint SetWindowOrg(int x, int y);
  CPoint SetWindowOrg(POINT point) { return SetWindowOrg(point.x, point.y); }
  CPoint GetViewportOrg() const;
  CPoint SetViewportOrg(int x, int y);
  CPoint SetViewportOrg(POINT point) { return SetViewportOrg(point.x, point.y); }

  // A process-wide 50% grey dither brush (drag rectangles, disabled looks).
  static CBrush* GetHalftoneBrush();
};

// BeginPaint/EndPaint for one WM_PAINT.
class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* pWnd);
  ~CPaintDC() override;

  PAINTSTRUCT m_ps{};

 protected:
  HWND m_hWnd = nullptr;
};

// GetDC/ReleaseDC of the client area; a null window means the screen.
class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* pWnd);
  ~CClientDC() override;

 protected:
  HWND m_hWnd = nullptr;
};

// GetWindowDC/ReleaseDC of the whole window; a null window means the screen.
class CWindowDC : public CDC {
 public:
  explicit CWindowDC(CWnd* pWnd);
  ~CWindowDC() override;

 protected:
  HWND m_hWnd = nullptr;
};

// Frees this thread's temporary GDI and DC wrappers. Called at idle.
void AfxFreeTempGdiObjects();
