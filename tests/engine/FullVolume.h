// A small file system (mounted by rip-full-fs.sh) that a test fills to its last byte.
#pragma once

#include <windows.h>

#include <string>

// The Windows path of the mounted small file system at unixFolder, or empty when none is
// mounted there (the caller skips).
std::wstring SmallVolume(const char* unixFolder);

// A file in folder that takes every byte the volume has left; deleted with the object.
class VolumeFiller {
 public:
  explicit VolumeFiller(const std::wstring& folder);
  ~VolumeFiller();
  VolumeFiller(const VolumeFiller&) = delete;
  VolumeFiller& operator=(const VolumeFiller&) = delete;

  // The room is given back (the filler deleted).
  void Release();
  // Whether the volume refused a single byte more.
  bool full() const { return m_full; }

 private:
  std::wstring m_path;
  bool m_full = false;
};
