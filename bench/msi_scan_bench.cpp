// Root-store scan benchmark ("--seed-only": only seeds): seeds the prefix with a large synthetic
// registry (once), then times, in one run, locate_root_stores + list_installer_stores of each form
// against the bare recursive walk of the same hives, checks that both find the same roots and
// stores with the same numbers and log lines, and reports the registry calls per key. The last line
// is the native ratio.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/bare_walk.h"
#include "bench/call_counter.h"
#include "bench/synthetic_registry.h"
#include "msi_cleaner/installer_stores.h"
#include "replay/log/listener.h"
#include "replay/log/log.h"

namespace {

std::vector<std::string> g_lines;

class line_keeper : public replay::log::listener {
 public:
  void write(int, const std::string&, const std::string& text) override { g_lines.push_back(text); }
};

struct measurement {
  double seconds = 0;
  std::uint64_t calls = 0;
  std::vector<std::string> lines;
};

double now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

measurement measure(const std::function<std::vector<std::string>()>& run) {
  measurement m;
  std::uint64_t calls = registry_calls();
  double start = now();
  m.lines = run();
  m.seconds = now() - start;
  m.calls = registry_calls() - calls;
  return m;
}

template <typename Stores>
std::vector<std::string> scan() {
  replay::log_shutdown();
  g_lines.clear();
  replay::log_add_listener(new line_keeper);
  int counter = 0;
  Stores roots;
  Stores stores;
  locate_root_stores(counter, roots);
  list_installer_stores(counter, roots, stores);
  replay::log_shutdown();
  return g_lines;
}

void report(const char* form, const measurement& bare, const measurement& fast, long keys) {
  std::printf(
      "%s form: bare walk %.2f s, %llu calls (%.2f per key); scan %.2f s, %llu calls "
      "(%.2f per key); ratio %.3f\n",
      form, bare.seconds, static_cast<unsigned long long>(bare.calls),
      static_cast<double>(bare.calls) / keys, fast.seconds,
      static_cast<unsigned long long>(fast.calls), static_cast<double>(fast.calls) / keys,
      fast.seconds / bare.seconds);
  const bool same = bare.lines == fast.lines;
  std::printf("%s form: %zu lines, %s\n", form, fast.lines.size(),
              same ? "identical roots, numbers and log lines" : "RESULTS DIFFER");
  if (!same) {
    for (const std::string& line : bare.lines) std::printf("  bare: %s\n", line.c_str());
    for (const std::string& line : fast.lines) std::printf("  scan: %s\n", line.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  install_registry_call_counter();
  double start = now();
  long created = seed_synthetic_registry();
  std::printf("seeded %ld keys in %.1f s\n", created, now() - start);
  // --seed-only: leave the seeded registry for another benchmark (bench/run_pass_bench.sh).
  if (argc > 1 && std::string(argv[1]) == "--seed-only") return 0;

  long keys = 0;
  measurement bare_native = measure([&] {
    bare_walk_result r = bare_walk_native();
    keys = r.keys;
    return r.lines;
  });
  measurement native = measure(scan<key_stores>);
  std::printf("keys walked (native rules): %ld\n", keys);
  report("native", bare_native, native, keys);

  long keys64 = 0;
  measurement bare_wow64 = measure([&] {
    bare_walk_result r = bare_walk_wow64();
    keys64 = r.keys;
    return r.lines;
  });
  measurement wow64 = measure(scan<path_stores>);
  std::printf("keys walked (WOW64 rules): %ld\n", keys64);
  report("WOW64", bare_wow64, wow64, keys64);

  std::fflush(stdout);
  std::printf("ratio native/bare: %.3f\n", native.seconds / bare_native.seconds);
  return bare_native.lines == native.lines && bare_wow64.lines == wow64.lines ? 0 : 1;
}
