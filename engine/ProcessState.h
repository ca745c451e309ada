// Process-wide values that the main window's start-up sets and that engine code (rip job,
// playback) reads.
#pragma once

#include <windows.h>

#include <shobjidl.h>

#include <atomic>

// Set once by the main window's start-up, before any worker starts; read-only afterwards.
extern BOOL g_bVistaOrLater;
extern BOOL g_bWin7OrLater;
extern BOOL g_bKoreanLocale;
// The taskbar progress object (Windows 7 and later), else null. Created and used on the
// user-interface thread only; workers ask the main window by message.
extern ITaskbarList3* g_pTaskbarList;
// Cleared by start-up's audio check; read by the play commands and playback threads.
extern std::atomic<BOOL> g_bSoundAvailable;
