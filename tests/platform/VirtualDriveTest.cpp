// The library through its exports, under Wine, over CD-ROM letters this test defines itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <algorithm>
#include <map>
#include <memory>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/cdgrab/AudioCDGrabber.h"
#include "platform/tools/WineDrive.h"

namespace {

// Error codes of the library (GetAspiLibError).
constexpr int32_t kErrBadArgument = 1, kErrBadHandle = 3, kErrNoDisc = 5, kErrBadImage = 6,
                  kErrImageFile = 7, kErrWaveFormat = 8, kErrOutOfRange = 9, kErrReadFailed = 10,
                  kErrNotAudio = 11, kErrBlockTooSmall = 12;

const char* const kDiscNames[] = {"mixed", "plain",     "wave",    "broken",
                                  "empty", "data-last", "enhanced"};

std::wstring DosPath(const std::string& unixPath) {
  using ToDos = WCHAR*(__cdecl*)(const char*);
  auto toDos = reinterpret_cast<ToDos>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name"));
  if (!toDos) return std::wstring();
  WCHAR* dos = toDos(unixPath.c_str());
  if (!dos) return std::wstring();
  std::wstring path = dos;
  HeapFree(GetProcessHeap(), 0, dos);
  return path;
}

// A folder's identity (Wine's file index is the Unix inode), or 0 when it cannot be opened.
uint64_t FolderId(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info;
  uint64_t id = 0;
  if (GetFileInformationByHandle(h, &info))
    id = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  CloseHandle(h);
  return id;
}

std::vector<uint8_t> ReadWholeFile(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  HANDLE h =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size;
  GetFileSizeEx(h, &size);
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty()) ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(h);
  bytes.resize(got);
  return bytes;
}

void WriteWholeFile(const std::wstring& path, const std::string& text) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD put = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
  CloseHandle(h);
}

// The library's lines for the log waiting now.
std::vector<std::string> TakeMessages() {
  std::vector<std::string> lines;
  char text[512];
  while (GetCDLibMessage(text, sizeof text) == 1) lines.push_back(text);
  return lines;
}

// Runs a command of the host's shell, outside Wine and its share modes, as another program
// on the machine would; true once it has finished.
bool RunOnHost(const std::string& command) {
  const std::string marker = std::string(CDGRAB_TEST_DISCS) + "/host-command-done";
  const std::wstring markerDos = DosPath(marker);
  DeleteFileW(markerDos.c_str());
  std::string line = "/bin/sh -c \"" + command + " && : > '" + marker + "'\"";
  std::wstring wide(line.begin(), line.end());
  STARTUPINFOW startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof process);
  // Wine starts a host program without a process handle to wait on: the marker tells.
  if (!CreateProcessW(DosPath("/bin/sh").c_str(), wide.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return false;
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  for (int i = 0; i < 1000; ++i) {
    if (GetFileAttributesW(markerDos.c_str()) != INVALID_FILE_ATTRIBUTES) {
      DeleteFileW(markerDos.c_str());
      return true;
    }
    Sleep(10);
  }
  return false;
}

uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

struct Block {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(sizeof(CDAudioBlock) + kCDBlockDataBytes);
  Block() { Header()->capacity = kCDBlockDataBytes; }
  CDAudioBlock* Header() { return reinterpret_cast<CDAudioBlock*>(bytes.data()); }
  const uint8_t* Data() { return CDAudioBlockData(Header()); }
  int32_t Read(CDHANDLE h, int32_t lba, uint32_t count) {
    Header()->firstSector = lba;
    Header()->sectorCount = count;
    Header()->bytesDelivered = 0;
    Header()->audioOffset = 0;
    return ReadCDAudioLBA(h, Header());
  }
};

class VirtualDrives : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Letters an interrupted earlier run left over our discs would crowd the list.
    for (const char* name : kDiscNames) {
      uint64_t id = FolderId(DosPath(std::string(CDGRAB_TEST_DISCS) + "/" + name));
      for (const wchar_t* p = cdgrab::kSpareLetters; id && *p; ++p) {
        wchar_t root[] = L"?:\\";
        root[0] = *p;
        if (GetDriveTypeW(root) == DRIVE_CDROM && FolderId(root) == id) cdgrab::RemoveWineDrive(*p);
      }
    }
    for (const char* name : kDiscNames) {
      std::string folder = std::string(CDGRAB_TEST_DISCS) + "/" + name;
      wchar_t letter = cdgrab::DefineFreeWineCdDrive(cdgrab::kSpareLetters, folder);
      ASSERT_NE(letter, 0) << "no free drive letter for " << folder;
      letters_[name] = letter;
      folders_[name] = DosPath(folder) + L"\\";
    }
  }
  static void TearDownTestSuite() {
    for (auto& [name, letter] : letters_) cdgrab::RemoveWineDrive(letter);
    letters_.clear();
  }

  // The letters the program pairs with our entries: CD-ROM drives that open, in order.
  static std::vector<wchar_t> ProgramLetters() {
    std::vector<wchar_t> letters;
    for (wchar_t c = L'A'; c <= L'Z'; ++c) {
      wchar_t root[] = L"?:\\", device[] = L"\\\\.\\?:";
      root[0] = device[4] = c;
      if (GetDriveTypeW(root) != DRIVE_CDROM) continue;
      HANDLE h =
          CreateFileW(device, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      if (h == INVALID_HANDLE_VALUE) continue;
      CloseHandle(h);
      letters.push_back(c);
    }
    return letters;
  }

  // Opens the disc by the address of the entry paired with its letter.
  static CDHANDLE Open(const char* name) {
    cdgrab::DriveLetterLock lock;  // no other program's letter comes or goes meanwhile
    CDDriveList list;
    memset(&list, 0, sizeof list);
    list.capacity = 8;
    GetCDList(&list);
    std::vector<wchar_t> letters = ProgramLetters();
    for (size_t i = 0; i < letters.size() && i < list.found; ++i) {
      if (letters[i] != letters_[name]) continue;
      CDHandleRequest request;
      memset(&request, 0, sizeof request);
      request.size = sizeof request;
      request.version = 1;
      request.hostAdapter = list.entries[i].hostAdapter;
      request.targetId = list.entries[i].targetId;
      request.lun = list.entries[i].lun;
      CDHANDLE h = GetCDHandle(&request);
      if (h) ModifyCDParms(h, 36, 0);
      return h;
    }
    return 0;
  }

  static std::map<std::string, wchar_t> letters_;
  static std::map<std::string, std::wstring> folders_;
};

std::map<std::string, wchar_t> VirtualDrives::letters_;
std::map<std::string, std::wstring> VirtualDrives::folders_;

// Test programs run in parallel in one prefix, each taking letters for its own discs:
// definers starting at the same moment (threads here, processes there) must never be
// handed the same letter, or one takes over the other's drive.
TEST(WineDriveLetters, ParallelDefinersEachGetTheirOwnLetter) {
  constexpr int kDefiners = 4;
  // Folders of their own: the path of a folder some letter stands over can come back as
  // that letter's, for a while even after the letter is gone.
  std::string folders[kDefiners];
  uint64_t ids[kDefiners];
  for (int i = 0; i < kDefiners; ++i) {
    const std::string name = "definer-" + std::to_string(i);
    folders[i] = std::string(CDGRAB_TEST_DISCS) + "/" + name;
    const std::wstring dos =
        DosPath(CDGRAB_TEST_DISCS) + L"\\" + std::wstring(name.begin(), name.end());
    CreateDirectoryW(dos.c_str(), nullptr);
    ids[i] = FolderId(dos);
    ASSERT_NE(ids[i], 0u) << folders[i];
  }
  for (int round = 0; round < 5; ++round) {
    std::atomic<bool> go{false};
    wchar_t letters[kDefiners] = {};
    std::vector<std::thread> definers;
    for (int i = 0; i < kDefiners; ++i) {
      definers.emplace_back([&, i] {
        while (!go.load()) std::this_thread::yield();
        letters[i] = cdgrab::DefineFreeWineCdDrive(cdgrab::kSpareLetters, folders[i]);
      });
    }
    go = true;
    for (std::thread& t : definers) t.join();
    for (int i = 0; i < kDefiners; ++i) {
      ASSERT_NE(letters[i], 0) << folders[i];
      wchar_t root[] = L"?:\\";
      root[0] = letters[i];
      EXPECT_EQ(FolderId(root), ids[i])
          << "round " << round << ": " << folders[i] << " lost its letter";
    }
    for (wchar_t letter : letters) cdgrab::RemoveWineDrive(letter);
  }
}

TEST_F(VirtualDrives, ListPairsEntriesWithLettersInOrder) {
  CDDriveList list;
  memset(&list, 0, sizeof list);
  list.capacity = 8;
  GetCDList(&list);
  std::vector<wchar_t> letters = ProgramLetters();
  ASSERT_EQ(list.found, std::min<size_t>(letters.size(), 8));
  for (const char* name : {"mixed", "plain", "wave", "broken"}) {
    size_t i = 0;
    while (i < letters.size() && letters[i] != letters_[name]) ++i;
    ASSERT_LT(i, list.found) << name;
    const CDDriveEntry& e = list.entries[i];
    bool virtualDisc = strcmp(name, "broken") != 0;  // broken has no sheet until a test writes one
    if (virtualDisc) {
      EXPECT_STREQ(e.vendor, "VIRTUAL") << name;
      EXPECT_STREQ(e.product, "CUE IMAGE") << name;
    }
    EXPECT_EQ(e.vendor[8], 0);
    EXPECT_EQ(e.product[16], 0);
  }
  // Every entry has its own address.
  for (size_t i = 0; i < list.found; ++i)
    for (size_t j = i + 1; j < list.found; ++j)
      EXPECT_FALSE(list.entries[i].hostAdapter == list.entries[j].hostAdapter &&
                   list.entries[i].targetId == list.entries[j].targetId &&
                   list.entries[i].lun == list.entries[j].lun);
}

TEST_F(VirtualDrives, MixedDiscTableOfContents) {
  CDHANDLE h = Open("mixed");
  ASSERT_NE(h, 0);
  CDTableOfContents toc;
  memset(&toc, 0, sizeof toc);
  ASSERT_EQ(ReadTOC(h, &toc), 1) << GetAspiLibError();
  EXPECT_EQ((toc.tocLength[0] << 8) | toc.tocLength[1], 2 + 8 * 5);
  EXPECT_EQ(toc.firstTrack, 3);
  EXPECT_EQ(toc.lastTrack, 6);
  struct {
    int number, control;
    uint32_t lba;
  } const expected[] = {{3, 4, 0}, {4, 0, 450}, {5, 0, 5100}, {6, 0, 7500}, {0xAA, 0, 9000}};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(toc.entries[i].trackNumber, expected[i].number);
    EXPECT_EQ(toc.entries[i].adrControl & 0x0F, expected[i].control);
    EXPECT_EQ(toc.entries[i].adrControl >> 4, 1);
    EXPECT_EQ(Be32(toc.entries[i].address), expected[i].lba);
  }
  EXPECT_EQ(CloseCDHandle(h), 1);
  EXPECT_EQ(ReadTOC(h, &toc), 0);
  EXPECT_EQ(GetAspiLibError(), kErrBadHandle);
}

TEST_F(VirtualDrives, TenMegabytesEqualTheImageFiles) {
  CDHANDLE h = Open("plain");
  ASSERT_NE(h, 0);
  CDTableOfContents toc;
  ASSERT_EQ(ReadTOC(h, &toc), 1);
  std::vector<uint8_t> image = ReadWholeFile(folders_["plain"] + L"track01.bin");
  std::vector<uint8_t> second = ReadWholeFile(folders_["plain"] + L"track02.bin");
  image.insert(image.end(), second.begin(), second.end());
  ASSERT_EQ(image.size(), 5000u * kCDSectorBytes);
  ASSERT_EQ(Be32(toc.entries[1].address), 3000u);

  Block block;
  const uint32_t total = 10 * 1024 * 1024 / kCDSectorBytes + 1;  // over 10 MB, across both files
  for (uint32_t lba = 0; lba < total; lba += 26) {
    uint32_t n = std::min<uint32_t>(26, 5000 - lba);
    ASSERT_EQ(block.Read(h, static_cast<int32_t>(lba), n), 1) << lba;
    ASSERT_EQ(block.Header()->bytesDelivered, n * kCDSectorBytes);
    ASSERT_EQ(memcmp(block.Data() + block.Header()->audioOffset,
                     image.data() + size_t(lba) * kCDSectorBytes, n * kCDSectorBytes),
              0)
        << "sector " << lba;
  }
  // The generator's counter on the right channel: track 2, frame n from its start.
  ASSERT_EQ(block.Read(h, 3000 + 7, 1), 1);
  const int16_t* s = reinterpret_cast<const int16_t*>(block.Data());
  EXPECT_EQ(static_cast<uint16_t>(s[1]), (2 << 12) | ((7 * 588) & 0xFFF));
  EXPECT_EQ(static_cast<uint16_t>(s[2 * 587 + 1]), (2 << 12) | ((7 * 588 + 587) & 0xFFF));
  CloseCDHandle(h);
}

TEST_F(VirtualDrives, WaveFilesAndSilentPregap) {
  CDHANDLE h = Open("wave");
  ASSERT_NE(h, 0);
  CDTableOfContents toc;
  ASSERT_EQ(ReadTOC(h, &toc), 1);
  EXPECT_EQ(Be32(toc.entries[1].address), 375u);  // 300 sectors, then 75 of PREGAP
  EXPECT_EQ(Be32(toc.entries[2].address), 575u);
  std::vector<uint8_t> wav = ReadWholeFile(folders_["wave"] + L"track02.wav");
  ASSERT_EQ(wav.size(), 44u + 200 * kCDSectorBytes);
  Block block;
  ASSERT_EQ(block.Read(h, 374, 2), 1);
  std::vector<uint8_t> zero(kCDSectorBytes, 0);
  EXPECT_EQ(memcmp(block.Data(), zero.data(), kCDSectorBytes), 0);
  EXPECT_EQ(memcmp(block.Data() + kCDSectorBytes, wav.data() + 44, kCDSectorBytes), 0);
  CloseCDHandle(h);
}

TEST_F(VirtualDrives, ReadersOnTwoThreadsWhileAnotherRefreshes) {
  CDHANDLE h = Open("plain");
  ASSERT_NE(h, 0);
  std::vector<uint8_t> image = ReadWholeFile(folders_["plain"] + L"track01.bin");
  ASSERT_EQ(image.size(), 3000u * kCDSectorBytes);
  std::atomic<int> mismatches{0};
  std::atomic<bool> readersDone{false};  // only stops the refresher; no data rides on it
  auto reader = [&](uint32_t from) {
    Block block;
    for (int pass = 0; pass < 20; ++pass) {
      for (uint32_t lba = from; lba + 26 <= from + 1300; lba += 26) {
        if (block.Read(h, static_cast<int32_t>(lba), 26) != 1 ||
            memcmp(block.Data(), image.data() + size_t(lba) * kCDSectorBytes,
                   26 * kCDSectorBytes) != 0)
          ++mismatches;
      }
    }
  };
  std::thread refresher([&] {
    while (!readersDone.load(std::memory_order_relaxed)) {
      CDHANDLE other = Open("mixed");
      CDTableOfContents toc;
      if (other) ReadTOC(other, &toc);
      CloseCDHandle(other);
      GetAspiLibError();
    }
  });
  std::thread a(reader, 0), b(reader, 1500);
  a.join();
  b.join();
  readersDone.store(true, std::memory_order_relaxed);
  refresher.join();
  EXPECT_EQ(mismatches.load(), 0);
  CloseCDHandle(h);
}

TEST_F(VirtualDrives, InjectedReadErrorsFailThenRecover) {
  CDHANDLE h = Open("mixed");
  ASSERT_NE(h, 0);
  CDTableOfContents toc;
  ASSERT_EQ(ReadTOC(h, &toc), 1);
  Block block;
  // READ-ERROR 1000 2 3: any read touching 1000-1001 fails three times, then succeeds.
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_EQ(block.Read(h, 990, 11), 0) << attempt;
    EXPECT_EQ(GetAspiLibError(), kErrReadFailed);
    EXPECT_EQ(GetAspiLibAspiError() & 0xFF, 0x04);
    EXPECT_EQ(block.Header()->bytesDelivered, 0u);
  }
  EXPECT_EQ(block.Read(h, 1001, 1), 1);
  EXPECT_EQ(block.Read(h, 999, 1), 1);  // outside the range, never failed
  // READ-ERROR 2000 1 -1: always.
  for (int attempt = 0; attempt < 10; ++attempt) EXPECT_EQ(block.Read(h, 1990, 26), 0);
  EXPECT_EQ(block.Read(h, 2001, 26), 1);
  // A refresh (ReadTOC) starts the counters again.
  ASSERT_EQ(ReadTOC(h, &toc), 1);
  EXPECT_EQ(block.Read(h, 1000, 1), 0);
  CloseCDHandle(h);
}

TEST_F(VirtualDrives, BadRequestsFailWithAReason) {
  CDHANDLE h = Open("mixed");
  ASSERT_NE(h, 0);
  CDTableOfContents toc;
  ASSERT_EQ(ReadTOC(h, &toc), 1);
  Block block;
  struct {
    int32_t lba;
    uint32_t count, capacity;
    int32_t error;
  } const cases[] = {
      {0, 1, kCDBlockDataBytes, kErrNotAudio},        // data track
      {290, 20, kCDBlockDataBytes, kErrNotAudio},     // ends in the first audio gap
      {8990, 11, kCDBlockDataBytes, kErrOutOfRange},  // past the lead-out
      {9000, 1, kCDBlockDataBytes, kErrOutOfRange},
      {-1, 1, kCDBlockDataBytes, kErrBadArgument},
      {500, 0, kCDBlockDataBytes, kErrBadArgument},
      {500, 27, 26 * kCDSectorBytes, kErrBlockTooSmall},  // more than the data area holds
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lba);
    block.Header()->capacity = c.capacity;
    EXPECT_EQ(block.Read(h, c.lba, c.count), 0);
    EXPECT_EQ(GetAspiLibError(), c.error);
  }
  block.Header()->capacity = kCDBlockDataBytes;
  EXPECT_EQ(block.Read(h, 8999, 1), 1);  // the last sector

  CDHandleRequest request;
  memset(&request, 0, sizeof request);
  request.size = 11;
  request.version = 1;
  EXPECT_EQ(GetCDHandle(&request), 0);
  EXPECT_EQ(GetAspiLibError(), kErrBadArgument);
  EXPECT_EQ(GetCDHandle(nullptr), 0);
  EXPECT_EQ(ReadTOC(h, nullptr), 0);
  EXPECT_EQ(ReadCDAudioLBA(h, nullptr), 0);
  EXPECT_EQ(ModifyCDParms(12345, 36, 0), 0);
  EXPECT_EQ(GetAspiLibError(), kErrBadHandle);
  EXPECT_EQ(CloseCDHandle(h), 1);
  EXPECT_EQ(CloseCDHandle(h), 0);
}

TEST_F(VirtualDrives, MalformedSheetsReportNoDisc) {
  const std::wstring cue = folders_["broken"] + L"a.cue";
  struct {
    const char* sheet;
    int32_t error;
  } const cases[] = {
      {"FILE \"missing.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", kErrImageFile},
      {"FILE \"a.cue\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:0x\n", kErrBadImage},
      {"FILE \"a.cue\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", kErrWaveFormat},
      {"FILE \"..\\mixed\\disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n",
       kErrBadImage},
      {"", kErrBadImage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sheet);
    WriteWholeFile(cue, c.sheet);
    CDHANDLE h = Open("broken");
    ASSERT_NE(h, 0);  // the drive opens; it just has no disc
    CDTableOfContents toc;
    memset(&toc, 0xCC, sizeof toc);
    EXPECT_EQ(ReadTOC(h, &toc), 0);
    EXPECT_EQ(GetAspiLibError(), c.error);
    EXPECT_EQ(toc.tocLength[0] | toc.tocLength[1] | toc.firstTrack | toc.lastTrack, 0);
    Block block;
    EXPECT_EQ(block.Read(h, 0, 1), 0);
    CloseCDHandle(h);
  }
  DeleteFileW(cue.c_str());
}

// The sheet that a refresh refuses says why; the commands it skips are named.
TEST_F(VirtualDrives, TheDriveSaysWhyItRefusesASheetAndWhatItSkips) {
  const std::wstring cue = folders_["broken"] + L"a.cue";
  const std::string bin = "FILE \"a.cue\" BINARY\r  TRACK 01 AUDIO\r    INDEX 01 00:00:00\r";
  struct {
    std::string sheet;
    int32_t result;
    const char* line;
  } const cases[] = {
      {"FILE \"missing.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", 0,
       "a.cue refused: line 1: missing.bin: file missing or unreadable"},
      {bin + "  TRACK 02 AUDIO\r    INDEX 01 00:00:0x\r", 0, "a.cue refused: line 5: INDEX needs"},
      {"", 0, "a.cue refused: no TRACK"},
      {"COMPOSER \"X\"\r" + bin, 1, "a.cue: line 1: unknown command COMPOSER skipped"},
  };
  TakeMessages();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sheet);
    WriteWholeFile(cue, c.sheet);
    CDHANDLE h = Open("broken");
    ASSERT_NE(h, 0);
    CDTableOfContents toc;
    EXPECT_EQ(ReadTOC(h, &toc), c.result);
    CloseCDHandle(h);
    std::vector<std::string> lines = TakeMessages();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Disc image ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(c.line), std::string::npos) << lines[0];
  }
  DeleteFileW(cue.c_str());
  // A buffer too small for a line gets as much of it as fits.
  WriteWholeFile(cue, "");
  CDHANDLE h = Open("broken");
  CDTableOfContents toc;
  ReadTOC(h, &toc);
  CloseCDHandle(h);
  char text[8];
  memset(text, 'x', sizeof text);
  EXPECT_EQ(GetCDLibMessage(text, sizeof text), 1);
  EXPECT_STREQ(text, "Disc im");
  EXPECT_EQ(GetCDLibMessage(text, sizeof text), 0);
  DeleteFileW(cue.c_str());
}

// A data track after the audio: in the audio's session it follows at once; opening a
// second session it lies 11400 sectors on, and nothing in between reads.
TEST_F(VirtualDrives, DataTrackAfterTheAudioInOneSessionOrTwo) {
  struct {
    const char* disc;
    uint32_t dataStart;
    uint8_t dataSession;
  } const cases[] = {{"data-last", 450, 1}, {"enhanced", 450 + 11400, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.disc);
    CDHANDLE h = Open(c.disc);
    ASSERT_NE(h, 0);
    CDTableOfContents toc;
    ASSERT_EQ(ReadTOC(h, &toc), 1) << GetAspiLibError();
    ASSERT_EQ(toc.lastTrack, 3);
    const uint32_t lba[] = {0, 150, c.dataStart, c.dataStart + 300};
    const uint8_t session[] = {1, 1, c.dataSession, c.dataSession};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(Be32(toc.entries[i].address), lba[i]) << i;
      EXPECT_EQ(toc.entries[i].session, session[i]) << i;
    }
    EXPECT_EQ(toc.entries[2].adrControl & 0x0F, 4);
    Block block;
    ASSERT_EQ(block.Read(h, 449, 1), 1);  // track 2's last sector, its counter going on
    const int16_t* s = reinterpret_cast<const int16_t*>(block.Data());
    EXPECT_EQ(static_cast<uint16_t>(s[1]), (2 << 12) | ((299 * 588) & 0xFFF));
    // The sector after the audio (the gap or the data track), the gap's last, the data's first.
    for (uint32_t at : {450u, std::max(450u, c.dataStart - 1), c.dataStart}) {
      EXPECT_EQ(block.Read(h, static_cast<int32_t>(at), 1), 0) << at;
      EXPECT_EQ(GetAspiLibError(), kErrNotAudio) << at;
    }
    CloseCDHandle(h);
  }
}

// An image cut or written over while the drive holds it no longer reads: its sectors fail
// as unreadable ones, never as silence or another disc's audio. Only the last sector, short
// in the file from the start, reads as silence beyond its bytes.
TEST_F(VirtualDrives, AnImageCutOrRewrittenUnderTheDriveFailsToRead) {
  const std::wstring cue = folders_["broken"] + L"a.cue";
  const std::wstring bin = folders_["broken"] + L"cut.bin";
  const std::string unixBin = std::string(CDGRAB_TEST_DISCS) + "/broken/cut.bin";
  struct {
    const char* what;
    std::string command;
    int32_t lba;  // a sector that reads before the change
  } const cases[] = {
      {"cut inside the disc",
       "truncate -s " + std::to_string(50 * kCDSectorBytes) + " '" + unixBin + "'", 80},
      {"cut inside the last sector",
       "truncate -s " + std::to_string(100 * kCDSectorBytes + 500) + " '" + unixBin + "'", 100},
      {"written over at the same size",
       "printf XY | dd of='" + unixBin + "' bs=1 seek=5000 conv=notrunc status=none", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteWholeFile(bin, std::string(100 * kCDSectorBytes + 1000, '\x11'));
    WriteWholeFile(cue, "FILE \"cut.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    CDHANDLE h = Open("broken");
    ASSERT_NE(h, 0);
    CDTableOfContents toc;
    ASSERT_EQ(ReadTOC(h, &toc), 1) << GetAspiLibError();
    ASSERT_EQ(Be32(toc.entries[1].address), 101u);
    Block block;
    ASSERT_EQ(block.Read(h, 99, 2), 1);
    const uint8_t* last = block.Data() + kCDSectorBytes;
    EXPECT_EQ(last[999], 0x11);
    EXPECT_EQ(last[1000], 0);
    EXPECT_EQ(last[kCDSectorBytes - 1], 0);
    ASSERT_EQ(block.Read(h, c.lba, 1), 1);

    ASSERT_TRUE(RunOnHost(c.command));
    EXPECT_EQ(block.Read(h, c.lba, 1), 0);
    EXPECT_EQ(GetAspiLibError(), kErrReadFailed);
    EXPECT_EQ(block.Header()->bytesDelivered, 0u);
    CloseCDHandle(h);
  }
  DeleteFileW(cue.c_str());
  DeleteFileW(bin.c_str());
}

TEST_F(VirtualDrives, CdromLetterWithoutImageHasNoDisc) {
  CDHANDLE h = Open("empty");
  if (h == 0) GTEST_SKIP() << "this Wine opens no device for a folder drive";
  CDTableOfContents toc;
  EXPECT_EQ(ReadTOC(h, &toc), 0);
  EXPECT_NE(GetAspiLibError(), 0);
  CloseCDHandle(h);
}

}  // namespace
