// The album lookup of a disc refresh: the local cache file, the CDDB server and the
// placeholder record. Runs on the disc worker and needs no window: the main dialog's
// members of the same names forward here, and the several-matches hand-over to the
// chooser is a handler the main dialog installs.
#pragma once

#include <windows.h>

#include "discinfo/CDDB.h"

// The one client and the site its requests go to (host and port from the selected
// g_serverList entry before every lookup; the path stays the lookup path).
extern CCDDB g_cddb;
extern CCDDBServerEntry g_cddbServer;
// Matches of the last query, and one record per match when there were several
// (record i belongs to match i).
extern CCDDBQueryResultArray g_queryResults;
extern CArray<CCDDBRecord, CCDDBRecord&> g_matchRecords;

// What the hello names: the client, its version and the user ("Unregistered User "
// and a number, set by the main dialog's initialisation).
extern CString g_strClientName;
extern CString g_strClientVersion;
extern CString g_strHelloUser;

// Proxy values handed to the client; off unless someone turns them on.
extern BOOL g_bUseProxy;
extern CString g_strProxyHost;
extern int g_nProxyPort;
extern BOOL g_bProxyAuthentication;
extern CString g_strProxyUser;
extern CString g_strProxyPassword;

// Copies the selected g_serverList entry, the client names and the proxy into the
// client. An index outside the list throws CInvalidArgException.
void ApplyCDDBServer();

// TRUE when the disc's cache file was read whole into g_cddbRecord. A missing folder
// or file, a file that cannot be opened and a damaged file are misses (FALSE) that
// leave g_cddbRecord as it was.
BOOL LoadLocalCDDB();

// Queries the server and reads the match (several: all of them, then the hand-over
// picks one among those that could be read), then saves the record when SaveAlbumInfo
// is on. CCDDBException (and others) end the refresh; a failed save only logs. Of
// several matches, one that cannot be read is left out; only when none can be read
// (or the lookups were ended) does the last failure end the refresh.
void QueryRemoteCDDB();

// Ends the lookup under way (its wait fails within a moment) and refuses every later
// request: for the exit, which must not wait out a silent server. Any thread.
void EndLookups();
BOOL LookupsEnded();

// The placeholder record built from the disc's positions; with no disc or no audio
// track only the per-track data is emptied.
void SetDefaultRecord(BOOL noDisc, BOOL audioCD);

// Empties g_queryResults. Also the client's hook for its failures.
void ClearQueryResults();

// Called on the disc worker when a query gave several matches, after they were all
// read into g_matchRecords; returns when g_cddbRecord holds the chosen one. Without a
// handler the first match is taken.
using MultipleMatchHandler = void (*)();
void SetMultipleMatchHandler(MultipleMatchHandler handler);

// Called on the disc worker just before each request of a lookup with what it is
// waiting for, so the window can show that a lookup is under way.
using LookupStatusHandler = void (*)(const CString& text);
void SetLookupStatusHandler(LookupStatusHandler handler);

// LocalCDDBDir + "\%08x.cddb".
CString LocalCDDBPath(DWORD discId);
// Writes record as the disc's cache file, creating the folder when missing. The file
// is written beside and then moved over the old one, so a failure (full disk, folder
// that cannot be made) leaves any older file as it was. FALSE on failure; logs only
// that the file's name is taken by a folder.
BOOL SaveLocalCDDB(const CCDDBRecord& record, DWORD discId);
// TRUE when the disc's cache file holds exactly what SaveLocalCDDB would write.
BOOL LocalCDDBHolds(const CCDDBRecord& record, DWORD discId);
