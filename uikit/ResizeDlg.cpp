#include "uikit/ResizeDlg.h"

#include "framework/win/MessageMap.h"

namespace {

constexpr UINT kClipOnEraseBit = 1u << 16;
constexpr UINT kRepaintOnMoveBit = 1u << 17;

// Moving-edge bits.
constexpr UINT kEdgeLeft = 1, kEdgeTop = 2, kEdgeRight = 4, kEdgeBottom = 8;

int Kind(UINT anchors, int shift) { return static_cast<int>((anchors >> shift) & 0xF); }

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

// Casts truncate toward zero, which is the rounding the layout needs.
LONG Trunc(double value) { return static_cast<LONG>(value); }

// One axis of the placement. near/far are R's edges on the axis, actualNear/
// actualFar the control's real edges; nearKind/farKind the record's kinds.
// Returns whether the axis keeps a running position.
bool PlaceAxis(int kind, int nearKind, int farKind, LONG& nearEdge, LONG& farEdge, LONG actualNear,
               LONG actualFar, int change, int changeSinceStart, int newSize, int initialSize,
               double ratio, double grow) {
  switch (kind) {
    case kAnchorFixed:
      if (nearKind == kAnchorScale || nearKind == kAnchorMoveAndGrow || farKind == kAnchorScale ||
          farKind == kAnchorMoveAndGrow) {
        nearEdge = actualNear;
        farEdge = actualFar;
        return false;
      }
      return true;
    case kAnchorStretch:
      farEdge += change;
      return true;
    case kAnchorMove:
      nearEdge += change;
      farEdge += change;
      return true;
    case kAnchorCentre: {
      LONG size = farEdge - nearEdge;
      nearEdge = Trunc(newSize * ratio - size * 0.5);
      farEdge = nearEdge + size;
      return true;
    }
    case kAnchorScale:
      if (initialSize != 0) {
        nearEdge = Trunc(static_cast<double>(nearEdge) * newSize / initialSize);
        farEdge = Trunc(static_cast<double>(farEdge) * newSize / initialSize);
      }
      return false;
    case kAnchorMoveAndGrow:
      farEdge = Trunc(farEdge + changeSinceStart * ratio + changeSinceStart * grow);
      nearEdge = nearEdge + Trunc(changeSinceStart * ratio);
      return false;
    default:
      return true;  // unknown kinds leave the axis at the stored rectangle
  }
}

// The moving edges for a WM_SIZE type, or 0 when nothing moves.
UINT MovingEdges(UINT type, UINT sizingEdge) {
  if (type == SIZE_RESTORED || type == SIZE_MAXIMIZED) return kEdgeRight | kEdgeBottom;
  switch (sizingEdge) {
    case WMSZ_LEFT:
      return kEdgeLeft;
    case WMSZ_RIGHT:
      return kEdgeRight;
    case WMSZ_TOP:
      return kEdgeTop;
    case WMSZ_TOPLEFT:
      return kEdgeLeft | kEdgeTop;
    case WMSZ_TOPRIGHT:
      return kEdgeTop | kEdgeRight;
    case WMSZ_BOTTOM:
      return kEdgeBottom;
    case WMSZ_BOTTOMLEFT:
      return kEdgeLeft | kEdgeBottom;
    case WMSZ_BOTTOMRIGHT:
      return kEdgeRight | kEdgeBottom;
    default:
      return 0;
  }
}

}  // namespace

// CSizeGripExt -------------------------------------------------------------

BOOL CSizeGripExt::PreCreateWindow(CREATESTRUCT& cs) {
  m_cx = ::GetSystemMetrics(SM_CXVSCROLL);
  m_cy = ::GetSystemMetrics(SM_CYHSCROLL);
  cs.cx = m_cx;
  cs.cy = m_cy;
  return CScrollBar::PreCreateWindow(cs);
}

BOOL CSizeGripExt::CreateGrip(CWnd* parent, BOOL visible, BOOL triangular) {
  const RECT rect{0, 0, m_cx, m_cy};
  if (!Create(WS_CHILD | WS_CLIPSIBLINGS | SBS_SIZEGRIP, rect, parent, 0)) return FALSE;
  SetTriangular(triangular);
  m_visible = visible;
  Reposition(parent);
  return TRUE;
}

void CSizeGripExt::SetTriangular(BOOL on) {
  m_triangular = on;
  if (!m_hWnd) return;
  HRGN region = nullptr;
  if (on) {
    const POINT corners[3] = {{0, m_cy}, {m_cx, m_cy}, {m_cx, 0}};
    region = ::CreatePolygonRgn(corners, 3, WINDING);
  }
  // The window owns the region from here on.
  ::SetWindowRgn(m_hWnd, region, IsWindowVisible());
}

void CSizeGripExt::Reposition(CWnd* parent) {
  if (!m_hWnd || !parent) return;
  RECT client;
  parent->GetClientRect(&client);
  const UINT flags = SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER |
                     (m_visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
  ::SetWindowPos(m_hWnd, HWND_BOTTOM, client.right - m_cx, client.bottom - m_cy, 0, 0, flags);
}

LRESULT CSizeGripExt::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCHITTEST:
      return (GetExStyle() & WS_EX_LAYOUTRTL) ? HTBOTTOMLEFT : HTBOTTOMRIGHT;
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_SETTINGCHANGE: {
      const int oldCx = m_cx, oldCy = m_cy;
      m_cx = ::GetSystemMetrics(SM_CXVSCROLL);
      m_cy = ::GetSystemMetrics(SM_CYHSCROLL);
      if (m_triangular) SetTriangular(TRUE);
      // Keep the lower right corner where it was.
      RECT rc;
      GetWindowRect(&rc);
      HWND parent = ::GetParent(m_hWnd);
      ::MapWindowPoints(nullptr, parent, reinterpret_cast<LPPOINT>(&rc), 2);
      ::SetWindowPos(m_hWnd, nullptr, rc.left + oldCx - m_cx, rc.top + oldCy - m_cy, m_cx, m_cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      ::InvalidateRect(m_hWnd, nullptr, TRUE);
      return 0;
    }
    default:
      return CScrollBar::WindowProc(message, wParam, lParam);
  }
}

// CResizeDlg ---------------------------------------------------------------

BEGIN_MESSAGE_MAP(CResizeDlg, CDialog)
ON_WM_SIZING()
ON_WM_SIZE()
ON_WM_GETMINMAXINFO()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CResizeDlg::CResizeDlg(UINT nIDTemplate, CWnd* pParent) : CDialog(nIDTemplate, pParent) {}

CResizeDlg::~CResizeDlg() {
  if (::IsWindow(m_grip.m_hWnd)) m_grip.DestroyWindow();
}

void CResizeDlg::AddControl(UINT id, int leftKind, int rightKind, int topKind, int bottomKind,
                            UINT flags, double ratioX, double growX, double ratioY, double growY) {
  AnchoredControl record{};
  record.id = id;
  record.anchors =
      (leftKind & 0xF) | (rightKind & 0xF) << 4 | (topKind & 0xF) << 8 | (bottomKind & 0xF) << 12;
  if (flags & kAnchorClipOnErase) record.anchors |= kClipOnEraseBit;
  if (flags & kAnchorRepaintOnMove) record.anchors |= kRepaintOnMoveBit;
  record.ratioX = ratioX;
  record.growX = growX;
  record.ratioY = ratioY;
  record.growY = growY;

  HWND control = ::GetDlgItem(m_hWnd, static_cast<int>(id));
  if (!control) return;  // caller error: no such child
  ::GetWindowRect(control, &record.rect);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(&record.rect), 2);

  RECT client;
  GetClientRect(&client);
  const int horizontal = leftKind == kAnchorCentre || leftKind == kAnchorScale ||
                         rightKind == kAnchorCentre || rightKind == kAnchorScale;
  const int vertical = topKind == kAnchorCentre || topKind == kAnchorScale ||
                       bottomKind == kAnchorCentre || bottomKind == kAnchorScale;
  if (horizontal && client.right > 0)
    record.ratioX = (record.rect.left + record.rect.right) * 0.5 / client.right;
  if (vertical && client.bottom > 0)
    record.ratioY = (record.rect.top + record.rect.bottom) * 0.5 / client.bottom;

  for (AnchoredControl& existing : m_controls) {
    if (existing.id == id) {
      existing = record;
      return;
    }
  }
  m_controls.push_back(record);
}

BOOL CResizeDlg::OnInitDialog() {
  BOOL result = CDialog::OnInitDialog();

  RECT client;
  GetClientRect(&client);
  ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<LPPOINT>(&client), 2);
  m_initialClientRect = m_previousClientRect = client;

  RECT window;
  GetWindowRect(&window);
  m_minTrackSize = SIZE{Width(window), Height(window)};

  m_grip.CreateGrip(this, TRUE, TRUE);  // the dialog works without it
  return result;
}

void CResizeDlg::OnSizing(UINT fwSide, LPRECT pRect) {
  CDialog::OnSizing(fwSide, pRect);
  m_sizingEdge = fwSide;
}

void CResizeDlg::OnSize(UINT nType, int cx, int cy) {
  CDialog::OnSize(nType, cx, cy);
  // Where the layout took a control from and where it put it: a moved or stretched
  // control, its children (a list's header) and the dialog behind it do not all repaint
  // by themselves.
  std::vector<RECT> redraw;
  if (!m_controls.empty()) {
    if (nType == SIZE_MINIMIZED) return;  // nothing moves; sizingEdge and grip stay
    RECT newClient;
    GetClientRect(&newClient);
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<LPPOINT>(&newClient), 2);
    if (UINT moving = MovingEdges(nType, m_sizingEdge)) {
      HDWP hdwp = ::BeginDeferWindowPos(static_cast<int>(m_controls.size()));
      for (AnchoredControl& control : m_controls)
        hdwp = PlaceControl(hdwp, control, moving, newClient, redraw);
      if (hdwp) ::EndDeferWindowPos(hdwp);
    }
    m_previousClientRect = newClient;
  }
  m_sizingEdge = 0;
  const RECT gripBefore = GripRect();
  m_grip.m_visible = !IsZoomed();
  m_grip.Reposition(this);
  const RECT gripAfter = GripRect();
  if (!::EqualRect(&gripBefore, &gripAfter)) {
    redraw.push_back(gripBefore);
    redraw.push_back(gripAfter);
  }
  for (const RECT& area : redraw)
    ::RedrawWindow(m_hWnd, &area, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

RECT CResizeDlg::GripRect() const {
  RECT rc{};
  if (!::IsWindow(m_grip.m_hWnd) || !m_grip.IsWindowVisible()) return rc;
  ::GetWindowRect(m_grip.m_hWnd, &rc);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(&rc), 2);
  return rc;
}

HDWP CResizeDlg::PlaceControl(HDWP hdwp, AnchoredControl& control, UINT movingEdges,
                              const RECT& newClient, std::vector<RECT>& redraw) {
  HWND hControl = ::GetDlgItem(m_hWnd, static_cast<int>(control.id));
  if (!hControl) return hdwp;
  RECT r = control.rect;
  RECT actual;
  ::GetWindowRect(hControl, &actual);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(&actual), 2);

  const int dW = Width(newClient) - Width(m_previousClientRect);
  const int dH = Height(newClient) - Height(m_previousClientRect);
  const int DW = Width(newClient) - Width(m_initialClientRect);
  const int DH = Height(newClient) - Height(m_initialClientRect);

  const int left = Kind(control.anchors, 0), right = Kind(control.anchors, 4);
  const int top = Kind(control.anchors, 8), bottom = Kind(control.anchors, 12);
  const int kindX = (movingEdges & kEdgeLeft) && left     ? left
                    : (movingEdges & kEdgeRight) && right ? right
                                                          : 0;
  const int kindY = (movingEdges & kEdgeTop) && top         ? top
                    : (movingEdges & kEdgeBottom) && bottom ? bottom
                                                            : 0;

  const bool keepX =
      PlaceAxis(kindX, left, right, r.left, r.right, actual.left, actual.right, dW, DW,
                Width(newClient), Width(m_initialClientRect), control.ratioX, control.growX);
  const bool keepY =
      PlaceAxis(kindY, top, bottom, r.top, r.bottom, actual.top, actual.bottom, dH, DH,
                Height(newClient), Height(m_initialClientRect), control.ratioY, control.growY);

  RECT compare = actual;
  if (keepX) compare.left = control.rect.left, compare.right = control.rect.right;
  if (keepY) compare.top = control.rect.top, compare.bottom = control.rect.bottom;
  if (::EqualRect(&r, &compare)) return hdwp;

  const bool repaint = (control.anchors & kRepaintOnMoveBit) != 0;
  if (repaint) ::InvalidateRect(hControl, nullptr, TRUE);
  if (hdwp)
    hdwp =
        ::DeferWindowPos(hdwp, hControl, nullptr, r.left, r.top, Width(r), Height(r), SWP_NOZORDER);
  if (repaint) {
    ::InvalidateRect(m_hWnd, &compare, TRUE);
    ::UpdateWindow(m_hWnd);
  }
  redraw.push_back(actual);
  redraw.push_back(r);
  if (keepX) control.rect.left = r.left, control.rect.right = r.right;
  if (keepY) control.rect.top = r.top, control.rect.bottom = r.bottom;
  return hdwp;
}

void CResizeDlg::OnGetMinMaxInfo(MINMAXINFO* lpMMI) {
  lpMMI->ptMinTrackSize.x = m_minTrackSize.cx;
  lpMMI->ptMinTrackSize.y = m_minTrackSize.cy;
}

BOOL CResizeDlg::OnEraseBkgnd(CDC* pDC) {
  if (!(GetStyle() & WS_CLIPCHILDREN)) {
    for (const AnchoredControl& control : m_controls) {
      if (!(control.anchors & kClipOnEraseBit)) continue;
      HWND hControl = ::GetDlgItem(m_hWnd, static_cast<int>(control.id));
      if (hControl && ::IsWindowVisible(hControl)) pDC->ExcludeClipRect(&control.rect);
    }
  }
  Default();
  return FALSE;
}
