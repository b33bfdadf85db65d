#include "replay/registry2/key.h"

#include <windows.h>

#include <sddl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "gtest/gtest.h"
#include "replay/unicode/unicode.h"
#include "replay/unique_handle.h"
#include "testing/registry_seed.h"
#include "testing/scratch_key.h"

namespace replay {
namespace registry2 {
namespace {

const wchar_t kTestRoot[] = L"Software\\CorvaneTest";

std::string handle_text(HKEY handle) {
  return std::to_string(static_cast<int>(reinterpret_cast<std::intptr_t>(handle)));
}

std::wstring environment(const wchar_t* name) {
  wchar_t buffer[32768];
  DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
  return std::wstring(buffer, length);
}

// Each test works in HKCU\Software\CorvaneTest\Registry2_<test name>, made and removed here with
// the plain API so that the fixture does not depend on the code under test.
class KeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("Registry2_") + info->test_suite_name() + "_" + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    path_ = std::wstring(kTestRoot) + L"\\" + std::wstring(name.begin(), name.end());
    scratch_ = std::make_unique<test_support::scratch_key>(path_);
    ASSERT_TRUE(scratch_->is_valid());
    raw_ = scratch_->get();
  }

  void TearDown() override {
    scratch_.reset();
    EXPECT_FALSE(test_support::key_exists(HKEY_CURRENT_USER, 0, path_));
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestRoot);  // only when no other test still uses it
  }

  key scratch() const { return key(HKEY_CURRENT_USER).open(path_, false); }

  void seed(const std::wstring& name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(raw_, name.c_str(), 0, type, static_cast<const BYTE*>(data), size));
  }
  void seed_text(const std::wstring& name, DWORD type, const std::wstring& text) {
    seed(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  void seed_key(const std::wstring& subkey) {
    replay::unique_hkey created;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(raw_, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, created.receive(), nullptr));
  }
  bool key_exists(const std::wstring& subkey) {
    replay::unique_hkey opened;
    if (RegOpenKeyExW(raw_, subkey.c_str(), 0, KEY_READ, opened.receive()) == ERROR_SUCCESS) {
      return true;
    }
    opened.release();
    return false;
  }
  // Type and raw bytes of a value as stored.
  std::vector<BYTE> stored(const std::wstring& name, DWORD* type) {
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(raw_, name.c_str(), nullptr, type, nullptr, &size));
    std::vector<BYTE> data(size);
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(raw_, name.c_str(), nullptr, type, data.data(), &size));
    return data;
  }

  std::wstring path_;
  std::unique_ptr<test_support::scratch_key> scratch_;
  HKEY raw_ = nullptr;  // the scratch key's own handle
};

// ---- Error kinds, messages and what() texts ------------------------------------------------

struct ErrorCase {
  const char* label;
  std::function<void(key&)> act;
  std::type_index kind;
  std::string what;
};

void expect_error(const ErrorCase& c, key& k) {
  SCOPED_TRACE(c.label);
  try {
    c.act(k);
    ADD_FAILURE() << "nothing thrown";
  } catch (const generic& e) {
    EXPECT_EQ(c.kind, std::type_index(typeid(e)));
    EXPECT_EQ(c.what, e.what());
    EXPECT_EQ(c.what, e.what());  // a second call gives the same text
  }
}

TEST_F(KeyTest, EachFailureThrowsItsKindWithItsMessage) {
  const DWORD dword = 7;
  const unsigned long long qword = 7;
  const WORD word = 7;
  seed_text(L"text", REG_SZ, L"abc");
  seed(L"dword", REG_DWORD, &dword, sizeof(dword));
  seed(L"dword8", REG_DWORD, &qword, sizeof(qword));
  seed(L"dword2", REG_DWORD, &word, sizeof(word));
  seed_key(L"parent\\child");
  const std::wstring long_key(300, L'k');
  const HKEY bogus = reinterpret_cast<HKEY>(static_cast<std::intptr_t>(0x1234));

  const std::vector<ErrorCase> cases = {
      {"open missing key", [](key& k) { k.open(L"missing", false); }, typeid(key_error),
       "registry2.key_error[RegOpenKeyEx() failed: key \"missing\" (2)]"},
      {"open missing nested key", [](key& k) { k.open(L"parent\\none", false); }, typeid(key_error),
       "registry2.key_error[RegOpenKeyEx() failed: key \"parent\\none\" (2)]"},
      {"create a name too long", [&](key& k) { k.open(long_key, true); }, typeid(key_error),
       "registry2.key_error[RegCreateKeyEx() failed: key \"" + std::string(300, 'k') + "\" (87)]"},
      {"root that is no key", [&](key&) { key{bogus}; }, typeid(key_error),
       "registry2.key_error[RegOpenKeyEx() failed: handle 4660 (6)]"},
      {"string missing", [](key& k) { k.get_string(L"none"); }, typeid(value_error),
       "registry2.value_error[Not found: value \"none\"]"},
      {"narrow string missing", [](key& k) { k.get_string(std::string("none")); },
       typeid(value_error), "registry2.value_error[Not found: value \"none\"]"},
      {"dword missing", [](key& k) { k.get_dword(L"none"); }, typeid(value_error),
       "registry2.value_error[Not found: value \"none\"]"},
      {"string from a REG_DWORD", [](key& k) { k.get_string(L"dword"); }, typeid(type_mismatch),
       "registry2.type_mismatch[Type mismatch: value \"dword\" expected 1 found 4]"},
      {"dword from a REG_SZ", [](key& k) { k.get_dword(L"text"); }, typeid(type_mismatch),
       "registry2.type_mismatch[Type mismatch: value \"text\" expected 4 found 1]"},
      {"dword of 8 bytes", [](key& k) { k.get_dword(L"dword8"); }, typeid(size_mismatch),
       "registry2.size_mismatch[Size mismatch: value \"dword8\" expected 4 found 8]"},
      {"dword of 2 bytes", [](key& k) { k.get_dword(L"dword2"); }, typeid(size_mismatch),
       "registry2.size_mismatch[Size mismatch: value \"dword2\" expected 4 found 2]"},
      {"delete missing value", [](key& k) { k.delete_value(L"none"); }, typeid(key_error),
       "registry2.key_error[RegDeleteValue() failed: value \"none\" (2)]"},
      {"delete missing key", [](key& k) { k.delete_key(L"missing", false); }, typeid(key_error),
       "registry2.key_error[RegDeleteKey() failed: key \"missing\" (2)]"},
      {"delete missing key recursively", [](key& k) { k.delete_key(L"missing", true); },
       typeid(key_error), "registry2.key_error[RegOpenKeyEx() failed: key \"missing\" (2)]"},
      {"delete a key with subkeys", [](key& k) { k.delete_key(L"parent", false); },
       typeid(key_error), "registry2.key_error[RegDeleteKey() failed: key \"parent\" (5)]"},
  };

  key k = scratch();
  for (const ErrorCase& c : cases) expect_error(c, k);
  EXPECT_TRUE(key_exists(L"parent\\child"));  // the failed plain delete left the tree alone
}

TEST_F(KeyTest, MessagesNameTheHandleOfAFailedListing) {
  // Key names are limited to 255 characters, so only a value name can be too long for the
  // 260-character name buffer.
  const DWORD one = 1;
  seed(std::wstring(259, L'v'), REG_DWORD, &one, sizeof(one));
  key k = scratch();
  EXPECT_EQ(1u, k.value_names().count(std::wstring(259, L'v')));

  seed(std::wstring(260, L'w'), REG_DWORD, &one, sizeof(one));
  try {
    k.value_names();
    ADD_FAILURE() << "nothing thrown";
  } catch (const key_error& e) {
    EXPECT_EQ(
        "registry2.key_error[RegEnumValue() failed: handle " + handle_text(k.handle()) + " (234)]",
        e.what());
  }
}

TEST_F(KeyTest, NamesWithoutAnAnsiFormMakeTheMessageThrowTheUnicodeError) {
  const std::wstring snowman = L"\u2603";  // no ANSI form in the prefix's code page
  ASSERT_THROW(to_narrow(snowman, CP_ACP, true), unicode::unmappable_character);
  seed_key(L"present" + snowman);
  seed_text(L"text" + snowman, REG_SZ, L"abc");
  key k = scratch();

  // Operations that succeed never convert the name.
  EXPECT_EQ(L"abc", k.get_string(L"text" + snowman));
  EXPECT_NO_THROW(k.open(L"present" + snowman, false));

  EXPECT_THROW(k.open(L"missing" + snowman, false), unicode::unmappable_character);
  EXPECT_THROW(k.get_string(L"missing" + snowman), unicode::unmappable_character);
  EXPECT_THROW(k.get_dword(L"text" + snowman), unicode::unmappable_character);
  EXPECT_THROW(k.delete_value(L"missing" + snowman), unicode::unmappable_character);
  EXPECT_THROW(k.delete_key(L"missing" + snowman, false), unicode::unmappable_character);
  // The narrow form's result must convert too.
  seed_text(L"wide", REG_SZ, snowman);
  EXPECT_THROW(k.get_string(std::string("wide")), unicode::unmappable_character);
}

// ---- Name listing order ---------------------------------------------------------------------

struct OrderCase {
  const char* label;
  std::vector<std::wstring> seeded;
  std::vector<std::wstring> listed;
};

// The registry folds case, so names differing only in case cannot coexist there; the cases pick
// names whose code-unit order differs from the case-folded and from the code-point order.
const OrderCase kOrderCases[] = {
    {"upper case before underscore before lower case", {L"a", L"B", L"_"}, {L"B", L"_", L"a"}},
    {"prefix first", {L"b", L"ab", L"a", L"A1"}, {L"A1", L"a", L"ab", L"b"}},
    {"Latin-1 after ASCII", {L"\u00e9", L"f", L"E"}, {L"E", L"f", L"\u00e9"}},
    {"surrogates before the last plane-0 block",
     {L"\uff21", L"\U0001F600", L"z"},
     {L"z", L"\U0001F600", L"\uff21"}},
};

TEST_F(KeyTest, ValueNamesAreListedInCodeUnitOrder) {
  for (const OrderCase& c : kOrderCases) {
    SCOPED_TRACE(c.label);
    for (const std::wstring& name : c.seeded) seed_text(name, REG_SZ, L"x");
    key k = scratch();
    name_set names = k.value_names();
    EXPECT_EQ(c.listed, std::vector<std::wstring>(names.begin(), names.end()));
    for (const std::wstring& name : c.seeded) k.delete_value(name);
  }
}

TEST_F(KeyTest, SubkeyNamesAreListedInCodeUnitOrder) {
  for (const OrderCase& c : kOrderCases) {
    SCOPED_TRACE(c.label);
    for (const std::wstring& name : c.seeded) seed_key(name);
    key k = scratch();
    name_set names = k.subkey_names();
    EXPECT_EQ(c.listed, std::vector<std::wstring>(names.begin(), names.end()));
    for (const std::wstring& name : c.seeded) k.delete_key(name, false);
  }
}

TEST(NameSetTest, OrdersByCodeUnitWithCaseSensitivity) {
  name_set names = {L"b", L"A", L"a"};
  EXPECT_EQ((std::vector<std::wstring>{L"A", L"a", L"b"}),
            std::vector<std::wstring>(names.begin(), names.end()));
}

TEST_F(KeyTest, ListingsAreEmptyForAnEmptyKey) {
  key k = scratch();
  EXPECT_TRUE(k.subkey_names().empty());
  EXPECT_TRUE(k.value_names().empty());
}

// ---- Reading --------------------------------------------------------------------------------

struct StoredText {
  const char* label;
  DWORD type;
  std::vector<wchar_t> data;  // stored as is, no terminating zero added
  std::wstring expected;
};

TEST_F(KeyTest, GetStringDropsOneTerminatingZeroAndExpandsOnlyExpandableText) {
  const std::wstring root = environment(L"SystemRoot");
  ASSERT_FALSE(root.empty());
  const std::wstring unexpanded = L"%SystemRoot%\\system32";
  const std::vector<wchar_t> with_zero(unexpanded.c_str(),
                                       unexpanded.c_str() + unexpanded.size() + 1);
  const std::vector<StoredText> cases = {
      {"without terminating zero", REG_SZ, {L'a', L'b', L'c'}, L"abc"},
      {"with terminating zero", REG_SZ, {L'a', L'b', L'c', 0}, L"abc"},
      {"with two zeros only one goes", REG_SZ, {L'a', L'b', L'c', 0, 0}, std::wstring(L"abc\0", 4)},
      {"empty", REG_SZ, {}, L""},
      {"only a zero", REG_SZ, {0}, L""},
      {"REG_SZ stays unexpanded", REG_SZ, with_zero, unexpanded},
      {"REG_EXPAND_SZ expands", REG_EXPAND_SZ, with_zero, root + L"\\system32"},
      {"REG_EXPAND_SZ without zero",
       REG_EXPAND_SZ,
       {L'%', L'S', L'y', L's', L't', L'e', L'm', L'R', L'o', L'o', L't', L'%'},
       root},
      {"unknown variable stays", REG_EXPAND_SZ, {L'%', L'N', L'o', L'n', L'e', L'%', 0}, L"%None%"},
  };
  key k = scratch();
  for (const StoredText& c : cases) {
    SCOPED_TRACE(c.label);
    seed(L"v", c.type, c.data.data(), static_cast<DWORD>(c.data.size() * sizeof(wchar_t)));
    EXPECT_EQ(c.expected, k.get_string(L"v"));
  }
}

TEST_F(KeyTest, GetStringOfAnOddByteCountKeepsTheWholeCharacters) {
  const BYTE data[] = {'A', 0, 'B'};
  seed(L"odd", REG_SZ, data, sizeof(data));
  EXPECT_EQ(L"A", scratch().get_string(L"odd"));
}

TEST_F(KeyTest, ExpansionBeyondTheSystemLimitThrowsInsteadOfCuttingTheText) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"CORVANE_TEST_LONG", std::wstring(16000, L'x').c_str()));
  seed_text(L"fits", REG_EXPAND_SZ, L"%CORVANE_TEST_LONG%%CORVANE_TEST_LONG%");
  seed_text(L"long", REG_EXPAND_SZ, L"%CORVANE_TEST_LONG%%CORVANE_TEST_LONG%%CORVANE_TEST_LONG%");
  key k = scratch();
  EXPECT_EQ(32000u, k.get_string(L"fits").size());
  try {
    k.get_string(L"long");
    ADD_FAILURE() << "nothing thrown";
  } catch (const value_error& e) {
    EXPECT_STREQ("registry2.value_error[ExpandEnvironmentStrings() failed: value \"long\" (122)]",
                 e.what());
  }
  SetEnvironmentVariableW(L"CORVANE_TEST_LONG", nullptr);
}

TEST_F(KeyTest, NarrowGetStringReadsAnsiText) {
  seed_text(L"name\u00e9", REG_SZ, L"caf\u00e9");
  EXPECT_EQ(to_narrow(L"caf\u00e9"), scratch().get_string(to_narrow(L"name\u00e9")));
}

TEST_F(KeyTest, GetDwordReadsFourBytes) {
  const DWORD value = 0xfedcba98;
  seed(L"d", REG_DWORD, &value, sizeof(value));
  EXPECT_EQ(value, scratch().get_dword(L"d"));
}

TEST_F(KeyTest, QueryReportsTypeAndSizeAndNeverThrows) {
  seed_text(L"text", REG_EXPAND_SZ, L"abc");
  key k = scratch();
  DWORD type = 99;
  DWORD size = 99;
  EXPECT_TRUE(k.query(L"text", &type, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
  EXPECT_EQ(8u, size);
  EXPECT_FALSE(k.query(L"none", &type, &size));
  EXPECT_EQ(0u, type);
  EXPECT_FALSE(k.query(L"\u2603", nullptr, nullptr));
}

// ---- Writing --------------------------------------------------------------------------------

TEST_F(KeyTest, WritesStoreTypeAndBytesAsGiven) {
  key k = scratch();
  k.set_string(L"empty", L"");
  k.set_string(L"abc", L"abc");
  k.set_dword(L"d", 0x01020304);
  const BYTE blob[] = {1, 2, 3};
  k.set_value(L"bin", REG_BINARY, blob, sizeof(blob));

  struct Expected {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> bytes;
  };
  const Expected expected[] = {
      {L"empty", REG_SZ, {0, 0}},
      {L"abc", REG_SZ, {'a', 0, 'b', 0, 'c', 0, 0, 0}},
      {L"d", REG_DWORD, {4, 3, 2, 1}},
      {L"bin", REG_BINARY, {1, 2, 3}},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(e.name)));
    DWORD type = 0;
    EXPECT_EQ(e.bytes, stored(e.name, &type));
    EXPECT_EQ(e.type, type);
  }
  EXPECT_EQ(L"", k.get_string(L"empty"));
  EXPECT_EQ(0x01020304u, k.get_dword(L"d"));
}

TEST_F(KeyTest, DeleteValueRemovesOnlyThatValue) {
  seed_text(L"a", REG_SZ, L"1");
  seed_text(L"b", REG_SZ, L"2");
  key k = scratch();
  k.delete_value(L"a");
  EXPECT_EQ(name_set{L"b"}, k.value_names());
}

// ---- Opening, creating, deleting keys --------------------------------------------------------

TEST_F(KeyTest, OpenWithCreateMakesMissingParentsAndOpensExistingKeys) {
  key k = scratch();
  k.open(L"one\\two\\three", true).set_dword(L"d", 3);
  EXPECT_TRUE(key_exists(L"one\\two\\three"));
  EXPECT_EQ(3u, k.open(L"one\\two\\three", true).get_dword(L"d"));
  EXPECT_EQ(3u, k.open(L"one", false).open(L"two\\three", false).get_dword(L"d"));
}

TEST_F(KeyTest, RecursiveDeleteRemovesTheWholeTreeAndPlainDeleteOnlyALeaf) {
  seed_key(L"tree\\a\\deep\\deeper");
  seed_key(L"tree\\b");
  seed_key(L"keep");
  key k = scratch();
  k.open(L"tree\\a\\deep", false).set_string(L"v", L"x");

  k.delete_key(L"tree\\b", false);  // a deeper subkey by path
  EXPECT_FALSE(key_exists(L"tree\\b"));
  EXPECT_TRUE(key_exists(L"tree\\a"));

  k.delete_key(L"tree", true);
  EXPECT_FALSE(key_exists(L"tree"));
  EXPECT_EQ(name_set{L"keep"}, k.subkey_names());
}

TEST_F(KeyTest, RecursiveDeleteOfADeeperPathKeepsItsParents) {
  seed_key(L"p\\q\\r\\s");
  scratch().delete_key(L"p\\q", true);
  EXPECT_TRUE(key_exists(L"p"));
  EXPECT_FALSE(key_exists(L"p\\q"));
}

TEST_F(KeyTest, ListedKeysMayBeDeletedWhileWalkingTheList) {
  for (const wchar_t* name : {L"1", L"2", L"3", L"4"}) seed_key(std::wstring(name) + L"\\x");
  key k = scratch();
  for (const std::wstring& name : k.subkey_names()) k.delete_key(name, true);
  EXPECT_TRUE(k.subkey_names().empty());
}

// ---- Handles --------------------------------------------------------------------------------

// True while `handle` is an open registry handle.
bool is_open(HKEY handle) {
  return RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

TEST_F(KeyTest, EveryKeyClosesItsOwnHandle) {
  HKEY opened = nullptr;
  HKEY duplicated = nullptr;
  {
    key k = key(HKEY_CURRENT_USER).open(path_, false);
    opened = k.handle();
    key copy = k.duplicate();
    duplicated = copy.handle();
    EXPECT_NE(opened, duplicated);
    EXPECT_TRUE(is_open(opened));
    EXPECT_TRUE(is_open(duplicated));
  }
  EXPECT_FALSE(is_open(opened));
  EXPECT_FALSE(is_open(duplicated));
}

TEST_F(KeyTest, RootKeysStayUsableAfterAnotherRootKeyIsGone) {
  // Wine hands out the predefined handle itself for the root, and closing that is a no-op; on
  // Windows the root key may hold a handle of its own. Either way one root key's end must not
  // disturb another's.
  key first(HKEY_CURRENT_USER);
  { key second(HKEY_CURRENT_USER); }
  EXPECT_NO_THROW(first.open(path_, false));
  EXPECT_NO_THROW(first.duplicate().open(path_, false));
}

TEST_F(KeyTest, MovedKeysPassTheirHandleOnAndCloseTheReplacedOne) {
  key first = scratch();
  HKEY first_handle = first.handle();
  key second(std::move(first));
  EXPECT_EQ(nullptr, first.handle());  // NOLINT(bugprone-use-after-move): the moved-from state
  EXPECT_EQ(first_handle, second.handle());

  key third = scratch();
  HKEY third_handle = third.handle();
  third = std::move(second);
  EXPECT_EQ(first_handle, third.handle());
  EXPECT_FALSE(is_open(third_handle));
  EXPECT_TRUE(is_open(first_handle));
}

TEST_F(KeyTest, DuplicateSeesTheSameKeyAfterTheOriginalIsGone) {
  seed_text(L"v", REG_SZ, L"same");
  key copy = scratch().duplicate();
  copy.set_string(L"w", L"written");
  EXPECT_EQ(L"same", copy.get_string(L"v"));
  DWORD type = 0;
  EXPECT_EQ(16u, stored(L"w", &type).size());
}

TEST_F(KeyTest, RootKeysFollowAnOverriddenPredefinedKey) {
  // Another scratch key stands in for HKEY_LOCAL_MACHINE; the real one stays untouched.
  ASSERT_TRUE(scratch_->redirect(HKEY_LOCAL_MACHINE));
  {
    key machine(HKEY_LOCAL_MACHINE);
    machine.open(L"Software\\Corvane", true).set_dword(L"d", 1);
  }
  scratch_->restore();
  EXPECT_TRUE(key_exists(L"Software\\Corvane"));
}

// ---- Read-only keys -------------------------------------------------------------------------

// Gives the scratch subkey `name` a protected DACL of `sddl`.
void set_dacl(HKEY parent, const std::wstring& name, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  {
    replay::unique_hkey handle;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(parent, name.c_str(), 0, WRITE_DAC, handle.receive()));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetKeySecurity(handle.get(), DACL_SECURITY_INFORMATION, descriptor));
  }
  LocalFree(descriptor);
}

class ReadOnlyKeyTest : public KeyTest {
 protected:
  void SetUp() override {
    KeyTest::SetUp();
    seed_key(L"ro\\child");
    {
      replay::unique_hkey ro;
      ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(raw_, L"ro", 0, KEY_ALL_ACCESS, ro.receive()));
      RegSetValueExW(ro.get(), L"v", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
    }
    set_dacl(raw_, L"ro", L"D:P(A;;KR;;;WD)");  // everyone may read, nobody may write
  }
  void TearDown() override {
    set_dacl(raw_, L"ro", L"D:P(A;;KA;;;WD)");  // the owner may always change the DACL
    KeyTest::TearDown();
  }
};

TEST_F(ReadOnlyKeyTest, OpensForReadingAndRefusesWrites) {
  key k = scratch();
  key ro = k.open(L"ro", false);
  EXPECT_EQ(L"x", ro.get_string(L"v"));
  EXPECT_EQ(name_set{L"child"}, ro.subkey_names());
  EXPECT_EQ(name_set{L"v"}, ro.value_names());

  const std::vector<ErrorCase> writes = {
      {"set_string", [](key& r) { r.set_string(L"v", L"y"); }, typeid(value_error),
       "registry2.value_error[RegSetValueEx() failed: value \"v\" (5)]"},
      {"set_dword", [](key& r) { r.set_dword(L"d", 1); }, typeid(value_error),
       "registry2.value_error[RegSetValueEx() failed: value \"d\" (5)]"},
      {"delete_value", [](key& r) { r.delete_value(L"v"); }, typeid(key_error),
       "registry2.key_error[RegDeleteValue() failed: value \"v\" (5)]"},
  };
  for (const ErrorCase& c : writes) expect_error(c, ro);
  EXPECT_EQ(L"x", ro.get_string(L"v"));
  // Windows also refuses to create a subkey through the read-only handle; Wine does not check
  // the parent's access there, so that case is not tested.
}

TEST_F(ReadOnlyKeyTest, CreateHasNoReadOnlyRetry) {
  try {
    scratch().open(L"ro", true);
    ADD_FAILURE() << "nothing thrown";
  } catch (const key_error& e) {
    EXPECT_STREQ("registry2.key_error[RegCreateKeyEx() failed: key \"ro\" (5)]", e.what());
  }
}

}  // namespace
}  // namespace registry2
}  // namespace replay
