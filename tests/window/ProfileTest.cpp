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

}  // namespace
