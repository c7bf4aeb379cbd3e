#include "platform/fake/fake_services.h"

namespace sv::fake {

using platform::WinError;

struct FakeServices::Entry {
  std::string name;  // as created
  std::uint32_t state = platform::kServiceStopped;
  int stopDelay = 0;        // status queries a stop stays pending for (negative: for ever)
  int pendingQueries = -1;  // left of the stop under way; negative: none under way
  bool marked = false;
  int openHandles = 0;
  platform::ServiceConfig config;
};

namespace {

WinError Report(WinError* error, WinError code) {
  if (error != nullptr) *error = code;
  return code;
}

std::string KeyOf(std::string_view name) {
  return std::string(FakeServices::kServicesKey) + "\\" + std::string(name);
}

}  // namespace

// A service handle: keeps its service from being removed while open.
class FakeService final : public platform::Service {
 public:
  FakeService(FakeServices& owner, std::shared_ptr<FakeServices::Entry> entry)
      : owner_(owner), entry_(std::move(entry)) {
    ++entry_->openHandles;
    ++owner_.openHandles_;
  }
  ~FakeService() override {
    --entry_->openHandles;
    --owner_.openHandles_;
    owner_.RemoveIfDone(entry_);
  }
  FakeService(const FakeService&) = delete;
  FakeService& operator=(const FakeService&) = delete;

  WinError Stop() override {
    owner_.calls_.push_back("Stop " + entry_->name);
    if (const auto fault = owner_.faults_.Find(Op::StopService, entry_->name)) return *fault;
    switch (entry_->state) {
      case platform::kServiceStopped:
        return platform::kErrorServiceNotActive;
      case platform::kServiceRunning:
        break;
      default:  // starting, or already stopping
        return platform::kErrorServiceCannotAcceptCtrl;
    }
    if (entry_->stopDelay == 0) {
      entry_->state = platform::kServiceStopped;
    } else {
      entry_->state = platform::kServiceStopPending;
      entry_->pendingQueries = entry_->stopDelay;  // negative: it never gets there
    }
    return platform::kSuccess;
  }

  std::optional<std::uint32_t> QueryState(WinError* error) override {
    owner_.calls_.push_back("QueryState " + entry_->name);
    if (const auto fault = owner_.faults_.Find(Op::QueryServiceState, entry_->name)) {
      Report(error, *fault);
      return std::nullopt;
    }
    if (entry_->state == platform::kServiceStopPending && entry_->pendingQueries >= 0) {
      if (entry_->pendingQueries == 0) {
        entry_->state = platform::kServiceStopped;
      } else {
        --entry_->pendingQueries;
      }
    }
    Report(error, platform::kSuccess);
    return entry_->state;
  }

  std::optional<platform::ServiceConfig> QueryConfig(WinError* error) override {
    owner_.calls_.push_back("QueryConfig " + entry_->name);
    if (const auto fault = owner_.faults_.Find(Op::QueryServiceConfig, entry_->name)) {
      Report(error, *fault);
      return std::nullopt;
    }
    Report(error, platform::kSuccess);
    return entry_->config;
  }

  WinError Delete() override {
    owner_.calls_.push_back("Delete " + entry_->name);
    if (const auto fault = owner_.faults_.Find(Op::DeleteService, entry_->name)) return *fault;
    if (entry_->marked) return platform::kErrorServiceMarkedForDelete;
    entry_->marked = true;
    return platform::kSuccess;
  }

 private:
  FakeServices& owner_;
  std::shared_ptr<FakeServices::Entry> entry_;
};

class FakeServiceManager final : public platform::ServiceManager {
 public:
  explicit FakeServiceManager(FakeServices& owner) : owner_(owner) { ++owner_.openHandles_; }
  ~FakeServiceManager() override { --owner_.openHandles_; }
  FakeServiceManager(const FakeServiceManager&) = delete;
  FakeServiceManager& operator=(const FakeServiceManager&) = delete;

  std::unique_ptr<platform::Service> Open(std::string_view name, WinError* error) override {
    owner_.calls_.push_back("OpenService " + std::string(name));
    if (const auto fault = owner_.faults_.Find(Op::OpenService, name)) {
      Report(error, *fault);
      return nullptr;
    }
    // Windows reads a name only up to a NUL; an empty name is no name.
    if (name.empty() || name.find('\0') != std::string_view::npos) {
      Report(error, platform::kErrorInvalidName);
      return nullptr;
    }
    auto entry = owner_.Find(name);
    if (!entry) {
      Report(error, platform::kErrorServiceDoesNotExist);
      return nullptr;
    }
    // A service marked for deletion can still be opened (and asked, and stopped): Windows and
    // Wine only refuse to delete it a second time.
    Report(error, platform::kSuccess);
    return std::make_unique<FakeService>(owner_, std::move(entry));
  }

 private:
  FakeServices& owner_;
};

FakeServices::FakeServices(FakeRegistry& registry, Faults& faults)
    : registry_(registry), faults_(faults) {}

FakeServices::~FakeServices() = default;

std::shared_ptr<FakeServices::Entry> FakeServices::Find(std::string_view name) const {
  const auto it = services_.find(name);
  return it == services_.end() ? nullptr : it->second;
}

void FakeServices::Create(std::string_view name, std::uint32_t state, std::string_view imagePath) {
  // A name with a separator would put the key somewhere else; Windows refuses such names.
  if (name.empty() || name.find_first_of(std::string_view("\\/\0", 3)) != std::string_view::npos) {
    return;
  }
  if (const auto existing = Find(name)) {
    SetState(name, state);
    return;
  }
  auto entry = std::make_shared<Entry>();
  entry->name = std::string(name);
  entry->state = state;
  // What CreateService stores for an own-process service started on demand with no account,
  // group or dependencies given.
  entry->config.serviceType = 0x10;
  entry->config.startType = 3;
  entry->config.errorControl = 1;
  entry->config.binaryPath = std::string(imagePath);
  entry->config.account = "LocalSystem";
  entry->config.displayName = entry->name;
  services_.emplace(entry->name, entry);
  // The values CreateService writes for an own-process service started on demand.
  if (auto key = registry_.CreateKey(platform::Hive::LocalMachine, KeyOf(name))) {
    key->SetValue("Type", platform::DwordValue(entry->config.serviceType));
    key->SetValue("Start", platform::DwordValue(entry->config.startType));
    key->SetValue("ErrorControl", platform::DwordValue(entry->config.errorControl));
    if (!imagePath.empty()) {
      key->SetValue("ImagePath", {platform::kRegExpandSz, std::string(imagePath)});
    }
  }
}

void FakeServices::SetConfig(std::string_view name, platform::ServiceConfig config) {
  if (const auto entry = Find(name)) entry->config = std::move(config);
}

void FakeServices::SetStopDelay(std::string_view name, int pendingQueries) {
  if (const auto entry = Find(name)) entry->stopDelay = pendingQueries;
}

void FakeServices::SetState(std::string_view name, std::uint32_t state) {
  const auto entry = Find(name);
  if (!entry) return;
  entry->state = state;
  // Only a stop asked through a handle ends by itself.
  entry->pendingQueries = -1;
  RemoveIfDone(entry);
}

bool FakeServices::Exists(std::string_view name) const {
  return Find(name) != nullptr;
}

std::optional<std::uint32_t> FakeServices::State(std::string_view name) const {
  const auto entry = Find(name);
  if (!entry) return std::nullopt;
  return entry->state;
}

bool FakeServices::MarkedForDelete(std::string_view name) const {
  const auto entry = Find(name);
  return entry && entry->marked;
}

std::unique_ptr<platform::ServiceManager> FakeServices::OpenManager(WinError* error) {
  calls_.emplace_back("OpenManager");
  if (const auto fault = faults_.Find(Op::OpenServiceManager, "")) {
    Report(error, *fault);
    return nullptr;
  }
  Report(error, platform::kSuccess);
  return std::make_unique<FakeServiceManager>(*this);
}

void FakeServices::RemoveIfDone(const std::shared_ptr<Entry>& entry) {
  if (!entry->marked || entry->openHandles > 0 || entry->state != platform::kServiceStopped) {
    return;
  }
  const auto it = services_.find(entry->name);
  if (it == services_.end() || it->second != entry) return;
  services_.erase(it);
  DeleteKeyTree(KeyOf(entry->name));
}

// The service manager removes the whole key, sub-keys (Parameters, Enum, ...) included.
void FakeServices::DeleteKeyTree(const std::string& path) {
  if (auto key = registry_.OpenKey(platform::Hive::LocalMachine, path, platform::KeyAccess::Read)) {
    std::vector<std::string> children;
    for (std::uint32_t i = 0; const auto child = key->EnumKey(i); ++i)
      children.push_back(*child);
    key.reset();
    for (const std::string& child : children)
      DeleteKeyTree(path + "\\" + child);
  }
  (void)registry_.DeleteKey(platform::Hive::LocalMachine, path);
}

}  // namespace sv::fake
