#include "uikit/TreePropSheetTreeCtrl.h"

namespace TreePropSheet {

const UINT WMU_TPS_ENABLETREEITEM = ::RegisterWindowMessageW(L"WMU_TPS_ENABLETREEITEM");

BEGIN_MESSAGE_MAP(CTreePropSheetTreeCtrl, CTreeCtrl)
ON_WM_PAINT()
ON_REGISTERED_MESSAGE(WMU_TPS_ENABLETREEITEM, SetItemColour)
ON_NOTIFY_REFLECT_EX(TVN_DELETEITEMW, OnDeleteItem)
ON_NOTIFY_REFLECT_EX(TVN_DELETEITEMA, OnDeleteItem)
ON_NOTIFY_REFLECT_EX(NM_CUSTOMDRAW, OnCustomDraw)
END_MESSAGE_MAP()

bool CTreePropSheetTreeCtrl::GetItemColour(HTREEITEM item, COLORREF* colour) const {
  auto it = m_itemColours.find(item);
  if (it == m_itemColours.end()) return false;
  if (colour) *colour = it->second;
  return true;
}

LRESULT CTreePropSheetTreeCtrl::SetItemColour(WPARAM wParam, LPARAM lParam) {
  auto item = reinterpret_cast<HTREEITEM>(wParam);
  const auto colour = static_cast<COLORREF>(lParam);
  // The sender invalidates the tree once it has recoloured all it wants to.
  if (colour == GetTextColor())
    m_itemColours.erase(item);
  else
    m_itemColours[item] = colour;
  return 1;
}

BOOL CTreePropSheetTreeCtrl::OnDeleteItem(NMHDR* pNMHDR, LRESULT*) {
  // A later item may get the same handle: it must not inherit the colour.
  m_itemColours.erase(reinterpret_cast<NMTREEVIEWW*>(pNMHDR)->itemOld.hItem);
  return FALSE;  // the parent may want to know too
}

BOOL CTreePropSheetTreeCtrl::OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult) {
  auto* draw = reinterpret_cast<NMTVCUSTOMDRAW*>(pNMHDR);
  *pResult = CDRF_DODEFAULT;
  if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
    *pResult = CDRF_NOTIFYITEMDRAW;
  } else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && ::GetFocus() != m_hWnd) {
    // Without the focus the platform marks the selection in the button face colour, next
    // to nothing on a white tree: the current page keeps the selection colours.
    const auto item = reinterpret_cast<HTREEITEM>(draw->nmcd.dwItemSpec);
    if (GetItemState(item, TVIS_SELECTED) & TVIS_SELECTED) {
      draw->clrTextBk = ::GetSysColor(COLOR_HIGHLIGHT);
      draw->clrText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
  }
  return TRUE;
}

void CTreePropSheetTreeCtrl::OnPaint() {
  CPaintDC dc(this);
  RECT clip, client;
  dc.GetClipBox(&clip);
  GetClientRect(&client);

  // Double-buffered: the platform paints into memory, the coloured texts go over
  // it, and the screen gets one copy.
  HDC memDC = ::CreateCompatibleDC(dc.GetSafeHdc());
  HBITMAP bitmap = ::CreateCompatibleBitmap(dc.GetSafeHdc(), client.right, client.bottom);
  if (!memDC || !bitmap) {
    if (memDC) ::DeleteDC(memDC);
    if (bitmap) ::DeleteObject(bitmap);
    DefWindowProc(WM_PAINT, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    return;
  }
  HGDIOBJ oldBitmap = ::SelectObject(memDC, bitmap);
  HRGN clipRegion = ::CreateRectRgnIndirect(&clip);
  ::SelectClipRgn(memDC, clipRegion);

  DefWindowProc(WM_PAINT, reinterpret_cast<WPARAM>(memDC), 0);

  if (!m_itemColours.empty()) {
    HFONT treeFont = GetFontHandle();
    LOGFONTW logFont{};
    if (!treeFont || !::GetObjectW(treeFont, sizeof(logFont), &logFont))
      ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(logFont), &logFont);
    const UINT visible = static_cast<UINT>(SendMessage(TVM_GETVISIBLECOUNT)) + 1;
    HTREEITEM item = GetNextItem(nullptr, TVGN_FIRSTVISIBLE);
    for (UINT i = 0; item && i < visible; ++i, item = GetNextVisibleItem(item)) {
      // Selection colours belong to the platform.
      if (GetItemState(item, TVIS_SELECTED | TVIS_DROPHILITED) & (TVIS_SELECTED | TVIS_DROPHILITED))
        continue;
      auto it = m_itemColours.find(item);
      if (it == m_itemColours.end()) continue;
      LOGFONTW itemFont = logFont;
      if (IsItemBold(item)) itemFont.lfWeight = FW_BOLD;
      HFONT font = ::CreateFontIndirectW(&itemFont);
      HGDIOBJ oldFont = ::SelectObject(memDC, font);
      ::SetTextColor(memDC, it->second);
      RECT text;
      GetItemRect(item, &text, TRUE);
      const CString label = GetItemText(item);
      ::TextOutW(memDC, text.left + 2, text.top + 1, label, label.GetLength());
      ::SelectObject(memDC, oldFont);
      ::DeleteObject(font);
    }
  }

  ::BitBlt(dc.GetSafeHdc(), clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top,
           memDC, clip.left, clip.top, SRCCOPY);
  ::SelectClipRgn(memDC, nullptr);
  ::DeleteObject(clipRegion);
  ::SelectObject(memDC, oldBitmap);
  ::DeleteObject(bitmap);
  ::DeleteDC(memDC);
}

}  // namespace TreePropSheet
