// The layer that makes each change on the machine. Two hooks sit in front of every change:
//   - an observer (change_observer), a backup for one: sees the change just before it is made
//     and may refuse it, and then the change is not made and the observer's error code is
//     returned instead;
//   - fault injection for tests: "the N-th change (of a kind) fails with error E" without
//     touching the machine, to reach failure paths that the test machine cannot produce.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "replay/change/change_layer.h"

namespace replay {

// Sees each change just before it is made.
class change_observer {
 public:
  virtual ~change_observer() = default;
  // Returns 0 to let the change go ahead, or a Windows error code that stops it (the change is
  // then not made and make() returns that code).
  virtual DWORD before(const change& c) = 0;
  // A key tree's deletion begins (change_layer::tree_ahead); its keys' changes follow.
  virtual void tree_ahead(const change& c) { (void)c; }
};

class real_changes : public change_layer {
 public:
  bool planning() const override { return false; }
  DWORD make(const change& c, const std::function<DWORD()>& apply) override;
  void tree_ahead(const change& c) override {
    if (m_observer) m_observer->tree_ahead(c);
  }

  bool removed_path(const std::wstring&) const override { return false; }
  bool removed_key(const std::wstring&) const override { return false; }
  planned_value value_after(const std::wstring&, const std::wstring&, DWORD*,
                            std::string*) const override {
    return planned_value::unchanged;
  }
  bool written_file(const std::wstring&, std::string*) const override { return false; }
  bool ended_process(DWORD) const override { return false; }
  bool stopped_service(const std::wstring&) const override { return false; }
  bool deleted_service(const std::wstring&) const override { return false; }

  // The observer, or null. Not owned.
  void set_observer(change_observer* observer) { m_observer = observer; }

  // Fault injection: the `nth` change (counted from 1) of `kind` fails with `error`, and is
  // neither made nor shown to the observer. `any_kind` counts every change.
  void fail_change(int nth, DWORD error) { fail_change_of(nth, error, nullptr); }
  void fail_change(int nth, DWORD error, change_kind kind) { fail_change_of(nth, error, &kind); }

  // Changes offered to make() so far (failed ones included).
  int count() const { return m_count; }

 private:
  void fail_change_of(int nth, DWORD error, const change_kind* kind);

  change_observer* m_observer = nullptr;
  int m_count = 0;
  int m_counts[change_kind_count] = {};
  int m_fail_nth = 0;
  DWORD m_fail_error = 0;
  bool m_fail_any_kind = true;
  change_kind m_fail_kind = change_kind::delete_file;
};

// The process's real layer (the one changes() returns when no other is set).
real_changes& real_layer();

}  // namespace replay
