// Folder removal benchmark: builds a program-folder-like tree of 6,000 files (20 folders of 10
// sub-folders of 30 files) and times, in one run and the same prefix, the race-free removal the
// clean-up uses for program folders (remove_folder_below) against the obvious path-based removal
// of an identical tree by the standard library's and by Boost's remove_all. Counts the file calls
// each makes per removed entry (files and folders). Rounds alternate the order of the removals;
// the last lines are the medians and the ratios of the race-free removal to each yardstick.
//   tree_removal_bench.exe [ROUNDS] [FILES_PER_FOLDER]
#include <windows.h>

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/file_call_counter.h"
#include "cleanup/folders.h"
#include "replay/unicode/unicode.h"

namespace {

const wchar_t kBase[] = L"C:\\tree-removal-bench";
constexpr int kFolders = 20;
constexpr int kSubFolders = 10;

double now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void make_folder(const std::wstring& path) {
  if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    std::fprintf(stderr, "cannot create %ls (%lu)\n", path.c_str(), GetLastError());
    std::exit(2);
  }
}

void make_file(const std::wstring& path) {
  static const char content[] = "a file of the program folder, a few bytes long\r\n";
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  if (file == INVALID_HANDLE_VALUE ||
      !WriteFile(file, content, sizeof(content) - 1, &written, nullptr)) {
    std::fprintf(stderr, "cannot create %ls (%lu)\n", path.c_str(), GetLastError());
    std::exit(2);
  }
  CloseHandle(file);
}

// Builds the tree at `root`; returns its number of entries (files and folders, `root` included).
long build_tree(const std::wstring& root, int files_per_folder) {
  long entries = 1;
  make_folder(root);
  for (int f = 0; f < kFolders; ++f) {
    const std::wstring folder = root + L"\\Component " + std::to_wstring(f);
    make_folder(folder);
    ++entries;
    for (int s = 0; s < kSubFolders; ++s) {
      const std::wstring sub = folder + L"\\Part" + std::to_wstring(s);
      make_folder(sub);
      ++entries;
      for (int i = 0; i < files_per_folder; ++i) {
        make_file(sub + L"\\module_" + std::to_wstring(i) + L".dll");
        ++entries;
      }
    }
  }
  return entries;
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct measurement {
  double seconds = 0;
  std::uint64_t calls = 0;
  std::map<std::string, std::uint64_t> by_function;
};

measurement measure(const std::function<void()>& removal) {
  const std::map<std::string, std::uint64_t> before = file_calls();
  const std::uint64_t calls = file_calls_total();
  const double start = now();
  removal();
  measurement m;
  m.seconds = now() - start;
  m.calls = file_calls_total() - calls;
  for (const auto& [name, count] : file_calls()) {
    const auto was = before.find(name);
    const std::uint64_t made = count - (was == before.end() ? 0 : was->second);
    if (made > 0) m.by_function[name] = made;
  }
  return m;
}

struct removal {
  const char* name;
  std::function<void(const std::wstring& root)> remove;
  std::vector<double> seconds;
  measurement last;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void print_calls(const removal& r, long entries) {
  std::printf("  %-32s %.2f calls per entry:", r.name,
              static_cast<double>(r.last.calls) / static_cast<double>(entries));
  for (const auto& [name, count] : r.last.by_function) {
    std::printf(" %s %.2f", name.c_str(),
                static_cast<double>(count) / static_cast<double>(entries));
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  install_file_call_counter();
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int files_per_folder = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
  const std::string base = replay::to_narrow(kBase);
  std::vector<removal> removals = {
      {"race-free removal",
       [&](const std::wstring& root) { remove_folder_below(base, replay::to_narrow(root)); },
       {},
       {}},
      {"std::filesystem::remove_all",
       [](const std::wstring& root) { std::filesystem::remove_all(std::filesystem::path(root)); },
       {},
       {}},
      {"boost::filesystem::remove_all",
       [](const std::wstring& root) {
         boost::filesystem::remove_all(boost::filesystem::path(root));
       },
       {},
       {}},
  };
  make_folder(kBase);
  long entries = 0;
  for (int round = 0; round < rounds; ++round) {
    std::vector<std::wstring> roots;
    for (std::size_t i = 0; i < removals.size(); ++i) {
      roots.push_back(std::wstring(kBase) + L"\\Program " + std::to_wstring(i));
      entries = build_tree(roots.back(), files_per_folder);
    }
    std::printf("round %d:", round + 1);
    for (std::size_t k = 0; k < removals.size(); ++k) {
      // Each round starts with another removal, so that none always runs on the freshest tree.
      const std::size_t i = (k + static_cast<std::size_t>(round)) % removals.size();
      removal& r = removals[i];
      r.last = measure([&] { r.remove(roots[i]); });
      if (exists(roots[i])) {
        std::printf("\n%s left %ls behind\n", r.name, roots[i].c_str());
        return 1;
      }
      r.seconds.push_back(r.last.seconds);
    }
    for (const removal& r : removals) std::printf(" %s %.3f s;", r.name, r.seconds.back());
    std::printf("\n");
    std::fflush(stdout);
  }
  RemoveDirectoryW(kBase);
  std::printf("tree: %ld entries (%d files)\n", entries, kFolders * kSubFolders * files_per_folder);
  for (const removal& r : removals) print_calls(r, entries);
  const double ours = median(removals[0].seconds);
  std::printf("median of %d rounds: race-free %.3f s, std %.3f s, boost %.3f s\n", rounds, ours,
              median(removals[1].seconds), median(removals[2].seconds));
  std::printf("ratio race-free / std::filesystem::remove_all: %.3f\n",
              ours / median(removals[1].seconds));
  std::printf("ratio race-free / boost::filesystem::remove_all: %.3f\n",
              ours / median(removals[2].seconds));
  return 0;
}
