#include "cleanup/image_name.h"

namespace {

template <typename Char>
Char fold_ascii(Char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <typename Char>
bool ends_with_folded(const std::basic_string<Char>& text, const std::basic_string<Char>& tail) {
  if (text.size() < tail.size()) return false;
  const size_t start = text.size() - tail.size();
  for (size_t i = 0; i < tail.size(); ++i) {
    if (fold_ascii(text[start + i]) != fold_ascii(tail[i])) return false;
  }
  return true;
}

template <typename Char>
bool names_image(const std::basic_string<Char>& candidate, const std::basic_string<Char>& name) {
  if (name.empty() || !ends_with_folded(candidate, name)) return false;
  if (candidate.size() == name.size()) return true;
  const Char separator = candidate[candidate.size() - name.size() - 1];
  return separator == '\\' || separator == '/';
}

}  // namespace

bool image_name_matches(const std::string& candidate, const std::string& name) {
  return names_image(candidate, name);
}

bool image_name_matches(const std::wstring& candidate, const std::wstring& name) {
  return names_image(candidate, name);
}

std::wstring image_path_executable(const std::wstring& image_path) {
  if (image_path.empty() || image_path[0] != L'"') return image_path;
  const size_t close = image_path.find(L'"', 1);
  if (close == std::wstring::npos) return image_path.substr(1);
  return image_path.substr(1, close - 1);
}

bool image_path_matches(const std::wstring& image_path, const std::wstring& name) {
  if (!image_path.empty() && image_path[0] == L'"') {
    return image_name_matches(image_path_executable(image_path), name);
  }
  for (size_t blank = image_path.find(L' '); blank != std::wstring::npos;
       blank = image_path.find(L' ', blank + 1)) {
    if (image_name_matches(image_path.substr(0, blank), name)) return true;
  }
  return image_name_matches(image_path, name);
}
