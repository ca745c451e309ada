// The options sheet as the Options command builds it, on the program's own page
// templates: which page it opens on, what each page shows of the settings, what Apply
// and OK write (and that nothing is written while a disc refresh runs), the Output page's
// style list, preview and Reset, and the Encoder page's lists per format.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "OptionPages.h"
#include "VeltraskDlg.h"
#include "engine/Settings.h"
#include "framework/win/WinApp.h"
#include "resource.h"
#include "tests/window/Picture.h"

namespace {

// Records message boxes and answers them as the test asks.
class COptionsTestApp : public CWinApp {
 public:
  COptionsTestApp() : CWinApp(L"CorvaneOptionsTests") {}
  int DoMessageBox(LPCTSTR prompt, UINT type, UINT) override {
    m_boxes.push_back(prompt);
    m_lastType = type;
    return m_answer;
  }
  std::vector<CString> m_boxes;
  UINT m_lastType = 0;
  int m_answer = IDNO;
} g_app;

struct Init {
  Init() {
    AfxWinInit(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
    ::OleInitialize(nullptr);
  }
} g_init;

void Pump() {
  MSG msg;
  for (int i = 0; i < 10000 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// Pumps until done() or about five seconds have passed.
template <typename Done>
bool PumpUntil(Done done) {
  for (int i = 0; i < 250; ++i) {
    Pump();
    if (done()) return true;
    ::Sleep(20);
  }
  return done();
}

CString Text(HWND hwnd) {
  WCHAR buffer[512]{};
  ::GetWindowTextW(hwnd, buffer, 512);
  return buffer;
}

CString ComboEntry(HWND combo, int index) {
  const int length = static_cast<int>(::SendMessageW(combo, CB_GETLBTEXTLEN, index, 0));
  if (length < 0) return L"<none>";
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  ::SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  return text.c_str();
}

int ComboCount(HWND combo) { return static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0)); }
int ComboSelection(HWND combo) {
  return static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

// The folder browser this thread shows: the enabled window with a folder tree (the sheet
// has a tree too, but the browser disables it). Not taken as the active window, which need
// not be the browser on a display shared with other programs.
BOOL CALLBACK NoteBrowser(HWND hwnd, LPARAM result) {
  if (!::IsWindowEnabled(hwnd) || !::FindWindowExW(hwnd, nullptr, L"SysTreeView32", nullptr))
    return TRUE;
  *reinterpret_cast<HWND*>(result) = hwnd;
  return FALSE;
}
HWND FindBrowser() {
  HWND found = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), &NoteBrowser, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Drives the folder browser a Browse button opens: once the browser's name box shows the
// awaited folder (or after at most 90 s, whatever it shows), presses the button.
struct BrowserDriver {
  static inline CString awaited;
  static inline int button = IDCANCEL;
  static inline int ticks = 0;
  static inline CString shownSelected;
  static constexpr int kMaxTicks = 450;  // 90 s at 200 ms

  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
    HWND browser = FindBrowser();
    HWND name = browser ? ::FindWindowExW(browser, nullptr, L"Edit", nullptr) : nullptr;
    if (name) shownSelected = Text(name);
    // The browser fills its tree with every drive first; Wine's Z: (the whole Unix file
    // system) can take tens of seconds before the preselected folder shows.
    if ((!name || shownSelected.CompareNoCase(awaited) != 0) && ++ticks < kMaxTicks) return;
    if (!browser) return;  // the budget is spent: the browser is answered once it is there
    ::KillTimer(nullptr, id);
    ::SendMessageW(::GetDlgItem(browser, button), BM_CLICK, 0, 0);
  }
  // Arms the driver: the next browser is answered with button.
  static void Arm(LPCWSTR folderName, int pressed) {
    awaited = folderName;
    button = pressed;
    ticks = 0;
    shownSelected.Empty();
    ::SetTimer(nullptr, 0, 200, &Tick);
  }
};

// Every setting at its default, with folders of the test's own.
void DefaultSettings() {
  LastPage = 1;
  AlbumInfoSource = 0;
  SaveAlbumInfo = 1;
  LoadAlbumInfo = 1;
  LocalCDDBDir = L"C:\\corvane-options\\Local CDDB";
  OutputFormat = 2;
  FileStyle = 11;
  Volume = 100;
  M3U = 1;
  FillTag = 1;
  WriteLog = 0;
  DesDir = L"C:\\corvane-options\\Music\\";
  Separator = L"-";
  SubFormat = 1;
  Freq = 7;
  Channel = 1;
  LameFreq = 7;
  LameBits = 11;
  LameChannel = 2;
  QualityCompression = 3;
}

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DefaultSettings();
    g_bBusy = FALSE;
    g_app.m_boxes.clear();
    g_app.m_answer = IDNO;
    parent.Attach(::CreateWindowW(L"STATIC", L"Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                  100, nullptr, nullptr, nullptr, nullptr));
  }
  void TearDown() override {
    options.reset();
    g_bBusy = FALSE;
    ::DestroyWindow(parent.Detach());
  }
  // The sheet as the command builds it, made modeless so the test can drive it.
  void Open() {
    options = std::make_unique<COptionsSheet>(&parent);
    ASSERT_TRUE(options->m_sheet.Create(&parent));
    options->m_sheet.ShowWindow(SW_SHOW);
    Pump();
  }
  void Show(int page) {
    options->m_sheet.SetActivePage(page);
    Pump();
  }
  HWND Sheet() { return options->m_sheet.m_hWnd; }
  HWND CurrentPage() {
    return reinterpret_cast<HWND>(::SendMessageW(Sheet(), PSM_GETCURRENTPAGEHWND, 0, 0));
  }
  void Press(int button) {
    ::SendMessageW(Sheet(), PSM_PRESSBUTTON, button, 0);
    Pump();
  }
  BOOL ApplyEnabled() { return ::IsWindowEnabled(::GetDlgItem(Sheet(), 0x3021)); }

  // Control helpers on a page.
  static HWND Item(CWnd& page, int id) { return ::GetDlgItem(page.m_hWnd, id); }
  static void Click(CWnd& page, int id) {
    ::SendMessageW(Item(page, id), BM_CLICK, 0, 0);
    Pump();
  }
  static bool Checked(CWnd& page, int id) {
    return ::SendMessageW(Item(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  static void Choose(CWnd& page, int id, int index) {
    ::SendMessageW(Item(page, id), CB_SETCURSEL, index, 0);
    ::SendMessageW(page.m_hWnd, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(Item(page, id)));
    Pump();
  }
  static void Type(CWnd& page, int id, LPCWSTR text) {
    ::SetWindowTextW(Item(page, id), text);
    Pump();
  }
  static bool Visible(CWnd& page, int id) {
    return (::GetWindowLongPtrW(Item(page, id), GWL_STYLE) & WS_VISIBLE) != 0;
  }

  CWnd parent;
  std::unique_ptr<COptionsSheet> options;
};

// ---- The sheet --------------------------------------------------------------------------

TEST_F(OptionsTest, TheSheetIsAFixedTreeOfThreePagesWithoutHelp) {
  Open();
  TreePropSheet::CTreePropSheetEx& sheet = options->m_sheet;
  EXPECT_TRUE(sheet.IsTreeShown());
  EXPECT_EQ(sheet.GetSplitter(), nullptr);
  EXPECT_EQ(sheet.GetResizeHook(), nullptr);
  EXPECT_FALSE(sheet.GetStyle() & WS_THICKFRAME);
  EXPECT_EQ(Text(Sheet()), L"Options");
  ASSERT_EQ(sheet.GetPageCount(), 3);
  const wchar_t* captions[] = {L"FreeDB", L"Output", L"Encoder"};
  for (int i = 0; i < 3; ++i) {
    Show(i);
    EXPECT_EQ(Text(CurrentPage()), captions[i]);
    EXPECT_FALSE(sheet.GetPage(i)->m_psp.dwFlags & PSP_HASHELP);
  }
  HWND help = ::GetDlgItem(Sheet(), IDHELP);
  EXPECT_TRUE(!help || !::IsWindowVisible(help));
}

TEST_F(OptionsTest, ItOpensOnTheLastPageShownAndKeepsTheOneShownLast) {
  struct Case {
    unsigned short lastPage;
    const wchar_t* opensOn;
  };
  // A hand-edited value beyond the pages opens the first.
  for (const Case c : {Case{2, L"Encoder"}, Case{0, L"FreeDB"}, Case{7, L"FreeDB"}}) {
    SCOPED_TRACE(c.lastPage);
    LastPage = c.lastPage;
    Open();
    EXPECT_EQ(Text(CurrentPage()), c.opensOn);
    options.reset();
  }
  Open();
  Show(1);
  EXPECT_EQ(LastPage, 1);
  Show(0);
  EXPECT_EQ(LastPage, 0);
  Press(PSBTN_CANCEL);
  EXPECT_EQ(LastPage, 0);
}

CString g_modalPageShown;

void CALLBACK CancelModalSheet(HWND, UINT, UINT_PTR id, DWORD) {
  HWND sheet = ::GetActiveWindow();
  if (!sheet || Text(sheet) != L"Options") return;
  ::KillTimer(nullptr, id);
  g_modalPageShown =
      Text(reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)));
  ::SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

// On a white frame a page paints its controls' text transparently on the window colour;
// otherwise the page's own colours stay.
TEST_F(OptionsTest, TheWhiteBackgroundFlagGivesTheWindowBrushAndTransparentText) {
  Open();
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    Show(i);
    auto* page = dynamic_cast<COptionsPage*>(options->m_sheet.GetPage(i));
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(page->HasWhiteBackground());
    HWND label = ::GetWindow(page->m_hWnd, GW_CHILD);
    HDC dc = ::GetDC(label);
    ::SetBkMode(dc, OPAQUE);
    const auto colour = [&] {
      return reinterpret_cast<HBRUSH>(::SendMessageW(page->m_hWnd, WM_CTLCOLORSTATIC,
                                                     reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(label)));
    };
    EXPECT_NE(colour(), ::GetSysColorBrush(COLOR_WINDOW));
    EXPECT_EQ(::GetBkMode(dc), OPAQUE);
    page->SetWhiteBackground(TRUE);
    EXPECT_EQ(colour(), ::GetSysColorBrush(COLOR_WINDOW));
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
    ::ReleaseDC(label, dc);
  }
}

// The modal run the command makes: opened on the Encoder page, cancelled from there.
TEST_F(OptionsTest, TheModalSheetOpensOnTheStoredPageAndCancelLeavesItAsLastPage) {
  LastPage = 2;
  ::SetTimer(nullptr, 0, 100, &CancelModalSheet);
  EXPECT_EQ(ShowOptionsSheet(&parent), IDCANCEL);
  const CString s_shown = g_modalPageShown;
  EXPECT_EQ(s_shown, L"Encoder");
  EXPECT_EQ(LastPage, 2);
  EXPECT_TRUE(parent.IsWindowEnabled());
}

// ---- FreeDB page -------------------------------------------------------------------------

TEST_F(OptionsTest, FreeDBPageShowsTheSettingsAndApplyWritesWhatWasChanged) {
  AlbumInfoSource = 2;
  SaveAlbumInfo = 0;
  LocalCDDBDir = L"C:\\Cache";
  LastPage = 0;
  Open();
  CFreeDBOptionDlg& page = options->m_freeDB;
  EXPECT_FALSE(Checked(page, IDC_FREEDB_BOTH));
  EXPECT_FALSE(Checked(page, IDC_FREEDB_REMOTE));
  EXPECT_TRUE(Checked(page, IDC_FREEDB_LOCAL));
  EXPECT_FALSE(Checked(page, IDC_FREEDB_SAVE));
  EXPECT_TRUE(Checked(page, IDC_FREEDB_LOAD));
  EXPECT_EQ(Text(Item(page, IDC_FREEDB_FOLDER)), L"C:\\Cache");
  for (int id : {IDC_FREEDB_BOTH, IDC_FREEDB_REMOTE, IDC_FREEDB_LOCAL})
    EXPECT_TRUE(::IsWindowEnabled(Item(page, id)));

  Click(page, IDC_FREEDB_REMOTE);
  EXPECT_EQ(page.m_nSource, 1);
  Click(page, IDC_FREEDB_SAVE);
  Type(page, IDC_FREEDB_FOLDER, L"D:\\Albums");
  EXPECT_TRUE(ApplyEnabled());
  Press(PSBTN_APPLYNOW);
  EXPECT_EQ(AlbumInfoSource, 1);
  EXPECT_EQ(SaveAlbumInfo, 1);
  EXPECT_EQ(LoadAlbumInfo, 1);
  EXPECT_EQ(LocalCDDBDir, L"D:\\Albums");  // as chosen, no "\\" added
}

TEST_F(OptionsTest, WithoutLookupOnInsertionTheSourcesAreGreyAndTheSourceStays) {
  AlbumInfoSource = 1;
  LoadAlbumInfo = 0;
  LastPage = 0;
  Open();
  CFreeDBOptionDlg& page = options->m_freeDB;
  EXPECT_FALSE(Checked(page, IDC_FREEDB_LOAD));
  for (int id : {IDC_FREEDB_BOTH, IDC_FREEDB_REMOTE, IDC_FREEDB_LOCAL})
    EXPECT_FALSE(::IsWindowEnabled(Item(page, id)));
  EXPECT_TRUE(Checked(page, IDC_FREEDB_REMOTE));
  Press(PSBTN_OK);
  EXPECT_EQ(CurrentPage(), nullptr);  // the sheet ended
  EXPECT_EQ(AlbumInfoSource, 1);
  EXPECT_EQ(LoadAlbumInfo, 0);

  // Checking it again brings the radios back.
  options.reset();
  Open();
  Click(options->m_freeDB, IDC_FREEDB_LOAD);
  for (int id : {IDC_FREEDB_BOTH, IDC_FREEDB_REMOTE, IDC_FREEDB_LOCAL})
    EXPECT_TRUE(::IsWindowEnabled(Item(options->m_freeDB, id)));
}

TEST_F(OptionsTest, AStoredSourceOutsideTheRadiosIsWrittenBackUnchanged) {
  AlbumInfoSource = 5;
  LastPage = 0;
  Open();
  Press(PSBTN_OK);
  EXPECT_EQ(AlbumInfoSource, 5);
}

// While a disc refresh runs, OK and Apply keep the sheet open and write nothing, on
// every page that was shown; afterwards OK goes through.
TEST_F(OptionsTest, NothingIsAppliedWhileADiscRefreshRuns) {
  LastPage = 0;
  Open();
  Click(options->m_freeDB, IDC_FREEDB_LOCAL);
  Click(options->m_freeDB, IDC_FREEDB_SAVE);
  Show(1);
  Click(options->m_output, IDC_OUTPUT_PLAYLIST);
  Choose(options->m_output, IDC_OUTPUT_STYLE, 2);
  Show(2);
  Choose(options->m_encoder, IDC_ENCODER_FORMAT, 2);
  g_bBusy = TRUE;
  for (int button : {PSBTN_APPLYNOW, PSBTN_OK}) {
    Press(button);
    EXPECT_NE(CurrentPage(), nullptr);
    EXPECT_EQ(AlbumInfoSource, 0);
    EXPECT_EQ(SaveAlbumInfo, 1);
    EXPECT_EQ(M3U, 1);
    EXPECT_EQ(FileStyle, 11);
    EXPECT_EQ(OutputFormat, 2);
  }
  g_bBusy = FALSE;
  Press(PSBTN_OK);
  EXPECT_EQ(CurrentPage(), nullptr);
  EXPECT_EQ(AlbumInfoSource, 2);
  EXPECT_EQ(SaveAlbumInfo, 0);
  EXPECT_EQ(M3U, 0);
  EXPECT_EQ(FileStyle, 2);
  EXPECT_EQ(OutputFormat, 3);
}

// Browse preselects the stored folder (not the text in the box); OK puts the chosen
// folder into the box, Cancel leaves the box alone.
TEST_F(OptionsTest, BrowseStartsAtTheStoredFolderAndOnlyOkChangesTheBox) {
  ::CreateDirectoryW(L"C:\\corvane-options", nullptr);
  ::CreateDirectoryW(L"C:\\corvane-options\\Cache", nullptr);
  ::CreateDirectoryW(L"C:\\corvane-options\\Music", nullptr);
  LocalCDDBDir = L"C:\\corvane-options\\Cache";
  DesDir = L"C:\\corvane-options\\Music\\";
  struct Case {
    int page, browse, box;
    const wchar_t* folderName;
    const wchar_t* chosen;
  };
  const Case cases[] = {
      {0, IDC_FREEDB_BROWSE, IDC_FREEDB_FOLDER, L"Cache", L"C:\\corvane-options\\Cache"},
      {1, IDC_OUTPUT_BROWSE, IDC_OUTPUT_FOLDER, L"Music", L"C:\\corvane-options\\Music"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    Open();
    Show(c.page);
    CWnd& page = *options->m_sheet.GetPage(c.page);
    Type(page, c.box, L"Z:\\typed");

    BrowserDriver::Arm(c.folderName, IDCANCEL);
    Click(page, c.browse);
    EXPECT_EQ(BrowserDriver::shownSelected, c.folderName);
    EXPECT_EQ(Text(Item(page, c.box)), L"Z:\\typed");

    BrowserDriver::Arm(c.folderName, IDOK);
    Click(page, c.browse);
    EXPECT_EQ(Text(Item(page, c.box)).CompareNoCase(c.chosen), 0);
    options.reset();
  }
}

// ---- Output page -------------------------------------------------------------------------

TEST_F(OptionsTest, OutputPageShowsTheSettingsWithTheStylesInTheStoredDelimiter) {
  DesDir = L"C:\\Out\\";
  Separator = L"_";
  FileStyle = 3;
  FillTag = 0;
  WriteLog = 1;
  M3U = 0;
  OutputFormat = 3;
  Open();
  Show(1);
  COutputOptions& page = options->m_output;
  HWND styles = Item(page, IDC_OUTPUT_STYLE);
  EXPECT_EQ(Text(Item(page, IDC_OUTPUT_FOLDER)), L"C:\\Out\\");
  EXPECT_EQ(Text(Item(page, IDC_OUTPUT_DELIMITER)), L"_");
  ASSERT_EQ(ComboCount(styles), 13);
  EXPECT_EQ(ComboSelection(styles), 3);
  EXPECT_EQ(ComboEntry(styles, 0), L" <Tracknum>");
  EXPECT_EQ(ComboEntry(styles, 3), L" <Tracknum>_<Tracktitle>");
  EXPECT_EQ(ComboEntry(styles, 9), L" <Artist>\\<Album>\\<Tracktitle>");
  EXPECT_EQ(ComboEntry(styles, 12), L" <Artist>_<Album>_<Year>\\<Tracknum>_<Tracktitle>");
  EXPECT_FALSE(Checked(page, IDC_OUTPUT_METADATA));
  EXPECT_TRUE(Checked(page, IDC_OUTPUT_WRITE_LOG));
  EXPECT_FALSE(Checked(page, IDC_OUTPUT_PLAYLIST));
  EXPECT_EQ(Text(Item(page, IDC_OUTPUT_PREVIEW)), L"06_Sample Title.ogg");
  // The box takes three characters from the keyboard.
  EXPECT_EQ(::SendMessageW(Item(page, IDC_OUTPUT_DELIMITER), EM_GETLIMITTEXT, 0, 0), 3);
}

// What is typed stays in the box; the list, the preview and the stored value get it
// without the characters a file name cannot hold.
TEST_F(OptionsTest, TheDelimiterIsSanitisedForTheListThePreviewAndTheSetting) {
  struct Case {
    const wchar_t* typed;
    const wchar_t* stored;
    const wchar_t* style3;
    const wchar_t* style4;
  };
  const Case cases[] = {
      {L"a:b", L"a-b", L" <Tracknum>a-b<Tracktitle>", L" <Artist>a-b<Album>a-b<Tracktitle>"},
      {L"", L"", L" <Tracknum><Tracktitle>", L" <Artist><Album><Tracktitle>"},
      {L"*?/", L"---", L" <Tracknum>---<Tracktitle>", L" <Artist>---<Album>---<Tracktitle>"},
      {L"|x\"", L"-x-", L" <Tracknum>-x-<Tracktitle>", L" <Artist>-x-<Album>-x-<Tracktitle>"},
      {L" . ", L" . ", L" <Tracknum> . <Tracktitle>", L" <Artist> . <Album> . <Tracktitle>"},
      {L"<>x", L"--x", L" <Tracknum>--x<Tracktitle>", L" <Artist>--x<Album>--x<Tracktitle>"},
  };
  FileStyle = 3;
  OutputFormat = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << CStringA(c.typed).GetString());
    Open();
    Show(1);
    COutputOptions& page = options->m_output;
    Type(page, IDC_OUTPUT_DELIMITER, c.typed);
    HWND styles = Item(page, IDC_OUTPUT_STYLE);
    EXPECT_EQ(Text(Item(page, IDC_OUTPUT_DELIMITER)), c.typed);
    EXPECT_EQ(ComboEntry(styles, 3), c.style3);
    EXPECT_EQ(ComboEntry(styles, 4), c.style4);
    EXPECT_EQ(ComboEntry(styles, 9), L" <Artist>\\<Album>\\<Tracktitle>");
    EXPECT_EQ(Text(Item(page, IDC_OUTPUT_PREVIEW)),
              CString(L"06") + c.stored + L"Sample Title.wav");
    // OK leaves the page first, which copies the box as typed: still stored sanitised.
    Press(PSBTN_OK);
    EXPECT_EQ(CurrentPage(), nullptr);
    EXPECT_EQ(Separator, c.stored);
    options.reset();
  }
}

TEST_F(OptionsTest, TheStyleListReturnsToTheStoredStyleWhenTheDelimiterChanges) {
  FileStyle = 5;
  Open();
  Show(1);
  COutputOptions& page = options->m_output;
  HWND styles = Item(page, IDC_OUTPUT_STYLE);
  Choose(page, IDC_OUTPUT_STYLE, 8);
  EXPECT_EQ(Text(Item(page, IDC_OUTPUT_PREVIEW)), L"Sample Artist-Sample Album\\Sample Title.mp3");
  Type(page, IDC_OUTPUT_DELIMITER, L"+");
  EXPECT_EQ(ComboSelection(styles), 5);
  EXPECT_EQ(Text(Item(page, IDC_OUTPUT_PREVIEW)),
            L"Sample Artist+Sample Album+06+Sample Title.mp3");
}

// Keys typed into the delimiter box go through the sheet's pre-translation, as in its
// modal loop: the box's own Ctrl keys reach it, the sheet keeps only its page keys.
TEST_F(OptionsTest, TheDelimiterBoxTakesTypingAndTheClipboardKeys) {
  Open();
  Show(1);
  COutputOptions& page = options->m_output;
  HWND box = Item(page, IDC_OUTPUT_DELIMITER);
  ::SetFocus(box);
  const auto press = [&](UINT vk, bool ctrl) {
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    ::SetKeyboardState(keys);
    // To the box itself: the focus goes with the foreground, which another program on the
    // display may take meanwhile.
    ::PostMessageW(box, WM_KEYDOWN, vk, 1);
    ::PostMessageW(box, WM_KEYUP, vk, 0xC0000001);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!CWnd::WalkPreTranslateTree(Sheet(), &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
  };
  const auto clipboard = [] {
    CString text;
    if (!::OpenClipboard(nullptr)) return CString(L"(clipboard busy)");
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
      text = static_cast<const wchar_t*>(::GlobalLock(data));
      ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return text;
  };

  ASSERT_EQ(Text(box), L"-");
  ASSERT_TRUE(::OpenClipboard(nullptr));
  ::EmptyClipboard();  // nothing left from before to pass for a copy
  ::CloseClipboard();
  ::SendMessageW(box, EM_SETSEL, 0, -1);
  press('C', true);
  EXPECT_EQ(clipboard(), L"-");
  ::SendMessageW(box, EM_SETSEL, 1, 1);
  press('Q', false);
  EXPECT_EQ(Text(box), L"-q");
  press('V', true);
  EXPECT_EQ(Text(box), L"-q-");
  // The page follows a pasted delimiter as it does a typed one.
  EXPECT_NE(Text(Item(page, IDC_OUTPUT_PREVIEW)).Find(L"-q-"), -1)
      << CStringA(Text(Item(page, IDC_OUTPUT_PREVIEW))).GetString();
  ::SendMessageW(box, EM_SETSEL, 0, 2);
  press('X', true);
  EXPECT_EQ(Text(box), L"-");
  EXPECT_EQ(clipboard(), L"-q");
  press(VK_LEFT, true);
  DWORD start = 9, end = 9;
  ::SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(Text(CurrentPage()), L"Output");
  press(VK_TAB, true);  // the sheet's own key still switches
  EXPECT_EQ(Text(CurrentPage()), L"Encoder");
}

TEST_F(OptionsTest, ThePreviewFollowsTheStyleTheDelimiterAndTheStoredFormat) {
  struct Case {
    int style;
    const wchar_t* preview;
  };
  const Case cases[] = {
      {0, L"06"},
      {1, L"Track06"},
      {2, L"Sample Title"},
      {3, L"06~Sample Title"},
      {4, L"Sample Artist~Sample Album~Sample Title"},
      {5, L"Sample Artist~Sample Album~06~Sample Title"},
      {6, L"Sample Artist~Sample Album~1999~06~Sample Title"},
      {7, L"Sample Artist\\06~Sample Title"},
      {8, L"Sample Artist~Sample Album\\Sample Title"},
      {9, L"Sample Artist\\Sample Album\\Sample Title"},
      {10, L"Sample Artist~Sample Album\\06~Sample Title"},
      {11, L"Sample Artist\\Sample Album\\06~Sample Title"},
      {12, L"Sample Artist~Sample Album~1999\\06~Sample Title"},
  };
  Separator = L"~";
  OutputFormat = 3;
  Open();
  Show(2);  // the Encoder page shows another format: the stored one counts
  Choose(options->m_encoder, IDC_ENCODER_FORMAT, 0);
  Show(1);
  COutputOptions& page = options->m_output;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    Choose(page, IDC_OUTPUT_STYLE, c.style);
    EXPECT_EQ(Text(Item(page, IDC_OUTPUT_PREVIEW)), CString(c.preview) + L".ogg");
  }
  // No selection: the extension alone.
  Choose(page, IDC_OUTPUT_STYLE, -1);
  EXPECT_EQ(Text(Item(page, IDC_OUTPUT_PREVIEW)), L".ogg");
}

TEST_F(OptionsTest, OutputApplyWritesTheStyleTheFolderWithItsBackslashAndTheSwitches) {
  struct Case {
    const wchar_t* box;
    const wchar_t* stored;
  };
  const Case cases[] = {
      {L"D:\\Rips  \t", L"D:\\Rips\\"},          {L"D:\\Rips\\", L"D:\\Rips\\"}, {L"E:\\", L"E:\\"},
      {L"", L"C:\\corvane-options\\Music\\"},  // no folder: the stored one stays
      {L"   ", L"C:\\corvane-options\\Music\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << CStringA(c.box).GetString());
    DefaultSettings();
    Open();
    Show(1);
    COutputOptions& page = options->m_output;
    Type(page, IDC_OUTPUT_FOLDER, c.box);
    Choose(page, IDC_OUTPUT_STYLE, 6);
    Click(page, IDC_OUTPUT_METADATA);
    Click(page, IDC_OUTPUT_WRITE_LOG);
    Click(page, IDC_OUTPUT_PLAYLIST);
    EXPECT_TRUE(ApplyEnabled());
    Press(PSBTN_APPLYNOW);
    EXPECT_EQ(DesDir, c.stored);
    EXPECT_EQ(FileStyle, 6);
    EXPECT_EQ(FillTag, 0);
    EXPECT_EQ(WriteLog, 1);
    EXPECT_EQ(M3U, 0);
    options.reset();
  }
  // A stored style outside the list selects nothing and stays as it was.
  FileStyle = 20;
  Open();
  Show(1);
  EXPECT_EQ(ComboSelection(Item(options->m_output, IDC_OUTPUT_STYLE)), -1);
  Press(PSBTN_OK);
  EXPECT_EQ(FileStyle, 20);
}

// Every setting Reset does not touch, at a value other than its default.
void SetNonDefaults() {
  M3U = 0;
  WriteLog = 1;
  Separator = L"=";
  OutputFormat = 3;
  FileStyle = 2;
  FillTag = 0;
  DesDir = L"C:\\Elsewhere\\";
  SubFormat = 0;
  Freq = 3;
  Channel = 0;
  LameFreq = 2;
  LameBits = 4;
  LameChannel = 1;
  QualityCompression = 9;
  Volume = 40;
  AlbumInfoSource = 2;
  SaveAlbumInfo = 0;
  LoadAlbumInfo = 0;
  LocalCDDBDir = L"C:\\Cache";
}

bool AtResetDefaults() {
  CString music;
  GetDefaultOutputFolder(music);
  return M3U == 1 && WriteLog == 0 && Separator == L"-" && OutputFormat == 2 && FileStyle == 11 &&
         FillTag == 1 && DesDir == music && SubFormat == 1 && Freq == 7 && Channel == 1 &&
         LameFreq == 7 && LameBits == 11 && LameChannel == 2 && QualityCompression == 3;
}

TEST_F(OptionsTest, ResetAnsweredWithNoChangesNothing) {
  SetNonDefaults();
  Open();
  Show(1);
  g_app.m_answer = IDNO;
  Click(options->m_output, IDC_OUTPUT_RESET);
  ASSERT_EQ(g_app.m_boxes.size(), 1u);
  EXPECT_EQ(g_app.m_boxes[0], L"Reset ALL Output Options(including the Subpages), Are You Sure?");
  EXPECT_EQ(g_app.m_lastType & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
  ::Sleep(200);
  Pump();
  EXPECT_EQ(OutputFormat, 3);
  EXPECT_EQ(DesDir, L"C:\\Elsewhere\\");
  EXPECT_EQ(QualityCompression, 9);
}

TEST_F(OptionsTest, ResetWritesTheDefaultsAtOnceAndReloadsBothPages) {
  SetNonDefaults();
  Open();
  Show(2);  // the Encoder page has a window: it is reloaded too
  Show(1);
  COutputOptions& page = options->m_output;
  Type(page, IDC_OUTPUT_DELIMITER, L"x");
  g_app.m_answer = IDYES;
  Click(page, IDC_OUTPUT_RESET);
  ASSERT_TRUE(PumpUntil(AtResetDefaults));
  ASSERT_TRUE(PumpUntil([&] { return Text(Item(page, IDC_OUTPUT_DELIMITER)) == L"-"; }));
  CString music;
  GetDefaultOutputFolder(music);
  EXPECT_EQ(Text(Item(page, IDC_OUTPUT_FOLDER)), music);
  EXPECT_EQ(ComboSelection(Item(page, IDC_OUTPUT_STYLE)), 11);
  EXPECT_TRUE(Checked(page, IDC_OUTPUT_METADATA));
  EXPECT_FALSE(Checked(page, IDC_OUTPUT_WRITE_LOG));
  EXPECT_TRUE(Checked(page, IDC_OUTPUT_PLAYLIST));
  EXPECT_EQ(Text(Item(page, IDC_OUTPUT_PREVIEW)),
            L"Sample Artist\\Sample Album\\06-Sample Title.mp3");
  CEncoderOption& encoder = options->m_encoder;
  EXPECT_EQ(ComboSelection(Item(encoder, IDC_ENCODER_FORMAT)), 1);
  EXPECT_EQ(ComboSelection(Item(encoder, IDC_ENCODER_LIST2)), 11);
  // Volume, the FREEDB and the MISC values stay.
  EXPECT_EQ(Volume, 40);
  EXPECT_EQ(AlbumInfoSource, 2);
  EXPECT_EQ(SaveAlbumInfo, 0);
  EXPECT_EQ(LoadAlbumInfo, 0);
  EXPECT_EQ(LocalCDDBDir, L"C:\\Cache");
  EXPECT_EQ(LastPage, 1);
  // Cancel keeps them: Reset does not wait for OK.
  Press(PSBTN_CANCEL);
  EXPECT_TRUE(AtResetDefaults());
}

// A refresh running when Reset is pressed, or one that started before the reset thread
// ran: the user is told, and nothing is written.
TEST_F(OptionsTest, ResetDuringADiscRefreshTellsTheUserAndWritesNothing) {
  const CString refused =
      L"The CD Is Being Refreshed, Output Options NOT Reset! Please Try Again Later.";
  struct Case {
    const char* name;
    bool pressed;  // the button; otherwise the reset thread's work, as it finds the refresh
  };
  for (const Case& c :
       {Case{"pressed during a refresh", true}, Case{"a refresh started after Yes", false}}) {
    SCOPED_TRACE(c.name);
    SetNonDefaults();
    g_app.m_boxes.clear();
    Open();
    Show(1);
    g_app.m_answer = IDYES;
    g_bBusy = TRUE;
    if (c.pressed) {
      Click(options->m_output, IDC_OUTPUT_RESET);
    } else {
      options->m_output.ResetOutputOptions();
    }
    EXPECT_TRUE(PumpUntil([] { return !g_app.m_boxes.empty(); }));
    options.reset();  // waits for any reset thread
    g_bBusy = FALSE;
    ASSERT_EQ(g_app.m_boxes.size(), 1u);
    EXPECT_EQ(g_app.m_boxes[0], refused);
    EXPECT_EQ(g_app.m_lastType & MB_TYPEMASK, static_cast<UINT>(MB_OK));
    EXPECT_EQ(OutputFormat, 3);
    EXPECT_EQ(DesDir, L"C:\\Elsewhere\\");
    EXPECT_EQ(M3U, 0);
    EXPECT_EQ(QualityCompression, 9);
  }
}

// Ends the modal sheet once its Output page shows: by its Cancel button, or by Esc posted
// to the page tree so that the sheet's modal loop handles it as a typed key.
bool g_endWithEsc = false;

void CALLBACK EndSheetOnTheOutputPage(HWND, UINT, UINT_PTR id, DWORD) {
  HWND sheet = ::GetActiveWindow();
  if (!sheet || Text(sheet) != L"Options") return;
  HWND page = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  if (Text(page) != L"Output") {
    ::SendMessageW(sheet, PSM_SETCURSEL, 1, 0);
    return;
  }
  ::KillTimer(nullptr, id);
  if (g_endWithEsc) {
    HWND tree = ::GetDlgItem(sheet, TreePropSheet::kPageTreeId);
    ::PostMessageW(tree, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageW(tree, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  } else {
    ::SendMessageW(::GetDlgItem(sheet, IDCANCEL), BM_CLICK, 0, 0);
  }
}

// Cancel tells each page that was shown to drop its changes; the Output page's Reset
// button is not that: no question, and every setting stays, even were Yes the answer.
TEST_F(OptionsTest, CancelAndEscAfterTheOutputPageAskNothingAndChangeNothing) {
  for (const bool esc : {false, true}) {
    SCOPED_TRACE(esc ? "Esc" : "Cancel");
    SetNonDefaults();
    LastPage = 0;
    g_app.m_boxes.clear();
    g_app.m_answer = IDYES;
    g_endWithEsc = esc;
    ::SetTimer(nullptr, 0, 100, &EndSheetOnTheOutputPage);
    EXPECT_EQ(ShowOptionsSheet(&parent), IDCANCEL);
    Pump();
    ::Sleep(200);  // a reset thread, were one started, has written by now
    Pump();
    EXPECT_TRUE(g_app.m_boxes.empty()) << CStringA(g_app.m_boxes[0]).GetString();
    EXPECT_EQ(LastPage, 1);  // the Output page was shown
    EXPECT_EQ(OutputFormat, 3);
    EXPECT_EQ(DesDir, L"C:\\Elsewhere\\");
    EXPECT_EQ(Separator, L"=");
    EXPECT_EQ(M3U, 0);
    EXPECT_EQ(QualityCompression, 9);
  }
}

// The WM_INITDIALOG messages the Encoder page's window gets.
WNDPROC g_encoderProc = nullptr;
int g_encoderReloads = 0;
LRESULT CALLBACK CountEncoderReloads(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) ++g_encoderReloads;
  return ::CallWindowProcW(g_encoderProc, hwnd, message, wParam, lParam);
}

// Reset pressed just before the sheet goes, as its modal loop ends (the window first) or
// as the command's sheet object goes: the reset thread still reloads the Encoder page
// while that page is there, and the defaults are written.
TEST_F(OptionsTest, AResetRunningWhenTheSheetGoesFinishesBeforeThePagesGo) {
  for (bool windowFirst : {true, false}) {
    SCOPED_TRACE(windowFirst ? "the sheet's window goes first" : "the sheet object goes");
    SetNonDefaults();
    Open();
    Show(2);
    Show(1);
    g_encoderReloads = 0;
    g_encoderProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        options->m_encoder.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountEncoderReloads)));
    g_app.m_answer = IDYES;
    // Pressed without handling any message afterwards: the reset thread is held at its
    // first message to this thread's windows until the sheet is on its way out.
    ::SendMessageW(Item(options->m_output, IDC_OUTPUT_RESET), BM_CLICK, 0, 0);
    if (windowFirst) options->m_sheet.DestroyWindow();
    options.reset();
    EXPECT_EQ(g_encoderReloads, 1);
    EXPECT_TRUE(AtResetDefaults());
  }
}

// ---- Encoder page ------------------------------------------------------------------------

TEST_F(OptionsTest, EachFormatShowsItsLabelsListsAndStoredChoices) {
  struct Case {
    short format;
    std::vector<int> shown, hidden;
    const wchar_t* label1;
    const wchar_t* label2;
    int count1, count2, count3;
    const wchar_t *choice1, *choice2, *choice3;
  };
  Freq = 4;
  SubFormat = 0;
  Channel = 0;
  LameFreq = 8;
  LameBits = 16;
  LameChannel = 3;
  QualityCompression = 10;
  const Case cases[] = {
      {1,
       {IDC_ENCODER_LABEL1, IDC_ENCODER_LIST1, IDC_ENCODER_LABEL2, IDC_ENCODER_LIST2,
        IDC_ENCODER_LABEL3, IDC_ENCODER_LIST3},
       {IDC_ENCODER_NOTE},
       L"Sampling Frequency:",
       L"Codec:",
       9,
       2,
       2,
       L" 22050 Hertz",
       L" Unsigned 8 bit PCM",
       L" Mono"},
      {2,
       {IDC_ENCODER_LABEL1, IDC_ENCODER_LIST1, IDC_ENCODER_LABEL2, IDC_ENCODER_LIST2,
        IDC_ENCODER_LABEL3, IDC_ENCODER_LIST3, IDC_ENCODER_NOTE},
       {},
       L"Sampling Frequency:",
       L"Bits per Second:",
       9,
       17,
       4,
       L" 48000 Hertz",
       L" 320 kbits per second",
       L" Dual Channel"},
      {3,
       {IDC_ENCODER_LABEL1, IDC_ENCODER_LIST1},
       {IDC_ENCODER_LABEL2, IDC_ENCODER_LIST2, IDC_ENCODER_LABEL3, IDC_ENCODER_LIST3,
        IDC_ENCODER_NOTE},
       L"Quality:",
       nullptr,
       12,
       0,
       0,
       L"Quality  1.0;  Estimated Bitrate:   500kbps",
       L"<none>",
       L"<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    OutputFormat = c.format;
    Open();
    Show(2);
    CEncoderOption& page = options->m_encoder;
    EXPECT_EQ(ComboCount(Item(page, IDC_ENCODER_FORMAT)), 3);
    EXPECT_EQ(ComboSelection(Item(page, IDC_ENCODER_FORMAT)), c.format - 1);
    for (int id : c.shown) EXPECT_TRUE(Visible(page, id)) << id;
    for (int id : c.hidden) EXPECT_FALSE(Visible(page, id)) << id;
    EXPECT_EQ(Text(Item(page, IDC_ENCODER_LABEL1)), c.label1);
    if (c.label2) {
      EXPECT_EQ(Text(Item(page, IDC_ENCODER_LABEL2)), c.label2);
      EXPECT_EQ(Text(Item(page, IDC_ENCODER_LABEL3)), L"Channel Mode:");
    }
    HWND list1 = Item(page, IDC_ENCODER_LIST1), list2 = Item(page, IDC_ENCODER_LIST2),
         list3 = Item(page, IDC_ENCODER_LIST3);
    EXPECT_EQ(ComboCount(list1), c.count1);
    EXPECT_EQ(ComboCount(list2), c.count2);
    EXPECT_EQ(ComboCount(list3), c.count3);
    EXPECT_EQ(ComboEntry(list1, ComboSelection(list1)), c.choice1);
    EXPECT_EQ(ComboEntry(list2, ComboSelection(list2)), c.choice2);
    EXPECT_EQ(ComboEntry(list3, ComboSelection(list3)), c.choice3);
    EXPECT_GE(::SendMessageW(list1, CB_GETDROPPEDWIDTH, 0, 0), 100);
    options.reset();
  }
}

TEST_F(OptionsTest, TheDefaultsShowMp3At44100Hz128kbitsJointStereo) {
  Open();
  Show(2);
  CEncoderOption& page = options->m_encoder;
  HWND format = Item(page, IDC_ENCODER_FORMAT);
  EXPECT_EQ(ComboEntry(format, 0), L" WAV    (Waveform Audio)");
  EXPECT_EQ(ComboEntry(format, 1), L" MP3    (MPEG-1 Audio Layer 3)");
  EXPECT_EQ(ComboEntry(format, 2), L" OGG    (Ogg Vorbis)");
  EXPECT_EQ(ComboEntry(format, ComboSelection(format)), L" MP3    (MPEG-1 Audio Layer 3)");
  HWND list1 = Item(page, IDC_ENCODER_LIST1), list2 = Item(page, IDC_ENCODER_LIST2),
       list3 = Item(page, IDC_ENCODER_LIST3);
  EXPECT_EQ(ComboEntry(list1, ComboSelection(list1)), L" 44100 Hertz");
  EXPECT_EQ(ComboEntry(list2, ComboSelection(list2)), L" 128 kbits per second");
  EXPECT_EQ(ComboEntry(list3, ComboSelection(list3)), L" Joint Stereo");
  EXPECT_EQ(ComboEntry(list1, 0), L"  8000 Hertz");  // rates padded to one width
  EXPECT_EQ(ComboEntry(list2, 0), L"   8 kbits per second");
  EXPECT_TRUE(Visible(page, IDC_ENCODER_NOTE));
  EXPECT_EQ(Text(Item(page, IDC_ENCODER_NOTE)), L"The bitrate valid only for stereo 44100 Hz.");
}

TEST_F(OptionsTest, TheQualityRowsRunFromMinusOneToTenWithTheirTabs) {
  for (const short quality : {-1, 0, 1, 10}) {
    SCOPED_TRACE(quality);
    OutputFormat = 3;
    QualityCompression = quality;
    Open();
    Show(2);
    HWND list1 = Item(options->m_encoder, IDC_ENCODER_LIST1);
    EXPECT_EQ(ComboSelection(list1), quality + 1);
    EXPECT_EQ(ComboEntry(list1, 0), L"Quality -0.1;  Estimated Bitrate:    48kbps");
    EXPECT_EQ(ComboEntry(list1, 2), L"Quality\t  0.1;  Estimated Bitrate:    80kbps");
    EXPECT_EQ(ComboEntry(list1, 11), L"Quality  1.0;  Estimated Bitrate:   500kbps");
    options.reset();
  }
}

TEST_F(OptionsTest, SwitchingFormatsRefillsTheListsFromTheStoredValues) {
  Open();
  Show(2);
  CEncoderOption& page = options->m_encoder;
  Choose(page, IDC_ENCODER_LIST2, 3);  // another bitrate
  EXPECT_TRUE(ApplyEnabled());
  Choose(page, IDC_ENCODER_FORMAT, 0);
  EXPECT_EQ(ComboCount(Item(page, IDC_ENCODER_LIST2)), 2);
  EXPECT_FALSE(Visible(page, IDC_ENCODER_NOTE));
  Choose(page, IDC_ENCODER_FORMAT, 2);
  EXPECT_EQ(Text(Item(page, IDC_ENCODER_LABEL1)), L"Quality:");
  Choose(page, IDC_ENCODER_FORMAT, 1);
  EXPECT_EQ(ComboSelection(Item(page, IDC_ENCODER_LIST2)), 11);
  EXPECT_EQ(Text(Item(page, IDC_ENCODER_LABEL1)), L"Sampling Frequency:");
}

// Apply writes the chosen format and that format's values; the other formats keep theirs.
TEST_F(OptionsTest, EncoderApplyWritesOnlyTheChosenFormatsValues) {
  struct Case {
    int format;
    int list1, list2, list3;
    short outputFormat, freq, subFormat, channel, lameFreq, lameBits, lameChannel, quality;
  };
  const Case cases[] = {
      {0, 4, 0, 0, 1, 4, 0, 0, 7, 11, 2, 3},
      {1, 8, 16, 0, 2, 7, 1, 1, 8, 16, 0, 3},
      {2, 0, -1, -1, 3, 7, 1, 1, 7, 11, 2, -1},
      {2, 11, -1, -1, 3, 7, 1, 1, 7, 11, 2, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format << " " << c.list1);
    DefaultSettings();
    Open();
    Show(2);
    CEncoderOption& page = options->m_encoder;
    Choose(page, IDC_ENCODER_FORMAT, c.format);
    Choose(page, IDC_ENCODER_LIST1, c.list1);
    if (c.list2 >= 0) Choose(page, IDC_ENCODER_LIST2, c.list2);
    if (c.list3 >= 0) Choose(page, IDC_ENCODER_LIST3, c.list3);
    Press(PSBTN_OK);
    EXPECT_EQ(CurrentPage(), nullptr);
    EXPECT_EQ(OutputFormat, c.outputFormat);
    EXPECT_EQ(Freq, c.freq);
    EXPECT_EQ(SubFormat, c.subFormat);
    EXPECT_EQ(Channel, c.channel);
    EXPECT_EQ(LameFreq, c.lameFreq);
    EXPECT_EQ(LameBits, c.lameBits);
    EXPECT_EQ(LameChannel, c.lameChannel);
    EXPECT_EQ(QualityCompression, c.quality);
    options.reset();
  }
}

// Hand-edited values outside the lists select nothing; Apply leaves them as they were
// instead of storing -1 or a format 0.
TEST_F(OptionsTest, StoredValuesOutsideTheListsStayAsTheyWere) {
  OutputFormat = 2;
  LameFreq = 10;  // 96000 Hz: in the rate table, not offered
  LameBits = 40;
  Open();
  Show(2);
  EXPECT_EQ(ComboSelection(Item(options->m_encoder, IDC_ENCODER_LIST1)), -1);
  Press(PSBTN_OK);
  EXPECT_EQ(LameFreq, 10);
  EXPECT_EQ(LameBits, 40);
  EXPECT_EQ(LameChannel, 2);
  options.reset();

  OutputFormat = 9;
  Open();
  Show(2);
  CEncoderOption& page = options->m_encoder;
  EXPECT_EQ(ComboSelection(Item(page, IDC_ENCODER_FORMAT)), -1);
  EXPECT_TRUE(Visible(page, IDC_ENCODER_LABEL1));
  for (int id : {IDC_ENCODER_LABEL2, IDC_ENCODER_LIST2, IDC_ENCODER_LABEL3, IDC_ENCODER_LIST3,
                 IDC_ENCODER_NOTE})
    EXPECT_FALSE(Visible(page, id)) << id;
  Press(PSBTN_OK);
  EXPECT_EQ(OutputFormat, 9);
}

// A picture of the sheet with the focus in a page, for a person to look at (bash
// tests/window/screenshots.sh OUT app app_options_test '*PictureWithTheFocusOnAPage*'): the
// tree still shows which page is open.
TEST_F(OptionsTest, PictureWithTheFocusOnAPage) {
  if (!PicturesWanted()) GTEST_SKIP() << "run by tests/window/screenshots.sh";
  Open();
  options->m_sheet.SetWindowPos(nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Show(1);
  options->m_sheet.SetForegroundWindow();
  ::SetFocus(Item(options->m_output, IDC_OUTPUT_FOLDER));
  HoldForPicture(L"options-focus-on-page");
}

// Holds the sheet on each page in turn when asked (CORVANE_SHOT_PAUSE=seconds), for
// screenshots from outside: FreeDB without lookup, Output with a typed delimiter, then the
// Encoder page for MP3, WAV and OGG.
TEST_F(OptionsTest, ScreenshotPause) {
  const char* pause = std::getenv("CORVANE_SHOT_PAUSE");
  if (!pause) GTEST_SKIP() << "set CORVANE_SHOT_PAUSE to hold the sheet for screenshots";
  const DWORD ms = static_cast<DWORD>(std::atoi(pause)) * 1000;
  auto hold = [&] {
    ::RedrawWindow(Sheet(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const DWORD end = ::GetTickCount() + ms;
    while (::GetTickCount() < end) {
      Pump();
      ::Sleep(20);
    }
  };
  LastPage = 0;
  LoadAlbumInfo = 0;
  Open();
  options->m_sheet.SetWindowPos(nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  hold();
  Show(1);
  Type(options->m_output, IDC_OUTPUT_DELIMITER, L" :");
  hold();
  Show(2);
  hold();
  Choose(options->m_encoder, IDC_ENCODER_FORMAT, 0);
  hold();
  Choose(options->m_encoder, IDC_ENCODER_FORMAT, 2);
  hold();
}

}  // namespace
