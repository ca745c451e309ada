// Writes the local album cache file of the disc in a drive, so the program shows its
// titles without a network:
//   seedcache X: "Artist" "Album" year "Genre" "Title 1" "Title 2" ...
// The disc id comes from the drive's own table of contents; the file is written with the
// program's own record serialiser into the settings folder's "Local CDDB".
#include <cstdio>

#include "AlbumLookup.h"
#include "discinfo/CDDB.h"
#include "engine/CDDrive.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 6) {
    fwprintf(stderr, L"usage: seedcache X: artist album year genre title...\n");
    return 2;
  }
  if (FindCDDriveLetters() == 0 || ListCDDrives() == 0) {
    fwprintf(stderr, L"seedcache: no CD drive\n");
    return 1;
  }
  DriveNum = -1;
  for (int i = 0; i < g_driveLetters.GetSize(); ++i) {
    if (g_driveLetters[i].CompareNoCase(argv[1]) == 0) DriveNum = static_cast<short>(i);
  }
  CString status;
  if (DriveNum < 0 || ReadDisc(status) != DiscState::Audio) {
    fwprintf(stderr, L"seedcache: no audio disc in %ls\n", argv[1]);
    return 1;
  }

  CCDDBRecord record;
  const INT_PTR tracks = g_trackPositions.GetSize() - 1;
  record.m_discId = g_dwDiscId;
  for (INT_PTR i = 0; i < tracks; ++i) {
    record.m_trackFrameOffsets.Add(static_cast<int>(g_trackPositions[i].GetFrameOffset()));
    record.m_trackExtData.Add(CString());
    const int arg = 6 + static_cast<int>(i);
    CString title;
    if (arg < argc) {
      title = argv[arg];
    } else {
      title.Format(L"Track%02d", static_cast<int>(i + 1));
    }
    record.m_trackTitles.Add(title);
  }
  record.m_discLengthSeconds =
      static_cast<int>(g_trackPositions[tracks].GetSeconds() - g_trackPositions[0].GetSeconds());
  record.m_artist = argv[2];
  record.m_title = argv[3];
  record.m_year = _wtoi(argv[4]);
  record.m_genre = argv[5];
  record.m_submittedViaClient = g_strClientName;
  record.m_submittedViaVersion = g_strClientVersion;

  CString settings;
  if (!GetSettingsFolder(settings)) return 1;
  LocalCDDBDir = settings + L"\\Local CDDB";
  if (!SaveLocalCDDB(record, g_dwDiscId)) {
    fwprintf(stderr, L"seedcache: cannot write %ls\n", LocalCDDBPath(g_dwDiscId).GetString());
    return 1;
  }
  wprintf(L"%ls\n", LocalCDDBPath(g_dwDiscId).GetString());
  return 0;
}
