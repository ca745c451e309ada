// TagLib writes ID3v1 + ID3v2.4 to an MPEG file and a Xiph comment to an Ogg
// Vorbis file, and reads them back; the audio stays intact around the tags.
#include <windows.h>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include "ToneFiles.h"

#include <gtest/gtest.h>

#include <cstdio>

using deps_test::TempFile;

namespace {

const size_t kFrameLength = deps_test::kSilentMpegFrameLength;

size_t SyncSafe(const unsigned char* p) {
  return (p[0] & 0x7F) << 21 | (p[1] & 0x7F) << 14 | (p[2] & 0x7F) << 7 | (p[3] & 0x7F);
}

}  // namespace

TEST(TagLib, MpegGetsId3v1AndId3v24) {
  TempFile mp3(L".mp3");
  const int kFrames = 20;
  ASSERT_TRUE(deps_test::WriteSilentMpeg(mp3.path(), kFrames));
  const TagLib::String title(L"Gr\u00f6\u00dfe \u6771\u4eac");  // not Latin-1 throughout
  {
    TagLib::MPEG::File file(mp3.c_str(), false);
    ASSERT_TRUE(file.isValid());
    for (TagLib::Tag* tag : {static_cast<TagLib::Tag*>(file.ID3v2Tag(true)),
                             static_cast<TagLib::Tag*>(file.ID3v1Tag(true))}) {
      tag->setTitle(title);
      tag->setArtist("Artist");
      tag->setAlbum("Album");
      tag->setYear(1999);
      tag->setTrack(7);
      tag->setGenre("Rock");
      tag->setComment("note");
    }
    ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2,
                          TagLib::File::StripOthers, TagLib::ID3v2::v4));
  }
  {
    TagLib::MPEG::File file(mp3.c_str(), false);
    ASSERT_TRUE(file.hasID3v2Tag());
    ASSERT_TRUE(file.hasID3v1Tag());
    TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
    EXPECT_EQ(v2->header()->majorVersion(), 4u);
    EXPECT_EQ(v2->title(), title);
    EXPECT_EQ(v2->artist(), "Artist");
    EXPECT_EQ(v2->album(), "Album");
    EXPECT_EQ(v2->year(), 1999u);
    EXPECT_EQ(v2->track(), 7u);
    EXPECT_EQ(v2->genre(), "Rock");
    EXPECT_EQ(v2->comment(), "note");
    TagLib::ID3v1::Tag* v1 = file.ID3v1Tag();
    EXPECT_EQ(v1->artist(), "Artist");
    EXPECT_EQ(v1->year(), 1999u);
    EXPECT_EQ(v1->track(), 7u);
    EXPECT_EQ(v1->genre(), "Rock");
  }
  // On disk: the ID3v2 header, then the untouched frames, then the 128-byte TAG.
  std::vector<unsigned char> data = deps_test::ReadAll(mp3.path());
  ASSERT_GT(data.size(), 10u + kFrames * kFrameLength + 128);
  EXPECT_EQ(std::string(data.begin(), data.begin() + 3), "ID3");
  EXPECT_EQ(data[3], 4);
  const size_t audio = 10 + SyncSafe(&data[6]);
  ASSERT_EQ(data.size(), audio + kFrames * kFrameLength + 128);
  EXPECT_EQ(data[audio], 0xFF);
  EXPECT_EQ(data[audio + 1], 0xFB);
  EXPECT_EQ(std::string(data.end() - 128, data.end() - 125), "TAG");
}

TEST(TagLib, OggGetsXiphCommentAndStillDecodes) {
  TempFile ogg(L".ogg");
  const size_t kFrames = 44100;
  ASSERT_TRUE(
      deps_test::WriteOggVorbis(ogg.path(), deps_test::StereoTone(kFrames, 440, 8000), 0.3f));
  {
    TagLib::Ogg::Vorbis::File file(ogg.c_str(), false);
    ASSERT_TRUE(file.isValid());
    TagLib::Ogg::XiphComment* xiph = file.tag();
    ASSERT_NE(xiph, nullptr);
    xiph->setTitle(TagLib::String(L"T\u00eftel"));
    xiph->addField("ARTIST", "First", true);
    xiph->addField("ARTIST", "Second", true);  // replace: one value left
    xiph->addField("PERFORMER", "A", true);
    xiph->addField("PERFORMER", "B", false);  // no replace: both kept
    ASSERT_TRUE(file.save());
  }
  {
    TagLib::Ogg::Vorbis::File file(ogg.c_str(), false);
    const TagLib::Ogg::FieldListMap& fields = file.tag()->fieldListMap();
    EXPECT_EQ(file.tag()->title(), TagLib::String(L"T\u00eftel"));
    ASSERT_TRUE(fields.contains("ARTIST"));
    EXPECT_EQ(fields["ARTIST"].toString("|"), "Second");
    EXPECT_EQ(fields["PERFORMER"].toString("|"), "A|B");
  }
  EXPECT_EQ(deps_test::OggFrameCount(ogg.path()), static_cast<long long>(kFrames));
}
