// Gives a window the platform's sub-application visual style when the theming
// library is there and theming is on.
#pragma once

#include <windows.h>

// Returns SetWindowTheme's result, or 1 when there is no theming (library or
// entry point missing, theme data not available); the window is then unchanged.
int SetExplorerTheme(HWND window, LPCWSTR classList, LPCWSTR subAppName, LPCWSTR idList);

// The report lists' look: on Vista and later double-buffering, info tips and full-row
// selection with the Explorer visual style; before Vista grid lines, full-row selection
// and info tips.
void ApplyReportListLook(HWND list, BOOL vistaOrLater);
