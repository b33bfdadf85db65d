// Test helper for program launches: ends with the exit code given as its first argument, after
// checking how it was started.
//   exit_code_helper CODE [--hidden] [--folder DIR] [--leave PROGRAM ARGUMENT]
//     --hidden      it must have been asked to start with a hidden window (else exit code 90)
//     --folder DIR  its working folder must be DIR, letters folded (else exit code 91)
//     --leave PROGRAM ARGUMENT
//                   starts PROGRAM with ARGUMENT in its own working folder and ends without
//                   waiting for it, as a console program leaves its console host (else exit
//                   code 92)
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

// Starts `program` with `argument`, in this program's working folder, and lets it run.
bool leave_running(const char* program, const char* argument) {
  std::string command = std::string("\"") + program + "\" " + argument;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 87;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--hidden") == 0 && !started_hidden()) return 90;
    if (std::strcmp(argv[i], "--folder") == 0 && (i + 1 >= argc || !in_folder(argv[++i]))) {
      return 91;
    }
    if (std::strcmp(argv[i], "--leave") == 0) {
      if (i + 2 >= argc || !leave_running(argv[i + 1], argv[i + 2])) return 92;
      i += 2;
    }
  }
  return static_cast<int>(std::strtoul(argv[1], nullptr, 10));
}
