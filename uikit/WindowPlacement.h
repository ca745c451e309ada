// Remembers a window's size, position and show state in the application's
// profile: one 44-byte placement value per window (named by the window's
// key) and one shared integer "" per section that can force the show state.
#pragma once

#include <windows.h>

class WindowPlacementStore {
 public:
  WindowPlacementStore();

  // TRUE when a stored placement was applied; otherwise the window stays where
  // its template put it.
  BOOL Restore(HWND window, LPCWSTR valueName, LPCWSTR section);
  // TRUE when both values were written.
  BOOL Save(HWND window, LPCWSTR valueName, LPCWSTR section);
  // SetWindowPlacement with the current record; section is not used.
  BOOL Apply(HWND window, LPCWSTR section);

  // Show-state override read from the profile: 1 stored, 2 normal, 3 maximised,
  // 4 minimised, anything else stored with minimised turned into its restore state.
  int m_forcedState = 0;
  WINDOWPLACEMENT m_current;
  WINDOWPLACEMENT m_defaultPlacement;  // first restore's placement, centred
  int m_firstTime = 1;
};
