#include "tests/window/TestApp.h"

CTestApp g_testApp;

int CTestApp::DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT) {
  m_boxes.push_back(lpszPrompt);
  m_lastType = nType;
  return IDOK;
}

void PumpPending() {
  MSG msg;
  for (int i = 0; i < 10000 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

namespace {
// Common controls and the application's instance before any test.
struct Init {
  Init() { AfxWinInit(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL); }
} g_init;
}  // namespace
