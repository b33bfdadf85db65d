#include "cleanup/image_name.h"

#include <windows.h>

#include "replay/unicode/unicode.h"

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

// Whether `text` holds `tail` (ASCII letters folded) at `at`.
bool holds_folded_at(const std::wstring& text, size_t at, const std::wstring& tail) {
  if (at + tail.size() > text.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    if (fold_ascii(text[at + i]) != fold_ascii(tail[i])) return false;
  }
  return true;
}

// The program part of an unquoted command line, as Windows resolves it: the text up to the first
// ".exe" (any case) that is followed by a blank or the end; without one, the text up to the first
// blank. "C:\Program Files\a\x.exe /watch C:\b\y.exe" starts x.exe, never y.exe.
std::wstring unquoted_program(const std::wstring& command_line) {
  const std::wstring extension = L".exe";
  for (size_t at = command_line.find(L'.'); at != std::wstring::npos;
       at = command_line.find(L'.', at + 1)) {
    if (!holds_folded_at(command_line, at, extension)) continue;
    const size_t end = at + extension.size();
    if (end == command_line.size() || command_line[end] == L' ') return command_line.substr(0, end);
  }
  return command_line.substr(0, command_line.find(L' '));
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

std::wstring image_path_program(const std::wstring& image_path) {
  if (image_path.empty() || image_path[0] != L'"') return unquoted_program(image_path);
  return image_path_executable(image_path);
}

bool image_path_matches(const std::wstring& image_path, const std::wstring& name) {
  return image_name_matches(image_path_program(image_path), name);
}

std::wstring wide_system_name(const std::string& name) {
  try {
    return replay::to_wide(name, CP_ACP);
  } catch (...) {
    return replay::to_wide(name, replay::unicode::latin1);
  }
}
