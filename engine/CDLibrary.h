// The CD-access library as the engine calls it: a table of its operations, so tests can
// stand a fake drive in for the real library.
#pragma once

#include "platform/cdgrab/AudioCDGrabber.h"

struct CDGrabberApi {
  int32_t(__cdecl* GetCDList)(CDDriveList* driveList);
  CDHANDLE(__cdecl* GetCDHandle)(CDHandleRequest* handleRequest);
  int32_t(__cdecl* ModifyCDParms)(CDHANDLE handle, int32_t code, int32_t value);
  int32_t(__cdecl* ReadTOC)(CDHANDLE handle, CDTableOfContents* toc);
  int32_t(__cdecl* ReadCDAudioLBA)(CDHANDLE handle, CDAudioBlock* audioBlock);
  int32_t(__cdecl* CloseCDHandle)(CDHANDLE handle);
  int32_t(__cdecl* GetAspiLibError)(void);
  int32_t(__cdecl* GetAspiLibAspiError)(void);
  // Looked up by name: nullptr with a library that has no log lines to give.
  int32_t(__cdecl* GetCDLibMessage)(char* text, int32_t bytes);
};

// The operations in use: AudioCDGrabber.dll's unless a replacement is installed.
const CDGrabberApi& CDLib();
// Installs a replacement (nullptr goes back to the library). Only while no thread reads
// through the library; the table must outlive its use.
void SetCDGrabberApi(const CDGrabberApi* api);
