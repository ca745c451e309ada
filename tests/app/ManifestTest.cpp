#include <windows.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

namespace {

std::string ManifestOfThisProgram() {
  HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_MANIFEST);
  if (!res) return {};
  const HGLOBAL data = LoadResource(nullptr, res);
  return std::string(static_cast<const char*>(LockResource(data)), SizeofResource(nullptr, res));
}

}  // namespace

// A manifest for another processor leaves the program without its activation context:
// it starts all the same, with the old common controls.
TEST(Manifest, NamesTheProgramsProcessorAndBringsCommonControls6) {
#ifdef _WIN64
  const std::string arch = "processorArchitecture=\"amd64\"";
#else
  const std::string arch = "processorArchitecture=\"x86\"";
#endif
  const std::string manifest = ManifestOfThisProgram();
  ASSERT_FALSE(manifest.empty());
  int named = 0;
  for (size_t at = manifest.find("processorArchitecture="); at != std::string::npos;
       at = manifest.find("processorArchitecture=", at + 1)) {
    EXPECT_EQ(manifest.compare(at, arch.size(), arch), 0) << manifest.substr(at, 40);
    ++named;
  }
  EXPECT_EQ(named, 2) << "the program and the common controls it asks for";

  // The common controls 6 are the side-by-side assembly's comctl32.dll.
  HMODULE comctl = LoadLibraryW(L"comctl32.dll");
  ASSERT_NE(comctl, nullptr);
  wchar_t path[MAX_PATH] = {};
  ASSERT_NE(GetModuleFileNameW(comctl, path, MAX_PATH), 0u);
  std::wstring lower(path);
  for (wchar_t& ch : lower) ch = towlower(ch);
  EXPECT_NE(lower.find(L"\\winsxs\\"), std::wstring::npos) << path;
  EXPECT_NE(lower.find(L"common-controls_6595b64144ccf1df_6."), std::wstring::npos) << path;
}
