// Test helper for program launches: ends with the exit code given as its first argument, after
// checking how it was started.
//   exit_code_helper CODE [--hidden] [--folder DIR]
//     --hidden      it must have been asked to start with a hidden window (else exit code 90)
//     --folder DIR  its working folder must be DIR, letters folded (else exit code 91)
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool started_hidden() {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  GetStartupInfoA(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE;
}

std::string without_trailing_slash(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

bool in_folder(const char* expected) {
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  return _stricmp(without_trailing_slash(current).c_str(),
                  without_trailing_slash(expected).c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 87;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--hidden") == 0 && !started_hidden()) return 90;
    if (std::strcmp(argv[i], "--folder") == 0 && (i + 1 >= argc || !in_folder(argv[++i]))) {
      return 91;
    }
  }
  return static_cast<int>(std::strtoul(argv[1], nullptr, 10));
}
