#include "engine/CDDrive.h"

#include <mmsystem.h>

#include <cstring>

#include "discinfo/CDDB.h"
#include "engine/CDLibrary.h"
#include "engine/EngineLog.h"
#include "engine/SectorTime.h"
#include "engine/Settings.h"

CDDriveList g_driveList;
CStringArray g_driveLetters;
std::atomic<CDHANDLE> g_hCD{0};
std::atomic<BOOL> g_bNoDisc{TRUE};
CDTableOfContents g_toc;
CCDDBTrackPositionArray g_trackPositions;
DWORD g_dwDiscId = 0;

namespace {

struct Handle {
  HANDLE h;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

// True when the text ends within its field.
template <size_t N>
bool Terminated(const char (&field)[N]) {
  return memchr(field, 0, N) != nullptr;
}

bool EntryTextsTerminated(const CDDriveEntry& entry) {
  return Terminated(entry.vendor) && Terminated(entry.product) && Terminated(entry.revision) &&
         Terminated(entry.vendorSpecific);
}

CString AnsiToWide(const char* text) {
  const int length = static_cast<int>(strlen(text));
  CString wide;
  LPWSTR buffer = wide.GetBuffer(length + 1);
  memset(buffer, 0, (length + 1) * sizeof(wchar_t));
  MultiByteToWideChar(CP_ACP, 0, text, length, buffer, length + 1);
  wide.ReleaseBuffer();
  return wide;
}

// Tracks 1 to 99 in order, at most 100 entries with the lead-out, and start addresses
// that never go back: anything else is a table no disc can have.
bool TocUsable(const CDTableOfContents& toc) {
  if (toc.firstTrack < 1 || toc.lastTrack > 99 || toc.lastTrack < toc.firstTrack) return false;
  const int entries = toc.lastTrack - toc.firstTrack + 2;
  DWORD previous = 0;
  for (int i = 0; i < entries; ++i) {
    DWORD address;
    ReadBigEndian32(address, toc.entries[i].address);
    if (address < previous) return false;
    previous = address;
  }
  return true;
}

// Passes on what the library has to say to the user about the disc it just read.
void LogLibraryMessages(const CDGrabberApi& lib) {
  if (!lib.GetCDLibMessage) return;
  char text[1024];
  for (int i = 0; i < 64 && lib.GetCDLibMessage(text, sizeof text) == 1; ++i) {
    text[sizeof text - 1] = '\0';
    const int length = static_cast<int>(strlen(text));
    CString line;
    LPWSTR buffer = line.GetBuffer(length + 1);
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, length, buffer, length + 1);
    line.ReleaseBuffer(n > 0 ? n : 0);
    EngineLog(line, LOG_WARNING);
  }
}

DWORD EntryAddress(const CDTocEntry& entry) {
  DWORD address = 0;
  ReadBigEndian32(address, entry.address);
  return address;
}

}  // namespace

DWORD TrackSectors(const CDTableOfContents& toc, int index) {
  const CDTocEntry& entry = toc.entries[index];
  const CDTocEntry& next = toc.entries[index + 1];
  DWORD length = EntryAddress(next) - EntryAddress(entry);
  const int tracks = toc.lastTrack - toc.firstTrack + 1;
  if (index >= tracks - 1 || (next.adrControl & kCDControlData) == 0) return length;
  if (entry.session != 0 && next.session != 0) {
    if (next.session > entry.session && length > kCDSessionGapSectors) {
      length -= kCDSessionGapSectors;
    }
  } else if (length > 11250) {
    length -= kCDSessionGapSectors;
  }
  return length;
}

void ReadBigEndian32(DWORD& value, const BYTE* bytes) {
  value = (static_cast<DWORD>(bytes[0]) << 24) | (static_cast<DWORD>(bytes[1]) << 16) |
          (static_cast<DWORD>(bytes[2]) << 8) | bytes[3];
}

BOOL IsDriveAccessible(TCHAR letter) {
  wchar_t path[] = L"\\\\.\\X:";
  path[4] = letter;
  Handle device{
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)};
  return device.h != INVALID_HANDLE_VALUE;
}

UINT CDriveLetterSource::DriveType(TCHAR letter) {
  wchar_t root[] = L"X:\\";
  root[0] = letter;
  return GetDriveTypeW(root);
}

int FindCDDriveLetters(CDriveLetterSource& source) {
  g_driveLetters.RemoveAll();
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    if (source.DriveType(letter) != DRIVE_CDROM) continue;
    if (source.Accessible(letter)) {
      wchar_t text[] = L"X:";
      text[0] = letter;
      g_driveLetters.Add(CString(text));
    } else {
      CString line;
      line.Format(L"Warning: drive %c: is not accessible", letter);
      EngineLog(line, LOG_WARNING);
    }
  }
  return static_cast<int>(g_driveLetters.GetSize());
}

int FindCDDriveLetters() {
  CDriveLetterSource system;
  return FindCDDriveLetters(system);
}

int ListCDDrives() {
  memset(&g_driveList, 0, sizeof(g_driveList));
  g_driveList.capacity = kCDMaxDrives;
  CDLib().GetCDList(&g_driveList);
  if (g_driveList.found > kCDMaxDrives) g_driveList.found = kCDMaxDrives;

  // Compact the list, dropping each entry that would be read past its texts together
  // with the letter it pairs with.
  int kept = 0;
  for (int i = 0; i < g_driveList.found; ++i) {
    if (EntryTextsTerminated(g_driveList.entries[i])) {
      if (kept != i) g_driveList.entries[kept] = g_driveList.entries[i];
      ++kept;
      continue;
    }
    const INT_PTR letterIndex = kept;
    CString line = L"Warning: a CD drive reported unreadable names and is skipped";
    if (letterIndex < g_driveLetters.GetSize()) {
      line.Format(L"Warning: drive %s reported unreadable names and is skipped",
                  g_driveLetters[letterIndex]);
      g_driveLetters.RemoveAt(letterIndex);
    }
    EngineLog(line, LOG_WARNING);
  }
  for (int i = kept; i < g_driveList.found; ++i) {
    memset(&g_driveList.entries[i], 0, sizeof(CDDriveEntry));
  }
  g_driveList.found = static_cast<uint8_t>(kept);
  return kept;
}

BOOL GetDriveDisplayText(int index, CString& text) {
  if (index < 0 || index >= g_driveList.found || index >= g_driveLetters.GetSize()) {
    return FALSE;
  }
  const CDDriveEntry& entry = g_driveList.entries[index];
  text = g_driveLetters[index] + L"  ";
  for (const char* field : {entry.vendor, entry.product, entry.revision, entry.vendorSpecific}) {
    text += AnsiToWide(field);
    text += L' ';
  }
  return TRUE;
}

DiscState ReadDisc(CString& statusText) {
  statusText.Empty();
  const CDGrabberApi& lib = CDLib();

  // A drive index the lists do not hold opens nothing, as a drive that fails to open.
  const bool known = DriveNum >= 0 && DriveNum < g_driveList.found;
  CDHandleRequest request = {};
  request.size = sizeof(request);
  request.version = 1;
  if (known) {
    const CDDriveEntry& entry = g_driveList.entries[DriveNum];
    request.hostAdapter = entry.hostAdapter;
    request.targetId = entry.targetId;
    request.lun = entry.lun;
  }

  if (CDHANDLE old = g_hCD.exchange(0, std::memory_order_acq_rel)) lib.CloseCDHandle(old);
  const CDHANDLE hCD = known ? lib.GetCDHandle(&request) : 0;
  g_hCD.store(hCD, std::memory_order_release);
  if (!hCD) {
    EngineLog(L"Error on get drive handle!", LOG_WARNING);
    g_bNoDisc.store(TRUE, std::memory_order_release);
    return DiscState::NoHandle;
  }

  memset(&g_toc, 0, sizeof(g_toc));
  lib.ModifyCDParms(hCD, 36, 0);
  const int32_t result = lib.ReadTOC(hCD, &g_toc);
  LogLibraryMessages(lib);
  const unsigned tocLength = (g_toc.tocLength[0] << 8) | g_toc.tocLength[1];
  if (result != 1 || tocLength == 0 || !TocUsable(g_toc)) {
    g_bNoDisc.store(TRUE, std::memory_order_release);
    statusText = L"No Disc";
    return DiscState::NoDisc;
  }

  g_bNoDisc.store(FALSE, std::memory_order_release);
  const int tracks = g_toc.lastTrack - g_toc.firstTrack + 1;
  bool audio = false;
  for (int i = 0; i < tracks && !audio; ++i) {
    audio = (g_toc.entries[i].adrControl & kCDControlData) == 0;
  }
  if (!audio) {
    statusText = L" Not an Audio CD";
    return DiscState::NotAudio;
  }

  g_trackPositions.RemoveAll();
  DWORD address = 0;
  for (int i = 0; i <= tracks; ++i) {  // the lead-out too
    ReadBigEndian32(address, g_toc.entries[i].address);
    CCDDBTrackPosition position = CCDDBTrackPosition::FromAddress(address);
    g_trackPositions.Add(position);
  }
  g_dwDiscId = CCDDB::CalcDiscId(g_trackPositions);

  CString length;
  FormatSectorTime(length, static_cast<int32_t>(address));
  statusText.Format(L"Recognized Audio CD: %08x  Length: %s", g_dwDiscId, length);
  return DiscState::Audio;
}

void SetTrayDoor(BOOL open, LPCTSTR drive) {
  MCI_OPEN_PARMSW openParms = {};
  openParms.lpstrDeviceType =
      reinterpret_cast<LPCWSTR>(static_cast<DWORD_PTR>(MCI_DEVTYPE_CD_AUDIO));
  openParms.lpstrElementName = drive;
  const DWORD flags = MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT | MCI_OPEN_SHAREABLE;
  if (mciSendCommandW(0, MCI_OPEN, flags, reinterpret_cast<DWORD_PTR>(&openParms)) != 0) return;
  struct Device {  // closes the device however this ends
    MCIDEVICEID id;
    ~Device() {
      MCI_GENERIC_PARMS closeParms = {};
      mciSendCommandW(id, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&closeParms));
    }
  } device{openParms.wDeviceID};
  MCI_SET_PARMS setParms = {};
  mciSendCommandW(device.id, MCI_SET, open ? MCI_SET_DOOR_OPEN : MCI_SET_DOOR_CLOSED,
                  reinterpret_cast<DWORD_PTR>(&setParms));
}
