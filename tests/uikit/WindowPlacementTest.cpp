// Window placement through the application's registry profile, checked in the
// Wine prefix's registry itself.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/win/WinApp.h"
#include "uikit/WindowPlacement.h"

namespace {

CWinApp g_app(L"PlacementTest");

constexpr wchar_t kCompany[] = L"Corvane Tests";
constexpr wchar_t kSectionPath[] = L"Software\\Corvane Tests\\PlacementTest\\Position";
constexpr wchar_t kSection[] = L"Position";
constexpr wchar_t kMain[] = L"{F2E2C5E4-3803-4791-813A-DED9CD2E2815}";
constexpr wchar_t kLog[] = L"{DC005E05-56BF-4ED7-BFED-F658CE8B1B16}";

const RECT kTemplate{100, 80, 420, 320};  // where "the template" puts the window

HWND MakeWindow() {
  static ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"PlacementTestWindow";
    return ::RegisterClassW(&wc);
  }();
  (void)atom;
  return ::CreateWindowExW(0, L"PlacementTestWindow", L"placement", WS_OVERLAPPEDWINDOW,
                           kTemplate.left, kTemplate.top, kTemplate.right - kTemplate.left,
                           kTemplate.bottom - kTemplate.top, nullptr, nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
}

std::vector<BYTE> ReadBinary(LPCWSTR name) {
  DWORD type = 0, size = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, kSectionPath, name, RRF_RT_ANY, &type, nullptr, &size) !=
      ERROR_SUCCESS)
    return {};
  std::vector<BYTE> data(size);
  ::RegGetValueW(HKEY_CURRENT_USER, kSectionPath, name, RRF_RT_ANY, &type, data.data(), &size);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  return data;
}

bool ReadDword(LPCWSTR name, DWORD& value) {
  DWORD size = sizeof(value);
  return ::RegGetValueW(HKEY_CURRENT_USER, kSectionPath, name, RRF_RT_REG_DWORD, nullptr, &value,
                        &size) == ERROR_SUCCESS;
}

void WriteValue(LPCWSTR name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kSectionPath, 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  ::RegCloseKey(key);
}

void WritePlacement(LPCWSTR name, UINT flags, UINT showCmd, RECT normal) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof(wp);
  wp.flags = flags;
  wp.showCmd = showCmd;
  wp.rcNormalPosition = normal;
  WriteValue(name, REG_BINARY, &wp, sizeof(wp));
}

void WriteForcedState(DWORD state) { WriteValue(L"", REG_DWORD, &state, sizeof(state)); }

RECT NormalRect(HWND hwnd) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof(wp);
  ::GetWindowPlacement(hwnd, &wp);
  return wp.rcNormalPosition;
}

void ExpectRect(const RECT& a, const RECT& b) {
  EXPECT_TRUE(::EqualRect(&a, &b))
      << "(" << a.left << "," << a.top << "," << a.right << "," << a.bottom << ") expected ("
      << b.left << "," << b.top << "," << b.right << "," << b.bottom << ")";
}

class PlacementTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { g_app.SetRegistryKey(kCompany); }
  void SetUp() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane Tests");
    window = MakeWindow();
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    for (HWND hwnd : {window, other})
      if (hwnd) ::DestroyWindow(hwnd);
  }
  HWND window = nullptr;
  HWND other = nullptr;
};

}  // namespace

// First run: nothing stored, the window stays where the template put it.
TEST_F(PlacementTest, FirstRunKeepsTheTemplatePosition) {
  WindowPlacementStore store;
  EXPECT_FALSE(store.Restore(window, kMain, kSection));
  ExpectRect(NormalRect(window), kTemplate);
  EXPECT_EQ(store.m_firstTime, 0);
  EXPECT_EQ(store.m_forcedState, 0);
}

// Save writes the 44-byte record and the shared "" value; another store on a
// new window restores the rectangle from it.
TEST_F(PlacementTest, SaveThenRestoreRoundTripsThroughTheRegistry) {
  ::SetWindowPos(window, nullptr, 150, 120, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
  WindowPlacementStore saver;
  ASSERT_TRUE(saver.Save(window, kMain, kSection));

  std::vector<BYTE> stored = ReadBinary(kMain);
  ASSERT_EQ(stored.size(), 44u);
  WINDOWPLACEMENT wp;
  std::memcpy(&wp, stored.data(), sizeof(wp));
  EXPECT_EQ(wp.length, 44u);
  ExpectRect(wp.rcNormalPosition, RECT{150, 120, 450, 320});
  DWORD forced = 99;
  ASSERT_TRUE(ReadDword(L"", forced));
  EXPECT_EQ(forced, 0u);

  other = MakeWindow();
  WindowPlacementStore restorer;
  EXPECT_TRUE(restorer.Restore(other, kMain, kSection));
  ExpectRect(NormalRect(other), RECT{150, 120, 450, 320});
}

// The stored show state against forcedState ("" value), as the window opens.
TEST_F(PlacementTest, ShowStateByForcedState) {
  const RECT normal{200, 150, 500, 350};
  struct Case {
    const char* name;
    DWORD forcedState;  // written to "" before the first restore
    UINT flags, showCmd;
    bool iconic, zoomed;
  };
  const Case cases[] = {
      {"closed minimised opens normal", 0, 0, SW_SHOWMINIMIZED, false, false},
      {"minimised that restores maximised", 0, WPF_RESTORETOMAXIMIZED, SW_SHOWMINIMIZED, false,
       true},
      {"forced 1 keeps minimised", 1, 0, SW_SHOWMINIMIZED, true, false},
      {"forced 2 normal", 2, 0, SW_SHOWMAXIMIZED, false, false},
      {"forced 3 maximises", 3, 0, SW_SHOWNORMAL, false, true},
      {"forced 4 minimises", 4, 0, SW_SHOWNORMAL, true, false},
      {"unknown forced value acts as 0", 7, 0, SW_SHOWMINIMIZED, false, false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane Tests");
    WriteForcedState(test.forcedState);
    WritePlacement(kMain, test.flags, test.showCmd, normal);
    HWND hwnd = MakeWindow();
    WindowPlacementStore store;
    EXPECT_TRUE(store.Restore(hwnd, kMain, kSection));
    EXPECT_EQ(store.m_forcedState, static_cast<int>(test.forcedState));
    EXPECT_EQ(::IsIconic(hwnd) != FALSE, test.iconic);
    EXPECT_EQ(::IsZoomed(hwnd) != FALSE, test.zoomed);
    ExpectRect(NormalRect(hwnd), normal);
    ::DestroyWindow(hwnd);
  }
}

// Two windows saving in turn leave the one shared "" value with the state
// their stores read, beside one record each.
TEST_F(PlacementTest, TwoWindowsShareTheForcedStateValue) {
  WriteForcedState(2);
  other = MakeWindow();
  WindowPlacementStore mainStore, logStore;
  mainStore.Restore(window, kMain, kSection);
  logStore.Restore(other, kLog, kSection);
  EXPECT_EQ(mainStore.m_forcedState, 2);
  EXPECT_EQ(logStore.m_forcedState, 2);
  EXPECT_TRUE(mainStore.Save(window, kMain, kSection));
  EXPECT_TRUE(logStore.Save(other, kLog, kSection));

  HKEY key;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kSectionPath, 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD values = 0;
  ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
  ::RegCloseKey(key);
  EXPECT_EQ(values, 3u);  // "", main, log
  DWORD forced = 0;
  ASSERT_TRUE(ReadDword(L"", forced));
  EXPECT_EQ(forced, 2u);
  EXPECT_EQ(ReadBinary(kMain).size(), 44u);
  EXPECT_EQ(ReadBinary(kLog).size(), 44u);
}

// A value shorter than the record counts as absent: nothing is read past it.
TEST_F(PlacementTest, ShortValueCountsAsAbsent) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof(wp);
  wp.showCmd = SW_SHOWMAXIMIZED;
  wp.rcNormalPosition = RECT{10, 10, 20, 20};
  WriteValue(kMain, REG_BINARY, &wp, 20);
  WindowPlacementStore store;
  EXPECT_FALSE(store.Restore(window, kMain, kSection));
  EXPECT_FALSE(::IsZoomed(window));
  ExpectRect(NormalRect(window), kTemplate);
}

// A normal rectangle on no monitor (a screen since removed) is centred on the
// primary screen instead of restored out of reach.
TEST_F(PlacementTest, OffScreenRectangleIsCentred) {
  WritePlacement(kMain, 0, SW_SHOWNORMAL, RECT{6000, 5000, 6300, 5200});
  WindowPlacementStore store;
  EXPECT_TRUE(store.Restore(window, kMain, kSection));
  const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
  ExpectRect(NormalRect(window),
             RECT{(sw - 300) / 2, (sh - 200) / 2, (300 + sw) / 2, (200 + sh) / 2});

  // Partly on screen is still reachable: kept as stored.
  other = MakeWindow();
  WritePlacement(kMain, 0, SW_SHOWNORMAL, RECT{-100, 50, 200, 250});
  WindowPlacementStore second;
  EXPECT_TRUE(second.Restore(other, kMain, kSection));
  ExpectRect(NormalRect(other), RECT{-100, 50, 200, 250});
}

// The default placement is the window's own, centred; Apply uses the current record.
TEST_F(PlacementTest, DefaultPlacementIsCentredAndApplyUsesCurrent) {
  WindowPlacementStore store;
  EXPECT_FALSE(store.Restore(window, kMain, kSection));
  const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
  const int w = kTemplate.right - kTemplate.left, h = kTemplate.bottom - kTemplate.top;
  ExpectRect(store.m_defaultPlacement.rcNormalPosition,
             RECT{(sw - w) / 2, (sh - h) / 2, (w + sw) / 2, (h + sh) / 2});
  ExpectRect(NormalRect(window), kTemplate);  // not applied by Restore
  EXPECT_TRUE(store.Apply(window, kSection));
  ExpectRect(NormalRect(window), store.m_defaultPlacement.rcNormalPosition);
}
