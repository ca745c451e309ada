// Binary files (CFile) and C-runtime text streams (CStdioFile), straight on Win32.
#pragma once

#include <stdio.h>

#include "framework/core/Object.h"
#include "framework/core/String.h"

class CFileException;

class CFile : public CObject {
  DECLARE_DYNAMIC(CFile)
 public:
  // Open flags. Bits outside these (0x200000 for example) are ignored here and left
  // to derived classes.
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };
  enum SeekPosition : UINT { begin = 0x0, current = 0x1, end = 0x2 };

  static const HANDLE hFileNull;

  CFile();
  explicit CFile(HANDLE hFile);  // takes ownership
  // Opens or throws CFileException.
  CFile(LPCTSTR lpszFileName, UINT nOpenFlags);
  ~CFile() override;  // closes without throwing

  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // FALSE on failure, with *pError (optional) filled: cause, OS error, file name.
  // Disposition: modeCreate|modeNoTruncate opens or creates, modeCreate creates or
  // truncates, otherwise the file must exist.
  virtual BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);

  // Bytes read; 0 at the end of the file. A system failure throws CFileException.
  virtual UINT Read(void* lpBuf, UINT nCount);
  // Writes everything or throws CFileException (a short write is diskFull, ERROR_DISK_FULL).
  virtual void Write(const void* lpBuf, UINT nCount);
  virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);
  void SeekToBegin() { Seek(0, begin); }
  ULONGLONG SeekToEnd() { return Seek(0, end); }
  virtual ULONGLONG GetPosition() const;
  virtual ULONGLONG GetLength() const;
  virtual void SetLength(ULONGLONG dwNewLen);
  virtual void Flush();
  // Close throws on a failed close; Abort never throws.
  virtual void Close();
  virtual void Abort();

  CString GetFileName() const;  // the name part of the path
  CString GetFilePath() const { return m_strFileName; }
  BOOL IsOpen() const { return m_hFile != hFileNull; }
  operator HANDLE() const { return m_hFile; }

  HANDLE m_hFile;
  BOOL m_bCloseOnDelete;
  CString m_strFileName;

 protected:
  // Win32 arguments for the given flags; exposed for the text stream.
  static DWORD DesiredAccess(UINT nOpenFlags);
  static DWORD ShareMode(UINT nOpenFlags);
  static DWORD CreationDisposition(UINT nOpenFlags);
  // Opens m_hFile; on failure fills *pError and returns FALSE.
  BOOL OpenHandle(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError);
};

// A C-runtime stream on a file opened with CreateFile. Text mode (the default, or
// typeText) translates "\n" <-> "\r\n" and converts wide text through the C
// runtime's LC_CTYPE locale; typeBinary moves bytes and UTF-16 units unchanged.
class CStdioFile : public CFile {
  DECLARE_DYNAMIC(CStdioFile)
 public:
  CStdioFile();
  explicit CStdioFile(FILE* pOpenStream);             // takes ownership
  CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags);  // throws CFileException
  ~CStdioFile() override;

  BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr) override;

  // One line without its "\n"; FALSE at the end of the file (rString emptied).
  virtual BOOL ReadString(CString& rString);
  // Up to nMax-1 characters, the "\n" kept; null at the end of the file.
  virtual LPTSTR ReadString(LPTSTR lpsz, UINT nMax);
  // Throws CFileException on a write error.
  virtual void WriteString(LPCTSTR lpsz);

  UINT Read(void* lpBuf, UINT nCount) override;
  void Write(const void* lpBuf, UINT nCount) override;
  ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
  ULONGLONG GetPosition() const override;
  ULONGLONG GetLength() const override;
  void Flush() override;
  void Close() override;
  void Abort() override;

  FILE* m_pStream;
};

// Creates path as an empty UTF-16LE text file, its byte order mark alone, when nothing is
// there: the system's profile functions keep such a file Unicode, where the file they
// create themselves holds only the ANSI code page. TRUE when this call created it.
BOOL AfxCreateUnicodeProfile(LPCTSTR path);
