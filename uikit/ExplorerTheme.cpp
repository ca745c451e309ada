#include "uikit/ExplorerTheme.h"

#include <commctrl.h>
#include <uxtheme.h>

namespace {

struct LibraryHandle {
  HMODULE module;
  explicit LibraryHandle(LPCWSTR name) : module(::LoadLibraryW(name)) {}
  ~LibraryHandle() {
    if (module) ::FreeLibrary(module);
  }
  LibraryHandle(const LibraryHandle&) = delete;
  LibraryHandle& operator=(const LibraryHandle&) = delete;

  template <class Fn>
  Fn Proc(const char* name) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
  }
};

}  // namespace

int SetExplorerTheme(HWND window, LPCWSTR classList, LPCWSTR subAppName, LPCWSTR idList) {
  // Loaded by name so the program runs where the library is missing.
  LibraryHandle uxtheme(L"UxTheme.dll");
  if (!uxtheme.module) return 1;

  using OpenThemeDataFn = HTHEME(WINAPI*)(HWND, LPCWSTR);
  using CloseThemeDataFn = HRESULT(WINAPI*)(HTHEME);
  using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  auto openThemeData = uxtheme.Proc<OpenThemeDataFn>("OpenThemeData");
  auto closeThemeData = uxtheme.Proc<CloseThemeDataFn>("CloseThemeData");
  auto setWindowTheme = uxtheme.Proc<SetWindowThemeFn>("SetWindowTheme");
  if (!openThemeData || !closeThemeData || !setWindowTheme) return 1;

  HTHEME theme = openThemeData(window, classList);
  if (!theme) return 1;  // theming is not active
  closeThemeData(theme);
  return setWindowTheme(window, subAppName, idList);
}

void ApplyReportListLook(HWND list, BOOL vistaOrLater) {
  if (vistaOrLater) {
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                   LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP | LVS_EX_FULLROWSELECT);
    SetExplorerTheme(list, L"ListView", L"Explorer", nullptr);
  } else {
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                   LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
  }
}
