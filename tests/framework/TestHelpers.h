// Shared bits of the framework tests: exception checks and a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "framework/core/Core.h"

// Runs f and reports whether it threw a framework exception of class E (deleted here).
template <typename E>
::testing::AssertionResult ThrowsFramework(const std::function<void()>& f) {
  try {
    f();
  } catch (CException* e) {
    bool ok = dynamic_cast<E*>(e) != nullptr;
    CString name(e->GetRuntimeClass()->m_lpszClassName);
    e->Delete();
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "threw " << CStringA(name).GetString();
  }
  return ::testing::AssertionFailure() << "threw nothing";
}

// The archive exception's cause, or -1 when f threw none.
inline int ArchiveCause(const std::function<void()>& f) {
  try {
    f();
  } catch (CArchiveException* e) {
    int cause = e->m_cause;
    e->Delete();
    return cause;
  }
  return -1;
}

// A fresh folder under %TEMP%, removed with its files at the end.
class ScratchDir {
 public:
  ScratchDir() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static LONG s_serial = 0;
    m_path.Format(L"%scorvane-core-%lu-%lu-%ld", temp, GetCurrentProcessId(), GetTickCount(),
                  InterlockedIncrement(&s_serial));
    CreateDirectoryW(m_path, nullptr);
  }
  ~ScratchDir() {
    for (const CString& f : m_files) DeleteFileW(f);
    RemoveDirectoryW(m_path);
  }
  CString File(LPCWSTR name) {
    CString path = m_path + L"\\" + name;
    m_files.push_back(path);
    return path;
  }

 private:
  CString m_path;
  std::vector<CString> m_files;
};

inline std::vector<BYTE> ReadAllBytes(LPCWSTR path) {
  std::vector<BYTE> bytes;
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  BYTE buf[4096];
  DWORD n;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0)
    bytes.insert(bytes.end(), buf, buf + n);
  CloseHandle(h);
  return bytes;
}

inline void WriteAllBytes(LPCWSTR path, const std::vector<BYTE>& bytes) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(h);
}
