// The core library's exception family. Every failure of the library and of the configuration
// layer is thrown as a replay::exception (or a kind derived from it); what() gives the dotted
// category followed by the message in square brackets.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace replay {

class exception : public std::exception {
 public:
  explicit exception(const std::string& message);
  // printf-style narrow format; the text grows until it fits.
  exception(const char* format, ...) __attribute__((format(ms_printf, 2, 3)));
  ~exception() override;

  const char* what() const noexcept override;
  virtual std::string message() const;
  virtual std::string category() const;

 protected:
  exception();
  // Appends a kind's name to the category ("registry2" then "registry2.key_error").
  void append_category(const char* name);

  mutable std::string m_what;
  mutable std::string m_message;
  mutable std::string m_category;
};

// Carries a wide message; the narrow view is made on first use in the ANSI code page, lenient.
class exception_w : public exception {
 public:
  exception_w(const wchar_t* format, ...);
  ~exception_w() override;

  const char* what() const noexcept override;
  std::string message() const override;
  std::string category() const override;
  virtual const std::wstring& what_w() const;
  virtual const std::wstring& message_w() const;
  virtual const std::wstring& category_w() const;

 private:
  void synchronise() const;

  mutable std::wstring m_what_w;
  std::wstring m_message_w;
  std::wstring m_category_w;
  mutable bool m_synchronised = false;
};

// Declares a kind derived from BASE whose category gains NAME.
#define REPLAY_EXCEPTION_KIND(KIND, BASE, NAME)                                          \
  class KIND : public BASE {                                                             \
   public:                                                                               \
    explicit KIND(const std::string& message) : BASE(message) { append_category(NAME); } \
  }

// Text of a Windows error code from the system's message table, without the trailing line
// break; empty when the system has none.
std::string system_error_text(DWORD code);

}  // namespace replay
