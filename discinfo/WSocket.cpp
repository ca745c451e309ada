#include "discinfo/WSocket.h"

IMPLEMENT_DYNAMIC(CWSocketException, CException)

namespace {

// How long one select of a wait lasts at most: how soon a cancel is seen.
constexpr DWORD kWaitSliceMs = 50;

}  // namespace

// Written by the thread that cancels, read by the one that waits; nothing else hangs on
// it, so relaxed order is enough.
std::atomic<bool> CWSocket::s_cancelled{false};

void CWSocket::SetCancelled(bool cancelled) {
  s_cancelled.store(cancelled, std::memory_order_relaxed);
}

bool CWSocket::IsCancelled() { return s_cancelled.load(std::memory_order_relaxed); }

void CWSocket::ThrowIfCancelled() {
  if (IsCancelled()) ThrowWSocketException(WSAEINTR);
}

BOOL CWSocketException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext != nullptr) *pnHelpContext = 0;
  if (lpszError == nullptr || nMaxError == 0) return FALSE;
  lpszError[0] = L'\0';

  LPWSTR pSystem = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, static_cast<DWORD>(m_socketError), 0x0800, reinterpret_cast<LPWSTR>(&pSystem), 0,
      nullptr);
  if (n == 0 || pSystem == nullptr) {
    if (pSystem != nullptr) LocalFree(pSystem);
    return FALSE;
  }
  lstrcpynW(lpszError, pSystem, static_cast<int>(nMaxError));
  LocalFree(pSystem);
  return TRUE;
}

void ThrowWSocketException(int nError) {
  if (nError == 0) nError = WSAGetLastError();
  throw new CWSocketException(nError);
}

CWSocket::~CWSocket() { Close(); }

void CWSocket::Close() {
  if (m_socket == INVALID_SOCKET) return;
  closesocket(m_socket);
  m_socket = INVALID_SOCKET;
}

void CWSocket::Create(BOOL bUdp) { Create(bUdp ? SOCK_DGRAM : SOCK_STREAM, 0, AF_INET); }

void CWSocket::Create(int nType, int nProtocol, int nFamily) {
  ThrowIfCancelled();
  m_socket = socket(nFamily, nType, nProtocol);
  if (m_socket == INVALID_SOCKET) ThrowWSocketException();
}

void CWSocket::Connect(LPCTSTR lpszHost, int nPort, DWORD dwTimeoutMs) {
  const CStringA host(lpszHost);

  sockaddr_in address;
  ZeroMemory(&address, sizeof(address));
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(nPort));
  address.sin_addr.s_addr = inet_addr(host);
  if (address.sin_addr.s_addr == INADDR_NONE) {
    const hostent* pHost = gethostbyname(host);
    if (pHost == nullptr || pHost->h_addr_list == nullptr || pHost->h_addr_list[0] == nullptr) {
      ThrowWSocketException();
    }
    CopyMemory(&address.sin_addr, pHost->h_addr_list[0], sizeof(address.sin_addr));
  }
  const sockaddr* target = reinterpret_cast<const sockaddr*>(&address);
  if (dwTimeoutMs == INFINITE) {
    if (connect(m_socket, target, sizeof(address)) == SOCKET_ERROR) ThrowWSocketException();
    return;
  }
  // A host that drops connection attempts would hold a blocking connect for minutes
  // (the system's own retries): connect without blocking and wait for the outcome.
  u_long nonBlocking = 1;
  if (ioctlsocket(m_socket, FIONBIO, &nonBlocking) == SOCKET_ERROR) ThrowWSocketException();
  if (connect(m_socket, target, sizeof(address)) == SOCKET_ERROR) {
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS) ThrowWSocketException(error);
    // In short selects, as IsReadable waits, so a cancel ends the connect too.
    const DWORD start = GetTickCount();
    fd_set writeSet;
    fd_set errorSet;
    for (;;) {
      ThrowIfCancelled();
      const DWORD waited = GetTickCount() - start;
      const DWORD left = waited < dwTimeoutMs ? dwTimeoutMs - waited : 0;
      timeval tv = MillisecondsToTimeval(left < kWaitSliceMs ? left : kWaitSliceMs);
      FD_ZERO(&writeSet);
      FD_ZERO(&errorSet);
      FD_SET(m_socket, &writeSet);
      FD_SET(m_socket, &errorSet);
      const int n = select(0, nullptr, &writeSet, &errorSet, &tv);
      if (n == SOCKET_ERROR) ThrowWSocketException();
      if (n != 0) break;
      if (left <= kWaitSliceMs) ThrowWSocketException(WSAETIMEDOUT);
    }
    int failure = 0;
    int length = sizeof(failure);
    if (getsockopt(m_socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &length) ==
        SOCKET_ERROR)
      ThrowWSocketException();
    if (FD_ISSET(m_socket, &errorSet) && failure == 0) failure = WSAECONNREFUSED;
    if (failure != 0) ThrowWSocketException(failure);
  }
  u_long blocking = 0;
  if (ioctlsocket(m_socket, FIONBIO, &blocking) == SOCKET_ERROR) ThrowWSocketException();
}

int CWSocket::Send(const char* pData, int nLength, int nFlags) {
  ThrowIfCancelled();
  const int n = send(m_socket, pData, nLength, nFlags);
  if (n == SOCKET_ERROR) ThrowWSocketException();
  return n;
}

int CWSocket::Receive(char* pBuffer, int nSize, int nFlags) {
  ThrowIfCancelled();
  const int n = recv(m_socket, pBuffer, nSize, nFlags);
  if (n == SOCKET_ERROR) ThrowWSocketException();
  return n;
}

timeval MillisecondsToTimeval(DWORD dwMilliseconds) {
  timeval tv;
  tv.tv_sec = static_cast<long>(dwMilliseconds / 1000);
  tv.tv_usec = static_cast<long>((dwMilliseconds % 1000) * 1000);
  return tv;
}

// The wait is cut into short selects, so a cancel from another thread ends it within
// one of them.
BOOL CWSocket::IsReadable(DWORD dwMilliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    ThrowIfCancelled();
    const DWORD waited = GetTickCount() - start;  // right across the counter's wrap
    const DWORD left = waited < dwMilliseconds ? dwMilliseconds - waited : 0;
    timeval tv = MillisecondsToTimeval(left < kWaitSliceMs ? left : kWaitSliceMs);
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(m_socket, &readSet);
    const int n = select(0, &readSet, nullptr, nullptr, &tv);
    if (n == SOCKET_ERROR) ThrowWSocketException();
    if (n != 0) return TRUE;
    if (left <= kWaitSliceMs) return FALSE;
  }
}
