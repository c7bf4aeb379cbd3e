// The system's answers that cannot change while a run lasts, asked once per run: the Windows,
// system and shell folders, the user's name and the machine's. Under Wine a shell folder
// costs over a millisecond to look up, and a scan asks for the same few folders for every
// database name.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/system.h"

namespace sv::engine {

class FolderMemo final : public platform::System {
 public:
  explicit FolderMemo(platform::System& inner) : inner_(inner) {}

  [[nodiscard]] std::string WindowsDirectory() override;
  [[nodiscard]] std::string SystemDirectory() override;
  [[nodiscard]] std::string SpecialFolder(int csidl) override;
  [[nodiscard]] std::string UserName() override;
  [[nodiscard]] std::string ComputerName() override;

  // The rest goes to the system every time.
  [[nodiscard]] SystemTime LocalTimeNow() override { return inner_.LocalTimeNow(); }
  [[nodiscard]] std::optional<FileTime> FileTimeToLocal(FileTime utc) override {
    return inner_.FileTimeToLocal(utc);
  }
  [[nodiscard]] std::string ExecutablePath() override { return inner_.ExecutablePath(); }
  [[nodiscard]] std::uint32_t AnsiCodePage() override { return inner_.AnsiCodePage(); }
  [[nodiscard]] std::string AnsiToUtf8(std::string_view bytes) override {
    return inner_.AnsiToUtf8(bytes);
  }
  [[nodiscard]] std::string Utf8ToAnsi(std::string_view text) override {
    return inner_.Utf8ToAnsi(text);
  }
  [[nodiscard]] std::string ShortMonthName(int month) override {
    return inner_.ShortMonthName(month);
  }
  [[nodiscard]] bool Is64BitBuild() override { return inner_.Is64BitBuild(); }
  void Sleep(std::uint32_t milliseconds) override { inner_.Sleep(milliseconds); }

 private:
  platform::System& inner_;
  std::optional<std::string> windows_;
  std::optional<std::string> system_;
  std::optional<std::string> userName_;
  std::optional<std::string> computerName_;
  std::map<int, std::string> specialFolders_;
};

}  // namespace sv::engine
