#include "tests/purgeline_process.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "replay/mutex/hold_point.h"
#include "replay/unique_handle.h"

namespace e2e {
namespace {

// Starts Purgeline.exe; the caller owns the process handle.
replay::scoped_handle start_purgeline(const std::string& arguments) {
  std::string command = "\"" + program_folder() + "Purgeline.exe\"";
  if (!arguments.empty()) command += " " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    ADD_FAILURE() << "Purgeline.exe does not start: " << GetLastError();
    return replay::scoped_handle();
  }
  replay::scoped_handle thread(process.hThread);
  return replay::scoped_handle(process.hProcess);
}

}  // namespace

bool under_wow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::string program_folder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.rfind('\\') + 1);
}

std::string log_path() {
  char temp[MAX_PATH];
  DWORD length = GetTempPathA(MAX_PATH, temp);
  return std::string(temp, length) + "CVPurgeline.log.txt";
}

void run_purgeline(const std::string& arguments) {
  const replay::scoped_handle process = start_purgeline(arguments);
  ASSERT_TRUE(process);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD exit_code = 1;
  GetExitCodeProcess(process.get(), &exit_code);
  EXPECT_EQ(0u, exit_code);
}

bool cut_purgeline_at(const std::string& point, unsigned long timeout_ms) {
  const replay::scoped_handle hold(
      CreateEventA(nullptr, TRUE, FALSE, replay::hold_point_event_name(point.c_str()).c_str()));
  if (!hold) {
    ADD_FAILURE() << "the hold event cannot be made: " << GetLastError();
    return false;
  }
  const replay::scoped_handle process = start_purgeline("");
  if (!process) return false;
  const HANDLE waits[] = {hold.get(), process.get()};
  const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, timeout_ms);
  // Ended whether or not it reached the point, so that no run outlives the test.
  TerminateProcess(process.get(), 1);
  WaitForSingleObject(process.get(), INFINITE);
  return woke == WAIT_OBJECT_0;
}

std::vector<std::string> log_texts() {
  std::ifstream in(log_path(), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines;
  std::string::size_type start = 3;  // byte order mark
  for (;;) {
    std::string::size_type end = text.find("\r\n", start);
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start + 23, end - start - 23));
    start = end + 2;
  }
  return lines;
}

void expect_in_order(const std::vector<std::string>& lines,
                     const std::vector<std::string>& expected) {
  auto at = lines.begin();
  for (const std::string& text : expected) {
    auto found = std::find_if(at, lines.end(), [&](const std::string& line) {
      return line.compare(0, text.size(), text) == 0;
    });
    ASSERT_NE(lines.end(), found) << "missing, or out of order: " << text;
    at = found + 1;
  }
}

bool log_has(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

}  // namespace e2e
