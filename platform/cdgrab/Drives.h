// The library's operations behind the exports: drive list, handles, TOC and sector reads.
// Every function records its failure (LibError.h) and returns the export's failure value.
#pragma once

#include <stdint.h>

#include <string>

#include "platform/cdgrab/AudioCDGrabber.h"

namespace cdgrab {

int32_t ListDrives(CDDriveList* list);
CDHANDLE OpenDrive(const CDHandleRequest* request);
int32_t SetDriveParameter(CDHANDLE handle, int32_t code, int32_t value);
int32_t ReadDriveToc(CDHANDLE handle, CDTableOfContents* toc);
int32_t ReadDriveAudio(CDHANDLE handle, CDAudioBlock* block);
int32_t CloseDrive(CDHANDLE handle);

// A table that callers can walk safely: sane track numbers, length, rising addresses.
bool ValidToc(const CDTableOfContents& toc, std::string& reason);

// The one parameter code ModifyCDParms knows: raw CDDA sectors with the audio at offset 0,
// which is how every read works already.
inline constexpr int32_t kParmCddaRead = 36;

}  // namespace cdgrab
