#include "uikit/PropPageFrame.h"

#include <vssym32.h>

#include "uikit/MemDC2.h"

namespace TreePropSheet {

namespace {

template <class Fn>
void Resolve(HMODULE module, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// Opens the "Tab" theme of a window for one use.
class ScopedTheme {
 public:
  explicit ScopedTheme(HWND hWnd) : m_theme(CThemeLibEx::Instance().OpenThemeData(hWnd, L"Tab")) {}
  ~ScopedTheme() {
    if (m_theme) CThemeLibEx::Instance().CloseThemeData(m_theme);
  }
  ScopedTheme(const ScopedTheme&) = delete;
  ScopedTheme& operator=(const ScopedTheme&) = delete;
  HTHEME get() const { return m_theme; }

 private:
  HTHEME m_theme;
};

// The tab pane's content rectangle for the client rectangle; false when the
// theme does not open.
bool ThemedContentRect(HWND hWnd, const RECT& client, RECT* content) {
  ScopedTheme theme(hWnd);
  if (!theme.get()) return false;
  HDC hdc = ::GetDC(hWnd);
  *content = client;
  CThemeLibEx::Instance().GetThemeBackgroundContentRect(theme.get(), hdc, TABP_PANE, 0, &client,
                                                        content);
  ::ReleaseDC(hWnd, hdc);
  return true;
}

}  // namespace

DWORD WindowsMajorVersion() { return LOBYTE(LOWORD(::GetVersion())); }

// CPropPageFrame ---------------------------------------------------------------

void CPropPageFrame::SafeInvalidate(const RECT& rect) {
  CWnd* wnd = GetFrameWnd();
  if (wnd && ::IsWindow(wnd->m_hWnd)) wnd->InvalidateRect(&rect, TRUE);
}

void CPropPageFrame::SetCaptionVisible(BOOL visible) {
  m_bShowCaption = visible;
  SafeInvalidate(CalcCaptionRect());
}

void CPropPageFrame::SetCaptionBandHeight(int height) {
  m_nCaptionHeight = height;
  SafeInvalidate(CalcCaptionRect());
}

void CPropPageFrame::SetCaptionText(const CString& text, HICON icon) {
  m_strCaption = text;
  m_hCaptionIcon = icon;
  SafeInvalidate(CalcCaptionRect());
}

void CPropPageFrame::SetMessageText(const CString& text) {
  m_strMessage = text;
  SafeInvalidate(CalcPageRect());
}

void CPropPageFrame::SetMessageFormat(UINT format) {
  m_nMessageFormat = format;
  SafeInvalidate(CalcPageRect());
}

void CPropPageFrame::PaintFrame(CDC* pDC) {
  if (m_bShowCaption) PaintCaption(pDC, CalcCaptionRect(), m_strCaption, m_hCaptionIcon);
  PaintMessage(pDC, CalcPageRect(), m_strMessage, m_nMessageFormat);
}

CRect CPropPageFrame::CalcPageRect() {
  CRect rect;
  CWnd* wnd = GetFrameWnd();
  if (wnd && wnd->m_hWnd) wnd->GetClientRect(&rect);
  if (m_bShowCaption) rect.top += m_nCaptionHeight;
  return rect;
}

void CPropPageFrame::PaintMessage(CDC* pDC, const CRect& rect, const CString& text, UINT format) {
  HGDIOBJ oldFont = ::SelectObject(pDC->GetSafeHdc(), ::GetStockObject(DEFAULT_GUI_FONT));
  const int oldMode = ::SetBkMode(pDC->GetSafeHdc(), TRANSPARENT);
  CRect area = rect;
  pDC->DrawText(text, area, format);
  ::SetBkMode(pDC->GetSafeHdc(), oldMode);
  ::SelectObject(pDC->GetSafeHdc(), oldFont);
}

CRect CPropPageFrame::CalcCaptionRect() {
  CRect rect;
  CWnd* wnd = GetFrameWnd();
  if (wnd && wnd->m_hWnd) wnd->GetClientRect(&rect);
  rect.bottom = m_bShowCaption ? rect.top + m_nCaptionHeight : rect.top;
  return rect;
}

void CPropPageFrame::PaintCaption(CDC*, const CRect&, const CString&, HICON) {}

// CThemeLibEx ------------------------------------------------------------------

CThemeLibEx::CThemeLibEx() : m_hModule(::LoadLibraryW(L"uxtheme.dll")) {
  if (!m_hModule) return;
  Resolve(m_hModule, "IsAppThemed", m_pIsAppThemed);
  Resolve(m_hModule, "IsThemeActive", m_pIsThemeActive);
  Resolve(m_hModule, "OpenThemeData", m_pOpenThemeData);
  Resolve(m_hModule, "CloseThemeData", m_pCloseThemeData);
  Resolve(m_hModule, "GetThemeBackgroundContentRect", m_pGetThemeBackgroundContentRect);
  Resolve(m_hModule, "DrawThemeBackground", m_pDrawThemeBackground);
  Resolve(m_hModule, "GetThemeColor", m_pGetThemeColor);
}

CThemeLibEx::~CThemeLibEx() {
  if (m_hModule) ::FreeLibrary(m_hModule);
}

CThemeLibEx& CThemeLibEx::Instance() {
  static CThemeLibEx instance;
  return instance;
}

BOOL CThemeLibEx::IsAppThemed() const { return m_pIsAppThemed ? m_pIsAppThemed() : FALSE; }
BOOL CThemeLibEx::IsThemeActive() const { return m_pIsThemeActive ? m_pIsThemeActive() : FALSE; }
HTHEME CThemeLibEx::OpenThemeData(HWND hWnd, LPCWSTR classList) const {
  return m_pOpenThemeData ? m_pOpenThemeData(hWnd, classList) : nullptr;
}
HRESULT CThemeLibEx::CloseThemeData(HTHEME theme) const {
  return m_pCloseThemeData ? m_pCloseThemeData(theme) : E_NOTIMPL;
}
HRESULT CThemeLibEx::GetThemeBackgroundContentRect(HTHEME theme, HDC hdc, int part, int state,
                                                   const RECT* bounds, RECT* content) const {
  return m_pGetThemeBackgroundContentRect
             ? m_pGetThemeBackgroundContentRect(theme, hdc, part, state, bounds, content)
             : E_NOTIMPL;
}
HRESULT CThemeLibEx::DrawThemeBackground(HTHEME theme, HDC hdc, int part, int state,
                                         const RECT* rect, const RECT* clip) const {
  return m_pDrawThemeBackground ? m_pDrawThemeBackground(theme, hdc, part, state, rect, clip)
                                : E_NOTIMPL;
}
HRESULT CThemeLibEx::GetThemeColor(HTHEME theme, int part, int state, int prop,
                                   COLORREF* colour) const {
  return m_pGetThemeColor ? m_pGetThemeColor(theme, part, state, prop, colour) : E_NOTIMPL;
}

// FillGradientRect -------------------------------------------------------------

BOOL FillGradientRect(CDC* pDC, const RECT& rect, COLORREF left, COLORREF right) {
  TRIVERTEX vertices[2] = {};
  vertices[0].x = rect.left;
  vertices[0].y = rect.top;
  vertices[0].Red = static_cast<COLOR16>(GetRValue(left) << 8);
  vertices[0].Green = static_cast<COLOR16>(GetGValue(left) << 8);
  vertices[0].Blue = static_cast<COLOR16>(GetBValue(left) << 8);
  vertices[1].x = rect.right;
  vertices[1].y = rect.bottom;
  vertices[1].Red = static_cast<COLOR16>(GetRValue(right) << 8);
  vertices[1].Green = static_cast<COLOR16>(GetGValue(right) << 8);
  vertices[1].Blue = static_cast<COLOR16>(GetBValue(right) << 8);
  GRADIENT_RECT span{0, 1};
  return ::GradientFill(pDC->GetSafeHdc(), vertices, 2, &span, 1, GRADIENT_FILL_RECT_H);
}

// CPropPageFrameEx -------------------------------------------------------------

BEGIN_MESSAGE_MAP(CPropPageFrameEx, CWnd)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CPropPageFrameEx::CPropPageFrameEx() : m_pfnFillCaption(&FillGradientRect) {}

CPropPageFrameEx::~CPropPageFrameEx() { m_captionImages.DeleteImageList(); }

BOOL CPropPageFrameEx::IsThemed() {
  const CThemeLibEx& lib = CThemeLibEx::Instance();
  return lib.IsAvailable() && lib.IsThemeActive() && lib.IsAppThemed();
}

BOOL CPropPageFrameEx::CreateFrame(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  LPCTSTR cls = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, ::LoadCursorW(nullptr, IDC_ARROW),
                                    ::GetSysColorBrush(COLOR_BTNFACE));
  return CreateEx(0, cls, L"PropPageFrameEx", style, rect, parent, id);
}

void CPropPageFrameEx::SetCaptionText(const CString& text, HICON icon) {
  CPropPageFrame::SetCaptionText(text, icon);
  m_captionImages.DeleteImageList();
  if (!icon) return;
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return;
  BITMAP mask{};
  if (info.hbmMask && ::GetObjectW(info.hbmMask, sizeof(mask), &mask) &&
      m_captionImages.Create(mask.bmWidth, mask.bmHeight, ILC_COLOR32 | ILC_MASK, 0, 1)) {
    if (m_captionImages.Add(icon) < 0) m_captionImages.DeleteImageList();
  }
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
}

CRect CPropPageFrameEx::CalcPageRect() {
  CRect client;
  if (m_hWnd) GetClientRect(&client);
  CRect page = client;
  if (IsThemed()) {
    if (!ThemedContentRect(m_hWnd, client, &page)) return client;
    if (m_bShowCaption) page.top = client.top + m_nCaptionHeight + 1;
  } else if (m_bShowCaption) {
    page.top += m_nCaptionHeight + 1;
  }
  return page;
}

CRect CPropPageFrameEx::CalcCaptionRect() {
  CRect client;
  if (m_hWnd) GetClientRect(&client);
  CRect caption = client;
  RECT content;
  if (IsThemed() && ThemedContentRect(m_hWnd, client, &content)) {
    caption.left = content.left;
    caption.top = content.top;
    caption.right = content.right;
    caption.bottom = m_bShowCaption ? client.top + m_nCaptionHeight : content.top;
  } else {
    caption.bottom = m_bShowCaption ? caption.top + m_nCaptionHeight : caption.top;
  }
  caption.bottom += 1;
  if (WindowsMajorVersion() >= 6) {
    caption.top -= 2;
    caption.left -= 3;
  } else {
    caption.top -= 1;
    caption.left -= 1;
  }
  return caption;
}

void CPropPageFrameEx::PaintCaption(CDC* pDC, const CRect& rect, const CString& text, HICON icon) {
  const bool modern = WindowsMajorVersion() >= 6;
  // The gradient ends in the colour already drawn at the caption's right edge.
  const COLORREF right =
      modern ? pDC->GetPixel(rect.right, rect.top + 1) : pDC->GetPixel(rect.right - 1, rect.top);
  m_pfnFillCaption(pDC, rect, ::GetSysColor(COLOR_INACTIVECAPTION), right);

  CRect area = rect;
  const int inset = modern ? 8 : 3;
  if (icon && m_captionImages.GetSafeHandle() && m_captionImages.GetImageCount() == 1) {
    IMAGEINFO info{};
    m_captionImages.GetImageInfo(0, &info);
    const int width = info.rcImage.right - info.rcImage.left;
    const int height = info.rcImage.bottom - info.rcImage.top;
    const POINT at{inset, area.CenterPoint().y - height / 2};
    m_captionImages.Draw(pDC, 0, at, ILD_TRANSPARENT);
    area.left += width + inset;
  }
  area.left += modern ? 5 : 2;

  HDC hdc = pDC->GetSafeHdc();
  const COLORREF oldColour = ::SetTextColor(hdc, ::GetSysColor(COLOR_CAPTIONTEXT));
  const int oldMode = ::SetBkMode(hdc, TRANSPARENT);
  HGDIOBJ oldFont = ::SelectObject(hdc, ::GetStockObject(SYSTEM_FONT));
  pDC->DrawText(text, area, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
  ::SelectObject(hdc, oldFont);
  ::SetBkMode(hdc, oldMode);
  ::SetTextColor(hdc, oldColour);
}

void CPropPageFrameEx::DrawBackground(CDC* pDC) {
  CRect client;
  GetClientRect(&client);
  if (IsThemed()) {
    ScopedTheme theme(m_hWnd);
    if (theme.get())
      CThemeLibEx::Instance().DrawThemeBackground(theme.get(), pDC->GetSafeHdc(), TABP_PANE, 0,
                                                  &client, nullptr);
    return;
  }
  ::FillRect(pDC->GetSafeHdc(), &client, ::GetSysColorBrush(COLOR_BTNFACE));
}

void CPropPageFrameEx::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  CMemDC2 memDC(&dc, &client);
  DrawBackground(&memDC);
  PaintFrame(&memDC);
}

BOOL CPropPageFrameEx::OnEraseBkgnd(CDC*) { return TRUE; }

}  // namespace TreePropSheet
