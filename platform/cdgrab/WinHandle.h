// Owner of a kernel handle that uses INVALID_HANDLE_VALUE for "none".
#pragma once

#include <windows.h>

namespace cdgrab {

class WinHandle {
 public:
  WinHandle() = default;
  explicit WinHandle(HANDLE h) : h_(h) {}
  WinHandle(const WinHandle&) = delete;
  WinHandle& operator=(const WinHandle&) = delete;
  WinHandle(WinHandle&& other) noexcept : h_(other.Release()) {}
  WinHandle& operator=(WinHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~WinHandle() { Reset(); }

  HANDLE Get() const { return h_; }
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE Release() {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return h;
  }
  void Reset(HANDLE h = INVALID_HANDLE_VALUE) {
    if (Valid()) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
};

}  // namespace cdgrab
