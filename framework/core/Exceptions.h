// Framework exceptions: heap objects thrown by pointer, caught as CException*,
// released with Delete().
//
//   try { ... } catch (CException* e) { e->ReportError(); e->Delete(); }
#pragma once

#include "framework/core/Object.h"
#include "framework/core/String.h"

class CException : public CObject {
  DECLARE_DYNAMIC(CException)
 public:
  explicit CException(BOOL bAutoDelete = TRUE) : m_bAutoDelete(bAutoDelete) {}
  ~CException() override = default;

  // Frees the object when it was allocated for this throw (m_bAutoDelete).
  void Delete();

  // Fills lpszError (at most nMaxError characters, terminated); FALSE with an empty
  // buffer when there is no text. *pnHelpContext (optional) is set to 0.
  virtual BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr);
  // Shows the message in a box; nMessageID is the string resource used when there is no text.
  virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);

  BOOL m_bAutoDelete;
};

// The box ReportError shows. The window layer installs its own (application caption);
// by default a plain MessageBoxW is used.
using AFX_MESSAGE_BOX_PROC = int (*)(LPCTSTR lpszText, UINT nType, UINT nIDHelp);
void AfxSetMessageBoxProc(AFX_MESSAGE_BOX_PROC pfn);
int AfxCoreMessageBox(LPCTSTR lpszText, UINT nType, UINT nIDHelp);

// Where an exception has to end because a system callback cannot carry it on (a
// window procedure, a shell callback), its text is not simply lost: it goes to the
// proc the program sets (its event log, say), and always to the debug output.
// lpszWhere names the boundary; e may be null for an exception of no framework
// class (lpszWhat then describes it). Neither deletes e.
using AFX_SWALLOWED_EXCEPTION_PROC = void (*)(LPCTSTR lpszText);
void AfxSetSwallowedExceptionProc(AFX_SWALLOWED_EXCEPTION_PROC pfn);
void AfxReportSwallowedException(LPCTSTR lpszWhere, CException* e,
                                 LPCTSTR lpszWhat = nullptr) noexcept;

class CMemoryException : public CException {
  DECLARE_DYNAMIC(CMemoryException)
 public:
  explicit CMemoryException(BOOL bAutoDelete = TRUE) : CException(bAutoDelete) {}
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;
};

class CInvalidArgException : public CException {
  DECLARE_DYNAMIC(CInvalidArgException)
 public:
  explicit CInvalidArgException(BOOL bAutoDelete = TRUE) : CException(bAutoDelete) {}
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;
};

class CNotSupportedException : public CException {
  DECLARE_DYNAMIC(CNotSupportedException)
 public:
  explicit CNotSupportedException(BOOL bAutoDelete = TRUE) : CException(bAutoDelete) {}
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;
};

// Raised when a dialog's data exchange fails; the user has already been told.
class CUserException : public CException {
  DECLARE_DYNAMIC(CUserException)
 public:
  explicit CUserException(BOOL bAutoDelete = TRUE) : CException(bAutoDelete) {}
};

class CFileException : public CException {
  DECLARE_DYNAMIC(CFileException)
 public:
  enum {
    none,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile
  };

  explicit CFileException(int cause = none, LONG lOsError = -1, LPCTSTR lpszFileName = nullptr);

  // The system's text for m_lOsError (FormatMessage); FALSE when it has none.
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;

  static int OsErrorToException(LONG lOsError);
  [[noreturn]] static void ThrowOsError(LONG lOsError, LPCTSTR lpszFileName = nullptr);

  int m_cause;
  LONG m_lOsError;
  CString m_strFileName;
};

class CArchiveException : public CException {
  DECLARE_DYNAMIC(CArchiveException)
 public:
  enum {
    none,
    genericException,
    readOnly,
    endOfFile,
    writeOnly,
    badIndex,  // also "bad format": a length or count the data cannot hold
    badClass,
    badSchema
  };

  explicit CArchiveException(int cause = none, LPCTSTR lpszArchiveName = nullptr);
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;

  int m_cause;
  CString m_strFileName;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowInvalidArgException();
[[noreturn]] void AfxThrowNotSupportedException();
[[noreturn]] void AfxThrowUserException();
[[noreturn]] void AfxThrowFileException(int cause, LONG lOsError = -1,
                                        LPCTSTR lpszFileName = nullptr);
[[noreturn]] void AfxThrowArchiveException(int cause, LPCTSTR lpszArchiveName = nullptr);
