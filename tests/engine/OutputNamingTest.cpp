#include "engine/OutputNaming.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/Settings.h"
#include "framework/core/Exceptions.h"

namespace {

std::string Narrow(const CString& s) { return CStringA(s).GetString(); }

// The settings and record texts for one track's name, and the name.
struct StyleCase {
  short style;
  short format;
  LPCWSTR separator;
  LPCWSTR artist;
  LPCWSTR album;
  int year;
  short index;
  LPCWSTR title;
  LPCWSTR expected;
};

// The naming inputs at known values; the defaults come back afterwards.
class Naming : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override {
    Reset();
    DesDir.Empty();
  }
  static void Reset() {
    DesDir = L"D:\\Music\\";
    Separator = L"-";
    FileStyle = 11;
    OutputFormat = 2;
    g_cddbRecord = CCDDBRecord();
    g_cddbRecord.m_artist = L"Artist";
    g_cddbRecord.m_title = L"Album";
    g_cddbRecord.m_year = 1999;
  }
  // Titles "Title" for tracks 1..count, with `title` at index.
  static void SetTitles(int count, int index, LPCWSTR title) {
    g_cddbRecord.m_trackTitles.RemoveAll();
    for (int i = 0; i < count; ++i) g_cddbRecord.m_trackTitles.Add(i == index ? title : L"Title");
  }
  // The settings and the record of the case.
  static void UseStyleCase(const StyleCase& c) {
    FileStyle = c.style;
    OutputFormat = c.format;
    Separator = c.separator;
    g_cddbRecord.m_artist = c.artist;
    g_cddbRecord.m_title = c.album;
    g_cddbRecord.m_year = c.year;
    SetTitles(c.index + 1, c.index, c.title);
  }
};

TEST_F(Naming, StylesBuildTheirPaths) {
  const StyleCase cases[] = {
      {11, 2, L"-", L"A/B", L" Live? ", 1999, 0, L"Intro", L"D:\\Music\\A_B\\Live_\\01-Intro.mp3"},
      {0, 2, L"-", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\01.mp3"},
      {0, 2, L"-", L"Artist", L"Album", 1999, 99, L"Title", L"D:\\Music\\100.mp3"},
      {1, 1, L"-", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\Track01.wav"},
      {1, 1, L"-", L"Artist", L"Album", 1999, 1, L"Title", L"D:\\Music\\Track02.wav"},
      {2, 2, L"-", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\Title.mp3"},
      {3, 2, L"-", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\01-Title.mp3"},
      {3, 2, L"", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\01Title.mp3"},
      {3, 2, L"%s", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\01%sTitle.mp3"},
      {4, 2, L"-", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\Artist-Album-Title.mp3"},
      {5, 2, L"_ ", L"Artist", L"Album", 1999, 0, L"Title",
       L"D:\\Music\\Artist_ Album_ 01_ Title.mp3"},
      {6, 3, L"-", L"Artist", L"Album", 0, 0, L"Title", L"D:\\Music\\Artist-Album-0-01-Title.ogg"},
      {7, 2, L"-", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\Artist\\01-Title.mp3"},
      {8, 2, L"-", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\Artist-Album\\Title.mp3"},
      {9, 2, L"-", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\Artist\\Album\\Title.mp3"},
      {10, 2, L"-", L"Artist", L"Album", 1999, 0, L"Title",
       L"D:\\Music\\Artist-Album\\01-Title.mp3"},
      {11, 2, L"-", L"Artist", L"Album", 1999, 0, L"Title",
       L"D:\\Music\\Artist\\Album\\01-Title.mp3"},
      {12, 1, L"-", L"Artist", L"Album", 1999, 6, L"Title",
       L"D:\\Music\\Artist-Album-1999\\07-Title.wav"},
      // No known format: no extension.
      {11, 0, L"-", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\Artist\\Album\\01-Title"},
      // A style outside the table: no prefix and no file part.
      {13, 2, L"-", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\.mp3"},
      {-1, 3, L"-", L"Artist", L"Album", 1999, 0, L"Title", L"D:\\Music\\.ogg"},
  };
  for (const StyleCase& c : cases) {
    UseStyleCase(c);
    CString name = BuildOutputName(c.index);
    EXPECT_EQ(Narrow(name), Narrow(c.expected)) << "style " << c.style;
    // The rip completes the folder it built at the start of the track: the same path.
    EXPECT_EQ(Narrow(BuildOutputPath(BuildOutputFolder(), c.index)), Narrow(name));
  }
}

// Empty record texts are empty fields; only a step that separators alone would make "."
// or ".." (or blanks) is mended, so every name stays below DesDir.
TEST_F(Naming, EmptyTextsGiveEmptyFields) {
  const StyleCase cases[] = {
      {11, 2, L"-", L"", L"Album", 1999, 0, L"Title", L"D:\\Music\\\\Album\\01-Title.mp3"},
      {9, 2, L"-", L"", L"", 1999, 0, L"", L"D:\\Music\\\\\\.mp3"},
      {2, 2, L"-", L"Artist", L"Album", 1999, 0, L"", L"D:\\Music\\.mp3"},
      {3, 1, L"-", L"Artist", L"Album", 1999, 2, L" ", L"D:\\Music\\03-.wav"},
      {4, 2, L"-", L"", L"", 1999, 0, L"", L"D:\\Music\\--.mp3"},
      {6, 3, L"-", L"", L"", 0, 0, L"", L"D:\\Music\\--0-01-.ogg"},
      {8, 2, L"-", L"", L"", 1999, 0, L"Title", L"D:\\Music\\-\\Title.mp3"},
      // Separators around empty fields that would make "." or "..": mended.
      {8, 2, L"..", L"", L"", 1999, 0, L"Title", L"D:\\Music\\__\\Title.mp3"},
      {10, 2, L".", L"", L"", 1999, 0, L"Title", L"D:\\Music\\_\\01.Title.mp3"},
      {10, 2, L" ", L"", L"..", 1999, 0, L"Title", L"D:\\Music\\_\\01 Title.mp3"},
      // Not made of dots and blanks alone: kept.
      {12, 2, L".", L"", L"", 0, 0, L"Title", L"D:\\Music\\..0\\01.Title.mp3"},
      {4, 2, L"..", L"", L"", 1999, 0, L"", L"D:\\Music\\.....mp3"},
  };
  for (const StyleCase& c : cases) {
    UseStyleCase(c);
    EXPECT_EQ(Narrow(BuildOutputName(c.index)), Narrow(c.expected))
        << "style " << c.style << " separator " << Narrow(c.separator);
  }
}

// A track the record has no title for, or whose name would have no file name at all, is
// not named: the column shows no path and the rip of it stops with an error.
TEST_F(Naming, TracksThatCannotBeNamedThrow) {
  const struct {
    const char* name;
    short style;
    short format;
    LPCWSTR separator;
    short index;
    LPCWSTR title;  // of every track
  } cases[] = {
      {"index at the title count", 11, 2, L"-", 2, L"Title"},
      {"index beyond it", 0, 2, L"-", 9, L"Title"},
      {"style outside the table", 13, 2, L"-", 2, L"Title"},
      {"negative index", 11, 2, L"-", -1, L"Title"},
      {"empty title, no extension", 2, 0, L"-", 0, L""},
      {"style outside the table, no extension", 13, 0, L"-", 0, L"Title"},
      {"separators alone make \"..\"", 4, 0, L".", 0, L""},
  };
  g_cddbRecord.m_artist.Empty();
  g_cddbRecord.m_title.Empty();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FileStyle = c.style;
    OutputFormat = c.format;
    Separator = c.separator;
    SetTitles(2, 0, c.title);
    bool threw = false;
    try {
      BuildOutputName(c.index);
    } catch (CInvalidArgException* e) {
      threw = true;
      e->Delete();
    }
    EXPECT_TRUE(threw);
  }
}

TEST_F(Naming, StyleTextsShowTheSeparator) {
  EXPECT_EQ(Narrow(GetFileStyleText(11)), " <Artist>\\<Album>\\<Tracknum>-<Tracktitle>");
  Separator = L"%d";
  EXPECT_EQ(Narrow(GetFileStyleText(6)), " <Artist>%d<Album>%d<Year>%d<Tracknum>%d<Tracktitle>");
  EXPECT_EQ(Narrow(GetFileStyleText(1)), " Track<Tracknum>");
  EXPECT_TRUE(GetFileStyleText(13).IsEmpty());
  EXPECT_TRUE(GetFileStyleText(-1).IsEmpty());
}

TEST(FormatExtension, ByFormat) {
  EXPECT_EQ(Narrow(GetFormatExtension(1)), ".wav");
  EXPECT_EQ(Narrow(GetFormatExtension(2)), ".mp3");
  EXPECT_EQ(Narrow(GetFormatExtension(3)), ".ogg");
  EXPECT_TRUE(GetFormatExtension(0).IsEmpty());
  EXPECT_TRUE(GetFormatExtension(4).IsEmpty());
  EXPECT_TRUE(GetFormatExtension(-1).IsEmpty());
}

TEST(SanitizeFileName, Cases) {
  const struct {
    LPCWSTR in;
    LPCWSTR out;
  } cases[] = {
      {L"A/B", L"A_B"},
      {L" Live? ", L"Live_"},
      {L"\\/\"<>|*?:", L"_________"},
      {L"..\\..\\x", L".._.._x"},
      {L"Vol. 1", L"Vol. 1"},
      {L".hidden", L".hidden"},
      {L"%s%n", L"%s%n"},
      // Nothing left: an empty field, never a step of its own.
      {L"", L""},
      {L"   ", L""},
      {L".", L""},
      {L"..", L""},
      {L"...", L""},
      {L" . . ", L""},
      // Windows drops trailing dots and blanks: the name on disk must be the name built.
      {L"Live...", L"Live"},
      {L"Live. .", L"Live"},
      // Control characters; blanks and line ends around a text are trimmed as before.
      {L"a\tb", L"a_b"},
      {L"a\x7F", L"a_"},
      {L"\x01", L"_"},
      {L"  x\r\n", L"x"},
      // Device names, with or without an extension.
      {L"CON", L"_CON"},
      {L"con.mp3", L"_con.mp3"},
      {L"Aux", L"_Aux"},
      {L"PRN", L"_PRN"},
      {L"nul ", L"_nul"},
      {L"NUL .txt", L"_NUL .txt"},
      {L"COM1", L"_COM1"},
      {L"lpt9.m3u", L"_lpt9.m3u"},
      {L"AUX .", L"_AUX"},
      {L"CONSOLE", L"CONSOLE"},
      {L"COM0", L"COM0"},
      {L"COM10", L"COM10"},
      {L"LPT", L"LPT"},
      {L"Icon", L"Icon"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Narrow(SanitizeFileName(c.in)), Narrow(c.out)) << Narrow(c.in);
  }
}

// The playlist is named SanitizeFileName(album) + ".m3u" in the output folder.
TEST(SanitizeFileName, PlaylistNamesAreUsable) {
  EXPECT_EQ(Narrow(SanitizeFileName(L"") + L".m3u"), ".m3u");
  EXPECT_EQ(Narrow(SanitizeFileName(L"CON") + L".m3u"), "_CON.m3u");
  EXPECT_EQ(Narrow(SanitizeFileName(L"..") + L".m3u"), ".m3u");
}

bool IsDeviceStem(std::wstring step) {
  step = step.substr(0, step.find(L'.'));
  while (!step.empty() && step.back() == L' ') step.pop_back();
  for (wchar_t& ch : step) ch = static_cast<wchar_t>(towupper(ch));
  if (step == L"CON" || step == L"PRN" || step == L"AUX" || step == L"NUL") return true;
  return step.size() == 4 && (step.compare(0, 3, L"COM") == 0 || step.compare(0, 3, L"LPT") == 0) &&
         step[3] >= L'1' && step[3] <= L'9';
}

// Record texts come from a remote server: whatever they hold, every style must name a
// file below DesDir through steps Windows keeps as they are.
TEST_F(Naming, NoRecordTextLeavesDesDir) {
  const CString root = L"C:\\corvane\\out\\";
  DesDir = root;
  const LPCWSTR hostile[] = {
      L"",
      L".",
      L"..",
      L"...",
      L" .. ",
      L". .",
      L"..\\..\\..\\Windows",
      L"../../etc",
      L"..\\",
      L"\\",
      L"/",
      L"\\\\server\\share",
      L"\\\\?\\C:\\",
      L"C:",
      L"C:\\Windows\\System32",
      L"CON",
      L"nul.txt",
      L"com1.",
      L"LPT1 ",
      L"a\x01"
      L"b",
      L"\t\n",
      L"\x7F",
      L"x. . .",
      L"%s%s%n",
      L"Live?*",
      L"\u3000",
  };
  for (short style = -1; style <= kFileStyleCount; ++style) {
    FileStyle = style;
    for (LPCWSTR text : hostile) {
      g_cddbRecord.m_artist = text;
      g_cddbRecord.m_title = text;
      g_cddbRecord.m_trackTitles.RemoveAll();
      g_cddbRecord.m_trackTitles.Add(text);
      const CString name = BuildOutputName(0);
      const std::string where = "style " + std::to_string(style) + " text " + Narrow(text);

      ASSERT_EQ(name.Left(root.GetLength()), root) << where;
      wchar_t full[MAX_PATH * 2];
      DWORD length = GetFullPathNameW(name, MAX_PATH * 2, full, nullptr);
      ASSERT_GT(length, 0u) << where;
      EXPECT_EQ(CString(full, root.GetLength()).CompareNoCase(root), 0) << Narrow(full);
      EXPECT_GT(length, static_cast<DWORD>(root.GetLength())) << where;

      std::wstring rest = name.Mid(root.GetLength()).GetString();
      if (style < 0 || style >= kFileStyleCount) continue;  // only the extension is left
      size_t start = 0;
      for (;;) {
        size_t stop = rest.find_first_of(L"\\/", start);
        std::wstring step = rest.substr(start, stop == std::wstring::npos ? stop : stop - start);
        // An empty text leaves an empty folder step, which the system passes over; the
        // file name itself is never empty.
        if (step.empty() && stop != std::wstring::npos) {
          start = stop + 1;
          continue;
        }
        EXPECT_FALSE(step.empty()) << where;
        EXPECT_NE(step.find_first_not_of(L". "), std::wstring::npos) << where;
        if (!step.empty()) {
          EXPECT_NE(step.back(), L'.') << where;
          EXPECT_NE(step.back(), L' ') << where;
        }
        EXPECT_EQ(step.find_first_of(L":*?\"<>|"), std::wstring::npos) << where;
        for (wchar_t ch : step) EXPECT_TRUE(ch >= 0x20 && ch != 0x7F) << where;
        EXPECT_FALSE(IsDeviceStem(step)) << where;
        if (stop == std::wstring::npos) break;
        start = stop + 1;
      }
    }
  }
}

TEST(SectorTime, Formats) {
  const struct {
    int32_t sectors;
    const char* text;
  } cases[] = {
      {0, "00:00.000"},     {75, "00:01.000"},      {13, "00:00.173"},
      {17000, "03:46.667"}, {74, "00:00.987"},      {4500, "01:00.000"},
      {4499, "00:59.987"},  {450000, "100:00.000"}, {1, "00:00.013"},
  };
  for (const auto& c : cases) {
    CString text;
    FormatSectorTime(text, c.sectors);
    EXPECT_EQ(Narrow(text), c.text) << c.sectors;
  }
}

// A fresh folder under %TEMP%, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static LONG s_serial = 0;
    m_path.Format(L"%scorvane-naming-%lu-%ld", temp, GetCurrentProcessId(),
                  InterlockedIncrement(&s_serial));
    CreateDirectoryW(m_path, nullptr);
  }
  ~ScratchFolder() { Remove(m_path); }
  CString operator/(LPCWSTR name) const { return m_path + L"\\" + name; }
  const CString& Path() const { return m_path; }

 private:
  static void Remove(const CString& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(folder + L"\\*", &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        CString name(found.cFileName);
        if (name == L"." || name == L"..") continue;
        CString path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          Remove(path);
        } else {
          DeleteFileW(path);
        }
      } while (FindNextFileW(find, &found));
      FindClose(find);
    }
    RemoveDirectoryW(folder);
  }
  CString m_path;
};

void Touch(const CString& path) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << Narrow(path);
  CloseHandle(h);
}

bool Exists(const CString& path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }
bool IsFolder(const CString& path) {
  DWORD a = GetFileAttributesW(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

class UniqueName : public Naming {
 protected:
  ScratchFolder m_dir;
};

TEST_F(UniqueName, FirstFreeNumberFromTwo) {
  const CString path = m_dir / L"01-Title.mp3";
  Touch(path);
  EXPECT_EQ(Narrow(MakeUniqueFileName(path)), Narrow(m_dir / L"01-Title (2).mp3"));
  Touch(m_dir / L"01-Title (2).mp3");
  EXPECT_EQ(Narrow(MakeUniqueFileName(path)), Narrow(m_dir / L"01-Title (3).mp3"));
  // A folder of that name is taken too.
  CreateDirectoryW(m_dir / L"01-Title (3).mp3", nullptr);
  EXPECT_EQ(Narrow(MakeUniqueFileName(path)), Narrow(m_dir / L"01-Title (4).mp3"));
}

TEST_F(UniqueName, ExtensionOfTheCurrentFormat) {
  OutputFormat = 3;
  EXPECT_EQ(Narrow(MakeUniqueFileName(m_dir / L"01-Title.mp3")),
            Narrow(m_dir / L"01-Title (2).ogg"));
}

// Without an extension in the last step, cutting at a dot elsewhere would leave the folder.
TEST_F(UniqueName, DotsOnlyCountInTheFileName) {
  OutputFormat = 0;
  EXPECT_EQ(Narrow(MakeUniqueFileName(m_dir / L"Vol. 1\\01-Title")),
            Narrow(m_dir / L"Vol. 1\\01-Title (2)"));
  EXPECT_EQ(Narrow(MakeUniqueFileName(L"C:\\Music\\Title")), "C:\\Music\\Title (2)");
}

TEST(CreateDirectoryPath, CreatesEveryMissingParent) {
  ScratchFolder dir;
  EXPECT_TRUE(CreateDirectoryPath(dir / L"A\\B"));
  EXPECT_TRUE(IsFolder(dir / L"A"));
  EXPECT_TRUE(IsFolder(dir / L"A\\B"));
  EXPECT_TRUE(CreateDirectoryPath(dir / L"A\\B"));    // already there
  EXPECT_TRUE(CreateDirectoryPath(dir / L"C/D\\E"));  // either separator
  EXPECT_TRUE(IsFolder(dir / L"C\\D\\E"));
  EXPECT_TRUE(CreateDirectoryPath(dir / L"F\\G\\"));  // trailing separator
  EXPECT_TRUE(IsFolder(dir / L"F\\G"));
}

TEST(CreateDirectoryPath, FileInTheWayFails) {
  ScratchFolder dir;
  Touch(dir / L"file");
  EXPECT_FALSE(CreateDirectoryPath(dir / L"file"));
  EXPECT_FALSE(CreateDirectoryPath(dir / L"file\\sub"));
}

TEST(CreateDirectoryPath, NothingFromPathsOfMaxPathOrMore) {
  ScratchFolder dir;
  for (int total : {MAX_PATH, MAX_PATH + 1, 400}) {
    CString path = dir / L"long";
    while (path.GetLength() < total) path += L"\\abcdefgh";
    path = path.Left(total);
    ASSERT_EQ(path.GetLength(), total);
    EXPECT_FALSE(CreateDirectoryPath(path)) << total;
    EXPECT_FALSE(Exists(dir / L"long")) << total;
  }
}

// No drive spec can exist here ("1:" is no letter), so no test mapping letters meanwhile
// can give the path a root.
TEST(CreateDirectoryPath, NoParentAnywhere) {
  EXPECT_FALSE(CreateDirectoryPath(L"1:\\no\\such\\drive"));
}

std::string FileBytes(const CString& path) {
  std::string bytes;
  if (FILE* f = _wfopen(path, L"rb")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, n);
    fclose(f);
  }
  return bytes;
}

void PutBytes(const CString& path, const std::string& bytes) {
  FILE* f = _wfopen(path, L"wb");
  ASSERT_NE(f, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

// The names a playlist holds, read as players read it: UTF-8 after its mark, else ANSI.
std::vector<std::wstring> PlaylistNames(const CString& path) {
  std::string bytes = FileBytes(path);
  UINT codePage = CP_ACP;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    bytes.erase(0, 3);
    codePage = CP_UTF8;
  }
  const CString text = AfxMultiByteToWide(bytes.data(), static_cast<int>(bytes.size()), codePage);
  std::vector<std::wstring> names;
  std::wstring all(text.GetString());
  for (size_t start = 0, end; (end = all.find(L"\r\n", start)) != std::wstring::npos;
       start = end + 2) {
    names.push_back(all.substr(start, end - start));
  }
  return names;
}

// Names the ANSI code page holds keep the bytes playlists always had; the first that it
// cannot hold turns the playlist into UTF-8 with its mark, the names already there
// converted, and every name then reads back exactly.
TEST(Playlist, NamesEveryFileExactly) {
  ScratchFolder dir;
  ASSERT_EQ(CStringA(L"\u00e9").GetLength(), 1) << "the test expects a single-byte ANSI code page";
  const CString list = dir / L"\u0410\u043b\u044c\u0431\u043e\u043c.m3u";  // Альбом
  const std::wstring cafe = L"01-Caf\u00e9 \u00d1.wav";
  const std::wstring plain = L"02-Two.wav";
  ASSERT_TRUE(AppendPlaylistLine(list, cafe.c_str()));
  ASSERT_TRUE(AppendPlaylistLine(list, plain.c_str()));
  EXPECT_EQ(FileBytes(list),
            std::string(CStringA(cafe.c_str()).GetString()) + "\r\n" + "02-Two.wav\r\n");

  const std::wstring cyrillic = L"03-\u041f\u0440\u0438\u0432\u0435\u0442.wav";  // Привет
  const std::wstring others = L"04-\u6771\u4eac \U0001F3B5 \u0142.wav";          // CJK, emoji, ł
  ASSERT_TRUE(AppendPlaylistLine(list, cyrillic.c_str()));
  ASSERT_TRUE(AppendPlaylistLine(list, others.c_str()));
  ASSERT_TRUE(AppendPlaylistLine(list, plain.c_str()));
  const std::string bytes = FileBytes(list);
  const std::string converted =
      "\xEF\xBB\xBF"
      "01-Caf\xC3\xA9 \xC3\x91.wav\r\n02-Two.wav\r\n";
  EXPECT_EQ(bytes.substr(0, converted.size()), converted);
  EXPECT_EQ(PlaylistNames(list), (std::vector<std::wstring>{cafe, plain, cyrillic, others, plain}));
}

// A new playlist whose first name needs it starts as UTF-8; an ANSI one whose names all
// fit stays byte for byte what it was, whatever came before in it.
TEST(Playlist, StartsInTheCodeOfItsFirstName) {
  ScratchFolder dir;
  const CString fresh = dir / L"fresh.m3u";
  const std::wstring name = L"01-\u0410\u043b\u044c\u0444\u0430.wav";  // Альфа
  ASSERT_TRUE(AppendPlaylistLine(fresh, name.c_str()));
  EXPECT_EQ(FileBytes(fresh),
            "\xEF\xBB\xBF"
            "01-\xD0\x90\xD0\xBB\xD1\x8C\xD1\x84\xD0\xB0.wav\r\n");

  const CString old = dir / L"old.m3u";
  const std::string written = "first\r\nno line end";
  PutBytes(old, written);
  ASSERT_TRUE(AppendPlaylistLine(old, L"02.wav"));
  EXPECT_EQ(FileBytes(old), written + "02.wav\r\n");
}

}  // namespace
