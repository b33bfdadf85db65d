#include "msi_cleaner/reg_delete_key_ex.h"

#include "msi_cleaner/module_function.h"
#include "replay/unique_handle.h"

namespace {

// The two process-wide variables of the binding.
replay::unique_module g_advapi32;
reg_delete_key_ex_function g_reg_delete_key_ex = nullptr;

}  // namespace

void bind_reg_delete_key_ex() {
  release_reg_delete_key_ex();
  g_advapi32.reset(LoadLibraryA("ADVAPI32.DLL"));
  g_reg_delete_key_ex =
      module_function<reg_delete_key_ex_function>(g_advapi32.get(), "RegDeleteKeyExW");
}

reg_delete_key_ex_function bound_reg_delete_key_ex() {
  return g_reg_delete_key_ex;
}

void release_reg_delete_key_ex() {
  g_reg_delete_key_ex = nullptr;
  g_advapi32.reset();
}

reg_delete_key_ex_for_tests::reg_delete_key_ex_for_tests(reg_delete_key_ex_function function)
    : m_function(function) {
  g_reg_delete_key_ex = function;
}

reg_delete_key_ex_for_tests::~reg_delete_key_ex_for_tests() {
  if (g_reg_delete_key_ex == m_function) release_reg_delete_key_ex();
}
