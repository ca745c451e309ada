// The Output page: destination folder, file-name style with its preview, delimiter, the
// metadata, log and playlist switches, and Reset to the defaults of every output and
// encoder setting.

#include "OptionPages.h"
#include "VeltraskDlg.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"
#include "framework/win/WinApp.h"
#include "resource.h"

namespace {

// Posted by a reset thread that found a disc refresh running.
constexpr UINT kResetRefusedMessage = WM_APP + 1;
constexpr wchar_t kResetRefused[] =
    L"The CD Is Being Refreshed, Output Options NOT Reset! Please Try Again Later.";

// The preview's sample track, free of the delimiter and of folder breaks so that each
// "-" and "\" in a preview comes from the style.
constexpr wchar_t kSampleNumber[] = L"06";
constexpr wchar_t kSampleTitle[] = L"Sample Title";
constexpr wchar_t kSampleArtist[] = L"Sample Artist";
constexpr wchar_t kSampleAlbum[] = L"Sample Album";
constexpr wchar_t kSampleYear[] = L"1999";

// Per style, by FileStyle: N number, K "Track", T title, A artist, B album, Y year,
// - the delimiter, \ a folder break.
constexpr const wchar_t* kPreviewPatterns[kFileStyleCount] = {
    L"N",      L"KN",     L"T",       L"N-T",      L"A-B-T",     L"A-B-N-T",    L"A-B-Y-N-T",
    L"A\\N-T", L"A-B\\T", L"A\\B\\T", L"A-B\\N-T", L"A\\B\\N-T", L"A-B-Y\\N-T",
};

}  // namespace

CString FormatStylePreview(int style, const CString& delimiter, short format) {
  CString preview;
  if (style >= 0 && style < kFileStyleCount) {
    for (const wchar_t* piece = kPreviewPatterns[style]; *piece; ++piece) {
      switch (*piece) {
        case L'N':
          preview += kSampleNumber;
          break;
        case L'K':
          preview += L"Track";
          break;
        case L'T':
          preview += kSampleTitle;
          break;
        case L'A':
          preview += kSampleArtist;
          break;
        case L'B':
          preview += kSampleAlbum;
          break;
        case L'Y':
          preview += kSampleYear;
          break;
        case L'-':
          preview += delimiter;
          break;
        default:
          preview += *piece;
          break;
      }
    }
  }
  return preview + GetFormatExtension(format);
}

BEGIN_MESSAGE_MAP(COutputOptions, COptionsPage)
ON_BN_CLICKED(IDC_OUTPUT_BROWSE, OnBrowse)
ON_BN_CLICKED(IDC_OUTPUT_METADATA, OnControlChanged)
ON_BN_CLICKED(IDC_OUTPUT_WRITE_LOG, OnControlChanged)
ON_BN_CLICKED(IDC_OUTPUT_PLAYLIST, OnControlChanged)
ON_EN_CHANGE(IDC_OUTPUT_FOLDER, OnControlChanged)
ON_CBN_SELCHANGE(IDC_OUTPUT_STYLE, OnStyleChange)
ON_EN_CHANGE(IDC_OUTPUT_DELIMITER, OnDelimiterChange)
ON_BN_CLICKED(IDC_OUTPUT_RESET, OnResetButton)
ON_WM_DESTROY()
ON_MESSAGE(kResetRefusedMessage, OnResetRefused)
END_MESSAGE_MAP()

COutputOptions::COutputOptions() : COptionsPage(IDD_OPTIONS_OUTPUT, 1) {}

COutputOptions::~COutputOptions() { WaitForResets(); }

// A reset thread reads this page and the Encoder page and sends both WM_INITDIALOG, each
// send waiting for this (the user-interface) thread. Whoever takes either page away
// first waits here: the sheet's destructor before it destroys anything, this page's
// WM_DESTROY while the sheet's windows all still exist (the modal sheet destroys them
// before its pages go), and the destructor last.
void COutputOptions::WaitForResets() {
  while (m_nResetsRunning.load() > 0) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_SENDMESSAGE);
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void COutputOptions::OnDestroy() {
  WaitForResets();
  COptionsPage::OnDestroy();
}

void COutputOptions::DoDataExchange(CDataExchange* pDX) {
  COptionsPage::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_OUTPUT_STYLE, m_styleList);
  DDX_Text(pDX, IDC_OUTPUT_DELIMITER, m_strDelimiter);
  DDV_MaxChars(pDX, m_strDelimiter, kDelimiterLimit);
}

BOOL COutputOptions::OnInitDialog() {
  COptionsPage::OnInitDialog();
  SetDlgItemText(IDC_OUTPUT_FOLDER, DesDir);
  m_strDelimiter = Separator;
  SetDlgItemText(IDC_OUTPUT_DELIMITER, m_strDelimiter);  // runs OnDelimiterChange too
  FillStyleList();
  CheckDlgButton(IDC_OUTPUT_METADATA, FillTag ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(IDC_OUTPUT_WRITE_LOG, WriteLog ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(IDC_OUTPUT_PLAYLIST, M3U ? BST_CHECKED : BST_UNCHECKED);
  ShowPreview();
  return TRUE;
}

CString COutputOptions::ReadDelimiter() const {
  CString typed;
  GetDlgItemText(IDC_OUTPUT_DELIMITER, typed);
  return SanitizeDelimiter(typed);
}

void COutputOptions::FillStyleList() {
  UpdateData(TRUE);
  // The box keeps what was typed; the member holds what a file name may contain.
  m_strDelimiter = ReadDelimiter();
  m_styleList.ResetContent();
  for (short style = 0; style < kFileStyleCount; ++style)
    m_styleList.AddString(GetFileStyleText(style, m_strDelimiter));
  m_styleList.SetCurSel(FileStyle);  // the stored style, not the one picked before
}

void COutputOptions::ShowPreview() {
  const int style = m_styleList.GetCurSel();
  SetDlgItemText(IDC_OUTPUT_PREVIEW, FormatStylePreview(style, m_strDelimiter, OutputFormat));
}

void COutputOptions::OnStyleChange() {
  SetModified();
  ShowPreview();
}

void COutputOptions::OnDelimiterChange() {
  SetModified();
  FillStyleList();
  ShowPreview();
}

void COutputOptions::OnBrowse() {
  CString chosen;
  if (!BrowseForFolder(L"Please select the destination directory", DesDir, chosen)) return;
  SetDlgItemText(IDC_OUTPUT_FOLDER, chosen);
  SetModified();
}

BOOL COutputOptions::OnApply() {
  if (!MayApply()) return FALSE;
  const int style = m_styleList.GetCurSel();
  if (style >= 0) FileStyle = static_cast<short>(style);
  CString folder;
  GetDlgItemText(IDC_OUTPUT_FOLDER, folder);
  folder.TrimRight();
  // An empty box names no folder: the stored one stays rather than the drive's root.
  if (!folder.IsEmpty()) {
    if (folder[folder.GetLength() - 1] != L'\\') folder += L'\\';
    DesDir = folder;
  }
  FillTag = IsDlgButtonChecked(IDC_OUTPUT_METADATA) == BST_CHECKED ? 1 : 0;
  WriteLog = IsDlgButtonChecked(IDC_OUTPUT_WRITE_LOG) == BST_CHECKED ? 1 : 0;
  M3U = IsDlgButtonChecked(IDC_OUTPUT_PLAYLIST) == BST_CHECKED ? 1 : 0;
  // Leaving the page copied the box as typed into the member: sanitise again, so a
  // typed ":" never reaches a file name.
  m_strDelimiter = ReadDelimiter();
  Separator = m_strDelimiter;
  if (g_pMainDlg && ::IsWindow(g_pMainDlg->m_hWnd)) g_pMainDlg->RefreshDestinations();
  return TRUE;
}

void COutputOptions::OnResetButton() {
  if (!MayApply()) {
    AfxMessageBox(kResetRefused, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (AfxMessageBox(L"Reset ALL Output Options(including the Subpages), Are You Sure?", MB_YESNO) !=
      IDYES)
    return;
  ++m_nResetsRunning;
  if (!AfxBeginThread(ResetOutputOptionsThread, this, THREAD_PRIORITY_HIGHEST)) --m_nResetsRunning;
}

UINT COutputOptions::ResetOutputOptionsThread(LPVOID pParam) {
  auto* page = static_cast<COutputOptions*>(pParam);
  page->ResetOutputOptions();
  // The last touch of the page: its destructor may go ahead from here.
  --page->m_nResetsRunning;
  return 0;
}

LRESULT COutputOptions::OnResetRefused(WPARAM, LPARAM) {
  AfxMessageBox(kResetRefused, MB_OK | MB_ICONEXCLAMATION);
  return 0;
}

void COutputOptions::ResetOutputOptions() {
  // Like OnApply: nothing while a disc refresh reads the settings. A refresh may have
  // started since the button was pressed; the user hears of it from the page's thread.
  if (!MayApply()) {
    ::PostMessageW(m_hWnd, kResetRefusedMessage, 0, 0);
    return;
  }
  SetModified();
  M3U = 1;
  WriteLog = 0;
  Separator = L"-";
  OutputFormat = 2;
  FileStyle = 11;
  FillTag = 1;
  CString folder;
  GetDefaultOutputFolder(folder);
  DesDir = folder;
  SubFormat = 1;
  Freq = 7;
  Channel = 1;
  LameFreq = 7;
  LameBits = 11;
  LameChannel = 2;
  QualityCompression = 3;
  // Handled on the user-interface thread; each waits until the page has reloaded.
  ::SendMessageW(m_hWnd, WM_INITDIALOG, 0, 0);
  if (m_pEncoderPage && ::IsWindow(m_pEncoderPage->m_hWnd))
    ::SendMessageW(m_pEncoderPage->m_hWnd, WM_INITDIALOG, 0, 0);
}
