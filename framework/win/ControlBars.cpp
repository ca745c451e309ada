#include "framework/win/ControlBars.h"

#include "framework/win/ImageList.h"
#include "framework/win/MessageMap.h"

// Tool bar ------------------------------------------------------------------

CImageList* CToolBarCtrl::SetImageList(CImageList* pImageList) {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(
      SendMessage(TB_SETIMAGELIST, 0,
                  reinterpret_cast<LPARAM>(pImageList ? pImageList->m_hImageList : nullptr))));
}

BOOL CToolBar::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, CRect /*rcBorders*/,
                        UINT nID) {
  // CBRS_* bits share the low word with control styles: keep them apart.
  m_dwStyle = dwStyle & CBRS_ALL;
  const DWORD style =
      (dwStyle & ~CBRS_ALL) | dwCtrlStyle | CCS_NOPARENTALIGN | CCS_NODIVIDER | CCS_NORESIZE;
  const RECT none{0, 0, 0, 0};
  if (!CWnd::CreateEx(0, TOOLBARCLASSNAMEW, nullptr, style, none, pParentWnd, nID)) return FALSE;
  SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
  return TRUE;
}

BOOL CToolBar::SetButtons(const UINT* lpIDArray, int nIDCount) {
  while (SendMessage(TB_DELETEBUTTON, 0)) {
  }
  int image = 0;
  for (int i = 0; i < nIDCount; ++i) {
    TBBUTTON button{};
    button.idCommand = static_cast<int>(lpIDArray ? lpIDArray[i] : 0);
    button.fsState = TBSTATE_ENABLED;
    if (button.idCommand == 0) {
      button.fsStyle = BTNS_SEP;
    } else {
      button.fsStyle = BTNS_BUTTON;
      button.iBitmap = image++;
    }
    if (!SendMessage(TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button))) return FALSE;
  }
  return TRUE;
}

void CToolBar::SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage) {
  TBBUTTONINFOW info{};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_BYINDEX | TBIF_COMMAND | TBIF_STYLE | TBIF_STATE;
  info.idCommand = static_cast<int>(nID);
  info.fsStyle = static_cast<BYTE>(nStyle & 0xff);
  info.fsState = static_cast<BYTE>((nStyle >> 8) & 0xff);
  if (!info.fsState)
    info.fsState = static_cast<BYTE>(
        SendMessage(TB_GETSTATE, nID) == -1 ? TBSTATE_ENABLED : SendMessage(TB_GETSTATE, nID));
  if (info.fsStyle & BTNS_SEP) {
    info.dwMask |= TBIF_SIZE;  // a separator's image is its width
    info.cx = static_cast<WORD>(iImage);
  } else {
    info.dwMask |= TBIF_IMAGE;
    info.iImage = iImage;
  }
  SendMessage(TB_SETBUTTONINFOW, nIndex, reinterpret_cast<LPARAM>(&info));
}

void CToolBar::GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const {
  TBBUTTON button{};
  SendMessage(TB_GETBUTTON, nIndex, reinterpret_cast<LPARAM>(&button));
  nID = static_cast<UINT>(button.idCommand);
  nStyle = button.fsStyle | (static_cast<UINT>(button.fsState) << 8);
  iImage = button.iBitmap;
}

void CToolBar::SetSizes(SIZE sizeButton, SIZE sizeImage) {
  SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(sizeImage.cx, sizeImage.cy));
  SendMessage(TB_SETBUTTONSIZE, 0, MAKELPARAM(sizeButton.cx, sizeButton.cy));
}

void CToolBar::GetItemRect(int nIndex, LPRECT lpRect) const {
  if (!SendMessage(TB_GETITEMRECT, nIndex, reinterpret_cast<LPARAM>(lpRect)))
    ::SetRectEmpty(lpRect);
}

UINT CToolBar::GetItemID(int nIndex) const {
  TBBUTTON button{};
  SendMessage(TB_GETBUTTON, nIndex, reinterpret_cast<LPARAM>(&button));
  return static_cast<UINT>(button.idCommand);
}

CSize CToolBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz) {
  SIZE size{};
  SendMessage(TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
  if (bHorz) return CSize(bStretch ? 32767 : size.cx, size.cy);
  return CSize(size.cx, bStretch ? 32767 : size.cy);
}

// Status bar ----------------------------------------------------------------

BEGIN_MESSAGE_MAP(CStatusBar, CControlBar)
ON_WM_SIZE()
END_MESSAGE_MAP()

BOOL CStatusBar::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, UINT nID) {
  m_dwStyle = dwStyle & CBRS_ALL;
  const DWORD style = (dwStyle & ~CBRS_ALL) | dwCtrlStyle;
  const RECT none{0, 0, 0, 0};
  return CWnd::CreateEx(0, STATUSCLASSNAMEW, nullptr, style, none, pParentWnd, nID);
}

BOOL CStatusBar::SetIndicators(const UINT* lpIDArray, int nIDCount) {
  m_panes.clear();
  CClientDC dc(this);
  CFont* oldFont = dc.SelectObject(GetFont());
  BOOL ok = TRUE;
  for (int i = 0; i < nIDCount; ++i) {
    Pane pane{lpIDArray ? lpIDArray[i] : 0, i == 0 ? SBPS_NOBORDERS | SBPS_STRETCH : SBPS_NORMAL,
              0};
    CString text;
    if (pane.nID != 0 && !text.LoadString(pane.nID)) ok = FALSE;
    pane.cxWidth = dc.GetTextExtent(text).cx;
    m_panes.push_back(pane);
  }
  if (oldFont) dc.SelectObject(oldFont);
  UpdateParts();
  for (int i = 0; i < nIDCount; ++i) {
    CString text;
    if (m_panes[static_cast<size_t>(i)].nID != 0)
      text.LoadString(m_panes[static_cast<size_t>(i)].nID);
    SetPaneText(i, text);
  }
  return ok;
}

void CStatusBar::SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth) {
  if (nIndex < 0 || nIndex >= GetCount()) return;
  m_panes[static_cast<size_t>(nIndex)] = Pane{nID, nStyle, cxWidth};
  UpdateParts();
}

void CStatusBar::GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const {
  if (nIndex < 0 || nIndex >= GetCount()) {
    nID = nStyle = 0;
    cxWidth = 0;
    return;
  }
  const Pane& pane = m_panes[static_cast<size_t>(nIndex)];
  nID = pane.nID;
  nStyle = pane.nStyle;
  cxWidth = pane.cxWidth;
}

BOOL CStatusBar::SetPaneText(int nIndex, LPCTSTR lpszNewText, BOOL bUpdate) {
  if (nIndex < 0 || nIndex >= GetCount()) return FALSE;
  const UINT drawing = m_panes[static_cast<size_t>(nIndex)].nStyle & (SBT_NOBORDERS | SBT_POPOUT);
  BOOL ok = static_cast<BOOL>(SendMessage(SB_SETTEXTW, static_cast<WPARAM>(nIndex) | drawing,
                                          reinterpret_cast<LPARAM>(lpszNewText)));
  if (bUpdate) UpdateWindow();
  return ok;
}

CString CStatusBar::GetPaneText(int nIndex) const {
  const int length = LOWORD(SendMessage(SB_GETTEXTLENGTHW, nIndex));
  std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
  SendMessage(SB_GETTEXTW, nIndex, reinterpret_cast<LPARAM>(buffer.data()));
  return CString(buffer.c_str(), length);
}

int CStatusBar::CommandToIndex(UINT nIDFind) const {
  for (int i = 0; i < GetCount(); ++i)
    if (m_panes[static_cast<size_t>(i)].nID == nIDFind) return i;
  return -1;
}

void CStatusBar::UpdateParts() {
  if (!m_hWnd || m_panes.empty()) return;
  RECT client;
  GetClientRect(&client);
  int borders[3] = {};
  SendMessage(SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
  // Each pane: its text width plus room for the pane border; the stretch pane
  // (first one marked) takes what is left.
  const int padding = 2 * borders[0] + 8;
  int fixed = 0;
  int stretch = -1;
  for (size_t i = 0; i < m_panes.size(); ++i) {
    if ((m_panes[i].nStyle & SBPS_STRETCH || m_panes[i].cxWidth < 0) && stretch < 0)
      stretch = static_cast<int>(i);
    else
      fixed += m_panes[i].cxWidth + padding + borders[2];
  }
  std::vector<int> rights(m_panes.size());
  int x = 0;
  for (size_t i = 0; i < m_panes.size(); ++i) {
    int width = static_cast<int>(i) == stretch ? client.right - fixed - borders[2]
                                               : m_panes[i].cxWidth + padding;
    if (width < 0) width = 0;
    x += width + (i ? borders[2] : 0);
    rights[i] = x;
  }
  if (!rights.empty() && stretch < 0) rights.back() = -1;  // last pane to the edge
  SendMessage(SB_SETPARTS, rights.size(), reinterpret_cast<LPARAM>(rights.data()));
}

void CStatusBar::OnSize(UINT nType, int cx, int cy) {
  CControlBar::OnSize(nType, cx, cy);
  UpdateParts();
}

CSize CStatusBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz) {
  RECT rc;
  GetWindowRect(&rc);
  (void)bStretch;
  (void)bHorz;
  return CSize(32767, rc.bottom - rc.top);
}
