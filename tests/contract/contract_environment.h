// The platform contract: one set of tests that runs against the fake machine on the host and
// against the real Windows implementation under Wine, so the fake cannot drift from the system
// it stands for. Each test binary supplies MakeContractEnvironment for its backend.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace sv::testing {

enum class VersionFixture {
  // A version resource with a translation table for 0409/04B0 and FileVersion "1.7.5.199".
  WithTranslation,
  // A string table 040904B0 with FileVersion "2.0.0.1" but no "VarFileInfo" block.
  WithoutTranslation,
};

// A process a test started through its environment.
struct StartedProcess {
  std::uint32_t processId = 0;
  std::string exeFile;  // as the snapshot reports it
};

class ContractEnvironment {
 public:
  virtual ~ContractEnvironment() = default;
  [[nodiscard]] virtual platform::Platform Platform() = 0;
  // "fake" or "win32", for messages.
  [[nodiscard]] virtual std::string Backend() const = 0;
  // A folder that exists, is empty, and is removed after the test.
  [[nodiscard]] virtual std::string ScratchFolder() = 0;
  // A key below HKEY_CURRENT_USER (path without hive) that exists, is empty, and is removed
  // after the test.
  [[nodiscard]] virtual std::string ScratchKey() = 0;
  // Places an executable with the given version resource at `path`.
  virtual void PutVersionedFile(const std::string& path, VersionFixture fixture) = 0;
  // Places a program with two icons (resource ids 1 and 2, in that order) at `path`.
  virtual void PutIconFile(const std::string& path) = 0;
  // A name that no other test run uses, for what is machine-wide (services).
  [[nodiscard]] virtual std::string UniqueName() = 0;
  // Installs a stopped service of this name (own process, started on demand, displayed by its
  // name) whose program exists; it is removed after the test if it is still there.
  virtual void InstallService(const std::string& name) = 0;
  // The program InstallService gives its services.
  [[nodiscard]] virtual std::string ServiceProgram() = 0;
  // Starts a program that waits for a minute or two; it is ended after the test if it still
  // runs.
  [[nodiscard]] virtual StartedProcess StartWaitingProcess() = 0;
  // Waits (a few seconds at most) until a process this environment started has ended;
  // whether it has.
  [[nodiscard]] virtual bool WaitForExit(std::uint32_t processId) = 0;
  // GetShortPathName of an existing path; empty where the backend has no 8.3 names.
  [[nodiscard]] virtual std::optional<std::string> ShortPath(const std::string& path) = 0;
  // Makes a symbolic link at `link` (inside the scratch folder) to `target`, a folder link or a
  // file link, the way the backend's system makes one; under Wine that is a Unix symbolic
  // link. False when the backend cannot make one. Cleaning up removes the link itself, never
  // what it leads to.
  [[nodiscard]] virtual bool MakeLink(const std::string& link, const std::string& target,
                                      bool directory) = 0;
};

[[nodiscard]] std::unique_ptr<ContractEnvironment> MakeContractEnvironment();

// Base fixture of the contract tests.
class PlatformContract : public ::testing::Test {
 protected:
  void SetUp() override { env_ = MakeContractEnvironment(); }
  void TearDown() override { env_.reset(); }

  platform::Registry& Registry() { return env_->Platform().registry; }
  platform::FileSystem& Files() { return env_->Platform().files; }
  platform::System& System() { return env_->Platform().system; }
  platform::Services& Services() { return env_->Platform().services; }
  platform::Processes& Processes() { return env_->Platform().processes; }

  std::unique_ptr<ContractEnvironment> env_;
};

}  // namespace sv::testing
