// The file system through the Windows file functions.
#pragma once

#include <windows.h>
//
#include "platform/filesystem.h"
#include "platform/win32/handles.h"

namespace sv::win32 {

// An icon from ExtractIconEx; the image lists of the window copy it with ImageList_ReplaceIcon.
class Win32Icon final : public platform::Icon {
 public:
  explicit Win32Icon(IconHandle icon) : icon_(std::move(icon)) {}
  [[nodiscard]] HICON Get() const noexcept { return icon_.Get(); }

 private:
  IconHandle icon_;
};

class Win32FileSystem final : public platform::FileSystem {
 public:
  [[nodiscard]] std::unique_ptr<platform::FileSearch> FindFirst(
      std::string_view pattern, platform::WinError* error = nullptr) override;
  [[nodiscard]] std::optional<std::string> ResolvePath(
      std::string_view path, platform::WinError* error = nullptr) override;
  [[nodiscard]] std::optional<platform::PathIdentity> Identify(
      std::string_view path, platform::WinError* error = nullptr) override;
  [[nodiscard]] bool IsSystemProtectedFile(std::string_view path) override;
  [[nodiscard]] platform::FileAttributes GetAttributes(
      std::string_view path, platform::WinError* error = nullptr) override;
  platform::WinError SetAttributes(std::string_view path,
                                   platform::FileAttributes attributes) override;
  platform::WinError RemoveFile(std::string_view path) override;
  platform::WinError RemoveDir(std::string_view path) override;
  platform::WinError MakeDir(std::string_view path) override;
  [[nodiscard]] std::unique_ptr<platform::File> OpenFile(
      std::string_view path, platform::FileAccess access, unsigned share,
      platform::Disposition disposition, platform::WinError* error = nullptr) override;
  [[nodiscard]] std::optional<std::vector<std::uint8_t>> ReadVersionResource(
      std::string_view path) override;
  [[nodiscard]] std::vector<std::uint32_t> QueryVersionTranslations(
      const std::vector<std::uint8_t>& block) override;
  [[nodiscard]] std::optional<std::string> QueryVersionString(
      const std::vector<std::uint8_t>& block, std::string_view subBlock) override;
  [[nodiscard]] platform::ExtractedIcons ExtractIcons(std::string_view path, int index) override;
};

}  // namespace sv::win32
