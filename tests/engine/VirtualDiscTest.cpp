#include <gtest/gtest.h>

#include <vector>

#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/SectorBlock.h"
#include "engine/Settings.h"
#include "platform/tools/WineDrive.h"

namespace {

// The generated disc behind a spare Wine drive letter, for the whole suite.
class VirtualDisc : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_letter = cdgrab::DefineFreeWineCdDrive(cdgrab::kSpareLetters, ENGINE_TEST_DISC);
  }
  static void TearDownTestSuite() {
    if (s_letter) cdgrab::RemoveWineDrive(s_letter);
  }
  void TearDown() override {
    if (CDHANDLE h = g_hCD.exchange(0)) CDLib().CloseCDHandle(h);
    g_pSectorBlock.reset();
    g_trackPositions.RemoveAll();
    DriveNum = 0;
  }
  static wchar_t s_letter;
};
wchar_t VirtualDisc::s_letter = 0;

TEST_F(VirtualDisc, IsPairedWithItsLetterAndReadsAsTheImageSays) {
  ASSERT_NE(s_letter, 0) << "no Wine drive letter could be defined";
  {
    cdgrab::DriveLetterLock lock;  // other test programs' letters stay put while pairing
    ASSERT_GE(FindCDDriveLetters(), 1);
    ASSERT_GE(ListCDDrives(), 1);
  }
  const CString letter = CString(s_letter) + L":";
  int index = -1;
  for (int i = 0; i < g_driveLetters.GetSize(); ++i) {
    if (g_driveLetters[i] == letter) index = i;
  }
  ASSERT_GE(index, 0);
  CString text;
  ASSERT_TRUE(GetDriveDisplayText(index, text));
  EXPECT_EQ(text.Left(11), letter + L"  VIRTUAL") << text.GetString();

  DriveNum = static_cast<short>(index);
  CString status;
  ASSERT_EQ(ReadDisc(status), DiscState::Audio) << status.GetString();
  EXPECT_EQ(g_toc.firstTrack, 3);
  EXPECT_EQ(g_toc.lastTrack, 6);
  EXPECT_TRUE(g_toc.entries[0].adrControl & kCDControlData);
  const CCDDBTrackPosition expected[] = {{0, 2, 0}, {0, 6, 0}, {0, 16, 0}, {0, 21, 0}, {0, 23, 0}};
  ASSERT_EQ(g_trackPositions.GetSize(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(g_trackPositions[i], expected[i]) << "entry " << i;
  EXPECT_EQ(g_dwDiscId, 0x12001504u);  // as libdiscid computes it for these starts
  EXPECT_EQ(status, L"Recognized Audio CD: 12001504  Length: 00:21.000");

  // The first sectors of track 4: the right channel counts stereo frames from its start.
  g_pSectorBlock.reset(AllocSectorBlock(27));
  RingBuffer<short, 1> ring(0xFFFF);
  ASSERT_TRUE(ReadSectorsToRing(g_hCD, 300, 8, &ring));
  std::vector<short> samples(8 * 1176);
  ASSERT_EQ(ring.Read(samples.data(), static_cast<uint32_t>(samples.size())), samples.size());
  for (int n = 0; n < 8 * 588; ++n) {
    ASSERT_EQ(samples[2 * n + 1], static_cast<short>((4 << 12) | (n & 0xFFF))) << "frame " << n;
  }
}

}  // namespace
