#include "engine/OutputNaming.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/CDDrive.h"
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
    g_dwDiscId = 0x0a0b0c0d;
    memset(&g_toc, 0, sizeof(g_toc));  // no disc: only the record's titles name tracks
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

// An artist or album that sanitises to nothing takes the placeholder record's name (with
// the disc id), so no folder step is empty; an empty track title stays an empty field, and
// a step that separators alone would make "." or ".." is mended, so every name stays below
// DesDir.
TEST_F(Naming, EmptyArtistAndAlbumTakeThePlaceholderNames) {
  const StyleCase cases[] = {
      {11, 2, L"-", L"", L"Album", 1999, 0, L"Title",
       L"D:\\Music\\Unknown Artist 0a0b0c0d\\Album\\01-Title.mp3"},
      {11, 2, L"-", L"Artist", L" ", 1999, 0, L"Title",
       L"D:\\Music\\Artist\\Unknown Album 0a0b0c0d\\01-Title.mp3"},
      {9, 2, L"-", L"", L"", 1999, 0, L"",
       L"D:\\Music\\Unknown Artist 0a0b0c0d\\Unknown Album 0a0b0c0d\\.mp3"},
      {7, 2, L"-", L"...", L"", 1999, 0, L"Title",
       L"D:\\Music\\Unknown Artist 0a0b0c0d\\01-Title.mp3"},
      {2, 2, L"-", L"Artist", L"Album", 1999, 0, L"", L"D:\\Music\\.mp3"},
      {3, 1, L"-", L"Artist", L"Album", 1999, 2, L" ", L"D:\\Music\\03-.wav"},
      {4, 2, L"-", L"", L"", 1999, 0, L"",
       L"D:\\Music\\Unknown Artist 0a0b0c0d-Unknown Album 0a0b0c0d-.mp3"},
      {6, 3, L"-", L"", L"Album", 0, 0, L"", L"D:\\Music\\Unknown Artist 0a0b0c0d-Album-0-01-.ogg"},
      {8, 2, L"-", L"Artist", L"", 1999, 0, L"Title",
       L"D:\\Music\\Artist-Unknown Album 0a0b0c0d\\Title.mp3"},
      // Blanks and dots around the texts: one step each, no blank step.
      {10, 2, L" ", L" . ", L"..", 1999, 0, L"Title",
       L"D:\\Music\\Unknown Artist 0a0b0c0d Unknown Album 0a0b0c0d\\01 Title.mp3"},
  };
  for (const StyleCase& c : cases) {
    UseStyleCase(c);
    EXPECT_EQ(Narrow(BuildOutputName(c.index)), Narrow(c.expected))
        << "style " << c.style << " separator " << Narrow(c.separator);
  }
}

// Tracks of the disc beyond the record's titles (a record with fewer TTITLE lines than the
// disc has tracks) are named with the title the track list shows for them; only tracks the
// disc does not have are refused.
TEST_F(Naming, TracksBeyondTheTitlesTakeTheirListNames) {
  g_toc.firstTrack = 1;
  g_toc.lastTrack = 10;
  SetTitles(7, 0, L"Title");
  const struct {
    short style;
    short index;
    LPCWSTR expected;
  } cases[] = {
      {11, 6, L"D:\\Music\\Artist\\Album\\07-Title.mp3"},
      {11, 7, L"D:\\Music\\Artist\\Album\\08-Track08.mp3"},
      {11, 9, L"D:\\Music\\Artist\\Album\\10-Track10.mp3"},
      {2, 8, L"D:\\Music\\Track09.mp3"},
  };
  for (const auto& c : cases) {
    FileStyle = c.style;
    EXPECT_EQ(Narrow(BuildOutputName(c.index)), Narrow(c.expected));
  }
  EXPECT_EQ(Narrow(GetTrackTitle(6)), "Title");
  EXPECT_EQ(Narrow(GetTrackTitle(9)), "Track10");
  for (short index : {10, -1}) {
    bool threw = false;
    try {
      GetTrackTitle(index);
    } catch (CInvalidArgException* e) {
      threw = true;
      e->Delete();
    }
    EXPECT_TRUE(threw) << index;
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
      {"title of dots and blanks, no extension", 2, 0, L".", 0, L" . "},
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

// The playlist is named after the album in the output file's folder; an album that
// sanitises to nothing takes the placeholder name, never ".m3u".
TEST_F(Naming, PlaylistNamesAreUsable) {
  const struct {
    LPCWSTR album;
    LPCWSTR output;
    LPCWSTR expected;
  } cases[] = {
      {L"Album", L"D:\\Music\\A\\B\\01-x.mp3", L"D:\\Music\\A\\B\\Album.m3u"},
      {L"", L"D:\\Music\\01.mp3", L"D:\\Music\\Unknown Album 0a0b0c0d.m3u"},
      {L"..", L"D:\\Music\\01.mp3", L"D:\\Music\\Unknown Album 0a0b0c0d.m3u"},
      {L"CON", L"D:\\Music\\01.mp3", L"D:\\Music\\_CON.m3u"},
      {L"A/B?", L"D:\\Music\\01.mp3", L"D:\\Music\\A_B_.m3u"},
  };
  for (const auto& c : cases) {
    g_cddbRecord.m_title = c.album;
    EXPECT_EQ(Narrow(BuildPlaylistPath(c.output)), Narrow(c.expected)) << Narrow(c.album);
  }
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

// Each step of the path within what the file system keeps for a name, the whole path
// below MAX_PATH.
void ExpectUsablePath(const CString& path, const std::string& where) {
  EXPECT_LT(path.GetLength(), MAX_PATH) << where;
  std::wstring rest = path.GetString();
  for (size_t start = 0, stop;; start = stop + 1) {
    stop = rest.find(L'\\', start);
    const CString step(
        rest.substr(start, stop == std::wstring::npos ? stop : stop - start).c_str());
    EXPECT_LE(NameLength(step), kNameLimit) << where << " step " << Narrow(step.Left(20));
    // A surrogate pair is never cut in two.
    if (!step.IsEmpty()) {
      EXPECT_FALSE(IS_HIGH_SURROGATE(step[step.GetLength() - 1])) << where;
    }
    if (stop == std::wstring::npos) break;
  }
}

// The name the folder holds for path, as listed: what the file system really kept.
CString StoredName(const CString& path) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(path, &found);
  if (find == INVALID_HANDLE_VALUE) return CString(L"<missing>");
  FindClose(find);
  return found.cFileName;
}

CString Repeat(LPCWSTR piece, int times) {
  CString text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// Long record texts are shortened so that every name fits and the files can be made
// under exactly the names built, extension kept; names that fit stay whole, and the
// unique rule's number still fits.
TEST_F(UniqueName, LongTextsAreShortenedToNamesTheFileSystemTakes) {
  const CString kilo = Repeat(L"Long Title ", 373);  // 4 KB
  const CString cyrillic = Repeat(L"\u0416", 130);   // 260 bytes of UTF-8
  const CString emoji = Repeat(L"\U0001F3B5", 200);  // surrogate pairs
  const CString x300 = Repeat(L"x", 300);
  const struct {
    const char* name;
    short style;
    short format;
    CString artist, album, title;
  } cases[] = {
      {"300-character title", 11, 2, L"Artist", L"Album", x300},
      {"4 KB title", 3, 1, L"Artist", L"Album", kilo},
      {"4 KB DTITLE", 11, 3, kilo, kilo, L"Title"},
      {"4 KB DTITLE in the file name", 6, 2, kilo, kilo, x300},
      {"4 KB DTITLE, artist folder", 7, 2, kilo, kilo, kilo},
      {"long Cyrillic title", 11, 3, L"Artist", L"Album", cyrillic},
      {"surrogate pairs", 9, 2, emoji, emoji, emoji},
  };
  int serial = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DesDir.Format(L"%s\\%d\\", m_dir.Path().GetString(), ++serial);  // a folder per case
    FileStyle = c.style;
    OutputFormat = c.format;
    g_cddbRecord.m_artist = c.artist;
    g_cddbRecord.m_title = c.album;
    SetTitles(1, 0, c.title);
    const CString path = BuildOutputName(0);
    ExpectUsablePath(path, c.name);
    EXPECT_EQ(path.Right(4), GetFormatExtension(c.format));
    EXPECT_EQ(Narrow(path), Narrow(BuildOutputPath(BuildOutputFolder(), 0)));
    const CString name = path.Mid(path.ReverseFind(L'\\') + 1);
    const CString folder = path.Left(path.ReverseFind(L'\\'));
    ASSERT_TRUE(CreateDirectoryPath(folder)) << Narrow(folder);
    Touch(path);
    EXPECT_EQ(Narrow(StoredName(path)), Narrow(name));

    const CString second = MakeUniqueFileName(path);
    ExpectUsablePath(second, c.name);
    EXPECT_EQ(second.Right(8), L" (2)" + GetFormatExtension(c.format));
    Touch(second);
    EXPECT_EQ(Narrow(StoredName(second)), Narrow(second.Mid(second.ReverseFind(L'\\') + 1)));

    const CString playlist = BuildPlaylistPath(path);
    ExpectUsablePath(playlist, c.name);
    EXPECT_EQ(playlist.Right(4), L".m3u");
    Touch(playlist);
    EXPECT_EQ(Narrow(StoredName(playlist)), Narrow(playlist.Mid(playlist.ReverseFind(L'\\') + 1)));
  }
}

// What is cut: only the record texts, from their ends, artist and album alike; the number,
// the separators, the year and the extension stay.
TEST_F(Naming, ShorteningCutsOnlyTheRecordTexts) {
  const CString x300 = Repeat(L"x", 300);
  FileStyle = 11;
  SetTitles(1, 0, x300);
  // D:\Music\Artist\Album\ leaves 237 characters of MAX_PATH for "01-" and ".mp3".
  EXPECT_EQ(Narrow(BuildOutputName(0)),
            Narrow(L"D:\\Music\\Artist\\Album\\01-" + Repeat(L"x", 230) + L".mp3"));
  FileStyle = 12;
  g_cddbRecord.m_artist = Repeat(L"a", 300);
  g_cddbRecord.m_title = Repeat(L"b", 300);
  SetTitles(1, 0, L"Intro");
  const CString folder = BuildOutputFolder();
  const CString step = folder.Mid(9, folder.GetLength() - 10);  // between D:\Music\ and "\"
  const int each = (step.GetLength() - 6) / 2;
  EXPECT_EQ(Narrow(step), Narrow(Repeat(L"a", each) + L"-" + Repeat(L"b", each) + L"-1999"));
  EXPECT_LT(BuildOutputName(0).GetLength(), MAX_PATH);
  EXPECT_EQ(Narrow(BuildOutputName(0)), Narrow(folder + L"01-Intro.mp3"));

  // A deep DesDir: names that fit stay whole, however little room is left.
  FileStyle = 11;
  DesDir = L"D:\\" + Repeat(L"d", 220) + L"\\";
  g_cddbRecord.m_artist = L"Artist";
  g_cddbRecord.m_title = L"Album";
  EXPECT_EQ(Narrow(BuildOutputName(0)), Narrow(DesDir + L"Artist\\Album\\01-Intro.mp3"));
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
