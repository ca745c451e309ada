// Cache file bytes built by hand from the documented layout, for comparing with
// what CCDDBRecord::Serialize writes and for feeding the loader.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace cache_layout {

using Bytes = std::vector<BYTE>;

inline void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}

inline Bytes U16(unsigned v) { return {BYTE(v), BYTE(v >> 8)}; }
inline Bytes U32(unsigned v) { return {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}; }

// A length or count field: one byte below 255 (strings) / a u16 below 0xFFFF (counts).
inline Bytes StringLength(unsigned n) {
  if (n < 255) return {BYTE(n)};
  Bytes out{0xFF};
  if (n < 0xFFFE) {
    Append(out, U16(n));
  } else {
    Append(out, U16(0xFFFF));
    Append(out, U32(n));
  }
  return out;
}

inline Bytes Count(unsigned n) {
  if (n < 0xFFFF) return U16(n);
  Bytes out = U16(0xFFFF);
  Append(out, U32(n));
  return out;
}

// The tagged UTF-16 form: FF FE FF, the length in units, the units little-endian.
inline Bytes TaggedString(const std::wstring& text) {
  Bytes out{0xFF, 0xFE, 0xFF};
  Append(out, StringLength(static_cast<unsigned>(text.size())));
  for (wchar_t ch : text) Append(out, U16(ch));
  return out;
}

// Untagged 8-bit text, as older writers stored it.
inline Bytes NarrowString(const std::string& text) {
  Bytes out = StringLength(static_cast<unsigned>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

// The worked example: every field at its default.
inline const Bytes kDefaultRecord = {
    0x00, 0x00, 0x00, 0x00,                          // disc length
    0x00, 0x00, 0x00, 0x00,                          // revision
    0xFF, 0xFE, 0xFF, 0x00,                          // submitted-via client
    0xFF, 0xFE, 0xFF, 0x00,                          // version
    0xFF, 0xFE, 0xFF, 0x00,                          // comment
    0x00, 0x00, 0x00, 0x00,                          // disc id
    0xFF, 0xFE, 0xFF, 0x00,                          // artist
    0xFF, 0xFE, 0xFF, 0x00,                          // title
    0x00, 0x00, 0x00, 0x00,                          // year
    0xFF, 0xFE, 0xFF, 0x00,                          // genre
    0xFF, 0xFE, 0xFF, 0x00,                          // extended disc data
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // four empty arrays
};

// Offsets into a record whose strings before them are empty.
constexpr size_t kArtistOffset = 24;
constexpr size_t kFrameOffsetsCountOffset = 44;
constexpr size_t kTrackTitlesCountOffset = 46;

// A record in the file's field order, each string given as its encoded bytes.
struct Fields {
  int discLengthSeconds = 0;
  int revision = 0;
  Bytes client = TaggedString(L""), version = TaggedString(L""), comment = TaggedString(L"");
  unsigned discId = 0;
  Bytes artist = TaggedString(L""), title = TaggedString(L"");
  int year = 0;
  Bytes genre = TaggedString(L""), discExtData = TaggedString(L"");
  std::vector<int> frameOffsets;
  std::vector<Bytes> trackTitles, trackExtData;
  std::vector<int> playOrder;
};

inline Bytes Encode(const Fields& f) {
  Bytes out;
  Append(out, U32(f.discLengthSeconds));
  Append(out, U32(f.revision));
  Append(out, f.client);
  Append(out, f.version);
  Append(out, f.comment);
  Append(out, U32(f.discId));
  Append(out, f.artist);
  Append(out, f.title);
  Append(out, U32(f.year));
  Append(out, f.genre);
  Append(out, f.discExtData);
  Append(out, Count(static_cast<unsigned>(f.frameOffsets.size())));
  for (int v : f.frameOffsets) Append(out, U32(v));
  Append(out, Count(static_cast<unsigned>(f.trackTitles.size())));
  for (const Bytes& s : f.trackTitles) Append(out, s);
  Append(out, Count(static_cast<unsigned>(f.trackExtData.size())));
  for (const Bytes& s : f.trackExtData) Append(out, s);
  Append(out, Count(static_cast<unsigned>(f.playOrder.size())));
  for (int v : f.playOrder) Append(out, U32(v));
  return out;
}

}  // namespace cache_layout
