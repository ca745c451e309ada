// The disc record and its cache file: exact bytes, round trips, 8-bit strings,
// short and hostile files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "discinfo/CDDBRecord.h"
#include "framework/core/Archive.h"
#include "framework/core/Collections.h"
#include "framework/core/Exceptions.h"
#include "framework/core/File.h"
#include "tests/discinfo/CacheLayouts.h"

namespace {

using namespace cache_layout;

// A scratch file in the temp folder, removed at the end of the test.
class ScratchFile {
 public:
  ScratchFile() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    static int s_counter = 0;
    m_path.Format(L"%scddbrec_%lu_%d.cddb", folder, GetCurrentProcessId(), ++s_counter);
  }
  ~ScratchFile() { DeleteFileW(m_path); }
  const CString& Path() const { return m_path; }

 private:
  CString m_path;
};

Bytes Store(const CCDDBRecord& record) {
  ScratchFile scratch;
  {
    CFile file(scratch.Path(), CFile::modeCreate | CFile::modeWrite);
    CArchive ar(&file, CArchive::store);
    const_cast<CCDDBRecord&>(record).Serialize(ar);
    ar.Close();
    file.Close();
  }
  CFile file(scratch.Path(), CFile::modeRead);
  Bytes bytes(static_cast<size_t>(file.GetLength()));
  if (!bytes.empty()) file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
  return bytes;
}

// Loads bytes from a real file; a CException thrown by Serialize is passed on.
void LoadFromFile(const Bytes& bytes, CCDDBRecord& record) {
  ScratchFile scratch;
  {
    CFile file(scratch.Path(), CFile::modeCreate | CFile::modeWrite);
    if (!bytes.empty()) file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
  }
  CFile file(scratch.Path(), CFile::modeRead);
  CArchive ar(&file, CArchive::load);
  record.Serialize(ar);
}

// The archive exception's cause, or -1 when the load went through; anything but a
// CArchiveException fails the test.
int LoadCause(const Bytes& bytes, CCDDBRecord& record) {
  try {
    LoadFromFile(bytes, record);
  } catch (CException* e) {
    const bool archive = e->IsKindOf(RUNTIME_CLASS(CArchiveException));
    const int cause = archive ? static_cast<CArchiveException*>(e)->m_cause : -2;
    e->Delete();
    EXPECT_TRUE(archive) << "not an archive exception";
    return cause;
  }
  return -1;
}

void ExpectEqual(const CCDDBRecord& a, const CCDDBRecord& b) {
  auto sameInts = [](const CArray<int, int>& x, const CArray<int, int>& y) {
    return std::equal(x.begin(), x.end(), y.begin(), y.end());
  };
  auto sameStrings = [](const CStringArray& x, const CStringArray& y) {
    return std::equal(x.begin(), x.end(), y.begin(), y.end());
  };
  EXPECT_TRUE(sameInts(a.m_trackFrameOffsets, b.m_trackFrameOffsets));
  EXPECT_EQ(a.m_discLengthSeconds, b.m_discLengthSeconds);
  EXPECT_EQ(a.m_revision, b.m_revision);
  EXPECT_EQ(a.m_submittedViaClient, b.m_submittedViaClient);
  EXPECT_EQ(a.m_submittedViaVersion, b.m_submittedViaVersion);
  EXPECT_EQ(a.m_submittedViaComment, b.m_submittedViaComment);
  EXPECT_EQ(a.m_discId, b.m_discId);
  EXPECT_EQ(a.m_artist, b.m_artist);
  EXPECT_EQ(a.m_title, b.m_title);
  EXPECT_TRUE(sameStrings(a.m_trackTitles, b.m_trackTitles));
  EXPECT_EQ(a.m_discExtData, b.m_discExtData);
  EXPECT_TRUE(sameStrings(a.m_trackExtData, b.m_trackExtData));
  EXPECT_TRUE(sameInts(a.m_playOrder, b.m_playOrder));
  EXPECT_EQ(a.m_year, b.m_year);
  EXPECT_EQ(a.m_genre, b.m_genre);
}

// Every field set, titles in several scripts (a surrogate pair included).
CCDDBRecord FullRecord() {
  CCDDBRecord r;
  const wchar_t* titles[] = {L"Overture",
                             L"\u6771\u4eac\u306e\u591c",
                             L"\u041f\u0435\u0441\u043d\u044f",
                             L"\u039f\u03b4\u03cd\u03c3\u03c3\u03b5\u03b9\u03b1",
                             L"\u0645\u0648\u0633\u064a\u0642\u0649",
                             L"Emoji \U0001F3B5 track",
                             L""};
  int frames = 150;
  for (const wchar_t* title : titles) {
    r.m_trackFrameOffsets.Add(frames);
    frames += 17000;
    r.m_trackTitles.Add(CString(title));
    CString ext;
    ext.Format(L"ext %d \u00e9", static_cast<int>(r.m_trackExtData.GetSize()));
    r.m_trackExtData.Add(ext);
  }
  r.m_discLengthSeconds = 1598;
  r.m_revision = 3;
  r.m_submittedViaClient = L"Corvane";
  r.m_submittedViaVersion = L"1.0";
  r.m_submittedViaComment = L"beta";
  r.m_discId = 0xC50BCC1D;
  r.m_artist = L"\u5742\u672c \u9f8d\u4e00";
  r.m_title = L"\u00c9t\u00e9 \u00e0 Paris";
  r.m_discExtData = L"YEAR: 1987\nline two";
  r.m_playOrder.Add(3);
  r.m_playOrder.Add(1);
  r.m_playOrder.Add(-2);
  r.m_year = 1987;
  r.m_genre = L"\u30b8\u30e3\u30ba";
  return r;
}

TEST(CDDBRecord, RuntimeClassAndDefaults) {
  CRuntimeClass* pClass = CRuntimeClass::FromName("CCDDBRecord");
  ASSERT_NE(pClass, nullptr);
  EXPECT_EQ(pClass, RUNTIME_CLASS(CCDDBRecord));
  EXPECT_STREQ(pClass->m_lpszClassName, "CCDDBRecord");
  EXPECT_EQ(pClass->m_wSchema, 1u);

  CObject* pObject = CRuntimeClass::CreateObject(L"CCDDBRecord");
  ASSERT_NE(pObject, nullptr);
  EXPECT_TRUE(pObject->IsKindOf(RUNTIME_CLASS(CCDDBRecord)));
  EXPECT_TRUE(pObject->IsKindOf(RUNTIME_CLASS(CObject)));
  ExpectEqual(*static_cast<CCDDBRecord*>(pObject), CCDDBRecord());
  delete pObject;
}

TEST(CDDBRecordLayout, DefaultRecordIs52Bytes) {
  const Bytes bytes = Store(CCDDBRecord());
  EXPECT_EQ(bytes.size(), 52u);
  EXPECT_EQ(bytes, kDefaultRecord);
}

TEST(CDDBRecordLayout, StringLengths) {
  struct Case {
    std::wstring text;
    Bytes head;  // tag and length
  };
  const Case cases[] = {
      {L"", {0xFF, 0xFE, 0xFF, 0x00}},
      {L"abc", {0xFF, 0xFE, 0xFF, 0x03}},
      {L"\u0416\u4e2d", {0xFF, 0xFE, 0xFF, 0x02}},
      {std::wstring(254, L'x'), {0xFF, 0xFE, 0xFF, 0xFE}},
      {std::wstring(255, L'x'), {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}},
      {std::wstring(0xFFFD, L'x'), {0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF}},
      {std::wstring(0xFFFE, L'x'), {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "length " << c.text.size());
    CCDDBRecord record;
    record.m_artist = c.text.c_str();
    const Bytes bytes = Store(record);

    Fields fields;
    fields.artist = TaggedString(c.text);
    ASSERT_EQ(bytes, Encode(fields));
    EXPECT_TRUE(std::equal(c.head.begin(), c.head.end(), bytes.begin() + kArtistOffset));
    EXPECT_EQ(bytes.size(), 52 - 4 + c.head.size() + 2 * c.text.size());

    CCDDBRecord back;
    LoadFromFile(bytes, back);
    EXPECT_EQ(back.m_artist, record.m_artist);
  }
  // The documented example, spelled out.
  CCDDBRecord abc;
  abc.m_artist = L"abc";
  const Bytes bytes = Store(abc);
  const Bytes expected = {0xFF, 0xFE, 0xFF, 0x03, 0x61, 0x00, 0x62, 0x00, 0x63, 0x00};
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + kArtistOffset));
}

TEST(CDDBRecordLayout, ArrayCounts) {
  struct Case {
    int titles;
    Bytes count;
  };
  const Case cases[] = {
      {99, {0x63, 0x00}},
      {0xFFFE, {0xFE, 0xFF}},
      {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
      {70000, {0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.titles << " titles");
    CCDDBRecord record;
    record.m_trackTitles.SetSize(c.titles);
    const Bytes bytes = Store(record);
    EXPECT_TRUE(
        std::equal(c.count.begin(), c.count.end(), bytes.begin() + kTrackTitlesCountOffset));
    EXPECT_EQ(bytes.size(), 52 - 2 + c.count.size() + 4u * c.titles);

    CCDDBRecord back;
    LoadFromFile(bytes, back);
    EXPECT_EQ(back.m_trackTitles.GetSize(), c.titles);
  }

  // i32 arrays: the count, then each element as 4 bytes.
  CCDDBRecord record;
  record.m_trackFrameOffsets.Add(150);
  record.m_trackFrameOffsets.Add(15150);
  record.m_playOrder.Add(-1);
  Fields fields;
  fields.frameOffsets = {150, 15150};
  fields.playOrder = {-1};
  const Bytes bytes = Store(record);
  EXPECT_EQ(bytes, Encode(fields));
  const Bytes offsets = {0x02, 0x00, 0x96, 0x00, 0x00, 0x00, 0x2E, 0x3B, 0x00, 0x00};
  EXPECT_TRUE(std::equal(offsets.begin(), offsets.end(), bytes.begin() + kFrameOffsetsCountOffset));
}

TEST(CDDBRecordLayout, FullRecordInFileOrder) {
  const CCDDBRecord record = FullRecord();
  Fields f;
  f.discLengthSeconds = record.m_discLengthSeconds;
  f.revision = record.m_revision;
  f.client = TaggedString(record.m_submittedViaClient.str());
  f.version = TaggedString(record.m_submittedViaVersion.str());
  f.comment = TaggedString(record.m_submittedViaComment.str());
  f.discId = record.m_discId;
  f.artist = TaggedString(record.m_artist.str());
  f.title = TaggedString(record.m_title.str());
  f.year = record.m_year;
  f.genre = TaggedString(record.m_genre.str());
  f.discExtData = TaggedString(record.m_discExtData.str());
  for (int v : record.m_trackFrameOffsets) f.frameOffsets.push_back(v);
  for (const CString& s : record.m_trackTitles) f.trackTitles.push_back(TaggedString(s.str()));
  for (const CString& s : record.m_trackExtData) f.trackExtData.push_back(TaggedString(s.str()));
  for (int v : record.m_playOrder) f.playOrder.push_back(v);
  EXPECT_EQ(Store(record), Encode(f));
}

TEST(CDDBRecord, RoundTripKeepsEveryField) {
  const CCDDBRecord record = FullRecord();
  const Bytes bytes = Store(record);

  CCDDBRecord fresh;
  LoadFromFile(bytes, fresh);
  ExpectEqual(fresh, record);

  // Loading over a record with longer arrays replaces them, never appends.
  CCDDBRecord used = FullRecord();
  for (int i = 0; i < 40; ++i) {
    used.m_trackTitles.Add(CString(L"old"));
    used.m_playOrder.Add(i);
  }
  LoadFromFile(bytes, used);
  ExpectEqual(used, record);
  EXPECT_EQ(Store(used), bytes);
}

TEST(CDDBRecord, AssignmentIsAFullCopy) {
  const CCDDBRecord source = FullRecord();
  CCDDBRecord target;
  for (int i = 0; i < 120; ++i) target.m_trackTitles.Add(CString(L"stale"));
  target.m_playOrder.Add(9);
  target = source;
  ExpectEqual(target, source);

  // Independent afterwards.
  target.m_trackTitles[0] = L"changed";
  target.m_trackFrameOffsets[0] = 1;
  EXPECT_EQ(source.m_trackTitles[0], L"Overture");
  EXPECT_EQ(source.m_trackFrameOffsets[0], 150);

  target = target;  // self-assignment keeps the record
  EXPECT_EQ(target.m_trackTitles[0], L"changed");

  // Arrays of records and of matches grow by element assignment.
  CArray<CCDDBRecord, CCDDBRecord&> records;
  CCDDBRecord copy = source;
  for (int i = 0; i < 5; ++i) records.Add(copy);
  ExpectEqual(records[4], source);

  CArray<CCDDBQueryResult, CCDDBQueryResult&> matches;
  CCDDBQueryResult match;
  EXPECT_EQ(match.m_discId, 0u);
  EXPECT_TRUE(match.m_category.IsEmpty() && match.m_artist.IsEmpty() && match.m_title.IsEmpty());
  match.m_category = L"rock";
  match.m_discId = 0x06019002;
  match.m_artist = L"\u0410\u0440\u0442\u0438\u0441\u0442";
  match.m_title = L"Album";
  for (int i = 0; i < 3; ++i) matches.Add(match);
  const CCDDBQueryResult last = matches[2];
  EXPECT_EQ(last.m_category, L"rock");
  EXPECT_EQ(last.m_discId, 0x06019002u);
  EXPECT_EQ(last.m_artist, match.m_artist);
  EXPECT_EQ(last.m_title, L"Album");
}

TEST(CDDBRecord, EightBitStringsReadThroughAnsiCodePage) {
  // "Caf\xE9" and a 300-byte text (length FF + u16) stored untagged, as 8-bit text.
  const std::string cafe = "Caf\xE9";
  const std::string longText(300, '\xE8');
  Fields f;
  f.artist = NarrowString(cafe);
  f.title = NarrowString(longText);
  f.trackTitles = {NarrowString("One"), TaggedString(L"\u4e8c")};

  CCDDBRecord record;
  LoadFromFile(Encode(f), record);
  EXPECT_EQ(record.m_artist, AfxMultiByteToWide(cafe.c_str(), -1, CP_ACP));
  EXPECT_EQ(record.m_title, AfxMultiByteToWide(longText.c_str(), -1, CP_ACP));
  EXPECT_EQ(record.m_title.GetLength(), 300);
  if (GetACP() == 1252) {
    EXPECT_EQ(record.m_artist, L"Caf\u00e9");
  }
  ASSERT_EQ(record.m_trackTitles.GetSize(), 2);
  EXPECT_EQ(record.m_trackTitles[0], L"One");
  EXPECT_EQ(record.m_trackTitles[1], L"\u4e8c");
}

TEST(CDDBRecord, TruncatedFileKeepsFieldsReadSoFar) {
  const CCDDBRecord written = FullRecord();
  const Bytes bytes = Store(written);

  // Cut inside the album title: everything before it is the file's, the rest old.
  Fields f;
  f.discLengthSeconds = written.m_discLengthSeconds;
  f.revision = written.m_revision;
  f.client = TaggedString(written.m_submittedViaClient.str());
  f.version = TaggedString(written.m_submittedViaVersion.str());
  f.comment = TaggedString(written.m_submittedViaComment.str());
  f.discId = written.m_discId;
  f.artist = TaggedString(written.m_artist.str());
  const size_t cut =
      4 + 4 + f.client.size() + f.version.size() + f.comment.size() + 4 + f.artist.size() + 5;
  ASSERT_LT(cut, bytes.size());

  CCDDBRecord record;
  record.m_year = 1234;
  record.m_genre = L"old genre";
  record.m_trackTitles.Add(CString(L"old title"));
  record.m_playOrder.Add(77);
  EXPECT_EQ(LoadCause(Bytes(bytes.begin(), bytes.begin() + cut), record),
            CArchiveException::endOfFile);
  EXPECT_EQ(record.m_discLengthSeconds, written.m_discLengthSeconds);
  EXPECT_EQ(record.m_revision, written.m_revision);
  EXPECT_EQ(record.m_submittedViaComment, written.m_submittedViaComment);
  EXPECT_EQ(record.m_discId, written.m_discId);
  EXPECT_EQ(record.m_artist, written.m_artist);
  EXPECT_EQ(record.m_year, 1234);
  EXPECT_EQ(record.m_genre, L"old genre");
  ASSERT_EQ(record.m_trackTitles.GetSize(), 1);
  EXPECT_EQ(record.m_trackTitles[0], L"old title");
  ASSERT_EQ(record.m_playOrder.GetSize(), 1);
  EXPECT_EQ(record.m_playOrder[0], 77);

  // An empty file fails on the first field and changes nothing.
  CCDDBRecord untouched = FullRecord();
  EXPECT_EQ(LoadCause(Bytes(), untouched), CArchiveException::endOfFile);
  ExpectEqual(untouched, written);
}

TEST(CDDBRecord, StoringIntoALoadingArchiveIsRefused) {
  ScratchFile scratch;
  {
    CFile file(scratch.Path(), CFile::modeCreate | CFile::modeWrite);
    file.Write(kDefaultRecord.data(), static_cast<UINT>(kDefaultRecord.size()));
  }
  CFile file(scratch.Path(), CFile::modeRead);
  CArchive ar(&file, CArchive::load);
  int cause = -1;
  try {
    ar << 5;
  } catch (CArchiveException* e) {
    cause = e->m_cause;
    e->Delete();
  }
  EXPECT_EQ(cause, CArchiveException::readOnly);
}

}  // namespace
