// Folders, user, clock, executable and code page through the Windows functions.
#pragma once

#include "platform/system.h"

namespace sv::win32 {

class Win32System final : public platform::System {
 public:
  [[nodiscard]] std::string WindowsDirectory() override;
  [[nodiscard]] std::string SystemDirectory() override;
  [[nodiscard]] std::string SpecialFolder(int csidl) override;
  [[nodiscard]] std::string UserName() override;
  [[nodiscard]] std::string ComputerName() override;
  [[nodiscard]] SystemTime LocalTimeNow() override;
  [[nodiscard]] std::optional<FileTime> FileTimeToLocal(FileTime utc) override;
  [[nodiscard]] std::string ExecutablePath() override;
  [[nodiscard]] std::uint32_t AnsiCodePage() override;
  [[nodiscard]] std::string AnsiToUtf8(std::string_view bytes) override;
  [[nodiscard]] std::string Utf8ToAnsi(std::string_view text) override;
  [[nodiscard]] std::string ShortMonthName(int month) override;
  [[nodiscard]] bool Is64BitBuild() override { return sizeof(void*) == 8; }
  void Sleep(std::uint32_t milliseconds) override;
};

// Real message boxes without an owner window.
class Win32Messages final : public platform::Messages {
 public:
  int ShowMessageBox(std::string_view text, std::string_view caption, unsigned style) override;
};

}  // namespace sv::win32
