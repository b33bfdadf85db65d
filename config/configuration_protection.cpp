#include "config/configuration_protection.h"

#include <windows.h>

#include <wincrypt.h>

#include <istream>
#include <limits>
#include <ostream>
#include <sstream>

#include "replay/exception/exception.h"

namespace config {
namespace {

// Shared by every program of the suite that reads or writes these files: 7 bytes, no terminator.
constexpr char kEntropy[] = {'T', 'q', '4', 'r', 'X', 'z', 'L'};
constexpr wchar_t kDescription[] = L"Configuration data";
constexpr DWORD kFlags = CRYPTPROTECT_UI_FORBIDDEN | CRYPTPROTECT_LOCAL_MACHINE;

// Owns a blob that DPAPI allocated; LocalFree releases it.
class local_blob {
 public:
  local_blob() = default;
  local_blob(const local_blob&) = delete;
  local_blob& operator=(const local_blob&) = delete;
  ~local_blob() {
    if (m_blob.pbData) LocalFree(m_blob.pbData);
  }
  DATA_BLOB* out() { return &m_blob; }
  std::string bytes() const {
    return std::string(reinterpret_cast<const char*>(m_blob.pbData), m_blob.cbData);
  }

 private:
  DATA_BLOB m_blob = {0, nullptr};
};

DATA_BLOB input_blob(const std::string& bytes) {
  if (bytes.size() > std::numeric_limits<DWORD>::max()) {
    throw replay::exception("configuration data too large");
  }
  DATA_BLOB blob;
  blob.cbData = static_cast<DWORD>(bytes.size());
  blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
  return blob;
}

DATA_BLOB entropy_blob() {
  DATA_BLOB blob;
  blob.cbData = sizeof(kEntropy);
  blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy));
  return blob;
}

}  // namespace

std::string protect_configuration_data(const std::string& plain) {
  DATA_BLOB data = input_blob(plain);
  DATA_BLOB entropy = entropy_blob();
  local_blob result;
  if (!CryptProtectData(&data, kDescription, &entropy, nullptr, nullptr, kFlags, result.out())) {
    throw replay::exception("failed to encrypt data (0x%08X)",
                            static_cast<unsigned int>(GetLastError()));
  }
  return result.bytes();
}

std::string unprotect_configuration_data(const std::string& blob) {
  DATA_BLOB data = input_blob(blob);
  DATA_BLOB entropy = entropy_blob();
  local_blob result;
  if (!CryptUnprotectData(&data, nullptr, &entropy, nullptr, nullptr, kFlags, result.out())) {
    throw replay::exception("failed to decrypt data (0x%08X)",
                            static_cast<unsigned int>(GetLastError()));
  }
  return result.bytes();
}

void transform_configuration_data(std::istream& input, std::ostream& output, bool protect) {
  std::ostringstream buffer;
  buffer << input.rdbuf();
  const std::string bytes = buffer.str();
  const std::string result =
      protect ? protect_configuration_data(bytes) : unprotect_configuration_data(bytes);
  output.write(result.data(), static_cast<std::streamsize>(result.size()));
}

}  // namespace config
