// holddesktop: keeps Wine's desktop process up for as long as the wineserver runs.
//   holddesktop         stays, with a hidden window on the desktop, until ended
//   holddesktop /wait   returns 0 once a holder's window is on the desktop, 1 after 30 s
// Wine ends its desktop process a moment after the last window leaves it, and the next
// program that needs a desktop starts a new one that inherits that program's standard
// handles: under a test runner, the pipe it reads the test's output from. One window that
// stays for the whole run keeps the first desktop process, started with the holder's own
// handles, up throughout.
#include <windows.h>
#include <wchar.h>

namespace {

constexpr wchar_t kTitle[] = L"Corvane desktop holder";

int Hold() {
  // A message-only window would not need the desktop: a hidden top-level one does.
  HWND window = ::CreateWindowExW(0, L"STATIC", kTitle, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
  if (!window) return 1;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  ::DestroyWindow(window);
  return 0;
}

int WaitForHolder() {
  for (int i = 0; i < 300; ++i) {
    if (::FindWindowW(L"STATIC", kTitle)) return 0;
    ::Sleep(100);
  }
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && _wcsicmp(argv[1], L"/wait") == 0) return WaitForHolder();
  if (argc != 1) return 2;
  return Hold();
}
