#include "bench/call_counter.h"

#include <windows.h>

#include <array>

#include "bench/import_redirect.h"

namespace {

std::uint64_t g_calls = 0;

using open_key_w = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
using open_key_a = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using enum_key_ex_w = LONG(WINAPI*)(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPWSTR, LPDWORD,
                                    PFILETIME);
using enum_key_w = LONG(WINAPI*)(HKEY, DWORD, LPWSTR, DWORD);
using enum_value_w = LONG(WINAPI*)(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using query_value_w = LONG(WINAPI*)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using query_info_w = LONG(WINAPI*)(HKEY, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                                   LPDWORD, LPDWORD, LPDWORD, LPDWORD, PFILETIME);
using close_key = LONG(WINAPI*)(HKEY);
using nt_enumerate_key = LONG(NTAPI*)(HANDLE, ULONG, ULONG, void*, ULONG, ULONG*);

open_key_w g_open_key_w;
open_key_a g_open_key_a;
enum_key_ex_w g_enum_key_ex_w;
enum_key_w g_enum_key_w;
enum_value_w g_enum_value_w;
query_value_w g_query_value_w;
query_info_w g_query_info_w;
close_key g_close_key;
nt_enumerate_key g_nt_enumerate_key;

LONG WINAPI counted_open_key_w(HKEY k, LPCWSTR n, DWORD o, REGSAM s, PHKEY r) {
  ++g_calls;
  return g_open_key_w(k, n, o, s, r);
}
LONG WINAPI counted_open_key_a(HKEY k, LPCSTR n, DWORD o, REGSAM s, PHKEY r) {
  ++g_calls;
  return g_open_key_a(k, n, o, s, r);
}
LONG WINAPI counted_enum_key_ex_w(HKEY k, DWORD i, LPWSTR n, LPDWORD l, LPDWORD r, LPWSTR c,
                                  LPDWORD cl, PFILETIME t) {
  ++g_calls;
  return g_enum_key_ex_w(k, i, n, l, r, c, cl, t);
}
LONG WINAPI counted_enum_key_w(HKEY k, DWORD i, LPWSTR n, DWORD l) {
  ++g_calls;
  return g_enum_key_w(k, i, n, l);
}
LONG WINAPI counted_enum_value_w(HKEY k, DWORD i, LPWSTR n, LPDWORD l, LPDWORD r, LPDWORD t,
                                 LPBYTE d, LPDWORD dl) {
  ++g_calls;
  return g_enum_value_w(k, i, n, l, r, t, d, dl);
}
LONG WINAPI counted_query_value_w(HKEY k, LPCWSTR n, LPDWORD r, LPDWORD t, LPBYTE d, LPDWORD l) {
  ++g_calls;
  return g_query_value_w(k, n, r, t, d, l);
}
LONG WINAPI counted_query_info_w(HKEY k, LPWSTR c, LPDWORD cl, LPDWORD r, LPDWORD a, LPDWORD b,
                                 LPDWORD cc, LPDWORD d, LPDWORD e, LPDWORD f, LPDWORD g,
                                 PFILETIME t) {
  ++g_calls;
  return g_query_info_w(k, c, cl, r, a, b, cc, d, e, f, g, t);
}
LONG WINAPI counted_close_key(HKEY k) {
  ++g_calls;
  return g_close_key(k);
}
LONG NTAPI counted_nt_enumerate_key(HANDLE k, ULONG i, ULONG c, void* b, ULONG l, ULONG* r) {
  ++g_calls;
  return g_nt_enumerate_key(k, i, c, b, l, r);
}

template <typename F>
bench::import_redirect make_redirect(const char* name, F stand_in, F& original) {
  return bench::import_redirect{name, reinterpret_cast<void*>(stand_in),
                                reinterpret_cast<void**>(&original)};
}

}  // namespace

void install_registry_call_counter() {
  const std::array<bench::import_redirect, 9> redirects = {{
      make_redirect("RegOpenKeyExW", &counted_open_key_w, g_open_key_w),
      make_redirect("RegOpenKeyExA", &counted_open_key_a, g_open_key_a),
      make_redirect("RegEnumKeyExW", &counted_enum_key_ex_w, g_enum_key_ex_w),
      make_redirect("RegEnumKeyW", &counted_enum_key_w, g_enum_key_w),
      make_redirect("RegEnumValueW", &counted_enum_value_w, g_enum_value_w),
      make_redirect("RegQueryValueExW", &counted_query_value_w, g_query_value_w),
      make_redirect("RegQueryInfoKeyW", &counted_query_info_w, g_query_info_w),
      make_redirect("RegCloseKey", &counted_close_key, g_close_key),
      make_redirect("NtEnumerateKey", &counted_nt_enumerate_key, g_nt_enumerate_key),
  }};
  bench::redirect_imports(redirects);
}

std::uint64_t registry_calls() {
  return g_calls;
}
