#include "replay/log/router.h"

#include <windows.h>

#include "replay/log/header.h"
#include "replay/mutex/scope.h"
#include "replay/unicode/unicode.h"

namespace replay {
namespace log {

router::router() = default;

router::~router() {
  clear();
}

void router::add(listener* listener, int min_level) {
  if (listener == nullptr) return;
  std::unique_ptr<log::listener> owned(listener);
  scope guard(this);
  m_listeners.emplace(min_level, std::move(owned));
}

void router::write(int level, const std::wstring& text) {
  level = clamp_level(level);
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::string header = line_header(now, level);
  scope guard(this);
  const auto end = m_listeners.upper_bound(level);
  for (auto it = m_listeners.begin(); it != end; ++it) {
    it->second->write(level, header, to_narrow(text, CP_UTF8, true));
  }
}

void router::write(int level, const std::string& text) {
  write(level, read_narrow_text(text));
}

void router::clear() {
  scope guard(this);
  m_listeners.clear();
}

std::wstring read_narrow_text(const std::string& text, int codepage) {
  try {
    return to_wide(text, codepage);
  } catch (const replay::exception&) {
  }
  try {
    return to_wide(text, CP_UTF8);
  } catch (const replay::exception&) {
  }
  return L"replay::log: unable to convert input to unicode";
}

}  // namespace log
}  // namespace replay
