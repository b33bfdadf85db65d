// The one way this code base lists the subkeys and the values of a key: by index, one registry
// call per entry (RegEnumKeyExW / RegEnumValueW), in the order the registry hands them out.
//
// One rule for what does not fit: an entry whose name (or, for values read with their data, whose
// data) does not fit the range's buffers is never handed out, so nothing is ever acted on under a
// cut name. It is passed over, counted in skipped(), and the listing goes on with the next index.
// Any other failure of the call ends the listing; error() then gives its code (ERROR_SUCCESS
// after a listing that reached its end). The default limits are the longest names the registry
// allows (255 characters for a key, 16,383 for a value), so with them no name is ever skipped.
//
// In a report-only run (replay::changes().planning()) a subkey the run has planned to remove and
// a value it has planned to delete are not listed: the range is told the key's physical name
// (key_name.h) for that; without a name (empty) it lists what the machine holds.
//
// A range is read once, front to back. Listing by index while the key changes may skip or repeat
// entries: collect the names first when the loop deletes what it lists.
//
//   replay::registry2::subkey_range subkeys(handle);
//   for (const std::wstring& name : subkeys) names.push_back(name);
//   if (subkeys.error() != ERROR_SUCCESS || subkeys.skipped() != 0) ...  // incomplete
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace replay {
namespace registry2 {

constexpr DWORD kMaxKeyNameChars = 255;
constexpr DWORD kMaxValueNameChars = 16383;

// One value as a value range hands it out. `data` holds the value's bytes when the range reads
// data, else it stays empty.
struct value_entry {
  std::wstring name;
  DWORD type = REG_NONE;
  std::string data;

  // The data as UTF-16 text up to its first zero (a stray last byte of an odd size dropped).
  std::wstring text() const;
};

namespace detail {

// The state both ranges share; fetch() is the range's own enumeration call.
template <typename Range, typename Entry>
class listing {
 public:
  class iterator {
   public:
    explicit iterator(Range* range) : m_range(range) {}
    const Entry& operator*() const { return m_range->m_entry; }
    const Entry* operator->() const { return &m_range->m_entry; }
    iterator& operator++() {
      m_range->advance();
      return *this;
    }
    bool operator==(const iterator& other) const { return at_end() == other.at_end(); }
    bool operator!=(const iterator& other) const { return !(*this == other); }

   private:
    bool at_end() const { return m_range == nullptr || m_range->m_done; }
    Range* m_range;
  };

  // Fetches the first entry: call once.
  iterator begin() {
    static_cast<Range*>(this)->advance();
    return iterator(static_cast<Range*>(this));
  }
  iterator end() { return iterator(nullptr); }

  // Entries passed over because they did not fit.
  std::size_t skipped() const { return m_skipped; }
  // ERROR_SUCCESS, or the code of the failure that ended the listing.
  LONG error() const { return m_error; }

 protected:
  listing(HKEY handle, std::wstring planned_name, DWORD max_chars)
      : m_handle(handle),
        m_planned_name(std::move(planned_name)),
        m_buffer(static_cast<std::size_t>(max_chars) + 1) {}

  // The one rule for an enumeration call's result: true when an entry was read; a name that did
  // not fit is counted and passed over (false, the listing goes on); any other code ends the
  // listing (false, m_done), a failure kept in m_error.
  bool read_one(LONG code) {
    if (code == ERROR_MORE_DATA) {
      ++m_skipped;
      return false;
    }
    if (code == ERROR_SUCCESS) return true;
    m_error = code == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : code;
    m_done = true;
    return false;
  }

  HKEY m_handle;
  std::wstring m_planned_name;
  std::vector<wchar_t> m_buffer;
  DWORD m_index = 0;
  std::size_t m_skipped = 0;
  LONG m_error = ERROR_SUCCESS;
  bool m_done = false;
  Entry m_entry;
};

}  // namespace detail

// The names of the direct subkeys of the key `handle` (borrowed, not closed).
class subkey_range : public detail::listing<subkey_range, std::wstring> {
 public:
  // `planned_name`: the key's physical name, needed only while changes are planned.
  explicit subkey_range(HKEY handle, std::wstring planned_name = std::wstring(),
                        DWORD max_chars = kMaxKeyNameChars);

 private:
  friend class detail::listing<subkey_range, std::wstring>;
  void advance();
};

// The values of the key `handle` (borrowed, not closed): names and types, and with
// `data_bytes` > 0 also their data, read by the same call into a buffer of that many bytes (a
// value with more data is skipped).
class value_range : public detail::listing<value_range, value_entry> {
 public:
  explicit value_range(HKEY handle, std::wstring planned_name = std::wstring(),
                       DWORD data_bytes = 0, DWORD max_chars = kMaxValueNameChars);

 private:
  friend class detail::listing<value_range, value_entry>;
  void advance();
  std::vector<BYTE> m_data;
};

}  // namespace registry2
}  // namespace replay
