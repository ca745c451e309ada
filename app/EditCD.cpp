// The Edit CD Info dialog and the genre names.
#include "EditCD.h"

#include "AlbumLookup.h"
#include "VeltraskDlg.h"
#include "engine/CDDrive.h"
#include "engine/EngineLog.h"
#include "engine/OutputNaming.h"
#include "resource.h"

CStringArray g_genres;

namespace {

constexpr wchar_t kPlacementSection[] = L"Position";
constexpr wchar_t kPlacementValue[] = L"{B01B8ECB-6C90-4D4E-ABF9-43A8474BB68B}";
constexpr wchar_t kVariousArtists[] = L"Various Artists";
constexpr int kFirstYear = 1;
constexpr int kLastYear = 2100;

// Refreshes wait while the record is written; nothing is held when one is asked for or
// runs.
class RefreshHold {
 public:
  RefreshHold() : m_held(HoldRefreshes()) {}
  ~RefreshHold() {
    if (m_held) ReleaseRefreshHold();
  }
  RefreshHold(const RefreshHold&) = delete;
  RefreshHold& operator=(const RefreshHold&) = delete;
  BOOL Held() const { return m_held; }

 private:
  BOOL m_held;
};

// Index = ID3v1 genre id.
constexpr const wchar_t* kGenreNames[] = {
    L"Blues", L"Classic Rock", L"Country", L"Dance", L"Disco", L"Funk", L"Grunge", L"Hip-Hop",
    L"Jazz", L"Metal", L"New Age", L"Oldies", L"Other", L"Pop", L"R&B", L"Rap", L"Reggae", L"Rock",
    L"Techno", L"Industrial", L"Alternative", L"Ska", L"Death Metal", L"Pranks", L"Soundtrack",
    L"Euro-Techno", L"Ambient", L"Trip-Hop", L"Vocal", L"Jazz+Funk", L"Fusion", L"Trance",
    L"Classical", L"Instrumental", L"Acid", L"House", L"Game", L"Sound Clip", L"Gospel", L"Noise",
    L"Alternative Rock", L"Bass", L"Soul", L"Punk", L"Space", L"Meditative", L"Instrumental Pop",
    L"Instrumental Rock", L"Ethnic", L"Gothic", L"Darkwave", L"Techno-Industrial", L"Electronic",
    L"Pop-Folk", L"Eurodance", L"Dream", L"Southern Rock", L"Comedy", L"Cult", L"Gangsta",
    L"Top 40", L"Christian Rap", L"Pop/Funk", L"Jungle", L"Native American", L"Cabaret",
    L"New Wave", L"Psychedelic", L"Rave", L"Showtunes", L"Trailer", L"Lo-Fi", L"Tribal",
    L"Acid Punk", L"Acid Jazz", L"Polka", L"Retro", L"Musical", L"Rock & Roll", L"Hard Rock",
    // The extensions from id 80.
    L"Folk", L"Folk/Rock", L"National Folk", L"Swing", L"Fusion", L"Bebob", L"Latin", L"Revival",
    L"Celtic", L"Bluegrass", L"Avantgarde", L"Gothic Rock", L"Progressive Rock",
    L"Psychedelic Rock", L"Symphonic Rock", L"Slow Rock", L"Big Band", L"Chorus", L"Easy Listening",
    L"Acoustic", L"Humour", L"Speech", L"Chanson", L"Opera", L"Chamber Music", L"Sonata",
    L"Symphony", L"Booty Bass", L"Primus", L"Porn Groove", L"Satire", L"Slow Jam", L"Club",
    L"Tango", L"Samba", L"Folklore", L"Ballad", L"Power Ballad", L"Rhythmic Soul", L"Freestyle",
    L"Duet", L"Punk Rock", L"Drum Solo", L"A Cappella", L"Euro-House", L"Dance Hall", L"Goa",
    L"Drum & Bass", L"Club-House", L"Hardcore", L"Terror", L"Indie", L"BritPop", L"Afro-Punk",
    L"Polsk Punk", L"Beat", L"Christian Gangsta Rap", L"Heavy Metal", L"Black Metal", L"Crossover",
    L"Contemporary Christian", L"Christian Rock", L"Merengue", L"Salsa", L"Thrash Metal", L"Anime",
    L"Jpop", L"Synthpop"};
static_assert(std::size(kGenreNames) == 148, "ID3v1 ids 0 to 147");

}  // namespace

void FillGenreTable() {
  for (const wchar_t* name : kGenreNames) g_genres.Add(name);
}

// clang-format off
BEGIN_MESSAGE_MAP(CEditCD, CResizeDlg)
  ON_BN_CLICKED(IDC_EDITCD_OK, OnOk)
  ON_BN_CLICKED(IDC_EDITCD_SAVE, OnSaveToLocal)
  ON_BN_CLICKED(IDC_EDITCD_VARIOUS, OnVariousArtists)
  ON_WM_DESTROY()
END_MESSAGE_MAP()
// clang-format on

CEditCD::CEditCD(CWnd* pParent)
    : CResizeDlg(IDD_EDIT_CD, pParent), m_nYear(0), m_dwDiscId(0), m_nRefreshesAtOpen(0) {}

// Many records carry no year: an empty box (or 0) is "no year" and stored as 0, and a
// record's year outside the range shows as an empty box rather than a number that
// could not be confirmed.
void CEditCD::DoDataExchange(CDataExchange* pDX) {
  CResizeDlg::DoDataExchange(pDX);
  const HWND year = pDX->PrepareEditCtrl(IDC_EDITCD_YEAR);
  if (pDX->m_bSaveAndValidate) {
    wchar_t text[16] = L"";
    ::GetWindowTextW(year, text, 16);
    if (CString(text).Trim().IsEmpty()) {
      m_nYear = 0;
    } else {
      DDX_Text(pDX, IDC_EDITCD_YEAR, m_nYear);
      if (m_nYear != 0) DDV_MinMaxInt(pDX, m_nYear, kFirstYear, kLastYear);
    }
  } else if (m_nYear >= kFirstYear && m_nYear <= kLastYear) {
    DDX_Text(pDX, IDC_EDITCD_YEAR, m_nYear);
  } else {
    ::SetWindowTextW(year, L"");
  }
  DDX_Control(pDX, IDC_EDITCD_GENRE, m_comboGenre);
}

BOOL CEditCD::OnInitDialog() {
  CResizeDlg::OnInitDialog();
  SetIcon(AfxGetApp()->LoadIcon(IDR_MAINFRAME), FALSE);
  m_dwDiscId = g_dwDiscId;
  m_nRefreshesAtOpen = RefreshesBegun();

  SetDlgItemText(IDC_EDITCD_ALBUM, g_cddbRecord.m_title);
  SetDlgItemText(IDC_EDITCD_ARTIST, g_cddbRecord.m_artist);
  if (g_cddbRecord.m_artist == kVariousArtists) {
    CheckDlgButton(IDC_EDITCD_VARIOUS, BST_CHECKED);
    if (CWnd* artist = GetDlgItem(IDC_EDITCD_ARTIST)) artist->EnableWindow(FALSE);
  }

  // The box is made by the template: bind it first, so the data exchange below, which
  // binds it too, finds it in place.
  if (!m_comboGenre.m_hWnd) m_comboGenre.SubclassDlgItem(IDC_EDITCD_GENRE, this);
  m_comboGenre.ResetContent();
  for (INT_PTR i = 0; i < g_genres.GetSize(); ++i) m_comboGenre.AddString(g_genres[i]);
  m_comboGenre.SetWindowText(g_cddbRecord.m_genre);
  m_nYear = g_cddbRecord.m_year;
  UpdateData(FALSE);

  AddControl(IDC_EDITCD_GROUP, kAnchorStretch, kAnchorStretch, kAnchorFixed, kAnchorFixed);
  AddControl(IDC_EDITCD_ALBUM, kAnchorStretch, kAnchorStretch, kAnchorFixed, kAnchorFixed);
  AddControl(IDC_EDITCD_GENRE, kAnchorStretch, kAnchorStretch, kAnchorFixed, kAnchorFixed);
  AddControl(IDC_EDITCD_ARTIST, kAnchorStretch, kAnchorStretch, kAnchorFixed, kAnchorFixed);
  AddControl(IDC_EDITCD_YEAR, kAnchorFixed, kAnchorFixed, kAnchorFixed, kAnchorFixed);
  AddControl(IDC_EDITCD_VARIOUS, kAnchorMove, kAnchorMove, kAnchorFixed, kAnchorFixed);
  AddControl(IDC_EDITCD_OK, kAnchorCentre, kAnchorCentre, kAnchorFixed, kAnchorFixed);
  AddControl(IDC_EDITCD_SAVE, kAnchorCentre, kAnchorCentre, kAnchorFixed, kAnchorFixed);

  try {
    placement.Restore(m_hWnd, kPlacementValue, kPlacementSection);
  } catch (CException* e) {
    e->Delete();
    placement.Apply(m_hWnd, kPlacementSection);
  }
  return TRUE;
}

void CEditCD::OnVariousArtists() {
  CWnd* artist = GetDlgItem(IDC_EDITCD_ARTIST);
  if (!artist) return;
  if (IsDlgButtonChecked(IDC_EDITCD_VARIOUS)) {
    artist->EnableWindow(FALSE);
    artist->SetWindowText(kVariousArtists);
  } else {
    artist->EnableWindow(TRUE);  // the text stays
  }
}

BOOL CEditCD::ApplyEdits(BOOL* saved) {
  if (!UpdateData(TRUE)) return FALSE;
  {
    // A refresh rewrites the record and its cache file from the worker: the edits wait
    // for none, and go nowhere once the disc has been refreshed since the dialog opened.
    RefreshHold hold;
    if (hold.Held() && RefreshesBegun() == m_nRefreshesAtOpen && g_dwDiscId == m_dwDiscId) {
      WriteEdits();
      if (saved) *saved = SaveLocalCDDB(g_cddbRecord, g_dwDiscId);
      return TRUE;
    }
  }
  AfxMessageBox(L"The Disc Has Changed, Edits Not Applied!", MB_OK | MB_ICONEXCLAMATION);
  EndDialog(IDCANCEL);
  return FALSE;
}

void CEditCD::WriteEdits() {
  CString text;
  GetDlgItemText(IDC_EDITCD_ALBUM, text);
  g_cddbRecord.m_title = text;
  if (IsDlgButtonChecked(IDC_EDITCD_VARIOUS)) {
    g_cddbRecord.m_artist = kVariousArtists;
  } else {
    GetDlgItemText(IDC_EDITCD_ARTIST, text);
    g_cddbRecord.m_artist = text;
  }
  m_comboGenre.GetWindowText(text);
  g_cddbRecord.m_genre = text;
  g_cddbRecord.m_year = m_nYear;
  if (CVeltraskDlg* main = g_pMainDlg) main->RefreshDestinations();
  // An edited record is a real one: the rip writes the full tags.
  g_bPlaceholderRecord = FALSE;
}

void CEditCD::OnOk() {
  if (ApplyEdits(nullptr)) EndDialog(IDOK);
}

void CEditCD::OnSaveToLocal() {
  // Written beside the old file and moved over it, so a failed write keeps the old one.
  BOOL saved = FALSE;
  if (!ApplyEdits(&saved)) return;
  if (saved) {
    AfxMessageBox(L"Local CDDB File Saved.", MB_OK | MB_ICONINFORMATION);
    CVeltraskDlg::AddLog(L"Local CDDB file saved.", LOG_INFO);
  } else {
    AfxMessageBox(L"Fail to Save Local CDDB File!", MB_OK | MB_ICONERROR);
    CVeltraskDlg::AddLog(L"Fail to save local CDDB file!", LOG_WARNING);
  }
}

void CEditCD::OnDestroy() {
  CResizeDlg::OnDestroy();
  placement.Save(m_hWnd, kPlacementValue, kPlacementSection);
}
