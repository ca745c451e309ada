#include "uikit/HookWnd.h"

#include <cassert>
#include <exception>

#include "framework/core/Thread.h"

IMPLEMENT_DYNAMIC(CHookWnd, CObject)

namespace {

constexpr wchar_t kChainProperty[] = L"HookWnd_P";

// Attaching and detaching may happen on any thread; dispatch runs on the
// window's own thread and takes no lock.
CCriticalSection& ChainLock() {
  static CCriticalSection lock;
  return lock;
}
// Constructed at start-up, not on first use from two threads at once.
[[maybe_unused]] CCriticalSection& g_chainLockAtStart = ChainLock();

// An exception cannot unwind through the system's dispatch: it ends here, but not
// without a word.
void ReportSwallowed(UINT message, CException* e, LPCTSTR what) noexcept {
  wchar_t where[64];
  ::wsprintfW(where, L"Window hook, message 0x%04X", message);
  AfxReportSwallowedException(where, e, what);
}

}  // namespace

CHookWnd::~CHookWnd() {
  if (m_pHookedWnd) DetachHook();
}

void CHookWnd::AttachHook(CWnd* window) {
  if (!window || !window->m_hWnd) return;
  CSingleLock guard(&ChainLock(), TRUE);
  // A hook is in one chain at most: attached again, it would become its own next
  // hook (a message would go round it for ever) or leave its first chain broken.
  if (m_hWndHooked) {
    ::OutputDebugStringW(L"CHookWnd::AttachHook: the hook is attached already; ignored\n");
    assert(!"CHookWnd::AttachHook: the hook is attached already");
    return;
  }
  HWND hWnd = window->m_hWnd;
  m_pHookedWnd = window;
  m_hWndHooked = hWnd;
  m_pNext = FindChainEntry(hWnd);
  ::SetPropW(hWnd, kChainProperty, this);
  if (m_pNext) {
    m_pfnPrevious = m_pNext->m_pfnPrevious;
  } else {
    m_pfnPrevious = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CHookWnd::ChainWndProc)));
  }
}

void CHookWnd::DetachHook() {
  CSingleLock guard(&ChainLock(), TRUE);
  HWND hWnd = m_hWndHooked;
  if (!hWnd) return;
  CHookWnd* first = FindChainEntry(hWnd);
  if (first == this) {
    if (m_pNext) {
      ::SetPropW(hWnd, kChainProperty, m_pNext);
    } else {
      ::RemovePropW(hWnd, kChainProperty);
      ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnPrevious));
    }
  } else {
    for (CHookWnd* hook = first; hook; hook = hook->m_pNext) {
      if (hook->m_pNext == this) {
        hook->m_pNext = m_pNext;
        break;
      }
    }
  }
  m_pHookedWnd = nullptr;
  m_hWndHooked = nullptr;
  m_pfnPrevious = nullptr;
  m_pNext = nullptr;
}

LRESULT CHookWnd::OnHookedMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pNext) return m_pNext->OnHookedMessage(message, wParam, lParam);
  return ::CallWindowProcW(m_pfnPrevious, m_hWndHooked, message, wParam, lParam);
}

LRESULT CHookWnd::PassOn() {
  const MSG* current = CWnd::GetCurrentMessage();
  return CHookWnd::OnHookedMessage(current->message, current->wParam, current->lParam);
}

CHookWnd* CHookWnd::FindChainEntry(HWND hWnd) {
  return static_cast<CHookWnd*>(::GetPropW(hWnd, kChainProperty));
}

void CHookWnd::DetachAllHooks(HWND hWnd) {
  while (CHookWnd* hook = FindChainEntry(hWnd)) hook->DetachHook();
}

LRESULT CALLBACK CHookWnd::ChainWndProc(HWND hWnd, UINT message, WPARAM wParam,
                                        LPARAM lParam) noexcept {
  // The hooks' handlers and PassOn read the framework's current-message record.
  MSG* record = AfxGetLastSentMessage();
  const MSG saved = *record;
  record->hwnd = hWnd;
  record->message = message;
  record->wParam = wParam;
  record->lParam = lParam;
  LRESULT result = 0;
  CHookWnd* hook = FindChainEntry(hWnd);
  try {
    if (!hook) {
      result = ::DefWindowProcW(hWnd, message, wParam, lParam);
    } else if (message == WM_NCDESTROY) {
      // Unhook first: the window's own procedure may free its object here.
      WNDPROC previous = hook->m_pfnPrevious;
      DetachAllHooks(hWnd);
      result = ::CallWindowProcW(previous, hWnd, message, wParam, lParam);
    } else {
      result = hook->OnHookedMessage(message, wParam, lParam);
    }
  } catch (CException* e) {
    ReportSwallowed(message, e, nullptr);
    e->Delete();
  } catch (const std::exception& e) {
    ReportSwallowed(message, nullptr, CString(e.what()));
  } catch (...) {
    ReportSwallowed(message, nullptr, nullptr);
  }
  *record = saved;
  return result;
}
