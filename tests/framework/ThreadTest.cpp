#include <gtest/gtest.h>

#include "framework/core/Core.h"
#include "tests/framework/TestHelpers.h"

namespace {

struct Probe {
  AtomicFlag ran;
  int priority = 0;
  CWinThread* self = nullptr;
  bool throwFramework = false;
};

UINT __cdecl ProbeProc(LPVOID p) {
  Probe* probe = static_cast<Probe*>(p);
  probe->priority = GetThreadPriority(GetCurrentThread());
  probe->self = AfxGetThread();
  probe->ran.Set();  // publishes the fields above
  if (probe->throwFramework) throw new CFileException(CFileException::genericException);
  return 7;
}

HANDLE Duplicate(HANDLE h) {
  HANDLE dup = nullptr;
  DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &dup, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  return dup;
}

TEST(AfxBeginThread, AutoDeleteFreesObjectAndHandle) {
  Probe probe;
  CWinThread* t =
      AfxBeginThread(ProbeProc, &probe, THREAD_PRIORITY_BELOW_NORMAL, 0, CREATE_SUSPENDED);
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->m_bAutoDelete);
  EXPECT_NE(t->m_nThreadID, 0u);
  HANDLE original = t->m_hThread;
  HANDLE dup = Duplicate(original);
  Sleep(20);
  EXPECT_FALSE(probe.ran.Get());  // still suspended
  t->ResumeThread();
  ASSERT_EQ(WaitForSingleObject(dup, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(probe.ran.Get());
  EXPECT_EQ(probe.priority, THREAD_PRIORITY_BELOW_NORMAL);
  EXPECT_EQ(probe.self, t);
  DWORD code = 0;
  GetExitCodeThread(dup, &code);
  EXPECT_EQ(code, 7u);
  // The object is gone and closed its handle before the thread ended.
  DWORD flags;
  EXPECT_FALSE(GetHandleInformation(original, &flags));
  CloseHandle(dup);
}

TEST(AfxBeginThread, KeptObjectAndContainedException) {
  Probe probe;
  probe.throwFramework = true;
  CWinThread* t = AfxBeginThread(ProbeProc, &probe, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  ASSERT_NE(t, nullptr);
  t->m_bAutoDelete = FALSE;
  t->ResumeThread();
  ASSERT_EQ(WaitForSingleObject(t->m_hThread, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(t->m_hThread, &code);
  EXPECT_EQ(code, static_cast<DWORD>(-1));  // caught at the thread's boundary
  delete t;
}

struct Counter {
  CCriticalSection lock;
  long value = 0;
};

UINT __cdecl CountProc(LPVOID p) {
  Counter* c = static_cast<Counter*>(p);
  for (int i = 0; i < 20000; ++i) {
    CSingleLock hold(&c->lock, TRUE);
    ++c->value;
  }
  return 0;
}

TEST(CCriticalSection, SingleLockSerialisesWriters) {
  Counter counter;
  HANDLE handles[4];
  for (HANDLE& h : handles) {
    CWinThread* t =
        AfxBeginThread(CountProc, &counter, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(t, nullptr);
    h = Duplicate(t->m_hThread);
    t->ResumeThread();
  }
  EXPECT_EQ(WaitForMultipleObjects(4, handles, TRUE, 30000), WAIT_OBJECT_0);
  for (HANDLE h : handles) CloseHandle(h);
  EXPECT_EQ(counter.value, 80000);

  CSingleLock lock(&counter.lock);
  EXPECT_FALSE(lock.IsLocked());
  EXPECT_TRUE(lock.Lock());
  EXPECT_TRUE(lock.IsLocked());
  EXPECT_TRUE(lock.Unlock());
  EXPECT_FALSE(lock.IsLocked());
}

}  // namespace
