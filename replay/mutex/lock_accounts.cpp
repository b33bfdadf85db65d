#include "replay/mutex/lock_accounts.h"

#include <aclapi.h>
#include <sddl.h>

#include "replay/exception/exception.h"
#include "replay/unique_handle.h"

namespace replay {
namespace {

const char kSystem[] = "S-1-5-18";
const char kAdministrators[] = "S-1-5-32-544";

std::string token_user_sid() {
  scoped_token token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive()))
    throw exception("OpenProcessToken returned 0x%08x", static_cast<unsigned>(GetLastError()));
  std::vector<BYTE> buffer(512);
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()),
                           &size))
    throw exception("GetTokenInformation returned 0x%08x", static_cast<unsigned>(GetLastError()));
  LPSTR text = nullptr;
  if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
    throw exception("ConvertSidToStringSid returned 0x%08x", static_cast<unsigned>(GetLastError()));
  const std::string sid = text;
  LocalFree(text);
  return sid;
}

std::vector<BYTE> binary_sid(const std::string& text) {
  PSID sid = nullptr;
  if (!ConvertStringSidToSidA(text.c_str(), &sid))
    throw exception("ConvertStringSidToSid returned 0x%08x", static_cast<unsigned>(GetLastError()));
  const BYTE* bytes = static_cast<const BYTE*>(sid);
  std::vector<BYTE> result(bytes, bytes + GetLengthSid(sid));
  LocalFree(sid);
  return result;
}

}  // namespace

lock_security::lock_security(lock_accounts accounts) : m_sids{kSystem, kAdministrators} {
  if (accounts == lock_accounts::administrators_and_user) {
    const std::string user = token_user_sid();
    if (user != kSystem) m_sids.push_back(user);
  }
  for (const std::string& sid : m_sids) m_binary_sids.push_back(binary_sid(sid));
}

lock_security::~lock_security() {
  if (m_descriptor != nullptr) LocalFree(m_descriptor);
}

SECURITY_ATTRIBUTES* lock_security::attributes(bool administrators_own) {
  std::string sddl = administrators_own ? "O:BAD:P" : "D:P";
  for (const std::string& sid : m_sids) sddl += "(A;;GA;;;" + sid + ")";
  if (m_descriptor != nullptr) LocalFree(m_descriptor);
  m_descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                            &m_descriptor, nullptr))
    throw exception("ConvertStringSecurityDescriptorToSecurityDescriptor returned 0x%08x",
                    static_cast<unsigned>(GetLastError()));
  m_attributes = {sizeof(m_attributes), m_descriptor, FALSE};
  return &m_attributes;
}

bool lock_security::trusts(HANDLE handle) const {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_KERNEL_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                      &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return false;
  // A missing or null DACL lets every account in.
  const bool ours = owner != nullptr && is_account(owner) && dacl != nullptr && keeps_to(dacl);
  LocalFree(descriptor);
  return ours;
}

// Whether the DACL lets in nobody outside the accounts: a denying ACE never does, an allowing
// ACE must name one of them, and an ACE of any other kind counts as letting in a stranger.
bool lock_security::keeps_to(PACL dacl) const {
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) return false;
    const BYTE type = static_cast<ACE_HEADER*>(ace)->AceType;
    if (type == ACCESS_DENIED_ACE_TYPE) continue;
    if (type != ACCESS_ALLOWED_ACE_TYPE) return false;
    if (!is_account(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart)) return false;
  }
  return true;
}

bool lock_security::is_account(PSID sid) const {
  if (!IsValidSid(sid)) return false;
  for (const auto& account : m_binary_sids) {
    if (EqualSid(sid, const_cast<BYTE*>(account.data()))) return true;
  }
  return false;
}

}  // namespace replay
