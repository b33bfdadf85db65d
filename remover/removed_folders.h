// The folders a run removes, so that a backup is never asked to go where the run takes away
// what it would write: a backup folder inside one of them is refused before anything changes.
#pragma once

#include <string>
#include <vector>

class removed_folders {
 public:
  // `folder`, a full path, is removed with everything in it.
  void add(const std::string& folder);
  // `relative` (no leading backslash) is removed in every profile below `profiles`.
  void add_in_every_profile(const std::string& profiles, const std::string& relative);

  // The removed folder that is `folder` or holds it, as added (for a profile's folder, with the
  // profile's name); empty when none does. `folder` is made a full path first ("..", "." and
  // "/" resolved); names are compared without regard to case.
  std::string holder_of(const std::string& folder) const;

 private:
  std::vector<std::wstring> m_folders;
  std::vector<std::pair<std::wstring, std::wstring>> m_in_profiles;  // profiles, relative
};
