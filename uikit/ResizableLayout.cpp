#include "uikit/ResizableLayout.h"

#include "framework/win/WinApp.h"

const UINT WMU_RESIZESUPPORT = ::RegisterWindowMessageW(L"WMU_RESIZESUPPORT");

namespace {

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

bool IsClass(const LayoutInfo& info, LPCWSTR name) { return ::_wcsicmp(info.className, name) == 0; }

RECT RectInParent(HWND control, HWND parent) {
  RECT rc{};
  ::GetWindowRect(control, &rc);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<LPPOINT>(&rc), 2);
  return rc;
}

DWORD StyleOf(HWND hWnd) { return static_cast<DWORD>(::GetWindowLongPtrW(hWnd, GWL_STYLE)); }

}  // namespace

// CResizableLayout -------------------------------------------------------------

void CResizableLayout::AnchorControl(UINT id, SIZE anchorTopLeft, SIZE anchorBottomRight) {
  AnchorControl(::GetDlgItem(GetLayoutWindow()->GetSafeHwnd(), static_cast<int>(id)), anchorTopLeft,
                anchorBottomRight);
}

void CResizableLayout::AnchorControl(HWND control, SIZE anchorTopLeft, SIZE anchorBottomRight) {
  if (!::IsWindow(control)) return;  // caller error: nothing to anchor
  LayoutInfo info;
  wchar_t className[261] = {};
  ::GetClassNameW(control, className, 260);
  info.className = className;
  info.hWnd = control;

  RECT layout;
  GetLayoutClientRect(&layout);
  RECT rc = RectInParent(control, GetLayoutWindow()->GetSafeHwnd());
  ::OffsetRect(&rc, -layout.left, -layout.top);
  if (anchorBottomRight.cx == kAnchorNone.cx && anchorBottomRight.cy == kAnchorNone.cy)
    anchorBottomRight = anchorTopLeft;
  const int w = Width(layout), h = Height(layout);
  info.anchorTopLeft = anchorTopLeft;
  info.anchorBottomRight = anchorBottomRight;
  info.marginTopLeft = {rc.left - anchorTopLeft.cx * w / 100, rc.top - anchorTopLeft.cy * h / 100};
  info.marginBottomRight = {rc.right - anchorBottomRight.cx * w / 100,
                            rc.bottom - anchorBottomRight.cy * h / 100};
  QueryControlLayout(info);
  m_anchors.push_back(info);
  m_anchorMap[control] = m_anchors.size() - 1;
}

void CResizableLayout::AddCallbackRecord(UINT callbackId) {
  LayoutInfo info;
  info.callbackId = callbackId;
  m_callbacks.push_back(info);
}

void CResizableLayout::ClearAnchors() {
  m_anchorMap.clear();
  m_anchors.clear();
  m_callbacks.clear();
}

const LayoutInfo* CResizableLayout::FindAnchor(HWND control) const {
  auto it = m_anchorMap.find(control);
  return it == m_anchorMap.end() ? nullptr : &m_anchors[it->second];
}

RECT CResizableLayout::CalcControlRect(const LayoutInfo& info, const RECT& layout) {
  const int w = Width(layout), h = Height(layout);
  return RECT{layout.left + w * info.anchorTopLeft.cx / 100 + info.marginTopLeft.cx,
              layout.top + h * info.anchorTopLeft.cy / 100 + info.marginTopLeft.cy,
              layout.left + w * info.anchorBottomRight.cx / 100 + info.marginBottomRight.cx,
              layout.top + h * info.anchorBottomRight.cy / 100 + info.marginBottomRight.cy};
}

void CResizableLayout::QueryControlLayout(LayoutInfo& info) {
  info.answersResizeSupport = ::SendMessageW(info.hWnd, WMU_RESIZESUPPORT, RSZSUP_QUERYPROPERTIES,
                                             reinterpret_cast<LPARAM>(&info.properties)) != 0;
  if (info.answersResizeSupport) return;
  // Clipping depends on the style alone: decided once. Repainting depends on the move.
  info.properties.askClipping = FALSE;
  info.properties.cachedClipping = CanClipControl(info);
  info.properties.askRepaint = TRUE;
}

BOOL CResizableLayout::CanClipControl(const LayoutInfo& info) {
  if (info.answersResizeSupport) {
    BOOL answer = FALSE;
    if (::SendMessageW(info.hWnd, WMU_RESIZESUPPORT, RSZSUP_LIKESCLIPPING,
                       reinterpret_cast<LPARAM>(&answer)))
      return answer;
  }
  const DWORD style = StyleOf(info.hWnd);
  if (IsClass(info, L"ToolbarWindow32")) return (style & TBSTYLE_TRANSPARENT) ? FALSE : TRUE;
  if (IsClass(info, L"Button")) {
    const DWORD kind = style & 0xF;
    if (kind == BS_GROUPBOX) return FALSE;
    if (kind == BS_OWNERDRAW) {
      // An owner-draw button that lets clicks through shows what lies beneath.
      RECT rc;
      ::GetWindowRect(info.hWnd, &rc);
      const LRESULT hit = ::SendMessageW(info.hWnd, WM_NCHITTEST, 0, MAKELPARAM(rc.left, rc.top));
      if (hit == HTTRANSPARENT) return FALSE;
    }
    return TRUE;
  }
  if (IsClass(info, L"Static")) {
    const DWORD kind = style & SS_TYPEMASK;
    if (kind == SS_ICON || kind == SS_ENHMETAFILE) return (style & SS_CENTERIMAGE) ? FALSE : TRUE;
    if ((kind >= 7 && kind <= 10) || kind == 13 || kind >= 18) return FALSE;
    return TRUE;
  }
  return TRUE;
}

BOOL CResizableLayout::ControlNeedsRepaint(const LayoutInfo& info, const RECT& oldRect,
                                           const RECT& newRect) {
  if (info.answersResizeSupport) {
    REFRESHPROPERTY question{TRUE, oldRect, newRect};
    if (::SendMessageW(info.hWnd, WMU_RESIZESUPPORT, RSZSUP_NEEDSREFRESH,
                       reinterpret_cast<LPARAM>(&question)))
      return question.needsRepaint;
  }
  const int dW = Width(newRect) - Width(oldRect);
  const int dH = Height(newRect) - Height(oldRect);
  if (dW == 0 && dH == 0) return FALSE;
  const DWORD style = StyleOf(info.hWnd);
  if (IsClass(info, L"Static")) {
    const DWORD kind = style & SS_TYPEMASK;
    // Aligned text moves within the control when its width changes.
    if (kind <= SS_RIGHT || kind == SS_LEFTNOWORDWRAP) {
      if ((style & SS_CENTERIMAGE) && dH != 0) return TRUE;
      if (kind == SS_LEFTNOWORDWRAP) return (style & SS_ELLIPSISMASK) && dW != 0;
      return dW != 0;
    }
    switch (kind) {
      case 3:
      case 7:
      case 8:
      case 9:
      case 14:
      case 15:
      case 18:
        return TRUE;
      default:
        return FALSE;
    }
  }
  if (IsClass(info, L"ListBox") && dW > 0) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    if (::GetScrollInfo(info.hWnd, SB_HORZ, &si)) {
      const int maxPos = si.nMax - static_cast<int>(si.nPage) + 1;
      if (maxPos > 0 && maxPos < si.nPos + dW) return TRUE;
    }
  }
  return FALSE;
}

void CResizableLayout::GetLayoutClientRect(RECT* rect) { GetLayoutWindow()->GetClientRect(rect); }

BOOL CResizableLayout::UpdateCallbackAnchor(LayoutInfo&) { return FALSE; }

UINT CResizableLayout::CalcMove(const LayoutInfo& info, const RECT& layoutRect, RECT& newRect) {
  const RECT current = RectInParent(info.hWnd, GetLayoutWindow()->GetSafeHwnd());
  newRect = CalcControlRect(info, layoutRect);
  const BOOL repaint = info.properties.askRepaint ? ControlNeedsRepaint(info, current, newRect)
                                                  : info.properties.cachedRepaint;
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
  if (repaint) flags |= SWP_NOCOPYBITS;
  if (newRect.left == current.left && newRect.top == current.top) flags |= SWP_NOMOVE;
  if (Width(newRect) == Width(current) && Height(newRect) == Height(current)) flags |= SWP_NOSIZE;
  return flags;
}

void CResizableLayout::ApplyLayout() {
  RECT layout;
  GetLayoutClientRect(&layout);
  HDWP hdwp = ::BeginDeferWindowPos(static_cast<int>(m_anchors.size() + m_callbacks.size()));
  auto defer = [&](const LayoutInfo& info) {
    RECT rc;
    const UINT flags = CalcMove(info, layout, rc);
    if ((flags & (SWP_NOMOVE | SWP_NOSIZE)) == (SWP_NOMOVE | SWP_NOSIZE)) return;
    if (hdwp)
      hdwp =
          ::DeferWindowPos(hdwp, info.hWnd, nullptr, rc.left, rc.top, Width(rc), Height(rc), flags);
  };
  for (const LayoutInfo& info : m_anchors) defer(info);
  for (LayoutInfo& info : m_callbacks)
    if (UpdateCallbackAnchor(info)) defer(info);
  if (hdwp) ::EndDeferWindowPos(hdwp);
}

void CResizableLayout::BuildClipRegion(CRgn* region) {
  HWND hLayout = GetLayoutWindow()->GetSafeHwnd();
  RECT client;
  ::GetClientRect(hLayout, &client);
  if (region->GetSafeHandle())
    ::SetRectRgn(*region, client.left, client.top, client.right, client.bottom);
  else
    region->CreateRectRgnIndirect(&client);

  auto add = [&](const LayoutInfo& info) {
    if (!::IsWindowVisible(info.hWnd)) return;
    const RECT rc = RectInParent(info.hWnd, hLayout);
    HRGN part = ::CreateRectRgn(0, 0, 0, 0);
    const int kind = ::GetWindowRgn(info.hWnd, part);
    if (kind == SIMPLEREGION || kind == COMPLEXREGION)
      ::OffsetRgn(part, rc.left, rc.top);
    else
      ::SetRectRgn(part, rc.left, rc.top, rc.right, rc.bottom);
    const BOOL clip =
        info.properties.askClipping ? CanClipControl(info) : info.properties.cachedClipping;
    ::CombineRgn(*region, *region, part, clip ? RGN_DIFF : RGN_OR);
    ::DeleteObject(part);
  };
  for (const LayoutInfo& info : m_anchors) add(info);
  for (LayoutInfo& info : m_callbacks)
    if (UpdateCallbackAnchor(info)) add(info);

  if (::GetWindowLongPtrW(hLayout, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) region->OffsetRgn(-1, 0);
}

void CResizableLayout::FillBackground(CDC* pDC) {
  HWND hLayout = GetLayoutWindow()->GetSafeHwnd();
  HBRUSH brush = nullptr;
  if (::GetClassLongPtrW(hLayout, GCW_ATOM) == 32770) {
    brush = reinterpret_cast<HBRUSH>(::SendMessageW(hLayout, WM_CTLCOLORDLG,
                                                    reinterpret_cast<WPARAM>(pDC->GetSafeHdc()),
                                                    reinterpret_cast<LPARAM>(hLayout)));
  } else {
    brush = reinterpret_cast<HBRUSH>(::GetClassLongPtrW(hLayout, GCLP_HBRBACKGROUND));
    // A class brush may be a system colour index plus one.
    const auto value = reinterpret_cast<UINT_PTR>(brush);
    if (value != 0 && value <= COLOR_MENUBAR + 1)
      brush = ::GetSysColorBrush(static_cast<int>(value - 1));
  }
  if (!brush) return;
  CRgn region;
  BuildClipRegion(&region);
  ::FillRgn(pDC->GetSafeHdc(), region, brush);
}

// CResizableGrip ---------------------------------------------------------------

CResizableGrip::~CResizableGrip() {
  if (::IsWindow(m_grip.m_hWnd)) m_grip.DestroyWindow();
}

void CResizableGrip::AddGripShowReason(DWORD* status, DWORD mask) {
  if (*status & mask) return;
  *status |= mask;
  ++m_showCount;
}

void CResizableGrip::RemoveGripShowReason(DWORD* status, DWORD mask) {
  if (!(*status & mask)) return;
  *status &= ~mask;
  --m_showCount;
}

void CResizableGrip::PlaceGrip() {
  CWnd* owner = GetResizableWnd();
  if (!m_grip.m_hWnd || !owner) return;
  RECT client;
  owner->GetClientRect(&client);
  const UINT flags = SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER |
                     (m_showCount > 0 ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
  ::SetWindowPos(m_grip.m_hWnd, HWND_BOTTOM, client.right - m_grip.m_cx,
                 client.bottom - m_grip.m_cy, 0, 0, flags);
}

BOOL CResizableGrip::CreateGrip(BOOL visible, BOOL triangular) {
  if (!m_grip.CreateGrip(GetResizableWnd(), FALSE, triangular)) return FALSE;
  SetGripVisible(visible);
  PlaceGrip();
  return TRUE;
}

// CResizableMinMax -------------------------------------------------------------

void CResizableMinMax::SetMinTrack(POINT size) {
  m_ptMinTrackSize = size;
  m_bUseMinTrack = TRUE;
}

void CResizableMinMax::SetMaxTrack(POINT size) {
  m_ptMaxTrackSize = size;
  m_bUseMaxTrack = TRUE;
}

void CResizableMinMax::ApplyMinMax(MINMAXINFO* info) const {
  if (m_bUseMinTrack) info->ptMinTrackSize = m_ptMinTrackSize;
  if (m_bUseMaxTrack) info->ptMaxTrackSize = m_ptMaxTrackSize;
  if (m_bUseMaxRect) {
    info->ptMaxPosition = m_ptMaxPos;
    info->ptMaxSize = m_ptMaxSize;
  }
}

// CResizableState --------------------------------------------------------------

BOOL CResizableState::StorePlacementString(LPCWSTR section, BOOL rectOnly) {
  CWnd* wnd = GetResizableWnd();
  WINDOWPLACEMENT wp{};
  wp.length = sizeof(wp);
  if (!wnd || !wnd->GetWindowPlacement(&wp)) return FALSE;
  RECT rc = wp.rcNormalPosition;
  UINT showCmd = wp.showCmd, flags = wp.flags;
  if (rectOnly) {
    wnd->GetWindowRect(&rc);
    showCmd = SW_SHOWNORMAL;
    flags = 0;
  }
  CString text;
  text.Format(L"%d,%d,%d,%d,%d,%d", rc.left, rc.top, rc.right, rc.bottom, showCmd, flags);
  CWinApp* app = AfxGetApp();
  return app ? app->WriteProfileString(section, L"WindowPlacement", text) : FALSE;
}
