#include "engine/deletion_gate.h"

#include <algorithm>

#include "common/paths.h"
#include "common/text.h"
#include "engine/run_support.h"
#include "engine/threadUninstall.h"

namespace sv::engine {

namespace {

using policy::PathUse;

std::string Folded(std::string_view path) {
  return policy::FoldedPathText(path);
}

bool IsGone(platform::FileSystem& files, const std::string& path) {
  platform::WinError error = platform::kSuccess;
  return files.GetAttributes(path, &error) == platform::kInvalidAttributes &&
         (error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound);
}

std::string LinkReason(std::string_view target) {
  return "is a link, or lies behind one, to " + std::string(target) +
         ": it is kept, since the system would delete what it points at";
}

}  // namespace

std::string ErrorText(platform::WinError error) {
  switch (error) {
    case platform::kSuccess:
      return "no error";
    case 2:
      return "not found (2)";
    case 3:
      return "path not found (3)";
    case 5:
      return "access denied (5)";
    case 32:
      return "in use by another program (32)";
    case 145:
      return "the folder is not empty (145)";
    case 1060:
      return "no such service (1060)";
    case 1072:
      return "marked for deletion (1072)";
    default:
      return "error " + std::to_string(error);
  }
}

std::string_view GateActionName(GateAction action) noexcept {
  switch (action) {
    case GateAction::DeleteFile:
      return "file";
    case GateAction::DeleteTree:
      return "folder";
    case GateAction::RemoveEmptyDir:
      return "empty folder";
    case GateAction::DeleteKey:
      return "key";
    case GateAction::DeleteValue:
      return "value";
    case GateAction::RemoveService:
      return "service";
    case GateAction::EndProcess:
      return "process";
    case GateAction::SkipFolder:
      return "program folder";
  }
  return "?";
}

std::string_view OutcomeName(Outcome outcome) noexcept {
  switch (outcome) {
    case Outcome::Planned:
      return "planned";
    case Outcome::Done:
      return "done";
    case Outcome::Gone:
      return "gone";
    case Outcome::Refused:
      return "refused";
    case Outcome::Kept:
      return "kept";
    case Outcome::Failed:
      return "failed";
  }
  return "?";
}

DeletionGate::DeletionGate(platform::Platform platform, Mode mode)
    : platform_(platform),
      policy_(std::make_unique<policy::RemovalPolicy>(platform)),
      registry_(platform),
      mode_(mode) {
  registry_.UsePolicy(policy_.get());
}

bool DeletionGate::AllowsPath(std::string_view path, PathUse use, policy::Source source) const {
  return policy_->DecidePath(path, use, source).allowed;
}

bool DeletionGate::AllowsKey(std::string_view fullKeyPath) const {
  return policy_->DecideKey(fullKeyPath, policy::Source::Machine).allowed;
}

bool DeletionGate::AllowsValue(std::string_view fullKeyPath, std::string_view valueName) const {
  return policy_->DecideValue(fullKeyPath, valueName, policy::Source::Machine).allowed;
}

bool DeletionGate::AllowsValueItem(std::string_view fullPath) const {
  const std::size_t slash = fullPath.rfind('\\');
  if (slash == std::string_view::npos) return false;
  return AllowsValue(fullPath.substr(0, slash), fullPath.substr(slash + 1));
}

bool DeletionGate::AllowsService(std::string_view name) const {
  return policy_->DecideService(name).allowed;
}

bool DeletionGate::AllowsProcess(const platform::ProcessEntry& process) const {
  return policy_->DecideProcess(process).allowed;
}

policy::Decision DeletionGate::Decide(const PlanItem& item) const {
  switch (item.action) {
    case GateAction::DeleteFile:
    case GateAction::DeleteTree:
    case GateAction::RemoveEmptyDir:
    case GateAction::SkipFolder:
      return policy_->DecidePath(item.target, item.use, item.source);
    case GateAction::DeleteKey:
      return policy_->DecideKey(item.target, item.source);
    case GateAction::DeleteValue:
      return policy_->DecideValue(item.keyPath, item.valueName, item.source);
    case GateAction::RemoveService:
      return policy_->DecideService(item.target);
    case GateAction::EndProcess:
      return policy_->DecideProcess({item.processId, item.target});
  }
  return {};
}

std::optional<platform::PathIdentity> DeletionGate::Identity(const std::string& path) const {
  return platform_.files.Identify(path);
}

ItemResult DeletionGate::Report(const PlanItem& item, ItemResult result) const {
  if (observer_) {
    observer_(GateEvent{item.action, item.target, result.outcome == Outcome::Refused, result.reason,
                        result.outcome, &item});
  }
  return result;
}

bool DeletionGate::StillThere(const PlanItem& item) const {
  switch (item.action) {
    case GateAction::DeleteFile:
    case GateAction::DeleteTree:
    case GateAction::RemoveEmptyDir: {
      const auto canonical = policy_->CanonicalPath(item.target);
      return !canonical || !IsGone(platform_.files, *canonical);
    }
    case GateAction::DeleteKey:
      return platform_.registry.OpenKey(registry::RootKeyOfPath(item.target),
                                        registry::KeyPathOf(item.target),
                                        platform::KeyAccess::Read) != nullptr;
    case GateAction::DeleteValue: {
      auto key =
          platform_.registry.OpenKey(registry::RootKeyOfPath(item.keyPath),
                                     registry::KeyPathOf(item.keyPath), platform::KeyAccess::Read);
      return key && key->QueryValue(item.valueName).has_value();
    }
    case GateAction::RemoveService: {
      platform::WinError error = platform::kSuccess;
      if (auto manager = platform_.services.OpenManager()) (void)manager->Open(item.target, &error);
      return error != platform::kErrorServiceDoesNotExist;
    }
    case GateAction::EndProcess: {
      const auto processes = platform_.processes.Snapshot();
      return !processes || std::any_of(processes->begin(), processes->end(),
                                       [&](const platform::ProcessEntry& process) {
                                         return process.processId == item.processId;
                                       });
    }
    case GateAction::SkipFolder:
      break;
  }
  return true;
}

ItemResult DeletionGate::Execute(const PlanItem& item) {
  // What an earlier step took with it (a class seen through two views of the registry, a
  // service's key the service manager deleted) is gone; there is nothing left to decide.
  if (mode_ == Mode::Delete && item.action != GateAction::SkipFolder && !StillThere(item))
    return Report(item, {Outcome::Gone, "was not there any more"});
  // Asked again: the machine may have changed since the plan was made.
  const policy::Decision decision = Decide(item);
  if (!decision.allowed || item.action == GateAction::SkipFolder)
    return Report(item, {Outcome::Refused, decision.reason});
  if (mode_ == Mode::Record) return Report(item, {Outcome::Planned, decision.reason});
  policy_->Forget();
  ItemResult result;
  switch (item.action) {
    case GateAction::DeleteFile:
    case GateAction::DeleteTree:
    case GateAction::RemoveEmptyDir: {
      const auto canonical = policy_->CanonicalPath(item.target);
      if (!canonical) {
        result = {Outcome::Refused, "cannot be placed"};
      } else if (item.action == GateAction::DeleteFile) {
        result = DeleteFile(item, *canonical);
      } else if (item.action == GateAction::DeleteTree) {
        result = DeleteTree(item, *canonical);
      } else {
        result = RemoveEmptyDir(item, *canonical);
      }
      break;
    }
    case GateAction::DeleteKey:
      result = DeleteKey(item);
      break;
    case GateAction::DeleteValue:
      result = DeleteValue(item);
      break;
    case GateAction::RemoveService:
      result = RemoveService(item);
      break;
    case GateAction::EndProcess:
      result = EndProcess(item);
      break;
    case GateAction::SkipFolder:
      break;
  }
  policy_->Forget();
  return Report(item, std::move(result));
}

ItemResult DeletionGate::DeleteFile(const PlanItem& item, const std::string& canonical) {
  platform::FileSystem& files = platform_.files;
  const auto identity = Identity(canonical);
  if (!identity) return {Outcome::Gone, "was not there any more"};
  // A path through a link, or a file link the system follows (Wine), leads elsewhere.
  if (Folded(identity->finalPath) != canonical)
    return {Outcome::Kept, LinkReason(identity->finalPath)};
  if (identity->attributes & platform::kAttrDirectory)
    return {Outcome::Kept, "is a folder, not a file"};
  // Shortcuts are deleted as they are; the database's files may be read-only.
  if (item.use == PathUse::File) files.SetAttributes(canonical, 0);
  const platform::WinError error = files.RemoveFile(canonical);
  if (IsGone(files, canonical)) {
    return {Outcome::Done, identity->attributes & platform::kAttrReparsePoint
                               ? "the link itself, not what it points at"
                               : std::string()};
  }
  return {Outcome::Failed, ErrorText(error == platform::kSuccess ? 5 : error)};
}

ItemResult DeletionGate::DeleteTree(const PlanItem& item, const std::string& canonical) {
  platform::FileSystem& files = platform_.files;
  const auto identity = Identity(canonical);
  if (!identity) return {Outcome::Gone, "was not there any more"};
  if (Folded(identity->finalPath) != canonical)
    return {Outcome::Kept, LinkReason(identity->finalPath)};
  if (!(identity->attributes & platform::kAttrDirectory))
    return {Outcome::Kept, "is a file, not a folder"};
  if (identity->attributes & platform::kAttrReparsePoint) {
    // The system opened the link itself: removing it leaves its target alone.
    const platform::WinError error = files.RemoveDir(canonical);
    if (IsGone(files, canonical)) return {Outcome::Done, "the link itself, not what it points at"};
    return {Outcome::Failed, ErrorText(error)};
  }
  int failed = 0;
  int kept = 0;
  std::string firstProblem;
  const auto problem = [&](int& counter, const std::string& text) {
    ++counter;
    if (firstProblem.empty()) firstProblem = text;
  };
  for (const TreeEntry& entry : item.contents) {
    const std::string path = Folded(entry.path);
    // Only what lies inside the folder, and nothing that leads out of it.
    if (!policy::IsSameOrBelow(path, canonical) || path == canonical) continue;
    const auto found = Identity(path);
    if (!found) continue;
    const std::string reached = Folded(found->finalPath);
    const bool selfLink = reached == path && (found->attributes & platform::kAttrReparsePoint);
    if (reached != path) {
      problem(kept, entry.path + " " + LinkReason(found->finalPath));
      continue;
    }
    platform::WinError error = platform::kSuccess;
    if (found->attributes & platform::kAttrDirectory) {
      if (!selfLink) files.SetAttributes(path, 0);
      error = files.RemoveDir(path);
    } else {
      files.SetAttributes(path, 0);
      error = files.RemoveFile(path);
    }
    if (!IsGone(files, path)) {
      // A folder that still holds what was kept is kept too; anything else failed.
      if ((found->attributes & platform::kAttrDirectory) && kept > 0 && error == 145) continue;
      problem(failed, entry.path + ": " + ErrorText(error == platform::kSuccess ? 5 : error));
    }
  }
  files.SetAttributes(canonical, 0);
  const platform::WinError error = files.RemoveDir(canonical);
  if (IsGone(files, canonical)) return {Outcome::Done, {}};
  if (failed > 0) {
    return {Outcome::Failed,
            std::to_string(failed) + " of its entries could not be removed, first " + firstProblem};
  }
  if (kept > 0) {
    return {Outcome::Kept, "it holds what is kept: " + firstProblem};
  }
  return {Outcome::Failed,
          ErrorText(error == platform::kSuccess ? 145 : error) +
              (error == 145 ? ": it holds files that appeared after the plan was made" : "")};
}

ItemResult DeletionGate::RemoveEmptyDir(const PlanItem&, const std::string& canonical) {
  platform::FileSystem& files = platform_.files;
  const auto identity = Identity(canonical);
  if (!identity) return {Outcome::Gone, "was not there any more"};
  if (Folded(identity->finalPath) != canonical)
    return {Outcome::Kept, LinkReason(identity->finalPath)};
  if (!IsDirEmpty(platform_, canonical)) return {Outcome::Kept, "other things are still in it"};
  const platform::WinError error = files.RemoveDir(canonical);
  if (IsGone(files, canonical)) return {Outcome::Done, {}};
  return {Outcome::Failed, ErrorText(error)};
}

ItemResult DeletionGate::DeleteKey(const PlanItem& item) {
  const platform::Hive hive = registry::RootKeyOfPath(item.target);
  const std::string_view path = registry::KeyPathOf(item.target);
  if (!platform_.registry.OpenKey(hive, path, platform::KeyAccess::Read))
    return {Outcome::Gone, "was not there any more"};
  registry_.DeleteRegistryItem(item.target, registry::kItemKey);
  if (!platform_.registry.OpenKey(hive, path, platform::KeyAccess::Read))
    return {Outcome::Done, {}};
  return {Outcome::Failed, "the key, or a key below it, could not be deleted (access denied)"};
}

ItemResult DeletionGate::DeleteValue(const PlanItem& item) {
  const platform::Hive hive = registry::RootKeyOfPath(item.keyPath);
  const std::string_view path = registry::KeyPathOf(item.keyPath);
  const auto exists = [&] {
    auto key = platform_.registry.OpenKey(hive, path, platform::KeyAccess::Read);
    return key && key->QueryValue(item.valueName).has_value();
  };
  if (!exists()) return {Outcome::Gone, "was not there any more"};
  registry_.DeleteRegistryValue(item.keyPath, item.valueName);
  if (!exists()) return {Outcome::Done, {}};
  return {Outcome::Failed, "the value could not be deleted (access denied)"};
}

ItemResult DeletionGate::RemoveService(const PlanItem& item) {
  const int answer = engine::RemoveService(platform_, item.target);
  if (answer == -1) return {Outcome::Failed, "the service manager could not be opened"};
  if (answer == -2) {
    platform::WinError error = platform::kSuccess;
    if (auto manager = platform_.services.OpenManager()) (void)manager->Open(item.target, &error);
    if (error == platform::kErrorServiceDoesNotExist)
      return {Outcome::Gone, "was not there any more"};
    return {Outcome::Failed, "the service could not be opened (" + ErrorText(error) + ")"};
  }
  // Gone, or marked for deletion: it goes once it has stopped and nobody holds it open.
  auto manager = platform_.services.OpenManager();
  if (!manager) return {Outcome::Done, {}};
  platform::WinError error = platform::kSuccess;
  auto service = manager->Open(item.target, &error);
  if (!service) return {Outcome::Done, {}};
  if (service->Delete() == platform::kErrorServiceMarkedForDelete)
    return {Outcome::Done, "marked for deletion: it goes once it has stopped"};
  return {Outcome::Failed, "the service manager did not delete it"};
}

ItemResult DeletionGate::EndProcess(const PlanItem& item) {
  const auto running = [&] {
    const auto processes = platform_.processes.Snapshot();
    return processes && std::any_of(processes->begin(), processes->end(),
                                    [&](const platform::ProcessEntry& process) {
                                      return process.processId == item.processId &&
                                             SameTextAscii(process.exeFile, item.target);
                                    });
  };
  if (!running()) return {Outcome::Gone, "had ended already"};
  platform::WinError error = platform::kSuccess;
  if (auto process = platform_.processes.OpenForTerminate(item.processId, &error))
    error = process->Terminate(0);
  // The process lets go of its files before they are deleted.
  platform_.system.Sleep(1000);
  if (!running()) return {Outcome::Done, {}};
  return {Outcome::Failed, "could not be ended (" + ErrorText(error) + ")"};
}

}  // namespace sv::engine
