#include "backup/backup_store.h"

#include <vector>

#include "replay/file/plain_file.h"
#include "replay/unicode/unicode.h"

namespace replay {
namespace backup {

const wchar_t kIndexName[] = L"index.txt";

namespace {

DWORD write_all(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 20) ? (1u << 20) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) {
      const DWORD error = GetLastError();
      return error != 0 ? error : ERROR_WRITE_FAULT;
    }
    data += written;
    size -= written;
  }
  return 0;
}

std::vector<std::wstring> components(const std::wstring& relative) {
  std::vector<std::wstring> parts;
  std::wstring::size_type start = 0;
  while (start <= relative.size()) {
    std::wstring::size_type end = relative.find(L'\\', start);
    if (end == std::wstring::npos) end = relative.size();
    if (end > start) parts.push_back(relative.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::wstring parent_of(const std::wstring& relative) {
  const std::wstring::size_type slash = relative.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : relative.substr(0, slash);
}

}  // namespace

DWORD make_plain_folders(const std::wstring& base, const std::wstring& relative) {
  std::wstring path = base;
  for (const std::wstring& part : components(relative)) {
    path += L"\\" + part;
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      return GetLastError();
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return ERROR_CANT_ACCESS_FILE;
    }
  }
  return 0;
}

DWORD read_all(HANDLE file, std::string& bytes) {
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr)) return GetLastError();
    if (read == 0) return 0;
    bytes.append(buffer, read);
  }
}

std::wstring saved_file_path(const std::wstring& path) {
  std::wstring rest = path;
  if (rest.compare(0, 4, L"\\\\?\\") == 0) rest.erase(0, 4);
  if (rest.compare(0, 4, L"UNC\\") == 0) rest = L"\\\\" + rest.substr(4);
  std::wstring saved;
  if (rest.size() >= 3 && iswalpha(rest[0]) && rest[1] == L':' && rest[2] == L'\\') {
    saved = std::wstring(L"files\\") + static_cast<wchar_t>(towupper(rest[0]));
    rest.erase(0, 2);
  } else if (rest.compare(0, 2, L"\\\\") == 0) {
    saved = L"files\\UNC";
    rest.erase(0, 1);
  } else {
    return std::wstring();
  }
  for (const std::wstring& part : components(rest)) {
    if (part == L"." || part == L".." || part.find(L':') != std::wstring::npos) {
      return std::wstring();
    }
    saved += L"\\" + part;
  }
  return saved;
}

backup_store::backup_store(const std::wstring& folder) : m_folder(folder) {
  m_index = create_plain_file(path(kIndexName), GENERIC_WRITE, FILE_SHARE_READ);
  if (!m_index) {
    throw backup_error("cannot create the index " + to_narrow(path(kIndexName), CP_ACP, false) +
                       " (" + std::to_string(GetLastError()) + ")");
  }
}

DWORD backup_store::write_new(const std::wstring& relative, const std::string& bytes) {
  if (const DWORD error = make_plain_folders(m_folder, parent_of(relative))) return error;
  scoped_handle file = create_plain_file(path(relative), GENERIC_WRITE, 0);
  if (!file) return GetLastError();
  if (const DWORD error = write_all(file.get(), bytes.data(), bytes.size())) return error;
  if (!FlushFileBuffers(file.get())) return GetLastError();
  m_size += bytes.size();
  return 0;
}

DWORD backup_store::copy_in(HANDLE source, const std::wstring& relative) {
  FILE_BASIC_INFO basic = {};
  if (!GetFileInformationByHandleEx(source, FileBasicInfo, &basic, sizeof basic)) {
    return GetLastError();
  }
  if (const DWORD error = make_plain_folders(m_folder, parent_of(relative))) return error;
  scoped_handle file = create_plain_file(path(relative), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0);
  if (!file) return GetLastError();
  std::vector<char> buffer(1 << 16);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      return GetLastError();
    }
    if (read == 0) break;
    if (const DWORD error = write_all(file.get(), buffer.data(), read)) return error;
    m_size += read;
  }
  basic.FileAttributes &= ~FILE_ATTRIBUTE_DIRECTORY;
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic) ||
      !FlushFileBuffers(file.get())) {
    return GetLastError();
  }
  return 0;
}

DWORD backup_store::settle_file(const std::wstring& relative) {
  const scoped_handle file = open_plain_file(path(relative), GENERIC_WRITE, FILE_SHARE_READ);
  LARGE_INTEGER size = {};
  if (!file || !FlushFileBuffers(file.get()) || !GetFileSizeEx(file.get(), &size)) {
    return GetLastError();
  }
  m_size += static_cast<unsigned long long>(size.QuadPart);
  return 0;
}

DWORD backup_store::append_index(const std::string& line) {
  const std::string text = line + "\r\n";
  if (const DWORD error = write_all(m_index.get(), text.data(), text.size())) return error;
  if (!FlushFileBuffers(m_index.get())) return GetLastError();
  m_size += text.size();
  return 0;
}

}  // namespace backup
}  // namespace replay
