// Profile values round-trip through the registry of the prefix, at the key the
// application names.
#include <gtest/gtest.h>

#include "tests/window/TestApp.h"

namespace {

const wchar_t kKey[] = L"Software\\Corvane Tests\\CorvaneWindowTests\\Position";

struct ProfileFixture : ::testing::Test {
  void SetUp() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane Tests");
    g_testApp.SetRegistryKey(L"Corvane Tests");
  }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane Tests"); }
};

TEST_F(ProfileFixture, ValuesRoundTripAndLandUnderTheApplicationKey) {
  EXPECT_EQ(g_testApp.GetProfileInt(L"Position", L"missing", -5), static_cast<UINT>(-5));
  EXPECT_EQ(g_testApp.GetProfileString(L"Position", L"missing", L"dflt"), L"dflt");
  BYTE* data = nullptr;
  UINT size = 99;
  EXPECT_FALSE(g_testApp.GetProfileBinary(L"Position", L"missing", &data, &size));
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0u);

  ASSERT_TRUE(g_testApp.WriteProfileInt(L"Position", L"", 3));  // the unnamed value
  ASSERT_TRUE(g_testApp.WriteProfileString(L"Position", L"Name", L"Ünïcode text"));
  BYTE bytes[44];
  for (int i = 0; i < 44; ++i) bytes[i] = static_cast<BYTE>(i * 7);
  ASSERT_TRUE(g_testApp.WriteProfileBinary(L"Position", L"{GUID}", bytes, sizeof(bytes)));

  EXPECT_EQ(g_testApp.GetProfileInt(L"Position", L"", 0), 3u);
  EXPECT_EQ(g_testApp.GetProfileString(L"Position", L"Name"), L"Ünïcode text");
  ASSERT_TRUE(g_testApp.GetProfileBinary(L"Position", L"{GUID}", &data, &size));
  ASSERT_EQ(size, 44u);
  EXPECT_EQ(memcmp(data, bytes, 44), 0);
  delete[] data;

  // Read back with the raw API: the layout other programs see.
  DWORD value = 0;
  DWORD cb = sizeof(value);
  ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, kKey, L"", RRF_RT_REG_DWORD, nullptr, &value, &cb),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 3u);
  BYTE raw[64];
  cb = sizeof(raw);
  ASSERT_EQ(
      ::RegGetValueW(HKEY_CURRENT_USER, kKey, L"{GUID}", RRF_RT_REG_BINARY, nullptr, raw, &cb),
      ERROR_SUCCESS);
  EXPECT_EQ(cb, 44u);

  // A value of another type reads as absent.
  EXPECT_EQ(g_testApp.GetProfileInt(L"Position", L"Name", 11), 11u);
  ASSERT_TRUE(g_testApp.WriteProfileString(L"Position", L"Name", nullptr));
  EXPECT_EQ(g_testApp.GetProfileString(L"Position", L"Name", L"gone"), L"gone");
}

// Without a registry key the profile is an .ini file at a path: created Unicode before its
// first value, it keeps any script (the system's own creation would keep only the ANSI
// code page). An existing file keeps its own encoding.
TEST(IniProfile, FileAtAPathIsCreatedUnicodeAndKeepsAnyScript) {
  wchar_t folder[MAX_PATH];
  ::GetTempPathW(MAX_PATH, folder);
  wchar_t path[MAX_PATH];
  ::GetTempFileNameW(folder, L"pro", 0, path);
  ::DeleteFileW(path);
  const LPCTSTR savedKey = g_testApp.m_pszRegistryKey;
  const LPCTSTR savedName = g_testApp.m_pszProfileName;
  g_testApp.m_pszRegistryKey = nullptr;
  g_testApp.m_pszProfileName = path;

  const wchar_t* text = L"C:\\\u041c\u0443\u0437\u044b\u043a\u0430 \u6771\u4eac\\";
  EXPECT_TRUE(g_testApp.WriteProfileString(L"Position", L"Folder", text));
  EXPECT_TRUE(g_testApp.WriteProfileInt(L"Position", L"Count", -7));
  EXPECT_EQ(g_testApp.GetProfileString(L"Position", L"Folder"), text);
  EXPECT_EQ(static_cast<int>(g_testApp.GetProfileInt(L"Position", L"Count", 0)), -7);
  BYTE head[2] = {};
  DWORD read = 0;
  HANDLE file =
      ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ::ReadFile(file, head, 2, &read, nullptr);
  ::CloseHandle(file);
  EXPECT_EQ(read, 2u);
  EXPECT_EQ(head[0], 0xFF);
  EXPECT_EQ(head[1], 0xFE);

  // An existing ANSI file (here an empty one, as the temporary name leaves it) is written
  // as before: no mark put in front. Another file, since the system's profile cache may
  // still know the first one by its name.
  ::DeleteFileW(path);
  wchar_t ansiPath[MAX_PATH];
  ::GetTempFileNameW(folder, L"pro", 0, ansiPath);
  g_testApp.m_pszProfileName = ansiPath;
  EXPECT_TRUE(g_testApp.WriteProfileString(L"Position", L"Name", L"plain"));
  file = ::CreateFileW(ansiPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char ansi[64] = {};
  ::ReadFile(file, ansi, sizeof(ansi) - 1, &read, nullptr);
  ::CloseHandle(file);
  EXPECT_STREQ(ansi, "[Position]\r\nName=plain\r\n");

  ::DeleteFileW(ansiPath);
  g_testApp.m_pszRegistryKey = savedKey;
  g_testApp.m_pszProfileName = savedName;
}

}  // namespace
