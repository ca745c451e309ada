// Tool bar, status bar and rebar wrappers. CToolBar and CStatusBar are control
// bars (RepositionBars lays them out); the *Ctrl classes are the bare controls.
#pragma once

#include <vector>

#include "framework/win/Controls.h"

class CToolBarCtrl : public CWnd {
 public:
  CImageList* SetImageList(CImageList* pImageList);
  // Total size of all buttons.
  void GetMaxSize(LPSIZE pSize) const {
    SendMessage(TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(pSize));
  }
  int GetButtonCount() const { return static_cast<int>(SendMessage(TB_BUTTONCOUNT)); }
  BOOL EnableButton(int nID, BOOL bEnable = TRUE) {
    return static_cast<BOOL>(SendMessage(TB_ENABLEBUTTON, nID, MAKELPARAM(bEnable, 0)));
  }
  BOOL CheckButton(int nID, BOOL bCheck = TRUE) {
    return static_cast<BOOL>(SendMessage(TB_CHECKBUTTON, nID, MAKELPARAM(bCheck, 0)));
  }
  DWORD SetExtendedStyle(DWORD dwExStyle) {
    return static_cast<DWORD>(SendMessage(TB_SETEXTENDEDSTYLE, 0, dwExStyle));
  }
  BOOL GetItemRect(int nIndex, LPRECT lpRect) const {
    return static_cast<BOOL>(SendMessage(TB_GETITEMRECT, nIndex, reinterpret_cast<LPARAM>(lpRect)));
  }
};

class CToolBar : public CControlBar {
 public:
  // A comctl32 tool bar child with id nID (TBSTYLE_* in dwCtrlStyle, CBRS_* in dwStyle).
  BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle = TBSTYLE_FLAT,
                DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP,
                CRect rcBorders = CRect(0, 0, 0, 0), UINT nID = AFX_IDW_TOOLBAR);
  // One button per id, images in order; ID_SEPARATOR (0) makes a separator.
  BOOL SetButtons(const UINT* lpIDArray, int nIDCount);
  void SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage);
  void GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const;
  void SetSizes(SIZE sizeButton, SIZE sizeImage);
  void GetItemRect(int nIndex, LPRECT lpRect) const;
  int CommandToIndex(UINT nIDFind) const {
    return static_cast<int>(SendMessage(TB_COMMANDTOINDEX, nIDFind));
  }
  UINT GetItemID(int nIndex) const;
  CToolBarCtrl& GetToolBarCtrl() const {
    return *static_cast<CToolBarCtrl*>(static_cast<CWnd*>(const_cast<CToolBar*>(this)));
  }
  CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
};

class CStatusBarCtrl : public CWnd {
 public:
  BOOL SetParts(int nParts, int* pWidths) {
    return static_cast<BOOL>(SendMessage(SB_SETPARTS, nParts, reinterpret_cast<LPARAM>(pWidths)));
  }
  int GetParts(int nParts, int* pParts) const {
    return static_cast<int>(SendMessage(SB_GETPARTS, nParts, reinterpret_cast<LPARAM>(pParts)));
  }
  BOOL SetText(LPCTSTR lpszText, int nPane, int nType) {
    return static_cast<BOOL>(
        SendMessage(SB_SETTEXTW, (nPane & 0xff) | nType, reinterpret_cast<LPARAM>(lpszText)));
  }
  // Shown for the pane when its text does not fit (SBT_TOOLTIPS).
  void SetTipText(int nPane, LPCTSTR pszTipText) {
    SendMessage(SB_SETTIPTEXTW, nPane, reinterpret_cast<LPARAM>(pszTipText));
  }
  BOOL GetRect(int nPane, LPRECT lpRect) const {
    return static_cast<BOOL>(SendMessage(SB_GETRECT, nPane, reinterpret_cast<LPARAM>(lpRect)));
  }
  void SetMinHeight(int nMin) { SendMessage(SB_SETMINHEIGHT, nMin); }
};

class CStatusBar : public CControlBar {
 public:
  BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle = 0,
                DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, UINT nID = AFX_IDW_STATUS_BAR);
  // One pane per string id (its text from the string table; 0 = empty).
  BOOL SetIndicators(const UINT* lpIDArray, int nIDCount);
  // cxWidth -1 (or SBPS_STRETCH in nStyle) stretches the pane to the right edge.
  void SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth);
  void GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const;
  BOOL SetPaneText(int nIndex, LPCTSTR lpszNewText, BOOL bUpdate = TRUE);
  CString GetPaneText(int nIndex) const;
  int CommandToIndex(UINT nIDFind) const;
  int GetCount() const { return static_cast<int>(m_panes.size()); }
  CStatusBarCtrl& GetStatusBarCtrl() const {
    return *static_cast<CStatusBarCtrl*>(static_cast<CWnd*>(const_cast<CStatusBar*>(this)));
  }
  CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;

 protected:
  struct Pane {
    UINT nID;
    UINT nStyle;
    int cxWidth;
  };
  std::vector<Pane> m_panes;
  void UpdateParts();
  void OnSize(UINT nType, int cx, int cy);
  DECLARE_MESSAGE_MAP()
};

constexpr UINT SBPS_NORMAL = 0x0000;
constexpr UINT SBPS_NOBORDERS = SBT_NOBORDERS;
constexpr UINT SBPS_POPOUT = SBT_POPOUT;
constexpr UINT SBPS_STRETCH = 0x10000000;  // our own bit: not a SBT_* flag

class CReBarCtrl : public CWnd {
 public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::Create(REBARCLASSNAMEW, nullptr, dwStyle, rect, pParentWnd, nID);
  }
  BOOL InsertBand(UINT uIndex, REBARBANDINFOW* prbbi) {
    return static_cast<BOOL>(SendMessage(RB_INSERTBANDW, uIndex, reinterpret_cast<LPARAM>(prbbi)));
  }
  BOOL SetBandInfo(UINT uBand, REBARBANDINFOW* prbbi) {
    return static_cast<BOOL>(SendMessage(RB_SETBANDINFOW, uBand, reinterpret_cast<LPARAM>(prbbi)));
  }
  UINT GetBandCount() const { return static_cast<UINT>(SendMessage(RB_GETBANDCOUNT)); }
  UINT GetBarHeight() const { return static_cast<UINT>(SendMessage(RB_GETBARHEIGHT)); }
};
