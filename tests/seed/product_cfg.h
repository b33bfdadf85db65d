// The framework's registration list as the suite's installer writes it.
#pragma once

#include <string>
#include <vector>

namespace seed {

// Writes a protected product.cfg registering these product codes (names: the code's product
// folder, "Corvane" for CVPRO).
void write_product_cfg(const std::string& path, const std::vector<std::wstring>& codes);

// "CVPRO, TOOLKIT", "none", "absent" or "unreadable".
std::string read_product_cfg(const std::string& path);

}  // namespace seed
