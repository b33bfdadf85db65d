// A real change layer (replay/change) that records every change it made successfully, set as the
// process's layer for as long as it lives, so that a test can compare what a real run changed
// with what a report-only run planned on the same state. A change the machine refuses is not
// recorded.
//
//   replay::planned_changes planned;
//   { replay::changes_scope scope(planned); run(); }
//   test_support::change_recorder made;
//   run();
//   EXPECT_EQ(test_support::change_lines(planned.planned()), made.lines());
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "replay/change/change.h"
#include "replay/change/real_changes.h"

namespace test_support {

// Each change's report line (change::text()), in order: lists compare with one message.
std::vector<std::wstring> change_lines(const std::vector<replay::change>& changes);

class change_recorder : public replay::real_changes {
 public:
  change_recorder() { replay::set_changes(this); }
  ~change_recorder() override { replay::set_changes(nullptr); }
  change_recorder(const change_recorder&) = delete;
  change_recorder& operator=(const change_recorder&) = delete;

  DWORD make(const replay::change& c, const std::function<DWORD()>& apply) override {
    const DWORD error = real_changes::make(c, apply);
    if (error == 0) m_made.push_back(c);
    return error;
  }
  const std::vector<replay::change>& made() const { return m_made; }
  const std::vector<replay::change>& changes() const { return m_made; }
  std::vector<std::wstring> lines() const { return change_lines(m_made); }

 private:
  std::vector<replay::change> m_made;
};

}  // namespace test_support
