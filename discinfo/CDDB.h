// The CDDB client.
#pragma once

#include "discinfo/CDDBTrackPosition.h"
// -- client: requests and replies --
#include "discinfo/CDDBException.h"
#include "discinfo/CDDBRecord.h"
#include "framework/core/String.h"

class CWSocket;

// The site the requests go to. The requests use only host, port and path.
class CCDDBServerEntry {
 public:
  // TRUE: the lookup path "/~cddb/cddb.cgi"; FALSE: the submission path.
  explicit CCDDBServerEntry(BOOL bLookup = TRUE);

  CString m_host;
  int m_port = 80;
  CString m_cgiPath;
  BOOL m_north = TRUE;
  int m_latitudeMinutes = 0;
  BOOL m_east = TRUE;
  int m_longitudeMinutes = 0;
  CString m_description;
  CString m_protocol;
};
// -- end client: requests and replies --

// ---- reply parsing (CDDBParse.cpp) ----
// Matches of a query, in the order of the reply.
using CCDDBQueryResultArray = CArray<CCDDBQueryResult, CCDDBQueryResult&>;
// ---- end reply parsing ----

class CCDDB {
 public:
  // The 32-bit CDDB disc id of a disc's positions (lead-out last). Needs no client
  // state. An empty array throws CInvalidArgException.
  static DWORD CalcDiscId(const CCDDBTrackPositionArray& positions);

  // ---- reply parsing (CDDBParse.cpp) ----
  // Bodies are the 8-bit text after the HTTP header; null bodies fail.
  // Atoi of the first three characters; -1 for null or shorter text.
  virtual int ReplyCode(const char* text);
  // Codes 210-219 append every match line, 200 the one match; 202 logs a warning.
  // FALSE when nothing was appended.
  virtual BOOL ParseQueryBody(const char* body, const CString& discIdText,
                              CCDDBQueryResultArray& matches);
  // "category discid rest": rest split at its first "/" into artist and title.
  // A category that would need escaping in a request URL is refused.
  virtual BOOL ParseMatchLine(CCDDBQueryResult& match, const CStringA& line);
  // A 210-219 reply: the record after the status line.
  virtual BOOL ParseReadReply(const char* body, CCDDBRecord& record);
  // Resets the record and fills it from an xmcd text; FALSE (with a warning line)
  // when a required line is missing. A TTITLE/EXTT number below 0 or above 99 is
  // ignored with a warning line.
  virtual BOOL ParseRecordBodyHelper(CCDDBRecord& record, const char* text);
  // The next line (CR LF, or LF when the rest holds no CR LF); pos becomes null
  // when no further line ends, and no line is produced then.
  virtual void NextReplyLine(const char*& pos, CStringA& line);
  // "#..." lines: the rest, trimmed.
  virtual BOOL ReadCommentLine(const CStringA& line, CStringA& comment);
  // "key=value" with the value's \n, \t and \\ escapes undone.
  virtual BOOL SplitKeyValue(const CStringA& line, CStringA& key, CStringA& value);
  // ---- end reply parsing ----

  // -- client: requests and replies (CDDB.cpp) --
  // One process-wide client, used on the disc worker only, one command at a time.
  CCDDB();
  CCDDB(const CCDDB&) = delete;
  CCDDB& operator=(const CCDDB&) = delete;

  void SetProtoLevel(int level) { m_protocolLevel = level; }
  // "auto" (exact) takes the computer's host name / the logged-on user's name.
  void SetClientHost(const CString& host);
  void SetClientUser(const CString& user);
  CString GetHelloHost() const { return m_helloHost; }
  CString GetHelloUser() const { return m_helloUser; }

  // Both throw CCDDBException on every failure (socket errors with facility 7).
  // On return the match array holds at least one match.
  void QueryDisc(const CCDDBServerEntry& server, DWORD discId,
                 const CCDDBTrackPositionArray& positions,
                 CArray<CCDDBQueryResult, CCDDBQueryResult&>& matches);
  // A category that is not plain goes out percent-escaped.
  void Read(const CCDDBServerEntry& server, DWORD discId, const CString& category,
            CCDDBRecord& record);
  // Only ASCII letters, digits and "-._~": a word a request URL carries as it is.
  static bool IsPlainCategory(LPCSTR category);

  virtual CString BuildHelloArgs();
  // Receives until the reply is whole, however the network cuts it: a one-line reply
  // (code outside 210..219) at its status line's LF or the peer's close, a list or
  // record at its terminator line (LF-only line ends count as CR LF). Every mode
  // receives alike. FALSE when a wait ran out or the whole reply took longer than
  // kReplyDeadlineTimeouts waits; a close before the reply is whole raises 524.
  virtual BOOL ReceiveReply(CWSocket& socket, LPCSTR terminator, CStringA& reply, int mode);
  virtual void SanitizeHelloField(CString& field);
  // Just after the first blank line, or null.
  virtual LPCSTR SkipHttpHeader(LPCSTR text);
  virtual CString BuildHostHeader(const CCDDBServerEntry& server);
  // UTF-8 from protocol level 6, else the ANSI code page.
  virtual CString ToWideByProto(LPCSTR text);

  // A reply that grows past this without being complete is refused (516).
  static constexpr int kMaxReplyBytes = 1024 * 1024;
  // The whole of one reply may take this many m_timeoutMs; then it ends as a wait
  // that ran out.
  static constexpr int kReplyDeadlineTimeouts = 2;

  CString m_lastReply;
  DWORD m_timeoutMs = 60000;
  int m_receiveChunk = 1024;
  CString m_clientName = L"ZevEDUV";
  CString m_clientVersion = L"1.31";
  int m_protocolLevel = 6;
  CString m_proxyHost;
  int m_proxyPort = 80;
  CString m_proxyUser;
  CString m_proxyPassword;
  CString m_helloHost;
  CString m_helloUser;
  // -- end client: requests and replies --
};
