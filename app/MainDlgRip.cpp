// Rip commands: the checked (or the selected) audio rows become a rip job, whose window
// runs modally; it reports to the log and the folder by itself.
#include "VeltraskDlg.h"
#include "engine/RippingProgress.h"

namespace {

constexpr int kStatusColumn = 5;

bool IsAudioRow(CListCtrl& list, int row) { return static_cast<LONG>(list.GetItemData(row)) >= 0; }

// Marks a rip command's job as running. Made before the job and ended after it, so the
// job's threads have stopped when a media change held back meanwhile is refreshed.
class RipJobScope {
 public:
  explicit RipJobScope(CVeltraskDlg& dlg) : m_dlg(dlg) { m_dlg.m_bRipJobRunning = TRUE; }
  ~RipJobScope() {
    m_dlg.m_bRipJobRunning = FALSE;
    try {
      m_dlg.RefreshAfterRipJob();
    } catch (CException* e) {
      e->Delete();
    } catch (...) {
    }
  }
  RipJobScope(const RipJobScope&) = delete;
  RipJobScope& operator=(const RipJobScope&) = delete;

 private:
  CVeltraskDlg& m_dlg;
};

}  // namespace

BOOL CVeltraskDlg::IsRipJobRunning() const {
  return m_bRipJobRunning.load() || g_pRippingProgress != nullptr;
}

void CVeltraskDlg::OnRip() {
  // A command posted to the disabled window during a job reaches it through the job's
  // modal loop: a second job would share the rip rings with the first.
  if (IsRipJobRunning()) return;
  if (IsRefreshRunning()) return;
  if (m_bPlaying) {
    const LONG refreshes = RefreshesBegun();
    if (MessageBox(L"Do You Wish to Stop Playing to Rip Audio Tracks?", nullptr,
                   MB_YESNO | MB_ICONQUESTION) != IDYES) {
      return;
    }
    // A media change while the question was open has asked for a refresh: the rows may
    // be another disc's by now.
    if (IsRefreshRunning() || RefreshesBegun() != refreshes) return;
    OnStopPlay();
  }
  bool anyChecked = false;
  for (int row = 0; row < m_listTracks.GetItemCount() && !anyChecked; ++row) {
    anyChecked = IsAudioRow(m_listTracks, row) && m_listTracks.GetCheck(row);
  }
  if (!anyChecked) {
    MessageBox(L"No Audio Tracks Checked!");
    return;
  }
  for (int row = 0; row < m_listTracks.GetItemCount(); ++row) {
    m_listTracks.SetItemText(row, kStatusColumn, L"");
  }

  RipJobScope running(*this);
  CRippingProgress job(this);
  job.SetRipRings(m_pRipRingA, m_pRipRingB);
  job.m_isAudioCD = [this] { return m_bAudioCD.load(); };
  for (int row = 0; row < m_listTracks.GetItemCount(); ++row) {
    if (IsAudioRow(m_listTracks, row) && m_listTracks.GetCheck(row)) {
      job.AddTrack(static_cast<short>(row), static_cast<int32_t>(m_listTracks.GetItemData(row)));
    }
  }
  job.DoModal();
}

void CVeltraskDlg::OnRipCurrent() {
  if (IsRipJobRunning()) return;  // as OnRip
  if (IsRefreshRunning()) return;
  if (m_listTracks.GetNextItem(-1, LVNI_SELECTED) < 0) {
    MessageBox(L"No Audio Track Selected!");
    return;
  }
  if (m_bPlaying) {
    const LONG refreshes = RefreshesBegun();
    if (MessageBox(L"Do You Wish to Stop Playing to Rip Audio Tracks?", nullptr,
                   MB_YESNO | MB_ICONQUESTION) != IDYES) {
      return;
    }
    // A media change while the question was open has asked for a refresh: the rows may
    // be another disc's by now.
    if (IsRefreshRunning() || RefreshesBegun() != refreshes) return;
    OnStopPlay();
  }
  RipJobScope running(*this);
  CRippingProgress job(this);
  // A data row shows "Not an Audio Track!" and no job runs.
  if (!SelectCurrentTrack()) return;
  for (int row = 0; row < m_listTracks.GetItemCount(); ++row) {
    m_listTracks.SetItemText(row, kStatusColumn, L"");
  }
  const int row = m_nCurrentTrack;
  job.SetRipRings(m_pRipRingA, m_pRipRingB);
  job.m_isAudioCD = [this] { return m_bAudioCD.load(); };
  job.AddTrack(static_cast<short>(row), static_cast<int32_t>(m_listTracks.GetItemData(row)));
  job.DoModal();
}
