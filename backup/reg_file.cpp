#include "backup/reg_file.h"

#include <cstdio>
#include <cstring>

namespace replay {
namespace backup {
namespace {

const wchar_t kHeader[] = L"Windows Registry Editor Version 5.00";

struct root_names {
  const wchar_t* brief;
  const wchar_t* full;
};
const root_names kRoots[] = {{L"HKLM", L"HKEY_LOCAL_MACHINE"},
                             {L"HKCU", L"HKEY_CURRENT_USER"},
                             {L"HKU", L"HKEY_USERS"},
                             {L"HKCR", L"HKEY_CLASSES_ROOT"}};

bool starts_with_root(const std::wstring& key, const std::wstring& root) {
  return key.size() >= root.size() && _wcsnicmp(key.c_str(), root.c_str(), root.size()) == 0 &&
         (key.size() == root.size() || key[root.size()] == L'\\');
}

std::wstring quoted(const std::wstring& text) {
  std::wstring out = L"\"";
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'"') out += L'\\';
    out += c;
  }
  return out + L"\"";
}

std::wstring hex_bytes(const std::string& data) {
  std::wstring out;
  wchar_t byte[4];
  for (std::string::size_type i = 0; i < data.size(); ++i) {
    swprintf(byte, 4, L"%02x", static_cast<unsigned char>(data[i]));
    if (i != 0) out += L',';
    out += byte;
  }
  return out;
}

// A REG_SZ that reads back the same from its quoted form: one terminating zero, none inside,
// and no line breaks.
bool plain_string(const reg_value& v) {
  if (v.type != REG_SZ || v.data.size() < 2 || v.data.size() % 2 != 0) return false;
  const std::wstring text(reinterpret_cast<const wchar_t*>(v.data.data()), v.data.size() / 2);
  return text.back() == L'\0' && text.find_first_of(std::wstring(L"\r\n\0", 3)) == text.size() - 1;
}

std::wstring value_text(const reg_value& v) {
  if (v.absent) return L"-";
  if (plain_string(v)) {
    return quoted(
        std::wstring(reinterpret_cast<const wchar_t*>(v.data.data()), v.data.size() / 2 - 1));
  }
  if (v.type == REG_DWORD && v.data.size() == 4) {
    DWORD value = 0;
    std::memcpy(&value, v.data.data(), 4);
    wchar_t text[20];
    swprintf(text, 20, L"dword:%08lx", static_cast<unsigned long>(value));
    return text;
  }
  if (v.type == REG_BINARY) return L"hex:" + hex_bytes(v.data);
  wchar_t type[16];
  swprintf(type, 16, L"hex(%lx):", static_cast<unsigned long>(v.type));
  return type + hex_bytes(v.data);
}

std::wstring decode_text(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  }
  if (bytes.size() >= 2 && bytes[1] == '\0') {
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  }
  return std::wstring(bytes.begin(), bytes.end());
}

// The file's logical lines: continuations ("\" at the end) joined, blanks before them dropped.
std::vector<std::wstring> logical_lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::wstring current;
  bool continued = false;
  std::wstring::size_type start = 0;
  while (start <= text.size()) {
    std::wstring::size_type end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (continued) line.erase(0, line.find_first_not_of(L" \t"));
    // A long hex value goes on in the next line after ",\".
    continued = line.size() >= 2 && line.compare(line.size() - 2, 2, L",\\") == 0;
    if (continued) line.pop_back();
    current += line;
    if (!continued) {
      lines.push_back(current);
      current.clear();
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

// Reads a quoted text at `pos` (at its opening quote); `pos` ends after the closing quote.
bool read_quoted(const std::wstring& line, std::wstring::size_type& pos, std::wstring& text) {
  if (pos >= line.size() || line[pos] != L'"') return false;
  for (++pos; pos < line.size(); ++pos) {
    wchar_t c = line[pos];
    if (c == L'"') {
      ++pos;
      return true;
    }
    if (c == L'\\' && pos + 1 < line.size()) {
      c = line[++pos];
      if (c == L'n') c = L'\n';
      if (c == L'r') c = L'\r';
      if (c == L'0') c = L'\0';
    }
    text += c;
  }
  return false;
}

bool read_hex(const std::wstring& text, std::string& data) {
  std::wstring::size_type pos = 0;
  while (pos < text.size()) {
    if (text[pos] == L',' || text[pos] == L' ') {
      ++pos;
      continue;
    }
    wchar_t* end = nullptr;
    const unsigned long byte = wcstoul(text.c_str() + pos, &end, 16);
    const std::wstring::size_type used =
        static_cast<std::wstring::size_type>(end - text.c_str()) - pos;
    if (used == 0 || used > 2 || byte > 0xFF) return false;
    data += static_cast<char>(byte);
    pos += used;
  }
  return true;
}

bool read_data(const std::wstring& text, reg_value& v) {
  std::wstring::size_type pos = 0;
  if (text == L"-") {
    v.absent = true;
    return true;
  }
  if (!text.empty() && text[0] == L'"') {
    std::wstring s;
    if (!read_quoted(text, pos, s)) return false;
    s += L'\0';
    v.type = REG_SZ;
    v.data.assign(reinterpret_cast<const char*>(s.data()), s.size() * sizeof(wchar_t));
    return true;
  }
  if (text.compare(0, 6, L"dword:") == 0) {
    const DWORD value = wcstoul(text.c_str() + 6, nullptr, 16);
    v.type = REG_DWORD;
    v.data.assign(reinterpret_cast<const char*>(&value), 4);
    return true;
  }
  if (text.compare(0, 4, L"hex:") == 0) {
    v.type = REG_BINARY;
    return read_hex(text.substr(4), v.data);
  }
  if (text.compare(0, 4, L"hex(") == 0) {
    const std::wstring::size_type close = text.find(L"):");
    if (close == std::wstring::npos) return false;
    v.type = wcstoul(text.c_str() + 4, nullptr, 16);
    return read_hex(text.substr(close + 2), v.data);
  }
  return false;
}

bool read_value_line(const std::wstring& line, reg_value& v) {
  std::wstring::size_type pos = 0;
  if (line.compare(0, 2, L"@=") == 0) {
    pos = 1;
  } else if (!read_quoted(line, pos, v.name)) {
    return false;
  }
  if (pos >= line.size() || line[pos] != L'=') return false;
  return read_data(line.substr(pos + 1), v);
}

}  // namespace

std::wstring long_key_name(const std::wstring& key) {
  for (const root_names& root : kRoots) {
    if (starts_with_root(key, root.brief)) return root.full + key.substr(wcslen(root.brief));
  }
  return key;
}

std::string reg_file_bytes(const std::vector<reg_key>& keys) {
  std::wstring text = std::wstring(L"\xFEFF") + kHeader + L"\r\n";
  for (const reg_key& key : keys) {
    text += L"\r\n[" + key.name + L"]\r\n";
    for (const reg_value& v : key.values) {
      text +=
          (v.name.empty() ? std::wstring(L"@") : quoted(v.name)) + L"=" + value_text(v) + L"\r\n";
    }
  }
  text += L"\r\n";
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::vector<reg_key> parse_reg_file(const std::string& bytes) {
  std::vector<reg_key> keys;
  bool in_key = false;
  for (const std::wstring& line : logical_lines(decode_text(bytes))) {
    if (!line.empty() && line[0] == L'[') {
      const std::wstring::size_type close = line.rfind(L']');
      in_key = close != std::wstring::npos && line.size() > 1 && line[1] != L'-';
      if (in_key) keys.push_back({line.substr(1, close - 1), {}});
      continue;
    }
    reg_value v;
    if (in_key && read_value_line(line, v)) keys.back().values.push_back(v);
  }
  return keys;
}

const reg_key* find_reg_key(const std::vector<reg_key>& keys, const std::wstring& name) {
  for (const reg_key& key : keys) {
    if (_wcsicmp(key.name.c_str(), name.c_str()) == 0) return &key;
  }
  return nullptr;
}

}  // namespace backup
}  // namespace replay
