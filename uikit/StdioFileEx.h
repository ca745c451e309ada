// A line-oriented text file in UTF-16 (with its mark) or in an 8-bit code page.
#pragma once

#include <memory>

#include "framework/core/File.h"

// Open flag: write UTF-16. Outside the framework's own open flags, which ignore it.
constexpr UINT TextFileUnicodeFlag = 0x200000;

// The file is always opened untranslated: line ends are whatever the caller writes.
// Reading ends a line at LF and drops one CR before it. On reading, a UTF-16 file is
// recognised by its FF FE mark, whatever the flags said.
class CStdioFileEx : public CStdioFile {
 public:
  static constexpr int kAnsiCodePage = -1;  // GetACP() at conversion time
  static constexpr int kUtf8CodePage = 65001;

  CStdioFileEx();
  ~CStdioFileEx() override;

  BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr) override;

  // Writes the mark first when writing starts at position 0.
  void WriteString(LPCTSTR lpsz) override;
  // TRUE when a line was read (possibly empty); FALSE at the end of the file.
  BOOL ReadString(CString& rString) override;
  using CStdioFile::ReadString;  // the plain buffer form
  ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;

  // Code page of 8-bit text: kAnsiCodePage (the default), kUtf8CodePage or any other.
  void SetCodePage(int nCodePage) { m_nCodePage = nCodePage; }
  int GetCodePage() const { return m_nCodePage; }
  BOOL IsUnicodeText() const { return m_bIsUnicodeText; }

 private:
  static constexpr int kLineBufferUnits = 4096;
  static constexpr int kLineGrowUnits = 128;

  UINT CodePage() const;
  void SkipMarkAtStart();
  template <typename Char>
  int ReadLine(Char* pFixed, std::unique_ptr<Char[]>& heap, Char*& pLine);

  BOOL m_bIsUnicodeText = FALSE;
  UINT m_nOpenFlags = 0;  // of the last Open, after adjustment
  int m_nCodePage = kAnsiCodePage;
  char m_chDefault = '#';  // written for characters the code page lacks
  BOOL m_bWriteMark = TRUE;
  wchar_t m_wideLine[kLineBufferUnits];
  char m_narrowLine[kLineBufferUnits];
  BOOL m_bAtStart = TRUE;  // set by Open and Seek, cleared by a successful ReadString
};
