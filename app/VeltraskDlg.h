// The main window: drive combo, track list, player controls, two toolbars and the
// status bar. Split by concern over MainDlg*.cpp:
//   MainDlg.cpp           construction, message map, start-up (OnInitDialog)
//   MainDlgCommands.cpp   command states, check commands, track-list clicks and colours,
//                         format commands, timer, paint, size, web and help commands
//   MainDlgTrackList.cpp  track list, destinations, format summary, status panes, time
//   MainDlgRefresh.cpp    disc worker, refresh, drive selection, tray, media changes
//   MainDlgLookup.cpp     the album-lookup operations the refresh calls
//   MainDlgLog.cpp        event-log forwarding and the player-text message
//   MainDlgChooser.cpp    the several-matches request
//   MainDlgRip.cpp        rip commands
//   MainDlgPlay.cpp       play commands, keys, tooltips, double-click
//   MainDlgExit.cpp       the exit sequence
#pragma once

#include <atomic>

#include "engine/CDDrive.h"
#include "engine/Playback.h"
#include "engine/ProcessState.h"
#include "engine/RingBuffer.h"
#include "framework/core/Thread.h"
#include "framework/core/Time.h"
#include "framework/win/ControlBars.h"
#include "framework/win/ListCtrl.h"
#include "framework/win/Win.h"
#include "uikit/ResizeDlg.h"
#include "uikit/WindowPlacement.h"

class CVeltraskDlg;

// ---- Process-wide values of the main window ----------------------------------------------

// This dialog once its start-up has begun; null before.
extern CVeltraskDlg* g_pMainDlg;
// "Unregistered User <n>", handed to the CDDB client before each lookup.
extern CString g_strHelloUser;
// The time the program started (log banner, first log item).
extern CTime g_startTime;

// How the refresh flags work: g_bBusy is written only by EnableControls (set on the disc
// worker at a refresh's start and end); the commands on the user-interface thread read it
// through IsRefreshRunning. g_bLookupAlbumInfo and g_bLookupFromSettings are written by the
// thread that starts a refresh and by the refresh itself; only one refresh runs at a time,
// so plain loads and stores in sequentially consistent order are all that is needed.
extern std::atomic<BOOL> g_bBusy;
extern std::atomic<BOOL> g_bLookupAlbumInfo;
extern std::atomic<BOOL> g_bLookupFromSettings;
// Set at start; cleared once the start-up tip has been shown.
extern std::atomic<BOOL> g_bTipPending;
// Set once the exit sequence has begun; a second exit request returns at once.
extern std::atomic<BOOL> g_bExiting;
// TRUE when start-up initialised COM on the user-interface thread; the exit undoes it.
extern BOOL g_bComInitialized;

// Posted by the dialog to itself.
constexpr UINT WM_FIRST_REFRESH = WM_USER + 110;  // end of start-up: the first refresh
constexpr UINT WM_TASKBAR_STATE = WM_USER + 111;  // wParam: TBPF_* for the taskbar button

// Item data of a track row: the length in sectors, bit 31 set for a data track.
constexpr DWORD kDataTrackBit = 0x80000000;

// Sent by the disc worker, which waits until the choice among several matches is made.
constexpr UINT WM_CDDB_MULTIPLE = WM_USER + 101;

// The disc worker's thread procedure; pParam is a new'd short action (0 refresh, 1 open
// the tray, 2 close it) that the worker deletes.
UINT DiscWorkerThread(LPVOID pParam);
// Starts the disc worker with a fresh action code. FALSE when the thread did not start.
BOOL StartDiscWorker(short action);

// TRUE from the moment a refresh is asked for until the last one asked for has ended,
// and while the busy switch is on: the one test of every command that refuses while the
// disc is refreshed. The busy switch alone has gaps (before a worker has begun, and
// between a failed refresh and its retry).
BOOL IsRefreshRunning();
// The number of refreshes begun so far.
LONG RefreshesBegun();
// Keeps refreshes from beginning, for a writer of the record on the user-interface
// thread; FALSE (nothing held) when one is asked for or runs. A refresh asked for while
// held begins at ReleaseRefreshHold.
BOOL HoldRefreshes();
void ReleaseRefreshHold();
// The exit's answer to a refresh that is asked for or runs (user-interface thread): the
// refresh's lookup is ended now, no further refresh begins, and the refresh's end asks
// for the exit again (a WM_CLOSE).
void ExitAfterRefresh();

// "A" + index of the lowest set bit among bits 0 to 25; the character after "Z" when none.
TCHAR DriveLetterFromUnitMask(DWORD unitMask);

class CVeltraskDlg : public CResizeDlg, public CPlayback {
 public:
  explicit CVeltraskDlg(CWnd* pParent = nullptr);
  ~CVeltraskDlg() override;

  // ---- Event log (any thread) ----
  static void AddLog(CString text, short kind);
  // Kind 1 event, 2 disc state, 3 output format; others do nothing.
  void SetStatusPane(int kind, CString text);

  // ---- Busy switch and track selection ----
  void EnableControls(BOOL enable);
  BOOL FindNextCheckedTrack(int row, BOOL testOnly) override;
  BOOL FindPreviousCheckedTrack(int row, BOOL testOnly) override;
  BOOL SelectCurrentTrack();

  // ---- Playback's view of the track list ----
  DWORD GetTrackItemData(int row) override;
  int GetTrackCount() override;
  HWND GetPlayerWindow() override;

  // ---- Disc (disc worker) ----
  void RefreshDisc();
  // Opens the current drive and reads its table of contents; sets m_bAudioCD.
  void ReadDisc();
  // The drive selected in the combo becomes DriveNum, logged and checked in the menu.
  void MakeSelectedDriveCurrent();
  // MakeSelectedDriveCurrent, then a refresh of that drive.
  void SetCurrentDrive(BOOL lookup);
  // The refresh of a media notification that came during the rip job that just ended.
  void RefreshAfterRipJob();
  // TRUE from the start of a rip command's job to the end of its threads.
  BOOL IsRipJobRunning() const;

  // ---- Track list and status bar ----
  void RefreshTrackList();
  void RefreshDestinations();
  void FormatSummary();
  static CString FormatRateChannels(short rateIndex, short channels);
  void SetFormatButtonImage();

  // ---- Album lookup, as the refresh calls it ----
  void ApplyCDDBServer();
  BOOL LoadLocalCDDB();
  void QueryRemoteCDDB();
  void SetDefaultRecord();
  void ClearQueryResults();

  // Where start-up finds the CD-ROM letters; null: the system's. Tests set their own.
  static CDriveLetterSource* s_pDriveLetterSource;

  // ---- Settings ----
  static BOOL LoadSettings();
  static BOOL SaveSettings();

  BOOL PreTranslateMessage(MSG* pMsg) override;

  // ---- Members, in this order ----
  HACCEL m_hAccel;
  CToolBar m_wndToolBar;
  CToolBar m_wndPlayerBar;
  CReBarCtrl m_wndReBar;
  CStatusBar m_wndStatusBar;
  WindowPlacementStore m_placement;
  CSliderCtrl m_sliderVolume;
  CStatic m_staticTime;
  CSliderCtrl m_sliderPosition;
  CListCtrl m_listTracks;
  CComboBox m_comboDrive;
  CToolTipCtrl* m_pToolTip;
  // The playback flags, position, threads and lock are the CPlayback base's.
  // Set by ReadDisc on the disc worker, read by commands on the user-interface thread.
  std::atomic<BOOL> m_bAudioCD;
  HICON m_hIcon;
  RingBuffer<short, 1>* m_pRipRingA;
  RingBuffer<short, 1>* m_pRipRingB;
  // Set by the rip commands around their job (user-interface thread).
  std::atomic<BOOL> m_bRipJobRunning{FALSE};

 private:
  CImageList m_mainImages;    // the main toolbar's images
  CImageList m_playerImages;  // the player toolbar's images

 public:
 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override {}      // Enter does not end the main window
  void OnCancel() override {}  // nor does Esc: Exit and the close box do

  // Start-up steps (MainDlg.cpp).
  BOOL CreateBars();
  void SetUpToolBar(CToolBar& bar, CImageList& images, int size, const UINT* icons, int iconCount,
                    const UINT* buttons, int buttonCount);
  void SetUpFolders();
  void WriteLogBanner();
  // Throws when the program cannot run: no usable drive, or drives without letters.
  void ListDrives();
  // Shows the no-drive box and ends the process with exit code 1.
  [[noreturn]] void FailWithoutDrives();
  void CheckAudioOutput();
  void SetUpTrackList();
  // Selects the start drive; TRUE when there is one to refresh.
  BOOL SelectStartDrive();
  void InitFailed(BOOL firstRefresh);
  void PlaceStatusBar(int cx, int cy);
  // The File menu's Drive(s) pop-up.
  CMenu* DriveMenu() const;

  // ---- Message handlers, in map order ----
  void OnSysCommand(UINT nID, LPARAM lParam);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnExitApp();
  void OnDriveSelChange();
  void OnViewLog();
  void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
  void OnCheckAll();
  void OnUncheckAll();
  void OnReverseCheck();
  void OnPauseResume();
  void OnPlay();
  void OnPreviousTrack();
  void OnStopPlay();
  void OnNextTrack();
  void OnTrackListClick(NMHDR* pNMHDR, LRESULT* pResult);
  void OnTrackListItemChanging(NMHDR* pNMHDR, LRESULT* pResult);
  void OnCloseTray();
  void OnEjectTray();
  void OnRefreshDisc();
  void OnFirstTrack();
  void OnLastTrack();
  void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
  void OnRip();
  void OnRipCurrent();
  void OnOptions();
  void OnClose();
  int OnCreate(LPCREATESTRUCT lpCreateStruct);
  void OnDestroy();
  void OnTrackListRightClick(NMHDR* pNMHDR, LRESULT* pResult);
  void OnPlayCurrent();
  void OnFormatMp3();
  void OnHelpContents();
  void OnEmailSupport();
  void OnDblclkTrackList(NMHDR* pNMHDR, LRESULT* pResult);
  void OnTipOfTheDay();
  void OnOnlineSupport();
  void OnEditCDInfo();
  void OnTimer(UINT_PTR nIDEvent);
  void OnFormatWav();
  void OnUpdateFormatWav(CCmdUI* pCmdUI);
  void OnUpdateFormatMp3(CCmdUI* pCmdUI);
  void OnUpdateFormatOgg(CCmdUI* pCmdUI);
  BOOL OnQueryEndSession();
  void OnDriveMenu(UINT nID);
  LRESULT OnKickIdle(WPARAM wParam, LPARAM lParam);
  void OnUpdatePositionSlider(CCmdUI* pCmdUI);
  LRESULT OnCddbMultiple(WPARAM wParam, LPARAM lParam);
  LRESULT OnPlayerText(WPARAM wParam, LPARAM lParam);
  LRESULT OnPlayerTime(WPARAM wParam, LPARAM lParam);
  BOOL OnToolTipNeedText(UINT id, NMHDR* pNMHDR, LRESULT* pResult);
  void OnSize(UINT nType, int cx, int cy);
  void OnAbout();
  void OnDownload();
  BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
  void OnTrackListCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);
  void OnFormatDropDown();
  void OnMoreFormats();
  void OnFormatOgg();
  LRESULT OnFirstRefresh(WPARAM wParam, LPARAM lParam);
  LRESULT OnTaskbarState(WPARAM wParam, LPARAM lParam);

  DECLARE_MESSAGE_MAP()

  // The output format's choice, then the summary.
  void SetOutputFormat(short format);
  // Row becomes the current track: selected, focused, in view.
  void MakeCurrentTrack(int row);
  // The failure path of a refresh; TRUE when the retry was started and holds the refresh.
  BOOL RefreshFailed();
  // Runs the start-up tip (the timer) or the Tip of the Day command.
  void ShowTip();
};
