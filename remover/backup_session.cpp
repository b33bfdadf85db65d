#include "remover/backup_session.h"

#include "backup/backup_location.h"
#include "backup/restore.h"
#include "cleanup/shell_folders.h"
#include "replay/change/change_layer.h"
#include "replay/log/log.h"
#include "replay/log/log_exception.h"
#include "replay/unicode/unicode.h"

std::wstring default_backup_place() {
  return replay::to_wide(common_appdata_folder()) + L"Purgeline backups";
}

backup_session::backup_session()
    : backup_session([](const std::wstring& folder) {
        return std::make_unique<replay::backup::backup_observer>(folder);
      }) {}

backup_session::backup_session(observer_maker make) : m_make(std::move(make)) {}

backup_session::~backup_session() {
  detach();
}

void backup_session::attach(replay::change_observer& observer) {
  m_layer.set_observer(&observer);
  m_previous = &replay::changes();
  replay::set_changes(&m_layer);
}

void backup_session::detach() {
  if (!m_previous) return;
  replay::set_changes(m_previous);
  m_previous = nullptr;
  m_layer.set_observer(nullptr);
}

bool backup_session::start(const backup_request& request, const removed_folders& removed) {
  if (request.what != backup_request::mode::backup) return true;
  try {
    const std::string place = request.folder.empty()
                                  ? replay::to_narrow(default_backup_place(), CP_ACP, false)
                                  : request.folder;
    const std::string holder = removed.holder_of(place);
    if (!holder.empty()) {
      throw replay::backup::backup_error("backup folder " + place + ": inside '" + holder +
                                         "', which the run removes");
    }
    const std::wstring folder = request.folder.empty()
                                    ? replay::backup::new_dated_folder(default_backup_place())
                                    : replay::backup::named_folder(replay::to_wide(request.folder));
    m_observer = m_make(folder);
    attach(*m_observer);
    replay::log_write(1, L"Backup folder: " + folder);
    return true;
  } catch (...) {
    try {
      replay::log_exception("backup");
      replay::log_info("ATTENTION: the backup cannot be made: nothing is removed");
    } catch (...) {
    }
    return false;
  }
}

void backup_session::finish() {
  detach();
  if (!m_observer) return;
  replay::log_info("Backup size: %s bytes in %d items", std::to_string(m_observer->size()).c_str(),
                   m_observer->items());
  m_observer.reset();
}

int run_restore(const std::string& folder) {
  try {
    return replay::backup::restore_backup(replay::to_wide(folder)).all_in_place() ? 0 : 1;
  } catch (...) {
    try {
      replay::log_exception("restore");
    } catch (...) {
    }
    return 1;
  }
}
