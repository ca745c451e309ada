// A property page whose controls follow its size by percentage anchors.
#pragma once

#include "framework/win/PropSheet.h"
#include "uikit/ResizableLayout.h"

class CResizablePage : public CPropertyPage, public CResizableLayout {
 public:
  CResizablePage() = default;
  explicit CResizablePage(UINT nIDTemplate, UINT nIDCaption = 0)
      : CPropertyPage(nIDTemplate, nIDCaption) {}

 protected:
  CWnd* GetLayoutWindow() override { return this; }
  void OnSize(UINT nType, int cx, int cy);
  BOOL OnEraseBkgnd(CDC* pDC);
  DECLARE_MESSAGE_MAP()
};
