#include "msi_cleaner/key_files.h"

#include "replay/log/log.h"

using replay::registry2::key;

namespace {

void decrement_counter(key& shared_dlls, const std::wstring& path) {
  DWORD type = 0;
  if (!shared_dlls.query(path, &type) || type != REG_DWORD) return;
  DWORD count = shared_dlls.get_dword(path);
  if (count <= 1) {
    shared_dlls.delete_value(path);
    replay::log_info("  %ls", path.c_str());
  } else {
    shared_dlls.set_dword(path, count - 1);
    replay::log_info("  %ls      is decremented to %d", path.c_str(), static_cast<int>(count - 1));
  }
}

}  // namespace

void decrement_key_file_counters(const replay::registry2::name_set& key_files) {
  try {
    key shared_dlls =
        key(HKEY_LOCAL_MACHINE).open(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls");
    for (const std::wstring& path : key_files) {
      try {
        decrement_counter(shared_dlls, path);
      } catch (const replay::exception&) {
        // A counter that cannot be read or changed is left as it is.
      }
    }
  } catch (const replay::exception&) {
    // Without a SharedDlls key there is nothing to decrement.
  }
}
