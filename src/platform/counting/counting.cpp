#include "platform/counting/counting.h"

#include <utility>

namespace sv::platform {

namespace {

class CountingKey final : public RegistryKey {
 public:
  CountingKey(std::unique_ptr<RegistryKey> inner, RegistryCallCounts& counts)
      : inner_(std::move(inner)), counts_(counts) {}

  [[nodiscard]] std::optional<std::string> EnumKey(std::uint32_t index) const override {
    counts_.Add(RegistryCall::EnumKey);
    return inner_->EnumKey(index);
  }
  [[nodiscard]] std::optional<std::string> EnumValue(std::uint32_t index) const override {
    counts_.Add(RegistryCall::EnumValue);
    return inner_->EnumValue(index);
  }
  [[nodiscard]] std::optional<RegValue> QueryValue(std::string_view name,
                                                   WinError* error) const override {
    counts_.Add(RegistryCall::QueryValue);
    return inner_->QueryValue(name, error);
  }
  WinError SetValue(std::string_view name, const RegValue& value) override {
    counts_.Add(RegistryCall::SetValue);
    return inner_->SetValue(name, value);
  }
  WinError DeleteValue(std::string_view name) override {
    counts_.Add(RegistryCall::DeleteValue);
    return inner_->DeleteValue(name);
  }

 private:
  std::unique_ptr<RegistryKey> inner_;
  RegistryCallCounts& counts_;
};

class CountingSearch final : public FileSearch {
 public:
  CountingSearch(std::unique_ptr<FileSearch> inner, FileCallCounts& counts)
      : inner_(std::move(inner)), counts_(counts) {}

  [[nodiscard]] const FindData& Current() const override { return inner_->Current(); }
  [[nodiscard]] bool Next() override {
    counts_.Add(FileCall::FindNext);
    return inner_->Next();
  }

 private:
  std::unique_ptr<FileSearch> inner_;
  FileCallCounts& counts_;
};

}  // namespace

std::string_view RegistryCallName(RegistryCall call) noexcept {
  switch (call) {
    case RegistryCall::OpenKey:
      return "OpenKey";
    case RegistryCall::CreateKey:
      return "CreateKey";
    case RegistryCall::DeleteKey:
      return "DeleteKey";
    case RegistryCall::EnumKey:
      return "EnumKey";
    case RegistryCall::EnumValue:
      return "EnumValue";
    case RegistryCall::QueryValue:
      return "QueryValue";
    case RegistryCall::ReadValue:
      return "ReadValue";
    case RegistryCall::SetValue:
      return "SetValue";
    case RegistryCall::DeleteValue:
      return "DeleteValue";
    case RegistryCall::kCount:
      break;
  }
  return "?";
}

std::string_view FileCallName(FileCall call) noexcept {
  switch (call) {
    case FileCall::FindFirst:
      return "FindFirst";
    case FileCall::FindNext:
      return "FindNext";
    case FileCall::ResolvePath:
      return "ResolvePath";
    case FileCall::GetAttributes:
      return "GetAttributes";
    case FileCall::SetAttributes:
      return "SetAttributes";
    case FileCall::RemoveFile:
      return "RemoveFile";
    case FileCall::RemoveDir:
      return "RemoveDir";
    case FileCall::MakeDir:
      return "MakeDir";
    case FileCall::OpenFile:
      return "OpenFile";
    case FileCall::ReadVersionResource:
      return "ReadVersionResource";
    case FileCall::QueryVersion:
      return "QueryVersion";
    case FileCall::ExtractIcons:
      return "ExtractIcons";
    case FileCall::kCount:
      break;
  }
  return "?";
}

std::unique_ptr<RegistryKey> CountingRegistry::Wrap(std::unique_ptr<RegistryKey> key) {
  if (!key) return key;
  return std::make_unique<CountingKey>(std::move(key), counts_);
}

std::unique_ptr<RegistryKey> CountingRegistry::OpenKey(Hive hive, std::string_view path,
                                                       KeyAccess access, WinError* error) {
  counts_.Add(RegistryCall::OpenKey);
  return Wrap(inner_.OpenKey(hive, path, access, error));
}

std::unique_ptr<RegistryKey> CountingRegistry::CreateKey(Hive hive, std::string_view path,
                                                         WinError* error) {
  counts_.Add(RegistryCall::CreateKey);
  return Wrap(inner_.CreateKey(hive, path, error));
}

WinError CountingRegistry::DeleteKey(Hive hive, std::string_view path) {
  counts_.Add(RegistryCall::DeleteKey);
  return inner_.DeleteKey(hive, path);
}

std::optional<RegValue> CountingRegistry::ReadValue(Hive hive, std::string_view path,
                                                    std::string_view name, WinError* error) {
  counts_.Add(RegistryCall::ReadValue);
  return inner_.ReadValue(hive, path, name, error);
}

std::unique_ptr<FileSearch> CountingFileSystem::FindFirst(std::string_view pattern,
                                                          WinError* error) {
  counts_.Add(FileCall::FindFirst);
  auto search = inner_.FindFirst(pattern, error);
  if (!search) return search;
  return std::make_unique<CountingSearch>(std::move(search), counts_);
}

std::optional<std::string> CountingFileSystem::ResolvePath(std::string_view path, WinError* error) {
  counts_.Add(FileCall::ResolvePath);
  return inner_.ResolvePath(path, error);
}

FileAttributes CountingFileSystem::GetAttributes(std::string_view path, WinError* error) {
  counts_.Add(FileCall::GetAttributes);
  return inner_.GetAttributes(path, error);
}

WinError CountingFileSystem::SetAttributes(std::string_view path, FileAttributes attributes) {
  counts_.Add(FileCall::SetAttributes);
  return inner_.SetAttributes(path, attributes);
}

WinError CountingFileSystem::RemoveFile(std::string_view path) {
  counts_.Add(FileCall::RemoveFile);
  return inner_.RemoveFile(path);
}

WinError CountingFileSystem::RemoveDir(std::string_view path) {
  counts_.Add(FileCall::RemoveDir);
  return inner_.RemoveDir(path);
}

WinError CountingFileSystem::MakeDir(std::string_view path) {
  counts_.Add(FileCall::MakeDir);
  return inner_.MakeDir(path);
}

std::unique_ptr<File> CountingFileSystem::OpenFile(std::string_view path, FileAccess access,
                                                   unsigned share, Disposition disposition,
                                                   WinError* error) {
  counts_.Add(FileCall::OpenFile);
  return inner_.OpenFile(path, access, share, disposition, error);
}

std::optional<std::vector<std::uint8_t>> CountingFileSystem::ReadVersionResource(
    std::string_view path) {
  counts_.Add(FileCall::ReadVersionResource);
  return inner_.ReadVersionResource(path);
}

std::vector<std::uint32_t> CountingFileSystem::QueryVersionTranslations(
    const std::vector<std::uint8_t>& block) {
  counts_.Add(FileCall::QueryVersion);
  return inner_.QueryVersionTranslations(block);
}

std::optional<std::string> CountingFileSystem::QueryVersionString(
    const std::vector<std::uint8_t>& block, std::string_view subBlock) {
  counts_.Add(FileCall::QueryVersion);
  return inner_.QueryVersionString(block, subBlock);
}

ExtractedIcons CountingFileSystem::ExtractIcons(std::string_view path, int index) {
  counts_.Add(FileCall::ExtractIcons);
  return inner_.ExtractIcons(path, index);
}

}  // namespace sv::platform
