// Redirects calls this program makes through its import table: the benches count the system
// calls of the code they time by putting a counting stand-in in front of each function.
#pragma once

namespace bench {

// One imported function: calls to `name` go to `stand_in`; `*original` receives the function
// that was imported, for the stand-in to call on.
struct import_redirect {
  const char* name;
  void* stand_in;
  void** original;
};

// Applies the `count` redirects to every import of this program (not of its DLLs) they name.
void redirect_imports(const import_redirect* redirects, unsigned count);

// The same for a container of redirects (std::array, std::vector).
template <typename Redirects>
void redirect_imports(const Redirects& redirects) {
  redirect_imports(redirects.data(), static_cast<unsigned>(redirects.size()));
}

}  // namespace bench
