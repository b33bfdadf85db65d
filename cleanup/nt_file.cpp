#include "cleanup/nt_file.h"

#include <winternl.h>

#include <boost/filesystem/exception.hpp>
#include <boost/filesystem/path.hpp>
#include <boost/system/error_code.hpp>
#include <cstddef>

#include "replay/change/change_layer.h"

// Declared by the driver kit only; ntdll exports them on every Windows version.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apc_routine,
                                               PVOID apc_context, PIO_STATUS_BLOCK io, PVOID buffer,
                                               ULONG length,
                                               FILE_INFORMATION_CLASS information_class,
                                               BOOLEAN single_entry, PUNICODE_STRING mask,
                                               BOOLEAN restart_scan);
extern "C" NTSTATUS NTAPI NtQueryVolumeInformationFile(HANDLE file, PIO_STATUS_BLOCK io,
                                                       PVOID buffer, ULONG length,
                                                       FS_INFORMATION_CLASS information_class);

namespace nt_file {
namespace {

constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006L);
constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005L);
constexpr NTSTATUS kNotImplemented = static_cast<NTSTATUS>(0xC0000002L);
constexpr NTSTATUS kInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003L);
constexpr NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000DL);
constexpr NTSTATUS kNotSupported = static_cast<NTSTATUS>(0xC00000BBL);
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

ACCESS_MASK access_for(open_as kind) {
  const ACCESS_MASK common = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
  if (kind == open_as::walk) return common | FILE_LIST_DIRECTORY;
  if (kind == open_as::folder) return common | FILE_LIST_DIRECTORY | DELETE;
  if (kind == open_as::file) return common | FILE_WRITE_ATTRIBUTES | DELETE;
  if (kind == open_as::probe) return common;
  return common | DELETE;
}

// The access asked for: in a report-only run only what reads the entry, never the right to
// delete or change it (which a process holding the entry open could deny).
ACCESS_MASK access_asked(open_as kind) {
  const ACCESS_MASK access = access_for(kind);
  if (!replay::changes().planning()) return access;
  return access & ~static_cast<ACCESS_MASK>(DELETE | FILE_WRITE_ATTRIBUTES);
}

// In a report-only run, the entries the planned changes removed are no longer listed.
void leave_out_removed(const std::wstring& path, std::vector<listed_entry>* entries) {
  const replay::change_layer& layer = replay::changes();
  if (!layer.planning()) return;
  std::vector<listed_entry> kept;
  for (listed_entry& entry : *entries) {
    if (!layer.removed_path(path + L"\\" + entry.name)) kept.push_back(std::move(entry));
  }
  entries->swap(kept);
}

ULONG options_for(open_as kind) {
  ULONG options =
      FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;
  if (kind == open_as::walk || kind == open_as::folder) options |= FILE_DIRECTORY_FILE;
  if (kind == open_as::file) options |= FILE_NON_DIRECTORY_FILE;
  return options;
}

std::wstring text_of(const WCHAR* text, ULONG bytes) {
  return std::wstring(text, bytes / sizeof(WCHAR));
}

// Appends the entries of one filled listing buffer.
void collect(const unsigned char* buffer, std::vector<listed_entry>* entries) {
  for (;;) {
    const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFORMATION*>(buffer);
    listed_entry entry;
    entry.name = text_of(info->FileName, info->FileNameLength);
    entry.short_name = text_of(info->ShortName, static_cast<ULONG>(info->ShortNameLength));
    entry.attributes = info->FileAttributes;
    entry.file_id = info->FileId.QuadPart;
    if (entry.name != L"." && entry.name != L"..") entries->push_back(std::move(entry));
    if (info->NextEntryOffset == 0) return;
    buffer += info->NextEntryOffset;
  }
}

}  // namespace

void fail(const char* operation, const std::wstring& path, DWORD code) {
  throw boost::filesystem::filesystem_error(
      operation, boost::filesystem::path(path),
      boost::system::error_code(static_cast<int>(code), boost::system::system_category()));
}

replay::scoped_handle open_trusted_folder(const std::wstring& path) {
  replay::scoped_handle folder(
      CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (folder) return folder;
  const DWORD code = GetLastError();
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return folder;
  fail("boost::filesystem::directory_iterator::construct", path, code);
}

std::vector<listed_entry> list(HANDLE folder, const std::wstring& path) {
  std::vector<listed_entry> entries;
  alignas(LONGLONG) unsigned char buffer[16 * 1024];
  BOOLEAN restart = TRUE;
  for (;;) {
    IO_STATUS_BLOCK io = {};
    const NTSTATUS status =
        NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, buffer, sizeof(buffer),
                             FileIdBothDirectoryInformation, FALSE, nullptr, restart);
    restart = FALSE;
    if (status == kNoMoreFiles) {
      leave_out_removed(path, &entries);
      return entries;
    }
    if (!NT_SUCCESS(status)) {
      fail("boost::filesystem::directory_iterator::operator++", path,
           RtlNtStatusToDosError(status));
    }
    collect(buffer, &entries);
  }
}

DWORD open_below(HANDLE folder, const std::wstring& name, open_as kind,
                 replay::scoped_handle* entry) {
  if (name.empty() || name.size() * sizeof(WCHAR) > 0xFFFE) return ERROR_INVALID_NAME;
  UNICODE_STRING text;
  text.Buffer = const_cast<PWSTR>(name.c_str());
  text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(WCHAR));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK io = {};
  const NTSTATUS status = NtOpenFile(entry->receive(), access_asked(kind), &attributes, &io,
                                     kShareAll, options_for(kind));
  return NT_SUCCESS(status) ? 0 : RtlNtStatusToDosError(status);
}

namespace {

// The three parts of an identity, each by its own query: cheaper than GetFileInformationByHandle,
// which reads every time stamp and size as well.
bool read_parts(HANDLE entry, identity* out) {
  IO_STATUS_BLOCK io = {};
  FILE_INTERNAL_INFORMATION index = {};
  struct {
    ULONG attributes;
    ULONG reparse_tag;
  } tag = {};
  struct {
    LARGE_INTEGER creation_time;
    ULONG serial_number;
    ULONG label_length;
    BOOLEAN supports_objects;
    WCHAR label[1];
  } volume = {};
  if (!NT_SUCCESS(
          NtQueryInformationFile(entry, &io, &index, sizeof(index), FileInternalInformation)) ||
      !NT_SUCCESS(
          NtQueryInformationFile(entry, &io, &tag, sizeof(tag), FileAttributeTagInformation))) {
    return false;
  }
  // The label may not fit: the serial number is filled in even so.
  const NTSTATUS status =
      NtQueryVolumeInformationFile(entry, &io, &volume, sizeof(volume), FileFsVolumeInformation);
  if (!NT_SUCCESS(status) && status != kBufferOverflow) return false;
  out->attributes = tag.attributes;
  out->volume = volume.serial_number;
  out->file_index = static_cast<ULONGLONG>(index.IndexNumber.QuadPart);
  return true;
}

// The fixed part of FILE_ALL_INFORMATION and the longest name the system can give, in bytes.
constexpr ULONG kAllFixed = offsetof(FILE_ALL_INFORMATION, NameInformation.FileName);
constexpr ULONG kLongestName = 32767 * sizeof(WCHAR);

// Takes the place from a filled FILE_ALL_INFORMATION of `size` bytes.
bool take_all(const unsigned char* buffer, ULONG size, place* out) {
  const auto* all = reinterpret_cast<const FILE_ALL_INFORMATION*>(buffer);
  const ULONG name_bytes = all->NameInformation.FileNameLength;
  if (name_bytes > size - kAllFixed || name_bytes > kLongestName) return false;
  out->attributes = all->BasicInformation.FileAttributes;
  out->file_index = static_cast<ULONGLONG>(all->InternalInformation.IndexNumber.QuadPart);
  out->name = text_of(all->NameInformation.FileName, name_bytes);
  return true;
}

// The place in one query (FileAllInformation); `unanswered` tells whether the file system does
// not answer that query at all.
bool read_all(HANDLE entry, place* out, bool* unanswered) {
  alignas(LONGLONG) unsigned char first[2048];
  std::vector<LONGLONG> larger;
  unsigned char* buffer = first;
  ULONG size = sizeof(first);
  for (;;) {
    IO_STATUS_BLOCK io = {};
    const NTSTATUS status = NtQueryInformationFile(entry, &io, buffer, size, FileAllInformation);
    if (status == kBufferOverflow && size < kAllFixed + kLongestName) {
      larger.resize((kAllFixed + kLongestName) / sizeof(LONGLONG) + 1);
      buffer = reinterpret_cast<unsigned char*>(larger.data());
      size = static_cast<ULONG>(larger.size() * sizeof(LONGLONG));
      continue;
    }
    *unanswered = status == kInvalidInfoClass || status == kNotImplemented ||
                  status == kInvalidParameter || status == kNotSupported;
    return NT_SUCCESS(status) && take_all(buffer, size, out);
  }
}

// The place in three queries, for file systems that do not answer FileAllInformation.
bool read_place_in_parts(HANDLE entry, place* out) {
  identity seen;
  std::vector<LONGLONG> buffer((sizeof(FILE_NAME_INFORMATION) + kLongestName) / sizeof(LONGLONG) +
                               1);
  IO_STATUS_BLOCK io = {};
  FILE_INTERNAL_INFORMATION index = {};
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  if (!NT_SUCCESS(
          NtQueryInformationFile(entry, &io, &index, sizeof(index), FileInternalInformation)) ||
      !GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof(tag)) ||
      !NT_SUCCESS(NtQueryInformationFile(entry, &io, buffer.data(),
                                         static_cast<ULONG>(buffer.size() * sizeof(LONGLONG)),
                                         FileNameInformation))) {
    return false;
  }
  const auto* name = reinterpret_cast<const FILE_NAME_INFORMATION*>(buffer.data());
  if (name->FileNameLength > kLongestName) return false;
  out->attributes = tag.FileAttributes;
  out->file_index = static_cast<ULONGLONG>(index.IndexNumber.QuadPart);
  out->name = text_of(name->FileName, name->FileNameLength);
  return true;
}

}  // namespace

bool read_identity(HANDLE entry, identity* out) {
  return read_parts(entry, out);
}

bool read_place(HANDLE entry, place* out) {
  bool unanswered = false;
  if (read_all(entry, out, &unanswered)) return true;
  return unanswered && read_place_in_parts(entry, out);
}

DWORD delete_on_close(HANDLE entry) {
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof(disposition))) {
    return 0;
  }
  return GetLastError();
}

bool clear_read_only(HANDLE entry) {
  FILE_BASIC_INFO basic = {};
  if (!GetFileInformationByHandleEx(entry, FileBasicInfo, &basic, sizeof(basic)) ||
      (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) == 0) {
    return false;
  }
  // Zero time stamps leave the times as they are; no attribute left is written as "normal".
  FILE_BASIC_INFO changed = {};
  changed.FileAttributes = basic.FileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (changed.FileAttributes == 0) changed.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(entry, FileBasicInfo, &changed, sizeof(changed)) != FALSE;
}

}  // namespace nt_file
