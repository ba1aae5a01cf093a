// What an administrator sees of the built program in Explorer and what
// Windows reads before it starts it: the version resource and the manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

// Under Wine a host path "/x/y" is "Z:\x\y".
std::wstring ProgramPath() {
  std::string path = QUORVANE_TOOL;
  if (!path.empty() && path[0] == '/') {
    for (char& c : path) c = c == '/' ? '\\' : c;
    path = "Z:" + path;
  }
  return std::wstring(path.begin(), path.end());
}

std::string VersionString(const std::vector<BYTE>& info, const std::string& name) {
  char* value = nullptr;
  UINT length = 0;
  std::string key = "\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) ||
      length == 0) {
    return "(absent)";
  }
  return std::string(value);
}

TEST(ReleaseTest, ProgramCarriesItsVersionResource) {
  const std::wstring program = ProgramPath();
  DWORD size = GetFileVersionInfoSizeW(program.c_str(), nullptr);
  ASSERT_GT(size, 0u) << "no version resource";
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, info.data()));

  const struct {
    const char* name;
    std::string expected;
  } strings[] = {
      {"ProductName", "Quorvane"},
      {"CompanyName", "Varnel"},
      {"LegalCopyright", "Copyright (C) 2026 Varnel. All rights reserved."},
      {"FileVersion", QUORVANE_VERSION},
      {"ProductVersion", QUORVANE_VERSION},
      {"OriginalFilename", "Quorvane.exe"},
  };
  for (const auto& s : strings) EXPECT_EQ(VersionString(info, s.name), s.expected) << s.name;

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS,
            static_cast<DWORD>(QUORVANE_VERSION_MAJOR << 16 | QUORVANE_VERSION_MINOR));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(QUORVANE_VERSION_PATCH << 16));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(ReleaseTest, ProgramCarriesItsManifest) {
  HMODULE image = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(image, nullptr);
  HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr) << "no manifest for process creation";
  const char* text = static_cast<const char*>(LockResource(LoadResource(image, found)));
  std::string manifest(text, SizeofResource(image, found));
  FreeLibrary(image);

  const char* required[] = {
      "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
      "processorArchitecture=\"amd64\"",
      "version=\"" QUORVANE_VERSION ".0\"",
      // Windows 7, 8, 8.1, and 10 or later.
      "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",
      "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",
      "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",
      "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",
  };
  for (const char* text : required) {
    EXPECT_NE(manifest.find(text), std::string::npos) << text;
  }
}

}  // namespace
