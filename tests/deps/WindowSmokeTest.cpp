// A top-level window opens, paints and closes under the test display.
#include <windows.h>

#include <gtest/gtest.h>

TEST(WindowSmoke, OpensAndCloses) {
  HWND hwnd = CreateWindowExW(0, L"STATIC", L"smoke", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                              100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  RECT rc{};
  ASSERT_TRUE(GetClientRect(hwnd, &rc));
  EXPECT_GT(rc.right, 0);
  EXPECT_TRUE(DestroyWindow(hwnd));
  EXPECT_FALSE(IsWindow(hwnd));
}
