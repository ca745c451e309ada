#include "app/AlbumLookup.h"

#include <atomic>
#include <string>

#include "app/FreeDBServer.h"
#include "discinfo/DiscInfoLog.h"
#include "discinfo/WSocket.h"
#include "engine/CDDrive.h"
#include "engine/EngineLog.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"
#include "framework/core/Archive.h"
#include "framework/core/File.h"

CString g_strClientName = L"ZevEDUV";
CString g_strClientVersion = L"1.28";
CString g_strHelloUser = L"Unregistered User";
CString g_strProxyUser;
CString g_strProxyPassword;
CString g_strProxyHost;
BOOL g_bUseProxy = FALSE;
int g_nProxyPort = 80;
BOOL g_bProxyAuthentication = FALSE;

CCDDB g_cddb;
CCDDBQueryResultArray g_queryResults;
CArray<CCDDBRecord, CCDDBRecord&> g_matchRecords;
CCDDBServerEntry g_cddbServer(TRUE);

namespace {

// Set by the main dialog before the first refresh, read on the disc worker.
std::atomic<MultipleMatchHandler> g_multipleMatchHandler{nullptr};
std::atomic<LookupStatusHandler> g_lookupStatusHandler{nullptr};

// The client empties the match list whenever it raises or refuses a reply.
const bool g_clearSinkInstalled = [] {
  SetClearQueryResultsSink(ClearQueryResults);
  return true;
}();

constexpr int kCacheBufferBytes = 4096;

bool FolderExists(const CString& path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const CString& path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

void Log(const CString& text, int level) { EngineLog(text, level); }

// A folder where the cache file should be cannot be read or replaced; the log says so,
// since the user would not guess it from "fail to load" or "fail to save".
bool CachePathIsFolder(const CString& path) {
  if (!FolderExists(path)) return false;
  Log(L"Local CDDB file " + path + L" is a folder, not a file", LOG_WARNING);
  return true;
}

void ShowLookupStatus(const CString& text) {
  if (LookupStatusHandler handler = g_lookupStatusHandler.load(std::memory_order_acquire)) {
    handler(text);
  }
}

// Takes the stored bytes of a record instead of writing them anywhere.
class CRecordBytes : public CFile {
 public:
  void Write(const void* lpBuf, UINT nCount) override {
    bytes.append(static_cast<const char*>(lpBuf), nCount);
  }
  void Flush() override {}
  void Close() override {}
  void Abort() override {}
  std::string bytes;
};

std::string StoredBytes(const CCDDBRecord& record) {
  CRecordBytes sink;
  CArchive ar(&sink, CArchive::store, kCacheBufferBytes);
  // Serialize only reads the record when storing.
  const_cast<CCDDBRecord&>(record).Serialize(ar);
  ar.Close();
  return sink.bytes;
}

}  // namespace

void ClearQueryResults() { g_queryResults.RemoveAll(); }

void SetMultipleMatchHandler(MultipleMatchHandler handler) {
  g_multipleMatchHandler.store(handler, std::memory_order_release);
}

void SetLookupStatusHandler(LookupStatusHandler handler) {
  g_lookupStatusHandler.store(handler, std::memory_order_release);
}

// The client's sockets fail their waits and new requests from now on.
void EndLookups() { CWSocket::SetCancelled(true); }

BOOL LookupsEnded() { return CWSocket::IsCancelled(); }

CString LocalCDDBPath(DWORD discId) {
  CString path;
  path.Format(L"%s\\%08x.cddb", LocalCDDBDir, discId);
  return path;
}

void ApplyCDDBServer() {
  const CFreeDBServer* entry =
      static_cast<const CFreeDBServer*>(g_serverList.GetAt(g_nServerIndex));
  g_cddbServer.m_host = entry->m_strHost;
  g_cddbServer.m_port = entry->m_nPort;

  g_cddb.SetProtoLevel(entry->m_nProtoLevel);
  g_cddb.SetClientHost(entry->m_strHost);
  g_cddb.m_timeoutMs = static_cast<DWORD>(entry->m_nTimeout);
  g_cddb.m_clientName = g_strClientName;
  g_cddb.m_clientVersion = g_strClientVersion;

  // Cleared when off, so a proxy once set never outlives its setting.
  g_cddb.m_proxyHost = g_bUseProxy ? g_strProxyHost : CString();
  g_cddb.m_proxyPort = g_bUseProxy ? g_nProxyPort : 80;
  const BOOL authenticate = g_bUseProxy && g_bProxyAuthentication;
  g_cddb.m_proxyUser = authenticate ? g_strProxyUser : CString();
  g_cddb.m_proxyPassword = authenticate ? g_strProxyPassword : CString();

  g_cddb.SetClientUser(g_strHelloUser);
}

// The file is read into a record of its own and becomes the current record only
// when it was read to the end: a damaged file must neither leave a half-filled
// record in use nor keep the disc from being looked up again.
BOOL LoadLocalCDDB() {
  if (!FolderExists(LocalCDDBDir)) {
    Log(L"Local CDDB directory " + LocalCDDBDir + L" not found", LOG_WARNING);
    return FALSE;
  }
  const CString path = LocalCDDBPath(g_dwDiscId);
  if (!FileExists(path)) {
    Log(L"Local CDDB file " + path + L" not found", LOG_WARNING);
    return FALSE;
  }
  if (CachePathIsFolder(path)) return FALSE;
  CFile file;
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyRead)) return FALSE;

  CCDDBRecord loaded;
  try {
    CArchive ar(&file, CArchive::load, kCacheBufferBytes);
    loaded.Serialize(ar);
    ar.Close();
    file.Close();
  } catch (CException* e) {
    e->Delete();
    file.Abort();
    Log(L"Local CDDB file " + path + L" is damaged", LOG_WARNING);
    return FALSE;
  }
  g_cddbRecord = loaded;
  return TRUE;
}

BOOL SaveLocalCDDB(const CCDDBRecord& record, DWORD discId) {
  if (!FolderExists(LocalCDDBDir)) CreateDirectoryPath(LocalCDDBDir);
  const CString path = LocalCDDBPath(discId);
  const CString temporary = path + L".tmp";
  if (CachePathIsFolder(path)) return FALSE;

  CFile file;
  if (!file.Open(temporary, CFile::modeCreate | CFile::modeWrite | CFile::shareDenyRead)) {
    return FALSE;
  }
  try {
    CArchive ar(&file, CArchive::store, kCacheBufferBytes);
    // Serialize only reads the record when storing.
    const_cast<CCDDBRecord&>(record).Serialize(ar);
    ar.Close();
    file.Close();
  } catch (CException* e) {
    e->Delete();
    file.Abort();
    DeleteFileW(temporary);
    return FALSE;
  }
  if (!MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary);
    return FALSE;
  }
  return TRUE;
}

BOOL LocalCDDBHolds(const CCDDBRecord& record, DWORD discId) {
  const CString path = LocalCDDBPath(discId);
  CFile file;
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite)) return FALSE;
  try {
    const std::string expected = StoredBytes(record);
    if (file.GetLength() != expected.size()) return FALSE;
    std::string stored(expected.size(), '\0');
    UINT done = 0;
    while (done < stored.size()) {
      const UINT n = file.Read(stored.data() + done, static_cast<UINT>(stored.size() - done));
      if (n == 0) return FALSE;
      done += n;
    }
    return stored == expected;
  } catch (CException* e) {
    e->Delete();
    return FALSE;
  }
}

void QueryRemoteCDDB() {
  Log(L"Querying CD album information from FreeDB server...", LOG_INFO);
  CString line;
  line.Format(L"ServerURL: %s%s Port: %d", g_cddbServer.m_host, g_cddbServer.m_cgiPath,
              g_cddbServer.m_port);
  Log(line, LOG_INFO);

  ShowLookupStatus(L"Looking up the album on " + g_cddbServer.m_host + L"...");
  g_cddb.QueryDisc(g_cddbServer, g_dwDiscId, g_trackPositions, g_queryResults);
  Log(L"Retrieved the following matches for the inserted audio CD.", LOG_INFO);
  g_matchRecords.RemoveAll();

  const INT_PTR matches = g_queryResults.GetSize();
  if (matches > 1) {
    // A copy: a failing read empties g_queryResults on its way out. A match that cannot
    // be read (its warning line is logged) is left out, and the others are still read.
    const CCDDBQueryResultArray found(g_queryResults);
    CCDDBQueryResultArray readable;
    CCDDBException* lastFailure = nullptr;
    for (INT_PTR i = 0; i < matches; ++i) {
      CCDDBQueryResult match = found.GetAt(i);
      line.Format(L"Retrieving %08x, %s  %s %s ...", match.m_discId, match.m_title, match.m_artist,
                  match.m_category);
      Log(line, LOG_INFO);
      line.Format(L"Reading match %d of %d from %s...", static_cast<int>(i + 1),
                  static_cast<int>(matches), g_cddbServer.m_host);
      ShowLookupStatus(line);
      CCDDBRecord record;
      try {
        g_cddb.Read(g_cddbServer, match.m_discId, match.m_category, record);
      } catch (CCDDBException* e) {
        if (lastFailure) lastFailure->Delete();
        lastFailure = e;
        if (LookupsEnded()) break;  // the program is ending: no further request
        continue;
      }
      readable.Add(match);
      g_matchRecords.Add(record);
    }
    // Nothing read means every read failed. A failure after the lookups were ended is
    // the cancel itself: the refresh ends rather than offering what came before it.
    if (readable.IsEmpty() || (lastFailure && LookupsEnded())) {
      g_matchRecords.RemoveAll();
      ClearQueryResults();
      throw lastFailure;
    }
    if (lastFailure) lastFailure->Delete();
    // Record i stays match i's.
    g_queryResults.Copy(readable);
    // Whatever the hand-over does, the record is one of the matches afterwards.
    g_cddbRecord = g_matchRecords.GetAt(0);
    // One readable match needs no choice, and an exit under way asks nothing.
    MultipleMatchHandler handler = g_multipleMatchHandler.load(std::memory_order_acquire);
    if (handler && g_matchRecords.GetSize() > 1 && !LookupsEnded()) handler();
  } else if (matches == 1) {
    const CCDDBQueryResult match = g_queryResults.GetAt(0);
    line.Format(L"%08x, %s  %s %s", match.m_discId, match.m_title, match.m_artist,
                match.m_category);
    Log(line, LOG_INFO);
    Log(L"FreeDB information available.", LOG_INFO);
    ShowLookupStatus(L"Reading the album from " + g_cddbServer.m_host + L"...");
    // Read into a record of its own: a failing read must not leave a half record.
    CCDDBRecord record;
    g_cddb.Read(g_cddbServer, match.m_discId, match.m_category, record);
    g_cddbRecord = record;
  } else {
    return;
  }

  if (!SaveAlbumInfo) return;
  if (SaveLocalCDDB(g_cddbRecord, g_dwDiscId)) {
    Log(L"Local CDDB file saved.", LOG_INFO);
  } else {
    Log(L"Fail to save local CDDB file!", LOG_WARNING);
  }
}

void SetDefaultRecord(BOOL noDisc, BOOL audioCD) {
  g_bPlaceholderRecord = TRUE;
  g_cddbRecord.m_trackFrameOffsets.RemoveAll();
  g_cddbRecord.m_trackExtData.RemoveAll();
  g_cddbRecord.m_playOrder.RemoveAll();
  g_cddbRecord.m_trackTitles.RemoveAll();
  if (noDisc || !audioCD) return;

  const DWORD discId = CCDDB::CalcDiscId(g_trackPositions);
  g_cddbRecord.m_discId = discId;
  const INT_PTR tracks = g_trackPositions.GetSize() - 1;
  CString title;
  for (INT_PTR i = 0; i < tracks; ++i) {
    g_cddbRecord.m_trackFrameOffsets.Add(static_cast<int>(g_trackPositions[i].GetFrameOffset()));
    g_cddbRecord.m_trackExtData.Add(CString());
    title.Format(L"Track%02d", static_cast<int>(i + 1));
    g_cddbRecord.m_trackTitles.Add(title);
  }

  CString suffix;
  suffix.Format(L" %08x", discId);
  const CCDDBTrackPosition& first = g_trackPositions[0];
  const CCDDBTrackPosition& leadOut = g_trackPositions[tracks];
  g_cddbRecord.m_discLengthSeconds =
      (leadOut.m_minute * 60 + leadOut.m_second) - (first.m_minute * 60 + first.m_second);
  g_cddbRecord.m_revision = 0;
  g_cddbRecord.m_year = 2000;
  g_cddbRecord.m_discExtData.Empty();
  g_cddbRecord.m_artist = L"Unknown Artist" + suffix;
  g_cddbRecord.m_submittedViaComment.Empty();
  g_cddbRecord.m_submittedViaClient = L"ZevEDUV";
  g_cddbRecord.m_submittedViaVersion = L"1.28";
  g_cddbRecord.m_genre = L"Unknown Genre" + suffix;
  g_cddbRecord.m_title = L"Unknown Album" + suffix;
}
