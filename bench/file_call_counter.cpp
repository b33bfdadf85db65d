#include "bench/file_call_counter.h"

#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <vector>

#include "bench/import_redirect.h"

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

}  // namespace

void install_file_call_counter() {
  register_functions();
  std::vector<bench::import_redirect> redirects;
  for (const counted_function& f : functions()) {
    redirects.push_back(bench::import_redirect{f.name, f.stand_in, f.original});
  }
  bench::redirect_imports(redirects);
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
