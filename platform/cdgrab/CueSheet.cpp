#include "platform/cdgrab/CueSheet.h"

#include <string.h>

#include <algorithm>
#include <charconv>

#include "platform/cdgrab/LibError.h"

namespace cdgrab {
namespace {

struct ParsedTrack {
  int number = 0;
  bool audio = true;
  uint32_t sectorBytes = kCDSectorBytes;
  size_t file = 0;
  uint32_t pregap = 0;
  uint32_t postgap = 0;
  int64_t index0 = -1;  // frames from the file's start, -1 = absent
  int64_t index1 = -1;
  int lastIndex = -1;
  bool sawIndex = false;
  int line = 0;
  int session = 1;
};

// The pregap every session's first track has; a sheet may give it or leave it to the gap.
constexpr uint32_t kSessionPregap = 150;

void PutUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The sheet's bytes as 8-bit text: UTF-8 without its byte order mark, UTF-16 (told by its
// byte order mark) turned into UTF-8, anything else as it is.
bool DecodeSheet(std::string_view bytes, std::string& text, std::string& reason) {
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
  if (bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    text.assign(bytes.substr(3));
    return true;
  }
  const bool little = bytes.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE;
  const bool big = bytes.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF;
  if (!little && !big) {
    if (bytes.find('\0') != std::string_view::npos) {
      reason = "the sheet holds NUL bytes (UTF-16 without a byte order mark?)";
      return false;
    }
    text.assign(bytes);
    return true;
  }
  if (bytes.size() % 2 != 0) {
    reason = "UTF-16 sheet with an odd number of bytes";
    return false;
  }
  auto unit = [&](size_t i) -> uint32_t {
    return little ? b[i] | (b[i + 1] << 8) : (b[i] << 8) | b[i + 1];
  };
  text.clear();
  for (size_t i = 2; i < bytes.size(); i += 2) {
    uint32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 2 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c < 0xE000) {
      reason = "broken UTF-16 at byte " + std::to_string(i);
      return false;
    }
    if (c == 0) {
      reason = "the sheet holds NUL characters";
      return false;
    }
    PutUtf8(text, c);
  }
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// Splits one line into words; a word in double quotes may hold blanks.
bool Tokenize(std::string_view line, std::vector<std::string>& words, std::string& reason) {
  words.clear();
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t') {
      ++i;
      continue;
    }
    if (c == '"') {
      size_t end = line.find('"', i + 1);
      if (end == std::string_view::npos) {
        reason = "unterminated quote";
        return false;
      }
      words.emplace_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    size_t end = i;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    words.emplace_back(line.substr(i, end - i));
    i = end;
  }
  return true;
}

bool ParseInt(std::string_view text, int64_t& value) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

// mm:ss:ff into frames; minutes may exceed 99 in the text but not the disc.
bool ParseMsf(std::string_view text, int64_t& frames) {
  size_t a = text.find(':');
  size_t b = a == std::string_view::npos ? a : text.find(':', a + 1);
  if (b == std::string_view::npos) return false;
  int64_t m, s, f;
  if (!ParseInt(text.substr(0, a), m) || !ParseInt(text.substr(a + 1, b - a - 1), s) ||
      !ParseInt(text.substr(b + 1), f))
    return false;
  if (m < 0 || m > 999 || s < 0 || s >= 60 || f < 0 || f >= 75) return false;
  frames = (m * 60 + s) * 75 + f;
  return true;
}

bool ParseMode(std::string_view mode, bool& audio, uint32_t& sectorBytes) {
  struct Mode {
    const char* name;
    bool audio;
    uint32_t bytes;
  };
  static const Mode kModes[] = {
      {"AUDIO", true, 2352},
      {"MODE1/2352", false, 2352},
      {"MODE1/2048", false, 2048},
      {"MODE2/2352", false, 2352},
  };
  for (const Mode& m : kModes) {
    if (EqualsNoCase(mode, m.name)) {
      audio = m.audio;
      sectorBytes = m.bytes;
      return true;
    }
  }
  return false;
}

class Parser {
 public:
  Parser(const CueFileProbe& probe, CueDisc& disc, CueError& error)
      : probe_(probe), disc_(disc), error_(error) {}

  bool Run(std::string_view text) {
    std::vector<std::string> words;
    size_t pos = 0;
    while (pos <= text.size()) {
      // A line ends in CR LF, LF or CR.
      size_t end = text.find_first_of("\r\n", pos);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(pos, end - pos);
      ++line_;
      std::string reason;
      if (!Tokenize(line, words, reason)) return Fail(kErrBadImage, reason);
      if (!words.empty() && !Command(words)) return false;
      pos = end + 1;
      if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
    return Layout();
  }

 private:
  bool Fail(int32_t code, const std::string& reason) {
    error_.code = code;
    error_.text = "line " + std::to_string(line_) + ": " + reason;
    return false;
  }
  void Warn(const std::string& what) {
    disc_.warnings.push_back("line " + std::to_string(line_) + ": " + what);
  }
  bool FailDisc(const std::string& reason) {
    error_.code = kErrBadImage;
    error_.text = reason;
    return false;
  }

  bool Command(const std::vector<std::string>& w) {
    const std::string& cmd = w[0];
    if (EqualsNoCase(cmd, "REM")) return Remark(w);
    if (EqualsNoCase(cmd, "FILE")) return File(w);
    if (EqualsNoCase(cmd, "TRACK")) return Track(w);
    if (EqualsNoCase(cmd, "INDEX")) return Index(w);
    if (EqualsNoCase(cmd, "PREGAP") || EqualsNoCase(cmd, "POSTGAP")) return Gap(w);
    // Descriptive commands that do not change the layout.
    static const char* const kIgnored[] = {"CATALOG",    "CDTEXTFILE", "PERFORMER", "TITLE",
                                           "SONGWRITER", "ISRC",       "FLAGS"};
    for (const char* name : kIgnored)
      if (EqualsNoCase(cmd, name)) return true;
    // Writers add commands of their own; none of them can move a sector.
    Warn("unknown command " + cmd + " skipped");
    return true;
  }

  bool Remark(const std::vector<std::string>& w) {
    if (w.size() >= 2 && EqualsNoCase(w[1], "SESSION")) return Session(w);
    if (w.size() < 2 || !EqualsNoCase(w[1], "READ-ERROR")) return true;
    int64_t lba, count, failures;
    if (w.size() != 5 || !ParseInt(w[2], lba) || !ParseInt(w[3], count) ||
        !ParseInt(w[4], failures) || lba < 0 || lba >= kMaxDiscSectors || count < 1 ||
        count > kMaxDiscSectors || failures < -1 || failures > INT32_MAX)
      return Fail(kErrBadImage, "READ-ERROR needs <lba> <count> <failures>");
    disc_.readErrors.push_back(
        {static_cast<uint32_t>(lba), static_cast<uint32_t>(count), static_cast<int32_t>(failures)});
    return true;
  }

  // REM SESSION nn: the session of the tracks that follow.
  bool Session(const std::vector<std::string>& w) {
    int64_t number;
    if (w.size() != 3 || !ParseInt(w[2], number) || number < 1 || number > 99)
      return Fail(kErrBadImage, "SESSION needs a number from 1 to 99");
    int last = tracks_.empty() ? 0 : tracks_.back().session;
    if (tracks_.empty() ? number != 1 : number != last && number != last + 1)
      return Fail(kErrBadImage, "session " + w[2] + " does not follow session " +
                                    std::to_string(std::max(last, 1)));
    session_ = static_cast<int>(number);
    return true;
  }

  bool File(const std::vector<std::string>& w) {
    if (w.size() != 3) return Fail(kErrBadImage, "FILE needs a name and a type");
    CueFileType type;
    if (EqualsNoCase(w[2], "BINARY"))
      type = CueFileType::kBinary;
    else if (EqualsNoCase(w[2], "WAVE"))
      type = CueFileType::kWave;
    else
      return Fail(kErrBadImage, "unsupported file type " + w[2]);
    if (!disc_.files.empty() && !FileHasTrack(disc_.files.size() - 1))
      return Fail(kErrBadImage, "FILE without TRACK before it");
    CueFileInfo info = probe_(w[1], type);
    if (info.error != 0) return Fail(info.error, w[1] + ": " + info.reason);
    disc_.files.push_back({w[1], type, info.dataOffset, info.dataBytes});
    return true;
  }

  bool FileHasTrack(size_t file) const { return !tracks_.empty() && tracks_.back().file == file; }

  bool Track(const std::vector<std::string>& w) {
    if (disc_.files.empty()) return Fail(kErrBadImage, "TRACK before FILE");
    if (w.size() != 3) return Fail(kErrBadImage, "TRACK needs a number and a mode");
    int64_t number;
    if (!ParseInt(w[1], number) || number < 1 || number > 99)
      return Fail(kErrBadImage, "track number must be 1 to 99");
    if (!tracks_.empty() && number != tracks_.back().number + 1)
      return Fail(kErrBadImage, "track numbers must follow each other");
    if (!tracks_.empty() && !FinishTrack()) return false;
    ParsedTrack t;
    t.number = static_cast<int>(number);
    if (!ParseMode(w[2], t.audio, t.sectorBytes))
      return Fail(kErrBadImage, "unsupported track mode " + w[2]);
    t.file = disc_.files.size() - 1;
    t.line = line_;
    t.session = session_;
    tracks_.push_back(t);
    return true;
  }

  bool FinishTrack() {
    const ParsedTrack& t = tracks_.back();
    if (t.index1 < 0) {
      line_ = t.line;
      return Fail(kErrBadImage, "track without INDEX 01");
    }
    return true;
  }

  bool Index(const std::vector<std::string>& w) {
    if (tracks_.empty()) return Fail(kErrBadImage, "INDEX before TRACK");
    ParsedTrack& t = tracks_.back();
    if (t.file != disc_.files.size() - 1) return Fail(kErrBadImage, "INDEX before TRACK");
    int64_t number, frames;
    if (w.size() != 3 || !ParseInt(w[1], number) || number < 0 || number > 99 ||
        !ParseMsf(w[2], frames))
      return Fail(kErrBadImage, "INDEX needs a number and mm:ss:ff");
    if (number <= t.lastIndex) return Fail(kErrBadImage, "INDEX numbers must increase");
    if (number > 1 && t.index1 < 0) return Fail(kErrBadImage, "INDEX after 01 before 01");
    // The track's first position in its file must lie after the previous track's INDEX 01.
    int64_t floor = 0;
    if (t.sawIndex)
      floor = t.index1 >= 0 ? t.index1 : t.index0;
    else if (tracks_.size() > 1 && tracks_[tracks_.size() - 2].file == t.file)
      floor = tracks_[tracks_.size() - 2].index1 + 1;
    if (frames < floor) return Fail(kErrBadImage, "INDEX goes backwards");
    if (number == 0) t.index0 = frames;
    if (number == 1) t.index1 = frames;
    t.lastIndex = static_cast<int>(number);
    t.sawIndex = true;
    return true;
  }

  bool Gap(const std::vector<std::string>& w) {
    if (tracks_.empty() || tracks_.back().file != disc_.files.size() - 1)
      return Fail(kErrBadImage, w[0] + " before TRACK");
    int64_t frames;
    if (w.size() != 2 || !ParseMsf(w[1], frames) || frames > kMaxDiscSectors)
      return Fail(kErrBadImage, w[0] + " needs mm:ss:ff");
    ParsedTrack& t = tracks_.back();
    if (EqualsNoCase(w[0], "PREGAP")) {
      if (t.sawIndex) return Fail(kErrBadImage, "PREGAP after INDEX");
      t.pregap = static_cast<uint32_t>(frames);
    } else {
      if (t.index1 < 0) return Fail(kErrBadImage, "POSTGAP before INDEX 01");
      t.postgap = static_cast<uint32_t>(frames);
    }
    return true;
  }

  void Emit(uint64_t& lba, uint64_t count, int32_t file, uint64_t byteOffset, uint32_t bytes,
            bool audio) {
    if (count == 0) return;
    if (lba + count <= kMaxDiscSectors)
      disc_.segments.push_back({static_cast<uint32_t>(lba), static_cast<uint32_t>(count), file,
                                byteOffset, bytes, audio});
    lba += count;
  }

  // Places every track's sectors on the disc, file after file.
  bool Layout() {
    if (tracks_.empty()) return FailDisc("no TRACK");
    ++line_;
    if (!FinishTrack()) return false;
    if (!FileHasTrack(disc_.files.size() - 1)) return FailDisc("FILE without TRACK");
    if (session_ != tracks_.back().session)
      return FailDisc("session " + std::to_string(session_) + " has no TRACK");
    uint64_t lba = 0;
    size_t first = 0;
    while (first < tracks_.size()) {
      size_t file = tracks_[first].file;
      size_t end = first;
      while (end < tracks_.size() && tracks_[end].file == file) ++end;
      const CueFile& f = disc_.files[file];
      uint64_t byteOffset = 0;
      auto start = [&](size_t i) {
        return static_cast<uint64_t>(tracks_[i].index0 >= 0 ? tracks_[i].index0
                                                            : tracks_[i].index1);
      };
      // Sectors before the file's first track belong to the track before it (or lead in to
      // track 1 on the first file).
      bool leadAudio = first > 0 ? tracks_[first - 1].audio : tracks_[first].audio;
      Emit(lba, start(first), static_cast<int32_t>(file), 0, tracks_[first].sectorBytes, leadAudio);
      byteOffset = start(first) * tracks_[first].sectorBytes;
      for (size_t i = first; i < end; ++i) {
        const ParsedTrack& t = tracks_[i];
        if (i > 0 && t.session > tracks_[i - 1].session) {
          // Lead-out and lead-in lie between the sessions, unreadable; the track's own
          // pregap counts towards the gap.
          uint64_t own = t.pregap + (static_cast<uint64_t>(t.index1) - start(i));
          Emit(lba, kCDSessionGapSectors - std::min<uint64_t>(own, kSessionPregap), -1, 0,
               t.sectorBytes, false);
        }
        Emit(lba, t.pregap, -1, 0, t.sectorBytes, t.audio);
        uint64_t count;
        if (i + 1 < end) {
          count = start(i + 1) - start(i);
        } else {
          uint64_t left = f.dataBytes > byteOffset ? f.dataBytes - byteOffset : 0;
          count = (left + t.sectorBytes - 1) / t.sectorBytes;  // a short last sector reads as 0
        }
        uint64_t index1 = static_cast<uint64_t>(t.index1) - start(i);
        if (index1 >= count) {
          error_.code = kErrBadImage;
          error_.text =
              "track " + std::to_string(t.number) + ": INDEX 01 beyond the end of " + f.name;
          return false;
        }
        if (lba + index1 >= kMaxDiscSectors) return FailDisc("disc longer than 100 minutes");
        disc_.tracks.push_back({static_cast<uint8_t>(t.number), t.audio, t.sectorBytes,
                                static_cast<uint32_t>(lba + index1),
                                static_cast<uint8_t>(t.session)});
        Emit(lba, count, static_cast<int32_t>(file), byteOffset, t.sectorBytes, t.audio);
        byteOffset += count * t.sectorBytes;
        Emit(lba, t.postgap, -1, 0, t.sectorBytes, t.audio);
      }
      first = end;
    }
    if (lba >= kMaxDiscSectors) return FailDisc("disc longer than 100 minutes");
    disc_.leadOut = static_cast<uint32_t>(lba);
    return true;
  }

  const CueFileProbe& probe_;
  CueDisc& disc_;
  CueError& error_;
  std::vector<ParsedTrack> tracks_;
  int line_ = 0;
  int session_ = 1;  // of the next TRACK
};

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

}  // namespace

bool ParseCueSheet(std::string_view text, const CueFileProbe& probe, CueDisc& disc,
                   CueError& error) {
  disc = CueDisc();
  error = CueError();
  std::string decoded, reason;
  if (!DecodeSheet(text, decoded, reason)) {
    error = {kErrBadImage, reason};
    return false;
  }
  Parser parser(probe, disc, error);
  if (parser.Run(decoded)) return true;
  disc = CueDisc();
  return false;
}

bool ParseWaveHeader(const uint8_t* head, size_t headBytes, uint64_t fileBytes,
                     uint64_t& dataOffset, uint64_t& dataBytes, std::string& reason) {
  if (headBytes < 12 || memcmp(head, "RIFF", 4) != 0 || memcmp(head + 8, "WAVE", 4) != 0) {
    reason = "not a RIFF WAVE file";
    return false;
  }
  bool sawFormat = false;
  size_t pos = 12;
  while (pos + 8 <= headBytes) {
    const uint8_t* chunk = head + pos;
    uint32_t size = Le32(chunk + 4);
    if (memcmp(chunk, "fmt ", 4) == 0) {
      if (size < 16 || pos + 8 + 16 > headBytes) {
        reason = "short fmt chunk";
        return false;
      }
      const uint8_t* f = chunk + 8;
      uint16_t tag = Le16(f);
      if (tag == 0xFFFE && size >= 40 && pos + 8 + 26 <= headBytes) tag = Le16(f + 24);
      if (tag != 1 || Le16(f + 2) != 2 || Le32(f + 4) != 44100 || Le16(f + 14) != 16) {
        reason = "not 44100 Hz 16-bit stereo PCM";
        return false;
      }
      sawFormat = true;
    } else if (memcmp(chunk, "data", 4) == 0) {
      if (!sawFormat) {
        reason = "data chunk before fmt chunk";
        return false;
      }
      dataOffset = pos + 8;
      uint64_t left = fileBytes > dataOffset ? fileBytes - dataOffset : 0;
      dataBytes = size < left ? size : left;  // streamed files carry a bogus size
      return true;
    }
    pos += 8 + static_cast<size_t>(size) + (size & 1);
  }
  reason = sawFormat ? "no data chunk" : "no fmt chunk";
  return false;
}

void BuildToc(const CueDisc& disc, CDTableOfContents& toc) {
  memset(&toc, 0, sizeof toc);
  size_t n = disc.tracks.size();
  if (n == 0 || n >= kCDTocMaxEntries) return;
  uint16_t length = static_cast<uint16_t>(2 + 8 * (n + 1));
  toc.tocLength[0] = static_cast<uint8_t>(length >> 8);
  toc.tocLength[1] = static_cast<uint8_t>(length);
  toc.firstTrack = disc.tracks.front().number;
  toc.lastTrack = disc.tracks.back().number;
  for (size_t i = 0; i <= n; ++i) {
    CDTocEntry& e = toc.entries[i];
    const CueTrack& t = disc.tracks[i < n ? i : n - 1];
    e.session = t.session;
    e.adrControl = static_cast<uint8_t>(0x10 | (t.audio ? 0 : kCDControlData));
    e.trackNumber = i < n ? t.number : 0xAA;
    PutBe32(e.address, i < n ? t.startLba : disc.leadOut);
  }
}

}  // namespace cdgrab
