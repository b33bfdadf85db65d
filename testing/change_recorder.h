// Records every change the process's real change layer makes (replay/change) for as long as it
// lives, so that a test can compare what a real run changed with what a report-only run planned.
//
//   replay::planned_changes planned;
//   { replay::changes_scope scope(planned); run(); }
//   test_support::change_recorder made;
//   run();
//   EXPECT_EQ(test_support::change_lines(planned.planned()), made.lines());
#pragma once

#include <string>
#include <vector>

#include "replay/change/real_changes.h"
#include "testing/text.h"

namespace test_support {

// Each change's report line, in UTF-8.
inline std::vector<std::string> change_lines(const std::vector<replay::change>& changes) {
  std::vector<std::string> lines;
  for (const replay::change& c : changes) lines.push_back(utf8(c.text()));
  return lines;
}

class change_recorder : public replay::change_observer {
 public:
  change_recorder() { replay::real_layer().set_observer(this); }
  ~change_recorder() override { replay::real_layer().set_observer(nullptr); }
  change_recorder(const change_recorder&) = delete;
  change_recorder& operator=(const change_recorder&) = delete;

  DWORD before(const replay::change& c) override {
    m_changes.push_back(c);
    return 0;
  }
  const std::vector<replay::change>& changes() const { return m_changes; }
  std::vector<std::string> lines() const { return change_lines(m_changes); }

 private:
  std::vector<replay::change> m_changes;
};

}  // namespace test_support
