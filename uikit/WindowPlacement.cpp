#include "uikit/WindowPlacement.h"

#include <cstring>
#include <memory>

#include "framework/win/WinApp.h"

namespace {

constexpr UINT kPlacementBytes = 44;
static_assert(sizeof(WINDOWPLACEMENT) == kPlacementBytes, "stored layout is 44 bytes");

// Integer division truncating toward zero, each edge computed on its own.
void CentreOnPrimaryScreen(RECT& rc) {
  const int screenW = ::GetSystemMetrics(SM_CXSCREEN);
  const int screenH = ::GetSystemMetrics(SM_CYSCREEN);
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  rc.left = (screenW - w) / 2;
  rc.right = (w + screenW) / 2;
  rc.top = (screenH - h) / 2;
  rc.bottom = (h + screenH) / 2;
}

UINT ShowCmdFor(int forcedState, const WINDOWPLACEMENT& stored) {
  switch (forcedState) {
    case 1:
      return stored.showCmd;
    case 2:
      return SW_SHOWNORMAL;
    case 3:
      return SW_SHOWMAXIMIZED;
    case 4:
      return SW_SHOWMINIMIZED;
    default:
      // flags 0 -> SW_SHOWNORMAL (1), WPF_RESTORETOMAXIMIZED (2) -> SW_SHOWMAXIMIZED (3).
      return stored.showCmd == SW_SHOWMINIMIZED ? stored.flags + 1 : stored.showCmd;
  }
}

}  // namespace

WindowPlacementStore::WindowPlacementStore() {
  std::memset(&m_current, 0, sizeof(m_current));
  std::memset(&m_defaultPlacement, 0, sizeof(m_defaultPlacement));
}

BOOL WindowPlacementStore::Restore(HWND window, LPCWSTR valueName, LPCWSTR section) {
  CWinApp* app = AfxGetApp();
  if (m_firstTime) {
    m_firstTime = 0;
    m_defaultPlacement.length = sizeof(m_defaultPlacement);
    if (!::GetWindowPlacement(window, &m_defaultPlacement)) return FALSE;
    CentreOnPrimaryScreen(m_defaultPlacement.rcNormalPosition);
    m_forcedState = app ? static_cast<int>(app->GetProfileInt(section, L"", 0)) : 0;
  }

  LPBYTE data = nullptr;
  UINT bytes = 0;
  BOOL found = app && app->GetProfileBinary(section, valueName, &data, &bytes);
  std::unique_ptr<BYTE[]> owned(data);
  // A value shorter than the record (damaged or from elsewhere) counts as absent
  // rather than being read past its end.
  if (!found || !data || bytes < kPlacementBytes) {
    m_current = m_defaultPlacement;
    return FALSE;
  }
  std::memcpy(&m_current, data, kPlacementBytes);
  m_current.length = sizeof(m_current);
  m_current.showCmd = ShowCmdFor(m_forcedState, m_current);

  // A normal rectangle on no monitor (a screen since removed) would open the
  // window out of reach: centre it on the primary screen instead.
  if (!::MonitorFromRect(&m_current.rcNormalPosition, MONITOR_DEFAULTTONULL))
    CentreOnPrimaryScreen(m_current.rcNormalPosition);

  return ::SetWindowPlacement(window, &m_current);
}

BOOL WindowPlacementStore::Save(HWND window, LPCWSTR valueName, LPCWSTR section) {
  m_current.length = sizeof(m_current);
  if (!::GetWindowPlacement(window, &m_current)) return FALSE;
  CWinApp* app = AfxGetApp();
  if (!app) return FALSE;
  if (!app->WriteProfileBinary(section, valueName, reinterpret_cast<LPBYTE>(&m_current),
                               kPlacementBytes))
    return FALSE;
  return app->WriteProfileInt(section, L"", m_forcedState);
}

BOOL WindowPlacementStore::Apply(HWND window, LPCWSTR /*section*/) {
  m_current.length = sizeof(m_current);
  return ::SetWindowPlacement(window, &m_current);
}
