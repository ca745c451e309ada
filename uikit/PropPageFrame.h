// The area of the tree property sheet in which the pages appear: an optional
// caption bar with the page's title and icon above the page, and a message that
// shows wherever no page window covers the page area.
#pragma once

#include <windows.h>
#include <uxtheme.h>

#include "framework/win/Gdi.h"
#include "framework/win/ImageList.h"
#include "framework/win/Wnd.h"

namespace TreePropSheet {

// The drawing and layout part of a page frame; the window comes from a derived class.
class CPropPageFrame {
 public:
  CPropPageFrame() = default;
  virtual ~CPropPageFrame() = default;
  CPropPageFrame(const CPropPageFrame&) = delete;
  CPropPageFrame& operator=(const CPropPageFrame&) = delete;

  virtual BOOL CreateFrame(DWORD style, const RECT& rect, CWnd* parent, UINT id) = 0;
  virtual CWnd* GetFrameWnd() = 0;
  virtual void SetCaptionVisible(BOOL visible);
  virtual void SetCaptionBandHeight(int height);
  // The icon stays the caller's.
  virtual void SetCaptionText(const CString& text, HICON icon = nullptr);
  virtual void SetMessageText(const CString& text);
  virtual void SetMessageFormat(UINT format);  // DrawText flags
  virtual void PaintFrame(CDC* pDC);
  virtual CRect CalcPageRect();
  virtual void PaintMessage(CDC* pDC, const CRect& rect, const CString& text, UINT format);
  virtual CRect CalcCaptionRect();
  virtual void PaintCaption(CDC* pDC, const CRect& rect, const CString& text, HICON icon);

  BOOL GetShowCaption() const { return m_bShowCaption; }
  int GetCaptionHeight() const { return m_nCaptionHeight; }
  const CString& GetCaptionText() const { return m_strCaption; }
  const CString& GetMessageText() const { return m_strMessage; }
  UINT GetMessageFormat() const { return m_nMessageFormat; }

 protected:
  void SafeInvalidate(const RECT& rect);

  BOOL m_bShowCaption = FALSE;
  int m_nCaptionHeight = 0;
  CString m_strCaption;
  HICON m_hCaptionIcon = nullptr;
  CString m_strMessage;
  UINT m_nMessageFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
};

// The visual-styles functions, loaded by name so the program runs without them.
class CThemeLibEx {
 public:
  CThemeLibEx();
  virtual ~CThemeLibEx();
  CThemeLibEx(const CThemeLibEx&) = delete;
  CThemeLibEx& operator=(const CThemeLibEx&) = delete;

  BOOL IsAvailable() const { return m_hModule != nullptr; }
  // A missing entry point answers FALSE, null or E_NOTIMPL.
  BOOL IsAppThemed() const;
  BOOL IsThemeActive() const;
  HTHEME OpenThemeData(HWND hWnd, LPCWSTR classList) const;
  HRESULT CloseThemeData(HTHEME theme) const;
  HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC hdc, int part, int state,
                                        const RECT* bounds, RECT* content) const;
  HRESULT DrawThemeBackground(HTHEME theme, HDC hdc, int part, int state, const RECT* rect,
                              const RECT* clip) const;
  HRESULT GetThemeColor(HTHEME theme, int part, int state, int prop, COLORREF* colour) const;

  // The process's one instance, made on first use.
  static CThemeLibEx& Instance();

 private:
  BOOL(WINAPI* m_pIsAppThemed)() = nullptr;
  BOOL(WINAPI* m_pIsThemeActive)() = nullptr;
  HTHEME(WINAPI* m_pOpenThemeData)(HWND, LPCWSTR) = nullptr;
  HRESULT(WINAPI* m_pCloseThemeData)(HTHEME) = nullptr;
  HRESULT(WINAPI* m_pGetThemeBackgroundContentRect)
  (HTHEME, HDC, int, int, LPCRECT, LPRECT) = nullptr;
  HRESULT(WINAPI* m_pDrawThemeBackground)(HTHEME, HDC, int, int, LPCRECT, LPCRECT) = nullptr;
  HRESULT(WINAPI* m_pGetThemeColor)(HTHEME, int, int, int, COLORREF*) = nullptr;
  HMODULE m_hModule = nullptr;
};

// A horizontal gradient from the left to the right colour over the rectangle.
BOOL FillGradientRect(CDC* pDC, const RECT& rect, COLORREF left, COLORREF right);

// The frame window the sheet creates: a tab-pane background when visual styles
// are on, and a gradient caption.
class CPropPageFrameEx : public CWnd, public CPropPageFrame {
 public:
  CPropPageFrameEx();
  ~CPropPageFrameEx() override;

  BOOL CreateFrame(DWORD style, const RECT& rect, CWnd* parent, UINT id) override;
  CWnd* GetFrameWnd() override { return this; }
  void SetCaptionText(const CString& text, HICON icon = nullptr) override;
  CRect CalcPageRect() override;
  CRect CalcCaptionRect() override;
  void PaintCaption(CDC* pDC, const CRect& rect, const CString& text, HICON icon) override;
  virtual void DrawBackground(CDC* pDC);

  // Visual styles are available and switched on for the application.
  static BOOL IsThemed();

 protected:
  void OnPaint();
  BOOL OnEraseBkgnd(CDC* pDC);
  DECLARE_MESSAGE_MAP()

  // The frame's own copy of the caption icon, at the icon's size.
  CImageList m_captionImages;
  BOOL (*m_pfnFillCaption)(CDC* pDC, const RECT& rect, COLORREF left, COLORREF right);
};

// Major version of the running system (6 and later draw the caption differently).
DWORD WindowsMajorVersion();

}  // namespace TreePropSheet
