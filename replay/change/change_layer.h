// The one layer through which every change of the machine goes: the only code that deletes,
// writes, renames, ends or starts anything, and the place that reads deciding what to do next
// ask what earlier changes did.
//
// Two layers exist: the real one (real_changes.h) makes each change; the planning one
// (planned_changes.h) only records it and remembers its effect, so that a report-only run
// judges each step on the state the real run would have reached by then.
//
//   replay::change c;
//   c.kind = replay::change_kind::delete_file;
//   c.where = path;
//   const DWORD error = replay::changes().make(c, [&] { return delete_on_close(handle); });
//
//   if (replay::changes().removed_path(path)) ...   // a read that decides
//
// A call site logs the outcome as it always has, in the planned form when
// replay::changes().planning() (see would()).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "replay/change/change.h"

namespace replay {

// The state of one registry value after the planned changes.
enum class planned_value { unchanged, deleted, set };

class change_layer {
 public:
  virtual ~change_layer() = default;

  // Whether changes are only planned (a report-only run).
  virtual bool planning() const = 0;

  // Makes `c`: `apply` does it on the machine and returns 0 or a Windows error code. Returns
  // that code; the planning layer never calls `apply` and returns 0. `apply` must not throw.
  virtual DWORD make(const change& c, const std::function<DWORD()>& apply) = 0;

  // Announces that the deletion of the key tree `c` (a delete_key of its topmost key) begins:
  // its keys follow as changes of their own, children first. Changes nothing; a backup uses it
  // to save the whole tree at once.
  virtual void tree_ahead(const change& c) { (void)c; }

  // Reads that decide: what the planned changes did. The real layer has made its changes on
  // the machine itself, so it answers "unchanged" throughout. Names compare without regard to
  // letter case; a path or key counts as removed when it or anything above it was.
  virtual bool removed_path(const std::wstring& path) const = 0;
  virtual bool removed_key(const std::wstring& key) const = 0;
  // unchanged: the machine's value holds; deleted; set: `type` and `data` receive the new one.
  virtual planned_value value_after(const std::wstring& key, const std::wstring& name, DWORD* type,
                                    std::string* data) const = 0;
  // Whether `path` was written; `content` receives what was written.
  virtual bool written_file(const std::wstring& path, std::string* content) const = 0;
  virtual bool ended_process(DWORD process_id) const = 0;
  virtual bool stopped_service(const std::wstring& name) const = 0;
  virtual bool deleted_service(const std::wstring& name) const = 0;
};

// The layer of this process: the real one unless a report-only run set the planning one.
change_layer& changes();

// Makes `layer` the layer of this process (null: back to the real one). The caller keeps it
// alive while it is set.
void set_changes(change_layer* layer);

// Sets a layer for one scope, for tests and for the run frame.
class changes_scope {
 public:
  explicit changes_scope(change_layer& layer) { set_changes(&layer); }
  ~changes_scope() { set_changes(nullptr); }
  changes_scope(const changes_scope&) = delete;
  changes_scope& operator=(const changes_scope&) = delete;
};

// `done` in a real run, `planned` in a report-only run: the two forms of a log line that says
// a change was made ("   %s removed" / "   %s would be removed").
const char* would(const char* done, const char* planned);
const wchar_t* would(const wchar_t* done, const wchar_t* planned);

}  // namespace replay
