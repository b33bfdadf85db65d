// The registry view a key is reached through. A 32-bit process on 64-bit Windows sees the
// 32-bit view (Wow6432Node) unless it asks for the 64-bit one; a 64-bit process the reverse.
// `own` asks for nothing: the calling process's own view.
//
//   replay::registry2::key machine(HKEY_LOCAL_MACHINE, replay::registry2::view::wow64_64);
#pragma once

#include <windows.h>

namespace replay {
namespace registry2 {

enum class view { own, wow64_32, wow64_64 };

// The access flag that selects `v`: 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY.
constexpr REGSAM view_flags(view v) {
  return v == view::wow64_32 ? KEY_WOW64_32KEY : v == view::wow64_64 ? KEY_WOW64_64KEY : 0;
}

}  // namespace registry2
}  // namespace replay
