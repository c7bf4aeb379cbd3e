// Decorators over the registry and the file system that forward every call and count it by
// kind. The benchmarks put them between the engine and a platform so that the cost of a run
// can be stated in calls, which, unlike wall time, is the same on every machine and every run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/filesystem.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace sv::platform {

enum class RegistryCall : std::size_t {
  OpenKey,
  CreateKey,
  DeleteKey,
  EnumKey,
  EnumValue,
  QueryValue,
  ReadValue,  // a key opened and one value read, in one request
  SetValue,
  DeleteValue,
  kCount,
};

enum class FileCall : std::size_t {
  FindFirst,
  FindNext,
  ResolvePath,
  GetAttributes,
  SetAttributes,
  RemoveFile,
  RemoveDir,
  MakeDir,
  OpenFile,
  ReadVersionResource,
  QueryVersion,
  ExtractIcons,
  Identify,
  IsSystemProtectedFile,
  kCount,
};

// The system's services besides registry and files: shell folders and the like are cheap on
// one system and slow on another, so they are counted too.
enum class SystemCall : std::size_t {
  Folders,  // the Windows, system and shell folders
  UserName,
  Clock,  // local time and its conversions
  ExecutablePath,
  TextConversion,  // ANSI code page, month names
  Is64BitBuild,
  Sleep,
  ComputerName,
  kCount,
};

[[nodiscard]] std::string_view RegistryCallName(RegistryCall call) noexcept;
[[nodiscard]] std::string_view FileCallName(FileCall call) noexcept;
[[nodiscard]] std::string_view SystemCallName(SystemCall call) noexcept;

// Calls by kind. Plain counters: a counting decorator serves one thread at a time, as the runs
// it measures do.
template <typename Kind>
struct CallCounts {
  std::array<std::uint64_t, static_cast<std::size_t>(Kind::kCount)> byKind{};

  void Add(Kind kind) noexcept { ++byKind[static_cast<std::size_t>(kind)]; }
  [[nodiscard]] std::uint64_t operator[](Kind kind) const noexcept {
    return byKind[static_cast<std::size_t>(kind)];
  }
  [[nodiscard]] std::uint64_t Total() const noexcept {
    std::uint64_t total = 0;
    for (const std::uint64_t count : byKind)
      total += count;
    return total;
  }
  void Reset() noexcept { byKind.fill(0); }
};

using RegistryCallCounts = CallCounts<RegistryCall>;
using FileCallCounts = CallCounts<FileCall>;
using SystemCallCounts = CallCounts<SystemCall>;

// A reading of a clock that only goes forward, in nanoseconds.
using TickSource = std::function<std::uint64_t()>;
// The steady clock of the machine.
[[nodiscard]] TickSource SteadyTicks();

// What the decorators keep: the calls by kind and, when they were given a clock, the time
// spent inside the decorated platform by kind, so a benchmark can tell which kind of call is
// slow on the system it runs on.
template <typename Kind>
class CallMeter {
 public:
  explicit CallMeter(TickSource clock) : clock_(std::move(clock)) {}

  // Counts the call and, with a clock, adds the time `call` takes; returns what it returns.
  template <typename Call>
  decltype(auto) Measure(Kind kind, Call&& call) {
    counts_.Add(kind);
    if (!clock_) return call();
    const std::uint64_t start = clock_();
    // The time is added also when the call throws.
    struct Stop {
      CallMeter& owner;
      std::size_t slot;
      std::uint64_t began;
      ~Stop() { owner.nanoseconds_.byKind[slot] += owner.clock_() - began; }
    } stop{*this, static_cast<std::size_t>(kind), start};
    return call();
  }

  [[nodiscard]] const CallCounts<Kind>& Counts() const noexcept { return counts_; }
  // Nanoseconds by kind (all 0 without a clock).
  [[nodiscard]] const CallCounts<Kind>& Nanoseconds() const noexcept { return nanoseconds_; }
  void Reset() noexcept {
    counts_.Reset();
    nanoseconds_.Reset();
  }

 private:
  TickSource clock_;
  CallCounts<Kind> counts_;
  CallCounts<Kind> nanoseconds_;
};

// Every call on the registry, and on each key it hands out, is counted once, failures too;
// with a clock, timed too.
class CountingRegistry final : public Registry {
 public:
  explicit CountingRegistry(Registry& inner, TickSource clock = {})
      : inner_(inner), meter_(std::move(clock)) {}

  [[nodiscard]] std::unique_ptr<RegistryKey> OpenKey(Hive hive, std::string_view path,
                                                     KeyAccess access,
                                                     WinError* error = nullptr) override;
  std::unique_ptr<RegistryKey> CreateKey(Hive hive, std::string_view path,
                                         WinError* error = nullptr) override;
  WinError DeleteKey(Hive hive, std::string_view path) override;
  [[nodiscard]] std::optional<RegValue> ReadValue(Hive hive, std::string_view path,
                                                  std::string_view name,
                                                  WinError* error = nullptr) override;

  [[nodiscard]] const RegistryCallCounts& Counts() const noexcept { return meter_.Counts(); }
  [[nodiscard]] const RegistryCallCounts& Nanoseconds() const noexcept {
    return meter_.Nanoseconds();
  }
  void ResetCounts() noexcept { meter_.Reset(); }

 private:
  std::unique_ptr<RegistryKey> Wrap(std::unique_ptr<RegistryKey> key);

  Registry& inner_;
  CallMeter<RegistryCall> meter_;
};

// Every call on the file system, and each step of a directory search, is counted once (and
// timed, with a clock). Whole file reads and writes count as the one OpenFile that starts them.
class CountingFileSystem final : public FileSystem {
 public:
  explicit CountingFileSystem(FileSystem& inner, TickSource clock = {})
      : inner_(inner), meter_(std::move(clock)) {}

  [[nodiscard]] std::unique_ptr<FileSearch> FindFirst(std::string_view pattern,
                                                      WinError* error = nullptr) override;
  [[nodiscard]] std::optional<std::string> ResolvePath(std::string_view path,
                                                       WinError* error = nullptr) override;
  [[nodiscard]] std::optional<PathIdentity> Identify(std::string_view path,
                                                     WinError* error = nullptr) override;
  [[nodiscard]] bool IsSystemProtectedFile(std::string_view path) override;
  [[nodiscard]] FileAttributes GetAttributes(std::string_view path,
                                             WinError* error = nullptr) override;
  WinError SetAttributes(std::string_view path, FileAttributes attributes) override;
  WinError RemoveFile(std::string_view path) override;
  WinError RemoveDir(std::string_view path) override;
  WinError MakeDir(std::string_view path) override;
  [[nodiscard]] std::unique_ptr<File> OpenFile(std::string_view path, FileAccess access,
                                               unsigned share, Disposition disposition,
                                               WinError* error = nullptr) override;
  [[nodiscard]] std::optional<std::vector<std::uint8_t>> ReadVersionResource(
      std::string_view path) override;
  [[nodiscard]] std::vector<std::uint32_t> QueryVersionTranslations(
      const std::vector<std::uint8_t>& block) override;
  [[nodiscard]] std::optional<std::string> QueryVersionString(
      const std::vector<std::uint8_t>& block, std::string_view subBlock) override;
  [[nodiscard]] ExtractedIcons ExtractIcons(std::string_view path, int index) override;

  [[nodiscard]] const FileCallCounts& Counts() const noexcept { return meter_.Counts(); }
  [[nodiscard]] const FileCallCounts& Nanoseconds() const noexcept { return meter_.Nanoseconds(); }
  void ResetCounts() noexcept { meter_.Reset(); }

 private:
  FileSystem& inner_;
  CallMeter<FileCall> meter_;
};

// Every call on the system's services is counted once (and timed, with a clock).
class CountingSystem final : public System {
 public:
  explicit CountingSystem(System& inner, TickSource clock = {})
      : inner_(inner), meter_(std::move(clock)) {}

  [[nodiscard]] std::string WindowsDirectory() override;
  [[nodiscard]] std::string SystemDirectory() override;
  [[nodiscard]] std::string SpecialFolder(int csidl) override;
  [[nodiscard]] std::string UserName() override;
  [[nodiscard]] std::string ComputerName() override;
  [[nodiscard]] SystemTime LocalTimeNow() override;
  [[nodiscard]] std::optional<FileTime> FileTimeToLocal(FileTime utc) override;
  [[nodiscard]] std::string ExecutablePath() override;
  [[nodiscard]] std::uint32_t AnsiCodePage() override;
  [[nodiscard]] std::string AnsiToUtf8(std::string_view bytes) override;
  [[nodiscard]] std::string Utf8ToAnsi(std::string_view text) override;
  [[nodiscard]] std::string ShortMonthName(int month) override;
  [[nodiscard]] bool Is64BitBuild() override;
  void Sleep(std::uint32_t milliseconds) override;

  [[nodiscard]] const SystemCallCounts& Counts() const noexcept { return meter_.Counts(); }
  [[nodiscard]] const SystemCallCounts& Nanoseconds() const noexcept {
    return meter_.Nanoseconds();
  }
  void ResetCounts() noexcept { meter_.Reset(); }

 private:
  System& inner_;
  CallMeter<SystemCall> meter_;
};

}  // namespace sv::platform
