#include "engine/CDDrive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "engine/Settings.h"
#include "tests/engine/FakeCDLibrary.h"
#include "tests/engine/LogCapture.h"

namespace {

TEST(ReadBigEndian32, TakesTheFirstByteAsTheHighest) {
  const BYTE bytes[] = {0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xFE};
  DWORD value = 0;
  ReadBigEndian32(value, bytes);
  EXPECT_EQ(value, 0x12345678u);
  ReadBigEndian32(value, bytes + 4);
  EXPECT_EQ(value, 0xFFFFFFFEu);
}

// Letters as a machine might have them: type and whether the device opens.
class FakeLetters : public CDriveLetterSource {
 public:
  std::map<wchar_t, std::pair<UINT, BOOL>> drives;
  UINT DriveType(TCHAR letter) override {
    auto it = drives.find(letter);
    return it == drives.end() ? DRIVE_NO_ROOT_DIR : it->second.first;
  }
  BOOL Accessible(TCHAR letter) override {
    auto it = drives.find(letter);
    return it != drives.end() && it->second.second;
  }
};

void SetEntry(CDDriveEntry& entry, uint8_t adapter, const char* vendor, const char* product,
              const char* revision, const char* extra) {
  memset(&entry, 0, sizeof(entry));
  entry.hostAdapter = adapter;
  entry.targetId = static_cast<uint8_t>(adapter + 1);
  entry.lun = static_cast<uint8_t>(adapter + 2);
  strcpy(entry.vendor, vendor);
  strcpy(entry.product, product);
  strcpy(entry.revision, revision);
  strcpy(entry.vendorSpecific, extra);
}

class DrivePairing : public ::testing::Test {
 protected:
  void SetUp() override {
    letters.drives = {{L'C', {DRIVE_FIXED, TRUE}},  {L'D', {DRIVE_CDROM, TRUE}},
                      {L'E', {DRIVE_CDROM, FALSE}}, {L'F', {DRIVE_REMOTE, TRUE}},
                      {L'R', {DRIVE_CDROM, TRUE}},  {L'Z', {DRIVE_CDROM, TRUE}}};
    SetEntry(fake.drives.entries[0], 1, "VIRTUAL", "CUE IMAGE", "1.0", "");
    SetEntry(fake.drives.entries[1], 2, "PLEXTOR", "DVDR   PX-716A", "1.11", "04/04/06");
    SetEntry(fake.drives.entries[2], 3, "TSSTcorp", "CDDVDW SH-S223C", "SB01", "");
    fake.drives.found = 3;
  }
  void TearDown() override { g_driveLetters.RemoveAll(); }

  FakeLetters letters;
  FakeCDLibrary fake;
};

TEST_F(DrivePairing, InaccessibleLetterTakesNoSlot) {
  LogCapture log;
  ASSERT_EQ(FindCDDriveLetters(letters), 3);
  EXPECT_EQ(g_driveLetters[0], L"D:");
  EXPECT_EQ(g_driveLetters[1], L"R:");
  EXPECT_EQ(g_driveLetters[2], L"Z:");
  ASSERT_EQ(LogCapture::Lines().size(), 1u);
  EXPECT_EQ(LogCapture::Lines()[0],
            std::make_pair(1, std::wstring(L"Warning: drive E: is not accessible")));

  ASSERT_EQ(ListCDDrives(), 3);
  CString text;
  ASSERT_TRUE(GetDriveDisplayText(0, text));
  EXPECT_EQ(text, L"D:  VIRTUAL CUE IMAGE 1.0  ");
  ASSERT_TRUE(GetDriveDisplayText(1, text));
  EXPECT_EQ(text, L"R:  PLEXTOR DVDR   PX-716A 1.11 04/04/06 ");
  ASSERT_TRUE(GetDriveDisplayText(2, text));
  EXPECT_EQ(text, L"Z:  TSSTcorp CDDVDW SH-S223C SB01  ");
  EXPECT_FALSE(GetDriveDisplayText(3, text));
  EXPECT_FALSE(GetDriveDisplayText(-1, text));
}

TEST_F(DrivePairing, MoreDrivesThanLettersLeavesTheRestWithout) {
  letters.drives.erase(L'Z');
  FindCDDriveLetters(letters);
  ASSERT_EQ(ListCDDrives(), 3);
  CString text;
  EXPECT_TRUE(GetDriveDisplayText(1, text));
  EXPECT_FALSE(GetDriveDisplayText(2, text));  // the caller's start-up failure
}

TEST_F(DrivePairing, ImplausibleListsAreCutToWhatCanBeRead) {
  FindCDDriveLetters(letters);
  fake.drives.found = 200;  // more than the record holds
  memset(fake.drives.entries[1].vendor, 'X', sizeof(fake.drives.entries[1].vendor));
  for (int i = 3; i < 8; ++i) SetEntry(fake.drives.entries[i], 9, "V", "P", "R", "");
  LogCapture log;
  ASSERT_EQ(ListCDDrives(), 7);
  EXPECT_EQ(g_driveList.found, 7);
  // The unterminated entry went with its letter; the others keep their pairing.
  ASSERT_EQ(g_driveLetters.GetSize(), 2);
  CString text;
  ASSERT_TRUE(GetDriveDisplayText(0, text));
  EXPECT_EQ(text, L"D:  VIRTUAL CUE IMAGE 1.0  ");
  ASSERT_TRUE(GetDriveDisplayText(1, text));
  EXPECT_EQ(text, L"Z:  TSSTcorp CDDVDW SH-S223C SB01  ");
  EXPECT_EQ(g_driveList.entries[1].hostAdapter, 3);
  EXPECT_EQ(LogCapture::Lines().size(), 1u);
}

// Disc reads through the fake library, with the drive list and DriveNum put back after.
class DiscRead : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(&g_driveList, 0, sizeof(g_driveList));
    SetEntry(g_driveList.entries[0], 1, "A", "B", "C", "");
    SetEntry(g_driveList.entries[1], 4, "D", "E", "F", "");
    g_driveList.found = 2;
    DriveNum = 1;
    g_hCD = 0;
    g_bNoDisc = TRUE;
  }
  void TearDown() override {
    DriveNum = 0;
    g_hCD = 0;
    g_bNoDisc = TRUE;
    g_trackPositions.RemoveAll();
  }
  FakeCDLibrary fake;
};

TEST_F(DiscRead, OpensTheCurrentDriveAndReadsAnAudioDisc) {
  fake.SetToc(1, {0, 15000}, 30000);
  g_hCD = 3;
  CString status;
  ASSERT_EQ(ReadDisc(status), DiscState::Audio);
  ASSERT_EQ(fake.closed.size(), 1u);
  EXPECT_EQ(fake.closed[0], 3);
  ASSERT_EQ(fake.opened.size(), 1u);
  const CDHandleRequest expected = {12, 1, 4, 5, 6, {0, 0, 0, 0, 0, 0, 0}};
  EXPECT_EQ(0, memcmp(&fake.opened[0], &expected, sizeof(expected)));
  EXPECT_EQ(fake.parms, (std::vector<int32_t>{36, 0}));
  EXPECT_EQ(g_hCD, 7);
  EXPECT_FALSE(g_bNoDisc);
  ASSERT_EQ(g_trackPositions.GetSize(), 3);
  EXPECT_EQ(g_trackPositions[0], CCDDBTrackPosition(0, 2, 0));  // LBA 0 is 00:02:00
  EXPECT_EQ(g_trackPositions[1], CCDDBTrackPosition(3, 22, 0));
  EXPECT_EQ(g_trackPositions[2], CCDDBTrackPosition(6, 42, 0));
  EXPECT_EQ(g_dwDiscId, 0x06019002u);
  EXPECT_EQ(status, L"Recognized Audio CD: 06019002  Length: 06:40.000");
}

TEST_F(DiscRead, DataTracksCountAsPositionsButADataOnlyDiscIsNotAudio) {
  fake.SetToc(1, {0, 121457}, 130606, {1});
  CString status;
  ASSERT_EQ(ReadDisc(status), DiscState::Audio);
  EXPECT_EQ(g_trackPositions.GetSize(), 3);

  fake.SetToc(1, {0}, 300000, {1});
  ASSERT_EQ(ReadDisc(status), DiscState::NotAudio);
  EXPECT_EQ(status, L" Not an Audio CD");
  EXPECT_FALSE(g_bNoDisc);
  EXPECT_EQ(g_trackPositions.GetSize(), 3);  // left from the previous disc, as they were
}

TEST_F(DiscRead, AFailedOpenWarnsAndLeavesThePositions) {
  fake.SetToc(1, {0, 15000}, 30000);
  CString status;
  ASSERT_EQ(ReadDisc(status), DiscState::Audio);
  fake.nextHandle = 0;
  LogCapture log;
  EXPECT_EQ(ReadDisc(status), DiscState::NoHandle);
  EXPECT_TRUE(status.IsEmpty());
  EXPECT_EQ(fake.closed, (std::vector<CDHANDLE>{7}));
  EXPECT_EQ(g_hCD, 0);
  EXPECT_TRUE(g_bNoDisc);
  EXPECT_EQ(g_trackPositions.GetSize(), 3);
  EXPECT_EQ(fake.tocReads, 1);
  ASSERT_EQ(LogCapture::Lines().size(), 1u);
  EXPECT_EQ(LogCapture::Lines()[0], std::make_pair(1, std::wstring(L"Error on get drive handle!")));

  // A drive index the list does not hold opens nothing either.
  fake.nextHandle = 7;
  DriveNum = 2;
  EXPECT_EQ(ReadDisc(status), DiscState::NoHandle);
  EXPECT_EQ(fake.opened.size(), 2u);
}

TEST_F(DiscRead, UnreadableTablesGiveNoDisc) {
  struct Case {
    const char* what;
    void (*spoil)(FakeCDLibrary&);
  };
  const Case cases[] = {
      {"ReadTOC fails", [](FakeCDLibrary& f) { f.tocResult = 0; }},
      {"ReadTOC says 2", [](FakeCDLibrary& f) { f.tocResult = 2; }},
      {"zero TOC length", [](FakeCDLibrary& f) { f.toc.tocLength[0] = f.toc.tocLength[1] = 0; }},
      {"last below first", [](FakeCDLibrary& f) { f.toc.lastTrack = 2, f.toc.firstTrack = 3; }},
      {"track 0", [](FakeCDLibrary& f) { f.toc.firstTrack = 0; }},
      {"more than 99 tracks",
       [](FakeCDLibrary& f) { f.toc.firstTrack = 1, f.toc.lastTrack = 100; }},
      {"lead-out before the last track", [](FakeCDLibrary& f) { f.toc.entries[3].address[1] = 0; }},
      {"a track before its predecessor", [](FakeCDLibrary& f) { f.toc.entries[2].address[3] = 0; }},
  };
  for (const Case& c : cases) {
    fake.tocResult = 1;
    fake.SetToc(1, {0, 70000, 70100}, 0x20000);
    c.spoil(fake);
    g_bNoDisc = FALSE;
    CString status;
    EXPECT_EQ(ReadDisc(status), DiscState::NoDisc) << c.what;
    EXPECT_EQ(status, L"No Disc") << c.what;
    EXPECT_TRUE(g_bNoDisc) << c.what;
  }
}

// Every table of contents of the fixture, whose ids come from an independent
// implementation, read as the drive would report it.
TEST_F(DiscRead, DiscIdsMatchTheFixture) {
  std::ifstream in(CORVANE_TEST_DATA "/discid_freedb.txt");
  ASSERT_TRUE(in) << "fixture missing";
  std::string line;
  int discs = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string id;
    int first = 0, count = 0;
    DWORD leadOut = 0;
    fields >> id >> first >> count >> leadOut;
    std::vector<DWORD> starts(count);
    for (DWORD& start : starts) fields >> start;
    ASSERT_TRUE(fields) << line;

    fake.SetToc(first, starts, leadOut);
    CString status;
    ASSERT_EQ(ReadDisc(status), DiscState::Audio) << line;
    ASSERT_EQ(g_trackPositions.GetSize(), count + 1);
    for (int i = 0; i <= count; ++i) {
      const DWORD lba = i < count ? starts[i] : leadOut;
      const CCDDBTrackPosition& p = g_trackPositions[i];
      EXPECT_EQ(p.GetFrameOffset(), lba + 150) << id << " entry " << i;
      EXPECT_LT(p.m_second, 60);
      EXPECT_LT(p.m_frame, 75);
    }
    char text[9];
    sprintf(text, "%08lx", static_cast<unsigned long>(g_dwDiscId));
    EXPECT_EQ(std::string(text), id) << "first track " << first;
    ++discs;
  }
  EXPECT_GT(discs, 0);
}

TEST_F(DiscRead, TheLibrarysLinesForTheLogBecomeWarnings) {
  const struct {
    const char* what;
    int tocResult;
    DiscState state;
  } cases[] = {{"refused image", 0, DiscState::NoDisc},
               {"read with warnings", 1, DiscState::Audio}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fake.SetToc(1, {0, 15000}, 30000);
    fake.tocResult = c.tocResult;
    fake.messages = {"Disc image R:\\disc.cue refused: line 2: disc.bin: file missing",
                     "Disc image R:\\caf\xC3\xA9.cue: line 3: unknown command COMPOSER skipped"};
    LogCapture log;
    CString status;
    EXPECT_EQ(ReadDisc(status), c.state);
    const std::vector<std::pair<int, std::wstring>> expected = {
        {LOG_WARNING, L"Disc image R:\\disc.cue refused: line 2: disc.bin: file missing"},
        {LOG_WARNING, L"Disc image R:\\caf\u00e9.cue: line 3: unknown command COMPOSER skipped"}};
    EXPECT_EQ(LogCapture::Lines(), expected);
    EXPECT_TRUE(fake.messages.empty());
  }
}

// How long each track is, by the table of contents a drive reports.
TEST(TrackSectors, LeaveOutTheGapOnlyBeforeALaterSession) {
  struct Case {
    const char* what;
    std::vector<DWORD> starts;  // tracks 1..n; the last one is data where data is set
    DWORD leadOut;
    bool data;
    std::vector<uint8_t> sessions;  // entries and lead-out; empty: not reported
    std::vector<DWORD> sectors;
  };
  const Case cases[] = {
      {"20 s + 200 s and a data track in the same session",
       {0, 1500, 16500},
       16800,
       true,
       {1, 1, 1, 1},
       {1500, 15000, 300}},
      {"enhanced disc: the data track opens session 2",
       {0, 1500, 27900},
       28200,
       true,
       {1, 1, 2, 2},
       {1500, 15000, 300}},
      {"enhanced disc, sessions not reported: guessed from the distance",
       {0, 1500, 27900},
       28200,
       true,
       {},
       {1500, 15000, 300}},
      {"a long last track before the lead-out keeps its length",
       {0, 1500},
       16500,
       false,
       {1, 1, 1},
       {1500, 15000}},
      {"audio after audio keeps its length, whatever the sessions",
       {0, 15000},
       15300,
       false,
       {1, 2, 2},
       {15000, 300}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeCDLibrary fake;
    const int count = static_cast<int>(c.starts.size());
    fake.SetToc(1, c.starts, c.leadOut, c.data ? std::vector<int>{count} : std::vector<int>{});
    fake.SetSessions(c.sessions);
    for (int i = 0; i < count; ++i) EXPECT_EQ(TrackSectors(fake.toc, i), c.sectors[i]) << i;
  }
  // Ten audio tracks and a data track in a second session.
  FakeCDLibrary fake;
  std::vector<DWORD> starts;
  for (int i = 0; i < 10; ++i) starts.push_back(150 * i);
  starts.push_back(1500 + 11400);
  const std::vector<uint8_t> sessions = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2};
  fake.SetToc(1, starts, 1500 + 11400 + 300, {11});
  fake.SetSessions(sessions);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(TrackSectors(fake.toc, i), 150u) << i;
  EXPECT_EQ(TrackSectors(fake.toc, 10), 300u);
}

TEST(TrayDoor, AnUnknownDeviceDoesNothing) {
  SetTrayDoor(TRUE, L"Q:");  // no such drive: MCI cannot open it
  SetTrayDoor(FALSE, L"Q:");
}

}  // namespace
