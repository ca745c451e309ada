// A static text control made into a clickable link: link colours, underline on hover,
// a hand cursor, a tooltip with the target, and the target opened by the shell on a
// click (with a readable box when that fails).
#pragma once

#include <windows.h>

#include "framework/win/Win.h"

class CHyperLink : public CStatic {
 public:
  CHyperLink();
  ~CHyperLink() override;

  // Stores the target; on a live control also re-fits it and updates the tooltip.
  void SetTarget(CString url);
  const CString& GetTarget() const { return m_url; }

  // -1 underline only while hovering, 0 never, 1 always.
  void SetUnderline(int mode);
  int GetUnderline() const { return m_underlineMode; }
  BOOL IsVisited() const { return m_visited; }

  BOOL PreTranslateMessage(MSG* pMsg) override;
  BOOL DestroyWindow() override;

 protected:
  void PreSubclassWindow() override;

  HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
  BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
  void OnMouseMove(UINT nFlags, CPoint point);
  void OnTimer(UINT_PTR nIDEvent);
  void OnClicked();
  BOOL OnEraseBkgnd(CDC* pDC);
  DECLARE_MESSAGE_MAP()

 private:
  void FitToText();
  void LoadLinkCursor();

  COLORREF m_linkColour;
  COLORREF m_visitedColour;
  COLORREF m_hoverColour;
  BOOL m_hovering;
  BOOL m_visited;
  int m_underlineMode;
  BOOL m_fitToText;
  CString m_url;
  CFont m_underlineFont;
  CFont m_normalFont;
  HCURSOR m_linkCursor;
  CToolTipCtrl m_tooltip;
  UINT m_timerId;
};

// Opens url with the shell's "open" verb; when that fails, runs the browser registered
// for ".htm" with the url. Returns the shell's or WinExec's result (> 32 is success).
int OpenTarget(LPCWSTR url, int showCmd);

// "Unable to open hyperlink:" box for a result of OpenTarget.
void ShowOpenError(int code);

// The text ShowOpenError shows for a code.
CString OpenErrorText(int code);

// The browser command line of the fallback: the registered command cut before its
// quoted (or bare) "%1" placeholder, then one blank and the url.
CString BrowserCommandLine(const CString& registeredCommand, const CString& url);

// The system calls OpenTarget makes. Tests install their own so no real browser opens;
// null restores the system's.
struct HyperLinkShell {
  int (*shellExecute)(LPCWSTR url, int showCmd);
  // The default value of a key of HKEY_CLASSES_ROOT; ERROR_SUCCESS or the failure.
  LONG (*readClassesRootDefault)(LPCWSTR subKey, CString& value);
  UINT (*winExec)(LPCSTR commandLine, int showCmd);
};
void SetHyperLinkShell(const HyperLinkShell* shell);
