// A lookup against a server whose correct replies reach the client cut into TCP
// segments anywhere (as a slow link or a proxy delivers them), or with lines that
// end in LF alone: it must find exactly what the whole CR LF replies give, and
// never ask for a disc the server did not name.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "CddbTestServer.h"
#include "XmcdReply.h"
#include "discinfo/CDDB.h"
#include "discinfo/DiscInfoLog.h"

namespace {

WinsockSession g_winsock;

std::vector<CString> g_warnings;
void KeepWarnings(LPCTSTR text, int level) {
  if (level == 1) g_warnings.push_back(text);
}
void DropClear() {}

constexpr DWORD kDiscId = 0x10000c03;

CCDDBTrackPositionArray Positions() {
  CCDDBTrackPositionArray positions;
  CCDDBTrackPosition first(0, 2, 0), second(3, 22, 0), third(5, 1, 0), leadOut(8, 42, 0);
  positions.Add(first);
  positions.Add(second);
  positions.Add(third);
  positions.Add(leadOut);
  return positions;
}

std::string Record(const std::string& category, const std::string& id, const std::string& title,
                   const std::string& artist = "Maren Oakridge",
                   const std::vector<std::string>& tracks = {"Harbour Lights", "Salt Road",
                                                             "Lantern Hours"}) {
  return XmcdReadReply({category,
                        id,
                        artist,
                        title,
                        "2004",
                        "Folk",
                        {150, 15150, 22575},
                        522,
                        {"Submitted via: ZevEDUV 1.28"},
                        tracks});
}

// What one lookup ended with: the error code (0: none), the matches and a digest of
// every record read.
struct Outcome {
  DWORD code = 0;
  std::vector<std::string> matches;
  std::vector<std::string> records;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  os << "code " << o.code;
  for (const std::string& m : o.matches) os << "\n  match " << m;
  for (const std::string& r : o.records) os << "\n  record " << r;
  return os;
}

std::string Narrow(const CString& s) { return CStringA(s).GetString(); }

std::string Digest(const CCDDBRecord& r) {
  std::string text = Narrow(r.m_artist) + " / " + Narrow(r.m_title) + " | " + Narrow(r.m_genre) +
                     " " + std::to_string(r.m_year) + " " + std::to_string(r.m_discLengthSeconds) +
                     "s |";
  for (INT_PTR i = 0; i < r.m_trackTitles.GetSize(); ++i) text += " " + Narrow(r.m_trackTitles[i]);
  text += " |";
  for (INT_PTR i = 0; i < r.m_trackFrameOffsets.GetSize(); ++i)
    text += " " + std::to_string(r.m_trackFrameOffsets[i]);
  return text;
}

// The reply under test is either the query's or the first read's; the other replies
// of the lookup come whole.
struct Kind {
  const char* name;
  std::string query;
  std::vector<std::string> reads;
  bool cutRead;  // cut the first read's reply, else the query's
  int cutLines;  // the lines cut at every offset: the status line and the first match line
  std::set<std::string> named;  // the ids the server's replies name
};

size_t LinesEnd(const std::string& body, int lines) {
  size_t at = 0;
  for (int i = 0; i < lines; ++i) at = body.find('\n', at) + 1;
  return at;
}

std::vector<Kind> Kinds() {
  const std::string one = "200 folk 10000c03 Maren Oakridge / The Lantern Hours\r\n";
  const std::string exact =
      "210 Found exact matches, list follows (until terminating `.')\r\n"
      "folk 10000c03 Maren Oakridge / The Lantern Hours\r\n"
      ".\r\n";
  const std::string inexact =
      "211 Found inexact matches, list follows (until terminating `.')\r\n"
      "folk 10000c03 Maren Oakridge / The Lantern Hours\r\n"
      "misc 10000c04 Maren Oakridge / The Lantern Hours (Live)\r\n"
      ".\r\n";
  const std::string none = "202 No match for disc ID 10000c03.\r\n";
  const std::string record = Record("folk", "10000c03", "The Lantern Hours");
  const std::string live = Record("misc", "10000c04", "The Lantern Hours (Live)");
  return {
      {"200", one, {record}, false, 1, {"10000c03"}},
      {"210", exact, {record}, false, 2, {"10000c03"}},
      {"211", inexact, {record, live}, false, 2, {"10000c03", "10000c04"}},
      {"202", none, {}, false, 1, {}},
      {"read", one, {record}, true, 2, {"10000c03"}},
  };
}

class CddbSegmentedReplyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_warnings.clear();
    SetDiscInfoLogSink(KeepWarnings);
    SetClearQueryResultsSink(DropClear);
    client.SetClientHost(L"a.b");
    client.SetClientUser(L"Unregistered User 42");
    // A client that waits for the close instead of the line end runs into this.
    client.m_timeoutMs = 2000;
    server.m_host = L"127.0.0.1";
    server.m_port = testServer.Port();
  }
  void TearDown() override {
    SetDiscInfoLogSink(nullptr);
    SetClearQueryResultsSink(nullptr);
  }

  // The server keeps every connection open until the client lets go: only the
  // reply's own end may end it.
  static CddbTestServer::Reply Held(CddbTestServer::Reply reply) {
    reply.end = CddbTestServer::End::kHold;
    reply.stallMs = 3000;
    return reply;
  }

  // One lookup as the album lookup runs it: the query, then a read of every match.
  Outcome Lookup(const std::vector<CddbTestServer::Reply>& replies) {
    testServer.Script(replies);
    Outcome outcome;
    try {
      CCDDBQueryResultArray matches;
      client.QueryDisc(server, kDiscId, Positions(), matches);
      for (INT_PTR i = 0; i < matches.GetSize(); ++i) {
        CString line;
        line.Format(L"%s %08x %s / %s", matches[i].m_category, matches[i].m_discId,
                    matches[i].m_artist, matches[i].m_title);
        outcome.matches.push_back(Narrow(line));
      }
      for (INT_PTR i = 0; i < matches.GetSize(); ++i) {
        CCDDBRecord record;
        client.Read(server, matches[i].m_discId, matches[i].m_category, record);
        outcome.records.push_back(Digest(record));
      }
    } catch (CCDDBException* e) {
      outcome.code = e->m_error;
      e->Delete();
    }
    return outcome;
  }

  // Every read since `from` asked for an id the server named.
  void ExpectOnlyNamedReads(size_t from, const Kind& kind, const std::string& what) {
    const std::vector<std::string> requests = testServer.Requests();
    for (size_t i = from; i < requests.size(); ++i) {
      const size_t at = requests[i].find("cmd=cddb+read+");
      if (at == std::string::npos) continue;
      const size_t id = requests[i].find('+', at + 14) + 1;
      EXPECT_TRUE(kind.named.count(requests[i].substr(id, 8)))
          << what << ": asked for " << requests[i].substr(id, 8);
    }
  }

  CddbTestServer testServer;
  CCDDB client;
  CCDDBServerEntry server{TRUE};
};

TEST_F(CddbSegmentedReplyTest, AnyCutAndLfOnlyLinesGiveWhatTheWholeReplyGives) {
  for (const Kind& kind : Kinds()) {
    std::vector<CddbTestServer::Reply> whole;
    whole.push_back(Held(CddbTestServer::Page(kind.query)));
    for (const std::string& read : kind.reads) whole.push_back(Held(CddbTestServer::Page(read)));
    const Outcome expected = Lookup(whole);
    // The table's replies are all correct: only 202 fails, as no match.
    EXPECT_EQ(kind.reads.empty() ? 516u : 0u, expected.code) << kind.name;
    EXPECT_EQ(kind.reads.size(), expected.records.size()) << kind.name;

    for (const bool lfOnly : {false, true}) {
      const auto ends = [&](const std::string& body) {
        return lfOnly ? CddbTestServer::LfOnly(body) : body;
      };
      const std::string cutBody = ends(kind.cutRead ? kind.reads[0] : kind.query);
      const size_t cutUntil = LinesEnd(cutBody, kind.cutLines);
      // Cut once at each offset (0: the header alone first), then byte by byte;
      // LF-only lines byte by byte only, which keeps the test quick.
      std::vector<CddbTestServer::Reply> variants;
      for (size_t cut = 0; !lfOnly && cut <= cutUntil; ++cut) {
        variants.push_back(CddbTestServer::PageCutAt(cutBody, {cut}, 2));
      }
      variants.push_back(CddbTestServer::PageByteByByte(cutBody, 1));

      for (size_t v = 0; v < variants.size(); ++v) {
        std::vector<CddbTestServer::Reply> replies;
        replies.push_back(
            Held(kind.cutRead ? CddbTestServer::Page(ends(kind.query)) : variants[v]));
        for (size_t r = 0; r < kind.reads.size(); ++r) {
          replies.push_back(Held(
              kind.cutRead && r == 0 ? variants[v] : CddbTestServer::Page(ends(kind.reads[r]))));
        }
        const std::string what =
            std::string(kind.name) + (lfOnly ? " LF-only" : "") +
            (v + 1 < variants.size() ? " cut at " + std::to_string(v) : " byte by byte");
        const size_t before = testServer.Requests().size();
        EXPECT_EQ(expected, Lookup(replies)) << what;
        ExpectOnlyNamedReads(before, kind, what);
      }
    }
  }
}

// ---- reply shapes ----
// Replies as real servers, proxies and old databases shape them. Each must give
// exactly what the plain CR LF replies give, or be refused with its reason and
// give no record at all (so nothing wrong can be cached).

const char kPlainHeader[] = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

// A page sent in small pieces, held open until the client lets go.
CddbTestServer::Reply Served(const std::string& page) {
  CddbTestServer::Reply reply;
  for (size_t at = 0; at < page.size(); at += 13) reply.chunks.push_back(page.substr(at, 13));
  reply.delayMs = 1;
  reply.end = CddbTestServer::End::kHold;
  reply.stallMs = 3000;
  return reply;
}

std::vector<std::string> CrLfLines(const std::string& body) {
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = body.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(body.substr(at, end - at));
  return lines;
}

// The DTITLE and TTITLE0 lines of a record, the first match line of a list, end in LF.
std::string MixedLineEnds(const std::string& body) {
  const std::vector<std::string> lines = CrLfLines(body);
  std::string mixed;
  for (size_t i = 0; i < lines.size(); ++i) {
    const bool lf = lines[i].rfind("DTITLE=", 0) == 0 || lines[i].rfind("TTITLE0=", 0) == 0 ||
                    (i == 1 && body.compare(0, 3, "211") == 0);
    mixed += lines[i] + (lf ? "\n" : "\r\n");
  }
  return mixed;
}

std::string StatusCrLfRestLf(const std::string& body) {
  const size_t status = body.find("\r\n") + 2;
  return body.substr(0, status) + CddbTestServer::LfOnly(body.substr(status));
}

// UTF-8 text in another code page.
std::string Encoded(const std::string& utf8, UINT codePage) {
  const CString wide = AfxMultiByteToWide(utf8.data(), static_cast<int>(utf8.size()), CP_UTF8);
  const CStringA narrow = AfxWideToMultiByte(wide, wide.GetLength(), codePage);
  return narrow.str();
}

// Chunks of 1 to 17 bytes, each its own send: the size lines fall inside titles.
CddbTestServer::Reply Chunked(const std::string& header, const std::string& body) {
  CddbTestServer::Reply reply;
  reply.chunks.push_back(header);
  size_t size = 1;
  for (size_t at = 0; at < body.size(); at += size, size = size % 17 + 1) {
    const std::string piece = body.substr(at, size);
    char line[16];
    std::snprintf(line, sizeof(line), "%zX", piece.size());
    reply.chunks.push_back(line + std::string(";x=1\r\n").substr(size % 3 == 0 ? 0 : 4) + piece +
                           "\r\n");
  }
  reply.chunks.push_back("0\r\n\r\n");
  reply.delayMs = 1;
  reply.end = CddbTestServer::End::kHold;
  reply.stallMs = 3000;
  return reply;
}

std::string Redirect(int status, const std::string& location) {
  return "HTTP/1.0 " + std::to_string(status) + (status == 301 ? " Moved Permanently" : " Found") +
         "\r\nLocation: " + location + "\r\nContent-Type: text/html\r\n\r\n<html>moved</html>\r\n";
}

bool IsRecord(const std::string& body) { return body.compare(0, 3, "210") == 0; }

struct Shape {
  const char* name;
  // The replies that stand for one plain reply (a redirect comes before its page).
  std::function<std::vector<CddbTestServer::Reply>(const std::string& body, int port)> serve;
  DWORD code;              // 0: the plain replies' outcome
  const wchar_t* warning;  // a refusal's last warning line
  const char* request;     // a request line that must have gone out, or null
};

std::vector<CddbTestServer::Reply> One(const std::string& page) { return {Served(page)}; }

std::vector<Shape> Shapes() {
  const auto body = [](std::string (*change)(const std::string&)) {
    return [change](const std::string& b, int) { return One(kPlainHeader + change(b)); };
  };
  const auto page = [](const std::string& header, std::string (*change)(const std::string&)) {
    return [header, change](const std::string& b, int) { return One(header + change(b)); };
  };
  const auto same = [](const std::string& b) { return b; };
  const auto lfOnly = [](const std::string& b) { return CddbTestServer::LfOnly(b); };
  const auto latin1 = [](const std::string& b) { return Encoded(b, 1252); };
  const auto latin2 = [](const std::string& b) { return Encoded(b, 28592); };
  const auto records = [](std::string (*change)(const std::string&)) {
    return [change](const std::string& b, int) {
      return One(IsRecord(b) ? change(b) : kPlainHeader + b);
    };
  };
  const auto redirects = [](int count, int status, const char* host) {
    return [count, status, host](const std::string& b, int port) {
      std::vector<CddbTestServer::Reply> replies;
      for (int i = 1; i <= count; ++i) {
        replies.push_back(
            Served(Redirect(status, std::string("http://") + host + ":" + std::to_string(port) +
                                        "/hop" + std::to_string(i) + "/cddb.cgi?x=1")));
      }
      replies.push_back(Served(kPlainHeader + b));
      return replies;
    };
  };
  const wchar_t* kTooMany =
      L"Warning: throwing CCDDBException for error 516: the server redirected the request more "
      L"than 5 times";
  return {
      {"plain", body(same), 0, nullptr, nullptr},
      {"mixed line ends", body(MixedLineEnds), 0, nullptr, nullptr},
      {"CR LF status line over LF lines", body(StatusCrLfRestLf), 0, nullptr, nullptr},
      {"LF-only lines", body(lfOnly), 0, nullptr, nullptr},
      {"LF-only header", page("HTTP/1.0 200 OK\nContent-Type: text/plain\n\n", same), 0, nullptr,
       nullptr},
      {"LF-only header and lines", page("HTTP/1.0 200 OK\nContent-Type: text/plain\n\n", lfOnly), 0,
       nullptr, nullptr},
      {"100 Continue first",
       page(std::string("HTTP/1.1 100 Continue\r\n\r\n") + kPlainHeader, same), 0, nullptr,
       nullptr},
      {"byte order mark", page(kPlainHeader + std::string("\xEF\xBB\xBF"), same), 0, nullptr,
       nullptr},
      {"blank line before the body", page(kPlainHeader + std::string("\r\n"), same), 0, nullptr,
       nullptr},
      {"Content-Length and no end line",
       [](const std::string& b, int) {
         const std::string cut = b.substr(0, b.size() - 3);  // without ".\r\n"
         return One("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(cut.size()) +
                    "\r\n\r\n" + cut);
       },
       0, nullptr, nullptr},
      {"chunked",
       [](const std::string& b, int) {
         return std::vector<CddbTestServer::Reply>{
             Chunked("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", b)};
       },
       0, nullptr, nullptr},
      {"chunked, LF-only, Latin-1",
       [](const std::string& b, int) {
         return std::vector<CddbTestServer::Reply>{
             Chunked("HTTP/1.1 200 OK\nTransfer-Encoding: Chunked\n\n",
                     Encoded(CddbTestServer::LfOnly(b), 1252))};
       },
       0, nullptr, nullptr},
      {"Windows-1252, no charset", body(latin1), 0, nullptr, nullptr},
      {"ISO-8859-1 named",
       page("HTTP/1.0 200 OK\r\nContent-Type: text/plain; charset=ISO-8859-1\r\n\r\n", latin1), 0,
       nullptr, nullptr},
      {"ISO-8859-2 named",
       page("HTTP/1.0 200 OK\r\nContent-Type: text/plain;charset=\"iso-8859-2\"\r\n\r\n", latin2),
       0, nullptr, nullptr},
      {"UTF-8 under an ISO-8859-1 header",
       page("HTTP/1.0 200 OK\r\nContent-Type: text/plain; charset=ISO-8859-1\r\n\r\n", same), 0,
       nullptr, nullptr},
      {"301 once", redirects(1, 301, "127.0.0.1"), 0, nullptr,
       "GET /hop1/cddb.cgi?x=1 HTTP/1.0\r\n"},
      {"302 five times", redirects(5, 302, "localhost"), 0, nullptr,
       "GET /hop5/cddb.cgi?x=1 HTTP/1.0\r\nHost: localhost:"},
      {"302 six times", redirects(6, 302, "127.0.0.1"), 516, kTooMany, nullptr},
      {"redirect to https",
       [](const std::string& b, int) {
         return std::vector<CddbTestServer::Reply>{Served(Redirect(302, "https://x.test/cddb")),
                                                   Served(kPlainHeader + b)};
       },
       516,
       L"Warning: throwing CCDDBException for error 516: the server redirected the request to "
       L"\"https://x.test/cddb\", which is no http:// location",
       nullptr},
      {"404 page",
       [](const std::string&, int) {
         return One(
             "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html>\r\n<body>gone</body>"
             "\r\n</html>\r\n");
       },
       516,
       L"Warning: throwing CCDDBException for error 516: the server answered HTTP 404 Not Found, "
       L"not a CDDB reply",
       nullptr},
      {"500 page for a record", records([](const std::string&) {
         return std::string(
             "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 9\r\n\r\nno luck\r\n");
       }),
       517,
       L"Warning: throwing CCDDBException for error 517: the server answered HTTP 500 Internal "
       L"Server Error, not a CDDB reply",
       nullptr},
      {"zero byte in a record", records([](const std::string& b) {
         std::string z = b;
         z.insert(z.find("TTITLE1=") + 8, 1, '\0');
         return kPlainHeader + z;
       }),
       517,
       L"Warning: throwing CCDDBException for error 517: the server's reply holds a zero byte, "
       L"which no CDDB text may",
       nullptr},
      {"zero byte in the list",
       [](const std::string& b, int) {
         std::string z = b;
         if (!IsRecord(b)) z.insert(z.find(" / ") + 1, 1, '\0');
         return One(kPlainHeader + z);
       },
       516,
       L"Warning: throwing CCDDBException for error 516: the server's reply holds a zero byte, "
       L"which no CDDB text may",
       nullptr},
  };
}

TEST_F(CddbSegmentedReplyTest, EveryReplyShapeGivesThePlainRecordOrARefusalWithItsReason) {
  // Letters outside ASCII, so a wrong code page shows.
  const auto record = [](const char* category, const char* id, const char* title) {
    return Record(category, id, title, "Caf\xc3\xa9 M\xc3\xbcller",
                  {"\xc5\xa0\xc3\xa1rka",
                   "\xc3\x9c"
                   "berfahrt",
                   "Lantern Hours"});
  };
  const std::vector<std::string> plain = {
      "211 Found inexact matches, list follows (until terminating `.')\r\n"
      "folk 10000c03 Caf\xc3\xa9 M\xc3\xbcller / Lantern Hours\r\n"
      "misc 10000c04 Caf\xc3\xa9 M\xc3\xbcller / Lantern Hours (Live)\r\n"
      ".\r\n",
      record("folk", "10000c03", "Lantern Hours"),
      record("misc", "10000c04", "Lantern Hours (Live)"),
  };
  std::vector<CddbTestServer::Reply> replies;
  for (const std::string& body : plain) replies.push_back(Served(kPlainHeader + body));
  const Outcome expected = Lookup(replies);
  ASSERT_EQ(0u, expected.code);
  ASSERT_EQ(2u, expected.records.size());
  EXPECT_EQ(Narrow(L"Caf\u00e9 M\u00fcller / Lantern Hours | Folk 2004 522s | \u0160\u00e1rka "
                   L"\u00dcberfahrt Lantern Hours | 150 15150 22575"),
            expected.records[0]);
  EXPECT_EQ(Narrow(L"folk 10000c03 Caf\u00e9 M\u00fcller / Lantern Hours"), expected.matches[0]);

  for (const Shape& shape : Shapes()) {
    replies.clear();
    for (const std::string& body : plain) {
      for (CddbTestServer::Reply& reply : shape.serve(body, testServer.Port()))
        replies.push_back(reply);
    }
    g_warnings.clear();
    const size_t before = testServer.Requests().size();
    const Outcome got = Lookup(replies);
    if (shape.code == 0) {
      EXPECT_EQ(expected, got) << shape.name;
    } else {
      EXPECT_EQ(shape.code, got.code) << shape.name;
      EXPECT_TRUE(got.records.empty()) << shape.name;
      ASSERT_FALSE(g_warnings.empty()) << shape.name;
      EXPECT_EQ(CString(shape.warning), g_warnings.back()) << shape.name;
    }
    if (shape.request != nullptr) {
      bool sent = false;
      const std::vector<std::string> requests = testServer.Requests();
      for (size_t i = before; i < requests.size(); ++i)
        sent = sent || requests[i].rfind(shape.request, 0) == 0;
      EXPECT_TRUE(sent) << shape.name << ": no request " << shape.request;
    }
  }
}

}  // namespace
