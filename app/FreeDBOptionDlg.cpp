// The FreeDB page: album-information source, saving, lookup on insertion, cache folder.
#include "OptionPages.h"
#include "engine/Settings.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CFreeDBOptionDlg, COptionsPage)
ON_BN_CLICKED(IDC_FREEDB_BOTH, OnSourceBoth)
ON_BN_CLICKED(IDC_FREEDB_REMOTE, OnSourceRemote)
ON_BN_CLICKED(IDC_FREEDB_LOCAL, OnSourceLocal)
ON_BN_CLICKED(IDC_FREEDB_BROWSE, OnBrowse)
ON_BN_CLICKED(IDC_FREEDB_LOAD, OnLoadAlbumInfo)
ON_BN_CLICKED(IDC_FREEDB_SAVE, OnControlChanged)
ON_EN_CHANGE(IDC_FREEDB_FOLDER, OnControlChanged)
END_MESSAGE_MAP()

CFreeDBOptionDlg::CFreeDBOptionDlg() : COptionsPage(IDD_OPTIONS_FREEDB, 0) {}

void CFreeDBOptionDlg::DoDataExchange(CDataExchange* pDX) {
  COptionsPage::DoDataExchange(pDX);
  DDX_Text(pDX, IDC_FREEDB_FOLDER, m_strLocalFolder);
  DDX_Radio(pDX, IDC_FREEDB_BOTH, m_nSource);
}

BOOL CFreeDBOptionDlg::OnInitDialog() {
  COptionsPage::OnInitDialog();
  m_nSource = AlbumInfoSource;
  m_strLocalFolder = LocalCDDBDir;
  UpdateData(FALSE);
  CheckDlgButton(IDC_FREEDB_SAVE, SaveAlbumInfo == 1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(IDC_FREEDB_LOAD, LoadAlbumInfo == 1 ? BST_CHECKED : BST_UNCHECKED);
  UpdateSourceRadios();
  return TRUE;
}

void CFreeDBOptionDlg::OnSourceBoth() {
  m_nSource = 0;
  SetModified();
}

void CFreeDBOptionDlg::OnSourceRemote() {
  m_nSource = 1;
  SetModified();
}

void CFreeDBOptionDlg::OnSourceLocal() {
  m_nSource = 2;
  SetModified();
}

void CFreeDBOptionDlg::OnLoadAlbumInfo() { UpdateSourceRadios(); }

void CFreeDBOptionDlg::UpdateSourceRadios() {
  SetModified();
  // Without a lookup on insertion the source does not matter; it stays as stored.
  const BOOL load = IsDlgButtonChecked(IDC_FREEDB_LOAD) == BST_CHECKED;
  for (const int id : {IDC_FREEDB_BOTH, IDC_FREEDB_REMOTE, IDC_FREEDB_LOCAL})
    GetDlgItem(id)->EnableWindow(load);
}

void CFreeDBOptionDlg::OnBrowse() {
  // The stored folder is preselected, not the one in the box.
  CString chosen;
  if (!BrowseForFolder(L"Please select the local FreeDB folder", LocalCDDBDir, chosen)) return;
  SetDlgItemText(IDC_FREEDB_FOLDER, chosen);
  SetModified();
}

BOOL CFreeDBOptionDlg::OnApply() {
  if (!MayApply()) return FALSE;
  UpdateData(TRUE);
  // A stored source outside the three radios checks none of them; it stays as it was.
  if (m_nSource >= 0 && m_nSource <= 2) AlbumInfoSource = static_cast<short>(m_nSource);
  LoadAlbumInfo = IsDlgButtonChecked(IDC_FREEDB_LOAD) == BST_CHECKED ? 1 : 0;
  SaveAlbumInfo = IsDlgButtonChecked(IDC_FREEDB_SAVE) == BST_CHECKED ? 1 : 0;
  LocalCDDBDir = m_strLocalFolder;
  return TRUE;
}
