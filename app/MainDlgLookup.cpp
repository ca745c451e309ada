// The album-lookup operations as the disc refresh calls them.
#include "VeltraskDlg.h"
#include "discinfo/CDDB.h"
#include "engine/CDDrive.h"
#include "engine/EngineLog.h"
#include "engine/OutputNaming.h"

void CVeltraskDlg::AddDefaultLookupServer() {}

void CVeltraskDlg::ApplyCDDBServer() {}

BOOL CVeltraskDlg::LoadLocalCDDB() { return FALSE; }

void CVeltraskDlg::QueryRemoteCDDB() {
  AddLog(L"Album lookup is not available.", LOG_ERROR);
  AfxThrowNotSupportedException();
}

void CVeltraskDlg::ClearQueryResults() {}

void CVeltraskDlg::SetDefaultRecord() {
  CCDDBRecord& record = g_cddbRecord;
  g_bPlaceholderRecord = TRUE;
  record.m_trackFrameOffsets.RemoveAll();
  record.m_trackExtData.RemoveAll();
  record.m_playOrder.RemoveAll();
  record.m_trackTitles.RemoveAll();
  if (g_bNoDisc || !m_bAudioCD) return;

  const CCDDBTrackPositionArray& positions = g_trackPositions;
  record.m_discId = CCDDB::CalcDiscId(positions);
  const INT_PTR tracks = positions.GetSize() - 1;
  for (INT_PTR i = 0; i < tracks; ++i) {
    record.m_trackFrameOffsets.Add(static_cast<int>(positions[i].GetFrameOffset()));
    record.m_trackExtData.Add(CString());
    CString title;
    title.Format(L"Track%02d", static_cast<int>(i + 1));
    record.m_trackTitles.Add(title);
  }
  CString suffix;
  suffix.Format(L" %08x", record.m_discId);
  record.m_discLengthSeconds =
      tracks >= 0 ? static_cast<int>(positions[tracks].GetSeconds() - positions[0].GetSeconds())
                  : 0;
  record.m_revision = 0;
  record.m_year = 2000;
  record.m_discExtData.Empty();
  record.m_artist = L"Unknown Artist" + suffix;
  record.m_submittedViaComment.Empty();
  record.m_submittedViaClient = L"ZevEDUV";
  record.m_submittedViaVersion = L"1.28";
  record.m_genre = L"Unknown Genre" + suffix;
  record.m_title = L"Unknown Album" + suffix;
}
