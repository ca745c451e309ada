#include "discinfo/CDDB.h"

#include <lmcons.h>

#include <chrono>
#include <new>
#include <string>

#include "discinfo/DiscInfoLog.h"
#include "discinfo/WSocket.h"

namespace {

constexpr int kLogInfo = 0;
constexpr DWORD kErrorReplyIncomplete = 516;  // a wait ran out, or no match
constexpr DWORD kErrorRecordUnusable = 517;
constexpr DWORD kErrorConnectionClosed = 524;  // with the ITF facility
constexpr DWORD kErrorOutOfMemory = 14;

// Why a lookup failed, for its warning line.
const wchar_t kReasonNoReplyInTime[] = L"no whole reply came from the server in time";
const wchar_t kReasonClosedEarly[] =
    L"the server closed the connection before the reply was complete";
const wchar_t kReasonTooLong[] = L"the reply grew past 1 MiB without ending";
const wchar_t kReasonNoMatch[] = L"the server's reply held no usable match";
const wchar_t kReasonRecordUnusable[] = L"the record the server sent is unusable";

// Codes 210-219 announce a list or record that runs to its "." line.
bool IsListCode(int code) { return code >= 210 && code <= 219; }

// Whether the end line (CR LF "." CR LF) starts somewhere from `from` on. Servers
// that end lines with a lone LF are read the same: each CR LF of it may be an LF.
bool EndsListAt(const std::string& text, int from, const std::string& endLine) {
  for (size_t at = from > 0 ? static_cast<size_t>(from) : 0; at < text.size(); ++at) {
    size_t i = at;
    size_t k = 0;
    for (; k < endLine.size(); ++k) {
      if (endLine[k] == '\r' && k + 1 < endLine.size() && endLine[k + 1] == '\n' &&
          i < text.size() && text[i] == '\n') {
        continue;  // a lone LF stands for the CR LF
      }
      if (i >= text.size() || text[i] != endLine[k]) break;
      ++i;
    }
    if (k == endLine.size()) return true;
  }
  return false;
}

// Standard Base64 (RFC 4648), "=" padded, no line breaks.
CStringA Base64Encode(const CStringA& data) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::string& in = data.str();
  std::string out;
  out.reserve((in.size() + 2) / 3 * 4);
  for (size_t i = 0; i < in.size(); i += 3) {
    const size_t n = in.size() - i < 3 ? in.size() - i : 3;
    DWORD group = static_cast<BYTE>(in[i]) << 16;
    if (n > 1) group |= static_cast<BYTE>(in[i + 1]) << 8;
    if (n > 2) group |= static_cast<BYTE>(in[i + 2]);
    out += kAlphabet[(group >> 18) & 0x3F];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += n > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=';
    out += n > 2 ? kAlphabet[group & 0x3F] : '=';
  }
  return CStringA(out.c_str(), static_cast<int>(out.size()));
}

// The socket is the request's: connected here, closed by its destructor.
void ConnectFor(CWSocket& socket, const CCDDB& client, const CCDDBServerEntry& server) {
  socket.Create(FALSE);
  if (!client.m_proxyHost.IsEmpty()) {
    socket.Connect(client.m_proxyHost, client.m_proxyPort);
  } else {
    socket.Connect(server.m_host, server.m_port);
  }
}

bool IsUrlPlain(char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
         ch == '-' || ch == '.' || ch == '_' || ch == '~';
}

// The request goes out in the ANSI code page; so are the escaped bytes.
CString EscapeUrlWord(const CString& word) {
  const CStringA narrow(word);
  CString escaped;
  for (int i = 0; i < narrow.GetLength(); ++i) {
    const char ch = narrow[i];
    if (IsUrlPlain(ch)) {
      escaped += static_cast<wchar_t>(ch);
    } else {
      escaped.AppendFormat(L"%%%02X", static_cast<unsigned>(static_cast<BYTE>(ch)));
    }
  }
  return escaped;
}

void SendRequest(CWSocket& socket, const CString& request) {
  const CStringA narrow(request);
  socket.Send(narrow.GetString(), narrow.GetLength(), 0);
}

}  // namespace

bool CCDDB::IsPlainCategory(LPCSTR category) {
  if (category == nullptr || *category == '\0') return false;
  for (LPCSTR p = category; *p != '\0'; ++p) {
    if (!IsUrlPlain(*p)) return false;
  }
  return true;
}

CCDDBServerEntry::CCDDBServerEntry(BOOL bLookup)
    : m_cgiPath(bLookup ? L"/~cddb/cddb.cgi" : L"/~cddb/submit.cgi") {}

CCDDB::CCDDB() {
  SetClientHost(L"auto");
  SetClientUser(L"auto");
}

void CCDDB::SetClientHost(const CString& host) {
  if (host == L"auto") {
    char name[256] = {};
    m_helloHost.Empty();
    if (gethostname(name, sizeof(name) - 1) == 0) m_helloHost = CString(name);
  } else {
    m_helloHost = host;
  }
  SanitizeHelloField(m_helloHost);
}

void CCDDB::SetClientUser(const CString& user) {
  if (user == L"auto") {
    wchar_t name[UNLEN + 1] = {};
    DWORD size = UNLEN + 1;
    m_helloUser = GetUserNameW(name, &size) ? CString(name) : CString(L"Unknown");
  } else {
    m_helloUser = user;
  }
  SanitizeHelloField(m_helloUser);
}

void CCDDB::SanitizeHelloField(CString& field) {
  for (int i = 0; i < field.GetLength(); ++i) {
    const wchar_t ch = field.GetAt(i);
    const bool keep =
        (ch >= L'A' && ch <= L'Z') || (ch >= L'a' && ch <= L'z') || (ch >= L'0' && ch <= L'9');
    if (!keep) field.SetAt(i, L'_');
  }
}

// The client name and version go out unescaped: they are ours, not the user's.
CString CCDDB::BuildHelloArgs() {
  CString hello;
  hello.Format(L"hello=%s+%s+%s+%s&proto=%d", m_helloUser, m_helloHost, m_clientName,
               m_clientVersion, m_protocolLevel);
  return hello;
}

CString CCDDB::BuildHostHeader(const CCDDBServerEntry& server) {
  CString header;
  if (m_proxyUser.IsEmpty()) {
    header.Format(L"Host: %s", server.m_host);
    return header;
  }
  CString credentials;
  credentials.Format(L"%s:%s", m_proxyUser, m_proxyPassword);
  const CStringA encoded = Base64Encode(CStringA(credentials));
  header.Format(L"Proxy-Authorization: Basic %hs\r\nHost: %s", encoded, server.m_host);
  return header;
}

LPCSTR CCDDB::SkipHttpHeader(LPCSTR text) {
  if (text == nullptr) return nullptr;
  LPCSTR end = strstr(text, "\r\n\r\n");
  return end != nullptr ? end + 4 : nullptr;
}

CString CCDDB::ToWideByProto(LPCSTR text) {
  if (text == nullptr || *text == '\0') return CString();
  try {
    return AfxMultiByteToWide(text, -1, m_protocolLevel >= 6 ? CP_UTF8 : CP_ACP);
  } catch (const std::bad_alloc&) {
    RaiseCddbError(kErrorOutOfMemory, kCddbFacilityWin32, CString());
  }
}

// A server reply is untrusted: it is read into one text, but never past
// kMaxReplyBytes, so an endless reply ends as an incomplete one (516) instead of
// eating the memory. Each wait is bounded by m_timeoutMs, and the whole reply by
// kReplyDeadlineTimeouts of them: a server that trickles a byte now and then
// would otherwise hold the disc worker (and the busy state) for as long as it
// likes. Running past the deadline ends the reply as a wait that ran out does.
//
// The network may cut a reply anywhere, so it is judged only once whole: nothing
// before the status line's LF counts (a code read from "2" or a match line cut
// to "200 rock 1" would be another disc's); then a one-line reply is done, and a
// list or record runs to its "." line.
BOOL CCDDB::ReceiveReply(CWSocket& socket, LPCSTR terminator, CStringA& reply, int /*mode*/) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      Clock::now() +
      std::chrono::milliseconds(static_cast<long long>(m_timeoutMs) * kReplyDeadlineTimeouts);
  const int chunk = m_receiveChunk > 1 ? m_receiveChunk : 2;
  char* buffer = new (std::nothrow) char[chunk];
  if (buffer == nullptr) RaiseCddbError(kErrorOutOfMemory, kCddbFacilityWin32, CString());
  struct BufferOwner {
    char* p;
    ~BufferOwner() { delete[] p; }
  } owner{buffer};

  const std::string endLine = terminator != nullptr ? terminator : "";
  // Found once, then kept: offsets into the reply (-1 while not there yet).
  int bodyAt = -1;
  int statusEnd = -1;  // the status line's LF
  try {
    for (;;) {
      const long long left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      DWORD wait = m_timeoutMs;
      if (left <= 0) {
        wait = 0;
      } else if (left < static_cast<long long>(wait)) {
        wait = static_cast<DWORD>(left);
      }
      if (!socket.IsReadable(wait)) {
        m_lastReply = CString(reply);
        return FALSE;
      }
      const int received = socket.Receive(buffer, chunk - 1, 0);
      if (received == 0) {
        // The close completes a one-line reply whose line end never came.
        const bool oneLine = bodyAt >= 0 && bodyAt < reply.GetLength() &&
                             !IsListCode(ReplyCode(reply.GetString() + bodyAt));
        if (oneLine) break;
        RaiseCddbError(kErrorConnectionClosed, kCddbFacilityItf, CString(reply),
                       kReasonClosedEarly);
      }
      buffer[received] = '\0';
      const int before = reply.GetLength();
      reply += buffer;  // up to the first zero byte

      if (bodyAt < 0) {
        // The header's end, as SkipHttpHeader finds it; earlier passes looked before.
        const int end = reply.Find("\r\n\r\n", before > 3 ? before - 3 : 0);
        if (end >= 0) bodyAt = end + 4;
      }
      if (bodyAt >= 0 && statusEnd < 0) {
        const int lf = reply.Find('\n', before > bodyAt ? before : bodyAt);
        if (lf >= 0) {
          statusEnd = lf;
          if (!IsListCode(ReplyCode(reply.GetString() + bodyAt))) break;
        }
      }
      if (statusEnd >= 0 && !endLine.empty()) {
        // The "." line's own line end may be the status line's; go back far
        // enough to find one split over two passes.
        int from = before - static_cast<int>(endLine.size()) + 1;
        if (from < statusEnd - 1) from = statusEnd - 1;
        if (EndsListAt(reply.str(), from, endLine)) break;
      }
      if (reply.GetLength() >= kMaxReplyBytes) {
        m_lastReply = CString(reply);
        RaiseCddbErrorPlain(kErrorReplyIncomplete, m_lastReply, kReasonTooLong);
      }
      if (Clock::now() >= deadline) {
        m_lastReply = CString(reply);
        return FALSE;
      }
    }
  } catch (CWSocketException* e) {
    const int code = e->m_socketError;
    e->Delete();
    RaiseCddbError(static_cast<DWORD>(code), kCddbFacilityWin32, CString());
  }
  m_lastReply = CString(reply);
  return TRUE;
}

void CCDDB::QueryDisc(const CCDDBServerEntry& server, DWORD discId,
                      const CCDDBTrackPositionArray& positions,
                      CArray<CCDDBQueryResult, CCDDBQueryResult&>& matches) {
  matches.RemoveAll();
  try {
    CWSocket socket;
    ConnectFor(socket, *this, server);

    CString discIdText;
    discIdText.Format(L"%08x", discId);
    const INT_PTR tracks = positions.GetSize() - 1;
    CString count;
    count.Format(L"%d", static_cast<int>(tracks));
    CString offsets;
    for (INT_PTR i = 0; i < tracks; ++i) {
      if (i > 0) offsets += L"+";
      offsets.AppendFormat(L"%d", static_cast<int>(positions.GetAt(i).GetFrameOffset()));
    }
    CString seconds;
    if (tracks >= 0) seconds.Format(L"%d", static_cast<int>(positions.GetAt(tracks).GetSeconds()));

    CString request;
    if (m_proxyHost.IsEmpty()) {
      request.Format(L"GET %s?cmd=cddb+query+%s+%s+%s+%s&%s HTTP/1.0\r\n\r\n", server.m_cgiPath,
                     discIdText, count, offsets, seconds, BuildHelloArgs());
    } else {
      // The URL carries no port, whatever the entry's port.
      request.Format(L"GET http://%s%s?cmd=cddb+query+%s+%s+%s+%s&%s HTTP/1.0\r\n%s\r\n\r\n",
                     server.m_host, server.m_cgiPath, discIdText, count, offsets, seconds,
                     BuildHelloArgs(), BuildHostHeader(server));
    }
    SendRequest(socket, request);

    CStringA reply;
    reply.GetBuffer(4096);
    reply.ReleaseBuffer(0);
    if (!ReceiveReply(socket, "\r\n.\r\n", reply, 1)) {
      RaiseCddbErrorPlain(kErrorReplyIncomplete, m_lastReply, kReasonNoReplyInTime);
    }
    if (!ParseQueryBody(SkipHttpHeader(reply), discIdText, matches)) {
      RaiseCddbErrorPlain(kErrorReplyIncomplete, m_lastReply, kReasonNoMatch);
    }
  } catch (CWSocketException* e) {
    const int code = e->m_socketError;
    e->Delete();
    RaiseCddbError(static_cast<DWORD>(code), kCddbFacilityWin32, CString());
  }
}

void CCDDB::Read(const CCDDBServerEntry& server, DWORD discId, const CString& category,
                 CCDDBRecord& record) {
  try {
    CWSocket socket;
    ConnectFor(socket, *this, server);

    CString discIdText;
    discIdText.Format(L"%08x", discId);
    // Unescaped, a line break, blank, '&', '#' or '%' in the category would change
    // the request itself.
    const CString word = EscapeUrlWord(category);
    CString request;
    if (m_proxyHost.IsEmpty()) {
      request.Format(L"GET %s?cmd=cddb+read+%s+%s&%s HTTP/1.0\r\n\r\n", server.m_cgiPath, word,
                     discIdText, BuildHelloArgs());
    } else {
      request.Format(L"GET http://%s%s?cmd=cddb+read+%s+%s&%s HTTP/1.0\r\n%s\r\n\r\n",
                     server.m_host, server.m_cgiPath, word, discIdText, BuildHelloArgs(),
                     BuildHostHeader(server));
    }
    SendRequest(socket, request);

    CStringA reply;
    reply.GetBuffer(4096);
    reply.ReleaseBuffer(0);
    if (!ReceiveReply(socket, "\r\n.\r\n", reply, 0)) {
      RaiseCddbErrorPlain(kErrorReplyIncomplete, m_lastReply, kReasonNoReplyInTime);
    }
    if (!ParseReadReply(SkipHttpHeader(reply), record)) {
      RaiseCddbErrorPlain(kErrorRecordUnusable, m_lastReply, kReasonRecordUnusable);
    }
    if (record.m_discId != discId) {
      CString line;
      line.Format(
          L"CCDDB::Read, Returned DiscID from CDDB read (%08x) is different than the computed "
          L"value (%08x), using the computed value",
          record.m_discId, discId);
      DiscInfoLog(line, kLogInfo);
      record.m_discId = discId;
    }
  } catch (CWSocketException* e) {
    const int code = e->m_socketError;
    e->Delete();
    RaiseCddbError(static_cast<DWORD>(code), kCddbFacilityWin32, CString());
  }
}
