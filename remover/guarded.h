// The boundary of one step of a run: what fails inside it ends that step only.
#pragma once

#include "replay/log/log_exception.h"

// Runs `step`; a failure (a shell folder that cannot be resolved, a folder walk that fails, a
// log line that cannot be written) ends only that step and is logged under `where`, the step's
// name, when the log still can be written. Nothing leaves it, so the run goes on.
template <class Step>
void guarded(const char* where, Step step) {
  try {
    step();
  } catch (...) {
    try {
      replay::log_exception(where);
    } catch (...) {
    }
  }
}
