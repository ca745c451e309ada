// The settings file's failures as the user meets them in the real main window (over a
// scripted drive): the error box at start-up when the file is there but cannot be read,
// and at exit when it cannot be written.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "FreeDBServer.h"
#include "VeltraskApp.h"
#include "VeltraskDlg.h"
#include "engine/OutputNaming.h"
#include "engine/SectorBlock.h"
#include "engine/Settings.h"
#include "resource.h"
#include "tests/app/MainDlgTestSupport.h"
#include "tests/engine/FakeCDLibrary.h"

namespace {

// Message boxes are answered OK at once; each is kept and written to stderr, where a
// death test's child (the exit ends its process) shows it to the parent.
class CBoxTestApp : public CWinApp {
 public:
  CBoxTestApp() : CWinApp(L"CorvaneSettingsBoxTests") {}
  int DoMessageBox(LPCTSTR prompt, UINT type, UINT) override {
    fprintf(stderr, "box: %ls (type 0x%x)\n", prompt, type);
    fflush(stderr);
    m_boxes.emplace_back(prompt, type);
    return IDOK;
  }
  std::vector<std::pair<std::wstring, UINT>> m_boxes;
} g_boxApp;

struct Init {
  Init() { AfxWinInit(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL); }
} g_init;

// Holds a settings file open without sharing, as another program may: it can be neither
// read nor written meanwhile. The file is made (empty) when missing and then removed again.
class LockedFile {
 public:
  explicit LockedFile(const CString& path) : m_path(path) {
    m_made = !::PathFileExistsW(path);
    m_handle = ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(m_handle, INVALID_HANDLE_VALUE) << ::GetLastError();
  }
  ~LockedFile() {
    if (m_handle != INVALID_HANDLE_VALUE) ::CloseHandle(m_handle);
    if (m_made) ::DeleteFileW(m_path);
  }

 private:
  CString m_path;
  bool m_made = false;
  HANDLE m_handle = INVALID_HANDLE_VALUE;
};

class TestDlg : public CVeltraskDlg {
 public:
  using CVeltraskDlg::OnExitApp;
};

const std::pair<std::wstring, UINT> kLoadBox{L"Error on loading settings!", MB_OK | MB_ICONERROR};

class SettingsBox : public ScriptedDriveTest {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    g_boxApp.m_boxes.clear();
    ScriptTheDrive(2);
    g_bTipPending = FALSE;  // the start-up tip is not part of these tests
  }

  // The main window as the program starts it, with the settings file the start-up finds.
  void Start() {
    ASSERT_TRUE(dlg.Create(IDD_CORVANE_DIALOG));
    dlg.ShowWindow(SW_SHOW);
    ASSERT_TRUE(WaitForRefresh());
  }

  void TearDown() override {
    WaitForRefresh();
    if (dlg.m_hWnd) dlg.DestroyWindow();
    ForgetTheDrive();
  }

  // The settings file the start-up reads.
  static CString SettingsFile() {
    CString folder;
    EXPECT_TRUE(GetSettingsFolder(folder));
    EXPECT_TRUE(CreateDirectoryPath(folder));
    return folder + L"\\" + kSettingsFileName;
  }

  TestDlg dlg;
};

// A file held by another program shows the error box, and the start-up goes on to a
// working window; a readable file loads without a word. (The warning line comes before
// the event log has started, so only the box tells.)
TEST_F(SettingsBox, StartUpShowsTheBoxWhenTheFileCannotBeRead) {
  const CString ini = SettingsFile();
  {
    LockedFile locked(ini);
    Start();
  }
  const std::vector<std::pair<std::wstring, UINT>> boxes = g_boxApp.m_boxes;
  EXPECT_NE(std::find(boxes.begin(), boxes.end(), kLoadBox), boxes.end());
  EXPECT_EQ(dlg.m_listTracks.GetItemCount(), 2);

  dlg.DestroyWindow();
  g_boxApp.m_boxes.clear();
  const bool made = !::PathFileExistsW(ini);
  if (made) ::CloseHandle(::CreateFileW(ini, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  TestDlg second;
  ASSERT_TRUE(second.Create(IDD_CORVANE_DIALOG));
  ASSERT_TRUE(WaitForRefresh());
  second.DestroyWindow();
  if (made) ::DeleteFileW(ini);
  EXPECT_EQ(std::find(g_boxApp.m_boxes.begin(), g_boxApp.m_boxes.end(), kLoadBox),
            g_boxApp.m_boxes.end());
}

// The exit writes the settings; when the file is held by another program the error box
// shows, and the exit goes on to its end (exit code 1).
TEST_F(SettingsBox, ExitShowsTheBoxWhenTheFileCannotBeWrittenAndGoesOn) {
  Start();
  // The child (where the exit runs) cannot clean up after itself: one folder for both.
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const CString scratch = CString(temp) + L"corvane-settings-box";
  ::CreateDirectoryW(scratch, nullptr);
  EXPECT_EXIT(
      {
        g_strSettingsFolder = scratch;
        SaveAlbumInfo = FALSE;
        WriteLog = FALSE;
        LockedFile locked(scratch + L"\\" + kSettingsFileName);
        dlg.OnExitApp();
      },
      ::testing::ExitedWithCode(1), "box: Error on saving settings! \\(type 0x10\\)");
  ::DeleteFileW(scratch + L"\\" + kSettingsFileName);
  ::RemoveDirectoryW(scratch);
}

}  // namespace
