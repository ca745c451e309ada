#include "platform/cdgrab/DiscImage.h"

#include <string.h>

#include <algorithm>

#include "platform/cdgrab/LibError.h"

namespace cdgrab {
namespace {

constexpr DWORD kMaxSheetBytes = 1 << 20;
constexpr DWORD kWaveHeadBytes = 64 * 1024;

std::wstring Widen(const std::string& text) {
  // Sheets written by current tools are UTF-8; older ones are in the ANSI code page.
  for (UINT cp : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)}) {
    DWORD flags = cp == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    int n = MultiByteToWideChar(cp, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) continue;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(cp, flags, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
  }
  return std::wstring();
}

// A FILE name must stay inside the sheet's folder.
bool SafeRelativeName(std::wstring& name) {
  if (name.empty()) return false;
  std::replace(name.begin(), name.end(), L'/', L'\\');
  if (name[0] == L'\\' || name.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find(L'\\', start);
    if (end == std::wstring::npos) end = name.size();
    if (name.compare(start, end - start, L"..") == 0) return false;
    start = end + 1;
  }
  return true;
}

bool Stamp(HANDLE file, uint64_t& bytes, FILETIME& written) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  bytes = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  written = info.ftLastWriteTime;
  return true;
}

bool ReadAt(HANDLE file, uint64_t offset, uint8_t* out, uint32_t bytes, uint32_t& got) {
  got = 0;
  LARGE_INTEGER pos;
  pos.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file, pos, nullptr, FILE_BEGIN)) return false;
  while (got < bytes) {
    DWORD n = 0;
    if (!ReadFile(file, out + got, bytes - got, &n, nullptr)) return false;
    if (n == 0) break;  // end of file
    got += n;
  }
  return true;
}

}  // namespace

std::unique_ptr<DiscImage> DiscImage::Load(const std::wstring& cuePath, CueError& error) {
  std::unique_ptr<DiscImage> image(new DiscImage());
  WinHandle sheet(CreateFileW(cuePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  if (!sheet.Valid()) {
    error = {kErrImageFile, "cannot open the cue sheet"};
    return nullptr;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(sheet.Get(), &size) || size.QuadPart > kMaxSheetBytes) {
    error = {kErrBadImage, "cue sheet larger than 1 MB"};
    return nullptr;
  }
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  uint32_t got = 0;
  if (!ReadAt(sheet.Get(), 0, reinterpret_cast<uint8_t*>(text.data()),
              static_cast<uint32_t>(text.size()), got) ||
      got != text.size()) {
    error = {kErrImageFile, "cannot read the cue sheet"};
    return nullptr;
  }
  std::wstring folder = cuePath.substr(0, cuePath.find_last_of(L"\\/") + 1);

  std::vector<WinHandle>& files = image->files_;
  std::vector<FileStamp>& stamps = image->stamps_;
  CueFileProbe probe = [&](const std::string& name, CueFileType type) {
    CueFileInfo info;
    std::wstring wide = Widen(name);
    if (!SafeRelativeName(wide)) {
      info.error = kErrBadImage;
      info.reason = "file name outside the disc";
      return info;
    }
    WinHandle file(CreateFileW((folder + wide).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    FileStamp stamp;
    if (!file.Valid() || !Stamp(file.Get(), stamp.bytes, stamp.written)) {
      info.error = kErrImageFile;
      info.reason = "file missing or unreadable";
      return info;
    }
    info.dataBytes = stamp.bytes;
    if (type == CueFileType::kWave) {
      std::vector<uint8_t> head(kWaveHeadBytes);
      uint32_t n = 0;
      if (!ReadAt(file.Get(), 0, head.data(), kWaveHeadBytes, n)) {
        info.error = kErrImageFile;
        info.reason = "file unreadable";
        return info;
      }
      if (!ParseWaveHeader(head.data(), n, info.dataBytes, info.dataOffset, info.dataBytes,
                           info.reason)) {
        info.error = kErrWaveFormat;
        return info;
      }
    }
    files.push_back(std::move(file));
    stamps.push_back(stamp);
    return info;
  };
  if (!ParseCueSheet(text, probe, image->disc_, error)) return nullptr;
  for (const CueReadError& rule : image->disc_.readErrors)
    image->failuresLeft_.push_back(rule.failures);
  return image;
}

bool DiscImage::ReadFileBytes(size_t file, uint64_t offset, uint8_t* out, uint32_t bytes,
                              CueError& error) {
  const CueFile& f = disc_.files[file];
  uint64_t end = f.dataOffset + f.dataBytes;
  uint32_t want =
      offset >= end ? 0 : static_cast<uint32_t>(std::min<uint64_t>(bytes, end - offset));
  uint32_t got = 0;
  if (want > 0 && !ReadAt(files_[file].Get(), offset, out, want, got)) {
    error = {kErrImageFile, "cannot read " + f.name};
    return false;
  }
  // A file cut or rewritten under the drive no longer holds this disc: its sectors fail
  // like unreadable ones instead of passing on silence or another disc's audio.
  if (got < want) {
    error = {kErrReadFailed, f.name + " ends before byte " + std::to_string(offset + want) +
                                 ": it shrank since the disc was loaded"};
    return false;
  }
  if (!Unchanged(file)) {
    error = {kErrReadFailed, f.name + " was written since the disc was loaded"};
    return false;
  }
  // Only the last sector, cut short by the file's end at load, reads as silence beyond it.
  memset(out + got, 0, bytes - got);
  return true;
}

bool DiscImage::Unchanged(size_t file) const {
  uint64_t bytes;
  FILETIME written;
  const FileStamp& s = stamps_[file];
  return Stamp(files_[file].Get(), bytes, written) && bytes == s.bytes &&
         CompareFileTime(&written, &s.written) == 0;
}

bool DiscImage::ReadAudio(uint32_t lba, uint32_t count, uint8_t* out, CueError& error) {
  if (count == 0 || lba >= disc_.leadOut || count > disc_.leadOut - lba) {
    error = {kErrOutOfRange, "sectors " + std::to_string(lba) + "+" + std::to_string(count) +
                                 " outside the disc (lead-out " + std::to_string(disc_.leadOut) +
                                 ")"};
    return false;
  }
  const std::vector<CueSegment>& segs = disc_.segments;
  auto firstSeg = std::upper_bound(segs.begin(), segs.end(), lba,
                                   [](uint32_t v, const CueSegment& s) { return v < s.firstLba; });
  --firstSeg;  // segments start at LBA 0 and have no holes
  for (auto s = firstSeg; s != segs.end() && s->firstLba < lba + count; ++s) {
    if (!s->audio) {
      error = {kErrNotAudio,
               "sector " + std::to_string(std::max(lba, s->firstLba)) + " is not audio"};
      return false;
    }
  }

  std::lock_guard<std::mutex> guard(lock_);
  bool injected = false;
  for (size_t i = 0; i < disc_.readErrors.size(); ++i) {
    const CueReadError& rule = disc_.readErrors[i];
    bool touches = lba < rule.firstLba + rule.count && rule.firstLba < lba + count;
    if (!touches || failuresLeft_[i] == 0) continue;
    if (failuresLeft_[i] > 0) --failuresLeft_[i];
    injected = true;
  }
  if (injected) {
    error = {kErrReadFailed,
             "read error at sectors " + std::to_string(lba) + "+" + std::to_string(count)};
    return false;
  }

  uint32_t done = 0;
  for (auto s = firstSeg; done < count; ++s) {
    uint32_t at = lba + done;
    uint32_t run = std::min(count - done, s->firstLba + s->sectorCount - at);
    uint8_t* dst = out + static_cast<size_t>(done) * kCDSectorBytes;
    uint32_t bytes = run * kCDSectorBytes;
    if (s->file < 0) {
      memset(dst, 0, bytes);
    } else {
      const CueFile& f = disc_.files[static_cast<size_t>(s->file)];
      uint64_t offset =
          f.dataOffset + s->byteOffset + static_cast<uint64_t>(at - s->firstLba) * kCDSectorBytes;
      if (!ReadFileBytes(static_cast<size_t>(s->file), offset, dst, bytes, error)) return false;
    }
    done += run;
  }
  return true;
}

std::wstring FindCueSheet(wchar_t letter) {
  wchar_t pattern[] = L"?:\\*.cue";
  pattern[0] = letter;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) return std::wstring();
  struct FindCloser {
    HANDLE h;
    ~FindCloser() { FindClose(h); }
  } closer{find};
  std::wstring best;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::wstring name = data.cFileName;
    // The pattern also matches through short names; keep only real ".cue" names.
    if (name.size() < 5 ||
        CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".cue", 4, TRUE) != CSTR_EQUAL)
      continue;
    if (best.empty() ||
        CompareStringOrdinal(name.c_str(), -1, best.c_str(), -1, TRUE) == CSTR_LESS_THAN)
      best = name;
  } while (FindNextFileW(find, &data));
  if (best.empty()) return best;
  return std::wstring(1, letter) + L":\\" + best;
}

}  // namespace cdgrab
