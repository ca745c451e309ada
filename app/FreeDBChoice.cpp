#include "FreeDBChoice.h"

#include <algorithm>

#include "AlbumLookup.h"
#include "engine/OutputNaming.h"
#include "engine/ProcessState.h"
#include "framework/win/WinApp.h"
#include "resource.h"
#include "uikit/ExplorerTheme.h"

namespace {

constexpr wchar_t kPlacementSection[] = L"Position";
constexpr wchar_t kPlacementValue[] = L"{1ADB0359-4E49-42AB-BA19-73B9A417C5DE}";
constexpr COLORREF kOddRowBackground = RGB(243, 245, 252);
constexpr COLORREF kEvenRowBackground = RGB(255, 255, 255);

}  // namespace

BEGIN_MESSAGE_MAP(CFreeDBChoice, CResizeDlg)
ON_WM_CLOSE()
ON_NOTIFY(NM_DBLCLK, IDC_LIST_MATCHES, OnDblclkMatches)
ON_NOTIFY(LVN_ITEMCHANGED, IDC_LIST_MATCHES, OnItemchangedMatches)
ON_NOTIFY(NM_CUSTOMDRAW, IDC_LIST_MATCHES, OnCustomDraw)
ON_NOTIFY(NM_CUSTOMDRAW, IDC_LIST_MATCH_TRACKS, OnCustomDraw)
ON_WM_DESTROY()
END_MESSAGE_MAP()

CFreeDBChoice::CFreeDBChoice(CWnd* pParent) : CResizeDlg(IDD_FREEDB_CHOICE, pParent) {}

void CFreeDBChoice::DoDataExchange(CDataExchange* pDX) {
  CResizeDlg::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_LIST_MATCHES, m_listMatches);
  DDX_Control(pDX, IDC_LIST_MATCH_TRACKS, m_listTracks);
}

int CFreeDBChoice::MatchCount() {
  // Record i belongs to match i; a match without its record is not offered.
  return static_cast<int>(std::min(g_queryResults.GetSize(), g_matchRecords.GetSize()));
}

BOOL CFreeDBChoice::TakeMatch(int index) {
  if (index < 0 || index >= MatchCount()) return FALSE;
  g_cddbRecord = g_matchRecords[index];
  return TRUE;
}

BOOL CFreeDBChoice::OnInitDialog() {
  CResizeDlg::OnInitDialog();

  m_listMatches.EnableToolTips(TRUE);
  m_listMatches.DeleteAllItems();
  m_listMatches.InsertColumn(0, L"DiscID", LVCFMT_LEFT, 60);
  m_listMatches.InsertColumn(1, L"Album", LVCFMT_CENTER, 200);
  m_listMatches.InsertColumn(2, L"Artist", LVCFMT_CENTER, 150);
  m_listMatches.InsertColumn(3, L"Genre", LVCFMT_CENTER, 150);
  m_listMatches.InsertColumn(4, L"Year", LVCFMT_CENTER, 50);
  const int matches = MatchCount();
  for (int i = 0; i < matches; ++i) {
    const CCDDBRecord& record = g_matchRecords[i];
    CString text;
    text.Format(L"%08x", record.m_discId);
    const int row = m_listMatches.InsertItem(i, text);
    m_listMatches.SetItemText(row, 1, record.m_title);
    m_listMatches.SetItemText(row, 2, record.m_artist);
    m_listMatches.SetItemText(row, 3, record.m_genre);
    text.Format(L"%d", record.m_year);
    m_listMatches.SetItemText(row, 4, text);
  }

  m_listTracks.DeleteAllItems();
  m_listTracks.InsertColumn(0, L"Track #", LVCFMT_CENTER, 50);
  m_listTracks.InsertColumn(1, L"Track Title", LVCFMT_LEFT, 560);

  ApplyReportListLook(m_listMatches.m_hWnd, g_bVistaOrLater);
  ApplyReportListLook(m_listTracks.m_hWnd, g_bVistaOrLater);

  AddControl(IDC_LIST_MATCHES, kAnchorStretch, kAnchorStretch, kAnchorFixed, kAnchorFixed);
  AddControl(IDC_LIST_MATCH_TRACKS, kAnchorStretch, kAnchorStretch, kAnchorStretch, kAnchorStretch);
  AddControl(IDOK, kAnchorCentre, kAnchorCentre, kAnchorMove, kAnchorMove);
  AddControl(IDCANCEL, kAnchorCentre, kAnchorCentre, kAnchorMove, kAnchorMove);

  try {
    m_placement.Restore(m_hWnd, kPlacementValue, kPlacementSection);
  } catch (CException* e) {
    e->Delete();
    m_placement.Apply(m_hWnd, kPlacementSection);
  }
  return TRUE;
}

void CFreeDBChoice::ShowTracksOf(int index) {
  m_listTracks.DeleteAllItems();
  const CStringArray& titles = g_matchRecords[index].m_trackTitles;
  for (INT_PTR j = 0; j < titles.GetSize(); ++j) {
    CString number;
    number.Format(L"%d", static_cast<int>(j + 1));
    const int row = m_listTracks.InsertItem(static_cast<int>(j), number);
    m_listTracks.SetItemText(row, 1, titles[j]);
  }
}

// The record follows the highlight; the way the dialog closes decides the final one.
// Only a real row that has just become selected counts: the notifications for rows
// losing their selection, for other state bits or for no row at all change no record.
void CFreeDBChoice::OnItemchangedMatches(NMHDR* pNMHDR, LRESULT* pResult) {
  const auto* change = reinterpret_cast<NMLISTVIEW*>(pNMHDR);
  *pResult = 0;
  const bool nowSelected = (change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
                           !(change->uOldState & LVIS_SELECTED);
  if (nowSelected && TakeMatch(change->iItem)) ShowTracksOf(change->iItem);
  if (m_listMatches.GetNextItem(-1, LVNI_SELECTED) < 0) m_listTracks.DeleteAllItems();
}

void CFreeDBChoice::OnDblclkMatches(NMHDR* pNMHDR, LRESULT* pResult) {
  const auto* activate = reinterpret_cast<NMITEMACTIVATE*>(pNMHDR);
  *pResult = 0;
  if (TakeMatch(activate->iItem)) EndDialog(IDOK);
}

void CFreeDBChoice::OnOK() {
  if (!TakeMatch(m_listMatches.GetNextItem(-1, LVNI_SELECTED))) {
    AfxMessageBox(L"Please select a listing!", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  EndDialog(IDOK);
}

void CFreeDBChoice::OnCancel() {
  TakeMatch(0);
  EndDialog(IDCANCEL);
}

void CFreeDBChoice::OnClose() {
  TakeMatch(0);
  CResizeDlg::OnClose();
}

void CFreeDBChoice::OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult) {
  auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(pNMHDR);
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
    case CDDS_ITEMPREPAINT:
      *pResult = CDRF_NOTIFYSUBITEMDRAW;
      break;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
      draw->clrTextBk = draw->nmcd.dwItemSpec % 2 ? kOddRowBackground : kEvenRowBackground;
      *pResult = CDRF_DODEFAULT;
      break;
    default:
      *pResult = CDRF_DODEFAULT;
      break;
  }
}

void CFreeDBChoice::OnDestroy() {
  CResizeDlg::OnDestroy();
  m_placement.Save(m_hWnd, kPlacementValue, kPlacementSection);
}
