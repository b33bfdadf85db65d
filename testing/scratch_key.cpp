#include "testing/scratch_key.h"

#include "testing/registry_seed.h"

namespace test_support {

scratch_key::scratch_key(const std::wstring& name) : m_path(name) {
  delete_tree(HKEY_CURRENT_USER, 0, m_path);
  if (RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      m_key.receive(), nullptr) != ERROR_SUCCESS) {
    m_key.release();
  }
}

scratch_key::~scratch_key() {
  restore();
  m_key.reset();
  delete_tree(HKEY_CURRENT_USER, 0, m_path);
}

bool scratch_key::redirect(HKEY root) {
  restore();
  if (!m_key || RegOverridePredefKey(root, m_key.get()) != ERROR_SUCCESS) return false;
  m_redirected = root;
  return true;
}

void scratch_key::restore() {
  if (m_redirected == nullptr) return;
  RegOverridePredefKey(m_redirected, nullptr);
  m_redirected = nullptr;
}

}  // namespace test_support
