// The page tree of the tree property sheet: the platform's tree view, plus a text
// colour of its own per item, painted over the platform's drawing, and a selection that
// stays plain to see when the focus is on a page.
#pragma once

#include <map>

#include "framework/win/ListCtrl.h"

namespace TreePropSheet {

// "WMU_TPS_ENABLETREEITEM", registered at start-up: wParam the item, lParam its
// colour; an item in the tree's own text colour loses its own.
extern const UINT WMU_TPS_ENABLETREEITEM;

class CTreePropSheetTreeCtrl : public CTreeCtrl {
 public:
  CTreePropSheetTreeCtrl() = default;
  ~CTreePropSheetTreeCtrl() override = default;

  BOOL IsItemBold(HTREEITEM item) const { return (GetItemState(item, TVIS_BOLD) & TVIS_BOLD) != 0; }
  COLORREF GetTextColor() const { return static_cast<COLORREF>(SendMessage(TVM_GETTEXTCOLOR)); }
  // The item's own colour, or false when the platform draws it alone.
  bool GetItemColour(HTREEITEM item, COLORREF* colour) const;

 protected:
  void OnPaint();
  LRESULT SetItemColour(WPARAM wParam, LPARAM lParam);
  BOOL OnDeleteItem(NMHDR* pNMHDR, LRESULT* pResult);
  // The selected item in the selection colours also while the tree lacks the focus.
  BOOL OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);
  DECLARE_MESSAGE_MAP()

  std::map<HTREEITEM, COLORREF> m_itemColours;
};

}  // namespace TreePropSheet
