// Wine drive letters over Unix folders, through Wine's mount manager. Only works under Wine.
#pragma once

#include <windows.h>

#include <string>

namespace cdgrab {

// Letter changes of every process in the Wine prefix, one at a time: test programs run in
// parallel and each defines its own letters. Held by the functions below; hold it yourself
// (it nests) across a read of the drive list and its pairing with the letters.
class DriveLetterLock {
 public:
  DriveLetterLock();
  ~DriveLetterLock();
  DriveLetterLock(const DriveLetterLock&) = delete;
  DriveLetterLock& operator=(const DriveLetterLock&) = delete;

 private:
  HANDLE mutex_;
};

// Makes letter a CD-ROM drive whose root is unixFolder (a Unix path, UTF-8). Replaces any
// drive the letter had, so use it on letters of your own. Returns 0 or a Win32 error code.
DWORD DefineWineCdDrive(wchar_t letter, const std::string& unixFolder);

// The first free letter of preferred made a CD-ROM drive over unixFolder, or 0.
wchar_t DefineFreeWineCdDrive(const wchar_t* preferred, const std::string& unixFolder);

// Removes the letter's drive again. Returns 0 or a Win32 error code.
DWORD RemoveWineDrive(wchar_t letter);

// The first letter of preferred that names no drive now, or 0. Another process may take it
// before it is used: DefineFreeWineCdDrive chooses and defines in one step.
wchar_t FindFreeDriveLetter(const wchar_t* preferred);

// Letters that default prefixes and typical hosts leave alone, most unlikely first.
inline constexpr const wchar_t* kSpareLetters = L"RQPOWVUTSNMLKJ";

}  // namespace cdgrab
