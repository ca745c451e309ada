// CPoint, CSize and CRect: the Win32 structures with arithmetic.
#pragma once

#include <windows.h>

class CSize : public SIZE {
 public:
  CSize() : SIZE{0, 0} {}
  CSize(int initCX, int initCY) : SIZE{initCX, initCY} {}
  CSize(SIZE s) : SIZE(s) {}  // NOLINT
  bool operator==(SIZE s) const { return cx == s.cx && cy == s.cy; }
  bool operator!=(SIZE s) const { return !(*this == s); }
  CSize operator+(SIZE s) const { return CSize(cx + s.cx, cy + s.cy); }
  CSize operator-(SIZE s) const { return CSize(cx - s.cx, cy - s.cy); }
  CSize operator-() const { return CSize(-cx, -cy); }
  CSize& operator+=(SIZE s) {
    cx += s.cx;
    cy += s.cy;
    return *this;
  }
  CSize& operator-=(SIZE s) {
    cx -= s.cx;
    cy -= s.cy;
    return *this;
  }
};

class CPoint : public POINT {
 public:
  CPoint() : POINT{0, 0} {}
  CPoint(int initX, int initY) : POINT{initX, initY} {}
  CPoint(POINT p) : POINT(p) {}  // NOLINT
  explicit CPoint(SIZE s) : POINT{s.cx, s.cy} {}
  // From a packed mouse-message position (signed 16-bit halves).
  explicit CPoint(LPARAM dwPoint)
      : POINT{static_cast<short>(LOWORD(dwPoint)), static_cast<short>(HIWORD(dwPoint))} {}

  void Offset(int xOffset, int yOffset) {
    x += xOffset;
    y += yOffset;
  }
  void Offset(POINT p) { Offset(p.x, p.y); }
  void Offset(SIZE s) { Offset(s.cx, s.cy); }
  bool operator==(POINT p) const { return x == p.x && y == p.y; }
  bool operator!=(POINT p) const { return !(*this == p); }
  CPoint operator+(SIZE s) const { return CPoint(x + s.cx, y + s.cy); }
  CPoint operator-(SIZE s) const { return CPoint(x - s.cx, y - s.cy); }
  CPoint operator+(POINT p) const { return CPoint(x + p.x, y + p.y); }
  CSize operator-(POINT p) const { return CSize(x - p.x, y - p.y); }
  CPoint operator-() const { return CPoint(-x, -y); }
  CPoint& operator+=(SIZE s) {
    Offset(s);
    return *this;
  }
  CPoint& operator-=(SIZE s) {
    Offset(-s.cx, -s.cy);
    return *this;
  }
  CPoint& operator+=(POINT p) {
    Offset(p);
    return *this;
  }
  CPoint& operator-=(POINT p) {
    Offset(-p.x, -p.y);
    return *this;
  }
};

class CRect : public RECT {
 public:
  CRect() : RECT{0, 0, 0, 0} {}
  CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  CRect(const RECT& rc) : RECT(rc) {}     // NOLINT
  CRect(const RECT* prc) : RECT(*prc) {}  // NOLINT
  CRect(POINT topLeft, SIZE size)
      : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}
  CRect(POINT topLeft, POINT bottomRight)
      : RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y} {}

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CSize Size() const { return CSize(Width(), Height()); }
  CPoint& TopLeft() { return *reinterpret_cast<CPoint*>(&left); }
  CPoint& BottomRight() { return *reinterpret_cast<CPoint*>(&right); }
  const CPoint& TopLeft() const { return *reinterpret_cast<const CPoint*>(&left); }
  const CPoint& BottomRight() const { return *reinterpret_cast<const CPoint*>(&right); }
  CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }

  operator LPRECT() { return this; }
  operator LPCRECT() const { return this; }

  BOOL IsRectEmpty() const { return left >= right || top >= bottom; }
  BOOL IsRectNull() const { return left == 0 && right == 0 && top == 0 && bottom == 0; }
  BOOL PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }

  void SetRect(int l, int t, int r, int b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
  }
  void SetRectEmpty() { SetRect(0, 0, 0, 0); }
  void CopyRect(LPCRECT prc) { *static_cast<RECT*>(this) = *prc; }
  void NormalizeRect();

  void OffsetRect(int x, int y) {
    left += x;
    right += x;
    top += y;
    bottom += y;
  }
  void OffsetRect(POINT p) { OffsetRect(p.x, p.y); }
  void OffsetRect(SIZE s) { OffsetRect(s.cx, s.cy); }
  void MoveToXY(int x, int y) { OffsetRect(x - left, y - top); }
  void MoveToX(int x) { OffsetRect(x - left, 0); }
  void MoveToY(int y) { OffsetRect(0, y - top); }

  void InflateRect(int x, int y) {
    left -= x;
    top -= y;
    right += x;
    bottom += y;
  }
  void InflateRect(SIZE s) { InflateRect(s.cx, s.cy); }
  void InflateRect(LPCRECT prc) {
    left -= prc->left;
    top -= prc->top;
    right += prc->right;
    bottom += prc->bottom;
  }
  void InflateRect(int l, int t, int r, int b) {
    left -= l;
    top -= t;
    right += r;
    bottom += b;
  }
  void DeflateRect(int x, int y) { InflateRect(-x, -y); }
  void DeflateRect(SIZE s) { InflateRect(-s.cx, -s.cy); }
  void DeflateRect(LPCRECT prc) {
    left += prc->left;
    top += prc->top;
    right -= prc->right;
    bottom -= prc->bottom;
  }
  void DeflateRect(int l, int t, int r, int b) { InflateRect(-l, -t, -r, -b); }

  BOOL IntersectRect(LPCRECT a, LPCRECT b) { return ::IntersectRect(this, a, b); }
  BOOL UnionRect(LPCRECT a, LPCRECT b) { return ::UnionRect(this, a, b); }

  bool operator==(const RECT& rc) const {
    return left == rc.left && top == rc.top && right == rc.right && bottom == rc.bottom;
  }
  bool operator!=(const RECT& rc) const { return !(*this == rc); }
  CRect& operator=(const RECT& rc) {
    CopyRect(&rc);
    return *this;
  }
  CRect& operator+=(POINT p) {
    OffsetRect(p);
    return *this;
  }
  CRect& operator-=(POINT p) {
    OffsetRect(-p.x, -p.y);
    return *this;
  }
  CRect operator+(POINT p) const {
    CRect r(*this);
    r.OffsetRect(p);
    return r;
  }
  CRect operator-(POINT p) const {
    CRect r(*this);
    r.OffsetRect(-p.x, -p.y);
    return r;
  }
};

inline void CRect::NormalizeRect() {
  if (left > right) {
    LONG t = left;
    left = right;
    right = t;
  }
  if (top > bottom) {
    LONG t = top;
    top = bottom;
    bottom = t;
  }
}
