// Pictures for a person to look at, taken by tests/window/screenshots.sh: with
// CORVANE_SHOT_DIR set, HoldForPicture paints what waits to be painted, writes
// "<name>.ready" there and waits, the windows shown, until the picture has been taken and
// the file removed. Without it, nothing happens.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "tests/window/Pump.h"

inline bool PicturesWanted() {
  const wchar_t* dir = _wgetenv(L"CORVANE_SHOT_DIR");
  return dir && *dir;
}

// Only what is invalid gets painted first: a picture shows what the windows left on the
// screen themselves.
inline void HoldForPicture(const wchar_t* name) {
  if (!PicturesWanted()) return;
  PumpUntil([] { return false; }, 300);
  const std::wstring ready = std::wstring(_wgetenv(L"CORVANE_SHOT_DIR")) + L"\\" + name + L".ready";
  FILE* f = _wfopen(ready.c_str(), L"w");
  if (!f) return;
  fclose(f);
  for (int i = 0; i < 3000 && ::GetFileAttributesW(ready.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
    ::Sleep(10);
}

// Drags the lower right corner of window by dx, dy with the real mouse, as a user resizes
// it by its border. The input comes from a thread of its own: this thread runs the
// system's sizing loop meanwhile.
inline void DragLowerRightCorner(HWND window, int dx, int dy) {
  RECT rc;
  ::GetWindowRect(window, &rc);
  const POINT from{rc.right - 2, rc.bottom - 2};
  std::atomic<bool> done{false};
  std::thread mouse([&] {
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    const auto send = [&](DWORD flags, int x, int y) {
      INPUT input{};
      input.type = INPUT_MOUSE;
      input.mi.dx = x * 65535 / (cx - 1);
      input.mi.dy = y * 65535 / (cy - 1);
      input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
      ::SendInput(1, &input, sizeof(INPUT));
      ::Sleep(40);
    };
    send(0, from.x, from.y);
    send(MOUSEEVENTF_LEFTDOWN, from.x, from.y);
    for (int step = 1; step <= 10; ++step)
      send(0, from.x + dx * step / 10, from.y + dy * step / 10);
    send(MOUSEEVENTF_LEFTUP, from.x + dx, from.y + dy);
    done = true;
  });
  PumpUntil([&] { return done.load(); }, 10000);
  mouse.join();
  PumpUntil([] { return false; }, 200);
}
