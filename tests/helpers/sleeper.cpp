// Test helper: a process that stays alive for a while and can be found and ended by name. Copied
// under the image names a test searches for. Usage: sleeper [milliseconds] (default 120000).
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  const DWORD milliseconds =
      argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 120000;
  Sleep(milliseconds);
  return 0;
}
