// The track list, its destinations, the status panes and the playback time display.
#include "VeltraskDlg.h"
#include "engine/CDDrive.h"
#include "engine/EngineLog.h"
#include "engine/OutputNaming.h"
#include "engine/Settings.h"
#include "framework/core/Exceptions.h"

namespace {

enum Column { kColNumber, kColTitle, kColType, kColStart, kColDuration, kColStatus, kColDest };

DWORD EntryAddress(const CDTocEntry& entry) {
  DWORD address = 0;
  ReadBigEndian32(address, entry.address);
  return address;
}

bool IsDataEntry(const CDTocEntry& entry) { return (entry.adrControl & kCDControlData) != 0; }

}  // namespace

void CVeltraskDlg::RefreshTrackList() {
  AddLog(L"Refreshing track list view...", LOG_INFO);
  m_listTracks.DeleteAllItems();

  // The table holds at most 99 tracks and the lead-out.
  int tracks = g_toc.lastTrack - g_toc.firstTrack + 1;
  if (tracks > 99) tracks = 99;
  const BOOL lookup = g_bLookupAlbumInfo;
  for (int i = 0; i < tracks; ++i) {
    const CDTocEntry& entry = g_toc.entries[i];
    const int row = m_listTracks.InsertItem(m_listTracks.GetItemCount(), L"");
    CString text;
    text.Format(L"  %02d", i + 1);
    m_listTracks.SetItemText(row, kColNumber, text);
    if (lookup && i < g_cddbRecord.m_trackTitles.GetSize()) {
      text = g_cddbRecord.m_trackTitles[i];
    } else {
      text.Format(L"Track%02d", i + 1);
    }
    m_listTracks.SetItemText(row, kColTitle, text);
    const bool data = IsDataEntry(entry);
    m_listTracks.SetItemText(row, kColType, data ? L"Data Track" : L"Audio Track");

    const DWORD start = EntryAddress(entry);
    FormatSectorTime(text, static_cast<int32_t>(start + 150));
    m_listTracks.SetItemText(row, kColStart, text);
    const DWORD length = TrackSectors(g_toc, i);
    FormatSectorTime(text, static_cast<int32_t>(length));
    m_listTracks.SetItemText(row, kColDuration, text);
    m_listTracks.SetItemText(row, kColStatus, L"");

    const DWORD itemData = data ? (length | kDataTrackBit) : (length & ~kDataTrackBit);
    m_listTracks.SetItemData(row, itemData);
    m_listTracks.SetCheck(row, (itemData & kDataTrackBit) == 0);
    m_listTracks.EnsureVisible(row, FALSE);
    m_listTracks.UpdateWindow();
  }

  if (m_listTracks.GetItemCount() > 0) {
    m_listTracks.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    m_listTracks.EnsureVisible(0, FALSE);
    FindNextCheckedTrack(-1, FALSE);
  }
  RefreshDestinations();
}

void CVeltraskDlg::RefreshDestinations() {
  g_cddbRecord.m_artist.TrimRight();
  g_cddbRecord.m_title.TrimRight();
  const int rows = m_listTracks.GetItemCount();
  for (int row = 0; row < rows; ++row) {
    const LONG itemData = static_cast<LONG>(m_listTracks.GetItemData(row));
    if (itemData < 0) {
      m_listTracks.SetItemText(row, kColDest, L"Not an audio track");
    } else {
      // A track the naming cannot name (no title in the record) gets no destination:
      // ripping it would stop the job instead of writing a file.
      CString destination;
      try {
        destination = BuildOutputName(static_cast<short>(row));
      } catch (CInvalidArgException* e) {
        e->Delete();
      }
      m_listTracks.SetItemText(row, kColDest, destination);
    }
  }
  if (rows > 0) {
    m_listTracks.SetColumnWidth(kColTitle, LVSCW_AUTOSIZE);
    m_listTracks.SetColumnWidth(kColDest, LVSCW_AUTOSIZE);
  }
}

CString CVeltraskDlg::FormatRateChannels(short rateIndex, short channels) {
  CString text;
  text.Format(L" %5d Hz; ", static_cast<int>(SampleRateOrDefault(rateIndex)));
  text += channels == 1 ? L" Mono;" : L" Stereo;";
  return text;
}

void CVeltraskDlg::FormatSummary() {
  CString text;
  switch (OutputFormat) {
    case 1:
      if (SubFormat == 0) {
        AddLog(L"Set audio format: WAV Unsigned 8 bit PCM", LOG_INFO);
        text = L"WAV:  Unsigned 8 bit PCM";
      } else if (SubFormat == 1) {
        AddLog(L"Set audio format: WAV Signed 16 bit PCM", LOG_INFO);
        text = L"WAV:  Signed 16 bit PCM";
      }
      text += FormatRateChannels(Freq, static_cast<short>(Channel + 1));
      SetStatusPane(3, text);
      break;
    case 2: {
      static const wchar_t* const kChannels[] = {L" Mono;", L" Stereo;", L" Joint Stereo;",
                                                 L" Dual Channel;"};
      text.Format(L"MP3:  CBR %3d kbps; %5d Hz;", static_cast<int>(Mp3BitrateOrDefault(LameBits)),
                  static_cast<int>(SampleRateOrDefault(LameFreq)));
      if (LameChannel >= 0 && LameChannel <= 3) text += kChannels[LameChannel];
      SetStatusPane(3, text);
      AddLog(L"Set audio format: MP3.", LOG_INFO);
      break;
    }
    case 3:
      text.Format(L"OGG:  Ogg Vorbis Quality : %.2f;", QualityCompression / 10.0);
      SetStatusPane(3, text);
      AddLog(L"Set audio format: OGG.", LOG_INFO);
      break;
    default:
      break;
  }
  SetFormatButtonImage();
  // A refresh asked for or running fills the record and the list and redoes the
  // destinations at its end.
  if (!IsRefreshRunning()) RefreshDestinations();
}

void CVeltraskDlg::SetStatusPane(int kind, CString text) {
  static const struct {
    const wchar_t* prefix;
    const wchar_t* tip;
  } kPanes[] = {
      {L"  ", L"Last Event: "}, {L" ", L"Disc Media State: "}, {L"  ", L"Output Audio Format: "}};
  if (kind < 1 || kind > 3 || !::IsWindow(m_wndStatusBar.m_hWnd)) return;
  const int pane = kind - 1;
  m_wndStatusBar.SetPaneText(pane, CString(kPanes[pane].prefix) + text);
  m_wndStatusBar.GetStatusBarCtrl().SetTipText(pane, CString(kPanes[pane].tip) + text);
}

LRESULT CVeltraskDlg::OnPlayerTime(WPARAM, LPARAM lParam) {
  const int seconds = static_cast<int>(lParam);
  // A track length of 0 (not yet known) must not divide by zero.
  const double tenths = m_dTrackTenths;
  const int position = tenths > 0.0 ? static_cast<int>(seconds * 10000.0 / tenths) : 0;
  m_sliderPosition.SendMessage(TBM_SETPOS, TRUE, position);
  CString text;
  text.Format(L"%02d:%02d", seconds / 60, seconds % 60);
  m_staticTime.SetWindowText(text);
  return 0;
}

// ---- Playback's view of the track list (the reader thread asks by sent messages) ----

DWORD CVeltraskDlg::GetTrackItemData(int row) {
  return static_cast<DWORD>(m_listTracks.GetItemData(row));
}

int CVeltraskDlg::GetTrackCount() { return m_listTracks.GetItemCount(); }

HWND CVeltraskDlg::GetPlayerWindow() { return m_hWnd; }
