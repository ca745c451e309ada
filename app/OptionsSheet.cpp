// The options sheet and what its pages share.
#include <shlwapi.h>

#include "OptionPages.h"
#include "VeltraskDlg.h"
#include "engine/Settings.h"
#include "uikit/FolderDialog.h"

namespace {

constexpr int kPageCount = 3;
// File-system folders only, with an edit box, in the resizable browser.
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;

}  // namespace

// ---- COptionsPage -------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(COptionsPage, CResizablePage)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

COptionsPage::COptionsPage(UINT templateId, unsigned short pageIndex)
    : CResizablePage(templateId), m_pageIndex(pageIndex) {
  m_bHasWhiteBackground = FALSE;
  m_psp.dwFlags &= ~PSP_HASHELP;  // the sheet shows no Help button for the page
}

BOOL COptionsPage::OnSetActive() {
  // Shown again, the page keeps what the user changed: no reload from the members.
  LastPage = m_pageIndex;
  return TRUE;
}

BOOL COptionsPage::MayApply() { return !IsRefreshRunning(); }

BOOL COptionsPage::BrowseForFolder(LPCWSTR title, const CString& current, CString& chosen) {
  CFolderDialog* dialog = new CFolderDialog(title, L"", this, kBrowseFlags);
  dialog->SetBrowseRoot(nullptr);
  if (!current.IsEmpty() && ::PathFileExistsW(current)) dialog->SetInitialSelection(current);
  const BOOL confirmed = dialog->DoModal() == IDOK;
  if (confirmed) chosen = dialog->GetChosenPath();
  delete dialog;
  return confirmed;
}

HBRUSH COptionsPage::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
  if (!m_bHasWhiteBackground) return CResizablePage::OnCtlColor(pDC, pWnd, nCtlColor);
  pDC->SetBkMode(TRANSPARENT);
  return ::GetSysColorBrush(COLOR_WINDOW);
}

void COptionsPage::OnControlChanged() { SetModified(); }

// ---- The sheet ----------------------------------------------------------------------------

COptionsSheet::COptionsSheet(CWnd* parent) : m_sheet(L"Options", parent, 0) {
  m_sheet.SetTreeMode(TRUE, TRUE, FALSE);
  m_sheet.SetSplitterEnabled(FALSE);
  m_sheet.SetSheetResizable(FALSE);
  m_sheet.SetTreePaneWidth(128);
  m_output.m_pEncoderPage = &m_encoder;  // Reset reloads both pages
  m_sheet.AddPage(&m_freeDB);
  m_sheet.AddPage(&m_output);
  m_sheet.AddPage(&m_encoder);
  // A hand-edited LastPage beyond the pages opens the first one.
  m_sheet.SetActivePage(LastPage < kPageCount ? LastPage : 0);
}

COptionsSheet::~COptionsSheet() {
  // A reset thread reads the Output and the Encoder page: it ends before either goes.
  m_output.WaitForResets();
  // The pages' windows go with the sheet's, before the page objects.
  if (m_sheet.m_hWnd) m_sheet.DestroyWindow();
}

INT_PTR ShowOptionsSheet(CWnd* parent) {
  COptionsSheet options(parent);
  return options.m_sheet.DoModal();
}
