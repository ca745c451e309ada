// Cue sheet parsing, WAVE headers, the TOC built from a sheet and the TOC sanity check.
#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "platform/cdgrab/AudioCDGrabber.h"
#include "platform/cdgrab/CueSheet.h"
#include "platform/cdgrab/Drives.h"
#include "platform/cdgrab/LibError.h"

namespace cdgrab {
namespace {

TEST(WireFormat, RecordSizes) {
  EXPECT_EQ(sizeof(CDDriveList), 970u);
  EXPECT_EQ(sizeof(CDDriveEntry), 121u);
  EXPECT_EQ(sizeof(CDHandleRequest), 12u);
  EXPECT_EQ(sizeof(CDTableOfContents), 804u);
  EXPECT_EQ(sizeof(CDTocEntry), 8u);
  EXPECT_EQ(sizeof(CDAudioBlock), 24u);
  EXPECT_EQ(offsetof(CDDriveList, entries) + 3 * sizeof(CDDriveEntry), 2u + 3 * 121);
}

// Files the fake probe knows, by name: data bytes, or a probe error.
CueFileProbe FakeFiles(std::map<std::string, uint64_t> files) {
  return [files](const std::string& name, CueFileType type) {
    CueFileInfo info;
    auto it = files.find(name);
    if (it == files.end()) {
      info.error = kErrImageFile;
      info.reason = "file missing or unreadable";
    } else {
      info.dataOffset = type == CueFileType::kWave ? 44 : 0;
      info.dataBytes = it->second;
    }
    return info;
  };
}

constexpr uint64_t S = kCDSectorBytes;

struct GoodCase {
  const char* name;
  const char* sheet;
  std::map<std::string, uint64_t> files;
  std::vector<CueTrack> tracks;  // number, audio, sector bytes, start
  uint32_t leadOut;
};

TEST(CueSheet, LaysOutGoodSheets) {
  const GoodCase cases[] = {
      {"one file, three tracks",
       "FILE \"d.bin\" BINARY\r\n TRACK 01 AUDIO\r\n  INDEX 01 00:00:00\r\n"
       " TRACK 02 AUDIO\r\n  INDEX 01 00:10:00\r\n TRACK 03 AUDIO\r\n  INDEX 01 00:20:00\r\n",
       {{"d.bin", 2000 * S}},
       {{1, true, 2352, 0}, {2, true, 2352, 750}, {3, true, 2352, 1500}},
       2000},
      {"data first, first number 5, INDEX 00, comments and lower case",
       "REM GENRE Test\nCATALOG 0000000000000\nPERFORMER \"A B\"\nfile \"d.bin\" binary\n"
       "  track 05 mode1/2352\n    index 01 00:00:00\n  TRACK 06 AUDIO\n    FLAGS DCP\n"
       "    INDEX 00 00:04:00\n    INDEX 01 00:06:00\n",
       {{"d.bin", 1000 * S}},
       {{5, false, 2352, 0}, {6, true, 2352, 450}},
       1000},
      {"MODE1/2048 data then audio in one file: sector sizes differ",
       "FILE \"d.bin\" BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"
       "TRACK 02 AUDIO\nINDEX 01 00:04:00\n",
       {{"d.bin", 300 * 2048 + 100 * S}},
       {{1, false, 2048, 0}, {2, true, 2352, 300}},
       400},
      {"several files, WAVE, PREGAP and POSTGAP, partial last sector rounds up",
       "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nPOSTGAP 00:00:10\n"
       "FILE \"b.bin\" BINARY\nTRACK 02 MODE2/2352\nPREGAP 00:02:00\nINDEX 01 00:00:00\n",
       {{"a.wav", 100 * S + 4}, {"b.bin", 50 * S}},
       {{1, true, 2352, 0}, {2, false, 2352, 111 + 150}},
       111 + 150 + 50},
      {"track 1 after a hidden start, gap at the end of the previous file",
       "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:02:00\n"
       "FILE \"b.bin\" BINARY\nTRACK 02 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:01:00\n"
       "INDEX 02 00:01:10\n",
       {{"a.bin", 300 * S}, {"b.bin", 200 * S}},
       {{1, true, 2352, 150}, {2, true, 2352, 375}},
       500},
  };
  for (const GoodCase& c : cases) {
    SCOPED_TRACE(c.name);
    CueDisc disc;
    CueError error;
    ASSERT_TRUE(ParseCueSheet(c.sheet, FakeFiles(c.files), disc, error)) << error.text;
    ASSERT_EQ(disc.tracks.size(), c.tracks.size());
    for (size_t i = 0; i < c.tracks.size(); ++i) {
      EXPECT_EQ(disc.tracks[i].number, c.tracks[i].number) << i;
      EXPECT_EQ(disc.tracks[i].audio, c.tracks[i].audio) << i;
      EXPECT_EQ(disc.tracks[i].sectorBytes, c.tracks[i].sectorBytes) << i;
      EXPECT_EQ(disc.tracks[i].startLba, c.tracks[i].startLba) << i;
    }
    EXPECT_EQ(disc.leadOut, c.leadOut);
    // The segments cover the disc without holes.
    uint32_t lba = 0;
    for (const CueSegment& s : disc.segments) {
      EXPECT_EQ(s.firstLba, lba);
      lba += s.sectorCount;
    }
    EXPECT_EQ(lba, disc.leadOut);
  }
}

TEST(CueSheet, PlacesFileBytesBehindTheRightSectors) {
  CueDisc disc;
  CueError error;
  const char* sheet =
      "FILE \"d.bin\" BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"
      "TRACK 02 AUDIO\nINDEX 01 00:00:10\nFILE \"w.wav\" WAVE\nTRACK 03 AUDIO\nINDEX 01 00:00:00\n";
  ASSERT_TRUE(ParseCueSheet(sheet, FakeFiles({{"d.bin", 10 * 2048 + 5 * S}, {"w.wav", 3 * S}}),
                            disc, error))
      << error.text;
  ASSERT_EQ(disc.segments.size(), 3u);
  EXPECT_EQ(disc.segments[1].byteOffset, 10u * 2048);
  EXPECT_EQ(disc.segments[1].file, 0);
  EXPECT_EQ(disc.segments[2].file, 1);
  EXPECT_EQ(disc.files[1].dataOffset, 44u);
}

TEST(CueSheet, ReadErrorRules) {
  CueDisc disc;
  CueError error;
  const char* sheet =
      "REM READ-ERROR 100 2 3\nFILE \"d.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
      "REM READ-ERROR 7 1 -1\n";
  ASSERT_TRUE(ParseCueSheet(sheet, FakeFiles({{"d.bin", 200 * S}}), disc, error));
  ASSERT_EQ(disc.readErrors.size(), 2u);
  EXPECT_EQ(disc.readErrors[0].firstLba, 100u);
  EXPECT_EQ(disc.readErrors[0].count, 2u);
  EXPECT_EQ(disc.readErrors[0].failures, 3);
  EXPECT_EQ(disc.readErrors[1].failures, -1);
}

TEST(CueSheet, RejectsMalformedSheets) {
  const std::string head = "FILE \"d.bin\" BINARY\nTRACK 01 AUDIO\n";
  struct {
    std::string sheet;
    int32_t code;
    const char* text;
  } const cases[] = {
      {"", kErrBadImage, "no TRACK"},
      {"FILE \"d.bin\" BINARY\n", kErrBadImage, "no TRACK"},
      {"TRACK 01 AUDIO\nINDEX 01 00:00:00\n", kErrBadImage, "line 1: TRACK before FILE"},
      {"FILE \"d.bin BINARY\n", kErrBadImage, "unterminated quote"},
      {"FILE \"x.bin\" BINARY\n", kErrImageFile, "x.bin"},
      {"FILE \"d.bin\" MP3\n", kErrBadImage, "unsupported file type"},
      {head + "INDEX 01 00:60:00\n", kErrBadImage, "mm:ss:ff"},
      {head + "INDEX 01 00:00:75\n", kErrBadImage, "mm:ss:ff"},
      {head + "INDEX 01 0:0\n", kErrBadImage, "mm:ss:ff"},
      {head, kErrBadImage, "without INDEX 01"},
      {head + "INDEX 00 00:00:00\n", kErrBadImage, "without INDEX 01"},
      {head + "INDEX 01 00:02:00\nINDEX 00 00:00:00\n", kErrBadImage, "must increase"},
      {head + "INDEX 01 00:01:00\nTRACK 02 AUDIO\nINDEX 01 00:00:50\n", kErrBadImage, "backwards"},
      {head + "INDEX 01 00:00:00\nTRACK 03 AUDIO\nINDEX 01 00:01:00\n", kErrBadImage,
       "follow each other"},
      {"FILE \"d.bin\" BINARY\nTRACK 00 AUDIO\n", kErrBadImage, "1 to 99"},
      {"FILE \"d.bin\" BINARY\nTRACK 01 MODE2/2336\n", kErrBadImage, "unsupported track mode"},
      {head + "INDEX 01 00:00:00\nPREGAP 00:02:00\n", kErrBadImage, "PREGAP after INDEX"},
      {head + "INDEX 01 00:03:00\n", kErrBadImage, "beyond the end"},
      {head + "INDEX 01 00:00:00\nREM SESSION 03\n", kErrBadImage, "line 4: session 03"},
      {"REM SESSION 02\n" + head, kErrBadImage, "line 1: session 02"},
      {head + "INDEX 01 00:00:00\nREM SESSION 2x\n", kErrBadImage, "SESSION needs a number"},
      {head + "INDEX 01 00:00:00\nREM SESSION 02\n", kErrBadImage, "session 2 has no TRACK"},
      {std::string("FILE \"d.bin\0\" BINARY\n", 21), kErrBadImage, "NUL bytes"},
      {std::string("\xFF\xFE"
                   "F\0I\0L",
                   7),
       kErrBadImage, "odd number of bytes"},
      {std::string("\xFF\xFE\x00\xD8"
                   "T\0",
                   6),
       kErrBadImage, "broken UTF-16"},
      {"REM READ-ERROR 1 x 3\n" + head, kErrBadImage, "READ-ERROR"},
      {"REM READ-ERROR 1 0 3\n" + head, kErrBadImage, "READ-ERROR"},
      {"REM READ-ERROR 1 1 -2\n" + head, kErrBadImage, "READ-ERROR"},
      {"FILE \"d.bin\" BINARY\nFILE \"d.bin\" BINARY\n", kErrBadImage, "FILE without TRACK"},
      {"INDEX 01 00:00:00\n", kErrBadImage, "INDEX before TRACK"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sheet);
    CueDisc disc;
    CueError error;
    EXPECT_FALSE(ParseCueSheet(c.sheet, FakeFiles({{"d.bin", 100 * S}}), disc, error));
    EXPECT_EQ(error.code, c.code);
    EXPECT_NE(error.text.find(c.text), std::string::npos) << error.text;
    EXPECT_TRUE(disc.tracks.empty());
  }
}

// UTF-16 of an ASCII text, with its byte order mark.
std::string Utf16(const std::string& text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char c : text) out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return out;
}

// Sheets as writers and editors save them: each lays out the same disc.
TEST(CueSheet, ReadsSheetsInEveryEncodingAndLineEnd) {
  const std::string lines[] = {"REM GENRE Test",   "FILE \"d.bin\" BINARY",
                               "  TRACK 01 AUDIO", "    INDEX 01 00:00:00",
                               "  TRACK 02 AUDIO", "    INDEX 01 00:10:00"};
  auto join = [&](const char* end) {
    std::string text;
    for (const std::string& line : lines) text += line + end;
    return text;
  };
  const std::string withComposer = "COMPOSER \"Someone\"\r\n" + join("\r\n");
  struct Case {
    const char* name;
    std::string sheet;
    std::vector<std::string> warnings;
  };
  const Case cases[] = {
      {"CR LF", join("\r\n"), {}},
      {"LF", join("\n"), {}},
      {"CR alone", join("\r"), {}},
      {"no line end after the last line", join("\n").substr(0, join("\n").size() - 1), {}},
      {"mixed, with blank lines", "\r\n\n\r" + join("\r"), {}},
      {"UTF-8 with a byte order mark", "\xEF\xBB\xBF" + join("\r\n"), {}},
      {"UTF-16 LE", Utf16(join("\r\n"), false), {}},
      {"UTF-16 BE, CR alone", Utf16(join("\r"), true), {}},
      {"an unknown command", withComposer, {"line 1: unknown command COMPOSER skipped"}},
      {"unknown commands in UTF-16, line numbers after CR alone",
       Utf16(join("\r") + "ARRANGER x\rDISCNUMBER 1\r", false),
       {"line 7: unknown command ARRANGER skipped", "line 8: unknown command DISCNUMBER skipped"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CueDisc disc;
    CueError error;
    ASSERT_TRUE(ParseCueSheet(c.sheet, FakeFiles({{"d.bin", 2000 * S}}), disc, error))
        << error.text;
    ASSERT_EQ(disc.tracks.size(), 2u);
    EXPECT_EQ(disc.tracks[1].startLba, 750u);
    EXPECT_EQ(disc.leadOut, 2000u);
    EXPECT_EQ(disc.warnings, c.warnings);
  }
  // Names outside ASCII come out as UTF-8 whatever the sheet's encoding.
  std::string name = "caf\xC3\xA9.bin";
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("FILE \"caf")) utf16 += std::string{c, '\0'};
  utf16 += std::string("\xE9\0", 2);
  for (char c : std::string(".bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"))
    utf16 += std::string{c, '\0'};
  CueDisc disc;
  CueError error;
  ASSERT_TRUE(ParseCueSheet(utf16, FakeFiles({{name, 10 * S}}), disc, error)) << error.text;
  EXPECT_EQ(disc.files[0].name, name);
}

// A second session starts 11400 sectors after the first one's end, as a drive reports an
// enhanced disc; the track's own pregap is part of that gap.
TEST(CueSheet, PlacesASecondSessionBeyondTheGap) {
  const std::string audio =
      "REM SESSION 01\nFILE \"d.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
      "TRACK 02 AUDIO\nINDEX 01 00:10:00\n";
  struct {
    const char* name;
    std::string data;
    uint32_t dataStart, leadOut;
  } const cases[] = {
      {"no pregap in the sheet", "REM SESSION 02\nTRACK 03 MODE1/2352\nINDEX 01 00:20:00\n",
       1500 + 11400, 1500 + 11400 + 300},
      {"an INDEX 00 pregap in the file",
       "REM SESSION 02\nTRACK 03 MODE1/2352\nINDEX 00 00:20:00\nINDEX 01 00:22:00\n",
       1500 + 11250 + 150, 1500 + 11250 + 300},
      {"a PREGAP no file holds",
       "REM SESSION 02\nTRACK 03 MODE1/2352\nPREGAP 00:03:00\nINDEX 01 00:20:00\n",
       1500 + 11250 + 225, 1500 + 11250 + 225 + 300},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CueDisc disc;
    CueError error;
    ASSERT_TRUE(ParseCueSheet(audio + c.data, FakeFiles({{"d.bin", 1800 * S}}), disc, error))
        << error.text;
    ASSERT_EQ(disc.tracks.size(), 3u);
    EXPECT_EQ(disc.tracks[1].session, 1);
    EXPECT_EQ(disc.tracks[2].session, 2);
    EXPECT_EQ(disc.tracks[2].startLba, c.dataStart);
    EXPECT_EQ(disc.leadOut, c.leadOut);
    // Nothing is read from the gap: it is no audio and no file's.
    bool gapFound = false;
    for (const CueSegment& seg : disc.segments) {
      if (seg.firstLba == 1500 && seg.file == -1 && !seg.audio) gapFound = true;
    }
    EXPECT_TRUE(gapFound);
    CDTableOfContents toc;
    BuildToc(disc, toc);
    EXPECT_EQ(toc.entries[1].session, 1);
    EXPECT_EQ(toc.entries[2].session, 2);
    EXPECT_EQ(toc.entries[3].session, 2);  // the lead-out ends session 2
  }
  // Without a REM SESSION line every track is in session 1, the data one too.
  CueDisc disc;
  CueError error;
  ASSERT_TRUE(ParseCueSheet(audio.substr(15) + "TRACK 03 MODE1/2352\nINDEX 01 00:20:00\n",
                            FakeFiles({{"d.bin", 1800 * S}}), disc, error))
      << error.text;
  EXPECT_EQ(disc.tracks[2].session, 1);
  EXPECT_EQ(disc.tracks[2].startLba, 1500u);
  EXPECT_EQ(disc.leadOut, 1800u);
}

TEST(CueSheet, RejectsDiscsLongerThanHundredMinutes) {
  CueDisc disc;
  CueError error;
  EXPECT_FALSE(ParseCueSheet("FILE \"d.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
                             FakeFiles({{"d.bin", uint64_t(kMaxDiscSectors) * S}}), disc, error));
  EXPECT_NE(error.text.find("100 minutes"), std::string::npos);
}

std::vector<uint8_t> Wave(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                          uint32_t dataBytes, bool listChunk = false) {
  std::vector<uint8_t> w;
  auto put = [&](const void* p, size_t n) {
    w.insert(w.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
  };
  auto u32 = [&](uint32_t v) { put(&v, 4); };
  auto u16 = [&](uint16_t v) { put(&v, 2); };
  put("RIFF", 4);
  u32(0);
  put("WAVE", 4);
  if (listChunk) {
    put("LIST", 4);
    u32(3);
    put("abc\0", 4);  // odd size, padded
  }
  put("fmt ", 4);
  u32(16);
  u16(tag);
  u16(channels);
  u32(rate);
  u32(rate * channels * bits / 8);
  u16(static_cast<uint16_t>(channels * bits / 8));
  u16(bits);
  put("data", 4);
  u32(dataBytes);
  return w;
}

TEST(WaveHeader, AcceptsOnlyCdAudioPcm) {
  struct {
    std::vector<uint8_t> head;
    bool ok;
    uint64_t offset;
  } const cases[] = {
      {Wave(1, 2, 44100, 16, 1000), true, 44}, {Wave(1, 2, 44100, 16, 1000, true), true, 56},
      {Wave(1, 1, 44100, 16, 1000), false, 0}, {Wave(1, 2, 48000, 16, 1000), false, 0},
      {Wave(1, 2, 44100, 24, 1000), false, 0}, {Wave(3, 2, 44100, 16, 1000), false, 0},
      {std::vector<uint8_t>(8, 0), false, 0},
  };
  for (const auto& c : cases) {
    uint64_t offset = 0, bytes = 0;
    std::string reason;
    EXPECT_EQ(ParseWaveHeader(c.head.data(), c.head.size(), 100000, offset, bytes, reason), c.ok)
        << reason;
    if (c.ok) {
      EXPECT_EQ(offset, c.offset);
      EXPECT_EQ(bytes, 1000u);
    }
  }
  // A data size larger than the file (streamed writers) is cut to the file.
  std::vector<uint8_t> head = Wave(1, 2, 44100, 16, 0xFFFFFFFF);
  uint64_t offset = 0, bytes = 0;
  std::string reason;
  ASSERT_TRUE(ParseWaveHeader(head.data(), head.size(), 44 + 4000, offset, bytes, reason));
  EXPECT_EQ(bytes, 4000u);
}

uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

TEST(Toc, BuiltFromASheetPassesTheCheck) {
  CueDisc disc;
  CueError error;
  ASSERT_TRUE(
      ParseCueSheet("FILE \"d.bin\" BINARY\nTRACK 07 MODE1/2352\nINDEX 01 00:00:00\n"
                    "TRACK 08 AUDIO\nINDEX 01 00:04:00\n",
                    FakeFiles({{"d.bin", 1000 * S}}), disc, error));
  CDTableOfContents toc;
  BuildToc(disc, toc);
  EXPECT_EQ((toc.tocLength[0] << 8) | toc.tocLength[1], 2 + 8 * 3);
  EXPECT_EQ(toc.firstTrack, 7);
  EXPECT_EQ(toc.lastTrack, 8);
  EXPECT_EQ(toc.entries[0].adrControl, 0x14);
  EXPECT_EQ(toc.entries[1].adrControl, 0x10);
  EXPECT_EQ(toc.entries[2].trackNumber, 0xAA);
  EXPECT_EQ(Be32(toc.entries[1].address), 300u);
  EXPECT_EQ(Be32(toc.entries[2].address), 1000u);
  std::string reason;
  EXPECT_TRUE(ValidToc(toc, reason)) << reason;
}

TEST(Toc, CheckRefusesTablesCallersCannotWalk) {
  CDTableOfContents good;
  memset(&good, 0, sizeof good);
  good.tocLength[1] = 2 + 8 * 3;
  good.firstTrack = 1;
  good.lastTrack = 2;
  const uint32_t lba[] = {0, 500, 1000};
  for (int i = 0; i < 3; ++i) {
    good.entries[i].trackNumber = static_cast<uint8_t>(i < 2 ? i + 1 : 0xAA);
    good.entries[i].address[2] = static_cast<uint8_t>(lba[i] >> 8);
    good.entries[i].address[3] = static_cast<uint8_t>(lba[i]);
  }
  struct {
    const char* name;
    void (*damage)(CDTableOfContents&);
  } const cases[] = {
      {"zero length", [](CDTableOfContents& t) { t.tocLength[1] = 0; }},
      {"last < first", [](CDTableOfContents& t) { t.firstTrack = 3; }},
      {"track 100", [](CDTableOfContents& t) { t.lastTrack = 100; }},
      {"length short", [](CDTableOfContents& t) { t.tocLength[1] = 2 + 8 * 2; }},
      {"falling address", [](CDTableOfContents& t) { t.entries[2].address[2] = 0; }},
      {"equal addresses", [](CDTableOfContents& t) { t.entries[2] = t.entries[1]; }},
      {"no lead-out", [](CDTableOfContents& t) { t.entries[2].trackNumber = 3; }},
      {"beyond 100 min", [](CDTableOfContents& t) { t.entries[2].address[0] = 1; }},
  };
  std::string reason;
  ASSERT_TRUE(ValidToc(good, reason)) << reason;
  for (const auto& c : cases) {
    CDTableOfContents bad = good;
    c.damage(bad);
    EXPECT_FALSE(ValidToc(bad, reason)) << c.name;
  }
}

}  // namespace
}  // namespace cdgrab
