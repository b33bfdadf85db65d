#include "tests/seed/registry_edit.h"

#include <cwctype>

namespace seed {

std::wstring packed_guid(const std::wstring& guid) {
  std::wstring d;
  for (wchar_t c : guid) {
    if (iswxdigit(c)) d += static_cast<wchar_t>(towupper(c));
  }
  std::wstring out(d.rbegin() + 24, d.rend());
  out.append(d.rbegin() + 20, d.rbegin() + 24);
  out.append(d.rbegin() + 16, d.rbegin() + 20);
  for (size_t i = 16; i < 32; i += 2) {
    out += d[i + 1];
    out += d[i];
  }
  return out;
}

}  // namespace seed
