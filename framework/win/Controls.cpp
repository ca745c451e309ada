#include "framework/win/Controls.h"

#include "framework/win/ImageList.h"
#include "framework/win/ListCtrl.h"
#include "framework/win/Menu.h"
#include "framework/win/TempMap.h"

// Window DCs ----------------------------------------------------------------

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd()) {
  Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
  Detach();
  ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
  Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC() { ::ReleaseDC(m_hWnd, Detach()); }

CWindowDC::CWindowDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
  Attach(::GetWindowDC(m_hWnd));
}

CWindowDC::~CWindowDC() { ::ReleaseDC(m_hWnd, Detach()); }

// Standard controls ---------------------------------------------------------

void CComboBox::GetLBText(int nIndex, CString& rString) const {
  const int length = GetLBTextLen(nIndex);
  if (length < 0) {
    rString.Empty();
    return;
  }
  std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
  const int got =
      static_cast<int>(SendMessage(CB_GETLBTEXT, nIndex, reinterpret_cast<LPARAM>(buffer.data())));
  rString = CString(buffer.c_str(), got < 0 ? 0 : got);
}

// Tool tips -----------------------------------------------------------------

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle) {
  const RECT none{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
  return CWnd::CreateEx(WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr, WS_POPUP | dwStyle, none,
                        pParentWnd, 0);
}

void CToolTipCtrl::FillTool(TOOLINFOW& ti, CWnd* pWnd, UINT_PTR nIDTool) {
  ti = TOOLINFOW{};
  ti.cbSize = sizeof(ti);
  if (nIDTool == 0) {
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = ::GetParent(pWnd->m_hWnd);
    if (!ti.hwnd) ti.hwnd = pWnd->m_hWnd;
    ti.uId = reinterpret_cast<UINT_PTR>(pWnd->m_hWnd);
  } else {
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = pWnd->m_hWnd;
    ti.uId = nIDTool;
  }
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCTSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool) {
  TOOLINFOW ti;
  FillTool(ti, pWnd, nIDTool);
  if (lpRectTool)
    ti.rect = *lpRectTool;
  else if (nIDTool != 0)
    pWnd->GetClientRect(&ti.rect);
  ti.lpszText = const_cast<LPWSTR>(lpszText);
  return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::DelTool(CWnd* pWnd, UINT_PTR nIDTool) {
  TOOLINFOW ti;
  FillTool(ti, pWnd, nIDTool);
  SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::UpdateTipText(LPCTSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool) {
  TOOLINFOW ti;
  FillTool(ti, pWnd, nIDTool);
  ti.lpszText = const_cast<LPWSTR>(lpszText);
  SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

// Image lists -----------------------------------------------------------------

CImageList* CImageList::FromHandle(HIMAGELIST hImageList) {
  return AfxTempWrapper<CImageList>(hImageList);
}

BOOL CImageList::Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle) {
  return ImageList_Draw(m_hImageList, nImage, pDC->m_hDC, pt.x, pt.y, nStyle);
}

CImageList* CTabCtrl::GetImageList() const {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(SendMessage(TCM_GETIMAGELIST)));
}

CImageList* CTabCtrl::SetImageList(CImageList* pImageList) {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(
      SendMessage(TCM_SETIMAGELIST, 0,
                  reinterpret_cast<LPARAM>(pImageList ? pImageList->m_hImageList : nullptr))));
}

// List view -------------------------------------------------------------------

int CListCtrl::InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat, int nWidth,
                            int nSubItem) {
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_TEXT;
  column.fmt = nFormat;
  column.pszText = const_cast<LPWSTR>(lpszColumnHeading);
  if (nWidth != -1) {
    column.mask |= LVCF_WIDTH;
    column.cx = nWidth;
  }
  if (nSubItem != -1) {
    column.mask |= LVCF_SUBITEM;
    column.iSubItem = nSubItem;
  }
  return InsertColumn(nCol, &column);
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const {
  // The control copies at most the buffer size; grow until the text fits.
  for (int size = 256;; size *= 2) {
    std::wstring buffer(static_cast<size_t>(size), L'\0');
    LVITEMW item{};
    item.iSubItem = nSubItem;
    item.pszText = buffer.data();
    item.cchTextMax = size;
    const int got =
        static_cast<int>(SendMessage(LVM_GETITEMTEXTW, nItem, reinterpret_cast<LPARAM>(&item)));
    if (got < size - 1 || size >= (1 << 20)) return CString(buffer.c_str(), got < 0 ? 0 : got);
  }
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = nItem;
  return GetItem(&item) ? static_cast<DWORD_PTR>(item.lParam) : 0;
}

CImageList* CListCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(
      SendMessage(LVM_SETIMAGELIST, nImageListType,
                  reinterpret_cast<LPARAM>(pImageList ? pImageList->m_hImageList : nullptr))));
}

CImageList* CListCtrl::GetImageList(int nImageListType) const {
  return CImageList::FromHandle(
      reinterpret_cast<HIMAGELIST>(SendMessage(LVM_GETIMAGELIST, nImageListType)));
}

// Tree view -------------------------------------------------------------------

HTREEITEM CTreeCtrl::InsertItem(LPCTSTR lpszItem, int nImage, int nSelectedImage, HTREEITEM hParent,
                                HTREEITEM hInsertAfter) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = hParent;
  insert.hInsertAfter = hInsertAfter;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.item.pszText = const_cast<LPWSTR>(lpszItem);
  insert.item.iImage = nImage;
  insert.item.iSelectedImage = nSelectedImage;
  return InsertItem(&insert);
}

HTREEITEM CTreeCtrl::InsertItem(LPCTSTR lpszItem, HTREEITEM hParent, HTREEITEM hInsertAfter) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = hParent;
  insert.hInsertAfter = hInsertAfter;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = const_cast<LPWSTR>(lpszItem);
  return InsertItem(&insert);
}

CString CTreeCtrl::GetItemText(HTREEITEM hItem) const {
  for (int size = 256;; size *= 2) {
    std::wstring buffer(static_cast<size_t>(size), L'\0');
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = hItem;
    item.pszText = buffer.data();
    item.cchTextMax = size;
    if (!GetItem(&item)) return CString();
    const int length = static_cast<int>(wcslen(buffer.c_str()));
    if (length < size - 1 || size >= (1 << 20)) return CString(buffer.c_str(), length);
  }
}

BOOL CTreeCtrl::SetItemText(HTREEITEM hItem, LPCTSTR lpszItem) {
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = hItem;
  item.pszText = const_cast<LPWSTR>(lpszItem);
  return SetItem(&item);
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM hItem) const {
  TVITEMW item{};
  item.mask = TVIF_PARAM;
  item.hItem = hItem;
  return GetItem(&item) ? static_cast<DWORD_PTR>(item.lParam) : 0;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM hItem, DWORD_PTR dwData) {
  TVITEMW item{};
  item.mask = TVIF_PARAM;
  item.hItem = hItem;
  item.lParam = static_cast<LPARAM>(dwData);
  return SetItem(&item);
}

BOOL CTreeCtrl::SetItemState(HTREEITEM hItem, UINT nState, UINT nStateMask) {
  TVITEMW item{};
  item.mask = TVIF_STATE;
  item.hItem = hItem;
  item.state = nState;
  item.stateMask = nStateMask;
  return SetItem(&item);
}

BOOL CTreeCtrl::GetItemImage(HTREEITEM hItem, int& nImage, int& nSelectedImage) const {
  TVITEMW item{};
  item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  item.hItem = hItem;
  if (!GetItem(&item)) return FALSE;
  nImage = item.iImage;
  nSelectedImage = item.iSelectedImage;
  return TRUE;
}

BOOL CTreeCtrl::SetItemImage(HTREEITEM hItem, int nImage, int nSelectedImage) {
  TVITEMW item{};
  item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  item.hItem = hItem;
  item.iImage = nImage;
  item.iSelectedImage = nSelectedImage;
  return SetItem(&item);
}

BOOL CTreeCtrl::ItemHasChildren(HTREEITEM hItem) const {
  TVITEMW item{};
  item.mask = TVIF_CHILDREN;
  item.hItem = hItem;
  return GetItem(&item) && item.cChildren != 0;
}

HTREEITEM CTreeCtrl::HitTest(POINT pt, UINT* pFlags) const {
  TVHITTESTINFO info{};
  info.pt = pt;
  HTREEITEM hItem = HitTest(&info);
  if (pFlags) *pFlags = info.flags;
  return hItem;
}

CImageList* CTreeCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(
      SendMessage(TVM_SETIMAGELIST, nImageListType,
                  reinterpret_cast<LPARAM>(pImageList ? pImageList->m_hImageList : nullptr))));
}

CImageList* CTreeCtrl::GetImageList(int nImageListType) const {
  return CImageList::FromHandle(
      reinterpret_cast<HIMAGELIST>(SendMessage(TVM_GETIMAGELIST, nImageListType)));
}

// Menus -----------------------------------------------------------------------

CMenu* CMenu::FromHandle(HMENU hMenu) { return AfxTempWrapper<CMenu>(hMenu); }

BOOL CMenu::LoadMenu(UINT nIDResource) {
  return Attach(::LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDResource)));
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect) {
  return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd->GetSafeHwnd(), lpRect);
}

BOOL CMenu::TrackPopupMenuEx(UINT fuFlags, int x, int y, CWnd* pWnd, LPTPMPARAMS lptpm) {
  return ::TrackPopupMenuEx(m_hMenu, fuFlags, x, y, pWnd->GetSafeHwnd(), lptpm);
}
