// CArchive: a buffered binary stream over a CFile, little-endian.
//
// Strings are written as FF FE FF (UTF-16 tag), a length (byte below 255; FF + u16
// below 0xFFFE; FF FFFF + u32) and the UTF-16LE units. On reading an untagged length
// means 8-bit text in the ANSI code page. Counts are a u16, or FFFF + u32.
//
// Loaded data is untrusted: every length and count is checked against the bytes left
// in the file before anything is allocated (CArchiveException::endOfFile).
#pragma once

#include <vector>

#include "framework/core/Exceptions.h"
#include "framework/core/File.h"
#include "framework/core/String.h"

class CArchive {
 public:
  enum Mode : UINT { store = 0, load = 1, bNoFlushOnDelete = 2 };

  CArchive(CFile* pFile, UINT nMode, int nBufSize = 4096, void* lpBuf = nullptr);
  ~CArchive();  // flushes a storing archive unless closed or aborted; never throws

  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  BOOL IsLoading() const { return (m_nMode & load) != 0; }
  BOOL IsStoring() const { return (m_nMode & load) == 0; }
  CFile* GetFile() const { return m_pFile; }

  // Bytes read, short only at the end of the file.
  UINT Read(void* lpBuf, UINT nMax);
  // Exactly nCount bytes or CArchiveException::endOfFile.
  void EnsureRead(void* lpBuf, UINT nCount);
  void Write(const void* lpBuf, UINT nCount);

  void Flush();
  void Close();  // flushes; the file stays open
  void Abort();  // drops unwritten data

  void WriteCount(DWORD_PTR dwCount);
  // Also checks that nMinElementBytes * count bytes are still there to read.
  DWORD_PTR ReadCount(UINT nMinElementBytes = 1);

  // Bytes a loading archive can still deliver; ~0 when the file cannot tell.
  ULONGLONG GetBytesLeft() const;
  // Throws CArchiveException::endOfFile unless nBytes are left to read.
  void CheckBytesLeft(ULONGLONG nBytes) const;

  CArchive& operator<<(BYTE by) { return WriteValue(by); }
  CArchive& operator<<(char ch) { return WriteValue(ch); }
  CArchive& operator<<(bool b) { return WriteValue(static_cast<BYTE>(b ? 1 : 0)); }
  CArchive& operator<<(WORD w) { return WriteValue(w); }
  CArchive& operator<<(short n) { return WriteValue(n); }
  CArchive& operator<<(int i) { return WriteValue(i); }
  CArchive& operator<<(UINT u) { return WriteValue(u); }
  CArchive& operator<<(LONG l) { return WriteValue(l); }
  CArchive& operator<<(DWORD dw) { return WriteValue(dw); }
  CArchive& operator<<(LONGLONG ll) { return WriteValue(ll); }
  CArchive& operator<<(ULONGLONG ull) { return WriteValue(ull); }
  CArchive& operator<<(float f) { return WriteValue(f); }
  CArchive& operator<<(double d) { return WriteValue(d); }
  CArchive& operator<<(const CString& str);
  CArchive& operator<<(LPCWSTR psz);

  CArchive& operator>>(BYTE& by) { return ReadValue(by); }
  CArchive& operator>>(char& ch) { return ReadValue(ch); }
  CArchive& operator>>(bool& b);
  CArchive& operator>>(WORD& w) { return ReadValue(w); }
  CArchive& operator>>(short& n) { return ReadValue(n); }
  CArchive& operator>>(int& i) { return ReadValue(i); }
  CArchive& operator>>(UINT& u) { return ReadValue(u); }
  CArchive& operator>>(LONG& l) { return ReadValue(l); }
  CArchive& operator>>(DWORD& dw) { return ReadValue(dw); }
  CArchive& operator>>(LONGLONG& ll) { return ReadValue(ll); }
  CArchive& operator>>(ULONGLONG& ull) { return ReadValue(ull); }
  CArchive& operator>>(float& f) { return ReadValue(f); }
  CArchive& operator>>(double& d) { return ReadValue(d); }
  CArchive& operator>>(CString& str);

  CString m_strFileName;

 private:
  // The target is little-endian x86, so values are copied as they lie in memory.
  template <typename T>
  CArchive& WriteValue(const T& v) {
    Write(&v, sizeof v);
    return *this;
  }
  template <typename T>
  CArchive& ReadValue(T& v) {
    EnsureRead(&v, sizeof v);
    return *this;
  }
  void FillBuffer();
  void FlushBuffer();
  void RequireLoading() const;
  void RequireStoring() const;

  CFile* m_pFile;
  UINT m_nMode;
  std::vector<BYTE> m_buffer;
  UINT m_nBufPos = 0;  // next byte to read or write
  UINT m_nBufEnd = 0;  // loading: bytes valid in the buffer
  bool m_bClosed = false;
  bool m_bSizeKnown = false;
  ULONGLONG m_nFileLeft = 0;  // loading: bytes not yet pulled from the file
};

// How the elements of a collection are stored: scalars and plain structures as one
// raw block, strings one by one. Overload for other element types.
template <typename TYPE>
void SerializeElements(CArchive& ar, TYPE* pElements, INT_PTR nCount) {
  static_assert(std::is_trivially_copyable_v<TYPE>,
                "give this element type its own SerializeElements");
  const ULONGLONG nBytes = static_cast<ULONGLONG>(nCount) * sizeof(TYPE);
  if (nBytes > 0xFFFFFFFFull) AfxThrowArchiveException(CArchiveException::badIndex);
  if (ar.IsStoring()) {
    ar.Write(pElements, static_cast<UINT>(nBytes));
  } else {
    ar.EnsureRead(pElements, static_cast<UINT>(nBytes));
  }
}
void SerializeElements(CArchive& ar, CString* pElements, INT_PTR nCount);

// The fewest bytes one stored element can take, for checking loaded counts.
template <typename TYPE>
constexpr UINT SerializedElementMinBytes() {
  if constexpr (std::is_arithmetic_v<TYPE>) {
    return sizeof(TYPE);
  } else {
    return 1;  // a string can be one byte; other types are not known here
  }
}
