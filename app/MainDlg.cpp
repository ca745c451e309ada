// The main window: construction, message map and start-up.
#include "VeltraskApp.h"
#include "VeltraskDlg.h"

#include <portaudio.h>
#include <shlwapi.h>

#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include "AlbumLookup.h"
#include "EditCD.h"
#include "EventLog.h"
#include "FreeDBServer.h"
#include "engine/CDDrive.h"
#include "engine/EngineLog.h"
#include "engine/OutputNaming.h"
#include "engine/SectorBlock.h"
#include "engine/Settings.h"
#include "discinfo/DiscInfoLog.h"
#include "framework/core/File.h"
#include "resource.h"
#include "uikit/ExplorerTheme.h"
#include "uikit/StdioFileEx.h"

CVeltraskDlg* g_pMainDlg = nullptr;
CTime g_startTime;
std::atomic<BOOL> g_bBusy{FALSE};
std::atomic<BOOL> g_bLookupAlbumInfo{TRUE};
std::atomic<BOOL> g_bLookupFromSettings{TRUE};
std::atomic<BOOL> g_bTipPending{TRUE};

namespace {

constexpr wchar_t kPlacementValue[] = L"{F2E2C5E4-3803-4791-813A-DED9CD2E2815}";
constexpr wchar_t kPlacementSection[] = L"Position";
constexpr int kStatusBarHeight = 25;
#ifndef CCS_NOHILITE
constexpr DWORD CCS_NOHILITE = 0x0010;
#endif

// The lower layers' log lines go to the event log.
void ForwardEngineLog(LPCTSTR text, int level) noexcept {
  try {
    CVeltraskDlg::AddLog(text, static_cast<short>(level));
  } catch (...) {
  }
}

// An exception a window hook or callback had to swallow is still an error the user sees.
void LogSwallowedException(LPCTSTR text) noexcept { ForwardEngineLog(text, LOG_ERROR); }

// Every log line's status text goes to the event pane.
void ShowLogStatus(const CString& statusText) noexcept {
  try {
    if (CVeltraskDlg* dlg = g_pMainDlg) dlg->SetStatusPane(1, statusText);
  } catch (...) {
  }
}

// The disc worker waits here until the choice among several matches is made.
void AskForMatch() noexcept {
  if (CVeltraskDlg* dlg = g_pMainDlg) dlg->SendMessage(WM_CDDB_MULTIPLE);
}

// Lines logged while the settings load, before the event log is this window's: they
// are logged once it is (ReleaseStartUpLines).
std::mutex g_startUpLinesLock;
std::vector<std::pair<CString, int>> g_startUpLines;

void HoldStartUpLine(LPCTSTR text, int level) noexcept {
  try {
    std::lock_guard<std::mutex> lock(g_startUpLinesLock);
    g_startUpLines.emplace_back(CString(text), level);
  } catch (...) {
  }
}

void ReleaseStartUpLines() {
  std::vector<std::pair<CString, int>> lines;
  {
    std::lock_guard<std::mutex> lock(g_startUpLinesLock);
    lines.swap(g_startUpLines);
  }
  for (const auto& [text, level] : lines) ForwardEngineLog(text, level);
}

// A start-up step the program cannot run without has failed.
struct DriveFailure {};

}  // namespace

// ---- Construction -----------------------------------------------------------------------

CVeltraskDlg::CVeltraskDlg(CWnd* pParent)
    : CResizeDlg(IDD_CORVANE_DIALOG, pParent),
      m_hAccel(nullptr),
      m_pToolTip(nullptr),
      m_bAudioCD(FALSE),
      m_pRipRingA(nullptr),
      m_pRipRingB(nullptr) {
  m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
  m_hAccel = ::LoadAcceleratorsW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_ACCELERATOR));
}

CVeltraskDlg::~CVeltraskDlg() {
  StopPlayback();  // the playback threads call this object's hooks
  // The exit sequence normally ends the process before this runs; a window that never
  // got that far (tests, a failed start) still releases what it made.
  if (g_pMainDlg == this) {
    SetLogStatusHook(nullptr);
    SetLogSink(nullptr);
    SetDiscInfoLogSink(nullptr);
    AfxSetSwallowedExceptionProc(nullptr);
    g_pMainDlg = nullptr;
  }
  delete m_pToolTip;
  delete m_pRipRingA;
  delete m_pRipRingB;
}

void CVeltraskDlg::DoDataExchange(CDataExchange* pDX) {
  CResizeDlg::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_SLIDER_VOLUME, m_sliderVolume);
  DDX_Control(pDX, IDC_STATIC_TIME, m_staticTime);
  DDX_Control(pDX, IDC_SLIDER_POSITION, m_sliderPosition);
  DDX_Control(pDX, IDC_LIST_TRACKS, m_listTracks);
  DDX_Control(pDX, IDC_COMBO_DRIVE, m_comboDrive);
}

// clang-format off
BEGIN_MESSAGE_MAP(CVeltraskDlg, CResizeDlg)
  ON_WM_SYSCOMMAND()
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
  ON_COMMAND(ID_EXIT, OnExitApp)
  ON_CBN_SELCHANGE(IDC_COMBO_DRIVE, OnDriveSelChange)
  ON_COMMAND(ID_VIEWLOG, OnViewLog)
  ON_WM_INITMENUPOPUP()
  ON_COMMAND(ID_CHECK_ALL, OnCheckAll)
  ON_COMMAND(ID_UNCHECK_ALL, OnUncheckAll)
  ON_COMMAND(ID_REVERSE_CHECK, OnReverseCheck)
  ON_COMMAND(ID_PAUSE_RESUME, OnPauseResume)
  ON_COMMAND(ID_PLAY, OnPlay)
  ON_COMMAND(ID_PREVIOUS_TRACK, OnPreviousTrack)
  ON_COMMAND(ID_STOP, OnStopPlay)
  ON_COMMAND(ID_NEXT_TRACK, OnNextTrack)
  ON_NOTIFY(NM_CLICK, IDC_LIST_TRACKS, OnTrackListClick)
  ON_NOTIFY(LVN_ITEMCHANGING, IDC_LIST_TRACKS, OnTrackListItemChanging)
  ON_COMMAND(ID_CLOSE_TRAY, OnCloseTray)
  ON_COMMAND(ID_EJECT_TRAY, OnEjectTray)
  ON_COMMAND(ID_REFRESH_DISC, OnRefreshDisc)
  ON_COMMAND(ID_FIRST_TRACK, OnFirstTrack)
  ON_COMMAND(ID_LAST_TRACK, OnLastTrack)
  ON_WM_HSCROLL()
  ON_COMMAND(ID_RIP, OnRip)
  ON_COMMAND(ID_RIP_CURRENT, OnRipCurrent)
  ON_COMMAND(ID_OPTIONS, OnOptions)
  ON_WM_CLOSE()
  ON_WM_CREATE()
  ON_WM_DESTROY()
  ON_NOTIFY(NM_RCLICK, IDC_LIST_TRACKS, OnTrackListRightClick)
  ON_COMMAND(ID_PLAY_CURRENT, OnPlayCurrent)
  ON_COMMAND(ID_FORMAT_MP3, OnFormatMp3)
  ON_COMMAND(ID_HELP_CONTENTS, OnHelpContents)
  ON_COMMAND(ID_EMAIL_SUPPORT, OnEmailSupport)
  ON_NOTIFY(NM_DBLCLK, IDC_LIST_TRACKS, OnDblclkTrackList)
  ON_COMMAND(ID_TIP_OF_THE_DAY, OnTipOfTheDay)
  ON_COMMAND(ID_ONLINE_SUPPORT, OnOnlineSupport)
  ON_COMMAND(ID_EDIT_CD_INFO, OnEditCDInfo)
  ON_WM_TIMER()
  ON_COMMAND(ID_FORMAT_WAV, OnFormatWav)
  ON_UPDATE_COMMAND_UI(ID_FORMAT_WAV, OnUpdateFormatWav)
  ON_UPDATE_COMMAND_UI(ID_FORMAT_MP3, OnUpdateFormatMp3)
  ON_WM_QUERYENDSESSION()
  ON_COMMAND_RANGE(ID_DRIVE_FIRST, ID_DRIVE_LAST, OnDriveMenu)
  ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
  ON_UPDATE_COMMAND_UI(IDC_SLIDER_POSITION, OnUpdatePositionSlider)
  ON_MESSAGE(WM_CDDB_MULTIPLE, OnCddbMultiple)
  ON_MESSAGE(WM_PLAYER_TEXT, OnPlayerText)
  ON_MESSAGE(WM_PLAYER_TIME, OnPlayerTime)
  ON_NOTIFY_EX_RANGE(TTN_NEEDTEXTW, 0, 0xFFFF, OnToolTipNeedText)
  ON_WM_SIZE()
  ON_COMMAND(ID_ABOUT, OnAbout)
  ON_COMMAND(ID_DOWNLOAD, OnDownload)
  ON_WM_DEVICECHANGE()
  ON_NOTIFY(NM_CUSTOMDRAW, IDC_LIST_TRACKS, OnTrackListCustomDraw)
  ON_COMMAND(ID_FORMAT, OnFormatDropDown)
  ON_COMMAND(ID_MORE_FORMATS, OnMoreFormats)
  ON_COMMAND(ID_FORMAT_OGG, OnFormatOgg)
  ON_UPDATE_COMMAND_UI(ID_FORMAT_OGG, OnUpdateFormatOgg)
  ON_MESSAGE(WM_FIRST_REFRESH, OnFirstRefresh)
  ON_MESSAGE(WM_TASKBAR_STATE, OnTaskbarState)
END_MESSAGE_MAP()
// clang-format on

// ---- Single-instance window property --------------------------------------------------

int CVeltraskDlg::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (CResizeDlg::OnCreate(lpCreateStruct) == -1) return -1;
  ::SetPropW(m_hWnd, AfxGetApp()->m_pszAppName, reinterpret_cast<HANDLE>(1));
  return 0;
}

void CVeltraskDlg::OnDestroy() {
  CResizeDlg::OnDestroy();
  ::RemovePropW(m_hWnd, AfxGetApp()->m_pszAppName);
}

// ---- Start-up -------------------------------------------------------------------------

BOOL CVeltraskDlg::OnInitDialog() {
  CResizeDlg::OnInitDialog();

  // The read block and the rings come first, so that a start-up that ends early
  // never leaves them half made; Play and Rip refuse when they are missing.
  g_pSectorBlock.reset(AllocSectorBlock(27));
  if (!g_pSectorBlock) return FALSE;
  try {
    m_pRipRingA = new RingBuffer<short, 1>(0xFFFFF);
    m_pRipRingB = new RingBuffer<short, 1>(0xFFFFF);
  } catch (CException* e) {
    e->Delete();
    delete m_pRipRingA;
    m_pRipRingA = nullptr;
  }

  CString aboutText;
  if (aboutText.LoadString(IDS_ABOUTBOX) && !aboutText.IsEmpty()) {
    if (CMenu* sysMenu = GetSystemMenu(FALSE)) {
      sysMenu->AppendMenu(MF_SEPARATOR);
      sysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, aboutText);
    }
  }
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);

  const DWORD version = ::GetVersion();
  const DWORD major = LOBYTE(LOWORD(version));
  const DWORD minor = HIBYTE(LOWORD(version));
  g_bVistaOrLater = major >= 6;
  g_bWin7OrLater = major > 6 || (major == 6 && minor >= 1);
  if (g_bWin7OrLater) {
    g_bComInitialized = SUCCEEDED(::CoInitialize(nullptr));
    void* taskbar = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_ALL, IID_ITaskbarList3,
                                     &taskbar))) {
      g_pTaskbarList = static_cast<ITaskbarList3*>(taskbar);
      if (FAILED(g_pTaskbarList->HrInit())) {
        g_pTaskbarList->Release();
        g_pTaskbarList = nullptr;
      }
    }
  }

  if (!CreateBars()) return -1;

  if (::GetSystemDefaultLCID() == 1042) g_bKoreanLocale = TRUE;
  SetUpFolders();
  WriteLogBanner();

  {
    // The first entry is the log window's alone: no number, no status text, no file line.
    std::lock_guard<std::mutex> lock(g_logItemsLock);
    g_logItems.Add(
        new CLogItem(0, g_startTime.Format(L"%H:%M:%S"), L"Launching Corvane...", LOG_INFO));
  }
  g_pMainDlg = this;
  SetLogStatusHook(ShowLogStatus);
  SetLogSink(ForwardEngineLog);
  SetDiscInfoLogSink(ForwardEngineLog);
  AfxSetSwallowedExceptionProc(LogSwallowedException);
  SetMultipleMatchHandler(AskForMatch);
  AddLog(L"Initializing main dialog...", LOG_INFO);
  ReleaseStartUpLines();
  AddDefaultFreeDBServer();
  if (g_genres.IsEmpty()) FillGenreTable();

  try {
    ListDrives();
  } catch (DriveFailure&) {
    FailWithoutDrives();
  } catch (CException* e) {
    e->Delete();
    FailWithoutDrives();
  } catch (...) {
    FailWithoutDrives();
  }

  CheckAudioOutput();

  BOOL firstRefresh = FALSE;
  try {
    SetUpTrackList();
    firstRefresh = SelectStartDrive();
    m_sliderPosition.SetRange(0, 1000);
    m_sliderVolume.SetRange(0, 100);
    m_sliderVolume.SetPos(Volume);
    m_bSeeking = m_bPlaying = m_bPaused = FALSE;
    m_nCurrentTrack = m_nSectorsLeft = m_nReadSector = 0;
    m_nBlocksPlayed = 0;
    m_dTrackTenths = 0.0;
    FormatSummary();
  } catch (CException* e) {
    e->Delete();
    InitFailed(firstRefresh);
    return TRUE;
  } catch (...) {
    InitFailed(firstRefresh);
    return TRUE;
  }

  SetTimer(1, 1000);
  AddControl(IDC_LIST_TRACKS, kAnchorStretch, kAnchorStretch, kAnchorStretch, kAnchorStretch, 0);
  CRect client;
  GetClientRect(&client);
  PlaceStatusBar(client.Width(), client.Height());
  SetFormatButtonImage();

  try {
    // Nothing stored yet: the window stays where its template put it.
    m_placement.Restore(m_hWnd, kPlacementValue, kPlacementSection);
  } catch (CException* e) {
    e->Delete();
    m_placement.Apply(m_hWnd, kPlacementSection);
  }

  AddLog(L"Initialization finished.", LOG_INFO);
  // The first refresh starts only now, so it never races the rest of the start-up.
  if (firstRefresh) PostMessage(WM_FIRST_REFRESH);
  return TRUE;
}

void CVeltraskDlg::InitFailed(BOOL firstRefresh) {
  AfxMessageBox(L"Fail to Initialize! ", MB_OK | MB_ICONERROR);
  AddLog(L"Fail to initialize!!", LOG_ERROR);
  if (firstRefresh) PostMessage(WM_FIRST_REFRESH);
}

BOOL CVeltraskDlg::CreateBars() {
  static const UINT kIndicators[] = {IDS_INDICATOR_EVENT, IDS_INDICATOR_DISC, IDS_INDICATOR_FORMAT};
  // Sized and placed by the size handler: 25 pixels across the bottom.
  if (!m_wndStatusBar.CreateEx(this,
                               SBARS_SIZEGRIP | SBT_TOOLTIPS | CCS_NORESIZE | CCS_NOPARENTALIGN,
                               WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR) ||
      !m_wndStatusBar.SetIndicators(kIndicators, 3)) {
    AfxMessageBox(L"Failed to create status bar!");
    return FALSE;
  }
  m_wndStatusBar.SetPaneInfo(0, IDS_INDICATOR_EVENT, SBPS_STRETCH, 25);
  m_wndStatusBar.SetPaneInfo(1, IDS_INDICATOR_DISC, SBPS_NORMAL, 25);
  m_wndStatusBar.SetPaneInfo(2, IDS_INDICATOR_FORMAT, SBPS_NORMAL, 25);

  // Main toolbar, inside the rebar.
  if (!m_wndToolBar.CreateEx(this, TBSTYLE_FLAT | TBSTYLE_TRANSPARENT | TBSTYLE_TOOLTIPS,
                             WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP | CBRS_TOOLTIPS,
                             CRect(0, 0, 0, 0), AFX_IDW_TOOLBAR)) {
    AfxMessageBox(L"Failed to create toolbar!");
    return FALSE;
  }
  static const UINT kMainIcons[] = {IDI_TB_REFRESH,    IDI_TB_VIEWLOG,   IDI_TB_EDITCD,
                                    IDI_TB_FORMAT_MP3, IDI_TB_RIP,       IDI_TB_OPTIONS,
                                    IDI_TB_DOWNLOAD,   IDI_TB_HELP,      IDI_TB_ABOUT,
                                    IDI_TB_FORMAT_WAV, IDI_TB_FORMAT_OGG};
  static const UINT kMainButtons[] = {ID_REFRESH_DISC, ID_VIEWLOG,       ID_EDIT_CD_INFO,
                                      ID_FORMAT,       ID_RIP,           ID_OPTIONS,
                                      ID_DOWNLOAD,     ID_HELP_CONTENTS, ID_ABOUT};
  SetUpToolBar(m_wndToolBar, m_mainImages, 48, kMainIcons, 11, kMainButtons, 9);

  CRect none(0, 0, 0, 0);
  m_wndReBar.Create(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_AUTOSIZE |
                        RBS_BANDBORDERS | CCS_NODIVIDER,
                    none, this, AFX_IDW_REBAR);
  SIZE maxSize{};
  m_wndToolBar.GetToolBarCtrl().GetMaxSize(&maxSize);
  REBARBANDINFOW band{};
  band.cbSize = sizeof(band);
  band.fMask =
      RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE | RBBIM_ID;
  band.fStyle = RBBS_BREAK | RBBS_NOGRIPPER | RBBS_USECHEVRON;
  band.hwndChild = m_wndToolBar.m_hWnd;
  band.cxMinChild = maxSize.cy;
  band.cyMinChild = maxSize.cy;
  band.cx = maxSize.cx;
  band.cxIdeal = maxSize.cx;
  band.wID = 0;
  m_wndReBar.InsertBand(static_cast<UINT>(-1), &band);

  // The Format command is reached through the toolbar only.
  if (CMenu* menu = GetMenu()) {
    if (CMenu* file = menu->GetSubMenu(0)) file->DeleteMenu(3, MF_BYPOSITION);
  }

  // Player toolbar, inside the "CD Player" group.
  if (!m_wndPlayerBar.CreateEx(this, TBSTYLE_FLAT | TBSTYLE_TRANSPARENT | TBSTYLE_TOOLTIPS,
                               WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP | CBRS_TOOLTIPS,
                               CRect(0, 0, 0, 0), AFX_IDW_TOOLBAR)) {
    AfxMessageBox(L"Failed to create player toolbar!");
    return FALSE;
  }
  static const UINT kPlayerIcons[] = {IDI_PLAYER_PREVIOUS, IDI_PLAYER_PLAY, IDI_PLAYER_PAUSE,
                                      IDI_PLAYER_STOP,     IDI_PLAYER_NEXT, IDI_PLAYER_EJECT};
  static const UINT kPlayerButtons[] = {ID_PREVIOUS_TRACK, ID_PLAY,       ID_PAUSE_RESUME,
                                        ID_STOP,           ID_NEXT_TRACK, ID_EJECT_TRAY};
  SetUpToolBar(m_wndPlayerBar, m_playerImages, 32, kPlayerIcons, 6, kPlayerButtons, 6);
  RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, 0);
  // The position is the one for the dialog font's usual metrics (6 x 13 pixels a character);
  // where the font comes out larger it moves with the dialog's controls, so the bar stays
  // inside the "CD Player" group and off the time display.
  CRect units(0, 0, 4 * 60, 8 * 60);
  MapDialogRect(&units);
  const double sx = units.Width() / (60.0 * 6);
  const double sy = units.Height() / (60.0 * 13);
  m_wndPlayerBar.MoveWindow(static_cast<int>(310 * sx + 0.5), static_cast<int>(93 * sy + 0.5), 240,
                            50);
  return TRUE;
}

void CVeltraskDlg::SetUpToolBar(CToolBar& bar, CImageList& images, int size, const UINT* icons,
                                int iconCount, const UINT* buttons, int buttonCount) {
  images.Create(size, size, ILC_COLOR32 | ILC_MASK, iconCount, 2);
  for (int i = 0; i < iconCount; ++i) {
    HICON icon = static_cast<HICON>(::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(icons[i]),
                                                 IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    images.Add(icon);
    if (icon) ::DestroyIcon(icon);
  }
  bar.GetToolBarCtrl().SetImageList(&images);
  bar.ModifyStyle(0, CCS_NOMOVEY | CCS_NOHILITE);
  bar.SetButtons(nullptr, buttonCount);
  for (int i = 0; i < buttonCount; ++i) bar.SetButtonInfo(i, buttons[i], BTNS_BUTTON, i);
  CRect first;
  bar.GetItemRect(0, &first);
  bar.SetSizes(CSize(first.Width(), first.Height()), CSize(size, size));
  RepositionBars(AFX_IDW_CONTROLBAR_FIRST, AFX_IDW_CONTROLBAR_LAST, 0);
}

void CVeltraskDlg::SetUpFolders() {
  wchar_t path[256] = {};
  ::GetModuleFileNameW(nullptr, path, 256);
  g_strProgramFolder = path;
  const int slash = g_strProgramFolder.ReverseFind(L'\\');
  if (slash >= 0) g_strProgramFolder = g_strProgramFolder.Left(slash);

  GetDefaultOutputFolder(DesDir);
  GetSettingsFolder(g_strSettingsFolder);
  LocalCDDBDir = g_strSettingsFolder + L"\\Local CDDB";
  if (!::PathFileExistsW(LocalCDDBDir) && !CreateDirectoryPath(LocalCDDBDir)) {
    CString text;
    text.Format(L"Fail to create folder %s !!", LocalCDDBDir.GetString());
    AfxMessageBox(text);
  }

  srand(::GetTickCount());
  g_strHelloUser.Format(L"Unregistered User %d", rand());

  const CString iniPath = g_strSettingsFolder + L"\\" + kSettingsFileName;
  if (!::PathFileExistsW(iniPath)) {
    // The settings keep their built-in values; the file is written at exit. Unicode, so
    // that a folder named in any script comes back as it was saved.
    AfxCreateUnicodeProfile(iniPath);
  } else {
    // The event log takes lines only once this window is its owner, later in start-up.
    const LogSink previous = SetLogSink(HoldStartUpLine);
    LoadSettings();
    SetLogSink(previous);
  }
}

void CVeltraskDlg::WriteLogBanner() {
  g_startTime = CTime::GetCurrentTime();
  const CString startLine = g_startTime.Format(L"Starting Time: %H:%M:%S  %B %d, %Y") + L"\r\n";
  if (!WriteLog) return;
  CStdioFileEx file;
  if (!file.Open(g_strSettingsFolder + L"\\Corvane.log", CFile::modeCreate | CFile::modeNoTruncate |
                                                             CFile::modeWrite |
                                                             TextFileUnicodeFlag))
    return;
  try {
    file.SeekToEnd();
    const CString stars(L'*', 60);
    file.WriteString(stars + L"\r\n");
    file.WriteString(stars + L"\r\n");
    file.WriteString(L"***************Corvane 6.3.7****************\r\n");
    file.WriteString(startLine);
    file.Close();
  } catch (CException* e) {
    e->Delete();
  }
}

CDriveLetterSource* CVeltraskDlg::s_pDriveLetterSource = nullptr;

void CVeltraskDlg::ListDrives() {
  const int letters =
      s_pDriveLetterSource ? FindCDDriveLetters(*s_pDriveLetterSource) : FindCDDriveLetters();
  if (letters == 0) throw DriveFailure{};
  if (ListCDDrives() == 0) {
    AfxMessageBox(L"No driver initialized!");
    throw DriveFailure{};
  }
  AddLog(L"Initializing CD-drives...", LOG_INFO);
  m_comboDrive.ResetContent();
  CMenu* drives = DriveMenu();
  for (int i = 0; i < g_driveList.found; ++i) {
    CString text;
    if (!GetDriveDisplayText(i, text)) throw DriveFailure{};
    m_comboDrive.AddString(text);
    AddLog(L"Find drive \"" + text + L"\"", LOG_INFO);
    if (drives) drives->AppendMenu(MF_STRING, ID_DRIVE_FIRST + i, L"Drive  " + g_driveLetters[i]);
  }
}

CMenu* CVeltraskDlg::DriveMenu() const {
  CMenu* menu = GetMenu();
  CMenu* file = menu ? menu->GetSubMenu(0) : nullptr;
  return file ? file->GetSubMenu(0) : nullptr;
}

void CVeltraskDlg::FailWithoutDrives() {
  AddLog(L"CD drives not found !", LOG_ERROR);
  MessageBox(
      L"CD Drives NOT Found! Please Make Sure the Following Things:\n"
      L"1. You have at Least One CD Drive Installed.\n"
      L"2. Check that You have Administrator's Permissions.\n"
      L"3. There are No Other Programs which Use the CD Drives at the Same Time.",
      L"CD Drives NOT Found!", MB_OK | MB_ICONERROR);
  EndDialog(1);
  ::ExitProcess(1);
}

void CVeltraskDlg::CheckAudioOutput() {
  PaError result = paNoError;
  auto logStreamError = [&result] {
    AddLog(L"An error occurred while using the stream.", LOG_WARNING);
    CString text;
    text.Format(L"Error number: %d    Error message: %S.", result, Pa_GetErrorText(result));
    AddLog(text, LOG_WARNING);
  };
  try {
    result = Pa_Initialize();
    if (result != paNoError) {
      Pa_Terminate();
      logStreamError();
    }
    int outputs = 0;
    const int count = Pa_GetDeviceCount();
    for (int i = 0; i < count; ++i) {
      const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
      if (info && info->maxOutputChannels > 0) ++outputs;
    }
    if (count <= 0 || outputs == 0) {
      g_bSoundAvailable = FALSE;
      AfxMessageBox(L"Warning: No Sound Device Found!", MB_OK | MB_ICONERROR);
      AddLog(L"Warning: No sound device found!", LOG_WARNING);
    }
    PaStreamParameters output{};
    output.device = Pa_GetDefaultOutputDevice();
    output.channelCount = 2;
    output.sampleFormat = paInt16;
    output.suggestedLatency = 0;
    if (output.device == paNoDevice ||
        Pa_IsFormatSupported(nullptr, &output, 44100.0) != paFormatIsSupported) {
      g_bSoundAvailable = FALSE;
      AfxMessageBox(L"Warning: Your Sound Card does NOT Support 16 Bit STEREO 44100Hz Output Mode!",
                    MB_OK | MB_ICONERROR);
      AddLog(L"Warning: Your sound card does NOT support 16 Bit STEREO 44100Hz output mode!",
             LOG_WARNING);
    }
  } catch (...) {
    Pa_Terminate();
    AfxMessageBox(L"Error on Initializing Sound Devices!", MB_OK | MB_ICONERROR);
    AddLog(L"Error on initializing sound devices!", LOG_ERROR);
    logStreamError();
  }
}

void CVeltraskDlg::SetUpTrackList() {
  m_listTracks.EnableToolTips(TRUE);
  struct Column {
    const wchar_t* title;
    int format;
    int width;
  };
  static const Column kColumns[] = {
      {L"     #", LVCFMT_CENTER, 48},    {L"Title", LVCFMT_LEFT, 228},
      {L"Type", LVCFMT_CENTER, 90},      {L"Start", LVCFMT_CENTER, 80},
      {L"Duration", LVCFMT_CENTER, 70},  {L"Status", LVCFMT_CENTER, 65},
      {L"Destination", LVCFMT_LEFT, 350}};
  for (int i = 0; i < 7; ++i)
    m_listTracks.InsertColumn(i, kColumns[i].title, kColumns[i].format, kColumns[i].width);

  if (g_bVistaOrLater) {
    m_listTracks.SetExtendedStyle(LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP | LVS_EX_FULLROWSELECT |
                                  LVS_EX_CHECKBOXES);
    SetExplorerTheme(m_listTracks.m_hWnd, L"ListView", L"Explorer", nullptr);
    for (int column : {0, 2, 3, 4, 5}) {
      LVCOLUMNW info{};
      info.mask = LVCF_FMT;
      info.fmt = LVCFMT_CENTER | LVCFMT_FIXED_WIDTH;
      m_listTracks.SetColumn(column, &info);
    }
  } else {
    m_listTracks.SetExtendedStyle(LVS_EX_INFOTIP | LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES |
                                  LVS_EX_GRIDLINES);
  }
}

BOOL CVeltraskDlg::SelectStartDrive() {
  EnableToolTips(TRUE);
  m_pToolTip = new CToolTipCtrl;
  if (m_pToolTip->Create(&m_sliderVolume)) m_pToolTip->Activate(TRUE);

  const int found = g_driveList.found;
  BOOL started = FALSE;
  if (m_comboDrive.GetCount() > 0) {
    const int index = (DriveCount == found && DriveNum >= 0 && DriveNum < found) ? DriveNum : 0;
    m_comboDrive.SetCurSel(index);
    if (CMenu* drives = DriveMenu()) drives->DeleteMenu(0, MF_BYPOSITION);
    // The drive is current (and logged) now; its refresh waits for the end of start-up.
    MakeSelectedDriveCurrent();
    started = TRUE;
  } else {
    AfxMessageBox(L"No CD Drive Found !");
    AddLog(L"No CD drive found !", LOG_WARNING);
  }
  DriveCount = static_cast<short>(found);
  DriveNum = static_cast<short>(m_comboDrive.GetCurSel());
  return started;
}

void CVeltraskDlg::PlaceStatusBar(int cx, int cy) {
  if (!m_wndStatusBar.m_hWnd) return;
  m_wndStatusBar.MoveWindow(0, cy - kStatusBarHeight, cx, kStatusBarHeight);
  CRect bar;
  m_wndStatusBar.GetClientRect(&bar);
  const int w = bar.Width();
  int parts[3] = {static_cast<int>(0.35 * w), static_cast<int>(0.65 * w), -1};
  m_wndStatusBar.GetStatusBarCtrl().SetParts(3, parts);
}

void CVeltraskDlg::SetFormatButtonImage() {
  if (!m_wndToolBar.m_hWnd) return;
  int image = -1;
  switch (OutputFormat) {
    case 1:
      image = 9;
      break;
    case 2:
      image = 3;
      break;
    case 3:
      image = 10;
      break;
    default:
      return;
  }
  m_wndToolBar.SetButtonInfo(3, ID_FORMAT, BTNS_BUTTON, image);
}

// ---- Settings -------------------------------------------------------------------------

// The engine has logged the failure; the user is told here.
BOOL CVeltraskDlg::LoadSettings() {
  if (::LoadSettings(g_strSettingsFolder + L"\\" + kSettingsFileName)) return TRUE;
  AfxMessageBox(L"Error on loading settings!", MB_OK | MB_ICONERROR);
  return FALSE;
}

BOOL CVeltraskDlg::SaveSettings() {
  if (::SaveSettings(g_strSettingsFolder + L"\\" + kSettingsFileName)) return TRUE;
  AfxMessageBox(L"Error on saving settings!", MB_OK | MB_ICONERROR);
  return FALSE;
}
