#include "discinfo/CDDBException.h"

#include "discinfo/DiscInfoLog.h"

IMPLEMENT_DYNAMIC(CCDDBException, CException)

namespace {

constexpr int kLogWarning = 1;

[[noreturn]] void LogAndThrow(CCDDBException* pException, LPCWSTR reason) {
  CString line;
  if (reason != nullptr) {
    line.Format(L"Warning: throwing CCDDBException for error %u: %s", pException->m_error & 0xFFFF,
                reason);
  } else {
    line.Format(L"Warning: throwing CCDDBException for error %s", pException->GetMessageText());
  }
  // The system texts end in a line break; the log line stops at the first one.
  const int end = line.FindOneOf(L"\r\n");
  if (end >= 0) line = line.Left(end);
  DiscInfoLog(line, kLogWarning);
  DiscInfoClearQueryResults();
  throw pException;
}

}  // namespace

BOOL CCDDBException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext != nullptr) *pnHelpContext = 0;
  if (lpszError == nullptr || nMaxError == 0) return FALSE;
  lpszError[0] = L'\0';

  const UINT nCode = m_error & 0xFFFF;
  CString text;
  if (((m_error >> 16) & 0x1FFF) == static_cast<DWORD>(kCddbFacilityItf)) {
    if (!text.LoadString(nCode)) return FALSE;
    text.Replace(L"%1", m_message);
  } else {
    LPWSTR pSystem = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, nCode, 0x0800, reinterpret_cast<LPWSTR>(&pSystem), 0, nullptr);
    if (n == 0 || pSystem == nullptr) {
      if (pSystem != nullptr) LocalFree(pSystem);
      return FALSE;
    }
    text = pSystem;
    LocalFree(pSystem);
  }
  lstrcpynW(lpszError, text, static_cast<int>(nMaxError));
  return TRUE;
}

CString CCDDBException::GetMessageText() {
  wchar_t buffer[4096];
  buffer[0] = L'\0';
  GetErrorMessage(buffer, 4096);
  return CString(buffer);
}

void RaiseCddbError(DWORD dwCode, int nFacility, const CString& strMessage, LPCWSTR reason) {
  if (dwCode == 0) dwCode = GetLastError();
  const DWORD dwError = dwCode | ((static_cast<DWORD>(nFacility) | 0x8000) << 16);
  LogAndThrow(new CCDDBException(dwError, strMessage), reason);
}

void RaiseCddbErrorPlain(DWORD dwCode, const CString& strMessage, LPCWSTR reason) {
  LogAndThrow(new CCDDBException(dwCode, strMessage), reason);
}
