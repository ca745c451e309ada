// A blocking Windows Sockets 1.1 TCP/UDP socket. Winsock itself is started by the
// application; this class never starts or stops it.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>

#include "framework/core/Exceptions.h"

// Carries only the Winsock code; the text comes from the system.
class CWSocketException : public CException {
  DECLARE_DYNAMIC(CWSocketException)
 public:
  explicit CWSocketException(int nError = 0) : m_socketError(nError) {}
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;

  int m_socketError;
};

// Code 0 takes WSAGetLastError().
[[noreturn]] void ThrowWSocketException(int nError = 0);

// Every failing call throws CWSocketException; the destructor closes the socket,
// so a throw in the middle of a request still releases it.
class CWSocket {
 public:
  CWSocket() = default;
  CWSocket(const CWSocket&) = delete;
  CWSocket& operator=(const CWSocket&) = delete;
  virtual ~CWSocket();

  void Create(BOOL bUdp = FALSE);
  void Create(int nType, int nProtocol, int nFamily);
  // A dotted address is used as it is; anything else (255.255.255.255 included,
  // which inet_addr cannot tell from a failure) is looked up as a name. A connect
  // not done within dwTimeoutMs throws WSAETIMEDOUT (INFINITE: as long as the
  // system lets it take); the socket is blocking again afterwards.
  void Connect(LPCTSTR lpszHost, int nPort, DWORD dwTimeoutMs = INFINITE);
  // One send call; a partial send is the caller's business.
  int Send(const char* pData, int nLength, int nFlags = 0);
  // One recv call; 0 when the peer has closed (not an error here).
  int Receive(char* pBuffer, int nSize, int nFlags = 0);
  // TRUE when data or the peer's close is waiting; FALSE when the time ran out.
  BOOL IsReadable(DWORD dwMilliseconds);
  void Close();

  // Any thread. While set, every socket's Create, Send, Receive and wait fails at once
  // with WSAEINTR (a wait within a moment of the call), so a request that waits for a
  // silent server ends now instead of at its deadline.
  static void SetCancelled(bool cancelled);
  static bool IsCancelled();

  SOCKET m_socket = INVALID_SOCKET;

 private:
  static void ThrowIfCancelled();
  static std::atomic<bool> s_cancelled;
};

// The select time value of a wait: whole seconds and the rest in microseconds.
timeval MillisecondsToTimeval(DWORD dwMilliseconds);
