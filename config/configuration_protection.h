// Machine-bound DPAPI protection of the configuration files. The whole archive text is one
// protected blob; any program of the suite on the same machine, under any account, can
// unprotect it with the suite's fixed entropy.
#pragma once

#include <iosfwd>
#include <string>

namespace config {

// Reads `input` to its end, protects (protect = true) or unprotects the bytes and writes the
// result to `output` in one piece. Throws replay::exception "failed to encrypt data (0x%08X)" or
// "failed to decrypt data (0x%08X)" with GetLastError(); nothing is written then.
void transform_configuration_data(std::istream& input, std::ostream& output, bool protect);

// The same transformation on byte strings.
std::string protect_configuration_data(const std::string& plain);
std::string unprotect_configuration_data(const std::string& blob);

}  // namespace config
