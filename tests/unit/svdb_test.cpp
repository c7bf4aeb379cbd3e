#include "svdb/svdb.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/db_writer.h"
#include "support/test_names.h"
#include "support/trees.h"

namespace sv::svdb {
namespace {

using testing::DbEntry;
using testing::DbSoft;

constexpr std::int32_t kKindDirectoryForTest = 4;

// A source that uses every field and item kind, with its expected files from the test writer.
constexpr const char* kSource = R"js({
  "stamp": 1234567890,
  "software": [
    {
      "id": "ACME1", "name": "Acme Writer", "category": 5,
      "services": "AcmeSvc,AcmeUpd", "processes": "acme.exe", "spare": "x",
      "installFolder": "1Acme\\Writer", "desktop": "Acme Writer", "programs": "Acme",
      "startup": "Acme Tray", "startMenu": "Acme Start",
      "locations": [{"key": "HKLM{sw}\\Acme\\Writer", "value": "InstallDir"},
                    {"key": "HKCU{sw}\\Acme\\Writer", "value": "(default)"
}],
      "items": [
        {"kind": "key", "path": "HKLM{sw}\\Acme\\Writer"},
        {"kind": "file", "path": "{pf}\\Acme\\Writer\\acme.exe"},
        {"kind": "value", "path": "HKLM{sw}{ms}{win}{cv}\\Run\\Acme"},
        {"kind": "directory", "path": "{pf}\\Acme\\Writer"}
      ]
},
    {"id": "Caf\u00e9", "name": "Caf\u00e9 Game", "category": 9}
  ]
})js";

DbSoft ExpectedAcme() {
  DbSoft soft;
  soft.id = "ACME1";
  soft.name = "Acme Writer";
  soft.category = 5;
  soft.services = "AcmeSvc,AcmeUpd";
  soft.processes = "acme.exe";
  soft.spare = "x";
  soft.installFolder = "1Acme\\Writer";
  soft.desktop = "Acme Writer";
  soft.programs = "Acme";
  soft.startup = "Acme Tray";
  soft.startMenu = "Acme Start";
  soft.locations = {{"HKLM{sw}\\Acme\\Writer", "InstallDir"},
                    {"HKCU{sw}\\Acme\\Writer", "(default)"}};
  return soft;
}

TEST(SvdbBuild, WritesExactlyTheLayoutOfTheIndependentWriter) {
  const DatabaseFiles files = BuildDatabase(ParseSource(kSource), 42);
  DbSoft cafe;
  cafe.id = "Caf\xE9";
  cafe.name = "Caf\xE9 Game";
  cafe.category = 9;
  const std::vector<DbEntry> entries{
      {"ACME1",
       {{1, "{pf}\\Acme\\Writer\\acme.exe"}, {4, "{pf}\\Acme\\Writer"}},
       {{2, "HKLM{sw}\\Acme\\Writer"}, {3, "HKLM{sw}{ms}{win}{cv}\\Run\\Acme"}}},
      {"Caf\xE9", {}, {}}};
  EXPECT_EQ(files.data, testing::WriteDataFile(1234567890, entries));
  EXPECT_EQ(files.soft, testing::WriteSoftFile(1234567890, {ExpectedAcme(), cafe}));
}

TEST(SvdbBuild, StampComesFromTheSourceOrNow) {
  Source source = ParseSource(R"({"software": []})");
  DatabaseFiles files = BuildDatabase(source, 777);
  EXPECT_EQ(files.data, testing::WriteDataFile(777, {}));
  EXPECT_EQ(files.soft, testing::WriteSoftFile(777, {}));
  source = ParseSource(R"({"stamp": 5, "softStamp": 6, "software": []})");
  files = BuildDatabase(source, 777);
  EXPECT_EQ(files.data, testing::WriteDataFile(5, {}));
  EXPECT_EQ(files.soft, testing::WriteSoftFile(6, {}));
}

TEST(SvdbDump, RoundTripIsExact) {
  const Source source = ParseSource(kSource);
  const DatabaseFiles files = BuildDatabase(source, 1);
  const Source dumped = ReadDatabase(files.data, files.soft);
  EXPECT_EQ(dumped, InFileOrder(source));
  const Source reparsed = ParseSource(SourceToJson(dumped));
  EXPECT_EQ(reparsed, dumped);
  const DatabaseFiles again = BuildDatabase(reparsed, 2);
  EXPECT_EQ(again.data, files.data);
  EXPECT_EQ(again.soft, files.soft);
}

TEST(SvdbParse, KeepsItemsInSourceOrderAndFileOrderPutsFileSystemItemsFirst) {
  const Source source = ParseSource(kSource);
  const std::vector<Item> asWritten{{2, "HKLM{sw}\\Acme\\Writer"},
                                    {1, "{pf}\\Acme\\Writer\\acme.exe"},
                                    {3, "HKLM{sw}{ms}{win}{cv}\\Run\\Acme"},
                                    {4, "{pf}\\Acme\\Writer"}};
  EXPECT_EQ(source.software[0].items, asWritten);
  const std::vector<Item> inFile{asWritten[1], asWritten[3], asWritten[0], asWritten[2]};
  EXPECT_EQ(InFileOrder(source).software[0].items, inFile);
}

TEST(SvdbBuild, RefusesControlCharactersInSourcesMadeInCode) {
  Source source;
  source.software.push_back({});
  Program& program = source.software.back();
  program.id = "A";
  program.name = "A";
  program.category = 1;
  program.items.push_back({kKindDirectoryForTest, std::string("C:\\Acme\0\\x", 11)});
  try {
    (void)BuildDatabase(source, 1);
    FAIL() << "built an item holding a NUL";
  } catch (const SourceError& error) {
    EXPECT_NE(std::string(error.what())
                  .find("software[0] (A) items[0]: path: holds the control "
                        "character 0x00 at position 7"),
              std::string::npos)
        << error.what();
  }
}

TEST(SvdbDump, RefusesFilesItCannotDescribe) {
  const std::string soft = testing::WriteSoftFile(1, {ExpectedAcme()});
  EXPECT_THROW((void)ReadDatabase(testing::WriteDataFile(1, {}), soft), SourceError);
  EXPECT_THROW((void)ReadDatabase("short", soft), SourceError);
  std::string cut = testing::WriteDataFile(1, {{"ACME1", {{1, "C:\\a"}}, {}}});
  cut.resize(cut.size() - 1);
  EXPECT_THROW((void)ReadDatabase(cut, soft), SourceError);
}

using testing::Plain;

struct BadSource {
  std::string json;
  const char* message;  // a part of the error text
};

void PrintTo(const BadSource& c, std::ostream* os) {
  *os << Plain(c.message);
}

class SvdbRefuses : public ::testing::TestWithParam<BadSource> {};

TEST_P(SvdbRefuses, NamesTheRecordAndField) {
  try {
    (void)ParseSource(GetParam().json);
    FAIL() << "accepted " << GetParam().json;
  } catch (const SourceError& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
        << error.what();
  }
}

std::string One(const std::string& fields) {
  return R"({"software": [{"id": "A", "name": "A", "category": 1)" + fields + "}]}";
}

INSTANTIATE_TEST_SUITE_P(
    Input, SvdbRefuses,
    ::testing::Values(
        BadSource{"{", "not valid JSON"}, BadSource{"[]", "must be a JSON object"},
        BadSource{R"({"software": [{"id": "ABCDEFGHIJK", "name": "A", "category": 1}]})",
                  "software[0] (ABCDEFGHIJK): field 'id': 'ABCDEFGHIJK' is 11 characters long, "
                  "at most 10 fit"},
        BadSource{R"({"software": [{"id": "A", "name": ")" + std::string(41, 'n') +
                      R"(", "category": 1}]})",
                  "software[0] (A): field 'name'"},
        BadSource{One(R"(, "services": ")" + std::string(256, 's') + "\""), "field 'services'"},
        BadSource{One(R"(, "spare": ")" + std::string(33, 's') + "\""), "field 'spare'"},
        BadSource{One(R"(, "startMenu": ")" + std::string(101, 's') + "\""), "field 'startMenu'"},
        BadSource{R"({"software": [{"id": "A", "name": "A", "category": 1},
                                  {"id": "a", "name": "B", "category": 2}]})",
                  "software[1] (a): duplicate id 'a' (also software[0])"},
        BadSource{R"({"software": [{"id": "A", "name": "A", "category": 0}]})", "not 1 to 10"},
        BadSource{R"({"software": [{"id": "A", "name": "A", "category": 11}]})",
                  "software[0] (A): field 'category' is 11, not 1 to 10"},
        BadSource{One(R"(, "items": [{"kind": "link", "path": "x"}])"),
                  "software[0] (A) items[0]: unknown item kind 'link'"},
        BadSource{One(R"(, "items": [{"kind": 5, "path": "x"}])"), "unknown item kind 5"},
        BadSource{One(R"(, "items": [{"kind": "file", "path": " "}])"), "path is empty"},
        BadSource{
            One(R"(, "locations": [{"key": "HKLM\\A", "value": ")" + std::string(31, 'v') + "\"}]"),
            "locations[0]: value"},
        BadSource{One(R"(, "colour": "red")"), "unknown field 'colour'"},
        BadSource{One(R"(, "name2": 1)"), "unknown field"},
        BadSource{R"({"software": [{"id": "A", "category": 1}]})", "field 'name' is missing"},
        BadSource{One(R"(, "spare": "\u4e2d")"), "code page 1252 lacks"},
        BadSource{R"({"software": [{"id": " A", "name": "A", "category": 1}]})",
                  "leading or trailing blanks"},
        // Items are numbered as they stand in the source, registry items before files included.
        BadSource{One(R"(, "items": [{"kind": "key", "path": "HKLM\\A\\B"},
                                     {"kind": "file", "path": " "}])"),
                  "software[0] (A) items[1]: path is empty"},
        BadSource{One(R"(, "items": [{"kind": "value", "path": "HKLM\\A\\B"},
                                     {"kind": "key", "path": "HKLM\\A\\B"},
                                     {"kind": "directory", "path": "C:\\)" +
                      std::string(101, 'd') + R"("}])"),
                  "software[0] (A) items[2]: path"},
        // A NUL would cut the name short on Windows: the item would name its parent folder.
        BadSource{One(R"(, "items": [{"kind": "directory", "path": "C:\\Acme\u0000\\x"}])"),
                  "software[0] (A) items[0]: path: holds the control character 0x00 at position 7"},
        BadSource{R"({"software": [{"id": "A", "name": "A\u0000B", "category": 1}]})",
                  "software[0] (A): field 'name': holds the control character 0x00"},
        BadSource{R"({"software": [{"id": "A\u0001B", "name": "A", "category": 1}]})",
                  "software[0]: field 'id': holds the control character 0x01"},
        BadSource{One(R"(, "services": "a\nb")"),
                  "software[0] (A): field 'services': holds the control character 0x0A"},
        BadSource{One(R"(, "locations": [{"key": "HKLM\\A\u001f", "value": "v"}])"),
                  "software[0] (A) locations[0]: key: holds the control character 0x1F"},
        BadSource{One(R"(, "locations": [{"key": "HKLM\\A", "value": "v\t"}])"),
                  "software[0] (A) locations[0]: value: holds the control character 0x09"}));

struct LintCase {
  const char* fields;
  const char* finding;  // empty: nothing to report
};

void PrintTo(const LintCase& c, std::ostream* os) {
  *os << Plain(c.fields);
}

class SvdbLint : public ::testing::TestWithParam<LintCase> {};

TEST_P(SvdbLint, FlagsWhatWouldBeDangerous) {
  const std::vector<std::string> findings = LintSource(ParseSource(One(GetParam().fields)));
  if (std::string(GetParam().finding).empty()) {
    EXPECT_TRUE(findings.empty()) << findings.front();
  } else {
    ASSERT_EQ(findings.size(), 1u) << GetParam().fields;
    EXPECT_NE(findings[0].find(GetParam().finding), std::string::npos) << findings[0];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, SvdbLint,
    ::testing::Values(
        LintCase{R"(, "services": "a,,b")", "services: empty piece"},
        LintCase{R"(, "processes": "a.exe,")", "processes: empty piece"},
        LintCase{R"(, "desktop": " , x")", "desktop: empty piece"},
        LintCase{R"(, "startMenu": "x, y")", ""},
        LintCase{R"(, "installFolder": "1")", "nothing after the digit"},
        LintCase{R"(, "installFolder": "2  ")", "nothing after the digit"},
        LintCase{R"(, "installFolder": "7Acme")", "digit 0 to 3"},
        LintCase{R"(, "installFolder": "1Acme\\Writer")", ""},
        LintCase{R"(, "items": [{"kind": "directory", "path": "C:\\"}])", "drive root"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "D:"}])", "not a full path"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{w}"}])", "Windows folder"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{w}{s32}"}])", "system folder"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{w}{s}\\"}])", "system folder"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{pf}"}])", "Program Files root"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{pf}{cf}"}])", "Program Files root"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{das}{cur}"}])", "profile root"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{das}"}])", "profile root"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{das}{as}{ad}"}])", "shell folder"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{das}{cur}{ls}{ad}"}])",
                 "shell folder"},
        LintCase{
            R"(, "items": [{"kind": "directory", "path": "C:\\users\\root\\AppData\\Roaming"}])",
            "shell folder"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "C:\\ProgramData"}])",
                 "shell folder"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{das}{cur}{ad}\\Acme"}])", ""},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{das}{cur}{ad}\\P\\{x}"}])", ""},
        LintCase{R"(, "items": [{"kind": "file", "path": "{pf}\\Acme\\{y}.exe"}])", "macro"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM"}])", "no key path"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM\\"}])", "hive root"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}"}])", "SOFTWARE"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKCU{sw}{ms}"}])", "SOFTWARE"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}\\Acme"}])", "SOFTWARE"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM\\SYSTEM"}])", "top-level key"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKU\\.DEFAULT"}])", "user's hive root"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKU\\.DEFAULT{sw}\\Acme"}])", "SOFTWARE"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKCR\\CLSID"}])", "HKEY_CLASSES_ROOT"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}\\Classes\\Interface"}])",
                 "classes"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}\\Classes\\Acme.Doc"}])", ""},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKCR\\Acme.Doc"}])", ""},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKEY_LOCAL_MACHINE\\Software\\A\\B"}])",
                 "does not begin with"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}\\Acme\\Writer"}])", ""},
        LintCase{R"(, "items": [{"kind": "value", "path": "HKLM{sw}\\Acme\\Writer\\Path"}])", ""},
        LintCase{R"(, "items": [{"kind": "value", "path": "HKCU"}])", "no key path"},
        LintCase{R"(, "locations": [{"key": "Software\\Acme", "value": "Path"}])",
                 "does not expand"},
        // Numbered as in the source, not as the files order them.
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}\\Acme\\Writer"},
                                {"kind": "value", "path": "HKLM{sw}\\Acme\\Writer\\Path"},
                                {"kind": "directory", "path": "{w}"}])",
                 "software[0] (A) items[2]: directory '{w}' expands to the Windows folder"},
        // "." and ".." and trailing dots resolve before the checks.
        LintCase{R"(, "items": [{"kind": "directory", "path": "{pf}\\Acme\\..\\.."}])",
                 "drive root"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{pf}\\..\\..\\.."}])", "drive root"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{w}\\."}])", "Windows folder"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{w}."}])", "Windows folder"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{w}\\.\\\\"}])", "Windows folder"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{w}\\Acme\\..\\System32. "}])",
                 "system folder"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{pf}\\Acme\\.."}])",
                 "Program Files root"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "C:\\Windows/System32/"}])",
                 "system folder"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{das}{cur}{ad}\\Acme\\.."}])",
                 "shell folder"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{pf}\\Acme\\.\\Writer"}])", ""},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{pf}\\Acme\\x\\..\\Writer"}])", ""},
        // A file item is found with a search: a wildcard takes whatever comes first.
        LintCase{R"(, "items": [{"kind": "file", "path": "{pf}\\Acme\\*"}])", "wildcard"},
        LintCase{R"(, "items": [{"kind": "file", "path": "{pf}\\Acme\\log?.txt"}])", "wildcard"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{pf}\\Acme*"}])", "wildcard"},
        // Keys every program shares, and the keys of services themselves.
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}{ms}{win}"}])", "shares"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}{ms}{win}{cv}"}])", "shares"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKCU{sw}{ms}{win}{cv}\\Run"}])", "shares"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}{ms}{win}{cv}\\RunOnce\\"}])",
                 "shares"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}{ms}{win}{cv}\\Uninstall"}])",
                 "shares"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}{ms}{win}{cv}\\App Paths"}])",
                 "shares"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKCU{sw}{ms}{win}{cv}\\Explorer"}])",
                 "shares"},
        LintCase{R"(, "items": [{"kind": "key",
                                 "path": "HKCU{sw}{ms}{win}{cv}\\Explorer\\Shell Folders"}])",
                 "shares"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKCU{sw}{ms}{win}{cv}\\Explorer{usf}"}])",
                 "shares"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKCU{sw}{ms}{win}{cv}{is}"}])", "shares"},
        LintCase{
            R"(, "items": [{"kind": "key", "path": "HKLM{sw}{ms}\\Windows NT{cv}\\Winlogon"}])",
            "shares"},
        LintCase{
            R"(, "items": [{"kind": "key", "path": "HKLM{sw}\\Wow6432Node{ms}{win}{cv}\\Run"}])",
            "shares"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}\\Wow6432Node\\Acme"}])",
                 "SOFTWARE"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}\\Wow6432Node\\Acme\\Writer"}])",
                 ""},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKU\\.DEFAULT{sw}{ms}{win}{cv}\\Run"}])",
                 "shares"},
        LintCase{
            R"(, "items": [{"kind": "key", "path": "HKLM{sw}{ms}{win}{cv}\\Uninstall\\Acme"}])",
            ""},
        LintCase{R"(, "items": [{"kind": "key",
                                 "path": "HKLM{sw}{ms}{win}{cv}\\App Paths\\acme.exe"}])",
                 ""},
        LintCase{R"(, "items": [{"kind": "value", "path": "HKCU{sw}{ms}{win}{cv}\\Run\\Acme"}])",
                 ""},
        LintCase{
            R"(, "items": [{"kind": "key", "path": "HKLM\\SYSTEM\\CurrentControlSet\\Services"}])",
            "shared system key"},
        LintCase{
            R"(, "items": [{"kind": "key", "path": "HKLM\\SYSTEM\\ControlSet001\\Services\\"}])",
            "shared system key"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM\\SYSTEM\\ControlSet002\\Control"}])",
                 "shared system key"},
        LintCase{R"(, "items": [{"kind": "key",
                                 "path": "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog"}])",
                 "shared system key"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM\\SYSTEM\\CurrentControlSet"}])",
                 "top-level key under SYSTEM"},
        LintCase{R"(, "items": [{"kind": "key",
                                 "path": "HKLM\\SYSTEM\\CurrentControlSet\\Services\\AcmeSvc"}])",
                 ""},
        LintCase{R"(, "items": [{"kind": "key",
                                 "path": "HKLM\\SYSTEM\\ControlSet001\\Services\\AcmeSvc"}])",
                 ""},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}\\Acme\\Writer\\..\\.."}])",
                 "'..' segment"},
        // Braces around a GUID are a name, not a macro; a short word in braces is a macro.
        LintCase{R"(, "items": [{"kind": "key",
                                 "path": "HKCR\\CLSID\\{0000031A-0000-0000-C000-000000000046}"}])",
                 ""},
        LintCase{R"(, "items": [{"kind": "directory",
                                 "path": "{pf}\\{3F2504E0-4F89-11D3-9A0C-0305E82C3301}"}])",
                 ""},
        LintCase{R"(, "items": [{"kind": "file", "path": "{pf}\\Acme\\{a b}.txt"}])", ""},
        LintCase{
            R"(, "locations": [{"key": "HKLM{sw}{ms}{win}{cv}\\Uninstall\\{3F2504E0-4F89-11D3-9A0C-0305E82C3301}",
                                     "value": "InstallLocation"}])",
            ""},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{pf}\\Acme\\{PF}"}])", "macro"},
        LintCase{R"(, "items": [{"kind": "directory", "path": "{pf}\\{w}"}])", "macro"},
        LintCase{R"(, "items": [{"kind": "key", "path": "HKLM{sw}\\Acme\\{abcdefghij}"}])",
                 "macro"},
        LintCase{R"(, "locations": [{"key": "HKLM{sw}\\Acme{zz}", "value": "Path"}])",
                 "does not expand"}));

// The lookup by name takes the first record whose name begins the program's name.
TEST(SvdbLintNames, FlagsSoftwareHiddenBehindAnEarlierName) {
  const Source source = ParseSource(R"({"software": [
      {"id": "K", "name": "Kestrel Browser", "category": 1},
      {"id": "W", "name": "Wordly", "category": 5},
      {"id": "KX", "name": "kestrel browser Extras", "category": 1},
      {"id": "K2", "name": " KESTREL BROWSER ", "category": 1},
      {"id": "KE", "name": "Kestrel Extras", "category": 1},
      {"id": "KS", "name": "Kestrel", "category": 1},
      {"id": "WW", "name": "Wordly Writer", "category": 5}]})");
  const std::vector<std::string> expected{
      "software[2] (KX) name: 'kestrel browser Extras' begins with the name 'Kestrel Browser' of "
      "software[0] (K), which is found first: the software is unreachable",
      "software[3] (K2) name: 'KESTREL BROWSER' begins with the name 'Kestrel Browser' of "
      "software[0] (K), which is found first: the software is unreachable",
      "software[6] (WW) name: 'Wordly Writer' begins with the name 'Wordly' of software[1] (W), "
      "which is found first: the software is unreachable"};
  EXPECT_EQ(LintSource(source), expected);
}

// What the removal policy keeps wherever the database runs: noted, and only --strict fails.
TEST(SvdbLintPolicy, NotesWhatARemovalKeepsWhateverTheMachineShows) {
  const Source source = ParseSource(R"({"software": [
      {"id": "ACME", "name": "Acme Writer", "category": 5, "installFolder": "1Acme\\Writer",
       "services": "RpcSs,AcmeSvc",
       "items": [{"kind": "directory", "path": "{pf}\\Acme\\Writer"},
                 {"kind": "directory", "path": "{w}\\AcmeCache"},
                 {"kind": "file", "path": "{w}\\acme.ini"},
                 {"kind": "file", "path": "{das}{cur}{md}\\letter.doc"},
                 {"kind": "key", "path": "HKLM{sw}\\Acme\\Writer"},
                 {"kind": "key", "path": "HKLM{sw}{ms}\\Acme"},
                 {"kind": "value", "path": "HKLM\\SYSTEM\\CurrentControlSet\\Control\\X"}]}]})");
  const std::vector<std::string> notes = PolicyNotes(source);
  const auto noted = [&](const std::string& what) {
    return std::any_of(notes.begin(), notes.end(), [&](const std::string& note) {
      return note.find(what) != std::string::npos;
    });
  };
  EXPECT_TRUE(noted("items[1]: directory '{w}\\AcmeCache'"));
  EXPECT_TRUE(noted("items[3]: file '{das}{cur}{md}\\letter.doc'"));
  EXPECT_TRUE(noted("items[5]: key 'HKLM{sw}{ms}\\Acme'"));
  EXPECT_TRUE(noted("items[6]: value"));
  EXPECT_TRUE(noted("services: 'RpcSs'"));
  // The program's own places, and what needs the machine's evidence, are not noted.
  EXPECT_FALSE(noted("items[0]"));
  EXPECT_FALSE(noted("items[2]"));
  EXPECT_FALSE(noted("items[4]"));
  EXPECT_FALSE(noted("'AcmeSvc'"));
  EXPECT_TRUE(LintSource(source).empty());
}

// ---- The command line, on real files -------------------------------------------------------

struct SvdbRun : ::testing::Test {
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("svdb-test-" + testing::UniqueStamp());
  std::ostringstream out, err;

  void SetUp() override { std::filesystem::create_directories(folder); }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::string Path(const char* name) const { return (folder / name).string(); }
  void Write(const char* name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
  }
  int Svdb(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return svdb::Run(args, out, err);
  }
};

TEST_F(SvdbRun, BuildDumpAndLintOnFiles) {
  Write("source.json", kSource);
  ASSERT_EQ(Svdb({"build", Path("source.json"), Path("out")}), 0) << err.str();
  ASSERT_EQ(Svdb({"dump", Path("out")}), 0) << err.str();
  EXPECT_EQ(ParseSource(out.str()), InFileOrder(ParseSource(kSource)));
  EXPECT_EQ(Svdb({"lint", Path("source.json")}), 0) << out.str();
  EXPECT_EQ(out.str(), "");
  Write("danger.json", One(R"(, "items": [{"kind": "directory", "path": "{w}"}])"));
  EXPECT_EQ(Svdb({"lint", Path("danger.json")}), 1);
  EXPECT_NE(out.str().find("danger.json: software[0] (A) items[0]"), std::string::npos)
      << out.str();
}

TEST_F(SvdbRun, BadInputAndUsage) {
  Write("bad.json", R"({"software": [{"id": "A", "name": "A", "category": 0}]})");
  EXPECT_EQ(Svdb({"build", Path("bad.json"), Path("out")}), 1);
  EXPECT_NE(err.str().find("field 'category' is 0"), std::string::npos) << err.str();
  EXPECT_FALSE(std::filesystem::exists(folder / "out" / "SV.dat"));
  EXPECT_EQ(Svdb({"build", Path("missing.json"), Path("out")}), 1);
  EXPECT_EQ(Svdb({"dump", Path("nothing")}), 1);
  EXPECT_EQ(Svdb({}), 2);
  EXPECT_EQ(Svdb({"frobnicate"}), 2);
  EXPECT_EQ(Svdb({"build", Path("bad.json")}), 2);
  EXPECT_NE(err.str().find("usage: svdb build"), std::string::npos);
}

}  // namespace
}  // namespace sv::svdb
