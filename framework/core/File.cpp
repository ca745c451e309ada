#include "framework/core/File.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>

#include "framework/core/Exceptions.h"

IMPLEMENT_DYNAMIC(CFile, CObject)
IMPLEMENT_DYNAMIC(CStdioFile, CFile)

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

namespace {

constexpr UINT kAccessMask = 0x0003;
constexpr UINT kShareMask = 0x0070;

void FillError(CFileException* pError, LONG lOsError, LPCTSTR lpszFileName) {
  if (!pError) return;
  pError->m_cause = CFileException::OsErrorToException(lOsError);
  pError->m_lOsError = lOsError;
  pError->m_strFileName = lpszFileName;
}

}  // namespace

// ---- CFile --------------------------------------------------------------------------

CFile::CFile() : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {}

CFile::CFile(HANDLE hFile) : m_hFile(hFile), m_bCloseOnDelete(TRUE) {}

CFile::CFile(LPCTSTR lpszFileName, UINT nOpenFlags) : CFile() {
  CFileException error;
  if (!Open(lpszFileName, nOpenFlags, &error)) {
    throw new CFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
  }
}

CFile::~CFile() {
  if (m_hFile != hFileNull && m_bCloseOnDelete) ::CloseHandle(m_hFile);
  m_hFile = hFileNull;
}

DWORD CFile::DesiredAccess(UINT nOpenFlags) {
  switch (nOpenFlags & kAccessMask) {
    case modeRead:
      return GENERIC_READ;
    case modeWrite:
      return GENERIC_WRITE;
    case modeReadWrite:
      return GENERIC_READ | GENERIC_WRITE;
    default:
      AfxThrowInvalidArgException();  // modeWrite | modeReadWrite
  }
}

// Compatibility mode shares nothing: a file this program writes is its own until closed.
DWORD CFile::ShareMode(UINT nOpenFlags) {
  switch (nOpenFlags & kShareMask) {
    case shareCompat:
    case shareExclusive:
      return 0;
    case shareDenyWrite:
      return FILE_SHARE_READ;
    case shareDenyRead:
      return FILE_SHARE_WRITE;
    case shareDenyNone:
      return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
      AfxThrowInvalidArgException();
  }
}

DWORD CFile::CreationDisposition(UINT nOpenFlags) {
  if (nOpenFlags & modeCreate) {
    return (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
  }
  return OPEN_EXISTING;
}

BOOL CFile::OpenHandle(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  if (m_hFile != hFileNull || !lpszFileName) AfxThrowInvalidArgException();
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, (nOpenFlags & modeNoInherit) ? FALSE : TRUE};
  HANDLE h = ::CreateFileW(lpszFileName, DesiredAccess(nOpenFlags), ShareMode(nOpenFlags), &sa,
                           CreationDisposition(nOpenFlags), FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    FillError(pError, static_cast<LONG>(::GetLastError()), lpszFileName);
    return FALSE;
  }
  m_hFile = h;
  m_bCloseOnDelete = TRUE;
  m_strFileName = lpszFileName;
  return TRUE;
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  // typeText/typeBinary mean nothing to a plain file; other unknown bits are ignored.
  return OpenHandle(lpszFileName, nOpenFlags, pError);
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
  if (nCount == 0) return 0;
  if (!lpBuf) AfxThrowInvalidArgException();
  DWORD nRead = 0;
  if (!::ReadFile(m_hFile, lpBuf, nCount, &nRead, nullptr)) {
    DWORD err = ::GetLastError();
    if (err == ERROR_HANDLE_EOF || err == ERROR_BROKEN_PIPE) return 0;
    CFileException::ThrowOsError(static_cast<LONG>(err), m_strFileName);
  }
  return nRead;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
  if (nCount == 0) return;
  if (!lpBuf) AfxThrowInvalidArgException();
  DWORD nWritten = 0;
  if (!::WriteFile(m_hFile, lpBuf, nCount, &nWritten, nullptr)) {
    CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
  }
  // A file takes fewer bytes than given only when its volume has no room for more; the
  // system's own error says so, so the exception carries a reason like every other.
  if (nWritten != nCount) {
    AfxThrowFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
  }
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom) {
  static_assert(begin == FILE_BEGIN && current == FILE_CURRENT && end == FILE_END);
  if (nFrom > end) AfxThrowInvalidArgException();
  LARGE_INTEGER distance;
  distance.QuadPart = lOff;
  LARGE_INTEGER pos;
  if (!::SetFilePointerEx(m_hFile, distance, &pos, nFrom)) {
    CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
  }
  return static_cast<ULONGLONG>(pos.QuadPart);
}

ULONGLONG CFile::GetPosition() const {
  LARGE_INTEGER zero = {};
  LARGE_INTEGER pos;
  if (!::SetFilePointerEx(m_hFile, zero, &pos, FILE_CURRENT)) {
    CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
  }
  return static_cast<ULONGLONG>(pos.QuadPart);
}

ULONGLONG CFile::GetLength() const {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(m_hFile, &size)) {
    CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
  }
  return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::SetLength(ULONGLONG dwNewLen) {
  Seek(static_cast<LONGLONG>(dwNewLen), begin);
  if (!::SetEndOfFile(m_hFile)) {
    CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
  }
}

void CFile::Flush() {
  if (m_hFile == hFileNull) return;
  if (!::FlushFileBuffers(m_hFile)) {
    DWORD err = ::GetLastError();
    if (err == ERROR_ACCESS_DENIED) return;  // a handle opened for reading only
    CFileException::ThrowOsError(static_cast<LONG>(err), m_strFileName);
  }
}

void CFile::Close() {
  HANDLE h = m_hFile;
  m_hFile = hFileNull;
  if (h != hFileNull && m_bCloseOnDelete && !::CloseHandle(h)) {
    CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
  }
  m_strFileName.Empty();
}

void CFile::Abort() {
  if (m_hFile != hFileNull && m_bCloseOnDelete) ::CloseHandle(m_hFile);
  m_hFile = hFileNull;
  m_strFileName.Empty();
}

CString CFile::GetFileName() const {
  int slash = m_strFileName.ReverseFind(L'\\');
  int other = m_strFileName.ReverseFind(L'/');
  if (other > slash) slash = other;
  return m_strFileName.Mid(slash + 1);
}

// ---- CStdioFile ---------------------------------------------------------------------

CStdioFile::CStdioFile() : m_pStream(nullptr) {}

CStdioFile::CStdioFile(FILE* pOpenStream) : m_pStream(pOpenStream) {
  if (!pOpenStream) AfxThrowInvalidArgException();
  m_hFile = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(pOpenStream)));
  m_bCloseOnDelete = TRUE;
}

CStdioFile::CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags) : CStdioFile() {
  CFileException error;
  if (!Open(lpszFileName, nOpenFlags, &error)) {
    throw new CFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
  }
}

CStdioFile::~CStdioFile() {
  if (m_pStream && m_bCloseOnDelete) fclose(m_pStream);  // also closes m_hFile
  m_pStream = nullptr;
  m_hFile = hFileNull;
}

// The handle comes from CreateFile, as for CFile (same flags, same dispositions), and is
// then handed to the C runtime; the stream owns it from there on. Unknown bits such as
// a derived class's own flags are ignored.
BOOL CStdioFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  if (m_pStream) AfxThrowInvalidArgException();
  if (!OpenHandle(lpszFileName, nOpenFlags, pError)) return FALSE;

  const bool text = (nOpenFlags & typeBinary) == 0;
  int osFlags = text ? _O_TEXT : _O_BINARY;
  const wchar_t* mode;
  switch (nOpenFlags & kAccessMask) {
    case modeWrite:
      mode = text ? L"wt" : L"wb";  // CreateFile already chose truncation
      break;
    case modeReadWrite:
      mode = text ? L"r+t" : L"r+b";
      break;
    default:
      osFlags |= _O_RDONLY;
      mode = text ? L"rt" : L"rb";
      break;
  }

  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(m_hFile), osFlags);
  if (fd == -1) {
    ::CloseHandle(m_hFile);
    m_hFile = hFileNull;
    FillError(pError, ERROR_TOO_MANY_OPEN_FILES, lpszFileName);
    return FALSE;
  }
  m_pStream = _wfdopen(fd, mode);
  if (!m_pStream) {
    _close(fd);  // closes the handle too
    m_hFile = hFileNull;
    FillError(pError, ERROR_TOO_MANY_OPEN_FILES, lpszFileName);
    return FALSE;
  }
  return TRUE;
}

BOOL CStdioFile::ReadString(CString& rString) {
  rString.Empty();
  wchar_t chunk[256];
  bool any = false;
  while (fgetws(chunk, _countof(chunk), m_pStream)) {
    any = true;
    size_t n = wcslen(chunk);
    if (n > 0 && chunk[n - 1] == L'\n') {
      chunk[n - 1] = L'\0';
      rString += chunk;
      return TRUE;
    }
    rString += chunk;
  }
  if (ferror(m_pStream)) {
    clearerr(m_pStream);
    AfxThrowFileException(CFileException::genericException, _doserrno, m_strFileName);
  }
  return any;
}

LPTSTR CStdioFile::ReadString(LPTSTR lpsz, UINT nMax) {
  if (!lpsz || nMax == 0) AfxThrowInvalidArgException();
  LPTSTR result = fgetws(lpsz, static_cast<int>(nMax), m_pStream);
  if (!result && ferror(m_pStream)) {
    clearerr(m_pStream);
    AfxThrowFileException(CFileException::genericException, _doserrno, m_strFileName);
  }
  return result;
}

void CStdioFile::WriteString(LPCTSTR lpsz) {
  if (!lpsz) AfxThrowInvalidArgException();
  if (fputws(lpsz, m_pStream) == WEOF) {
    AfxThrowFileException(CFileException::diskFull, _doserrno, m_strFileName);
  }
}

UINT CStdioFile::Read(void* lpBuf, UINT nCount) {
  if (nCount == 0) return 0;
  if (!lpBuf) AfxThrowInvalidArgException();
  size_t n = fread(lpBuf, 1, nCount, m_pStream);
  if (n < nCount && ferror(m_pStream)) {
    clearerr(m_pStream);
    AfxThrowFileException(CFileException::genericException, _doserrno, m_strFileName);
  }
  return static_cast<UINT>(n);
}

void CStdioFile::Write(const void* lpBuf, UINT nCount) {
  if (nCount == 0) return;
  if (!lpBuf) AfxThrowInvalidArgException();
  if (fwrite(lpBuf, 1, nCount, m_pStream) != nCount) {
    AfxThrowFileException(CFileException::diskFull, _doserrno, m_strFileName);
  }
}

ULONGLONG CStdioFile::Seek(LONGLONG lOff, UINT nFrom) {
  static_assert(begin == SEEK_SET && current == SEEK_CUR && end == SEEK_END);
  if (nFrom > end) AfxThrowInvalidArgException();
  if (_fseeki64(m_pStream, lOff, static_cast<int>(nFrom)) != 0) {
    AfxThrowFileException(CFileException::badSeek, _doserrno, m_strFileName);
  }
  return GetPosition();
}

ULONGLONG CStdioFile::GetPosition() const {
  __int64 pos = _ftelli64(m_pStream);
  if (pos < 0) AfxThrowFileException(CFileException::badSeek, _doserrno, m_strFileName);
  return static_cast<ULONGLONG>(pos);
}

ULONGLONG CStdioFile::GetLength() const {
  __int64 pos = _ftelli64(m_pStream);
  if (pos < 0 || _fseeki64(m_pStream, 0, SEEK_END) != 0) {
    AfxThrowFileException(CFileException::badSeek, _doserrno, m_strFileName);
  }
  __int64 length = _ftelli64(m_pStream);
  if (_fseeki64(m_pStream, pos, SEEK_SET) != 0 || length < 0) {
    AfxThrowFileException(CFileException::badSeek, _doserrno, m_strFileName);
  }
  return static_cast<ULONGLONG>(length);
}

void CStdioFile::Flush() {
  if (m_pStream && fflush(m_pStream) != 0) {
    AfxThrowFileException(CFileException::diskFull, _doserrno, m_strFileName);
  }
}

void CStdioFile::Close() {
  FILE* stream = m_pStream;
  m_pStream = nullptr;
  m_hFile = hFileNull;  // fclose closes it
  CString name = m_strFileName;
  m_strFileName.Empty();
  if (stream && fclose(stream) != 0) {
    AfxThrowFileException(CFileException::diskFull, _doserrno, name);
  }
}

void CStdioFile::Abort() {
  if (m_pStream && m_bCloseOnDelete) fclose(m_pStream);
  m_pStream = nullptr;
  m_hFile = hFileNull;
  m_strFileName.Empty();
}

BOOL AfxCreateUnicodeProfile(LPCTSTR path) {
  HANDLE file =
      ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  static const BYTE kMark[] = {0xFF, 0xFE};
  DWORD written = 0;
  const BOOL ok =
      ::WriteFile(file, kMark, sizeof(kMark), &written, nullptr) && written == sizeof(kMark);
  ::CloseHandle(file);
  // A file without its mark would be taken as ANSI: better none.
  if (!ok) ::DeleteFileW(path);
  return ok;
}
