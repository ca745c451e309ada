// The fixture the rip job suites share: the generated discs behind one spare Wine drive
// letter, the naming and record settings both suites start from, and an output folder of
// the test's own. Each test loads the disc it needs.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/CDDrive.h"
#include "engine/CDLibrary.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"
#include "platform/tools/WineDrive.h"
#include "tests/engine/RipJobHarness.h"

class RipDiscTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_letter = cdgrab::DefineFreeWineCdDrive(cdgrab::kSpareLetters, RIP_TEST_DISCS "/main");
    if (!s_letter) return;
    FindCDDriveLetters();
    ListCDDrives();
    const CString letter = CString(s_letter) + L":";
    for (int i = 0; i < g_driveLetters.GetSize(); ++i) {
      if (g_driveLetters[i] == letter) s_drive = static_cast<short>(i);
    }
  }
  static void TearDownTestSuite() {
    if (CDHANDLE h = g_hCD.exchange(0)) CDLib().CloseCDHandle(h);
    if (s_letter) cdgrab::RemoveWineDrive(s_letter);
  }

  // A suite's own SetUp calls this first and stops on a fatal failure.
  void SetUp() override {
    ASSERT_NE(s_letter, 0) << "no Wine drive letter could be defined";
    ASSERT_GE(s_drive, 0) << "the virtual drive was not listed";
    FileStyle = 3;  // <Tracknum>-<Tracktitle>
    Separator = L"-";
    g_cddbRecord.m_title = L"Album";
    g_cddbRecord.m_trackTitles.RemoveAll();
    for (const wchar_t* title : {L"One", L"Two", L"Three"}) g_cddbRecord.m_trackTitles.Add(title);
    g_ripTestApp.m_boxes.clear();
    g_ripTestApp.m_answer = IDYES;
  }

  // Loads disc name into the drive; its table of contents is in g_toc afterwards.
  // "main": tracks 8 to 10 of 150, 77 and 41 sectors; "long" has two tracks of 3000.
  void LoadDisc(const char* name) {
    m_disc = name;
    ASSERT_EQ(cdgrab::DefineWineCdDrive(s_letter, std::string(RIP_TEST_DISCS) + "/" + name), 0u);
    DriveNum = s_drive;
    CString status;
    ASSERT_EQ(ReadDisc(status), DiscState::Audio) << status.GetString();
  }

  // An empty output folder of the test's own, as DesDir (with its final "\").
  std::wstring UseOutputFolder(const std::string& root, const std::string& name) {
    const std::wstring folder = WinPath(root + "/" + name);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder);
    DesDir = (folder + L"\\").c_str();
    return folder;
  }

  inline static wchar_t s_letter = 0;
  inline static short s_drive = -1;
  std::string m_disc;  // the loaded disc's name
};
