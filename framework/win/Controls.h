// Thin wrappers over the standard and common controls: each is a CWnd whose
// methods send the control's messages. They add no data, so a CWnd* from
// GetDlgItem may be used as one of them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/win/Gdi.h"
#include "framework/win/Wnd.h"

class CImageList;

class CStatic : public CWnd {
 public:
  BOOL Create(LPCTSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
              UINT nID = 0xffff) {
    return CWnd::Create(L"STATIC", lpszText, dwStyle, rect, pParentWnd, nID);
  }
  HICON SetIcon(HICON hIcon) {
    return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(hIcon)));
  }
  HICON GetIcon() const { return reinterpret_cast<HICON>(SendMessage(STM_GETICON)); }
  HBITMAP SetBitmap(HBITMAP hBitmap) {
    return reinterpret_cast<HBITMAP>(
        SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(hBitmap)));
  }
};

class CButton : public CWnd {
 public:
  BOOL Create(LPCTSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::Create(L"BUTTON", lpszCaption, dwStyle, rect, pParentWnd, nID);
  }
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int nCheck) { SendMessage(BM_SETCHECK, nCheck); }
  UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
  UINT GetButtonStyle() const { return GetStyle() & 0xff; }
  void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE) {
    SendMessage(BM_SETSTYLE, nStyle, bRedraw);
  }
  HICON SetIcon(HICON hIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(hIcon)));
  }
};

class CEdit : public CWnd {
 public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::Create(L"EDIT", nullptr, dwStyle, rect, pParentWnd, nID);
  }
  void LimitText(int nChars = 0) { SendMessage(EM_LIMITTEXT, nChars); }
  void SetLimitText(UINT nMax) { SendMessage(EM_LIMITTEXT, nMax); }
  UINT GetLimitText() const { return static_cast<UINT>(SendMessage(EM_GETLIMITTEXT)); }
  void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE) {
    SendMessage(EM_SETSEL, nStartChar, nEndChar);
    if (!bNoScroll) SendMessage(EM_SCROLLCARET);
  }
  void GetSel(int& nStartChar, int& nEndChar) const {
    DWORD start = 0, end = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    nStartChar = static_cast<int>(start);
    nEndChar = static_cast<int>(end);
  }
  void ReplaceSel(LPCTSTR lpszNewText, BOOL bCanUndo = FALSE) {
    SendMessage(EM_REPLACESEL, bCanUndo, reinterpret_cast<LPARAM>(lpszNewText));
  }
  void SetReadOnly(BOOL bReadOnly = TRUE) { SendMessage(EM_SETREADONLY, bReadOnly); }
};

class CComboBox : public CWnd {
 public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::Create(L"COMBOBOX", nullptr, dwStyle, rect, pParentWnd, nID);
  }
  int AddString(LPCTSTR lpszString) {
    return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszString)));
  }
  int InsertString(int nIndex, LPCTSTR lpszString) {
    return static_cast<int>(
        SendMessage(CB_INSERTSTRING, nIndex, reinterpret_cast<LPARAM>(lpszString)));
  }
  int DeleteString(UINT nIndex) { return static_cast<int>(SendMessage(CB_DELETESTRING, nIndex)); }
  void ResetContent() { SendMessage(CB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
  int SetCurSel(int nSelect) { return static_cast<int>(SendMessage(CB_SETCURSEL, nSelect)); }
  // Selects the first item starting with the text after nStartAfter (-1: from the top).
  int SelectString(int nStartAfter, LPCTSTR lpszString) {
    return static_cast<int>(
        SendMessage(CB_SELECTSTRING, nStartAfter, reinterpret_cast<LPARAM>(lpszString)));
  }
  int FindString(int nStartAfter, LPCTSTR lpszString) const {
    return static_cast<int>(
        SendMessage(CB_FINDSTRING, nStartAfter, reinterpret_cast<LPARAM>(lpszString)));
  }
  int FindStringExact(int nStartAfter, LPCTSTR lpszString) const {
    return static_cast<int>(
        SendMessage(CB_FINDSTRINGEXACT, nStartAfter, reinterpret_cast<LPARAM>(lpszString)));
  }
  int GetLBTextLen(int nIndex) const {
    return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, nIndex));
  }
  void GetLBText(int nIndex, CString& rString) const;
  DWORD_PTR GetItemData(int nIndex) const {
    return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, nIndex));
  }
  int SetItemData(int nIndex, DWORD_PTR dwItemData) {
    return static_cast<int>(SendMessage(CB_SETITEMDATA, nIndex, dwItemData));
  }
  void ShowDropDown(BOOL bShowIt = TRUE) { SendMessage(CB_SHOWDROPDOWN, bShowIt); }
  BOOL GetDroppedState() const { return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE)); }
  // Start in the low word, end in the high word.
  DWORD GetEditSel() const { return static_cast<DWORD>(SendMessage(CB_GETEDITSEL)); }
  BOOL SetEditSel(int nStartChar, int nEndChar) {
    return static_cast<BOOL>(SendMessage(CB_SETEDITSEL, 0, MAKELPARAM(nStartChar, nEndChar)));
  }
  BOOL LimitText(int nMaxChars) { return static_cast<BOOL>(SendMessage(CB_LIMITTEXT, nMaxChars)); }
  int SetDroppedWidth(UINT nWidth) {
    return static_cast<int>(SendMessage(CB_SETDROPPEDWIDTH, nWidth));
  }
  int GetDroppedWidth() const { return static_cast<int>(SendMessage(CB_GETDROPPEDWIDTH)); }
};

class CScrollBar : public CWnd {
 public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::Create(L"SCROLLBAR", nullptr, dwStyle, rect, pParentWnd, nID);
  }
  int GetScrollPos() const { return ::GetScrollPos(m_hWnd, SB_CTL); }
  int SetScrollPos(int nPos, BOOL bRedraw = TRUE) {
    return ::SetScrollPos(m_hWnd, SB_CTL, nPos, bRedraw);
  }
  void SetScrollRange(int nMinPos, int nMaxPos, BOOL bRedraw = TRUE) {
    ::SetScrollRange(m_hWnd, SB_CTL, nMinPos, nMaxPos, bRedraw);
  }
};

class CSliderCtrl : public CWnd {
 public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::Create(TRACKBAR_CLASSW, nullptr, dwStyle, rect, pParentWnd, nID);
  }
  void SetRange(int nMin, int nMax, BOOL bRedraw = FALSE) {
    SendMessage(TBM_SETRANGEMIN, FALSE, nMin);
    SendMessage(TBM_SETRANGEMAX, bRedraw, nMax);
  }
  void GetRange(int& nMin, int& nMax) const {
    nMin = static_cast<int>(SendMessage(TBM_GETRANGEMIN));
    nMax = static_cast<int>(SendMessage(TBM_GETRANGEMAX));
  }
  int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
  void SetPos(int nPos) { SendMessage(TBM_SETPOS, TRUE, nPos); }
  void SetPageSize(int nSize) { SendMessage(TBM_SETPAGESIZE, 0, nSize); }
  void SetTicFreq(int nFreq) { SendMessage(TBM_SETTICFREQ, nFreq); }
};

class CProgressCtrl : public CWnd {
 public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::Create(PROGRESS_CLASSW, nullptr, dwStyle, rect, pParentWnd, nID);
  }
  void SetRange(short nLower, short nUpper) {
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper));
  }
  void SetRange32(int nLower, int nUpper) { SendMessage(PBM_SETRANGE32, nLower, nUpper); }
  int SetPos(int nPos) { return static_cast<int>(SendMessage(PBM_SETPOS, nPos)); }
  int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
};

class CToolTipCtrl : public CWnd {
 public:
  // A pop-up owned by the parent (TTS_ALWAYSTIP and TTS_NOPREFIX added by the caller).
  BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
  // Tool = the window itself (TTF_IDISHWND | TTF_SUBCLASS); text may be LPSTR_TEXTCALLBACK.
  BOOL AddTool(CWnd* pWnd, LPCTSTR lpszText = LPSTR_TEXTCALLBACK, LPCRECT lpRectTool = nullptr,
               UINT_PTR nIDTool = 0);
  void DelTool(CWnd* pWnd, UINT_PTR nIDTool = 0);
  void UpdateTipText(LPCTSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool = 0);
  void RelayEvent(LPMSG lpMsg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(lpMsg)); }
  void Activate(BOOL bActivate) { SendMessage(TTM_ACTIVATE, bActivate); }
  void Update() { SendMessage(TTM_UPDATE); }
  void Pop() { SendMessage(TTM_POP); }
  int SetMaxTipWidth(int iWidth) {
    return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, iWidth));
  }
  void SetDelayTime(DWORD dwDuration, int iTime) {
    SendMessage(TTM_SETDELAYTIME, dwDuration, iTime);
  }
  int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }

 private:
  static void FillTool(TOOLINFOW& ti, CWnd* pWnd, UINT_PTR nIDTool);
};

class CTabCtrl : public CWnd {
 public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CWnd::Create(WC_TABCONTROLW, nullptr, dwStyle, rect, pParentWnd, nID);
  }
  int GetItemCount() const { return static_cast<int>(SendMessage(TCM_GETITEMCOUNT)); }
  BOOL GetItem(int nItem, TCITEMW* pTabCtrlItem) const {
    return static_cast<BOOL>(
        SendMessage(TCM_GETITEMW, nItem, reinterpret_cast<LPARAM>(pTabCtrlItem)));
  }
  BOOL SetItem(int nItem, TCITEMW* pTabCtrlItem) {
    return static_cast<BOOL>(
        SendMessage(TCM_SETITEMW, nItem, reinterpret_cast<LPARAM>(pTabCtrlItem)));
  }
  int InsertItem(int nItem, TCITEMW* pTabCtrlItem) {
    return static_cast<int>(
        SendMessage(TCM_INSERTITEMW, nItem, reinterpret_cast<LPARAM>(pTabCtrlItem)));
  }
  int InsertItem(int nItem, LPCTSTR lpszItem) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(lpszItem);
    return InsertItem(nItem, &item);
  }
  BOOL DeleteItem(int nItem) { return static_cast<BOOL>(SendMessage(TCM_DELETEITEM, nItem)); }
  BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(TCM_DELETEALLITEMS)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(TCM_GETCURSEL)); }
  int SetCurSel(int nItem) { return static_cast<int>(SendMessage(TCM_SETCURSEL, nItem)); }
  // Temporary wrapper (see CImageList::FromHandle).
  CImageList* GetImageList() const;
  CImageList* SetImageList(CImageList* pImageList);
  BOOL GetItemRect(int nItem, LPRECT lpRect) const {
    return static_cast<BOOL>(SendMessage(TCM_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(lpRect)));
  }
  // bLarger: display rectangle → window rectangle; else the reverse.
  void AdjustRect(BOOL bLarger, LPRECT lpRect) {
    SendMessage(TCM_ADJUSTRECT, bLarger, reinterpret_cast<LPARAM>(lpRect));
  }
};
