// Test helper: holds a file open without delete sharing, as a program that uses it would, for a
// while. Run from inside a folder being removed, its own image is in use as well.
// Usage: file_holder <file> [milliseconds] (default 120000).
#include <windows.h>

#include <cstdlib>

#include "replay/unique_handle.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const replay::scoped_handle file(CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 3;
  Sleep(argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 120000);
  return 0;
}
