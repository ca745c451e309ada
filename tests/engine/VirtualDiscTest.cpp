#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/SectorBlock.h"
#include "engine/Settings.h"
#include "platform/tools/WineDrive.h"
#include "tests/engine/LogCapture.h"

namespace {

std::wstring DosPath(const std::string& unixPath) {
  using ToDos = WCHAR*(__cdecl*)(const char*);
  auto toDos = reinterpret_cast<ToDos>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name"));
  WCHAR* dos = toDos ? toDos(unixPath.c_str()) : nullptr;
  if (!dos) return std::wstring();
  std::wstring path = dos;
  HeapFree(GetProcessHeap(), 0, dos);
  return path;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(h);
  return ok && put == bytes.size();
}

// The entry of the library's list that stands for letter, or -1.
int DriveIndex(wchar_t letter) {
  cdgrab::DriveLetterLock lock;  // other test programs' letters stay put while pairing
  FindCDDriveLetters();
  ListCDDrives();
  const CString name = CString(letter) + L":";
  for (int i = 0; i < g_driveLetters.GetSize() && i < g_driveList.found; ++i) {
    if (g_driveLetters[i] == name) return i;
  }
  return -1;
}

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

// Sheets the tests write into a folder of their own, over one BIN of 20 s and 200 s of
// audio and 300 data sectors: a sparse file of zeros, since only the layout matters here.
class SheetDisc : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string unixFolder = std::string(ENGINE_TEST_DISC) + "-sheets";
    s_folder = DosPath(unixFolder) + L"\\";
    CreateDirectoryW(s_folder.c_str(), nullptr);
    HANDLE bin = CreateFileW((s_folder + L"disc.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, 0, nullptr);
    if (bin == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size;
    size.QuadPart = 16800LL * kCDSectorBytes;
    const BOOL sized = SetFilePointerEx(bin, size, nullptr, FILE_BEGIN) && SetEndOfFile(bin);
    CloseHandle(bin);
    if (sized) s_letter = cdgrab::DefineFreeWineCdDrive(cdgrab::kSpareLetters, unixFolder);
  }
  static void TearDownTestSuite() {
    if (s_letter) cdgrab::RemoveWineDrive(s_letter);
    s_letter = 0;
    DeleteFileW((s_folder + L"disc.cue").c_str());
    DeleteFileW((s_folder + L"disc.bin").c_str());
    RemoveDirectoryW(s_folder.c_str());
  }
  void TearDown() override {
    if (CDHANDLE h = g_hCD.exchange(0)) CDLib().CloseCDHandle(h);
    g_trackPositions.RemoveAll();
    DriveNum = 0;
  }

  // Puts the sheet on the disc and reads it as a refresh does.
  DiscState Read(const std::string& sheet, CString& status) {
    EXPECT_TRUE(WriteBytes(s_folder + L"disc.cue", sheet));
    const int index = DriveIndex(s_letter);
    EXPECT_GE(index, 0);
    DriveNum = static_cast<short>(index);
    return ReadDisc(status);
  }

  static wchar_t s_letter;
  static std::wstring s_folder;
};
wchar_t SheetDisc::s_letter = 0;
std::wstring SheetDisc::s_folder;

DWORD Address(const CDTocEntry& entry) {
  DWORD address = 0;
  ReadBigEndian32(address, entry.address);
  return address;
}

// An audio track followed by a data track loses the gap between sessions only where the
// data track opens a second session.
TEST_F(SheetDisc, TheDataTrackOfASecondSessionAloneLiesBeyondTheGap) {
  ASSERT_NE(s_letter, 0) << "no Wine drive letter could be defined";
  const std::string tracks =
      "FILE \"disc.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
      "  TRACK 02 AUDIO\r\n    INDEX 01 00:20:00\r\n";
  const std::string data = "  TRACK 03 MODE1/2352\r\n    INDEX 01 03:40:00\r\n";
  const struct {
    const char* what;
    std::string sheet;
    DWORD dataStart;
  } cases[] = {
      {"one session", tracks + data, 16500},
      {"two sessions", "REM SESSION 01\r\n" + tracks + "REM SESSION 02\r\n" + data, 27900},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CString status;
    ASSERT_EQ(Read(c.sheet, status), DiscState::Audio) << status.GetString();
    ASSERT_EQ(g_toc.lastTrack, 3);
    EXPECT_EQ(Address(g_toc.entries[2]), c.dataStart);
    EXPECT_EQ(TrackSectors(g_toc, 0), 1500u);
    EXPECT_EQ(TrackSectors(g_toc, 1), 15000u);  // all 200 s of track 2
    EXPECT_EQ(TrackSectors(g_toc, 2), 300u);
  }
}

// What the drive makes of a sheet reaches the program's log: why it refuses an image, and
// each command it skips.
TEST_F(SheetDisc, TheReasonsOfTheImageDriveReachTheLog) {
  ASSERT_NE(s_letter, 0) << "no Wine drive letter could be defined";
  const std::string disc = "FILE \"disc.bin\" BINARY\r  TRACK 01 AUDIO\r    INDEX 01 00:00:00\r";
  std::string utf16 = "\xFF\xFE";
  for (char c : "COMPOSER \"Someone\"\r" + disc) utf16 += std::string{c, '\0'};
  const struct {
    const char* what;
    std::string sheet;
    DiscState state;
    std::wstring line;
  } cases[] = {
      {"file missing", "FILE \"gone.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n",
       DiscState::NoDisc, L"refused: line 1: gone.bin: file missing or unreadable"},
      {"bad sheet line", disc + "  TRACK 02 AUDIO\r    INDEX 01 00:00:7x\r", DiscState::NoDisc,
       L"refused: line 5: INDEX needs a number and mm:ss:ff"},
      {"UTF-16 with CR line ends and an unknown command", utf16, DiscState::Audio,
       L"disc.cue: line 1: unknown command COMPOSER skipped"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LogCapture log;
    CString status;
    EXPECT_EQ(Read(c.sheet, status), c.state) << status.GetString();
    const auto lines = LogCapture::Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].first, LOG_WARNING);
    EXPECT_EQ(lines[0].second.rfind(L"Disc image ", 0), 0u) << lines[0].second;
    EXPECT_NE(lines[0].second.find(c.line), std::wstring::npos) << lines[0].second;
  }
}

}  // namespace
