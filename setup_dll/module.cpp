#include "setup_dll/module.h"

#include <shlobj.h>

#include <memory>

#include "replay/exception/exception.h"
#include "setup_dll/module_log.h"

namespace {

constexpr UINT kCompanyStringId = 2001;
constexpr UINT kComponentStringId = 2002;
constexpr int kStringChars = 260;

module_names g_names;
std::unique_ptr<module_log> g_log;

std::wstring load_string(HINSTANCE instance, UINT id) {
  wchar_t text[kStringChars] = {};
  const int length = LoadStringW(instance, id, text, kStringChars);
  if (length <= 0) throw replay::exception("resource string %d is not found", static_cast<int>(id));
  return std::wstring(text, length);
}

// The shell folder `csidl` followed by "\", or empty text when the shell cannot find it.
std::wstring shell_folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, csidl, nullptr, 0, path) != S_OK) return std::wstring();
  return std::wstring(path) + L"\\";
}

void compute_folders(HINSTANCE instance) {
  wchar_t module_path[MAX_PATH] = {};
  if (GetModuleFileNameW(instance, module_path, MAX_PATH) == 0) {
    throw replay::exception_w(L"Error. config::init. GetModuleFileName return 0.");
  }
  g_names.common_root = shell_folder(CSIDL_COMMON_APPDATA);
  if (g_names.common_root.empty()) {
    throw replay::exception_w(L"Error. config::init. Can not find CSIDL_COMMON_APPDATA.");
  }
  g_names.user_root = shell_folder(CSIDL_APPDATA);
  if (g_names.user_root.empty()) g_names.user_root = g_names.common_root;
  const std::wstring relative = g_names.company + L"\\" + g_names.component + L"\\";
  g_names.common_component = g_names.common_root + relative;
  g_names.user_component = g_names.user_root + relative;
}

}  // namespace

const module_names& module() {
  return g_names;
}

void module_attach(HINSTANCE instance) {
  try {
    g_names.company = load_string(instance, kCompanyStringId);
    g_names.component = load_string(instance, kComponentStringId);
    compute_folders(instance);
    // Only one module log at a time; the old one goes first, since closing it shuts the
    // process-wide log down.
    close_module_log();
    g_log = std::make_unique<module_log>(g_names.common_component + L"Logs");
  } catch (...) {
  }
}

void close_module_log() {
  try {
    g_log.reset();
  } catch (...) {
  }
}
