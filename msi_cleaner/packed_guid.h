// Packed GUIDs: the 32-digit form in which Windows Installer names its registry keys and values.
//
//   pack_guid(L"{01234567-89AB-CDEF-0123-456789ABCDEF}") == L"76543210BA98FEDC1032547698BADCFE"
//   unpack_guid(L"76543210BA98FEDC1032547698BADCFE") == L"{01234567-89AB-CDEF-0123-456789ABCDEF}"
#pragma once

#include <string>

// Upper-cases `text`, keeps its hexadecimal digits and reorders the first 32 of them into the
// packed form (applied to a packed GUID it gives the digits back in GUID order). Returns an empty
// string when `text` holds fewer than 32 hexadecimal digits: such a name is no packed GUID.
std::wstring pack_guid(const std::wstring& text);

// The 38-character GUID text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" of a packed GUID, or an
// empty string when `packed` holds fewer than 32 hexadecimal digits.
std::wstring unpack_guid(const std::wstring& packed);
