// File dates and version texts on real files of the Wine prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/publicFun.h"
#include "platform/fake/fake_system.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "support/trees.h"

namespace sv {
namespace {

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return EncodeDateTime({y, mo, d, h, mi, s, 0, 0}).value();
}

FileTime Utc(std::uint16_t y, std::uint16_t mo, std::uint16_t d, std::uint16_t h) {
  return SystemTimeToFileTime({y, mo, 0, d, h, 0, 0, 0}).value();
}

class RealFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    folder_ = win32::Narrow(std::wstring(temp, length)) + "sv-publicfun-" + testing::UniqueStamp();
    ASSERT_EQ(machine_.Get().files.MakeDir(folder_), platform::kSuccess);
  }
  void TearDown() override { testing::RemoveFileTree(machine_.Get().files, folder_); }

  // The real machine, with message boxes recorded instead of shown.
  platform::Platform Platform() {
    auto real = machine_.Get();
    return {real.registry, real.files, real.system, messages_, real.services, real.processes};
  }

  std::string MakeFile(const std::string& name, const platform::FileTimes& times) {
    const std::string path = folder_ + "\\" + name;
    auto file =
        machine_.Get().files.OpenFile(path, platform::FileAccess::Write, platform::kShareNone,
                                      platform::Disposition::CreateAlways);
    EXPECT_TRUE(file);
    if (file) {
      EXPECT_EQ(file->SetTimes(times), platform::kSuccess);
    }
    return path;
  }

  static DateTime Today() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return At(now.wYear, now.wMonth, now.wDay);
  }

  win32::Win32Platform machine_;
  fake::RecordingMessages messages_;
  std::string folder_;
};

TEST_F(RealFiles, FileDateSelectorsReadEachTimeInUtc) {
  const std::string path =
      MakeFile("dated.txt", {Utc(2001, 1, 2, 3), Utc(2003, 4, 5, 6), Utc(2008, 7, 7, 12)});
  // Wine cannot set a creation time; the selector must give whatever the system keeps.
  const auto times = machine_.Get()
                         .files
                         .OpenFile(path, platform::FileAccess::Read, platform::kShareRead,
                                   platform::Disposition::OpenExisting)
                         ->GetTimes();
  ASSERT_TRUE(times);
  EXPECT_EQ(GetFileDate(Platform(), path, kFileDateCreation),
            SystemTimeToDateTime(*FileTimeToSystemTime(times->creation)));
  EXPECT_EQ(GetFileDate(Platform(), path, kFileDateLastAccess), At(2003, 4, 5, 6));
  // Noon UTC stays noon whatever the local time zone (this test also runs far from UTC).
  EXPECT_EQ(GetFileDate(Platform(), path, kFileDateLastWrite), At(2008, 7, 7, 12));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(RealFiles, FileDateOfAnotherSelectorIsTodayWithoutAMessage) {
  const std::string path =
      MakeFile("any.txt", {Utc(2001, 1, 2, 3), Utc(2001, 1, 2, 3), Utc(2001, 1, 2, 3)});
  const DateTime before = Today();
  const DateTime result = GetFileDate(Platform(), path, 4);
  EXPECT_TRUE(result == before || result == Today()) << result;
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(RealFiles, FileDateOfAMissingFileSaysSoOnceAndIsToday) {
  const DateTime before = Today();
  const DateTime result = GetFileDate(Platform(), folder_ + "\\missing.exe", kFileDateLastWrite);
  EXPECT_TRUE(result == before || result == Today()) << result;
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "Can not open file!");
  EXPECT_EQ(messages_.shown[0].caption, "Error");
}

TEST_F(RealFiles, TimeZoneShiftsOnlyTheLocalConversion) {
  const FileTime noon = Utc(2008, 1, 15, 12);
  FILETIME in{static_cast<DWORD>(noon.ticks & 0xFFFFFFFFu), static_cast<DWORD>(noon.ticks >> 32)};
  FILETIME local;
  ASSERT_TRUE(::FileTimeToLocalFileTime(&in, &local));
  const FileTime localTicks{(static_cast<std::uint64_t>(local.dwHighDateTime) << 32) |
                            local.dwLowDateTime};
  const DateTime expectedLocal = SystemTimeToDateTime(*FileTimeToSystemTime(localTicks)).value();
  EXPECT_EQ(FileTimeToDate(machine_.Get().system, noon, 1), expectedLocal);
  EXPECT_EQ(FileTimeToDate(machine_.Get().system, noon, 0), At(2008, 1, 15, 12));
  const char* zone = std::getenv("TZ");
  if (zone != nullptr && std::string(zone) == "Asia/Kolkata") {
    // Proves the run far from UTC really was: +05:30.
    EXPECT_EQ(expectedLocal, At(2008, 1, 15, 17, 30));
  }
}

TEST_F(RealFiles, VersionTextOfRealExecutables) {
  auto real = machine_.Get();
  const std::string self = real.system.ExecutablePath();
  EXPECT_EQ(GetFileVersion(real.files, self), "1.7.5.199");
  const std::string folder = self.substr(0, self.rfind('\\'));
  EXPECT_EQ(GetFileVersion(real.files, folder + "\\sv_fixture_versioned.exe"), "1.7.5.199");
  EXPECT_EQ(GetFileVersion(real.files, folder + "\\sv_fixture_no_translation.exe"), "");
  const std::string plain =
      MakeFile("plain.txt", {Utc(2001, 1, 2, 3), Utc(2001, 1, 2, 3), Utc(2001, 1, 2, 3)});
  EXPECT_EQ(GetFileVersion(real.files, plain), "");
  EXPECT_EQ(GetFileVersion(real.files, folder_ + "\\missing.exe"), "");
}

}  // namespace
}  // namespace sv
