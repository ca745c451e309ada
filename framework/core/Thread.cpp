#include "framework/core/Thread.h"

#include <process.h>

#include <exception>
#include <new>

#include "framework/core/Exceptions.h"

IMPLEMENT_DYNAMIC(CWinThread, CObject)

namespace {

thread_local CWinThread* t_pCurrentThread = nullptr;

// Installed once at start-up by the window layer, read by every new thread.
std::atomic<AFX_THREAD_HOOK> g_pfnThreadStart{nullptr};
std::atomic<AFX_THREAD_HOOK> g_pfnThreadExit{nullptr};

void RunHook(const std::atomic<AFX_THREAD_HOOK>& hook) noexcept {
  if (AFX_THREAD_HOOK pfn = hook.load(std::memory_order_acquire)) {
    try {
      pfn();
    } catch (CException* e) {
      e->Delete();
    } catch (...) {
    }
  }
}

}  // namespace

CWinThread::CWinThread() : CWinThread(nullptr, nullptr) {}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_hThread(nullptr),
      m_nThreadID(0),
      m_bAutoDelete(TRUE),
      m_pfnThreadProc(pfnThreadProc),
      m_pThreadParams(pParam) {}

CWinThread::~CWinThread() {
  if (m_hThread) ::CloseHandle(m_hThread);
}

// The thread always starts suspended, so m_hThread and m_nThreadID are set before it
// can run (ResumeThread orders the writes before the thread's first read).
BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize,
                              LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
  if (m_hThread) AfxThrowInvalidArgException();
  unsigned id = 0;
  uintptr_t h = _beginthreadex(lpSecurityAttrs, nStackSize, &CWinThread::ThreadEntry, this,
                               CREATE_SUSPENDED, &id);
  if (h == 0) return FALSE;
  m_hThread = reinterpret_cast<HANDLE>(h);
  m_nThreadID = id;
  if (!(dwCreateFlags & CREATE_SUSPENDED)) ::ResumeThread(m_hThread);
  return TRUE;
}

void CWinThread::Delete() {
  if (m_bAutoDelete) delete this;
}

// The boundary between the C runtime's thread start and our code: nothing may leave.
unsigned __stdcall CWinThread::ThreadEntry(void* pThis) noexcept {
  CWinThread* pThread = static_cast<CWinThread*>(pThis);
  t_pCurrentThread = pThread;
  RunHook(g_pfnThreadStart);
  UINT exitCode = 0;
  try {
    if (pThread->m_pfnThreadProc) exitCode = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
  } catch (CException* e) {
    e->Delete();
    exitCode = static_cast<UINT>(-1);
  } catch (...) {
    exitCode = static_cast<UINT>(-1);
  }
  RunHook(g_pfnThreadExit);
  t_pCurrentThread = nullptr;
  try {
    pThread->Delete();
  } catch (...) {
  }
  return exitCode;
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                           UINT nStackSize, DWORD dwCreateFlags,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
  if (!pfnThreadProc) AfxThrowInvalidArgException();
  CWinThread* pThread = new CWinThread(pfnThreadProc, pParam);
  if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
    delete pThread;
    return nullptr;
  }
  pThread->SetThreadPriority(nPriority);
  // With auto-delete the object may be gone as soon as the thread runs: the pointer is
  // returned as it is, and the caller owns what it does with it.
  if (!(dwCreateFlags & CREATE_SUSPENDED)) pThread->ResumeThread();
  return pThread;
}

CWinThread* AfxGetThread() { return t_pCurrentThread; }

void AfxSetThreadHooks(AFX_THREAD_HOOK pfnStart, AFX_THREAD_HOOK pfnExit) {
  g_pfnThreadStart.store(pfnStart, std::memory_order_release);
  g_pfnThreadExit.store(pfnExit, std::memory_order_release);
}

BOOL CCriticalSection::Lock(DWORD /*dwTimeout*/) {
  ::EnterCriticalSection(&m_sect);
  return TRUE;
}

BOOL CCriticalSection::Unlock() {
  ::LeaveCriticalSection(&m_sect);
  return TRUE;
}

CSingleLock::CSingleLock(CSyncObject* pObject, BOOL bInitialLock) : m_pObject(pObject) {
  if (!pObject) AfxThrowInvalidArgException();
  if (bInitialLock) Lock();
}

BOOL CSingleLock::Lock(DWORD dwTimeout) {
  if (!m_bAcquired) m_bAcquired = m_pObject->Lock(dwTimeout);
  return m_bAcquired;
}

BOOL CSingleLock::Unlock() {
  if (m_bAcquired) m_bAcquired = !m_pObject->Unlock();
  return !m_bAcquired;
}
