// The tree property sheet with a splitter between tree and frame and a
// resizable window: a hook on the sheet's window procedure lays the buttons,
// the splitter, the tab control and the page out by percentage anchors, and
// keeps a size grip and a minimum size.
#pragma once

#include "uikit/HookWnd.h"
#include "uikit/ResizableLayout.h"
#include "uikit/TreePropSheetBase.h"
#include "uikit/TreePropSheetSplitter.h"

namespace TreePropSheet {

class CTreePropSheetEx;

// Makes any property sheet resizable.
class CResizableSheetHook : public CHookWnd,
                            public CResizableLayout,
                            public CResizableGrip,
                            public CResizableMinMax,
                            public CResizableState {
 public:
  explicit CResizableSheetHook(CPropertySheet* sheet) : m_pSheet(sheet) {}
  ~CResizableSheetHook() override = default;

  // Hooks the sheet, makes the grip, takes the current size as the minimum and
  // anchors the sheet's parts.
  void AttachToSheet();
  LRESULT OnHookedMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  virtual void PresetLayout();

  using CResizableGrip::IsGripVisible;

 protected:
  CWnd* GetLayoutWindow() override { return m_pSheet; }
  CWnd* GetResizableWnd() override { return m_pSheet; }
  BOOL UpdateCallbackAnchor(LayoutInfo& info) override;
  // After the batch of moves: whatever follows a moved window catches up.
  virtual void OnLayoutApplied() {}
  virtual BOOL IsWizardSheet() const;
  void AnchorSheetButtons();
  void StorePageMargins();
  BOOL FillPageRecord(LayoutInfo& info);

  static constexpr DWORD kNotMaximised = 1;

  CPropertySheet* m_pSheet;
  DWORD m_dwGripReasons = kNotMaximised;
  RECT m_pageMargins{};
};

// The hook specialised for the tree layout: the splitter follows the window,
// the tab control and the page follow the frame.
class CTreePropSheetResizableLibHook : public CResizableSheetHook {
 public:
  explicit CTreePropSheetResizableLibHook(CTreePropSheetEx* sheet);
  void PresetLayout() override;

 protected:
  BOOL UpdateCallbackAnchor(LayoutInfo& info) override;
  void OnLayoutApplied() override;
  BOOL IsWizardSheet() const override;

  CTreePropSheetEx* m_pTreeSheet;
  RECT m_pageInset{};  // page against frame: left and top inwards, right and bottom frame - page
};

class CTreePropSheetEx : public CTreePropSheetBase {
 public:
  static constexpr UINT kSplitterId = 0xE900;

  CTreePropSheetEx();
  explicit CTreePropSheetEx(LPCTSTR caption, CWnd* parent = nullptr, UINT selectPage = 0);
  ~CTreePropSheetEx() override;

  BOOL SetSheetResizable(BOOL resizable);
  BOOL IsSheetResizable() const { return m_bResizable; }
  BOOL SetTreePaneWidth(int width) override;
  void SetSplitterEnabled(BOOL enabled);
  void SetTreePaneScaling(BOOL scales);
  void SetFullDrag(BOOL fullDrag);

  virtual CTreePropSheetSplitter* MakeSplitter();
  virtual CTreePropSheetSplitter* GetSplitter() const { return m_pSplitter; }
  virtual CTreePropSheetResizableLibHook* MakeResizeHook();
  CTreePropSheetResizableLibHook* GetResizeHook() const { return m_pResizeHook; }

  BOOL OnInitDialog() override;

 protected:
  int OnCreate(LPCREATESTRUCT cs);
  void OnContextMenu(CWnd* pWnd, CPoint point);
  LRESULT OnHelp(WPARAM wParam, LPARAM lParam);
  LRESULT OnKickIdle(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

  bool m_bResizable = true;
  bool m_bSplitterEnabled = true;
  BOOL m_bTreePaneScales = FALSE;
  BOOL m_bFullDrag = TRUE;
  CTreePropSheetResizableLibHook* m_pResizeHook = nullptr;
  CTreePropSheetSplitter* m_pSplitter = nullptr;
  int m_nSplitterWidth = 5;
  int m_nTreePaneMinimum = 148;
  int m_nFramePaneMinimum = 148;

 private:
  void SetExDefaults();
};

}  // namespace TreePropSheet
