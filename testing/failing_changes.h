// A change layer that makes one chosen change fail, to reach failure paths the test machine
// cannot produce: "the N-th change (of a kind) fails with error E". It sits on the process's
// layer as it finds it (the real one, a recorder, ...), is the process's layer while it lives and
// puts the one it sat on back when it ends, also when a failed assertion leaves the test early.
// The failing change is neither made nor handed to the layer below (nor to its observer); every
// other change, and every read, goes to the layer below.
//
//   {
//     test_support::failing_changes failing(2, ERROR_ACCESS_DENIED, change_kind::delete_file);
//     run();  // its second file deletion fails with access denied
//   }
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "replay/change/change_layer.h"

namespace test_support {

class failing_changes : public replay::change_layer {
 public:
  // The `nth` change (counted from 1) of any kind fails with `error`.
  failing_changes(int nth, DWORD error);
  // The `nth` change (counted from 1) of `kind` fails with `error`.
  failing_changes(int nth, DWORD error, replay::change_kind kind);
  ~failing_changes() override;
  failing_changes(const failing_changes&) = delete;
  failing_changes& operator=(const failing_changes&) = delete;

  bool planning() const override { return m_below.planning(); }
  DWORD make(const replay::change& c, const std::function<DWORD()>& apply) override;
  void tree_ahead(const replay::change& c) override { m_below.tree_ahead(c); }
  bool removed_path(const std::wstring& path) const override { return m_below.removed_path(path); }
  bool removed_key(const std::wstring& key) const override { return m_below.removed_key(key); }
  replay::planned_value value_after(const std::wstring& key, const std::wstring& name, DWORD* type,
                                    std::string* data) const override {
    return m_below.value_after(key, name, type, data);
  }
  bool written_file(const std::wstring& path, std::string* content) const override {
    return m_below.written_file(path, content);
  }
  bool ended_process(DWORD process_id) const override { return m_below.ended_process(process_id); }
  bool stopped_service(const std::wstring& name) const override {
    return m_below.stopped_service(name);
  }
  bool deleted_service(const std::wstring& name) const override {
    return m_below.deleted_service(name);
  }

  // Changes offered so far, the failed one included.
  int offered() const { return m_offered; }
  // Whether the chosen change came and failed.
  bool failed() const { return m_failed; }

 private:
  replay::change_layer& m_below;
  int m_nth;
  DWORD m_error;
  bool m_any_kind;
  replay::change_kind m_kind;
  int m_offered = 0;
  int m_of_kind = 0;
  bool m_failed = false;
};

}  // namespace test_support
