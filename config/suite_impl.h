// The settings of one product's suite installation. Root record of suite.cfg, class version 4.
// Elements added after version 0 are read only from files whose class version has them:
// m_suite_name from 1 (older files get "Suite"), m_parameters from 2, m_login_parameters from 3,
// m_used_flag from 4. Members the remover does not use are still read and kept.
#pragma once

#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/vector.hpp>
#include <boost/serialization/version.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "config/proxy_impl.h"
#include "config/suite_element_names.h"
#include "config/update_impl.h"
#include "config/wide_text.h"

namespace config {

struct suite_impl {
  static constexpr unsigned int kClassVersion = 4;

  std::wstring m_user_name;  // local part of the user's e-mail address
  std::wstring m_user_site;  // domain part of the user's e-mail address
  std::vector<std::wstring> m_reserved_list_1;
  std::vector<std::wstring> m_reserved_list_2;
  std::int32_t m_login_success = 0;
  std::wstring m_machine_id;
  std::wstring m_user_id;
  std::wstring m_reserved_text_1;
  std::int32_t m_reserved_value_1 = 0;
  std::int32_t m_reserved_value_2 = 0;
  std::int32_t m_reserved_value_3 = 0;
  std::int32_t m_reserved_value_4 = 0;
  std::int64_t m_last_synchronize_time = 0;
  std::wstring m_reserved_text_2;
  std::wstring m_msg_system_data;
  std::wstring m_last_used_language;
  std::wstring m_product_id;
  std::wstring m_partner_id;
  std::wstring m_version;
  std::wstring m_suite_name;  // from version 1
  std::wstring m_suite_launcher_path;
  std::wstring m_suite_msgsys_path;
  std::wstring m_community_url;
  std::wstring m_service_name;
  std::wstring m_service_end_point;
  std::wstring m_update_end_point;
  std::wstring m_update_url;
  std::vector<update_impl> m_update_paths;
  proxy_impl m_proxy;
  std::string m_parameters;        // from version 2
  std::string m_login_parameters;  // from version 3
  bool m_used_flag = false;        // from version 4

  template <class Archive>
  void serialize(Archive& archive, unsigned int version) {
    namespace names = suite_element_names;
    using boost::serialization::make_nvp;
    serialize_wide(archive, "m_user_name", m_user_name);
    serialize_wide(archive, "m_user_site", m_user_site);
    // Items of the string vectors go through the library's own wide-string writing (UTF-8 for
    // characters beyond ASCII); the remover only ever reads suite.cfg.
    archive& make_nvp(names::kReservedList1, m_reserved_list_1);
    archive& make_nvp(names::kReservedList2, m_reserved_list_2);
    archive& BOOST_SERIALIZATION_NVP(m_login_success);
    serialize_wide(archive, "m_machine_id", m_machine_id);
    serialize_wide(archive, "m_user_id", m_user_id);
    serialize_wide(archive, names::kReservedText1, m_reserved_text_1);
    archive& make_nvp(names::kReservedValue1, m_reserved_value_1);
    archive& make_nvp(names::kReservedValue2, m_reserved_value_2);
    archive& make_nvp(names::kReservedValue3, m_reserved_value_3);
    archive& make_nvp(names::kReservedValue4, m_reserved_value_4);
    archive& BOOST_SERIALIZATION_NVP(m_last_synchronize_time);
    serialize_wide(archive, names::kReservedText2, m_reserved_text_2);
    serialize_wide(archive, "m_msg_system_data", m_msg_system_data);
    serialize_wide(archive, "m_last_used_language", m_last_used_language);
    serialize_wide(archive, "m_product_id", m_product_id);
    serialize_wide(archive, "m_partner_id", m_partner_id);
    serialize_wide(archive, "m_version", m_version);
    if (version >= 1) {
      serialize_wide(archive, "m_suite_name", m_suite_name);
    } else {
      m_suite_name = L"Suite";
    }
    serialize_wide(archive, "m_suite_launcher_path", m_suite_launcher_path);
    serialize_wide(archive, "m_suite_msgsys_path", m_suite_msgsys_path);
    serialize_wide(archive, "m_community_url", m_community_url);
    serialize_wide(archive, "m_service_name", m_service_name);
    serialize_wide(archive, "m_service_end_point", m_service_end_point);
    serialize_wide(archive, "m_update_end_point", m_update_end_point);
    serialize_wide(archive, "m_update_url", m_update_url);
    archive& BOOST_SERIALIZATION_NVP(m_update_paths);
    archive& BOOST_SERIALIZATION_NVP(m_proxy);
    if (version >= 2) archive& BOOST_SERIALIZATION_NVP(m_parameters);
    if (version >= 3) archive& BOOST_SERIALIZATION_NVP(m_login_parameters);
    if (version >= 4) archive& BOOST_SERIALIZATION_NVP(m_used_flag);
  }
};

}  // namespace config

BOOST_CLASS_VERSION(config::suite_impl, config::suite_impl::kClassVersion)
