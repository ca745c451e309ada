// Property sheets on comctl32, always modeless underneath: DoModal runs the
// framework's modal loop (PSM_ISDIALOGMESSAGE, WM_KICKIDLE) until the sheet has no
// current page. The sheet window is subclassed from its creation.
#pragma once

#include <vector>

#include "framework/win/Dialog.h"

class CPropertySheet;

class CPropertyPage : public CDialog {
 public:
  CPropertyPage();
  explicit CPropertyPage(UINT nIDTemplate, UINT nIDCaption = 0);
  void Construct(UINT nIDTemplate, UINT nIDCaption = 0);

  PROPSHEETPAGEW m_psp;

  void SetModified(BOOL bChanged = TRUE);
  CPropertySheet* GetSheet() const;

  virtual BOOL OnSetActive();   // TRUE: the page may show
  virtual BOOL OnKillActive();  // UpdateData(TRUE)
  virtual BOOL OnApply();       // OnOK, TRUE; FALSE keeps the sheet open on this page
  virtual void OnReset();       // OnCancel
  virtual BOOL OnQueryCancel();
  virtual LRESULT OnWizardBack();
  virtual LRESULT OnWizardNext();
  virtual BOOL OnWizardFinish();
  void OnOK() override;      // nothing: the sheet ends itself
  void OnCancel() override;  // nothing

  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
  BOOL PreTranslateMessage(MSG* pMsg) override;

  static INT_PTR CALLBACK AfxPageDlgProc(HWND hWnd, UINT message, WPARAM wParam,
                                         LPARAM lParam) noexcept;

 protected:
  CString m_strCaption;
  BOOL m_bFirstSetActive;
};

class CPropertySheet : public CWnd {
 public:
  CPropertySheet();
  explicit CPropertySheet(UINT nIDCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);
  explicit CPropertySheet(LPCTSTR pszCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);
  void Construct(UINT nIDCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);
  void Construct(LPCTSTR pszCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);
  ~CPropertySheet() override;

  PROPSHEETHEADERW m_psh;

  // Before creation the page list; after it PSM_ADDPAGE/PSM_REMOVEPAGE to the sheet.
  void AddPage(CPropertyPage* pPage);
  void RemovePage(CPropertyPage* pPage);
  void RemovePage(int nPage);
  BOOL SetActivePage(int nPage);
  BOOL SetActivePage(CPropertyPage* pPage);
  CPropertyPage* GetActivePage() const;
  int GetActiveIndex() const;
  int GetPageCount() const;
  CPropertyPage* GetPage(int nPage) const;  // CInvalidArgException when out of range
  int GetPageIndex(CPropertyPage* pPage) const;
  CTabCtrl* GetTabControl() const;
  void EnableStackedTabs(BOOL bStacked) { m_bStacked = bStacked; }
  BOOL IsWizard() const { return (m_psh.dwFlags & (PSH_WIZARD | PSH_WIZARD97)) != 0; }
  void SetTitle(LPCTSTR lpszText, UINT nStyle = 0);
  void SetWizardMode() { m_psh.dwFlags |= PSH_WIZARD; }
  void PressButton(int nButton) { ::SendMessageW(m_hWnd, PSM_PRESSBUTTON, nButton, 0); }
  void EndDialog(int nEndID);

  virtual INT_PTR DoModal();
  BOOL Create(CWnd* pParentWnd = nullptr, DWORD dwStyle = static_cast<DWORD>(-1),
              DWORD dwExStyle = 0);
  virtual BOOL OnInitDialog();  // comctl32's own initialisation
  BOOL PreTranslateMessage(MSG* pMsg) override;
  BOOL ContinueModal() override;

  CWnd* m_pParentWnd;
  BOOL m_bModeless;

 protected:
  LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
  void BuildPropPageArray();
  friend class CPropertyPage;
  std::vector<CPropertyPage*> m_pages;
  std::vector<PROPSHEETPAGEW> m_pageArray;
  CString m_strCaption;
  BOOL m_bStacked;
  int m_nResultPending;  // IDOK once an OK-button apply went through
  DECLARE_MESSAGE_MAP()
};
