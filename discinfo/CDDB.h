// The CDDB client.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

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

// The HTTP framing of the last reply, as ReceiveReply read it.
struct CCDDBHttpReply {
  int status = -1;  // -1: the reply has no HTTP status line
  std::string statusText;
  std::string location;  // a redirect's Location
  std::string charset;   // named by Content-Type, lower case; empty when none
  // The body: de-chunked, a leading byte order mark and blank lines dropped. It may
  // hold zero bytes, which no reply text may.
  std::string body;
  // Why the framing itself could not be read (null: it could).
  const wchar_t* fault = nullptr;
};

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
  // The next line, up to its LF (a CR before the LF is no part of it); pos becomes
  // null when no further line ends, and no line is produced then.
  virtual void NextReplyLine(const char*& pos, CStringA& line);
  // "#..." lines: the rest, trimmed.
  virtual BOOL ReadCommentLine(const CStringA& line, CStringA& comment);
  // "key=value" with the value's \n, \t and \\ escapes undone.
  virtual BOOL SplitKeyValue(const CStringA& line, CStringA& key, CStringA& value);
  // The code page of texts that belong together at protocol level 6: UTF-8 when all
  // are valid UTF-8, else the charset the reply's header named, else Windows-1252.
  UINT TextCodePage(const std::vector<const std::string*>& texts) const;
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
  // Receives until the reply is whole, however the network cuts it. The HTTP header
  // (LF or CR LF lines, interim 1xx headers skipped) is read into m_http; a redirect
  // is whole at its header's end, a body at its Content-Length or last chunk; and a
  // one-line CDDB reply (code outside 210..219) at its status line's LF or the
  // peer's close, a list or record at its terminator line (LF-only line ends count
  // as CR LF). Every mode receives alike. FALSE when a wait ran out or the whole
  // reply took longer than kReplyDeadlineTimeouts waits (counted from the command's
  // start while one runs); a close before the reply is whole raises 524.
  virtual BOOL ReceiveReply(CWSocket& socket, LPCSTR terminator, CStringA& reply, int mode);
  virtual void SanitizeHelloField(CString& field);
  // Just after the first blank line (LF or CR LF), or null.
  virtual LPCSTR SkipHttpHeader(LPCSTR text);
  virtual CString BuildHostHeader(const CCDDBServerEntry& server);
  // The ANSI code page below protocol level 6; from level 6 m_textCodePage (UTF-8
  // unless the parser found the texts are not UTF-8).
  virtual CString ToWideByProto(LPCSTR text);

  // A reply that grows past this without being complete is refused (516).
  static constexpr int kMaxReplyBytes = 1024 * 1024;
  // The whole of one reply may take this many m_timeoutMs; then it ends as a wait
  // that ran out.
  static constexpr int kReplyDeadlineTimeouts = 2;
  // Redirects a command follows; one more is refused.
  static constexpr int kMaxRedirects = 5;

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
  CCDDBHttpReply m_http;
  UINT m_textCodePage = CP_UTF8;
  // Set while a command runs: its connects and receives share this one deadline.
  std::optional<std::chrono::steady_clock::time_point> m_commandDeadline;
  // -- end client: requests and replies --

 private:
  // Connects (following redirects), sends and receives one command; the body is
  // then in m_http. Refusals raise refusalCode with their reason.
  void Exchange(const CCDDBServerEntry& server, const CString& command, int mode,
                DWORD refusalCode);
};
