// CThreadLocal<T>: one T per thread, made on the thread's first Get() and destroyed when
// the thread ends.
//
// Why not thread_local: with this toolchain (MinGW, posix threads, emulated TLS) the
// runtime may release a thread's emulated storage before the C++ thread_local destructors
// run, so an object with a destructor crashes its thread on exit. A fiber-local slot
// with a cleanup callback has no such ordering problem. Trivial thread_local values
// (a pointer, a flag) are fine as they are.
#pragma once

#include <windows.h>

template <class T>
class CThreadLocal {
 public:
  CThreadLocal() : m_slot(::FlsAlloc(&CThreadLocal::Destroy)) {}
  // The slot lives as long as the process: other threads may still end after a static
  // destructor would have freed it.
  ~CThreadLocal() = default;
  CThreadLocal(const CThreadLocal&) = delete;
  CThreadLocal& operator=(const CThreadLocal&) = delete;

  T& Get() {
    auto* p = static_cast<T*>(::FlsGetValue(m_slot));
    if (!p) {
      p = new T;
      ::FlsSetValue(m_slot, p);
    }
    return *p;
  }

 private:
  static void WINAPI Destroy(void* p) noexcept {
    try {
      delete static_cast<T*>(p);
    } catch (...) {
    }
  }

  DWORD m_slot;
};
