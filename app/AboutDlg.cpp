#include "AboutDlg.h"

#include "resource.h"

const wchar_t kHomepageAddress[] = L"https://corvane.example/";
const wchar_t kSupportMailAddress[] = L"support@corvane.example";

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_ABOUT_SUPPORT, m_supportLink);
  DDX_Control(pDX, IDC_ABOUT_HOMEPAGE, m_homepageLink);
}

BOOL CAboutDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_homepageLink.SetTarget(kHomepageAddress);
  m_supportLink.SetTarget(CString(L"mailto:") + kSupportMailAddress);
  return TRUE;
}
