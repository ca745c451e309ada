#include "engine/CDLibrary.h"

#include <atomic>

namespace {
const CDGrabberApi& LibraryApi() {
  static const CDGrabberApi api = {::GetCDList,       ::GetCDHandle,        ::ModifyCDParms,
                                   ::ReadTOC,         ::ReadCDAudioLBA,     ::CloseCDHandle,
                                   ::GetAspiLibError, ::GetAspiLibAspiError};
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
