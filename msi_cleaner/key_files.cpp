#include "msi_cleaner/key_files.h"

#include <string>

#include "replay/change/change_layer.h"
#include "replay/log/log.h"
#include "replay/mutex/hold_point.h"

using replay::registry2::key;

namespace {

const wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

bool read_counter(const key& shared_dlls, const std::wstring& path, DWORD& count) {
  DWORD type = 0;
  if (!shared_dlls.query(path, &type) || type != REG_DWORD) return false;
  count = shared_dlls.get_dword(path);
  return true;
}

void decrement_counter(key& shared_dlls, const std::wstring& path, DWORD before) {
  DWORD count = 0;
  if (!read_counter(shared_dlls, path, count) || count != before) return;
  if (count <= 1) {
    shared_dlls.delete_value(path);
    replay::log_info("  %ls", path.c_str());
  } else {
    const DWORD next = count - 1;
    shared_dlls.set_value(path, REG_DWORD, &next, sizeof(next),
                          std::to_wstring(count) + L" -> " + std::to_wstring(next));
    replay::log_info(
        replay::would("  %ls      is decremented to %d", "  %ls      would be decremented to %d"),
        path.c_str(), static_cast<int>(next));
  }
  replay::hold_point("installer.key file decremented");
}

}  // namespace

key_file_counters read_key_file_counters(const replay::registry2::name_set& key_files) {
  key_file_counters counters;
  try {
    const key shared_dlls = key(HKEY_LOCAL_MACHINE).open(kSharedDlls);
    for (const std::wstring& path : key_files) {
      try {
        DWORD count = 0;
        if (read_counter(shared_dlls, path, count)) counters[path] = count;
      } catch (const replay::exception&) {
        // A counter that cannot be read is not changed.
      }
    }
  } catch (const replay::exception&) {
    // Without a SharedDlls key there is nothing to decrement.
  }
  return counters;
}

void decrement_key_file_counters(const key_file_counters& counters,
                                 const std::function<void(const std::wstring&)>& done) {
  try {
    key shared_dlls = key(HKEY_LOCAL_MACHINE).open(kSharedDlls);
    for (const auto& counter : counters) {
      try {
        decrement_counter(shared_dlls, counter.first, counter.second);
        done(counter.first);
      } catch (const replay::exception&) {
        // A counter that cannot be read or changed is left as it is.
      }
    }
  } catch (const replay::exception&) {
    // Without a SharedDlls key there is nothing to decrement.
  }
}
