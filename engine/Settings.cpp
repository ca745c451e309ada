#include "engine/Settings.h"

#include <shlobj.h>

#include "engine/EngineLog.h"
#include "engine/OutputNaming.h"
#include "framework/core/Exceptions.h"
#include "framework/core/File.h"

short DbClk = -1;
short DriveCount = 0;
short DriveNum = 0;
unsigned short LastPage = 1;
short AlbumInfoSource = 0;
BOOL SaveAlbumInfo = 1;
BOOL LoadAlbumInfo = 1;
CString LocalCDDBDir;
short OutputFormat = 2;
short FileStyle = 11;
unsigned short Volume = 100;
BOOL M3U = 1;
BOOL FillTag = 1;
BOOL WriteLog = 0;
CString DesDir;
CString Separator = L"-";
short SubFormat = 1;
short Freq = kCDRateIndex;
BOOL Channel = 1;
short LameFreq = kCDRateIndex;
short LameBits = kDefaultLameBits;
short LameChannel = 2;
short QualityCompression = 3;

DWORD SampleRateOrDefault(int index) {
  return kSampleRates[index >= 0 && index < kSampleRateCount ? index : kCDRateIndex];
}

WORD Mp3BitrateOrDefault(int index) {
  return kMp3Bitrates[index >= 0 && index < kMp3BitrateCount ? index : kDefaultLameBits];
}

short OutputFormatOrDefault() { return OutputFormat >= 1 && OutputFormat <= 3 ? OutputFormat : 2; }

short FileStyleOrDefault() { return FileStyle >= 0 && FileStyle <= 12 ? FileStyle : 11; }

short QualityCompressionOrDefault() {
  return QualityCompression >= -1 && QualityCompression <= 10 ? QualityCompression : 3;
}

BOOL GetSettingsFolder(CString& folder) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) {
    folder.Empty();
    return FALSE;
  }
  folder = path;
  folder += L"\\Corvane";
  return TRUE;
}

void GetDefaultOutputFolder(CString& folder) {
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYMUSIC, nullptr, SHGFP_TYPE_CURRENT, path)) ||
      SUCCEEDED(
          SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path))) {
    folder = path;
    folder += L"\\";
  } else {
    folder = L"C:\\My Music\\";
  }
}

namespace {

// String: cut to its buffer (the separator, at most two characters). Folder: refused
// when it does not fit its buffer, since a cut folder sends every file somewhere else.
enum class Kind { Short, UShort, Flag, String, Folder };

struct Key {
  LPCWSTR section;
  LPCWSTR name;
  Kind kind;
  void* value;
  int intDefault;  // integer keys
  int bufferSize;  // string keys: characters including the terminator
  int low = 1;     // integer keys with a range: the values their users can take;
  int high = 0;    // low above high means any value
};

// The file's keys in loading order.
const Key kKeys[] = {
    {L"MISC", L"DbClk", Kind::Short, &DbClk, -1, 0, -1, 1},
    {L"MISC", L"DriveCount", Kind::Short, &DriveCount, 0, 0},
    {L"MISC", L"DriveNum", Kind::Short, &DriveNum, 0, 0},
    {L"MISC", L"LastPage", Kind::UShort, &LastPage, 1, 0},
    {L"FREEDB", L"AlbumInfoSource", Kind::Short, &AlbumInfoSource, 0, 0, 0, 2},
    {L"FREEDB", L"SaveAlbumInfo", Kind::Flag, &SaveAlbumInfo, 1, 0},
    {L"FREEDB", L"LoadAlbumInfo", Kind::Flag, &LoadAlbumInfo, 1, 0},
    {L"FREEDB", L"LocalCDDBDir", Kind::Folder, &LocalCDDBDir, 0, 256},
    {L"OUTPUT", L"OutputFormat", Kind::Short, &OutputFormat, 2, 0, 1, 3},
    {L"OUTPUT", L"FileStyle", Kind::Short, &FileStyle, 11, 0, 0, 12},
    {L"OUTPUT", L"Volume", Kind::UShort, &Volume, 100, 0, 0, 100},
    {L"OUTPUT", L"M3U", Kind::Flag, &M3U, 1, 0},
    {L"OUTPUT", L"FillTag", Kind::Flag, &FillTag, 1, 0},
    {L"OUTPUT", L"WriteLog", Kind::Flag, &WriteLog, 0, 0},
    {L"OUTPUT", L"DesDir", Kind::Folder, &DesDir, 0, 256},
    {L"OUTPUT", L"Separator", Kind::String, &Separator, 0, 3},
    {L"WAV", L"SubFormat", Kind::Short, &SubFormat, 1, 0, 0, 1},
    {L"WAV", L"Freq", Kind::Short, &Freq, kCDRateIndex, 0, 0, kSampleRateCount - 1},
    {L"WAV", L"Channel", Kind::Flag, &Channel, 1, 0},
    {L"MP3", L"LameFreq", Kind::Short, &LameFreq, kCDRateIndex, 0, 0, kSampleRateCount - 1},
    {L"MP3", L"LameBits", Kind::Short, &LameBits, kDefaultLameBits, 0, 0, kMp3BitrateCount - 1},
    {L"MP3", L"LameChannel", Kind::Short, &LameChannel, 2, 0, 0, 3},
    {L"OGG", L"QualityCompression", Kind::Short, &QualityCompression, 3, 0, -1, 10},
};

// Saving writes WriteLog before FillTag; everything else in loading order. The order
// shapes the file's text, which users and their tools may have come to expect.
const int kSaveOrder[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                          13, 12, 14, 15, 16, 17, 18, 19, 20, 21, 22};
static_assert(sizeof(kSaveOrder) / sizeof(kSaveOrder[0]) == sizeof(kKeys) / sizeof(kKeys[0]));

void Warn(const CString& text) { EngineLog(text, LOG_WARNING); }

// GetPrivateProfileIntW reads text without digits ("abc") as 0, which may be in range.
bool IsNumber(LPCWSTR text) {
  while (*text == L' ' || *text == L'\t') ++text;
  if (*text == L'+' || *text == L'-') ++text;
  return *text >= L'0' && *text <= L'9';
}

void LoadText(const Key& key, LPCTSTR iniPath, LPCTSTR stringDefault) {
  CString& value = *static_cast<CString*>(key.value);
  if (key.kind == Kind::String) {
    LPWSTR buffer = value.GetBuffer(key.bufferSize);
    GetPrivateProfileStringW(key.section, key.name, stringDefault, buffer, key.bufferSize, iniPath);
    value.ReleaseBuffer();
    if (key.value == &Separator) {
      // Exactly what the Output page keeps of a typed delimiter: a "\" or ":" in a file
      // name would make folders or fail.
      const CString filtered = SanitizeDelimiter(value);
      if (filtered != value) {
        CString text;
        text.Format(L"Setting %s \"%s\" holds characters a file name cannot: \"%s\" is used.",
                    key.name, value.GetString(), filtered.GetString());
        Warn(text);
        value = filtered;
      }
    }
    return;
  }
  // A folder: read with room to spare, so a value too long for its buffer shows as such.
  const int room = key.bufferSize * 4;
  CString read;
  LPWSTR buffer = read.GetBuffer(room);
  GetPrivateProfileStringW(key.section, key.name, stringDefault, buffer, room, iniPath);
  read.ReleaseBuffer();
  // Nothing sits between DesDir and the first field of a name: without its "\" the files
  // would land beside the folder, named after it.
  if (key.value == &DesDir && !read.IsEmpty() && read[read.GetLength() - 1] != L'\\') {
    read += L'\\';
  }
  CString problem;
  if (read.IsEmpty()) {
    problem = L"is empty";  // it would name the current folder, or with its "\" a root
  } else if (read.GetLength() >= key.bufferSize) {
    problem.Format(L"is longer than %d characters", key.bufferSize - 1);
  }
  if (problem.IsEmpty()) {
    value = read;
    return;
  }
  value = stringDefault;
  CString text;
  text.Format(L"Setting %s %s: the default \"%s\" is used.", key.name, problem.GetString(),
              stringDefault);
  Warn(text);
}

void LoadKey(const Key& key, LPCTSTR iniPath, LPCTSTR stringDefault) {
  if (key.kind == Kind::String || key.kind == Kind::Folder) {
    LoadText(key, iniPath, stringDefault);
    return;
  }
  // The default goes through as a signed int; the result is cut to the member's width.
  int n = static_cast<int>(GetPrivateProfileIntW(key.section, key.name, key.intDefault, iniPath));
  if (key.low <= key.high) {
    // The range is checked before the cut, so 65537 is no 1.
    wchar_t text[32] = {};
    const bool present =
        GetPrivateProfileStringW(key.section, key.name, L"", text, 32, iniPath) > 0;
    if (present && (!IsNumber(text) || n < key.low || n > key.high)) {
      CString line;
      line.Format(L"Setting %s=%s is outside %d to %d: the default %d is used.", key.name, text,
                  key.low, key.high, key.intDefault);
      Warn(line);
      n = key.intDefault;
    }
  }
  switch (key.kind) {
    case Kind::Short:
      *static_cast<short*>(key.value) = static_cast<short>(n);
      break;
    case Kind::UShort:
      *static_cast<unsigned short*>(key.value) = static_cast<unsigned short>(n);
      break;
    case Kind::Flag:
      *static_cast<BOOL*>(key.value) = n;
      break;
    case Kind::String:
    case Kind::Folder:
      break;
  }
}

CString KeyText(const Key& key) {
  CString text;
  switch (key.kind) {
    case Kind::Short:
      text.Format(L"%d", static_cast<int>(*static_cast<short*>(key.value)));
      break;
    case Kind::UShort:
      text.Format(L"%d", static_cast<int>(*static_cast<unsigned short*>(key.value)));
      break;
    case Kind::Flag:
      text.Format(L"%d", static_cast<int>(*static_cast<BOOL*>(key.value)));
      break;
    case Kind::String:
    case Kind::Folder:
      text = *static_cast<CString*>(key.value);
      break;
  }
  return text;
}

BOOL SaveKey(const Key& key, LPCTSTR iniPath) {
  return WritePrivateProfileStringW(key.section, key.name, KeyText(key), iniPath);
}

}  // namespace

namespace {

// The profile functions read a file they cannot open as an empty one, which would pass
// for a file of defaults. A file that is there but cannot be read (locked by another
// program, a folder, no access) is a failed load instead.
bool ExistsButCannotBeRead(LPCTSTR path) {
  if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return false;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  CloseHandle(file);
  return false;
}

}  // namespace

BOOL LoadSettings(LPCTSTR iniPath) {
  try {
    if (!iniPath || !*iniPath || ExistsButCannotBeRead(iniPath)) AfxThrowInvalidArgException();
    CString localDefault;
    GetSettingsFolder(localDefault);
    localDefault += L"\\Local CDDB";
    CString outputDefault;
    GetDefaultOutputFolder(outputDefault);
    for (const Key& key : kKeys) {
      LPCTSTR stringDefault = key.value == &LocalCDDBDir ? localDefault.GetString()
                              : key.value == &DesDir     ? outputDefault.GetString()
                                                         : L"-";
      LoadKey(key, iniPath, stringDefault);
    }
    return TRUE;
  } catch (CException* e) {
    e->Delete();
  }
  EngineLog(L"Error on loading settings!", LOG_WARNING);
  return FALSE;
}

namespace {

// What SaveKey wrote, read back from the file itself: the profile functions do not
// report every failed write (a full volume), and a cut file must not replace a whole one.
// Reading drops the blanks around a value and a pair of quotes around it; an ANSI file
// keeps a character its code page lacks as another, so text need only keep its length.
bool ReadsBack(const Key& key, LPCTSTR path) {
  CString expected = KeyText(key);
  expected.Trim(L" \t");
  const int length = expected.GetLength();
  if (length >= 2 && (expected[0] == L'"' || expected[0] == L'\'') &&
      expected[length - 1] == expected[0]) {
    expected = expected.Mid(1, length - 2);
  }
  // The default and a longer value both differ from the expected text.
  const CString missing = expected + L"?";
  const int room = missing.GetLength() + 1;
  CString read;
  LPWSTR buffer = read.GetBuffer(room);
  GetPrivateProfileStringW(key.section, key.name, missing, buffer, room, path);
  read.ReleaseBuffer();
  if (key.kind == Kind::String || key.kind == Kind::Folder) {
    return read.GetLength() == expected.GetLength();
  }
  return read == expected;
}

// Writes every key into a scratch copy of the file beside it; the copy keeps the file's
// encoding and whatever else it holds (MISC Tip). A copy that went away since the start
// comes back Unicode, as start-up makes it.
bool WriteScratch(LPCTSTR iniPath, const CString& scratch) {
  if (GetFileAttributesW(iniPath) == INVALID_FILE_ATTRIBUTES) {
    if (!AfxCreateUnicodeProfile(scratch)) return false;
  } else {
    if (!CopyFileW(iniPath, scratch, FALSE)) return false;
    // A read-only file's copy would refuse the keys and then its own removal.
    SetFileAttributesW(scratch, FILE_ATTRIBUTE_NORMAL);
  }
  bool ok = true;
  for (int index : kSaveOrder) {
    if (!SaveKey(kKeys[index], scratch)) {
      ok = false;
      break;
    }
  }
  // Profile writes may sit in the system's cache; a flush puts them in the file and
  // makes the reads below come from it.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, scratch);
  for (int index : kSaveOrder) {
    if (!ok) break;
    ok = ReadsBack(kKeys[index], scratch);
  }
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, scratch);
  return ok;
}

}  // namespace

BOOL SaveSettings(LPCTSTR iniPath) {
  BOOL ok = FALSE;
  try {
    if (iniPath && *iniPath) {
      // The file is replaced in one step, so a save cut short (the process killed, a
      // write failing) leaves the old file or the new one, never a part of either.
      const CString scratch = CString(iniPath) + L".tmp";
      // Left by a save that was cut short.
      SetFileAttributesW(scratch, FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(scratch);
      ok = WriteScratch(iniPath, scratch) &&
           MoveFileExW(scratch, iniPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
      if (!ok) DeleteFileW(scratch);
    }
  } catch (CException* e) {
    e->Delete();
    ok = FALSE;
  }
  if (!ok) EngineLog(L"Error on saving settings!", LOG_WARNING);
  return ok;
}
