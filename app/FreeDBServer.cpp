#include "app/FreeDBServer.h"

#include "framework/core/Archive.h"

IMPLEMENT_SERIAL(CFreeDBServer, CObject, 1)

CObArray g_serverList;
short g_nServerIndex = 0;

CFreeDBServer::CFreeDBServer(const CString& host, int port, int timeoutMs, int protoLevel)
    : m_nPort(port), m_nTimeout(timeoutMs), m_strHost(host), m_nProtoLevel(protoLevel) {}

CFreeDBServer::~CFreeDBServer() = default;

void CFreeDBServer::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << m_strHost << m_nPort << m_nTimeout << m_nProtoLevel;
  } else {
    ar >> m_strHost >> m_nPort >> m_nTimeout >> m_nProtoLevel;
  }
}

void AddDefaultFreeDBServer() {
  g_serverList.Add(new CFreeDBServer(kDefaultFreeDBHost, 80, 60000, 6));
}

void RemoveAllFreeDBServers() {
  while (g_serverList.GetSize() > 0) {
    CObject* entry = g_serverList.GetAt(0);
    g_serverList.RemoveAt(0);
    delete entry;
  }
}
