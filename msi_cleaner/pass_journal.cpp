#include "msi_cleaner/pass_journal.h"

#include <windows.h>

#include "replay/change/real_changes.h"

using replay::registry2::key;
using replay::registry2::name_set;

namespace {

const wchar_t kProductCodes[] = L"Product codes";
const wchar_t kKeyFiles[] = L"Key files";
const wchar_t kPatchCodes[] = L"Patch codes";
const wchar_t kCachedFiles[] = L"Cached files";

// 32 hexadecimal digits, as Windows Installer names its keys and values.
bool is_packed_guid(const std::wstring& text) {
  if (text.size() != 32) return false;
  for (wchar_t c : text) {
    const bool hex =
        (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
    if (!hex) return false;
  }
  return true;
}

// "X:\..." without control characters: the only key paths whose counters the pass changes.
bool is_full_path(const std::wstring& text) {
  if (text.size() < 4 || text.size() >= 32767) return false;
  const wchar_t drive = text[0];
  if (!((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z'))) return false;
  if (text[1] != L':' || text[2] != L'\\') return false;
  for (wchar_t c : text) {
    if (c < 0x20) return false;
  }
  return true;
}

void read_product_codes(const key& journal, pass_journal& result) {
  for (const std::wstring& code : journal.open(kProductCodes).value_names()) {
    if (is_packed_guid(code)) result.product_codes.insert(code);
  }
}

void read_patch_codes(const key& journal, pass_journal& result) {
  for (const std::wstring& code : journal.open(kPatchCodes).value_names()) {
    if (is_packed_guid(code)) result.patch_codes.insert(code);
  }
}

void read_cached_files(const key& journal, pass_journal& result) {
  for (const std::wstring& path : journal.open(kCachedFiles).value_names()) {
    if (is_full_path(path)) result.cached_files.insert(path);
  }
}

void read_key_files(const key& journal, pass_journal& result) {
  const key key_files = journal.open(kKeyFiles);
  for (const std::wstring& path : key_files.value_names()) {
    DWORD type = 0;
    if (!is_full_path(path) || !key_files.query(path, &type) || type != REG_DWORD) continue;
    result.key_files[path] = key_files.get_dword(path);
  }
}

// Makes the journal's writes on the machine directly, past the process's layer (no report line,
// no backup, no injected fault), for the scope it lives in.
class past_the_layer {
 public:
  past_the_layer() : m_previous(replay::changes()) { replay::set_changes(&m_direct); }
  ~past_the_layer() { replay::set_changes(&m_previous); }
  past_the_layer(const past_the_layer&) = delete;
  past_the_layer& operator=(const past_the_layer&) = delete;

 private:
  replay::change_layer& m_previous;
  replay::real_changes m_direct;
};

bool planning() {
  return replay::changes().planning();
}

// A part that is not there holds nothing; one that cannot be read steers nothing.
template <typename Read>
void read_part(Read read) {
  try {
    read();
  } catch (const replay::exception&) {
  }
}

}  // namespace

pass_journal read_pass_journal(const std::wstring& path) {
  pass_journal result;
  if (path.empty()) return result;
  try {
    const key journal = key(HKEY_LOCAL_MACHINE).open(path);
    read_part([&] { read_product_codes(journal, result); });
    read_part([&] { read_key_files(journal, result); });
    read_part([&] { read_patch_codes(journal, result); });
    read_part([&] { read_cached_files(journal, result); });
  } catch (const replay::exception&) {
    // No journal: the last pass ran to its end, or there was none.
  }
  return result;
}

void write_pass_journal(const std::wstring& path, const pass_journal& journal) {
  if (planning()) return;
  const past_the_layer direct;
  key root = key(HKEY_LOCAL_MACHINE).open(path, true);
  key product_codes = root.open(kProductCodes, true);
  for (const std::wstring& code : journal.product_codes) product_codes.set_string(code, L"");
  key key_files = root.open(kKeyFiles, true);
  for (const auto& file : journal.key_files) key_files.set_dword(file.first, file.second);
  if (!journal.patch_codes.empty()) {
    key patch_codes = root.open(kPatchCodes, true);
    for (const std::wstring& code : journal.patch_codes) patch_codes.set_string(code, L"");
  }
  if (!journal.cached_files.empty()) {
    key cached_files = root.open(kCachedFiles, true);
    for (const std::wstring& path : journal.cached_files) cached_files.set_string(path, L"");
  }
}

void forget_journal_key_file(const std::wstring& path, const std::wstring& key_file) {
  if (planning()) return;
  const past_the_layer direct;
  try {
    key(HKEY_LOCAL_MACHINE).open(path).open(kKeyFiles).delete_value(key_file);
  } catch (const replay::exception&) {
    // The counter was found changed already; the next run sees that too.
  }
}

void delete_pass_journal(const std::wstring& path) {
  if (planning()) return;
  const past_the_layer direct;
  const std::wstring::size_type last = path.rfind(L'\\');
  try {
    if (last == std::wstring::npos) {
      key(HKEY_LOCAL_MACHINE).delete_key(path, true);
    } else {
      key(HKEY_LOCAL_MACHINE).open(path.substr(0, last)).delete_key(path.substr(last + 1), true);
    }
  } catch (const replay::exception&) {
    // Not there.
  }
}
