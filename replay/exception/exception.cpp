#include "replay/exception/exception.h"

#include <cstdarg>

#include "replay/exception/format.h"

namespace replay {
namespace {

// Lenient wide-to-ANSI conversion: unmappable characters become the code page's default
// character. Kept here (not in replay/unicode) because the exception family sits below it.
std::string lenient_ansi(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    std::string ascii;
    for (wchar_t c : text) ascii += c < 0x80 ? static_cast<char>(c) : '?';
    return ascii;
  }
  std::string narrow(size, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, &narrow[0], size, nullptr, nullptr);
  return narrow;
}

}  // namespace

exception::exception() = default;

exception::exception(const std::string& message) : m_message(message) {}

exception::exception(const char* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    m_message = vformat(format, args);
  } catch (...) {
    // A broken format still leaves a readable message.
    m_message = format != nullptr ? format : "";
  }
  va_end(args);
}

exception::~exception() = default;

const char* exception::what() const noexcept {
  m_what = m_category + "[" + m_message + "]";
  return m_what.c_str();
}

std::string exception::message() const {
  return m_message;
}

std::string exception::category() const {
  return m_category;
}

void exception::append_category(const char* name) {
  if (!m_category.empty()) m_category += ".";
  m_category += name;
}

exception_w::exception_w(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    m_message_w = vformat(format, args);
  } catch (...) {
    m_message_w = format != nullptr ? format : L"";
  }
  va_end(args);
}

exception_w::~exception_w() = default;

const char* exception_w::what() const noexcept {
  synchronise();
  return exception::what();
}

std::string exception_w::message() const {
  synchronise();
  return exception::message();
}

std::string exception_w::category() const {
  synchronise();
  return exception::category();
}

const std::wstring& exception_w::what_w() const {
  m_what_w = m_category_w + L"[" + m_message_w + L"]";
  return m_what_w;
}

const std::wstring& exception_w::message_w() const {
  return m_message_w;
}

const std::wstring& exception_w::category_w() const {
  return m_category_w;
}

void exception_w::synchronise() const {
  if (m_synchronised) return;
  m_category = lenient_ansi(m_category_w);
  m_message = lenient_ansi(m_message_w);
  m_synchronised = true;
}

std::string system_error_text(DWORD code) {
  char* buffer = nullptr;
  const DWORD flags =
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;
  const DWORD length =
      FormatMessageA(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                     reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer != nullptr) {
    text.assign(buffer, length);
    LocalFree(buffer);
  }
  // The system ends its texts with a line break.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace replay
