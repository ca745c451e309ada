// Worker threads (CWinThread, AfxBeginThread), locks and atomic helpers.
#pragma once

#include <windows.h>

#include <atomic>

#include "framework/core/Object.h"

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID pParam);

// A thread started by AfxBeginThread. With m_bAutoDelete (the default) the object is
// deleted and its handle closed when the thread ends, so the starter must not use the
// pointer once the thread may have finished.
class CWinThread : public CObject {
  DECLARE_DYNAMIC(CWinThread)
 public:
  CWinThread();
  CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
  ~CWinThread() override;  // closes m_hThread

  CWinThread(const CWinThread&) = delete;
  CWinThread& operator=(const CWinThread&) = delete;

  // Starts the thread (always suspended first; resumed unless CREATE_SUSPENDED).
  BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0,
                    LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
  DWORD ResumeThread() { return ::ResumeThread(m_hThread); }
  DWORD SuspendThread() { return ::SuspendThread(m_hThread); }
  BOOL SetThreadPriority(int nPriority) { return ::SetThreadPriority(m_hThread, nPriority); }
  int GetThreadPriority() const { return ::GetThreadPriority(m_hThread); }
  operator HANDLE() const { return m_hThread; }

  // Called when the thread's procedure has returned; deletes when m_bAutoDelete.
  virtual void Delete();

  HANDLE m_hThread;
  DWORD m_nThreadID;
  BOOL m_bAutoDelete;
  AFX_THREADPROC m_pfnThreadProc;
  LPVOID m_pThreadParams;

 private:
  static unsigned __stdcall ThreadEntry(void* pThis) noexcept;
};

// Starts pfnThreadProc(pParam) on a new thread: created suspended, given nPriority,
// then resumed unless dwCreateFlags holds CREATE_SUSPENDED. Null on failure.
// An exception leaving pfnThreadProc is caught at the thread's boundary.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);

// The CWinThread of the calling thread; null on threads the framework did not start.
CWinThread* AfxGetThread();

// Per-thread framework state: the window layer registers one start and one exit hook,
// called on every AfxBeginThread thread around its procedure.
using AFX_THREAD_HOOK = void (*)();
void AfxSetThreadHooks(AFX_THREAD_HOOK pfnStart, AFX_THREAD_HOOK pfnExit);

class CSyncObject : public CObject {
 public:
  virtual BOOL Lock(DWORD dwTimeout = INFINITE) = 0;
  virtual BOOL Unlock() = 0;
};

class CCriticalSection : public CSyncObject {
 public:
  CCriticalSection() { ::InitializeCriticalSection(&m_sect); }
  ~CCriticalSection() override { ::DeleteCriticalSection(&m_sect); }
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  // A critical section has no time-out: Lock waits and returns TRUE.
  BOOL Lock(DWORD dwTimeout = INFINITE) override;
  BOOL Unlock() override;
  operator CRITICAL_SECTION*() { return &m_sect; }

  CRITICAL_SECTION m_sect;
};

// Holds a lock for a scope: unlocks in its destructor when still locked.
class CSingleLock {
 public:
  explicit CSingleLock(CSyncObject* pObject, BOOL bInitialLock = FALSE);
  ~CSingleLock() { Unlock(); }
  CSingleLock(const CSingleLock&) = delete;
  CSingleLock& operator=(const CSingleLock&) = delete;

  BOOL Lock(DWORD dwTimeout = INFINITE);
  BOOL Unlock();
  BOOL IsLocked() const { return m_bAcquired; }

 private:
  CSyncObject* m_pObject;
  BOOL m_bAcquired = FALSE;
};

// A flag polled by one thread and set by another. Set publishes what was written
// before it (release); Get sees it (acquire).
class AtomicFlag {
 public:
  explicit AtomicFlag(bool initial = false) : m_value(initial) {}
  void Set(bool value = true) { m_value.store(value, std::memory_order_release); }
  void Clear() { Set(false); }
  bool Get() const { return m_value.load(std::memory_order_acquire); }
  // Sets the flag and returns its previous value (acquire and release).
  bool Exchange(bool value) { return m_value.exchange(value, std::memory_order_acq_rel); }

 private:
  std::atomic<bool> m_value;
};

// An integer shared between threads: a ring index or a counter. Store publishes the
// data written before it (release), Load makes it visible (acquire).
class AtomicInt {
 public:
  explicit AtomicInt(LONG initial = 0) : m_value(initial) {}
  LONG Load() const { return m_value.load(std::memory_order_acquire); }
  void Store(LONG value) { m_value.store(value, std::memory_order_release); }
  LONG FetchAdd(LONG delta) { return m_value.fetch_add(delta, std::memory_order_acq_rel); }
  LONG Exchange(LONG value) { return m_value.exchange(value, std::memory_order_acq_rel); }
  bool CompareExchange(LONG& expected, LONG desired) {
    return m_value.compare_exchange_strong(expected, desired, std::memory_order_acq_rel,
                                           std::memory_order_acquire);
  }

 private:
  std::atomic<LONG> m_value;
};
