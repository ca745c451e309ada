// CString (UTF-16) and CStringA (8-bit), with code-page conversions.
//
// Both hold their own characters (no sharing between copies), so a copy handed to
// another thread is independent of the original.
#pragma once

#include <windows.h>

#include <climits>
#include <string>
#include <type_traits>

class CStringA;

class CString {
 public:
  CString() = default;
  CString(const CString&) = default;
  CString(CString&&) noexcept = default;
  CString(LPCWSTR psz);  // NOLINT: implicit like the strings it stands for
  CString(LPCWSTR pch, int nLength);
  CString(LPCSTR psz);               // ANSI code page
  CString(LPCSTR pch, int nLength);  // ANSI code page
  CString(const CStringA& str);      // ANSI code page
  explicit CString(wchar_t ch, int nRepeat = 1);
  ~CString() = default;

  CString& operator=(const CString&) = default;
  CString& operator=(CString&&) noexcept = default;
  CString& operator=(LPCWSTR psz);
  CString& operator=(LPCSTR psz);
  CString& operator=(wchar_t ch);

  int GetLength() const { return static_cast<int>(m_str.size()); }
  BOOL IsEmpty() const { return m_str.empty(); }
  void Empty() { m_str.clear(); }

  operator LPCWSTR() const { return m_str.c_str(); }
  LPCWSTR GetString() const { return m_str.c_str(); }

  // Index outside 0..GetLength()-1 throws CInvalidArgException.
  wchar_t GetAt(int nIndex) const;
  void SetAt(int nIndex, wchar_t ch);
  wchar_t operator[](int nIndex) const { return GetAt(nIndex); }
  wchar_t operator[](UINT nIndex) const { return GetAt(static_cast<int>(nIndex)); }
#ifdef _WIN64
  // A size_t index is no UINT here; one past INT_MAX is out of range, not cut short.
  wchar_t operator[](size_t nIndex) const {
    return GetAt(nIndex > INT_MAX ? -1 : static_cast<int>(nIndex));
  }
#endif

  CString& operator+=(const CString& str);
  CString& operator+=(LPCWSTR psz);
  CString& operator+=(LPCSTR psz);
  CString& operator+=(wchar_t ch);

  friend CString operator+(const CString& a, const CString& b);
  friend CString operator+(const CString& a, LPCWSTR b);
  friend CString operator+(LPCWSTR a, const CString& b);
  friend CString operator+(const CString& a, wchar_t b);
  friend CString operator+(wchar_t a, const CString& b);

  int Compare(LPCWSTR psz) const;        // ordinal, like wcscmp
  int CompareNoCase(LPCWSTR psz) const;  // like _wcsicmp

  friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
  friend bool operator==(const CString& a, LPCWSTR b) { return a.Compare(b) == 0; }
  friend bool operator==(LPCWSTR a, const CString& b) { return b.Compare(a) == 0; }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, LPCWSTR b) { return !(a == b); }
  friend bool operator!=(LPCWSTR a, const CString& b) { return !(a == b); }
  friend bool operator<(const CString& a, const CString& b) { return a.m_str < b.m_str; }
  friend bool operator>(const CString& a, const CString& b) { return b.m_str < a.m_str; }
  friend bool operator<=(const CString& a, const CString& b) { return !(b < a); }
  friend bool operator>=(const CString& a, const CString& b) { return !(a < b); }

  // Counts are clamped to the string, as the framework always did.
  CString Left(int nCount) const;
  CString Mid(int nFirst) const;
  CString Mid(int nFirst, int nCount) const;
  CString Right(int nCount) const;

  // Index of the match, or -1.
  int Find(wchar_t ch, int nStart = 0) const;
  int Find(LPCWSTR pszSub, int nStart = 0) const;
  int FindOneOf(LPCWSTR pszCharSet) const;
  int ReverseFind(wchar_t ch) const;

  // Number of replacements made.
  int Replace(wchar_t chOld, wchar_t chNew);
  int Replace(LPCWSTR pszOld, LPCWSTR pszNew);
  int Remove(wchar_t ch);
  int Insert(int nIndex, wchar_t ch);
  int Insert(int nIndex, LPCWSTR psz);
  int Delete(int nIndex, int nCount = 1);

  CString& MakeUpper();
  CString& MakeLower();

  // Without arguments: white space (iswspace).
  CString& Trim();
  CString& Trim(wchar_t chTarget);
  CString& Trim(LPCWSTR pszTargets);
  CString& TrimLeft();
  CString& TrimLeft(wchar_t chTarget);
  CString& TrimLeft(LPCWSTR pszTargets);
  CString& TrimRight();
  CString& TrimRight(wchar_t chTarget);
  CString& TrimRight(LPCWSTR pszTargets);

  // printf formatting through the system C library's wide formatter (msvcrt):
  // %s is a wide string, %hs/%S an 8-bit one, %I64d a 64-bit integer.
  // CString and CStringA arguments are passed as their character pointers.
  template <typename... Args>
  void Format(LPCWSTR pszFormat, const Args&... args) {
    FormatArgs(pszFormat, FormatArg(args)...);
  }
  template <typename... Args>
  void AppendFormat(LPCWSTR pszFormat, const Args&... args) {
    AppendFormatArgs(pszFormat, FormatArg(args)...);
  }
  void FormatV(LPCWSTR pszFormat, va_list args);
  void AppendFormatV(LPCWSTR pszFormat, va_list args);

  // From the string table of the resource module (AfxGetResourceHandle).
  BOOL LoadString(UINT nID);
  BOOL LoadString(HINSTANCE hInstance, UINT nID);

  // Direct access: write at most nMinBufLength characters (plus terminator), then
  // ReleaseBuffer(-1) takes the length up to the first NUL, ReleaseBuffer(n) sets it.
  LPWSTR GetBuffer();
  LPWSTR GetBuffer(int nMinBufLength);
  LPWSTR GetBufferSetLength(int nNewLength);
  void ReleaseBuffer(int nNewLength = -1);
  void Preallocate(int nLength);

  const std::wstring& str() const { return m_str; }

  // Argument adaptation for Format: strings as pointers, scalars unchanged.
  static LPCWSTR FormatArg(const CString& s) { return s.GetString(); }
  static LPCSTR FormatArg(const CStringA& s);
  template <typename T>
  static auto FormatArg(const T& v) {
    if constexpr (std::is_array_v<T>) {
      return static_cast<const std::remove_extent_t<T>*>(v);
    } else {
      static_assert(std::is_scalar_v<T>, "Format takes numbers, pointers and strings only");
      return v;
    }
  }

 private:
  void FormatArgs(LPCWSTR pszFormat, ...);
  void AppendFormatArgs(LPCWSTR pszFormat, ...);

  std::wstring m_str;
};

class CStringA {
 public:
  CStringA() = default;
  CStringA(LPCSTR psz);  // NOLINT
  CStringA(LPCSTR pch, int nLength);
  CStringA(LPCWSTR psz);         // ANSI code page
  CStringA(const CString& str);  // ANSI code page
  explicit CStringA(char ch, int nRepeat = 1);

  CStringA& operator=(LPCSTR psz);

  int GetLength() const { return static_cast<int>(m_str.size()); }
  BOOL IsEmpty() const { return m_str.empty(); }
  void Empty() { m_str.clear(); }
  operator LPCSTR() const { return m_str.c_str(); }
  LPCSTR GetString() const { return m_str.c_str(); }
  char GetAt(int nIndex) const;
  char operator[](int nIndex) const { return GetAt(nIndex); }

  CStringA& operator+=(const CStringA& str);
  CStringA& operator+=(LPCSTR psz);
  CStringA& operator+=(char ch);
  friend CStringA operator+(const CStringA& a, const CStringA& b);

  friend bool operator==(const CStringA& a, const CStringA& b) { return a.m_str == b.m_str; }
  friend bool operator==(const CStringA& a, LPCSTR b) { return a.m_str == (b ? b : ""); }
  friend bool operator!=(const CStringA& a, const CStringA& b) { return !(a == b); }
  friend bool operator<(const CStringA& a, const CStringA& b) { return a.m_str < b.m_str; }

  CStringA Left(int nCount) const;
  CStringA Mid(int nFirst, int nCount = INT_MAX) const;
  int Find(char ch, int nStart = 0) const;
  int Find(LPCSTR pszSub, int nStart = 0) const;

  // printf formatting through the system C library (msvcrt).
  void Format(LPCSTR pszFormat, ...);
  void FormatV(LPCSTR pszFormat, va_list args);

  LPSTR GetBuffer(int nMinBufLength = 0);
  LPSTR GetBufferSetLength(int nNewLength);
  void ReleaseBuffer(int nNewLength = -1);

  const std::string& str() const { return m_str; }

 private:
  std::string m_str;
};

inline LPCSTR CString::FormatArg(const CStringA& s) { return s.GetString(); }

// Conversions. nLength -1 means up to the terminator; embedded NULs are kept otherwise.
CStringA AfxWideToMultiByte(LPCWSTR pch, int nLength, UINT nCodePage = CP_ACP);
CString AfxMultiByteToWide(LPCSTR pch, int nLength, UINT nCodePage = CP_ACP);

// Scoped conversion objects: the converted text lives as long as the object.
class CW2A {
 public:
  explicit CW2A(LPCWSTR psz, UINT nCodePage = CP_ACP);
  operator LPSTR() const { return const_cast<LPSTR>(m_str.GetString()); }
  int GetLength() const { return m_str.GetLength(); }

 private:
  CStringA m_str;
};

class CA2W {
 public:
  explicit CA2W(LPCSTR psz, UINT nCodePage = CP_ACP);
  operator LPWSTR() const { return const_cast<LPWSTR>(m_str.GetString()); }
  int GetLength() const { return m_str.GetLength(); }

 private:
  CString m_str;
};

using CT2A = CW2A;
using CA2T = CA2W;

// %1 and %2 in a string resource replaced by the given texts.
void AfxFormatString1(CString& rString, UINT nIDS, LPCTSTR lpsz1);
void AfxFormatString2(CString& rString, UINT nIDS, LPCTSTR lpsz1, LPCTSTR lpsz2);
// The same on a format text: %1..%9 stand for rglpsz[0..nString-1].
void AfxFormatStrings(CString& rString, LPCTSTR lpszFormat, LPCTSTR const* rglpsz, int nString);

// The module string and dialog resources come from (default: the exe).
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);
