#include "engine/CDLibrary.h"

#include <windows.h>

#include <atomic>

namespace {
using MessageFunction = int32_t(__cdecl*)(char* text, int32_t bytes);

MessageFunction FindMessageFunction() {
  HMODULE library = GetModuleHandleW(L"AudioCDGrabber.dll");
  if (!library) return nullptr;
  return reinterpret_cast<MessageFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "GetCDLibMessage")));
}

const CDGrabberApi& LibraryApi() {
  static const CDGrabberApi api = {::GetCDList,       ::GetCDHandle,         ::ModifyCDParms,
                                   ::ReadTOC,         ::ReadCDAudioLBA,      ::CloseCDHandle,
                                   ::GetAspiLibError, ::GetAspiLibAspiError, FindMessageFunction()};
  return api;
}

// Swapped only while nothing reads through it; acquire/release so a reader on another
// thread sees the table's contents complete.
std::atomic<const CDGrabberApi*> g_api{nullptr};
}  // namespace

const CDGrabberApi& CDLib() {
  const CDGrabberApi* api = g_api.load(std::memory_order_acquire);
  return api ? *api : LibraryApi();
}

void SetCDGrabberApi(const CDGrabberApi* api) { g_api.store(api, std::memory_order_release); }
