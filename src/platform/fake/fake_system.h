// The fake machine's folders, user, clock and code page, and a message-box recorder.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/fake/fake_clock.h"
#include "platform/system.h"

namespace sv::fake {

class FakeSystem final : public platform::System {
 public:
  explicit FakeSystem(FakeClock& clock) : clock_(clock) {}

  // What the machine reports; tests change these to model other machines (or failures:
  // an empty text is what the system answers when it cannot tell).
  std::string windowsDirectory = "C:\\windows";
  std::string systemDirectory = "C:\\windows\\system32";
  std::string userName = "root";
  std::string computerName = "SVTEST";
  std::string executablePath = "C:\\Program Files\\Sorvane\\Sorvane.exe";
  std::map<int, std::string> specialFolders;
  // As an English locale abbreviates them.
  std::vector<std::string> shortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // Like the build the tests run in, unless a test models the other one.
  bool is64BitBuild = sizeof(void*) == 8;

  // Sleeping returns at once: the clock moves on by the time asked, and the waits are
  // recorded. `onSleep`, when set, runs after each one, so a test can let the world change
  // while the code waits (a process ends, a service stops).
  std::uint64_t sleptMilliseconds = 0;
  std::vector<std::uint32_t> sleeps;
  std::function<void(std::uint32_t milliseconds)> onSleep;

  [[nodiscard]] std::string WindowsDirectory() override { return windowsDirectory; }
  [[nodiscard]] std::string SystemDirectory() override { return systemDirectory; }
  [[nodiscard]] std::string SpecialFolder(int csidl) override;
  [[nodiscard]] std::string UserName() override { return userName; }
  [[nodiscard]] std::string ComputerName() override { return computerName; }
  [[nodiscard]] SystemTime LocalTimeNow() override;
  [[nodiscard]] std::optional<FileTime> FileTimeToLocal(FileTime utc) override;
  [[nodiscard]] std::string ExecutablePath() override { return executablePath; }
  [[nodiscard]] std::uint32_t AnsiCodePage() override { return 1252; }
  [[nodiscard]] std::string AnsiToUtf8(std::string_view bytes) override;
  [[nodiscard]] std::string Utf8ToAnsi(std::string_view text) override;
  [[nodiscard]] std::string ShortMonthName(int month) override;
  [[nodiscard]] bool Is64BitBuild() override { return is64BitBuild; }
  void Sleep(std::uint32_t milliseconds) override;

 private:
  FakeClock& clock_;
};

// Records every message box and answers with a preset reply (OK unless told otherwise).
class RecordingMessages final : public platform::Messages {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    unsigned style = 0;
  };

  int ShowMessageBox(std::string_view text, std::string_view caption, unsigned style) override {
    shown.push_back({std::string(text), std::string(caption), style});
    return reply;
  }

  std::vector<Shown> shown;
  int reply = platform::kIdOk;
};

}  // namespace sv::fake
