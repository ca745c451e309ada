// The real main window over a generated disc behind a Wine CD-ROM letter.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "VeltraskDlg.h"
#include "engine/Settings.h"
#include "platform/tools/WineDrive.h"
#include "resource.h"
#include "tests/window/TestApp.h"

// A Linux path as Wine's Z: drive shows it.
inline std::wstring WindowsPath(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

// Bytes of the file from offset on, all of them or bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::wstring& path, long offset = 0, long bytes = -1) {
  std::string data;
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return data;
  fseek(f, 0, SEEK_END);
  const long size = ftell(f);
  if (bytes < 0 || offset + bytes > size) bytes = size > offset ? size - offset : 0;
  data.resize(bytes);
  fseek(f, offset, SEEK_SET);
  data.resize(fread(data.data(), 1, data.size(), f));
  fclose(f);
  return data;
}

// Rips go to folder as WAV files at the disc's own rate, stereo, named by track number
// ("01.wav"), without a playlist.
inline void RipToWavFiles(const std::wstring& folder) {
  OutputFormat = 1;
  SubFormat = 1;
  Channel = TRUE;
  Freq = kCDRateIndex;
  FileStyle = 0;  // <Tracknum>
  M3U = FALSE;
  DesDir = (folder + L"\\").c_str();
}

// Use: derive the fixture from MainWindowOnDisc<TestDlg> (TestDlg: the window with the
// handlers the tests call made public), define the letter once per suite and open the
// window in SetUp:
//   static void SetUpTestSuite() { DefineDisc(L"WVUTSN", APP_PLAY_DISC); }
//   static void TearDownTestSuite() { RemoveDisc(); }
//   void SetUp() override {
//     ASSERT_NO_FATAL_FAILURE(OpenOnDisc(3, [] { /* settings the first refresh reads */ }));
//   }
//   void TearDown() override { dlg.DestroyWindow(); }
// Select and DoubleClick act on the track list as the user does.
// OpenOnDisc shows `dlg` with this disc's drive chosen and the album lookup off, and
// waits until the refresh has listed rows rows.
template <typename Dlg>
class MainWindowOnDisc : public ::testing::Test {
 protected:
  // One free letter of letters over the disc folder; s_letter stays 0 when none was free.
  static void DefineDisc(const wchar_t* letters, const char* disc) {
    s_letter = cdgrab::DefineFreeWineCdDrive(letters, disc);
    s_owner = s_letter != 0;
  }
  static void RemoveDisc() {
    if (s_owner) cdgrab::RemoveWineDrive(s_letter);
    s_owner = false;
  }

  void OpenOnDisc(int rows, const std::function<void()>& beforeRefresh = {}) {
    ASSERT_NE(s_letter, 0) << "no Wine drive letter could be defined";
    g_bTipPending = FALSE;  // the start-up tip is not part of these tests
    ASSERT_TRUE(dlg.Create(IDD_CORVANE_DIALOG));
    dlg.ShowWindow(SW_SHOW);
    // The first refresh is posted: what is set here is in time for it. Other test
    // programs may have discs on other letters at the same time: this one's is chosen.
    const CString letter = CString(s_letter) + L":";
    bool listed = false;
    for (int i = 0; i < g_driveLetters.GetSize(); ++i) {
      if (g_driveLetters[i] != letter) continue;
      DriveNum = static_cast<short>(i);
      dlg.m_comboDrive.SetCurSel(i);
      listed = true;
    }
    ASSERT_TRUE(listed) << "the disc's letter is not among the drives";
    AlbumInfoSource = 2;
    LoadAlbumInfo = FALSE;
    SaveAlbumInfo = FALSE;
    if (beforeRefresh) beforeRefresh();
    ASSERT_TRUE(PumpUntil([this, rows] {
      return !g_bBusy && dlg.m_listTracks.GetItemCount() == rows;
    })) << "the disc did not show";
  }

  // The row alone selected.
  void Select(int row) {
    dlg.m_listTracks.SetItemState(-1, 0, LVIS_SELECTED);
    dlg.m_listTracks.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
  }

  // A double-click on the row as the track list reports it (Dlg makes OnDblclkTrackList
  // public); -1 is the empty area below the rows.
  void DoubleClick(int row) {
    NMITEMACTIVATE item{};
    item.hdr.hwndFrom = dlg.m_listTracks.m_hWnd;
    item.hdr.idFrom = IDC_LIST_TRACKS;
    item.hdr.code = NM_DBLCLK;
    item.iItem = row;
    LRESULT result = 1;
    dlg.OnDblclkTrackList(&item.hdr, &result);
    EXPECT_EQ(result, 0);
  }

  inline static wchar_t s_letter = 0;
  inline static bool s_owner = false;  // this process defined the letter
  Dlg dlg;
};
