// Per-thread temporary wrappers for handles the program does not own (the
// FromHandle results of GDI objects, DCs, menus and image lists).
//
// A temporary never destroys its handle: it is detached before it is freed.
// AfxFreeTempGdiObjects() frees every temporary of the calling thread (the
// idle handler calls it); the rest go when the thread ends.
#pragma once

#include <map>
#include <memory>

void AfxFreeTempGdiObjects();

namespace afx_temp {

using ClearFn = void (*)();
// Adds a map's clear function to the calling thread's list.
void RegisterClear(ClearFn clear);

}  // namespace afx_temp

// Wrapper needs a default constructor and Attach(Handle)/Detach().
template <class Wrapper, class Handle>
Wrapper* AfxTempWrapper(Handle handle) {
  struct Map {
    std::map<Handle, std::unique_ptr<Wrapper>> items;
    ~Map() { Clear(); }
    void Clear() {
      for (auto& item : items) item.second->Detach();
      items.clear();
    }
  };
  thread_local Map map;
  thread_local bool registered = false;
  if (!handle) return nullptr;
  if (!registered) {
    registered = true;
    afx_temp::RegisterClear([] { map.Clear(); });
  }
  auto& slot = map.items[handle];
  if (!slot) {
    slot = std::make_unique<Wrapper>();
    slot->Attach(handle);
  }
  return slot.get();
}
