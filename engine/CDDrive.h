// CD drives: pairing the library's drives with drive letters, the one drive handle,
// the table of contents and the disc state it yields, and the tray door.
#pragma once

#include <windows.h>

#include <atomic>

#include "discinfo/CDDBTrackPosition.h"
#include "framework/core/Collections.h"
#include "platform/cdgrab/AudioCDGrabber.h"

// The library's drives; entry i is the drive of g_driveLetters[i].
extern CDDriveList g_driveList;
// "X:" of each usable CD-ROM drive, in letter order.
extern CStringArray g_driveLetters;

// The one open drive handle (0: none). Replaced by the disc worker's ReadDisc, read by
// playback and the rip reader: atomic so a reader always sees a whole handle.
extern std::atomic<CDHANDLE> g_hCD;
// 1: no disc or no readable table of contents. Written by the disc worker, read by the
// user-interface thread; atomic so each side sees the other's latest value.
extern std::atomic<BOOL> g_bNoDisc;
// The last table of contents read, and what ReadDisc made of it. Written only by the
// disc worker while the program is busy; read by others once it has finished.
extern CDTableOfContents g_toc;
extern CCDDBTrackPositionArray g_trackPositions;
extern DWORD g_dwDiscId;

// value = the big-endian 32-bit number at bytes[0..3].
void ReadBigEndian32(DWORD& value, const BYTE* bytes);

// Sectors of table entry index (0 = first track) up to the next entry. A data track that
// opens a later session lies kCDSessionGapSectors beyond the end of the track before it,
// and those sectors are left out. A table without session numbers (a library that does
// not report them) has them left out whenever the next entry is a data track more than
// 11250 sectors away, as a guess.
DWORD TrackSectors(const CDTableOfContents& toc, int index);

// TRUE when "\\.\X:" opens for reading.
BOOL IsDriveAccessible(TCHAR letter);

// Where the drive letters come from; the system by default, a fake in tests.
class CDriveLetterSource {
 public:
  virtual ~CDriveLetterSource() = default;
  // GetDriveTypeW of the root "X:\".
  virtual UINT DriveType(TCHAR letter);
  virtual BOOL Accessible(TCHAR letter) { return IsDriveAccessible(letter); }
};

// Fills g_driveLetters with the accessible CD-ROM letters A to Z; an inaccessible CD-ROM
// drive logs "Warning: drive %c: is not accessible" and takes no slot. Returns the count.
int FindCDDriveLetters(CDriveLetterSource& source);
int FindCDDriveLetters();

// Zeroes g_driveList, sets its capacity to 8 and asks the library for its drives.
// A found count above 8 is cut to 8; an entry whose texts lack their terminator is
// dropped together with its letter, so the pairing of the others stays. Returns the
// number of usable entries (0: the caller reports "No driver initialized!").
int ListCDDrives();

// The drive's display text: "X:", two blanks, then vendor, product, revision and
// vendor-specific text, each followed by a blank. FALSE when entry index has no letter.
BOOL GetDriveDisplayText(int index, CString& text);

// What ReadDisc found, for the main dialog to act on.
enum class DiscState {
  NoHandle,  // the drive did not open; audio flag and positions stay as they were
  NoDisc,    // no readable table of contents: clear the lookup flag and query results
  NotAudio,  // only data tracks: clear the audio flag, the lookup flag, query results
  Audio,     // positions and disc id are ready: set the audio flag
};

// Reopens the current drive (setting DriveNum), reads its table of contents, and on an
// audio disc fills g_trackPositions and g_dwDiscId. statusText gets the disc-state text
// ("No Disc", " Not an Audio CD", "Recognized Audio CD: ..."), empty for NoHandle.
// The library's lines for the log (why a disc image was refused, what of its sheet was
// skipped) become warnings. Runs on the disc worker.
DiscState ReadDisc(CString& statusText);

// Opens (TRUE) or closes the tray of drive "X:" through MCI; does nothing when the
// device cannot be opened.
void SetTrayDoor(BOOL open, LPCTSTR drive);
