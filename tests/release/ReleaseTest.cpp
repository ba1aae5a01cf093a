// What an administrator sees of the built program in Explorer and what
// Windows reads before it starts it: the version resource, the manifest and
// the PE header.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <imagehlp.h>

#include <cstring>
#include <string>
#include <vector>

#include "e2e/ToolRunner.h"

namespace {

std::wstring ProgramPath() { return ProgramUnderTest().wstring(); }

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

// Windows loads the program at an address of its choosing, from the whole
// 64-bit range, and never runs its data. As the mingw-w64 build links it,
// the header also names no link time, so that two builds of one commit are
// the same bytes, and carries the checksum Windows computes (a signature
// removed gives back this very file); MSVC's link is not set up for either.
TEST(ReleaseTest, ProgramHeaderAsksForRandomAddressesAndNoExecutableData) {
  const std::string image = ReadFile(ProgramUnderTest());
  IMAGE_DOS_HEADER dos{};
  IMAGE_NT_HEADERS64 nt{};
  ASSERT_GE(image.size(), sizeof dos);
  std::memcpy(&dos, image.data(), sizeof dos);
  ASSERT_GE(dos.e_lfanew, 0);
  ASSERT_GE(image.size(), static_cast<size_t>(dos.e_lfanew) + sizeof nt);
  std::memcpy(&nt, image.data() + dos.e_lfanew, sizeof nt);
  ASSERT_EQ(nt.Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
  ASSERT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);

  const struct {
    WORD flag;
    const char* name;
  } flags[] = {
      {IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, "DYNAMIC_BASE"},
      {IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA"},
      {IMAGE_DLLCHARACTERISTICS_NX_COMPAT, "NX_COMPAT"},
  };
  for (const auto& f : flags) EXPECT_NE(nt.OptionalHeader.DllCharacteristics & f.flag, 0) << f.name;
  // Without its relocations the image could only load at its preferred base.
  EXPECT_EQ(nt.FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED, 0);
  EXPECT_NE(nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u);
#if defined(__MINGW32__)
  EXPECT_EQ(nt.FileHeader.TimeDateStamp, 0u);

  std::wstring path = ProgramPath();
  DWORD inHeader = 0, computed = 0;
  ASSERT_EQ(MapFileAndCheckSumW(path.data(), &inHeader, &computed),
            static_cast<DWORD>(CHECKSUM_SUCCESS));
  EXPECT_NE(computed, 0u);
  EXPECT_EQ(inHeader, computed);
#endif
}

}  // namespace
