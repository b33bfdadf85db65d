#include "bench/synthetic_registry.h"

#include <windows.h>

#include <string>

#include "replay/unique_handle.h"

namespace {

constexpr wchar_t kBase[] = L"Software\\CorvaneBench";
constexpr wchar_t kSeeded[] = L"Software\\CorvaneBench\\Seeded";

long g_created = 0;

using replay::unique_hkey;

// The created (or opened) key, or an empty owner when the registry refuses.
unique_hkey create(HKEY parent, const std::wstring& name) {
  unique_hkey key;
  if (RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.receive(),
                      nullptr) == ERROR_SUCCESS) {
    ++g_created;
  } else {
    key.release();
  }
  return key;
}

void set_text(HKEY key, const wchar_t* name, const std::wstring& text) {
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void leaf(HKEY parent, const std::wstring& name) {
  const unique_hkey key = create(parent, name);
  if (!key) return;
  set_text(key.get(), L"Path", L"C:\\Program Files\\Bench\\" + name + L".dll");
  DWORD flags = 1;
  RegSetValueExW(key.get(), L"Flags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), 4);
}

// A feature: four leaves and an Options key with one leaf (six keys, five of them leaves).
void feature(HKEY parent, const std::wstring& name) {
  const unique_hkey key = create(parent, name);
  if (!key) return;
  for (int i = 0; i < 4; ++i) leaf(key.get(), L"Setting" + std::to_wstring(i));
  if (const unique_hkey options = create(key.get(), L"Options"); options) {
    leaf(options.get(), L"Default");
  }
}

std::wstring two_digits(int n) {
  return (n < 10 ? L"0" : L"") + std::to_wstring(n);
}

void vendors(HKEY root, int count) {
  for (int v = 0; v < count; ++v) {
    for (int p = 0; p < 25; ++p) {
      std::wstring product =
          std::wstring(kBase) + L"\\Vendor" + two_digits(v) + L"\\Product" + two_digits(p);
      const unique_hkey key = create(root, product);
      if (!key) continue;
      for (int f = 0; f < 40; ++f) feature(key.get(), L"Feature" + two_digits(f));
    }
  }
}

void store(HKEY root, const std::wstring& installer, const std::wstring& codes_name) {
  create(root, installer + L"\\" + codes_name + L"\\E3C7B0D549A216F48B2E194C7A3D0F65");
  create(root, installer + L"\\Products\\10E11A0C00000004800000000000001");
  create(root, installer + L"\\UserData\\S-1-5-18\\Components\\10000C0C");
  create(root, installer + L"\\UserData\\S-1-5-21-7-7-7-1001\\Products");
}

void installer_stores() {
  const std::wstring base = kBase;
  store(HKEY_CLASSES_ROOT, L"Installer", L"UpgradeCodes");
  store(HKEY_LOCAL_MACHINE, base + L"\\Vendor05\\Product07\\Installer", L"UpgradeCodes");
  store(HKEY_LOCAL_MACHINE, base + L"\\Vendor11\\INSTALLER", L"UpgradeCodes");
  // Looks like a store to a case-insensitive open only.
  store(HKEY_LOCAL_MACHINE, base + L"\\Vendor13\\Product02\\Installer", L"upgradecodes");
  // An Installer key without UpgradeCodes is no store.
  create(HKEY_LOCAL_MACHINE, base + L"\\Vendor02\\Installer\\Products\\X");
  store(HKEY_CURRENT_USER, base + L"\\Vendor01\\Installer", L"UpgradeCodes");
}

}  // namespace

long seed_synthetic_registry() {
  unique_hkey seeded;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSeeded, 0, KEY_READ, seeded.receive()) == ERROR_SUCCESS) {
    return 0;
  }
  seeded.release();
  vendors(HKEY_LOCAL_MACHINE, 20);
  vendors(HKEY_CURRENT_USER, 2);
  installer_stores();
  create(HKEY_LOCAL_MACHINE, kSeeded);
  return g_created;
}
