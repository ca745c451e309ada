// The exported entry points. Nothing may unwind into the caller: every failure, an exception
// included, becomes the operation's failure value and a recorded reason.
#define CDGRAB_BUILDING
#include "platform/cdgrab/AudioCDGrabber.h"

#include <string.h>

#include <algorithm>
#include <string>

#include "platform/cdgrab/Drives.h"
#include "platform/cdgrab/LibError.h"

namespace {

template <typename F>
int32_t Guard(const char* what, F&& f) noexcept {
  try {
    return f();
  } catch (...) {
    try {
      cdgrab::SetLastFailure(cdgrab::kErrReadFailed, cdgrab::kTransportError,
                             std::string(what) + ": internal failure");
    } catch (...) {
    }
    return 0;
  }
}

}  // namespace

extern "C" {

int32_t __cdecl GetCDList(CDDriveList* driveList) {
  return Guard("GetCDList", [&] { return cdgrab::ListDrives(driveList); });
}
CDHANDLE __cdecl GetCDHandle(CDHandleRequest* handleRequest) {
  return Guard("GetCDHandle", [&] { return cdgrab::OpenDrive(handleRequest); });
}
int32_t __cdecl ModifyCDParms(CDHANDLE handle, int32_t code, int32_t value) {
  return Guard("ModifyCDParms", [&] { return cdgrab::SetDriveParameter(handle, code, value); });
}
int32_t __cdecl ReadTOC(CDHANDLE handle, CDTableOfContents* toc) {
  return Guard("ReadTOC", [&] { return cdgrab::ReadDriveToc(handle, toc); });
}
int32_t __cdecl ReadCDAudioLBA(CDHANDLE handle, CDAudioBlock* audioBlock) {
  return Guard("ReadCDAudioLBA", [&] { return cdgrab::ReadDriveAudio(handle, audioBlock); });
}
int32_t __cdecl CloseCDHandle(CDHANDLE handle) {
  return Guard("CloseCDHandle", [&] { return cdgrab::CloseDrive(handle); });
}
int32_t __cdecl GetAspiLibError(void) {
  return Guard("GetAspiLibError", [] { return cdgrab::LastError(); });
}
int32_t __cdecl GetAspiLibAspiError(void) {
  return Guard("GetAspiLibAspiError", [] { return cdgrab::LastTransport(); });
}
int32_t __cdecl GetCDLibMessage(char* text, int32_t bytes) {
  return Guard("GetCDLibMessage", [&] {
    if (!text || bytes < 1) return 0;
    std::string line;
    if (!cdgrab::TakeLogMessage(line)) return 0;
    size_t n = std::min(line.size(), static_cast<size_t>(bytes) - 1);
    while (n > 0 && n < line.size() && (line[n] & 0xC0) == 0x80) --n;  // no cut character
    memcpy(text, line.data(), n);
    text[n] = '\0';
    return 1;
  });
}
}
