#include "replay/registry2/key_name.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "replay/registry2/errors.h"
#include "replay/unique_handle.h"

namespace replay {
namespace registry2 {
namespace {

constexpr int kKeyNameInformation = 3;
constexpr LONG kBufferTooSmall = static_cast<LONG>(0xC0000023);  // STATUS_BUFFER_TOO_SMALL
constexpr LONG kBufferOverflow = static_cast<LONG>(0x80000005);  // STATUS_BUFFER_OVERFLOW

using nt_query_key_function = LONG(WINAPI*)(HANDLE key, int information_class, void* buffer,
                                            ULONG length, ULONG* result_length);

nt_query_key_function nt_query_key() {
  static const nt_query_key_function function = reinterpret_cast<nt_query_key_function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
  return function;
}

bool starts_with_folded(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() &&
         CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                              static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL &&
         (text.size() == prefix.size() || text[prefix.size()] == L'\\');
}

// "\REGISTRY\USER\<sid of the current user>", read once from the HKEY_CURRENT_USER handle.
const std::wstring& current_user_hive();

std::wstring native_name(HKEY key) {
  nt_query_key_function query = nt_query_key();
  if (query == nullptr) {
    throw key_error("NtQueryKey() failed: handle " +
                    std::to_string(static_cast<int>(reinterpret_cast<std::intptr_t>(key))) +
                    " (127)");
  }
  std::vector<std::uint8_t> buffer(512);
  for (;;) {
    ULONG needed = 0;
    const LONG status =
        query(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kBufferTooSmall || status == kBufferOverflow) {
      buffer.resize(needed > buffer.size() ? needed + 2 : buffer.size() * 2);
      continue;
    }
    if (status < 0) {
      throw key_error("NtQueryKey() failed: handle " +
                      std::to_string(static_cast<int>(reinterpret_cast<std::intptr_t>(key))) +
                      " (" + std::to_string(status) + ")");
    }
    ULONG length = 0;
    std::memcpy(&length, buffer.data(), sizeof(length));
    const wchar_t* name = reinterpret_cast<const wchar_t*>(buffer.data() + sizeof(ULONG));
    return std::wstring(name, length / sizeof(wchar_t));
  }
}

const std::wstring& current_user_hive() {
  static const std::wstring hive = [] {
    try {
      unique_hkey user;
      if (RegOpenCurrentUser(KEY_READ, user.receive()) != ERROR_SUCCESS) return std::wstring();
      return native_name(user.get());
    } catch (...) {
      return std::wstring();
    }
  }();
  return hive;
}

std::wstring short_root(const std::wstring& name) {
  static const std::wstring kMachine = L"\\REGISTRY\\MACHINE";
  static const std::wstring kUsers = L"\\REGISTRY\\USER";
  const std::wstring& user = current_user_hive();
  if (!user.empty() && starts_with_folded(name, user)) return L"HKCU" + name.substr(user.size());
  if (starts_with_folded(name, kMachine)) return L"HKLM" + name.substr(kMachine.size());
  if (starts_with_folded(name, kUsers)) return L"HKU" + name.substr(kUsers.size());
  return name;
}

}  // namespace

std::wstring key_name(HKEY key) {
  return short_root(native_name(key));
}

std::wstring key_name(HKEY key, const std::wstring& subkey) {
  std::wstring name = key_name(key);
  if (!subkey.empty()) name += L"\\" + subkey;
  return name;
}

}  // namespace registry2
}  // namespace replay
