// The program's options: process-wide values named by their .ini keys, loaded once at
// start and saved once at exit. No lock: the user-interface thread changes them only
// while no rip job runs; workers only read them.
#pragma once

#include <windows.h>

#include "framework/core/String.h"

// Each starts at its default, but for LocalCDDBDir and DesDir, whose defaults depend on the
// user's folders: they start empty until start-up or LoadSettings sets them.

// [MISC]
extern short DbClk;              // track-list double-click: -1 ask, 0 play, 1 rip
extern short DriveCount;         // drives the CD library reported at the last start
extern short DriveNum;           // current drive index into g_driveList and g_driveLetters
extern unsigned short LastPage;  // page last shown in the options sheet
// [FREEDB]
extern short AlbumInfoSource;  // 0 cache then FreeDB, 1 FreeDB only, 2 cache only
extern BOOL SaveAlbumInfo;
extern BOOL LoadAlbumInfo;
extern CString LocalCDDBDir;
// [OUTPUT]
extern short OutputFormat;     // 1 WAV, 2 MP3, 3 OGG Vorbis
extern short FileStyle;        // file-name style 0 to 12
extern unsigned short Volume;  // playback volume, percent
extern BOOL M3U;
extern BOOL FillTag;
extern BOOL WriteLog;
extern CString DesDir;
extern CString Separator;  // at most two characters
// [WAV]
extern short SubFormat;  // 0 unsigned 8-bit, 1 signed 16-bit
extern short Freq;       // sample-rate table index
extern BOOL Channel;     // 0 mono, 1 stereo
// [MP3]
extern short LameFreq;     // sample-rate table index
extern short LameBits;     // bitrate table index
extern short LameChannel;  // 0 mono, 1 stereo, 2 joint stereo, 3 dual channel
// [OGG]
extern short QualityCompression;  // Vorbis quality x 10, -1 to 10

// Fixed values without a key.
constexpr short kMaxReadRetries = 5;
constexpr short kLameQuality = 9;
constexpr unsigned short kSampleMask = 0xFFF0;
constexpr short kProxyPort = 80;

constexpr wchar_t kSettingsFileName[] = L"Corvane.ini";

// Sample rates in Hz, indexed by Freq and LameFreq; index 7 is the CD rate.
constexpr int kSampleRateCount = 11;
constexpr DWORD kSampleRates[kSampleRateCount] = {8000,  11025, 12000, 16000, 22050, 24000,
                                                  32000, 44100, 48000, 88200, 96000};
constexpr short kCDRateIndex = 7;
// MP3 bitrates in kbit/s, indexed by LameBits.
constexpr int kMp3BitrateCount = 17;
constexpr WORD kMp3Bitrates[kMp3BitrateCount] = {8,  16,  24,  32,  40,  48,  56,  64, 80,
                                                 96, 112, 128, 160, 192, 224, 256, 320};
constexpr short kDefaultLameBits = 11;

// The load gives a value outside its range its default, but a value may still be set
// in memory by other means: every use of a value as a table index or a choice goes
// through these, which give the default when the value is outside its range.
DWORD SampleRateOrDefault(int index);
WORD Mp3BitrateOrDefault(int index);
short OutputFormatOrDefault();
short FileStyleOrDefault();
short QualityCompressionOrDefault();

// Per-user application data + "\Corvane". FALSE (out empty) when the folder is unknown.
BOOL GetSettingsFolder(CString& folder);
// The default of DesDir: the music folder, else the desktop folder, plus "\";
// "C:\My Music\" when neither is known.
void GetDefaultOutputFolder(CString& folder);

// Every key in the order of the file's table, each with its default; a missing file
// gives every default. A number outside its key's range (or no number), a folder that
// does not fit its buffer or is empty takes the key's default, and a Separator is
// filtered as the Output page filters a typed one; each such key logs one warning. DesDir
// gets its trailing "\" when it lacks one. FALSE after logging "Error on loading
// settings!" as a warning (also for a file that is there but cannot be read): the values
// read so far stay, the rest hold their defaults. The caller tells the user.
BOOL LoadSettings(LPCTSTR iniPath);
// Every key, written into a copy of the file beside it (iniPath + ".tmp", same encoding,
// other keys kept) that then replaces the file in one step. FALSE after logging "Error on
// saving settings!" as a warning: the file stays as it was. The caller tells the user.
BOOL SaveSettings(LPCTSTR iniPath);
