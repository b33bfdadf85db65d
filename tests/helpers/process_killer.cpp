// Test helper that runs the process clean-up in a process of its own, so that a test can choose
// its image name, its parent and the Windows version it sees.
//   process_killer kill NAME           kill_processes_by_name(NAME); exit code 0
//   process_killer spawn NAME          runs "<this program> kill NAME" as its child and ends with
//                                      the child's exit code (the child's parent is this process)
//   process_killer close NAME LOGFILE  close_process(NAME), its log lines written to LOGFILE,
//                                      one a line, after a first line "version MAJOR.MINOR"
#include <windows.h>

#include "replay/unique_handle.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "cleanup/processes.h"
#include "replay/log/listener.h"
#include "replay/log/log.h"

namespace {

class file_listener : public replay::log::listener {
 public:
  explicit file_listener(FILE* file) : m_file(file) {}
  void write(int, const std::string&, const std::string& text) override {
    std::fprintf(m_file, "%s\n", text.c_str());
  }

 private:
  FILE* m_file;
};

int spawn_killer(const char* name) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = std::string("\"") + self + "\" kill " + name;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(self, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return 98;
  }
  const replay::scoped_handle thread(process.hThread);
  const replay::scoped_handle child(process.hProcess);
  WaitForSingleObject(child.get(), INFINITE);
  DWORD exit_code = 97;
  GetExitCodeProcess(child.get(), &exit_code);
  return static_cast<int>(exit_code);
}

int close_logged(const char* name, const char* log_path) {
  FILE* file = std::fopen(log_path, "w");
  if (file == nullptr) return 96;
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  GetVersionExA(&version);
  std::fprintf(file, "version %lu.%lu\n", version.dwMajorVersion, version.dwMinorVersion);
  replay::log_add_listener(new file_listener(file));
  close_process(name);
  replay::log_shutdown();
  std::fclose(file);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "kill") == 0) {
    kill_processes_by_name(argv[2]);
    return 0;
  }
  if (argc >= 3 && std::strcmp(argv[1], "spawn") == 0) return spawn_killer(argv[2]);
  if (argc >= 4 && std::strcmp(argv[1], "close") == 0) return close_logged(argv[2], argv[3]);
  return 87;
}
