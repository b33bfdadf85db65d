#include "replay/change/change.h"

namespace replay {

const char* change_kind_text(change_kind kind) {
  static const char* const kTexts[change_kind_count] = {
      "end process", "stop service",  "delete service",     "run program",
      "delete file", "remove folder", "delete key",         "delete value",
      "set value",   "write file",    "schedule at restart"};
  const int index = static_cast<int>(kind);
  return index >= 0 && index < change_kind_count ? kTexts[index] : "change";
}

const wchar_t* registry_view_text(registry_view view) {
  switch (view) {
    case registry_view::view_32:
      return L"32-bit view";
    case registry_view::view_64:
      return L"64-bit view";
    default:
      return L"";
  }
}

registry_view own_registry_view() {
  return sizeof(void*) == 8 ? registry_view::view_64 : registry_view::view_32;
}

registry_view registry_view_of(REGSAM sam) {
  if (sam & KEY_WOW64_64KEY) return registry_view::view_64;
  if (sam & KEY_WOW64_32KEY) return registry_view::view_32;
  return own_registry_view();
}

std::wstring change::text() const {
  const std::string what = change_kind_text(kind);
  std::wstring line(what.begin(), what.end());
  line += L'\t';
  line += where;
  if (kind == change_kind::delete_value || kind == change_kind::set_value) {
    line += L" [" + value + L"]";
  }
  if (view != registry_view::none) {
    line += L" (";
    line += registry_view_text(view);
    line += L")";
  }
  line += L'\t';
  line += detail;
  return line;
}

}  // namespace replay
