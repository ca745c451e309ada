// The folder picker: how the browser's callback reaches the handlers, the root, and live
// browsers ended with OK or Cancel on a preselected folder, a virtual item and nothing.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/win/WinApp.h"
#include "uikit/FolderDialog.h"

namespace {

struct Init {
  Init() {
    AfxWinInit(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
    ::OleInitialize(nullptr);  // the new dialog style needs OLE
  }
} g_init;

// A window that records the browser messages sent to it.
struct Recorder {
  struct Sent {
    UINT message;
    WPARAM wParam;
    std::wstring text;
  };
  static std::vector<Sent>& Log() {
    static std::vector<Sent> log;
    return log;
  }
  // When set, the recorder acts as a browser that takes the takeAt-th selection request
  // (and none before it) and reports it to this dialog's callback.
  static inline CFolderDialog* answerTo = nullptr;
  static inline size_t takeAt = 0;
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == BFFM_SETSELECTIONW || message == BFFM_SETSTATUSTEXTW)
      Log().push_back({message, wParam, reinterpret_cast<LPCWSTR>(lParam)});
    if (message == BFFM_SETSELECTIONW && answerTo && Log().size() == takeAt) {
      PIDLIST_ABSOLUTE item = ::ILCreateFromPathW(reinterpret_cast<LPCWSTR>(lParam));
      CFolderDialog::BrowserCallback(hwnd, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(item),
                                     reinterpret_cast<LPARAM>(answerTo));
      ::ILFree(item);
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
  Recorder() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FolderDialogTestRecorder";
    ::RegisterClassW(&wc);
    hwnd = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           wc.hInstance, nullptr);
    Log().clear();
  }
  ~Recorder() {
    ::DestroyWindow(hwnd);
    answerTo = nullptr;
  }
  HWND hwnd;
};

// Records which handler ran and the browser window it saw; can end a live browser.
class CProbeDialog : public CFolderDialog {
 public:
  using CFolderDialog::CFolderDialog;
  using CFolderDialog::m_browseInfo;
  using CFolderDialog::m_folderPath;
  using CFolderDialog::m_selectFolder;

  static inline HWND s_browser = nullptr;
  static inline int s_answer = 0;
  static inline std::wstring s_selected;  // path of the browser's last selection
  static inline std::wstring s_awaited;   // pressed once this is selected (or after a while)
  static inline int s_ticks = 0;
  // Pressed from a timer, as a user would, once the browser shows what it should: a busy
  // machine may fill the browser's tree late (every drive, Wine's Z: over the whole file
  // system among them), so it waits up to 90 s.
  static void CALLBACK Press(HWND, UINT, UINT_PTR id, DWORD) {
    if (!s_awaited.empty() && _wcsicmp(s_selected.c_str(), s_awaited.c_str()) != 0 &&
        ++s_ticks < 450)
      return;
    ::KillTimer(nullptr, id);
    ::SendMessageW(::GetDlgItem(s_browser, s_answer), BM_CLICK, 0, 0);
  }

  std::wstring calls;
  HWND seen = nullptr;
  HWND afterSelect = nullptr;
  int answer = 0;     // a button to press once the browser is ready (IDOK, IDCANCEL)
  int validate = -1;  // when set, OnBadFolderName answers this instead of the default
  PIDLIST_ABSOLUTE selectItem = nullptr;  // selected by item instead of by path

 protected:
  void OnBrowserReady() override {
    calls += L"R";
    seen = GetBrowserWindow();
    CFolderDialog::OnBrowserReady();  // the selection calls back at once
    afterSelect = GetBrowserWindow();
    if (selectItem)
      ::SendMessageW(GetBrowserWindow(), BFFM_SETSELECTIONW, FALSE,
                     reinterpret_cast<LPARAM>(selectItem));
    if (answer) {
      s_browser = seen;
      s_answer = answer;
      s_ticks = 0;
      ::SetTimer(nullptr, 0, 200, &Press);
    }
  }
  void OnBrowserSelection(PCIDLIST_ABSOLUTE item) override {
    calls += L"S";
    seen = GetBrowserWindow();
    WCHAR path[MAX_PATH]{};
    s_selected = item && ::SHGetPathFromIDListW(item, path) ? path : L"";
    CFolderDialog::OnBrowserSelection(item);
  }
  int OnBadFolderName(LPCWSTR text) override {
    calls += L"V:";
    calls += text;
    seen = GetBrowserWindow();
    return validate >= 0 ? validate : CFolderDialog::OnBadFolderName(text);
  }
  void OnBrowserSite(IUnknown*) override {
    calls += L"I";
    seen = GetBrowserWindow();
  }
};

// A folder of the test's own, away from the temporary folder: other tests create and
// delete entries there at the same time, and the browser's tree then fails to reach it.
CString TestFolder(LPCWSTR name) {
  ::CreateDirectoryW(L"C:\\corvane-folder-test", nullptr);
  CString path = CString(L"C:\\corvane-folder-test\\") + name;
  ::CreateDirectoryW(path, nullptr);
  return path;
}

TEST(FolderDialogCallback, EachBrowserMessageReachesItsHandlerWithTheWindowSetOnlyMeanwhile) {
  Recorder recorder;
  struct Case {
    UINT message;
    LPARAM lParam;
    const wchar_t* calls;
    int result;
  };
  const wchar_t bad[] = L"no such folder";
  const Case cases[] = {
      {BFFM_INITIALIZED, 0, L"R", 0},
      {BFFM_SELCHANGED, 0, L"S", 0},
      {BFFM_VALIDATEFAILEDW, reinterpret_cast<LPARAM>(bad), L"V:no such folder", 1},
      {BFFM_IUNKNOWN, 0, L"I", 0},
      {3, 0, L"", 0},  // BFFM_VALIDATEFAILEDA and the rest: ignored
      {99, 0, L"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    CProbeDialog dialog(L"Title");
    const int result = CFolderDialog::BrowserCallback(recorder.hwnd, c.message, c.lParam,
                                                      reinterpret_cast<LPARAM>(&dialog));
    EXPECT_EQ(dialog.calls, c.calls);
    EXPECT_EQ(result, c.result);
    if (*c.calls) {
      EXPECT_EQ(dialog.seen, recorder.hwnd);
    }
    EXPECT_EQ(dialog.GetBrowserWindow(), nullptr);
  }
  // A handler's own answer to a bad name goes back to the browser.
  CProbeDialog accepting(L"Title");
  accepting.validate = 0;
  EXPECT_EQ(CFolderDialog::BrowserCallback(recorder.hwnd, BFFM_VALIDATEFAILEDW,
                                           reinterpret_cast<LPARAM>(bad),
                                           reinterpret_cast<LPARAM>(&accepting)),
            0);
}

TEST(FolderDialogCallback, ReadySelectsTheStartFolderAndTheStatusFollowsOnlyWithItsFlag) {
  Recorder recorder;
  const CString folder = TestFolder(L"corvane-folder-ready");
  PIDLIST_ABSOLUTE item = ::ILCreateFromPathW(folder);
  ASSERT_NE(item, nullptr);

  CFolderDialog plain(L"Title", folder, nullptr, BIF_RETURNONLYFSDIRS);
  CFolderDialog::BrowserCallback(recorder.hwnd, BFFM_INITIALIZED, 0,
                                 reinterpret_cast<LPARAM>(&plain));
  CFolderDialog::BrowserCallback(recorder.hwnd, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(item),
                                 reinterpret_cast<LPARAM>(&plain));
  ASSERT_EQ(Recorder::Log().size(), 1u);  // no status without BIF_STATUSTEXT
  EXPECT_EQ(Recorder::Log()[0].message, static_cast<UINT>(BFFM_SETSELECTIONW));
  EXPECT_EQ(Recorder::Log()[0].wParam, static_cast<WPARAM>(TRUE));
  EXPECT_EQ(Recorder::Log()[0].text, folder.GetString());

  Recorder::Log().clear();
  CFolderDialog status(L"Title", nullptr, nullptr, BIF_STATUSTEXT);
  CFolderDialog::BrowserCallback(recorder.hwnd, BFFM_INITIALIZED, 0,
                                 reinterpret_cast<LPARAM>(&status));  // nothing to select
  CFolderDialog::BrowserCallback(recorder.hwnd, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(item),
                                 reinterpret_cast<LPARAM>(&status));
  PIDLIST_ABSOLUTE drives = nullptr;
  ASSERT_EQ(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives), S_OK);
  CFolderDialog::BrowserCallback(recorder.hwnd, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(drives),
                                 reinterpret_cast<LPARAM>(&status));  // no path: no status
  ASSERT_EQ(Recorder::Log().size(), 1u);
  EXPECT_EQ(Recorder::Log()[0].message, static_cast<UINT>(BFFM_SETSTATUSTEXTW));
  EXPECT_EQ(Recorder::Log()[0].text, folder.GetString());
  ::CoTaskMemFree(drives);
  ::ILFree(item);
}

// Runs this thread's messages for about ms milliseconds.
void PumpFor(DWORD ms) {
  const DWORD start = ::GetTickCount();
  MSG msg;
  while (::GetTickCount() - start < ms) {
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    ::Sleep(10);
  }
}

// A busy browser can drop the first selection: the start folder is asked for again until
// the browser reports it selected, and not once more after that.
TEST(FolderDialogCallback, TheStartFolderIsAskedForUntilTheBrowserReportsIt) {
  const CString folder = TestFolder(L"corvane-folder-again");
  struct Case {
    size_t takenAt;
    CString startFolder;
  };
  const Case cases[] = {
      {1, folder},          // taken at once: never asked again
      {3, folder},          // dropped twice
      {2, folder + L"\\"},  // reported without the trailing backslash
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.takenAt);
    Recorder recorder;
    CFolderDialog dialog(L"Title", c.startFolder, nullptr, BIF_RETURNONLYFSDIRS);
    Recorder::answerTo = &dialog;
    Recorder::takeAt = c.takenAt;
    CFolderDialog::BrowserCallback(recorder.hwnd, BFFM_INITIALIZED, 0,
                                   reinterpret_cast<LPARAM>(&dialog));
    PumpFor(200 * static_cast<DWORD>(c.takenAt + 3));
    EXPECT_EQ(Recorder::Log().size(), c.takenAt);
    for (const Recorder::Sent& sent : Recorder::Log())
      EXPECT_EQ(sent.text, c.startFolder.GetString());
  }
}

TEST(FolderDialogSetUp, TheRootIsReplacedOnlyByAFolderTheShellKnows) {
  CProbeDialog dialog(L"Title", nullptr, nullptr, 0x51);
  EXPECT_EQ(dialog.m_browseInfo.ulFlags, 0x51u);
  EXPECT_STREQ(dialog.m_browseInfo.lpszTitle, L"Title");
  EXPECT_EQ(dialog.m_browseInfo.pidlRoot, nullptr);
  const CString folder = TestFolder(L"corvane-folder-root");
  ASSERT_TRUE(dialog.SetBrowseRoot(folder));
  PCIDLIST_ABSOLUTE root = dialog.m_browseInfo.pidlRoot;
  ASSERT_NE(root, nullptr);
  WCHAR path[MAX_PATH]{};
  ASSERT_TRUE(::SHGetPathFromIDListW(root, path));
  EXPECT_EQ(CString(path).CompareNoCase(folder), 0);

  EXPECT_FALSE(dialog.SetBrowseRoot(L"Q:\\corvane\\no such folder\\"));
  EXPECT_EQ(dialog.m_browseInfo.pidlRoot, root);
  EXPECT_TRUE(dialog.SetBrowseRoot(nullptr));
  EXPECT_EQ(dialog.m_browseInfo.pidlRoot, nullptr);
}

TEST(FolderDialogSetUp, AStartFolderLongerThanTheBufferIsCutNotWrittenPastIt) {
  Recorder recorder;
  std::wstring longPath = L"C:\\";
  while (longPath.size() < 1000) longPath += L"abcdefghi\\";
  const std::wstring cut = longPath.substr(0, MAX_PATH - 1);
  CProbeDialog byConstructor(L"Title", longPath.c_str());
  CProbeDialog bySetter(L"Title");
  bySetter.SetInitialSelection(longPath.c_str());
  for (CProbeDialog* dialog : {&byConstructor, &bySetter}) {
    EXPECT_EQ(std::wstring(dialog->m_selectFolder), cut);
    EXPECT_EQ(dialog->m_folderPath[0], L'\0');  // the buffer after it is untouched
    // The browser is asked for the cut folder.
    Recorder::Log().clear();
    CFolderDialog::BrowserCallback(recorder.hwnd, BFFM_INITIALIZED, 0,
                                   reinterpret_cast<LPARAM>(dialog));
    ASSERT_EQ(Recorder::Log().size(), 1u);
    EXPECT_EQ(Recorder::Log()[0].text, cut);
  }
}

std::vector<std::wstring> g_reports;
void CaptureReport(LPCTSTR text) { g_reports.push_back(text); }

// Each handler throws something of its own.
class CThrowingDialog : public CFolderDialog {
 public:
  using CFolderDialog::CFolderDialog;

 protected:
  void OnBrowserReady() override { AfxThrowNotSupportedException(); }
  void OnBrowserSelection(PCIDLIST_ABSOLUTE) override { throw std::runtime_error("no path"); }
  int OnBadFolderName(LPCWSTR) override { throw 7; }
};

TEST(FolderDialogCallback, AnExceptionInAHandlerEndsAtTheCallbackButIsReported) {
  Recorder recorder;
  AfxSetSwallowedExceptionProc(CaptureReport);
  g_reports.clear();
  CThrowingDialog dialog(L"Title");
  struct Case {
    UINT message;
    const wchar_t* report;
  };
  const Case cases[] = {
      {BFFM_INITIALIZED, L"Folder browser callback, message 1: Operation not supported."},
      {BFFM_SELCHANGED, L"Folder browser callback, message 2: no path"},
      {BFFM_VALIDATEFAILEDW, L"Folder browser callback, message 4: an exception of unknown type"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    g_reports.clear();
    EXPECT_EQ(
        CFolderDialog::BrowserCallback(recorder.hwnd, c.message, reinterpret_cast<LPARAM>(L"x"),
                                       reinterpret_cast<LPARAM>(&dialog)),
        0);
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0], c.report);
    EXPECT_EQ(dialog.GetBrowserWindow(), nullptr);
  }
  AfxSetSwallowedExceptionProc(nullptr);
}

// Live browsers under the owner window of a real dialog-less top-level window.
class FolderDialogLive : public ::testing::Test {
 protected:
  void SetUp() override {
    owner = ::CreateWindowW(L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                            nullptr, nullptr, nullptr, nullptr);
    ownerWnd.Attach(owner);
  }
  void TearDown() override {
    ownerWnd.Detach();
    ::DestroyWindow(owner);
  }
  HWND owner = nullptr;
  CWnd ownerWnd;
};

TEST_F(FolderDialogLive, OkReturnsThePreselectedFolderAndCancelKeepsIt) {
  const CString folder = TestFolder(L"corvane-folder-live");
  CProbeDialog dialog(L"Pick a folder", L"", &ownerWnd, 0x51);
  dialog.SetBrowseRoot(nullptr);
  dialog.SetInitialSelection(folder);
  dialog.answer = IDOK;
  CProbeDialog::s_awaited = folder.GetString();
  EXPECT_EQ(dialog.DoModal(), IDOK);
  CProbeDialog::s_awaited.clear();
  EXPECT_EQ(dialog.GetChosenPath().CompareNoCase(folder), 0) << dialog.GetChosenPath().GetString();
  EXPECT_NE(dialog.calls.find(L"R"), std::wstring::npos);
  EXPECT_NE(dialog.seen, nullptr);
  EXPECT_EQ(dialog.afterSelect, dialog.seen);  // a nested selection call keeps the window
  EXPECT_TRUE(::IsWindowEnabled(owner));       // the owner is back once the browser is gone

  dialog.SetInitialSelection(L"C:\\");
  dialog.answer = IDCANCEL;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.GetChosenPath().CompareNoCase(folder), 0);
}

TEST_F(FolderDialogLive, AnItemWithoutAFileSystemPathGivesMinusOneAndKeepsThePath) {
  PIDLIST_ABSOLUTE drives = nullptr;
  ASSERT_EQ(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives), S_OK);
  CProbeDialog dialog(L"Pick anything", nullptr, &ownerWnd, 0);
  dialog.selectItem = drives;
  dialog.answer = IDOK;
  EXPECT_EQ(dialog.DoModal(), -1);
  EXPECT_TRUE(dialog.GetChosenPath().IsEmpty());
  ::CoTaskMemFree(drives);
}

}  // namespace
