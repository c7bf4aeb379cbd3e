// sorvane-bench.exe: the benchmark on a real registry and drive (a Wine prefix).
//   sorvane-bench.exe seed --size S|M|L [--folder DIR] [--real-machine]
//       writes the synthetic machine of that size through the Windows platform layer, and the
//       database (SV.dat, soft.dat) with the machine's description (machine.json) into DIR
//   sorvane-bench.exe measure [--folder DIR] [--run scan|detail|removal] [--repeat N]
//                             [--mode indexed|literal] [--target NAME] [--json FILE]
//                             [--call-times]
//       runs the scan, the detail view of one supported program or its dry-run removal N times
//       through the counting layer and reports wall time, calls by kind (with --call-times
//       also the time spent in each kind) and peak memory
// DIR is C:\SorvaneBench unless given. Exit 0 on success, 1 on a failure (a scan that does not
// find what the seeding made is one), 2 on a usage error.
#include <windows.h>
//
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "bench_runs.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "synthetic_machine.h"

namespace {

using namespace sv;
using nlohmann::json;

constexpr std::string_view kDefaultFolder = "C:\\SorvaneBench";
constexpr std::string_view kMachineFile = "machine.json";

struct Options {
  std::string command;
  std::string size;
  std::string folder{kDefaultFolder};
  bench::RunKind run = bench::RunKind::Scan;
  int repeat = 5;
  SearchMode mode = SearchMode::Indexed;
  std::string target;
  std::string jsonPath;
  bool realMachine = false;
  bool callTimes = false;
};

int Usage() {
  std::cerr << "usage: sorvane-bench seed --size S|M|L [--folder DIR] [--real-machine]\n"
               "       sorvane-bench measure [--folder DIR] [--run scan|detail|removal] "
               "[--repeat N] [--mode indexed|literal] [--target NAME] [--json FILE] "
               "[--call-times]\n";
  return 2;
}

bool RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The process's memory as the system counts it: the working set (resident pages) and the
// pagefile usage (private committed bytes), now and at their peaks.
json MemoryJson() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return json();
  return {{"workingSetBytes", counters.WorkingSetSize},
          {"peakWorkingSetBytes", counters.PeakWorkingSetSize},
          {"pagefileBytes", counters.PagefileUsage},
          {"peakPagefileBytes", counters.PeakPagefileUsage}};
}

void WriteFile(platform::FileSystem& files, const std::string& path, const std::string& text) {
  if (platform::WriteWholeFile(files, path, text) != platform::kSuccess)
    throw std::runtime_error("cannot write " + path);
}

int Seed(const Options& options) {
  if (!RunsUnderWine() && !options.realMachine) {
    std::cerr << "sorvane-bench: seeding writes thousands of made-up programs into the registry;"
                 " it runs only under Wine unless --real-machine is given\n";
    return 1;
  }
  const bench::MachineSize size = bench::SizeNamed(options.size);
  win32::Win32Platform machine;
  platform::Platform platform = machine.Get();
  const auto start = std::chrono::steady_clock::now();
  const bench::SyntheticMachine seeded = bench::SyntheticPlan(size).Seed(platform);
  (void)platform.files.MakeDir(options.folder);
  bench::WriteDatabase(platform.files, options.folder, seeded.database);
  WriteFile(platform.files, options.folder + "\\" + std::string(kMachineFile),
            bench::MachineJson(size, seeded).dump(1) + "\n");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "seeded " << size.name << ": " << seeded.uninstallEntries << " Uninstall entries, "
            << seeded.database.software.size() << " signatures, " << seeded.installerProducts
            << " Installer products, " << seeded.comClasses << " COM classes, " << seeded.components
            << " components in " << seconds << " s\n";
  return 0;
}

int Measure(const Options& options) {
  win32::Win32Platform machine;
  platform::Platform plain = machine.Get();
  const std::string description = options.folder + "\\" + std::string(kMachineFile);
  const auto text = platform::ReadWholeFile(plain.files, description);
  if (!text) throw std::runtime_error("no machine description at " + description);
  const json described = json::parse(*text);
  const bench::SyntheticMachine plan = bench::MachineFromJson(described);
  std::string target = options.target;
  if (target.empty()) {
    if (plan.supportedNames.empty()) throw std::runtime_error("the machine has no program");
    target = plan.supportedNames.front();
  }

  // Timing each call costs two clock readings per call; only when asked.
  const platform::TickSource clock = options.callTimes ? platform::SteadyTicks() : nullptr;
  platform::CountingRegistry registry(plain.registry, clock);
  platform::CountingFileSystem files(plain.files, clock);
  platform::CountingSystem system(plain.system, clock);
  const bench::RunSetup setup{
      {registry, files, system, plain.messages, plain.services, plain.processes},
      options.mode,
      target,
      options.folder + "\\SV.dat",
      options.folder + "\\soft.dat"};

  const json memoryBefore = MemoryJson();
  std::vector<double> seconds;
  bench::RunResult result;
  std::vector<std::string> problems;
  for (int round = 0; round < options.repeat; ++round) {
    registry.ResetCounts();
    files.ResetCounts();
    system.ResetCounts();
    const auto start = std::chrono::steady_clock::now();
    result = bench::Run(options.run, setup);
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (options.run == bench::RunKind::Scan && problems.empty())
      problems = bench::CompareScanWithPlan(result, plan);
  }
  const json memoryAfter = MemoryJson();

  json out = bench::CountsJson(registry, files, system, options.callTimes);
  out["platform"] = RunsUnderWine() ? "wine" : "windows";
  out["size"] = described.value("size", std::string());
  out["run"] = bench::RunKindName(options.run);
  out["mode"] = bench::SearchModeName(options.mode);
  out["target"] = target;
  out["seconds"] = seconds;
  out["medianSeconds"] = bench::Median(seconds);
  out["outcome"] = result.outcome;
  out["memoryBefore"] = memoryBefore;
  out["memory"] = memoryAfter;
  out["matchesPlan"] = problems.empty();
  out["problems"] = problems;

  std::cout << out["size"].get<std::string>() << "  " << bench::SearchModeName(options.mode) << "  "
            << bench::RunKindName(options.run) << ": median " << bench::Median(seconds) * 1000.0
            << " ms of " << seconds.size() << ", " << registry.Counts().Total()
            << " registry calls, " << files.Counts().Total() << " file calls, peak working set "
            << memoryAfter.value("peakWorkingSetBytes", 0ull) / (1024 * 1024) << " MiB ("
            << result.outcome << ")\n";
  if (!options.jsonPath.empty()) WriteFile(plain.files, options.jsonPath, out.dump(2) + "\n");
  for (const std::string& problem : problems)
    std::cerr << "sorvane-bench: " << problem << "\n";
  return problems.empty() ? 0 : 1;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  Options options;
  options.command = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--real-machine") {
      options.realMachine = true;
      continue;
    }
    if (arg == "--call-times") {
      options.callTimes = true;
      continue;
    }
    if (i + 1 >= args.size()) return Usage();
    const std::string& value = args[++i];
    if (arg == "--size") {
      options.size = value;
    } else if (arg == "--folder") {
      options.folder = value;
    } else if (arg == "--run") {
      const auto kind = bench::RunKindNamed(value);
      if (!kind) return Usage();
      options.run = *kind;
    } else if (arg == "--repeat") {
      options.repeat = std::max(1, std::atoi(value.c_str()));
    } else if (arg == "--mode") {
      const auto mode = bench::SearchModeNamed(value);
      if (!mode) return Usage();
      options.mode = *mode;
    } else if (arg == "--target") {
      options.target = value;
    } else if (arg == "--json") {
      options.jsonPath = value;
    } else {
      return Usage();
    }
  }
  if (options.command == "seed") return options.size.empty() ? Usage() : Seed(options);
  if (options.command == "measure") return Measure(options);
  return Usage();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.push_back(win32::Narrow(argv[i]));
  try {
    return Run(args);
  } catch (const std::exception& error) {
    std::cerr << "sorvane-bench: " << error.what() << "\n";
    return 1;
  }
}
