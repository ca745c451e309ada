// The tests' application object: records message boxes instead of showing them.
#pragma once

#include <vector>

#include "framework/win/Win.h"
#include "tests/window/Pump.h"  // PumpPending and PumpUntil for the tests that include this

class CTestApp : public CWinApp {
 public:
  CTestApp() : CWinApp(L"CorvaneWindowTests") {}
  int DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT nIDPrompt) override;

  std::vector<CString> m_boxes;
  UINT m_lastType = 0;
};

extern CTestApp g_testApp;
