#include "tests/engine/FakeCDLibrary.h"

#include <algorithm>
#include <cstring>

namespace {
FakeCDLibrary* g_fake = nullptr;

int32_t __cdecl FakeGetCDList(CDDriveList* list) {
  const uint8_t capacity = list->capacity;
  memcpy(list, &g_fake->drives, sizeof(*list));
  list->capacity = capacity;
  return 1;
}
CDHANDLE __cdecl FakeGetCDHandle(CDHandleRequest* request) {
  g_fake->opened.push_back(*request);
  return g_fake->nextHandle;
}
int32_t __cdecl FakeModifyCDParms(CDHANDLE, int32_t code, int32_t value) {
  g_fake->parms.push_back(code);
  g_fake->parms.push_back(value);
  return 1;
}
int32_t __cdecl FakeReadTOC(CDHANDLE, CDTableOfContents* toc) {
  ++g_fake->tocReads;
  memcpy(toc, &g_fake->toc, sizeof(*toc));
  return g_fake->tocResult;
}
int32_t __cdecl FakeReadCDAudioLBA(CDHANDLE, CDAudioBlock* block) {
  return g_fake->read ? g_fake->read(block) : 0;
}
int32_t __cdecl FakeCloseCDHandle(CDHANDLE handle) {
  g_fake->closed.push_back(handle);
  return 1;
}
int32_t __cdecl FakeError() { return 0; }
int32_t __cdecl FakeMessage(char* text, int32_t bytes) {
  if (g_fake->messages.empty() || bytes < 1) return 0;
  const std::string line = g_fake->messages.front();
  g_fake->messages.erase(g_fake->messages.begin());
  const size_t n = std::min(line.size(), static_cast<size_t>(bytes) - 1);
  memcpy(text, line.data(), n);
  text[n] = '\0';
  return 1;
}

const CDGrabberApi kFakeApi = {FakeGetCDList, FakeGetCDHandle,    FakeModifyCDParms,
                               FakeReadTOC,   FakeReadCDAudioLBA, FakeCloseCDHandle,
                               FakeError,     FakeError,          FakeMessage};

void PutBigEndian(uint8_t* at, DWORD value) {
  at[0] = static_cast<uint8_t>(value >> 24);
  at[1] = static_cast<uint8_t>(value >> 16);
  at[2] = static_cast<uint8_t>(value >> 8);
  at[3] = static_cast<uint8_t>(value);
}
}  // namespace

FakeCDLibrary::FakeCDLibrary() {
  g_fake = this;
  SetCDGrabberApi(&kFakeApi);
}

FakeCDLibrary::~FakeCDLibrary() {
  SetCDGrabberApi(nullptr);
  g_fake = nullptr;
}

void FakeCDLibrary::SetToc(int first, const std::vector<DWORD>& starts, DWORD leadOut,
                           const std::vector<int>& dataTracks) {
  memset(&toc, 0, sizeof(toc));
  const int count = static_cast<int>(starts.size());
  const int length = 2 + 8 * (count + 1);
  toc.tocLength[0] = static_cast<uint8_t>(length >> 8);
  toc.tocLength[1] = static_cast<uint8_t>(length);
  toc.firstTrack = static_cast<uint8_t>(first);
  toc.lastTrack = static_cast<uint8_t>(first + count - 1);
  for (int i = 0; i <= count; ++i) {
    CDTocEntry& entry = toc.entries[i];
    const int number = i < count ? first + i : 0xAA;
    entry.trackNumber = static_cast<uint8_t>(number);
    entry.adrControl = 0x10;
    for (int data : dataTracks) {
      if (data == number) entry.adrControl |= kCDControlData;
    }
    PutBigEndian(entry.address, i < count ? starts[i] : leadOut);
  }
}

void FakeCDLibrary::SetSessions(const std::vector<uint8_t>& sessions) {
  for (size_t i = 0; i < sessions.size() && i < kCDTocMaxEntries; ++i) {
    toc.entries[i].session = sessions[i];
  }
}
