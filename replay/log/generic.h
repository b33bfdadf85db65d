// The log's own error kind; its category is "log".
#pragma once

#include "replay/exception/exception.h"

namespace replay {
namespace log {
REPLAY_EXCEPTION_KIND(generic, replay::exception, "log");
}  // namespace log
}  // namespace replay
