// Wide strings in the archive text. The suite's files hold each wide character converted to the
// narrow form of the process's current C locale (wctomb when writing, mbtowc when reading). This
// Boost reads that way but writes UTF-8, so the records write their wide members through
// serialize_wide, which converts by the locale first and then writes the narrow text; the
// element is the same plain string element either way.
#pragma once

#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>

#include <string>

namespace config {

// Each character through wctomb; throws replay::exception for one that does not convert.
std::string to_locale_narrow(const std::wstring& text);

template <class Archive>
void serialize_wide(Archive& archive, const char* name, std::wstring& value) {
  if constexpr (Archive::is_saving::value) {
    const std::string narrow = to_locale_narrow(value);
    archive << boost::serialization::make_nvp(name, narrow);
  } else {
    archive >> boost::serialization::make_nvp(name, value);
  }
}

}  // namespace config
