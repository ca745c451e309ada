// Cue sheet parsing and the sector layout of a disc image. No file access here: FILE lines
// are resolved through a probe, so the parser runs on any text in tests.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cdgrab/AudioCDGrabber.h"

namespace cdgrab {

enum class CueFileType { kBinary, kWave };

// What a probe says about one FILE line. error 0 = usable; otherwise a LibError code.
struct CueFileInfo {
  int32_t error = 0;
  std::string reason;
  uint64_t dataOffset = 0;  // where the sectors (or the WAVE samples) start in the file
  uint64_t dataBytes = 0;
};

using CueFileProbe = std::function<CueFileInfo(const std::string& name, CueFileType type)>;

struct CueFile {
  std::string name;  // as written in the sheet
  CueFileType type = CueFileType::kBinary;
  uint64_t dataOffset = 0;
  uint64_t dataBytes = 0;
};

struct CueTrack {
  uint8_t number = 0;
  bool audio = true;
  uint32_t sectorBytes = kCDSectorBytes;  // bytes per sector in the file
  uint32_t startLba = 0;                  // INDEX 01 on the disc
  uint8_t session = 1;                    // REM SESSION before the track, else the previous one's
};

// A run of consecutive disc sectors; file -1 is silence that no file holds (PREGAP, POSTGAP).
struct CueSegment {
  uint32_t firstLba = 0;
  uint32_t sectorCount = 0;
  int32_t file = -1;
  uint64_t byteOffset = 0;  // from the file's dataOffset
  uint32_t sectorBytes = kCDSectorBytes;
  bool audio = true;
};

// REM READ-ERROR <lba> <count> <failures>: failures -1 = fail forever.
struct CueReadError {
  uint32_t firstLba = 0;
  uint32_t count = 0;
  int32_t failures = 0;
};

struct CueDisc {
  std::vector<CueFile> files;
  std::vector<CueTrack> tracks;
  std::vector<CueSegment> segments;  // in LBA order, without holes, from LBA 0 to leadOut
  std::vector<CueReadError> readErrors;
  std::vector<std::string> warnings;  // "line 4: ..." for what the sheet held that was skipped
  uint32_t leadOut = 0;
};

struct CueError {
  int32_t code = 0;  // LibError
  std::string text;  // "line 4: ..." for the log
};

// Longest disc we accept: 100 minutes.
inline constexpr uint32_t kMaxDiscSectors = 100 * 60 * 75;

// text is the sheet file's bytes: UTF-8 (with or without a byte order mark), the ANSI code
// page, or UTF-16 with its byte order mark; lines end in CR LF, LF or CR alone. Commands the
// parser does not know are skipped with a warning. A later session (REM SESSION 02) starts
// kCDSessionGapSectors after the end of the one before it, as drives report such discs.
bool ParseCueSheet(std::string_view text, const CueFileProbe& probe, CueDisc& disc,
                   CueError& error);

// Finds the samples of a RIFF WAVE header (the file's first bytes). Only 44100 Hz 16-bit stereo
// PCM is accepted.
bool ParseWaveHeader(const uint8_t* head, size_t headBytes, uint64_t fileBytes,
                     uint64_t& dataOffset, uint64_t& dataBytes, std::string& reason);

// The table of contents of a parsed disc (lead-out entry included).
void BuildToc(const CueDisc& disc, CDTableOfContents& toc);

}  // namespace cdgrab
