// Stands in for the suite's service program in the framework remover's tests. Placed as
// RavelinSuiteService.exe, it answers "/stop" and "/uninstall" with the exit codes that the test
// chose through CORVANE_STANDIN_STOP_EXIT and CORVANE_STANDIN_UNINSTALL_EXIT (0 when unset), and
// appends each argument it was given, one a line, to the file CORVANE_STANDIN_RECORD names. The
// exit code "hang" makes it never end.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string environment(const char* name) {
  char buffer[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableA(name, buffer, sizeof(buffer));
  return length > 0 && length < sizeof(buffer) ? std::string(buffer, length) : std::string();
}

int exit_code_for(const std::string& argument) {
  const char* variable = argument == "/stop"        ? "CORVANE_STANDIN_STOP_EXIT"
                         : argument == "/uninstall" ? "CORVANE_STANDIN_UNINSTALL_EXIT"
                                                    : nullptr;
  if (variable == nullptr) return 87;
  const std::string value = environment(variable);
  return value.empty() ? 0 : std::atoi(value.c_str());
}

void record(const std::string& argument) {
  const std::string path = environment("CORVANE_STANDIN_RECORD");
  if (path.empty()) return;
  if (FILE* file = std::fopen(path.c_str(), "ab")) {
    std::fprintf(file, "%s\n", argument.c_str());
    std::fclose(file);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string argument = argc > 1 ? argv[1] : "";
  record(argument);
  const char* variable =
      argument == "/stop" ? "CORVANE_STANDIN_STOP_EXIT" : "CORVANE_STANDIN_UNINSTALL_EXIT";
  if (environment(variable) == "hang") Sleep(INFINITE);
  return exit_code_for(argument);
}
