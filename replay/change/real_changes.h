// The layer that makes each change on the machine. An observer (change_observer), a backup for
// one, may sit in front of every change: it sees the change just before it is made and may refuse
// it, and then the change is not made and the observer's error code is returned instead. (Tests
// that need a change to fail set a layer of their own on top: testing/failing_changes.h.)
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

 private:
  change_observer* m_observer = nullptr;
};

// The process's real layer (the one changes() returns when no other is set).
real_changes& real_layer();

}  // namespace replay
