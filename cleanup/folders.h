// Folder removal for the clean-up steps. Every operation logs its own outcome; which of them
// let failures through is said at each one.
//
// Removal never follows a link: a junction or symbolic link met inside a folder being removed
// is itself taken away (or left, when that fails), never the folder it points to. Profile and
// VirtualStore folders are writable by their users, so a planted link must not lead a removal
// outside them.
#pragma once

#include <string>

// Removes the folder with everything in it. Logs "Folder to remove '%s' does NOT EXIST !",
// ". Folder '%s' was removed" or "! Failed to remove folder '%s' !" with the path as passed.
// Read-only files go too. A file in use is left to the next restart with the folders it keeps
// (tree_removal.h), and the folder's line is then ". Folder '%s' will be removed at the next
// restart". Returns true when something was removed or left to the restart. Never throws.
bool remove_folder(const std::string& path);

// Removes the folder only when it is empty, logging the outcome. Never throws.
void remove_empty_folder(const std::string& path);

// The same two for a `path` built from `shell_folder` (which it must begin with): no folder
// between the shell folder and the last component may be a link. A link there is refused with
// a line that names it, and the removal fails ("! Failed to remove folder '%s' !"; the empty
// folder removal logs nothing more). The lines are those of the two above.
bool remove_folder_below(const std::string& shell_folder, const std::string& path);
void remove_empty_folder_below(const std::string& shell_folder, const std::string& path);

// Removes every "{...}" sub-folder of the common application-data folder that holds a file
// matching "Corvane_Client.*"; logs the others as ignored. A "{...}" entry that is a link is
// not one of ours: it is named in the log and neither it nor its target is touched. The check
// for the client file and the removal hold the same folder, proved by handle. A common
// application-data folder that cannot be resolved throws replay::exception to the caller.
void remove_guid_folders_with_client_files();

// Removes AppData/Local/VirtualStore/ProgramData/Ravelins below every user profile. Returns
// the number of removed entries, -1 when the current profile folder cannot be found. A
// failure to walk the profiles folder throws to the caller.
int rmove_virtual_store();

// Removes `relative` (a path relative to a profile folder) below every user profile except
// the all-users folder. An empty path is refused with a log line. Never throws.
void remove_dir_in_userappdata_for_allprofiles(const std::string& relative);
// The same for a wide relative path, as the custom-action DLL computes it.
void remove_dir_in_userappdata_for_allprofiles(const std::wstring& relative);
