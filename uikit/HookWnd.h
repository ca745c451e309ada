// Several independent objects can see the messages of one window without
// deriving from its class: each hook chains itself in front of the window's
// procedure. The newest hook sees a message first and passes it on to the
// older ones, the last of which hands it to the window's own procedure.
#pragma once

#include "framework/win/Wnd.h"

class CHookWnd : public CObject {
  DECLARE_DYNAMIC(CHookWnd)

 public:
  CHookWnd() = default;
  ~CHookWnd() override;  // detaches a hook still attached
  CHookWnd(const CHookWnd&) = delete;
  CHookWnd& operator=(const CHookWnd&) = delete;

  // A hook attached already is refused (an assertion in debug builds).
  void AttachHook(CWnd* window);
  void DetachHook();
  BOOL IsHooked() const { return m_pHookedWnd != nullptr; }
  CWnd* GetHookedWnd() const { return m_pHookedWnd; }

  // Derived hooks override this and call the base for default processing,
  // which passes the message to the next older hook or the window itself.
  virtual LRESULT OnHookedMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The base handling of the message being dispatched now.
  LRESULT PassOn();

  // The newest hook of a window, or null.
  static CHookWnd* FindChainEntry(HWND hWnd);
  static void DetachAllHooks(HWND hWnd);
  // An exception from a hook ends here, reported through AfxReportSwallowedException.
  static LRESULT CALLBACK ChainWndProc(HWND hWnd, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;

 protected:
  CWnd* m_pHookedWnd = nullptr;
  WNDPROC m_pfnPrevious = nullptr;  // the same for every hook of one chain
  CHookWnd* m_pNext = nullptr;      // next older hook of the same window

 private:
  HWND m_hWndHooked = nullptr;  // m_pHookedWnd may be a temporary wrapper
};
