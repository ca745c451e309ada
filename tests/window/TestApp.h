// The tests' application object: records message boxes instead of showing them.
#pragma once

#include <vector>

#include "framework/win/Win.h"

class CTestApp : public CWinApp {
 public:
  CTestApp() : CWinApp(L"CorvaneWindowTests") {}
  int DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT nIDPrompt) override;

  std::vector<CString> m_boxes;
  UINT m_lastType = 0;
};

extern CTestApp g_testApp;

// Pumps messages until the queue is empty (with a bound).
void PumpPending();

// Pumps messages until done() holds; false when ms passed first.
template <typename Done>
bool PumpUntil(Done done, int ms = 20000) {
  const DWORD end = ::GetTickCount() + ms;
  while (!done()) {
    if (static_cast<int>(::GetTickCount() - end) > 0) return false;
    PumpPending();
    ::Sleep(5);
  }
  return true;
}
