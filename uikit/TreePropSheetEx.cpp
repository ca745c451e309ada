#include "uikit/TreePropSheetEx.h"

namespace TreePropSheet {

namespace {

constexpr UINT kTabControlId = 0x3020;
constexpr UINT kWizardDividerId = 0x3026;
constexpr UINT kSheetButtons[] = {IDOK, IDCANCEL, 0x3021, IDHELP, 0x3023, 0x3024, 0x3025};
constexpr UINT kTabRecord = 1;
constexpr UINT kPageRecord = 2;

RECT RectIn(HWND child, HWND parent) {
  RECT rc{};
  ::GetWindowRect(child, &rc);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<LPPOINT>(&rc), 2);
  return rc;
}

HWND CurrentPage(CPropertySheet* sheet) {
  return reinterpret_cast<HWND>(sheet->SendMessage(PSM_GETCURRENTPAGEHWND));
}

void SetMargins(LayoutInfo& info, const RECT& rc, const RECT& layout) {
  info.anchorTopLeft = kAnchorTopLeft;
  info.anchorBottomRight = kAnchorBottomRight;
  info.marginTopLeft = {rc.left - layout.left, rc.top - layout.top};
  info.marginBottomRight = {rc.right - layout.right, rc.bottom - layout.bottom};
}

}  // namespace

// CResizableSheetHook ----------------------------------------------------------

void CResizableSheetHook::AttachToSheet() {
  AttachHook(m_pSheet);
  if (m_pSheet->GetStyle() & WS_POPUP) CreateGrip(TRUE, TRUE);
  RECT window;
  m_pSheet->GetWindowRect(&window);
  SetMinTrack({window.right - window.left, window.bottom - window.top});
  PresetLayout();
  if (HWND tab = ::GetDlgItem(m_pSheet->m_hWnd, kTabControlId))
    CWnd::ModifyStyle(tab, 0, WS_CLIPSIBLINGS, 0);
}

BOOL CResizableSheetHook::IsWizardSheet() const {
  return (m_pSheet->m_psh.dwFlags & PSH_WIZARD) != 0;
}

void CResizableSheetHook::StorePageMargins() {
  RECT layout;
  GetLayoutClientRect(&layout);
  HWND page = CurrentPage(m_pSheet);
  if (!page) return;
  const RECT rc = RectIn(page, m_pSheet->m_hWnd);
  m_pageMargins = {rc.left - layout.left, rc.top - layout.top, rc.right - layout.right,
                   rc.bottom - layout.bottom};
}

void CResizableSheetHook::AnchorSheetButtons() {
  for (UINT id : kSheetButtons)
    if (HWND button = ::GetDlgItem(m_pSheet->m_hWnd, static_cast<int>(id)))
      AnchorControl(button, kAnchorBottomRight, kAnchorNone);
}

void CResizableSheetHook::PresetLayout() {
  if (IsWizardSheet()) {
    if (HWND tab = ::GetDlgItem(m_pSheet->m_hWnd, kTabControlId)) ::ShowWindow(tab, SW_HIDE);
    AnchorControl(::GetDlgItem(m_pSheet->m_hWnd, kWizardDividerId), kAnchorBottomLeft,
                  kAnchorBottomRight);
  } else {
    AnchorControl(::GetDlgItem(m_pSheet->m_hWnd, kTabControlId), kAnchorTopLeft,
                  kAnchorBottomRight);
  }
  AddCallbackRecord(kTabRecord);
  StorePageMargins();
  AnchorSheetButtons();
}

BOOL CResizableSheetHook::FillPageRecord(LayoutInfo& info) {
  info.hWnd = CurrentPage(m_pSheet);
  if (!::IsWindow(info.hWnd)) return FALSE;
  info.className = L"#32770";
  info.properties = {FALSE, FALSE, TRUE, FALSE};  // a page paints all of its area
  RECT layout;
  GetLayoutClientRect(&layout);
  if (IsWizardSheet()) {
    info.anchorTopLeft = kAnchorTopLeft;
    info.anchorBottomRight = kAnchorBottomRight;
    info.marginTopLeft = {m_pageMargins.left, m_pageMargins.top};
    info.marginBottomRight = {m_pageMargins.right, m_pageMargins.bottom};
    return TRUE;
  }
  HWND tab = ::GetDlgItem(m_pSheet->m_hWnd, kTabControlId);
  const LayoutInfo* tabInfo = FindAnchor(tab);
  if (!tabInfo) return FALSE;
  RECT display = CalcControlRect(*tabInfo, layout);
  ::SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  SetMargins(info, display, layout);
  return TRUE;
}

BOOL CResizableSheetHook::UpdateCallbackAnchor(LayoutInfo& info) {
  if (info.callbackId != kTabRecord) return FALSE;
  return FillPageRecord(info);
}

LRESULT CResizableSheetHook::OnHookedMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE: {
      const LRESULT result = CHookWnd::OnHookedMessage(message, wParam, lParam);
      if (wParam == SIZE_MAXSHOW || wParam == SIZE_MAXHIDE) return result;
      if (wParam == SIZE_MAXIMIZED)
        RemoveGripShowReason(&m_dwGripReasons, kNotMaximised);
      else
        AddGripShowReason(&m_dwGripReasons, kNotMaximised);
      // Placed (and so shown or hidden) whenever it exists.
      PlaceGrip();
      ApplyLayout();
      OnLayoutApplied();
      return result;
    }
    case WM_ERASEBKGND:
      FillBackground(CDC::FromHandle(reinterpret_cast<HDC>(wParam)));
      return 0;
    case WM_GETMINMAXINFO:
      ApplyMinMax(reinterpret_cast<MINMAXINFO*>(lParam));
      return CHookWnd::OnHookedMessage(message, wParam, lParam);
    case WM_DESTROY:
      ClearAnchors();
      return CHookWnd::OnHookedMessage(message, wParam, lParam);
    default:
      return CHookWnd::OnHookedMessage(message, wParam, lParam);
  }
}

// CTreePropSheetResizableLibHook ------------------------------------------------

CTreePropSheetResizableLibHook::CTreePropSheetResizableLibHook(CTreePropSheetEx* sheet)
    : CResizableSheetHook(sheet), m_pTreeSheet(sheet) {}

BOOL CTreePropSheetResizableLibHook::IsWizardSheet() const {
  return (m_pSheet->m_psh.dwFlags & (PSH_WIZARD | PSH_WIZARD97)) != 0;
}

void CTreePropSheetResizableLibHook::PresetLayout() {
  CPropPageFrame* frame = m_pTreeSheet->GetPageFrame();
  CTreePropSheetSplitter* splitter = m_pTreeSheet->GetSplitter();
  if (!m_pTreeSheet->IsTreeShown() || !frame || !splitter || !splitter->m_hWnd) {
    CResizableSheetHook::PresetLayout();
    return;
  }
  HWND frameWnd = frame->GetFrameWnd()->m_hWnd;
  if (CTreePropSheetTreeCtrl* tree = m_pTreeSheet->GetPageTree())
    tree->ModifyStyle(0, WS_CLIPSIBLINGS);
  CWnd::ModifyStyle(frameWnd, 0, WS_CLIPSIBLINGS, 0);
  AnchorControl(splitter->m_hWnd, kAnchorTopLeft, kAnchorBottomRight);
  if (HWND page = CurrentPage(m_pSheet)) {
    const RECT frameRect = RectIn(frameWnd, m_pSheet->m_hWnd);
    const RECT pageRect = RectIn(page, m_pSheet->m_hWnd);
    m_pageInset = {pageRect.left - frameRect.left, pageRect.top - frameRect.top,
                   frameRect.right - pageRect.right, frameRect.bottom - pageRect.bottom};
  }
  AddCallbackRecord(kTabRecord);
  AddCallbackRecord(kPageRecord);
  StorePageMargins();
  AnchorSheetButtons();
}

BOOL CTreePropSheetResizableLibHook::UpdateCallbackAnchor(LayoutInfo& info) {
  CPropPageFrame* frame = m_pTreeSheet->GetPageFrame();
  if (!m_pTreeSheet->IsTreeShown() || !frame)
    return CResizableSheetHook::UpdateCallbackAnchor(info);
  if (info.callbackId != kTabRecord && info.callbackId != kPageRecord)
    return CResizableSheetHook::UpdateCallbackAnchor(info);

  const RECT frameRect = RectIn(frame->GetFrameWnd()->m_hWnd, m_pSheet->m_hWnd);
  RECT client;
  m_pSheet->GetClientRect(&client);
  RECT target = frameRect;
  if (info.callbackId == kTabRecord) {
    info.hWnd = ::GetDlgItem(m_pSheet->m_hWnd, kTabControlId);
    if (!info.hWnd) return FALSE;
  } else {
    info.hWnd = CurrentPage(m_pSheet);
    if (!::IsWindow(info.hWnd)) return FALSE;
    target = {frameRect.left + m_pageInset.left, frameRect.top + m_pageInset.top,
              frameRect.right - m_pageInset.right, frameRect.bottom - m_pageInset.bottom};
  }
  info.className = info.callbackId == kTabRecord ? L"SysTabControl32" : L"#32770";
  info.properties = {FALSE, FALSE, info.callbackId == kPageRecord, FALSE};
  ::SetWindowPos(info.hWnd, nullptr, target.left, target.top, target.right - target.left,
                 target.bottom - target.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  SetMargins(info, target, client);
  return TRUE;
}

void CTreePropSheetResizableLibHook::OnLayoutApplied() {
  // The frame got its new place only when the batch ended; the page catches up now.
  if (!m_pTreeSheet->IsTreeShown()) return;
  for (LayoutInfo& info : m_callbacks) {
    if (info.callbackId != kPageRecord || !UpdateCallbackAnchor(info)) continue;
    ::RedrawWindow(info.hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
}

// CTreePropSheetEx --------------------------------------------------------------

BEGIN_MESSAGE_MAP(CTreePropSheetEx, CTreePropSheetBase)
ON_WM_CREATE()
ON_WM_CONTEXTMENU()
ON_MESSAGE(WM_HELP, OnHelp)
ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
END_MESSAGE_MAP()

CTreePropSheetEx::CTreePropSheetEx() { SetExDefaults(); }

CTreePropSheetEx::CTreePropSheetEx(LPCTSTR caption, CWnd* parent, UINT selectPage)
    : CTreePropSheetBase(caption, parent, selectPage) {
  SetExDefaults();
}

void CTreePropSheetEx::SetExDefaults() {
  m_bSkipEmptyPages = false;
  m_psh.dwFlags &= ~static_cast<DWORD>(PSH_HASHELP);
}

CTreePropSheetEx::~CTreePropSheetEx() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
  delete m_pResizeHook;  // detaches itself when still attached
  m_pResizeHook = nullptr;
  delete m_pSplitter;
  m_pSplitter = nullptr;
}

BOOL CTreePropSheetEx::SetSheetResizable(BOOL resizable) {
  if (m_hWnd) return FALSE;
  m_bResizable = resizable != FALSE;
  return TRUE;
}

BOOL CTreePropSheetEx::SetTreePaneWidth(int width) {
  if ((m_hWnd && !m_bResizable) || width < 0) return FALSE;
  m_nTreePaneWidth = width;
  return TRUE;
}

void CTreePropSheetEx::SetSplitterEnabled(BOOL enabled) {
  m_bSplitterEnabled = enabled != FALSE;
  if (m_hWnd && m_pSplitter && m_pSplitter->m_hWnd) m_pSplitter->SetEnabled(m_bSplitterEnabled);
}

void CTreePropSheetEx::SetTreePaneScaling(BOOL scales) {
  m_bTreePaneScales = scales;
  if (m_pSplitter) {
    const bool frozen[2] = {!scales, false};
    m_pSplitter->SetFrozen(frozen);
  }
}

void CTreePropSheetEx::SetFullDrag(BOOL fullDrag) {
  m_bFullDrag = fullDrag;
  if (m_pSplitter) m_pSplitter->SetFullDrag(fullDrag != FALSE);
}

CTreePropSheetSplitter* CTreePropSheetEx::MakeSplitter() {
  const int minimums[2] = {m_nTreePaneMinimum, m_nFramePaneMinimum};
  delete m_pSplitter;
  m_pSplitter = new CTreePropSheetSplitter(2, CTreePropSheetSplitter::kSideBySide, minimums,
                                           m_nSplitterWidth);
  return m_pSplitter;
}

CTreePropSheetResizableLibHook* CTreePropSheetEx::MakeResizeHook() {
  delete m_pResizeHook;
  m_pResizeHook = new CTreePropSheetResizableLibHook(this);
  return m_pResizeHook;
}

BOOL CTreePropSheetEx::OnInitDialog() {
  CTreePropSheetBase::OnInitDialog();
  if (IsTreeShown() && m_bResizable && m_pTree && m_pFrame) {
    MakeSplitter();
    CWnd* frame = m_pFrame->GetFrameWnd();
    CRect treeRect, frameRect, both;
    ::GetWindowRect(m_pTree->m_hWnd, &treeRect);
    ::GetWindowRect(frame->m_hWnd, &frameRect);
    both.UnionRect(&treeRect, &frameRect);
    ScreenToClient(&both);
    // The widths the panes have now, before the splitter places them.
    const int sizes[2] = {treeRect.Width(), frameRect.Width()};
    m_pSplitter->CreateSplitter(this, both, kSplitterId);
    m_pSplitter->SetPane(0, m_pTree);
    m_pSplitter->SetPane(1, frame);
    m_pSplitter->SetPaneSizes(sizes);
    SetTreePaneScaling(m_bTreePaneScales);
    m_pSplitter->SetFullDrag(m_bFullDrag != FALSE);
    m_pSplitter->SetEnabled(m_bSplitterEnabled);
  }
  if (!m_bResizable) return TRUE;
  MakeResizeHook()->AttachToSheet();
  return TRUE;
}

int CTreePropSheetEx::OnCreate(LPCREATESTRUCT cs) {
  const int result = CTreePropSheetBase::OnCreate(cs);
  if (result == -1) return -1;
  if (!m_bResizable) return 0;
  if (GetStyle() & WS_POPUP) ModifyStyle(DS_MODALFRAME, WS_POPUP | WS_THICKFRAME);
  // The client area keeps its size under the thicker frame.
  RECT client;
  GetClientRect(&client);
  ::AdjustWindowRectEx(&client, GetStyle(), ::GetMenu(m_hWnd) != nullptr, GetExStyle());
  SetWindowPos(nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return 0;
}

void CTreePropSheetEx::OnContextMenu(CWnd* pWnd, CPoint) {
  if (!IsTreeShown()) return;
  HWND from = pWnd->GetSafeHwnd();
  if (m_pTree && from == m_pTree->m_hWnd) return;
  if (m_pFrame && m_pFrame->GetFrameWnd() && from == m_pFrame->GetFrameWnd()->m_hWnd) return;
  Default();
}

LRESULT CTreePropSheetEx::OnHelp(WPARAM, LPARAM lParam) {
  if (CPropertyPage* page = GetActivePage()) {
    page->SendMessage(WM_HELP, 0, lParam);
    return TRUE;
  }
  return Default();
}

LRESULT CTreePropSheetEx::OnKickIdle(WPARAM, LPARAM) {
  // Only the second page wants idle time.
  if (GetActiveIndex() == 1)
    if (CPropertyPage* page = GetActivePage()) page->SendMessage(WM_KICKIDLE, 0, 0);
  return 0;
}

}  // namespace TreePropSheet
