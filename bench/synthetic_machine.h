// Synthetic machines for the benchmarks and the cost tests: a number of Uninstall entries,
// database signatures, Windows Installer products, COM classes and Installer components, with
// the shares of supported, unsupported and residual programs a real machine shows. The
// machine is written through the platform interfaces only, so the same seeding serves the
// in-memory machine and a real registry and drive.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "svdb/svdb.h"

namespace sv::bench {

struct MachineSize {
  std::string_view name;
  int uninstallEntries = 0;
  int signatures = 0;
  int installerProducts = 0;
  int comClasses = 0;
  int components = 0;
};

inline constexpr MachineSize kSmall{"S", 100, 500, 100, 2000, 10000};
inline constexpr MachineSize kMedium{"M", 500, 2000, 500, 10000, 50000};
inline constexpr MachineSize kLarge{"L", 1000, 5000, 1000, 20000, 100000};

// The size of that name ("S", "M", "L"); throws std::invalid_argument for any other.
[[nodiscard]] MachineSize SizeNamed(std::string_view name);

// What was put on the machine, for the runs that follow and for checks.
struct SyntheticMachine {
  svdb::Source database;
  // Database names of programs installed and supported, with Installer, COM and component
  // registrations and files: the programs whose detail and removal the benchmark measures.
  std::vector<std::string> supportedNames;
  // Database names with leftovers only.
  std::vector<std::string> residualNames;
  int uninstallEntries = 0;
  int installerProducts = 0;
  int comClasses = 0;
  int components = 0;
};

// The database and the machine state of that size (deterministic: the same size gives the
// same machine). Nothing is written.
class SyntheticPlan {
 public:
  explicit SyntheticPlan(const MachineSize& size);
  [[nodiscard]] const MachineSize& Size() const noexcept { return size_; }

  // Writes the registry keys and files through `platform`. Program Files, the shell folders
  // and the Windows folder are taken from the platform's system, so the same plan fits any
  // prefix. Returns what was written.
  SyntheticMachine Seed(platform::Platform& platform) const;

 private:
  MachineSize size_;
};

// SV.dat and soft.dat of the machine's database, written into `folder`.
void WriteDatabase(platform::FileSystem& files, std::string_view folder,
                   const svdb::Source& database);

}  // namespace sv::bench
