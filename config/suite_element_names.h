// Element names of the suite_impl members that the remover reads past without using. They are
// kept here, and only here, so that they can follow the names the suite's other programs write.
#pragma once

namespace config {
namespace suite_element_names {

constexpr const char kReservedList1[] = "m_reserved_list_1";    // vector of wide strings
constexpr const char kReservedList2[] = "m_reserved_list_2";    // vector of wide strings
constexpr const char kReservedText1[] = "m_reserved_text_1";    // wide string
constexpr const char kReservedValue1[] = "m_reserved_value_1";  // 32-bit signed integer
constexpr const char kReservedValue2[] = "m_reserved_value_2";  // 32-bit signed integer
constexpr const char kReservedValue3[] = "m_reserved_value_3";  // 32-bit signed integer
constexpr const char kReservedValue4[] = "m_reserved_value_4";  // 32-bit signed integer
constexpr const char kReservedText2[] = "m_reserved_text_2";    // wide string

}  // namespace suite_element_names
}  // namespace config
