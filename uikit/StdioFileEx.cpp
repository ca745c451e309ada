#include "uikit/StdioFileEx.h"

#include <algorithm>
#include <new>
#include <vector>

#include "framework/core/Exceptions.h"

namespace {

constexpr BYTE kUtf16Mark[] = {0xFF, 0xFE};
constexpr BYTE kUtf8Mark[] = {0xEF, 0xBB, 0xBF};

wchar_t* GetChunk(wchar_t* p, int nUnits, FILE* stream) { return fgetws(p, nUnits, stream); }
char* GetChunk(char* p, int nUnits, FILE* stream) { return fgets(p, nUnits, stream); }

template <typename Char>
int LengthToNul(const Char* p, int nLength) {
  return static_cast<int>(std::find(p, p + nLength, Char(0)) - p);
}

// Some code pages (UTF-7, ISO-2022, GB18030, ...) refuse conversion flags and a
// default character: those are retried plain rather than losing the text.
bool RefusedFlags() {
  const DWORD error = GetLastError();
  return error == ERROR_INVALID_FLAGS || error == ERROR_INVALID_PARAMETER;
}

}  // namespace

CStdioFileEx::CStdioFileEx() {
  m_wideLine[0] = 0;
  m_narrowLine[0] = 0;
}

CStdioFileEx::~CStdioFileEx() = default;

UINT CStdioFileEx::CodePage() const {
  return m_nCodePage == kAnsiCodePage ? GetACP() : static_cast<UINT>(m_nCodePage);
}

BOOL CStdioFileEx::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  m_bIsUnicodeText = (nOpenFlags & TextFileUnicodeFlag) != 0;
  // Untranslated always: the C runtime's text mode would rewrite line ends and
  // convert wide text through its own locale.
  m_nOpenFlags = (nOpenFlags & ~static_cast<UINT>(typeText)) | typeBinary;
  if (!CStdioFile::Open(lpszFileName, m_nOpenFlags, pError)) return FALSE;

  if ((m_nOpenFlags & (modeCreate | modeWrite)) == 0) {
    // Opened for reading: the mark decides, not the flag.
    BYTE mark[2] = {};
    const size_t nRead = fread(mark, 1, sizeof mark, m_pStream);
    m_bIsUnicodeText = nRead == sizeof mark && mark[0] == kUtf16Mark[0] && mark[1] == kUtf16Mark[1];
    CStdioFile::Seek(0, begin);
  }
  m_bAtStart = TRUE;
  return TRUE;
}

ULONGLONG CStdioFileEx::Seek(LONGLONG lOff, UINT nFrom) {
  m_bAtStart = TRUE;
  return CStdioFile::Seek(lOff, nFrom);
}

void CStdioFileEx::WriteString(LPCTSTR lpsz) {
  if (lpsz == nullptr) AfxThrowInvalidArgException();
  const bool unicode = (m_nOpenFlags & TextFileUnicodeFlag) != 0;
  const UINT codePage = CodePage();

  if (m_bWriteMark && GetPosition() == 0) {
    if (unicode) {
      CStdioFile::Write(kUtf16Mark, sizeof kUtf16Mark);
    } else if (codePage == CP_UTF8) {
      CStdioFile::Write(kUtf8Mark, sizeof kUtf8Mark);
    }
  }

  const int nLength = static_cast<int>(wcslen(lpsz));
  if (nLength == 0) return;
  if (unicode) {
    CStdioFile::Write(lpsz, static_cast<UINT>(nLength) * sizeof(wchar_t));
    return;
  }

  DWORD dwFlags = codePage == CP_UTF8 ? 0 : WC_COMPOSITECHECK | WC_SEPCHARS;
  LPCSTR pDefault = codePage == CP_UTF8 ? nullptr : &m_chDefault;
  int nNeeded =
      WideCharToMultiByte(codePage, dwFlags, lpsz, nLength, nullptr, 0, pDefault, nullptr);
  if (nNeeded == 0 && RefusedFlags()) {
    dwFlags = 0;
    pDefault = nullptr;
    nNeeded = WideCharToMultiByte(codePage, 0, lpsz, nLength, nullptr, 0, nullptr, nullptr);
  }
  if (nNeeded <= 0) return;

  std::vector<char> heap;
  char* pOut = m_narrowLine;
  if (nNeeded > kLineBufferUnits) {
    try {
      heap.resize(static_cast<size_t>(nNeeded));
    } catch (const std::bad_alloc&) {
      AfxThrowMemoryException();
    }
    pOut = heap.data();
  }
  const int nBytes =
      WideCharToMultiByte(codePage, dwFlags, lpsz, nLength, pOut, nNeeded, pDefault, nullptr);
  if (nBytes > 0) CStdioFile::Write(pOut, static_cast<UINT>(nBytes));
}

// Skips the mark at the start of the file, but only when it is there: a file
// without one loses no text.
void CStdioFileEx::SkipMarkAtStart() {
  if (!m_bAtStart || CStdioFile::GetPosition() != 0) return;
  const BYTE* pMark = nullptr;
  size_t nMark = 0;
  if (m_bIsUnicodeText) {
    pMark = kUtf16Mark;
    nMark = sizeof kUtf16Mark;
  } else if (CodePage() == CP_UTF8) {
    pMark = kUtf8Mark;
    nMark = sizeof kUtf8Mark;
  } else {
    return;
  }
  BYTE head[3] = {};
  const size_t nRead = fread(head, 1, nMark, m_pStream);
  if (nRead != nMark || !std::equal(pMark, pMark + nMark, head)) CStdioFile::Seek(0, begin);
}

// Reads one line into the fixed buffer, moving to heap buffers 128 units longer
// while no LF has come. Returns the units read (LF included) and points pLine at
// them, or -1 when nothing was read or memory ran out.
template <typename Char>
int CStdioFileEx::ReadLine(Char* pFixed, std::unique_ptr<Char[]>& heap, Char*& pLine) {
  pLine = pFixed;
  int nCapacity = kLineBufferUnits;
  int nUsed = 0;
  bool bAny = false;
  for (;;) {
    // With non-NUL filler, the last NUL in the chunk is the terminator fgets
    // wrote, even when the text itself holds NULs.
    std::fill(pLine + nUsed, pLine + nCapacity, Char(1));
    if (GetChunk(pLine + nUsed, nCapacity - nUsed, m_pStream) == nullptr) break;
    bAny = true;
    int nEnd = nCapacity - 1;
    while (nEnd > nUsed && pLine[nEnd] != 0) --nEnd;
    nUsed = nEnd;
    if (nUsed > 0 && pLine[nUsed - 1] == '\n') break;
    if (feof(m_pStream) || ferror(m_pStream) || nUsed < nCapacity - 1) break;

    const int nNewCapacity = nCapacity + kLineGrowUnits;
    std::unique_ptr<Char[]> bigger(new (std::nothrow) Char[nNewCapacity]);
    if (!bigger) return -1;
    std::copy(pLine, pLine + nUsed, bigger.get());
    heap = std::move(bigger);  // frees the previous heap buffer, never the fixed one
    pLine = heap.get();
    nCapacity = nNewCapacity;
  }
  return bAny ? nUsed : -1;
}

BOOL CStdioFileEx::ReadString(CString& rString) {
  rString.Empty();
  if (m_pStream == nullptr) return FALSE;
  SkipMarkAtStart();

  if (m_bIsUnicodeText) {
    std::unique_ptr<wchar_t[]> heap;
    wchar_t* pLine = nullptr;
    int nLength = ReadLine(m_wideLine, heap, pLine);
    if (nLength < 0) return FALSE;
    if (nLength > 0 && pLine[nLength - 1] == L'\n') --nLength;
    nLength = LengthToNul(pLine, nLength);
    if (nLength > 0 && pLine[nLength - 1] == L'\r') --nLength;
    rString = CString(pLine, nLength);
  } else {
    std::unique_ptr<char[]> heap;
    char* pLine = nullptr;
    int nLength = ReadLine(m_narrowLine, heap, pLine);
    if (nLength < 0) return FALSE;
    if (nLength > 0 && pLine[nLength - 1] == '\n') --nLength;
    nLength = LengthToNul(pLine, nLength);
    if (nLength > 0 && pLine[nLength - 1] == '\r') --nLength;
    if (nLength > 0) {
      const UINT codePage = CodePage();
      DWORD dwFlags = codePage == CP_UTF8 ? 0 : MB_PRECOMPOSED;
      int nWide = MultiByteToWideChar(codePage, dwFlags, pLine, nLength, nullptr, 0);
      if (nWide == 0 && RefusedFlags()) {
        dwFlags = 0;
        nWide = MultiByteToWideChar(codePage, 0, pLine, nLength, nullptr, 0);
      }
      if (nWide > 0) {
        LPWSTR pOut = rString.GetBuffer(nWide);
        nWide = MultiByteToWideChar(codePage, dwFlags, pLine, nLength, pOut, nWide);
        rString.ReleaseBuffer(nWide > 0 ? nWide : 0);
      }
    }
  }
  m_bAtStart = FALSE;
  return TRUE;
}
