#include "framework/core/Exceptions.h"

#include <atomic>

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CMemoryException, CException)
IMPLEMENT_DYNAMIC(CInvalidArgException, CException)
IMPLEMENT_DYNAMIC(CNotSupportedException, CException)
IMPLEMENT_DYNAMIC(CUserException, CException)
IMPLEMENT_DYNAMIC(CFileException, CException)
IMPLEMENT_DYNAMIC(CArchiveException, CException)

namespace {

// Set once by the window layer at start-up; read when an error is reported. Relaxed
// would do for a pointer set before any thread runs, acquire/release costs nothing here.
std::atomic<AFX_MESSAGE_BOX_PROC> g_pfnMessageBox{nullptr};
// Set at start-up (or by a test); read on whichever thread swallows an exception.
std::atomic<AFX_SWALLOWED_EXCEPTION_PROC> g_pfnSwallowed{nullptr};

BOOL CopyMessage(LPCWSTR psz, LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext) *pnHelpContext = 0;
  if (!lpszError || nMaxError == 0) return FALSE;
  lstrcpynW(lpszError, psz ? psz : L"", static_cast<int>(nMaxError));
  return psz && *psz;
}

}  // namespace

void CException::Delete() {
  if (m_bAutoDelete) delete this;
}

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  CopyMessage(nullptr, lpszError, nMaxError, pnHelpContext);
  return FALSE;
}

int CException::ReportError(UINT nType, UINT nMessageID) {
  wchar_t text[1024];
  CString message;
  if (GetErrorMessage(text, _countof(text), nullptr)) {
    message = text;
  } else if (nMessageID != 0) {
    message.LoadString(nMessageID);
  }
  if (message.IsEmpty()) message = L"An unexpected error occurred.";
  return AfxCoreMessageBox(message, nType, 0);
}

void AfxSetMessageBoxProc(AFX_MESSAGE_BOX_PROC pfn) {
  g_pfnMessageBox.store(pfn, std::memory_order_release);
}

int AfxCoreMessageBox(LPCTSTR lpszText, UINT nType, UINT nIDHelp) {
  if (AFX_MESSAGE_BOX_PROC pfn = g_pfnMessageBox.load(std::memory_order_acquire)) {
    return pfn(lpszText, nType, nIDHelp);
  }
  return ::MessageBoxW(::GetActiveWindow(), lpszText, nullptr, nType);
}

void AfxSetSwallowedExceptionProc(AFX_SWALLOWED_EXCEPTION_PROC pfn) {
  g_pfnSwallowed.store(pfn, std::memory_order_release);
}

void AfxReportSwallowedException(LPCTSTR lpszWhere, CException* e, LPCTSTR lpszWhat) noexcept {
  try {
    CString what;
    wchar_t text[1024];
    if (e && e->GetErrorMessage(text, _countof(text), nullptr)) {
      what = text;
    } else if (e) {
      what = CString(e->GetRuntimeClass()->m_lpszClassName);  // no text: at least its kind
    } else {
      what = lpszWhat ? lpszWhat : L"an exception of unknown type";
    }
    what.TrimRight(L"\r\n");
    CString line;
    line.Format(L"%s: %s", lpszWhere ? lpszWhere : L"(unknown)", what);
    ::OutputDebugStringW(line + L"\n");
    if (AFX_SWALLOWED_EXCEPTION_PROC pfn = g_pfnSwallowed.load(std::memory_order_acquire)) {
      pfn(line);
    }
  } catch (...) {
    // Reporting must never throw out of the boundary that called it.
  }
}

BOOL CMemoryException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  return CopyMessage(L"Out of memory.", lpszError, nMaxError, pnHelpContext);
}

BOOL CInvalidArgException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  return CopyMessage(L"Invalid argument.", lpszError, nMaxError, pnHelpContext);
}

BOOL CNotSupportedException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                                             PUINT pnHelpContext) {
  return CopyMessage(L"Operation not supported.", lpszError, nMaxError, pnHelpContext);
}

// ---- CFileException -----------------------------------------------------------------

CFileException::CFileException(int cause, LONG lOsError, LPCTSTR lpszFileName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszFileName) {}

// The system's own text for the error; a file exception with no OS error has none.
BOOL CFileException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext) *pnHelpContext = 0;
  if (!lpszError || nMaxError == 0) return FALSE;
  lpszError[0] = L'\0';
  if (m_lOsError == -1 || m_lOsError == 0) return FALSE;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(m_lOsError), 0, lpszError, nMaxError, nullptr);
  if (n == 0) {
    lpszError[0] = L'\0';
    return FALSE;
  }
  return TRUE;
}

int CFileException::OsErrorToException(LONG lOsError) {
  switch (lOsError) {
    case NO_ERROR:
      return none;
    case ERROR_FILE_NOT_FOUND:
      return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
      return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
      return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_CANNOT_MAKE:
      return accessDenied;
    case ERROR_INVALID_HANDLE:
      return invalidFile;
    case ERROR_CURRENT_DIRECTORY:
      return removeCurrentDir;
    case ERROR_NO_MORE_FILES:
      return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE:
      return badSeek;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
      return hardIO;
    case ERROR_SHARING_VIOLATION:
    case ERROR_SHARING_BUFFER_EXCEEDED:
      return sharingViolation;
    case ERROR_LOCK_VIOLATION:
    case ERROR_LOCK_FAILED:
      return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return diskFull;
    case ERROR_HANDLE_EOF:
      return endOfFile;
    default:
      return genericException;
  }
}

void CFileException::ThrowOsError(LONG lOsError, LPCTSTR lpszFileName) {
  throw new CFileException(OsErrorToException(lOsError), lOsError, lpszFileName);
}

// ---- CArchiveException --------------------------------------------------------------

CArchiveException::CArchiveException(int cause, LPCTSTR lpszArchiveName)
    : m_cause(cause), m_strFileName(lpszArchiveName) {}

BOOL CArchiveException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  LPCWSTR text;
  switch (m_cause) {
    case readOnly:
      text = L"Tried to write to an archive opened for loading.";
      break;
    case writeOnly:
      text = L"Tried to read from an archive opened for storing.";
      break;
    case endOfFile:
      text = L"Unexpected end of file while reading an archive.";
      break;
    case badIndex:
      text = L"The archive is in an invalid format.";
      break;
    case badClass:
      text = L"The archive holds an unexpected object.";
      break;
    case badSchema:
      text = L"The archive holds an object of an unsupported version.";
      break;
    default:
      text = L"An unexpected archive error occurred.";
      break;
  }
  CString message(text);
  if (!m_strFileName.IsEmpty()) message += L" (" + m_strFileName + L")";
  return CopyMessage(message, lpszError, nMaxError, pnHelpContext);
}

// ---- throw helpers ------------------------------------------------------------------

// Thrown when memory is gone, so it must not need memory itself: one static object
// that Delete() leaves alone.
void AfxThrowMemoryException() {
  static CMemoryException s_outOfMemory(FALSE);
  throw &s_outOfMemory;
}

void AfxThrowInvalidArgException() { throw new CInvalidArgException(); }

void AfxThrowNotSupportedException() { throw new CNotSupportedException(); }

void AfxThrowUserException() { throw new CUserException(); }

void AfxThrowFileException(int cause, LONG lOsError, LPCTSTR lpszFileName) {
  throw new CFileException(cause, lOsError, lpszFileName);
}

void AfxThrowArchiveException(int cause, LPCTSTR lpszArchiveName) {
  throw new CArchiveException(cause, lpszArchiveName);
}
