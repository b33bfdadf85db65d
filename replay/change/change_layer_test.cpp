#include "replay/change/change_layer.h"

#include <gtest/gtest.h>

#include "replay/change/planned_changes.h"
#include "replay/change/real_changes.h"

namespace replay {
namespace {

change make_change(change_kind kind, const std::wstring& where, const std::wstring& value = L"") {
  change c;
  c.kind = kind;
  c.where = where;
  c.value = value;
  return c;
}

// Counts how often the real change was asked for.
struct applied_count {
  int calls = 0;
  DWORD result = 0;
  std::function<DWORD()> apply() {
    return [this] {
      ++calls;
      return result;
    };
  }
};

TEST(RealChangesTest, MakesEachChangeAndPassesItsResultOn) {
  real_changes layer;
  applied_count applied;
  applied.result = ERROR_ACCESS_DENIED;
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            layer.make(make_change(change_kind::delete_file, L"C:\\a"), applied.apply()));
  EXPECT_EQ(1, applied.calls);
  EXPECT_FALSE(layer.planning());
  EXPECT_FALSE(layer.removed_path(L"C:\\a"));
}

TEST(RealChangesTest, AnObserverThatRefusesStopsTheChange) {
  struct refusing : change_observer {
    std::vector<std::wstring> seen;
    DWORD before(const change& c) override {
      seen.push_back(c.where);
      return c.where == L"C:\\b" ? ERROR_DISK_FULL : 0;
    }
  } observer;
  real_changes layer;
  layer.set_observer(&observer);
  applied_count applied;
  EXPECT_EQ(0u, layer.make(make_change(change_kind::delete_file, L"C:\\a"), applied.apply()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL),
            layer.make(make_change(change_kind::delete_file, L"C:\\b"), applied.apply()));
  EXPECT_EQ(1, applied.calls);
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\a", L"C:\\b"}), observer.seen);
}

TEST(PlannedChangesTest, RecordsInOrderAndNeverMakesTheChange) {
  planned_changes layer;
  applied_count applied;
  EXPECT_EQ(0u, layer.make(make_change(change_kind::delete_file, L"C:\\a"), applied.apply()));
  EXPECT_EQ(0u, layer.make(make_change(change_kind::delete_key, L"HKLM\\X"), applied.apply()));
  EXPECT_EQ(0, applied.calls);
  ASSERT_EQ(2u, layer.planned().size());
  EXPECT_EQ(L"C:\\a", layer.planned()[0].where);
  EXPECT_EQ(change_kind::delete_key, layer.planned()[1].kind);
}

struct removal_case {
  const wchar_t* removed;
  const wchar_t* asked;
  bool expected;
};

TEST(PlannedChangesTest, ARemovedFolderOrKeyHidesEverythingBelowItButNotItsNeighbours) {
  const removal_case cases[] = {
      {L"C:\\ProgramData\\Ravelins", L"C:\\ProgramData\\Ravelins", true},
      {L"C:\\ProgramData\\Ravelins", L"c:\\programdata\\RAVELINS\\Suite\\a.txt", true},
      {L"C:\\ProgramData\\Ravelins\\", L"C:\\ProgramData\\Ravelins\\a", true},
      {L"C:\\ProgramData\\Ravelins", L"C:\\ProgramData\\Ravelins2", false},
      {L"C:\\ProgramData\\Ravelins", L"C:\\ProgramData", false},
  };
  for (const removal_case& c : cases) {
    planned_changes layer;
    layer.make(make_change(change_kind::remove_folder, c.removed), nullptr);
    layer.make(make_change(change_kind::delete_key, c.removed), nullptr);
    EXPECT_EQ(c.expected, layer.removed_path(c.asked)) << c.removed << " " << c.asked;
    EXPECT_EQ(c.expected, layer.removed_key(c.asked)) << c.removed << " " << c.asked;
  }
}

TEST(PlannedChangesTest, ValuesShowTheirPlannedStateAndAKeyRemovedAboveDeletesThem) {
  planned_changes layer;
  change counter = make_change(change_kind::set_value, L"HKLM\\S", L"C:\\a.dll");
  counter.value_type = REG_DWORD;
  counter.data.assign("\x02\0\0\0", 4);
  layer.make(counter, nullptr);
  layer.make(make_change(change_kind::delete_value, L"HKLM\\S", L"C:\\b.dll"), nullptr);
  DWORD type = 0;
  std::string data;
  EXPECT_EQ(planned_value::set, layer.value_after(L"hklm\\s", L"c:\\A.DLL", &type, &data));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(counter.data, data);
  EXPECT_EQ(planned_value::deleted, layer.value_after(L"HKLM\\S", L"C:\\b.dll", nullptr, nullptr));
  EXPECT_EQ(planned_value::unchanged,
            layer.value_after(L"HKLM\\S", L"C:\\c.dll", nullptr, nullptr));
  layer.make(make_change(change_kind::delete_key, L"HKLM\\S"), nullptr);
  EXPECT_EQ(planned_value::deleted, layer.value_after(L"HKLM\\S", L"C:\\a.dll", nullptr, nullptr));
}

TEST(PlannedChangesTest, RemembersWrittenFilesEndedProcessesAndServices) {
  planned_changes layer;
  change cfg = make_change(change_kind::write_file, L"C:\\ProgramData\\product.cfg");
  cfg.data = "new";
  layer.make(cfg, nullptr);
  change process = make_change(change_kind::end_process, L"cvagent.exe");
  process.detail = L"process id 42";
  layer.make(process, nullptr);
  change stop = make_change(change_kind::stop_service, L"Svc A");
  stop.detail = L"process id 77";  // a service's process ends with it
  layer.make(stop, nullptr);
  layer.make(make_change(change_kind::delete_service, L"Svc B"), nullptr);
  std::string content;
  EXPECT_TRUE(layer.written_file(L"c:\\programdata\\PRODUCT.CFG", &content));
  EXPECT_EQ("new", content);
  EXPECT_TRUE(layer.ended_process(42));
  EXPECT_FALSE(layer.ended_process(43));
  EXPECT_TRUE(layer.ended_process(77));
  EXPECT_TRUE(layer.stopped_service(L"svc a"));
  EXPECT_FALSE(layer.deleted_service(L"Svc A"));
  EXPECT_TRUE(layer.deleted_service(L"Svc B"));
  EXPECT_TRUE(layer.stopped_service(L"Svc B"));
}

TEST(ChangeTextTest, NamesWhatWhereAndDetail) {
  change value = make_change(change_kind::set_value, L"HKLM\\SOFTWARE\\X", L"C:\\a.dll");
  value.view = registry_view::view_32;
  value.detail = L"3 -> 2";
  EXPECT_EQ(L"set value\tHKLM\\SOFTWARE\\X [C:\\a.dll] (32-bit view)\t3 -> 2", value.text());
  EXPECT_EQ(L"remove folder\tC:\\A\t", make_change(change_kind::remove_folder, L"C:\\A").text());
}

TEST(ChangeLayerTest, TheProcessUsesTheRealLayerUnlessOneIsSetForAScope) {
  EXPECT_FALSE(changes().planning());
  EXPECT_STREQ("removed", would("removed", "would be removed"));
  {
    planned_changes planned;
    changes_scope scope(planned);
    EXPECT_TRUE(changes().planning());
    EXPECT_STREQ("would be removed", would("removed", "would be removed"));
  }
  EXPECT_FALSE(changes().planning());
}

}  // namespace
}  // namespace replay
