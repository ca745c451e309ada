// List-view and tree-view wrappers.
#pragma once

#include "framework/core/Collections.h"
#include "framework/win/Controls.h"

// Selected-item positions are the item index + 1 in a POSITION; null at the end.

class CListCtrl : public CWnd {
 public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::Create(WC_LISTVIEWW, nullptr, dwStyle, rect, pParentWnd, nID);
  }

  int InsertColumn(int nCol, const LVCOLUMNW* pColumn) {
    return static_cast<int>(
        SendMessage(LVM_INSERTCOLUMNW, nCol, reinterpret_cast<LPARAM>(pColumn)));
  }
  int InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                   int nSubItem = -1);
  BOOL SetColumn(int nCol, const LVCOLUMNW* pColumn) {
    return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNW, nCol, reinterpret_cast<LPARAM>(pColumn)));
  }
  BOOL GetColumn(int nCol, LVCOLUMNW* pColumn) const {
    return static_cast<BOOL>(SendMessage(LVM_GETCOLUMNW, nCol, reinterpret_cast<LPARAM>(pColumn)));
  }
  // cx may be LVSCW_AUTOSIZE or LVSCW_AUTOSIZE_USEHEADER.
  BOOL SetColumnWidth(int nCol, int cx) {
    return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, nCol, MAKELPARAM(cx, 0)));
  }
  int GetColumnWidth(int nCol) const {
    return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, nCol));
  }
  DWORD GetExtendedStyle() const {
    return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
  }
  DWORD SetExtendedStyle(DWORD dwNewStyle) {
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, dwNewStyle));
  }

  int InsertItem(const LVITEMW* pItem) {
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(pItem)));
  }
  int InsertItem(int nItem, LPCTSTR lpszItem) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = const_cast<LPWSTR>(lpszItem);
    return InsertItem(&item);
  }
  int InsertItem(int nItem, LPCTSTR lpszItem, int nImage) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = nItem;
    item.pszText = const_cast<LPWSTR>(lpszItem);
    item.iImage = nImage;
    return InsertItem(&item);
  }
  BOOL DeleteItem(int nItem) { return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, nItem)); }
  BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
  BOOL GetItem(LVITEMW* pItem) const {
    return static_cast<BOOL>(SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(pItem)));
  }
  BOOL SetItem(const LVITEMW* pItem) {
    return static_cast<BOOL>(SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(pItem)));
  }
  BOOL SetItemText(int nItem, int nSubItem, LPCTSTR lpszText) {
    LVITEMW item{};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<LPWSTR>(lpszText);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTW, nItem, reinterpret_cast<LPARAM>(&item)));
  }
  CString GetItemText(int nItem, int nSubItem) const;
  DWORD_PTR GetItemData(int nItem) const;
  BOOL SetItemData(int nItem, DWORD_PTR dwData) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    item.lParam = static_cast<LPARAM>(dwData);
    return SetItem(&item);
  }
  // Check boxes (LVS_EX_CHECKBOXES): state image 2 is checked.
  BOOL GetCheck(int nItem) const {
    return ((GetItemState(nItem, LVIS_STATEIMAGEMASK) >> 12) - 1) == 1;
  }
  BOOL SetCheck(int nItem, BOOL fCheck = TRUE) {
    return SetItemState(nItem, INDEXTOSTATEIMAGEMASK(fCheck ? 2 : 1), LVIS_STATEIMAGEMASK);
  }
  UINT GetItemState(int nItem, UINT nMask) const {
    return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, nItem, nMask));
  }
  // nItem -1 applies to every item.
  BOOL SetItemState(int nItem, UINT nState, UINT nMask) {
    LVITEMW item{};
    item.state = nState;
    item.stateMask = nMask;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, nItem, reinterpret_cast<LPARAM>(&item)));
  }
  int GetNextItem(int nItem, int nFlags) const {
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, nItem, MAKELPARAM(nFlags, 0)));
  }
  POSITION GetFirstSelectedItemPosition() const {
    return reinterpret_cast<POSITION>(static_cast<INT_PTR>(GetNextItem(-1, LVNI_SELECTED) + 1));
  }
  // Returns the item at pos and advances pos to the next selected one.
  int GetNextSelectedItem(POSITION& pos) const {
    int nItem = static_cast<int>(reinterpret_cast<INT_PTR>(pos)) - 1;
    pos = reinterpret_cast<POSITION>(static_cast<INT_PTR>(GetNextItem(nItem, LVNI_SELECTED) + 1));
    return nItem;
  }
  int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
  UINT GetSelectedCount() const { return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT)); }
  BOOL EnsureVisible(int nItem, BOOL bPartialOK) {
    return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, nItem, bPartialOK));
  }
  int HitTest(LVHITTESTINFO* pHitTestInfo) const {
    return static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(pHitTestInfo)));
  }
  int SubItemHitTest(LVHITTESTINFO* pInfo) const {
    return static_cast<int>(SendMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(pInfo)));
  }
  BOOL GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const {
    lpRect->left = static_cast<LONG>(nCode);
    return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(lpRect)));
  }
  BOOL RedrawItems(int nFirst, int nLast) {
    return static_cast<BOOL>(SendMessage(LVM_REDRAWITEMS, nFirst, nLast));
  }
  CImageList* SetImageList(CImageList* pImageList, int nImageListType);
  CImageList* GetImageList(int nImageListType) const;
};

class CTreeCtrl : public CWnd {
 public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::Create(WC_TREEVIEWW, nullptr, dwStyle, rect, pParentWnd, nID);
  }
  HTREEITEM InsertItem(const TVINSERTSTRUCTW* pInsert) {
    return reinterpret_cast<HTREEITEM>(
        SendMessage(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(pInsert)));
  }
  HTREEITEM InsertItem(LPCTSTR lpszItem, int nImage, int nSelectedImage,
                       HTREEITEM hParent = TVI_ROOT, HTREEITEM hInsertAfter = TVI_LAST);
  HTREEITEM InsertItem(LPCTSTR lpszItem, HTREEITEM hParent = TVI_ROOT,
                       HTREEITEM hInsertAfter = TVI_LAST);
  BOOL DeleteItem(HTREEITEM hItem) {
    return static_cast<BOOL>(SendMessage(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(hItem)));
  }
  BOOL DeleteAllItems() { return DeleteItem(TVI_ROOT); }
  BOOL GetItem(TVITEMW* pItem) const {
    return static_cast<BOOL>(SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(pItem)));
  }
  BOOL SetItem(TVITEMW* pItem) {
    return static_cast<BOOL>(SendMessage(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(pItem)));
  }
  CString GetItemText(HTREEITEM hItem) const;
  BOOL SetItemText(HTREEITEM hItem, LPCTSTR lpszItem);
  DWORD_PTR GetItemData(HTREEITEM hItem) const;
  BOOL SetItemData(HTREEITEM hItem, DWORD_PTR dwData);
  UINT GetItemState(HTREEITEM hItem, UINT nStateMask) const {
    return static_cast<UINT>(
        SendMessage(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(hItem), nStateMask));
  }
  BOOL SetItemState(HTREEITEM hItem, UINT nState, UINT nStateMask);
  BOOL GetItemImage(HTREEITEM hItem, int& nImage, int& nSelectedImage) const;
  BOOL SetItemImage(HTREEITEM hItem, int nImage, int nSelectedImage);
  HTREEITEM GetNextItem(HTREEITEM hItem, UINT nCode) const {
    return reinterpret_cast<HTREEITEM>(
        SendMessage(TVM_GETNEXTITEM, nCode, reinterpret_cast<LPARAM>(hItem)));
  }
  HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
  HTREEITEM GetChildItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_CHILD); }
  HTREEITEM GetNextSiblingItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_NEXT); }
  HTREEITEM GetPrevSiblingItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_PREVIOUS); }
  HTREEITEM GetParentItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_PARENT); }
  HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
  HTREEITEM GetNextVisibleItem(HTREEITEM hItem) const {
    return GetNextItem(hItem, TVGN_NEXTVISIBLE);
  }
  BOOL ItemHasChildren(HTREEITEM hItem) const;
  BOOL SelectItem(HTREEITEM hItem) {
    return static_cast<BOOL>(
        SendMessage(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hItem)));
  }
  BOOL Expand(HTREEITEM hItem, UINT nCode) {
    return static_cast<BOOL>(SendMessage(TVM_EXPAND, nCode, reinterpret_cast<LPARAM>(hItem)));
  }
  BOOL EnsureVisible(HTREEITEM hItem) {
    return static_cast<BOOL>(SendMessage(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(hItem)));
  }
  HTREEITEM HitTest(TVHITTESTINFO* pHitTestInfo) const {
    return reinterpret_cast<HTREEITEM>(
        SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(pHitTestInfo)));
  }
  HTREEITEM HitTest(POINT pt, UINT* pFlags = nullptr) const;
  BOOL GetItemRect(HTREEITEM hItem, LPRECT lpRect, BOOL bTextOnly) const {
    *reinterpret_cast<HTREEITEM*>(lpRect) = hItem;
    return static_cast<BOOL>(
        SendMessage(TVM_GETITEMRECT, bTextOnly, reinterpret_cast<LPARAM>(lpRect)));
  }
  UINT GetCount() const { return static_cast<UINT>(SendMessage(TVM_GETCOUNT)); }
  UINT GetIndent() const { return static_cast<UINT>(SendMessage(TVM_GETINDENT)); }
  void SetIndent(UINT nIndent) { SendMessage(TVM_SETINDENT, nIndent); }
  COLORREF SetBkColor(COLORREF clr) {
    return static_cast<COLORREF>(SendMessage(TVM_SETBKCOLOR, 0, clr));
  }
  COLORREF GetBkColor() const { return static_cast<COLORREF>(SendMessage(TVM_GETBKCOLOR)); }
  COLORREF SetTextColor(COLORREF clr) {
    return static_cast<COLORREF>(SendMessage(TVM_SETTEXTCOLOR, 0, clr));
  }
  DWORD SetExtendedStyle(DWORD dwExMask, DWORD dwExStyles) {
    return static_cast<DWORD>(SendMessage(TVM_SETEXTENDEDSTYLE, dwExMask, dwExStyles));
  }
  CImageList* SetImageList(CImageList* pImageList, int nImageListType);
  CImageList* GetImageList(int nImageListType) const;
};
