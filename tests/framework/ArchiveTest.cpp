#include <gtest/gtest.h>

#include <random>

#include "framework/core/Core.h"
#include "tests/framework/TestHelpers.h"

namespace {

using Bytes = std::vector<BYTE>;

// Stores through a fresh archive and returns the file's bytes.
Bytes Store(ScratchDir& dir, const std::function<void(CArchive&)>& write) {
  CString path = dir.File(L"store.bin");
  CFile file(path, CFile::modeCreate | CFile::modeWrite);
  {
    CArchive ar(&file, CArchive::store);
    write(ar);
    ar.Close();
  }
  file.Close();
  return ReadAllBytes(path);
}

// Loads the given bytes through a fresh archive.
void Load(ScratchDir& dir, const Bytes& bytes, const std::function<void(CArchive&)>& read) {
  CString path = dir.File(L"load.bin");
  WriteAllBytes(path, bytes);
  CFile file(path, CFile::modeRead);
  CArchive ar(&file, CArchive::load);
  read(ar);
}

Bytes Prefix(const Bytes& b, size_t n) {
  return Bytes(b.begin(), b.begin() + std::min(n, b.size()));
}

TEST(CArchiveStrings, WrittenTaggedWithEveryLengthForm) {
  ScratchDir dir;
  struct Case {
    int length;
    Bytes prefix;  // tag and length bytes
  } cases[] = {
      {0, {0xFF, 0xFE, 0xFF, 0x00}},
      {3, {0xFF, 0xFE, 0xFF, 0x03}},
      {254, {0xFF, 0xFE, 0xFF, 0xFE}},
      {255, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}},
      {0xFFFD, {0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF}},
      {0xFFFE, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
      {0x10000, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
  };
  for (const Case& c : cases) {
    CString text(L'\u00e9', c.length);
    Bytes bytes = Store(dir, [&](CArchive& ar) { ar << text; });
    EXPECT_EQ(bytes.size(), c.prefix.size() + 2u * c.length) << c.length;
    EXPECT_EQ(Prefix(bytes, c.prefix.size()), c.prefix) << c.length;
    if (c.length > 0) {
      EXPECT_EQ(bytes[c.prefix.size()], 0xE9);
      EXPECT_EQ(bytes[c.prefix.size() + 1], 0x00);
    }
    CString back(L"old");
    Load(dir, bytes, [&](CArchive& ar) { ar >> back; });
    EXPECT_TRUE(back == text) << c.length;
  }
  Bytes abc = Store(dir, [](CArchive& ar) { ar << CString(L"abc"); });
  EXPECT_EQ(abc, (Bytes{0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 'b', 0, 'c', 0}));
}

TEST(CArchiveStrings, UntaggedTextIsReadThroughTheAnsiCodePage) {
  ScratchDir dir;
  const char ansi[] = "Caf\xe9";
  CString expected = AfxMultiByteToWide(ansi, 4, CP_ACP);
  CString s;
  Load(dir, {4, 'C', 'a', 'f', 0xE9}, [&](CArchive& ar) { ar >> s; });
  EXPECT_TRUE(s == expected);

  // An 8-bit text of 300 bytes: FF then a u16 length.
  Bytes longAnsi = {0xFF, 0x2C, 0x01};
  longAnsi.insert(longAnsi.end(), 300, 'x');
  Load(dir, longAnsi, [&](CArchive& ar) { ar >> s; });
  EXPECT_EQ(s.GetLength(), 300);

  // 8-bit text with a u32 length.
  Load(dir, {0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 'h', 'i'}, [&](CArchive& ar) { ar >> s; });
  EXPECT_STREQ(s, L"hi");
}

TEST(CArchiveCounts, U16OrEscapedU32) {
  ScratchDir dir;
  struct Case {
    DWORD count;
    Bytes bytes;
  } cases[] = {
      {0, {0x00, 0x00}},
      {99, {0x63, 0x00}},
      {0xFFFE, {0xFE, 0xFF}},
      {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
      {0x10000, {0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
  };
  for (const Case& c : cases) {
    Bytes bytes = Store(dir, [&](CArchive& ar) { ar.WriteCount(c.count); });
    EXPECT_EQ(bytes, c.bytes) << c.count;
    Bytes padded = bytes;
    padded.insert(padded.end(), c.count, 0);  // room for one-byte elements
    DWORD_PTR back = 0;
    Load(dir, padded, [&](CArchive& ar) { back = ar.ReadCount(); });
    EXPECT_EQ(back, c.count);
  }
}

TEST(CArchiveValues, LittleEndianAndArrays) {
  ScratchDir dir;
  CArray<int, int> values;
  values.Add(1);
  values.Add(-2);
  Bytes bytes = Store(dir, [&](CArchive& ar) {
    ar << static_cast<BYTE>(0xAB) << static_cast<WORD>(0x0102) << 0x01020304
       << static_cast<DWORD>(0xA0B0C0D0);
    values.Serialize(ar);
  });
  EXPECT_EQ(bytes, (Bytes{0xAB, 0x02, 0x01, 0x04, 0x03, 0x02, 0x01, 0xD0, 0xC0, 0xB0, 0xA0,  //
                          0x02, 0x00, 0x01, 0,    0,    0,    0xFE, 0xFF, 0xFF, 0xFF}));
  BYTE by;
  WORD w;
  int i;
  DWORD dw;
  CArray<int, int> back;
  Load(dir, bytes, [&](CArchive& ar) {
    ar >> by >> w >> i >> dw;
    back.Serialize(ar);
  });
  EXPECT_EQ(by, 0xAB);
  EXPECT_EQ(w, 0x0102);
  EXPECT_EQ(i, 0x01020304);
  EXPECT_EQ(dw, 0xA0B0C0D0u);
  ASSERT_EQ(back.GetSize(), 2);
  EXPECT_EQ(back[1], -2);

  CStringArray names;
  names.Add(L"\u65e5\u672c");
  names.Add(L"");
  Bytes stored = Store(dir, [&](CArchive& ar) { names.Serialize(ar); });
  CStringArray namesBack;
  Load(dir, stored, [&](CArchive& ar) { namesBack.Serialize(ar); });
  ASSERT_EQ(namesBack.GetSize(), 2);
  EXPECT_TRUE(namesBack[0] == names[0]);
}

TEST(CArchiveErrors, EndOfFileAndWrongDirection) {
  ScratchDir dir;
  int i = 0;
  EXPECT_EQ(ArchiveCause([&] {
              Load(dir, {1, 2, 3}, [&](CArchive& ar) { ar >> i; });
            }),
            CArchiveException::endOfFile);

  // A string that claims more than the file holds: the target keeps its value.
  CString s(L"kept");
  EXPECT_EQ(ArchiveCause([&] {
              Load(dir, {0xFF, 0xFE, 0xFF, 10, 'a', 0, 'b', 0}, [&](CArchive& ar) { ar >> s; });
            }),
            CArchiveException::endOfFile);
  EXPECT_STREQ(s, L"kept");

  CString path = dir.File(L"dir.bin");
  WriteAllBytes(path, {0, 0, 0, 0});
  CFile file(path, CFile::modeReadWrite);
  {
    CArchive loading(&file, CArchive::load);
    EXPECT_EQ(ArchiveCause([&] { loading << 1; }), CArchiveException::readOnly);
  }
  {
    CArchive storing(&file, CArchive::store);
    EXPECT_EQ(ArchiveCause([&] { storing >> i; }), CArchiveException::writeOnly);
    storing.Abort();
  }
}

// Untrusted lengths: a count or length near 4 G in a 60-byte file fails before anything
// is allocated (an allocation of that size would throw bad_alloc or take gigabytes).
TEST(CArchiveErrors, HugeCountsInASmallFileFailAtOnce) {
  ScratchDir dir;
  Bytes hugeCount = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  hugeCount.resize(60, 0);
  Bytes hugeString = {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  hugeString.resize(60, 0);
  Bytes hugeAnsi = {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0x7F};
  hugeAnsi.resize(60, 0);

  CArray<int, int> ints;
  ints.Add(5);
  EXPECT_EQ(ArchiveCause([&] { Load(dir, hugeCount, [&](CArchive& ar) { ints.Serialize(ar); }); }),
            CArchiveException::endOfFile);
  EXPECT_EQ(ints.GetSize(), 1);  // not resized

  CStringArray strings;
  EXPECT_EQ(
      ArchiveCause([&] { Load(dir, hugeCount, [&](CArchive& ar) { strings.Serialize(ar); }); }),
      CArchiveException::endOfFile);
  EXPECT_EQ(strings.GetSize(), 0);

  CString s;
  EXPECT_EQ(ArchiveCause([&] { Load(dir, hugeString, [&](CArchive& ar) { ar >> s; }); }),
            CArchiveException::endOfFile);
  EXPECT_EQ(ArchiveCause([&] { Load(dir, hugeAnsi, [&](CArchive& ar) { ar >> s; }); }),
            CArchiveException::endOfFile);

  // Just enough for the count: 14 ints after a count of 14 in 58 bytes.
  Bytes exact = {14, 0};
  exact.resize(58, 1);
  EXPECT_EQ(ArchiveCause([&] { Load(dir, exact, [&](CArchive& ar) { ints.Serialize(ar); }); }), -1);
  EXPECT_EQ(ints.GetSize(), 14);
}

// Mutations of a stored blob: every outcome is a clean load or an archive exception.
TEST(CArchiveErrors, MutatedInputNeverEscapesTheArchiveExceptions) {
  ScratchDir dir;
  CStringArray titles;
  for (int i = 0; i < 5; ++i) titles.Add(CString(L'\u00fc', i * 3));
  CArray<int, int> offsets;
  for (int i = 0; i < 6; ++i) offsets.Add(i * 1000);
  Bytes good = Store(dir, [&](CArchive& ar) {
    ar << 42 << CString(L"artist") << CString(L"title");
    titles.Serialize(ar);
    offsets.Serialize(ar);
    ar << CString(L"genre");
  });

  CString path = dir.File(L"fuzz.bin");
  std::mt19937 rng(1234);
  int failures = 0;
  for (int round = 0; round < 1500; ++round) {
    Bytes b = good;
    switch (round % 3) {
      case 0:
        b.resize(rng() % b.size());
        break;
      case 1:
        for (int k = 0; k < 3; ++k) b[rng() % b.size()] = static_cast<BYTE>(rng());
        break;
      default: {
        size_t at = rng() % (b.size() - 4);
        for (int k = 0; k < 4; ++k) b[at + k] = 0xFF;
        break;
      }
    }
    WriteAllBytes(path, b);
    CFile file(path, CFile::modeRead);
    try {
      CArchive ar(&file, CArchive::load);
      int n;
      CString s1, s2, s3;
      CStringArray t;
      CArray<int, int> o;
      ar >> n >> s1 >> s2;
      t.Serialize(ar);
      o.Serialize(ar);
      ar >> s3;
    } catch (CArchiveException* e) {
      ++failures;
      e->Delete();
    }
    // Any other exception fails the test by escaping.
  }
  EXPECT_GT(failures, 0);
}

}  // namespace
