#include "config/config_storage.h"

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "config/archive_text.h"
#include "config/configuration_protection.h"
#include "config/protected_file.h"
#include "replay/change/planned_changes.h"
#include "replay/unique_handle.h"
#include "testing/failing_changes.h"
#include "testing/files.h"
#include "testing/log_capture.h"
#include "testing/scratch_folder.h"
#include "testing/text.h"

namespace config {
namespace {

using test_support::ansi;

products_impl products(std::vector<const wchar_t*> ids) {
  products_impl record;
  for (const wchar_t* id : ids) {
    record.m_products.push_back({id, std::wstring(id) + L" folder", L"C:\\P"});
  }
  return record;
}

std::vector<std::wstring> ids(const products_impl& record) {
  std::vector<std::wstring> result;
  for (const auto& entry : record.m_products) result.push_back(entry.m_product_id);
  return result;
}

std::vector<std::wstring> ids(std::vector<const wchar_t*> list) {
  return std::vector<std::wstring>(list.begin(), list.end());
}

// Opens `path` the way another program holding it would: no sharing at all.
replay::scoped_handle hold_open(const std::wstring& path) {
  return replay::scoped_handle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
}

class ConfigStorage : public ::testing::Test {
 protected:
  test_support::scratch_folder m_folder;
  test_support::captured_log m_log;
  void SetUp() override { ASSERT_TRUE(CreateDirectoryW(m_folder.path(L"Suite").c_str(), nullptr)); }

  const std::wstring m_path = m_folder.path(L"Suite\\product.cfg");
  const std::wstring m_new = m_path + L".new";
  const std::wstring m_damaged = m_path + L".new.damaged";

  // Expects load to fail with storage error kind E, the stage and path in its message, and the
  // caller's record untouched.
  template <class E>
  void expect_load_error(const std::string& stage, const std::wstring& failing_path) {
    products_impl record = products({L"SENTINEL"});
    try {
      config_storage::load(m_path, record);
      ADD_FAILURE() << "load succeeded";
    } catch (const E& error) {
      const std::string expected =
          "[Class \"products\". Error " + stage + " file: " + ansi(failing_path) + " (";
      EXPECT_EQ(0u, std::string(error.what()).find(expected)) << error.what();
    }
    EXPECT_EQ(ids({L"SENTINEL"}), ids(record));
  }

  std::string stored_bytes() const { return read_raw_file(m_path); }
};

TEST_F(ConfigStorage, SaveCreatesFoldersAndWritesTheProtectedText) {
  // Folders that do not exist yet, as on a machine without the suite.
  const std::wstring path = m_folder.path(L"Ravelins\\Suite\\product.cfg");
  config_storage::save(path, products({L"CVPRO", L"TOOLKIT"}));
  EXPECT_FALSE(test_support::exists(path + L".new"));
  EXPECT_EQ(to_archive_text(products({L"CVPRO", L"TOOLKIT"})), read_protected_file(path));
  EXPECT_EQ(std::string::npos, read_raw_file(path).find("CVPRO"));  // not readable on disk

  products_impl loaded;
  config_storage::load(path, loaded);
  EXPECT_EQ(ids({L"CVPRO", L"TOOLKIT"}), ids(loaded));
}

// A report-only run writes nothing and creates no folder; later loads read the planned bytes,
// also over a ".new" file on disk (a save would have replaced it), and a planned removal reads
// as no file at all.
TEST_F(ConfigStorage, ReportOnlyRunPlansTheWriteAndLoadsReadThePlannedList) {
  config_storage::save(m_path, products({L"CVPRO", L"TOOLKIT"}));
  config_storage::save(m_new, products({L"STALE"}));
  const std::string before = stored_bytes();
  const std::wstring elsewhere = m_folder.path(L"Ravelins\\Suite\\product.cfg");
  replay::planned_changes planned;
  {
    replay::changes_scope scope(planned);
    config_storage::save(m_path, products({L"TOOLKIT"}), L"CVPRO unregistered");
    config_storage::save(elsewhere, products({L"QLPRO"}));
    products_impl loaded;
    config_storage::load(m_path, loaded);
    EXPECT_EQ(ids({L"TOOLKIT"}), ids(loaded));
    config_storage::load(elsewhere, loaded);
    EXPECT_EQ(ids({L"QLPRO"}), ids(loaded));

    // The folder's removal, as a run plans it: its files first.
    for (const std::wstring& removed : {m_path, m_new, m_folder.path(L"Suite")}) {
      replay::change removal;
      removal.kind = removed == m_folder.path(L"Suite") ? replay::change_kind::remove_folder
                                                        : replay::change_kind::delete_file;
      removal.where = removed;
      planned.make(removal, nullptr);
    }
    EXPECT_THROW(config_storage::load(m_path, loaded), file_not_found);
  }
  EXPECT_EQ(before, stored_bytes());
  EXPECT_TRUE(test_support::exists(m_new));
  EXPECT_FALSE(test_support::exists(m_folder.path(L"Ravelins")));
  ASSERT_EQ(5u, planned.planned().size());
  const replay::change& write = planned.planned()[0];
  EXPECT_EQ(L"write file\t" + m_path + L"\tCVPRO unregistered", write.text());
  EXPECT_EQ(to_archive_text(products({L"TOOLKIT"})), unprotect_configuration_data(write.data));
  EXPECT_EQ(elsewhere, planned.planned()[1].where);
}

// A write the layer refuses (the backup, or a fault made by a test) is a failed write: the
// target stays as it was and no ".new" file is left.
TEST_F(ConfigStorage, WriteRefusedByTheLayerFailsAsAWrite) {
  config_storage::save(m_path, products({L"CVPRO", L"TOOLKIT"}));
  const std::string before = stored_bytes();
  try {
    const test_support::failing_changes failing(1, ERROR_ACCESS_DENIED,
                                                replay::change_kind::write_file);
    config_storage::save(m_path, products({L"TOOLKIT"}), L"CVPRO unregistered");
    ADD_FAILURE() << "save succeeded";
  } catch (const storage_error& error) {
    const std::string expected = "Class \"products\". Error writting file: " + ansi(m_path) +
                                 " ([failed to write file (5)])";
    EXPECT_NE(std::string::npos, std::string(error.what()).find(expected)) << error.what();
  }
  EXPECT_EQ(before, stored_bytes());
  EXPECT_FALSE(test_support::exists(m_new));
}

TEST_F(ConfigStorage, SaveReplacesAnExistingFile) {
  config_storage::save(m_path, products({L"CVPRO", L"TOOLKIT"}));
  config_storage::save(m_path, products({L"TOOLKIT"}));
  products_impl loaded;
  config_storage::load(m_path, loaded);
  EXPECT_EQ(ids({L"TOOLKIT"}), ids(loaded));
  EXPECT_FALSE(test_support::exists(m_new));
}

// An interrupted save left a complete ".new" file: it is the newest state and takes over.
TEST_F(ConfigStorage, NewFileWinsAndReplacesTheTarget) {
  for (const bool target_present : {true, false}) {
    SCOPED_TRACE(target_present ? "beside product.cfg" : "alone");
    if (target_present)
      config_storage::save(m_path, products({L"CVPRO", L"TOOLKIT"}));
    else
      DeleteFileW(m_path.c_str());
    write_protected_file(m_new, to_archive_text(products({L"TOOLKIT"})));

    products_impl loaded;
    config_storage::load(m_path, loaded);
    EXPECT_EQ(ids({L"TOOLKIT"}), ids(loaded));
    EXPECT_FALSE(test_support::exists(m_new));
    EXPECT_EQ(to_archive_text(products({L"TOOLKIT"})), read_protected_file(m_path));
  }
}

// A ".new" file cut off anywhere must not hide a good product.cfg: the good file wins, stays
// as it was, and the damaged file is set aside for inspection.
TEST_F(ConfigStorage, CutNewFileLosesToAGoodTarget) {
  config_storage::save(m_path, products({L"CVPRO", L"TOOLKIT"}));
  const std::string good_bytes = stored_bytes();
  const std::string newer_text = to_archive_text(products({L"TOOLKIT"}));
  const std::string newer_blob = protect_configuration_data(newer_text);

  struct cut {
    const char* name;
    std::string bytes;
  };
  const std::vector<cut> cuts = {
      {"empty", ""},
      {"one byte of the blob", newer_blob.substr(0, 1)},
      {"half the blob", newer_blob.substr(0, newer_blob.size() / 2)},
      {"blob less one byte", newer_blob.substr(0, newer_blob.size() - 1)},
      {"text cut in the header", protect_configuration_data(newer_text.substr(0, 70))},
      {"text cut in the record", protect_configuration_data(newer_text.substr(0, 300))},
      {"text cut before its end tag",
       protect_configuration_data(newer_text.substr(0, newer_text.size() - 12))},
  };
  for (const cut& c : cuts) {
    SCOPED_TRACE(c.name);
    write_raw_file(m_new, c.bytes);
    products_impl loaded;
    config_storage::load(m_path, loaded);
    EXPECT_EQ(ids({L"CVPRO", L"TOOLKIT"}), ids(loaded));
    EXPECT_EQ(good_bytes, stored_bytes());
    EXPECT_FALSE(test_support::exists(m_new));
    EXPECT_EQ(c.bytes, read_raw_file(m_damaged));
    EXPECT_TRUE(m_log.contains(3, "set aside"));
  }
}

TEST_F(ConfigStorage, DamagedNewFileAloneIsKeptAndReported) {
  write_raw_file(m_new, "not protected");
  expect_load_error<storage_error>("open", m_new);
  EXPECT_EQ("not protected", read_raw_file(m_new));
  EXPECT_FALSE(test_support::exists(m_path));
}

TEST_F(ConfigStorage, BothFilesDamagedFails) {
  write_raw_file(m_new, "not protected");
  write_raw_file(m_path, "not protected either");
  expect_load_error<storage_error>("open", m_path);
  EXPECT_EQ("not protected", read_raw_file(m_new));
}

TEST_F(ConfigStorage, NoFileIsReportedAsNotFound) {
  expect_load_error<file_not_found>("open", m_path);
}

// Files that exist but cannot be read are a plain storage error, never "not found".
TEST_F(ConfigStorage, BadFilesFailWithTheirStage) {
  const std::string good = to_archive_text(products({L"CVPRO", L"TOOLKIT"}));
  const std::string id = "<m_product_id>CVPRO</m_product_id>";
  const std::string name = "<m_product_name>CVPRO folder</m_product_name>";
  std::string swapped = good;
  swapped.replace(swapped.find(id), id.size(), name);
  swapped.replace(swapped.find(name, swapped.find(name) + 1), name.size(), id);
  std::string bad_count = good;
  bad_count.replace(bad_count.find("<count>2"), 8, "<count>x");
  std::string bad_header = good;
  bad_header.replace(bad_header.find("<!DOCTYPE"), 9, "<!DOCTYPO");

  struct bad_file {
    const char* name;
    std::string bytes;
    const char* stage;
  };
  const bad_file cases[] = {
      {"empty", "", "open"},
      {"truncated blob", protect_configuration_data(good).substr(0, 40), "open"},
      {"plain xml", good, "open"},
      {"protected non-archive xml", protect_configuration_data("<products/>\n"), "open"},
      {"damaged header", protect_configuration_data(bad_header), "open"},
      {"swapped elements", protect_configuration_data(swapped), "parsing"},
      {"bad number", protect_configuration_data(bad_count), "parsing"},
      {"text cut in the record", protect_configuration_data(good.substr(0, 400)), "parsing"},
  };
  for (const bad_file& c : cases) {
    SCOPED_TRACE(c.name);
    write_raw_file(m_path, c.bytes);
    expect_load_error<storage_error>(c.stage, m_path);
    EXPECT_EQ(c.bytes, stored_bytes());
  }
}

TEST_F(ConfigStorage, WrongEntropyFailsToOpen) {
  write_raw_file(m_path, protect_configuration_data("x"));  // readable control
  std::string blob;
  {
    std::string text = to_archive_text(products({L"CVPRO"}));
    DATA_BLOB data = {static_cast<DWORD>(text.size()), reinterpret_cast<BYTE*>(&text[0])};
    char other[] = "Tq4rXzK";
    DATA_BLOB entropy = {7, reinterpret_cast<BYTE*>(other)};
    DATA_BLOB out = {0, nullptr};
    ASSERT_TRUE(
        CryptProtectData(&data, L"Configuration data", &entropy, nullptr, nullptr, 5, &out));
    blob.assign(reinterpret_cast<char*>(out.pbData), out.cbData);
    LocalFree(out.pbData);
  }
  write_raw_file(m_path, blob);
  expect_load_error<storage_error>("open", m_path);
}

TEST_F(ConfigStorage, SuiteFileLoadsAndReportsItsClass) {
  const std::wstring suite_path = m_folder.path(L"suite.cfg");
  suite_impl written;
  written.m_user_name = L"jane";
  written.m_user_site = L"example.org";
  written.m_used_flag = true;
  write_protected_file(suite_path, to_archive_text(written));
  suite_impl loaded;
  config_storage::load(suite_path, loaded);
  EXPECT_EQ(L"jane", loaded.m_user_name);
  EXPECT_EQ(L"example.org", loaded.m_user_site);
  EXPECT_TRUE(loaded.m_used_flag);

  write_raw_file(suite_path, "");
  try {
    config_storage::load(suite_path, loaded);
    ADD_FAILURE() << "load succeeded";
  } catch (const storage_error& error) {
    EXPECT_EQ(0u, std::string(error.what()).find("[Class \"suite\". Error open file: "));
  }
  EXPECT_EQ(L"jane", loaded.m_user_name);
}

// A record that cannot be written as text fails before any file is touched.
TEST_F(ConfigStorage, UnwritableRecordLeavesTheTargetAlone) {
  config_storage::save(m_path, products({L"CVPRO"}));
  const std::string before = stored_bytes();
  products_impl record = products({L"CVPRO"});
  record.m_products[0].m_product_name = L"\u20ac";
  try {
    config_storage::save(m_path, record);
    ADD_FAILURE() << "save succeeded";
  } catch (const storage_error& error) {
    const std::string expected = "[Class \"products\". Error writting file: " + ansi(m_path) + " (";
    EXPECT_EQ(0u, std::string(error.what()).find(expected)) << error.what();
  }
  EXPECT_EQ(before, stored_bytes());
  EXPECT_FALSE(test_support::exists(m_new));
}

TEST_F(ConfigStorage, FolderThatCannotBeCreatedFails) {
  write_raw_file(m_folder.path(L"file"), "x");
  const std::wstring path = m_folder.path(L"file\\sub\\product.cfg");
  EXPECT_THROW(config_storage::save(path, products({L"CVPRO"})), storage_error);
}

// The ".new" file cannot be opened for writing: the save logs it at level 0 and returns.
TEST_F(ConfigStorage, UnopenableNewFileIsLoggedAndTargetKept) {
  config_storage::save(m_path, products({L"CVPRO"}));
  const std::string before = stored_bytes();
  const std::string line =
      "config_storage::save(). Failed to open file: " + test_support::utf8(m_path);

  write_raw_file(m_new, "held");
  {
    replay::scoped_handle holder = hold_open(m_new);
    ASSERT_TRUE(holder.is_valid());
    config_storage::save(m_path, products({L"TOOLKIT"}));
  }
  EXPECT_TRUE(m_log.contains(0, line));
  EXPECT_EQ(before, stored_bytes());
  DeleteFileW(m_new.c_str());

  ASSERT_TRUE(CreateDirectoryW(m_new.c_str(), nullptr));  // a folder in the file's place
  config_storage::save(m_path, products({L"TOOLKIT"}));
  EXPECT_EQ(before, stored_bytes());
  RemoveDirectoryW(m_new.c_str());
}

// A folder whose ACL allows reading only. Wine does not enforce ACLs on files and folders (and
// the tests run as the prefix's owner), so where the probe can still create a file the case is
// skipped; the held ".new" file above covers the same path through the code.
TEST_F(ConfigStorage, FolderWithoutWriteAccess) {
  config_storage::save(m_path, products({L"CVPRO"}));
  const std::string before = stored_bytes();
  const std::wstring folder = m_path.substr(0, m_path.rfind(L'\\'));
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;OICI;FRFX;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
  const BOOL set = SetFileSecurityW(folder.c_str(), DACL_SECURITY_INFORMATION, descriptor);
  LocalFree(descriptor);
  ASSERT_TRUE(set);
  const std::wstring probe = folder + L"\\probe";
  replay::scoped_handle probe_file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (probe_file.is_valid()) {
    probe_file.reset();
    DeleteFileW(probe.c_str());
    GTEST_SKIP() << "the file system does not deny writing into the folder";
  }
  config_storage::save(m_path, products({L"TOOLKIT"}));
  EXPECT_TRUE(m_log.contains(0, "config_storage::save(). Failed to open file: "));
  EXPECT_EQ(before, stored_bytes());
}

// The final replace fails (product.cfg held open by another program): the save raises, the
// target stays as it was, and the complete ".new" file is taken over by the next load.
TEST_F(ConfigStorage, FailedReplaceKeepsTargetAndNextLoadRecovers) {
  config_storage::save(m_path, products({L"CVPRO", L"TOOLKIT"}));
  const std::string before = stored_bytes();
  {
    replay::scoped_handle holder = hold_open(m_path);
    ASSERT_TRUE(holder.is_valid());
    EXPECT_THROW(config_storage::save(m_path, products({L"TOOLKIT"})), storage_error);
    EXPECT_EQ(to_archive_text(products({L"TOOLKIT"})), read_protected_file(m_new));
  }
  EXPECT_EQ(before, stored_bytes());
  products_impl loaded;
  config_storage::load(m_path, loaded);
  EXPECT_EQ(ids({L"TOOLKIT"}), ids(loaded));
  EXPECT_FALSE(test_support::exists(m_new));
}

// The ".new" file was read but cannot replace product.cfg yet: the load still succeeds.
TEST_F(ConfigStorage, LoadSucceedsWhenTheTakeOverFails) {
  config_storage::save(m_path, products({L"CVPRO", L"TOOLKIT"}));
  write_protected_file(m_new, to_archive_text(products({L"TOOLKIT"})));
  {
    replay::scoped_handle holder = hold_open(m_path);
    products_impl loaded;
    config_storage::load(m_path, loaded);
    EXPECT_EQ(ids({L"TOOLKIT"}), ids(loaded));
    EXPECT_TRUE(m_log.contains(3, "Failed to replace"));
  }
  EXPECT_TRUE(test_support::exists(m_new));
  products_impl loaded;
  config_storage::load(m_path, loaded);
  EXPECT_EQ(ids({L"TOOLKIT"}), ids(loaded));
  EXPECT_FALSE(test_support::exists(m_new));
}

// A ".new" name planted as a hard link to another file (any account may make one in a folder
// it can write): the save replaces the name with its own file and never writes the other one.
TEST_F(ConfigStorage, NewFilePlantedAsHardLinkIsNotWrittenThrough) {
  const std::wstring other = m_folder.path(L"other");
  write_raw_file(other, "keep");
  ASSERT_TRUE(CreateHardLinkW(m_new.c_str(), other.c_str(), nullptr));
  config_storage::save(m_path, products({L"CVPRO"}));
  EXPECT_EQ("keep", read_raw_file(other));
  EXPECT_FALSE(test_support::exists(m_new));
  products_impl loaded;
  config_storage::load(m_path, loaded);
  EXPECT_EQ(ids({L"CVPRO"}), ids(loaded));
}

// Links planted from a shell script (replay/file/planted_file_links_test.sh): Wine cannot make
// a symbolic link itself, but a Unix one placed in drive_c leads Windows programs to its target.
class ConfigPlantedLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("CORVANE_PLANTED_LINKS") == nullptr) GTEST_SKIP() << "no planted links";
  }
  static std::string victim(const std::wstring& name) {
    return read_raw_file(L"C:\\cvfilelinks_victims\\" + name);
  }
  test_support::captured_log m_log;
};

// The save writes its own ".new" file in the link's place: the link's target is neither
// written nor moved onto product.cfg.
TEST_F(ConfigPlantedLinkTest, SaveNeverWritesThroughANewLink) {
  const std::wstring path = L"C:\\cvfilelinks\\product.cfg";
  config_storage::save(path, products({L"CVPRO"}));
  EXPECT_EQ("keep cfg\n", victim(L"cfg.txt"));
  EXPECT_FALSE(test_support::exists(path + L".new"));
  products_impl loaded;
  config_storage::load(path, loaded);
  EXPECT_EQ(ids({L"CVPRO"}), ids(loaded));
}

// A ".new" link that cannot be read is not set aside: moving the link would move its target.
TEST_F(ConfigPlantedLinkTest, LoadNeverMovesANewLink) {
  const std::wstring path = L"C:\\cvfilelinks\\product2.cfg";
  write_protected_file(path, to_archive_text(products({L"CVPRO"})));
  products_impl loaded;
  config_storage::load(path, loaded);
  EXPECT_EQ(ids({L"CVPRO"}), ids(loaded));
  EXPECT_EQ("keep cfg2\n", victim(L"cfg2.txt"));
  EXPECT_FALSE(test_support::exists(path + L".new.damaged"));
  EXPECT_TRUE(m_log.contains(3, "Failed to set aside unreadable file"));
}

}  // namespace
}  // namespace config
