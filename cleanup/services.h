// Stopping and removing Windows services through the service control manager, and finding or
// removing a service's registration by the executable it starts. Names are narrow text in the
// ANSI code page. Every outcome is logged; none of these functions throws.
//
// Stopping and deleting go through the change layer (replay/change) as stop_service and
// delete_service changes named by the service name. In a report-only run the service counts as
// stopped once its stop is planned (and a stop already under way as done: nothing is waited
// for), and as not installed once its deletion is planned.
#pragma once

#include <string>

// False only when the service manager says the service does not exist; any other failure
// counts as installed.
bool is_service_installed(const std::string& service);

// Stops the service (waiting at most 30000 ms in all, polling every 1000 ms) and, with `remove`,
// deletes it. True when the service was stopped and, with `remove`, deleted.
bool stop_and_delete_service(const std::string& service, bool remove);

// The DisplayName of the first registered service (in key name order) whose ImagePath starts
// the executable `exe_name`; empty when there is none.
std::string find_service_by_image(const std::string& exe_name);

// Deletes the registry key of the first registered service (in key name order) whose ImagePath
// starts the executable `exe_name`. True when a key was deleted.
bool kill_service_by_image(const std::string& exe_name);

// Stops and (with `remove`) deletes the service `service`, looking it up by `exe_name` when no
// service of that name exists. When that fails, ends the processes named `exe_name` and, with
// `remove`, deletes the service's registration from the registry.
void remove_service(const std::string& service, const std::string& exe_name, bool remove);
