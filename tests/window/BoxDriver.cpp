#include "tests/window/BoxDriver.h"

namespace {

struct Search {
  const wchar_t* caption;
  const wchar_t* cls;
  HWND found;
};

BOOL CALLBACK Match(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD process = 0;
  ::GetWindowThreadProcessId(hwnd, &process);
  if (process != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd)) return TRUE;
  wchar_t cls[64] = L"", text[256] = L"";
  ::GetClassNameW(hwnd, cls, 64);
  // Not GetWindowText: for a window of another thread it sends WM_GETTEXT and would wait
  // for a test thread that is not handling messages (one that waits for Found()).
  ::InternalGetWindowText(hwnd, text, 256);
  if ((!search->cls || wcscmp(cls, search->cls) == 0) && wcscmp(text, search->caption) == 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindOwnWindow(const wchar_t* caption, const wchar_t* cls) {
  Search search{caption, cls, nullptr};
  ::EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForOwnWindow(const wchar_t* caption, int waitMs, const wchar_t* cls) {
  for (int waited = 0;; waited += 10) {
    if (HWND found = FindOwnWindow(caption, cls)) return found;
    if (waited >= waitMs) return nullptr;
    ::Sleep(10);
  }
}

std::wstring DialogText(HWND box) {
  std::wstring all;
  for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    wchar_t text[256] = L"";
    ::GetWindowTextW(c, text, 256);
    all += text;
    all += L"|";
  }
  return all;
}

BoxDriver::BoxDriver(const wchar_t* caption, std::function<void(HWND)> act, int waitMs,
                     const wchar_t* cls)
    : m_thread([this, caption, act = std::move(act), waitMs, cls] {
        m_box = WaitForOwnWindow(caption, waitMs, cls);
        if (m_box) act(m_box);
      }) {}
