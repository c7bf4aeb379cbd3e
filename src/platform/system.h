// What the program asks of the system besides registry and files: folders, the user, the
// clock, its own location, text conversion, and owner-less message boxes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/datetime.h"

namespace sv::platform {

// Shell folder numbers (CSIDL values).
namespace csidl {
inline constexpr int kDesktop = 0x0000;
inline constexpr int kPrograms = 0x0002;
inline constexpr int kPersonal = 0x0005;  // the user's documents
inline constexpr int kFavorites = 0x0006;
inline constexpr int kStartup = 0x0007;
inline constexpr int kRecent = 0x0008;
inline constexpr int kSendTo = 0x0009;
inline constexpr int kStartMenu = 0x000B;
inline constexpr int kMyMusic = 0x000D;
inline constexpr int kMyVideo = 0x000E;
inline constexpr int kDesktopDirectory = 0x0010;
inline constexpr int kNetHood = 0x0013;
inline constexpr int kFonts = 0x0014;
inline constexpr int kTemplates = 0x0015;
inline constexpr int kCommonStartMenu = 0x0016;
inline constexpr int kCommonPrograms = 0x0017;
inline constexpr int kCommonStartup = 0x0018;
inline constexpr int kCommonDesktopDirectory = 0x0019;
inline constexpr int kAppData = 0x001A;
inline constexpr int kPrintHood = 0x001B;
inline constexpr int kLocalAppData = 0x001C;
inline constexpr int kCommonFavorites = 0x001F;
inline constexpr int kInternetCache = 0x0020;
inline constexpr int kCookies = 0x0021;
inline constexpr int kHistory = 0x0022;
inline constexpr int kCommonAppData = 0x0023;
inline constexpr int kWindows = 0x0024;
inline constexpr int kSystem = 0x0025;
inline constexpr int kProgramFiles = 0x0026;
inline constexpr int kMyPictures = 0x0027;
inline constexpr int kProfile = 0x0028;
inline constexpr int kSystemX86 = 0x0029;
inline constexpr int kProgramFilesX86 = 0x002A;
inline constexpr int kProgramFilesCommon = 0x002B;
inline constexpr int kProgramFilesCommonX86 = 0x002C;
inline constexpr int kCommonTemplates = 0x002D;
inline constexpr int kCommonDocuments = 0x002E;
inline constexpr int kCommonAdminTools = 0x002F;
inline constexpr int kAdminTools = 0x0030;
inline constexpr int kCommonMusic = 0x0035;
inline constexpr int kCommonPictures = 0x0036;
inline constexpr int kCommonVideo = 0x0037;
inline constexpr int kResources = 0x0038;
inline constexpr int kCdBurnArea = 0x003B;
}  // namespace csidl

class System {
 public:
  virtual ~System() = default;

  // Folders without a trailing backslash; empty when the system cannot tell.
  [[nodiscard]] virtual std::string WindowsDirectory() = 0;
  [[nodiscard]] virtual std::string SystemDirectory() = 0;
  [[nodiscard]] virtual std::string SpecialFolder(int csidl) = 0;

  // The name of the user the program runs as; empty when it cannot be fetched.
  [[nodiscard]] virtual std::string UserName() = 0;
  // The machine's NetBIOS name (GetComputerName), by which shares of its own drives are named.
  [[nodiscard]] virtual std::string ComputerName() = 0;

  [[nodiscard]] virtual SystemTime LocalTimeNow() = 0;
  // A file time (UTC) in the local time zone, with the bias in force now.
  [[nodiscard]] virtual std::optional<FileTime> FileTimeToLocal(FileTime utc) = 0;

  // Full path of the running executable.
  [[nodiscard]] virtual std::string ExecutablePath() = 0;

  // Text in the system's ANSI code page, as the database files hold it.
  [[nodiscard]] virtual std::uint32_t AnsiCodePage() = 0;
  [[nodiscard]] virtual std::string AnsiToUtf8(std::string_view bytes) = 0;
  // Characters the code page cannot hold become '?'.
  [[nodiscard]] virtual std::string Utf8ToAnsi(std::string_view text) = 0;

  // The abbreviated name of month 1 to 12 in the user's locale ("Jan" in English); empty for
  // any other number or when the system cannot tell.
  [[nodiscard]] virtual std::string ShortMonthName(int month) = 0;

  // Whether the program runs as a 64-bit build: then the registry shows it the 64-bit view,
  // and the 32-bit programs of the machine are registered under WOW6432Node.
  [[nodiscard]] virtual bool Is64BitBuild() = 0;

  // The calling thread waits this long.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// Message box styles and answers, with the system's numbers.
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbYesNo = 0x04;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconWarning = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Message boxes that belong to no window (the main window has its own, through the engine's
// window interface). Tests put a recorder here so that nothing waits for a click.
class Messages {
 public:
  virtual ~Messages() = default;
  virtual int ShowMessageBox(std::string_view text, std::string_view caption, unsigned style) = 0;
};

}  // namespace sv::platform
