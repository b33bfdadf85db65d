// A minimal in-process COM server for the registration tests. DllRegisterServer writes
// HKEY_CLASSES_ROOT\CLSID\<TEST_COM_CLSID>\InprocServer32 = this DLL's path; built with
// TEST_COM_FAILS it writes nothing and reports failure, as a broken server would.
#include <windows.h>

#include "replay/unique_handle.h"

#include <olectl.h>

#include <string>

namespace {

HINSTANCE g_instance = nullptr;

const std::wstring& class_key() {
  static const std::wstring key = L"CLSID\\" TEST_COM_CLSID;
  return key;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
  return TRUE;
}

extern "C" HRESULT __stdcall DllRegisterServer() {
#ifdef TEST_COM_FAILS
  return E_FAIL;
#else
  wchar_t path[MAX_PATH] = {};
  if (GetModuleFileNameW(g_instance, path, MAX_PATH) == 0) return E_FAIL;
  replay::unique_hkey server;
  const std::wstring key = class_key() + L"\\InprocServer32";
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      server.receive(), nullptr) != ERROR_SUCCESS) {
    server.release();
    return SELFREG_E_CLASS;
  }
  const DWORD bytes = static_cast<DWORD>((wcslen(path) + 1) * sizeof(wchar_t));
  const LONG result =
      RegSetValueExW(server.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), bytes);
  return result == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
#endif
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
  RegDeleteKeyW(HKEY_CLASSES_ROOT, (class_key() + L"\\InprocServer32").c_str());
  RegDeleteKeyW(HKEY_CLASSES_ROOT, class_key().c_str());
  return S_OK;
}
