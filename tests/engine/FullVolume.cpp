#include "tests/engine/FullVolume.h"

#include <memory>
#include <vector>

std::wstring SmallVolume(const char* unixFolder) {
  const std::string unix(unixFolder);
  std::wstring path = L"Z:" + std::wstring(unix.begin(), unix.end());
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  ULARGE_INTEGER freeBytes{}, total{};
  if (!GetDiskFreeSpaceExW(path.c_str(), &freeBytes, &total, nullptr) ||
      total.QuadPart > 4u << 20) {
    return {};
  }
  return path;
}

VolumeFiller::VolumeFiller(const std::wstring& folder) : m_path(folder + L"\\filler.bin") {
  HANDLE h = CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  std::unique_ptr<void, decltype(&CloseHandle)> file(h, &CloseHandle);
  const std::vector<char> block(64 * 1024, 'f');
  // Smaller and smaller writes, down to single bytes, until even one is refused.
  for (DWORD size = static_cast<DWORD>(block.size()); size > 0;) {
    DWORD written = 0;
    if (!WriteFile(h, block.data(), size, &written, nullptr) || written == 0) {
      size /= 2;
    }
  }
  m_full = true;
}

VolumeFiller::~VolumeFiller() { Release(); }

void VolumeFiller::Release() { DeleteFileW(m_path.c_str()); }
