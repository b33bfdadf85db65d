#include "replay/log/log_exception.h"

#include <comdef.h>

#include <exception>
#include <string>

#include "replay/exception/exception.h"
#include "replay/log/log.h"
#include "replay/log/router.h"

namespace replay {
namespace {

constexpr int kErrorLevel = 3;

}  // namespace

void log_exception(const char* where) {
  // Narrow texts here are ANSI; a text that is not (a UTF-8 message) is read as UTF-8, so
  // that reporting never fails on the text itself.
  const std::wstring place = log::read_narrow_text(where != nullptr ? where : "");
  if (!std::current_exception()) {
    log_print(kErrorLevel, L"%s unknown exception caught", place.c_str());
    return;
  }
  try {
    throw;
  } catch (const _com_error& e) {
    const std::wstring text = log::read_narrow_text(e.ErrorMessage());
    log_print(kErrorLevel, L"%s _com_error: %s", place.c_str(), text.c_str());
  } catch (const replay::exception_w& e) {
    log_print(kErrorLevel, L"%s Exception: %s", place.c_str(), e.what_w().c_str());
  } catch (const std::exception& e) {
    const std::wstring text = log::read_narrow_text(e.what());
    log_print(kErrorLevel, L"%s exception: %s", place.c_str(), text.c_str());
  } catch (...) {
    log_print(kErrorLevel, L"%s unknown exception caught", place.c_str());
  }
}

}  // namespace replay
