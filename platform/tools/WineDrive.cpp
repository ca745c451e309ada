#include "platform/tools/WineDrive.h"

#include <stdint.h>
#include <string.h>
#include <winioctl.h>

#include <vector>

#include "platform/cdgrab/WinHandle.h"

namespace cdgrab {
namespace {

// The mount manager's define-drive control and its input record, as Wine 8 reads it. The
// widths were found by trial: a letter in 16 bits, device type 5 = CD-ROM, type 0 = remove.
const DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
constexpr uint32_t kDeviceNone = 0;
constexpr uint32_t kDeviceCdrom = 5;

struct DefineDriveRecord {
  uint32_t size;  // record plus the strings after it
  uint32_t type;
  uint32_t fsType;
  uint32_t serial;
  uint64_t unixDevice;
  uint16_t letter;            // lower-case ASCII
  uint16_t mountPointOffset;  // from the record's start; 0 = none
  uint16_t deviceOffset;
  uint16_t labelOffset;
};
static_assert(sizeof(DefineDriveRecord) == 32);
static_assert(offsetof(DefineDriveRecord, unixDevice) == 16);
static_assert(offsetof(DefineDriveRecord, letter) == 24);
static_assert(offsetof(DefineDriveRecord, labelOffset) == 30);

DWORD Send(wchar_t letter, uint32_t type, const std::string& unixFolder) {
  if (letter >= L'a' && letter <= L'z') letter = static_cast<wchar_t>(letter - L'a' + L'A');
  if (letter < L'A' || letter > L'Z') return ERROR_INVALID_PARAMETER;
  std::vector<uint8_t> buffer(sizeof(DefineDriveRecord) + unixFolder.size() + 1, 0);
  if (buffer.size() > 0xFFFF) return ERROR_FILENAME_EXCED_RANGE;
  DefineDriveRecord record;
  memset(&record, 0, sizeof record);
  record.size = static_cast<uint32_t>(buffer.size());
  record.type = type;
  record.letter = static_cast<uint16_t>(letter - L'A' + L'a');
  if (!unixFolder.empty()) {
    record.mountPointOffset = sizeof record;
    memcpy(buffer.data() + sizeof record, unixFolder.c_str(), unixFolder.size() + 1);
  } else {
    record.size = sizeof record;
    buffer.resize(sizeof record);
  }
  memcpy(buffer.data(), &record, sizeof record);

  WinHandle manager(CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
  if (!manager.Valid()) return GetLastError();
  DWORD returned = 0;
  if (!DeviceIoControl(manager.Get(), kDefineUnixDrive, buffer.data(),
                       static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr))
    return GetLastError();
  return 0;
}

bool LetterInUse(wchar_t letter) {
  wchar_t root[] = L"?:\\";
  root[0] = letter;
  return GetDriveTypeW(root) != DRIVE_NO_ROOT_DIR;
}

}  // namespace

// Named objects are shared by every process of the prefix.
DriveLetterLock::DriveLetterLock()
    : mutex_(CreateMutexW(nullptr, FALSE, L"CorvaneWineDriveLetters")) {
  // An owner that ended without releasing it (WAIT_ABANDONED) still hands it over.
  if (mutex_) WaitForSingleObject(mutex_, INFINITE);
}

DriveLetterLock::~DriveLetterLock() {
  if (mutex_) {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
}

DWORD DefineWineCdDrive(wchar_t letter, const std::string& unixFolder) {
  if (unixFolder.empty() || unixFolder[0] != '/') return ERROR_BAD_PATHNAME;
  DriveLetterLock lock;
  return Send(letter, kDeviceCdrom, unixFolder);
}

wchar_t DefineFreeWineCdDrive(const wchar_t* preferred, const std::string& unixFolder) {
  DriveLetterLock lock;  // nobody else takes the letter between the look and the define
  for (const wchar_t* p = preferred; *p; ++p) {
    if (!LetterInUse(*p)) return DefineWineCdDrive(*p, unixFolder) == 0 ? *p : 0;
  }
  return 0;
}

DWORD RemoveWineDrive(wchar_t letter) {
  DriveLetterLock lock;
  return Send(letter, kDeviceNone, std::string());
}

// GetLogicalDrives is no help here: under Wine it keeps reporting letters removed again.
wchar_t FindFreeDriveLetter(const wchar_t* preferred) {
  for (const wchar_t* p = preferred; *p; ++p) {
    if (!LetterInUse(*p)) return *p;
  }
  return 0;
}

}  // namespace cdgrab
