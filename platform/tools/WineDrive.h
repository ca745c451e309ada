// Wine drive letters over Unix folders, through Wine's mount manager. Only works under Wine.
#pragma once

#include <windows.h>

#include <string>

namespace cdgrab {

// Makes letter a CD-ROM drive whose root is unixFolder (a Unix path, UTF-8). Replaces any
// drive the letter had. Returns 0 or a Win32 error code.
DWORD DefineWineCdDrive(wchar_t letter, const std::string& unixFolder);

// Removes the letter's drive again. Returns 0 or a Win32 error code.
DWORD RemoveWineDrive(wchar_t letter);

// The first letter of preferred that names no drive now, or 0.
wchar_t FindFreeDriveLetter(const wchar_t* preferred);

// Letters that default prefixes and typical hosts leave alone, most unlikely first.
inline constexpr const wchar_t* kSpareLetters = L"RQPOWVUTSNMLKJ";

}  // namespace cdgrab
