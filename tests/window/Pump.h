// Message pumps for tests that wait on this thread's windows.
#pragma once

#include <windows.h>

// Looks at no message.
struct NoLook {
  void operator()(const MSG&) const {}
};

// Pumps messages until the queue is empty (with a bound); look sees each before it is
// dispatched.
template <typename Look = NoLook>
void PumpPending(Look look = {}) {
  MSG msg;
  for (int i = 0; i < 10000 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    look(static_cast<const MSG&>(msg));
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// Pumps messages until done() holds; false when ms passed first. PumpUntil([] { return
// false; }, ms) pumps for ms.
template <typename Done, typename Look = NoLook>
bool PumpUntil(Done done, int ms = 20000, Look look = {}) {
  const DWORD end = ::GetTickCount() + ms;
  while (!done()) {
    if (static_cast<int>(::GetTickCount() - end) > 0) return false;
    PumpPending(look);
    ::Sleep(5);
  }
  return true;
}

// Answers only the messages sent to this thread until done(); false when ms passed first.
// A worker's call into this thread's windows is answered, while posted messages (a refresh
// asked for, a timer) wait.
template <typename Done>
bool AnswerSentMessagesUntil(Done done, int ms = 15000) {
  const DWORD end = ::GetTickCount() + ms;
  while (!done()) {
    if (static_cast<int>(::GetTickCount() - end) > 0) return false;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    ::Sleep(1);
  }
  return true;
}
