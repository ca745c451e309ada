// Reply bodies into matches and xmcd records: line splitting, match lines, query
// bodies, whole records (continuations, ids, offsets, escapes, text by protocol
// level), each required-line check with its warning, and hostile track keys.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "discinfo/CDDB.h"
#include "discinfo/DiscInfoLog.h"
#include "framework/core/Exceptions.h"

namespace {

struct LogLine {
  CString text;
  int level;
};
std::vector<LogLine> g_log;
int g_clears = 0;

void CaptureLog(LPCTSTR text, int level) { g_log.push_back({text, level}); }
void CountClear() { ++g_clears; }

class CDDBParse : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    g_clears = 0;
    SetDiscInfoLogSink(CaptureLog);
    SetClearQueryResultsSink(CountClear);
  }
  void TearDown() override {
    SetDiscInfoLogSink(nullptr);
    SetClearQueryResultsSink(nullptr);
  }

  // Parses a whole read reply; the caller checks the result.
  BOOL ParseRead(const std::string& body, CCDDBRecord& record) {
    return m_cddb.ParseReadReply(body.c_str(), record);
  }

  CCDDB m_cddb;
};

std::string CrLf(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

// A record as a server sends it after the HTTP header: tab-indented offsets,
// wrapped DTITLE and TTITLE lines, escapes, a play order and UTF-8 text.
const std::vector<const char*> kRecordLines = {
    "210 rock 2a0e4c03 CD database entry follows (until terminating `.')",
    "# xmcd",
    "#",
    "# Track frame offsets:",
    "#\t150",
    "#\t17285",
    "#",
    "#\t38392",
    "#",
    "# Disc length: 2345 seconds",
    "#",
    "# Revision: 3",
    "# Processed by: test server 1.0",
    "# Submitted via: ExampleRipper 2.0.1 beta",
    "#",
    "DISCID=2a0e4c03",
    "DTITLE=The Lanterns / Harbour Lights (Deluxe",
    "DTITLE= Edition)",
    "DYEAR=1997",
    "DYEAR=1998",
    "DGENRE=Indie ",
    "DGENRE=Rock",
    "TTITLE0=Tide Gate",
    "TTITLE1=A Very Long Title That The Server Wraps",
    "TTITLE1= Over Two Lines",
    "TTITLE2=Caf\xc3\xa9 Nights",
    "EXTD=Recorded live.\\nRemastered.",
    "EXTT0=",
    "EXTT1=Tab\\there",
    "EXTT2=Back\\\\slash",
    "PLAYORDER=3,1,2",
    "UNKNOWNKEY=ignored",
    "a line with neither",
    "."};

std::string RecordBody(const std::vector<const char*>& lines = kRecordLines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

// The fixture with every line starting with `prefix` removed.
std::string RecordWithout(const char* prefix) {
  std::vector<const char*> lines;
  for (const char* line : kRecordLines)
    if (std::string(line).rfind(prefix, 0) != 0) lines.push_back(line);
  return RecordBody(lines);
}

// The fixture with `extra` inserted before the closing ".".
std::string RecordWith(std::initializer_list<const char*> extra) {
  std::vector<const char*> lines(kRecordLines.begin(), kRecordLines.end() - 1);
  lines.insert(lines.end(), extra);
  lines.push_back(".");
  return RecordBody(lines);
}

// The fixture with every line starting with `prefix` replaced by `line`.
std::string RecordReplacing(const char* prefix, const char* line) {
  std::vector<const char*> lines;
  for (const char* l : kRecordLines)
    lines.push_back(std::string(l).rfind(prefix, 0) == 0 ? line : l);
  return RecordBody(lines);
}

TEST_F(CDDBParse, ReplyCodeAndLines) {
  EXPECT_EQ(m_cddb.ReplyCode(nullptr), -1);
  EXPECT_EQ(m_cddb.ReplyCode("21"), -1);
  EXPECT_EQ(m_cddb.ReplyCode("211"), 211);
  EXPECT_EQ(m_cddb.ReplyCode("2021 x"), 202);  // only three characters count
  EXPECT_EQ(m_cddb.ReplyCode("<ht"), 0);

  struct Case {
    const char* text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\r\nb", {"a"}},  // no end, no line
      {"a\nb\n", {"a", "b"}},
      {"a\nb\r\nc\n", {"a", "b", "c"}},  // each line ends at its own LF
      {"a\r\nb\nc\r\n", {"a", "b", "c"}},
      {"a\rb\r\n", {"a\rb"}},  // a lone CR ends nothing
      {"\r\n\r\n", {"", ""}},
      {"", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got;
    const char* pos = c.text;
    CStringA line;
    for (;;) {
      m_cddb.NextReplyLine(pos, line);
      if (!pos) break;
      got.push_back(line.str());
    }
    EXPECT_EQ(got, c.lines) << c.text;
  }
  const char* none = nullptr;
  CStringA untouched("kept");
  m_cddb.NextReplyLine(none, untouched);
  EXPECT_EQ(untouched, "kept");
}

TEST_F(CDDBParse, CommentAndKeyLines) {
  CStringA comment;
  EXPECT_TRUE(m_cddb.ReadCommentLine("#\t17285 \t", comment));
  EXPECT_EQ(comment, "17285");
  EXPECT_TRUE(m_cddb.ReadCommentLine("#", comment));
  EXPECT_EQ(comment, "");
  EXPECT_FALSE(m_cddb.ReadCommentLine(" # not first", comment));
  EXPECT_FALSE(m_cddb.ReadCommentLine("", comment));

  struct Case {
    const char* line;
    const char* key;
    std::string value;
  };
  const Case cases[] = {
      {"DTITLE=a\\nb", "DTITLE", "a\nb"},
      {"EXTD=x\\ty", "EXTD", "x\ty"},
      {"EXTD=back\\\\slash", "EXTD", "back\\slash"},
      // Line feeds go first, so an escaped backslash before n still ends as one.
      {"EXTD=a\\\\nb", "EXTD", "a\\\nb"},
      {"TTITLE3=x=y", "TTITLE3", "x=y"},
      {" KEY =v", " KEY ", "v"},  // the key is not trimmed
      {"EMPTY=", "EMPTY", ""},
  };
  for (const Case& c : cases) {
    CStringA key, value;
    ASSERT_TRUE(m_cddb.SplitKeyValue(c.line, key, value)) << c.line;
    EXPECT_EQ(key.str(), c.key);
    EXPECT_EQ(value.str(), c.value) << c.line;
  }
  CStringA key, value;
  EXPECT_FALSE(m_cddb.SplitKeyValue("no equals sign", key, value));
}

TEST_F(CDDBParse, MatchLines) {
  struct Case {
    const char* line;
    bool accepted;
    const wchar_t* category;
    DWORD id;
    const wchar_t* artist;
    const wchar_t* title;
  };
  const Case cases[] = {
      {"rock ab0cd123 Some Artist / Some Title\r\n", true, L"rock", 0xab0cd123, L"Some Artist",
       L"Some Title"},
      {"misc 0000000a  Only A Title \n", true, L"misc", 0xa, L"", L" Only A Title "},
      {"  jazz   7f00ff01 A/B/C", true, L"jazz", 0x7f00ff01, L"A", L"B/C"},
      {"folk 12345678", true, L"folk", 0x12345678, L"", L""},
      {"folk 12345678 ", true, L"folk", 0x12345678, L"", L""},
      {"blues", false, L"", 0, L"", L""},
      {"   ", false, L"", 0, L"", L""},
      {"", false, L"", 0, L"", L""},
      {"new-age_2.x~ 12345678 A / B", true, L"new-age_2.x~", 0x12345678, L"A", L"B"},
      // A category the read request could not carry as it is: the match is unusable.
      {"ro\rck 12345678 A / B", false, L"", 0, L"", L""},
      {"ro\nck 12345678 A / B", false, L"", 0, L"", L""},
      {"rock\tx 12345678 A / B", false, L"", 0, L"", L""},
      {"rock&cmd=x 12345678 A / B", false, L"", 0, L"", L""},
      {"rock#x 12345678 A / B", false, L"", 0, L"", L""},
      {"rock%0D%0A 12345678 A / B", false, L"", 0, L"", L""},
      {"rock+x 12345678 A / B", false, L"", 0, L"", L""},
      {"gr\xc3\xbcn 12345678 A / B", false, L"", 0, L"", L""},  // not ASCII
  };
  for (const Case& c : cases) {
    CCDDBQueryResult match;
    EXPECT_EQ(m_cddb.ParseMatchLine(match, c.line), c.accepted ? TRUE : FALSE) << c.line;
    if (!c.accepted) continue;
    EXPECT_EQ(match.m_category, c.category) << c.line;
    EXPECT_EQ(match.m_discId, c.id) << c.line;
    EXPECT_EQ(match.m_artist, c.artist) << c.line;
    EXPECT_EQ(match.m_title, c.title) << c.line;
  }
}

TEST_F(CDDBParse, QueryBodies) {
  CCDDBQueryResultArray matches;
  const std::string several =
      CrLf({"211 Found inexact matches, list follows (until terminating `.')",
            "rock 2a0e4c03 The Lanterns / Harbour Lights",
            "misc 2a0e4c04 The Lanterns / Harbour Lights (Live)", "blues",
            "newage 2a0e4c05 Various / Sampler", "."});
  ASSERT_TRUE(m_cddb.ParseQueryBody(several.c_str(), L"2a0e4c03", matches));
  ASSERT_EQ(matches.GetSize(), 3);
  EXPECT_EQ(matches[1].m_category, L"misc");
  EXPECT_EQ(matches[1].m_title, L"Harbour Lights (Live)");
  EXPECT_EQ(matches[2].m_discId, 0x2a0e4c05u);

  // Appends: the caller empties the array.
  ASSERT_TRUE(m_cddb.ParseQueryBody("200 rock 2a0e4c03 The Lanterns / Harbour Lights\r\n",
                                    L"2a0e4c03", matches));
  ASSERT_EQ(matches.GetSize(), 4);
  EXPECT_EQ(matches[3].m_artist, L"The Lanterns");
  EXPECT_EQ(matches[3].m_title, L"Harbour Lights");

  matches.RemoveAll();
  for (const char* failing : {"210 Found exact matches\r\n.\r\n", "200 ", "200 x",
                              "403 Database entry is corrupt\r\n", "<html>", "", "20"}) {
    EXPECT_FALSE(m_cddb.ParseQueryBody(failing, L"2a0e4c03", matches)) << failing;
  }
  EXPECT_EQ(matches.GetSize(), 0);
  EXPECT_FALSE(m_cddb.ParseQueryBody(nullptr, L"2a0e4c03", matches));
  EXPECT_TRUE(g_log.empty());

  EXPECT_FALSE(
      m_cddb.ParseQueryBody("202 No match for disc ID 2a0e4c03.\r\n", L"2a0e4c03", matches));
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_EQ(g_log[0].text,
            L"CCDDB::ParseQueryBody, CDDB server does not contain the specifed album with "
            L"DISCID:2a0e4c03 in its database");
  EXPECT_EQ(g_log[0].level, 1);
  EXPECT_EQ(g_clears, 1);
}

TEST_F(CDDBParse, AHostileCategoryCostsOnlyItsOwnMatch) {
  CCDDBQueryResultArray matches;
  const std::string list =
      CrLf({"211 Found inexact matches, list follows", "rock\rGET 2a0e4c03 Evil / Line",
            "ro&ck 2a0e4c09 Evil / Two", "jazz 2a0e4c06 Fine / Line", "."});
  ASSERT_TRUE(m_cddb.ParseQueryBody(list.c_str(), L"2a0e4c03", matches));
  ASSERT_EQ(matches.GetSize(), 1);
  EXPECT_EQ(matches[0].m_category, L"jazz");
  // As the one exact match it leaves none.
  EXPECT_FALSE(m_cddb.ParseQueryBody("200 ro#ck 2a0e4c03 A / B\r\n", L"2a0e4c03", matches));
  EXPECT_EQ(matches.GetSize(), 1);
}

TEST_F(CDDBParse, WholeRecord) {
  CCDDBRecord record;
  record.m_trackTitles.Add(L"left from an earlier disc");
  record.m_revision = 9;
  ASSERT_TRUE(ParseRead(RecordBody(), record));
  EXPECT_TRUE(g_log.empty());

  ASSERT_EQ(record.m_trackFrameOffsets.GetSize(), 3);
  EXPECT_EQ(record.m_trackFrameOffsets[0], 150);
  EXPECT_EQ(record.m_trackFrameOffsets[1], 17285);
  EXPECT_EQ(record.m_trackFrameOffsets[2], 38392);
  EXPECT_EQ(record.m_discLengthSeconds, 2345);
  EXPECT_EQ(record.m_revision, 3);
  EXPECT_EQ(record.m_submittedViaClient, L"ExampleRipper");
  EXPECT_EQ(record.m_submittedViaVersion, L"2.0.1");
  EXPECT_EQ(record.m_submittedViaComment, L"beta");
  EXPECT_EQ(record.m_discId, 0x2a0e4c03u);
  EXPECT_EQ(record.m_artist, L"The Lanterns");
  EXPECT_EQ(record.m_title, L"Harbour Lights (Deluxe Edition)");
  EXPECT_EQ(record.m_year, 1998);
  EXPECT_EQ(record.m_genre, L"Indie Rock");
  ASSERT_EQ(record.m_trackTitles.GetSize(), 3);
  EXPECT_EQ(record.m_trackTitles[0], L"Tide Gate");
  EXPECT_EQ(record.m_trackTitles[1], L"A Very Long Title That The Server Wraps Over Two Lines");
  EXPECT_EQ(record.m_trackTitles[2], L"Caf\u00e9 Nights");
  EXPECT_EQ(record.m_discExtData, L"Recorded live.\nRemastered.");
  ASSERT_EQ(record.m_trackExtData.GetSize(), 3);
  EXPECT_EQ(record.m_trackExtData[0], L"");
  EXPECT_EQ(record.m_trackExtData[1], L"Tab\there");
  EXPECT_EQ(record.m_trackExtData[2], L"Back\\slash");
  ASSERT_EQ(record.m_playOrder.GetSize(), 3);
  EXPECT_EQ(record.m_playOrder[0], 3);
  EXPECT_EQ(record.m_playOrder[1], 1);
  EXPECT_EQ(record.m_playOrder[2], 2);
}

TEST_F(CDDBParse, RecordVariants) {
  CCDDBRecord record;
  // LF-only lines parse the same.
  std::string lfOnly = RecordBody();
  for (size_t at; (at = lfOnly.find("\r\n")) != std::string::npos;) lfOnly.erase(at, 1);
  ASSERT_TRUE(ParseRead(lfOnly, record));
  EXPECT_EQ(record.m_trackTitles.GetSize(), 3);

  // A DTITLE without " / " is both artist and title.
  ASSERT_TRUE(ParseRead(RecordReplacing("DTITLE=The", "DTITLE=Various/Sampler"), record));
  EXPECT_EQ(record.m_artist, L"Various/Sampler Edition)");
  EXPECT_EQ(record.m_title, record.m_artist);

  // Blanks around " / " belong to neither part.
  const struct {
    const char* line;
    const wchar_t* artist;
    const wchar_t* title;
  } splits[] = {
      {"DTITLE=Artist  /  Album", L"Artist", L"Album Edition)"},
      {"DTITLE=Artist   /   Album", L"Artist", L"Album Edition)"},
      {"DTITLE= / Album", L"", L"Album Edition)"},
  };
  for (const auto& split : splits) {
    ASSERT_TRUE(ParseRead(RecordReplacing("DTITLE=The", split.line), record)) << split.line;
    EXPECT_EQ(record.m_artist, split.artist) << split.line;
    EXPECT_EQ(record.m_title, split.title) << split.line;
  }

  // Two ids: the first one counts.
  ASSERT_TRUE(ParseRead(RecordReplacing("DISCID", "DISCID=ab0cd123,ab0cd124"), record));
  EXPECT_EQ(record.m_discId, 0xab0cd123u);

  std::vector<const char*> noPlay;
  for (const char* line : kRecordLines)
    if (std::string(line).rfind("PLAYORDER", 0) != 0) noPlay.push_back(line);
  struct OrderCase {
    std::vector<const char*> extra;
    std::vector<int> order;
  };
  const OrderCase orders[] = {
      {{"PLAYORDER=3,1,2"}, {3, 1, 2}},
      {{"PLAYORDER=3,1,"}, {3, 1}},
      {{"PLAYORDER=3,", "PLAYORDER=,x,7"}, {3, 0, 0, 7}},  // pieces joined first
      {{}, {}},
  };
  for (const OrderCase& o : orders) {
    std::vector<const char*> body(noPlay.begin(), noPlay.end() - 1);
    body.insert(body.end(), o.extra.begin(), o.extra.end());
    body.push_back(".");
    ASSERT_TRUE(ParseRead(RecordBody(body), record));
    std::vector<int> got;
    for (INT_PTR i = 0; i < record.m_playOrder.GetSize(); ++i) got.push_back(record.m_playOrder[i]);
    EXPECT_EQ(got, o.order);
  }
}

TEST_F(CDDBParse, TextByProtocolLevel) {
  CCDDBRecord record;
  const std::string utf8 = RecordWith({"DGENRE= \xc3\x96sterreich"});
  m_cddb.SetProtoLevel(6);
  ASSERT_TRUE(ParseRead(utf8, record));
  EXPECT_EQ(record.m_genre, L"Indie Rock \u00d6sterreich");
  EXPECT_EQ(record.m_trackTitles[2], L"Caf\u00e9 Nights");

  // Below level 6 the same field is read in the ANSI code page.
  const std::string ansi = RecordWith({"DGENRE= \xd6sterreich"});
  m_cddb.SetProtoLevel(5);
  ASSERT_TRUE(ParseRead(ansi, record));
  EXPECT_EQ(record.m_genre, CString(L"Indie Rock ") + CString(" \xd6sterreich").Mid(1));
  EXPECT_EQ(record.m_trackTitles[2], CString("Caf\xc3\xa9 Nights"));

  // A server wraps long lines by bytes, so a UTF-8 sequence may straddle two lines
  // of the same field: the field is still read whole.
  m_cddb.SetProtoLevel(6);
  ASSERT_TRUE(ParseRead(RecordWith({"DTITLE=Caf\xc3", "DTITLE=\xa9", "TTITLE0=\xe2\x82",
                                    "TTITLE0=\xac"
                                    "5",
                                    "EXTD=\xf0\x9f", "EXTD=\x8e\xb5"}),
                        record));
  EXPECT_EQ(record.m_title, L"Harbour Lights (Deluxe Edition)Caf\u00e9");
  EXPECT_EQ(record.m_trackTitles[0], L"Tide Gate\u20ac5");
  EXPECT_EQ(record.m_discExtData, L"Recorded live.\nRemastered.\U0001F3B5");

  CCDDBQueryResultArray matches;
  ASSERT_TRUE(m_cddb.ParseQueryBody("200 rock 2a0e4c03 Bj\xc3\xb6rn / \xc3\x85sa\r\n", L"2a0e4c03",
                                    matches));
  EXPECT_EQ(matches[0].m_artist, L"Bj\u00f6rn");
  EXPECT_EQ(matches[0].m_title, L"\u00c5sa");
}

TEST_F(CDDBParse, RequiredLines) {
  const wchar_t kPrefix[] =
      L"CCDDB::ParseRecordBodyHelper, CDDB server failed to return a record with ";
  struct Case {
    std::string body;
    const wchar_t* message;
  };
  const std::string noOffsets = [] {
    std::vector<const char*> lines;
    for (const char* line : kRecordLines)
      if (std::string(line).rfind("#\t", 0) != 0) lines.push_back(line);
    return RecordBody(lines);
  }();
  const Case cases[] = {
      {RecordWithout("# xmcd"), L"a XMCD comment line."},
      {noOffsets, L"any Track frame offset lines."},
      {RecordWithout("# Disc length"), L"a Disc length line."},
      {RecordWithout("# Submitted via"), L"a Submitted via line."},
      {RecordWithout("DISCID"), L"a DISCID line."},
      {RecordReplacing("DISCID", "DISCID=1234567"),
       L"a DISCID line."},  // seven characters are no id
      {RecordWithout("DTITLE"), L"a DTITLE line."},
      {RecordWithout("EXTT2"), L"an equal amount of TTITLE lines to EXTT lines."},
      {RecordWithout("EXTT"), L"an equal amount of TTITLE lines to EXTT lines."},
      {RecordWithout("# Track frame"), L"any Track frame offset lines."},
      {std::string("210 rock 2a0e4c03 entry\r\n"), L"a XMCD comment line."},
      {std::string("210 rock 2a0e4c03 entry"), L"a XMCD comment line."},
  };
  for (const Case& c : cases) {
    g_log.clear();
    g_clears = 0;
    CCDDBRecord record;
    EXPECT_FALSE(ParseRead(c.body, record)) << CStringA(c.message).GetString();
    ASSERT_EQ(g_log.size(), 1u) << CStringA(c.message).GetString();
    EXPECT_EQ(g_log[0].text, CString(kPrefix) + c.message);
    EXPECT_EQ(g_log[0].level, 1);
    EXPECT_EQ(g_clears, 1);
  }

  // The first failing check is the one reported.
  g_log.clear();
  CCDDBRecord record;
  EXPECT_FALSE(m_cddb.ParseRecordBodyHelper(record, "DTITLE=x\r\n"));
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_EQ(g_log[0].text, CString(kPrefix) + L"a XMCD comment line.");
  g_log.clear();
  EXPECT_FALSE(m_cddb.ParseRecordBodyHelper(record, nullptr));
  ASSERT_EQ(g_log.size(), 1u);
  EXPECT_EQ(g_log[0].text, CString(kPrefix) + L"a XMCD comment line.");

  // A "Submitted via:" line short of two words ends the parse at once.
  for (const char* line : {"# Submitted via: ExampleRipper", "# Submitted via:"}) {
    g_log.clear();
    EXPECT_FALSE(ParseRead(RecordReplacing("# Submitted", line), record)) << line;
    ASSERT_EQ(g_log.size(), 1u);
    EXPECT_EQ(g_log[0].text, CString(kPrefix) + L"a valid Submitted via: line.");
    EXPECT_EQ(record.m_trackTitles.GetSize(), 0) << "stopped before the key lines";
  }

  // Not a read reply at all.
  for (const char* body : {"401 rock 2a0e4c03 No such CD entry in database.\r\n", "", "21"}) {
    EXPECT_FALSE(ParseRead(body, record)) << body;
  }
  EXPECT_FALSE(m_cddb.ParseReadReply(nullptr, record));
}

TEST_F(CDDBParse, HostileTrackKeys) {
  CCDDBRecord record;
  // Far above any disc: ignored with a warning instead of a huge array.
  ASSERT_TRUE(ParseRead(RecordWith({"TTITLE100=too far", "EXTT4294967296=far too far",
                                    "TTITLE99999999999999999999=beyond long"}),
                        record));
  EXPECT_EQ(record.m_trackTitles.GetSize(), 3);
  EXPECT_EQ(record.m_trackExtData.GetSize(), 3);
  ASSERT_EQ(g_log.size(), 3u);
  EXPECT_EQ(g_log[0].text,
            L"CCDDB::ParseRecordBodyHelper, ignoring the TTITLE100 line: its track number is "
            L"above 99.");
  EXPECT_EQ(g_log[0].level, 1);
  EXPECT_EQ(g_clears, 0);

  // 99 is the last track number taken.
  ASSERT_TRUE(ParseRead(RecordWith({"TTITLE99=last", "EXTT99=x"}), record));
  ASSERT_EQ(record.m_trackTitles.GetSize(), 100);
  EXPECT_EQ(record.m_trackTitles[99], L"last");
  EXPECT_EQ(record.m_trackTitles[50], L"");

  // Out of order: a lower key after higher ones keeps every title.
  std::vector<const char*> lines;
  for (const char* line : kRecordLines)
    if (std::string(line).rfind("TTITLE", 0) != 0 && std::string(line).rfind("EXTT", 0) != 0)
      lines.push_back(line);
  lines.insert(lines.end() - 1,
               {"TTITLE2=Three", "TTITLE0=One", "TTITLE1=Two", "EXTT2=", "EXTT1=", "EXTT0="});
  ASSERT_TRUE(ParseRead(RecordBody(lines), record));
  ASSERT_EQ(record.m_trackTitles.GetSize(), 3);
  EXPECT_EQ(record.m_trackTitles[0], L"One");
  EXPECT_EQ(record.m_trackTitles[1], L"Two");
  EXPECT_EQ(record.m_trackTitles[2], L"Three");

  // Below 0 is ignored the same way: nothing but a warning line, and no exception
  // of any kind leaves the parse.
  struct Negative {
    const char* line;
    const wchar_t* warning;
  };
  const Negative negatives[] = {
      {"TTITLE-1=x", L"TTITLE-1"},
      {"EXTT-5=x", L"EXTT-5"},
      {"TTITLE-99999999999999999999=x", L"TTITLE-99999999999999999999"},  // saturates low
  };
  for (const Negative& c : negatives) {
    g_log.clear();
    g_clears = 0;
    BOOL parsed = FALSE;
    try {
      parsed = ParseRead(RecordWith({c.line}), record);
    } catch (CException* e) {
      e->Delete();
      ADD_FAILURE() << c.line << ": threw";
    }
    EXPECT_TRUE(parsed) << c.line;
    ASSERT_EQ(record.m_trackTitles.GetSize(), 3) << c.line;
    EXPECT_EQ(record.m_trackTitles[2], L"Caf\u00e9 Nights") << c.line;
    EXPECT_EQ(record.m_trackExtData.GetSize(), 3) << c.line;
    EXPECT_EQ(record.m_title, L"Harbour Lights (Deluxe Edition)") << c.line;
    ASSERT_EQ(g_log.size(), 1u) << c.line;
    EXPECT_EQ(g_log[0].text, CString(L"CCDDB::ParseRecordBodyHelper, ignoring the ") + c.warning +
                                 L" line: its track number is below 0.");
    EXPECT_EQ(g_log[0].level, 1);
    EXPECT_EQ(g_clears, 0);
  }
}

}  // namespace
