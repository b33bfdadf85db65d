// Records the changes the real layer makes while it lives, so that a test can set what a real
// run did beside what a report-only run planned on the same state.
#pragma once

#include <string>
#include <vector>

#include "replay/change/change.h"
#include "replay/change/real_changes.h"

namespace test_support {

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

 private:
  std::vector<replay::change> m_changes;
};

// Each change's report line (change::text()), in order: lists compare with one message.
std::vector<std::wstring> change_lines(const std::vector<replay::change>& changes);

}  // namespace test_support
