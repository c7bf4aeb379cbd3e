#include "database/opUninstallFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "database/db_format.h"
#include "platform/fake/fake_machine.h"
#include "support/db_writer.h"
#include "support/test_names.h"

namespace sv::database {
namespace {

using fake::FakeMachine;
using testing::DbEntry;
using testing::DbItem;
using testing::DbSoft;
using Lines = std::vector<std::string>;

constexpr const char* kFolder = "C:\\Program Files\\Sorvane\\";
const std::string kDataPath = std::string(kFolder) + "SV.dat";
const std::string kSoftPath = std::string(kFolder) + "soft.dat";

struct Database : ::testing::Test {
  FakeMachine machine{FakeMachine::Layout::Standard};
  platform::Platform platform = machine.Get();

  Database() { machine.files.PutDirectory(kFolder); }

  void Put(const std::vector<DbEntry>& entries, const std::vector<DbSoft>& softs,
           std::int32_t stamp = 1234567890, std::int32_t softStamp = 1234567890) {
    machine.files.PutFile(kDataPath, testing::WriteDataFile(stamp, entries));
    machine.files.PutFile(kSoftPath, testing::WriteSoftFile(softStamp, softs));
  }
  void PutRaw(const std::string& data, const std::string& soft) {
    machine.files.PutFile(kDataPath, data);
    machine.files.PutFile(kSoftPath, soft);
  }
  std::string FileBytes(const std::string& path) {
    return platform::ReadWholeFile(machine.files, path).value_or("<missing>");
  }
  TUFileOp Open() { return TUFileOp(platform); }
};

DbSoft Soft(std::string id, std::string name, std::int32_t category) {
  DbSoft soft;
  soft.id = std::move(id);
  soft.name = std::move(name);
  soft.category = category;
  return soft;
}

double DoubleAt(const std::string& bytes, std::size_t at) {
  double value = 0;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

// ---- Construction and headers -------------------------------------------------------------

TEST_F(Database, EmptyOrBlankPathsAddressTheExecutablesFolder) {
  for (const char* blank : {"", "   ", "\t "}) {
    TUFileOp db(platform, blank, blank);
    EXPECT_EQ(db.DataPath(), kDataPath);
    EXPECT_EQ(db.SoftPath(), kSoftPath);
  }
}

TEST_F(Database, GivenPathsAreTrimmedAndUsed) {
  machine.files.PutDirectory("D:\\db");
  machine.files.AddDrive('D');
  machine.files.PutDirectory("D:\\db");
  TUFileOp db(platform, "  D:\\db\\a.dat ", "D:\\db\\b.dat");
  EXPECT_EQ(db.DataPath(), "D:\\db\\a.dat");
  EXPECT_EQ(db.SoftPath(), "D:\\db\\b.dat");
  EXPECT_EQ(FileBytes("D:\\db\\a.dat").size(), 28u);
  EXPECT_EQ(FileBytes("D:\\db\\b.dat").size(), 16u);
}

TEST_F(Database, MissingFilesAreCreatedWithExactEmptyHeaders) {
  // 2024-03-15 12:00:00 UTC, one hour east: local 13:00, stamp 1710507600.
  machine.clock.SetLocalOffsetMinutes(60);
  TUFileOp db = Open();
  const std::string data = FileBytes(kDataPath);
  const std::string soft = FileBytes(kSoftPath);
  std::string expectedData;
  testing::PutLe32(expectedData, 1710507600);
  testing::PutDouble(expectedData, testing::StampDate(1710507600));
  for (int value : {0, 0, 0, 28})
    testing::PutLe32(expectedData, value);
  // The date-time is "now" itself, so compare it as a number; every other byte exactly.
  ASSERT_EQ(data.size(), 28u);
  EXPECT_EQ(data.substr(0, 4), expectedData.substr(0, 4));
  EXPECT_EQ(data.substr(12), expectedData.substr(12));
  EXPECT_NEAR(DoubleAt(data, 4), testing::StampDate(1710507600), 1e-9);
  EXPECT_EQ(data.substr(24), std::string("\x1C\0\0\0", 4));
  std::string expectedSoft;
  testing::PutLe32(expectedSoft, 1710507600);
  testing::PutDouble(expectedSoft, testing::StampDate(1710507600));
  testing::PutLe32(expectedSoft, 0);
  ASSERT_EQ(soft.size(), 16u);
  EXPECT_EQ(soft.substr(0, 4), expectedSoft.substr(0, 4));
  EXPECT_EQ(soft.substr(12), expectedSoft.substr(12));
  EXPECT_NEAR(DoubleAt(soft, 4), testing::StampDate(1710507600), 1e-9);
  EXPECT_EQ(db.GetDataVersion(1), "1710507600");
  EXPECT_EQ(db.GetSoftDataVersion(0), "2024.0315.130000");

  Lines list{"stale"};
  EXPECT_EQ(db.GetSoftNameList(list, 0), 0);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(db.GetSoftCount(0), 0);
  EXPECT_EQ(db.FindSoftId("Anything"), "");
  EXPECT_EQ(db.GetSoftItems("Anything", 0, 0, list), kNoSoftwareId);
}

TEST_F(Database, ExistingFilesAreNeverRewrittenEvenWhenEmpty) {
  PutRaw("", "x");
  TUFileOp db = Open();
  EXPECT_EQ(FileBytes(kDataPath), "");
  EXPECT_EQ(FileBytes(kSoftPath), "x");
  EXPECT_EQ(db.GetDataVersion(1), "");  // no header to read
  EXPECT_EQ(db.GetSoftCount(0), 0);
}

TEST_F(Database, AFileThatCannotBeCreatedFailsWithItsPath) {
  machine.faults.Inject(fake::Op::OpenFile, kSoftPath, platform::kErrorAccessDenied);
  try {
    TUFileOp db = Open();
    FAIL() << "constructed";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot create file " + kSoftPath);
  }
}

TEST_F(Database, AFileThatCannotBeOpenedFailsWithItsPath) {
  Put({}, {});
  machine.faults.Inject(fake::Op::OpenFile, kDataPath, platform::kErrorSharingViolation);
  try {
    TUFileOp db = Open();
    FAIL() << "constructed";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot open file " + kDataPath);
  }
}

TEST_F(Database, ADirectoryInPlaceOfAFileCannotBeOpened) {
  machine.files.PutDirectory(kDataPath);
  EXPECT_THROW(Open(), Error);
}

using testing::Plain;

struct VersionCase {
  std::int32_t stamp;
  const char* number;
  const char* display;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
  *os << c.stamp;
}

class DatabaseVersion : public Database, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(DatabaseVersion, FormatsTheStampBothWays) {
  Put({}, {}, GetParam().stamp, GetParam().stamp);
  TUFileOp db = Open();
  EXPECT_EQ(db.GetDataVersion(1), GetParam().number);
  EXPECT_EQ(db.GetDataVersion(0), GetParam().display);
  EXPECT_EQ(db.GetDataVersion(7), GetParam().display);
  EXPECT_EQ(db.GetSoftDataVersion(1), GetParam().number);
  EXPECT_EQ(db.GetSoftDataVersion(2), GetParam().display);
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, DatabaseVersion,
    ::testing::Values(VersionCase{1234567890, "1234567890", "2009.0213.233130"},
                      VersionCase{0, "0", "1970.0101.000000"},
                      VersionCase{-86400, "-86400", "1969.1231.000000"},
                      VersionCase{1215432000, "1215432000", "2008.0707.120000"}));

TEST_F(Database, ReadersDecodeEveryFieldOfTheLayout) {
  DbSoft soft = Soft("ACME1", "Acme Writer", 5);
  soft.services = "AcmeSvc,AcmeUpd";
  soft.processes = "acme.exe";
  soft.spare = "spare";
  soft.installFolder = "1{pf}\\Acme";
  soft.desktop = "Acme Writer";
  soft.programs = "Acme";
  soft.startup = "Acme Tray";
  soft.startMenu = "Acme Start";
  soft.locations = {{"HKLM{sw}\\Acme", "InstallDir"}, {"HKCU{sw}\\Acme", "(default)"}};
  Put({{"ACME1", {{1, "{pf}\\Acme\\a.exe"}}, {{2, "HKLM{sw}\\Acme"}}}}, {soft}, 77, 88);
  TUFileOp db = Open();

  const auto header = db.ReadDataHeader();
  ASSERT_TRUE(header);
  EXPECT_EQ(header->stamp, 77);
  EXPECT_EQ(header->count, 1);
  EXPECT_EQ(header->headerLength, 28);
  const auto entry = db.ReadIndexEntry(28);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->id, "ACME1");
  EXPECT_EQ(entry->offset, 55);
  EXPECT_EQ(entry->fileCount, 1);
  EXPECT_EQ(entry->registryCount, 1);
  const auto item = db.ReadItemRecord(55 + 105);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->kind, 2);
  EXPECT_EQ(item->item, "HKLM{sw}\\Acme");

  const auto softHeader = db.ReadSoftHeader();
  ASSERT_TRUE(softHeader);
  EXPECT_EQ(softHeader->stamp, 88);
  EXPECT_EQ(softHeader->count, 1);
  const auto record = db.ReadSoftRecord(16);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->id, "ACME1");
  EXPECT_EQ(record->name, "Acme Writer");
  EXPECT_EQ(record->category, 5);
  EXPECT_EQ(record->services, "AcmeSvc,AcmeUpd");
  EXPECT_EQ(record->processes, "acme.exe");
  EXPECT_EQ(record->spare, "spare");
  EXPECT_EQ(record->installFolder, "1{pf}\\Acme");
  EXPECT_EQ(record->desktop, "Acme Writer");
  EXPECT_EQ(record->programs, "Acme");
  EXPECT_EQ(record->startup, "Acme Tray");
  EXPECT_EQ(record->startMenu, "Acme Start");
  EXPECT_EQ(record->locationOffset, 16 + 1114);
  EXPECT_EQ(record->locationCount, 2);
  const auto location = db.ReadLocationRecord(16 + 1114 + 132);
  ASSERT_TRUE(location);
  EXPECT_EQ(location->key, "HKCU{sw}\\Acme");
  EXPECT_EQ(location->valueName, "(default)");
}

TEST_F(Database, SerializerWritesTheSameBytesAsTheIndependentWriter) {
  DbSoft soft = Soft("ID", "Name", 3);
  soft.services = "s";
  soft.startMenu = "m";
  soft.locations = {{"HKLM\\K", "V"}};
  const std::string expectedSoft = testing::WriteSoftFile(5, {soft});
  SoftRecord record;
  record.id = "ID";
  record.name = "Name";
  record.category = 3;
  record.services = "s";
  record.startMenu = "m";
  record.locationOffset = 16 + 1114;
  record.locationCount = 1;
  const std::string written = SerializeSoftHeader({5, 5 / 86400.0 + 25569.0, 1}) +
                              SerializeSoftRecord(record) +
                              SerializeLocationRecord({"HKLM\\K", "V"});
  EXPECT_EQ(written, expectedSoft);

  const std::string expectedData = testing::WriteDataFile(9, {{"ID", {{4, "D"}}, {{3, "R"}}}});
  const std::string data = SerializeDataHeader({9, 9 / 86400.0 + 25569.0, 1, 0, 0, 28}) +
                           SerializeIndexEntry({0, "ID", 55, 1, 1}) +
                           SerializeItemRecord({4, "D"}) + SerializeItemRecord({3, "R"});
  EXPECT_EQ(data, expectedData);
}

TEST_F(Database, AnsiTextIsDecodedToUtf8) {
  Put({{"CAFE", {{1, "C:\\Caf\xE9\\x.txt"}}, {}}}, {Soft("CAFE", "Caf\xE9 \x80", 2)});
  TUFileOp db = Open();
  EXPECT_EQ(db.GetSoftName("cafe"), "Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(db.FindSoftId("Caf\xC3\xA9 \xE2\x82\xAC 2"), "CAFE");
  Lines items;
  EXPECT_EQ(db.GetSoftItems("Caf\xC3\xA9 \xE2\x82\xAC", 0, 0, items), 1);
  EXPECT_EQ(items, (Lines{"1C:\\Caf\xC3\xA9\\x.txt"}));
}

// ---- Queries ------------------------------------------------------------------------------

struct Queries : Database {
  void SetUp() override {
    DbSoft foo = Soft("FOO", "Foo", 1);
    DbSoft fooPro = Soft("FOOPRO", "Foo Pro", 2);
    DbSoft bar = Soft("Bar", "  Bar Tool ", 1);
    bar.services = " a, b ";
    bar.locations = {{"HKLM{sw}\\Bar", " InstallPath "}, {"hkcu{sw}\\Bar", "(Default)"}};
    DbSoft game = Soft("GAME", "Game", 9);
    DbSoft odd = Soft("ODD", "Odd", 11);
    Put(
        {
            {"foo",
             {{1, "{pf}\\Foo\\foo.exe"}, {4, "{pf}\\Foo"}},
             {{2, "HKLM{sw}\\Foo"}, {3, "HKLM{sw}\\Foo\\Path"}}},
            {"FOOPRO", {{1, "{pf}\\FooPro\\p.exe"}}, {}},
            {"BAR", {}, {{2, "HKCU{sw}\\Bar"}}},
            {"NOSOFT", {}, {}},
            {"GAME", {}, {}},
            {"ODD", {}, {}},
            {"FOO", {{1, "{pf}\\Second\\never.exe"}}, {}},
        },
        {foo, fooPro, bar, game, odd});
  }
};

TEST_F(Queries, NameListWithCategoryZeroIsTheIndexInOrderWithEmptyLinesForMissingIds) {
  TUFileOp db = Open();
  Lines list{"old"};
  EXPECT_EQ(db.GetSoftNameList(list, 0), 7);
  EXPECT_EQ(list, (Lines{"Foo", "Foo Pro", "Bar Tool", "", "Game", "Odd", "Foo"}));
}

TEST_F(Queries, NameListAndCountOfOneCategory) {
  TUFileOp db = Open();
  Lines list;
  EXPECT_EQ(db.GetSoftNameList(list, 1), 3);
  EXPECT_EQ(list, (Lines{"Foo", "Bar Tool", "Foo"}));
  EXPECT_EQ(db.GetSoftCount(0), 7);
  EXPECT_EQ(db.GetSoftCount(1), 3);
  EXPECT_EQ(db.GetSoftCount(9), 1);
  EXPECT_EQ(db.GetSoftCount(3), 0);
  EXPECT_EQ(db.GetSoftCount(11), 1);
}

TEST_F(Queries, CategoryAndNameJoinIgnoringCase) {
  TUFileOp db = Open();
  EXPECT_EQ(db.GetSoftCategory("foopro"), 2);
  EXPECT_EQ(db.GetSoftCategory("bar"), 1);
  EXPECT_EQ(db.GetSoftCategory("none"), 0);
  EXPECT_EQ(db.GetSoftName("BAR"), "Bar Tool");
  EXPECT_EQ(db.GetSoftName("unknown"), "");
}

TEST_F(Queries, CategoryTextNeedsTheWholeNameInAnyCase) {
  TUFileOp db = Open();
  EXPECT_EQ(db.GetCategoryText("FOO PRO"), "System Tools");
  EXPECT_EQ(db.GetCategoryText("bar tool"), "Networking Software");
  EXPECT_EQ(db.GetCategoryText("Game"), "Games");
  EXPECT_EQ(db.GetCategoryText("Foo Pro 9"), "");
  EXPECT_EQ(db.GetCategoryText("Odd"), "");  // category 11 has no name
  EXPECT_EQ(db.GetCategoryText(""), "");
}

TEST_F(Queries, FindSoftIdTakesTheFirstRecordWhoseNameBeginsTheArgument) {
  TUFileOp db = Open();
  EXPECT_EQ(db.FindSoftId("Foo"), "FOO");
  EXPECT_EQ(db.FindSoftId("Foo Pro 9"), "FOO");  // Foo comes first, not the longest
  EXPECT_EQ(db.FindSoftId("foobar"), "FOO");
  EXPECT_EQ(db.FindSoftId("BAR TOOL 2"), "Bar");
  EXPECT_EQ(db.FindSoftId("Fo"), "");    // shorter than every name
  EXPECT_EQ(db.FindSoftId(" Foo"), "");  // callers trim; this one does not
}

TEST_F(Queries, GetSoftItemsFiltersByKindFromItsOwnRun) {
  TUFileOp db = Open();
  Lines list;
  EXPECT_EQ(db.GetSoftItems("Foo", 0, 0, list), 4);
  EXPECT_EQ(list, (Lines{"1C:\\Program Files\\Foo\\foo.exe", "4C:\\Program Files\\Foo",
                         "2HKEY_LOCAL_MACHINE\\Software\\Foo",
                         "3HKEY_LOCAL_MACHINE\\Software\\Foo\\Path"}));
  EXPECT_EQ(db.GetSoftItems("Foo", 1, 0, list), 1);
  EXPECT_EQ(list, (Lines{"1C:\\Program Files\\Foo\\foo.exe"}));
  EXPECT_EQ(db.GetSoftItems("Foo", 4, 0, list), 1);
  EXPECT_EQ(list, (Lines{"4C:\\Program Files\\Foo"}));
  EXPECT_EQ(db.GetSoftItems("Foo", 3, 0, list), 1);
  EXPECT_EQ(list, (Lines{"3HKEY_LOCAL_MACHINE\\Software\\Foo\\Path"}));
  EXPECT_EQ(db.GetSoftItems("Foo", 2, 0, list), 1);
  EXPECT_EQ(list, (Lines{"2HKEY_LOCAL_MACHINE\\Software\\Foo"}));
}

TEST_F(Queries, GetSoftItemsResultCodes) {
  TUFileOp db = Open();
  Lines list{"old"};
  EXPECT_EQ(db.GetSoftItems("Fo", 9, 1, list), kNoSoftwareId);  // no ID beats a bad filter
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(db.GetSoftItems("Foo", 5, 1, list), kBadKindFilter);
  EXPECT_EQ(db.GetSoftItems("Game", 0, 0, list), 0);
  list = {"old"};
  // "Foo Pro" is addressed through Foo, the first matching name.
  EXPECT_EQ(db.GetSoftItems("Foo Pro", 1, 0, list), 1);
  EXPECT_EQ(list, (Lines{"1C:\\Program Files\\Foo\\foo.exe"}));
}

TEST_F(Queries, GetSoftItemsJoinsAnIndexIdOfOtherCaseAndIgnoresLaterEntries) {
  TUFileOp db = Open();
  Lines list;
  EXPECT_EQ(db.GetSoftItems("Bar Tool", 0, 0, list), 1);
  EXPECT_EQ(list, (Lines{"2HKEY_CURRENT_USER\\Software\\Bar"}));
  EXPECT_EQ(db.GetSoftItems("Foo", 1, 0, list), 1);  // the second FOO entry is never read
}

TEST_F(Queries, GetSoftItemsExistingOnlyListsWhatThisMachineHas) {
  TUFileOp db = Open();
  Lines list{"old"};
  EXPECT_EQ(db.GetSoftItems("Foo", 0, 1, list), 0);
  EXPECT_TRUE(list.empty());

  machine.files.PutFile("C:\\Program Files\\Foo\\foo.exe");
  auto key = machine.registry.CreateKey(platform::Hive::LocalMachine, "Software\\Foo");
  ASSERT_TRUE(key);
  EXPECT_EQ(db.GetSoftItems("Foo", 0, 1, list), 3);
  EXPECT_EQ(list, (Lines{"1C:\\Program Files\\Foo\\foo.exe", "4C:\\Program Files\\Foo",
                         "2HKEY_LOCAL_MACHINE\\Software\\Foo"}));
  ASSERT_EQ(key->SetStringValue("Path", "x"), platform::kSuccess);
  EXPECT_EQ(db.GetSoftItems("Foo", 3, 1, list), 1);
  // Any switch other than 1 lists everything.
  EXPECT_EQ(db.GetSoftItems("Foo", 0, 2, list), 4);
}

TEST_F(Queries, GetSoftInfoFillsElevenLinesAndTheParallelLocationLists) {
  TUFileOp db = Open();
  Lines info{"x"}, keys{"x"}, values{"x"};
  EXPECT_EQ(db.GetSoftInfo("Bar Tool", info, keys, values), 11);
  EXPECT_EQ(info, (Lines{"Bar", "Bar Tool", "1", "a, b", "", "", "", "", "", "", ""}));
  EXPECT_EQ(keys, (Lines{"HKEY_LOCAL_MACHINE\\Software\\Bar", "HKEY_CURRENT_USER\\Software\\Bar"}));
  EXPECT_EQ(values, (Lines{" InstallPath ", "(Default)"}));  // as stored, untrimmed

  EXPECT_EQ(db.GetSoftInfo("Game", info, keys, values), 11);
  EXPECT_EQ(info, (Lines{"GAME", "Game", "9", "", "", "", "", "", "", "", ""}));
  EXPECT_TRUE(keys.empty());
  EXPECT_TRUE(values.empty());

  EXPECT_EQ(db.GetSoftInfo("Nothing", info, keys, values), kNoSoftwareId);
  EXPECT_TRUE(info.empty());
}

TEST_F(Queries, GetSoftInfoMatchesTheIdWithLetterCaseSignificant) {
  // The ID comes from the first record named "Same"; the exact-case walk then finds the
  // record written "same" ... only if the case agrees.
  Put({}, {Soft("abc", "Same", 3), Soft("ABC", "Other", 4)});
  TUFileOp db = Open();
  Lines info, keys, values;
  EXPECT_EQ(db.GetSoftInfo("Other", info, keys, values), 11);
  EXPECT_EQ(info[0], "ABC");
  EXPECT_EQ(info[2], "4");
  EXPECT_EQ(db.GetSoftCategory("ABC"), 3);  // the other lookups ignore case
}

// ---- Damaged files ------------------------------------------------------------------------

std::string Truncated(std::string bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

void SetLe32(std::string& bytes, std::size_t at, std::int64_t value) {
  std::string le;
  testing::PutLe32(le, value);
  bytes.replace(at, 4, le);
}

TEST_F(Database, TruncatedFilesLoseTheRecordsPastTheEnd) {
  const std::string data =
      testing::WriteDataFile(1, {{"A", {{1, "C:\\a"}, {1, "C:\\b"}}, {}}, {"B", {}, {}}});
  const std::string soft = testing::WriteSoftFile(1, {Soft("A", "Alpha", 1), Soft("B", "Beta", 2)});
  // Cut inside the second index entry and inside the second software record.
  PutRaw(Truncated(data, 28 + 27 + 10), Truncated(soft, 16 + 1114 + 500));
  TUFileOp db = Open();
  Lines list;
  EXPECT_EQ(db.GetSoftNameList(list, 0), 1);
  EXPECT_EQ(list, (Lines{"Alpha"}));
  EXPECT_EQ(db.GetSoftName("B"), "");
  EXPECT_EQ(db.GetSoftItems("Alpha", 0, 0, list), 0);  // its items lay past the cut
  EXPECT_EQ(db.GetSoftCount(2), 0);
}

TEST_F(Database, ItemRunCutShortKeepsTheWholeRecordsOnly) {
  const std::string data = testing::WriteDataFile(1, {{"A", {{1, "C:\\a"}, {1, "C:\\b"}}, {}}});
  PutRaw(Truncated(data, data.size() - 1), testing::WriteSoftFile(1, {Soft("A", "Alpha", 1)}));
  TUFileOp db = Open();
  Lines list;
  EXPECT_EQ(db.GetSoftItems("Alpha", 0, 0, list), 1);
  EXPECT_EQ(list, (Lines{"1C:\\a"}));
}

TEST_F(Database, HugeAndNegativeCountsAndOffsetsStayInsideTheImage) {
  std::string data = testing::WriteDataFile(1, {{"A", {{1, "C:\\a"}}, {{2, "HKLM\\x"}}}});
  std::string soft = testing::WriteSoftFile(1, {Soft("A", "Alpha", 1)});
  SetLe32(data, 12, 0x7FFFFFFF);         // N
  SetLe32(data, 28 + 19, 0x7FFFFFFF);    // F
  SetLe32(data, 28 + 23, -5);            // R
  SetLe32(soft, 12, 0x7FFFFFFF);         // M
  SetLe32(soft, 16 + 1106, 0x7FFFFFF0);  // Q
  SetLe32(soft, 16 + 1110, 1000000);     // K
  PutRaw(data, soft);
  TUFileOp db = Open();
  Lines list, keys, values;
  // N runs on over the item records, read as entries, up to the last whole one.
  EXPECT_EQ(db.GetSoftNameList(list, 0), static_cast<std::int32_t>((data.size() - 28) / 27));
  EXPECT_EQ(list.front(), "Alpha");
  // N is bounded by the entries the image holds, as the name list is.
  EXPECT_EQ(db.GetSoftCount(0), static_cast<std::uint16_t>((data.size() - 28) / 27));
  EXPECT_EQ(db.GetSoftCount(1), 1);
  EXPECT_EQ(db.GetSoftItems("Alpha", 0, 0, list), 2);  // F runs on into the next record
  EXPECT_EQ(db.GetSoftItems("Alpha", 2, 0, list), 0);  // R negative: nothing
  EXPECT_EQ(db.GetSoftInfo("Alpha", list, keys, values), 11);
  EXPECT_TRUE(keys.empty());

  SetLe32(data, 12, -3);
  SetLe32(data, 28 + 15, -200);  // P
  SetLe32(soft, 12, -1);
  PutRaw(data, soft);
  TUFileOp negative = Open();
  EXPECT_EQ(negative.GetSoftNameList(list, 0), 0);
  EXPECT_EQ(negative.GetSoftCount(0), 0);
  EXPECT_EQ(negative.GetSoftName("A"), "");
  EXPECT_EQ(negative.ReadItemRecord(-200), std::nullopt);
  EXPECT_EQ(negative.ReadSoftRecord(-1), std::nullopt);
}

TEST_F(Database, LengthBytesAboveCapacityAreClamped) {
  std::string data = testing::WriteDataFile(1, {{"A", {{1, std::string(100, 'p')}}, {}}});
  std::string soft = testing::WriteSoftFile(1, {Soft("ABCDEFGHIJ", "Alpha", 1)});
  data[28 + 4] = static_cast<char>(0xFF);  // ID length 255 in a field of 10
  data[55 + 4] = static_cast<char>(200);   // item length 200 in a field of 100
  soft[16] = static_cast<char>(0xFF);
  PutRaw(data, soft);
  TUFileOp db = Open();
  const auto entry = db.ReadIndexEntry(28);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->id.size(), 10u);
  const auto item = db.ReadItemRecord(55);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->item, std::string(100, 'p'));
  EXPECT_EQ(db.ReadSoftRecord(16)->id, "ABCDEFGHIJ");
}

TEST_F(Database, HeadersShorterThanTheirSizeReadAsNoSoftware) {
  PutRaw(std::string(27, '\x01'), std::string(15, '\x01'));
  TUFileOp db = Open();
  Lines list;
  EXPECT_EQ(db.ReadDataHeader(), std::nullopt);
  EXPECT_EQ(db.ReadSoftHeader(), std::nullopt);
  EXPECT_EQ(db.GetSoftNameList(list, 0), 0);
  EXPECT_EQ(db.GetSoftCount(0), 0);
  EXPECT_EQ(db.GetSoftDataVersion(1), "");
  EXPECT_EQ(db.FindSoftId("x"), "");
}

TEST_F(Database, ItemKindsOutsideOneToFourAreSkipped) {
  Put({{"A", {{7, "C:\\seven"}, {1, "C:\\one"}}, {{0, "HKLM\\zero"}}}}, {Soft("A", "Alpha", 1)});
  TUFileOp db = Open();
  Lines list;
  EXPECT_EQ(db.GetSoftItems("Alpha", 0, 0, list), 1);
  EXPECT_EQ(list, (Lines{"1C:\\one"}));
}

// ---- Path macros --------------------------------------------------------------------------

struct ExpandCase {
  const char* stored;
  std::uint16_t kind;
  const char* expanded;
};

void PrintTo(const ExpandCase& c, std::ostream* os) {
  *os << Plain(c.stored) << "_kind" << c.kind;
}

class ExpandPath : public Database, public ::testing::WithParamInterface<ExpandCase> {
 protected:
  void SetUp() override {
    machine.system.windowsDirectory = "C:\\WINDOWS";
    machine.system.userName = "jdoe";
    Put({}, {});
  }
};

TEST_P(ExpandPath, ExpandsTheStoredForm) {
  TUFileOp db = Open();
  EXPECT_EQ(db.ExpandPath(GetParam().stored, GetParam().kind), GetParam().expanded);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExpandPath,
    ::testing::Values(
        ExpandCase{"{pf}{cf}\\Acme\\acme.dll", 1,
                   "C:\\Program Files\\Common Files\\Acme\\acme.dll"},
        ExpandCase{"{w}{s32}\\acme.sys", 1, "C:\\WINDOWS\\system32\\acme.sys"},
        ExpandCase{"{das}{cur}{ad}\\Acme", 4,
                   "C:\\Documents and Settings\\jdoe\\Application Data\\Acme"},
        ExpandCase{"D:\\Games\\Acme", 4, "D:\\Games\\Acme"},
        ExpandCase{"HKCU{sw}\\Acme", 2, "HKEY_CURRENT_USER\\Software\\Acme"},
        ExpandCase{"hklm{sw}{ms}{win}{cv}\\Run\\Acme", 3,
                   "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Acme"},
        // Every macro of the table, in one text.
        ExpandCase{
            "{das}{ls}{md}{ad}{is}{usf}{sf}{sf2}{pf}{cf}{cm}{s32}{s}{c}{i}{as}{a}{df}{lse}"
            "{nse}{sw}{ms}{win}{cv}",
            4,
            "C:\\Documents and Settings\\Local Settings\\My Documents\\Application "
            "Data\\Internet Settings\\User Shell Folders\\Shell Folder\\ShellFolder\\Program "
            "Files\\Common Files\\Config.Msi\\system32\\system\\config\\Installer\\All "
            "Users\\Administrator\\Default User\\LocalService\\NetworkService\\Software\\Micros"
            "oft\\Windows\\CurrentVersion"},
        ExpandCase{"  {pf}\\X  ", 1, "C:\\Program Files\\X"},
        ExpandCase{"{PF}\\X", 1, "C:{PF}\\X"},   // macros are case-sensitive
        ExpandCase{"D:\\{w}\\x", 1, "D:\\\\x"},  // a drive path gets no Windows folder
        ExpandCase{"{pf}{w}\\x", 1, "C:\\Program Files{w}\\x"},  // {w} only at the start
        ExpandCase{"   ", 1, ""}, ExpandCase{"", 2, ""},
        ExpandCase{"Hkcu\\A", 2, "HKEY_CURRENT_USER\\A"},
        ExpandCase{"hkcr\\.acme", 2, "HKEY_CLASSES_ROOT\\.acme"},
        ExpandCase{"HKU\\.DEFAULT\\A", 3, "HKEY_USERS\\.DEFAULT\\A"},
        ExpandCase{"HKEY_LOCAL_MACHINE\\A", 2, "HKEY_CURRENT_CONFIG\\A"},
        ExpandCase{"\\A", 2, "HKEY_CURRENT_CONFIG\\A"},
        ExpandCase{"HKLM", 3, "HKEY_CURRENT_CONFIGHKLM"},
        ExpandCase{"HKCU{sw}\\{cur}", 3, "HKEY_CURRENT_USER\\Software\\\\jdoe"},
        ExpandCase{"{ad}\\x", 9, "HKEY_CURRENT_CONFIG\\Application Data\\x"}));

TEST_F(Database, MissingUserNameLeavesTheMarker) {
  machine.system.userName = "  ";
  TUFileOp db = Open();
  EXPECT_EQ(db.ExpandPath("{das}{cur}\\x", 4), "C:\\Documents and Settings{cur}\\x");
}

TEST_F(Database, MissingWindowsFolderLeavesTheTextUnrootedAndAbsent) {
  machine.system.windowsDirectory = "";
  TUFileOp db = Open();
  EXPECT_EQ(db.ExpandPath("{w}{s32}", 4), "{w}\\system32");
  EXPECT_EQ(db.ExpandPath("{pf}\\Acme", 4), "\\Program Files\\Acme");
  EXPECT_EQ(db.ExpandPath("E:\\Acme", 4), "E:\\Acme");
  machine.files.PutDirectory("C:\\Program Files\\Acme");
  EXPECT_FALSE(db.ItemExists("\\Program Files\\Acme", 4));
  EXPECT_FALSE(db.ItemExists("{w}\\system32", 4));
}

TEST_F(Database, ProfileMarkerTakesTheFirstVisibleProfileAndKeepsTheRest) {
  const std::string profiles = "C:\\users\\root\\AppData\\Roaming\\Acme\\Profiles\\";
  machine.files.PutDirectory(profiles + "aaa.default");
  machine.files.PutDirectory(profiles + "bbb.default");
  machine.files.PutFile(profiles + "other.txt");
  ASSERT_EQ(machine.files.SetAttributes(profiles + "aaa.default",
                                        platform::kAttrDirectory | platform::kAttrHidden),
            platform::kSuccess);
  TUFileOp db = Open();
  EXPECT_EQ(db.ExpandProfileDir(profiles + "{x}\\cache"), profiles + "bbb.default\\cache");
  EXPECT_EQ(db.ExpandPath("C:\\users\\root\\AppData\\Roaming\\Acme\\Profiles\\{x}", 4),
            profiles + "bbb.default");
  EXPECT_EQ(db.ExpandPath("{x}\\a", 2), "HKEY_CURRENT_CONFIG\\a");  // registry: no search
}

TEST_F(Database, ProfileMarkerWithoutAMatchStaysSoTheItemIsAbsent) {
  machine.files.PutDirectory("C:\\P\\cache");
  TUFileOp db = Open();
  EXPECT_EQ(db.ExpandPath("C:\\P\\{x}\\cache", 4), "C:\\P\\{x}\\cache");
  EXPECT_FALSE(db.ItemExists("C:\\P\\{x}\\cache", 4));
  machine.files.PutFile("C:\\P\\z.default");  // an ordinary file qualifies too
  EXPECT_EQ(db.ExpandPath("C:\\P\\{x}\\cache", 4), "C:\\P\\z.default\\cache");
  ASSERT_EQ(machine.files.SetAttributes("C:\\P\\z.default", platform::kAttrSystem),
            platform::kSuccess);
  EXPECT_EQ(db.ExpandProfileDir("C:\\P\\{x}"), "C:\\P\\{x}");
}

// ---- Existence ----------------------------------------------------------------------------

struct Exists : Database {
  void SetUp() override {
    Put({}, {});
    machine.files.PutFile("C:\\data\\file.txt");
    machine.files.PutDirectory("C:\\data\\dir");
    auto key = machine.registry.CreateKey(platform::Hive::CurrentUser, "Software\\Acme");
    ASSERT_TRUE(key);
    ASSERT_EQ(key->SetStringValue("Path", "x"), platform::kSuccess);
    ASSERT_EQ(key->SetStringValue("", "default"), platform::kSuccess);
    auto root =
        machine.registry.OpenKey(platform::Hive::CurrentUser, "", platform::KeyAccess::AllAccess);
    ASSERT_TRUE(root);
    ASSERT_EQ(root->SetStringValue("RootValue", "x"), platform::kSuccess);
  }
  void SetWriteTime(const std::string& path, FileTime time) {
    auto file = machine.files.OpenFile(path, platform::FileAccess::Write, platform::kShareNone,
                                       platform::Disposition::OpenExisting);
    ASSERT_TRUE(file);
    auto times = file->GetTimes();
    ASSERT_TRUE(times);
    times->lastWrite = time;
    ASSERT_EQ(file->SetTimes(*times), platform::kSuccess);
  }
};

struct ExistsCase {
  const char* expanded;
  std::uint16_t kind;
  bool exists;
};

void PrintTo(const ExistsCase& c, std::ostream* os) {
  *os << Plain(c.expanded) << "_kind" << c.kind;
}

class ExistsTable : public Exists, public ::testing::WithParamInterface<ExistsCase> {};

TEST_P(ExistsTable, AnswersForEachKind) {
  TUFileOp db = Open();
  EXPECT_EQ(db.ItemExists(GetParam().expanded, GetParam().kind), GetParam().exists)
      << GetParam().expanded << " kind " << GetParam().kind;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ExistsTable,
    ::testing::Values(ExistsCase{"C:\\data\\file.txt", 1, true},
                      ExistsCase{"C:\\data\\dir", 1, false},  // a directory is no file
                      ExistsCase{"C:\\data\\dir", 4, true},
                      ExistsCase{"C:\\data\\file.txt", 4, false},  // a file is no directory
                      ExistsCase{"C:\\data\\missing", 1, false},
                      ExistsCase{"C:\\data\\*.txt", 1, true},  // wildcard: first match a file
                      ExistsCase{"C:\\data\\d*", 1, false},    // first match a directory
                      ExistsCase{"data\\file.txt", 1, false},  // relative paths never exist
                      ExistsCase{"HKEY_CURRENT_USER\\Software\\Acme", 2, true},
                      ExistsCase{"HKEY_CURRENT_USER\\Software\\Missing", 2, false},
                      ExistsCase{"hkey_current_user\\Software\\Acme", 2, false},  // case counts
                      ExistsCase{"HKEY_CURRENT_USER\\Software\\Acme\\Path", 3, true},
                      ExistsCase{"HKEY_CURRENT_USER\\Software\\Acme\\", 3, true},  // default
                      ExistsCase{"HKEY_CURRENT_USER\\Software\\Acme\\Nope", 3, false},
                      ExistsCase{"HKEY_CURRENT_USER\\Software\\Missing\\Path", 3, false},
                      ExistsCase{"HKEY_CURRENT_USER\\RootValue", 3, true},  // the hive's root
                      ExistsCase{"HKEY_CURRENT_USER", 3, false},            // no backslash
                      ExistsCase{"HKEY_CURRENT_USER", 2, false},
                      ExistsCase{"HKEY_CURRENT_USER\\Software\\Acme", 5, false},
                      ExistsCase{"", 1, false}));

TEST_F(Exists, UnknownHiveNamesSelectCurrentConfig) {
  ASSERT_TRUE(machine.registry.CreateKey(platform::Hive::CurrentConfig, "Software\\Cfg"));
  TUFileOp db = Open();
  EXPECT_TRUE(db.ItemExists("HKEY_CURRENT_CONFIG\\Software\\Cfg", 2));
  EXPECT_TRUE(db.ItemExists("HKCC\\Software\\Cfg", 2));
  EXPECT_FALSE(db.ItemExists("HKEY_CURRENT_USER\\Software\\Cfg", 2));
}

TEST_F(Exists, ValueTestNeedsAllAccessToTheKey) {
  machine.faults.Inject(fake::Op::OpenKey, "HKEY_CURRENT_USER\\Software\\Acme",
                        platform::kErrorAccessDenied);
  TUFileOp db = Open();
  EXPECT_FALSE(db.ItemExists("HKEY_CURRENT_USER\\Software\\Acme\\Path", 3));
}

TEST_F(Exists, FilesDatedOutsideDosDatesCountAsAbsent) {
  TUFileOp db = Open();
  const auto at = [](int year, int month, int day) {
    return *SystemTimeToFileTime(SystemTime{static_cast<std::uint16_t>(year),
                                            static_cast<std::uint16_t>(month), 0,
                                            static_cast<std::uint16_t>(day)});
  };
  SetWriteTime("C:\\data\\file.txt", at(1979, 12, 31));
  EXPECT_FALSE(db.ItemExists("C:\\data\\file.txt", 1));
  SetWriteTime("C:\\data\\file.txt", at(1980, 1, 2));
  EXPECT_TRUE(db.ItemExists("C:\\data\\file.txt", 1));
  SetWriteTime("C:\\data\\file.txt", at(2108, 1, 2));
  EXPECT_FALSE(db.ItemExists("C:\\data\\file.txt", 1));
  // 1980-01-01 00:30 UTC is still 1979 one hour west.
  SetWriteTime("C:\\data\\file.txt", FileTime{at(1980, 1, 1).ticks + 1800ULL * 10'000'000ULL});
  EXPECT_TRUE(db.ItemExists("C:\\data\\file.txt", 1));
  machine.clock.SetLocalOffsetMinutes(-60);
  EXPECT_FALSE(db.ItemExists("C:\\data\\file.txt", 1));
}

}  // namespace
}  // namespace sv::database
