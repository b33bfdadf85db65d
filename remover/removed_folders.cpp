#include "remover/removed_folders.h"

#include <windows.h>

namespace {

std::wstring wide(const std::string& text) {
  const int size =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
  }
  return out;
}

std::string narrow(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
  }
  return out;
}

// `path` as a full path without trailing backslashes; empty when it cannot be made one.
std::wstring full(const std::string& path) {
  const std::wstring name = wide(path);
  if (name.empty()) return std::wstring();
  const DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::wstring();
  std::wstring out(size, L'\0');
  const DWORD length = GetFullPathNameW(name.c_str(), size, &out[0], nullptr);
  if (length == 0 || length >= size) return std::wstring();
  out.resize(length);
  while (!out.empty() && out.back() == L'\\') out.pop_back();
  return out;
}

bool same(const std::wstring& a, std::wstring::size_type at, const std::wstring& b) {
  return a.size() >= at + b.size() &&
         CompareStringOrdinal(a.data() + at, static_cast<int>(b.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Whether `path` is `root` or below it.
bool within(const std::wstring& path, const std::wstring& root) {
  return !root.empty() && same(path, 0, root) &&
         (path.size() == root.size() || path[root.size()] == L'\\');
}

}  // namespace

void removed_folders::add(const std::string& folder) {
  const std::wstring name = full(folder);
  if (!name.empty()) m_folders.push_back(name);
}

void removed_folders::add_in_every_profile(const std::string& profiles,
                                           const std::string& relative) {
  const std::wstring root = full(profiles);
  std::wstring rest = wide(relative);
  while (!rest.empty() && rest.front() == L'\\') rest.erase(0, 1);
  while (!rest.empty() && rest.back() == L'\\') rest.pop_back();
  if (!root.empty() && !rest.empty()) m_in_profiles.emplace_back(root, rest);
}

std::string removed_folders::holder_of(const std::string& folder) const {
  const std::wstring path = full(folder);
  if (path.empty()) return std::string();
  for (const std::wstring& root : m_folders) {
    if (within(path, root)) return narrow(root);
  }
  for (const auto& in_profiles : m_in_profiles) {
    const std::wstring& profiles = in_profiles.first;
    if (!within(path, profiles) || path.size() == profiles.size()) continue;
    const std::wstring::size_type end = path.find(L'\\', profiles.size() + 1);
    if (end == std::wstring::npos) continue;
    const std::wstring root = path.substr(0, end + 1) + in_profiles.second;
    if (within(path, root)) return narrow(root);
  }
  return std::string();
}
