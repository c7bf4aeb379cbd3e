#include "platform/fake/fake_machine.h"

namespace sv::fake {
namespace {

namespace csidl = platform::csidl;

struct ShellFolder {
  int csidl;
  const char* path;
  const char* registryName;  // the value under "Shell Folders", or null
};

// As a fresh Wine prefix run by root answers them.
constexpr ShellFolder kStandardFolders[] = {
    {csidl::kDesktop, "C:\\users\\root\\Desktop", "Desktop"},
    {csidl::kDesktopDirectory, "C:\\users\\root\\Desktop", nullptr},
    {csidl::kPrograms,
     "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs", "Programs"},
    {csidl::kPersonal, "C:\\users\\root\\Documents", "Personal"},
    {csidl::kFavorites, "C:\\users\\root\\Favorites", "Favorites"},
    {csidl::kStartup,
     "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp",
     "StartUp"},
    {csidl::kRecent, "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Recent", "Recent"},
    {csidl::kSendTo, "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\SendTo", "SendTo"},
    {csidl::kStartMenu, "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
     "Start Menu"},
    {csidl::kMyMusic, "C:\\users\\root\\Music", "My Music"},
    {csidl::kMyVideo, "C:\\users\\root\\Videos", "My Videos"},
    {csidl::kNetHood, "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Network Shortcuts",
     "NetHood"},
    {csidl::kFonts, "C:\\windows\\Fonts", "Fonts"},
    {csidl::kTemplates, "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Templates",
     "Templates"},
    {csidl::kCommonStartMenu, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu", nullptr},
    {csidl::kCommonPrograms, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs", nullptr},
    {csidl::kCommonStartup, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp",
     nullptr},
    {csidl::kCommonDesktopDirectory, "C:\\users\\Public\\Desktop", nullptr},
    {csidl::kAppData, "C:\\users\\root\\AppData\\Roaming", "AppData"},
    {csidl::kPrintHood, "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Printer Shortcuts",
     "PrintHood"},
    {csidl::kLocalAppData, "C:\\users\\root\\AppData\\Local", "Local AppData"},
    {csidl::kCommonFavorites, "C:\\users\\root\\Favorites", nullptr},
    {csidl::kInternetCache, "C:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\INetCache",
     "Cache"},
    {csidl::kCookies, "C:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\INetCookies",
     "Cookies"},
    {csidl::kHistory, "C:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\History", "History"},
    {csidl::kCommonAppData, "C:\\ProgramData", nullptr},
    {csidl::kWindows, "C:\\windows", nullptr},
    {csidl::kSystem, "C:\\windows\\system32", nullptr},
    {csidl::kProgramFiles, "C:\\Program Files", nullptr},
    {csidl::kMyPictures, "C:\\users\\root\\Pictures", "My Pictures"},
    {csidl::kProfile, "C:\\users\\root", nullptr},
    {csidl::kSystemX86, "C:\\windows\\syswow64", nullptr},
    {csidl::kProgramFilesX86, "C:\\Program Files (x86)", nullptr},
    {csidl::kProgramFilesCommon, "C:\\Program Files\\Common Files", nullptr},
    {csidl::kProgramFilesCommonX86, "C:\\Program Files (x86)\\Common Files", nullptr},
    {csidl::kCommonTemplates, "C:\\ProgramData\\Microsoft\\Windows\\Templates", nullptr},
    {csidl::kCommonDocuments, "C:\\users\\Public\\Documents", nullptr},
    {csidl::kCommonAdminTools,
     "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Administrative Tools", nullptr},
    {csidl::kAdminTools,
     "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\"
     "Administrative Tools",
     "Administrative Tools"},
    {csidl::kCommonMusic, "C:\\users\\Public\\Music", nullptr},
    {csidl::kCommonPictures, "C:\\users\\Public\\Pictures", nullptr},
    {csidl::kCommonVideo, "C:\\users\\Public\\Videos", nullptr},
    {csidl::kResources, "C:\\windows\\resources", nullptr},
};

constexpr const char* kOtherStandardFolders[] = {
    "C:\\users\\root\\Downloads",         "C:\\users\\root\\Contacts", "C:\\users\\root\\Links",
    "C:\\users\\root\\Saved Games",       "C:\\users\\root\\Searches", "C:\\users\\root\\Temp",
    "C:\\users\\root\\AppData\\LocalLow", "C:\\windows\\temp",         "C:\\windows\\Installer",
};

// Keys every Windows installation has, where the program reads or cleans.
constexpr struct {
  platform::Hive hive;
  const char* path;
} kStandardKeys[] = {
    {platform::Hive::LocalMachine, "Software\\Classes\\CLSID"},
    {platform::Hive::LocalMachine, "Software\\Classes\\Interface"},
    {platform::Hive::LocalMachine, "Software\\Classes\\TypeLib"},
    {platform::Hive::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    {platform::Hive::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {platform::Hive::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
    {platform::Hive::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion"},
    {platform::Hive::LocalMachine, "System\\CurrentControlSet\\Services"},
    {platform::Hive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
};

}  // namespace

FakeMachine::FakeMachine(Layout layout) {
  if (layout == Layout::Standard) LayOutStandardFolders();
}

void FakeMachine::LayOutStandardFolders() {
  auto shellFolders =
      registry.CreateKey(platform::Hive::CurrentUser,
                         "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
  for (const ShellFolder& folder : kStandardFolders) {
    files.PutDirectory(folder.path);
    system.specialFolders[folder.csidl] = folder.path;
    if (folder.registryName != nullptr && shellFolders) {
      shellFolders->SetStringValue(folder.registryName, folder.path);
    }
  }
  for (const char* path : kOtherStandardFolders)
    files.PutDirectory(path);
  for (const auto& key : kStandardKeys)
    registry.CreateKey(key.hive, key.path);
}

}  // namespace sv::fake
