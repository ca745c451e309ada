// The CD-access library's interface: plain C, __cdecl, records packed to 1 byte.
// The records are wire formats shared with callers built by other compilers: every size and
// offset below is fixed, and multi-byte addresses inside the TOC are big-endian byte arrays.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(CDGRAB_BUILDING)
#define CDGRAB_API __declspec(dllexport)
#else
#define CDGRAB_API __declspec(dllimport)
#endif

typedef int32_t CDHANDLE;

#pragma pack(push, 1)

// One drive as GetCDList reports it. Texts are ANSI, NUL-terminated within their field.
typedef struct CDDriveEntry {
  uint8_t hostAdapter;  // the three address bytes that GetCDHandle takes back
  uint8_t targetId;
  uint8_t lun;
  uint8_t libraryData[66];  // the library's own; callers do not read it
  char vendor[9];           // 8 characters and a NUL
  char product[17];         // 16 characters and a NUL
  char revision[5];         // 4 characters and a NUL
  char vendorSpecific[21];  // up to 20 characters and a NUL
} CDDriveEntry;

typedef struct CDDriveList {
  uint8_t capacity;  // set by the caller (8) before GetCDList
  uint8_t found;     // filled by the library, never above capacity
  CDDriveEntry entries[8];
} CDDriveList;

typedef struct CDHandleRequest {
  uint8_t size;     // 12
  uint8_t version;  // 1
  uint8_t hostAdapter;
  uint8_t targetId;
  uint8_t lun;
  uint8_t reserved[7];
} CDHandleRequest;

typedef struct CDTocEntry {
  uint8_t session;     // the track's session, 1 = first (the full TOC's first byte); 0 = not known
  uint8_t adrControl;  // ADR in the high nibble, control in the low; control & 4 = data track
  uint8_t trackNumber;
  uint8_t reserved2;
  uint8_t address[4];  // start LBA, big-endian
} CDTocEntry;

typedef struct CDTableOfContents {
  uint8_t tocLength[2];  // big-endian byte count after this field; 0 = no table
  uint8_t firstTrack;
  uint8_t lastTrack;
  CDTocEntry entries[100];  // tracks in order, then the lead-out
} CDTableOfContents;

// Header of a sector read request; the data area (capacity bytes) follows it directly.
typedef struct CDAudioBlock {
  int32_t firstSector;      // LBA of the first sector to read
  uint32_t sectorCount;     // sectors to read
  uint32_t capacity;        // bytes in the data area, n * 2352, set when the block is made
  uint32_t bytesDelivered;  // 0 before each call, set by the library
  uint32_t reserved;        // 0
  uint32_t audioOffset;     // 0 before each call; where the audio starts in the data area
} CDAudioBlock;

#pragma pack(pop)

CDGRAB_API int32_t __cdecl GetCDList(CDDriveList* driveList);
CDGRAB_API CDHANDLE __cdecl GetCDHandle(CDHandleRequest* handleRequest);
CDGRAB_API int32_t __cdecl ModifyCDParms(CDHANDLE handle, int32_t code, int32_t value);
CDGRAB_API int32_t __cdecl ReadTOC(CDHANDLE handle, CDTableOfContents* toc);
CDGRAB_API int32_t __cdecl ReadCDAudioLBA(CDHANDLE handle, CDAudioBlock* audioBlock);
CDGRAB_API int32_t __cdecl CloseCDHandle(CDHANDLE handle);
CDGRAB_API int32_t __cdecl GetAspiLibError(void);
CDGRAB_API int32_t __cdecl GetAspiLibAspiError(void);
// Lines for the user's log, oldest first: why a disc image was refused, what its sheet held
// that was skipped. Copies the oldest as NUL-terminated UTF-8 (cut to fit bytes), drops it
// and returns 1; 0 when none is waiting. Older builds of the library lack this export, so
// callers look it up by name.
CDGRAB_API int32_t __cdecl GetCDLibMessage(char* text, int32_t bytes);

#ifdef __cplusplus
}

// Sizes shared by the library and its callers.
inline constexpr uint32_t kCDSectorBytes = 2352;
inline constexpr uint32_t kCDSectorSamples = kCDSectorBytes / 2;
inline constexpr uint8_t kCDMaxDrives = 8;
inline constexpr uint8_t kCDTocMaxEntries = 100;
inline constexpr uint8_t kCDControlData = 4;
// Lead-out, lead-in and pregap between the end of the first session and the second one's
// first track.
inline constexpr uint32_t kCDSessionGapSectors = 11400;
inline constexpr uint32_t kCDBlockSectors = 27;
inline constexpr uint32_t kCDBlockDataBytes = kCDBlockSectors * kCDSectorBytes;

// The data area that follows a block's header.
inline uint8_t* CDAudioBlockData(CDAudioBlock* block) {
  return reinterpret_cast<uint8_t*>(block) + sizeof(CDAudioBlock);
}
inline const uint8_t* CDAudioBlockData(const CDAudioBlock* block) {
  return reinterpret_cast<const uint8_t*>(block) + sizeof(CDAudioBlock);
}

static_assert(sizeof(CDDriveEntry) == 121);
static_assert(offsetof(CDDriveEntry, hostAdapter) == 0);
static_assert(offsetof(CDDriveEntry, targetId) == 1);
static_assert(offsetof(CDDriveEntry, lun) == 2);
static_assert(offsetof(CDDriveEntry, libraryData) == 3);
static_assert(offsetof(CDDriveEntry, vendor) == 69);
static_assert(offsetof(CDDriveEntry, product) == 78);
static_assert(offsetof(CDDriveEntry, revision) == 95);
static_assert(offsetof(CDDriveEntry, vendorSpecific) == 100);

static_assert(sizeof(CDDriveList) == 970);
static_assert(offsetof(CDDriveList, capacity) == 0);
static_assert(offsetof(CDDriveList, found) == 1);
static_assert(offsetof(CDDriveList, entries) == 2);

static_assert(sizeof(CDHandleRequest) == 12);
static_assert(offsetof(CDHandleRequest, size) == 0);
static_assert(offsetof(CDHandleRequest, version) == 1);
static_assert(offsetof(CDHandleRequest, hostAdapter) == 2);
static_assert(offsetof(CDHandleRequest, targetId) == 3);
static_assert(offsetof(CDHandleRequest, lun) == 4);
static_assert(offsetof(CDHandleRequest, reserved) == 5);

static_assert(sizeof(CDTocEntry) == 8);
static_assert(offsetof(CDTocEntry, session) == 0);
static_assert(offsetof(CDTocEntry, adrControl) == 1);
static_assert(offsetof(CDTocEntry, trackNumber) == 2);
static_assert(offsetof(CDTocEntry, reserved2) == 3);
static_assert(offsetof(CDTocEntry, address) == 4);

static_assert(sizeof(CDTableOfContents) == 804);
static_assert(offsetof(CDTableOfContents, tocLength) == 0);
static_assert(offsetof(CDTableOfContents, firstTrack) == 2);
static_assert(offsetof(CDTableOfContents, lastTrack) == 3);
static_assert(offsetof(CDTableOfContents, entries) == 4);

static_assert(sizeof(CDAudioBlock) == 24);
static_assert(offsetof(CDAudioBlock, firstSector) == 0);
static_assert(offsetof(CDAudioBlock, sectorCount) == 4);
static_assert(offsetof(CDAudioBlock, capacity) == 8);
static_assert(offsetof(CDAudioBlock, bytesDelivered) == 12);
static_assert(offsetof(CDAudioBlock, reserved) == 16);
static_assert(offsetof(CDAudioBlock, audioOffset) == 20);
static_assert(kCDBlockDataBytes == 63504);
#endif
