// A named lock shared by every process (and, on Windows 2000 and later, every logged-on user)
// that uses the same name. Failures throw replay::exception.
#pragma once

#include <string>

#include "replay/mutex/scope_semantics.h"
#include "replay/unique_handle.h"

namespace replay {

class real_mutex : public scope_semantics {
 public:
  // Creates the mutex, or opens it when it exists; any account may use it.
  explicit real_mutex(const std::string& name);
  ~real_mutex() override;

  // Waits without a time limit. A mutex abandoned by an ended owner is taken over.
  bool lock() override;
  void unlock() override;

  // The kernel name used for `name` on a system of the given major version: "Global\" in
  // front of a plain name from version 5 on; before that, only the part after the last "\".
  static std::string kernel_name(const std::string& name, unsigned major_version);

 private:
  scoped_handle m_handle;
};

}  // namespace replay
