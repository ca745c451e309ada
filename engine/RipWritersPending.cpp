// Stand-ins until the MP3 and OGG writers land: the job reports the format as unavailable
// and stops, so no empty file is left behind as if it were a result.
#include "engine/RippingProgress.h"

void CRippingProgress::WriteMp3Track(const CString&) {
  m_bRunning.store(FALSE, std::memory_order_release);
  PostLog(L"MP3 output is not available", 2);
}

void CRippingProgress::WriteOggTrack(const CString&) {
  m_bRunning.store(FALSE, std::memory_order_release);
  PostLog(L"OGG Vorbis output is not available", 2);
}
