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
const wchar_t kReasonZeroByte[] = L"the server's reply holds a zero byte, which no CDDB text may";
const wchar_t kReasonBadChunk[] = L"the server's chunked reply has an unreadable chunk size line";
const wchar_t kReasonTooManyRedirects[] = L"the server redirected the request more than 5 times";

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

bool IsRedirectStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string Lower(std::string text) {
  for (char& ch : text) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return text;
}

std::string TrimmedSpaces(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Reads the HTTP framing of a reply while it arrives: each pass hands over the raw
// reply so far and only the new bytes are looked at, so a large reply received in
// many small passes costs no more than one received at once. Header lines may end
// in LF or CR LF; an interim 1xx header is dropped with the blank line ending it.
class HttpReplyReader {
 public:
  explicit HttpReplyReader(CCDDBHttpReply& out) : m_out(out) { m_out = CCDDBHttpReply(); }

  void Update(const std::string& raw) {
    while (m_state != State::kDone && m_out.fault == nullptr) {
      if (m_state == State::kBody) {
        TakeBody(raw);
        return;
      }
      if (m_state == State::kChunkData) {
        if (!TakeChunkData(raw)) return;
        continue;
      }
      const size_t lf = raw.find('\n', m_at);
      if (lf == std::string::npos) return;
      std::string line = raw.substr(m_at, lf - m_at);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      m_at = lf + 1;
      if (m_state == State::kHeader) {
        HeaderLine(line);
      } else if (m_state == State::kChunkSize) {
        ChunkSizeLine(line);
      } else if (m_state == State::kChunkEnd) {
        // The line end after a chunk's data; a size line there is read as one.
        m_state = State::kChunkSize;
        if (!line.empty()) ChunkSizeLine(line);
      }
    }
  }

  bool HeaderDone() const { return m_state != State::kHeader; }
  // The body is whole by its own framing: its length, or its last chunk.
  bool BodyDone() const { return m_state == State::kDone; }

 private:
  enum class State { kHeader, kBody, kChunkSize, kChunkData, kChunkEnd, kDone };

  void HeaderLine(const std::string& line) {
    if (m_firstLine) {
      m_firstLine = false;
      if (line.compare(0, 5, "HTTP/") == 0) {
        const size_t space = line.find(' ');
        if (space != std::string::npos) {
          m_out.status = std::atoi(line.c_str() + space + 1);
          const size_t text = line.find(' ', space + 1);
          m_out.statusText = text != std::string::npos ? line.substr(text + 1) : std::string();
        }
      }
      return;
    }
    if (!line.empty()) {
      const size_t colon = line.find(':');
      if (colon == std::string::npos) return;
      const std::string name = Lower(TrimmedSpaces(line.substr(0, colon)));
      const std::string value = TrimmedSpaces(line.substr(colon + 1));
      if (name == "content-length") {
        const bool digits =
            !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
        m_length = digits ? std::strtoll(value.c_str(), nullptr, 10) : -1;
      } else if (name == "transfer-encoding") {
        m_chunked = Lower(value).find("chunked") != std::string::npos;
      } else if (name == "location") {
        m_out.location = value;
      } else if (name == "content-type") {
        const std::string type = Lower(value);
        const size_t at = type.find("charset=");
        if (at != std::string::npos) {
          std::string charset = type.substr(at + 8);
          const size_t end = charset.find(';');
          if (end != std::string::npos) charset.resize(end);
          charset = TrimmedSpaces(charset);
          if (charset.size() >= 2 && charset.front() == '"' && charset.back() == '"')
            charset = charset.substr(1, charset.size() - 2);
          m_out.charset = charset;
        }
      }
      return;
    }
    // The blank line that ends a header.
    if (m_out.status >= 100 && m_out.status < 200) {
      m_out = CCDDBHttpReply();
      m_firstLine = true;
      m_length = -1;
      m_chunked = false;
      return;
    }
    if (m_chunked) {
      m_state = State::kChunkSize;
    } else if (m_length == 0) {
      m_state = State::kDone;
    } else {
      m_state = State::kBody;
    }
  }

  void TakeBody(const std::string& raw) {
    size_t take = raw.size() - m_at;
    if (m_length >= 0) {
      const size_t left = static_cast<size_t>(m_length) - m_out.body.size();
      if (take > left) take = left;
    }
    m_out.body.append(raw, m_at, take);
    m_at += take;
    if (m_length >= 0 && m_out.body.size() == static_cast<size_t>(m_length)) m_state = State::kDone;
  }

  void ChunkSizeLine(const std::string& line) {
    const std::string size = TrimmedSpaces(line.substr(0, line.find(';')));
    if (size.empty() || size.size() > 8 ||
        size.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      m_out.fault = kReasonBadChunk;
      return;
    }
    m_chunkLeft = std::strtoul(size.c_str(), nullptr, 16);
    // The trailer after the last chunk carries nothing a CDDB reply needs.
    m_state = m_chunkLeft == 0 ? State::kDone : State::kChunkData;
  }

  bool TakeChunkData(const std::string& raw) {
    size_t take = raw.size() - m_at;
    if (take > m_chunkLeft) take = m_chunkLeft;
    m_out.body.append(raw, m_at, take);
    m_at += take;
    m_chunkLeft -= take;
    if (m_chunkLeft > 0) return false;
    m_state = State::kChunkEnd;
    return true;
  }

  CCDDBHttpReply& m_out;
  State m_state = State::kHeader;
  size_t m_at = 0;  // the first raw byte not yet read
  bool m_firstLine = true;
  long long m_length = -1;  // Content-Length; -1: none
  bool m_chunked = false;
  size_t m_chunkLeft = 0;
};

// Where the CDDB reply starts in a body: after a leading UTF-8 byte order mark and
// any blank lines. Scans on from where the last pass stopped (`scanned`), so a long
// line received in many passes is looked through once; `statusEnd` becomes the
// status line's LF once it has come.
void FindCddbStart(const std::string& body, size_t& start, size_t& scanned, long long& statusEnd,
                   bool& bomChecked) {
  if (!bomChecked) {
    static const char kBom[] = "\xEF\xBB\xBF";
    if (body.size() < 3 && body.compare(0, body.size(), kBom, body.size()) == 0) return;
    if (body.compare(0, 3, kBom) == 0) start = 3;
    bomChecked = true;
  }
  while (statusEnd < 0) {
    const size_t lf = body.find('\n', scanned > start ? scanned : start);
    if (lf == std::string::npos) {
      scanned = body.size();
      return;
    }
    const bool blank = lf == start || (lf == start + 1 && body[start] == '\r');
    if (!blank) {
      statusEnd = static_cast<long long>(lf);
      return;
    }
    start = lf + 1;
  }
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

// Time left until a deadline, in whole milliseconds (0 once it has passed).
DWORD MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  const long long left = std::chrono::duration_cast<std::chrono::milliseconds>(
                             deadline - std::chrono::steady_clock::now())
                             .count();
  return left > 0 ? static_cast<DWORD>(left) : 0;
}

// A Location the client follows: "http://host[:port][/path]".
bool SplitHttpLocation(const std::string& location, CString& host, int& port, CString& path) {
  if (Lower(location.substr(0, 7)) != "http://") return false;
  const std::string rest = location.substr(7);
  const size_t slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  path = slash != std::string::npos ? CString(rest.substr(slash).c_str()) : CString(L"/");
  port = 80;
  const size_t colon = authority.find(':');
  if (colon != std::string::npos) {
    const std::string digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    port = std::atoi(digits.c_str());
    authority.resize(colon);
  }
  if (authority.empty() || port <= 0 || port > 65535) return false;
  host = CString(authority.c_str());
  return true;
}

// A CDDB reply starts with its three-digit code.
bool IsCddbText(const std::string& body) {
  return body.size() >= 3 && body[0] >= '0' && body[0] <= '9' && body[1] >= '0' && body[1] <= '9' &&
         body[2] >= '0' && body[2] <= '9';
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
  for (LPCSTR lf = strchr(text, '\n'); lf != nullptr; lf = strchr(lf + 1, '\n')) {
    if (lf[1] == '\n') return lf + 2;
    if (lf[1] == '\r' && lf[2] == '\n') return lf + 3;
  }
  return nullptr;
}

CString CCDDB::ToWideByProto(LPCSTR text) {
  if (text == nullptr || *text == '\0') return CString();
  try {
    return AfxMultiByteToWide(text, -1, m_protocolLevel >= 6 ? m_textCodePage : CP_ACP);
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
// Bytes are counted, never read up to a zero: a zero byte is the parser's to refuse.
//
// The network may cut a reply anywhere, so it is judged only once whole: nothing
// before the status line's LF counts (a code read from "2" or a match line cut
// to "200 rock 1" would be another disc's); then a one-line reply is done, and a
// list or record runs to its "." line.
BOOL CCDDB::ReceiveReply(CWSocket& socket, LPCSTR terminator, CStringA& reply, int /*mode*/) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      m_commandDeadline
          ? *m_commandDeadline
          : Clock::now() + std::chrono::milliseconds(static_cast<long long>(m_timeoutMs) *
                                                     kReplyDeadlineTimeouts);
  const int chunk = m_receiveChunk > 1 ? m_receiveChunk : 2;
  char* buffer = new (std::nothrow) char[chunk];
  if (buffer == nullptr) RaiseCddbError(kErrorOutOfMemory, kCddbFacilityWin32, CString());
  struct BufferOwner {
    char* p;
    ~BufferOwner() { delete[] p; }
  } owner{buffer};

  const std::string endLine = terminator != nullptr ? terminator : "";
  HttpReplyReader reader(m_http);
  const std::string& body = m_http.body;
  // Found once, then kept: offsets into the body.
  size_t cddbAt = 0;
  size_t scanned = 0;
  bool bomChecked = false;
  long long statusEnd = -1;  // the status line's LF
  const auto dropLeadIn = [&] { m_http.body.erase(0, cddbAt); };
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
        const bool oneLine = reader.HeaderDone() && cddbAt < body.size() &&
                             !IsListCode(ReplyCode(body.c_str() + cddbAt));
        if (oneLine) break;
        RaiseCddbError(kErrorConnectionClosed, kCddbFacilityItf, CString(reply),
                       kReasonClosedEarly);
      }
      const size_t before = body.size();
      reply += CStringA(buffer, received);
      reader.Update(reply.str());
      if (m_http.fault != nullptr) break;
      if (reader.HeaderDone() && IsRedirectStatus(m_http.status)) break;
      if (reader.BodyDone()) break;

      if (reader.HeaderDone() && statusEnd < 0) {
        FindCddbStart(body, cddbAt, scanned, statusEnd, bomChecked);
        if (statusEnd >= 0 && !IsListCode(ReplyCode(body.c_str() + cddbAt))) break;
      }
      if (statusEnd >= 0 && !endLine.empty()) {
        // The "." line's own line end may be the status line's; go back far
        // enough to find one split over two passes.
        long long from =
            static_cast<long long>(before) - static_cast<long long>(endLine.size()) + 1;
        if (from < statusEnd - 1) from = statusEnd - 1;
        if (EndsListAt(body, static_cast<int>(from), endLine)) break;
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
  if (statusEnd < 0) FindCddbStart(body, cddbAt, scanned, statusEnd, bomChecked);
  dropLeadIn();
  m_lastReply = CString(reply);
  return TRUE;
}

// One command, with the redirects its server answers with: each hop is a fresh
// connection, and the connects and receives of all of them share one deadline of
// kReplyDeadlineTimeouts waits, so neither a host that drops connection attempts
// nor a chain of redirects holds the disc worker longer than one reply may take.
void CCDDB::Exchange(const CCDDBServerEntry& server, const CString& command, int mode,
                     DWORD refusalCode) {
  struct DeadlineScope {
    CCDDB& client;
    ~DeadlineScope() { client.m_commandDeadline.reset(); }
  } scope{*this};
  m_commandDeadline =
      std::chrono::steady_clock::now() +
      std::chrono::milliseconds(static_cast<long long>(m_timeoutMs) * kReplyDeadlineTimeouts);
  m_http = CCDDBHttpReply();

  CString host = server.m_host;
  int port = server.m_port;
  CString target = server.m_cgiPath + L"?" + command;
  CString absolute;  // a redirect's location, which a proxy is given as it is
  CString doing;
  try {
    for (int hop = 0;; ++hop) {
      CWSocket socket;
      socket.Create(FALSE);
      const CString& connectHost = m_proxyHost.IsEmpty() ? host : m_proxyHost;
      const int connectPort = m_proxyHost.IsEmpty() ? port : m_proxyPort;
      doing.Format(L"connecting to %s:%d", connectHost, connectPort);
      socket.Connect(connectHost, connectPort, MillisecondsUntil(*m_commandDeadline));

      CString request;
      if (m_proxyHost.IsEmpty()) {
        // Name-based virtual hosts need the Host line to find the CDDB site.
        CString hostLine = host;
        if (port != 80) hostLine.AppendFormat(L":%d", port);
        request.Format(L"GET %s HTTP/1.0\r\nHost: %s\r\n\r\n", target, hostLine);
      } else {
        CCDDBServerEntry hopServer = server;
        hopServer.m_host = host;
        // The URL carries no port, whatever the entry's port.
        const CString url = absolute.IsEmpty() ? L"http://" + host + target : absolute;
        request.Format(L"GET %s HTTP/1.0\r\n%s\r\n\r\n", url, BuildHostHeader(hopServer));
      }
      doing = L"sending the request";
      SendRequest(socket, request);

      CStringA reply;
      reply.GetBuffer(4096);
      reply.ReleaseBuffer(0);
      doing = L"receiving the reply";
      if (!ReceiveReply(socket, "\r\n.\r\n", reply, mode)) {
        RaiseCddbErrorPlain(kErrorReplyIncomplete, m_lastReply, kReasonNoReplyInTime);
      }
      if (!IsRedirectStatus(m_http.status)) break;

      if (hop == kMaxRedirects)
        RaiseCddbErrorPlain(refusalCode, m_lastReply, kReasonTooManyRedirects);
      if (!SplitHttpLocation(m_http.location, host, port, target)) {
        CString reason;
        reason.Format(L"the server redirected the request to \"%s\", which is no http:// location",
                      CString(m_http.location.c_str()));
        RaiseCddbErrorPlain(refusalCode, m_lastReply, reason);
      }
      absolute = CString(m_http.location.c_str());
    }
  } catch (CWSocketException* e) {
    const int code = e->m_socketError;
    CString why;
    if (code == WSAETIMEDOUT) {
      why = L"the server did not answer in time";
    } else {
      wchar_t text[512] = {};
      e->GetErrorMessage(text, 512);
      why = text;
      why.Trim();
      if (why.IsEmpty()) why.Format(L"Winsock error %d", code);
    }
    e->Delete();
    CString reason;
    reason.Format(L"%s failed: %s", doing, why);
    RaiseCddbError(static_cast<DWORD>(code), kCddbFacilityWin32, CString(), reason);
  }

  if (m_http.fault != nullptr) RaiseCddbErrorPlain(refusalCode, m_lastReply, m_http.fault);
  if (m_http.status >= 0 && m_http.status != 200 && !IsCddbText(m_http.body)) {
    CString reason;
    reason.Format(L"the server answered HTTP %d %s, not a CDDB reply", m_http.status,
                  CString(m_http.statusText.c_str()));
    reason.Trim();
    RaiseCddbErrorPlain(refusalCode, m_lastReply, reason);
  }
  if (m_http.body.find('\0') != std::string::npos)
    RaiseCddbErrorPlain(refusalCode, m_lastReply, kReasonZeroByte);
}

void CCDDB::QueryDisc(const CCDDBServerEntry& server, DWORD discId,
                      const CCDDBTrackPositionArray& positions,
                      CArray<CCDDBQueryResult, CCDDBQueryResult&>& matches) {
  matches.RemoveAll();
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

  CString command;
  command.Format(L"cmd=cddb+query+%s+%s+%s+%s&%s", discIdText, count, offsets, seconds,
                 BuildHelloArgs());
  Exchange(server, command, 1, kErrorReplyIncomplete);
  if (!ParseQueryBody(m_http.body.c_str(), discIdText, matches)) {
    RaiseCddbErrorPlain(kErrorReplyIncomplete, m_lastReply, kReasonNoMatch);
  }
}

void CCDDB::Read(const CCDDBServerEntry& server, DWORD discId, const CString& category,
                 CCDDBRecord& record) {
  CString discIdText;
  discIdText.Format(L"%08x", discId);
  // Unescaped, a line break, blank, '&', '#' or '%' in the category would change
  // the request itself.
  CString command;
  command.Format(L"cmd=cddb+read+%s+%s&%s", EscapeUrlWord(category), discIdText, BuildHelloArgs());
  Exchange(server, command, 0, kErrorRecordUnusable);
  if (!ParseReadReply(m_http.body.c_str(), record)) {
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
}
