// Reports the exception being handled at level 3 and swallows it. Call only inside a catch
// block; `where` names the step, for example "remove_toolkit_31x()".
#pragma once

namespace replay {
void log_exception(const char* where);
}  // namespace replay
