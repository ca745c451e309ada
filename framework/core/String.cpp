#include "framework/core/String.h"

#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>
#include <wctype.h>

#include "framework/core/Exceptions.h"

// The system C library's formatters, not MinGW's own printf family: msvcrt gives %s in a
// wide format the meaning the program's formats were written for (a wide string) and
// knows %I64d. The names are bound to the msvcrt imports explicitly so that no
// __USE_MINGW_ANSI_STDIO redirection can slip in; their symbols carry the target's
// prefix (an underscore on 32-bit x86, none on x64).
#define CRT_STRING_(x) #x
#define CRT_STRING(x) CRT_STRING_(x)
#define CRT_SYMBOL(name) CRT_STRING(__USER_LABEL_PREFIX__) #name
extern "C" {
int __cdecl CrtVsnwprintf(wchar_t*, size_t, const wchar_t*,
                          va_list) __asm__(CRT_SYMBOL(_vsnwprintf));
int __cdecl CrtVscwprintf(const wchar_t*, va_list) __asm__(CRT_SYMBOL(_vscwprintf));
int __cdecl CrtVsnprintf(char*, size_t, const char*, va_list) __asm__(CRT_SYMBOL(_vsnprintf));
int __cdecl CrtVscprintf(const char*, va_list) __asm__(CRT_SYMBOL(_vscprintf));
}

namespace {

int Clamp(int n, int lo, int hi) { return n < lo ? lo : (n > hi ? hi : n); }

bool IsIn(wchar_t ch, LPCWSTR pszSet) { return pszSet && wcschr(pszSet, ch) != nullptr && ch; }

HINSTANCE g_hResource = nullptr;

}  // namespace

// ---- CString ------------------------------------------------------------------------

CString::CString(LPCWSTR psz) : m_str(psz ? psz : L"") {}

CString::CString(LPCWSTR pch, int nLength) {
  if (nLength < 0) AfxThrowInvalidArgException();
  if (nLength > 0) {
    if (!pch) AfxThrowInvalidArgException();
    m_str.assign(pch, static_cast<size_t>(nLength));
  }
}

CString::CString(LPCSTR psz) {
  if (psz) *this = AfxMultiByteToWide(psz, -1, CP_ACP);
}

CString::CString(LPCSTR pch, int nLength) {
  if (nLength < 0) AfxThrowInvalidArgException();
  if (nLength > 0) *this = AfxMultiByteToWide(pch, nLength, CP_ACP);
}

CString::CString(const CStringA& str) : CString(str.GetString(), str.GetLength()) {}

CString::CString(wchar_t ch, int nRepeat) {
  if (nRepeat > 0) m_str.assign(static_cast<size_t>(nRepeat), ch);
}

CString& CString::operator=(LPCWSTR psz) {
  m_str = psz ? psz : L"";
  return *this;
}

CString& CString::operator=(LPCSTR psz) {
  *this = CString(psz);
  return *this;
}

CString& CString::operator=(wchar_t ch) {
  m_str.assign(1, ch);
  return *this;
}

wchar_t CString::GetAt(int nIndex) const {
  if (nIndex < 0 || nIndex >= GetLength()) AfxThrowInvalidArgException();
  return m_str[static_cast<size_t>(nIndex)];
}

void CString::SetAt(int nIndex, wchar_t ch) {
  if (nIndex < 0 || nIndex >= GetLength()) AfxThrowInvalidArgException();
  m_str[static_cast<size_t>(nIndex)] = ch;
}

CString& CString::operator+=(const CString& str) {
  m_str += str.m_str;
  return *this;
}

CString& CString::operator+=(LPCWSTR psz) {
  if (psz) m_str += psz;
  return *this;
}

CString& CString::operator+=(LPCSTR psz) { return *this += CString(psz); }

CString& CString::operator+=(wchar_t ch) {
  m_str += ch;
  return *this;
}

CString operator+(const CString& a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(const CString& a, LPCWSTR b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(LPCWSTR a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(const CString& a, wchar_t b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(wchar_t a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

int CString::Compare(LPCWSTR psz) const { return wcscmp(m_str.c_str(), psz ? psz : L""); }

int CString::CompareNoCase(LPCWSTR psz) const { return _wcsicmp(m_str.c_str(), psz ? psz : L""); }

CString CString::Left(int nCount) const {
  nCount = Clamp(nCount, 0, GetLength());
  return CString(m_str.c_str(), nCount);
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, GetLength()); }

CString CString::Mid(int nFirst, int nCount) const {
  nFirst = Clamp(nFirst, 0, GetLength());
  nCount = Clamp(nCount, 0, GetLength() - nFirst);
  return CString(m_str.c_str() + nFirst, nCount);
}

CString CString::Right(int nCount) const {
  nCount = Clamp(nCount, 0, GetLength());
  return CString(m_str.c_str() + GetLength() - nCount, nCount);
}

int CString::Find(wchar_t ch, int nStart) const {
  if (nStart < 0 || nStart >= GetLength()) return -1;
  size_t pos = m_str.find(ch, static_cast<size_t>(nStart));
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(LPCWSTR pszSub, int nStart) const {
  if (!pszSub || nStart < 0 || nStart > GetLength()) return -1;
  size_t pos = m_str.find(pszSub, static_cast<size_t>(nStart));
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::FindOneOf(LPCWSTR pszCharSet) const {
  if (!pszCharSet) return -1;
  size_t pos = m_str.find_first_of(pszCharSet);
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(wchar_t ch) const {
  size_t pos = m_str.rfind(ch);
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Replace(wchar_t chOld, wchar_t chNew) {
  int n = 0;
  for (wchar_t& c : m_str) {
    if (c == chOld) {
      c = chNew;
      ++n;
    }
  }
  return n;
}

int CString::Replace(LPCWSTR pszOld, LPCWSTR pszNew) {
  if (!pszOld || !*pszOld) return 0;
  const std::wstring from(pszOld);
  const std::wstring to(pszNew ? pszNew : L"");
  std::wstring out;
  int n = 0;
  size_t start = 0;
  for (size_t pos; (pos = m_str.find(from, start)) != std::wstring::npos;
       start = pos + from.size()) {
    out.append(m_str, start, pos - start);
    out += to;
    ++n;
  }
  if (n) {
    out.append(m_str, start, std::wstring::npos);
    m_str.swap(out);
  }
  return n;
}

int CString::Remove(wchar_t ch) {
  size_t before = m_str.size();
  std::erase(m_str, ch);
  return static_cast<int>(before - m_str.size());
}

int CString::Insert(int nIndex, wchar_t ch) {
  nIndex = Clamp(nIndex, 0, GetLength());
  m_str.insert(static_cast<size_t>(nIndex), 1, ch);
  return GetLength();
}

int CString::Insert(int nIndex, LPCWSTR psz) {
  nIndex = Clamp(nIndex, 0, GetLength());
  if (psz) m_str.insert(static_cast<size_t>(nIndex), psz);
  return GetLength();
}

int CString::Delete(int nIndex, int nCount) {
  nIndex = Clamp(nIndex, 0, GetLength());
  nCount = Clamp(nCount, 0, GetLength() - nIndex);
  m_str.erase(static_cast<size_t>(nIndex), static_cast<size_t>(nCount));
  return GetLength();
}

CString& CString::MakeUpper() {
  if (!m_str.empty()) CharUpperBuffW(m_str.data(), static_cast<DWORD>(m_str.size()));
  return *this;
}

CString& CString::MakeLower() {
  if (!m_str.empty()) CharLowerBuffW(m_str.data(), static_cast<DWORD>(m_str.size()));
  return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(wchar_t chTarget) { return TrimRight(chTarget).TrimLeft(chTarget); }
CString& CString::Trim(LPCWSTR pszTargets) { return TrimRight(pszTargets).TrimLeft(pszTargets); }

CString& CString::TrimLeft() {
  size_t i = 0;
  while (i < m_str.size() && iswspace(m_str[i])) ++i;
  m_str.erase(0, i);
  return *this;
}

CString& CString::TrimLeft(wchar_t chTarget) {
  size_t i = 0;
  while (i < m_str.size() && m_str[i] == chTarget) ++i;
  m_str.erase(0, i);
  return *this;
}

CString& CString::TrimLeft(LPCWSTR pszTargets) {
  size_t i = 0;
  while (i < m_str.size() && IsIn(m_str[i], pszTargets)) ++i;
  m_str.erase(0, i);
  return *this;
}

CString& CString::TrimRight() {
  size_t n = m_str.size();
  while (n > 0 && iswspace(m_str[n - 1])) --n;
  m_str.resize(n);
  return *this;
}

CString& CString::TrimRight(wchar_t chTarget) {
  size_t n = m_str.size();
  while (n > 0 && m_str[n - 1] == chTarget) --n;
  m_str.resize(n);
  return *this;
}

CString& CString::TrimRight(LPCWSTR pszTargets) {
  size_t n = m_str.size();
  while (n > 0 && IsIn(m_str[n - 1], pszTargets)) --n;
  m_str.resize(n);
  return *this;
}

void CString::FormatV(LPCWSTR pszFormat, va_list args) {
  m_str.clear();
  AppendFormatV(pszFormat, args);
}

// Measures first (_vscwprintf), then formats into the exact size: no truncation and
// no guessing loop. A format the library rejects adds nothing.
void CString::AppendFormatV(LPCWSTR pszFormat, va_list args) {
  if (!pszFormat) AfxThrowInvalidArgException();
  va_list measure;
  va_copy(measure, args);
  int n = CrtVscwprintf(pszFormat, measure);
  va_end(measure);
  if (n <= 0) return;
  size_t old = m_str.size();
  m_str.resize(old + static_cast<size_t>(n) + 1);
  int written = CrtVsnwprintf(m_str.data() + old, static_cast<size_t>(n) + 1, pszFormat, args);
  m_str.resize(old + static_cast<size_t>(written < 0 ? 0 : (written > n ? n : written)));
}

void CString::FormatArgs(LPCWSTR pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  FormatV(pszFormat, args);
  va_end(args);
}

void CString::AppendFormatArgs(LPCWSTR pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  AppendFormatV(pszFormat, args);
  va_end(args);
}

BOOL CString::LoadString(UINT nID) { return LoadString(AfxGetResourceHandle(), nID); }

BOOL CString::LoadString(HINSTANCE hInstance, UINT nID) {
  // With a zero buffer size LoadStringW hands out a pointer into the resource itself,
  // so strings of any length load whole.
  LPCWSTR pRes = nullptr;
  int n = ::LoadStringW(hInstance, nID, reinterpret_cast<LPWSTR>(&pRes), 0);
  if (n <= 0 || !pRes) {
    Empty();
    return FALSE;
  }
  m_str.assign(pRes, static_cast<size_t>(n));
  return TRUE;
}

LPWSTR CString::GetBuffer() { return m_str.data(); }

LPWSTR CString::GetBuffer(int nMinBufLength) {
  if (nMinBufLength < 0) AfxThrowInvalidArgException();
  if (static_cast<size_t>(nMinBufLength) > m_str.size()) {
    // The characters past the old end are zero, so ReleaseBuffer(-1) finds the end.
    m_str.resize(static_cast<size_t>(nMinBufLength), L'\0');
  }
  return m_str.data();
}

LPWSTR CString::GetBufferSetLength(int nNewLength) {
  if (nNewLength < 0) AfxThrowInvalidArgException();
  m_str.resize(static_cast<size_t>(nNewLength), L'\0');
  return m_str.data();
}

void CString::ReleaseBuffer(int nNewLength) {
  if (nNewLength < 0) {
    nNewLength = static_cast<int>(wcsnlen(m_str.c_str(), m_str.size()));
  } else if (static_cast<size_t>(nNewLength) > m_str.size()) {
    AfxThrowInvalidArgException();
  }
  m_str.resize(static_cast<size_t>(nNewLength));
}

void CString::Preallocate(int nLength) {
  if (nLength > 0) m_str.reserve(static_cast<size_t>(nLength));
}

// ---- CStringA -----------------------------------------------------------------------

CStringA::CStringA(LPCSTR psz) : m_str(psz ? psz : "") {}

CStringA::CStringA(LPCSTR pch, int nLength) {
  if (nLength < 0) AfxThrowInvalidArgException();
  if (nLength > 0) {
    if (!pch) AfxThrowInvalidArgException();
    m_str.assign(pch, static_cast<size_t>(nLength));
  }
}

CStringA::CStringA(LPCWSTR psz) {
  if (psz) *this = AfxWideToMultiByte(psz, -1, CP_ACP);
}

CStringA::CStringA(const CString& str) {
  *this = AfxWideToMultiByte(str.GetString(), str.GetLength(), CP_ACP);
}

CStringA::CStringA(char ch, int nRepeat) {
  if (nRepeat > 0) m_str.assign(static_cast<size_t>(nRepeat), ch);
}

CStringA& CStringA::operator=(LPCSTR psz) {
  m_str = psz ? psz : "";
  return *this;
}

char CStringA::GetAt(int nIndex) const {
  if (nIndex < 0 || nIndex >= GetLength()) AfxThrowInvalidArgException();
  return m_str[static_cast<size_t>(nIndex)];
}

CStringA& CStringA::operator+=(const CStringA& str) {
  m_str += str.m_str;
  return *this;
}

CStringA& CStringA::operator+=(LPCSTR psz) {
  if (psz) m_str += psz;
  return *this;
}

CStringA& CStringA::operator+=(char ch) {
  m_str += ch;
  return *this;
}

CStringA operator+(const CStringA& a, const CStringA& b) {
  CStringA r(a);
  r += b;
  return r;
}

CStringA CStringA::Left(int nCount) const {
  nCount = Clamp(nCount, 0, GetLength());
  return CStringA(m_str.c_str(), nCount);
}

CStringA CStringA::Mid(int nFirst, int nCount) const {
  nFirst = Clamp(nFirst, 0, GetLength());
  nCount = Clamp(nCount, 0, GetLength() - nFirst);
  return CStringA(m_str.c_str() + nFirst, nCount);
}

int CStringA::Find(char ch, int nStart) const {
  if (nStart < 0 || nStart >= GetLength()) return -1;
  size_t pos = m_str.find(ch, static_cast<size_t>(nStart));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CStringA::Find(LPCSTR pszSub, int nStart) const {
  if (!pszSub || nStart < 0 || nStart > GetLength()) return -1;
  size_t pos = m_str.find(pszSub, static_cast<size_t>(nStart));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

void CStringA::Format(LPCSTR pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  FormatV(pszFormat, args);
  va_end(args);
}

void CStringA::FormatV(LPCSTR pszFormat, va_list args) {
  if (!pszFormat) AfxThrowInvalidArgException();
  m_str.clear();
  va_list measure;
  va_copy(measure, args);
  int n = CrtVscprintf(pszFormat, measure);
  va_end(measure);
  if (n <= 0) return;
  m_str.resize(static_cast<size_t>(n) + 1);
  int written = CrtVsnprintf(m_str.data(), static_cast<size_t>(n) + 1, pszFormat, args);
  m_str.resize(static_cast<size_t>(written < 0 ? 0 : (written > n ? n : written)));
}

LPSTR CStringA::GetBuffer(int nMinBufLength) {
  if (nMinBufLength < 0) AfxThrowInvalidArgException();
  if (static_cast<size_t>(nMinBufLength) > m_str.size()) {
    m_str.resize(static_cast<size_t>(nMinBufLength), '\0');
  }
  return m_str.data();
}

LPSTR CStringA::GetBufferSetLength(int nNewLength) {
  if (nNewLength < 0) AfxThrowInvalidArgException();
  m_str.resize(static_cast<size_t>(nNewLength), '\0');
  return m_str.data();
}

void CStringA::ReleaseBuffer(int nNewLength) {
  if (nNewLength < 0) {
    nNewLength = static_cast<int>(strnlen(m_str.c_str(), m_str.size()));
  } else if (static_cast<size_t>(nNewLength) > m_str.size()) {
    AfxThrowInvalidArgException();
  }
  m_str.resize(static_cast<size_t>(nNewLength));
}

// ---- conversions --------------------------------------------------------------------

CStringA AfxWideToMultiByte(LPCWSTR pch, int nLength, UINT nCodePage) {
  CStringA out;
  if (!pch) return out;
  if (nLength < 0) nLength = static_cast<int>(wcslen(pch));
  if (nLength == 0) return out;
  int n = ::WideCharToMultiByte(nCodePage, 0, pch, nLength, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return out;
  char* p = out.GetBufferSetLength(n);
  n = ::WideCharToMultiByte(nCodePage, 0, pch, nLength, p, n, nullptr, nullptr);
  out.ReleaseBuffer(n > 0 ? n : 0);
  return out;
}

CString AfxMultiByteToWide(LPCSTR pch, int nLength, UINT nCodePage) {
  CString out;
  if (!pch) return out;
  if (nLength < 0) nLength = static_cast<int>(strlen(pch));
  if (nLength == 0) return out;
  int n = ::MultiByteToWideChar(nCodePage, 0, pch, nLength, nullptr, 0);
  if (n <= 0) return out;
  wchar_t* p = out.GetBufferSetLength(n);
  n = ::MultiByteToWideChar(nCodePage, 0, pch, nLength, p, n);
  out.ReleaseBuffer(n > 0 ? n : 0);
  return out;
}

CW2A::CW2A(LPCWSTR psz, UINT nCodePage) : m_str(AfxWideToMultiByte(psz, -1, nCodePage)) {}

CA2W::CA2W(LPCSTR psz, UINT nCodePage) : m_str(AfxMultiByteToWide(psz, -1, nCodePage)) {}

// ---- %1 %2 substitution -------------------------------------------------------------

void AfxFormatStrings(CString& rString, LPCTSTR lpszFormat, LPCTSTR const* rglpsz, int nString) {
  CString out;
  for (LPCTSTR p = lpszFormat ? lpszFormat : L""; *p; ++p) {
    if (p[0] == L'%' && p[1] >= L'1' && p[1] <= L'9') {
      int i = p[1] - L'1';
      if (i < nString && rglpsz && rglpsz[i]) out += rglpsz[i];
      ++p;  // a missing argument is dropped with its marker
    } else {
      out += *p;
    }
  }
  rString = out;
}

void AfxFormatString1(CString& rString, UINT nIDS, LPCTSTR lpsz1) {
  CString format;
  format.LoadString(nIDS);
  AfxFormatStrings(rString, format, &lpsz1, 1);
}

void AfxFormatString2(CString& rString, UINT nIDS, LPCTSTR lpsz1, LPCTSTR lpsz2) {
  CString format;
  format.LoadString(nIDS);
  LPCTSTR args[2] = {lpsz1, lpsz2};
  AfxFormatStrings(rString, format, args, 2);
}

HINSTANCE AfxGetResourceHandle() { return g_hResource ? g_hResource : ::GetModuleHandleW(nullptr); }

void AfxSetResourceHandle(HINSTANCE hInstResource) { g_hResource = hInstResource; }
