// A property sheet that can show a tree of its pages on the left and a page
// frame on the right instead of a row of tabs. The hidden tab control stays the
// source of the page titles, icons and the current page; the tree mirrors it. A
// title may name a path ("Output::Files" puts Files under a node Output), and
// pages can be disabled at run time (grey in the tree, out of the user's reach).
#pragma once

#include <map>

#include "framework/win/AllControls.h"
#include "framework/win/PropSheet.h"
#include "uikit/PropPageFrame.h"
#include "uikit/TreePropSheetTreeCtrl.h"

namespace TreePropSheet {

// "WMU_TPS_ENABLEPAGE", registered at start-up: wParam the page, lParam non-zero
// to enable it; answers 1.
extern const UINT WMU_TPS_ENABLEPAGE;

constexpr UINT kPageTreeId = 0x7EEE;
constexpr UINT kPageFrameId = 0xFFFF;

class CTreePropSheetBase : public CPropertySheet {
 public:
  CTreePropSheetBase();
  explicit CTreePropSheetBase(LPCTSTR caption, CWnd* parent = nullptr, UINT selectPage = 0);
  ~CTreePropSheetBase() override;

  // Set-up; FALSE and no change once the window exists. caption and images are
  // taken only when tree is TRUE.
  BOOL SetTreeMode(BOOL tree, BOOL caption = FALSE, BOOL images = FALSE);
  virtual BOOL SetTreePaneWidth(int width);
  // Format of the message for a node without a page; one string argument, the node's text.
  void SetEmptyPageText(LPCTSTR format) { m_strEmptyPageTextFormat = format; }
  void SetSkipEmptyPages(bool skip) { m_bSkipEmptyPages = skip; }
  void SetExpandAll(bool expand) { m_bExpandAll = expand; }

  CTreePropSheetTreeCtrl* GetPageTree() const { return m_pTree; }
  CPropPageFrame* GetPageFrame() const { return m_bTreeMode ? m_pFrame : nullptr; }
  BOOL IsTreeShown() const { return m_bTreeMode; }
  bool IsExpandAll() const { return m_bExpandAll; }
  BOOL IsItemExpanded(HTREEITEM item) const;
  BOOL ItemHasPage(HTREEITEM item) const;
  // The tree item of a page index, or null.
  HTREEITEM FindPageItem(int page) const;

  // Returns the page's previous entry (false when it had none). Disabling the
  // active page moves to the next page first; when no other page can be
  // reached, the page stays enabled.
  bool SetPageEnabled(CPropertyPage* page, bool enable);
  BOOL IsPageEnabled(CPropertyPage* page) const;
  BOOL IsItemPageEnabled(HTREEITEM item) const;

  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* pMsg) override;

  // Returns the first name of a page path and leaves the rest in path. "\::"
  // escapes a separator within a name; a leading "::" is part of the name.
  static CString SplitPagePath(CString& path);

 protected:
  virtual CString FormatEmptyPageText(const CString& format, const CString& itemText);
  virtual CTreePropSheetTreeCtrl* MakePageTree();
  virtual CPropPageFrame* MakePageFrame();
  virtual void ColourTreeItem(HTREEITEM item);

  void SetTabImagesFromPages();
  void RebuildPageTree();
  HTREEITEM CreatePageItem(CString path, HTREEITEM parent);
  void RefreshPageTree();
  void SelectCurrentPageItem();
  BOOL IsItemSelectable(HTREEITEM item) const;
  HTREEITEM FindSelectableBelow(HTREEITEM item) const;
  HTREEITEM FindSelectableFrom(HTREEITEM first) const;
  HTREEITEM NextInOrder(HTREEITEM item) const;
  HTREEITEM PreviousInOrder(HTREEITEM item) const;
  void SelectPrevSelectable(HTREEITEM item);
  void SelectNextSelectable(HTREEITEM item);
  void ActivatePreviousPage();
  void ActivateNextPage();
  BOOL QueryLeaveActivePage();
  void UpdateFrameCaption();
  void RecolourTree(HTREEITEM item, BOOL redraw);
  void ExpandAllItems(HTREEITEM item, UINT code);
  int PageIndexOf(HTREEITEM item) const;

  void OnDestroy();
  LRESULT HandleAddPage(WPARAM wParam, LPARAM lParam);
  LRESULT HandleRemovePage(WPARAM wParam, LPARAM lParam);
  LRESULT HandleSetCurSel(WPARAM wParam, LPARAM lParam);
  LRESULT HandleIsDialogMessage(WPARAM wParam, LPARAM lParam);
  void OnSelChanging(NMHDR* pNMHDR, LRESULT* pResult);
  void OnSelChanged(NMHDR* pNMHDR, LRESULT* pResult);
  LRESULT OnEnablePage(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

  // Raised while the sheet changes the tree or the page itself; the tree's
  // selection notifications are ignored meanwhile.
  class RefreshGuard {
   public:
    explicit RefreshGuard(int& counter) : m_counter(counter) { ++m_counter; }
    ~RefreshGuard() { --m_counter; }
    RefreshGuard(const RefreshGuard&) = delete;
    RefreshGuard& operator=(const RefreshGuard&) = delete;

   private:
    int& m_counter;
  };

  BOOL m_bTreeMode = FALSE;
  CTreePropSheetTreeCtrl* m_pTree = nullptr;
  CPropPageFrame* m_pFrame = nullptr;
  BOOL m_bShowCaption = FALSE;
  BOOL m_bTreeImages = FALSE;
  CImageList m_treeImages;
  CString m_strEmptyPageTextFormat;
  int m_nRefreshCounter = 0;
  int m_nTreePaneWidth = 150;
  int m_nTreeGap = 5;
  bool m_bSkipEmptyPages = false;
  bool m_bExpandAll = false;
  std::map<CPropertyPage*, bool> m_pageStates;
  bool m_bSkipDisabledPages = true;
  CImageList m_tabImages;  // the page icons given to the tab control

 private:
  void SetDefaults();
};

}  // namespace TreePropSheet
