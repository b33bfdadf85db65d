// Proxy settings of a suite installation; a new record is disabled, with no server and port 0.
#pragma once

#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/version.hpp>

#include <cstdint>
#include <string>

#include "config/wide_text.h"

namespace config {

struct proxy_impl {
  bool m_proxy_enabled = false;
  std::wstring m_proxy_server;
  std::uint16_t m_proxy_port = 0;

  template <class Archive>
  void serialize(Archive& archive, unsigned int /*version*/) {
    archive& BOOST_SERIALIZATION_NVP(m_proxy_enabled);
    serialize_wide(archive, "m_proxy_server", m_proxy_server);
    archive& BOOST_SERIALIZATION_NVP(m_proxy_port);
  }
};

}  // namespace config

BOOST_CLASS_VERSION(config::proxy_impl, 0)
