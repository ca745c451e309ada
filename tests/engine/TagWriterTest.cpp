// Tags written into small real MP3 and Ogg Vorbis files and read back through TagLib:
// which fields appear for a full record and for the placeholder, the numbering against
// the disc's table of contents, the year range, the TXXX user frames, and what happens
// to files TagLib cannot open.
#include <windows.h>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/CDDrive.h"
#include "engine/OutputNaming.h"
#include "engine/SampleUtils.h"
#include "engine/TagWriter.h"
#include "framework/core/Exceptions.h"
#include "tests/deps/ToneFiles.h"
#include "tests/engine/FullVolume.h"

#include <gtest/gtest.h>

using deps_test::TempFile;

namespace {

const wchar_t kArtist[] = L"Gr\u00f6\u00dfe \u6771\u4eac";  // partly outside the ANSI code page
const int kMpegFrames = 12;

// Track 3 of a disc numbered 2 to 13: twelve tracks, so the count is last - first + 1.
class TagWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_cddbRecord = CCDDBRecord();
    g_cddbRecord.m_artist = kArtist;
    g_cddbRecord.m_title = L"Album";
    for (int i = 1; i <= 12; ++i) {
      CString title;
      title.Format(L"Song %d", i);
      g_cddbRecord.m_trackTitles.Add(title);
    }
    g_cddbRecord.m_genre = L"Rock";
    g_cddbRecord.m_year = 1999;
    g_cddbRecord.m_discId = 0x11111111;  // tags carry the id of the table, not this
    g_bPlaceholderRecord = FALSE;
    memset(&g_toc, 0, sizeof(g_toc));
    g_toc.firstTrack = 2;
    g_toc.lastTrack = 13;
    g_dwDiscId = 0x0a0b0c0d;
  }
  void TearDown() override {
    g_cddbRecord = CCDDBRecord();
    g_bPlaceholderRecord = FALSE;
  }

  // A tagged silent MP3 for track index 2.
  void TagMp3(const TempFile& mp3) {
    ASSERT_TRUE(deps_test::WriteSilentMpeg(mp3.path(), kMpegFrames));
    ASSERT_TRUE(WriteMp3Tags(mp3.c_str(), 2));
  }
  void TagOgg(const TempFile& ogg, size_t frames = 4410) {
    ASSERT_TRUE(
        deps_test::WriteOggVorbis(ogg.path(), deps_test::StereoTone(frames, 440, 8000), 0.3f));
    ASSERT_TRUE(WriteOggTags(ogg.c_str(), 2));
  }
};

std::string Narrow(const TagLib::String& s) { return s.to8Bit(true); }

// "TXXX" description -> text, and every frame id in tag order.
std::vector<std::string> FrameIds(const TagLib::ID3v2::Tag* tag) {
  std::vector<std::string> ids;
  for (const TagLib::ID3v2::Frame* frame : tag->frameList())
    ids.push_back(std::string(frame->frameID().data(), frame->frameID().size()));
  return ids;
}

std::string Text(const TagLib::ID3v2::Tag* tag, const char* id) {
  const TagLib::ID3v2::FrameList& frames = tag->frameList(id);
  return frames.isEmpty() ? std::string("<none>") : Narrow(frames.front()->toString());
}

std::string UserText(TagLib::ID3v2::Tag* tag, const char* description) {
  auto* frame = TagLib::ID3v2::UserTextIdentificationFrame::find(tag, description);
  if (!frame) return "<none>";
  const TagLib::StringList fields = frame->fieldList();
  return fields.size() > 1 ? Narrow(fields[1]) : std::string();
}

std::string Field(const TagLib::Ogg::XiphComment* xiph, const char* name) {
  const TagLib::Ogg::FieldListMap& fields = xiph->fieldListMap();
  return fields.contains(name) ? Narrow(fields[name].toString("|")) : std::string("<none>");
}

const std::string kCredit = "Corvane\r\nhttps://corvane.example/";

}  // namespace

TEST_F(TagWriterTest, Mp3GetsId3v1AndId3v24FromTheRecord) {
  TempFile mp3(L".mp3");
  TagMp3(mp3);

  TagLib::MPEG::File file(mp3.c_str(), false);
  ASSERT_TRUE(file.hasID3v1Tag());
  ASSERT_TRUE(file.hasID3v2Tag());
  TagLib::ID3v1::Tag* v1 = file.ID3v1Tag();
  EXPECT_EQ(v1->track(), 3u);
  EXPECT_EQ(Narrow(v1->album()), "Album");
  EXPECT_EQ(Narrow(v1->title()), "Song 3");
  EXPECT_EQ(Narrow(v1->genre()), "Rock");
  EXPECT_EQ(v1->year(), 1999u);
  // ID3v1 holds the ANSI bytes of the artist: the code page's replacement characters.
  std::unique_ptr<char[]> ansi(WideToAnsiAlloc(kArtist));
  EXPECT_EQ(v1->artist(), TagLib::String(ansi.get(), TagLib::String::Latin1));
  EXPECT_NE(v1->artist(), TagLib::String(kArtist));

  TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
  EXPECT_EQ(v2->header()->majorVersion(), 4u);
  EXPECT_EQ(FrameIds(v2), (std::vector<std::string>{"TRCK", "TXXX", "TENC", "TALB", "TPE1", "TCON",
                                                    "TIT2", "TDRC"}));
  EXPECT_EQ(Text(v2, "TRCK"), "3/12");
  EXPECT_EQ(UserText(v2, "DISCID"), "0a0b0c0d");
  EXPECT_EQ(Text(v2, "TENC"), kCredit);
  EXPECT_EQ(Text(v2, "TALB"), "Album");
  EXPECT_EQ(v2->artist(), TagLib::String(kArtist));  // the full text
  EXPECT_EQ(Text(v2, "TCON"), "Rock");
  EXPECT_EQ(Text(v2, "TIT2"), "Song 3");
  EXPECT_EQ(Text(v2, "TDRC"), "1999");

  // The audio frames follow the ID3v2 tag untouched, and the 128-byte TAG ends the file.
  std::vector<unsigned char> data = deps_test::ReadAll(mp3.path());
  const size_t audio = data.size() - 128 - kMpegFrames * deps_test::kSilentMpegFrameLength;
  EXPECT_EQ(data[audio], 0xFF);
  EXPECT_EQ(data[audio + 1], 0xFB);
  EXPECT_EQ(std::string(data.end() - 128, data.end() - 125), "TAG");
}

TEST_F(TagWriterTest, OggGetsVorbisCommentsAndStillDecodes) {
  TempFile ogg(L".ogg");
  TagOgg(ogg, 22050);

  TagLib::Ogg::Vorbis::File file(ogg.c_str(), false);
  const TagLib::Ogg::XiphComment* xiph = file.tag();
  ASSERT_NE(xiph, nullptr);
  EXPECT_EQ(Field(xiph, "TRACKNUMBER"), "3");
  EXPECT_EQ(Field(xiph, "TOTALTRACKS"), "12");
  EXPECT_EQ(Field(xiph, "DISCID"), "0a0b0c0d");
  EXPECT_EQ(Field(xiph, "ENCODED BY"), kCredit);
  EXPECT_EQ(xiph->fieldListMap()["ARTIST"].toString(), TagLib::String(kArtist));
  EXPECT_EQ(Field(xiph, "TITLE"), "Song 3");
  EXPECT_EQ(Field(xiph, "ALBUM"), "Album");
  EXPECT_EQ(Field(xiph, "GENRE"), "Rock");
  EXPECT_EQ(Field(xiph, "DATE"), "1999");
  EXPECT_EQ(xiph->fieldCount(), 9u);
  EXPECT_EQ(deps_test::OggFrameCount(ogg.path()), 22050);
}

// Tagging a file twice (a retagged file, or tags already there) leaves one value per
// field: every field replaces.
TEST_F(TagWriterTest, RetaggingReplacesEveryField) {
  TempFile mp3(L".mp3");
  TagMp3(mp3);
  g_cddbRecord.m_artist = L"Second";
  g_dwDiscId = 0x12345678;
  ASSERT_TRUE(WriteMp3Tags(mp3.c_str(), 2));
  {
    TagLib::MPEG::File file(mp3.c_str(), false);
    TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
    EXPECT_EQ(FrameIds(v2).size(), 8u);
    EXPECT_EQ(Text(v2, "TPE1"), "Second");
    EXPECT_EQ(UserText(v2, "DISCID"), "12345678");
    EXPECT_EQ(Narrow(file.ID3v1Tag()->artist()), "Second");
  }

  TempFile ogg(L".ogg");
  g_cddbRecord.m_artist = kArtist;
  TagOgg(ogg);
  g_cddbRecord.m_artist = L"Second";
  ASSERT_TRUE(WriteOggTags(ogg.c_str(), 2));
  TagLib::Ogg::Vorbis::File file(ogg.c_str(), false);
  EXPECT_EQ(Field(file.tag(), "ARTIST"), "Second");
  EXPECT_EQ(Field(file.tag(), "DISCID"), "12345678");
  EXPECT_EQ(file.tag()->fieldCount(), 9u);
}

// The placeholder's made-up texts never reach the tags: numbering, disc id, credit only.
TEST_F(TagWriterTest, PlaceholderRecordWritesOnlyNumberingDiscIdAndCredit) {
  g_cddbRecord.m_artist = L"Unknown Artist 0a0b0c0d";
  g_cddbRecord.m_title = L"Unknown Album 0a0b0c0d";
  g_cddbRecord.m_genre = L"Unknown Genre 0a0b0c0d";
  g_cddbRecord.m_trackTitles.SetAt(2, L"Track03");
  g_bPlaceholderRecord = TRUE;

  TempFile mp3(L".mp3");
  TagMp3(mp3);
  {
    TagLib::MPEG::File file(mp3.c_str(), false);
    TagLib::ID3v1::Tag* v1 = file.ID3v1Tag();
    EXPECT_EQ(v1->track(), 3u);
    EXPECT_TRUE(v1->artist().isEmpty() && v1->album().isEmpty() && v1->title().isEmpty() &&
                v1->genre().isEmpty());
    EXPECT_EQ(v1->year(), 0u);
    TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
    EXPECT_EQ(FrameIds(v2), (std::vector<std::string>{"TRCK", "TXXX", "TENC"}));
    EXPECT_EQ(Text(v2, "TRCK"), "3/12");
    EXPECT_EQ(UserText(v2, "DISCID"), "0a0b0c0d");
  }

  TempFile ogg(L".ogg");
  TagOgg(ogg);
  TagLib::Ogg::Vorbis::File file(ogg.c_str(), false);
  const TagLib::Ogg::FieldListMap& fields = file.tag()->fieldListMap();
  std::vector<std::string> names;
  for (const auto& field : fields) names.push_back(Narrow(field.first));
  EXPECT_EQ(names,
            (std::vector<std::string>{"DISCID", "ENCODED BY", "TOTALTRACKS", "TRACKNUMBER"}));
}

// Empty texts and years outside 1 to 9998 are left out of all three tag kinds.
TEST_F(TagWriterTest, EmptyTextsAndOutOfRangeYearsAreSkipped) {
  struct Case {
    int year;
    const wchar_t* genre;
    bool yearWritten;
  };
  const Case cases[] = {{0, L"", false},
                        {9999, L"Rock", false},
                        {-5, L"Rock", false},
                        {1, L"", true},
                        {9998, L"Rock", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "year " << c.year);
    g_cddbRecord.m_year = c.year;
    g_cddbRecord.m_genre = c.genre;
    g_cddbRecord.m_title.Empty();
    const bool genre = c.genre[0] != 0;

    TempFile mp3(L".mp3");
    TagMp3(mp3);
    {
      TagLib::MPEG::File file(mp3.c_str(), false);
      EXPECT_EQ(file.ID3v1Tag()->year(), c.yearWritten ? static_cast<unsigned>(c.year) : 0u);
      EXPECT_EQ(Narrow(file.ID3v1Tag()->genre()), genre ? "Rock" : "");
      EXPECT_TRUE(file.ID3v1Tag()->album().isEmpty());
      TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
      EXPECT_EQ(v2->frameList("TCON").isEmpty(), !genre);
      EXPECT_TRUE(v2->frameList("TALB").isEmpty());
      EXPECT_EQ(Text(v2, "TDRC"), c.yearWritten ? std::to_string(c.year) : "<none>");
    }

    TempFile ogg(L".ogg");
    TagOgg(ogg);
    TagLib::Ogg::Vorbis::File file(ogg.c_str(), false);
    EXPECT_EQ(Field(file.tag(), "DATE"), c.yearWritten ? std::to_string(c.year) : "<none>");
    EXPECT_EQ(Field(file.tag(), "GENRE"), genre ? "Rock" : "<none>");
    EXPECT_EQ(Field(file.tag(), "ALBUM"), "<none>");
  }
}

TEST(SetUserTextFrame, ReplacesByDescriptionAndLeavesOthersAlone) {
  TagLib::ID3v2::Tag tag;
  auto* other = new TagLib::ID3v2::UserTextIdentificationFrame("OTHER", TagLib::StringList("keep"));
  tag.addFrame(other);
  auto* disc = new TagLib::ID3v2::UserTextIdentificationFrame("DISCID", TagLib::StringList("old"));
  tag.addFrame(disc);

  setUserTextFrame(&tag, "DISCID", "0a0b0c0d");
  EXPECT_EQ(tag.frameList("TXXX").size(), 2u);
  EXPECT_EQ(UserText(&tag, "DISCID"), "0a0b0c0d");
  EXPECT_EQ(UserText(&tag, "OTHER"), "keep");

  // A new description adds a frame; an empty value removes only its own frame.
  setUserTextFrame(&tag, "NEW", "x");
  EXPECT_EQ(tag.frameList("TXXX").size(), 3u);
  setUserTextFrame(&tag, "DISCID", "");
  EXPECT_EQ(UserText(&tag, "DISCID"), "<none>");
  EXPECT_EQ(UserText(&tag, "OTHER"), "keep");
  EXPECT_EQ(UserText(&tag, "NEW"), "x");
  // Removing what is not there changes nothing.
  setUserTextFrame(&tag, "ABSENT", "");
  EXPECT_EQ(tag.frameList("TXXX").size(), 2u);
}

// A file TagLib cannot open or save is reported, and left byte for byte as it was.
TEST_F(TagWriterTest, UnopenableFilesFailAndStayUnchanged) {
  TempFile missing(L".mp3");
  EXPECT_FALSE(WriteMp3Tags(missing.c_str(), 2));
  EXPECT_FALSE(WriteOggTags(missing.c_str(), 2));
  EXPECT_EQ(GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES);

  TempFile mp3(L".mp3"), ogg(L".ogg");
  ASSERT_TRUE(deps_test::WriteSilentMpeg(mp3.path(), kMpegFrames));
  ASSERT_TRUE(deps_test::WriteOggVorbis(ogg.path(), deps_test::StereoTone(4410, 440, 8000), 0.3f));
  for (const TempFile* file : {&mp3, &ogg}) {
    const std::vector<unsigned char> before = deps_test::ReadAll(file->path());
    const bool isMp3 = file == &mp3;
    auto tag = [&] {
      return isMp3 ? WriteMp3Tags(file->c_str(), 2) : WriteOggTags(file->c_str(), 2);
    };
    // Held open by someone else without sharing (a player, a scanner).
    HANDLE held = CreateFileW(file->c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(tag());
    CloseHandle(held);
    EXPECT_EQ(deps_test::ReadAll(file->path()), before);
  }
  // An Ogg file that is no Vorbis stream.
  TempFile text(L".ogg");
  FILE* f = _wfopen(text.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  fputs("not an ogg stream\n", f);
  fclose(f);
  EXPECT_FALSE(WriteOggTags(text.c_str(), 2));
  EXPECT_EQ(deps_test::ReadAll(text.path()).size(), 18u);
}

// A track of the disc the record has no title for is tagged with the title the track
// list shows for it.
TEST_F(TagWriterTest, TracksBeyondTheTitlesGetTheirListTitles) {
  g_cddbRecord.m_trackTitles.RemoveAll();
  g_cddbRecord.m_trackTitles.Add(L"Song 1");
  TempFile mp3(L".mp3"), ogg(L".ogg");
  TagMp3(mp3);
  TagOgg(ogg);
  TagLib::MPEG::File mpeg(mp3.c_str(), false);
  EXPECT_EQ(Text(mpeg.ID3v2Tag(), "TIT2"), "Track03");
  EXPECT_EQ(Narrow(mpeg.ID3v1Tag()->title()), "Track03");
  TagLib::Ogg::Vorbis::File vorbis(ogg.c_str(), false);
  EXPECT_EQ(Field(vorbis.tag(), "TITLE"), "Track03");
}

// A job track beyond the record's titles and the disc's tracks is a framework error,
// raised before the file is touched.
TEST_F(TagWriterTest, TrackIndexOutsideTheTitlesThrowsBeforeTouchingTheFile) {
  TempFile mp3(L".mp3"), ogg(L".ogg");
  ASSERT_TRUE(deps_test::WriteSilentMpeg(mp3.path(), kMpegFrames));
  ASSERT_TRUE(deps_test::WriteOggVorbis(ogg.path(), deps_test::StereoTone(4410, 440, 8000), 0.3f));
  const std::vector<unsigned char> mp3Before = deps_test::ReadAll(mp3.path());
  const std::vector<unsigned char> oggBefore = deps_test::ReadAll(ogg.path());
  for (int index : {12, -1}) {
    for (bool isMp3 : {true, false}) {
      bool thrown = false;
      try {
        isMp3 ? WriteMp3Tags(mp3.c_str(), index) : WriteOggTags(ogg.c_str(), index);
      } catch (CException* e) {
        thrown = dynamic_cast<CInvalidArgException*>(e) != nullptr;
        e->Delete();
      }
      EXPECT_TRUE(thrown) << index << (isMp3 ? " mp3" : " ogg");
    }
  }
  EXPECT_EQ(deps_test::ReadAll(mp3.path()), mp3Before);
  EXPECT_EQ(deps_test::ReadAll(ogg.path()), oggBefore);
}

// On a volume with no room for the tags, tagging fails and the finished file stays byte for
// byte as it was, also where the audio has room to spare in its last block (a record too
// long for that); once there is room, the same call tags it and the audio is still whole.
TEST_F(TagWriterTest, VolumeWithoutRoomForTheTagsLeavesTheFileAsItWas) {
  const std::wstring volume = SmallVolume(TAG_TEST_FULL);
  if (volume.empty()) GTEST_SKIP() << "no small file system mounted at " << TAG_TEST_FULL;
  g_cddbRecord.m_artist = CString(L'a', 6000);
  g_cddbRecord.m_title = CString(L'b', 6000);
  const std::wstring mp3 = volume + L"\\track.mp3", ogg = volume + L"\\track.ogg";
  for (const std::wstring& path : {mp3, ogg}) {
    SCOPED_TRACE(std::string(path.end() - 3, path.end()));
    const bool isMp3 = path == mp3;
    DeleteFileW(path.c_str());
    ASSERT_TRUE(
        isMp3 ? deps_test::WriteSilentMpeg(path, kMpegFrames)
              : deps_test::WriteOggVorbis(path, deps_test::StereoTone(4410, 440, 8000), 0.3f));
    auto tag = [&] {
      return isMp3 ? WriteMp3Tags(path.c_str(), 2) : WriteOggTags(path.c_str(), 2);
    };
    const std::vector<unsigned char> before = deps_test::ReadAll(path);
    {
      VolumeFiller filler(volume);
      ASSERT_TRUE(filler.full());
      EXPECT_FALSE(tag());
      EXPECT_EQ(deps_test::ReadAll(path), before);
      EXPECT_FALSE(std::filesystem::exists(path + L".tagging"));
    }
    ASSERT_TRUE(tag());
    if (isMp3) {
      TagLib::MPEG::File file(path.c_str(), false);
      ASSERT_TRUE(file.hasID3v2Tag());
      EXPECT_TRUE(file.hasID3v1Tag());
      EXPECT_EQ(file.ID3v2Tag()->artist().size(), 6000u);
      const std::vector<unsigned char> data = deps_test::ReadAll(path);
      const std::vector<unsigned char> audio(data.end() - 128 - (before.size()), data.end() - 128);
      EXPECT_EQ(audio, before);
    } else {
      TagLib::Ogg::Vorbis::File file(path.c_str(), false);
      ASSERT_TRUE(file.isValid());
      EXPECT_EQ(Field(file.tag(), "ARTIST").size(), 6000u);
      EXPECT_EQ(deps_test::OggFrameCount(path), 4410);
    }
    DeleteFileW(path.c_str());
  }
}
