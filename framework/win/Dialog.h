// Dialogs, data exchange and validation.
//
// DoModal creates the dialog modeless and runs the framework's modal loop (so
// PreTranslateMessage and WM_KICKIDLE work) with the owner disabled.
#pragma once

#include "framework/win/Wnd.h"

class CDialog : public CWnd {
 public:
  CDialog();
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  explicit CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // Modeless.
  virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  virtual BOOL Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
  BOOL CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr);
  // Modal template in memory (used by DoModal instead of the resource).
  BOOL InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr);

  virtual INT_PTR DoModal();
  void EndDialog(int nResult);

  virtual BOOL OnInitDialog();  // UpdateData(FALSE), TRUE
  virtual void OnOK();          // UpdateData(TRUE) then EndDialog(IDOK)
  virtual void OnCancel();      // EndDialog(IDCANCEL)
  BOOL PreTranslateMessage(MSG* pMsg) override;

  void NextDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
  void PrevDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 1, 0); }
  void GotoDlgCtrl(CWnd* pWndCtrl) {
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(pWndCtrl->GetSafeHwnd()), 1);
  }
  void SetDefID(UINT nID) { ::SendMessageW(m_hWnd, DM_SETDEFID, nID, 0); }
  DWORD GetDefID() const { return static_cast<DWORD>(::SendMessageW(m_hWnd, DM_GETDEFID, 0, 0)); }
  void MapDialogRect(LPRECT lpRect) const { ::MapDialogRect(m_hWnd, lpRect); }

  LPCTSTR m_lpszTemplateName;
  UINT m_nIDHelp;
  LPCDLGTEMPLATE m_lpDialogTemplate;
  CWnd* m_pParentWnd;

  // The dialog procedure of every CDialog: WM_INITDIALOG → OnInitDialog.
  static INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept;

 protected:
  BOOL CreateDlgIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd, HINSTANCE hInst);
  LPCDLGTEMPLATE LoadTemplate(HINSTANCE* phInst) const;
  virtual HWND PreModal();
  virtual void PostModal();
  HWND m_hWndTop;  // owner disabled for the modal run

  void OnPaint();
  DECLARE_MESSAGE_MAP()
};

// One transfer between a dialog's controls and its members.
class CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

  BOOL m_bSaveAndValidate;  // TRUE: controls to members, with validation
  CWnd* m_pDlgWnd;
  HWND m_hWndLastControl;
  BOOL m_bEditLastControl;

  HWND PrepareCtrl(int nIDC);      // the control; a missing one fails the exchange
  HWND PrepareEditCtrl(int nIDC);  // the same, remembered as an edit
  // The user has been told: focus back to the failing control, then CUserException.
  [[noreturn]] void Fail();
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);  // subclasses once
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);   // "Please enter an integer."
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);  // "Please enter a positive integer."
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);  // nIDC starts the group
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value);
// Also limits the edit control when loading.
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars);
// "Enter an integer between %1 and %2."
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal);

// Common dialogs of the system: the owner comes from PreModal, PostModal undoes it.
class CCommonDialog : public CDialog {
 public:
  explicit CCommonDialog(CWnd* pParentWnd);
  INT_PTR DoModal() override = 0;

 protected:
  // Top-level owner (parent, else the main window); disabled when bDisableOwner.
  HWND PreModal() override;
  void PostModal() override;
  BOOL m_bDisableOwner = FALSE;
  HWND m_hWndOwner = nullptr;
};
