// The template-built message box: its buttons as laid out, and live boxes driven from a
// second thread (answers, Esc, the countdown, the disabled time, the check box, the
// remembered answer, Ctrl+C).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/window/BoxDriver.h"
#include "uikit/XMessageBox.h"

namespace {

struct ItemView {
  int id;
  std::wstring text;
  bool operator==(const ItemView& o) const { return id == o.id && text == o.text; }
};

std::vector<ItemView> Buttons(UINT style, const MessageBoxParams& params = MessageBoxParams()) {
  CXDialogTemplate box(nullptr, L"Message", L"Caption", style, params);
  std::vector<ItemView> buttons;
  for (const CXDialogItem* item : box.Items()) {
    if (item->m_classAtom == 0x0080 && item->m_id != kXmbIdCheckBox) {
      buttons.push_back({item->m_id, item->m_text.GetString()});
    }
  }
  return buttons;
}

void Report(LPCTSTR, DWORD) {}

TEST(XMessageBoxLayout, EachButtonSetHasItsButtonsInOrder) {
  struct Case {
    UINT style;
    std::vector<ItemView> buttons;
  };
  const Case cases[] = {
      {MB_OK, {{1, L"OK"}}},
      {MB_OKCANCEL, {{1, L"OK"}, {2, L"Cancel"}}},
      {MB_ABORTRETRYIGNORE, {{3, L"&Abort"}, {4, L"&Retry"}, {5, L"&Ignore"}}},
      {MB_YESNOCANCEL | kXmbYesToAll | kXmbNoToAll,
       {{6, L"&Yes"}, {19, L"Y&es to All"}, {7, L"&No"}, {20, L"N&o to All"}, {2, L"Cancel"}}},
      {MB_YESNO | kXmbNoToAll, {{6, L"&Yes"}, {7, L"&No"}, {20, L"N&o to All"}}},
      {MB_RETRYCANCEL, {{4, L"&Retry"}, {2, L"Cancel"}}},
      {MB_CANCELTRYCONTINUE, {{2, L"Cancel"}, {10, L"&Try Again"}, {11, L"&Continue"}}},
      {kXmbContinueAbort, {{11, L"&Continue"}, {3, L"&Abort"}}},
      {kXmbSkipSkipAllCancel, {{14, L"&Skip"}, {15, L"S&kip All"}, {2, L"Cancel"}}},
      {kXmbIgnoreIgnoreAllCancel, {{5, L"&Ignore"}, {16, L"I&gnore All"}, {2, L"Cancel"}}},
      {12, {{1, L"OK"}}},
      {MB_OKCANCEL | kXmbYesToAll, {{1, L"OK"}, {2, L"Cancel"}}},  // no Yes: no Yes to All
      {MB_OK | MB_HELP, {{1, L"OK"}, {300, L"&Help"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.style);
    EXPECT_EQ(Buttons(c.style), c.buttons);
  }
}

TEST(XMessageBoxLayout, CustomButtonsReplaceTheSetAndKeepHelpAndReport) {
  MessageBoxParams params;
  wcscpy_s(params.customButtons, L"Play the Track\nRip the Track\nCancel\n");
  EXPECT_EQ(
      Buttons(0x21000030, params),
      (std::vector<ItemView>{{23, L"Play the Track"}, {24, L"Rip the Track"}, {25, L"Cancel"}}));
  wcscpy_s(params.customButtons, L"One\nTwo\n");
  EXPECT_EQ(Buttons(MB_YESNO, params), (std::vector<ItemView>{{23, L"One"}, {24, L"Two"}}));
  wcscpy_s(params.customButtons, L"1\n2\n3\n4\n5\n6");  // at most four
  EXPECT_EQ(Buttons(MB_OK, params).size(), 4u);

  wcscpy_s(params.customButtons, L"Go");
  params.reportCallback = Report;
  wcscpy_s(params.reportCaption, L"Send");
  EXPECT_EQ(Buttons(MB_HELP, params),
            (std::vector<ItemView>{{23, L"Go"}, {300, L"&Help"}, {301, L"Send"}}));
}

TEST(XMessageBoxLayout, UserCaptionsReplaceTheirSlotsButNotAGivenReportCaption) {
  MessageBoxParams params;
  params.useUserCaptions = TRUE;
  wcscpy_s(params.userCaptions[11], L"Fine");  // OK
  wcscpy_s(params.userCaptions[12], L"Tell");  // Report, but the block names one
  wcscpy_s(params.reportCaption, L"Send");
  params.reportCallback = Report;
  EXPECT_EQ(Buttons(MB_OKCANCEL, params),
            (std::vector<ItemView>{{1, L"Fine"}, {2, L"Cancel"}, {301, L"Send"}}));
  params.reportCaption[0] = 0;
  EXPECT_EQ(Buttons(MB_OK, params), (std::vector<ItemView>{{1, L"Fine"}, {301, L"Tell"}}));
}

TEST(XMessageBoxLayout, DefaultButtonIconAndCheckBox) {
  struct Case {
    UINT style;
    int defaultId;
  };
  for (const Case c : {Case{MB_YESNOCANCEL | MB_DEFBUTTON3, 2}, Case{MB_YESNOCANCEL, 6},
                       Case{MB_OK | 0x500, 1}, Case{MB_OKCANCEL | MB_DEFBUTTON2, 2}}) {
    CXDialogTemplate box(nullptr, L"m", L"c", c.style, MessageBoxParams());
    EXPECT_EQ(box.DefaultButtonId(), c.defaultId) << std::hex << c.style;
    int defaults = 0;
    for (const CXDialogItem* item : box.Items()) {
      if (item->m_id == c.defaultId) {
        EXPECT_EQ(item->m_style & 0xF, DWORD{BS_DEFPUSHBUTTON});
      }
      if ((item->m_style & 0xF) == BS_DEFPUSHBUTTON) ++defaults;
    }
    EXPECT_EQ(defaults, 1);
  }

  struct CheckCase {
    UINT style;
    const wchar_t* text;
  };
  for (const CheckCase c : {CheckCase{kXmbDontAskAgain, L"Don't ask me again"},
                            CheckCase{kXmbDontTellAgain, L"Don't tell me again"},
                            CheckCase{kXmbDontShowAgain, L"Don't show again"}}) {
    CXDialogTemplate box(nullptr, L"m", L"c", c.style | MB_ICONEXCLAMATION, MessageBoxParams());
    const CXDialogItem* check = nullptr;
    const CXDialogItem* icon = nullptr;
    const CXDialogItem* ok = nullptr;
    for (const CXDialogItem* item : box.Items()) {
      if (item->m_id == kXmbIdCheckBox) check = item;
      if (item->m_id == kXmbIdIcon) icon = item;
      if (item->m_id == IDOK) ok = item;
    }
    ASSERT_NE(check, nullptr);
    ASSERT_NE(icon, nullptr);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(check->m_text, c.text);
    EXPECT_EQ(check->m_style & 0xF, DWORD{BS_AUTOCHECKBOX});
    EXPECT_GT(check->m_rect.top, ok->m_rect.bottom) << "below the button row";
    EXPECT_LE(check->m_rect.bottom, box.BoxSize().cy);
  }
  CXDialogTemplate plain(nullptr, L"m", L"c", MB_OK, MessageBoxParams());
  for (const CXDialogItem* item : plain.Items()) {
    EXPECT_NE(item->m_id, kXmbIdIcon);
    EXPECT_NE(item->m_id, kXmbIdCheckBox);
  }
}

// A long message is wrapped within the width limit, and the box holds everything.
TEST(XMessageBoxLayout, LongMessagesWrapAndEverythingFitsInTheBox) {
  const CString longText(L'w', 600);
  CString words;
  for (int i = 0; i < 120; ++i) words += L"word ";
  for (const CString& message : {words, longText}) {
    MessageBoxParams params;
    params.options = kXmbWide;
    CXDialogTemplate box(nullptr, message, L"c", MB_YESNOCANCEL | MB_ICONQUESTION, params);
    for (const CXDialogItem* item : box.Items()) {
      EXPECT_GE(item->m_rect.left, 0) << item->m_id;
      EXPECT_LE(item->m_rect.right, box.BoxSize().cx) << item->m_id;
      EXPECT_LE(item->m_rect.bottom, box.BoxSize().cy) << item->m_id;
    }
  }
  const LONG units = GetDialogBaseUnits();
  CXDialogTemplate box(nullptr, words, L"c", MB_OK, MessageBoxParams());
  EXPECT_LE(box.BoxSize().cx * LOWORD(units) / 4, GetSystemMetrics(SM_CXSCREEN) / 2 + 80 + 60);
}

TEST(XMessageBoxAnswer, ValueNameMapsTheModuleThroughTheAlphabet) {
  // 'A' at 0: (0 + 65) % 64 = 1 -> 'B'; 'B' at 1: (5 + 66) % 64 = 7 -> 'H'.
  EXPECT_EQ(XmbAnswerValueName(L"AB", 7), L"BH7");
  // 'z' (122) at 0: 122 % 64 = 58 -> 'w'.
  EXPECT_EQ(XmbAnswerValueName(L"z", 0), L"w0");
  EXPECT_EQ(XmbAnswerValueName(L"", 15), L"15");
}

// ---- Live boxes ----------------------------------------------------------------------

std::wstring Text(HWND hwnd) {
  wchar_t buffer[256] = L"";
  GetWindowTextW(hwnd, buffer, 256);
  return buffer;
}

void Click(HWND box, int id) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

void PressEscape(HWND box) {
  HWND focus = GetDlgItem(box, IDOK) ? GetDlgItem(box, IDOK) : GetWindow(box, GW_CHILD);
  PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 1);
  PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0000001);
}

TEST(XMessageBoxLive, AnswersWithThePressedButtonAndTheCheckBoxBit) {
  MessageBoxParams params;
  wcscpy_s(params.customButtons, L"Play the Track\nRip the Track\nCancel\n");
  struct Case {
    bool check;
    int button;
    int result;
  };
  for (const Case c :
       {Case{true, 24, 24 | 0x1000000}, Case{false, 23, 23}, Case{true, 25, 25 | 0x1000000}}) {
    BoxDriver driver(L"Choose Your Action", [c](HWND box) {
      if (c.check) {
        SendMessageW(GetDlgItem(box, kXmbIdCheckBox), BM_SETCHECK, BST_CHECKED, 0);
      }
      Click(box, c.button);
    });
    EXPECT_EQ(XMessageBox(nullptr, L"Which Action Do You Wish to Perform?", L"Choose Your Action",
                          0x21000030, &params),
              c.result);
    EXPECT_TRUE(driver.Found());
  }
}

TEST(XMessageBoxLive, EscapeEndsOnlyBoxesWithCancelOrALoneOK) {
  struct Case {
    UINT style;
    int result;
  };
  for (const Case c : {Case{MB_OK, IDOK}, Case{MB_OKCANCEL, IDCANCEL},
                       Case{MB_YESNOCANCEL, IDCANCEL}, Case{MB_YESNO, IDNO}}) {
    SCOPED_TRACE(c.style);
    BoxDriver driver(L"Esc", [](HWND box) {
      PressEscape(box);
      Sleep(300);
      // Still there only when Esc was refused: then No answers.
      if (IsWindow(box) && IsWindowVisible(box)) Click(box, IDNO);
    });
    EXPECT_EQ(XMessageBox(nullptr, L"Esc?", L"Esc", c.style | kXmbNoSound), c.result);
  }
}

TEST(XMessageBoxLive, TimeOutCountsDownOnTheDefaultButtonAndPressesIt) {
  std::vector<std::wstring> seen;
  BoxDriver driver(L"Countdown", [&seen](HWND box) {
    HWND ok = GetDlgItem(box, IDOK);
    while (IsWindow(ok)) {
      const std::wstring text = Text(ok);
      if (!text.empty() && (seen.empty() || seen.back() != text)) seen.push_back(text);
      Sleep(20);
    }
  });
  MessageBoxParams params;
  params.timeoutSeconds = 3;
  EXPECT_EQ(static_cast<UINT>(XMessageBox(nullptr, L"Soon", L"Countdown", MB_OK, &params)),
            IDOK | kXmbTimedOut);
  EXPECT_TRUE(driver.Found());
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(std::vector<std::wstring>(seen.begin(), seen.begin() + 3),
            (std::vector<std::wstring>{L"OK = 3", L"OK = 2", L"OK = 1"}));
}

TEST(XMessageBoxLive, AClickStopsTheCountdown) {
  BoxDriver driver(L"Stopped", [](HWND box) {
    PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    Sleep(2500);  // past the time-out
    EXPECT_EQ(Text(GetDlgItem(box, IDOK)), L"OK");
    Click(box, IDCANCEL);
  });
  MessageBoxParams params;
  params.timeoutSeconds = 2;
  EXPECT_EQ(XMessageBox(nullptr, L"Wait", L"Stopped", MB_OKCANCEL | kXmbNoSound, &params),
            IDCANCEL);
}

TEST(XMessageBoxLive, DisabledTimeGreysTheButtonsAndCountsInTheCaption) {
  std::vector<std::wstring> captions;
  bool disabledAtStart = false, helpEnabled = false, checkEnabled = false;
  BoxDriver driver(L"Careful", [&](HWND box) {
    disabledAtStart =
        !IsWindowEnabled(GetDlgItem(box, IDOK)) && !IsWindowEnabled(GetDlgItem(box, IDCANCEL));
    helpEnabled = IsWindowEnabled(GetDlgItem(box, kXmbIdHelp));
    checkEnabled = IsWindowEnabled(GetDlgItem(box, kXmbIdCheckBox));
    while (!IsWindowEnabled(GetDlgItem(box, IDOK))) {
      const std::wstring caption = Text(box);
      if (captions.empty() || captions.back() != caption) captions.push_back(caption);
      Sleep(20);
    }
    if (captions.empty() || captions.back() != Text(box)) captions.push_back(Text(box));
    Click(box, IDOK);
  });
  MessageBoxParams params;
  params.disabledSeconds = 2;
  EXPECT_EQ(XMessageBox(nullptr, L"Read this first", L"Careful",
                        MB_OKCANCEL | MB_HELP | kXmbDontShowAgain | kXmbNoSound, &params),
            IDOK);
  EXPECT_TRUE(disabledAtStart);
  EXPECT_TRUE(helpEnabled);
  EXPECT_TRUE(checkEnabled);
  EXPECT_EQ(captions,
            (std::vector<std::wstring>{L"Careful", L"Careful 2", L"Careful 1", L"Careful"}));
}

TEST(XMessageBoxLive, OwnerIsDisabledWhileTheBoxShowsAndTheReportButtonKeepsItOpen) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                               300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  static std::wstring s_reported;
  static DWORD s_data;
  MessageBoxParams params;
  params.reportData = 77;
  params.reportCallback = [](LPCTSTR message, DWORD data) {
    s_reported = message;
    s_data = data;
  };
  bool ownerDisabled = false;
  BoxDriver driver(L"Owned", [&](HWND box) {
    ownerDisabled = !IsWindowEnabled(owner);
    Click(box, kXmbIdReport);
    Sleep(200);
    EXPECT_TRUE(IsWindowVisible(box));
    Click(box, IDOK);
  });
  EXPECT_EQ(XMessageBox(owner, L"Something broke", L"Owned", MB_OK | kXmbNoSound, &params), IDOK);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(s_reported, L"Something broke");
  EXPECT_EQ(s_data, 77u);
  DestroyWindow(owner);
}

TEST(XMessageBoxLive, ACheckedAnswerIsRememberedOnlyWithCompanyAndModule) {
  MessageBoxParams params;
  wcscpy_s(params.company, L"CorvaneTests");
  params.callSiteModule = L"Caller.cpp";
  params.callSiteLine = 42;
  wchar_t program[MAX_PATH];
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  const std::wstring key =
      std::wstring(L"Software\\CorvaneTests\\") + (wcsrchr(program, L'\\') + 1) + L"\\XMessageBox";
  RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
  {
    BoxDriver driver(L"Remember", [](HWND box) {
      SendMessageW(GetDlgItem(box, kXmbIdCheckBox), BM_SETCHECK, BST_CHECKED, 0);
      Click(box, IDNO);
    });
    EXPECT_EQ(XMessageBox(nullptr, L"Again?", L"Remember", MB_YESNO | kXmbDontAskAgain, &params),
              IDNO | 0x1000000);
  }
  DWORD stored = 0, size = sizeof(stored);
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, key.c_str(), XmbAnswerValueName(L"Caller.cpp", 42),
                         RRF_RT_REG_DWORD, nullptr, &stored, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(stored, DWORD{IDNO | 0x1000000});
  // Asked again: the answer comes back without a box.
  EXPECT_EQ(XMessageBox(nullptr, L"Again?", L"Remember", MB_YESNO | kXmbDontAskAgain, &params),
            IDNO | 0x1000000);
  RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());

  // Without a company nothing is stored and the box shows every time.
  params.company[0] = 0;
  for (int i = 0; i < 2; ++i) {
    BoxDriver driver(L"Remember", [](HWND box) {
      SendMessageW(GetDlgItem(box, kXmbIdCheckBox), BM_SETCHECK, BST_CHECKED, 0);
      Click(box, IDYES);
    });
    EXPECT_EQ(XMessageBox(nullptr, L"Again?", L"Remember", MB_YESNO | kXmbDontAskAgain, &params),
              IDYES | 0x1000000);
    EXPECT_TRUE(driver.Found());
  }
}

// The clipboard's text, empty when it holds none.
std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) text = chars;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

TEST(XMessageBoxLive, CtrlCCopiesCaptionMessageAndButtons) {
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
  BoxDriver driver(L"Copy me", [](HWND box) {
    // The keys go to whichever window has the foreground, and another program's window
    // on the same display may take it between the two steps: then they are sent again.
    for (int attempt = 0; attempt < 10 && ClipboardText().empty(); ++attempt) {
      SetForegroundWindow(box);
      Sleep(100);
      if (GetForegroundWindow() != box) continue;
      INPUT keys[4] = {};
      for (INPUT& k : keys) k.type = INPUT_KEYBOARD;
      keys[0].ki.wVk = VK_CONTROL;
      keys[1].ki.wVk = 'C';
      keys[2].ki.wVk = 'C';
      keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
      keys[3].ki.wVk = VK_CONTROL;
      keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
      SendInput(4, keys, sizeof(INPUT));
      Sleep(300);
    }
    Click(box, IDRETRY);
  });
  EXPECT_EQ(XMessageBox(nullptr, L"Disk not ready", L"Copy me",
                        MB_RETRYCANCEL | kXmbDontTellAgain | kXmbNoSound),
            IDRETRY);
  const std::wstring text = ClipboardText();
  const std::wstring line = L"---------------------------\r\n";
  EXPECT_EQ(text, line + L"Copy me\r\n" + line + L"Disk not ready\r\n" + line +
                      L"Retry   Cancel   Don't tell me again   \r\n" + line);
}

}  // namespace
