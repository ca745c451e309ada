// Reply bodies into matches and xmcd records. Keys and comment words are compared
// as 8-bit text, exactly; every text that ends up in a match or record goes
// through ToWideByProto so the protocol level picks UTF-8 or the ANSI code page.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "discinfo/CDDB.h"
#include "discinfo/DiscInfoLog.h"

namespace {

constexpr int kLogWarning = 1;
// No disc holds more than 99 tracks; a larger TTITLEn/EXTTn number would only
// make the array enormous.
constexpr long kMaxTrackKey = 99;

const char kWhite[] = " \t\r\n\v\f";

std::string TrimmedA(const std::string& s) {
  const size_t first = s.find_first_not_of(kWhite);
  if (first == std::string::npos) return std::string();
  const size_t last = s.find_last_not_of(kWhite);
  return s.substr(first, last - first + 1);
}

// A DYEAR value is a year only when it is all digits ("19xx" or "unknown" is none: 0);
// nine digits at most, which an int holds.
int YearOf(const std::string& value) {
  const std::string year = TrimmedA(value);
  if (year.empty() || year.size() > 9 || year.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return std::atoi(year.c_str());
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// Text after the first n characters, empty when there are fewer.
const char* After(const std::string& s, size_t n) { return s.size() > n ? s.c_str() + n : ""; }

// Words split at runs of spaces, leading spaces skipped.
std::string NextWord(const std::string& s, size_t& pos) {
  pos = s.find_first_not_of(' ', pos);
  if (pos == std::string::npos) {
    pos = s.size();
    return std::string();
  }
  size_t end = s.find(' ', pos);
  if (end == std::string::npos) end = s.size();
  std::string word = s.substr(pos, end - pos);
  pos = end;
  return word;
}

void ReplaceAll(std::string& s, const char* from, const char* to) {
  const size_t fromLen = std::strlen(from);
  const size_t toLen = std::strlen(to);
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + toLen))
    s.replace(at, fromLen, to);
}

void Warn(LPCTSTR text) {
  DiscInfoLog(text, kLogWarning);
  DiscInfoClearQueryResults();
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned char lead = *p++;
    if (lead < 0x80) continue;
    int more = 0;
    unsigned long value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
      value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      value = lead & 0x07;
    } else {
      return false;
    }
    if (end - p < more) return false;
    for (int i = 0; i < more; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) return false;
      value = (value << 6) | (*p & 0x3F);
    }
    if ((more == 2 && value < 0x800) || (more == 3 && value < 0x10000) || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF))
      return false;
  }
  return true;
}

// The code page of an 8-bit charset name; Windows-1252 for the Latin-1 names (which
// servers send for Windows-1252 text as well) and for names not known here.
UINT CharsetCodePage(const std::string& charset) {
  if (charset.rfind("iso-8859-", 0) == 0 || charset.rfind("iso_8859-", 0) == 0) {
    const int part = std::atoi(charset.c_str() + 9);
    if (part >= 2 && part <= 16 && part != 12) return static_cast<UINT>(28590 + part);
    return 1252;
  }
  if (charset.rfind("windows-125", 0) == 0 && charset.size() == 12 && charset[11] >= '0' &&
      charset[11] <= '8')
    return static_cast<UINT>(1250 + (charset[11] - '0'));
  if (charset == "koi8-r") return 20866;
  if (charset == "koi8-u") return 21866;
  return 1252;
}

// Sets the client's text code page for one group of conversions, and back to UTF-8
// after them.
class TextCodePageScope {
 public:
  TextCodePageScope(CCDDB& client, UINT codePage) : m_client(client) {
    m_client.m_textCodePage = codePage;
  }
  ~TextCodePageScope() { m_client.m_textCodePage = CP_UTF8; }
  TextCodePageScope(const TextCodePageScope&) = delete;
  TextCodePageScope& operator=(const TextCodePageScope&) = delete;

 private:
  CCDDB& m_client;
};

// Track number of a TTITLEn/EXTTn key; strtol saturates, so a huge number stays
// huge (and is refused) instead of wrapping into range.
long TrackKeyNumber(const char* digits) { return std::strtol(digits, nullptr, 10); }

}  // namespace

// Older records and servers send 8-bit text that is not UTF-8; read as UTF-8 it
// would become replacement characters in every title, tag and file name. Text
// that is valid UTF-8 stays UTF-8 whatever the header says: servers that name
// ISO-8859-1 by default send UTF-8 all the same.
UINT CCDDB::TextCodePage(const std::vector<const std::string*>& texts) const {
  bool utf8 = true;
  for (const std::string* text : texts) {
    if (!IsValidUtf8(*text)) {
      utf8 = false;
      break;
    }
  }
  if (utf8) return CP_UTF8;
  return CharsetCodePage(m_http.charset);
}

int CCDDB::ReplyCode(const char* text) {
  if (!text || std::strlen(text) < 3) return -1;
  const char code[4] = {text[0], text[1], text[2], 0};
  return std::atoi(code);
}

void CCDDB::NextReplyLine(const char*& pos, CStringA& line) {
  if (!pos) return;
  // Each line ends at its own LF: servers, proxies and stored records mix lone LFs
  // with CR LF, and a CR LF further on must not pull the lines before it into one.
  const char* end = std::strchr(pos, '\n');
  if (!end) {
    // Text after the last line end is not a line.
    pos = nullptr;
    line.Empty();
    return;
  }
  const char* stop = end > pos && end[-1] == '\r' ? end - 1 : end;
  line = CStringA(pos, static_cast<int>(stop - pos));
  pos = end + 1;
}

BOOL CCDDB::ReadCommentLine(const CStringA& line, CStringA& comment) {
  if (line.IsEmpty() || line[0] != '#') return FALSE;
  comment = TrimmedA(line.str().substr(1)).c_str();
  return TRUE;
}

BOOL CCDDB::SplitKeyValue(const CStringA& line, CStringA& key, CStringA& value) {
  const std::string& s = line.str();
  const size_t eq = s.find('=');
  if (eq == std::string::npos) return FALSE;
  key = s.substr(0, eq).c_str();
  std::string v = s.substr(eq + 1);
  // This order is the format's: "\\n" therefore ends as a backslash and a line feed.
  ReplaceAll(v, "\\n", "\n");
  ReplaceAll(v, "\\t", "\t");
  ReplaceAll(v, "\\\\", "\\");
  value = CStringA(v.data(), static_cast<int>(v.size()));
  return TRUE;
}

BOOL CCDDB::ParseQueryBody(const char* body, const CString& discIdText,
                           CCDDBQueryResultArray& matches) {
  const int code = ReplyCode(body);
  if (code >= 210 && code <= 219) {
    BOOL found = FALSE;
    const char* pos = body;
    CStringA line;
    NextReplyLine(pos, line);  // the status line
    for (;;) {
      NextReplyLine(pos, line);
      if (!pos) break;
      // The closing "." is no match line and is simply refused.
      CCDDBQueryResult match;
      if (ParseMatchLine(match, line)) {
        matches.Add(match);
        found = TRUE;
      }
    }
    return found;
  }
  if (code == 200) {
    if (std::strlen(body) < 5) return FALSE;
    CCDDBQueryResult match;
    if (!ParseMatchLine(match, CStringA(body + 4))) return FALSE;
    matches.Add(match);
    return TRUE;
  }
  if (code == 202) {
    CString text;
    text.Format(
        L"CCDDB::ParseQueryBody, CDDB server does not contain the specifed album with "
        L"DISCID:%s in its database",
        discIdText);
    Warn(text);
    return FALSE;
  }
  return FALSE;
}

BOOL CCDDB::ParseMatchLine(CCDDBQueryResult& match, const CStringA& line) {
  const std::string s = line.str();
  size_t pos = 0;
  const std::string category = NextWord(s, pos);
  if (category.empty()) return FALSE;
  // The category goes back to the server inside the read request's URL: one that
  // would need escaping there (a line break, '&', '#', '%', '+', ...) is no
  // category a server hands out, and the match is unusable.
  if (!IsPlainCategory(category.c_str())) return FALSE;
  const std::string id = NextWord(s, pos);
  if (id.empty()) return FALSE;
  // Each match line is judged alone: a list may gather records stored long apart.
  const TextCodePageScope codePage(*this, TextCodePage({&s}));
  match.m_category = ToWideByProto(CStringA(category.c_str()));
  match.m_discId = static_cast<DWORD>(std::strtoul(id.c_str(), nullptr, 16));

  // The rest starts after the one space that ends the id, untrimmed.
  std::string rest = pos < s.size() ? s.substr(pos + 1) : std::string();
  size_t cut = rest.find("\r\n");
  if (cut == std::string::npos) cut = rest.find('\n');
  if (cut != std::string::npos) rest.resize(cut);
  match.m_title = ToWideByProto(CStringA(rest.c_str()));

  const int slash = match.m_title.Find(L'/');
  if (!match.m_title.IsEmpty() && slash >= 0) {
    match.m_artist = match.m_title.Left(slash);
    match.m_artist.Trim();
    match.m_title = match.m_title.Mid(slash + 1);
    match.m_title.Trim();
  }
  return TRUE;
}

BOOL CCDDB::ParseReadReply(const char* body, CCDDBRecord& record) {
  const int code = ReplyCode(body);
  if (code < 210 || code > 219) return FALSE;
  const char* pos = body;
  CStringA status;
  NextReplyLine(pos, status);
  return ParseRecordBodyHelper(record, pos ? pos : "");
}

BOOL CCDDB::ParseRecordBodyHelper(CCDDBRecord& record, const char* text) {
  record = CCDDBRecord();
  CString titleText;
  CString playOrderText;
  bool xmcdSeen = false;
  bool inOffsets = false;
  bool discLengthSeen = false;
  bool submittedSeen = false;
  bool discIdSeen = false;
  bool titleSeen = false;
  // Raw bytes of every field that may continue over several lines: a server may
  // wrap a line inside a UTF-8 sequence, so each field is converted whole, once,
  // when the parse ends (however it ends) rather than piece by piece.
  std::string rawTitle;
  std::string rawGenre;
  std::string rawDiscExt;
  std::string rawPlayOrder;
  std::vector<std::string> rawTrackTitles;
  std::vector<std::string> rawTrackExt;
  std::string rawClient;
  std::string rawVersion;
  std::string rawComment;
  // One code page for the whole record, judged on the joined fields.
  const auto convertFields = [&] {
    std::vector<const std::string*> texts = {&rawTitle,  &rawGenre,   &rawDiscExt, &rawPlayOrder,
                                             &rawClient, &rawVersion, &rawComment};
    for (const std::string& t : rawTrackTitles) texts.push_back(&t);
    for (const std::string& t : rawTrackExt) texts.push_back(&t);
    const TextCodePageScope codePage(*this, TextCodePage(texts));
    record.m_submittedViaClient = ToWideByProto(CStringA(rawClient.c_str()));
    record.m_submittedViaVersion = ToWideByProto(CStringA(rawVersion.c_str()));
    record.m_submittedViaComment = ToWideByProto(CStringA(rawComment.c_str()));
    titleText = ToWideByProto(CStringA(rawTitle.c_str()));
    record.m_genre = ToWideByProto(CStringA(rawGenre.c_str()));
    record.m_discExtData = ToWideByProto(CStringA(rawDiscExt.c_str()));
    playOrderText = ToWideByProto(CStringA(rawPlayOrder.c_str()));
    for (size_t i = 0; i < rawTrackTitles.size(); ++i)
      record.m_trackTitles.ElementAt(static_cast<INT_PTR>(i)) =
          ToWideByProto(CStringA(rawTrackTitles[i].c_str()));
    for (size_t i = 0; i < rawTrackExt.size(); ++i)
      record.m_trackExtData.ElementAt(static_cast<INT_PTR>(i)) =
          ToWideByProto(CStringA(rawTrackExt[i].c_str()));
  };

  if (!text) {
    Warn(
        L"CCDDB::ParseRecordBodyHelper, CDDB server failed to return a record with a XMCD "
        L"comment line.");
    return FALSE;
  }

  const char* pos = text;
  CStringA line;
  CStringA comment;
  CStringA key;
  CStringA value;
  for (;;) {
    NextReplyLine(pos, line);
    if (!pos) break;

    if (ReadCommentLine(line, comment)) {
      const std::string& c = comment.str();
      if (StartsWith(c, "xmcd")) {
        xmcdSeen = true;
      } else if (c.find("Track frame offsets:") != std::string::npos) {
        inOffsets = true;
      } else if (StartsWith(c, "Disc length:")) {
        inOffsets = false;
        discLengthSeen = true;
        record.m_discLengthSeconds = std::atoi(After(c, 13));
      } else if (StartsWith(c, "Revision:")) {
        record.m_revision = std::atoi(After(c, 9));
      } else if (StartsWith(c, "Submitted via:")) {
        submittedSeen = true;
        const std::string words = After(c, 14);
        size_t at = 0;
        const std::string client = NextWord(words, at);
        const std::string version = NextWord(words, at);
        const std::string extra = NextWord(words, at);
        if (client.empty() || version.empty()) {
          Warn(
              L"CCDDB::ParseRecordBodyHelper, CDDB server failed to return a record with a "
              L"valid Submitted via: line.");
          convertFields();
          return FALSE;
        }
        rawClient = client;
        rawVersion = version;
        rawComment = extra;
      } else if (inOffsets && !c.empty()) {
        record.m_trackFrameOffsets.Add(std::atoi(c.c_str()));
      }
      continue;
    }

    if (!SplitKeyValue(line, key, value)) continue;
    const std::string& k = key.str();
    if (k == "DISCID") {
      // Several ids may follow, comma-separated: the first one is the disc's.
      if (value.GetLength() >= 8) {
        record.m_discId = static_cast<DWORD>(std::strtoul(value, nullptr, 16));
        discIdSeen = true;
      }
    } else if (k == "DTITLE") {
      titleSeen = true;
      rawTitle += value.str();
    } else if (k == "DYEAR") {
      record.m_year = YearOf(value.str());
    } else if (k == "DGENRE") {
      rawGenre += value.str();
    } else if (StartsWith(k, "TTITLE") || StartsWith(k, "EXTT")) {
      const bool isTitle = k[0] == 'T';
      CStringArray& titles = isTitle ? record.m_trackTitles : record.m_trackExtData;
      std::vector<std::string>& raw = isTitle ? rawTrackTitles : rawTrackExt;
      const long n = TrackKeyNumber(After(k, isTitle ? 6 : 4));
      if (n > kMaxTrackKey) {
        CString warning;
        warning.Format(
            L"CCDDB::ParseRecordBodyHelper, ignoring the %s line: its track number is above "
            L"99.",
            CString(key));
        DiscInfoLog(warning, kLogWarning);
        continue;
      }
      if (n < 0) {
        // No index either: callers of the client expect only CCDDBException, so a
        // hostile key must not throw anything else out of the parse.
        CString warning;
        warning.Format(
            L"CCDDB::ParseRecordBodyHelper, ignoring the %s line: its track number is below 0.",
            CString(key));
        DiscInfoLog(warning, kLogWarning);
        continue;
      }
      // Only grows: a key below an earlier one must not drop the titles above it.
      if (n >= titles.GetSize()) titles.SetSize(n + 1);
      if (raw.size() <= static_cast<size_t>(n)) raw.resize(n + 1);
      raw[n] += value.str();
    } else if (k == "EXTD") {
      rawDiscExt += value.str();
    } else if (k == "PLAYORDER") {
      rawPlayOrder += value.str();
    }
  }

  convertFields();

  LPCTSTR failure = nullptr;
  if (!xmcdSeen)
    failure =
        L"CCDDB::ParseRecordBodyHelper, CDDB server failed to return a record with a XMCD "
        L"comment line.";
  else if (record.m_trackFrameOffsets.IsEmpty())
    failure =
        L"CCDDB::ParseRecordBodyHelper, CDDB server failed to return a record with any Track "
        L"frame offset lines.";
  else if (!discLengthSeen)
    failure =
        L"CCDDB::ParseRecordBodyHelper, CDDB server failed to return a record with a Disc "
        L"length line.";
  else if (!submittedSeen)
    failure =
        L"CCDDB::ParseRecordBodyHelper, CDDB server failed to return a record with a Submitted "
        L"via line.";
  else if (!discIdSeen)
    failure =
        L"CCDDB::ParseRecordBodyHelper, CDDB server failed to return a record with a DISCID "
        L"line.";
  else if (!titleSeen)
    failure =
        L"CCDDB::ParseRecordBodyHelper, CDDB server failed to return a record with a DTITLE "
        L"line.";
  else if (record.m_trackTitles.GetSize() != record.m_trackExtData.GetSize())
    failure =
        L"CCDDB::ParseRecordBodyHelper, CDDB server failed to return a record with an equal "
        L"amount of TTITLE lines to EXTT lines.";
  if (failure) {
    Warn(failure);
    return FALSE;
  }

  const int split = titleText.Find(L" / ");
  if (split >= 0) {
    // "Artist  /  Album": the blanks around the slash belong to neither.
    record.m_artist = titleText.Left(split);
    record.m_artist.TrimRight();
    record.m_title = titleText.Mid(split + 3);
    record.m_title.TrimLeft();
  } else {
    record.m_artist = titleText;
    record.m_title = titleText;
  }

  // Every piece before a comma counts (an empty one as 0); the last piece only
  // when something follows the last comma.
  int start = 0;
  for (int comma = playOrderText.Find(L','); comma >= 0;
       start = comma + 1, comma = playOrderText.Find(L',', start))
    record.m_playOrder.Add(_wtoi(playOrderText.Mid(start, comma - start)));
  if (start < playOrderText.GetLength()) record.m_playOrder.Add(_wtoi(playOrderText.Mid(start)));
  return TRUE;
}
