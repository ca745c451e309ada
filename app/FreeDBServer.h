// One configured CDDB server, and the process-wide list the album lookup picks from.
#pragma once

#include "framework/core/Collections.h"
#include "framework/core/Object.h"
#include "framework/core/String.h"

class CArchive;

class CFreeDBServer : public CObject {
  DECLARE_SERIAL(CFreeDBServer)
 public:
  // Empty host, numbers 0: a default entry is meant to be filled by Serialize.
  CFreeDBServer() = default;
  CFreeDBServer(const CString& host, int port, int timeoutMs, int protoLevel);
  ~CFreeDBServer() override;

  // Host (archive string), port, time-out, level: host first, unlike the members.
  void Serialize(CArchive& ar) override;

  int m_nPort = 0;
  int m_nTimeout = 0;  // socket time-out in milliseconds
  CString m_strHost;
  int m_nProtoLevel = 0;
};

// Owns its entries. One entry is added by the main dialog's initialisation and all
// are deleted by the exit sequence.
extern CObArray g_serverList;
// The entry the lookup uses; nothing changes it.
extern short g_nServerIndex;

// Host of the start-up entry: answers the query and read commands over HTTP on port 80.
inline constexpr wchar_t kDefaultFreeDBHost[] = L"gnudb.gnudb.org";

// Appends the start-up entry (default host, port 80, time-out 60000 ms, level 6).
void AddDefaultFreeDBServer();
// Removes and deletes every entry, first to last.
void RemoveAllFreeDBServers();
