// One update source of a suite installation (element of suite_impl::m_update_paths).
#pragma once

#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/version.hpp>

#include <cstdint>
#include <string>

#include "config/wide_text.h"

namespace config {

struct update_impl {
  std::wstring m_name;
  std::wstring m_code;
  std::wstring m_local;
  std::int32_t m_update_mode = 0;
  std::int32_t m_update_type = 0;

  template <class Archive>
  void serialize(Archive& archive, unsigned int /*version*/) {
    serialize_wide(archive, "m_name", m_name);
    serialize_wide(archive, "m_code", m_code);
    serialize_wide(archive, "m_local", m_local);
    archive& BOOST_SERIALIZATION_NVP(m_update_mode);
    archive& BOOST_SERIALIZATION_NVP(m_update_type);
  }
};

}  // namespace config

BOOST_CLASS_VERSION(config::update_impl, 0)
