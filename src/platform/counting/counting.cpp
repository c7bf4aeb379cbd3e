#include "platform/counting/counting.h"

#include <chrono>
#include <utility>

namespace sv::platform {

namespace {

class CountingKey final : public RegistryKey {
 public:
  CountingKey(std::unique_ptr<RegistryKey> inner, CallMeter<RegistryCall>& meter)
      : inner_(std::move(inner)), meter_(meter) {}

  [[nodiscard]] std::optional<std::string> EnumKey(std::uint32_t index,
                                                   WinError* error) const override {
    return meter_.Measure(RegistryCall::EnumKey, [&] { return inner_->EnumKey(index, error); });
  }
  [[nodiscard]] std::optional<std::string> EnumValue(std::uint32_t index) const override {
    return meter_.Measure(RegistryCall::EnumValue, [&] { return inner_->EnumValue(index); });
  }
  [[nodiscard]] std::optional<RegValue> QueryValue(std::string_view name,
                                                   WinError* error) const override {
    return meter_.Measure(RegistryCall::QueryValue,
                          [&] { return inner_->QueryValue(name, error); });
  }
  WinError SetValue(std::string_view name, const RegValue& value) override {
    return meter_.Measure(RegistryCall::SetValue, [&] { return inner_->SetValue(name, value); });
  }
  WinError DeleteValue(std::string_view name) override {
    return meter_.Measure(RegistryCall::DeleteValue, [&] { return inner_->DeleteValue(name); });
  }

 private:
  std::unique_ptr<RegistryKey> inner_;
  CallMeter<RegistryCall>& meter_;
};

class CountingSearch final : public FileSearch {
 public:
  CountingSearch(std::unique_ptr<FileSearch> inner, CallMeter<FileCall>& meter)
      : inner_(std::move(inner)), meter_(meter) {}

  [[nodiscard]] const FindData& Current() const override { return inner_->Current(); }
  [[nodiscard]] bool Next() override {
    return meter_.Measure(FileCall::FindNext, [&] { return inner_->Next(); });
  }

 private:
  std::unique_ptr<FileSearch> inner_;
  CallMeter<FileCall>& meter_;
};

}  // namespace

TickSource SteadyTicks() {
  return [] {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
  };
}

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
    case FileCall::Identify:
      return "Identify";
    case FileCall::IsSystemProtectedFile:
      return "IsSystemProtectedFile";
    case FileCall::kCount:
      break;
  }
  return "?";
}

std::string_view SystemCallName(SystemCall call) noexcept {
  switch (call) {
    case SystemCall::Folders:
      return "Folders";
    case SystemCall::UserName:
      return "UserName";
    case SystemCall::Clock:
      return "Clock";
    case SystemCall::ExecutablePath:
      return "ExecutablePath";
    case SystemCall::TextConversion:
      return "TextConversion";
    case SystemCall::Is64BitBuild:
      return "Is64BitBuild";
    case SystemCall::Sleep:
      return "Sleep";
    case SystemCall::ComputerName:
      return "ComputerName";
    case SystemCall::kCount:
      break;
  }
  return "?";
}

std::unique_ptr<RegistryKey> CountingRegistry::Wrap(std::unique_ptr<RegistryKey> key) {
  if (!key) return key;
  return std::make_unique<CountingKey>(std::move(key), meter_);
}

std::unique_ptr<RegistryKey> CountingRegistry::OpenKey(Hive hive, std::string_view path,
                                                       KeyAccess access, WinError* error) {
  return Wrap(meter_.Measure(RegistryCall::OpenKey,
                             [&] { return inner_.OpenKey(hive, path, access, error); }));
}

std::unique_ptr<RegistryKey> CountingRegistry::CreateKey(Hive hive, std::string_view path,
                                                         WinError* error) {
  return Wrap(
      meter_.Measure(RegistryCall::CreateKey, [&] { return inner_.CreateKey(hive, path, error); }));
}

WinError CountingRegistry::DeleteKey(Hive hive, std::string_view path) {
  return meter_.Measure(RegistryCall::DeleteKey, [&] { return inner_.DeleteKey(hive, path); });
}

std::optional<RegValue> CountingRegistry::ReadValue(Hive hive, std::string_view path,
                                                    std::string_view name, WinError* error) {
  return meter_.Measure(RegistryCall::ReadValue,
                        [&] { return inner_.ReadValue(hive, path, name, error); });
}

std::unique_ptr<FileSearch> CountingFileSystem::FindFirst(std::string_view pattern,
                                                          WinError* error) {
  auto search =
      meter_.Measure(FileCall::FindFirst, [&] { return inner_.FindFirst(pattern, error); });
  if (!search) return search;
  return std::make_unique<CountingSearch>(std::move(search), meter_);
}

std::optional<std::string> CountingFileSystem::ResolvePath(std::string_view path, WinError* error) {
  return meter_.Measure(FileCall::ResolvePath, [&] { return inner_.ResolvePath(path, error); });
}

std::optional<PathIdentity> CountingFileSystem::Identify(std::string_view path, WinError* error) {
  return meter_.Measure(FileCall::Identify, [&] { return inner_.Identify(path, error); });
}

bool CountingFileSystem::IsSystemProtectedFile(std::string_view path) {
  return meter_.Measure(FileCall::IsSystemProtectedFile,
                        [&] { return inner_.IsSystemProtectedFile(path); });
}

FileAttributes CountingFileSystem::GetAttributes(std::string_view path, WinError* error) {
  return meter_.Measure(FileCall::GetAttributes, [&] { return inner_.GetAttributes(path, error); });
}

WinError CountingFileSystem::SetAttributes(std::string_view path, FileAttributes attributes) {
  return meter_.Measure(FileCall::SetAttributes,
                        [&] { return inner_.SetAttributes(path, attributes); });
}

WinError CountingFileSystem::RemoveFile(std::string_view path) {
  return meter_.Measure(FileCall::RemoveFile, [&] { return inner_.RemoveFile(path); });
}

WinError CountingFileSystem::RemoveDir(std::string_view path) {
  return meter_.Measure(FileCall::RemoveDir, [&] { return inner_.RemoveDir(path); });
}

WinError CountingFileSystem::MakeDir(std::string_view path) {
  return meter_.Measure(FileCall::MakeDir, [&] { return inner_.MakeDir(path); });
}

std::unique_ptr<File> CountingFileSystem::OpenFile(std::string_view path, FileAccess access,
                                                   unsigned share, Disposition disposition,
                                                   WinError* error) {
  return meter_.Measure(FileCall::OpenFile,
                        [&] { return inner_.OpenFile(path, access, share, disposition, error); });
}

std::optional<std::vector<std::uint8_t>> CountingFileSystem::ReadVersionResource(
    std::string_view path) {
  return meter_.Measure(FileCall::ReadVersionResource,
                        [&] { return inner_.ReadVersionResource(path); });
}

std::vector<std::uint32_t> CountingFileSystem::QueryVersionTranslations(
    const std::vector<std::uint8_t>& block) {
  return meter_.Measure(FileCall::QueryVersion,
                        [&] { return inner_.QueryVersionTranslations(block); });
}

std::optional<std::string> CountingFileSystem::QueryVersionString(
    const std::vector<std::uint8_t>& block, std::string_view subBlock) {
  return meter_.Measure(FileCall::QueryVersion,
                        [&] { return inner_.QueryVersionString(block, subBlock); });
}

ExtractedIcons CountingFileSystem::ExtractIcons(std::string_view path, int index) {
  return meter_.Measure(FileCall::ExtractIcons, [&] { return inner_.ExtractIcons(path, index); });
}

std::string CountingSystem::WindowsDirectory() {
  return meter_.Measure(SystemCall::Folders, [&] { return inner_.WindowsDirectory(); });
}

std::string CountingSystem::SystemDirectory() {
  return meter_.Measure(SystemCall::Folders, [&] { return inner_.SystemDirectory(); });
}

std::string CountingSystem::SpecialFolder(int csidl) {
  return meter_.Measure(SystemCall::Folders, [&] { return inner_.SpecialFolder(csidl); });
}

std::string CountingSystem::UserName() {
  return meter_.Measure(SystemCall::UserName, [&] { return inner_.UserName(); });
}

std::string CountingSystem::ComputerName() {
  return meter_.Measure(SystemCall::ComputerName, [&] { return inner_.ComputerName(); });
}

SystemTime CountingSystem::LocalTimeNow() {
  return meter_.Measure(SystemCall::Clock, [&] { return inner_.LocalTimeNow(); });
}

std::optional<FileTime> CountingSystem::FileTimeToLocal(FileTime utc) {
  return meter_.Measure(SystemCall::Clock, [&] { return inner_.FileTimeToLocal(utc); });
}

std::string CountingSystem::ExecutablePath() {
  return meter_.Measure(SystemCall::ExecutablePath, [&] { return inner_.ExecutablePath(); });
}

std::uint32_t CountingSystem::AnsiCodePage() {
  return meter_.Measure(SystemCall::TextConversion, [&] { return inner_.AnsiCodePage(); });
}

std::string CountingSystem::AnsiToUtf8(std::string_view bytes) {
  return meter_.Measure(SystemCall::TextConversion, [&] { return inner_.AnsiToUtf8(bytes); });
}

std::string CountingSystem::Utf8ToAnsi(std::string_view text) {
  return meter_.Measure(SystemCall::TextConversion, [&] { return inner_.Utf8ToAnsi(text); });
}

std::string CountingSystem::ShortMonthName(int month) {
  return meter_.Measure(SystemCall::TextConversion, [&] { return inner_.ShortMonthName(month); });
}

bool CountingSystem::Is64BitBuild() {
  return meter_.Measure(SystemCall::Is64BitBuild, [&] { return inner_.Is64BitBuild(); });
}

void CountingSystem::Sleep(std::uint32_t milliseconds) {
  // Measure wants a value back; a sleep has none.
  (void)meter_.Measure(SystemCall::Sleep, [&] {
    inner_.Sleep(milliseconds);
    return 0;
  });
}

}  // namespace sv::platform
