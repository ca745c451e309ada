// The album-lookup operations as the disc refresh calls them.
#include "AlbumLookup.h"
#include "VeltraskDlg.h"
#include "engine/CDDrive.h"

void CVeltraskDlg::ApplyCDDBServer() { ::ApplyCDDBServer(); }

BOOL CVeltraskDlg::LoadLocalCDDB() { return ::LoadLocalCDDB(); }

namespace {

// While a request waits, the event pane says what for; the next log line takes it back.
void ShowLookupStatus(const CString& text) {
  if (CVeltraskDlg* dlg = g_pMainDlg) dlg->SetStatusPane(1, text);
}

}  // namespace

void CVeltraskDlg::QueryRemoteCDDB() {
  SetLookupStatusHandler(ShowLookupStatus);
  ::QueryRemoteCDDB();
}

void CVeltraskDlg::SetDefaultRecord() { ::SetDefaultRecord(g_bNoDisc, m_bAudioCD); }

void CVeltraskDlg::ClearQueryResults() { ::ClearQueryResults(); }
