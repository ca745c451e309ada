// Texts the playback threads post to the main window: log lines and Status cells.
#include <memory>

#include "VeltraskDlg.h"
#include "engine/EngineLog.h"

namespace {
constexpr int kStatusColumn = 5;
}  // namespace

// wParam: a heap CString the handler frees (0 allowed); lParam: 0-2 a log line of that
// kind, 4 empties every Status cell (wParam unused), anything else the current track's
// Status cell.
LRESULT CVeltraskDlg::OnPlayerText(WPARAM wParam, LPARAM lParam) {
  if (lParam == kPlayerClearStatus) {
    const int rows = m_listTracks.GetItemCount();
    for (int row = 0; row < rows; ++row) m_listTracks.SetItemText(row, kStatusColumn, L"");
    return 0;
  }
  const std::unique_ptr<CString> text(reinterpret_cast<CString*>(wParam));
  if (!text) return 0;
  if (lParam >= LOG_INFO && lParam <= LOG_ERROR)
    AddLog(*text, static_cast<short>(lParam));
  else if (const int row = m_nCurrentTrack; row >= 0 && row < m_listTracks.GetItemCount())
    m_listTracks.SetItemText(row, kStatusColumn, *text);
  return 0;
}
