// Stands in for a program planted under a system program's name: when it runs at all, it
// leaves the file named by PLANTED_MARKER (a full path) behind, so a test can tell.
#include <windows.h>

#include "replay/unique_handle.h"

int main() {
  const replay::scoped_handle marker(CreateFileW(PLANTED_MARKER, GENERIC_WRITE, 0, nullptr,
                                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return 0;
}
