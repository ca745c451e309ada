// The event log: numbered, time-stamped lines shown in the status bar, appended to the
// log file and kept for the modeless log window.
#pragma once

#include <atomic>
#include <mutex>

#include "engine/EngineLog.h"
#include "framework/core/Collections.h"
#include "framework/core/String.h"
#include "framework/win/ListCtrl.h"
#include "uikit/ResizeDlg.h"
#include "uikit/WindowPlacement.h"

// One line of the log.
class CLogItem {
 public:
  CLogItem(int number, const CString& time, const CString& description, short kind);
  virtual ~CLogItem();

  CString m_strDescription;  // the text as the caller gave it
  short m_nKind;             // LOG_INFO, LOG_WARNING or LOG_ERROR
  int m_nNumber;             // from 1
  CString m_strTime;         // "hh:mm:ss", local time
};

// Every line since start (or since the last Clear), in order of arrival; row i of the
// log window shows item i. Lines are added on whichever thread logs, so any access
// from another thread while logging may run holds g_logItemsLock (briefly: never
// while sending to a window).
extern CTypedPtrArray<CPtrArray, CLogItem*> g_logItems;
extern std::mutex g_logItemsLock;
// Lines added since start; never reset, not even by Clear.
extern std::atomic<int> g_nLogCount;

// Adds one line; callable from any thread, never throws, never drops a line.
void AddLogLine(const CString& text, short kind);
// Receives each line's status text ("#%3d " + time + "  " + text) and "Ready" after a
// Clear. Called on the thread that adds the line; must not throw. nullptr removes it.
void SetLogStatusHook(void (*hook)(const CString& statusText));
// Removes and destroys every item (Clear and the exit sequence).
void DeleteAllLogItems();

// The log window: modeless, created on first use, then only shown and hidden.
class CLogDlg : public CResizeDlg {
 public:
  CLogDlg();

  // Shows the items the list does not show yet as new last rows. Any thread; the rows
  // are made on the window's thread. Does nothing while the window does not exist.
  void AppendLastItem();

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  // Modeless: Enter, Esc and the close box hide the window like its OK button.
  void OnOK() override;
  void OnCancel() override;

  void OnHide();
  void OnClear();
  void OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);
  void OnDestroy();
  LRESULT OnSyncRows(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

  // Adds rows for the items past the list's last row.
  void SyncRows();

  WindowPlacementStore m_placement;
  CListCtrl m_list;
  // The window while it exists, for threads that must not touch m_hWnd.
  std::atomic<HWND> m_window{nullptr};
};

extern CLogDlg g_logDlg;
