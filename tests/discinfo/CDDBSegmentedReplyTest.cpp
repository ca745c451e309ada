// A lookup against a server whose correct replies reach the client cut into TCP
// segments anywhere (as a slow link or a proxy delivers them), or with lines that
// end in LF alone: it must find exactly what the whole CR LF replies give, and
// never ask for a disc the server did not name.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "CddbTestServer.h"
#include "XmcdReply.h"
#include "discinfo/CDDB.h"
#include "discinfo/DiscInfoLog.h"

namespace {

WinsockSession g_winsock;

void DropLog(LPCTSTR, int) {}
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

std::string Record(const std::string& category, const std::string& id, const std::string& title) {
  return XmcdReadReply({category,
                        id,
                        "Maren Oakridge",
                        title,
                        "2004",
                        "Folk",
                        {150, 15150, 22575},
                        522,
                        {"Submitted via: ZevEDUV 1.28"},
                        {"Harbour Lights", "Salt Road", "Lantern Hours"}});
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
    SetDiscInfoLogSink(DropLog);
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

}  // namespace
