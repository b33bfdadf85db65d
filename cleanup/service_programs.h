// Programs that registered services start. A clean-up that keeps a service must keep its
// program too: such a file is never left to be deleted at the next restart, where the service
// would lose it.
#pragma once

#include <string>

// Whether `path` is the program that a registered service's command line starts (compared
// without regard to case). When the services cannot be listed, every path counts as one: the
// file is kept.
bool is_service_program(const std::wstring& path);
