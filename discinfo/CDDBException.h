// The CDDB client's error: a code (plain, or an HRESULT with a facility) and a message.
#pragma once

#include "framework/core/Exceptions.h"

class CCDDBException : public CException {
  DECLARE_DYNAMIC(CCDDBException)
 public:
  CCDDBException(DWORD dwError, const CString& strMessage)
      : m_error(dwError), m_message(strMessage) {}

  // Facility 4: the application's string resource numbered by the low 16 bits, with
  // "%1" replaced by m_message (the program defines none, so the text is empty).
  // Otherwise the system's text for the low 16 bits.
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;
  // GetErrorMessage through a 4096-character buffer.
  CString GetMessageText();

  DWORD m_error;
  CString m_message;
};

// Facilities of the codes in use.
constexpr int kCddbFacilityItf = 4;    // 524: the server closed the connection early
constexpr int kCddbFacilityWin32 = 7;  // Winsock codes and 14 (out of memory)

// Both log "Warning: throwing CCDDBException for error %s" (cut at its first line
// break), empty the lookup's match list, then throw. The text is the exception's
// own; with a reason (the client's own failures, which have no system text) it is
// the low 16 bits of the code, ": " and the reason instead. RaiseCddbError makes an
// HRESULT of the code and facility (code 0: GetLastError()); the plain form keeps
// the code.
[[noreturn]] void RaiseCddbError(DWORD dwCode, int nFacility, const CString& strMessage,
                                 LPCWSTR reason = nullptr);
[[noreturn]] void RaiseCddbErrorPlain(DWORD dwCode, const CString& strMessage,
                                      LPCWSTR reason = nullptr);
