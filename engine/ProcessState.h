// Process-wide values that the main window's start-up sets and that engine code (rip job,
// playback) reads, and the numbers of the messages workers post to the main window.
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

// Worker-to-main-window messages; the receiver frees every heap payload.
constexpr UINT WM_CDDB_MULTIPLE = WM_USER + 101;  // sent by the disc worker, which waits
constexpr UINT WM_PLAYER_TEXT = WM_USER + 102;    // log line or row status text
constexpr UINT WM_PLAYER_TIME = WM_USER + 103;    // lParam: elapsed seconds
