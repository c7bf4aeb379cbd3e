#include "support/trees.h"

#include <atomic>
#include <chrono>
#include <vector>

#ifdef _WIN32
#include <process.h>
#define SV_GETPID _getpid
#else
#include <unistd.h>
#define SV_GETPID getpid
#endif

namespace sv::testing {

void RemoveKeyTree(platform::Registry& registry, platform::Hive hive, const std::string& path) {
  std::vector<std::string> children;
  if (auto key = registry.OpenKey(hive, path, platform::KeyAccess::Read)) {
    for (std::uint32_t i = 0;; ++i) {
      auto name = key->EnumKey(i);
      if (!name) break;
      children.push_back(std::move(*name));
    }
  } else {
    return;
  }
  for (const auto& child : children)
    RemoveKeyTree(registry, hive, path + "\\" + child);
  (void)registry.DeleteKey(hive, path);
}

void RemoveFileTree(platform::FileSystem& files, const std::string& path) {
  const platform::FileAttributes attributes = files.GetAttributes(path);
  if (attributes == platform::kInvalidAttributes) return;
  if (attributes & platform::kAttrDirectory) {
    std::vector<std::string> names;
    if (auto search = files.FindFirst(path + "\\*")) {
      do {
        const std::string& name = search->Current().name;
        if (name != "." && name != "..") names.push_back(name);
      } while (search->Next());
    }
    for (const auto& name : names)
      RemoveFileTree(files, path + "\\" + name);
    (void)files.SetAttributes(path, platform::kAttrNormal);
    (void)files.RemoveDir(path);
  } else {
    (void)files.SetAttributes(path, platform::kAttrNormal);
    (void)files.RemoveFile(path);
  }
}

std::string UniqueStamp() {
  static std::atomic<unsigned> counter{0};
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  return std::to_string(SV_GETPID()) + "-" + std::to_string(ticks % 1000000007) + "-" +
         std::to_string(counter++);
}

}  // namespace sv::testing
