// Every kind of map entry reaches its handler, with its result; reflection goes to
// the child first; Default() reaches the window's own procedure.
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/window/TestApp.h"

namespace {

constexpr UINT kCmd = 40001;
constexpr UINT kCmdDisabled = 40002;
constexpr UINT kRangeFirst = 40010;
constexpr UINT kRangeLast = 40019;
constexpr UINT kPlainButton = 501;
constexpr UINT kReflectButton = 502;
constexpr UINT kNotifier = 503;
constexpr UINT kColorChild = 504;
constexpr UINT kUserMessage = WM_USER + 5;
const UINT g_registered = ::RegisterWindowMessageW(L"CorvaneTestRegistered");

std::vector<std::string> g_hits;

HBRUSH ChildBrush() {
  static HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
  return brush;
}

class CReflectChild : public CWnd {
 public:
  void OnReflectedClick() { g_hits.push_back("reflect-command"); }
  void OnReflectedNotify(NMHDR*, LRESULT* pResult) {
    g_hits.push_back("reflect-notify");
    *pResult = 77;
  }
  HBRUSH CtlColor(CDC* pDC, UINT nCtlColor) {
    g_hits.push_back(pDC && nCtlColor == CTLCOLOR_STATIC ? "reflect-color" : "reflect-color-bad");
    return ChildBrush();
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectChild, CWnd)
ON_CONTROL_REFLECT(BN_CLICKED, OnReflectedClick)
ON_NOTIFY_REFLECT(NM_DBLCLK, OnReflectedNotify)
ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

class CMapWnd : public CWnd {
 public:
  void OnCmd() { g_hits.push_back("command"); }
  void OnDisabledCmd() { g_hits.push_back("disabled-command"); }
  void OnUpdateDisabled(CCmdUI* pCmdUI) {
    g_hits.push_back("update");
    pCmdUI->Enable(FALSE);
  }
  void OnRange(UINT nID) { g_hits.push_back("range " + std::to_string(nID)); }
  void OnPlainClicked() { g_hits.push_back("control"); }
  void OnReflectButtonInParent() { g_hits.push_back("parent-saw-reflected"); }
  void OnNotifyClick(NMHDR* pNMHDR, LRESULT* pResult) {
    g_hits.push_back("notify " + std::to_string(pNMHDR->idFrom));
    *pResult = 42;
  }
  BOOL OnToolTipText(UINT nID, NMHDR*, LRESULT* pResult) {
    g_hits.push_back("notify-ex " + std::to_string(nID));
    *pResult = 7;
    return TRUE;
  }
  LRESULT OnUser(WPARAM wParam, LPARAM) {
    g_hits.push_back("message " + std::to_string(wParam));
    return 1234;
  }
  LRESULT OnRegistered(WPARAM, LPARAM) {
    g_hits.push_back("registered");
    return 5678;
  }
  BOOL OnNcCreate(LPCREATESTRUCT cs) {
    g_hits.push_back("nccreate");
    return CWnd::OnNcCreate(cs);
  }
  int OnCreate(LPCREATESTRUCT cs) {
    g_hits.push_back("create");
    return CWnd::OnCreate(cs);
  }
  void OnSize(UINT, int cx, int cy) {
    g_hits.push_back("size " + std::to_string(cx) + "x" + std::to_string(cy));
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMapWnd, CWnd)
ON_WM_NCCREATE()
ON_WM_CREATE()
ON_WM_SIZE()
ON_COMMAND(kCmd, OnCmd)
ON_UPDATE_COMMAND_UI(kCmdDisabled, OnUpdateDisabled)
ON_COMMAND(kCmdDisabled, OnDisabledCmd)
ON_COMMAND_RANGE(kRangeFirst, kRangeLast, OnRange)
ON_BN_CLICKED(kPlainButton, OnPlainClicked)
ON_BN_CLICKED(kReflectButton, OnReflectButtonInParent)
ON_NOTIFY(NM_CLICK, kNotifier, OnNotifyClick)
ON_NOTIFY_EX_RANGE(TTN_NEEDTEXTW, 0, 0xFFFF, OnToolTipText)
ON_MESSAGE(kUserMessage, OnUser)
ON_REGISTERED_MESSAGE(g_registered, OnRegistered)
END_MESSAGE_MAP()

// An edit control whose WM_SETTEXT handler passes on through Default().
class CDefaultEdit : public CWnd {
 public:
  LRESULT OnSetText(WPARAM, LPARAM) {
    g_hits.push_back("settext");
    return Default();
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDefaultEdit, CWnd)
ON_MESSAGE(WM_SETTEXT, OnSetText)
END_MESSAGE_MAP()

struct MapFixture : ::testing::Test {
  CMapWnd parent;
  CReflectChild reflectButton;
  CReflectChild colorChild;
  HWND plainButton = nullptr;
  HWND notifier = nullptr;
  HWND popup = nullptr;  // a sender whose control id is 0

  void SetUp() override {
    g_hits.clear();
    ASSERT_TRUE(
        parent.CreateEx(0, nullptr, L"map", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr));
    RECT rc{0, 0, 50, 20};
    plainButton = ::CreateWindowExW(0, L"BUTTON", L"plain", WS_CHILD, 0, 0, 50, 20, parent,
                                    reinterpret_cast<HMENU>(kPlainButton), nullptr, nullptr);
    ASSERT_TRUE(reflectButton.Create(L"BUTTON", L"reflect", WS_CHILD, rc, &parent, kReflectButton));
    ASSERT_TRUE(colorChild.Create(L"STATIC", L"color", WS_CHILD, rc, &parent, kColorChild));
    notifier = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, parent,
                                 reinterpret_cast<HMENU>(kNotifier), nullptr, nullptr);
    popup = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, parent, nullptr, nullptr,
                              nullptr);
    g_hits.clear();
  }
  void TearDown() override {
    if (popup) ::DestroyWindow(popup);
    parent.DestroyWindow();
  }
  LRESULT Notify(HWND from, UINT_PTR idFrom, UINT code) {
    NMHDR hdr{from, idFrom, code};
    return parent.SendMessage(WM_NOTIFY, idFrom, reinterpret_cast<LPARAM>(&hdr));
  }
};

TEST_F(MapFixture, CreationHookAttachesBeforeTheFirstMessages) {
  CMapWnd wnd;
  ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
  ASSERT_GE(g_hits.size(), 2u);
  EXPECT_EQ(g_hits[0], "nccreate");
  EXPECT_EQ(g_hits[1], "create");
  EXPECT_EQ(CWnd::FromHandlePermanent(wnd), &wnd);
  HWND h = wnd;
  wnd.DestroyWindow();
  EXPECT_EQ(wnd.m_hWnd, nullptr);  // detached at WM_NCDESTROY
  EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
}

TEST_F(MapFixture, EveryEntryKindReachesItsHandler) {
  struct Case {
    const char* name;
    std::function<LRESULT(MapFixture&)> send;
    std::vector<std::string> hits;
    LRESULT result;
  };
  const std::vector<Case> cases = {
      {"menu command",
       [](MapFixture& f) { return f.parent.SendMessage(WM_COMMAND, MAKEWPARAM(kCmd, 0), 0); },
       {"command"},
       1},
      {"disabled command is dropped after its update",
       [](MapFixture& f) {
         return f.parent.SendMessage(WM_COMMAND, MAKEWPARAM(kCmdDisabled, 0), 0);
       },
       {"update"},
       1},
      {"accelerator in a range",
       [](MapFixture& f) {
         return f.parent.SendMessage(WM_COMMAND, MAKEWPARAM(kRangeFirst + 3, 1), 0);
       },
       {"range 40013"},
       1},
      {"command outside every entry",
       [](MapFixture& f) { return f.parent.SendMessage(WM_COMMAND, MAKEWPARAM(40100, 0), 0); },
       {},
       0},
      {"control notification",
       [](MapFixture& f) {
         return f.parent.SendMessage(WM_COMMAND, MAKEWPARAM(kPlainButton, BN_CLICKED),
                                     reinterpret_cast<LPARAM>(f.plainButton));
       },
       {"control"},
       1},
      {"control notification reflected to the child first",
       [](MapFixture& f) {
         return f.parent.SendMessage(WM_COMMAND, MAKEWPARAM(kReflectButton, BN_CLICKED),
                                     reinterpret_cast<LPARAM>(f.reflectButton.m_hWnd));
       },
       {"reflect-command"},
       1},
      {"notification with result",
       [](MapFixture& f) { return f.Notify(f.notifier, kNotifier, NM_CLICK); },
       {"notify 503"},
       42},
      {"notification reflected with result",
       [](MapFixture& f) { return f.Notify(f.reflectButton, kReflectButton, NM_DBLCLK); },
       {"reflect-notify"},
       77},
      {"tool tip text by sender id 0 in a range",
       [](MapFixture& f) { return f.Notify(f.popup, 555, TTN_NEEDTEXTW); },
       {"notify-ex 0"},
       7},
      {"plain message",
       [](MapFixture& f) { return f.parent.SendMessage(kUserMessage, 9, 0); },
       {"message 9"},
       1234},
      {"registered message",
       [](MapFixture& f) { return f.parent.SendMessage(g_registered, 0, 0); },
       {"registered"},
       5678},
      {"window message cracked",
       [](MapFixture& f) {
         return f.parent.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(120, 80));
       },
       {"size 120x80"},
       0},
      {"colour message reflected by the default handler",
       [](MapFixture& f) {
         HDC hdc = ::GetDC(f.parent);
         LRESULT r = f.parent.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc),
                                          reinterpret_cast<LPARAM>(f.colorChild.m_hWnd));
         ::ReleaseDC(f.parent, hdc);
         return r == reinterpret_cast<LRESULT>(ChildBrush()) ? 1 : 0;
       },
       {"reflect-color"},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_hits.clear();
    LRESULT result = c.send(*this);
    EXPECT_EQ(g_hits, c.hits);
    EXPECT_EQ(result, c.result);
  }
}

TEST_F(MapFixture, UpdateDialogControlsRunsUpdateHandlersAndDisablesWithoutHandler) {
  HWND disabledCtl = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD, 0, 0, 10, 10, parent,
                                       reinterpret_cast<HMENU>(kCmdDisabled), nullptr, nullptr);
  HWND orphan = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD, 0, 0, 10, 10, parent,
                                  reinterpret_cast<HMENU>(40200), nullptr, nullptr);
  parent.UpdateDialogControls(&parent, FALSE);
  EXPECT_FALSE(::IsWindowEnabled(disabledCtl));
  EXPECT_TRUE(::IsWindowEnabled(orphan));
  EXPECT_TRUE(::IsWindowEnabled(plainButton));  // a click handler, no update handler
  parent.UpdateDialogControls(&parent, TRUE);
  EXPECT_FALSE(::IsWindowEnabled(orphan));
  EXPECT_TRUE(::IsWindowEnabled(plainButton));
}

TEST_F(MapFixture, MenuWalkUpdatesItemsAndPopups) {
  HMENU popupMenu = ::CreatePopupMenu();
  HMENU sub = ::CreatePopupMenu();
  ::AppendMenuW(sub, MF_STRING, 40300, L"no handler");
  ::AppendMenuW(popupMenu, MF_STRING, kCmdDisabled, L"disabled by update");
  ::AppendMenuW(popupMenu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(popupMenu, MF_STRING, 40301, L"no handler, not disabled");
  ::AppendMenuW(popupMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"sub");
  AfxUpdateMenuCmdUI(&parent, popupMenu);
  EXPECT_TRUE(::GetMenuState(popupMenu, 0, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_FALSE(::GetMenuState(popupMenu, 2, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_TRUE(::GetMenuState(popupMenu, 3, MF_BYPOSITION) & MF_GRAYED);
  ::DestroyMenu(popupMenu);
}

TEST(DefaultProcedure, DefaultReachesTheSubclassedControl) {
  g_hits.clear();
  HWND hEdit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                                 nullptr, nullptr);
  ASSERT_NE(hEdit, nullptr);
  CDefaultEdit edit;
  ASSERT_TRUE(edit.SubclassWindow(hEdit));
  edit.SetWindowText(L"through Default");
  CString text;
  edit.GetWindowText(text);
  EXPECT_EQ(text, L"through Default");
  EXPECT_EQ(g_hits, std::vector<std::string>{"settext"});
  EXPECT_EQ(edit.UnsubclassWindow(), hEdit);
  edit.SetWindowText(L"direct");  // no longer routed through the map
  EXPECT_EQ(g_hits.size(), 1u);
  ::DestroyWindow(hEdit);
}

TEST(HandleMaps, TemporariesAreFreedAndPermanentsKept) {
  HWND h = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
  CWnd* temp = CWnd::FromHandle(h);
  ASSERT_NE(temp, nullptr);
  EXPECT_EQ(CWnd::FromHandle(h), temp);
  EXPECT_EQ(CWnd::FromHandlePermanent(h), nullptr);
  EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
  AfxDeleteTempMaps();
  EXPECT_TRUE(::IsWindow(h));  // a temporary never destroys its window
  ::DestroyWindow(h);
}

}  // namespace

namespace {

// Exceptions from handlers stop at the window procedure.
class CThrowingWnd : public CWnd {
 public:
  bool m_throwOnCreate = false;
  int OnCreate(LPCREATESTRUCT) {
    if (m_throwOnCreate) AfxThrowInvalidArgException();
    return 0;
  }
  void OnFrameworkThrow() { AfxThrowFileException(CFileException::fileNotFound); }
  void OnStdThrow() { throw std::runtime_error("std"); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CThrowingWnd, CWnd)
ON_WM_CREATE()
ON_COMMAND(1, OnFrameworkThrow)
ON_COMMAND(2, OnStdThrow)
END_MESSAGE_MAP()

TEST(ExceptionContainment, HandlersThatThrowDoNotUnwindThroughUser32) {
  g_testApp.m_boxes.clear();
  CThrowingWnd failing;
  failing.m_throwOnCreate = true;
  EXPECT_FALSE(failing.CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
  EXPECT_EQ(failing.m_hWnd, nullptr);
  EXPECT_EQ(g_testApp.m_boxes.size(), 1u);  // reported once, then deleted

  CThrowingWnd wnd;
  ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
  EXPECT_EQ(wnd.SendMessage(WM_COMMAND, 1, 0), 0);
  EXPECT_EQ(wnd.SendMessage(WM_COMMAND, 2, 0), 0);
  EXPECT_EQ(g_testApp.m_boxes.size(), 2u);
  EXPECT_TRUE(wnd.IsWindow());
  wnd.DestroyWindow();
}

}  // namespace

namespace {

class CTestBar : public CControlBar {
 public:
  CSize CalcFixedLayout(BOOL, BOOL) override { return CSize(0, 30); }
};

TEST(ControlBars, RepositionBarsDocksBarsAndGivesTheRestToTheLeftOver) {
  CWnd host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr));
  CTestBar top;
  CTestBar bottom;
  RECT rc{0, 0, 10, 10};
  ASSERT_TRUE(top.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, rc, &host, AFX_IDW_TOOLBAR));
  ASSERT_TRUE(bottom.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, rc, &host, AFX_IDW_STATUS_BAR));
  top.SetBarStyle(CBRS_TOP);
  bottom.SetBarStyle(CBRS_BOTTOM);
  CWnd rest;
  ASSERT_TRUE(rest.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, rc, &host, AFX_IDW_PANE_FIRST));

  RECT left{};
  host.RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, 0, CWnd::reposQuery,
                      &left);
  RECT client{};
  host.GetClientRect(&client);
  EXPECT_EQ(left.top, client.top + 30);
  EXPECT_EQ(left.bottom, client.bottom - 30);

  host.RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, AFX_IDW_PANE_FIRST);
  auto placed = [&](CWnd& w) {
    RECT r{};
    w.GetWindowRect(&r);
    host.ScreenToClient(&r);
    return r;
  };
  RECT t = placed(top);
  RECT b = placed(bottom);
  RECT m = placed(rest);
  EXPECT_EQ(t.top, 0);
  EXPECT_EQ(t.bottom, 30);
  EXPECT_EQ(t.right, client.right);
  EXPECT_EQ(b.top, client.bottom - 30);
  EXPECT_EQ(m.top, 30);
  EXPECT_EQ(m.bottom, client.bottom - 30);
  host.DestroyWindow();
}

DWORD WINAPI LookUpFromWorker(LPVOID param) {
  auto* target = static_cast<CWnd*>(param);
  bool ok = CWnd::FromHandlePermanent(target->m_hWnd) == target;
  HWND desktop = ::GetDesktopWindow();
  CWnd* temp = CWnd::FromHandle(desktop);  // this thread's own temporary
  ok = ok && temp && temp->m_hWnd == desktop && CWnd::FromHandlePermanent(desktop) == nullptr;
  return ok ? 1 : 0;
}

TEST(HandleMaps, PermanentLookupWorksFromAWorkerThread) {
  CWnd wnd;
  ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
  HANDLE thread = ::CreateThread(nullptr, 0, &LookUpFromWorker, &wnd, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ::WaitForSingleObject(thread, 10000);
  DWORD code = 0;
  ::GetExitCodeThread(thread, &code);
  ::CloseHandle(thread);
  EXPECT_EQ(code, 1u);
  wnd.DestroyWindow();
}

}  // namespace
