#include "engine/OutputNaming.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>

#include "framework/core/Exceptions.h"
#include "framework/core/File.h"
#include "engine/CDDrive.h"
#include "engine/Settings.h"

// Naming runs on the user-interface thread (track list, Output page) and on the rip job's
// encoder thread. It takes no lock: while a rip job runs, its modal progress window keeps
// the user from editing the record or the settings, and the disc refresh redoes the
// destinations once it has filled the record.
CCDDBRecord g_cddbRecord;
std::atomic<BOOL> g_bPlaceholderRecord{FALSE};

namespace {

// How a style builds a name. The prefix is a string of pieces joined with nothing between
// them: A artist, B album, Y year, S separator, K the literal "Track", \ a folder break.
enum class FilePart { Number, Title, NumberTitle };

struct FileStyleRule {
  const wchar_t* text;  // the Output page's option text, "-" standing for the separator
  const wchar_t* prefix;
  FilePart part;
};

// The order is the stored FileStyle value: existing folders keep their names only while
// this table stays as it is.
constexpr FileStyleRule kFileStyles[kFileStyleCount] = {
    {L" <Tracknum>", L"", FilePart::Number},
    {L" Track<Tracknum>", L"K", FilePart::Number},
    {L" <Tracktitle>", L"", FilePart::Title},
    {L" <Tracknum>-<Tracktitle>", L"", FilePart::NumberTitle},
    {L" <Artist>-<Album>-<Tracktitle>", L"ASBS", FilePart::Title},
    {L" <Artist>-<Album>-<Tracknum>-<Tracktitle>", L"ASBS", FilePart::NumberTitle},
    {L" <Artist>-<Album>-<Year>-<Tracknum>-<Tracktitle>", L"ASBSYS", FilePart::NumberTitle},
    {L" <Artist>\\<Tracknum>-<Tracktitle>", L"A\\", FilePart::NumberTitle},
    {L" <Artist>-<Album>\\<Tracktitle>", L"ASB\\", FilePart::Title},
    {L" <Artist>\\<Album>\\<Tracktitle>", L"A\\B\\", FilePart::Title},
    {L" <Artist>-<Album>\\<Tracknum>-<Tracktitle>", L"ASB\\", FilePart::NumberTitle},
    {L" <Artist>\\<Album>\\<Tracknum>-<Tracktitle>", L"A\\B\\", FilePart::NumberTitle},
    {L" <Artist>-<Album>-<Year>\\<Tracknum>-<Tracktitle>", L"ASBSY\\", FilePart::NumberTitle},
};

const FileStyleRule* CurrentStyle() {
  return FileStyle >= 0 && FileStyle < kFileStyleCount ? &kFileStyles[FileStyle] : nullptr;
}

// A step made of dots and blanks alone ("." and ".." above all) would be read as this or
// the parent folder, or cut to nothing, by the system.
bool OnlyDotsAndBlanks(const CString& step) {
  for (int i = 0; i < step.GetLength(); ++i) {
    if (step[i] != L'.' && !std::iswspace(step[i])) return false;
  }
  return true;
}

// Names the system keeps for devices: "CON" or "con.mp3" opens the console, not a file.
// Windows compares the part before the first dot, trailing blanks ignored.
bool IsReservedDeviceName(const CString& name) {
  int stemLength = name.Find(L'.');
  CString stem = stemLength < 0 ? name : name.Left(stemLength);
  stem.TrimRight(L' ');
  static const wchar_t* const kPlain[] = {L"CON", L"PRN", L"AUX", L"NUL"};
  for (const wchar_t* reserved : kPlain) {
    if (stem.CompareNoCase(reserved) == 0) return true;
  }
  if (stem.GetLength() != 4 || stem[3] < L'1' || stem[3] > L'9') return false;
  CString head = stem.Left(3);
  return head.CompareNoCase(L"COM") == 0 || head.CompareNoCase(L"LPT") == 0;
}

// The open and create calls take paths below MAX_PATH: the writers, the playlist and the
// folder creation all use plain paths, never the long-path form.
constexpr int kPathLimit = MAX_PATH - 1;
// What a folder prefix leaves at most for the file name (the number, the separator, some
// of the title and the extension), in the path and in the name's own length.
constexpr int kFileNameRoom = 64;

// Wine keeps a file under its UTF-8 name on the Linux file system, whose names end at 255
// bytes; a longer one is cut there, extension and all.
bool NamesAreUtf8Bytes() {
  static const bool wine = [] {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
  }();
  return wine;
}

// The length of the character at i as NameLength counts it; span gets its UTF-16 units
// (2 for a surrogate pair, which is never split).
int CharLength(const CString& text, int i, int* span) {
  const wchar_t ch = text[i];
  const bool pair =
      IS_HIGH_SURROGATE(ch) && i + 1 < text.GetLength() && IS_LOW_SURROGATE(text[i + 1]);
  *span = pair ? 2 : 1;
  if (!NamesAreUtf8Bytes()) return *span;
  if (pair) return 4;
  if (ch < 0x80) return 1;
  return ch < 0x800 ? 2 : 3;  // a lone surrogate becomes U+FFFD, 3 bytes
}

// Trailing dots and blanks are dropped by the system: a cut must not end in them.
void TrimNameEnd(CString& name) {
  int length = name.GetLength();
  while (length > 0 && (name[length - 1] == L'.' || std::iswspace(name[length - 1]))) --length;
  name = name.Left(length);
}

// The text unchanged when it is no longer than limit, else its longest head that is.
CString CutName(const CString& text, int limit) {
  if (NameLength(text) <= limit) return text;
  int used = 0;
  int end = 0;
  for (int i = 0, span = 1; i < text.GetLength(); i += span) {
    const int length = CharLength(text, i, &span);
    if (used + length > limit) break;
    used += length;
    end = i + span;
  }
  CString cut = text.Left(end);
  TrimNameEnd(cut);
  return cut;
}

// The largest cap from least to most for which fits holds, least when none does. fits
// turns only from true to false as the cap grows; record texts are cut to the cap, so
// names that fit keep every character.
template <class Fits>
int LargestCap(int least, int most, const Fits& fits) {
  if (most <= least || fits(most)) return std::max(least, most);
  int low = least;  // fits, or least
  int high = most;  // does not fit
  while (high - low > 1) {
    const int middle = low + (high - low) / 2;
    (fits(middle) ? low : high) = middle;
  }
  return low;
}

// An artist or album that sanitises to nothing is named as the placeholder record names
// it: no empty folder step, no playlist called ".m3u".
CString NameOrPlaceholder(const CString& text, LPCWSTR placeholder) {
  CString name = SanitizeFileName(text);
  if (name.IsEmpty()) name.Format(L"%s %08x", placeholder, g_dwDiscId);
  return name;
}

// The folder prefix of a style for the given (sanitised) artist and album.
CString ComposePrefix(const FileStyleRule& style, const CString& artist, const CString& album) {
  CString result;
  // Each step between folder breaks is built apart: record texts are sanitised one by
  // one, but separators can still join into "..".
  CString step;
  for (const wchar_t* piece = style.prefix;; ++piece) {
    switch (*piece) {
      case L'A':
        step += artist;
        continue;
      case L'B':
        step += album;
        continue;
      case L'S':
        step += Separator;
        continue;
      case L'Y':
        step.AppendFormat(L"%d", g_cddbRecord.m_year);
        continue;
      case L'K':
        step += L"Track";
        continue;
      default:
        break;
    }
    // A folder break or the end of the prefix (the start of the file name, whose last
    // step is checked when the name is completed).
    if (*piece && !step.IsEmpty() && OnlyDotsAndBlanks(step)) {
      for (int i = 0; i < step.GetLength(); ++i) step.SetAt(i, L'_');
    }
    result += step;
    step.Empty();
    if (!*piece) break;
    result += *piece;
  }
  return result;
}

int DiscTrackCount() {
  if (g_toc.firstTrack == 0 || g_toc.lastTrack < g_toc.firstTrack) return 0;  // no disc read
  return std::min(g_toc.lastTrack - g_toc.firstTrack + 1, 99);  // as the track list shows
}

// The room the record's longest file part takes after the prefix, up to kFileNameRoom:
// in the path (pathRoom) and in the file name (nameRoom). A prefix that leaves this much
// keeps every name as it always was.
void FileNameRoom(const FileStyleRule& style, int& pathRoom, int& nameRoom) {
  const CString extension = GetFormatExtension(OutputFormat);
  pathRoom = nameRoom = 0;
  const auto need = [&](const CString& title) {
    CString part;
    if (style.part != FilePart::Title) part = L"00";
    if (style.part == FilePart::NumberTitle) part += Separator;
    if (style.part != FilePart::Number) part += SanitizeFileName(title);
    part += extension;
    pathRoom = std::max(pathRoom, std::min(part.GetLength(), kFileNameRoom));
    nameRoom = std::max(nameRoom, std::min(NameLength(part), kFileNameRoom));
  };
  const CStringArray& titles = g_cddbRecord.m_trackTitles;
  for (INT_PTR i = 0; i < titles.GetSize(); ++i) need(titles[i]);
  if (DiscTrackCount() > titles.GetSize()) need(L"Track00");
}

// Whether every folder step of prefix fits, and the file name's part leaves its room.
bool PrefixFits(const CString& prefix, int pathRoom, int nameRoom) {
  if (DesDir.GetLength() + prefix.GetLength() > kPathLimit - pathRoom) return false;
  int start = 0;
  for (int stop; (stop = prefix.Find(L'\\', start)) >= 0; start = stop + 1) {
    if (NameLength(prefix.Mid(start, stop - start)) > kNameLimit) return false;
  }
  return NameLength(prefix.Mid(start)) <= kNameLimit - nameRoom;
}

}  // namespace

int NameLength(const CString& name) {
  int length = 0;
  for (int i = 0, span = 1; i < name.GetLength(); i += span) length += CharLength(name, i, &span);
  return length;
}

CString GetTrackTitle(short trackIndex) {
  if (trackIndex >= 0 && trackIndex < g_cddbRecord.m_trackTitles.GetSize()) {
    return g_cddbRecord.m_trackTitles[trackIndex];
  }
  // A record may hold fewer titles than the disc has tracks.
  if (trackIndex < 0 || trackIndex >= DiscTrackCount()) AfxThrowInvalidArgException();
  CString title;
  title.Format(L"Track%02d", trackIndex + 1);
  return title;
}

CString GetFileStyleText(short style) { return GetFileStyleText(style, Separator); }

CString GetFileStyleText(short style, const CString& separator) {
  if (style < 0 || style >= kFileStyleCount) return CString();
  CString text(kFileStyles[style].text);
  // Literal text: a "%" in the separator stays a "%".
  text.Replace(L"-", separator);
  return text;
}

// Record texts come from a remote server, so a sanitised text must stay one harmless name
// step: no folder break, no "." or ".." step, no name that Windows would silently change
// (trailing dots and blanks) or open as a device.
CString SanitizeFileName(const CString& name) {
  CString result(name);
  for (wchar_t ch : {L'\\', L'/', L'"', L'<', L'>', L'|', L'*', L'?', L':'}) {
    result.Replace(ch, L'_');
  }
  result.TrimRight();
  result.TrimLeft();
  // After the trim, so texts that only had blanks or line ends around them keep their
  // old names.
  for (int i = 0; i < result.GetLength(); ++i) {
    wchar_t ch = result[i];
    if (ch < 0x20 || ch == 0x7F) result.SetAt(i, L'_');
  }
  int length = result.GetLength();
  while (length > 0 && (result[length - 1] == L'.' || std::iswspace(result[length - 1]))) {
    --length;
  }
  result = result.Left(length);
  // An empty result stays empty: the field is left out of the name, and an empty step
  // between two folder breaks names no folder of its own.
  if (IsReservedDeviceName(result)) result.Insert(0, L'_');
  return result;
}

CString SanitizeDelimiter(const CString& typed) {
  CString delimiter;
  const int length = typed.GetLength() < kDelimiterLimit ? typed.GetLength() : kDelimiterLimit;
  for (int i = 0; i < length; ++i) {
    const wchar_t ch = typed[i];
    delimiter += std::wcschr(L"\\/\"><|*?:", ch) ? L'-' : ch;
  }
  return delimiter;
}

CString GetFormatExtension(short format) {
  switch (format) {
    case 1:
      return CString(L".wav");
    case 2:
      return CString(L".mp3");
    case 3:
      return CString(L".ogg");
    default:
      return CString();
  }
}

CString BuildOutputFolder() {
  const FileStyleRule* style = CurrentStyle();
  if (!style) return DesDir;
  const CString artist = NameOrPlaceholder(g_cddbRecord.m_artist, L"Unknown Artist");
  const CString album = NameOrPlaceholder(g_cddbRecord.m_title, L"Unknown Album");
  // One cap for both texts, so a long artist and a long album give way alike.
  const auto prefix = [&](int cap) {
    return ComposePrefix(*style, CutName(artist, cap), CutName(album, cap));
  };
  int pathRoom = 0;
  int nameRoom = 0;
  FileNameRoom(*style, pathRoom, nameRoom);
  const int cap = LargestCap(1, std::max(NameLength(artist), NameLength(album)),
                             [&](int c) { return PrefixFits(prefix(c), pathRoom, nameRoom); });
  return DesDir + prefix(cap);
}

CString BuildOutputPath(const CString& folder, short trackIndex) {
  const CString title = SanitizeFileName(GetTrackTitle(trackIndex));
  const CString extension = GetFormatExtension(OutputFormat);
  // The folder may end in the head of the file name (styles without a folder break).
  const CString head = folder.Mid(folder.ReverseFind(L'\\') + 1);
  const FileStyleRule* style = CurrentStyle();
  const auto file = [&](int cap) {
    CString part;
    if (style) {
      CString number;
      number.Format(L"%02d", trackIndex + 1);
      switch (style->part) {
        case FilePart::Number:
          part = number;
          break;
        case FilePart::Title:
          part = CutName(title, cap);
          break;
        case FilePart::NumberTitle:
          part = number + Separator + CutName(title, cap);
          break;
      }
    }
    return part + extension;
  };
  const int cap = LargestCap(0, NameLength(title), [&](int c) {
    const CString part = file(c);
    return NameLength(head + part) <= kNameLimit &&
           folder.GetLength() + part.GetLength() <= kPathLimit;
  });
  const CString result = folder + file(cap);
  // With every field empty and no extension (a format outside 1 to 3) nothing names a
  // file: the path would be the folder itself, or "." or "..". Such a track has no name.
  const CString name = result.Mid(result.ReverseFind(L'\\') + 1);
  if (name.IsEmpty() || OnlyDotsAndBlanks(name)) AfxThrowInvalidArgException();
  return result;
}

CString BuildOutputName(short trackIndex) {
  return BuildOutputPath(BuildOutputFolder(), trackIndex);
}

CString MakeUniqueFileName(const CString& path) {
  // Only a dot in the last step starts the extension: cutting at a dot in a folder name
  // (or, with no dot at all, at nothing) would move the file out of its folder.
  int dot = path.ReverseFind(L'.');
  int step = std::max(path.ReverseFind(L'\\'), path.ReverseFind(L'/'));
  const CString base = dot > step ? path.Left(dot) : path;
  const CString folder = base.Left(step + 1);
  const CString stem = base.Mid(step + 1);
  const CString extension = GetFormatExtension(OutputFormat);
  CString candidate;
  for (int n = 2;; ++n) {
    CString tail;
    tail.Format(L" (%d)%s", n, extension.GetString());
    // A name that fitted only just loses the end of its title to the number.
    const int cap = LargestCap(0, NameLength(stem), [&](int c) {
      const CString name = CutName(stem, c) + tail;
      return NameLength(name) <= kNameLimit && folder.GetLength() + name.GetLength() <= kPathLimit;
    });
    candidate = folder + CutName(stem, cap) + tail;
    if (GetFileAttributesW(candidate) == INVALID_FILE_ATTRIBUTES) return candidate;
  }
}

CString BuildPlaylistPath(const CString& outputPath) {
  const int cut = outputPath.ReverseFind(L'\\');
  const CString folder = (cut < 0 ? CString() : outputPath.Left(cut)) + L"\\";
  const CString album = NameOrPlaceholder(g_cddbRecord.m_title, L"Unknown Album");
  const CString extension = L".m3u";
  const int cap = LargestCap(1, NameLength(album), [&](int c) {
    const CString name = CutName(album, c) + extension;
    return NameLength(name) <= kNameLimit && folder.GetLength() + name.GetLength() <= kPathLimit;
  });
  return folder + CutName(album, cap) + extension;
}

namespace {

// The name in the ANSI code page when it comes back from there unchanged; a name the
// code page cannot hold (or holds only as a look-alike) gives false.
bool ToAnsiExactly(const CString& name, CStringA& bytes) {
  bytes = AfxWideToMultiByte(name.GetString(), name.GetLength(), CP_ACP);
  return AfxMultiByteToWide(bytes.GetString(), bytes.GetLength(), CP_ACP) == name;
}

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

bool IsFolder(LPCWSTR path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// Walks back to the first folder that can be created, then forward again, one step at a
// time, in one buffer: each cut writes a terminator over a separator and the way forward
// writes "\" back.
BOOL CreateDirectoryPath(LPCWSTR path) {
  wchar_t buffer[MAX_PATH];
  const size_t end = std::wcslen(path);
  // Anything longer could only be created in part; callers expect all or nothing.
  if (end >= MAX_PATH) return FALSE;
  std::wmemcpy(buffer, path, end + 1);
  size_t cursor = end;
  for (;;) {
    if (!CreateDirectoryW(buffer, nullptr)) {
      DWORD error = GetLastError();
      if (error == ERROR_PATH_NOT_FOUND) {
        size_t i = cursor;
        while (i > 0 && buffer[i] != L'\\' && buffer[i] != L'/') --i;
        if (i == 0) return FALSE;
        buffer[i] = L'\0';
        cursor = i;
        continue;
      }
      // "Already exists" may be a file of that name; a root may refuse creation while
      // being there. Only a folder at the path counts.
      if (!IsFolder(buffer)) return FALSE;
    }
    if (cursor == end) return TRUE;
    buffer[cursor] = L'\\';
    while (buffer[cursor] != L'\0') ++cursor;
  }
}

// Players take a playlist with the UTF-8 mark as UTF-8 and one without as ANSI, so a
// file is one or the other as a whole: the mark goes in front of every line, old ones
// converted, once a name needs it. Until then the bytes are those ANSI playlists always
// had.
BOOL AppendPlaylistLine(LPCWSTR path, const CString& fileName) {
  CFile list;
  if (!list.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite |
                           CFile::typeBinary)) {
    return FALSE;
  }
  try {
    std::string old(static_cast<size_t>(list.GetLength()), '\0');
    if (!old.empty()) old.resize(list.Read(old.data(), static_cast<UINT>(old.size())));
    const bool utf8 = old.compare(0, 3, kUtf8Mark) == 0;
    CStringA bytes;
    bool rewrite = false;
    if (utf8) {
      bytes = AfxWideToMultiByte(fileName.GetString(), fileName.GetLength(), CP_UTF8);
    } else if (!ToAnsiExactly(fileName, bytes)) {
      const CString lines = AfxMultiByteToWide(old.data(), static_cast<int>(old.size()), CP_ACP);
      bytes = kUtf8Mark;
      bytes += AfxWideToMultiByte(lines.GetString(), lines.GetLength(), CP_UTF8);
      bytes += AfxWideToMultiByte(fileName.GetString(), fileName.GetLength(), CP_UTF8);
      rewrite = true;
    }
    bytes += "\r\n";
    if (rewrite) {
      list.SeekToBegin();
    } else {
      list.SeekToEnd();
    }
    list.Write(bytes.GetString(), static_cast<UINT>(bytes.GetLength()));
    if (rewrite) list.SetLength(static_cast<ULONGLONG>(bytes.GetLength()));
    list.Close();
    return TRUE;
  } catch (CException* e) {
    e->Delete();
  }
  list.Abort();
  return FALSE;
}
