#include "setup_dll/registration_proof.h"

#include "replay/log/log.h"
#include "replay/registry2/key.h"

namespace {

bool hkcr_key_exists(const std::wstring& subkey) {
  // The entry given without a subkey, written without its ";", or no CustomActionData at all.
  if (subkey.empty()) return false;
  try {
    replay::registry2::key root(HKEY_CLASSES_ROOT);
    replay::registry2::key proof = root.open(subkey, false);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

UINT check_registration(const std::wstring& subkey) {
  if (hkcr_key_exists(subkey)) {
    replay::log_info(
        L"regsvr32 failed, but 'HKEY_CLASSES_ROOT\\%s' is there, so we assume that dll is "
        L"registered",
        subkey.c_str());
    return ERROR_SUCCESS;
  }
  replay::log_info(L"regsvr32 failed, and 'HKEY_CLASSES_ROOT\\%s' is not found", subkey.c_str());
  return ERROR_INSTALL_FAILURE;
}
