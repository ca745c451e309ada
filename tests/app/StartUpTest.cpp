// Start-up without a CD-ROM drive, and a second start of the program.
#include <gtest/gtest.h>

#include "VeltraskDlg.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "resource.h"
#include "tests/window/BoxDriver.h"
#include "tests/window/TestApp.h"

namespace {

class NoLetters : public CDriveLetterSource {
 public:
  UINT DriveType(TCHAR) override { return DRIVE_NO_ROOT_DIR; }
};

// Writes the text of the first box with this caption to stderr and answers it.
void AnswerBoxOnce(const wchar_t* caption) {
  std::thread([caption] {
    if (HWND box = WaitForOwnWindow(caption, 30000)) {
      wchar_t text[512] = L"";
      ::GetDlgItemTextW(box, 0xFFFF, text, 512);
      fprintf(stderr, "box: %ls\n", text);
      fflush(stderr);
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  }).detach();
}

TEST(StartUp, WithoutACdRomLetterTheBoxShowsAndTheProcessEndsWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        AnswerBoxOnce(L"CD Drives NOT Found!");
        NoLetters none;
        CVeltraskDlg::s_pDriveLetterSource = &none;
        CVeltraskDlg dlg;
        dlg.Create(IDD_CORVANE_DIALOG);
      },
      ::testing::ExitedWithCode(1),
      "box: CD Drives NOT Found! Please Make Sure the Following Things:\n"
      "1. You have at Least One CD Drive Installed.");
}

// The program beside the test.
std::wstring ProgramPath() {
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.rfind(L'\\') + 1) + L"Corvane.exe";
}

// Runs the program and waits for it to end; false when it still ran after the wait.
bool RunsAndEnds(DWORD waitMs) {
  std::wstring command = L"\"" + ProgramPath() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    ADD_FAILURE() << "cannot start " << std::string(command.begin(), command.end()) << ": "
                  << ::GetLastError();
    return false;
  }
  // The second start restores this process's window, so this thread keeps answering.
  const DWORD end = ::GetTickCount() + waitMs;
  bool ended = false;
  while (!ended && static_cast<int>(end - ::GetTickCount()) > 0) {
    ended =
        ::MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0;
    PumpPending();
  }
  if (!ended) ::TerminateProcess(process.hProcess, 9);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return ended;
}

// A second start finds the running instance by the semaphore and the window property
// named after the program, brings that window back and ends.
TEST(StartUp, SecondInstanceRaisesTheFirstAndEnds) {
  HANDLE semaphore = ::CreateSemaphoreW(nullptr, 1, 1, L"Corvane");
  ASSERT_TRUE(semaphore);
  ASSERT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "Corvane runs";
  HWND first = ::CreateWindowExW(0, L"STATIC", L"first instance", WS_OVERLAPPEDWINDOW, 10, 10, 300,
                                 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(first);
  ::SetPropW(first, L"Corvane", reinterpret_cast<HANDLE>(1));
  ::ShowWindow(first, SW_SHOWMINIMIZED);
  PumpPending();
  ASSERT_TRUE(::IsIconic(first));

  EXPECT_TRUE(RunsAndEnds(30000));
  PumpPending();
  EXPECT_FALSE(::IsIconic(first));

  // Without a marked window the second start ends as quietly.
  ::RemovePropW(first, L"Corvane");
  ::ShowWindow(first, SW_SHOWMINIMIZED);
  PumpPending();
  EXPECT_TRUE(RunsAndEnds(30000));
  PumpPending();
  EXPECT_TRUE(::IsIconic(first));

  ::DestroyWindow(first);
  ::CloseHandle(semaphore);
}

// Whether a comes before b in the z-order of the top-level windows.
bool Above(HWND a, HWND b) {
  for (HWND w = ::GetWindow(::GetDesktopWindow(), GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
    if (w == a) return true;
    if (w == b) return false;
  }
  return false;
}

// While the first instance shows a pop-up over its disabled main window (the About box,
// say), a second start brings that pop-up to the front: above its owner, in the foreground.
TEST(StartUp, SecondInstanceBringsTheOpenPopUpToTheFront) {
  HANDLE semaphore = ::CreateSemaphoreW(nullptr, 1, 1, L"Corvane");
  ASSERT_TRUE(semaphore);
  ASSERT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "Corvane runs";
  const auto window = [](const wchar_t* title, DWORD style, int x, HWND owner) {
    return ::CreateWindowExW(0, L"STATIC", title, style | WS_VISIBLE, x, x, 320, 220, owner,
                             nullptr, nullptr, nullptr);
  };
  HWND first = window(L"first instance", WS_OVERLAPPEDWINDOW, 10, nullptr);
  ::SetPropW(first, L"Corvane", reinterpret_cast<HANDLE>(1));
  HWND popUp = window(L"About Corvane", WS_POPUP | WS_CAPTION | WS_SYSMENU, 60, first);
  ::EnableWindow(first, FALSE);
  ::SetForegroundWindow(popUp);
  PumpPending();
  ASSERT_EQ(::GetLastActivePopup(first), popUp);
  // The user started the program from elsewhere.
  HWND elsewhere = window(L"elsewhere", WS_OVERLAPPEDWINDOW, 30, nullptr);
  ::SetForegroundWindow(elsewhere);
  PumpUntil([&] { return ::GetForegroundWindow() == elsewhere; }, 2000);

  EXPECT_TRUE(RunsAndEnds(30000));
  PumpUntil([&] { return ::GetForegroundWindow() == popUp; }, 2000);
  PumpPending();
  EXPECT_EQ(::GetForegroundWindow(), popUp);
  EXPECT_TRUE(Above(popUp, first));
  EXPECT_TRUE(Above(popUp, elsewhere));

  ::DestroyWindow(elsewhere);
  ::DestroyWindow(popUp);
  ::DestroyWindow(first);
  ::CloseHandle(semaphore);
}

}  // namespace
