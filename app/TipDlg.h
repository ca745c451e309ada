// Tip of the Day: one tip at a time from "Tips.tip" beside the program, starting at a
// random tip, with a switch for the tip at start-up (MISC Tip, saved by OK at once).
#pragma once

#include <cstdio>

#include "framework/win/Win.h"

class CTipDlg : public CDialog {
 public:
  // tipsFile: null for "Tips.tip" in the program's folder.
  explicit CTipDlg(CWnd* pParent = nullptr, LPCTSTR tipsFile = nullptr);
  ~CTipDlg() override;

  // IDOK at once, showing nothing, when the tips file could not be opened.
  INT_PTR DoModal() override;

  const CString& GetTip() const { return m_strTip; }
  BOOL ShowsAtStartup() const { return m_bStartup; }

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  void ReadNextTip(CString& tip);
  void ShowNextTip();
  void PaintTip(CDC* pDC, BOOL textOnly);

  void OnNextTip();
  void OnStartupClicked();
  HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
  void OnPaint();
  DECLARE_MESSAGE_MAP()

  int m_bStartup;    // check box 1151; MISC Tip
  CString m_strTip;  // the current tip, with its line end
  FILE* m_pTipFile;  // open for the life of the dialog object

 private:
  CString SettingsFile() const;
};
