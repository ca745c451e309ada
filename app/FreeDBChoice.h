// The match chooser: the matches of a query in the upper list, the track titles of the
// highlighted one in the lower; whatever way it closes, g_cddbRecord holds one match.
#pragma once

#include "framework/win/ListCtrl.h"
#include "uikit/ResizeDlg.h"
#include "uikit/WindowPlacement.h"

class CFreeDBChoice : public CResizeDlg {
 public:
  explicit CFreeDBChoice(CWnd* pParent = nullptr);

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;      // the selected match; refused without a selection
  void OnCancel() override;  // the first match

  void OnClose();  // the first match
  void OnDblclkMatches(NMHDR* pNMHDR, LRESULT* pResult);
  void OnItemchangedMatches(NMHDR* pNMHDR, LRESULT* pResult);
  void OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);
  void OnDestroy();
  DECLARE_MESSAGE_MAP()

  // Matches that have a record: the rows of the match list.
  static int MatchCount();
  // g_cddbRecord := a copy of match i's record; FALSE when there is no such match.
  static BOOL TakeMatch(int index);
  void ShowTracksOf(int index);

  WindowPlacementStore m_placement;
  CListCtrl m_listMatches;
  CListCtrl m_listTracks;
};
