// Installs the demo Corvane suite on this machine (the Wine prefix it runs in).
//   demo_seed              installs it
//   demo_seed --stop       ends the processes and services an earlier run started
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>

#include "tests/seed/suite_machine.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--stop") {
    seed::stop_suite_processes();
    return 0;
  }
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  seed::suite_options options;
  options.helpers_folder = folder.substr(0, folder.rfind('\\') + 1);
  try {
    seed::install_suite(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demo_seed: %s\n", e.what());
    return 1;
  }
  std::printf("Corvane suite installed.\n");
  return 0;
}
