// A disc image on a drive's root folder: its cue sheet, its files and the injected faults.
#pragma once

#include <stdint.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/cdgrab/CueSheet.h"
#include "platform/cdgrab/WinHandle.h"

namespace cdgrab {

class DiscImage {
 public:
  // Loads the sheet at cuePath (the files it names are relative to its folder).
  static std::unique_ptr<DiscImage> Load(const std::wstring& cuePath, CueError& error);

  const CueDisc& Disc() const { return disc_; }

  // Reads count raw audio sectors from lba into out (count * 2352 bytes). Fails on a range
  // outside the disc, on data sectors, on a matching READ-ERROR rule and on a file that
  // shrank or was written since the load. Thread-safe.
  bool ReadAudio(uint32_t lba, uint32_t count, uint8_t* out, CueError& error);

 private:
  DiscImage() = default;
  bool ReadFileBytes(size_t file, uint64_t offset, uint8_t* out, uint32_t bytes, CueError& error);
  bool Unchanged(size_t file) const;

  // A file's size and last write as the load found them.
  struct FileStamp {
    uint64_t bytes = 0;
    FILETIME written = {};
  };

  CueDisc disc_;
  std::vector<WinHandle> files_;
  std::vector<FileStamp> stamps_;      // one per file
  std::mutex lock_;                    // file positions and the fault counters below
  std::vector<int32_t> failuresLeft_;  // one per READ-ERROR rule
};

// The first *.cue in name order in the root of the drive letter, or "" without one.
std::wstring FindCueSheet(wchar_t letter);

}  // namespace cdgrab
