// The About box: product name and version, the homepage and support links.
#pragma once

#include "framework/win/Win.h"
#include "uikit/HyperLink.h"

// The project's placeholder addresses, shown as the About box's links.
extern const wchar_t kHomepageAddress[];
extern const wchar_t kSupportMailAddress[];

class CAboutDlg : public CDialog {
 public:
  CAboutDlg();

  CHyperLink m_supportLink;   // 1142
  CHyperLink m_homepageLink;  // 1141

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
};
