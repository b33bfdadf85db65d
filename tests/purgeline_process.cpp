#include "tests/purgeline_process.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "replay/mutex/hold_point.h"
#include "replay/unique_handle.h"
#include "testing/child_process.h"
#include "testing/prefix.h"
#include "testing/text.h"

namespace e2e {
namespace {

std::wstring purgeline_program() {
  return test_support::program_folder() + L"Purgeline.exe";
}

// The same program with its hold points compiled in; the shipped one has none.
std::wstring purgeline_test_flavour() {
  return test_support::program_folder() + L"Purgeline_test_flavour.exe";
}

}  // namespace

std::string program_folder() {
  return test_support::ansi(test_support::program_folder());
}

std::string log_path() {
  char temp[MAX_PATH];
  DWORD length = GetTempPathA(MAX_PATH, temp);
  return std::string(temp, length) + "CVPurgeline.log.txt";
}

void run_purgeline(const std::string& arguments) {
  EXPECT_EQ(0u, purgeline_exit_code(arguments));
}

unsigned long purgeline_exit_code(const std::string& arguments) {
  const test_support::child_process purgeline(purgeline_program(), test_support::wide(arguments));
  if (!purgeline.started()) {
    ADD_FAILURE() << "Purgeline.exe does not start: " << GetLastError();
    return STILL_ACTIVE;
  }
  return purgeline.wait_for_exit(INFINITE);
}

bool cut_purgeline_at(const std::string& point, unsigned long timeout_ms) {
  const replay::scoped_handle hold(
      CreateEventA(nullptr, TRUE, FALSE, replay::hold_point_event_name(point.c_str()).c_str()));
  if (!hold) {
    ADD_FAILURE() << "the hold event cannot be made: " << GetLastError();
    return false;
  }
  const test_support::child_process purgeline(purgeline_test_flavour(), L"");
  if (!purgeline.started()) {
    ADD_FAILURE() << "Purgeline_test_flavour.exe does not start: " << GetLastError();
    return false;
  }
  const HANDLE waits[] = {hold.get(), purgeline.handle()};
  const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, timeout_ms);
  // Ended whether or not it reached the point, so that no run outlives the test.
  TerminateProcess(purgeline.handle(), 1);
  WaitForSingleObject(purgeline.handle(), INFINITE);
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
