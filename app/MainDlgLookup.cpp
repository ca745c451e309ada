// The album-lookup operations as the disc refresh calls them.
#include "AlbumLookup.h"
#include "VeltraskDlg.h"
#include "engine/CDDrive.h"

void CVeltraskDlg::ApplyCDDBServer() { ::ApplyCDDBServer(); }

BOOL CVeltraskDlg::LoadLocalCDDB() { return ::LoadLocalCDDB(); }

void CVeltraskDlg::QueryRemoteCDDB() { ::QueryRemoteCDDB(); }

void CVeltraskDlg::SetDefaultRecord() { ::SetDefaultRecord(g_bNoDisc, m_bAudioCD); }

void CVeltraskDlg::ClearQueryResults() { ::ClearQueryResults(); }
