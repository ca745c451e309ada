#include "app/EventLog.h"

#include <ctime>
#include <deque>
#include <exception>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "VeltraskApp.h"
#include "engine/ProcessState.h"
#include "engine/Settings.h"
#include "framework/core/Exceptions.h"
#include "uikit/ExplorerTheme.h"
#include "uikit/StdioFileEx.h"
#include "resource.h"

CTypedPtrArray<CPtrArray, CLogItem*> g_logItems;
std::mutex g_logItemsLock;
std::atomic<int> g_nLogCount{0};
CLogDlg g_logDlg;

namespace {

constexpr wchar_t kPlacementSection[] = L"Position";
constexpr wchar_t kPlacementValue[] = L"{DC005E05-56BF-4ED7-BFED-F658CE8B1B16}";
constexpr wchar_t kLogFileName[] = L"Corvane.log";
// Posted to the log window by a thread that added a line: rows are made on the
// window's own thread only.
constexpr UINT kSyncRowsMessage = WM_APP + 1;

constexpr int kDescriptionWidth = 478;
constexpr int kDescriptionWidthWithScrollBar = 461;
constexpr int kRowsBeforeScrollBar = 19;

std::atomic<void (*)(const CString&)> g_statusHook{nullptr};

// How adding works: a caller puts its line in the queue under g_queueLock. When no
// other thread is draining, it becomes the drainer and handles queued lines one by
// one, the lock released around each, until the queue is empty. So lines are never
// dropped, only one thread numbers and writes at a time (file, list and status see
// the same order), and no lock is held while the status hook or the window is told.
struct PendingLine {
  CString text;
  short kind;
};
std::mutex g_queueLock;
std::deque<PendingLine> g_queue;
bool g_draining = false;  // guarded by g_queueLock

// A hook that fails costs the status text only; the file and the list still get the line.
void ReportStatus(const CString& statusText) {
  auto hook = g_statusHook.load(std::memory_order_acquire);
  if (!hook) return;
  try {
    hook(statusText);
  } catch (CException* e) {
    e->Delete();
  } catch (...) {
  }
}

CString TimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  int hour = -1, minute = -1, second = -1;
  if (now != static_cast<std::time_t>(-1) && localtime_s(&local, &now) == 0) {
    hour = local.tm_hour;
    minute = local.tm_min;
    second = local.tm_sec;
  }
  CString time;
  time.Format(L"%02d:%02d:%02d", hour, minute, second);
  return time;
}

CString LogFilePath() {
  CString path = g_strSettingsFolder;
  if (!path.IsEmpty() && path[path.GetLength() - 1] != L'\\') path += L'\\';
  return path + kLogFileName;
}

// Appends one line; a file that cannot be opened or written costs that line in the
// file only.
void WriteLogFileLine(const CString& line) {
  CStdioFileEx file;
  CFileException error;
  if (!file.Open(LogFilePath(),
                 CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | TextFileUnicodeFlag,
                 &error))
    return;
  try {
    file.SeekToEnd();
    file.WriteString(line);
    file.Close();
  } catch (CException* e) {
    e->Delete();
    file.Abort();
  }
}

void AddOneLine(const PendingLine& line) {
  const int number = g_nLogCount.load(std::memory_order_relaxed) + 1;
  CString numberText;
  numberText.Format(L"#%3d ", number);
  const CString time = TimeText();

  ReportStatus(numberText + time + L"  " + line.text);
  if (WriteLog) WriteLogFileLine(numberText + time + L" " + line.text + L"\r\n");

  auto item = std::make_unique<CLogItem>(number, time, line.text, line.kind);
  {
    std::lock_guard<std::mutex> lock(g_logItemsLock);
    g_logItems.Add(item.get());
  }
  item.release();
  // Counted before the window hears of it, so whoever sees the row sees the count.
  g_nLogCount.store(number, std::memory_order_release);
  g_logDlg.AppendLastItem();
}

}  // namespace

CLogItem::CLogItem(int number, const CString& time, const CString& description, short kind)
    : m_strDescription(description), m_nKind(kind), m_nNumber(number), m_strTime(time) {}

CLogItem::~CLogItem() = default;

void SetLogStatusHook(void (*hook)(const CString& statusText)) {
  g_statusHook.store(hook, std::memory_order_release);
}

void AddLogLine(const CString& text, short kind) {
  try {
    {
      std::lock_guard<std::mutex> lock(g_queueLock);
      g_queue.push_back(PendingLine{text, kind});
      if (g_draining) return;  // the draining thread takes it
      g_draining = true;
    }
    for (;;) {
      PendingLine line;
      {
        std::lock_guard<std::mutex> lock(g_queueLock);
        if (g_queue.empty()) {
          g_draining = false;
          return;
        }
        line = std::move(g_queue.front());
        g_queue.pop_front();
      }
      // One failing line (out of memory, a hook that threw) must not stop the drain,
      // or every later line would wait in the queue for good.
      try {
        AddOneLine(line);
      } catch (CException* e) {
        e->Delete();
      } catch (...) {
      }
    }
  } catch (...) {
    // Only the queue's own allocation or locking can get here; the line is lost
    // rather than letting an exception out of a logging call.
  }
}

void DeleteAllLogItems() {
  CTypedPtrArray<CPtrArray, CLogItem*> items;
  {
    std::lock_guard<std::mutex> lock(g_logItemsLock);
    items.Copy(g_logItems);
    g_logItems.RemoveAll();
  }
  for (INT_PTR i = 0; i < items.GetSize(); ++i) delete items[i];
}

BEGIN_MESSAGE_MAP(CLogDlg, CResizeDlg)
ON_BN_CLICKED(IDC_LOG_OK, OnHide)
ON_BN_CLICKED(IDC_LOG_CLEAR, OnClear)
ON_NOTIFY(NM_CUSTOMDRAW, IDC_LIST_LOG, OnCustomDraw)
ON_WM_DESTROY()
ON_MESSAGE(kSyncRowsMessage, OnSyncRows)
END_MESSAGE_MAP()

CLogDlg::CLogDlg() : CResizeDlg(IDD_LOG, nullptr) {}

void CLogDlg::DoDataExchange(CDataExchange* pDX) {
  CResizeDlg::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_LIST_LOG, m_list);
}

BOOL CLogDlg::OnInitDialog() {
  CResizeDlg::OnInitDialog();
  m_window.store(m_hWnd, std::memory_order_release);
  HICON icon = static_cast<HICON>(
      ::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                   ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  if (icon) SetIcon(icon, FALSE);

  m_list.DeleteAllItems();
  m_list.EnableWindow(TRUE);
  m_list.EnableToolTips(TRUE);
  INT_PTR itemCount;
  {
    std::lock_guard<std::mutex> lock(g_logItemsLock);
    itemCount = g_logItems.GetSize();
  }
  m_list.InsertColumn(0, L"", LVCFMT_LEFT, 0);
  m_list.InsertColumn(1, L"Events", LVCFMT_CENTER, 55);
  m_list.InsertColumn(2, L"Time", LVCFMT_CENTER, 63);
  // With this many rows the vertical scroll bar shows and takes its width off.
  m_list.InsertColumn(
      3, L"Description", LVCFMT_LEFT,
      itemCount >= kRowsBeforeScrollBar ? kDescriptionWidthWithScrollBar : kDescriptionWidth);
  ApplyReportListLook(m_list.m_hWnd, g_bVistaOrLater);

  SyncRows();

  AddControl(IDC_LIST_LOG, kAnchorStretch, kAnchorStretch, kAnchorStretch, kAnchorStretch);
  AddControl(IDC_LOG_OK, kAnchorCentre, kAnchorCentre, kAnchorMove, kAnchorMove);
  AddControl(IDC_LOG_CLEAR, kAnchorCentre, kAnchorCentre, kAnchorMove, kAnchorMove);

  try {
    m_placement.Restore(m_hWnd, kPlacementValue, kPlacementSection);
  } catch (CException* e) {
    e->Delete();
    m_placement.Apply(m_hWnd, kPlacementSection);
  }
  return TRUE;
}

void CLogDlg::AppendLastItem() {
  HWND window = m_window.load(std::memory_order_acquire);
  if (!window) return;
  if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId())
    SyncRows();
  else
    ::PostMessageW(window, kSyncRowsMessage, 0, 0);
}

LRESULT CLogDlg::OnSyncRows(WPARAM, LPARAM) {
  SyncRows();
  return 0;
}

void CLogDlg::SyncRows() {
  if (!m_list.m_hWnd) return;
  // Texts are copied under the lock and the rows made after it, so a thread adding a
  // line never waits for this window's drawing.
  struct Row {
    CString number, time, description;
  };
  std::vector<Row> rows;
  const int shown = m_list.GetItemCount();
  {
    std::lock_guard<std::mutex> lock(g_logItemsLock);
    for (INT_PTR i = shown; i < g_logItems.GetSize(); ++i) {
      const CLogItem* item = g_logItems[i];
      Row row;
      row.number.Format(L"#%03d", item->m_nNumber);
      row.time = item->m_strTime;
      row.description = item->m_strDescription;
      rows.push_back(std::move(row));
    }
  }
  if (rows.empty()) return;
  for (const Row& row : rows) {
    const int index = m_list.InsertItem(m_list.GetItemCount(), L"");
    if (index < 0) break;
    m_list.SetItemText(index, 1, row.number);
    m_list.SetItemText(index, 2, row.time);
    m_list.SetItemText(index, 3, row.description);
  }
  m_list.EnsureVisible(m_list.GetItemCount() - 1, FALSE);
}

void CLogDlg::OnOK() { OnHide(); }

void CLogDlg::OnCancel() { OnHide(); }

void CLogDlg::OnHide() { ShowWindow(SW_HIDE); }

void CLogDlg::OnClear() {
  DeleteAllLogItems();
  m_list.DeleteAllItems();
  ReportStatus(L"Ready");
}

void CLogDlg::OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult) {
  auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(pNMHDR);
  *pResult = CDRF_DODEFAULT;
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
    case CDDS_ITEMPREPAINT:
      *pResult = CDRF_NOTIFYSUBITEMDRAW;
      break;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      struct Colours {
        COLORREF text, background;
      };
      static const Colours kByKind[] = {
          {RGB(0, 130, 33), RGB(89, 255, 172)},    // LOG_INFO
          {RGB(128, 128, 0), RGB(255, 255, 134)},  // LOG_WARNING
          {RGB(255, 0, 0), RGB(255, 175, 150)},    // LOG_ERROR
      };
      const INT_PTR row = static_cast<INT_PTR>(draw->nmcd.dwItemSpec);
      int kind = -1;
      {
        std::lock_guard<std::mutex> lock(g_logItemsLock);
        if (row >= 0 && row < g_logItems.GetSize()) kind = g_logItems[row]->m_nKind;
      }
      if (kind >= 0 && kind < static_cast<int>(std::size(kByKind))) {
        draw->clrText = kByKind[kind].text;
        draw->clrTextBk = kByKind[kind].background;
      }
      break;
    }
    default:
      break;
  }
}

void CLogDlg::OnDestroy() {
  m_window.store(nullptr, std::memory_order_release);
  CResizeDlg::OnDestroy();
  m_placement.Save(m_hWnd, kPlacementValue, kPlacementSection);
}
