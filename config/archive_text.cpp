#include "config/archive_text.h"

#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>

#include <cctype>
#include <sstream>

#include "replay/exception/exception.h"

namespace config {
namespace {

// The suite's other programs write archive library version 8 and choose their reading paths by
// that number, while this Boost writes its own (newer) number. Apart from the wide strings (see
// wide_text.h) the header is the only part of the text that differs between the two for these
// records, and the text is built in memory
// anyway, so the one header line is rewritten after the archive is done. This keeps the stock
// xml_oarchive (flags 0) for everything else; deriving from xml_oarchive is unsupported by the
// library, and a separate archive class would need the library's template sources for the same
// bytes. Should a different Boost write a different header, the rewrite refuses to guess.
constexpr char kHeaderStart[] =
    "<boost_serialization signature=\"serialization::archive\" version=\"";
constexpr char kDocumentPrefix[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
    "<!DOCTYPE boost_serialization>\n";

std::string with_archive_version(std::string text) {
  const std::string expected = std::string(kDocumentPrefix) + kHeaderStart;
  if (text.compare(0, expected.size(), expected) != 0) {
    throw replay::exception("unexpected archive header");
  }
  const std::size_t number = expected.size();
  const std::size_t quote = text.find('"', number);
  if (quote == std::string::npos || quote == number) {
    throw replay::exception("unexpected archive header");
  }
  return text.replace(number, quote - number, std::to_string(kArchiveVersion));
}

template <class Record>
std::string write_text(const Record& record, const char* root_name) {
  std::ostringstream stream;
  {
    boost::archive::xml_oarchive archive(stream);
    archive << boost::serialization::make_nvp(root_name, record);
  }  // the archive closes the text as it is destroyed
  if (!stream) throw replay::exception("failed to build the archive text");
  return with_archive_version(stream.str());
}

bool is_space(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The rest of the text after the root record: the closing boost_serialization tag and white
// space only.
void check_trailer(std::istringstream& stream) {
  const std::streampos position = stream.tellg();
  if (!stream || position < 0) throw replay::exception("archive text cut short");
  const std::string& text = stream.str();
  std::size_t at = static_cast<std::size_t>(position);
  while (at < text.size() && is_space(text[at])) ++at;
  static const std::string kTrailer = "</boost_serialization>";
  if (text.compare(at, kTrailer.size(), kTrailer) != 0) {
    throw replay::exception("archive text cut short or followed by other data");
  }
  for (at += kTrailer.size(); at < text.size(); ++at) {
    if (!is_space(text[at])) throw replay::exception("data after the end of the archive");
  }
}

}  // namespace

std::string to_archive_text(const products_impl& record, const char* root_name) {
  return write_text(record, root_name);
}

std::string to_archive_text(const suite_impl& record, const char* root_name) {
  return write_text(record, root_name);
}

// The archive reads its closing tag in its destructor, where an early end of the text would
// throw and so end the process. The trailer is therefore checked by read() instead, and the
// stream is marked failed before the archive goes, which makes the archive skip its own check.
struct archive_reader::state {
  explicit state(const std::string& text) : stream(text) {}
  ~state() {
    stream.setstate(std::ios::failbit);
    archive.reset();
  }
  std::istringstream stream;
  std::unique_ptr<boost::archive::xml_iarchive> archive;
};

archive_reader::archive_reader(const std::string& text) : m_state(new state(text)) {
  m_state->archive.reset(new boost::archive::xml_iarchive(m_state->stream));
}

archive_reader::~archive_reader() = default;

void archive_reader::read(products_impl& record) {
  *m_state->archive >> boost::serialization::make_nvp(kReadRootName, record);
  check_trailer(m_state->stream);
}

void archive_reader::read(suite_impl& record) {
  *m_state->archive >> boost::serialization::make_nvp(kReadRootName, record);
  check_trailer(m_state->stream);
}

void from_archive_text(const std::string& text, products_impl& record) {
  archive_reader(text).read(record);
}

void from_archive_text(const std::string& text, suite_impl& record) {
  archive_reader(text).read(record);
}

}  // namespace config
