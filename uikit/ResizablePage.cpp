#include "uikit/ResizablePage.h"

BEGIN_MESSAGE_MAP(CResizablePage, CPropertyPage)
ON_WM_SIZE()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

void CResizablePage::OnSize(UINT nType, int cx, int cy) {
  CPropertyPage::OnSize(nType, cx, cy);
  ApplyLayout();
}

BOOL CResizablePage::OnEraseBkgnd(CDC* pDC) {
  // Only around the controls that do not paint all of their own area: no flicker.
  FillBackground(pDC);
  return TRUE;
}
