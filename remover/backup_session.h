// The backup of one run and the restore run: where the backup goes, its start and end in the
// log, and the restore that replaces the pass when the command line asks for one.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "backup/backup_observer.h"
#include "remover/backup_words.h"
#include "remover/removed_folders.h"
#include "replay/change/real_changes.h"

// The place of backups named by date and time: a folder below the common application-data
// folder that the pass never removes, "Purgeline backups".
std::wstring default_backup_place();

// The backup of a real run. While it is made, the run's changes go through a real layer of the
// session's own, which it installs as the process's layer and the backup observes; finish() (or
// the end of the session) puts back the layer that was there before.
class backup_session {
 public:
  // Makes the backup observer for the backup folder `folder` (exists, empty); throws when the
  // backup cannot be made there.
  using observer_maker =
      std::function<std::unique_ptr<replay::backup::backup_observer>(const std::wstring& folder)>;

  // The run's backup: a backup_observer.
  backup_session();
  // A backup made by `make`: a test's backup that fails on purpose, for one.
  explicit backup_session(observer_maker make);
  ~backup_session();
  backup_session(const backup_session&) = delete;
  backup_session& operator=(const backup_session&) = delete;

  // Starts the backup `request` asks for before the pass's first change, logging
  // "Backup folder: %s"; nothing when it asks for none. Returns false when a backup was asked
  // for and cannot be made: the reason is logged, and the pass must not run. A backup folder
  // inside one of the folders `removed` (those the pass removes) is such a reason: the run would
  // take away the backup it makes.
  bool start(const backup_request& request, const removed_folders& removed = removed_folders());
  // Ends the backup: the layer before start() is back, changes are no longer saved; logs
  // "Backup size: ...".
  void finish();

 private:
  // Installs m_layer with `observer` on it; detach() undoes it (nothing when not attached).
  void attach(replay::change_observer& observer);
  void detach();

  observer_maker m_make;
  replay::real_changes m_layer;
  replay::change_layer* m_previous = nullptr;  // the layer before attach(); null: not attached
  std::unique_ptr<replay::backup::backup_observer> m_observer;
};

// The run that "/restore:<folder>" asks for, with the log open. Returns the exit code: 0 only
// when the backup could be read and every item is in place afterwards (what cannot come back by
// nature aside); 1 when an item was kept in conflict, its saved copy is missing, or an index
// line is unreadable.
int run_restore(const std::string& folder);
