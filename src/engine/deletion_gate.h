// The one place through which a removal deletes anything: files, folder trees, registry keys
// and values, services, and the processes it ends. The removal policy decides; the gate asks
// it again right before each deletion (the machine may have changed since the plan was made),
// never deletes through a link, and checks afterwards that the item is gone, so a removal
// reports what it could not do instead of calling it done.
//
// In Record mode the gate decides as always but deletes nothing; the console front end's dry
// run and the detail view use it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/search_mode.h"
#include "engine/removal_plan.h"
#include "platform/platform.h"
#include "policy/removal_policy.h"
#include "registry/opUninstallRegistry.h"

namespace sv::engine {

// One decision or deletion, as an observer sees it.
struct GateEvent {
  GateAction action;
  std::string target;  // as the plan names it (a value as key path, backslash, name)
  bool refused = false;
  std::string reason = {};
  Outcome outcome = Outcome::Planned;
  const PlanItem* item = nullptr;  // the plan's item, while the observer is called

  // What was decided and what became of it; the item pointer is not part of it.
  friend bool operator==(const GateEvent& a, const GateEvent& b) {
    return a.action == b.action && a.target == b.target && a.refused == b.refused &&
           a.reason == b.reason && a.outcome == b.outcome;
  }
};

class DeletionGate {
 public:
  enum class Mode { Delete, Record };

  explicit DeletionGate(platform::Platform platform, Mode mode = Mode::Delete);
  DeletionGate(const DeletionGate&) = delete;
  DeletionGate& operator=(const DeletionGate&) = delete;

  [[nodiscard]] Mode GetMode() const noexcept { return mode_; }
  void SetSearchMode(SearchMode searches) noexcept { policy_->SetSearchMode(searches); }
  // Called for every item executed, in order.
  void SetObserver(std::function<void(const GateEvent&)> observer) {
    observer_ = std::move(observer);
  }
  [[nodiscard]] policy::RemovalPolicy& Policy() const noexcept { return *policy_; }

  // --- Decisions for the lookups (shortcuts, install folders) and the tests ---

  [[nodiscard]] bool AllowsPath(std::string_view path, policy::PathUse use = policy::PathUse::Tree,
                                policy::Source source = policy::Source::Machine) const;
  [[nodiscard]] bool AllowsKey(std::string_view fullKeyPath) const;
  [[nodiscard]] bool AllowsValue(std::string_view fullKeyPath, std::string_view valueName) const;
  // A kind 3 item: the value named by the last part of the path.
  [[nodiscard]] bool AllowsValueItem(std::string_view fullPath) const;
  [[nodiscard]] bool AllowsService(std::string_view name) const;
  [[nodiscard]] bool AllowsProcess(const platform::ProcessEntry& process) const;
  [[nodiscard]] std::optional<std::string> CanonicalPath(std::string_view path) const {
    return policy_->CanonicalPath(path);
  }
  // The folders of the policy's table on this machine, canonical and sorted.
  [[nodiscard]] std::vector<std::string> ProtectedFolders() const {
    return policy_->PlaceFolders();
  }

  // The policy's decision on an item, as the plan records it.
  [[nodiscard]] policy::Decision Decide(const PlanItem& item) const;

  // Asks the policy again, deletes (Delete mode), checks that the item is gone and tells the
  // observer.
  ItemResult Execute(const PlanItem& item);
  // An item the removal keeps without asking (it must not go once something failed).
  ItemResult Keep(const PlanItem& item, ItemResult result) const {
    return Report(item, std::move(result));
  }

 private:
  ItemResult Report(const PlanItem& item, ItemResult result) const;
  [[nodiscard]] bool StillThere(const PlanItem& item) const;
  ItemResult DeleteFile(const PlanItem& item, const std::string& canonical);
  ItemResult DeleteTree(const PlanItem& item, const std::string& canonical);
  ItemResult RemoveEmptyDir(const PlanItem& item, const std::string& canonical);
  ItemResult DeleteKey(const PlanItem& item);
  ItemResult DeleteValue(const PlanItem& item);
  ItemResult RemoveService(const PlanItem& item);
  ItemResult EndProcess(const PlanItem& item);
  // Where the system really reaches at `path`: empty when nothing is there; the final path
  // folded when something is.
  [[nodiscard]] std::optional<platform::PathIdentity> Identity(const std::string& path) const;

  platform::Platform platform_;
  std::unique_ptr<policy::RemovalPolicy> policy_;
  registry::TURegistryOp registry_;
  Mode mode_;
  std::function<void(const GateEvent&)> observer_;
};

// The text of a system error number, as a reason for the user.
[[nodiscard]] std::string ErrorText(platform::WinError error);

}  // namespace sv::engine
