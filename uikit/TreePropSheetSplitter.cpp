#include "uikit/TreePropSheetSplitter.h"

#include <algorithm>

#include "framework/win/Gdi.h"

namespace TreePropSheet {

BEGIN_MESSAGE_MAP(CTreePropSheetSplitter, CWnd)
ON_WM_PAINT()
ON_WM_LBUTTONDOWN()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONUP()
ON_WM_SIZE()
ON_WM_NCCREATE()
ON_WM_WINDOWPOSCHANGING()
ON_WM_CREATE()
END_MESSAGE_MAP()

CTreePropSheetSplitter::CTreePropSheetSplitter(int paneCount, int orientation, const int* minimums,
                                               int barWidth)
    : m_nPanes(std::max(paneCount, 1)),
      m_nOrientation(orientation),
      m_nBarWidth(barWidth),
      m_panes(static_cast<size_t>(m_nPanes), nullptr),
      m_fractions(static_cast<size_t>(m_nPanes), 0),
      m_positions(static_cast<size_t>(m_nPanes) + 1, 0),
      m_minimums(minimums, minimums + m_nPanes),
      m_frozen(static_cast<size_t>(m_nPanes), 0) {
  // Equal shares, rounded; the last pane takes what is left.
  int sum = 0;
  for (int i = 0; i + 1 < m_nPanes; ++i) {
    m_fractions[static_cast<size_t>(i)] = (m_nPanes / 2 + kWhole) / m_nPanes;
    sum += m_fractions[static_cast<size_t>(i)];
  }
  m_fractions.back() = kWhole - sum;
}

HCURSOR CTreePropSheetSplitter::BarCursor(bool enabled, int orientation) {
  LPCWSTR name = !enabled ? IDC_ARROW : orientation == kSideBySide ? IDC_SIZEWE : IDC_SIZENS;
  return static_cast<HCURSOR>(::LoadImageW(nullptr, name, IMAGE_CURSOR, 64, 64, LR_SHARED));
}

BOOL CTreePropSheetSplitter::CreateSplitter(CWnd* parent, const RECT& rect, UINT id) {
  LPCTSTR cls = AfxRegisterWndClass(CS_DBLCLKS, BarCursor(m_bEnabled, m_nOrientation));
  return CreateEx(0, cls, nullptr, WS_CHILD | WS_VISIBLE, rect, parent, id);
}

CRect CTreePropSheetSplitter::SplitterRect() const {
  CRect rc;
  ::GetWindowRect(m_hWnd, &rc);
  ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<LPPOINT>(&rc), 2);
  return rc;
}

int CTreePropSheetSplitter::Length(const RECT& rc) const {
  return m_nOrientation == kSideBySide ? rc.right - rc.left : rc.bottom - rc.top;
}

int CTreePropSheetSplitter::Along(CPoint point) const {
  const CRect r = SplitterRect();
  return m_nOrientation == kSideBySide ? point.x + r.left : point.y + r.top;
}

int CTreePropSheetSplitter::PaneLength(int index, int available) const {
  const long long length =
      (static_cast<long long>(available) * m_fractions[static_cast<size_t>(index)] + kWhole / 2) /
      kWhole;
  return static_cast<int>(std::max(length, 0LL));
}

CRect CTreePropSheetSplitter::GetPaneRect(int index) const {
  CRect rc = SplitterRect();
  const int start = m_positions[static_cast<size_t>(index)];
  const int end = m_positions[static_cast<size_t>(index) + 1] - m_nBarWidth;
  if (m_nOrientation == kSideBySide) {
    rc.left = start;
    rc.right = end;
  } else {
    rc.top = start;
    rc.bottom = end;
  }
  return rc;
}

void CTreePropSheetSplitter::SetPane(int index, CWnd* window) {
  m_panes[static_cast<size_t>(index)] = window;
  if (window && window->m_hWnd) window->MoveWindow(GetPaneRect(index), FALSE);
}

void CTreePropSheetSplitter::SetPaneSizes(const int* sizes) {
  long long total = 0;
  for (int i = 0; i < m_nPanes; ++i) total += sizes[i];
  if (total > 0) {
    int sum = 0;
    for (int i = 0; i + 1 < m_nPanes; ++i) {
      m_fractions[static_cast<size_t>(i)] =
          static_cast<int>((total / 2 + static_cast<long long>(sizes[i]) * kWhole) / total);
      sum += m_fractions[static_cast<size_t>(i)];
    }
    m_fractions.back() = kWhole - sum;
  }
  LayoutPanes();
  ApplyPanes();
}

void CTreePropSheetSplitter::SetFrozen(const bool* frozen) {
  m_nFrozen = 0;
  for (int i = 0; i < m_nPanes; ++i) {
    m_frozen[static_cast<size_t>(i)] = frozen[i] ? 1 : 0;
    if (frozen[i]) ++m_nFrozen;
  }
}

void CTreePropSheetSplitter::SetEnabled(bool enabled) {
  m_bEnabled = enabled;
  if (m_hWnd)
    ::SetClassLongPtrW(m_hWnd, GCLP_HCURSOR,
                       reinterpret_cast<LONG_PTR>(BarCursor(enabled, m_nOrientation)));
}

void CTreePropSheetSplitter::LayoutPanes() {
  if (!m_hWnd) return;
  const CRect r = SplitterRect();
  const int n = m_nPanes, b = m_nBarWidth;
  const long long A = Length(r) - b * (n - 1);
  const long long h = A / 2;
  auto fraction = [this](int i) -> int& { return m_fractions[static_cast<size_t>(i)]; };
  auto length = [&](int i) { return PaneLength(i, static_cast<int>(A)); };

  // An available length of 0 or less keeps the shares as they are.
  bool skipMinimums = A <= 0;
  if (A > 0 && m_nFrozen > 0 && m_nFrozen < n) {
    // Frozen panes keep their length; the others share the change equally.
    const long long P = m_positions[static_cast<size_t>(n)] - m_positions[0] - n * b;
    const long long u = n - m_nFrozen;
    int sum = 0;
    for (int i = 0; i < n; ++i) {
      if (i == n - 1)
        fraction(i) = kWhole - sum;
      else if (m_frozen[static_cast<size_t>(i)])
        fraction(i) = static_cast<int>((P * fraction(i) + h) / A);
      else
        fraction(i) =
            static_cast<int>((A * u / 2 + (A - P) * kWhole) / (A * u) + (h + P * fraction(i)) / A);
      sum += fraction(i);
    }
    bool allAtMost = true;
    for (int i = 0; i < n; ++i)
      if (length(i) > m_minimums[static_cast<size_t>(i)]) allAtMost = false;
    if (allAtMost) skipMinimums = true;
  }

  // Panes below their minimum are raised; the others give up the difference in proportion.
  for (int pass = 0; !skipMinimums && pass <= n; ++pass) {
    bool raised = false;
    long long rest = kWhole, free = kWhole;
    for (int i = 0; i < n; ++i) {
      const int minimum = m_minimums[static_cast<size_t>(i)];
      if (length(i) > minimum) continue;
      const int old = fraction(i);
      if (length(i) < minimum) {
        fraction(i) = minimum > A ? kWhole : static_cast<int>((h + minimum * kWhole) / A);
        raised = true;
      }
      rest -= fraction(i);
      free -= old;
    }
    if (rest <= 0) {
      int left = kWhole;
      for (int i = 0; i < n; ++i) {
        const int wanted = static_cast<int>((h + m_minimums[static_cast<size_t>(i)] * kWhole) / A);
        fraction(i) = std::min(wanted, left);
        left -= fraction(i);
      }
      break;
    }
    if (rest != kWhole && free > 0) {
      for (int i = 0; i < n; ++i)
        if (length(i) != m_minimums[static_cast<size_t>(i)])
          fraction(i) = static_cast<int>((fraction(i) * rest + free / 2) / free);
    }
    if (!raised) break;
  }

  const int start = m_nOrientation == kSideBySide ? r.left : r.top;
  m_positions[0] = start;
  for (int i = 0; i + 1 < n; ++i)
    m_positions[static_cast<size_t>(i) + 1] = m_positions[static_cast<size_t>(i)] + length(i) + b;
  m_positions[static_cast<size_t>(n)] = start + n * b + static_cast<int>(std::max(A, 0LL));
}

void CTreePropSheetSplitter::ApplyPanes() {
  if (!m_hWnd) return;
  for (int i = 0; i < m_nPanes; ++i) {
    CWnd* pane = m_panes[static_cast<size_t>(i)];
    if (pane && pane->m_hWnd) pane->MoveWindow(GetPaneRect(i), FALSE);
  }
  // The panes moved without painting: repaint them, and let the parent's erase
  // bring along whatever follows the panes.
  const CRect r = SplitterRect();
  ::RedrawWindow(::GetParent(m_hWnd), &r, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE | RDW_ALLCHILDREN);
}

void CTreePropSheetSplitter::OnPaint() {
  CPaintDC dc(this);
  RECT clip;
  dc.GetClipBox(&clip);
  HWND parent = ::GetParent(m_hWnd);
  auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(parent, WM_CTLCOLORDLG,
                                                       reinterpret_cast<WPARAM>(dc.GetSafeHdc()),
                                                       reinterpret_cast<LPARAM>(parent)));
  if (!brush) brush = ::GetSysColorBrush(COLOR_BTNFACE);
  const CRect r = SplitterRect();
  const int origin = m_nOrientation == kSideBySide ? r.left : r.top;
  for (int i = 1; i < m_nPanes; ++i) {
    const int end = m_positions[static_cast<size_t>(i)] - origin;
    RECT bar = clip;
    if (m_nOrientation == kSideBySide) {
      bar.left = end - m_nBarWidth;
      bar.right = end;
    } else {
      bar.top = end - m_nBarWidth;
      bar.bottom = end;
    }
    ::FillRect(dc.GetSafeHdc(), &bar, brush);
  }
}

void CTreePropSheetSplitter::DrawTracker() {
  const CRect r = SplitterRect();
  CWindowDC dc(this);
  CBrush* old = dc.SelectObject(CDC::GetHalftoneBrush());
  if (m_nOrientation == kSideBySide)
    dc.PatBlt(m_nDragPos - m_nBarWidth - r.left, 0, m_nBarWidth, m_nTrackerLength, PATINVERT);
  else
    dc.PatBlt(0, m_nDragPos - m_nBarWidth - r.top, m_nTrackerLength, m_nBarWidth, PATINVERT);
  dc.SelectObject(old);
}

void CTreePropSheetSplitter::OnLButtonDown(UINT, CPoint point) {
  if (!m_bEnabled || m_nPanes < 2) return;
  const int p = Along(point);
  SetCapture();
  m_nDragBar = m_nPanes - 1;
  for (int i = 1; i < m_nPanes; ++i) {
    if (m_positions[static_cast<size_t>(i)] >= p) {
      m_nDragBar = i;
      break;
    }
  }
  m_nDragPos = m_positions[static_cast<size_t>(m_nDragBar)];
  m_nGrabOffset = p - m_nDragPos;
  RECT client;
  GetClientRect(&client);
  m_nTrackerLength = m_nOrientation == kSideBySide ? client.bottom : client.right;
  DrawTracker();
}

void CTreePropSheetSplitter::OnMouseMove(UINT, CPoint point) {
  if (::GetCapture() != m_hWnd) return;
  DrawTracker();  // off at the old place
  const size_t i = static_cast<size_t>(m_nDragBar);
  int position = Along(point) - m_nGrabOffset;
  position = std::min(position, m_positions[i + 1] - m_minimums[i] - m_nBarWidth);
  position = std::max(position, m_positions[i - 1] + m_minimums[i - 1] + m_nBarWidth);
  m_nDragPos = position;
  DrawTracker();
  if (m_bFullDrag) {
    m_positions[i] = position;
    ApplyPanes();
  }
}

void CTreePropSheetSplitter::OnLButtonUp(UINT, CPoint) {
  if (::GetCapture() != m_hWnd) return;
  DrawTracker();
  ReleaseCapture();
  const size_t i = static_cast<size_t>(m_nDragBar);
  m_positions[i] = m_nDragPos;
  const long long A = Length(SplitterRect()) - m_nBarWidth * (m_nPanes - 1);
  if (A > 0) {
    m_fractions[i - 1] = static_cast<int>(
        ((m_positions[i] - m_positions[i - 1] - m_nBarWidth) * static_cast<long long>(kWhole) +
         A / 2) /
        A);
    m_fractions[i] = static_cast<int>(
        ((m_positions[i + 1] - m_nBarWidth - m_positions[i]) * static_cast<long long>(kWhole) +
         A / 2) /
        A);
  }
  ApplyPanes();
}

void CTreePropSheetSplitter::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  LayoutPanes();
  ApplyPanes();
}

BOOL CTreePropSheetSplitter::OnNcCreate(LPCREATESTRUCT cs) {
  if (!CWnd::OnNcCreate(cs)) return FALSE;
  // The panes draw their own edges.
  if (HWND parent = ::GetParent(m_hWnd))
    CWnd::ModifyStyleEx(parent, WS_EX_CLIENTEDGE, 0, SWP_FRAMECHANGED);
  return TRUE;
}

void CTreePropSheetSplitter::OnWindowPosChanging(WINDOWPOS* pos) {
  pos->flags |= SWP_NOCOPYBITS;
  CWnd::OnWindowPosChanging(pos);
}

int CTreePropSheetSplitter::OnCreate(LPCREATESTRUCT cs) { return CWnd::OnCreate(cs); }

}  // namespace TreePropSheet
