// The registration list of the shared framework: one entry per product registered with the
// Dizavad, in file order. Root record of product.cfg.
#pragma once

#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/vector.hpp>
#include <boost/serialization/version.hpp>

#include <string>
#include <vector>

#include "config/wide_text.h"

namespace config {

struct products_impl {
  struct product {
    std::wstring m_product_id;    // product code, compared exactly ("CVPRO", "TOOLKIT", ...)
    std::wstring m_product_name;  // the product's folder name
    std::wstring m_product_path;  // kept and written back unchanged

    template <class Archive>
    void serialize(Archive& archive, unsigned int /*version*/) {
      serialize_wide(archive, "m_product_id", m_product_id);
      serialize_wide(archive, "m_product_name", m_product_name);
      serialize_wide(archive, "m_product_path", m_product_path);
    }
  };

  std::vector<product> m_products;

  template <class Archive>
  void serialize(Archive& archive, unsigned int /*version*/) {
    archive& BOOST_SERIALIZATION_NVP(m_products);
  }
};

}  // namespace config

BOOST_CLASS_VERSION(config::products_impl, 0)
BOOST_CLASS_VERSION(config::products_impl::product, 0)
