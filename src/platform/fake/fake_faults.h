// Failures the fake machine produces on request, so tests can see how the code above copes
// with access denied, a file in use, and the like.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"

namespace sv::fake {

enum class Op {
  OpenKey,
  CreateKey,
  DeleteKey,
  QueryValue,
  SetValue,
  DeleteValue,
  FindFirst,
  GetAttributes,
  SetAttributes,
  RemoveFile,
  RemoveDir,
  MakeDir,
  OpenFile,
  ReadFile,
  WriteFile,
  ReadVersionResource,
  ExtractIcons,
  ResolvePath,
  Identify,
  // Services: the target is the service name as the caller gave it; the manager's is empty.
  OpenServiceManager,
  OpenService,
  StopService,
  QueryServiceState,
  QueryServiceConfig,
  DeleteService,
  // Processes: the target is the executable's name as the snapshot reports it; the
  // snapshot's is empty.
  ProcessSnapshot,
  OpenProcess,
  TerminateProcess,
};

class Faults {
 public:
  // Every later `op` on `target` fails with `error` until Clear. The target is a full key
  // path ("HKEY_CURRENT_USER\Software\Acme") for key operations, the key path, a backslash
  // and the value name for value operations, the path as given for file operations, and what
  // the Op list says for services and processes; "*" stands for every target. Targets compare
  // without regard to ASCII case.
  void Inject(Op op, std::string target, platform::WinError error);
  void Clear() { rules_.clear(); }

  [[nodiscard]] std::optional<platform::WinError> Find(Op op, std::string_view target) const;

 private:
  struct Rule {
    Op op;
    std::string target;
    platform::WinError error;
  };
  std::vector<Rule> rules_;
};

}  // namespace sv::fake
