#include "policy/removal_policy.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>
#include <unordered_set>

#include "common/paths.h"
#include "common/text.h"
#include "platform/listings.h"

namespace sv::policy {

using platform::Hive;
using platform::KeyAccess;

namespace {

// --- The table ---------------------------------------------------------------------------

enum class Area { Files, Registry };

enum class Standing {
  // Folders and files.
  Windows,        // no folder in it goes; a file only when the database names it, with evidence
  Shared,         // nothing in it goes: Windows', every program's or the user's own
  Shortcuts,      // a desktop or start-menu folder: shortcut files only
  ProgramGroups,  // a programs menu: shortcut files and program groups
  ProgramsRoot,   // programs keep their own folders here
  // Keys and values.
  Vendors,        // a software root: vendor\product keys below it
  Classes,        // the classes: a program's own ProgIDs and file types
  WindowsKeys,    // keys of Windows or shared by every program: nothing goes
  Registrations,  // a list of registrations: a child with the evidence of its kind
  RunList,        // values that start programs: a value whose program lies in the program's folders
  PathList,       // values named by paths: a value whose name lies in the program's folders
  Services,       // the services: the key of a service proven to be the program's
};

// What shows that a child of a Registrations key is the program's.
enum class Evidence {
  None,
  UninstallEntry,    // the program's own Uninstall entry
  ArpCache,          // named like the program's Uninstall entry
  AppPath,           // its Path or default value lies in the program's folders
  InstallerProduct,  // named by the program's packed product code
  InstallerShared,   // lists the program's product and no other
  ComClass,          // its server lies in the program's folders
  TypeLibrary,       // one of its files lies in the program's folders
  Interface,         // its type library or proxy class is the program's
  AppId,             // a value of it points into the program's folders
};

struct Place {
  Area area;
  std::string_view pattern;
  Standing standing;
  std::string_view what;  // how a decision names the place
  Evidence evidence = Evidence::None;
};

// Folder patterns start with a token for folders of this machine ({windows}, {profile}: every
// profile, {programfiles}: every Program Files root, a shell folder by name); key patterns with
// the scope (HKLM, USER: the current user and every user's hive, ANY: both) and may use
// {software} (SOFTWARE and its 32-bit view), {classes} (the classes of that software root, and
// their 32-bit view), {controlset} and <any> for one key of any name.
constexpr Place kPlaces[] = {
    // The Windows folder, and what no program may take from it even with evidence.
    {Area::Files, "{windows}", Standing::Windows, "the Windows folder"},
    {Area::Files, "{system}", Standing::Windows, "the system folder"},
    {Area::Files, "{systemx86}", Standing::Windows, "the system folder"},
    {Area::Files, "{fonts}", Standing::Windows, "the fonts folder"},
    {Area::Files, "{resources}", Standing::Windows, "the Windows folder"},
    {Area::Files, "{windows}\\system32\\config", Standing::Shared, "the registry's own files"},
    {Area::Files, "{windows}\\system32\\drivers\\etc", Standing::Shared, "the network's own files"},
    {Area::Files, "{windows}\\syswow64\\config", Standing::Shared, "the registry's own files"},
    {Area::Files, "{windows}\\winsxs", Standing::Shared, "Windows' component store"},
    {Area::Files, "{windows}\\servicing", Standing::Shared, "Windows' component store"},
    {Area::Files, "{windows}\\temp", Standing::Shared, "Windows' temporary folder"},
    {Area::Files, "{windows}\\win.ini", Standing::Shared, "a file of Windows"},
    {Area::Files, "{windows}\\system.ini", Standing::Shared, "a file of Windows"},
    {Area::Files, "{windows}\\desktop.ini", Standing::Shared, "a file of Windows"},
    {Area::Files, "{systemdrive}\\Boot", Standing::Shared, "the system's start-up files"},
    {Area::Files, "{systemdrive}\\Recovery", Standing::Shared, "the system's recovery files"},
    {Area::Files, "{systemdrive}\\System Volume Information", Standing::Shared,
     "the system's restore points"},
    {Area::Files, "{systemdrive}\\$Recycle.Bin", Standing::Shared, "the recycle bin"},
    {Area::Files, "{systemdrive}\\RECYCLER", Standing::Shared, "the recycle bin"},
    {Area::Files, "{systemdrive}\\PerfLogs", Standing::Shared, "the system's logs"},
    {Area::Files, "{systemdrive}\\Config.Msi", Standing::Shared, "the Installer's rollback files"},
    {Area::Files, "{systemdrive}\\MSOCache", Standing::Shared, "the installers' shared cache"},
    // Where programs keep their own folders.
    {Area::Files, "{programfiles}", Standing::ProgramsRoot, "a Program Files folder"},
    {Area::Files, "{commonfiles}", Standing::ProgramsRoot, "a Common Files folder"},
    {Area::Files, "{programdata}", Standing::ProgramsRoot, "ProgramData"},
    {Area::Files, "{appdata}", Standing::ProgramsRoot, "the application data"},
    {Area::Files, "{localappdata}", Standing::ProgramsRoot, "the local application data"},
    {Area::Files, "{profile}\\AppData\\Roaming", Standing::ProgramsRoot, "the application data"},
    {Area::Files, "{profile}\\AppData\\Local", Standing::ProgramsRoot,
     "the local application data"},
    {Area::Files, "{profile}\\AppData\\LocalLow", Standing::ProgramsRoot,
     "the local application data"},
    {Area::Files, "{profile}\\Application Data", Standing::ProgramsRoot, "the application data"},
    {Area::Files, "{profile}\\Local Settings\\Application Data", Standing::ProgramsRoot,
     "the local application data"},
    // Windows' own folders among them, and what every program shares there.
    {Area::Files, "{programfiles}\\Internet Explorer", Standing::Shared, "a component of Windows"},
    {Area::Files, "{programfiles}\\Windows NT", Standing::Shared, "a component of Windows"},
    {Area::Files, "{programfiles}\\Windows Mail", Standing::Shared, "a component of Windows"},
    {Area::Files, "{programfiles}\\Windows Media Player", Standing::Shared,
     "a component of Windows"},
    {Area::Files, "{programfiles}\\Windows Photo Viewer", Standing::Shared,
     "a component of Windows"},
    {Area::Files, "{programfiles}\\Windows Sidebar", Standing::Shared, "a component of Windows"},
    {Area::Files, "{programfiles}\\Windows Defender", Standing::Shared, "a component of Windows"},
    {Area::Files, "{programfiles}\\Windows Defender Advanced Threat Protection", Standing::Shared,
     "a component of Windows"},
    {Area::Files, "{programfiles}\\Windows Security", Standing::Shared, "a component of Windows"},
    {Area::Files, "{programfiles}\\Windows Portable Devices", Standing::Shared,
     "a component of Windows"},
    {Area::Files, "{programfiles}\\Windows Journal", Standing::Shared, "a component of Windows"},
    {Area::Files, "{programfiles}\\Windows Multimedia Platform", Standing::Shared,
     "a component of Windows"},
    {Area::Files, "{programfiles}\\WindowsApps", Standing::Shared, "a component of Windows"},
    {Area::Files, "{programfiles}\\ModifiableWindowsApps", Standing::Shared,
     "a component of Windows"},
    {Area::Files, "{programfiles}\\WindowsPowerShell", Standing::Shared, "a component of Windows"},
    {Area::Files, "{programfiles}\\Microsoft.NET", Standing::Shared, "a component of Windows"},
    {Area::Files, "{programfiles}\\Reference Assemblies", Standing::Shared,
     "a component of Windows"},
    {Area::Files, "{programfiles}\\MSBuild", Standing::Shared, "a component of Windows"},
    {Area::Files, "{programfiles}\\Uninstall Information", Standing::Shared,
     "a component of Windows"},
    {Area::Files, "{commonfiles}\\Microsoft Shared", Standing::Shared, "files programs share"},
    {Area::Files, "{commonfiles}\\System", Standing::Shared, "files programs share"},
    {Area::Files, "{commonfiles}\\Services", Standing::Shared, "files programs share"},
    {Area::Files, "{commonfiles}\\SpeechEngines", Standing::Shared, "files programs share"},
    {Area::Files, "{commonfiles}\\Designer", Standing::Shared, "files programs share"},
    {Area::Files, "{commonfiles}\\InstallShield", Standing::Shared, "files programs share"},
    {Area::Files, "{programdata}\\Microsoft", Standing::Shared, "Windows' own data"},
    {Area::Files, "{programdata}\\Package Cache", Standing::Shared, "the installers' shared cache"},
    {Area::Files, "{appdata}\\Microsoft", Standing::Shared, "Windows' own data"},
    {Area::Files, "{localappdata}\\Microsoft", Standing::Shared, "Windows' own data"},
    {Area::Files, "{profile}\\AppData\\Roaming\\Microsoft", Standing::Shared, "Windows' own data"},
    {Area::Files, "{profile}\\AppData\\Local\\Microsoft", Standing::Shared, "Windows' own data"},
    {Area::Files, "{profile}\\AppData\\LocalLow\\Microsoft", Standing::Shared, "Windows' own data"},
    {Area::Files, "{profile}\\Application Data\\Microsoft", Standing::Shared, "Windows' own data"},
    {Area::Files, "{profile}\\Local Settings\\Application Data\\Microsoft", Standing::Shared,
     "Windows' own data"},
    {Area::Files, "{profile}\\AppData\\Local\\Temp", Standing::Shared, "the temporary folder"},
    {Area::Files, "{profile}\\Local Settings\\Temp", Standing::Shared, "the temporary folder"},
    {Area::Files, "{profile}\\AppData\\Local\\Packages", Standing::Shared, "Windows' own data"},
    // The user's own folders.
    {Area::Files, "{profiles}", Standing::Shared, "the profiles folder"},
    {Area::Files, "{profile}", Standing::Shared, "a user's profile"},
    {Area::Files, "{profile}\\Documents", Standing::Shared, "the user's documents"},
    {Area::Files, "{profile}\\My Documents", Standing::Shared, "the user's documents"},
    {Area::Files, "{profile}\\Downloads", Standing::Shared, "the user's downloads"},
    {Area::Files, "{profile}\\Music", Standing::Shared, "the user's music"},
    {Area::Files, "{profile}\\Pictures", Standing::Shared, "the user's pictures"},
    {Area::Files, "{profile}\\Videos", Standing::Shared, "the user's videos"},
    {Area::Files, "{profile}\\Favorites", Standing::Shared, "the user's favorites"},
    {Area::Files, "{profile}\\Links", Standing::Shared, "the user's links"},
    {Area::Files, "{profile}\\Saved Games", Standing::Shared, "the user's saved games"},
    {Area::Files, "{profile}\\Contacts", Standing::Shared, "the user's contacts"},
    {Area::Files, "{profile}\\Searches", Standing::Shared, "the user's searches"},
    {Area::Files, "{profile}\\OneDrive", Standing::Shared, "the user's files"},
    {Area::Files, "{profile}\\Templates", Standing::Shared, "the user's templates"},
    {Area::Files, "{profile}\\Cookies", Standing::Shared, "the user's cookies"},
    {Area::Files, "{profile}\\NetHood", Standing::Shared, "the user's network places"},
    {Area::Files, "{profile}\\PrintHood", Standing::Shared, "the user's printers"},
    {Area::Files, "{profile}\\Recent", Standing::Shared, "the user's recent files"},
    {Area::Files, "{profile}\\SendTo", Standing::Shared, "the Send To menu"},
    {Area::Files, "{documents}", Standing::Shared, "the user's documents"},
    {Area::Files, "{commondocuments}", Standing::Shared, "the shared documents"},
    {Area::Files, "{music}", Standing::Shared, "the user's music"},
    {Area::Files, "{commonmusic}", Standing::Shared, "the shared music"},
    {Area::Files, "{pictures}", Standing::Shared, "the user's pictures"},
    {Area::Files, "{commonpictures}", Standing::Shared, "the shared pictures"},
    {Area::Files, "{videos}", Standing::Shared, "the user's videos"},
    {Area::Files, "{commonvideos}", Standing::Shared, "the shared videos"},
    {Area::Files, "{favorites}", Standing::Shared, "the user's favorites"},
    {Area::Files, "{commonfavorites}", Standing::Shared, "the shared favorites"},
    {Area::Files, "{templates}", Standing::Shared, "the user's templates"},
    {Area::Files, "{commontemplates}", Standing::Shared, "the shared templates"},
    {Area::Files, "{recent}", Standing::Shared, "the user's recent files"},
    {Area::Files, "{sendto}", Standing::Shared, "the Send To menu"},
    {Area::Files, "{nethood}", Standing::Shared, "the user's network places"},
    {Area::Files, "{printhood}", Standing::Shared, "the user's printers"},
    {Area::Files, "{cookies}", Standing::Shared, "the user's cookies"},
    {Area::Files, "{history}", Standing::Shared, "the browsing history"},
    {Area::Files, "{internetcache}", Standing::Shared, "the internet cache"},
    {Area::Files, "{cdburnarea}", Standing::Shared, "the CD burning folder"},
    {Area::Files, "{admintools}", Standing::Shared, "the administrative tools"},
    {Area::Files, "{commonadmintools}", Standing::Shared, "the administrative tools"},
    // The desktop and the start menus: shortcuts, and program groups in the programs menus.
    {Area::Files, "{desktop}", Standing::Shortcuts, "the desktop"},
    {Area::Files, "{commondesktop}", Standing::Shortcuts, "the desktop"},
    {Area::Files, "{profile}\\Desktop", Standing::Shortcuts, "the desktop"},
    {Area::Files, "{startmenu}", Standing::Shortcuts, "the start menu"},
    {Area::Files, "{commonstartmenu}", Standing::Shortcuts, "the start menu"},
    {Area::Files, "{profile}\\Start Menu", Standing::Shortcuts, "the start menu"},
    {Area::Files, "{profile}\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
     Standing::Shortcuts, "the start menu"},
    {Area::Files, "{programdata}\\Microsoft\\Windows\\Start Menu", Standing::Shortcuts,
     "the start menu"},
    {Area::Files, "{programs}", Standing::ProgramGroups, "the programs menu"},
    {Area::Files, "{commonprograms}", Standing::ProgramGroups, "the programs menu"},
    {Area::Files, "{profile}\\Start Menu\\Programs", Standing::ProgramGroups, "the programs menu"},
    {Area::Files, "{profile}\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
     Standing::ProgramGroups, "the programs menu"},
    {Area::Files, "{programdata}\\Microsoft\\Windows\\Start Menu\\Programs",
     Standing::ProgramGroups, "the programs menu"},
    {Area::Files, "{startup}", Standing::Shortcuts, "the startup folder"},
    {Area::Files, "{commonstartup}", Standing::Shortcuts, "the startup folder"},
    {Area::Files, "{programs}\\Startup", Standing::Shortcuts, "the startup folder"},
    {Area::Files, "{commonprograms}\\Startup", Standing::Shortcuts, "the startup folder"},
    {Area::Files, "{programs}\\Accessories", Standing::Shared, "a program group of Windows"},
    {Area::Files, "{commonprograms}\\Accessories", Standing::Shared, "a program group of Windows"},
    {Area::Files, "{programs}\\Administrative Tools", Standing::Shared,
     "a program group of Windows"},
    {Area::Files, "{commonprograms}\\Administrative Tools", Standing::Shared,
     "a program group of Windows"},
    {Area::Files, "{programs}\\System Tools", Standing::Shared, "a program group of Windows"},
    {Area::Files, "{commonprograms}\\System Tools", Standing::Shared, "a program group of Windows"},
    {Area::Files, "{programs}\\Maintenance", Standing::Shared, "a program group of Windows"},
    {Area::Files, "{commonprograms}\\Maintenance", Standing::Shared, "a program group of Windows"},
    {Area::Files, "{programs}\\Windows PowerShell", Standing::Shared, "a program group of Windows"},
    {Area::Files, "{commonprograms}\\Windows PowerShell", Standing::Shared,
     "a program group of Windows"},
    {Area::Files, "{programs}\\Windows Accessories", Standing::Shared,
     "a program group of Windows"},
    {Area::Files, "{commonprograms}\\Windows Accessories", Standing::Shared,
     "a program group of Windows"},
    {Area::Files, "{programs}\\Windows Administrative Tools", Standing::Shared,
     "a program group of Windows"},
    {Area::Files, "{commonprograms}\\Windows Administrative Tools", Standing::Shared,
     "a program group of Windows"},
    {Area::Files, "{programs}\\Windows System", Standing::Shared, "a program group of Windows"},
    {Area::Files, "{commonprograms}\\Windows System", Standing::Shared,
     "a program group of Windows"},
    {Area::Files, "{programs}\\Wine", Standing::Shared, "a program group of Windows"},
    {Area::Files, "{commonprograms}\\Wine", Standing::Shared, "a program group of Windows"},

    // The software roots: vendor\product keys below them.
    {Area::Registry, "ANY\\{software}", Standing::Vendors, "the software key"},
    // Keys of Windows, and keys every program shares, at the top of the software roots.
    {Area::Registry, "ANY\\{software}\\Microsoft", Standing::WindowsKeys, "a key of Windows"},
    {Area::Registry, "ANY\\{software}\\Policies", Standing::WindowsKeys, "the policies"},
    {Area::Registry, "ANY\\{software}\\Clients", Standing::WindowsKeys, "the default programs"},
    {Area::Registry, "ANY\\{software}\\RegisteredApplications", Standing::WindowsKeys,
     "the default programs"},
    {Area::Registry, "ANY\\{software}\\ODBC", Standing::WindowsKeys, "the database drivers"},
    {Area::Registry, "ANY\\{software}\\Wine", Standing::WindowsKeys, "a key of Windows"},
    {Area::Registry, "ANY\\{software}\\Windows", Standing::WindowsKeys, "a key of Windows"},
    {Area::Registry, "ANY\\{software}\\Description", Standing::WindowsKeys, "a key of Windows"},
    {Area::Registry, "ANY\\{software}\\DefaultUserEnvironment", Standing::WindowsKeys,
     "a key of Windows"},
    {Area::Registry, "ANY\\{software}\\Secure", Standing::WindowsKeys, "a key of Windows"},
    {Area::Registry, "ANY\\{software}\\Setup", Standing::WindowsKeys, "a key of Windows"},
    {Area::Registry, "ANY\\{software}\\Program Groups", Standing::WindowsKeys, "a key of Windows"},
    {Area::Registry, "ANY\\{software}\\AppDataLow", Standing::WindowsKeys, "a key of Windows"},
    // Registrations in Windows' keys: one program's child, with evidence.
    {Area::Registry, "ANY\\{software}\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
     Standing::Registrations, "the Uninstall list", Evidence::UninstallEntry},
    {Area::Registry,
     "ANY\\{software}\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache",
     Standing::Registrations, "the Uninstall list's cache", Evidence::ArpCache},
    {Area::Registry, "ANY\\{software}\\Microsoft\\Windows\\CurrentVersion\\App Paths",
     Standing::Registrations, "the App Paths list", Evidence::AppPath},
    {Area::Registry,
     "HKLM\\{software}\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\<any>\\Products",
     Standing::Registrations, "the Installer's products", Evidence::InstallerProduct},
    {Area::Registry,
     "HKLM\\{software}\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\<any>\\Components",
     Standing::Registrations, "the Installer's components", Evidence::InstallerShared},
    {Area::Registry,
     "HKLM\\{software}\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes",
     Standing::Registrations, "the Installer's upgrade codes", Evidence::InstallerShared},
    {Area::Registry, "USER\\{software}\\Microsoft\\Installer\\Products", Standing::Registrations,
     "the Installer's products", Evidence::InstallerProduct},
    {Area::Registry, "USER\\{software}\\Microsoft\\Installer\\Features", Standing::Registrations,
     "the Installer's features", Evidence::InstallerProduct},
    {Area::Registry, "USER\\{software}\\Microsoft\\Installer\\UpgradeCodes",
     Standing::Registrations, "the Installer's upgrade codes", Evidence::InstallerShared},
    // Lists whose values are programs' entries.
    {Area::Registry, "ANY\\{software}\\Microsoft\\Windows\\CurrentVersion\\Run", Standing::RunList,
     "the programs started with Windows"},
    {Area::Registry, "ANY\\{software}\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
     Standing::RunList, "the programs started with Windows"},
    {Area::Registry, "ANY\\{software}\\Microsoft\\Windows\\CurrentVersion\\RunServices",
     Standing::RunList, "the programs started with Windows"},
    {Area::Registry, "ANY\\{software}\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
     Standing::RunList, "the programs started with Windows"},
    {Area::Registry, "ANY\\{software}\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
     Standing::RunList, "the programs started with Windows"},
    {Area::Registry, "HKLM\\{software}\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
     Standing::PathList, "the shared files list"},
    {Area::Registry, "HKLM\\{software}\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders",
     Standing::PathList, "the Installer's folders"},
    {Area::Registry, "USER\\{software}\\Microsoft\\Windows\\ShellNoRoam\\MUICache",
     Standing::PathList, "the program names cache"},
    {Area::Registry,
     "USER\\{classes}\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache",
     Standing::PathList, "the program names cache"},
    // The classes: a program's own ProgIDs and file types, and its COM registrations.
    {Area::Registry, "ANY\\{classes}", Standing::Classes, "the classes"},
    {Area::Registry, "ANY\\{classes}\\CLSID", Standing::Registrations, "the COM classes",
     Evidence::ComClass},
    {Area::Registry, "ANY\\{classes}\\TypeLib", Standing::Registrations, "the type libraries",
     Evidence::TypeLibrary},
    {Area::Registry, "ANY\\{classes}\\Interface", Standing::Registrations, "the interfaces",
     Evidence::Interface},
    {Area::Registry, "ANY\\{classes}\\AppID", Standing::Registrations, "the COM applications",
     Evidence::AppId},
    {Area::Registry, "ANY\\{classes}\\Installer", Standing::WindowsKeys, "the Installer's keys"},
    {Area::Registry, "ANY\\{classes}\\Installer\\Products", Standing::Registrations,
     "the Installer's products", Evidence::InstallerProduct},
    {Area::Registry, "ANY\\{classes}\\Installer\\Features", Standing::Registrations,
     "the Installer's features", Evidence::InstallerProduct},
    {Area::Registry, "ANY\\{classes}\\Installer\\UpgradeCodes", Standing::Registrations,
     "the Installer's upgrade codes", Evidence::InstallerShared},
    {Area::Registry, "ANY\\{classes}\\Installer\\Components", Standing::Registrations,
     "the Installer's components", Evidence::InstallerShared},
    {Area::Registry, "ANY\\{classes}\\Local Settings", Standing::WindowsKeys, "a key of Windows"},
    {Area::Registry, "ANY\\{classes}\\*", Standing::WindowsKeys, "a class every file shares"},
    {Area::Registry, "ANY\\{classes}\\AllFilesystemObjects", Standing::WindowsKeys,
     "a class every file shares"},
    {Area::Registry, "ANY\\{classes}\\Directory", Standing::WindowsKeys, "a class of Windows"},
    {Area::Registry, "ANY\\{classes}\\Drive", Standing::WindowsKeys, "a class of Windows"},
    {Area::Registry, "ANY\\{classes}\\Folder", Standing::WindowsKeys, "a class of Windows"},
    {Area::Registry, "ANY\\{classes}\\DesktopBackground", Standing::WindowsKeys,
     "a class of Windows"},
    {Area::Registry, "ANY\\{classes}\\SystemFileAssociations", Standing::WindowsKeys,
     "a class of Windows"},
    {Area::Registry, "ANY\\{classes}\\Applications", Standing::WindowsKeys, "a class of Windows"},
    {Area::Registry, "ANY\\{classes}\\Unknown", Standing::WindowsKeys, "a class of Windows"},
    {Area::Registry, "ANY\\{classes}\\MIME", Standing::WindowsKeys, "a class of Windows"},
    {Area::Registry, "ANY\\{classes}\\PROTOCOLS", Standing::WindowsKeys, "a class of Windows"},
    {Area::Registry, "ANY\\{classes}\\Wow6432Node", Standing::Classes, "the classes"},
    // Every file type and protocol of Windows itself.
    {Area::Registry, "ANY\\{classes}\\<system-class>", Standing::WindowsKeys,
     "a file type or protocol of Windows"},
    // The system's configuration: only a service proven to be the program's.
    {Area::Registry, "HKLM\\SYSTEM", Standing::WindowsKeys, "the system's configuration"},
    {Area::Registry, "HKLM\\SYSTEM\\{controlset}\\Services", Standing::Services, "the services"},
    {Area::Registry,
     "HKLM\\SYSTEM\\{controlset}\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\<any>\\"
     "AuthorizedApplications\\List",
     Standing::PathList, "the firewall's list"},
};

// File types and protocols that are Windows' own (class keys named by them are never a
// program's, whatever points into its folders).
constexpr std::string_view kSystemClasses[] = {"txtfile",
                                               "inifile",
                                               "inffile",
                                               "exefile",
                                               "dllfile",
                                               "batfile",
                                               "cmdfile",
                                               "comfile",
                                               "regfile",
                                               "lnkfile",
                                               "piffile",
                                               "scrfile",
                                               "htmlfile",
                                               "mhtmlfile",
                                               "xmlfile",
                                               "jsfile",
                                               "jsefile",
                                               "vbsfile",
                                               "vbefile",
                                               "wsffile",
                                               "wshfile",
                                               "cplfile",
                                               "sysfile",
                                               "ocxfile",
                                               "drvfile",
                                               "msifile",
                                               "Msi.Package",
                                               "Msi.Patch",
                                               "InternetShortcut",
                                               "CompressedFolder",
                                               "ShellScrap",
                                               "http",
                                               "https",
                                               "ftp",
                                               "file",
                                               "mailto",
                                               "ldap",
                                               "news",
                                               "nntp",
                                               "snews",
                                               "telnet",
                                               "rlogin",
                                               "tn3270",
                                               "callto",
                                               "res",
                                               "about",
                                               "javascript",
                                               "vbscript",
                                               "mk",
                                               "its",
                                               "ms-its",
                                               "shell",
                                               "search-ms",
                                               "search",
                                               ".txt",
                                               ".ini",
                                               ".inf",
                                               ".exe",
                                               ".dll",
                                               ".com",
                                               ".bat",
                                               ".cmd",
                                               ".lnk",
                                               ".url",
                                               ".pif",
                                               ".reg",
                                               ".htm",
                                               ".html",
                                               ".xml",
                                               ".js",
                                               ".vbs",
                                               ".msi"};

// Services of Windows (and Wine's stand-ins): never stopped or deleted.
constexpr std::string_view kSystemServices[] = {"RpcSs",
                                                "RpcEptMapper",
                                                "DcomLaunch",
                                                "PlugPlay",
                                                "Eventlog",
                                                "EventSystem",
                                                "Schedule",
                                                "MSIServer",
                                                "TrustedInstaller",
                                                "Spooler",
                                                "Winmgmt",
                                                "wuauserv",
                                                "BITS",
                                                "CryptSvc",
                                                "LanmanServer",
                                                "LanmanWorkstation",
                                                "Dhcp",
                                                "Dnscache",
                                                "nsi",
                                                "Netman",
                                                "Netlogon",
                                                "NlaSvc",
                                                "SamSs",
                                                "LSM",
                                                "ProfSvc",
                                                "UserManager",
                                                "gpsvc",
                                                "Power",
                                                "SENS",
                                                "SystemEventsBroker",
                                                "BrokerInfrastructure",
                                                "CoreMessagingRegistrar",
                                                "TermService",
                                                "SessionEnv",
                                                "BFE",
                                                "MpsSvc",
                                                "SharedAccess",
                                                "WinDefend",
                                                "wscsvc",
                                                "W32Time",
                                                "AudioSrv",
                                                "AudioEndpointBuilder",
                                                "Themes",
                                                "ShellHWDetection",
                                                "WSearch",
                                                "iphlpsvc",
                                                "FontCache",
                                                "seclogon",
                                                "VSS",
                                                "swprv",
                                                "WinHttpAutoProxySvc",
                                                "Tcpip",
                                                "Afd",
                                                "NetBT",
                                                "Null",
                                                "Beep",
                                                "MountMgr",
                                                "winebus",
                                                "winehid",
                                                "wineusb",
                                                "nsiproxy",
                                                "HTTP",
                                                "StiSvc",
                                                "Browser"};

// Processes no removal may end: the system's own, and Wine's stand-ins for them.
constexpr std::string_view kSystemProcesses[] = {
    "system",         "[system process]", "smss.exe",  "csrss.exe",   "wininit.exe", "winlogon.exe",
    "services.exe",   "lsass.exe",        "lsm.exe",   "svchost.exe", "dwm.exe",     "explorer.exe",
    "winedevice.exe", "plugplay.exe",     "rpcss.exe", "wineboot.exe"};

// Words too common to tell one program from another.
constexpr std::string_view kCommonWords[] = {
    "windows",     "microsoft", "system",    "program",    "programs",     "files",     "software",
    "setup",       "install",   "installer", "update",     "updater",      "uninstall", "common",
    "shared",      "data",      "config",    "temp",       "user",         "users",     "tool",
    "tools",       "utility",   "utilities", "service",    "services",     "driver",    "drivers",
    "helper",      "manager",   "edition",   "version",    "professional", "personal",  "deluxe",
    "free",        "lite",      "plus",      "suite",      "studio",       "center",    "centre",
    "online",      "client",    "server",    "desktop",    "document",     "documents", "corp",
    "corporation", "company",   "limited",   "labs",       "games",        "media",     "security",
    "inc.",        "gmbh",      "wine",      "application"};

// File types the system loads as programs: their version information says whose they are.
constexpr std::string_view kImageTypes[] = {".exe", ".dll", ".sys", ".ocx", ".cpl",
                                            ".drv", ".scr", ".ax",  ".acm", ".com",
                                            ".efi", ".mui", ".tsp", ".node"};

constexpr std::string_view kShortcutTypes[] = {".lnk", ".url", ".pif"};

bool ContainsFolded(std::span<const std::string_view> table, std::string_view text) {
  return std::any_of(table.begin(), table.end(),
                     [&](std::string_view entry) { return SameTextAscii(entry, text); });
}

Decision Allow(std::string reason) {
  return Decision{true, false, std::move(reason)};
}
Decision Refuse(std::string reason, bool byPlace) {
  return Decision{false, byPlace, std::move(reason)};
}

// --- Path texts --------------------------------------------------------------------------

std::vector<std::string_view> PartsOf(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find('\\', start);
    const std::string_view part = text.substr(start, end == text.npos ? text.npos : end - start);
    if (!part.empty()) parts.push_back(part);
    if (end == text.npos) break;
    start = end + 1;
  }
  return parts;
}

std::size_t DepthOf(std::string_view canonical) {
  return PartsOf(canonical).size();
}

// A part the system reads as "go up": two dots or more once trailing blanks are gone.
bool IsClimbingPart(std::string_view part) {
  while (!part.empty() && part.back() == ' ')
    part.remove_suffix(1);
  return part.size() >= 2 && part.find_first_not_of('.') == std::string_view::npos;
}

bool HasClimbingPart(std::string_view text) {
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find_first_of("\\/", start);
    if (IsClimbingPart(text.substr(start, end == text.npos ? text.npos : end - start))) return true;
    if (end == text.npos) return false;
    start = end + 1;
  }
  return false;
}

std::string FoldPart(std::string_view part) {
  while (!part.empty() && (part.back() == '.' || part.back() == ' '))
    part.remove_suffix(1);
  return LowerAscii(part);
}

std::string ParentOf(std::string_view canonical) {
  const std::size_t slash = canonical.rfind('\\');
  return slash == std::string_view::npos ? std::string() : std::string(canonical.substr(0, slash));
}

std::string LastPart(std::string_view text) {
  const std::size_t slash = text.find_last_of("\\/");
  return std::string(slash == std::string_view::npos ? text : text.substr(slash + 1));
}

bool HasType(std::string_view name, std::span<const std::string_view> types) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view type = name.substr(dot);
  return std::any_of(types.begin(), types.end(),
                     [&](std::string_view known) { return SameTextAscii(known, type); });
}

bool IsLocalHost(std::string_view host, std::string_view computer) {
  const std::string folded = LowerAscii(host);
  if (folded == "localhost" || folded == "::1" || folded == "[::1]" ||
      folded == "0:0:0:0:0:0:0:1" || folded.starts_with("localhost.") ||
      folded.starts_with("127.")) {
    return true;
  }
  return !computer.empty() &&
         (SameTextAscii(host, computer) || StartsWithTextAscii(host, std::string(computer) + "."));
}

std::optional<std::string> TextOf(const std::optional<platform::RegValue>& value) {
  if (!value || !platform::IsSingleStringType(value->type)) return std::nullopt;
  return value->data;
}

std::optional<std::string> ReadText(platform::Registry& registry, Hive hive, std::string_view path,
                                    std::string_view name) {
  auto key = registry.OpenKey(hive, path, KeyAccess::Read);
  if (!key) return std::nullopt;
  return TextOf(key->QueryValue(name));
}

std::vector<std::string> SubKeys(const platform::RegistryKey& key) {
  std::vector<std::string> names;
  for (std::uint32_t i = 0;; ++i) {
    auto name = key.EnumKey(i);
    if (!name) break;
    names.push_back(std::move(*name));
  }
  return names;
}

std::vector<std::string> ValueNamesOf(const platform::RegistryKey& key) {
  std::vector<std::string> names;
  for (std::uint32_t i = 0;; ++i) {
    auto name = key.EnumValue(i);
    if (!name) break;
    names.push_back(std::move(*name));
  }
  return names;
}

bool IsGuidInBraces(std::string_view text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  for (std::size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    const char c = text[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (dash ? c != '-' : !hex) return false;
  }
  return true;
}

// "%SystemDrive%" and "%SystemRoot%", the variables profile paths and service images use.
std::string ExpandSystemVariables(std::string_view text, std::string_view windows) {
  std::string result(text);
  const std::string drive(windows.substr(0, 2));
  for (const auto& [name, value] :
       {std::pair<std::string_view, std::string_view>{"%SystemDrive%", drive},
        {"%SystemRoot%", windows},
        {"%windir%", windows}}) {
    for (std::size_t at = FindTextAscii(result, name); at != std::string::npos;
         at = FindTextAscii(result, name, at + value.size())) {
      result.replace(at, name.size(), value);
    }
  }
  return result;
}

}  // namespace

// --- Free helpers ------------------------------------------------------------------------

std::string PackedProductCode(std::string_view guid) {
  if (!IsGuidInBraces(guid)) return {};
  const std::string hex = UpperAscii(ReplaceAll(guid.substr(1, 36), "-", ""));
  std::string packed;
  const auto reversed = [&](std::size_t from, std::size_t length) {
    for (std::size_t i = from + length; i > from; --i)
      packed += hex[i - 1];
  };
  reversed(0, 8);
  reversed(8, 4);
  reversed(12, 4);
  for (std::size_t i = 16; i < 32; i += 2) {
    packed += hex[i + 1];
    packed += hex[i];
  }
  return packed;
}

std::string ProductCodeOfEntry(std::string_view keyName, std::string_view uninstallString) {
  // The Installer's own command names the product; a key named by a GUID is the Installer's
  // way of naming an entry otherwise.
  const std::string text(uninstallString);
  const std::string named = IsGuidInBraces(TrimView(keyName)) ? UpperAscii(TrimView(keyName)) : "";
  if (FindTextAscii(text, "msiexec") == std::string::npos) return named;
  for (const std::string_view option : {"/x", "/i", "-x", "-i"}) {
    for (std::size_t at = FindTextAscii(text, option); at != std::string::npos;
         at = FindTextAscii(text, option, at + 1)) {
      std::string_view rest = TrimLeftView(std::string_view(text).substr(at + 2));
      if (rest.size() >= 38 && IsGuidInBraces(rest.substr(0, 38)))
        return UpperAscii(rest.substr(0, 38));
    }
  }
  return named;
}

std::string ProgramPathOfCommand(std::string_view command, std::string_view windows) {
  std::string_view text = TrimView(command);
  std::string path;
  if (!text.empty() && text.front() == '"') {
    const std::size_t close = text.find('"', 1);
    path = std::string(text.substr(1, close == std::string_view::npos ? close : close - 1));
  } else {
    // Unquoted, the program ends with its file type; without one, at the first blank.
    const std::string folded = LowerAscii(text);
    std::size_t end = std::string::npos;
    for (const std::string_view type :
         {".exe", ".com", ".bat", ".cmd", ".dll", ".sys", ".ocx", ".cpl", ".scr", ".drv"}) {
      for (std::size_t at = folded.find(type); at != std::string::npos;
           at = folded.find(type, at + 1)) {
        const std::size_t after = at + type.size();
        if (after == folded.size() || folded[after] == ' ' || folded[after] == ',' ||
            folded[after] == '"') {
          end = std::min(end, after);
          break;
        }
      }
    }
    // Without one, the arguments start at the first blank before a switch.
    if (end == std::string::npos) {
      for (const std::string_view switchStart : {" /", " -"})
        end = std::min(end, text.find(switchStart));
    }
    path = std::string(TrimView(text.substr(0, end)));
  }
  path = ExpandSystemVariables(path, windows);
  if (StartsWithTextAscii(path, "\\??\\")) path.erase(0, 4);
  if (StartsWithTextAscii(path, "\\SystemRoot\\")) path = std::string(windows) + path.substr(11);
  if (StartsWithTextAscii(path, "system32\\") || StartsWithTextAscii(path, "SysWOW64\\"))
    path = std::string(windows) + "\\" + path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return IsFullyQualifiedPath(path) ? path : std::string();
}

std::string FoldedPathText(std::string_view text) {
  std::string unified(TrimView(text));
  std::replace(unified.begin(), unified.end(), '/', '\\');
  std::string head;
  std::string_view rest(unified);
  if (rest.starts_with("\\\\")) {
    head = "\\\\";
    rest.remove_prefix(2);
  } else if (rest.size() >= 2 && rest[1] == ':') {
    head = LowerAscii(rest.substr(0, 2));
    rest.remove_prefix(2);
  }
  std::vector<std::string> parts;
  for (const std::string_view part : PartsOf(rest)) {
    if (IsClimbingPart(part)) {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    std::string folded = FoldPart(part);
    if (folded.empty()) continue;
    parts.push_back(std::move(folded));
  }
  std::string result = head;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0 || !head.empty()) result += '\\';
    result += parts[i];
  }
  return result;
}

bool IsSameOrBelow(std::string_view path, std::string_view folder) noexcept {
  if (folder.empty()) return false;
  if (path == folder) return true;
  return path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '\\';
}

// --- The machine's places ----------------------------------------------------------------

namespace {

struct ExpandedPlace {
  std::string canonical;
  Standing standing;
  std::string_view what;
};

// One part of an expanded key pattern: a name, or one of the wildcards.
struct KeyPart {
  enum class Kind { Name, Any, ControlSet, SystemClass } kind = Kind::Name;
  std::string name;  // lower case
};

enum class Scope { Machine, User, None };

struct KeyPlace {
  Scope scope;  // Machine, User, or None for both
  std::vector<KeyPart> parts;
  Standing standing;
  Evidence evidence;
  std::string_view what;
};

bool IsControlSetName(std::string_view name) {
  return name == "currentcontrolset" ||
         (name.size() == 13 && name.starts_with("controlset") &&
          std::all_of(name.begin() + 10, name.end(), [](char c) { return c >= '0' && c <= '9'; }));
}

bool PartMatches(const KeyPart& pattern, std::string_view name) {
  switch (pattern.kind) {
    case KeyPart::Kind::Name:
      return pattern.name == name;
    case KeyPart::Kind::Any:
      return true;
    case KeyPart::Kind::ControlSet:
      return IsControlSetName(name);
    case KeyPart::Kind::SystemClass:
      return ContainsFolded(kSystemClasses, name) || name.starts_with("ms-");
  }
  return false;
}

// Strictest first: where two places are the same folder, the stricter one decides.
int Strictness(Standing standing) {
  switch (standing) {
    case Standing::Windows:
      return 5;
    case Standing::Shared:
      return 4;
    case Standing::Shortcuts:
      return 3;
    case Standing::ProgramGroups:
      return 2;
    default:
      return 1;
  }
}

}  // namespace

struct RemovalPolicy::Machine {
  std::vector<ExpandedPlace> places;
  // Canonical folder -> the place there.
  std::unordered_map<std::string, std::size_t> placeAt;
  // Every place and every folder above one -> a place it is or holds.
  std::unordered_map<std::string, std::size_t> holding;
  std::vector<KeyPlace> keyPlaces;
  std::string windows;    // as the system names it
  std::string ownFolder;  // this program's folder, canonical
  std::string computerName;

  [[nodiscard]] const ExpandedPlace* Innermost(std::string_view canonical) const {
    std::string folder(canonical);
    while (true) {
      folder = ParentOf(folder);
      if (folder.empty()) return nullptr;
      if (const auto hit = placeAt.find(folder); hit != placeAt.end()) return &places[hit->second];
    }
  }
};

struct RemovalPolicy::KeyName {
  Scope scope = Scope::None;
  std::vector<std::string> parts;  // lower case, from the scope's root
  Hive hive = Hive::CurrentConfig;
  std::string path;                    // below the hive, as given, without a leading backslash
  std::vector<std::string> pathParts;  // the parts of `path`, as given
  // Where parts[i] stands in pathParts: i + shift (HKEY_CLASSES_ROOT adds two parts in front,
  // a user's hive below HKEY_USERS drops its SID).
  int shift = 0;

  // The path below the hive of the first `count` parts.
  [[nodiscard]] std::string PathOfParts(std::size_t count) const {
    const long end = static_cast<long>(count) + shift;
    std::string result;
    for (long i = 0; i < end && i < static_cast<long>(pathParts.size()); ++i)
      result += (i ? "\\" : "") + pathParts[static_cast<std::size_t>(i)];
    return result;
  }
};

namespace {

std::optional<RemovalPolicy::KeyName> ParseKey(std::string_view fullKeyPath) {
  if (fullKeyPath.find('\0') != std::string_view::npos) return std::nullopt;
  const std::size_t slash = fullKeyPath.find('\\');
  const std::string_view hiveName = fullKeyPath.substr(0, slash);
  RemovalPolicy::KeyName key;
  std::string_view below =
      slash == std::string_view::npos ? std::string_view() : fullKeyPath.substr(slash + 1);
  std::vector<std::string> parts;
  for (const std::string_view part : PartsOf(below)) {
    parts.push_back(LowerAscii(part));
    key.pathParts.emplace_back(part);
  }
  key.path = std::string(below);
  if (SameTextAscii(hiveName, "HKEY_LOCAL_MACHINE")) {
    key.hive = Hive::LocalMachine;
    key.scope = Scope::Machine;
  } else if (SameTextAscii(hiveName, "HKEY_CLASSES_ROOT")) {
    key.hive = Hive::ClassesRoot;
    key.scope = Scope::Machine;
    parts.insert(parts.begin(), {"software", "classes"});
    key.shift = -2;
  } else if (SameTextAscii(hiveName, "HKEY_CURRENT_USER")) {
    key.hive = Hive::CurrentUser;
    key.scope = Scope::User;
  } else if (SameTextAscii(hiveName, "HKEY_USERS")) {
    key.hive = Hive::Users;
    if (parts.empty()) return std::nullopt;
    const std::string user = parts.front();
    parts.erase(parts.begin());
    key.scope = Scope::User;
    key.shift = 1;
    if (user.ends_with("_classes")) {
      parts.insert(parts.begin(), {"software", "classes"});
      key.shift = -1;
    }
  } else if (SameTextAscii(hiveName, "HKEY_CURRENT_CONFIG")) {
    key.hive = Hive::CurrentConfig;
    key.scope = Scope::None;
  } else {
    return std::nullopt;
  }
  key.parts = std::move(parts);
  return key;
}

std::vector<std::vector<KeyPart>> ExpandKeyPattern(std::string_view pattern) {
  std::vector<std::vector<KeyPart>> expanded{{}};
  for (const std::string_view part : PartsOf(pattern)) {
    std::vector<std::vector<std::string_view>> choices;
    if (part == "{software}") {
      choices = {{"software"}, {"software", "wow6432node"}};
    } else if (part == "{classes}") {
      choices = {{"software", "classes"},
                 {"software", "wow6432node", "classes"},
                 {"software", "classes", "wow6432node"}};
    } else {
      choices = {{part}};
    }
    std::vector<std::vector<KeyPart>> next;
    for (const auto& head : expanded) {
      for (const auto& choice : choices) {
        std::vector<KeyPart> parts = head;
        for (const std::string_view name : choice) {
          KeyPart keyPart;
          if (name == "<any>") {
            keyPart.kind = KeyPart::Kind::Any;
          } else if (name == "{controlset}") {
            keyPart.kind = KeyPart::Kind::ControlSet;
          } else if (name == "<system-class>") {
            keyPart.kind = KeyPart::Kind::SystemClass;
          } else {
            keyPart.name = LowerAscii(name);
          }
          parts.push_back(std::move(keyPart));
        }
        next.push_back(std::move(parts));
      }
    }
    expanded = std::move(next);
  }
  return expanded;
}

// The folder texts a folder token stands for on this machine.
std::vector<std::string> FoldersOfToken(std::string_view token, platform::System& system,
                                        const std::string& windows,
                                        const std::vector<std::string>& profilesRoots,
                                        const std::vector<std::string>& profiles) {
  namespace csidl = platform::csidl;
  const std::string drive = windows.size() >= 2 ? windows.substr(0, 2) : std::string("C:");
  const auto shell = [&](std::initializer_list<int> ids) {
    std::vector<std::string> folders;
    for (const int id : ids)
      folders.push_back(system.SpecialFolder(id));
    return folders;
  };
  if (token == "windows") return {windows, system.SpecialFolder(csidl::kWindows)};
  if (token == "systemdrive") return {drive};
  if (token == "system") return {system.SystemDirectory(), system.SpecialFolder(csidl::kSystem)};
  if (token == "systemx86") return shell({csidl::kSystemX86});
  if (token == "fonts") return shell({csidl::kFonts});
  if (token == "resources") return shell({csidl::kResources});
  if (token == "programfiles") {
    return {system.SpecialFolder(csidl::kProgramFiles),
            system.SpecialFolder(csidl::kProgramFilesX86), drive + "\\Program Files",
            drive + "\\Program Files (x86)"};
  }
  if (token == "commonfiles") {
    return {system.SpecialFolder(csidl::kProgramFilesCommon),
            system.SpecialFolder(csidl::kProgramFilesCommonX86),
            drive + "\\Program Files\\Common Files", drive + "\\Program Files (x86)\\Common Files"};
  }
  if (token == "programdata") {
    return {system.SpecialFolder(csidl::kCommonAppData), drive + "\\ProgramData"};
  }
  if (token == "profiles") return profilesRoots;
  if (token == "profile") return profiles;
  struct ShellToken {
    std::string_view name;
    int first;
    int second = -1;
  };
  static constexpr ShellToken kShell[] = {
      {"desktop", csidl::kDesktop, csidl::kDesktopDirectory},
      {"commondesktop", csidl::kCommonDesktopDirectory},
      {"programs", csidl::kPrograms},
      {"commonprograms", csidl::kCommonPrograms},
      {"startup", csidl::kStartup},
      {"commonstartup", csidl::kCommonStartup},
      {"startmenu", csidl::kStartMenu},
      {"commonstartmenu", csidl::kCommonStartMenu},
      {"documents", csidl::kPersonal},
      {"commondocuments", csidl::kCommonDocuments},
      {"music", csidl::kMyMusic},
      {"commonmusic", csidl::kCommonMusic},
      {"pictures", csidl::kMyPictures},
      {"commonpictures", csidl::kCommonPictures},
      {"videos", csidl::kMyVideo},
      {"commonvideos", csidl::kCommonVideo},
      {"favorites", csidl::kFavorites},
      {"commonfavorites", csidl::kCommonFavorites},
      {"templates", csidl::kTemplates},
      {"commontemplates", csidl::kCommonTemplates},
      {"recent", csidl::kRecent},
      {"sendto", csidl::kSendTo},
      {"nethood", csidl::kNetHood},
      {"printhood", csidl::kPrintHood},
      {"cookies", csidl::kCookies},
      {"history", csidl::kHistory},
      {"internetcache", csidl::kInternetCache},
      {"cdburnarea", csidl::kCdBurnArea},
      {"admintools", csidl::kAdminTools},
      {"commonadmintools", csidl::kCommonAdminTools},
      {"appdata", csidl::kAppData},
      {"localappdata", csidl::kLocalAppData},
      {"commonappdata", csidl::kCommonAppData},
      {"profileroot", csidl::kProfile},
  };
  for (const ShellToken& shellToken : kShell) {
    if (shellToken.name != token) continue;
    if (shellToken.second < 0) return shell({shellToken.first});
    return shell({shellToken.first, shellToken.second});
  }
  return {};
}

}  // namespace

// --- RemovalPolicy -----------------------------------------------------------------------

RemovalPolicy::RemovalPolicy(platform::Platform platform) : platform_(platform) {}
RemovalPolicy::~RemovalPolicy() = default;

void RemovalPolicy::SetProgram(ProgramFacts facts) {
  program_ = std::move(facts);
  others_.reset();
  programFolders_.reset();
  marks_.reset();
}

void RemovalPolicy::AddTypeLibraries(const std::vector<std::string>& libraries) {
  for (const std::string& library : libraries) {
    const std::string trimmed = Trim(library);
    if (!trimmed.empty() && std::find(program_.typeLibraries.begin(), program_.typeLibraries.end(),
                                      trimmed) == program_.typeLibraries.end())
      program_.typeLibraries.push_back(trimmed);
  }
}

void RemovalPolicy::Forget() const {
  storedNames_.clear();
}

std::optional<std::string> RemovalPolicy::ResolvedByParts(std::string_view path) const {
  // Parts the system would rewrite first (dots, blanks, devices, short-name tildes) are left
  // to ResolvePath; what remains is what it does: each existing part takes its stored name,
  // and from the first missing part on the rest stays as written.
  if (searches_ != SearchMode::Indexed || !platform::IsPlainDrivePath(path)) return std::nullopt;
  std::string resolved(path.substr(0, 2));
  bool missing = false;
  for (const std::string& name : SplitSkippingEmpty(path.substr(3), '\\')) {
    resolved += '\\';
    if (missing) {
      resolved += name;
      continue;
    }
    const std::string id = LowerAscii(resolved) + LowerAscii(name);
    auto known = storedNames_.find(id);
    if (known == storedNames_.end()) {
      std::optional<std::string> stored;
      if (const auto search = platform_.files.FindFirst(resolved + name))
        stored = search->Current().name;
      known = storedNames_.emplace(id, std::move(stored)).first;
    }
    missing = !known->second;
    resolved += missing ? name : *known->second;
  }
  return resolved;
}

std::optional<std::string> RemovalPolicy::CanonicalPath(std::string_view path) const {
  std::string text(TrimView(path));
  if (text.find('\0') != std::string::npos) return std::nullopt;
  std::replace(text.begin(), text.end(), '/', '\\');
  // The long-path and device forms name the same places as the paths they wrap.
  if (StartsWithTextAscii(text, "\\\\?\\UNC\\") || StartsWithTextAscii(text, "\\\\.\\UNC\\")) {
    text.erase(2, 6);
  } else if (text.starts_with("\\\\?\\") || text.starts_with("\\\\.\\")) {
    text.erase(0, 4);
    // Only drive paths; a device ("\\.\PhysicalDrive0") is no file of a program.
    if (text.size() < 3 || text[1] != ':') return std::nullopt;
  }
  if (text.starts_with("\\\\")) {
    // A share: only an administrative share of this machine's own drive can be placed.
    const std::size_t hostEnd = text.find('\\', 2);
    if (hostEnd == std::string::npos) return std::nullopt;
    const std::string host = text.substr(2, hostEnd - 2);
    const std::size_t shareEnd = text.find('\\', hostEnd + 1);
    const std::string share =
        text.substr(hostEnd + 1, shareEnd == std::string::npos ? shareEnd : shareEnd - hostEnd - 1);
    if (!IsLocalHost(host, Places().computerName) || share.size() != 2 || share[1] != '$' ||
        ToUpperAscii(share[0]) < 'A' || ToUpperAscii(share[0]) > 'Z') {
      return std::nullopt;
    }
    text = std::string(1, share[0]) + ":\\" +
           (shareEnd == std::string::npos ? std::string() : text.substr(shareEnd + 1));
  }
  if (!IsFullyQualifiedPath(text) || text[1] != ':') return std::nullopt;
  // A colon past the drive names a stream ("::$INDEX_ALLOCATION", ":data"), not a file.
  if (text.find(':', 2) != std::string::npos) return std::nullopt;
  for (const std::string_view part : PartsOf(std::string_view(text).substr(3))) {
    if (platform::IsDeviceName(part)) return std::nullopt;
  }
  auto resolved = ResolvedByParts(text);
  if (!resolved) resolved = platform_.files.ResolvePath(text);
  if (!resolved || !IsFullyQualifiedPath(*resolved) || (*resolved)[1] != ':') return std::nullopt;
  std::string canonical = LowerAscii(resolved->substr(0, 2));
  std::vector<std::string> parts;
  for (const std::string_view part : PartsOf(std::string_view(*resolved).substr(2))) {
    if (IsClimbingPart(part)) {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    std::string folded = FoldPart(part);
    if (!folded.empty()) parts.push_back(std::move(folded));
  }
  for (const std::string& part : parts)
    canonical += "\\" + part;
  return canonical;
}

const RemovalPolicy::Machine& RemovalPolicy::Places() const {
  if (machine_) return *machine_;
  machine_ = std::make_unique<Machine>();
  Machine& machine = *machine_;
  platform::System& system = platform_.system;
  machine.windows = std::string(WithoutTrailingBackslashes(system.WindowsDirectory()));
  machine.computerName = system.ComputerName();
  const std::string drive =
      machine.windows.size() >= 2 ? machine.windows.substr(0, 2) : std::string("C:");

  // Every profile: the folders below the profiles roots, the ones the registry knows, and the
  // shared ones even where they do not exist.
  std::vector<std::string> roots{drive + "\\Users", drive + "\\Documents and Settings"};
  const std::string userProfile = system.SpecialFolder(platform::csidl::kProfile);
  if (!userProfile.empty()) roots.push_back(ParentOf(WithoutTrailingBackslashes(userProfile)));
  std::vector<std::string> profiles;
  if (!userProfile.empty()) profiles.push_back(userProfile);
  constexpr std::string_view kProfileList =
      "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  if (auto list = platform_.registry.OpenKey(Hive::LocalMachine, kProfileList, KeyAccess::Read)) {
    for (const char* name : {"ProfilesDirectory", "Default", "Public", "AllUsersProfile"}) {
      if (auto text = TextOf(list->QueryValue(name)); text && !TrimView(*text).empty()) {
        std::string expanded = ExpandSystemVariables(Trim(*text), machine.windows);
        (std::string_view(name) == "ProfilesDirectory" ? roots : profiles)
            .push_back(std::move(expanded));
      }
    }
    for (const std::string& sid : SubKeys(*list)) {
      if (auto text = ReadText(platform_.registry, Hive::LocalMachine,
                               std::string(kProfileList) + "\\" + sid, "ProfileImagePath");
          text && !TrimView(*text).empty()) {
        profiles.push_back(ExpandSystemVariables(Trim(*text), machine.windows));
      }
    }
  }
  const std::string user = system.UserName();
  for (const std::string& root : roots) {
    if (root.empty()) continue;
    for (const std::string_view shared :
         {"Default", "Default User", "Public", "All Users", "LocalService", "NetworkService"})
      profiles.push_back(root + "\\" + std::string(shared));
    if (!TrimView(user).empty()) profiles.push_back(root + "\\" + user);
    if (auto search = platform_.files.FindFirst(root + "\\*")) {
      do {
        const platform::FindData& entry = search->Current();
        if (entry.IsDirectory() && entry.name != "." && entry.name != "..")
          profiles.push_back(root + "\\" + entry.name);
      } while (search->Next());
    }
  }

  // Each base folder is resolved once; the table's relative parts are plain names, which the
  // system would take as written.
  std::unordered_map<std::string, std::optional<std::string>> resolvedBases;
  const auto resolveBase = [&](const std::string& base) -> std::optional<std::string> {
    const std::string key = LowerAscii(base);
    if (const auto hit = resolvedBases.find(key); hit != resolvedBases.end()) return hit->second;
    auto canonical = base.empty() ? std::nullopt : CanonicalPath(base);
    resolvedBases.emplace(key, canonical);
    return canonical;
  };
  for (const Place& place : kPlaces) {
    if (place.area != Area::Files) continue;
    const std::string_view pattern = place.pattern;
    const std::size_t close = pattern.find('}');
    const std::string_view token = pattern.substr(1, close - 1);
    const std::string relative = FoldedPathText(pattern.substr(close + 1));
    for (const std::string& base :
         FoldersOfToken(token, system, machine.windows, roots, profiles)) {
      std::string text(WithoutTrailingBackslashes(base));
      if (text.size() == 2 && text[1] == ':') text += '\\';  // a drive's root keeps its backslash
      const auto canonical = resolveBase(text);
      // A drive root itself is no place of the table; folders at its top are.
      if (!canonical || (DepthOf(*canonical) == 0 && relative.empty())) continue;
      std::string folder = *canonical + (relative.empty() ? "" : "\\" + relative);
      const auto known = machine.placeAt.find(folder);
      if (known != machine.placeAt.end()) {
        ExpandedPlace& existing = machine.places[known->second];
        if (Strictness(place.standing) > Strictness(existing.standing)) {
          existing.standing = place.standing;
          existing.what = place.what;
        }
        continue;
      }
      machine.placeAt.emplace(folder, machine.places.size());
      machine.places.push_back({std::move(folder), place.standing, place.what});
    }
  }
  for (std::size_t i = 0; i < machine.places.size(); ++i) {
    for (std::string folder = machine.places[i].canonical; !folder.empty();
         folder = ParentOf(folder))
      machine.holding.emplace(folder, i);
  }

  for (const Place& place : kPlaces) {
    if (place.area != Area::Registry) continue;
    const std::size_t slash = place.pattern.find('\\');
    const std::string_view scope = place.pattern.substr(0, slash);
    for (auto& parts : ExpandKeyPattern(place.pattern.substr(slash + 1))) {
      for (const Scope each : {Scope::Machine, Scope::User}) {
        if ((scope == "HKLM" && each != Scope::Machine) || (scope == "USER" && each != Scope::User))
          continue;
        machine.keyPlaces.push_back({each, parts, place.standing, place.evidence, place.what});
      }
    }
  }

  // This program and its database live in its own folder.
  const std::string executable = system.ExecutablePath();
  if (!executable.empty()) {
    if (auto own = CanonicalPath(ParentOf(executable)); own && DepthOf(*own) > 0)
      machine.ownFolder = std::move(*own);
  }
  return machine;
}

std::vector<std::string> RemovalPolicy::PlaceFolders() const {
  std::vector<std::string> folders;
  for (const ExpandedPlace& place : Places().places)
    folders.push_back(place.canonical);
  std::sort(folders.begin(), folders.end());
  return folders;
}

const std::vector<InstalledProgram>& RemovalPolicy::OtherPrograms() const {
  if (others_) return *others_;
  others_.emplace();
  const Machine& machine = Places();
  const auto own = ParseKey(program_.uninstallKey);
  struct Pass {
    Hive hive;
    std::string_view path;
  };
  std::vector<Pass> passes{
      {Hive::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}};
  if (platform_.system.Is64BitBuild())
    passes.push_back({Hive::LocalMachine,
                      "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"});
  passes.push_back({Hive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"});
  for (const Pass& pass : passes) {
    auto root = platform_.registry.OpenKey(pass.hive, pass.path, KeyAccess::Read);
    if (!root) continue;
    for (const std::string& name : SubKeys(*root)) {
      const std::string entryPath = std::string(pass.path) + "\\" + name;
      InstalledProgram program;
      program.keyName = name;
      program.keyPath = std::string(platform::HiveName(pass.hive)) + "\\" + entryPath;
      if (own) {
        const auto parsed = ParseKey(program.keyPath);
        if (parsed && parsed->scope == own->scope && parsed->parts == own->parts) continue;
      }
      auto entry = platform_.registry.OpenKey(pass.hive, entryPath, KeyAccess::Read);
      if (!entry) continue;
      program.displayName = Trim(TextOf(entry->QueryValue("DisplayName")).value_or(std::string()));
      std::vector<std::string> texts;
      if (auto location = TextOf(entry->QueryValue("InstallLocation"))) texts.push_back(*location);
      for (const char* value : {"DisplayIcon", "UninstallString"}) {
        auto text = TextOf(entry->QueryValue(value));
        if (!text) continue;
        std::string command = *text;
        if (std::string_view(value) == "DisplayIcon") {
          if (const std::size_t comma = command.rfind(','); comma != std::string::npos)
            command.resize(comma);
          if (!command.empty() && command.front() != '"') command = "\"" + command + "\"";
        }
        const std::string program_path = ProgramPathOfCommand(command, machine.windows);
        if (!program_path.empty()) texts.push_back(ParentOf(program_path));
      }
      for (const std::string& text : texts) {
        if (!IsFullyQualifiedPath(TrimView(text))) continue;
        std::string folded = FoldedPathText(text);
        // Only a folder a program can own claims anything: the folder of an uninstaller in
        // the Windows folder (msiexec) or in a shared one claims nothing.
        if (!IsOwnPlace(folded)) continue;
        if (std::find(program.folders.begin(), program.folders.end(), folded) ==
            program.folders.end())
          program.folders.push_back(std::move(folded));
      }
      others_->push_back(std::move(program));
    }
  }
  return *others_;
}

bool RemovalPolicy::IsOwnPlace(const std::string& canonical) const {
  const Machine& machine = Places();
  if (DepthOf(canonical) < 1 || canonical.find(':') != 1) return false;
  if (machine.holding.contains(canonical)) return false;
  if (!machine.ownFolder.empty() &&
      (IsSameOrBelow(canonical, machine.ownFolder) || IsSameOrBelow(machine.ownFolder, canonical)))
    return false;
  const ExpandedPlace* inner = machine.Innermost(canonical);
  if (!inner) return true;
  return inner->standing == Standing::ProgramsRoot;
}

const std::vector<std::string>& RemovalPolicy::ProgramFolders() const {
  if (!programFolders_) programFolders_ = OwnFolders(program_.installFolders);
  return *programFolders_;
}

std::vector<std::string> RemovalPolicy::OwnFolders(const std::vector<std::string>& folders) const {
  std::vector<std::string> own;
  for (const std::string& folder : folders) {
    // A folder named by climbing out of another is nobody's own.
    if (!IsFullyQualifiedPath(TrimView(folder)) || HasClimbingPart(folder)) continue;
    auto canonical = CanonicalPath(folder);
    if (!canonical || !IsOwnPlace(*canonical)) continue;
    // Outside the roots where programs keep their folders, a folder counts only when its name
    // says whose it is ("C:\Games\Star Racer 3", not "C:\Games").
    if (!Places().Innermost(*canonical) && !CarriesMark(LastPart(*canonical))) continue;
    // Another installed program's folder, or one holding it, is not this program's to vouch
    // for anything (a folder inside another program's, such as a plug-in's, still is).
    // Without a program to decide about (a search on its own) nothing is anybody else's.
    const bool aboutAProgram = !program_.softwareId.empty() || !program_.uninstallKey.empty();
    const bool claimed =
        aboutAProgram &&
        std::any_of(
            OtherPrograms().begin(), OtherPrograms().end(), [&](const InstalledProgram& other) {
              return std::any_of(
                  other.folders.begin(), other.folders.end(),
                  [&](const std::string& theirs) { return IsSameOrBelow(theirs, *canonical); });
            });
    if (claimed) continue;
    if (std::find(own.begin(), own.end(), *canonical) == own.end())
      own.push_back(std::move(*canonical));
  }
  return own;
}

bool RemovalPolicy::PointsIntoProgram(std::string_view pathText) const {
  const std::vector<std::string>& folders = ProgramFolders();
  if (folders.empty()) return false;
  std::string folded = FoldedPathText(pathText);
  // A short name only the system can expand.
  if (folded.find('~') != std::string::npos) {
    if (auto canonical = CanonicalPath(pathText)) folded = std::move(*canonical);
  }
  return std::any_of(folders.begin(), folders.end(),
                     [&](const std::string& folder) { return IsSameOrBelow(folded, folder); });
}

const std::vector<std::string>& RemovalPolicy::Marks() const {
  if (marks_) return *marks_;
  marks_.emplace();
  const auto add = [&](std::string word) {
    if (word.size() < 4 || ContainsFolded(kCommonWords, word)) return;
    if (std::find(marks_->begin(), marks_->end(), word) == marks_->end())
      marks_->push_back(std::move(word));
  };
  add(LowerAscii(TrimView(program_.softwareId)));
  for (const std::string* text :
       {&program_.databaseName, &program_.displayName, &program_.publisher}) {
    std::string word;
    for (const char c : *text) {
      const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                 (c >= '0' && c <= '9') || static_cast<unsigned char>(c) >= 0x80;
      if (letterOrDigit) {
        word += ToLowerAscii(c);
      } else {
        add(std::move(word));
        word.clear();
      }
    }
    add(std::move(word));
  }
  return *marks_;
}

bool RemovalPolicy::CarriesMark(std::string_view text) const {
  const std::string folded = LowerAscii(text);
  const std::vector<std::string>& marks = Marks();
  return std::any_of(marks.begin(), marks.end(), [&](const std::string& mark) {
    return folded.find(mark) != std::string::npos;
  });
}

Decision RemovalPolicy::DecidePath(std::string_view path, PathUse use, Source source) const {
  if (source == Source::Database) {
    if (HasClimbingPart(path)) return Refuse("climbs out of its folder with \"..\"", true);
    if (path.find_first_of("*?") != std::string_view::npos)
      return Refuse("holds a wildcard, which stands for whatever it finds", true);
  }
  const auto canonical = CanonicalPath(path);
  if (!canonical) {
    return Refuse(
        "cannot be placed: not a path of this machine's drives (relative, a device, a stream or "
        "another machine's share)",
        true);
  }
  const Machine& machine = Places();
  if (DepthOf(*canonical) < 1) return Refuse("is a drive root", true);
  if (!machine.ownFolder.empty() && (IsSameOrBelow(*canonical, machine.ownFolder) ||
                                     IsSameOrBelow(machine.ownFolder, *canonical))) {
    return Refuse("is or holds Sorvane's own folder", true);
  }
  if (const auto held = machine.holding.find(*canonical); held != machine.holding.end()) {
    const ExpandedPlace& place = machine.places[held->second];
    return Refuse((place.canonical == *canonical ? "is " : "holds ") + std::string(place.what) +
                      " (" + place.canonical + ")",
                  true);
  }

  // Another installed program's folder: nothing in it goes (unless this program's own folder
  // lies deeper inside it), nor anything that holds it.
  bool own = false;
  std::size_t ownDepth = 0;
  for (const std::string& folder : ProgramFolders()) {
    if (IsSameOrBelow(*canonical, folder)) {
      own = true;
      ownDepth = std::max(ownDepth, DepthOf(folder));
    }
  }
  // Without a program to decide about, no installed program is "another" one.
  const bool aboutAProgram = !program_.softwareId.empty() || !program_.uninstallKey.empty();
  if (use != PathUse::Shortcut && aboutAProgram) {
    for (const InstalledProgram& other : OtherPrograms()) {
      for (const std::string& folder : other.folders) {
        const std::string name = other.displayName.empty() ? other.keyName : other.displayName;
        if (IsSameOrBelow(folder, *canonical) && use != PathUse::File) {
          return Refuse("holds the folder of the installed program " + name + " (" + folder + ")",
                        false);
        }
        if (IsSameOrBelow(*canonical, folder) && DepthOf(folder) >= ownDepth) {
          return Refuse("lies in the folder of the installed program " + name + " (" + folder + ")",
                        false);
        }
      }
    }
  }

  const ExpandedPlace* inner = machine.Innermost(*canonical);
  if (!inner) {
    if (own) return Allow("lies in the program's own folder");
    return Refuse("lies outside every place where programs keep their own files", true);
  }
  const std::string where = std::string(inner->what) + " (" + inner->canonical + ")";
  const std::size_t below = DepthOf(*canonical) - DepthOf(inner->canonical);
  switch (inner->standing) {
    case Standing::Windows:
      if (use == PathUse::File) return DecideWindowsFile(*canonical, path, source);
      return Refuse("lies in " + where + ": no folder there is ever removed", true);
    case Standing::Shared:
      return Refuse("lies in " + where, true);
    case Standing::Shortcuts:
    case Standing::ProgramGroups: {
      const bool shortcut = HasType(LastPart(*canonical), kShortcutTypes);
      const bool groups = inner->standing == Standing::ProgramGroups;
      if ((use == PathUse::File || use == PathUse::Shortcut) && shortcut)
        return Allow("a shortcut in " + where);
      // A program group, and what it holds.
      if (groups && (use != PathUse::File || below >= 2))
        return Allow("a program group in " + where);
      return Refuse("lies in " + where + ": only shortcuts and program groups go from there", true);
    }
    case Standing::ProgramsRoot:
      if (use == PathUse::Shortcut) return Refuse("is not in a desktop or start-menu folder", true);
      if (use == PathUse::File && below < 2 && !own)
        return Refuse(
            "lies directly in " + where + ": a program's files lie in a folder of its own", true);
      return Allow(own ? "lies in the program's own folder" : "lies in " + where);
    default:
      break;
  }
  return Refuse("cannot be placed", true);
}

Decision RemovalPolicy::DecideWindowsFile(const std::string& canonical, std::string_view path,
                                          Source source) const {
  if (source != Source::Database) {
    return Refuse("lies in the Windows folder: only a file the database names itself may go", true);
  }
  if (platform_.files.IsSystemProtectedFile(path)) return Refuse("is protected by Windows", false);
  const std::string name = LastPart(canonical);
  if (HasType(name, kImageTypes)) {
    std::vector<std::string> texts;
    std::string company;
    if (auto block = platform_.files.ReadVersionResource(path)) {
      std::vector<std::string> tables;
      for (const std::uint32_t pair : platform_.files.QueryVersionTranslations(*block)) {
        char table[9];
        std::snprintf(table, sizeof table, "%04X%04X", pair & 0xFFFFu, pair >> 16);
        tables.emplace_back(table);
      }
      for (const char* table : {"040904B0", "040904E4", "000004B0"})
        tables.emplace_back(table);
      for (const std::string& table : tables) {
        for (const char* field : {"CompanyName", "ProductName", "FileDescription", "InternalName",
                                  "OriginalFilename"}) {
          auto text = platform_.files.QueryVersionString(
              *block, "\\StringFileInfo\\" + table + "\\" + field);
          if (!text || TrimView(*text).empty()) continue;
          if (std::string_view(field) == "CompanyName" && company.empty()) company = *text;
          texts.push_back(std::move(*text));
        }
        if (!texts.empty()) break;
      }
    }
    if (texts.empty()) {
      return Refuse(
          "lies in the Windows folder and carries no version information naming the program",
          false);
    }
    if (FindTextAscii(company, "microsoft") != std::string::npos ||
        FindTextAscii(company, "wine") != std::string::npos) {
      return Refuse("lies in the Windows folder and is a file of " + Trim(company), false);
    }
    if (std::any_of(texts.begin(), texts.end(),
                    [&](const std::string& text) { return CarriesMark(text); }))
      return Allow("lies in the Windows folder; its version information names the program");
    return Refuse(
        "lies in the Windows folder and its version information does not name the program", false);
  }
  const std::string stem = name.substr(0, name.find('.'));
  const std::vector<std::string>& marks = Marks();
  if (std::find(marks.begin(), marks.end(), stem) != marks.end())
    return Allow("lies in the Windows folder and is named after the program");
  return Refuse("lies in the Windows folder and is not named after the program", false);
}

// --- Registry ----------------------------------------------------------------------------

bool RemovalPolicy::KeyTreePointsIntoProgram(Hive hive, const std::string& path) const {
  // A bounded look: a class key of a program holds a few commands and icons.
  constexpr int kMaxKeys = 64;
  int visited = 0;
  std::vector<std::pair<std::string, int>> pending{{path, 0}};
  while (!pending.empty() && visited < kMaxKeys) {
    auto [keyPath, depth] = std::move(pending.back());
    pending.pop_back();
    ++visited;
    auto key = platform_.registry.OpenKey(hive, keyPath, KeyAccess::Read);
    if (!key) continue;
    for (const std::string& name : ValueNamesOf(*key)) {
      const auto text = TextOf(key->QueryValue(name));
      if (!text) continue;
      std::string target = ProgramPathOfCommand(*text, Places().windows);
      if (target.empty() && IsFullyQualifiedPath(TrimView(*text))) {
        target = std::string(TrimView(*text));
        if (const std::size_t comma = target.rfind(','); comma != std::string::npos)
          target.resize(comma);
      }
      if (!target.empty() && PointsIntoProgram(target)) return true;
    }
    if (depth < 4) {
      for (const std::string& child : SubKeys(*key))
        pending.emplace_back(keyPath + "\\" + child, depth + 1);
    }
  }
  return false;
}

bool RemovalPolicy::ClassServedFromProgram(Hive hive, const std::string& classPath) const {
  for (const char* server : {"\\InprocServer32", "\\LocalServer32", "\\InprocHandler32"}) {
    const auto text = ReadText(platform_.registry, hive, classPath + server, "");
    if (!text || TrimView(*text).empty()) continue;
    std::string target = ProgramPathOfCommand(*text, Places().windows);
    if (target.empty()) target = std::string(TrimView(*text));
    if (PointsIntoProgram(target)) return true;
  }
  return false;
}

bool RemovalPolicy::TypeLibraryServedFromProgram(Hive hive, const std::string& libraryPath) const {
  auto library = platform_.registry.OpenKey(hive, libraryPath, KeyAccess::Read);
  if (!library) return false;
  for (const std::string& version : SubKeys(*library)) {
    auto versionKey =
        platform_.registry.OpenKey(hive, libraryPath + "\\" + version, KeyAccess::Read);
    if (!versionKey) continue;
    for (const std::string& locale : SubKeys(*versionKey)) {
      for (const char* kind : {"win32", "win64"}) {
        const auto text = ReadText(platform_.registry, hive,
                                   libraryPath + "\\" + version + "\\" + locale + "\\" + kind, "");
        if (text && PointsIntoProgram(*text)) return true;
      }
    }
  }
  return false;
}

bool RemovalPolicy::OwnTypeLibrary(std::string_view library) const {
  const std::string_view trimmed = TrimView(library);
  return std::any_of(program_.typeLibraries.begin(), program_.typeLibraries.end(),
                     [&](const std::string& own) { return SameTextAscii(own, trimmed); });
}

bool RemovalPolicy::ListsOnlyThisProduct(Hive hive, const std::string& path) const {
  const std::string packed = program_.packedProductCode;
  if (packed.empty()) return false;
  auto key = platform_.registry.OpenKey(hive, path, KeyAccess::Read);
  if (!key) return false;
  bool listed = false;
  for (const std::string& name : ValueNamesOf(*key)) {
    if (SameTextAscii(name, packed)) {
      listed = true;
    } else if (!name.empty()) {
      return false;
    }
  }
  return listed;
}

std::string RemovalPolicy::ServiceImage(std::string_view name) const {
  if (auto manager = platform_.services.OpenManager()) {
    if (auto service = manager->Open(name)) {
      if (auto config = service->QueryConfig(); config && !TrimView(config->binaryPath).empty())
        return config->binaryPath;
    }
  }
  return ReadText(platform_.registry, Hive::LocalMachine,
                  "SYSTEM\\CurrentControlSet\\Services\\" + std::string(name), "ImagePath")
      .value_or(std::string());
}

Decision RemovalPolicy::DecideService(std::string_view name) const {
  // A blank name would address the service key locations themselves, one with a backslash
  // some other key below them.
  if (TrimView(name).empty() || name.find_first_of("\\/") != std::string_view::npos ||
      name.find('\0') != std::string_view::npos) {
    return Refuse("is not a service name", true);
  }
  if (ContainsFolded(kSystemServices, name)) return Refuse("is a service of Windows", true);
  const std::string image = ServiceImage(name);
  if (TrimView(image).empty()) return Refuse("has no program the service manager knows", false);
  const std::string program = ProgramPathOfCommand(image, Places().windows);
  if (program.empty()) return Refuse("runs a program that cannot be placed (" + image + ")", false);
  const auto canonical = CanonicalPath(program);
  if (canonical) {
    const ExpandedPlace* inner = Places().Innermost(*canonical);
    if (inner && inner->standing == Standing::Windows)
      return Refuse("runs a program in the Windows folder (" + program + ")", false);
  }
  if (PointsIntoProgram(program)) return Allow("runs a program in the program's folder");
  return Refuse("runs a program outside the program's folders (" + program + ")", false);
}

Decision RemovalPolicy::DecideProcess(const platform::ProcessEntry& process) const {
  if (process.processId == 0 || process.processId == platform_.processes.CurrentProcessId())
    return Refuse("is this program's own process", true);
  const std::string name = LowerAscii(LastPart(process.exeFile));
  if (ContainsFolded(kSystemProcesses, name)) return Refuse("is a process of Windows", true);
  return Allow("is named by the database");
}

Decision RemovalPolicy::DecideKey(std::string_view fullKeyPath, Source source) const {
  const auto key = ParseKey(fullKeyPath);
  if (!key) return Refuse("names no key of a hive this machine has", true);
  return DecideKeyName(*key, source);
}

namespace {

struct KeyMatch {
  const KeyPlace* place = nullptr;
  std::size_t length = 0;  // parts of the key the place covers
};

KeyMatch InnermostKeyPlace(const std::vector<KeyPlace>& places, Scope scope,
                           const std::vector<std::string>& parts) {
  KeyMatch best;
  for (const KeyPlace& place : places) {
    if (place.scope != scope || place.parts.size() > parts.size() ||
        place.parts.size() < best.length || (best.place && place.parts.size() == best.length))
      continue;
    bool matches = true;
    for (std::size_t i = 0; i < place.parts.size() && matches; ++i)
      matches = PartMatches(place.parts[i], parts[i]);
    if (matches) best = {&place, place.parts.size()};
  }
  return best;
}

}  // namespace

Decision RemovalPolicy::DecideKeyName(const KeyName& key, Source source) const {
  if (key.scope == Scope::None || key.parts.empty())
    return Refuse("is a hive root or a key of no user", true);
  const Machine& machine = Places();
  const KeyMatch match = InnermostKeyPlace(machine.keyPlaces, key.scope, key.parts);
  if (!match.place)
    return Refuse("lies outside every place where programs keep their own keys", true);
  const KeyPlace& place = *match.place;
  const std::vector<std::string> rest(key.parts.begin() + static_cast<std::ptrdiff_t>(match.length),
                                      key.parts.end());
  const std::string where(place.what);
  if (rest.empty() && place.standing != Standing::WindowsKeys)
    return Refuse("is " + where + " itself", true);
  // The key's path below its hive up to and including the part right after the place.
  const auto childPath = [&]() { return key.PathOfParts(match.length + 1); };
  const auto ownNames = [&]() {
    std::vector<std::string> names{LowerAscii(TrimView(program_.databaseName)),
                                   LowerAscii(TrimView(program_.displayName)),
                                   LowerAscii(TrimView(program_.softwareId))};
    const auto own = ParseKey(program_.uninstallKey);
    if (own && !own->parts.empty()) names.push_back(own->parts.back());
    names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
    return names;
  };
  switch (place.standing) {
    case Standing::WindowsKeys:
      return Refuse("is " + where + (rest.empty() ? "" : " or lies in it"), true);
    case Standing::Vendors: {
      const std::vector<std::string> names = ownNames();
      const bool ownName =
          std::find(names.begin(), names.end(), rest[0]) != names.end() ||
          (rest.size() >= 2 && std::find(names.begin(), names.end(), rest[1]) != names.end());
      const bool aboutAProgram = !program_.softwareId.empty() || !program_.uninstallKey.empty();
      if (!ownName && aboutAProgram) {
        for (const InstalledProgram& other : OtherPrograms()) {
          for (const std::string& name :
               {LowerAscii(other.displayName), LowerAscii(other.keyName)}) {
            if (name.empty()) continue;
            if (rest[0] == name || (rest.size() >= 2 && rest[1] == name)) {
              return Refuse("is the key of the installed program " +
                                (other.displayName.empty() ? other.keyName : other.displayName),
                            false);
            }
          }
        }
      }
      if (rest.size() == 1) {
        if (std::find(names.begin(), names.end(), rest[0]) != names.end())
          return Allow("is the program's own key");
        return Refuse("is a vendor's key, which the vendor's other programs share", true);
      }
      return Allow("is a vendor's key of the program");
    }
    case Standing::Classes: {
      if (rest[0].starts_with(".")) {
        // A file type is the program's when its class is.
        auto type = platform_.registry.OpenKey(key.hive, childPath(), KeyAccess::Read);
        const auto progId = type ? TextOf(type->QueryValue("")) : std::nullopt;
        if (!progId || TrimView(*progId).empty() || TrimView(*progId).starts_with("."))
          return Refuse("is a file type that names no class of the program", false);
        const std::string parent = ParentOf(childPath());
        const Decision decision =
            DecideKey(std::string(platform::HiveName(key.hive)) + "\\" +
                          (parent.empty() ? std::string() : parent + "\\") + Trim(*progId),
                      source);
        if (decision.allowed)
          return Allow("is a file type of the program's class " + Trim(*progId));
        return Refuse("is a file type whose class is not the program's", false);
      }
      if (KeyTreePointsIntoProgram(key.hive, childPath()))
        return Allow("is a class whose commands lie in the program's folders");
      if (CarriesMark(rest[0])) return Allow("is a class named after the program");
      return Refuse("is a class with nothing of the program in it", false);
    }
    case Standing::Registrations: {
      const std::string path = childPath();
      switch (place.evidence) {
        case Evidence::UninstallEntry: {
          const auto own = ParseKey(program_.uninstallKey);
          KeyName entry = key;
          entry.parts.resize(match.length + 1);
          if (own && own->scope == entry.scope && own->parts == entry.parts)
            return Allow("is the program's own Uninstall entry");
          return Refuse("is another program's Uninstall entry", false);
        }
        case Evidence::ArpCache: {
          const auto own = ParseKey(program_.uninstallKey);
          if (own && !own->parts.empty() && own->parts.back() == rest[0])
            return Allow("is named like the program's Uninstall entry");
          return Refuse("is not named like the program's Uninstall entry", false);
        }
        case Evidence::AppPath: {
          for (const char* value : {"", "Path"}) {
            const auto text = ReadText(platform_.registry, key.hive, path, value);
            if (!text) continue;
            std::string target = ProgramPathOfCommand(*text, machine.windows);
            if (target.empty()) target = *text;
            if (PointsIntoProgram(target)) return Allow("points into the program's folder");
          }
          return Refuse("does not point into the program's folders", false);
        }
        case Evidence::InstallerProduct: {
          const std::string packed = program_.packedProductCode;
          if (!packed.empty() && SameTextAscii(rest[0], packed))
            return Allow("is named by the program's product code");
          return Refuse("is not named by the program's product code", false);
        }
        case Evidence::InstallerShared:
          if (rest.size() == 1 && ListsOnlyThisProduct(key.hive, path))
            return Allow("lists the program's product and no other");
          return Refuse(rest.size() == 1
                            ? "lists other products too (only the program's value may go)"
                            : "lies in an Installer registration",
                        false);
        case Evidence::ComClass:
          if (ClassServedFromProgram(key.hive, path))
            return Allow("is served from the program's folder");
          return Refuse("is not served from the program's folders", false);
        case Evidence::TypeLibrary:
          if (OwnTypeLibrary(rest[0]) || TypeLibraryServedFromProgram(key.hive, path))
            return Allow("is served from the program's folder");
          return Refuse("is not served from the program's folders", false);
        case Evidence::Interface: {
          const std::string classes = ParentOf(ParentOf(path));
          const std::string prefix = classes.empty() ? std::string() : classes + "\\";
          if (const auto library = ReadText(platform_.registry, key.hive, path + "\\TypeLib", "");
              library && !TrimView(*library).empty() &&
              (OwnTypeLibrary(*library) ||
               TypeLibraryServedFromProgram(key.hive, prefix + "TypeLib\\" + Trim(*library)))) {
            return Allow("belongs to the program's type library");
          }
          if (const auto proxy =
                  ReadText(platform_.registry, key.hive, path + "\\ProxyStubClsid32", "");
              proxy && !TrimView(*proxy).empty() &&
              ClassServedFromProgram(key.hive, prefix + "CLSID\\" + Trim(*proxy))) {
            return Allow("is served by the program's class");
          }
          return Refuse("belongs to no type library or class of the program", false);
        }
        case Evidence::AppId:
          if (KeyTreePointsIntoProgram(key.hive, path))
            return Allow("points into the program's folder");
          return Refuse("has nothing of the program in it", false);
        case Evidence::None:
          break;
      }
      return Refuse("is a registration with nothing of the program in it", false);
    }
    case Standing::RunList:
    case Standing::PathList:
      return Refuse("lies in " + where + ": only its values go", true);
    case Standing::Services: {
      const std::string name = LastPart(childPath());
      if (ContainsFolded(kSystemServices, rest[0])) return Refuse("is a service of Windows", true);
      // The key's own image first: the service manager may know another control set's copy.
      std::string image =
          ReadText(platform_.registry, key.hive, childPath(), "ImagePath").value_or(std::string());
      if (TrimView(image).empty()) image = ServiceImage(name);
      const std::string program = ProgramPathOfCommand(image, machine.windows);
      if (program.empty()) return Refuse("is a service whose program cannot be placed", false);
      if (const auto canonical = CanonicalPath(program)) {
        const ExpandedPlace* inner = machine.Innermost(*canonical);
        if (inner && inner->standing == Standing::Windows)
          return Refuse("is a service whose program lies in the Windows folder", false);
      }
      if (PointsIntoProgram(program))
        return Allow("is a service whose program lies in the program's folder");
      return Refuse("is a service whose program lies outside the program's folders", false);
    }
    default:
      break;
  }
  return Refuse("cannot be placed", true);
}

Decision RemovalPolicy::DecideValue(std::string_view fullKeyPath, std::string_view valueName,
                                    Source source) const {
  if (valueName.find('\0') != std::string_view::npos) return Refuse("names no value", true);
  const auto key = ParseKey(fullKeyPath);
  if (!key || key->scope == Scope::None || key->parts.empty())
    return Refuse("is a value of no key a program owns", true);
  const KeyMatch match = InnermostKeyPlace(Places().keyPlaces, key->scope, key->parts);
  if (match.place && match.length == key->parts.size()) {
    const std::string where(match.place->what);
    if (match.place->standing == Standing::RunList) {
      const auto text = ReadText(platform_.registry, key->hive, key->path, valueName);
      if (text && PointsIntoProgram(ProgramPathOfCommand(*text, Places().windows)))
        return Allow("an entry of " + where + " that starts the program");
      return Refuse("an entry of " + where + " that does not start the program", false);
    }
    if (match.place->standing == Standing::PathList) {
      if (PointsIntoProgram(valueName))
        return Allow("an entry of " + where + " for the program's files");
      return Refuse("an entry of " + where + " for files outside the program's folders", false);
    }
  }
  if (match.place && match.place->standing == Standing::Registrations &&
      match.place->evidence == Evidence::InstallerShared && match.length + 1 == key->parts.size()) {
    const std::string packed = program_.packedProductCode;
    if (!packed.empty() && SameTextAscii(valueName, packed))
      return Allow("the program's entry in an Installer registration other products share");
    return Refuse("another product's entry in an Installer registration", false);
  }
  const Decision owner = DecideKeyName(*key, source);
  if (owner.allowed)
    return Allow("a value of a key that " + owner.reason.substr(0, owner.reason.size()));
  return Refuse("a value of a key the program does not own: the key " + owner.reason,
                owner.byPlace);
}

}  // namespace sv::policy
