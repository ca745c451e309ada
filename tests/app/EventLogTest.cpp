// The event log: numbering and texts in the status hook, the file and the items; the
// log window's rows, widths, colours, Clear and hiding; many threads logging at once.
#include <gtest/gtest.h>

#include <process.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <mutex>
#include <string>
#include <vector>

#include "app/EventLog.h"
#include "VeltraskApp.h"
#include "engine/ProcessState.h"
#include "engine/Settings.h"
#include "resource.h"
#include "tests/window/Picture.h"
#include "tests/window/TestApp.h"

namespace {

// What the status hook received, in order.
std::mutex g_statusLock;
std::vector<CString> g_statusTexts;

void RecordStatus(const CString& text) {
  std::lock_guard<std::mutex> lock(g_statusLock);
  g_statusTexts.push_back(text);
}

std::vector<CString> StatusTexts() {
  std::lock_guard<std::mutex> lock(g_statusLock);
  return g_statusTexts;
}

bool IsTimeText(const std::wstring& t) {
  if (t.size() != 8 || t[2] != L':' || t[5] != L':') return false;
  for (size_t i : {0, 1, 3, 4, 6, 7})
    if (!iswdigit(t[i])) return false;
  return true;
}

// Splits "<prefix><hh:mm:ss><gap><text>" and checks the pieces.
void ExpectStamped(const CString& line, const std::wstring& prefix, const std::wstring& gap,
                   const std::wstring& text) {
  const std::wstring s = line.GetString();
  ASSERT_GE(s.size(), prefix.size() + 8 + gap.size()) << s;
  EXPECT_EQ(s.substr(0, prefix.size()), prefix) << s;
  EXPECT_TRUE(IsTimeText(s.substr(prefix.size(), 8))) << s;
  EXPECT_EQ(s.substr(prefix.size() + 8, gap.size()), gap) << s;
  EXPECT_EQ(s.substr(prefix.size() + 8 + gap.size()), text) << s;
}

HWND LogList() { return ::GetDlgItem(g_logDlg.m_hWnd, IDC_LIST_LOG); }

CString CellText(int row, int column) {
  wchar_t buffer[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 512;
  ::SendMessageW(LogList(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

int RowCount() { return static_cast<int>(::SendMessageW(LogList(), LVM_GETITEMCOUNT, 0, 0)); }

class EventLogTest : public testing::Test {
 protected:
  EventLogTest() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    static int s_counter = 0;
    m_folder.Format(L"%seventlog_%lu_%d", temp, ::GetCurrentProcessId(), ++s_counter);
    ::CreateDirectoryW(m_folder, nullptr);
    g_strSettingsFolder = m_folder;
    WriteLog = TRUE;
    DeleteAllLogItems();
    g_nLogCount = 0;
    {
      std::lock_guard<std::mutex> lock(g_statusLock);
      g_statusTexts.clear();
    }
    SetLogStatusHook(&RecordStatus);
  }
  ~EventLogTest() override {
    if (g_logDlg.m_hWnd) g_logDlg.DestroyWindow();
    SetLogStatusHook(nullptr);
    DeleteAllLogItems();
    ::DeleteFileW(LogPath());
    ::RemoveDirectoryW(m_folder);
  }

  CString LogPath() const { return m_folder + L"\\Corvane.log"; }

  std::string FileBytes() const {
    std::string bytes;
    HANDLE h =
        ::CreateFileW(LogPath(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(::GetFileSize(h, nullptr));
    DWORD read = 0;
    if (!bytes.empty())
      ::ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    ::CloseHandle(h);
    bytes.resize(read);
    return bytes;
  }

  // The file as UTF-16 after its mark, split after each "\r\n".
  std::vector<std::wstring> FileLines() const {
    const std::string bytes = FileBytes();
    std::vector<std::wstring> lines;
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') return lines;
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text += static_cast<wchar_t>(static_cast<BYTE>(bytes[i]) |
                                   (static_cast<BYTE>(bytes[i + 1]) << 8));
    size_t start = 0, end;
    while ((end = text.find(L"\r\n", start)) != std::wstring::npos) {
      lines.push_back(text.substr(start, end + 2 - start));
      start = end + 2;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
  }

  void OpenWindow() {
    ASSERT_TRUE(g_logDlg.Create(IDD_LOG, nullptr));
    g_logDlg.ShowWindow(SW_SHOWNORMAL);
    g_logDlg.UpdateWindow();
    PumpPending();
  }

  CString m_folder;
};

// ---- Numbering and texts ---------------------------------------------------

TEST_F(EventLogTest, LineNumberShapesTheStatusFileItemAndRow) {
  struct Case {
    int countBefore;
    const wchar_t* statusPrefix;  // also the file line's prefix
    const wchar_t* rowNumber;
  };
  const Case kCases[] = {
      {0, L"#  1 ", L"#001"},     {41, L"# 42 ", L"#042"},        {998, L"#999 ", L"#999"},
      {999, L"#1000 ", L"#1000"}, {12344, L"#12345 ", L"#12345"},
  };
  OpenWindow();
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.countBefore);
    DeleteAllLogItems();
    ::SendMessageW(LogList(), LVM_DELETEALLITEMS, 0, 0);
    ::DeleteFileW(LogPath());
    {
      std::lock_guard<std::mutex> lock(g_statusLock);
      g_statusTexts.clear();
    }
    g_nLogCount = c.countBefore;

    AddLogLine(L"Drive D: ready", LOG_WARNING);

    EXPECT_EQ(g_nLogCount, c.countBefore + 1);
    const std::vector<CString> status = StatusTexts();
    ASSERT_EQ(status.size(), 1u);
    ExpectStamped(status[0], c.statusPrefix, L"  ", L"Drive D: ready");

    const std::vector<std::wstring> file = FileLines();
    ASSERT_EQ(file.size(), 1u);
    ExpectStamped(CString(file[0].c_str()), c.statusPrefix, L" ", L"Drive D: ready\r\n");

    ASSERT_EQ(g_logItems.GetSize(), 1);
    const CLogItem* item = g_logItems[0];
    EXPECT_EQ(item->m_nNumber, c.countBefore + 1);
    EXPECT_EQ(item->m_nKind, LOG_WARNING);
    EXPECT_EQ(item->m_strDescription, L"Drive D: ready");
    EXPECT_TRUE(IsTimeText(item->m_strTime.GetString()));
    // The status text and the file carry the item's own time.
    EXPECT_NE(std::wstring(status[0].GetString()).find(item->m_strTime.GetString()),
              std::wstring::npos);

    ASSERT_EQ(RowCount(), 1);
    EXPECT_EQ(CellText(0, 0), L"");
    EXPECT_EQ(CellText(0, 1), c.rowNumber);
    EXPECT_EQ(CellText(0, 2), item->m_strTime);
    EXPECT_EQ(CellText(0, 3), L"Drive D: ready");
  }
}

TEST_F(EventLogTest, FileIsUtf16AppendedAfterWhatWasThere) {
  // A file from an earlier run: its mark and line stay, no second mark is written.
  {
    HANDLE h = ::CreateFileW(LogPath(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const char old[] = "\xFF\xFEo\0l\0d\0\r\0\n\0";
    DWORD written = 0;
    ::WriteFile(h, old, sizeof(old) - 1, &written, nullptr);
    ::CloseHandle(h);
  }
  AddLogLine(L"Gr\u00F6\u00DFe \u266B \u65E5\u672C", LOG_INFO);
  AddLogLine(L"second", LOG_ERROR);

  const std::vector<std::wstring> lines = FileLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], L"old\r\n");
  ExpectStamped(CString(lines[1].c_str()), L"#  1 ", L" ",
                L"Gr\u00F6\u00DFe \u266B \u65E5\u672C\r\n");
  ExpectStamped(CString(lines[2].c_str()), L"#  2 ", L" ", L"second\r\n");
  EXPECT_EQ(FileBytes().find("\xFF\xFE", 2), std::string::npos);
}

TEST_F(EventLogTest, FirstLineCreatesTheFileWithItsMark) {
  AddLogLine(L"hello", LOG_INFO);
  const std::string bytes = FileBytes();
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE#\0", 4));
}

TEST_F(EventLogTest, WithoutTheFileTheLineStillReachesStatusAndList) {
  struct Case {
    const char* name;
    BOOL writeLog;
    bool folderExists;
  };
  const Case kCases[] = {{"WriteLog off", FALSE, true}, {"folder missing", TRUE, false}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    DeleteAllLogItems();
    g_nLogCount = 0;
    {
      std::lock_guard<std::mutex> lock(g_statusLock);
      g_statusTexts.clear();
    }
    WriteLog = c.writeLog;
    g_strSettingsFolder = c.folderExists ? m_folder : m_folder + L"\\missing";

    AddLogLine(L"no file", LOG_INFO);
    AddLogLine(L"still none", LOG_INFO);

    g_strSettingsFolder = m_folder;
    EXPECT_EQ(::GetFileAttributesW(LogPath()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(StatusTexts().size(), 2u);
    ASSERT_EQ(g_logItems.GetSize(), 2);
    EXPECT_EQ(g_logItems[1]->m_nNumber, 2);
    EXPECT_EQ(g_nLogCount, 2);
  }
}

// A hook that throws costs only the status text; one that logs itself (the status bar
// reporting something) queues its line behind the current one instead of deadlocking.
void ThrowingHook(const CString&) { throw std::runtime_error("status bar gone"); }
void LoggingHook(const CString& text) {
  RecordStatus(text);
  if (std::wstring(text.GetString()).find(L"outer") != std::wstring::npos)
    AddLogLine(L"from the hook", LOG_WARNING);
}

TEST_F(EventLogTest, StatusHookThatThrowsOrLogsLosesNothing) {
  SetLogStatusHook(&ThrowingHook);
  AddLogLine(L"first", LOG_INFO);
  SetLogStatusHook(&LoggingHook);
  AddLogLine(L"outer", LOG_INFO);

  ASSERT_EQ(g_logItems.GetSize(), 3);
  EXPECT_EQ(g_logItems[0]->m_strDescription, L"first");
  EXPECT_EQ(g_logItems[1]->m_strDescription, L"outer");
  EXPECT_EQ(g_logItems[2]->m_strDescription, L"from the hook");
  EXPECT_EQ(g_logItems[2]->m_nNumber, 3);
  EXPECT_EQ(FileLines().size(), 3u);
  const std::vector<CString> status = StatusTexts();
  ASSERT_EQ(status.size(), 2u);
  ExpectStamped(status[1], L"#  3 ", L"  ", L"from the hook");
}

// ---- The log window ------------------------------------------------------------

TEST_F(EventLogTest, WindowShowsEarlierLinesThenFollowsNewOnes) {
  AddLogLine(L"before the window", LOG_INFO);  // window not created: nothing to show yet
  AddLogLine(L"also before", LOG_ERROR);
  OpenWindow();
  EXPECT_EQ(RowCount(), 2);
  AddLogLine(L"while open", LOG_WARNING);
  g_logDlg.ShowWindow(SW_HIDE);
  AddLogLine(L"while hidden", LOG_INFO);

  const wchar_t* kTexts[] = {L"before the window", L"also before", L"while open", L"while hidden"};
  ASSERT_EQ(RowCount(), 4);
  for (int i = 0; i < 4; ++i) {
    CString number;
    number.Format(L"#%03d", i + 1);
    EXPECT_EQ(CellText(i, 1), number);
    EXPECT_EQ(CellText(i, 3), kTexts[i]);
  }
  // The last row is scrolled into view.
  const int top = static_cast<int>(::SendMessageW(LogList(), LVM_GETTOPINDEX, 0, 0));
  const int perPage = static_cast<int>(::SendMessageW(LogList(), LVM_GETCOUNTPERPAGE, 0, 0));
  EXPECT_LE(3, top + perPage);
}

// Pictures of the window resized by its border and then by code, for a person to look at
// (bash tests/window/screenshots.sh OUT app app_eventlog_test '*PicturesOfAResize*'): the
// moved buttons, the stretched list with its header and the grip are drawn anew.
TEST_F(EventLogTest, PicturesOfAResize) {
  if (!PicturesWanted()) GTEST_SKIP() << "run by tests/window/screenshots.sh";
  for (int i = 0; i < 12; ++i)
    AddLogLine(L"A line of the log to look at", static_cast<short>(i % 3));
  OpenWindow();
  g_logDlg.SetWindowPos(nullptr, 20, 20, 660, 400, SWP_NOZORDER);
  HoldForPicture(L"log-opened");
  DragLowerRightCorner(g_logDlg.m_hWnd, 180, 110);
  HoldForPicture(L"log-dragged");
  g_logDlg.SetWindowPos(nullptr, 0, 0, 740, 440, SWP_NOMOVE | SWP_NOZORDER);
  HoldForPicture(L"log-by-code");
}

TEST_F(EventLogTest, ColumnsAndTheDescriptionWidthByItemCount) {
  struct Case {
    int items;
    int descriptionWidth;
    BOOL vistaOrLater;
    DWORD extendedStyle;
  };
  const Case kCases[] = {{0, 478, TRUE, 0x10420},
                         {18, 478, FALSE, 0x421},
                         {19, 461, TRUE, 0x10420},
                         {40, 461, FALSE, 0x421}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.items);
    DeleteAllLogItems();
    g_bVistaOrLater = c.vistaOrLater;
    for (int i = 0; i < c.items; ++i) AddLogLine(L"x", LOG_INFO);
    OpenWindow();
    struct Column {
      const wchar_t* header;
      int width, format;
    };
    const Column kColumns[] = {{L"", 0, LVCFMT_LEFT},
                               {L"Events", 55, LVCFMT_CENTER},
                               {L"Time", 63, LVCFMT_CENTER},
                               {L"Description", c.descriptionWidth, LVCFMT_LEFT}};
    for (int col = 0; col < 4; ++col) {
      wchar_t header[64] = {};
      LVCOLUMNW info{};
      info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
      info.pszText = header;
      info.cchTextMax = 64;
      ASSERT_TRUE(::SendMessageW(LogList(), LVM_GETCOLUMNW, col, reinterpret_cast<LPARAM>(&info)));
      EXPECT_STREQ(header, kColumns[col].header);
      EXPECT_EQ(info.cx, kColumns[col].width) << col;
      EXPECT_EQ(info.fmt & LVCFMT_JUSTIFYMASK, kColumns[col].format) << col;
    }
    EXPECT_EQ(RowCount(), c.items);
    const DWORD ex =
        static_cast<DWORD>(::SendMessageW(LogList(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(ex & 0x10421u, c.extendedStyle);
    g_logDlg.DestroyWindow();
  }
}

COLORREF PixelInCell(int row, int column) {
  RECT cell{};
  cell.top = column;
  cell.left = LVIR_BOUNDS;
  ::SendMessageW(LogList(), LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
  HDC dc = ::GetDC(LogList());
  // Near the right end of the cell, away from the text.
  const COLORREF pixel = ::GetPixel(dc, cell.right - 4, (cell.top + cell.bottom) / 2);
  ::ReleaseDC(LogList(), dc);
  return pixel;
}

TEST_F(EventLogTest, RowsAreColouredByKind) {
  AddLogLine(L"information", LOG_INFO);
  AddLogLine(L"warning", LOG_WARNING);
  AddLogLine(L"error", LOG_ERROR);
  AddLogLine(L"unknown kind", 7);
  OpenWindow();
  ::SetForegroundWindow(g_logDlg.m_hWnd);
  ::SendMessageW(LogList(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), [] {
    static LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    return reinterpret_cast<LPARAM>(&none);
  }());
  ::RedrawWindow(LogList(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);

  const COLORREF window = ::GetSysColor(COLOR_WINDOW);
  const COLORREF expected[] = {RGB(89, 255, 172), RGB(255, 255, 134), RGB(255, 175, 150), window};
  for (int row = 0; row < 4; ++row)
    for (int column = 1; column <= 3; ++column)
      EXPECT_EQ(PixelInCell(row, column), expected[row]) << "row " << row << " column " << column;
}

TEST_F(EventLogTest, ClearEmptiesTheWindowSaysReadyAndNumberingGoesOn) {
  AddLogLine(L"one", LOG_INFO);
  AddLogLine(L"two", LOG_INFO);
  OpenWindow();
  ::SendMessageW(g_logDlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_LOG_CLEAR, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(g_logDlg.m_hWnd, IDC_LOG_CLEAR)));

  EXPECT_EQ(RowCount(), 0);
  EXPECT_EQ(g_logItems.GetSize(), 0);
  EXPECT_EQ(StatusTexts().back(), L"Ready");
  EXPECT_EQ(g_nLogCount, 2);

  AddLogLine(L"three", LOG_INFO);
  ASSERT_EQ(RowCount(), 1);
  EXPECT_EQ(CellText(0, 1), L"#003");
  EXPECT_EQ(g_logItems[0]->m_nNumber, 3);
  EXPECT_EQ(FileLines().size(), 3u);  // the file keeps everything
}

TEST_F(EventLogTest, EveryWayOfClosingOnlyHidesTheWindow) {
  struct Case {
    const char* name;
    UINT message;
    WPARAM wParam;
  };
  const Case kCases[] = {
      {"OK button", WM_COMMAND, MAKEWPARAM(IDC_LOG_OK, BN_CLICKED)},
      {"Enter (IDOK)", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)},
      {"Esc (IDCANCEL)", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)},
      {"close box", WM_CLOSE, 0},
  };
  OpenWindow();
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    g_logDlg.ShowWindow(SW_SHOWNORMAL);
    ASSERT_TRUE(::IsWindowVisible(g_logDlg.m_hWnd));
    const int rows = RowCount();
    ::SendMessageW(g_logDlg.m_hWnd, c.message, c.wParam, 0);
    PumpPending();
    ASSERT_TRUE(::IsWindow(g_logDlg.m_hWnd));
    EXPECT_FALSE(::IsWindowVisible(g_logDlg.m_hWnd));
    AddLogLine(L"after hiding", LOG_INFO);
    EXPECT_EQ(RowCount(), rows + 1);
  }
}

TEST_F(EventLogTest, EscapeKeyHidesTheWindow) {
  OpenWindow();
  ::SetForegroundWindow(g_logDlg.m_hWnd);
  ::SetFocus(LogList());
  MSG msg{g_logDlg.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001, 0, {}};
  msg.hwnd = LogList();
  if (!g_logDlg.PreTranslateMessage(&msg)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  PumpPending();
  ASSERT_TRUE(::IsWindow(g_logDlg.m_hWnd));
  EXPECT_FALSE(::IsWindowVisible(g_logDlg.m_hWnd));
}

// ---- Many threads ----------------------------------------------------------------

constexpr int kThreads = 8;
constexpr int kLinesPerThread = 150;

unsigned __stdcall LoggingThread(void* parameter) {
  const int thread = static_cast<int>(reinterpret_cast<INT_PTR>(parameter));
  for (int i = 0; i < kLinesPerThread; ++i) {
    CString text;
    text.Format(L"t%d line %d", thread, i);
    AddLogLine(text, static_cast<short>(i % 3));
  }
  return 0;
}

// The status pane of the main window lives on the user-interface thread: the hook
// sends to a window there, as the real one does, while that thread logs too.
HWND g_statusWindow = nullptr;
void SendingHook(const CString& text) {
  RecordStatus(text);
  ::SendMessageW(g_statusWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.GetString()));
}

TEST_F(EventLogTest, ManyThreadsLoseNoLineAndEveryPlaceSeesOneOrder) {
  OpenWindow();
  g_statusWindow = ::CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 20,
                                   g_logDlg.m_hWnd, nullptr, nullptr, nullptr);
  ASSERT_NE(g_statusWindow, nullptr);
  SetLogStatusHook(&SendingHook);
  // Hidden, as the log window mostly is: it still gets every row, and Wine's list view
  // repaints on each insertion while shown, which would only slow the test down.
  g_logDlg.ShowWindow(SW_HIDE);

  std::vector<HANDLE> threads;
  for (int t = 0; t < kThreads; ++t) {
    auto h = reinterpret_cast<HANDLE>(_beginthreadex(
        nullptr, 0, &LoggingThread, reinterpret_cast<void*>(static_cast<INT_PTR>(t)), 0, nullptr));
    ASSERT_NE(h, nullptr);
    threads.push_back(h);
  }
  // The window thread logs as well and keeps handling the workers' sends and posts.
  int uiLines = 0;
  for (;;) {
    ::MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (::WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 0) ==
        WAIT_OBJECT_0)
      break;
    if (uiLines < kLinesPerThread) {
      CString text;
      text.Format(L"t%d line %d", kThreads, uiLines++);
      AddLogLine(text, LOG_INFO);
    }
    PumpPending();
  }
  for (HANDLE h : threads) ::CloseHandle(h);
  while (uiLines < kLinesPerThread) {
    CString text;
    text.Format(L"t%d line %d", kThreads, uiLines++);
    AddLogLine(text, LOG_INFO);
  }
  PumpPending();
  SetLogStatusHook(&RecordStatus);

  const int total = (kThreads + 1) * kLinesPerThread;
  EXPECT_EQ(g_nLogCount, total);
  ASSERT_EQ(g_logItems.GetSize(), total);

  // Numbers run 1..total; each thread's lines keep their order.
  std::map<int, int> nextLine;
  for (int i = 0; i < total; ++i) {
    const CLogItem* item = g_logItems[i];
    EXPECT_EQ(item->m_nNumber, i + 1);
    int thread = -1, line = -1;
    ASSERT_EQ(swscanf(item->m_strDescription.GetString(), L"t%d line %d", &thread, &line), 2);
    EXPECT_EQ(line, nextLine[thread]++) << "thread " << thread;
  }
  for (int t = 0; t <= kThreads; ++t) EXPECT_EQ(nextLine[t], kLinesPerThread);

  // The status hook, the file and the rows saw the same lines in the same order.
  const std::vector<CString> status = StatusTexts();
  const std::vector<std::wstring> file = FileLines();
  ASSERT_EQ(static_cast<int>(status.size()), total);
  ASSERT_EQ(static_cast<int>(file.size()), total);
  ASSERT_EQ(RowCount(), total);
  for (int i = 0; i < total; ++i) {
    const CLogItem* item = g_logItems[i];
    CString prefix;
    prefix.Format(L"#%3d ", item->m_nNumber);
    EXPECT_EQ(status[i], prefix + item->m_strTime + L"  " + item->m_strDescription);
    EXPECT_EQ(CString(file[i].c_str()),
              prefix + item->m_strTime + L" " + item->m_strDescription + L"\r\n");
    EXPECT_EQ(CellText(i, 3), item->m_strDescription);
    if (HasFailure()) break;
  }
}

}  // namespace
