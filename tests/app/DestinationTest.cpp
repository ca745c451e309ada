// The track list's Destination column against what the rip writes, in the real main
// window over a generated disc (a data track, then three audio tracks) behind a Wine
// CD-ROM letter.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "EventLog.h"
#include "VeltraskDlg.h"
#include "engine/CDDrive.h"
#include "engine/OutputNaming.h"
#include "engine/RippingProgress.h"
#include "engine/Settings.h"
#include "resource.h"
#include "tests/app/MainDlgTestSupport.h"
#include "tests/app/MainWindowOnDisc.h"
#include "tests/window/TestApp.h"

namespace {

const int32_t kAudioSectors[] = {75, 38, 60};  // rows 1 to 3; row 0 is the data track

// Closes the job window once its job has stopped.
void CALLBACK CloseJobTimer(HWND, UINT, UINT_PTR, DWORD) noexcept { CloseStoppedJob(); }

class TestDlg : public CVeltraskDlg {
 public:
  using CVeltraskDlg::OnRip;
};

class Destination : public MainWindowOnDisc<TestDlg> {
 protected:
  static void SetUpTestSuite() { DefineDisc(L"VUTSNM", APP_DEST_DISC); }
  static void TearDownTestSuite() { RemoveDisc(); }

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(OpenOnDisc(4, [] {
      RipToWavFiles(WindowsPath(APP_DEST_OUT));  // the cases choose their names
      Separator = L"-";
      M3U = TRUE;
    }));
    m_timer = SetTimer(nullptr, 0, 10, CloseJobTimer);
  }

  void TearDown() override {
    KillTimer(nullptr, m_timer);
    dlg.DestroyWindow();
  }

  std::vector<std::wstring> Destinations() {
    std::vector<std::wstring> texts;
    for (int row = 0; row < dlg.m_listTracks.GetItemCount(); ++row)
      texts.push_back(dlg.m_listTracks.GetItemText(row, 6).GetString());
    return texts;
  }

  UINT_PTR m_timer = 0;
};

// A record with a titled, an empty-titled and an untitled track (the record has no title
// for the last row), in styles that leave fields empty: every row shows a path (the
// untitled one under the title the list shows, the empty artist or album under the
// placeholder names) and is ripped to exactly that path.
TEST_F(Destination, TheColumnShowsWhatTheRipWrites) {
  struct Case {
    const char* name;
    short style;
    const wchar_t* artist;
    const wchar_t* album;
  };
  const Case cases[] = {
      {"number and title", 3, L"Artist", L"Album"},
      {"title alone", 2, L"Artist", L"Album"},
      {"folders, no artist", 11, L"", L"Album"},
      {"folders, no album", 9, L"Artist", L""},
  };
  const std::wstring root = WindowsPath(APP_DEST_OUT);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    std::filesystem::create_directories(root);
    DesDir = (root + L"\\").c_str();
    FileStyle = c.style;
    g_cddbRecord.m_artist = c.artist;
    g_cddbRecord.m_title = c.album;
    g_cddbRecord.m_trackTitles.RemoveAll();
    for (const wchar_t* title : {L"Data", L"One", L""}) g_cddbRecord.m_trackTitles.Add(title);
    dlg.RefreshDestinations();
    const std::vector<std::wstring> shown = Destinations();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0], L"Not an audio track");
    EXPECT_FALSE(shown[1].empty());
    EXPECT_FALSE(shown[2].empty());
    EXPECT_EQ(shown[3].substr(shown[3].rfind(L'\\') + 1),
              c.style == 2 || c.style == 9 ? L"Track04.wav" : L"04-Track04.wav");
    EXPECT_EQ(shown[1].find(L"\\\\"), std::wstring::npos);

    for (int row = 0; row < 4; ++row) dlg.m_listTracks.SetCheck(row, row > 0);
    const INT_PTR from = LogSize();
    dlg.OnRip();
    ASSERT_EQ(g_pRippingProgress, nullptr);

    std::vector<std::wstring> ripped;
    const std::wstring prefix = L"Rip track(s) to \"";
    bool stopped = false;
    for (const LogLine& entry : LogFrom(from)) {
      const std::wstring& line = entry.second;
      if (line.rfind(prefix, 0) == 0)
        ripped.push_back(line.substr(prefix.size(), line.size() - prefix.size() - 1));
      stopped |= line == L"An error occurred while encoding";
    }
    const std::vector<std::wstring> expected = {shown[1], shown[2], shown[3]};
    EXPECT_EQ(ripped, expected);
    EXPECT_FALSE(stopped) << "the untitled row stopped the job";
    for (int row = 1; row <= 3; ++row) {
      std::error_code error;
      EXPECT_EQ(std::filesystem::file_size(shown[row], error),
                44 + kAudioSectors[row - 1] * 2352ull)
          << std::string(shown[row].begin(), shown[row].end());
    }
    // The playlist is named after the album; without one after the placeholder album.
    const std::wstring folder = shown[1].substr(0, shown[1].rfind(L'\\'));
    CString album(c.album);
    if (album.IsEmpty()) album.Format(L"Unknown Album %08x", g_dwDiscId);
    const std::wstring playlist = folder + L"\\" + album.GetString() + L".m3u";
    std::string lines;
    for (int row = 1; row <= 3; ++row)
      lines +=
          std::string(shown[row].begin() + shown[row].rfind(L'\\') + 1, shown[row].end()) + "\r\n";
    EXPECT_EQ(ReadBytes(playlist), lines);
  }
}

}  // namespace
