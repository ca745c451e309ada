#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

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

  HMODULE comctl = LoadLibraryW(L"comctl32.dll");
  ASSERT_NE(comctl, nullptr);
  const auto getVersion =
      reinterpret_cast<DLLGETVERSIONPROC>(GetProcAddress(comctl, "DllGetVersion"));
  ASSERT_NE(getVersion, nullptr);
  DLLVERSIONINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_EQ(getVersion(&info), S_OK);
  EXPECT_EQ(info.dwMajorVersion, 6u);
}
