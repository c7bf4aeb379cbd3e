#include "synthetic_machine.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "platform/system.h"
#include "policy/removal_policy.h"

namespace sv::bench {

namespace {

using platform::Hive;
using platform::RegValue;
using platform::StringValue;

constexpr std::string_view kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr std::string_view kProducts = "SOFTWARE\\Classes\\Installer\\Products";
constexpr std::string_view kFeatures = "SOFTWARE\\Classes\\Installer\\Features";
constexpr std::string_view kUpgradeCodes = "SOFTWARE\\Classes\\Installer\\UpgradeCodes";
constexpr std::string_view kUserData =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18";
constexpr std::string_view kClasses = "SOFTWARE\\Classes";

// Supported programs are this share of the Uninstall entries; the rest are programs the
// database does not know. One signature in ten has leftovers on the machine.
constexpr int kSupportedPercent = 40;
constexpr int kComClassesPerProgram = 2;
constexpr int kComponentsPerProduct = 10;

std::string Number(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%05d", value);
  return text;
}

// 32 hexadecimal digits, as Installer codes (packed GUIDs) are written.
std::string PackedCode(char tag, int index) {
  const auto n = static_cast<unsigned>(index);
  char text[40];
  std::snprintf(text, sizeof text, "%02X%06X%08X%08X%08X", static_cast<unsigned>(tag), n,
                n * 2654435761u, ~n, n ^ 0x5A5A5A5Au);
  return text;
}

std::string Guid(char tag, int index) {
  const std::string hex = PackedCode(tag, index);
  return "{" + hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
         hex.substr(16, 4) + "-" + hex.substr(20, 12) + "}";
}

std::string ProgramName(int signature) {
  return "Synth Program " + Number(signature);
}
std::string VendorName(int signature) {
  return "Vendor " + Number(signature % 37);
}

enum class State { Absent, Installed, ResidueProduct, ResidueShortcut, ResidueFolder };

class Writer {
 public:
  explicit Writer(platform::Platform& platform) : platform_(platform) {}

  void Key(Hive hive, const std::string& path,
           const std::vector<std::pair<std::string, RegValue>>& values = {}) {
    auto key = platform_.registry.CreateKey(hive, path);
    if (!key) throw std::runtime_error("cannot create key " + path);
    for (const auto& [name, value] : values) {
      if (key->SetValue(name, value) != platform::kSuccess)
        throw std::runtime_error("cannot set " + path + "\\" + name);
    }
  }

  void Folder(const std::string& path) {
    // Each missing part in turn; parts that exist already answer with an error we ignore.
    for (std::size_t slash = path.find('\\', 3); slash != std::string::npos;
         slash = path.find('\\', slash + 1)) {
      (void)platform_.files.MakeDir(path.substr(0, slash));
    }
    (void)platform_.files.MakeDir(path);
  }

  void File(const std::string& path, std::string_view content = "synthetic") {
    Folder(path.substr(0, path.rfind('\\')));
    if (platform::WriteWholeFile(platform_.files, path, content) != platform::kSuccess)
      throw std::runtime_error("cannot write " + path);
  }

 private:
  platform::Platform& platform_;
};

}  // namespace

MachineSize SizeNamed(std::string_view name) {
  for (const MachineSize& size : {kSmall, kMedium, kLarge}) {
    if (size.name == name) return size;
  }
  throw std::invalid_argument("unknown machine size " + std::string(name));
}

SyntheticPlan::SyntheticPlan(const MachineSize& size) : size_(size) {}

SyntheticMachine SyntheticPlan::Seed(platform::Platform& platform) const {
  Writer write(platform);
  SyntheticMachine machine;
  const std::string programFiles = platform.system.SpecialFolder(platform::csidl::kProgramFiles);
  const std::string desktop = platform.system.SpecialFolder(platform::csidl::kDesktop);
  const std::string commonDesktop =
      platform.system.SpecialFolder(platform::csidl::kCommonDesktopDirectory);
  const std::string system = platform.system.SystemDirectory();

  const int supported = size_.uninstallEntries * kSupportedPercent / 100;
  const auto stateOf = [&](int i) {
    if (i % 5 == 0 && i / 5 < supported) return State::Installed;
    if (i % 10 == 3) {
      switch ((i / 10) % 3) {
        case 0:
          return State::ResidueProduct;
        case 1:
          return State::ResidueShortcut;
        default:
          return State::ResidueFolder;
      }
    }
    return State::Absent;
  };

  const auto product = [&](const std::string& code, const std::string& name) {
    write.Key(Hive::LocalMachine, std::string(kProducts) + "\\" + code,
              {{"ProductName", StringValue(name)}, {"PackageCode", StringValue(code)}});
    write.Key(Hive::LocalMachine,
              std::string(kUserData) + "\\Products\\" + code + "\\InstallProperties",
              {{"DisplayName", StringValue(name)}, {"Publisher", StringValue("Synthetic")}});
    ++machine.installerProducts;
  };
  const auto component = [&](const std::string& code, const std::string& productCode,
                             const std::string& file) {
    write.Key(Hive::LocalMachine, std::string(kUserData) + "\\Components\\" + code,
              {{productCode, StringValue(file)}});
    ++machine.components;
  };
  const auto comClass = [&](const std::string& classId, std::string_view server,
                            const std::string& path) {
    write.Key(Hive::LocalMachine,
              std::string(kClasses) + "\\CLSID\\" + classId + "\\" + std::string(server),
              {{"", StringValue(path)}, {"ThreadingModel", StringValue("Apartment")}});
    ++machine.comClasses;
  };

  for (int i = 0; i < size_.signatures; ++i) {
    const std::string name = ProgramName(i);
    const std::string vendor = VendorName(i);
    const std::string relative = vendor + "\\" + name;
    const std::string folder = programFiles + "\\" + relative;
    const std::string softwareKey = "SOFTWARE\\" + relative;

    svdb::Program program;
    program.id = "SYN" + Number(i);
    program.name = name;
    program.category = i % 10 + 1;
    program.processes = "synth" + Number(i) + ".exe";
    program.installFolder = "1" + relative;
    program.desktop = name + ".lnk";
    program.programs = vendor;
    program.locations = {{"HKLM{sw}\\" + relative, "InstallDir"}};
    program.items = {{1, "{pf}\\" + relative + "\\app.exe"},
                     {1, "{pf}\\" + relative + "\\readme.txt"},
                     {4, "{pf}\\" + relative},
                     {2, "HKLM{sw}\\" + relative},
                     {3, "HKCU{sw}\\" + relative + "\\Last"},
                     {2, "HKCU{sw}\\" + relative}};
    machine.database.software.push_back(std::move(program));

    switch (stateOf(i)) {
      case State::Absent:
        break;
      case State::Installed: {
        const bool withProduct = (i / 5) % 2 == 0;
        // The Installer names its keys by the packed form of the code the entry gives.
        const std::string productCode = policy::PackedProductCode(Guid('P', i));
        const std::string entryKey =
            std::string(kUninstall) + "\\" + ((i / 5) % 3 == 0 ? Guid('U', i) : name);
        write.Key(
            Hive::LocalMachine, entryKey,
            {{"DisplayName", StringValue(name + " 2.1")},
             {"DisplayVersion", StringValue("2.1")},
             {"Publisher", StringValue(vendor)},
             {"InstallDate", StringValue("20240115")},
             {"InstallLocation", StringValue(folder)},
             {"UninstallString", StringValue(withProduct ? "MsiExec.exe /X" + Guid('P', i)
                                                         : "\"" + folder + "\\uninst.exe\"")}});
        ++machine.uninstallEntries;
        for (const char* file : {"app.exe", "readme.txt", "core.dll", "uninst.exe"})
          write.File(folder + "\\" + file);
        write.File(folder + "\\data\\state.dat");
        write.Key(Hive::LocalMachine, softwareKey, {{"InstallDir", StringValue(folder)}});
        write.Key(Hive::CurrentUser, softwareKey, {{"Last", StringValue("1")}});
        write.File(desktop + "\\" + name + ".lnk");
        for (int c = 0; c < kComClassesPerProgram; ++c) {
          const std::string classId = Guid('C', i * kComClassesPerProgram + c);
          comClass(classId, "InprocServer32", folder + "\\core.dll");
          if (c == 0) {
            write.Key(Hive::LocalMachine,
                      std::string(kClasses) + "\\CLSID\\" + classId + "\\TypeLib",
                      {{"", StringValue(Guid('T', i))}});
          }
        }
        write.Key(Hive::LocalMachine,
                  std::string(kClasses) + "\\TypeLib\\" + Guid('T', i) + "\\1.0");
        write.Key(Hive::LocalMachine,
                  std::string(kClasses) + "\\Interface\\" + Guid('I', i) + "\\TypeLib",
                  {{"", StringValue(Guid('T', i))}});
        if (withProduct) {
          product(productCode, name + " 2.1");
          write.Key(Hive::LocalMachine, std::string(kFeatures) + "\\" + productCode,
                    {{"Main", StringValue("")}});
          write.Key(Hive::LocalMachine, std::string(kUpgradeCodes) + "\\" + PackedCode('G', i),
                    {{productCode, StringValue("")}});
          for (int k = 0; k < kComponentsPerProduct; ++k) {
            component(PackedCode('K', i * kComponentsPerProduct + k), productCode,
                      folder + "\\part" + std::to_string(k) + ".dll");
          }
        }
        machine.supportedNames.push_back(name);
        break;
      }
      case State::ResidueProduct:
        product(PackedCode('P', i), name);
        machine.residualNames.push_back(name);
        break;
      case State::ResidueShortcut:
        write.File(commonDesktop + "\\" + name + ".lnk");
        machine.residualNames.push_back(name);
        break;
      case State::ResidueFolder:
        write.File(folder + "\\readme.txt");
        machine.residualNames.push_back(name);
        break;
    }
  }

  // Programs the database does not know.
  const int unsupported = size_.uninstallEntries - machine.uninstallEntries;
  for (int n = 0; n < unsupported; ++n) {
    const std::string name = "Other Tool " + Number(n);
    write.Key(Hive::LocalMachine, std::string(kUninstall) + "\\" + Guid('O', n),
              {{"DisplayName", StringValue(name)},
               {"Publisher", StringValue("Elsewhere")},
               {"InstallDate", StringValue("20230301")},
               {"UninstallString", StringValue(programFiles + "\\" + name + "\\uninst.exe")}});
    ++machine.uninstallEntries;
  }

  // Installer products, classes and components of everything else on the machine.
  const int fillerProducts = std::max(1, size_.installerProducts - machine.installerProducts);
  for (int n = 0; machine.installerProducts < size_.installerProducts; ++n)
    product(PackedCode('R', n), "Runtime Library " + Number(n));
  for (int n = 0; machine.comClasses < size_.comClasses; ++n) {
    if (n % 4 == 3) {
      comClass(Guid('F', n), "LocalServer32",
               programFiles + "\\Other Tool " + Number(n % std::max(1, unsupported)) +
                   "\\tool.exe /automation");
    } else {
      comClass(Guid('F', n), "InprocServer32", system + "\\shared" + Number(n % 50) + ".dll");
    }
  }
  for (int n = 0; machine.components < size_.components; ++n) {
    component(PackedCode('Q', n), PackedCode('R', n % fillerProducts),
              system + "\\shared" + Number(n % 50) + ".dll");
  }
  return machine;
}

void WriteDatabase(platform::FileSystem& files, std::string_view folder,
                   const svdb::Source& database) {
  const svdb::DatabaseFiles built = svdb::BuildDatabase(database, 1215432000);
  const std::string prefix = std::string(folder) + "\\";
  if (platform::WriteWholeFile(files, prefix + "SV.dat", built.data) != platform::kSuccess ||
      platform::WriteWholeFile(files, prefix + "soft.dat", built.soft) != platform::kSuccess) {
    throw std::runtime_error("cannot write the database into " + std::string(folder));
  }
}

}  // namespace sv::bench
