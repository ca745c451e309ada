// A track start on the disc as minute, second and frame.
#pragma once

#include "framework/core/Collections.h"

// Absolute disc address with the 150-frame lead-in included: the first track of a
// normal disc starts at 0:02:00. 75 frames a second.
class CCDDBTrackPosition {
 public:
  static constexpr DWORD kFramesPerSecond = 75;
  static constexpr DWORD kFramesPerMinute = 60 * kFramesPerSecond;
  static constexpr DWORD kLeadInFrames = 150;

  CCDDBTrackPosition() = default;
  CCDDBTrackPosition(int nMinute, int nSecond, int nFrame)
      : m_minute(nMinute), m_second(nSecond), m_frame(nFrame) {}

  // The position of a table-of-contents address (LBA, lead-in not counted).
  static CCDDBTrackPosition FromAddress(DWORD dwAddress);

  // minute*4500 + second*75 + frame.
  DWORD GetFrameOffset() const;
  // minute*60 + second; frames are dropped, not rounded.
  DWORD GetSeconds() const;

  friend bool operator==(const CCDDBTrackPosition&, const CCDDBTrackPosition&) = default;

  int m_minute = 0;
  int m_second = 0;  // 0-59
  int m_frame = 0;   // 0-74
};

// One element per track in table order (data tracks included), the lead-out last.
using CCDDBTrackPositionArray = CArray<CCDDBTrackPosition, CCDDBTrackPosition&>;
