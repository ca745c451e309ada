#include "TipDlg.h"

#include <cstdlib>
#include <cwchar>

#include "VeltraskApp.h"
#include "engine/Settings.h"
#include "resource.h"

namespace {

constexpr int kTipBufferChars = 1000;  // a longer line is read in pieces of 999 characters
constexpr int kMaxStartSteps = 33;

CString TipsFileBesideProgram() {
  wchar_t module[MAX_PATH] = L"";
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  wchar_t drive[_MAX_DRIVE] = L"", folder[_MAX_DIR] = L"";
  _wsplitpath_s(module, drive, _MAX_DRIVE, folder, _MAX_DIR, nullptr, 0, nullptr, 0);
  return CString(drive) + folder + L"Tips.tip";
}

bool IsTipLine(const wchar_t* line) {
  return line[0] != L' ' && line[0] != L'\t' && line[0] != L'\n' && line[0] != L';';
}

CString LoadText(UINT id) {
  CString text;
  text.LoadString(id);
  return text;
}

}  // namespace

BEGIN_MESSAGE_MAP(CTipDlg, CDialog)
ON_BN_CLICKED(IDC_TIP_NEXT, OnNextTip)
ON_WM_CTLCOLOR()
ON_WM_PAINT()
ON_BN_CLICKED(IDC_TIP_STARTUP, OnStartupClicked)
END_MESSAGE_MAP()

CTipDlg::CTipDlg(CWnd* pParent, LPCTSTR tipsFile)
    : CDialog(IDD_TIP, pParent), m_bStartup(TRUE), m_pTipFile(nullptr) {
  m_bStartup = static_cast<int>(::GetPrivateProfileIntW(L"MISC", L"Tip", 1, SettingsFile()));
  const CString path = tipsFile ? CString(tipsFile) : TipsFileBesideProgram();
  m_pTipFile = _wfopen(path, L"r");
  if (m_pTipFile) {
    ReadNextTip(m_strTip);
  } else {
    m_strTip = LoadText(IDS_TIP_FILE_ABSENT);
  }
}

CTipDlg::~CTipDlg() {
  if (m_pTipFile) fclose(m_pTipFile);
}

CString CTipDlg::SettingsFile() const { return g_strSettingsFolder + L"\\" + kSettingsFileName; }

INT_PTR CTipDlg::DoModal() {
  if (!m_pTipFile) return IDOK;
  return CDialog::DoModal();
}

void CTipDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Check(pDX, IDC_TIP_STARTUP, m_bStartup);
}

BOOL CTipDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  CenterWindow();
  srand(::GetTickCount());
  const int steps = rand() % kMaxStartSteps + 1;
  for (int i = 0; i < steps; ++i) ShowNextTip();
  return TRUE;
}

// Comment lines (";") and lines starting with a blank, a TAB or a line end are skipped;
// at the end of the file reading starts over. A file without a single tip line gives up
// after one whole pass instead of going round for ever.
void CTipDlg::ReadNextTip(CString& tip) {
  if (!m_pTipFile) return;
  wchar_t line[kTipBufferChars];
  int endsReached = 0;
  for (;;) {
    if (!fgetws(line, kTipBufferChars, m_pTipFile)) {
      if (++endsReached > 1) {
        tip = LoadText(IDS_TIP_FILE_CORRUPT);
        return;
      }
      clearerr(m_pTipFile);
      if (fseek(m_pTipFile, 0, SEEK_SET) != 0) AfxMessageBox(IDS_TIP_FILE_CORRUPT, MB_OK);
      continue;
    }
    if (IsTipLine(line)) {
      tip = line;
      return;
    }
  }
}

void CTipDlg::ShowNextTip() {
  ReadNextTip(m_strTip);
  UpdateData(FALSE);
  CClientDC dc(this);
  PaintTip(&dc, TRUE);
}

void CTipDlg::OnNextTip() { ShowNextTip(); }

void CTipDlg::OnStartupClicked() {
  m_bStartup = IsDlgButtonChecked(IDC_TIP_STARTUP) == BST_CHECKED;
}

HBRUSH CTipDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
  if (pWnd && pWnd->GetDlgCtrlID() == IDC_TIPSTRING)
    return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
}

void CTipDlg::OnPaint() {
  CPaintDC dc(this);
  PaintTip(&dc, FALSE);
}

void CTipDlg::PaintTip(CDC* pDC, BOOL textOnly) {
  auto itemRect = [this](int id) {
    CRect rect;
    if (CWnd* item = GetDlgItem(id)) {
      item->GetWindowRect(&rect);
      ScreenToClient(&rect);
    }
    return rect;
  };
  const CRect area = itemRect(IDC_TIP_FRAME);
  CRect text = itemRect(IDC_TIPSTRING);
  const CRect icon = itemRect(IDC_TIP_BULB);

  if (!textOnly) {
    pDC->FillSolidRect(&area, ::GetSysColor(COLOR_WINDOW));
    CRect strip(area.left, area.top, text.left - 10, area.bottom);
    pDC->FillSolidRect(&strip, ::GetSysColor(COLOR_BTNFACE));
    strip.top = area.top + 50;
    pDC->FillSolidRect(&strip, ::GetSysColor(COLOR_BTNSHADOW));
    const CRect line(area.left, icon.bottom + 6, area.right, icon.bottom + 7);
    pDC->FillSolidRect(&line, ::GetSysColor(COLOR_BTNSHADOW));
  }

  CFont heading, body;
  heading.CreateFont(22, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, L"Tahoma");
  body.CreateFont(16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, L"Tahoma");
  const int oldMode = pDC->SetBkMode(TRANSPARENT);
  CFont* oldFont = pDC->SelectObject(&heading);
  CRect headingRect(text.left, icon.top, text.right, text.bottom);
  pDC->DrawText(LoadText(IDS_TIP_DIDYOUKNOW), &headingRect, DT_SINGLELINE | DT_NOPREFIX);

  pDC->SelectObject(&body);
  pDC->FillSolidRect(&text, ::GetSysColor(COLOR_WINDOW));
  pDC->DrawText(m_strTip, &text, DT_WORDBREAK | DT_NOPREFIX);
  if (oldFont) pDC->SelectObject(oldFont);
  pDC->SetBkMode(oldMode);
}

void CTipDlg::OnOK() {
  if (!UpdateData(TRUE)) return;
  CString value;
  value.Format(L"%d", m_bStartup);
  const CString ini = SettingsFile();
  if (!::WritePrivateProfileStringW(L"MISC", L"Tip", value, ini)) {
    // The choice cannot be kept: say so rather than pretend it was saved.
    AfxMessageBox(L"The tip setting could not be saved to\n" + ini, MB_OK | MB_ICONEXCLAMATION);
  }
  EndDialog(IDOK);
}
