// Several processes (log_writer) append to one log file at the same time.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "replay/log/rotation.h"
#include "replay/log/test_folder.h"
#include "replay/mutex/test_helper_process.h"
#include "replay/unique_handle.h"

namespace replay {
namespace {

using testing::read_file;
using testing::start_helper;
using testing::test_folder;
using testing::wait_for_exit;

TEST(LogProcessTest, ConcurrentWritersLoseAndInterleaveNoLine) {
  constexpr int kWriters = 4;
  constexpr int kLines = 150;
  test_folder folder("log-processes");
  const std::string base = folder / "Shared";
  const std::string event_name = "corvane-log-start-" + std::to_string(GetCurrentProcessId());
  scoped_handle start(CreateEventA(nullptr, TRUE, FALSE, event_name.c_str()));
  ASSERT_TRUE(start.is_valid());

  std::vector<scoped_handle> writers;
  for (int id = 0; id < kWriters; ++id) {
    writers.push_back(start_helper("log_writer.exe",
                                   {base, std::to_string(id), std::to_string(kLines), event_name}));
    ASSERT_TRUE(writers.back().is_valid()) << id;
  }
  Sleep(500);  // let the writers open the log; latecomers are not waited for
  SetEvent(start.get());
  for (auto& writer : writers) EXPECT_EQ(0u, wait_for_exit(writer, 120000));

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
