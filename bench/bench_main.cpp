// sorvane-bench: the cost of a scan, of the detail view of one program and of a dry-run
// removal of one program on synthetic machines of three sizes, with the indexed and the
// literal lookups. Prints a table and writes the figures as JSON.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_runs.h"
#include "common/text.h"
#include "engine/deletion_gate.h"
#include "engine/memory_window.h"
#include "engine/threadUninstall.h"
#include "platform/counting/counting.h"
#include "platform/fake/fake_machine.h"
#include "synthetic_machine.h"

// Heap in use and its peak since the last reset: the memory a run needs beyond the machine it
// runs on. A sanitizer build keeps the sanitizer's own allocator, and reports no peak.
#if defined(__SANITIZE_ADDRESS__)
#define SV_BENCH_COUNTS_HEAP 0
#else
#define SV_BENCH_COUNTS_HEAP 1
#endif

namespace {
std::atomic<long long> gHeapNow{0};
std::atomic<long long> gHeapPeak{0};
}  // namespace

#if SV_BENCH_COUNTS_HEAP
static void* Allocate(std::size_t size) {
  // The size is kept in front of the block so that delete knows how much goes.
  void* block = std::malloc(size + sizeof(std::max_align_t));
  if (!block) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  const long long now = gHeapNow += static_cast<long long>(size);
  long long peak = gHeapPeak.load();
  while (now > peak && !gHeapPeak.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(block) + sizeof(std::max_align_t);
}

static void Release(void* pointer) noexcept {
  if (!pointer) return;
  void* block = static_cast<char*>(pointer) - sizeof(std::max_align_t);
  gHeapNow -= static_cast<long long>(*static_cast<std::size_t*>(block));
  std::free(block);
}

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* pointer) noexcept {
  Release(pointer);
}
void operator delete[](void* pointer) noexcept {
  Release(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
  Release(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
  Release(pointer);
}
#endif

namespace {

using namespace sv;
using nlohmann::json;

constexpr std::string_view kOwnFolder = "C:\\Program Files\\Sorvane";

struct Options {
  std::vector<std::string> sizes{"S"};
  std::vector<SearchMode> modes{SearchMode::Indexed, SearchMode::Literal};
  int runs = 3;
  std::string jsonPath;
};

struct Measure {
  std::string run;
  std::vector<double> seconds;
  nlohmann::json counts;
  long long peakHeap = 0;
  std::string outcome;  // what the run produced, so a reader sees both modes agree
};

// One size: the machine is made once; each run then goes through counting decorators.
json RunSize(const bench::MachineSize& size, const Options& options) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  const std::string ownExe = std::string(kOwnFolder) + "\\Sorvane.exe";
  machine.system.executablePath = ownExe;
  machine.files.PutFile(ownExe, "MZ");
  machine.files.PutIcons(ownExe, 1);
  platform::Platform plain = machine.Get();
  const auto seedStart = std::chrono::steady_clock::now();
  const bench::SyntheticMachine seeded = bench::SyntheticPlan(size).Seed(plain);
  bench::WriteDatabase(machine.files, kOwnFolder, seeded.database);
  const double seedSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - seedStart).count();
  const std::string target = seeded.supportedNames.at(0);

  json sizeJson{{"size", size.name},
                {"uninstallEntries", seeded.uninstallEntries},
                {"signatures", seeded.database.software.size()},
                {"installerProducts", seeded.installerProducts},
                {"comClasses", seeded.comClasses},
                {"components", seeded.components},
                {"seedSeconds", seedSeconds},
                {"target", target}};

  for (const SearchMode mode : options.modes) {
    platform::CountingRegistry registry(machine.registry);
    platform::CountingFileSystem files(machine.files);
    platform::CountingSystem system(machine.system);
    platform::Platform platform{registry,         files, system, machine.messages, machine.services,
                                machine.processes};

    const auto measure = [&](std::string name, auto body) {
      Measure result;
      result.run = std::move(name);
      for (int run = 0; run < options.runs; ++run) {
        registry.ResetCounts();
        files.ResetCounts();
        system.ResetCounts();
        gHeapPeak = gHeapNow.load();
        const long long base = gHeapNow.load();
        const auto start = std::chrono::steady_clock::now();
        std::string outcome = body();
        result.seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        result.peakHeap = std::max(result.peakHeap, gHeapPeak.load() - base);
        result.counts = bench::CountsJson(registry, files, system);
        result.outcome = std::move(outcome);
      }
      return result;
    };

    const bench::RunSetup setup{platform, mode, target, {}, {}};
    std::vector<Measure> measures;
    for (const bench::RunKind kind :
         {bench::RunKind::Scan, bench::RunKind::Detail, bench::RunKind::Removal}) {
      measures.push_back(measure(std::string(bench::RunKindName(kind)), [&] {
        bench::RunResult result = bench::Run(kind, setup);
        // A faster scan that finds something else is no result at all.
        if (kind == bench::RunKind::Scan) {
          const auto problems = bench::CompareScanWithPlan(result, seeded);
          if (!problems.empty())
            throw std::runtime_error(std::string(bench::SearchModeName(mode)) +
                                     " scan: " + problems.front());
        }
        return result.outcome;
      }));
    }

    for (const Measure& m : measures) {
      const double median = bench::Median(m.seconds);
      std::cout << size.name << "  " << bench::SearchModeName(mode) << "  " << m.run << ": "
                << median * 1000.0 << " ms, " << m.counts["registryTotal"] << " registry calls, "
                << m.counts["fileTotal"] << " file calls, peak heap " << m.peakHeap / 1024
                << " KiB (" << m.outcome << ")\n";
      json runJson = m.counts;
      runJson["run"] = m.run;
      runJson["mode"] = bench::SearchModeName(mode);
      runJson["medianSeconds"] = median;
      runJson["seconds"] = m.seconds;
      runJson["peakHeapBytes"] = m.peakHeap;
      runJson["outcome"] = m.outcome;
      sizeJson["runs"].push_back(std::move(runJson));
    }
  }
  return sizeJson;
}

int Usage() {
  std::cerr << "usage: sorvane-bench [--sizes S,M,L] [--modes indexed,literal] [--runs N] "
               "[--json FILE]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  options.jsonPath = (std::filesystem::path(argv[0]).parent_path() / "bench-results.json").string();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const std::string value = argv[++i];
    if (arg == "--sizes") {
      options.sizes = SplitCommaList(value);
    } else if (arg == "--modes") {
      options.modes.clear();
      for (const std::string& mode : SplitCommaList(value)) {
        const auto named = bench::SearchModeNamed(mode);
        if (!named) return Usage();
        options.modes.push_back(*named);
      }
    } else if (arg == "--runs") {
      options.runs = std::max(1, std::atoi(value.c_str()));
    } else if (arg == "--json") {
      options.jsonPath = value;
    } else {
      return Usage();
    }
  }

  json out{{"platform", "fake"}, {"runsPerMeasure", options.runs}};
  try {
    for (const std::string& name : options.sizes)
      out["sizes"].push_back(RunSize(bench::SizeNamed(name), options));
  } catch (const std::exception& failure) {
    std::cerr << "sorvane-bench: " << failure.what() << "\n";
    return 1;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  out["maxResidentKiB"] = usage.ru_maxrss;
  std::ofstream(options.jsonPath) << out.dump(2) << "\n";
  std::cout << "written " << options.jsonPath << "\n";
  if (!SV_BENCH_COUNTS_HEAP) std::cout << "(a sanitizer build: heap peaks not measured)\n";
  return 0;
}
