// The registry side of the demo machine's seeding: the shared writers and readers of the test
// support library (each with an explicit registry view) in the seeding's namespace, and the
// packed form of installer codes.
#pragma once

#include <string>

#include "testing/registry_seed.h"
#include "testing/text.h"

namespace seed {

using test_support::ansi;
using test_support::create_key;
using test_support::delete_tree;
using test_support::dword_row;
using test_support::key_exists;
using test_support::key_row;
using test_support::registry_row;
using test_support::seed_registry;
using test_support::set_dword;
using test_support::set_string;
using test_support::string_row;
using test_support::value_state;
using test_support::view;
using test_support::wide;

// The packed form in which Windows Installer names its keys: written here independently of the
// cleaner's own code, so that a fault there cannot hide itself in the seeding.
std::wstring packed_guid(const std::wstring& guid);

}  // namespace seed
