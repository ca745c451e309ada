#include "uikit/TreePropSheetBase.h"

#include "framework/win/WinApp.h"
#include "uikit/ExplorerTheme.h"

namespace TreePropSheet {

const UINT WMU_TPS_ENABLEPAGE = ::RegisterWindowMessageW(L"WMU_TPS_ENABLEPAGE");

namespace {

constexpr UINT kCaptionProbeId = 0x1234;
constexpr int kNoPage = -1;

RECT ChildRect(HWND child, HWND parent) {
  RECT rc{};
  ::GetWindowRect(child, &rc);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<LPPOINT>(&rc), 2);
  return rc;
}

void MoveChildren(HWND parent, int dx, int dy) {
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    const RECT rc = ChildRect(child, parent);
    ::SetWindowPos(child, nullptr, rc.left + dx, rc.top + dy, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace

BEGIN_MESSAGE_MAP(CTreePropSheetBase, CPropertySheet)
ON_WM_DESTROY()
ON_MESSAGE(PSM_ADDPAGE, HandleAddPage)
ON_MESSAGE(PSM_REMOVEPAGE, HandleRemovePage)
ON_MESSAGE(PSM_SETCURSEL, HandleSetCurSel)
ON_MESSAGE(PSM_SETCURSELID, HandleSetCurSel)
ON_MESSAGE(PSM_ISDIALOGMESSAGE, HandleIsDialogMessage)
ON_NOTIFY(TVN_SELCHANGINGA, kPageTreeId, OnSelChanging)
ON_NOTIFY(TVN_SELCHANGINGW, kPageTreeId, OnSelChanging)
ON_NOTIFY(TVN_SELCHANGEDA, kPageTreeId, OnSelChanged)
ON_NOTIFY(TVN_SELCHANGEDW, kPageTreeId, OnSelChanged)
ON_REGISTERED_MESSAGE(WMU_TPS_ENABLEPAGE, OnEnablePage)
END_MESSAGE_MAP()

CTreePropSheetBase::CTreePropSheetBase() { SetDefaults(); }

CTreePropSheetBase::CTreePropSheetBase(LPCTSTR caption, CWnd* parent, UINT selectPage)
    : CPropertySheet(caption, parent, selectPage) {
  SetDefaults();
}

void CTreePropSheetBase::SetDefaults() {
  m_bTreeMode = FALSE;
  m_bShowCaption = FALSE;
  m_bTreeImages = FALSE;
  m_nTreePaneWidth = 150;
  m_nTreeGap = 5;
  m_bSkipEmptyPages = false;
  m_bExpandAll = false;
  m_bSkipDisabledPages = true;
}

CTreePropSheetBase::~CTreePropSheetBase() {
  // While this object is still whole: the tree and frame objects die with it.
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
  delete m_pTree;
  m_pTree = nullptr;
  delete m_pFrame;
  m_pFrame = nullptr;
}

BOOL CTreePropSheetBase::SetTreeMode(BOOL tree, BOOL caption, BOOL images) {
  if (m_hWnd) return FALSE;
  m_bTreeMode = tree;
  if (tree) {
    m_bShowCaption = caption;
    m_bTreeImages = images;
  }
  return TRUE;
}

BOOL CTreePropSheetBase::SetTreePaneWidth(int width) {
  if (m_hWnd) return FALSE;
  m_nTreePaneWidth = width;
  return TRUE;
}

BOOL CTreePropSheetBase::IsItemExpanded(HTREEITEM item) const {
  if (!m_pTree || !item) return FALSE;
  return (m_pTree->GetItemState(item, TVIS_EXPANDED | TVIS_EXPANDPARTIAL) &
          (TVIS_EXPANDED | TVIS_EXPANDPARTIAL)) != 0;
}

int CTreePropSheetBase::PageIndexOf(HTREEITEM item) const {
  return static_cast<int>(m_pTree->GetItemData(item));
}

BOOL CTreePropSheetBase::ItemHasPage(HTREEITEM item) const {
  return m_pTree && item && PageIndexOf(item) != kNoPage;
}

HTREEITEM CTreePropSheetBase::FindPageItem(int page) const {
  if (!m_pTree || !m_pTree->m_hWnd) return nullptr;
  for (HTREEITEM item = m_pTree->GetRootItem(); item;) {
    if (PageIndexOf(item) == page) return item;
    item = NextInOrder(item);
    if (item == m_pTree->GetRootItem()) break;
  }
  return nullptr;
}

// ---------------------------------------------------------------- page states

bool CTreePropSheetBase::SetPageEnabled(CPropertyPage* page, bool enable) {
  auto it = m_pageStates.find(page);
  const bool old = it != m_pageStates.end() && it->second;
  if (enable) {
    m_pageStates[page] = true;
  } else {
    if (m_hWnd && page == GetActivePage()) {
      ActivateNextPage();
      if (page == GetActivePage()) return old;  // nowhere else to go
    }
    m_pageStates[page] = false;
  }
  if (page && ::IsWindow(page->m_hWnd)) ::EnableWindow(page->m_hWnd, enable);
  if (m_pTree && m_pTree->m_hWnd) RecolourTree(m_pTree->GetRootItem(), TRUE);
  return old;
}

BOOL CTreePropSheetBase::IsPageEnabled(CPropertyPage* page) const {
  auto it = m_pageStates.find(page);
  return it == m_pageStates.end() || it->second;
}

BOOL CTreePropSheetBase::IsItemPageEnabled(HTREEITEM item) const {
  if (!ItemHasPage(item)) return TRUE;
  return IsPageEnabled(GetPage(PageIndexOf(item)));
}

LRESULT CTreePropSheetBase::OnEnablePage(WPARAM wParam, LPARAM lParam) {
  SetPageEnabled(reinterpret_cast<CPropertyPage*>(wParam), lParam != 0);
  return 1;
}

void CTreePropSheetBase::ColourTreeItem(HTREEITEM item) {
  if (!item || !ItemHasPage(item)) return;
  const COLORREF colour = IsPageEnabled(GetPage(PageIndexOf(item))) ? m_pTree->GetTextColor()
                                                                    : ::GetSysColor(COLOR_GRAYTEXT);
  m_pTree->SendMessage(WMU_TPS_ENABLETREEITEM, reinterpret_cast<WPARAM>(item), colour);
}

void CTreePropSheetBase::RecolourTree(HTREEITEM item, BOOL redraw) {
  for (; item; item = m_pTree->GetNextSiblingItem(item)) {
    ColourTreeItem(item);
    if (HTREEITEM child = m_pTree->GetChildItem(item)) RecolourTree(child, FALSE);
  }
  if (redraw) m_pTree->Invalidate();
}

// ---------------------------------------------------------------- initialisation

BOOL CTreePropSheetBase::OnInitDialog() {
  if (m_bTreeMode && !IsWizard()) {
    RefreshGuard guard(m_nRefreshCounter);
    EnableStackedTabs(FALSE);
    m_treeImages.DeleteImageList();
    m_treeImages.Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 1);
  }
  const BOOL result = CPropertySheet::OnInitDialog();
  if (IsWizard()) return result;
  CTabCtrl* tab = GetTabControl();
  if (!tab || !tab->m_hWnd) return result;
  SetTabImagesFromPages();
  if (!m_bTreeMode) return result;

  tab->ShowWindow(SW_HIDE);
  tab->EnableWindow(FALSE);
  const RECT pageArea = ChildRect(tab->m_hWnd, m_hWnd);

  m_pFrame = MakePageFrame();
  if (!m_pFrame) AfxThrowMemoryException();
  m_pFrame->CreateFrame(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, pageArea, this, kPageFrameId);
  m_pFrame->SetCaptionVisible(m_bShowCaption);

  // Room for the tree on the left: everything else moves right.
  RECT window;
  GetWindowRect(&window);
  SetWindowPos(nullptr, 0, 0, window.right - window.left + m_nTreePaneWidth,
               window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  CenterWindow();
  MoveChildren(m_hWnd, m_nTreePaneWidth, 0);

  RECT treeRect = pageArea;
  treeRect.right = treeRect.left + m_nTreePaneWidth - m_nTreeGap;

  // The caption band is as high as a tab row.
  int captionHeight = 0;
  {
    CTabCtrl probe;
    if (probe.Create(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, treeRect, this, kCaptionProbeId)) {
      probe.SetFont(GetFontHandle(), FALSE);
      probe.InsertItem(0, L"");
      RECT item{};
      if (probe.GetItemRect(0, &item)) captionHeight = item.bottom - item.top;
      probe.DestroyWindow();
    }
  }
  m_pFrame->SetCaptionBandHeight(captionHeight);

  if (!m_bShowCaption) {
    // Without a caption the tab row's height is not needed.
    CWnd* frameWnd = m_pFrame->GetFrameWnd();
    RECT frame = ChildRect(frameWnd->m_hWnd, m_hWnd);
    frameWnd->SetWindowPos(nullptr, frame.left, frame.top + captionHeight, frame.right - frame.left,
                           frame.bottom - frame.top - captionHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    MoveChildren(m_hWnd, 0, -captionHeight);
    treeRect.bottom -= captionHeight;
    GetWindowRect(&window);
    SetWindowPos(nullptr, window.left, window.top + captionHeight / 2, window.right - window.left,
                 window.bottom - window.top - captionHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    CenterWindow();
  }

  m_pTree = MakePageTree();
  if (!m_pTree) AfxThrowMemoryException();
  m_pTree->CreateEx(WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY, WC_TREEVIEWW, L"PageTree",
                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
                        TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_TRACKSELECT,
                    treeRect, this, kPageTreeId);
  if (WindowsMajorVersion() >= 6) {
    SetExplorerTheme(m_pTree->m_hWnd, L"TreeView", L"explorer", nullptr);
    m_pTree->SendMessage(TVM_SETEXTENDEDSTYLE, 0, TVS_EX_DOUBLEBUFFER | TVS_EX_AUTOHSCROLL);
  }
  if (m_bTreeImages) {
    m_pTree->SetImageList(&m_treeImages, TVSIL_NORMAL);
    m_pTree->SetImageList(&m_treeImages, TVSIL_STATE);
  }

  m_pTree->SetRedraw(FALSE);
  RebuildPageTree();
  if (m_bExpandAll) ExpandAllItems(m_pTree->GetRootItem(), TVE_EXPAND);
  if (tab->GetCurSel() != -1) SelectCurrentPageItem();
  m_pTree->SetRedraw(TRUE);
  m_pTree->Invalidate();
  return result;
}

void CTreePropSheetBase::SetTabImagesFromPages() {
  CTabCtrl* tab = GetTabControl();
  if (!tab || !tab->m_hWnd) return;
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 1);
  if (!list) return;
  bool ok = true;
  for (int i = 0; ok && i < GetPageCount(); ++i) {
    const PROPSHEETPAGEW& psp = GetPage(i)->m_psp;
    if ((psp.dwFlags & PSP_USEHICON) && ImageList_ReplaceIcon(list, -1, psp.hIcon) < 0) ok = false;
    if (ok && (psp.dwFlags & PSP_USEICONID)) {
      HICON icon = static_cast<HICON>(
          ::LoadImageW(AfxGetResourceHandle(), psp.pszIcon, IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
      if (!icon || ImageList_ReplaceIcon(list, -1, icon) < 0) ok = false;
      if (icon) ::DestroyIcon(icon);
    }
  }
  if (!ok) {
    ImageList_Destroy(list);
    return;
  }
  // The list the sheet made for its tabs stays the sheet's to free; only our own
  // previous list goes here.
  tab->SendMessage(TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
  m_tabImages.DeleteImageList();
  m_tabImages.Attach(list);
}

// ---------------------------------------------------------------- tree contents

CString CTreePropSheetBase::SplitPagePath(CString& path) {
  int start = 0;
  for (;;) {
    const int at = path.Find(L"::", start);
    if (at < 0) break;
    if (at == 0) {
      start = 2;
      continue;
    }
    int backslashes = 0;
    for (int i = at - 1; i >= 0 && path[i] == L'\\'; --i) ++backslashes;
    if (backslashes % 2) {
      start = at + 1;
      continue;
    }
    CString first = path.Left(at);
    first.Replace(L"\\::", L"::");
    first.Replace(L"\\\\", L"\\");
    path = path.Mid(at + 2);
    return first;
  }
  CString first = path;
  path.Empty();
  return first;
}

HTREEITEM CTreePropSheetBase::CreatePageItem(CString path, HTREEITEM parent) {
  const CString name = SplitPagePath(path);
  HTREEITEM node = parent == TVI_ROOT ? m_pTree->GetRootItem() : m_pTree->GetChildItem(parent);
  for (; node; node = m_pTree->GetNextSiblingItem(node))
    if (m_pTree->GetItemText(node) == name) break;
  if (!node) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<LPWSTR>(static_cast<LPCWSTR>(name));
    insert.item.lParam = kNoPage;
    node = m_pTree->InsertItem(&insert);
    if (!node) return nullptr;
  }
  return path.IsEmpty() ? node : CreatePageItem(path, node);
}

void CTreePropSheetBase::RebuildPageTree() {
  if (!m_hWnd || !m_pTree || !m_pTree->m_hWnd) return;
  RefreshGuard guard(m_nRefreshCounter);
  m_pTree->DeleteAllItems();
  CTabCtrl* tab = GetTabControl();
  const int count = tab->GetItemCount();

  if (m_bTreeImages && m_treeImages.GetSafeHandle()) {
    ImageList_RemoveAll(m_treeImages);
    if (HIMAGELIST tabImages = reinterpret_cast<HIMAGELIST>(tab->SendMessage(TCM_GETIMAGELIST))) {
      for (int i = 0; i < ImageList_GetImageCount(tabImages); ++i) {
        HICON icon = ImageList_GetIcon(tabImages, i, ILD_NORMAL);
        if (!icon) continue;
        m_treeImages.Add(icon);
        ::DestroyIcon(icon);
      }
    }
  }

  for (int i = 0; i < count; ++i) {
    wchar_t text[260] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = text;
    item.cchTextMax = 260;
    if (!tab->GetItem(i, &item)) continue;
    text[259] = 0;
    HTREEITEM treeItem = CreatePageItem(text, TVI_ROOT);
    if (!treeItem) continue;
    m_pTree->SetItemData(treeItem, static_cast<DWORD_PTR>(i));
    if (m_bTreeImages) {
      const int image =
          item.iImage >= 0 && item.iImage < m_treeImages.GetImageCount() ? item.iImage : -1;
      m_pTree->SetItemImage(treeItem, image, image);
    }
    if (!IsPageEnabled(GetPage(i)))
      m_pTree->SendMessage(WMU_TPS_ENABLETREEITEM, reinterpret_cast<WPARAM>(treeItem),
                           ::GetSysColor(COLOR_GRAYTEXT));
  }
}

void CTreePropSheetBase::RefreshPageTree() {
  if (!m_bTreeMode || !m_pTree || !m_pTree->m_hWnd) return;
  m_pTree->SetRedraw(FALSE);
  RebuildPageTree();
  SelectCurrentPageItem();
  m_pTree->SetRedraw(TRUE);
  m_pTree->Invalidate();
}

void CTreePropSheetBase::SelectCurrentPageItem() {
  CTabCtrl* tab = GetTabControl();
  if (!m_pTree || !tab) return;
  if (HTREEITEM item = FindPageItem(tab->GetCurSel())) {
    {
      RefreshGuard guard(m_nRefreshCounter);
      m_pTree->SelectItem(item);
    }
    UpdateFrameCaption();
  }
}

void CTreePropSheetBase::ExpandAllItems(HTREEITEM item, UINT code) {
  for (; item; item = m_pTree->GetNextSiblingItem(item))
    if (m_pTree->Expand(item, code)) ExpandAllItems(m_pTree->GetChildItem(item), code);
}

// ---------------------------------------------------------------- selection

BOOL CTreePropSheetBase::IsItemSelectable(HTREEITEM item) const {
  if (!ItemHasPage(item)) return m_bSkipEmptyPages;
  if (IsPageEnabled(GetPage(PageIndexOf(item)))) return TRUE;
  return !m_bSkipDisabledPages;
}

HTREEITEM CTreePropSheetBase::FindSelectableFrom(HTREEITEM first) const {
  for (HTREEITEM item = first; item; item = m_pTree->GetNextSiblingItem(item)) {
    if (IsItemSelectable(item)) return item;
    if (HTREEITEM child = m_pTree->GetChildItem(item))
      if (HTREEITEM found = FindSelectableFrom(child)) return found;
  }
  return nullptr;
}

HTREEITEM CTreePropSheetBase::FindSelectableBelow(HTREEITEM item) const {
  if (!item || item == TVI_ROOT) return FindSelectableFrom(m_pTree->GetRootItem());
  HTREEITEM child = m_pTree->GetChildItem(item);
  return FindSelectableFrom(child ? child : m_pTree->GetNextSiblingItem(item));
}

HTREEITEM CTreePropSheetBase::NextInOrder(HTREEITEM item) const {
  if (!item) return m_pTree->GetRootItem();
  if (HTREEITEM child = m_pTree->GetChildItem(item)) return child;
  for (; item; item = m_pTree->GetParentItem(item))
    if (HTREEITEM sibling = m_pTree->GetNextSiblingItem(item)) return sibling;
  return m_pTree->GetRootItem();
}

HTREEITEM CTreePropSheetBase::PreviousInOrder(HTREEITEM item) const {
  HTREEITEM last = nullptr;
  if (item) {
    if (HTREEITEM parent = m_pTree->GetParentItem(item); !m_pTree->GetPrevSiblingItem(item)) {
      if (parent) return parent;
    } else {
      last = m_pTree->GetPrevSiblingItem(item);
    }
  }
  if (!last) {
    // Wrap: the last root item.
    last = m_pTree->GetRootItem();
    while (HTREEITEM next = last ? m_pTree->GetNextSiblingItem(last) : nullptr) last = next;
  }
  // Down to its last descendant.
  while (HTREEITEM child = last ? m_pTree->GetChildItem(last) : nullptr) {
    last = child;
    while (HTREEITEM next = m_pTree->GetNextSiblingItem(last)) last = next;
  }
  return last;
}

void CTreePropSheetBase::SelectNextSelectable(HTREEITEM item) {
  const UINT bound = m_pTree->GetCount() + 1;
  for (UINT i = 0; i < bound; ++i) {
    item = NextInOrder(item);
    if (!item) return;
    if (IsItemSelectable(item)) {
      m_pTree->SelectItem(item);
      return;
    }
  }
}

void CTreePropSheetBase::SelectPrevSelectable(HTREEITEM item) {
  const UINT bound = m_pTree->GetCount() + 1;
  for (UINT i = 0; i < bound; ++i) {
    item = PreviousInOrder(item);
    if (!item) return;
    if (IsItemSelectable(item)) {
      m_pTree->SelectItem(item);
      return;
    }
  }
}

void CTreePropSheetBase::ActivatePreviousPage() {
  if (!m_hWnd || GetPageCount() == 0) return;
  if (m_pTree && m_pTree->m_hWnd) {
    SelectPrevSelectable(m_pTree->GetSelectedItem());
    return;
  }
  const int active = GetActiveIndex();
  SetActivePage(active <= 0 ? GetPageCount() - 1 : active - 1);
}

void CTreePropSheetBase::ActivateNextPage() {
  if (!m_hWnd || GetPageCount() == 0) return;
  if (m_pTree && m_pTree->m_hWnd) {
    SelectNextSelectable(m_pTree->GetSelectedItem());
    return;
  }
  const int active = GetActiveIndex();
  SetActivePage(active + 1 >= GetPageCount() ? 0 : active + 1);
}

BOOL CTreePropSheetBase::QueryLeaveActivePage() {
  HWND page = reinterpret_cast<HWND>(SendMessage(PSM_GETCURRENTPAGEHWND));
  if (!page || !::IsWindowVisible(page)) return TRUE;
  PSHNOTIFY notify{};
  notify.hdr.hwndFrom = m_hWnd;
  notify.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
  notify.hdr.code = PSN_KILLACTIVE;
  if (::SendMessageW(page, WM_NOTIFY, notify.hdr.idFrom, reinterpret_cast<LPARAM>(&notify)))
    return FALSE;
  ::ShowWindow(page, SW_HIDE);
  return TRUE;
}

void CTreePropSheetBase::OnSelChanging(NMHDR* pNMHDR, LRESULT* pResult) {
  *pResult = 0;
  if (m_nRefreshCounter > 0) return;
  auto* info = reinterpret_cast<NMTREEVIEWW*>(pNMHDR);
  HTREEITEM item = info->itemNew.hItem;
  const int page = item ? PageIndexOf(item) : kNoPage;
  if (page >= 0 && page < GetPageCount()) {
    if (IsItemSelectable(item)) {
      RefreshGuard guard(m_nRefreshCounter);
      if (!SetActivePage(page)) *pResult = 1;
    } else {
      if (HTREEITEM target = FindSelectableBelow(item)) m_pTree->SelectItem(target);
      *pResult = 1;
    }
  } else if (IsItemSelectable(item)) {
    if (HTREEITEM target = FindSelectableBelow(item)) m_pTree->SelectItem(target);
    *pResult = 1;
  } else if (!QueryLeaveActivePage()) {
    *pResult = 1;
  }
  m_pTree->SetFocus();
}

void CTreePropSheetBase::OnSelChanged(NMHDR*, LRESULT* pResult) {
  *pResult = 0;
  if (m_nRefreshCounter > 0) return;
  UpdateFrameCaption();
}

void CTreePropSheetBase::UpdateFrameCaption() {
  if (!m_pTree || !m_pFrame) return;
  HWND page = reinterpret_cast<HWND>(SendMessage(PSM_GETCURRENTPAGEHWND));
  const bool pageShown = page && ::IsWindowVisible(page);
  HTREEITEM item = m_pTree->GetSelectedItem();
  if (!item) return;
  const CString text = m_pTree->GetItemText(item);
  if (!pageShown) m_pFrame->SetMessageText(FormatEmptyPageText(m_strEmptyPageTextFormat, text));

  CTabCtrl* tab = GetTabControl();
  if (!m_pFrame->GetShowCaption() || !tab || !tab->m_hWnd) return;
  HICON icon = nullptr;
  if (m_bTreeImages) {
    int image = -1, selected = -1;
    if (m_pTree->GetItemImage(item, image, selected) && image >= 0)
      icon = m_treeImages.ExtractIcon(image);
  } else if (pageShown) {
    auto tabImages = reinterpret_cast<HIMAGELIST>(tab->SendMessage(TCM_GETIMAGELIST));
    TCITEMW tabItem{};
    tabItem.mask = TCIF_IMAGE;
    if (tabImages && ItemHasPage(item) && tab->GetItem(PageIndexOf(item), &tabItem) &&
        tabItem.iImage >= 0)
      icon = ImageList_ExtractIcon(nullptr, tabImages, tabItem.iImage);
  }
  m_pFrame->SetCaptionText(text, icon);
  if (icon) ::DestroyIcon(icon);
}

CString CTreePropSheetBase::FormatEmptyPageText(const CString& format, const CString& itemText) {
  CString text;
  text.Format(format, itemText);
  return text;
}

// ---------------------------------------------------------------- messages

void CTreePropSheetBase::OnDestroy() {
  CPropertySheet::OnDestroy();
  if (m_pTree && m_pTree->m_hWnd) m_pTree->DestroyWindow();
  if (m_pFrame && m_pFrame->GetFrameWnd() && m_pFrame->GetFrameWnd()->m_hWnd)
    m_pFrame->GetFrameWnd()->DestroyWindow();
  m_treeImages.DeleteImageList();
  delete m_pTree;
  m_pTree = nullptr;
  delete m_pFrame;
  m_pFrame = nullptr;
}

LRESULT CTreePropSheetBase::HandleAddPage(WPARAM, LPARAM) {
  const LRESULT result = Default();
  RefreshPageTree();
  return result;
}

LRESULT CTreePropSheetBase::HandleRemovePage(WPARAM, LPARAM) {
  const LRESULT result = Default();
  RefreshPageTree();
  return result;
}

LRESULT CTreePropSheetBase::HandleSetCurSel(WPARAM, LPARAM) {
  const LRESULT result = Default();
  HWND page = reinterpret_cast<HWND>(SendMessage(PSM_GETCURRENTPAGEHWND));
  // Back from a node without a page: the sheet does not show a page it thinks is showing.
  if (result && page && !::IsWindowVisible(page)) ::ShowWindow(page, SW_SHOW);
  if (m_bTreeMode && m_pTree && m_pTree->m_hWnd) {
    SelectCurrentPageItem();
  }
  return result;
}

// Only the sheet's own keys are claimed: every other Ctrl key (copy, paste, cut,
// select all, word moves) belongs to the page's controls and goes on to them.
LRESULT CTreePropSheetBase::HandleIsDialogMessage(WPARAM, LPARAM lParam) {
  const MSG* msg = reinterpret_cast<const MSG*>(lParam);
  if (!msg || msg->message != WM_KEYDOWN || ::GetKeyState(VK_CONTROL) >= 0) return Default();
  const bool shift = ::GetKeyState(VK_SHIFT) < 0;
  switch (msg->wParam) {
    case VK_TAB:
      if (shift)
        ActivatePreviousPage();
      else
        ActivateNextPage();
      return 1;
    case VK_PRIOR:
      ActivatePreviousPage();
      return 1;
    case VK_NEXT:
      ActivateNextPage();
      return 1;
    default:
      return Default();
  }
}

BOOL CTreePropSheetBase::PreTranslateMessage(MSG* pMsg) {
  if (!m_bSkipEmptyPages || pMsg->message != WM_KEYDOWN || !m_pTree ||
      pMsg->hwnd != m_pTree->m_hWnd)
    return CPropertySheet::PreTranslateMessage(pMsg);
  HTREEITEM item = m_pTree->GetSelectedItem();
  if (!item) return TRUE;
  switch (pMsg->wParam) {
    case VK_UP:
      SelectPrevSelectable(item);
      return TRUE;
    case VK_DOWN:
      SelectNextSelectable(item);
      return TRUE;
    case VK_LEFT:
      if (IsItemExpanded(item)) {
        m_pTree->Expand(item, TVE_COLLAPSE);
      } else {
        HTREEITEM parent = m_pTree->GetParentItem(item);
        while (parent && !ItemHasPage(parent)) parent = m_pTree->GetParentItem(parent);
        if (parent) m_pTree->SelectItem(parent);
      }
      return TRUE;
    case VK_RIGHT:
      if (!IsItemExpanded(item)) {
        m_pTree->Expand(item, TVE_EXPAND);
      } else {
        HTREEITEM child = m_pTree->GetChildItem(item);
        while (child && !ItemHasPage(child)) child = m_pTree->GetChildItem(child);
        if (child) m_pTree->SelectItem(child);
      }
      return TRUE;
    default:
      return CPropertySheet::PreTranslateMessage(pMsg);
  }
}

// ---------------------------------------------------------------- factories

CTreePropSheetTreeCtrl* CTreePropSheetBase::MakePageTree() { return new CTreePropSheetTreeCtrl; }

CPropPageFrame* CTreePropSheetBase::MakePageFrame() { return new CPropPageFrameEx; }

}  // namespace TreePropSheet
