// A cache file is untrusted input: hostile lengths and counts must fail as archive
// exceptions before anything large is allocated, and no mutation may crash or hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <random>
#include <stdexcept>
#include <vector>

#include "discinfo/CDDBRecord.h"
#include "framework/core/Archive.h"
#include "framework/core/Exceptions.h"
#include "framework/core/File.h"
#include "tests/discinfo/CacheLayouts.h"

namespace {

using namespace cache_layout;

// Bytes in memory behind the CFile interface, so the mutation loop stays fast.
class CBytesFile : public CFile {
 public:
  explicit CBytesFile(const Bytes& bytes) : m_bytes(bytes) {}
  UINT Read(void* lpBuf, UINT nCount) override {
    const size_t n = std::min<size_t>(nCount, m_bytes.size() - m_pos);
    if (n) std::memcpy(lpBuf, m_bytes.data() + m_pos, n);
    m_pos += n;
    return static_cast<UINT>(n);
  }
  void Write(const void*, UINT) override { AfxThrowNotSupportedException(); }
  ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override {
    const LONGLONG base = nFrom == begin     ? 0
                          : nFrom == current ? LONGLONG(m_pos)
                                             : LONGLONG(m_bytes.size());
    m_pos = static_cast<size_t>(std::clamp<LONGLONG>(base + lOff, 0, LONGLONG(m_bytes.size())));
    return m_pos;
  }
  ULONGLONG GetPosition() const override { return m_pos; }
  ULONGLONG GetLength() const override { return m_bytes.size(); }
  void Close() override {}
  void Abort() override {}

 private:
  Bytes m_bytes;
  size_t m_pos = 0;
};

enum class Outcome { loaded, archiveError, otherError };

Outcome Load(const Bytes& bytes) {
  CCDDBRecord record;
  try {
    CBytesFile file(bytes);
    CArchive ar(&file, CArchive::load);
    record.Serialize(ar);
    return Outcome::loaded;
  } catch (CException* e) {
    const bool archive = e->IsKindOf(RUNTIME_CLASS(CArchiveException));
    e->Delete();
    return archive ? Outcome::archiveError : Outcome::otherError;
  } catch (...) {
    return Outcome::otherError;
  }
}

// The worked default record, the count of its first array replaced.
Bytes DefaultWithFrameOffsetsCount(const Bytes& count, size_t padTo) {
  Bytes bytes(kDefaultRecord.begin(), kDefaultRecord.begin() + kFrameOffsetsCountOffset);
  Append(bytes, count);
  bytes.insert(bytes.end(), kDefaultRecord.begin() + kFrameOffsetsCountOffset + 2,
               kDefaultRecord.end());
  bytes.resize(std::max(bytes.size(), padTo), 0);
  return bytes;
}

TEST(CacheFileHostile, HugeCountInSmallFileFailsAtOnce) {
  const Bytes huge = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};  // FFFF + u32 0xFFFFFFFF
  const Bytes file = DefaultWithFrameOffsetsCount(huge, 60);
  ASSERT_EQ(file.size(), 60u);
  EXPECT_EQ(Load(file), Outcome::archiveError);

  // The same for a string array and for the last i32 array.
  Fields titles;
  titles.trackTitles = {};
  Bytes bytes = Encode(titles);
  bytes.resize(kTrackTitlesCountOffset);
  Append(bytes, huge);
  bytes.resize(60, 0);
  EXPECT_EQ(Load(bytes), Outcome::archiveError);

  Bytes tail = kDefaultRecord;
  tail.resize(50);
  Append(tail, huge);
  tail.resize(60, 0);
  EXPECT_EQ(Load(tail), Outcome::archiveError);
}

TEST(CacheFileHostile, HugeStringLengthsFail) {
  const Bytes lengths[] = {
      {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},  // UTF-16, u32 0xFFFFFFFF
      {0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF},                          // UTF-16, u16 0xFFFD
      {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},                    // 8-bit, u32 0x7FFFFFFF
      {0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF},        // tags over and over
      {0xFE},                                                        // 8-bit, 254 bytes
  };
  for (const Bytes& length : lengths) {
    Bytes bytes(kDefaultRecord.begin(), kDefaultRecord.begin() + kArtistOffset);
    Append(bytes, length);
    bytes.resize(60, 0);
    EXPECT_EQ(Load(bytes), Outcome::archiveError) << "length bytes " << length.size();
  }
}

// Truncations, flipped bytes and huge values at every offset of a real record:
// each load either succeeds or throws an archive exception.
TEST(CacheFileHostile, MutationsFailOnlyAsArchiveErrors) {
  CCDDBRecord record;
  record.m_artist = L"Artist \u4e2d";
  record.m_title = L"Album";
  record.m_genre = L"Jazz";
  for (int i = 0; i < 4; ++i) {
    record.m_trackFrameOffsets.Add(150 + i * 20000);
    record.m_trackTitles.Add(CString(L"Track"));
    record.m_trackExtData.Add(CString(L""));
    record.m_playOrder.Add(i);
  }
  Bytes base;
  {
    // Encode the record through the same layout the loader reads.
    Fields f;
    f.artist = TaggedString(record.m_artist.str());
    f.title = TaggedString(L"Album");
    f.genre = TaggedString(L"Jazz");
    for (int i = 0; i < 4; ++i) {
      f.frameOffsets.push_back(150 + i * 20000);
      f.trackTitles.push_back(TaggedString(L"Track"));
      f.trackExtData.push_back(TaggedString(L""));
      f.playOrder.push_back(i);
    }
    base = Encode(f);
  }
  ASSERT_EQ(Load(base), Outcome::loaded);

  std::vector<Bytes> mutants;
  for (const Bytes* seed : std::vector<const Bytes*>{&base, &kDefaultRecord}) {
    for (size_t n = 0; n < seed->size(); ++n)
      mutants.emplace_back(seed->begin(), seed->begin() + n);
    for (size_t i = 0; i < seed->size(); ++i) {
      for (BYTE value :
           {BYTE(0x00), BYTE(0xFF), BYTE(0xFE), BYTE((*seed)[i] ^ 0x80), BYTE((*seed)[i] + 1)}) {
        Bytes m = *seed;
        m[i] = value;
        mutants.push_back(m);
      }
      Bytes huge = *seed;
      for (size_t k = i; k < std::min(i + 7, huge.size()); ++k) huge[k] = 0xFF;
      mutants.push_back(huge);
    }
  }
  // Then random damage: a few bytes anywhere, sometimes with the end cut off.
  std::mt19937 random(20261210);
  for (int k = 0; k < 20000; ++k) {
    Bytes m = random() % 2 ? base : kDefaultRecord;
    for (int hits = 1 + random() % 4; hits > 0; --hits) m[random() % m.size()] = BYTE(random());
    if (random() % 3 == 0) m.resize(random() % m.size());
    mutants.push_back(m);
  }
  int loaded = 0, failed = 0;
  for (size_t k = 0; k < mutants.size(); ++k) {
    switch (Load(mutants[k])) {
      case Outcome::loaded:
        ++loaded;
        break;
      case Outcome::archiveError:
        ++failed;
        break;
      case Outcome::otherError:
        ADD_FAILURE() << "mutant " << k << " failed outside the archive";
        break;
    }
  }
  EXPECT_GT(failed, 0);
  EXPECT_GT(loaded, 0);
}

}  // namespace
