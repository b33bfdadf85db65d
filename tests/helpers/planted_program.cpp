// Stands in for a program planted under a system program's name: when it runs at all, it
// leaves the file named by PLANTED_MARKER (a full path) behind, so a test can tell.
#include <windows.h>

int main() {
  HANDLE marker = CreateFileW(PLANTED_MARKER, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  return 0;
}
