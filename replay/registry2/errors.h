// Error kinds of the registry layer. Every failing registry call throws one of them; the message
// names the key, value or handle concerned and ends with the Windows error code where there is
// one. what() gives "registry2.<kind>[message]".
#pragma once

#include "replay/exception/exception.h"

namespace replay {
namespace registry2 {

REPLAY_EXCEPTION_KIND(generic, replay::exception, "registry2");
// A key could not be opened, created, listed or deleted, or a value could not be deleted.
REPLAY_EXCEPTION_KIND(key_error, generic, "key_error");
// A value is missing, or could not be read or written.
REPLAY_EXCEPTION_KIND(value_error, generic, "value_error");
// A value exists with a type other than the one asked for.
REPLAY_EXCEPTION_KIND(type_mismatch, generic, "type_mismatch");
// A value's data size differs from the size asked for.
REPLAY_EXCEPTION_KIND(size_mismatch, generic, "size_mismatch");

}  // namespace registry2
}  // namespace replay
