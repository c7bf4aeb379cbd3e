#include "platform/fake/fake_registry.h"

#include <vector>

namespace sv::fake {

using platform::Hive;
using platform::KeyAccess;
using platform::RegValue;
using platform::WinError;

struct FakeRegistry::Node {
  std::map<std::string, std::shared_ptr<Node>, LessFoldLower> subKeys;
  std::map<std::string, RegValue, LessFoldLower> values;
  bool deleted = false;
  // Changes with every insertion or removal, so open keys know their enumeration cursor
  // went stale.
  std::uint64_t generation = 0;
};

struct FakeRegistry::Located {
  std::shared_ptr<Node> parent;  // null for a hive root
  std::string leaf;              // name of the key within its parent
  std::shared_ptr<Node> node;    // null when missing
  std::string fullPath;          // hive name and the path, for fault targets
};

namespace {

using Node = FakeRegistry::Node;

// Splits a key path into names, as the registry reads it: empty names between doubled or
// trailing backslashes are ignored. A second leading backslash is refused like Windows does.
std::optional<std::vector<std::string>> SplitKeyPath(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return std::nullopt;
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  if (!path.empty() && path.front() == '\\') return std::nullopt;
  return SplitSkippingEmpty(path, '\\');
}

std::string JoinFullPath(Hive hive, const std::vector<std::string>& names) {
  std::string full(platform::HiveName(hive));
  for (const auto& name : names)
    full += '\\' + name;
  return full;
}

// Walks (and with `create`, builds) a chain of names below `root`.
std::shared_ptr<Node> Walk(std::shared_ptr<Node> node, const std::vector<std::string>& names,
                           std::size_t count, bool create) {
  for (std::size_t i = 0; i < count && node; ++i) {
    auto it = node->subKeys.find(names[i]);
    if (it == node->subKeys.end()) {
      if (!create) return nullptr;
      it = node->subKeys.emplace(names[i], std::make_shared<Node>()).first;
      ++node->generation;
    }
    node = it->second;
  }
  return node;
}

// An enumeration position kept between calls, so walking N names costs N steps, not N^2.
template <class Map>
struct Cursor {
  std::uint64_t generation = ~std::uint64_t{0};
  std::uint32_t index = 0;
  typename Map::const_iterator it;

  std::optional<std::string> At(const Map& map, std::uint64_t currentGeneration,
                                std::uint32_t wanted) {
    if (generation != currentGeneration || index > wanted) {
      generation = currentGeneration;
      index = 0;
      it = map.begin();
    }
    while (index < wanted && it != map.end()) {
      ++it;
      ++index;
    }
    if (it == map.end()) return std::nullopt;
    return it->first;
  }
};

class FakeKey final : public platform::RegistryKey {
 public:
  FakeKey(std::shared_ptr<Node> node, KeyAccess access, Faults& faults, std::string fullPath)
      : node_(std::move(node)), access_(access), faults_(faults), fullPath_(std::move(fullPath)) {}

  std::optional<std::string> EnumKey(std::uint32_t index, WinError* error) const override {
    if (node_->deleted) {
      if (error != nullptr) *error = platform::kErrorKeyDeleted;
      return std::nullopt;
    }
    auto name = keyCursor_.At(node_->subKeys, node_->generation, index);
    if (!name && error != nullptr) *error = platform::kErrorNoMoreItems;
    return name;
  }

  std::optional<std::string> EnumValue(std::uint32_t index) const override {
    if (node_->deleted) return std::nullopt;
    return valueCursor_.At(node_->values, node_->generation, index);
  }

  std::optional<RegValue> QueryValue(std::string_view name, WinError* error) const override {
    WinError code = platform::kSuccess;
    std::optional<RegValue> result;
    if (node_->deleted) {
      code = platform::kErrorKeyDeleted;
    } else if (name.find('\0') != std::string_view::npos) {
      code = platform::kErrorInvalidName;
    } else if (const auto fault = faults_.Find(Op::QueryValue, ValueTarget(name))) {
      code = *fault;
    } else if (const auto it = node_->values.find(name); it == node_->values.end()) {
      code = platform::kErrorFileNotFound;
    } else {
      result = it->second;
      if (platform::IsSingleStringType(result->type)) {
        const auto end = result->data.find('\0');
        if (end != std::string::npos) result->data.resize(end);
      }
    }
    if (error != nullptr) *error = code;
    return result;
  }

  WinError SetValue(std::string_view name, const RegValue& value) override {
    if (const WinError refused = Writable(Op::SetValue, name)) return refused;
    const auto it = node_->values.find(name);
    if (it != node_->values.end()) {
      it->second = value;  // the stored name keeps its first spelling
    } else {
      node_->values.emplace(std::string(name), value);
      ++node_->generation;
    }
    return platform::kSuccess;
  }

  WinError DeleteValue(std::string_view name) override {
    if (const WinError refused = Writable(Op::DeleteValue, name)) return refused;
    const auto it = node_->values.find(name);
    if (it == node_->values.end()) return platform::kErrorFileNotFound;
    node_->values.erase(it);
    ++node_->generation;
    return platform::kSuccess;
  }

 private:
  std::string ValueTarget(std::string_view name) const {
    return fullPath_ + '\\' + std::string(name);
  }

  WinError Writable(Op op, std::string_view name) const {
    if (node_->deleted) return platform::kErrorKeyDeleted;
    if (access_ != KeyAccess::AllAccess) return platform::kErrorAccessDenied;
    if (name.find('\0') != std::string_view::npos) return platform::kErrorInvalidName;
    if (const auto fault = faults_.Find(op, ValueTarget(name))) return *fault;
    return platform::kSuccess;
  }

  std::shared_ptr<Node> node_;
  KeyAccess access_;
  Faults& faults_;
  std::string fullPath_;
  mutable Cursor<decltype(Node::subKeys)> keyCursor_;
  mutable Cursor<decltype(Node::values)> valueCursor_;
};

}  // namespace

FakeRegistry::FakeRegistry(Faults& faults)
    : faults_(faults), localMachine_(std::make_shared<Node>()), users_(std::make_shared<Node>()) {
  // The aliases Wine sets up: the current user is one SID under HKEY_USERS, the classes root
  // is the machine's classes only, the current configuration a hardware profile.
  currentUser_ = Walk(users_, {std::string(kUserSid)}, 1, true);
  Walk(users_, {".DEFAULT"}, 1, true);
  classesRoot_ = Walk(localMachine_, {"Software", "Classes"}, 2, true);
  currentConfig_ =
      Walk(localMachine_, {"System", "CurrentControlSet", "Hardware Profiles", "Current"}, 4, true);
  Walk(currentUser_, {"Software"}, 1, true);
}

FakeRegistry::~FakeRegistry() = default;

std::shared_ptr<Node> FakeRegistry::HiveRoot(Hive hive) const {
  switch (hive) {
    case Hive::ClassesRoot:
      return classesRoot_;
    case Hive::CurrentUser:
      return currentUser_;
    case Hive::LocalMachine:
      return localMachine_;
    case Hive::Users:
      return users_;
    case Hive::CurrentConfig:
      return currentConfig_;
  }
  return currentConfig_;
}

FakeRegistry::Located FakeRegistry::Locate(Hive hive, std::string_view path, bool create,
                                           WinError* error) {
  Located located;
  const auto names = SplitKeyPath(path);
  if (!names) {
    // A NUL would cut the name short on Windows; the Windows layer refuses such names.
    const bool holdsNul = path.find('\0') != std::string_view::npos;
    if (error != nullptr)
      *error = holdsNul ? platform::kErrorInvalidName : platform::kErrorBadPathName;
    return located;
  }
  located.fullPath = JoinFullPath(hive, *names);
  if (names->empty()) {
    located.node = HiveRoot(hive);
    return located;
  }
  located.parent = Walk(HiveRoot(hive), *names, names->size() - 1, create);
  located.leaf = names->back();
  if (!located.parent) {
    if (error != nullptr) *error = platform::kErrorFileNotFound;
    return located;
  }
  auto it = located.parent->subKeys.find(located.leaf);
  if (it == located.parent->subKeys.end() && create) {
    it = located.parent->subKeys.emplace(located.leaf, std::make_shared<Node>()).first;
    ++located.parent->generation;
  }
  if (it != located.parent->subKeys.end()) located.node = it->second;
  if (error != nullptr) *error = located.node ? platform::kSuccess : platform::kErrorFileNotFound;
  return located;
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::OpenKey(Hive hive, std::string_view path,
                                                             KeyAccess access, WinError* error) {
  WinError code = platform::kSuccess;
  Located located = Locate(hive, path, false, &code);
  if (code == platform::kSuccess) {
    if (const auto fault = faults_.Find(Op::OpenKey, located.fullPath)) code = *fault;
  }
  if (error != nullptr) *error = code;
  if (code != platform::kSuccess) return nullptr;
  return std::make_unique<FakeKey>(located.node, access, faults_, located.fullPath);
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::CreateKey(Hive hive, std::string_view path,
                                                               WinError* error) {
  WinError code = platform::kSuccess;
  if (const auto names = SplitKeyPath(path)) {
    if (const auto fault = faults_.Find(Op::CreateKey, JoinFullPath(hive, *names))) code = *fault;
  }
  Located located;
  if (code == platform::kSuccess) located = Locate(hive, path, true, &code);
  if (error != nullptr) *error = code;
  if (code != platform::kSuccess) return nullptr;
  return std::make_unique<FakeKey>(located.node, KeyAccess::AllAccess, faults_, located.fullPath);
}

WinError FakeRegistry::DeleteKey(Hive hive, std::string_view path) {
  WinError code = platform::kSuccess;
  Located located = Locate(hive, path, false, &code);
  if (code != platform::kSuccess) return code;
  if (!located.parent) return platform::kErrorAccessDenied;  // a hive root
  if (const auto fault = faults_.Find(Op::DeleteKey, located.fullPath)) return *fault;
  if (!located.node->subKeys.empty()) return platform::kErrorAccessDenied;
  // The aliased roots (the current user, the classes root) are not ours to delete either.
  for (Hive alias : {Hive::ClassesRoot, Hive::CurrentUser, Hive::CurrentConfig}) {
    if (located.node == HiveRoot(alias)) return platform::kErrorAccessDenied;
  }
  located.node->deleted = true;
  located.parent->subKeys.erase(located.leaf);
  ++located.parent->generation;
  return platform::kSuccess;
}

}  // namespace sv::fake
