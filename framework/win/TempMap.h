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

// One kind of temporary wrapper's map for one thread.
struct MapBase {
  virtual ~MapBase() = default;
  virtual void Clear() = 0;
};
// Hands a new map to the calling thread's list, which clears it at idle and destroys it
// when the thread ends; returns the map.
MapBase* Adopt(MapBase* map);

}  // namespace afx_temp

// Wrapper needs a default constructor and Attach(Handle)/Detach().
template <class Wrapper, class Handle>
Wrapper* AfxTempWrapper(Handle handle) {
  struct Map : afx_temp::MapBase {
    std::map<Handle, std::unique_ptr<Wrapper>> items;
    ~Map() override { Clear(); }
    void Clear() override {
      for (auto& item : items) item.second->Detach();
      items.clear();
    }
  };
  // Owned by the thread's list (a plain pointer is safe as thread_local).
  thread_local Map* map = nullptr;
  if (!handle) return nullptr;
  if (!map) map = static_cast<Map*>(afx_temp::Adopt(new Map));
  auto& slot = map->items[handle];
  if (!slot) {
    slot = std::make_unique<Wrapper>();
    slot->Attach(handle);
  }
  return slot.get();
}
