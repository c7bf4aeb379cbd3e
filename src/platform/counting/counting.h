// Decorators over the registry and the file system that forward every call and count it by
// kind. The benchmarks put them between the engine and a platform so that the cost of a run
// can be stated in calls, which, unlike wall time, is the same on every machine and every run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/filesystem.h"
#include "platform/registry.h"

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
  kCount,
};

[[nodiscard]] std::string_view RegistryCallName(RegistryCall call) noexcept;
[[nodiscard]] std::string_view FileCallName(FileCall call) noexcept;

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

// Every call on the registry, and on each key it hands out, is counted once, failures too.
class CountingRegistry final : public Registry {
 public:
  explicit CountingRegistry(Registry& inner) : inner_(inner) {}

  [[nodiscard]] std::unique_ptr<RegistryKey> OpenKey(Hive hive, std::string_view path,
                                                     KeyAccess access,
                                                     WinError* error = nullptr) override;
  std::unique_ptr<RegistryKey> CreateKey(Hive hive, std::string_view path,
                                         WinError* error = nullptr) override;
  WinError DeleteKey(Hive hive, std::string_view path) override;
  [[nodiscard]] std::optional<RegValue> ReadValue(Hive hive, std::string_view path,
                                                  std::string_view name,
                                                  WinError* error = nullptr) override;

  [[nodiscard]] const RegistryCallCounts& Counts() const noexcept { return counts_; }
  void ResetCounts() noexcept { counts_.Reset(); }

 private:
  std::unique_ptr<RegistryKey> Wrap(std::unique_ptr<RegistryKey> key);

  Registry& inner_;
  RegistryCallCounts counts_;
};

// Every call on the file system, and each step of a directory search, is counted once. Whole
// file reads and writes count as the one OpenFile that starts them.
class CountingFileSystem final : public FileSystem {
 public:
  explicit CountingFileSystem(FileSystem& inner) : inner_(inner) {}

  [[nodiscard]] std::unique_ptr<FileSearch> FindFirst(std::string_view pattern,
                                                      WinError* error = nullptr) override;
  [[nodiscard]] std::optional<std::string> ResolvePath(std::string_view path,
                                                       WinError* error = nullptr) override;
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

  [[nodiscard]] const FileCallCounts& Counts() const noexcept { return counts_; }
  void ResetCounts() noexcept { counts_.Reset(); }

 private:
  FileSystem& inner_;
  FileCallCounts counts_;
};

}  // namespace sv::platform
