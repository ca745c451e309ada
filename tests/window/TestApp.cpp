#include "tests/window/TestApp.h"

CTestApp g_testApp;

int CTestApp::DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT) {
  m_boxes.push_back(lpszPrompt);
  m_lastType = nType;
  return IDOK;
}

namespace {
// Common controls and the application's instance before any test.
struct Init {
  Init() { AfxWinInit(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL); }
} g_init;
}  // namespace
