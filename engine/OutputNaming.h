// Output naming: the one rule set that turns the current disc record, a track index and
// the OUTPUT settings (DesDir, FileStyle, Separator, OutputFormat) into the path of an
// output file. The track list's Destination column and the rip job both use it, so the
// two always agree. Reads the record and the settings without a lock (see the .cpp).
#pragma once

#include <windows.h>

#include <atomic>

#include "discinfo/CDDBRecord.h"
#include "engine/SectorTime.h"
#include "framework/core/String.h"

// The current disc record: filled by the disc refresh, read by naming, the track list,
// tagging and the rip job.
extern CCDDBRecord g_cddbRecord;

// Set while g_cddbRecord is the placeholder made when no album information was found
// (written by the disc refresh, read by tagging on the encoder thread).
extern std::atomic<BOOL> g_bPlaceholderRecord;

constexpr short kFileStyleCount = 13;

// The Output page's text of a style, each "-" shown as the current Separator; empty for a
// style outside 0 to 12.
CString GetFileStyleText(short style);
// The same in the given separator (the Output page's, before it is stored).
CString GetFileStyleText(short style, const CString& separator);

// The nine characters \ / " < > | * ? : and control characters become "_"; white space is
// trimmed and trailing dots dropped, so a text of dots and blanks alone gives an empty
// result (an empty field). A reserved device name (CON, NUL, COM1, LPT1 ..., extension or
// not) gets a leading "_". The result never breaks out of its own name step.
CString SanitizeFileName(const CString& name);

// The longest file or folder name the file system takes: 255 UTF-16 units on Windows,
// 255 bytes of UTF-8 where Wine stores the name on a Linux file system.
constexpr int kNameLimit = 255;
// The length of a name as kNameLimit counts it here.
int NameLength(const CString& name);

// The record's title of a track; a track of the disc beyond the record's titles gets the
// "Track%02d" name the track list shows. Throws CInvalidArgException for an index below 0
// or beyond both the titles and the disc's tracks.
CString GetTrackTitle(short trackIndex);

// The Output page's delimiter box takes at most this many characters.
constexpr int kDelimiterLimit = 3;
// The delimiter as file names take it: at most kDelimiterLimit characters, each of
// \ / " > < | * ? : replaced by "-". For what is typed on the Output page and for what
// the settings file holds.
CString SanitizeDelimiter(const CString& typed);

// ".wav" for 1, ".mp3" for 2, ".ogg" for 3, empty for anything else.
CString GetFormatExtension(short format);

// DesDir + the folder prefix of FileStyle for the current record (no track needed). An
// empty artist or album is named as the placeholder record names it ("Unknown Artist"
// and the disc id). A folder step that would be made of dots and blanks alone has them
// replaced by "_". Long artist and album texts are shortened alike, so every step fits
// kNameLimit and the prefix leaves room for the file name within MAX_PATH.
CString BuildOutputFolder();
// folder + the file part of track index (N, T or N S T) + the extension of OutputFormat:
// the one rule for both the Destination column and the rip, which passes the folder it
// built at the start of the track. A long title is shortened so that the file name fits
// kNameLimit and the path MAX_PATH, the extension kept. Throws CInvalidArgException for
// an index GetTrackTitle refuses, and when no file name is left (every field empty and
// no extension).
CString BuildOutputPath(const CString& folder, short trackIndex);
// BuildOutputPath(BuildOutputFolder(), trackIndex); throws as that does.
CString BuildOutputName(short trackIndex);

// The first of "<base> (2)<ext>", "<base> (3)<ext>" ... that names neither a file nor a
// folder; base is path without its extension, ext the extension of OutputFormat. The
// base's file name is shortened where the number would not fit otherwise.
CString MakeUniqueFileName(const CString& path);

// The playlist of the folder that holds outputPath: named after the album (or the
// placeholder album name), shortened like the output names, ".m3u".
CString BuildPlaylistPath(const CString& outputPath);

// Appends fileName and CR LF to the playlist at path, creating the file when missing.
// A playlist stays in the ANSI code page while every name fits it; the first name that
// does not turns the file into UTF-8 with a byte order mark, the lines already there
// converted. FALSE when the file cannot be opened or written.
BOOL AppendPlaylistLine(LPCWSTR path, const CString& fileName);

// Creates the folder and every missing parent. TRUE when the folder exists afterwards;
// FALSE (creating nothing) for a path of MAX_PATH or more characters.
BOOL CreateDirectoryPath(LPCWSTR path);
