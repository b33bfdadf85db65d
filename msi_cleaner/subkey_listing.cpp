#include "msi_cleaner/subkey_listing.h"

#include <cstdint>

#include "replay/registry2/enumeration.h"

namespace {

// The native registry interface (ntdll), which answers per subkey without opening it.
constexpr ULONG kKeyBasicInformation = 0;
constexpr ULONG kKeyFullInformation = 2;
constexpr LONG kStatusSuccess = 0;
constexpr LONG kStatusBufferOverflow = static_cast<LONG>(0x80000005);
constexpr LONG kStatusNoMoreEntries = static_cast<LONG>(0x8000001A);

struct key_basic_information {
  LARGE_INTEGER last_write_time;
  ULONG title_index;
  ULONG name_length;  // bytes
  WCHAR name[256];
};

struct key_full_information {
  LARGE_INTEGER last_write_time;
  ULONG title_index;
  ULONG class_offset;
  ULONG class_length;
  ULONG subkeys;
  ULONG max_name_length;
  ULONG max_class_length;
  ULONG values;
  ULONG max_value_name_length;
  ULONG max_value_data_length;
  WCHAR class_name[128];
};

}  // namespace

extern "C" LONG NTAPI NtEnumerateKey(HANDLE key, ULONG index, ULONG information_class,
                                     void* information, ULONG length, ULONG* result_length);

namespace {

// Predefined roots (HKEY_CLASSES_ROOT ...) are not handles of the native interface, and handles
// with tag bits set stand for merged views that only the Win32 functions present correctly.
bool is_native_handle(HKEY key) {
  auto value = reinterpret_cast<std::uintptr_t>(key);
  bool predefined = value >= 0x80000000u && value <= 0x800000FFu;
  return !predefined && (value & 3) == 0;
}

subkey_listing list_with_win32(HKEY key) {
  subkey_listing listing;
  replay::registry2::subkey_range subkeys(key);
  for (const std::wstring& name : subkeys) listing.names.push_back(name);
  listing.complete = subkeys.error() == ERROR_SUCCESS && subkeys.skipped() == 0;
  return listing;
}

// Number of subkeys of subkey `index`, or -1 at the end of the list, or -2 on failure.
long subkey_count(HKEY key, ULONG index) {
  key_full_information info;
  ULONG length = 0;
  LONG status = NtEnumerateKey(key, index, kKeyFullInformation, &info, sizeof(info), &length);
  if (status == kStatusNoMoreEntries) return -1;
  // An overflow only cuts the class name off; the counts are complete.
  if (status != kStatusSuccess && status != kStatusBufferOverflow) return -2;
  return static_cast<long>(info.subkeys);
}

bool subkey_name(HKEY key, ULONG index, std::wstring& name) {
  key_basic_information info;
  ULONG length = 0;
  LONG status = NtEnumerateKey(key, index, kKeyBasicInformation, &info, sizeof(info), &length);
  if (status != kStatusSuccess) return false;
  name.assign(info.name, info.name_length / sizeof(WCHAR));
  return true;
}

}  // namespace

subkey_listing list_inner_subkeys(HKEY key) {
  if (!is_native_handle(key)) return list_with_win32(key);
  subkey_listing listing;
  for (ULONG index = 0;; ++index) {
    long count = subkey_count(key, index);
    if (count == -1) break;
    std::wstring name;
    if (count == -2 || (count > 0 && !subkey_name(key, index, name))) {
      listing.complete = false;
      break;
    }
    if (count > 0) listing.names.push_back(std::move(name));
  }
  return listing;
}
