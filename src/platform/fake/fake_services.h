// The fake machine's service control manager. Tests create services with a state; the code
// above opens, stops, asks and deletes them as it would on Windows: names compare without
// case, a stop can take a few status queries, and a deleted service lingers until it is
// stopped and nobody holds it open. Each service has its key under
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services, made and removed as Windows does.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "platform/fake/fake_faults.h"
#include "platform/fake/fake_registry.h"
#include "platform/services.h"

namespace sv::fake {

class FakeServices final : public platform::Services {
 public:
  // Where Windows keeps each service's configuration (below HKEY_LOCAL_MACHINE).
  static constexpr std::string_view kServicesKey = "SYSTEM\\CurrentControlSet\\Services";

  FakeServices(FakeRegistry& registry, Faults& faults);
  ~FakeServices() override;
  FakeServices(const FakeServices&) = delete;
  FakeServices& operator=(const FakeServices&) = delete;

  // Installs a service (own process, demand start, normal error control, run as LocalSystem,
  // displayed by its name) with its key; `imagePath` becomes its ImagePath value and its
  // configuration's binary path when given. An existing service of that name only takes the
  // new state.
  void Create(std::string_view name, std::uint32_t state = platform::kServiceStopped,
              std::string_view imagePath = {});
  // What QueryConfig answers from now on (the service's key stays as it is).
  void SetConfig(std::string_view name, platform::ServiceConfig config);
  // A stop then leaves the service stop-pending for this many status queries before it
  // reports stopped; a negative count never lets it stop (a hung service).
  void SetStopDelay(std::string_view name, int pendingQueries);
  // Changes the state as the service itself would (it started, it crashed, ...). A service
  // put into stop-pending this way stays there until told otherwise.
  void SetState(std::string_view name, std::uint32_t state);

  [[nodiscard]] bool Exists(std::string_view name) const;
  // Empty when there is no such service.
  [[nodiscard]] std::optional<std::uint32_t> State(std::string_view name) const;
  [[nodiscard]] bool MarkedForDelete(std::string_view name) const;
  // Manager and service handles not yet closed.
  [[nodiscard]] int OpenHandleCount() const noexcept { return openHandles_; }
  // Every call in order: "OpenManager", "OpenService <name as given>", and "Stop <name>",
  // "QueryState <name>", "QueryConfig <name>", "Delete <name>" with the name as created.
  [[nodiscard]] const std::vector<std::string>& Calls() const noexcept { return calls_; }

  [[nodiscard]] std::unique_ptr<platform::ServiceManager> OpenManager(
      platform::WinError* error = nullptr) override;

  struct Entry;

 private:
  friend class FakeServiceManager;
  friend class FakeService;

  [[nodiscard]] std::shared_ptr<Entry> Find(std::string_view name) const;
  // Removes a service marked for deletion once it is stopped and closed, with its key.
  void RemoveIfDone(const std::shared_ptr<Entry>& entry);
  void DeleteKeyTree(const std::string& path);

  FakeRegistry& registry_;
  Faults& faults_;
  std::map<std::string, std::shared_ptr<Entry>, LessFoldUpper> services_;
  int openHandles_ = 0;
  std::vector<std::string> calls_;
};

}  // namespace sv::fake
