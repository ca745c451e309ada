// The library's last-failure record behind GetAspiLibError / GetAspiLibAspiError.
#pragma once

#include <stdint.h>

#include <string>

namespace cdgrab {

// Library error codes (what GetAspiLibError returns after a failure).
enum LibError : int32_t {
  kErrNone = 0,
  kErrBadArgument = 1,     // null pointer, bad record size or version, bad sector range
  kErrNoSuchDrive = 2,     // no listed drive has the requested address
  kErrBadHandle = 3,       // handle not open
  kErrDeviceOpen = 4,      // the drive's device could not be opened
  kErrNoDisc = 5,          // the drive reports no disc or no table of contents
  kErrBadImage = 6,        // the disc image's cue sheet is malformed
  kErrImageFile = 7,       // a file the cue sheet names is missing or unreadable
  kErrWaveFormat = 8,      // a WAVE file is not 44100 Hz 16-bit stereo PCM
  kErrOutOfRange = 9,      // sectors outside the disc
  kErrReadFailed = 10,     // the drive or the image failed to deliver the sectors
  kErrNotAudio = 11,       // the range touches a data track or a silent gap of one
  kErrBlockTooSmall = 12,  // the block's data area cannot hold the sectors asked for
  kErrBadToc = 13,         // the drive returned a table of contents that makes no sense
};

// Transport status (GetAspiLibAspiError), in the classic host-adapter status values.
enum TransportStatus : int32_t {
  kTransportPending = 0x00,
  kTransportDone = 0x01,
  kTransportError = 0x04,
  kTransportBadRequest = 0x80,
  kTransportBadAdapter = 0x81,
  kTransportNoDevice = 0x82,
};

// Records a failure (all three values together) and sends the text to the debug output.
// Successful calls leave the record alone, so a caller that asks right after its failure
// sees its own reason even when another thread succeeded in between.
void SetLastFailure(int32_t error, int32_t transport, const std::string& text);
int32_t LastError();
int32_t LastTransport();
std::string LastErrorText();

// Lines for the user's log (GetCDLibMessage), kept until taken. A caller that never takes
// them loses the oldest once too many wait.
void AddLogMessage(const std::string& text);
bool TakeLogMessage(std::string& text);

}  // namespace cdgrab
