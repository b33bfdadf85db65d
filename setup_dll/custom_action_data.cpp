#include "setup_dll/custom_action_data.h"

#include <msiquery.h>

namespace {

// What the first read offers; a longer value is read again with the size the call reports.
constexpr DWORD kFirstReadChars = 2048;
// A value that keeps growing between two reads is given up after this many tries.
constexpr int kMaxReads = 4;

}  // namespace

std::wstring read_custom_action_data(MSIHANDLE install) {
  std::wstring text(kFirstReadChars, L'\0');
  for (int read = 0; read < kMaxReads; ++read) {
    DWORD count = static_cast<DWORD>(text.size());
    const UINT result = MsiGetPropertyW(install, L"CustomActionData", &text[0], &count);
    if (result == ERROR_SUCCESS) {
      text.resize(count);
      return text;
    }
    if (result != ERROR_MORE_DATA) return std::wstring();
    // The count excludes the terminating zero.
    text.assign(static_cast<size_t>(count) + 1, L'\0');
  }
  return std::wstring();
}

std::wstring parameter(const std::wstring& text, const std::wstring& key) {
  const std::wstring marker = key + L"=";
  const size_t found = text.find(marker);
  if (found == std::wstring::npos) return std::wstring();
  const size_t begin = found + marker.size();
  const size_t end = text.find(L';', begin);
  if (end == std::wstring::npos) return std::wstring();
  return text.substr(begin, end - begin);
}

std::vector<std::wstring> split_list(const std::wstring& list) {
  std::vector<std::wstring> items;
  size_t begin = 0;
  while (begin < list.size()) {
    size_t end = list.find(L',', begin);
    if (end == std::wstring::npos) end = list.size();
    if (end > begin) items.push_back(list.substr(begin, end - begin));
    begin = end + 1;
  }
  return items;
}
