#include "framework/core/Time.h"

#include <wchar.h>

#include "framework/core/Exceptions.h"

CTime::CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec) {
  if (nYear < 1970 || nMonth < 1 || nMonth > 12 || nDay < 1 || nDay > 31 || nHour < 0 ||
      nHour > 23 || nMin < 0 || nMin > 59 || nSec < 0 || nSec > 59) {
    AfxThrowInvalidArgException();
  }
  struct tm t = {};
  t.tm_year = nYear - 1900;
  t.tm_mon = nMonth - 1;
  t.tm_mday = nDay;
  t.tm_hour = nHour;
  t.tm_min = nMin;
  t.tm_sec = nSec;
  t.tm_isdst = -1;
  m_time = _mktime64(&t);
  if (m_time == -1) AfxThrowInvalidArgException();
}

CTime CTime::GetCurrentTime() { return CTime(_time64(nullptr)); }

// _localtime64 fills a per-thread buffer in the C runtime; it is copied at once.
struct tm CTime::LocalTm() const {
  struct tm* p = _localtime64(&m_time);
  if (!p) AfxThrowInvalidArgException();
  return *p;
}

int CTime::GetYear() const { return LocalTm().tm_year + 1900; }
int CTime::GetMonth() const { return LocalTm().tm_mon + 1; }
int CTime::GetDay() const { return LocalTm().tm_mday; }
int CTime::GetHour() const { return LocalTm().tm_hour; }
int CTime::GetMinute() const { return LocalTm().tm_min; }
int CTime::GetSecond() const { return LocalTm().tm_sec; }
int CTime::GetDayOfWeek() const { return LocalTm().tm_wday + 1; }

CString CTime::Format(LPCTSTR pszFormat) const {
  if (!pszFormat) AfxThrowInvalidArgException();
  CString result;
  if (!*pszFormat) return result;
  struct tm t = LocalTm();
  // wcsftime returns 0 both for "too small" and for an empty result: grow a few times.
  for (int size = 256; size <= 65536; size *= 4) {
    wchar_t* p = result.GetBufferSetLength(size);
    size_t n = wcsftime(p, static_cast<size_t>(size), pszFormat, &t);
    if (n > 0) {
      result.ReleaseBuffer(static_cast<int>(n));
      return result;
    }
  }
  result.Empty();
  return result;
}
