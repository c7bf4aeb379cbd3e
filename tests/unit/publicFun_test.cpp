#include "common/publicFun.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_machine.h"
#include "platform/fake/version_resource.h"

namespace sv {
namespace {

using fake::FakeMachine;

constexpr std::uint64_t kTicksPerMinute = 60 * kFileTimeTicksPerSecond;

FileTime Utc(int y, int mo, int d, int h, int mi = 0, int s = 0) {
  return SystemTimeToFileTime({static_cast<std::uint16_t>(y), static_cast<std::uint16_t>(mo), 0,
                               static_cast<std::uint16_t>(d), static_cast<std::uint16_t>(h),
                               static_cast<std::uint16_t>(mi), static_cast<std::uint16_t>(s), 0})
      .value();
}

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return EncodeDateTime({y, mo, d, h, mi, s, 0, 0}).value();
}

class GetFileDateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.clock.SetUtcNow(Utc(2024, 3, 15, 22, 30));
    machine_.files.PutFile(kPath, "exe");
    auto file = machine_.files.OpenFile(kPath, platform::FileAccess::Write, platform::kShareRead,
                                        platform::Disposition::OpenExisting);
    ASSERT_EQ(
        file->SetTimes({Utc(2001, 1, 2, 3, 4, 5), Utc(2003, 4, 5, 6, 7, 8), Utc(2008, 7, 7, 12)}),
        platform::kSuccess);
  }

  static constexpr const char* kPath = "C:\\Program Files\\Sorvane\\Sorvane.exe";
  FakeMachine machine_;
};

TEST_F(GetFileDateTest, SelectorsPickCreationLastWriteAndLastAccessInUtc) {
  EXPECT_EQ(GetFileDate(machine_.Get(), kPath, kFileDateCreation), At(2001, 1, 2, 3, 4, 5));
  EXPECT_EQ(GetFileDate(machine_.Get(), kPath, kFileDateLastWrite), At(2008, 7, 7, 12));
  EXPECT_EQ(GetFileDate(machine_.Get(), kPath, kFileDateLastAccess), At(2003, 4, 5, 6, 7, 8));
  EXPECT_TRUE(machine_.messages.shown.empty());
}

TEST_F(GetFileDateTest, TwelveUtcStaysTwelveInEveryTimeZone) {
  for (int offset : {-8 * 60, 0, 5 * 60 + 30, 14 * 60}) {
    machine_.clock.SetLocalOffsetMinutes(offset);
    EXPECT_EQ(GetFileDate(machine_.Get(), kPath, kFileDateLastWrite), At(2008, 7, 7, 12)) << offset;
  }
}

TEST_F(GetFileDateTest, OtherSelectorsGiveTodaysLocalDateWithoutAMessage) {
  // 22:30 UTC is already the next day at UTC+05:30.
  machine_.clock.SetLocalOffsetMinutes(5 * 60 + 30);
  for (int selector : {0, 4, -1}) {
    EXPECT_EQ(GetFileDate(machine_.Get(), kPath, selector), At(2024, 3, 16)) << selector;
  }
  EXPECT_TRUE(machine_.messages.shown.empty());
}

TEST_F(GetFileDateTest, FileThatCannotBeOpenedSaysSoOnceAndGivesToday) {
  EXPECT_EQ(GetFileDate(machine_.Get(), "C:\\missing.exe", kFileDateLastWrite), At(2024, 3, 15));
  ASSERT_EQ(machine_.messages.shown.size(), 1u);
  EXPECT_EQ(machine_.messages.shown[0].text, "Can not open file!");
  EXPECT_EQ(machine_.messages.shown[0].caption, "Error");
  EXPECT_EQ(machine_.messages.shown[0].style, platform::kMbOk);
}

TEST_F(GetFileDateTest, FileLockedAgainstReadersCountsAsUnopenable) {
  auto locked = machine_.files.OpenFile(kPath, platform::FileAccess::ReadWrite,
                                        platform::kShareNone, platform::Disposition::OpenExisting);
  ASSERT_TRUE(locked);
  EXPECT_EQ(GetFileDate(machine_.Get(), kPath, kFileDateLastWrite), At(2024, 3, 15));
  EXPECT_EQ(machine_.messages.shown.size(), 1u);
}

TEST(FileTimeToDate, LocalFlagOneMovesIntoTheLocalZoneAndAnythingElseKeepsUtc) {
  FakeMachine machine;
  machine.clock.SetLocalOffsetMinutes(-90);
  const FileTime noon = Utc(2008, 7, 7, 12);
  EXPECT_EQ(FileTimeToDate(machine.system, noon, 1), At(2008, 7, 7, 10, 30));
  EXPECT_EQ(FileTimeToDate(machine.system, noon, 0), At(2008, 7, 7, 12));
  EXPECT_EQ(FileTimeToDate(machine.system, noon, 2), At(2008, 7, 7, 12));
  EXPECT_EQ(FileTimeToDate(machine.system, {noon.ticks + 30 * kTicksPerMinute}, 0),
            At(2008, 7, 7, 12, 30));
  EXPECT_EQ(FileTimeToDate(machine.system, {0x8000000000000000ULL}, 0), 0.0);
}

class GetFileVersionTest : public ::testing::Test {
 protected:
  void Put(const char* path, const fake::VersionResourceContent& content) {
    machine_.files.PutFile(path, "MZ");
    machine_.files.PutVersionResource(path, fake::BuildVersionResource(content));
  }
  FakeMachine machine_;
};

TEST_F(GetFileVersionTest, ReadsFileVersionFromTheFirstTranslationsTable) {
  fake::VersionResourceContent content;
  content.stringTables = {{"040704E4", {{"FileVersion", "9.9"}}},
                          {"040904B0", {{"FileVersion", "1.7.5.199"}}}};
  content.translations = std::vector<std::uint32_t>{0x04B00409, 0x04E40407};
  Put("C:\\a.exe", content);
  EXPECT_EQ(GetFileVersion(machine_.files, "C:\\a.exe"), "1.7.5.199");
}

TEST_F(GetFileVersionTest, EmptyWithoutResourceTranslationOrText) {
  machine_.files.PutFile("C:\\plain.exe", "MZ");
  fake::VersionResourceContent noTranslation;
  noTranslation.stringTables = {{"040904B0", {{"FileVersion", "1.0"}}}};
  Put("C:\\notranslation.exe", noTranslation);
  fake::VersionResourceContent noText;
  noText.stringTables = {{"040904B0", {{"ProductName", "x"}}}};
  noText.translations = std::vector<std::uint32_t>{0x04B00409};
  Put("C:\\notext.exe", noText);
  fake::VersionResourceContent otherTable;
  otherTable.stringTables = {{"041104B0", {{"FileVersion", "1.0"}}}};
  otherTable.translations = std::vector<std::uint32_t>{0x04B00409};
  Put("C:\\othertable.exe", otherTable);
  for (const char* path : {"C:\\plain.exe", "C:\\notranslation.exe", "C:\\notext.exe",
                           "C:\\othertable.exe", "C:\\missing.exe"}) {
    EXPECT_EQ(GetFileVersion(machine_.files, path), "") << path;
  }
}

TEST_F(GetFileVersionTest, KeyIsLanguageThenCodePageInUpperCaseHex) {
  fake::VersionResourceContent content;
  content.stringTables = {{"0C0A04E4", {{"FileVersion", "3.2.1"}}}};
  content.translations = std::vector<std::uint32_t>{0x04E40C0A};
  Put("C:\\es.exe", content);
  EXPECT_EQ(GetFileVersion(machine_.files, "C:\\es.exe"), "3.2.1");
}

}  // namespace
}  // namespace sv
