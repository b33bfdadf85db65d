// Several processes (log_writer) append to one log file at the same time.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "replay/log/rotation.h"
#include "replay/unique_handle.h"
#include "testing/child_process.h"
#include "testing/files.h"
#include "testing/prefix.h"
#include "testing/scratch_folder.h"
#include "testing/text.h"

namespace replay {
namespace {

using test_support::child_process;
using test_support::helper_program;
using test_support::quote_arguments;
using test_support::read_file;
using test_support::scratch_folder;
using test_support::wide;

TEST(LogProcessTest, ConcurrentWritersLoseAndInterleaveNoLine) {
  constexpr int kWriters = 4;
  constexpr int kLines = 150;
  scratch_folder folder(L"log-processes");
  const std::string base = folder / "Shared";
  const std::string event_name = "corvane-log-start-" + std::to_string(GetCurrentProcessId());
  scoped_handle start(CreateEventA(nullptr, TRUE, FALSE, event_name.c_str()));
  ASSERT_TRUE(start.is_valid());

  std::vector<std::unique_ptr<child_process>> writers;
  for (int id = 0; id < kWriters; ++id) {
    writers.push_back(std::make_unique<child_process>(
        helper_program(L"log_writer"),
        quote_arguments(
            {wide(base), std::to_wstring(id), std::to_wstring(kLines), wide(event_name)})));
    ASSERT_TRUE(writers.back()->started()) << id;
  }
  Sleep(500);  // let the writers open the log; latecomers are not waited for
  SetEvent(start.get());
  for (auto& writer : writers) EXPECT_EQ(0u, writer->wait_for_exit(120000));

  const std::string content = read_file(log::current_file_name(base));
  ASSERT_EQ("\xEF\xBB\xBF", content.substr(0, 3));
  EXPECT_EQ(std::string::npos, content.find("\xEF\xBB\xBF", 3));
  const std::regex line_format(
      R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}    writer (\d) line (\d+) p{200})");
  std::map<std::pair<int, int>, int> seen;
  size_t position = 3;
  while (position < content.size()) {
    const size_t end = content.find("\r\n", position);
    ASSERT_NE(std::string::npos, end) << "unterminated line at " << position;
    const std::string line = content.substr(position, end - position);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, line_format)) << line;
    ++seen[{std::stoi(match[1]), std::stoi(match[2])}];
    position = end + 2;
  }
  EXPECT_EQ(static_cast<size_t>(kWriters * kLines), seen.size());
  for (const auto& entry : seen) {
    EXPECT_EQ(1, entry.second) << entry.first.first << "/" << entry.first.second;
  }
}

}  // namespace
}  // namespace replay
