// The Edit CD Info dialog: the album-level fields of the current disc record, and the
// genre names its genre box offers.
#pragma once

#include "framework/core/Collections.h"
#include "uikit/ComboBoxExt.h"
#include "uikit/ResizeDlg.h"
#include "uikit/WindowPlacement.h"

// The ID3v1 genre names, index = genre id (0 to 147).
extern CStringArray g_genres;
// Appends the names in id order; called once by the main window's start-up.
void FillGenreTable();

// Edits g_cddbRecord in place: OK applies and closes, Save to Local applies and writes
// the disc's cache file and stays open, Cancel closes without applying. The edits belong
// to the disc the dialog was opened for: once a refresh has been asked for or has run
// since, OK and Save to Local say so, apply nothing and close.
class CEditCD : public CResizeDlg {
 public:
  explicit CEditCD(CWnd* pParent = nullptr);

  WindowPlacementStore placement;
  CComboBoxExt m_comboGenre;
  int m_nYear;              // bound to the year box: 1..2100, or 0 for no year
  DWORD m_dwDiscId;         // the disc the dialog was opened for
  LONG m_nRefreshesAtOpen;  // the refreshes begun by then

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;

  void OnOk();
  void OnSaveToLocal();
  void OnVariousArtists();
  void OnDestroy();
  DECLARE_MESSAGE_MAP()

  // Moves the dialog's fields into g_cddbRecord and, with saved, the record into the
  // disc's cache file (*saved: whether it was written); no refresh begins meanwhile.
  // FALSE when nothing was applied: the data exchange failed (the framework has shown
  // why), or the disc is no longer the dialog's (the user is told, the dialog closes).
  BOOL ApplyEdits(BOOL* saved);
  void WriteEdits();
};
