// An in-memory registry that behaves like the one Windows and Wine give the program: names
// compare without regard to case, sub-keys and values enumerate sorted by their names folded
// to lower case, missing keys fail to open, keys with sub-keys cannot be deleted, and a handle
// to a deleted key fails every later call.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "common/text.h"
#include "platform/fake/fake_faults.h"
#include "platform/registry.h"

namespace sv::fake {

class FakeRegistry final : public platform::Registry {
 public:
  // The SID under HKEY_USERS that HKEY_CURRENT_USER stands for.
  static constexpr std::string_view kUserSid = "S-1-5-21-0-0-0-1000";

  explicit FakeRegistry(Faults& faults);
  ~FakeRegistry() override;

  [[nodiscard]] std::unique_ptr<platform::RegistryKey> OpenKey(
      platform::Hive hive, std::string_view path, platform::KeyAccess access,
      platform::WinError* error = nullptr) override;
  std::unique_ptr<platform::RegistryKey> CreateKey(platform::Hive hive, std::string_view path,
                                                   platform::WinError* error = nullptr) override;
  platform::WinError DeleteKey(platform::Hive hive, std::string_view path) override;

  struct Node;

 private:
  struct Located;
  [[nodiscard]] std::shared_ptr<Node> HiveRoot(platform::Hive hive) const;
  [[nodiscard]] Located Locate(platform::Hive hive, std::string_view path, bool create,
                               platform::WinError* error);

  Faults& faults_;
  std::shared_ptr<Node> localMachine_;
  std::shared_ptr<Node> users_;
  std::shared_ptr<Node> currentUser_;
  std::shared_ptr<Node> classesRoot_;
  std::shared_ptr<Node> currentConfig_;
};

}  // namespace sv::fake
