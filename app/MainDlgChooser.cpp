// The disc worker's request to choose among several matches.
#include "AlbumLookup.h"
#include "VeltraskDlg.h"
#include "engine/OutputNaming.h"

// Until the chooser exists the first match is taken, as the lookup does without a handler.
LRESULT CVeltraskDlg::OnCddbMultiple(WPARAM, LPARAM) {
  if (g_matchRecords.GetSize() > 0) g_cddbRecord = g_matchRecords[0];
  return 0;
}
