#include "bench/file_call_counter.h"

#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <cstring>
#include <vector>

// Declared by the driver kit only.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK,
                                               PVOID, ULONG, FILE_INFORMATION_CLASS, BOOLEAN,
                                               PUNICODE_STRING, BOOLEAN);
extern "C" NTSTATUS NTAPI NtQueryVolumeInformationFile(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG,
                                                       FS_INFORMATION_CLASS);
extern "C" NTSTATUS NTAPI NtSetInformationFile(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG,
                                               FILE_INFORMATION_CLASS);

namespace {

struct counted_function {
  const char* name;
  void* stand_in;
  void** original;
  std::uint64_t* calls;
};

std::vector<counted_function>& functions() {
  static std::vector<counted_function> all;
  return all;
}

// The stand-in of function number `Id`, of type `F`: counts, then calls the original.
template <int Id, typename F>
struct stand_in;
template <int Id, typename R, typename... A>
struct stand_in<Id, R(WINAPI*)(A...)> {
  static inline R(WINAPI* original)(A...) = nullptr;
  static inline std::uint64_t calls = 0;
  static R WINAPI call(A... a) {
    ++calls;
    return original(a...);
  }
};
template <int Id, typename R, typename... A>
struct stand_in<Id, R (*)(A...)> {
  static inline R (*original)(A...) = nullptr;
  static inline std::uint64_t calls = 0;
  static R call(A... a) {
    ++calls;
    return original(a...);
  }
};

template <int Id, typename F>
void add(const char* name, F) {
  using s = stand_in<Id, F>;
  functions().push_back(
      {name, reinterpret_cast<void*>(&s::call), reinterpret_cast<void**>(&s::original), &s::calls});
}

#define COUNT(id, function) add<id>(#function, &function)

void register_functions() {
  COUNT(0, NtOpenFile);
  COUNT(1, NtCreateFile);
  COUNT(2, NtQueryDirectoryFile);
  COUNT(3, NtQueryInformationFile);
  COUNT(4, NtQueryVolumeInformationFile);
  COUNT(5, NtSetInformationFile);
  COUNT(6, NtClose);
  COUNT(10, CreateFileW);
  COUNT(11, CloseHandle);
  COUNT(12, GetFileInformationByHandle);
  COUNT(13, GetFileInformationByHandleEx);
  COUNT(14, SetFileInformationByHandle);
  COUNT(15, GetFileAttributesW);
  COUNT(16, GetFileAttributesExW);
  COUNT(17, SetFileAttributesW);
  COUNT(18, DeleteFileW);
  COUNT(19, RemoveDirectoryW);
  COUNT(20, FindFirstFileW);
  COUNT(21, FindFirstFileExW);
  COUNT(22, FindNextFileW);
  COUNT(23, FindClose);
  COUNT(24, MoveFileExW);
  COUNT(25, DeviceIoControl);
  COUNT(26, GetVolumeInformationByHandleW);
  // The C runtime's, as the standard library's filesystem imports them (the arguments are only
  // passed on).
  add<30>("_wstat64", static_cast<int (*)(const wchar_t*, void*)>(nullptr));
  add<31>("_wfindfirst", static_cast<std::intptr_t (*)(const wchar_t*, void*)>(nullptr));
  add<32>("_wfindnext", static_cast<int (*)(std::intptr_t, void*)>(nullptr));
  add<33>("_findclose", static_cast<int (*)(std::intptr_t)>(nullptr));
  add<34>("_wchmod", static_cast<int (*)(const wchar_t*, int)>(nullptr));
}

void patch(IMAGE_THUNK_DATA* slot, const counted_function& f) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &old);
  *f.original = reinterpret_cast<void*>(slot->u1.Function);
  slot->u1.Function = reinterpret_cast<DWORD_PTR>(f.stand_in);
  VirtualProtect(slot, sizeof(*slot), old, &old);
}

}  // namespace

void install_file_call_counter() {
  register_functions();
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
      for (const counted_function& f : functions()) {
        if (std::strcmp(reinterpret_cast<const char*>(by_name->Name), f.name) == 0) patch(slots, f);
      }
    }
  }
}

std::map<std::string, std::uint64_t> file_calls() {
  std::map<std::string, std::uint64_t> calls;
  for (const counted_function& f : functions()) {
    if (*f.calls > 0) calls[f.name] = *f.calls;
  }
  return calls;
}

std::uint64_t file_calls_total() {
  std::uint64_t total = 0;
  for (const counted_function& f : functions()) total += *f.calls;
  return total;
}
