#include "platform/cdgrab/Drives.h"

#include <windows.h>
#include <winioctl.h>
#include <ntddcdrm.h>
#include <ntddscsi.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/cdgrab/DiscImage.h"
#include "platform/cdgrab/LibError.h"
#include "platform/cdgrab/WinHandle.h"

namespace cdgrab {
namespace {

// Raw reads go to the drive in pieces below the usual 64 KB transfer limit.
constexpr uint32_t kRawChunkSectors = 20;

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string narrow(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n,
                        nullptr, nullptr);
  return narrow;
}

class Drive {
 public:
  virtual ~Drive() = default;
  virtual bool ReadToc(CDTableOfContents& toc, CueError& error) = 0;
  virtual bool ReadAudio(uint32_t lba, uint32_t count, uint8_t* out, CueError& error) = 0;
};

// A CD-ROM letter whose root holds a cue sheet. The sheet is loaded again by every ReadTOC
// (a refresh), so a changed image shows up as a new disc with fresh fault counters.
class VirtualDrive : public Drive {
 public:
  explicit VirtualDrive(wchar_t letter) : letter_(letter) {}

  bool ReadToc(CDTableOfContents& toc, CueError& error) override {
    std::shared_ptr<DiscImage> image = Load(error);
    if (!image) return false;
    BuildToc(image->Disc(), toc);
    return true;
  }

  bool ReadAudio(uint32_t lba, uint32_t count, uint8_t* out, CueError& error) override {
    std::shared_ptr<DiscImage> image;
    {
      std::lock_guard<std::mutex> guard(lock_);
      image = image_;
    }
    if (!image) image = Load(error);
    return image && image->ReadAudio(lba, count, out, error);
  }

 private:
  std::shared_ptr<DiscImage> Load(CueError& error) {
    std::shared_ptr<DiscImage> image;
    std::wstring cue = FindCueSheet(letter_);
    if (cue.empty()) {
      error = {kErrNoDisc, "no cue sheet in the drive's root"};
    } else {
      // The user sees why a disc is missing or what of its sheet was skipped.
      image = DiscImage::Load(cue, error);
      if (!image) AddLogMessage("Disc image " + Utf8(cue) + " refused: " + error.text);
      for (const std::string& warning : image ? image->Disc().warnings : std::vector<std::string>())
        AddLogMessage("Disc image " + Utf8(cue) + ": " + warning);
    }
    std::lock_guard<std::mutex> guard(lock_);
    image_ = image;  // a failed load leaves no disc behind
    return image;
  }

  wchar_t letter_;
  std::mutex lock_;  // guards image_; readers keep their own reference while reading
  std::shared_ptr<DiscImage> image_;
};

// A real drive through the CD-ROM class driver's controls.
class RealDrive : public Drive {
 public:
  explicit RealDrive(WinHandle device) : device_(std::move(device)) {}

  bool ReadToc(CDTableOfContents& toc, CueError& error) override {
    CDROM_TOC raw;
    memset(&raw, 0, sizeof raw);
    DWORD got = 0;
    std::lock_guard<std::mutex> guard(lock_);
    if (!DeviceIoControl(device_.Get(), IOCTL_CDROM_READ_TOC, nullptr, 0, &raw, sizeof raw, &got,
                         nullptr)) {
      error = {kErrNoDisc, "the drive reports no table of contents (error " +
                               std::to_string(GetLastError()) + ")"};
      return false;
    }
    int first = raw.FirstTrack, last = raw.LastTrack;
    int count = last - first + 1;
    unsigned length = (raw.Length[0] << 8) | raw.Length[1];
    if (first < 1 || last > 99 || count < 1 || length < 2u + 8u * (count + 1)) {
      error = {kErrBadToc, "the drive's table of contents is damaged"};
      return false;
    }
    memset(&toc, 0, sizeof toc);
    uint16_t ourLength = static_cast<uint16_t>(2 + 8 * (count + 1));
    toc.tocLength[0] = static_cast<uint8_t>(ourLength >> 8);
    toc.tocLength[1] = static_cast<uint8_t>(ourLength);
    toc.firstTrack = static_cast<uint8_t>(first);
    toc.lastTrack = static_cast<uint8_t>(last);
    for (int i = 0; i <= count; ++i) {
      // Read as bytes: control is the low nibble, ADR the high one, as on the wire.
      const uint8_t* src = reinterpret_cast<const uint8_t*>(&raw.TrackData[i]);
      CDTocEntry& e = toc.entries[i];
      e.adrControl = src[1];
      e.trackNumber = src[2];
      // The control returns minute/second/frame with the 2-second lead-in.
      int32_t lba = (src[5] * 60 + src[6]) * 75 + src[7] - 150;
      if (lba < 0) lba = 0;
      e.address[0] = static_cast<uint8_t>(lba >> 24);
      e.address[1] = static_cast<uint8_t>(lba >> 16);
      e.address[2] = static_cast<uint8_t>(lba >> 8);
      e.address[3] = static_cast<uint8_t>(lba);
    }
    MarkSessions(toc, count);
    return true;
  }

  // Tracks from the last session's first one on belong to it, the others to the one before:
  // enough for the gap, which follows the audio session of an enhanced disc. A drive that
  // does not tell leaves the sessions unknown (0).
  void MarkSessions(CDTableOfContents& toc, int count) {
    CDROM_TOC_SESSION_DATA last;
    memset(&last, 0, sizeof last);
    CDROM_READ_TOC_EX request;
    memset(&request, 0, sizeof request);
    request.Format = CDROM_READ_TOC_EX_FORMAT_SESSION;
    DWORD got = 0;
    if (!DeviceIoControl(device_.Get(), IOCTL_CDROM_READ_TOC_EX, &request, sizeof request, &last,
                         sizeof last, &got, nullptr) &&
        !DeviceIoControl(device_.Get(), IOCTL_CDROM_GET_LAST_SESSION, nullptr, 0, &last,
                         sizeof last, &got, nullptr))
      return;
    int session = last.LastCompleteSession;
    int firstOfLast = reinterpret_cast<const uint8_t*>(&last.TrackData[0])[2];
    if (got < sizeof last || session < 1 || session > 99) return;
    for (int i = 0; i <= count; ++i) {
      int number = toc.entries[i].trackNumber;  // the lead-out (0xAA) ends the last session
      bool inLast = session == 1 || number >= firstOfLast;
      toc.entries[i].session = static_cast<uint8_t>(inLast ? session : session - 1);
    }
  }

  bool ReadAudio(uint32_t lba, uint32_t count, uint8_t* out, CueError& error) override {
    std::lock_guard<std::mutex> guard(lock_);
    for (uint32_t done = 0; done < count;) {
      uint32_t n = std::min(kRawChunkSectors, count - done);
      RAW_READ_INFO info;
      memset(&info, 0, sizeof info);
      info.DiskOffset.QuadPart = static_cast<LONGLONG>(lba + done) * 2048;
      info.SectorCount = n;
      info.TrackMode = CDDA;
      DWORD got = 0;
      if (!DeviceIoControl(device_.Get(), IOCTL_CDROM_RAW_READ, &info, sizeof info,
                           out + static_cast<size_t>(done) * kCDSectorBytes, n * kCDSectorBytes,
                           &got, nullptr) ||
          got != n * kCDSectorBytes) {
        error = {kErrReadFailed, "raw read of sectors " + std::to_string(lba + done) + "+" +
                                     std::to_string(n) + " failed (error " +
                                     std::to_string(GetLastError()) + ")"};
        return false;
      }
      done += n;
    }
    return true;
  }

 private:
  WinHandle device_;
  std::mutex lock_;  // one control at a time on the device
};

// One listed drive: the address GetCDHandle takes back and the letter it stands for.
struct ListedDrive {
  wchar_t letter;
  uint8_t hostAdapter, targetId, lun;
  bool isVirtual;
  bool realAddress;
  char vendor[9], product[17], revision[5];
};

// Library state shared by all threads: the last drive list and the open handles.
struct State {
  std::mutex lock;
  std::vector<ListedDrive> listed;
  std::map<CDHANDLE, std::shared_ptr<Drive>> handles;
  CDHANDLE nextHandle = 1;
};

State& Lib() {
  static State state;
  return state;
}

void CopyText(char* field, size_t fieldBytes, const char* text, size_t textBytes) {
  while (textBytes > 0 && text[0] == ' ') ++text, --textBytes;
  while (textBytes > 0 && (text[textBytes - 1] == ' ' || text[textBytes - 1] == '\0')) --textBytes;
  size_t n = std::min(textBytes, fieldBytes - 1);
  memcpy(field, text, n);
  field[n] = '\0';
}

void QueryIdentity(HANDLE device, ListedDrive& d) {
  STORAGE_PROPERTY_QUERY query;
  memset(&query, 0, sizeof query);
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  alignas(8) uint8_t buffer[1024] = {};
  DWORD got = 0;
  if (!DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer,
                       sizeof buffer, &got, nullptr) ||
      got < sizeof(STORAGE_DEVICE_DESCRIPTOR)) {
    CopyText(d.vendor, sizeof d.vendor, "CD-ROM", 6);
    return;
  }
  const auto* desc = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer);
  auto text = [&](DWORD offset, char* field, size_t fieldBytes) {
    if (offset == 0 || offset >= got) return;
    const char* s = reinterpret_cast<const char*>(buffer + offset);
    CopyText(field, fieldBytes, s, strnlen(s, got - offset));
  };
  text(desc->VendorIdOffset, d.vendor, sizeof d.vendor);
  text(desc->ProductIdOffset, d.product, sizeof d.product);
  text(desc->ProductRevisionOffset, d.revision, sizeof d.revision);
}

// Lists the CD-ROM letters in letter order, with the very probe the program uses to decide
// which letters it pairs with our entries: an entry for every letter it keeps, none for the
// letters it skips.
std::vector<ListedDrive> EnumerateDrives() {
  std::vector<ListedDrive> drives;
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    wchar_t root[] = L"?:\\";
    wchar_t device[] = L"\\\\.\\?:";
    root[0] = device[4] = letter;
    if (GetDriveTypeW(root) != DRIVE_CDROM) continue;
    WinHandle probe(
        CreateFileW(device, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!probe.Valid()) continue;
    ListedDrive d;
    memset(&d, 0, sizeof d);
    d.letter = letter;
    d.isVirtual = !FindCueSheet(letter).empty();
    if (d.isVirtual) {
      CopyText(d.vendor, sizeof d.vendor, "VIRTUAL", 7);
      CopyText(d.product, sizeof d.product, "CUE IMAGE", 9);
      CopyText(d.revision, sizeof d.revision, "1.0", 3);
    } else {
      SCSI_ADDRESS address;
      memset(&address, 0, sizeof address);
      address.Length = sizeof address;
      DWORD got = 0;
      if (DeviceIoControl(probe.Get(), IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof address,
                          &got, nullptr)) {
        d.hostAdapter = address.PortNumber;
        d.targetId = address.TargetId;
        d.lun = address.Lun;
        d.realAddress = true;
      }
      QueryIdentity(probe.Get(), d);
    }
    drives.push_back(d);
  }
  // Addresses must be unique, since a handle request carries nothing else. A drive without
  // one of its own (virtual, no SCSI address, or a clash) gets host adapter = its letter's
  // ASCII code, target 0, LUN 0, moving the target up only if that is taken too.
  auto taken = [&](size_t self, const ListedDrive& d) {
    for (size_t j = 0; j < drives.size(); ++j)
      if (j != self && (drives[j].realAddress || j < self) &&
          drives[j].hostAdapter == d.hostAdapter && drives[j].targetId == d.targetId &&
          drives[j].lun == d.lun)
        return true;
    return false;
  };
  for (size_t i = 0; i < drives.size(); ++i) {
    ListedDrive& d = drives[i];
    if (d.realAddress && !taken(i, d)) continue;
    d.realAddress = false;
    d.hostAdapter = static_cast<uint8_t>(d.letter);
    d.targetId = 0;
    d.lun = 0;
    while (taken(i, d) && d.targetId < 255) ++d.targetId;
  }
  return drives;
}

bool FindListed(State& s, const CDHandleRequest& r, wchar_t& letter) {
  std::lock_guard<std::mutex> guard(s.lock);
  for (const ListedDrive& d : s.listed) {
    if (d.hostAdapter == r.hostAdapter && d.targetId == r.targetId && d.lun == r.lun) {
      letter = d.letter;
      return true;
    }
  }
  return false;
}

std::shared_ptr<Drive> FindHandle(CDHANDLE handle) {
  State& s = Lib();
  std::lock_guard<std::mutex> guard(s.lock);
  auto it = s.handles.find(handle);
  if (it == s.handles.end()) return nullptr;
  return it->second;
}

int32_t Fail(int32_t error, int32_t transport, const std::string& text) {
  SetLastFailure(error, transport, text);
  return 0;
}

uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

}  // namespace

bool ValidToc(const CDTableOfContents& toc, std::string& reason) {
  unsigned length = (toc.tocLength[0] << 8) | toc.tocLength[1];
  int first = toc.firstTrack, last = toc.lastTrack;
  int count = last - first + 1;
  if (length == 0 || first < 1 || last > 99 || count < 1) {
    reason = "track numbers out of range";
    return false;
  }
  if (length < 2u + 8u * (count + 1)) {
    reason = "table shorter than its tracks";
    return false;
  }
  for (int i = 0; i <= count; ++i) {
    int expected = i < count ? first + i : 0xAA;
    if (toc.entries[i].trackNumber != expected) {
      reason = "entry " + std::to_string(i) + " has the wrong track number";
      return false;
    }
    if (Be32(toc.entries[i].address) >= kMaxDiscSectors) {
      reason = "address beyond 100 minutes";
      return false;
    }
    if (i > 0 && Be32(toc.entries[i].address) <= Be32(toc.entries[i - 1].address)) {
      reason = "addresses do not rise";
      return false;
    }
  }
  return true;
}

int32_t ListDrives(CDDriveList* list) {
  if (!list) return Fail(kErrBadArgument, kTransportBadRequest, "GetCDList: no list");
  size_t capacity = std::min<size_t>(list->capacity, kCDMaxDrives);
  std::vector<ListedDrive> drives = EnumerateDrives();
  {
    State& s = Lib();
    std::lock_guard<std::mutex> guard(s.lock);
    s.listed = drives;
  }
  size_t found = std::min(capacity, drives.size());
  memset(list->entries, 0, sizeof list->entries);
  for (size_t i = 0; i < found; ++i) {
    const ListedDrive& d = drives[i];
    CDDriveEntry& e = list->entries[i];
    e.hostAdapter = d.hostAdapter;
    e.targetId = d.targetId;
    e.lun = d.lun;
    e.libraryData[0] = static_cast<uint8_t>(d.letter);
    e.libraryData[1] = d.isVirtual ? 'V' : 'R';
    memcpy(e.vendor, d.vendor, sizeof e.vendor);
    memcpy(e.product, d.product, sizeof e.product);
    memcpy(e.revision, d.revision, sizeof e.revision);
  }
  list->found = static_cast<uint8_t>(found);
  return static_cast<int32_t>(found);
}

CDHANDLE OpenDrive(const CDHandleRequest* request) {
  if (!request || request->size != sizeof(CDHandleRequest) || request->version != 1)
    return Fail(kErrBadArgument, kTransportBadRequest, "GetCDHandle: bad request record");
  State& s = Lib();
  wchar_t letter = 0;
  if (!FindListed(s, *request, letter)) {
    // Not from our last list (or no list yet in this process): look again once.
    std::vector<ListedDrive> drives = EnumerateDrives();
    {
      std::lock_guard<std::mutex> guard(s.lock);
      s.listed = drives;
    }
    if (!FindListed(s, *request, letter))
      return Fail(kErrNoSuchDrive, kTransportBadAdapter,
                  "no drive at " + std::to_string(request->hostAdapter) + ":" +
                      std::to_string(request->targetId) + ":" + std::to_string(request->lun));
  }
  wchar_t root[] = L"?:\\";
  wchar_t device[] = L"\\\\.\\?:";
  root[0] = device[4] = letter;
  std::string name(1, static_cast<char>(letter));
  if (GetDriveTypeW(root) != DRIVE_CDROM)
    return Fail(kErrNoSuchDrive, kTransportNoDevice, name + ": is no longer a CD-ROM drive");
  std::shared_ptr<Drive> drive;
  if (!FindCueSheet(letter).empty()) {
    drive = std::make_shared<VirtualDrive>(letter);
  } else {
    WinHandle handle(CreateFileW(device, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    if (!handle.Valid())
      return Fail(kErrDeviceOpen, kTransportNoDevice,
                  name + ": cannot open the device (error " + std::to_string(GetLastError()) + ")");
    drive = std::make_shared<RealDrive>(std::move(handle));
  }
  std::lock_guard<std::mutex> guard(s.lock);
  // Handles are positive and never 0; skip any still in use after a wrap-around.
  CDHANDLE handle;
  do {
    handle = s.nextHandle;
    s.nextHandle = s.nextHandle == INT32_MAX ? 1 : s.nextHandle + 1;
  } while (s.handles.count(handle));
  s.handles[handle] = drive;
  return handle;
}

int32_t SetDriveParameter(CDHANDLE handle, int32_t code, int32_t value) {
  if (!FindHandle(handle))
    return Fail(kErrBadHandle, kTransportBadRequest, "ModifyCDParms: handle not open");
  if (code != kParmCddaRead || value != 0)
    return Fail(kErrBadArgument, kTransportBadRequest,
                "ModifyCDParms: unknown parameter " + std::to_string(code));
  return 1;
}

int32_t ReadDriveToc(CDHANDLE handle, CDTableOfContents* toc) {
  if (!toc) return Fail(kErrBadArgument, kTransportBadRequest, "ReadTOC: no record");
  memset(toc, 0, sizeof *toc);
  std::shared_ptr<Drive> drive = FindHandle(handle);
  if (!drive) return Fail(kErrBadHandle, kTransportBadRequest, "ReadTOC: handle not open");
  CDTableOfContents read;
  memset(&read, 0, sizeof read);
  CueError error;
  if (!drive->ReadToc(read, error)) return Fail(error.code, kTransportError, error.text);
  std::string reason;
  if (!ValidToc(read, reason))
    return Fail(kErrBadToc, kTransportError, "unusable table of contents: " + reason);
  *toc = read;
  return 1;
}

int32_t ReadDriveAudio(CDHANDLE handle, CDAudioBlock* block) {
  if (!block) return Fail(kErrBadArgument, kTransportBadRequest, "ReadCDAudioLBA: no block");
  block->bytesDelivered = 0;
  block->audioOffset = 0;
  std::shared_ptr<Drive> drive = FindHandle(handle);
  if (!drive) return Fail(kErrBadHandle, kTransportBadRequest, "ReadCDAudioLBA: handle not open");
  uint32_t count = block->sectorCount;
  if (block->firstSector < 0 || count == 0)
    return Fail(kErrBadArgument, kTransportBadRequest,
                "ReadCDAudioLBA: bad range " + std::to_string(block->firstSector) + "+" +
                    std::to_string(count));
  if (count > block->capacity / kCDSectorBytes)
    return Fail(kErrBlockTooSmall, kTransportBadRequest,
                "ReadCDAudioLBA: " + std::to_string(count) + " sectors do not fit in " +
                    std::to_string(block->capacity) + " bytes");
  CueError error;
  if (!drive->ReadAudio(static_cast<uint32_t>(block->firstSector), count, CDAudioBlockData(block),
                        error))
    return Fail(error.code, kTransportError, error.text);
  block->bytesDelivered = count * kCDSectorBytes;
  return 1;
}

int32_t CloseDrive(CDHANDLE handle) {
  State& s = Lib();
  std::shared_ptr<Drive> drive;  // released after the lock, a reader may still hold it
  std::lock_guard<std::mutex> guard(s.lock);
  auto it = s.handles.find(handle);
  if (it == s.handles.end())
    return Fail(kErrBadHandle, kTransportBadRequest, "CloseCDHandle: handle not open");
  drive = std::move(it->second);
  s.handles.erase(it);
  return 1;
}

}  // namespace cdgrab
