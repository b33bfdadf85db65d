// Dizavad 3.1.x: its SharedDLLs counters follow the number of products that use it.
#include "replay/log/log.h"
#include "toolkit/product_count.h"
#include "toolkit/shareddlls_counters.h"
#include "toolkit/toolkit31x_remover.h"

namespace {

// The framework's files, each after the vendor folder and without extension, so that a counter
// matches wherever Program Files lies and whatever the file's extension.
const wchar_t* const kCounterSuffixes[] = {L"\\RavelinLauncher", L"\\RavelinSuiteService",
                                           L"\\Tracegather", L"\\cvhtml"};

}  // namespace

void toolkit31x_remover::fix_toolkit_counters_in_shareddlls() {
  // Each registration check is logged here, as the repair has always shown them.
  const int count = count_products_using_toolkit(
      count_products_registered_in_toolkit_31x(),
      [this](const std::wstring& code) { return is_product_registered_in_toolkit_31x(code); });
  if (count == unknown_product_count) {
    replay::log_info(
        "ATTENTION: Dizavad counters in SharedDLLs are left unchanged, as the "
        "products that use it are not known");
    return;
  }
  try {
    replay::log_info("%s", "");
    replay::log_info("Fixing Dizavad counters in SharedDLLs");
    replay::log_info("Number of products with Dizavad according to configurations files: %d",
                     count);
    for (const wchar_t* suffix : kCounterSuffixes) {
      fix_shareddlls_counters(m_vendor_folder + suffix, count);
    }
  } catch (...) {
    // A counter that cannot be read or changed ends the repair; the listing lines already show
    // the counters as they were found.
  }
}
