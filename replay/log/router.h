// Stamps each line with the local time and the level's marker and hands it to its listeners.
// The router owns its listeners.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "replay/log/listener.h"
#include "replay/mutex/mutex.h"

namespace replay {
namespace log {

class router : public replay::mutex {
 public:
  router();
  ~router() override;

  // Takes ownership. The listener receives lines of level min_level and above; listeners of
  // equal minimum level receive lines in the order they were added.
  void add(listener* listener, int min_level = 0);
  // Converts the text to UTF-8 for each listener; conversion and listener errors reach the
  // caller (after the router is unlocked).
  void write(int level, const std::wstring& text);
  // Narrow text is read in the ANSI code page, else as UTF-8, else replaced by a fixed line.
  void write(int level, const std::string& text);
  // Deletes every listener.
  void clear();

 private:
  std::multimap<int, std::unique_ptr<listener>> m_listeners;
};

// The wide reading of narrow log text: in the given code page, else as UTF-8, else the fixed
// line "replay::log: unable to convert input to unicode".
std::wstring read_narrow_text(const std::string& text, int codepage = CP_ACP);

}  // namespace log
}  // namespace replay
