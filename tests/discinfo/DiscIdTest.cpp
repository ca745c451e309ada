// Track positions and the CDDB disc id, against the worked example and a table of
// discs whose ids libdiscid computed (tests/data/discid_freedb.txt).
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "discinfo/CDDB.h"
#include "framework/core/Exceptions.h"

namespace {

CCDDBTrackPositionArray PositionsFromAddresses(const std::vector<DWORD>& addresses) {
  CCDDBTrackPositionArray positions;
  for (DWORD address : addresses) {
    CCDDBTrackPosition position = CCDDBTrackPosition::FromAddress(address);
    positions.Add(position);
  }
  return positions;
}

CString IdText(DWORD id) {
  CString text;
  text.Format(L"%08x", id);
  return text;
}

TEST(TrackPosition, AddressToPositionAndBack) {
  struct Case {
    DWORD address;
    CCDDBTrackPosition position;
  };
  const Case cases[] = {
      {0, {0, 2, 0}},  // lead-in counted
      {74, {0, 2, 74}},    {75, {0, 3, 0}},        {4349, {0, 59, 74}},  {4350, {1, 0, 0}},
      {15000, {3, 22, 0}}, {359849, {79, 59, 74}}, {359850, {80, 0, 0}},
  };
  for (const Case& c : cases) {
    const CCDDBTrackPosition position = CCDDBTrackPosition::FromAddress(c.address);
    EXPECT_EQ(position, c.position) << "address " << c.address;
    EXPECT_EQ(position.GetFrameOffset(), c.address + 150) << "address " << c.address;
    EXPECT_EQ(position.GetSeconds(), (c.address + 150) / 75) << "address " << c.address;
  }
  // Seconds drop the frames rather than rounding them.
  EXPECT_EQ(CCDDBTrackPosition(3, 22, 74).GetSeconds(), 202u);
}

TEST(DiscId, WorkedExample) {
  const CCDDBTrackPositionArray positions = PositionsFromAddresses({0, 15000, 30000});
  ASSERT_EQ(positions.GetSize(), 3);
  EXPECT_EQ(positions[0], CCDDBTrackPosition(0, 2, 0));
  EXPECT_EQ(positions[1], CCDDBTrackPosition(3, 22, 0));
  EXPECT_EQ(positions[2], CCDDBTrackPosition(6, 42, 0));

  const DWORD id = CCDDB::CalcDiscId(positions);
  EXPECT_EQ(id, 0x06019002u);
  EXPECT_EQ(IdText(id), L"06019002");
  // What the query command sends: offsets of the tracks and the lead-out's seconds.
  EXPECT_EQ(positions[0].GetFrameOffset(), 150u);
  EXPECT_EQ(positions[1].GetFrameOffset(), 15150u);
  EXPECT_EQ(positions[2].GetSeconds(), 402u);
}

TEST(DiscId, EmptyArrayIsInvalidAndLeadOutAloneIsZero) {
  CCDDBTrackPositionArray positions;
  bool thrown = false;
  try {
    CCDDB::CalcDiscId(positions);
  } catch (CException* e) {
    thrown = e->IsKindOf(RUNTIME_CLASS(CInvalidArgException));
    e->Delete();
  }
  EXPECT_TRUE(thrown);

  CCDDBTrackPosition leadOut(61, 17, 33);
  positions.Add(leadOut);
  EXPECT_EQ(CCDDB::CalcDiscId(positions), 0u);
}

// Track starts at the given seconds (frames 0), lead-out 10 minutes after the last.
CCDDBTrackPositionArray PositionsAtSeconds(const std::vector<int>& seconds) {
  CCDDBTrackPositionArray positions;
  for (int s : seconds) {
    CCDDBTrackPosition position(s / 60, s % 60, 0);
    positions.Add(position);
  }
  CCDDBTrackPosition leadOut(seconds.back() / 60 + 10, 0, 0);
  positions.Add(leadOut);
  return positions;
}

TEST(DiscId, ChecksumWrapsAt255) {
  // 28 starts with digit sum 9 give 252; a last start at 1002 (sum 3) makes 255,
  // one at 1003 (sum 4) makes 256.
  std::vector<int> seconds;
  for (int s = 2; seconds.size() < 28; ++s) {
    int sum = 0;
    for (int v = s; v; v /= 10) sum += v % 10;
    if (sum == 9) seconds.push_back(s);
  }
  ASSERT_LT(seconds.back(), 1002);

  seconds.push_back(1002);
  EXPECT_EQ(CCDDB::CalcDiscId(PositionsAtSeconds(seconds)) >> 24, 0u);
  seconds.back() = 1003;
  EXPECT_EQ(CCDDB::CalcDiscId(PositionsAtSeconds(seconds)) >> 24, 1u);
}

struct FixtureDisc {
  std::string note;
  std::string id;
  int firstTrack = 1;
  std::vector<DWORD> addresses;  // track starts, then the lead-out
};

std::vector<FixtureDisc> LoadFixture() {
  std::vector<FixtureDisc> discs;
  std::ifstream in(CORVANE_TEST_DATA "/discid_freedb.txt");
  std::string line, note;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    if (line[0] == '#') {
      note = line;
      continue;
    }
    std::istringstream fields(line);
    FixtureDisc disc;
    int count = 0;
    DWORD leadOut = 0;
    fields >> disc.id >> disc.firstTrack >> count >> leadOut;
    for (DWORD address; fields >> address;) disc.addresses.push_back(address);
    EXPECT_EQ(static_cast<int>(disc.addresses.size()), count) << line;
    disc.addresses.push_back(leadOut);
    disc.note = note;
    discs.push_back(disc);
  }
  return discs;
}

TEST(DiscId, MatchesLibdiscidTable) {
  const std::vector<FixtureDisc> discs = LoadFixture();
  ASSERT_FALSE(discs.empty()) << "fixture not found";
  for (const FixtureDisc& disc : discs) {
    const DWORD id = CCDDB::CalcDiscId(PositionsFromAddresses(disc.addresses));
    EXPECT_EQ(CString(disc.id.c_str()), IdText(id)) << disc.note;
  }
}

TEST(DiscId, FramesNeverChangeTheId) {
  std::mt19937 random(7);
  for (const FixtureDisc& disc : LoadFixture()) {
    CCDDBTrackPositionArray positions = PositionsFromAddresses(disc.addresses);
    const DWORD id = CCDDB::CalcDiscId(positions);
    for (INT_PTR i = 0; i < positions.GetSize(); ++i)
      positions[i].m_frame = static_cast<int>(random() % 75);
    EXPECT_EQ(CCDDB::CalcDiscId(positions), id) << disc.note;
  }
}

}  // namespace
