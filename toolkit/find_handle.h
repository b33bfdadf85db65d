// Owner of a FindFirstFile search handle, closed with FindClose.
#pragma once

#include <windows.h>

#include "cleanup/scoped_handle.h"

namespace handle_traits {

struct find {
  using type = HANDLE;
  static type invalid() { return INVALID_HANDLE_VALUE; }
  static void close(type value) { ::FindClose(value); }
};

}  // namespace handle_traits

using find_handle = unique_handle<handle_traits::find>;
