// The window-procedure hook chain on a plain window with a recording procedure:
// order of the hooks, relinking on detach, restoring the procedure, destruction
// of the window, PassOn with nested messages, a second attach, and exceptions
// that end at the chain.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/win/WinApp.h"
#include "uikit/HookWnd.h"

namespace {

constexpr UINT kProbe = WM_APP + 1;   // every hook records it and passes it on
constexpr UINT kNested = WM_APP + 2;  // the "inner" hook sends kProbe from inside, then PassOn

std::vector<std::string> g_log;

LRESULT CALLBACK RecordingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbe || message == kNested)
    g_log.push_back("window " + std::to_string(message - WM_APP) + " " + std::to_string(wParam) +
                    " " + std::to_string(lParam));
  if (message == WM_NCDESTROY) g_log.push_back("window ncdestroy");
  return message == kProbe ? 7 : ::DefWindowProcW(hWnd, message, wParam, lParam);
}

class CRecordingHook : public CHookWnd {
 public:
  explicit CRecordingHook(std::string name, bool swallow = false)
      : m_name(std::move(name)), m_swallow(swallow) {}
  LRESULT OnHookedMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kProbe) {
      g_log.push_back(m_name);
      if (m_swallow) return 99;
      // A chain that leads back to this hook would pass the message round for ever.
      if (++m_depth > 3) {
        g_log.push_back(m_name + " again and again");
        --m_depth;
        return -1;
      }
      const LRESULT result = CHookWnd::OnHookedMessage(message, wParam, lParam);
      --m_depth;
      return result;
    }
    if (message == kNested) {
      g_log.push_back(m_name + " nested");
      ::SendMessageW(m_pHookedWnd->m_hWnd, kProbe, 1, 2);
      return PassOn();
    }
    return CHookWnd::OnHookedMessage(message, wParam, lParam);
  }
  CWnd* Hooked() const { return m_pHookedWnd; }
  std::string m_name;
  bool m_swallow;
  int m_depth = 0;
};

struct Init {
  Init() {
    AfxWinInit(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &RecordingProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"HookWndTestWindow";
    ::RegisterClassW(&wc);
  }
} g_init;

class HookWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    hwnd = ::CreateWindowExW(0, L"HookWndTestWindow", L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                             nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr);
    wnd.m_hWnd = hwnd;
  }
  void TearDown() override {
    if (::IsWindow(hwnd)) ::DestroyWindow(hwnd);
    wnd.m_hWnd = nullptr;
  }
  WNDPROC CurrentProc() const {
    return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  }
  LRESULT Probe() { return ::SendMessageW(hwnd, kProbe, 3, 4); }

  HWND hwnd = nullptr;
  CWnd wnd;
};

using Log = std::vector<std::string>;

TEST_F(HookWndTest, NewestHookSeesTheMessageFirstAndTheWindowLast) {
  CRecordingHook older("older"), newer("newer");
  older.AttachHook(&wnd);
  newer.AttachHook(&wnd);
  EXPECT_EQ(CHookWnd::FindChainEntry(hwnd), &newer);
  EXPECT_EQ(Probe(), 7);
  EXPECT_EQ(g_log, (Log{"newer", "older", "window 1 3 4"}));

  // A hook that does not pass the message on ends its journey.
  g_log.clear();
  newer.m_swallow = true;
  EXPECT_EQ(Probe(), 99);
  EXPECT_EQ(g_log, (Log{"newer"}));
  newer.DetachHook();
  older.DetachHook();
}

TEST_F(HookWndTest, DetachingRelinksTheChainAndTheLastRestoresTheProcedure) {
  const WNDPROC original = CurrentProc();
  struct Case {
    const char* name;
    bool detachNewerFirst;
  };
  for (const Case& test : {Case{"newer first", true}, Case{"older first", false}}) {
    SCOPED_TRACE(test.name);
    CRecordingHook older("older"), newer("newer");
    older.AttachHook(&wnd);
    newer.AttachHook(&wnd);
    EXPECT_NE(CurrentProc(), original);
    CRecordingHook& gone = test.detachNewerFirst ? newer : older;
    CRecordingHook& stays = test.detachNewerFirst ? older : newer;
    gone.DetachHook();
    EXPECT_FALSE(gone.IsHooked());
    EXPECT_EQ(gone.Hooked(), nullptr);
    EXPECT_EQ(CHookWnd::FindChainEntry(hwnd), &stays);
    g_log.clear();
    EXPECT_EQ(Probe(), 7);
    EXPECT_EQ(g_log, (Log{stays.m_name, "window 1 3 4"}));

    stays.DetachHook();
    EXPECT_EQ(CurrentProc(), original);
    EXPECT_EQ(::GetPropW(hwnd, L"HookWnd_P"), nullptr);
    g_log.clear();
    EXPECT_EQ(Probe(), 7);
    EXPECT_EQ(g_log, (Log{"window 1 3 4"}));
  }
}

TEST_F(HookWndTest, DestroyingTheWindowDetachesEveryHookAndStillDeliversNcDestroy) {
  CRecordingHook older("older"), newer("newer");
  older.AttachHook(&wnd);
  newer.AttachHook(&wnd);
  ::DestroyWindow(hwnd);
  EXPECT_FALSE(older.IsHooked());
  EXPECT_FALSE(newer.IsHooked());
  ASSERT_FALSE(g_log.empty());
  EXPECT_EQ(g_log.back(), "window ncdestroy");
}

TEST_F(HookWndTest, PassOnPassesTheMessageBeingHandledAfterANestedOne) {
  CRecordingHook older("older"), inner("inner");
  older.AttachHook(&wnd);
  inner.AttachHook(&wnd);
  ::SendMessageW(hwnd, kNested, 5, 6);
  // The nested probe runs the whole chain; PassOn then hands on kNested itself,
  // with its own parameters, to the older hook and the window.
  EXPECT_EQ(g_log, (Log{"inner nested", "inner", "older", "window 1 1 2", "older nested", "inner",
                        "older", "window 1 1 2", "window 2 5 6"}));
  older.DetachHook();
  inner.DetachHook();
}

TEST_F(HookWndTest, AHookDestroyedWhileAttachedLeavesTheChain) {
  const WNDPROC original = CurrentProc();
  {
    CRecordingHook transient("transient");
    transient.AttachHook(&wnd);
  }
  EXPECT_EQ(CurrentProc(), original);
  EXPECT_EQ(Probe(), 7);
}

TEST_F(HookWndTest, AttachingAnAttachedHookAgainIsRefused) {
  HWND other = ::CreateWindowExW(0, L"HookWndTestWindow", L"", WS_OVERLAPPED, 0, 0, 100, 100,
                                 nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  CWnd otherWnd;
  otherWnd.m_hWnd = other;

  CRecordingHook older("older"), hook("hook");
  older.AttachHook(&wnd);
  hook.AttachHook(&wnd);
  // Debug builds stop at the assertion; the others refuse without a word to the caller.
  EXPECT_DEBUG_DEATH(hook.AttachHook(&wnd), "");
  EXPECT_EQ(CHookWnd::FindChainEntry(hwnd), &hook);
  EXPECT_EQ(Probe(), 7);  // attached twice, the hook would pass the message to itself
  EXPECT_EQ(g_log, (Log{"hook", "older", "window 1 3 4"}));

  // Nor may it move to another window while it is in this one's chain.
  EXPECT_DEBUG_DEATH(hook.AttachHook(&otherWnd), "");
  EXPECT_EQ(hook.Hooked(), &wnd);
  EXPECT_EQ(CHookWnd::FindChainEntry(other), nullptr);
  EXPECT_EQ(reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(other, GWLP_WNDPROC)), &RecordingProc);

  hook.DetachHook();
  older.DetachHook();
  EXPECT_EQ(CurrentProc(), &RecordingProc);
  EXPECT_EQ(::GetPropW(hwnd, L"HookWnd_P"), nullptr);
  // A broken chain must fail here, not loop when the windows go: leave them bare.
  for (HWND window : {hwnd, other}) {
    ::RemovePropW(window, L"HookWnd_P");
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc));
  }
  otherWnd.m_hWnd = nullptr;
  ::DestroyWindow(other);
}

std::vector<std::wstring> g_reports;
void CaptureReport(LPCTSTR text) { g_reports.push_back(text); }

class CBrokenError : public CException {
 public:
  BOOL GetErrorMessage(LPTSTR text, UINT max, PUINT help) override {
    if (help) *help = 0;
    ::lstrcpynW(text, L"the hook broke", static_cast<int>(max));
    return TRUE;
  }
};

// Throws on kProbe: a framework exception, a standard one, or anything else.
class CThrowingHook : public CHookWnd {
 public:
  int kind = 0;
  LRESULT OnHookedMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kProbe) {
      if (kind == 0) throw new CBrokenError;
      if (kind == 1) throw std::runtime_error("standard trouble");
      throw 42;
    }
    return CHookWnd::OnHookedMessage(message, wParam, lParam);
  }
};

TEST_F(HookWndTest, AnExceptionInAHookEndsThereButIsReported) {
  AfxSetSwallowedExceptionProc(CaptureReport);
  g_reports.clear();
  CThrowingHook hook;
  hook.AttachHook(&wnd);
  const wchar_t* expected[] = {
      L"Window hook, message 0x8001: the hook broke",
      L"Window hook, message 0x8001: standard trouble",
      L"Window hook, message 0x8001: an exception of unknown type",
  };
  for (int kind = 0; kind < 3; ++kind) {
    hook.kind = kind;
    EXPECT_EQ(Probe(), 0);
    ASSERT_EQ(g_reports.size(), static_cast<size_t>(kind + 1));
    EXPECT_EQ(g_reports.back(), expected[kind]);
  }
  hook.DetachHook();
  AfxSetSwallowedExceptionProc(nullptr);
}

}  // namespace
