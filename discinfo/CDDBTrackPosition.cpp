#include "discinfo/CDDBTrackPosition.h"

CCDDBTrackPosition CCDDBTrackPosition::FromAddress(DWORD dwAddress) {
  // Unsigned throughout: a lead-out address near 2^32 wraps rather than going negative.
  const DWORD frames = dwAddress + kLeadInFrames;
  return CCDDBTrackPosition(static_cast<int>(frames / kFramesPerMinute),
                            static_cast<int>((frames % kFramesPerMinute) / kFramesPerSecond),
                            static_cast<int>(frames % kFramesPerSecond));
}

DWORD CCDDBTrackPosition::GetFrameOffset() const {
  return static_cast<DWORD>(m_minute) * kFramesPerMinute +
         static_cast<DWORD>(m_second) * kFramesPerSecond + static_cast<DWORD>(m_frame);
}

DWORD CCDDBTrackPosition::GetSeconds() const {
  return static_cast<DWORD>(m_minute) * 60 + static_cast<DWORD>(m_second);
}
