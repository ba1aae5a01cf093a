#include "ImportPatch.h"

#if defined(_WIN32)

#include <windows.h>

#include <cstring>

namespace {

// Writes one entry of the import address table, which the loader may have
// left read-only; false when it cannot be written.
bool Store(void (**slot)(void), void (*value)(void)) {
  DWORD previous = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous)) return false;
  *slot = value;
  VirtualProtect(slot, sizeof *slot, previous, &previous);
  return true;
}

}  // namespace

ImportPatch::ImportPatch(const char* dll, const char* function, void (*replacement)(void)) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return;
  // A DLL may have more than one descriptor; each names its functions in its
  // lookup table and holds their addresses at the same index of its address
  // table.
  for (auto* descriptor =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       descriptor->Name != 0; ++descriptor) {
    if (_stricmp(reinterpret_cast<const char*>(base + descriptor->Name), dll) != 0) continue;
    DWORD lookup =
        descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk : descriptor->FirstThunk;
    auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + lookup);
    auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      auto** slot = reinterpret_cast<void (**)(void)>(&addresses->u1.Function);
      void (*held)(void) = *slot;
      if (!Store(slot, replacement)) continue;
      slots_.emplace_back(slot, held);
      original_ = held;
    }
  }
}

ImportPatch::~ImportPatch() {
  for (auto& [slot, held] : slots_) Store(slot, held);
}

#endif
