#include "bench/import_redirect.h"

#include <windows.h>

#include <cstring>

namespace bench {
namespace {

void patch(IMAGE_THUNK_DATA* slot, const import_redirect& r) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &old);
  *r.original = reinterpret_cast<void*>(slot->u1.Function);
  slot->u1.Function = reinterpret_cast<DWORD_PTR>(r.stand_in);
  VirtualProtect(slot, sizeof(*slot), old, &old);
}

}  // namespace

void redirect_imports(const import_redirect* redirects, unsigned count) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
  for (; module->Name != 0; ++module) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      for (unsigned i = 0; i < count; ++i) {
        if (std::strcmp(reinterpret_cast<const char*>(by_name->Name), redirects[i].name) == 0) {
          patch(slots, redirects[i]);
        }
      }
    }
  }
}

}  // namespace bench
