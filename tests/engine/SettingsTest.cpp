#include "engine/Settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "engine/OutputNaming.h"
#include "framework/core/File.h"
#include "tests/engine/LogCapture.h"

namespace {

// A fresh .ini path in the temporary folder; the file is removed afterwards.
class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    wchar_t name[MAX_PATH];
    GetTempFileNameW(folder, L"ini", 0, name);
    DeleteFileW(name);
    m_path = name;
    SetDefaults();
  }
  void TearDown() override {
    DeleteFileW(m_path.c_str());
    RemoveDirectoryW(Scratch().c_str());
    DeleteFileW(Scratch().c_str());
    SetDefaults();
  }

  // Where a save writes the new file before it takes the old one's place.
  std::wstring Scratch() const { return m_path + L".tmp"; }

  // Puts every value away from its default, so a load that skips a key shows.
  static void Scramble() {
    DbClk = DriveCount = DriveNum = AlbumInfoSource = OutputFormat = FileStyle = 42;
    LastPage = Volume = 42;
    SaveAlbumInfo = LoadAlbumInfo = M3U = FillTag = Channel = 42;
    WriteLog = 42;
    SubFormat = Freq = LameFreq = LameBits = LameChannel = QualityCompression = 42;
    LocalCDDBDir = DesDir = Separator = L"x";
  }
  static void SetDefaults() {
    DbClk = -1;
    DriveCount = DriveNum = 0;
    LastPage = 1;
    AlbumInfoSource = 0;
    SaveAlbumInfo = LoadAlbumInfo = 1;
    LocalCDDBDir.Empty();
    OutputFormat = 2;
    FileStyle = 11;
    Volume = 100;
    M3U = FillTag = 1;
    WriteLog = 0;
    DesDir.Empty();
    Separator = L"-";
    SubFormat = 1;
    Freq = LameFreq = 7;
    Channel = 1;
    LameBits = 11;
    LameChannel = 2;
    QualityCompression = 3;
  }

  void WriteFile(const char* text) {
    FILE* f = _wfopen(m_path.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    fputs(text, f);
    fclose(f);
  }
  std::string ReadFile() {
    std::string text;
    if (FILE* f = _wfopen(m_path.c_str(), L"rb")) {
      char buffer[4096];
      size_t n;
      while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) text.append(buffer, n);
      fclose(f);
    }
    return text;
  }

  std::wstring m_path;
};

TEST_F(SettingsFile, MissingFileGivesEveryDefault) {
  Scramble();
  ASSERT_TRUE(LoadSettings(m_path.c_str()));
  EXPECT_EQ(DbClk, -1);
  EXPECT_EQ(DriveCount, 0);
  EXPECT_EQ(DriveNum, 0);
  EXPECT_EQ(LastPage, 1);
  EXPECT_EQ(AlbumInfoSource, 0);
  EXPECT_EQ(SaveAlbumInfo, 1);
  EXPECT_EQ(LoadAlbumInfo, 1);
  EXPECT_EQ(OutputFormat, 2);
  EXPECT_EQ(FileStyle, 11);
  EXPECT_EQ(Volume, 100);
  EXPECT_EQ(M3U, 1);
  EXPECT_EQ(FillTag, 1);
  EXPECT_EQ(WriteLog, 0);
  EXPECT_EQ(Separator, L"-");
  EXPECT_EQ(SubFormat, 1);
  EXPECT_EQ(Freq, 7);
  EXPECT_EQ(Channel, 1);
  EXPECT_EQ(LameFreq, 7);
  EXPECT_EQ(LameBits, 11);
  EXPECT_EQ(LameChannel, 2);
  EXPECT_EQ(QualityCompression, 3);

  CString folder;
  ASSERT_TRUE(GetSettingsFolder(folder));
  EXPECT_EQ(folder.Right(8), L"\\Corvane");
  EXPECT_EQ(LocalCDDBDir, folder + L"\\Local CDDB");
  CString output;
  GetDefaultOutputFolder(output);
  EXPECT_EQ(DesDir, output);
  EXPECT_EQ(DesDir.Right(1), L"\\");
  EXPECT_FALSE(DesDir.IsEmpty());
}

TEST_F(SettingsFile, ValuesWithoutARangeAreCutAsTheirMembersAreWide) {
  WriteFile(
      "[WAV]\r\nSubFormat=0\r\n"
      "[OUTPUT]\r\nSeparator=abcd\r\nDesDir=D:\\Rips\\\r\nWriteLog=1\r\n"
      "[MISC]\r\nLastPage=65537\r\nDriveCount=70000\r\nDriveNum=-3\r\n");
  LogCapture log;
  ASSERT_TRUE(LoadSettings(m_path.c_str()));
  EXPECT_EQ(SubFormat, 0);
  EXPECT_EQ(Separator, L"ab");
  EXPECT_EQ(DesDir, L"D:\\Rips\\");
  EXPECT_EQ(WriteLog, 1);
  EXPECT_EQ(LastPage, 1);  // 65537 cut to 16 bits
  EXPECT_EQ(DriveCount, static_cast<short>(70000));
  EXPECT_EQ(DriveNum, -3);
  EXPECT_TRUE(LogCapture::Lines().empty());
}

// Each key with a range: values outside it (no number at all, or one the member's cut
// would bring back into range) take the default with one warning naming the key; the
// ends of the range load as they stand, silently.
TEST_F(SettingsFile, ValuesOutsideTheirRangeTakeTheDefaultWithAWarning) {
  struct Case {
    const char* section;
    const wchar_t* key;
    int (*value)();
    int fallback;
    std::vector<const char*> outside;
    std::vector<int> inside;
  };
  const Case cases[] = {
      {"OUTPUT",
       L"OutputFormat",
       [] { return int(OutputFormat); },
       2,
       {"0", "4", "-1", "99999", "abc", "65537"},
       {1, 3}},
      {"OUTPUT", L"FileStyle", [] { return int(FileStyle); }, 11, {"-1", "13", "abc"}, {0, 12}},
      {"OUTPUT", L"Volume", [] { return int(Volume); }, 100, {"101", "65537", "-1"}, {0, 100}},
      {"OGG",
       L"QualityCompression",
       [] { return int(QualityCompression); },
       3,
       {"-2", "11", "x"},
       {-1, 10}},
      {"MISC", L"DbClk", [] { return int(DbClk); }, -1, {"2", "-2"}, {-1, 1}},
      {"FREEDB", L"AlbumInfoSource", [] { return int(AlbumInfoSource); }, 0, {"3", "-1"}, {2}},
      {"WAV", L"SubFormat", [] { return int(SubFormat); }, 1, {"5", "-1"}, {0}},
      {"WAV", L"Freq", [] { return int(Freq); }, 7, {"11", "-1"}, {0, 10}},
      {"MP3", L"LameFreq", [] { return int(LameFreq); }, 7, {"11"}, {0, 10}},
      {"MP3", L"LameBits", [] { return int(LameBits); }, 11, {"17", "-1"}, {0, 16}},
      {"MP3", L"LameChannel", [] { return int(LameChannel); }, 2, {"4", "-1"}, {0, 3}},
  };
  for (const Case& c : cases) {
    const std::string key = CStringA(c.key).GetString();
    for (const char* text : c.outside) {
      SCOPED_TRACE(key + "=" + text);
      WriteFile(("[" + std::string(c.section) + "]\r\n" + key + "=" + text + "\r\n").c_str());
      Scramble();
      LogCapture log;
      ASSERT_TRUE(LoadSettings(m_path.c_str()));
      EXPECT_EQ(c.value(), c.fallback);
      const auto lines = LogCapture::Lines();
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0].first, 1);
      EXPECT_NE(lines[0].second.find(c.key), std::wstring::npos)
          << CStringA(lines[0].second.c_str()).GetString();
    }
    for (int value : c.inside) {
      SCOPED_TRACE(key + "=" + std::to_string(value));
      WriteFile(
          ("[" + std::string(c.section) + "]\r\n" + key + "=" + std::to_string(value) + "\r\n")
              .c_str());
      Scramble();
      LogCapture log;
      ASSERT_TRUE(LoadSettings(m_path.c_str()));
      EXPECT_EQ(c.value(), value);
      EXPECT_TRUE(LogCapture::Lines().empty());
    }
  }
}

// The separator goes into every file name: it is filtered as the Output page filters a
// typed one, with a warning when that changed it.
TEST_F(SettingsFile, SeparatorIsFilteredAsTheOutputPageFiltersIt) {
  const struct {
    const char* stored;
    const wchar_t* loaded;
  } cases[] = {{"/", L"-"},   {"\\\\", L"--"}, {"a:", L"a-"}, {"?*x", L"--"},
               {"%d", L"%d"}, {"_.", L"_."},   {"", L""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    WriteFile((std::string("[OUTPUT]\r\nSeparator=") + c.stored + "\r\n").c_str());
    LogCapture log;
    ASSERT_TRUE(LoadSettings(m_path.c_str()));
    EXPECT_EQ(Separator, c.loaded);
    EXPECT_EQ(Separator, SanitizeDelimiter(Separator));
    const auto lines = LogCapture::Lines();
    const bool changed = !(CString(c.stored) == c.loaded);
    ASSERT_EQ(lines.size(), changed ? 1u : 0u);
    if (changed) {
      EXPECT_NE(lines[0].second.find(L"Separator"), std::wstring::npos);
    }
  }
}

// DesDir gets the "\" that nothing else puts between it and the file names; a folder
// that does not fit its 255 characters is refused whole, never cut, and the cut value is
// never saved back.
TEST_F(SettingsFile, FoldersGetTheirBackslashAndAreRefusedRatherThanCut) {
  CString output;
  GetDefaultOutputFolder(output);
  CString cache;
  GetSettingsFolder(cache);
  cache += L"\\Local CDDB";
  const std::string fits = "D:\\" + std::string(251, 'd') + "\\";  // 255 characters
  const struct {
    const char* key;
    std::string stored;
    CString loaded;
    bool warned;
  } cases[] = {
      {"DesDir", "D:\\Rips", L"D:\\Rips\\", false},
      {"DesDir", "D:\\Rips\\", L"D:\\Rips\\", false},
      {"DesDir", fits, CString(fits.c_str()), false},
      {"DesDir", fits.substr(0, 255 - 1), CString(fits.c_str()), false},  // its "\" added
      {"DesDir", fits.substr(0, 254) + "d", output, true},  // 255 and its "\" do not fit
      {"DesDir", fits + "e\\", output, true},
      {"DesDir", "D:\\" + std::string(2000, 'f') + "\\", output, true},
      {"DesDir", "", output, true},
      {"LocalCDDBDir", "C:\\Cache", L"C:\\Cache", false},
      {"LocalCDDBDir", "C:\\" + std::string(253, 'c'), cache, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.stored.substr(0, 40));
    const char* section = std::string(c.key) == "DesDir" ? "OUTPUT" : "FREEDB";
    WriteFile(("[" + std::string(section) + "]\r\n" + c.key + "=" + c.stored + "\r\n").c_str());
    LogCapture log;
    ASSERT_TRUE(LoadSettings(m_path.c_str()));
    const CString& loaded = std::string(c.key) == "DesDir" ? DesDir : LocalCDDBDir;
    EXPECT_EQ(loaded, c.loaded);
    const auto lines = LogCapture::Lines();
    ASSERT_EQ(lines.size(), c.warned ? 1u : 0u);
    if (c.warned) {
      EXPECT_NE(lines[0].second.find(CString(c.key).GetString()), std::wstring::npos);
    }
    ASSERT_TRUE(SaveSettings(m_path.c_str()));
    EXPECT_NE(ReadFile().find(std::string(c.key) + "=" + CStringA(c.loaded).GetString() + "\r\n"),
              std::string::npos);
  }
}

TEST_F(SettingsFile, SaveWritesEveryKeyInOrderAndLoadsBack) {
  LocalCDDBDir = L"C:\\Cache";
  DesDir = L"C:\\Out\\";
  Separator = L"--";
  Volume = 100;
  LastPage = 2;
  DbClk = -1;
  QualityCompression = -1;
  WriteFile("");  // an existing ANSI file stays one
  {
    LogCapture log;
    ASSERT_TRUE(SaveSettings(m_path.c_str()));
    EXPECT_TRUE(LogCapture::Lines().empty());
  }
  EXPECT_EQ(ReadFile(),
            "[MISC]\r\nDbClk=-1\r\nDriveCount=0\r\nDriveNum=0\r\nLastPage=2\r\n"
            "[FREEDB]\r\nAlbumInfoSource=0\r\nSaveAlbumInfo=1\r\nLoadAlbumInfo=1\r\n"
            "LocalCDDBDir=C:\\Cache\r\n"
            "[OUTPUT]\r\nOutputFormat=2\r\nFileStyle=11\r\nVolume=100\r\nM3U=1\r\nWriteLog=0\r\n"
            "FillTag=1\r\nDesDir=C:\\Out\\\r\nSeparator=--\r\n"
            "[WAV]\r\nSubFormat=1\r\nFreq=7\r\nChannel=1\r\n"
            "[MP3]\r\nLameFreq=7\r\nLameBits=11\r\nLameChannel=2\r\n"
            "[OGG]\r\nQualityCompression=-1\r\n");

  Scramble();
  ASSERT_TRUE(LoadSettings(m_path.c_str()));
  EXPECT_EQ(Volume, 100);
  EXPECT_EQ(LastPage, 2);
  EXPECT_EQ(DbClk, -1);
  EXPECT_EQ(QualityCompression, -1);
  EXPECT_EQ(LocalCDDBDir, L"C:\\Cache");
  EXPECT_EQ(DesDir, L"C:\\Out\\");
  EXPECT_EQ(Separator, L"--");
}

// The file start-up creates, and the one a save creates when it is missing, are UTF-16:
// folders named in any script come back as they were saved. An existing UTF-8 file
// (with its mark) stays UTF-8.
TEST_F(SettingsFile, NamesInAnyScriptComeBackFromTheFilesItCreates) {
  const CString music = L"C:\\\u041c\u0443\u0437\u044b\u043a\u0430\\";  // Музыка
  const CString cache = L"C:\\\u041a\u044d\u0448 \u6771\u4eac";
  const CString separator = L"\u0451";
  for (bool atStartUp : {true, false}) {
    SCOPED_TRACE(atStartUp ? "created at start-up" : "created by the save");
    DeleteFileW(m_path.c_str());
    if (atStartUp) {
      ASSERT_TRUE(AfxCreateUnicodeProfile(m_path.c_str()));
      EXPECT_EQ(ReadFile(), std::string("\xFF\xFE"));
      EXPECT_FALSE(AfxCreateUnicodeProfile(m_path.c_str()));  // never over a file
    }
    DesDir = music;
    LocalCDDBDir = cache;
    Separator = separator;
    ASSERT_TRUE(SaveSettings(m_path.c_str()));
    EXPECT_EQ(ReadFile().substr(0, 2), std::string("\xFF\xFE"));
    Scramble();
    LogCapture log;
    ASSERT_TRUE(LoadSettings(m_path.c_str()));
    EXPECT_EQ(DesDir, music);
    EXPECT_EQ(LocalCDDBDir, cache);
    EXPECT_EQ(Separator, separator);
    EXPECT_EQ(OutputFormat, 2);
    EXPECT_TRUE(LogCapture::Lines().empty());
  }

  const std::string utf8Music = "C:\\\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0\\";
  WriteFile(("\xEF\xBB\xBF[OUTPUT]\r\nDesDir=" + utf8Music + "\r\n").c_str());
  ASSERT_TRUE(LoadSettings(m_path.c_str()));
  EXPECT_EQ(DesDir, music);
  ASSERT_TRUE(SaveSettings(m_path.c_str()));
  const std::string saved = ReadFile();
  EXPECT_EQ(saved.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(saved.find("DesDir=" + utf8Music + "\r\n"), std::string::npos);
}

// Written unsigned even where no load would take it back (above 100 it is out of range).
TEST_F(SettingsFile, VolumeIsWrittenUnsigned) {
  for (unsigned short volume : {0, 100, 40000}) {
    Volume = volume;
    ASSERT_TRUE(SaveSettings(m_path.c_str()));
    EXPECT_EQ(GetPrivateProfileIntW(L"OUTPUT", L"Volume", -5, m_path.c_str()), volume);
    Volume = 7;
    ASSERT_TRUE(LoadSettings(m_path.c_str()));
    EXPECT_EQ(Volume, volume <= 100 ? volume : 100);
  }
}

TEST_F(SettingsFile, FailuresAreLoggedAsWarnings) {
  LogCapture log;
  EXPECT_FALSE(LoadSettings(L""));
  EXPECT_FALSE(SaveSettings(L"Z:\\no such folder\\at all\\Corvane.ini"));
  const auto lines = LogCapture::Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::make_pair(1, std::wstring(L"Error on loading settings!")));
  EXPECT_EQ(lines[1], std::make_pair(1, std::wstring(L"Error on saving settings!")));
}

// Ways a settings file that is there can refuse to be read or written.
// (A read-only file is not among them: under Wine run as root it stays writable.)
enum class Block { Locked, Folder };

// Holds the file at path blocked for the life of the object.
class BlockedFile {
 public:
  BlockedFile(const std::wstring& path, Block how) : m_path(path), m_how(how) {
    switch (how) {
      case Block::Locked:  // another program holds it open, sharing nothing
        m_handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(m_handle, INVALID_HANDLE_VALUE);
        break;
      case Block::Folder:
        DeleteFileW(path.c_str());
        EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
        break;
    }
  }
  ~BlockedFile() {
    if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
    if (m_how == Block::Folder) RemoveDirectoryW(m_path.c_str());
  }

 private:
  std::wstring m_path;
  Block m_how;
  HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// Both ways, for the load and the save.
const struct BlockCase {
  const char* name;
  Block how;
} kBlocks[] = {{"locked", Block::Locked}, {"a folder", Block::Folder}};

// A file that cannot be read is a failed load, not a file of defaults: the warning, and
// every value keeps what it held.
TEST_F(SettingsFile, UnreadableFileFailsTheLoad) {
  for (const BlockCase& c : kBlocks) {
    SCOPED_TRACE(c.name);
    WriteFile("[OUTPUT]\r\nVolume=37\r\n");
    LogCapture log;
    {
      BlockedFile blocked(m_path, c.how);
      SetDefaults();
      EXPECT_FALSE(LoadSettings(m_path.c_str()));
    }
    EXPECT_EQ(Volume, 100);
    const auto lines = LogCapture::Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], std::make_pair(1, std::wstring(L"Error on loading settings!")));
  }
}

TEST_F(SettingsFile, UnwritableFileFailsTheSave) {
  for (const BlockCase& c : kBlocks) {
    SCOPED_TRACE(c.name);
    WriteFile("[OUTPUT]\r\nVolume=37\r\n");
    LogCapture log;
    {
      BlockedFile blocked(m_path, c.how);
      EXPECT_FALSE(SaveSettings(m_path.c_str()));
    }
    const auto lines = LogCapture::Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], std::make_pair(1, std::wstring(L"Error on saving settings!")));
    if (c.how == Block::Locked) {
      EXPECT_EQ(ReadFile(), "[OUTPUT]\r\nVolume=37\r\n");
    }
  }
}

// A save cut short leaves the file as it was, whole: here the new file cannot be written
// beside it. The save fails with its warning.
TEST_F(SettingsFile, SaveThatCannotWriteTheNewFileLeavesTheOldOne) {
  const char* const old = "[MISC]\r\nTip=0\r\n[OUTPUT]\r\nVolume=37\r\n";
  for (const BlockCase& c : kBlocks) {
    SCOPED_TRACE(c.name);
    WriteFile(old);
    Volume = 80;
    LogCapture log;
    {
      FILE* leftover = _wfopen(Scratch().c_str(), L"wb");  // one that can be held
      ASSERT_NE(leftover, nullptr);
      fclose(leftover);
      BlockedFile blocked(Scratch(), c.how);
      EXPECT_FALSE(SaveSettings(m_path.c_str()));
    }
    EXPECT_EQ(ReadFile(), old);
    const auto lines = LogCapture::Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], std::make_pair(1, std::wstring(L"Error on saving settings!")));
  }
}

// What a save killed half-way leaves beside the file is no obstacle to the next one; a
// save keeps the file's encoding and the keys it does not write itself.
TEST_F(SettingsFile, SaveReplacesWhatAnEarlierSaveLeftHalfWritten) {
  const std::string ansi = "[MISC]\r\nTip=0\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char ch : ansi) utf16 += {ch, '\0'};
  struct Case {
    const char* name;
    std::string file;  // before the save
  };
  const Case cases[] = {{"ANSI", ansi}, {"UTF-16", utf16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      FILE* f = _wfopen(m_path.c_str(), L"wb");
      ASSERT_NE(f, nullptr);
      fwrite(c.file.data(), 1, c.file.size(), f);
      fclose(f);
      f = _wfopen(Scratch().c_str(), L"wb");
      ASSERT_NE(f, nullptr);
      fputs("[MISC]\r\nDbClk=1\r\nDriveC", f);
      fclose(f);
    }
    Volume = 55;
    ASSERT_TRUE(SaveSettings(m_path.c_str()));
    EXPECT_EQ(GetFileAttributesW(Scratch().c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string saved = ReadFile();
    EXPECT_EQ(saved.substr(0, 2) == "\xFF\xFE", c.file.substr(0, 2) == "\xFF\xFE");
    EXPECT_EQ(GetPrivateProfileIntW(L"MISC", L"Tip", 1, m_path.c_str()), 0u);
    Scramble();
    ASSERT_TRUE(LoadSettings(m_path.c_str()));
    EXPECT_EQ(Volume, 55);
    EXPECT_EQ(DbClk, -1);
    EXPECT_EQ(QualityCompression, 3);
  }
}

// Run by KilledSaveLeavesAWholeFile in a process of its own: saves into the file the
// environment names, over and over, and kills its own process a number of milliseconds
// after the first save, wherever the saving thread is then.
const wchar_t kKillFile[] = L"CORVANE_KILLED_SAVE_FILE";
const wchar_t kKillAfter[] = L"CORVANE_KILLED_SAVE_MS";

TEST(SettingsKilled, DISABLED_SaveUntilKilled) {
  wchar_t path[MAX_PATH] = {};
  wchar_t after[16] = {};
  ASSERT_NE(GetEnvironmentVariableW(kKillFile, path, MAX_PATH), 0u);
  ASSERT_NE(GetEnvironmentVariableW(kKillAfter, after, 16), 0u);
  Volume = 90;
  ASSERT_TRUE(SaveSettings(path));
  std::thread([path] {
    for (int i = 0;; ++i) {
      Volume = i % 2 ? 10 : 90;
      SaveSettings(path);
    }
  }).detach();
  Sleep(static_cast<DWORD>(_wtoi(after)));
  TerminateProcess(GetCurrentProcess(), 9);
}

// Killed at any moment of its saves, the program leaves one of the files it saved.
TEST_F(SettingsFile, KilledSaveLeavesAWholeFile) {
  std::string whole[2];
  for (int i = 0; i < 2; ++i) {
    Volume = i ? 10 : 90;
    ASSERT_TRUE(SaveSettings(m_path.c_str()));
    whole[i] = ReadFile();
  }
  wchar_t program[MAX_PATH] = {};
  ASSERT_NE(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
  std::wstring command = std::wstring(L"\"") + program +
                         L"\" --gtest_also_run_disabled_tests"
                         L" --gtest_filter=SettingsKilled.DISABLED_SaveUntilKilled";
  SetEnvironmentVariableW(kKillFile, m_path.c_str());
  for (int ms = 0; ms <= 140; ms += 20) {
    SCOPED_TRACE(testing::Message() << "killed after " << ms << " ms");
    SetEnvironmentVariableW(kKillAfter, std::to_wstring(ms).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << GetLastError();
    const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 9);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_TRUE(ended);
    ASSERT_EQ(code, 9u) << "the saving process did not get to be killed";
    const std::string left = ReadFile();
    EXPECT_TRUE(left == whole[0] || left == whole[1]) << left.size() << " bytes:\n" << left;
  }
  SetEnvironmentVariableW(kKillFile, nullptr);
  SetEnvironmentVariableW(kKillAfter, nullptr);
}

TEST(SettingsTables, LookupsFallBackToTheDefaultOutsideTheTable) {
  struct Case {
    int index;
    DWORD rate;
    WORD bitrate;
  };
  const Case cases[] = {{0, 8000, 8},     {7, 44100, 64},   {10, 96000, 112}, {11, 44100, 128},
                        {16, 44100, 320}, {17, 44100, 128}, {-1, 44100, 128}, {32767, 44100, 128}};
  for (const Case& c : cases) {
    EXPECT_EQ(SampleRateOrDefault(c.index), c.rate) << c.index;
    EXPECT_EQ(Mp3BitrateOrDefault(c.index), c.bitrate) << c.index;
  }
  const short saved[] = {OutputFormat, FileStyle, QualityCompression};
  OutputFormat = 4;
  FileStyle = 13;
  QualityCompression = 11;
  EXPECT_EQ(OutputFormatOrDefault(), 2);
  EXPECT_EQ(FileStyleOrDefault(), 11);
  EXPECT_EQ(QualityCompressionOrDefault(), 3);
  OutputFormat = 3;
  FileStyle = 0;
  QualityCompression = -1;
  EXPECT_EQ(OutputFormatOrDefault(), 3);
  EXPECT_EQ(FileStyleOrDefault(), 0);
  EXPECT_EQ(QualityCompressionOrDefault(), -1);
  OutputFormat = saved[0];
  FileStyle = saved[1];
  QualityCompression = saved[2];
}

}  // namespace
