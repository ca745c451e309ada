// A scripted stand-in for the CD-access library, installed for the life of the object.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/CDLibrary.h"

struct FakeCDLibrary {
  FakeCDLibrary();
  ~FakeCDLibrary();

  // What the fake drive answers.
  CDDriveList drives = {};
  CDHANDLE nextHandle = 7;  // 0: every open fails
  int32_t tocResult = 1;
  CDTableOfContents toc = {};
  std::function<int32_t(CDAudioBlock*)> read;  // default: fails
  std::vector<std::string> messages;           // GetCDLibMessage's lines, UTF-8, taken in order

  // What the program asked.
  std::vector<CDHandleRequest> opened;
  std::vector<CDHANDLE> closed;
  std::vector<int32_t> parms;  // code, value per ModifyCDParms call
  int tocReads = 0;

  // A TOC with tracks first..first+starts.size()-1 at the given LBAs, then the lead-out.
  void SetToc(int first, const std::vector<DWORD>& starts, DWORD leadOut,
              const std::vector<int>& dataTracks = {});
  // Session numbers of the entries (the lead-out last), as a library that reports them.
  void SetSessions(const std::vector<uint8_t>& sessions);
};
