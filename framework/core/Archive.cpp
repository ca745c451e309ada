#include "framework/core/Archive.h"

#include <new>
#include <string>

namespace {

constexpr BYTE kLengthEscape = 0xFF;
constexpr WORD kUnicodeTag = 0xFFFE;
constexpr WORD kWordEscape = 0xFFFF;
constexpr UINT kMinBufSize = 128;

}  // namespace

CArchive::CArchive(CFile* pFile, UINT nMode, int nBufSize, void* /*lpBuf*/)
    : m_pFile(pFile), m_nMode(nMode) {
  if (!pFile) AfxThrowInvalidArgException();
  m_strFileName = pFile->GetFilePath();
  m_buffer.resize(nBufSize > static_cast<int>(kMinBufSize) ? static_cast<size_t>(nBufSize)
                                                           : kMinBufSize);
  if (IsLoading()) {
    // What is left of the file bounds every length and count read from it. A file that
    // cannot tell its size is read unchecked (reads still stop at its end).
    try {
      ULONGLONG length = pFile->GetLength();
      ULONGLONG pos = pFile->GetPosition();
      m_nFileLeft = length > pos ? length - pos : 0;
      m_bSizeKnown = true;
    } catch (CException* e) {
      e->Delete();
    }
  }
}

CArchive::~CArchive() {
  if (m_bClosed || !m_pFile) return;
  if (IsStoring() && !(m_nMode & bNoFlushOnDelete)) {
    // A destructor must not throw: whoever needs to know about a failed write calls
    // Close() first.
    try {
      FlushBuffer();
    } catch (CException* e) {
      e->Delete();
    } catch (...) {
    }
  }
}

void CArchive::RequireLoading() const {
  if (m_bClosed) AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
  if (IsStoring()) AfxThrowArchiveException(CArchiveException::writeOnly, m_strFileName);
}

void CArchive::RequireStoring() const {
  if (m_bClosed) AfxThrowArchiveException(CArchiveException::genericException, m_strFileName);
  if (IsLoading()) AfxThrowArchiveException(CArchiveException::readOnly, m_strFileName);
}

ULONGLONG CArchive::GetBytesLeft() const {
  if (!IsLoading() || !m_bSizeKnown) return ~0ull;
  return m_nFileLeft + (m_nBufEnd - m_nBufPos);
}

void CArchive::CheckBytesLeft(ULONGLONG nBytes) const {
  if (IsLoading() && m_bSizeKnown && nBytes > GetBytesLeft()) {
    AfxThrowArchiveException(CArchiveException::endOfFile, m_strFileName);
  }
}

void CArchive::FillBuffer() {
  UINT n = m_pFile->Read(m_buffer.data(), static_cast<UINT>(m_buffer.size()));
  m_nBufPos = 0;
  m_nBufEnd = n;
  m_nFileLeft = n < m_nFileLeft ? m_nFileLeft - n : 0;
}

UINT CArchive::Read(void* lpBuf, UINT nMax) {
  RequireLoading();
  if (nMax == 0) return 0;
  if (!lpBuf) AfxThrowInvalidArgException();
  BYTE* out = static_cast<BYTE*>(lpBuf);
  UINT done = 0;
  while (done < nMax) {
    if (m_nBufPos == m_nBufEnd) {
      UINT want = nMax - done;
      if (want >= m_buffer.size()) {
        // Large blocks go straight to the caller's memory.
        UINT n = m_pFile->Read(out + done, want);
        m_nFileLeft = n < m_nFileLeft ? m_nFileLeft - n : 0;
        done += n;
        if (n == 0) break;
        continue;
      }
      FillBuffer();
      if (m_nBufEnd == 0) break;
    }
    UINT n = m_nBufEnd - m_nBufPos;
    if (n > nMax - done) n = nMax - done;
    memcpy(out + done, m_buffer.data() + m_nBufPos, n);
    m_nBufPos += n;
    done += n;
  }
  return done;
}

void CArchive::EnsureRead(void* lpBuf, UINT nCount) {
  CheckBytesLeft(nCount);
  if (Read(lpBuf, nCount) != nCount) {
    AfxThrowArchiveException(CArchiveException::endOfFile, m_strFileName);
  }
}

void CArchive::FlushBuffer() {
  if (m_nBufPos == 0) return;
  UINT n = m_nBufPos;
  m_nBufPos = 0;  // a failed write is not retried from the destructor
  m_pFile->Write(m_buffer.data(), n);
}

void CArchive::Write(const void* lpBuf, UINT nCount) {
  RequireStoring();
  if (nCount == 0) return;
  if (!lpBuf) AfxThrowInvalidArgException();
  const BYTE* in = static_cast<const BYTE*>(lpBuf);
  if (nCount >= m_buffer.size()) {
    FlushBuffer();
    m_pFile->Write(in, nCount);
    return;
  }
  while (nCount > 0) {
    UINT room = static_cast<UINT>(m_buffer.size()) - m_nBufPos;
    if (room == 0) {
      FlushBuffer();
      continue;
    }
    UINT n = nCount < room ? nCount : room;
    memcpy(m_buffer.data() + m_nBufPos, in, n);
    m_nBufPos += n;
    in += n;
    nCount -= n;
  }
}

void CArchive::Flush() {
  if (m_bClosed) return;
  if (IsStoring()) {
    FlushBuffer();
  } else if (m_nBufPos < m_nBufEnd) {
    // Give back what was read ahead, so the file stands where the archive does.
    LONGLONG unread = static_cast<LONGLONG>(m_nBufEnd - m_nBufPos);
    m_pFile->Seek(-unread, CFile::current);
    m_nFileLeft += static_cast<ULONGLONG>(unread);
    m_nBufPos = m_nBufEnd = 0;
  }
}

void CArchive::Close() {
  if (m_bClosed) return;
  Flush();
  m_bClosed = true;
}

void CArchive::Abort() {
  m_nBufPos = m_nBufEnd = 0;
  m_bClosed = true;
}

void CArchive::WriteCount(DWORD_PTR dwCount) {
  if (dwCount < kWordEscape) {
    *this << static_cast<WORD>(dwCount);
  } else {
    *this << kWordEscape << static_cast<DWORD>(dwCount);
  }
}

DWORD_PTR CArchive::ReadCount(UINT nMinElementBytes) {
  WORD wCount;
  *this >> wCount;
  DWORD_PTR count = wCount;
  if (wCount == kWordEscape) {
    DWORD dwCount;
    *this >> dwCount;
    count = dwCount;
  }
  CheckBytesLeft(static_cast<ULONGLONG>(count) * nMinElementBytes);
  return count;
}

CArchive& CArchive::operator>>(bool& b) {
  BYTE by;
  *this >> by;
  b = by != 0;
  return *this;
}

CArchive& CArchive::operator<<(LPCWSTR psz) { return *this << CString(psz); }

CArchive& CArchive::operator<<(const CString& str) {
  const DWORD length = static_cast<DWORD>(str.GetLength());
  *this << kLengthEscape << kUnicodeTag;
  if (length < kLengthEscape) {
    *this << static_cast<BYTE>(length);
  } else if (length < kUnicodeTag) {
    *this << kLengthEscape << static_cast<WORD>(length);
  } else {
    *this << kLengthEscape << kWordEscape << length;
  }
  Write(str.GetString(), length * sizeof(wchar_t));
  return *this;
}

// Reads the length prefix; a leading FF FFFE marks UTF-16 text and the length starts
// over (a second tag is then taken as a plain length, as written data never holds one).
CArchive& CArchive::operator>>(CString& str) {
  bool unicode = false;
  ULONGLONG length = 0;
  for (;;) {
    BYTE by;
    *this >> by;
    if (by < kLengthEscape) {
      length = by;
      break;
    }
    WORD w;
    *this >> w;
    if (w == kUnicodeTag && !unicode) {
      unicode = true;
      continue;
    }
    if (w < kWordEscape) {
      length = w;
    } else {
      DWORD dw;
      *this >> dw;
      length = dw;
    }
    break;
  }

  const ULONGLONG nBytes = length * (unicode ? sizeof(wchar_t) : 1);
  CheckBytesLeft(nBytes);
  if (nBytes > 0x7FFFFFFFull) AfxThrowArchiveException(CArchiveException::badIndex, m_strFileName);

  // The target keeps its old value until the whole text has been read.
  try {
    if (unicode) {
      CString text;
      wchar_t* p = text.GetBufferSetLength(static_cast<int>(length));
      EnsureRead(p, static_cast<UINT>(nBytes));
      str = std::move(text);
    } else {
      std::string bytes(static_cast<size_t>(length), '\0');
      EnsureRead(bytes.data(), static_cast<UINT>(nBytes));
      str = AfxMultiByteToWide(bytes.data(), static_cast<int>(bytes.size()), CP_ACP);
    }
  } catch (const std::bad_alloc&) {
    AfxThrowMemoryException();
  }
  return *this;
}

void SerializeElements(CArchive& ar, CString* pElements, INT_PTR nCount) {
  for (INT_PTR i = 0; i < nCount; ++i) {
    if (ar.IsStoring()) {
      ar << pElements[i];
    } else {
      ar >> pElements[i];
    }
  }
}
