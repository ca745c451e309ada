// CTime: a point in time, in seconds since 1970 (UTC), shown in local time.
#pragma once

#include <time.h>

#include "framework/core/String.h"

// winbase.h defines GetCurrentTime as a macro for GetTickCount.
#ifdef GetCurrentTime
#undef GetCurrentTime
#endif

class CTime {
 public:
  CTime() = default;
  explicit CTime(__time64_t t) : m_time(t) {}
  // Local time; out-of-range parts throw CInvalidArgException.
  CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec);

  static CTime GetCurrentTime();

  __time64_t GetTime() const { return m_time; }
  int GetYear() const;
  int GetMonth() const;  // 1-12
  int GetDay() const;    // 1-31
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;
  int GetDayOfWeek() const;  // 1 = Sunday

  // wcsftime codes on the local time (%H %M %S %B %d %Y ...).
  CString Format(LPCTSTR pszFormat) const;

  friend bool operator==(CTime a, CTime b) { return a.m_time == b.m_time; }
  friend bool operator!=(CTime a, CTime b) { return a.m_time != b.m_time; }
  friend bool operator<(CTime a, CTime b) { return a.m_time < b.m_time; }

 private:
  struct tm LocalTm() const;

  __time64_t m_time = 0;
};
