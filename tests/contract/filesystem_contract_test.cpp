#include <string>
#include <vector>

#include "common/text.h"
#include "contract/contract_environment.h"

namespace sv::testing {
namespace {

using platform::Disposition;
using platform::FileAccess;
using platform::WinError;

class FileSystemContract : public PlatformContract {
 protected:
  std::string Path(const std::string& below) { return env_->ScratchFolder() + "\\" + below; }

  void Put(const std::string& below, std::string_view content = "data") {
    ASSERT_EQ(platform::WriteWholeFile(Files(), Path(below), content), platform::kSuccess) << below;
  }
  void Dir(const std::string& below) {
    ASSERT_EQ(Files().MakeDir(Path(below)), platform::kSuccess) << below;
  }

  std::vector<std::string> Names(const std::string& pattern) {
    std::vector<std::string> names;
    if (auto search = Files().FindFirst(pattern)) {
      do {
        names.push_back(search->Current().name);
      } while (search->Next());
    }
    return names;
  }

  std::optional<platform::FindData> Find(const std::string& path) {
    auto search = Files().FindFirst(path);
    if (!search) return std::nullopt;
    return search->Current();
  }

  void SetLastWrite(const std::string& below, const SystemTime& when) {
    auto file = Files().OpenFile(Path(below), FileAccess::ReadWrite, platform::kShareRead,
                                 Disposition::OpenExisting);
    ASSERT_TRUE(file);
    auto times = file->GetTimes();
    ASSERT_TRUE(times);
    times->lastWrite = SystemTimeToFileTime(when).value();
    ASSERT_EQ(file->SetTimes(*times), platform::kSuccess);
  }
};

TEST_F(FileSystemContract, MissingEntriesHaveNoAttributes) {
  platform::WinError error = platform::kSuccess;
  EXPECT_EQ(Files().GetAttributes(Path("missing"), &error), platform::kInvalidAttributes);
  EXPECT_EQ(error, platform::kErrorFileNotFound);
  EXPECT_EQ(Files().GetAttributes(Path("missing\\deeper"), &error), platform::kInvalidAttributes);
  EXPECT_EQ(error, platform::kErrorPathNotFound);
}

TEST_F(FileSystemContract, FilesAndDirectoriesAreToldApart) {
  Put("file.txt");
  Dir("folder");
  EXPECT_EQ(Files().GetAttributes(Path("file.txt")) & platform::kAttrDirectory, 0u);
  EXPECT_NE(Files().GetAttributes(Path("folder")) & platform::kAttrDirectory, 0u);
  EXPECT_FALSE(Find(Path("file.txt"))->IsDirectory());
  EXPECT_TRUE(Find(Path("folder"))->IsDirectory());
}

TEST_F(FileSystemContract, ListingGivesDotEntriesFirstThenNamesFoldedToUpperCase) {
  for (const char* name : {"_x", "a", "Z", "b.txt"})
    Put(name);
  Dir("Dir");
  // '_' sorts after the letters when names fold to upper case.
  const std::vector<std::string> expected = {".", "..", "a", "b.txt", "Dir", "Z", "_x"};
  EXPECT_EQ(Names(Path("*")), expected);
  EXPECT_EQ(Names(Path("*.*")), expected);
}

TEST_F(FileSystemContract, WildcardsMatchInTheLastSegment) {
  for (const char* name : {"b.txt", "a", "x.default", "y.default", "z.other", "long.name.txt"}) {
    Put(name);
  }
  struct Case {
    const char* pattern;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"*.default", {"x.default", "y.default"}},
      {"*.txt", {"b.txt", "long.name.txt"}},
      {"b.*", {"b.txt"}},
      {"a.*", {"a"}},  // ".*" also matches a name without extension
      {"?.default", {"x.default", "y.default"}},
      {"*.DEFAULT", {"x.default", "y.default"}},
      {"long*", {"long.name.txt"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Names(Path(c.pattern)), c.names) << c.pattern;
}

TEST_F(FileSystemContract, SearchWithoutWildcardsFindsTheEntryItself) {
  Put("Single.txt");
  Dir("Sub");
  EXPECT_EQ(Names(Path("single.TXT")), std::vector<std::string>{"Single.txt"});
  EXPECT_EQ(Names(Path("sub")), std::vector<std::string>{"Sub"});
  EXPECT_TRUE(Names(Path("Sub\\")).empty());  // a trailing backslash names nothing to find
}

TEST_F(FileSystemContract, FailedSearchesTellMissingFolderFromNoMatch) {
  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(Files().FindFirst(Path("*.none"), &error));
  EXPECT_EQ(error, platform::kErrorFileNotFound);
  EXPECT_FALSE(Files().FindFirst(Path("nowhere\\*"), &error));
  EXPECT_EQ(error, platform::kErrorPathNotFound);
}

TEST_F(FileSystemContract, HiddenAndSystemAttributesAreKeptAndFound) {
  Put("secret.dat");
  Dir("hiddendir");
  const platform::FileAttributes both = platform::kAttrHidden | platform::kAttrSystem;
  ASSERT_EQ(Files().SetAttributes(Path("secret.dat"), both), platform::kSuccess);
  ASSERT_EQ(Files().SetAttributes(Path("hiddendir"), platform::kAttrHidden), platform::kSuccess);
  EXPECT_EQ(Files().GetAttributes(Path("secret.dat")) & both, both);
  EXPECT_EQ(Files().GetAttributes(Path("hiddendir")) & (both | platform::kAttrDirectory),
            platform::kAttrHidden | platform::kAttrDirectory);
  const auto found = Find(Path("secret*"));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->attributes & both, both);
  ASSERT_EQ(Files().SetAttributes(Path("secret.dat"), platform::kAttrNormal), platform::kSuccess);
  EXPECT_EQ(Files().GetAttributes(Path("secret.dat")) & both, 0u);
}

TEST_F(FileSystemContract, OnlyEmptyDirectoriesCanBeRemoved) {
  Dir("full");
  Put("full\\inside");
  EXPECT_EQ(Files().RemoveDir(Path("full")), platform::kErrorDirNotEmpty);
  EXPECT_EQ(Files().RemoveFile(Path("full")), platform::kErrorAccessDenied);
  EXPECT_EQ(Files().RemoveDir(Path("full\\inside")), platform::kErrorDirectory);
  EXPECT_EQ(Files().RemoveFile(Path("full\\inside")), platform::kSuccess);
  EXPECT_EQ(Files().RemoveDir(Path("full")), platform::kSuccess);
  EXPECT_EQ(Files().GetAttributes(Path("full")), platform::kInvalidAttributes);
  EXPECT_EQ(Files().RemoveDir(Path("full")), platform::kErrorFileNotFound);
  EXPECT_EQ(Files().RemoveFile(Path("full")), platform::kErrorFileNotFound);
}

TEST_F(FileSystemContract, ReadOnlyFileIsNotDeletedUntilTheAttributeIsCleared) {
  Put("locked.txt");
  ASSERT_EQ(Files().SetAttributes(Path("locked.txt"), platform::kAttrReadOnly), platform::kSuccess);
  EXPECT_EQ(Files().RemoveFile(Path("locked.txt")), platform::kErrorAccessDenied);
  ASSERT_EQ(Files().SetAttributes(Path("locked.txt"), platform::kAttrNormal), platform::kSuccess);
  EXPECT_EQ(Files().RemoveFile(Path("locked.txt")), platform::kSuccess);
}

TEST_F(FileSystemContract, FileInUseCannotBeDeletedOrWritten) {
  Put("busy.txt");
  {
    auto reader = Files().OpenFile(Path("busy.txt"), FileAccess::Read, platform::kShareRead,
                                   Disposition::OpenExisting);
    ASSERT_TRUE(reader);
    EXPECT_EQ(Files().RemoveFile(Path("busy.txt")), platform::kErrorSharingViolation);
    platform::WinError error = platform::kSuccess;
    EXPECT_FALSE(Files().OpenFile(Path("busy.txt"), FileAccess::Write, platform::kShareRead,
                                  Disposition::OpenExisting, &error));
    EXPECT_EQ(error, platform::kErrorSharingViolation);
    // Reading alongside is allowed: both sides share reading.
    EXPECT_TRUE(platform::ReadWholeFile(Files(), Path("busy.txt")));
  }
  EXPECT_EQ(Files().RemoveFile(Path("busy.txt")), platform::kSuccess);
}

TEST_F(FileSystemContract, WholeFilesRoundTripByteForByte) {
  std::string content;
  for (int i = 0; i < 200'000; ++i)
    content += static_cast<char>(i * 7 % 256);
  Put("blob.bin", content);
  EXPECT_EQ(platform::ReadWholeFile(Files(), Path("blob.bin")), content);
  EXPECT_EQ(Find(Path("blob.bin"))->size, content.size());
  Put("blob.bin", "short");  // replacing truncates
  EXPECT_EQ(platform::ReadWholeFile(Files(), Path("blob.bin")), "short");
  Put("empty.bin", "");
  EXPECT_EQ(platform::ReadWholeFile(Files(), Path("empty.bin")), "");
}

TEST_F(FileSystemContract, OpeningFollowsItsDisposition) {
  Put("exists.txt");
  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(Files().OpenFile(Path("exists.txt"), FileAccess::Write, platform::kShareNone,
                                Disposition::CreateNew, &error));
  EXPECT_EQ(error, platform::kErrorFileExists);
  EXPECT_FALSE(Files().OpenFile(Path("absent.txt"), FileAccess::Read, platform::kShareRead,
                                Disposition::OpenExisting, &error));
  EXPECT_EQ(error, platform::kErrorFileNotFound);
  EXPECT_FALSE(Files().OpenFile(Path("nodir\\new.txt"), FileAccess::Write, platform::kShareNone,
                                Disposition::CreateAlways, &error));
  EXPECT_EQ(error, platform::kErrorPathNotFound);
  EXPECT_FALSE(platform::ReadWholeFile(Files(), Path("absent.txt")));
  Dir("adir");
  EXPECT_FALSE(Files().OpenFile(Path("adir"), FileAccess::Read, platform::kShareRead,
                                Disposition::OpenExisting, &error));
  EXPECT_EQ(error, platform::kErrorAccessDenied);
  auto created = Files().OpenFile(Path("fresh.txt"), FileAccess::Write, platform::kShareNone,
                                  Disposition::OpenAlways, &error);
  EXPECT_TRUE(created);
}

TEST_F(FileSystemContract, MakingDirectories) {
  EXPECT_EQ(Files().MakeDir(Path("made")), platform::kSuccess);
  EXPECT_EQ(Files().MakeDir(Path("made")), platform::kErrorAlreadyExists);
  EXPECT_EQ(Files().MakeDir(Path("no\\parent")), platform::kErrorPathNotFound);
}

TEST_F(FileSystemContract, FileTimesAreSetAndReadBack) {
  Put("timed.txt");
  auto file = Files().OpenFile(Path("timed.txt"), FileAccess::ReadWrite, platform::kShareRead,
                               Disposition::OpenExisting);
  ASSERT_TRUE(file);
  const platform::FileTimes times = {
      SystemTimeToFileTime({2001, 2, 0, 3, 4, 5, 6, 0}).value(),
      SystemTimeToFileTime({2010, 11, 0, 12, 13, 14, 15, 0}).value(),
      SystemTimeToFileTime({2020, 6, 0, 30, 12, 0, 0, 0}).value(),
  };
  ASSERT_EQ(file->SetTimes(times), platform::kSuccess);
  const auto read = file->GetTimes();
  ASSERT_TRUE(read);
  // The creation time is not compared: Wine's file systems cannot set it.
  EXPECT_EQ(read->lastAccess, times.lastAccess);
  EXPECT_EQ(read->lastWrite, times.lastWrite);
  file.reset();
  EXPECT_EQ(Find(Path("timed.txt"))->times.lastWrite, times.lastWrite);
}

TEST_F(FileSystemContract, FileDatedBefore1980HasNoDosDate) {
  Put("old.txt");
  Put("new.txt");
  SetLastWrite("old.txt", {1975, 6, 0, 15, 12, 0, 0, 0});
  SetLastWrite("new.txt", {1980, 1, 0, 2, 12, 0, 0, 0});
  const auto old = Find(Path("old.txt"));
  ASSERT_TRUE(old);
  EXPECT_EQ(FileTimeToSystemTime(old->times.lastWrite)->year, 1975);
  const auto oldLocal = System().FileTimeToLocal(old->times.lastWrite);
  ASSERT_TRUE(oldLocal);
  EXPECT_FALSE(FileTimeToDosDateTime(*oldLocal));
  const auto newLocal = System().FileTimeToLocal(Find(Path("new.txt"))->times.lastWrite);
  ASSERT_TRUE(newLocal);
  EXPECT_TRUE(FileTimeToDosDateTime(*newLocal));
}

TEST_F(FileSystemContract, PathsAreNormalisedLikeWindowsDoes) {
  Dir("norm");
  Put("norm\\file.txt", "x");
  const std::string same[] = {
      Path("norm\\file.txt."),          // trailing dot of the last name
      Path("norm\\file.txt "),          // trailing blank of the last name
      Path("norm.\\file.txt"),          // trailing dot of a folder name
      Path("norm\\.\\file.txt"),        // "." segment
      Path("norm\\sub\\..\\file.txt"),  // ".." climbs even over a missing folder
      Path("NORM\\FILE.TXT"),           // letter case
  };
  for (const auto& path : same) {
    EXPECT_EQ(Files().GetAttributes(path) & platform::kAttrDirectory, 0u) << path;
    EXPECT_NE(Files().GetAttributes(path), platform::kInvalidAttributes) << path;
  }
  std::string slashes = Path("norm/file.txt");
  EXPECT_NE(Files().GetAttributes(slashes), platform::kInvalidAttributes);
  EXPECT_EQ(Files().GetAttributes(Path("norm\\file.txt\\")), platform::kInvalidAttributes);
  EXPECT_NE(Files().GetAttributes(Path("norm\\")), platform::kInvalidAttributes);
}

TEST_F(FileSystemContract, NamesInAnyScriptAreKept) {
  const std::string name = "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.txt";
  Put(name, "x");
  EXPECT_EQ(Names(Path("Caf*")), std::vector<std::string>{name});
  EXPECT_EQ(platform::ReadWholeFile(Files(), Path(name)), "x");
}

TEST_F(FileSystemContract, VersionResourcesAreReadAndQueried) {
  env_->PutVersionedFile(Path("versioned.exe"), VersionFixture::WithTranslation);
  env_->PutVersionedFile(Path("bare.exe"), VersionFixture::WithoutTranslation);
  Put("plain.txt", "no resource here");

  const auto block = Files().ReadVersionResource(Path("versioned.exe"));
  ASSERT_TRUE(block);
  EXPECT_EQ(Files().QueryVersionTranslations(*block), std::vector<std::uint32_t>{0x04B00409});
  EXPECT_EQ(Files().QueryVersionString(*block, "\\StringFileInfo\\040904B0\\FileVersion"),
            "1.7.5.199");
  EXPECT_EQ(Files().QueryVersionString(*block, "\\StringFileInfo\\040904b0\\fileversion"),
            "1.7.5.199");
  EXPECT_EQ(Files().QueryVersionString(*block, "\\StringFileInfo\\040904B0\\CompanyName"),
            "Sorvane");
  EXPECT_FALSE(Files().QueryVersionString(*block, "\\StringFileInfo\\040704B0\\FileVersion"));

  const auto bare = Files().ReadVersionResource(Path("bare.exe"));
  ASSERT_TRUE(bare);
  EXPECT_TRUE(Files().QueryVersionTranslations(*bare).empty());
  EXPECT_EQ(Files().QueryVersionString(*bare, "\\StringFileInfo\\040904B0\\FileVersion"),
            "2.0.0.1");
  EXPECT_FALSE(Files().QueryVersionString(*bare, "\\StringFileInfo\\\\FileVersion"));

  EXPECT_FALSE(Files().ReadVersionResource(Path("plain.txt")));
  EXPECT_FALSE(Files().ReadVersionResource(Path("missing.exe")));
}

// What ResolvePath gives is what GetFullPathName and then GetLongPathName make of a path:
// Wine's answers, which the fake follows.
TEST_F(FileSystemContract, ResolvedPathsAreFullAndSpelledAsStoredWhereTheyExist) {
  Dir("Head");
  Dir("Head\\Long Folder Name");
  Put("Head\\File.TXT");
  struct Case {
    const char* given;     // below the scratch folder
    const char* resolved;  // below the scratch folder
  } const cases[] = {
      {"head\\file.txt", "Head\\File.TXT"},
      {"HEAD/./gone/../FILE.TXT", "Head\\File.TXT"},
      // Trailing dots of a folder, dots and blanks of the last part.
      {"head.\\file.txt. ", "Head\\File.TXT"},
      {"head\\ ", "Head\\"},
      {"head\\", "Head\\"},
      // A missing tail keeps its spelling; the head that exists takes the stored one.
      {"head\\missing\\Deeper", "Head\\missing\\Deeper"},
      {"head\\missing\\tail.\\", "Head\\missing\\tail\\"},
      {"head\\file.txt\\inner", "Head\\File.TXT\\inner"},
      // GetLongPathName looks up only names that could be 8.3 names: a longer one keeps the
      // spelling it was given, existing or not.
      {"head\\LONG FOLDER NAME\\x", "Head\\LONG FOLDER NAME\\x"},
  };
  for (const Case& c : cases) {
    WinError error = platform::kErrorInvalidHandle;
    EXPECT_EQ(Files().ResolvePath(Path(c.given), &error), Path(c.resolved)) << c.given;
    EXPECT_EQ(error, platform::kSuccess) << c.given;
  }
  // The device prefix names the same place.
  EXPECT_EQ(Files().ResolvePath("\\\\?\\" + Path("head\\file.txt")), Path("Head\\File.TXT"));
}

TEST_F(FileSystemContract, ResolvingKeepsTheDriveAsGivenAndNeverClimbsAboveIt) {
  const std::string drive = env_->ScratchFolder().substr(0, 1);
  const std::string lower = LowerAscii(drive);
  EXPECT_EQ(Files().ResolvePath(drive + ":\\"), drive + ":\\");
  EXPECT_EQ(Files().ResolvePath(lower + ":\\..\\.."), lower + ":\\");
  EXPECT_EQ(Files().ResolvePath(lower + ":/"), lower + ":\\");
}

TEST_F(FileSystemContract, ResolvingRefusesRelativePathsAndNuls) {
  using namespace std::string_literals;
  const struct {
    std::string given;
    WinError error;
  } cases[] = {
      {"relative\\path", platform::kErrorBadPathName},
      {"C:", platform::kErrorBadPathName},
      {"C:relative", platform::kErrorBadPathName},
      {"\\rooted", platform::kErrorBadPathName},
      {"", platform::kErrorBadPathName},
      {Path("x") + "\0\\y"s, platform::kErrorInvalidName},
  };
  for (const auto& c : cases) {
    WinError error = platform::kSuccess;
    EXPECT_FALSE(Files().ResolvePath(c.given, &error)) << c.given;
    EXPECT_EQ(error, c.error) << c.given;
  }
}

// Only the Windows backend has 8.3 names; the fake has none to expand.
TEST_F(FileSystemContract, ShortNamesAreExpanded) {
  Dir("Long Folder Name");
  Put("Long Folder Name\\Some File.txt");
  const auto shortPath = env_->ShortPath(Path("Long Folder Name\\Some File.txt"));
  if (!shortPath) GTEST_SKIP() << env_->Backend() << " has no 8.3 names";
  ASSERT_NE(*shortPath, Path("Long Folder Name\\Some File.txt"));
  EXPECT_EQ(Files().ResolvePath(*shortPath), Path("Long Folder Name\\Some File.txt"));
  const std::string shortFolder = shortPath->substr(0, shortPath->rfind('\\'));
  EXPECT_EQ(Files().ResolvePath(shortFolder + "\\missing\\x"),
            Path("Long Folder Name\\missing\\x"));
}

// A path with a NUL inside would reach Windows cut short, naming a parent of the one meant: it
// is refused, and the shorter path stays untouched.
TEST_F(FileSystemContract, PathsHoldingANulAreRefusedNotCutShort) {
  using namespace std::string_literals;
  Dir("keep");
  Put("keep\\file.txt");
  Put("plain.txt");
  const std::string folder = Path("keep");

  platform::WinError error = platform::kSuccess;
  EXPECT_EQ(Files().GetAttributes(folder + "\0\\file.txt"s, &error), platform::kInvalidAttributes);
  EXPECT_EQ(error, platform::kErrorInvalidName);
  EXPECT_FALSE(Files().FindFirst(folder + "\0\\*"s, &error));
  EXPECT_EQ(error, platform::kErrorInvalidName);
  EXPECT_EQ(Files().RemoveFile(Path("plain.txt") + "\0.bak"s), platform::kErrorInvalidName);
  EXPECT_EQ(Files().RemoveDir(folder + "\0\\sub"s), platform::kErrorInvalidName);
  EXPECT_EQ(Files().SetAttributes(Path("plain.txt") + "\0x"s, platform::kAttrHidden),
            platform::kErrorInvalidName);
  EXPECT_FALSE(Files().OpenFile(Path("plain.txt") + "\0x"s, platform::FileAccess::Write,
                                platform::kShareRead, platform::Disposition::CreateAlways, &error));
  EXPECT_EQ(error, platform::kErrorInvalidName);

  EXPECT_NE(Files().GetAttributes(Path("plain.txt")), platform::kInvalidAttributes);
  EXPECT_EQ(Files().GetAttributes(Path("plain.txt")) & platform::kAttrHidden, 0u);
  EXPECT_NE(Files().GetAttributes(Path("keep\\file.txt")), platform::kInvalidAttributes);
}

// Identify names what a path reaches as the system does: the stored spelling, no "." or "..",
// no trailing backslash, and the attributes seen through the handle.
TEST_F(FileSystemContract, IdentifyGivesFilesAndFoldersTheirOwnPath) {
  Dir("Folder");
  Put("Folder\\Inner.dat");
  Put("Plain.TXT");
  const struct {
    const char* asked;
    const char* identified;  // below the scratch folder
    bool directory;
  } cases[] = {
      {"plain.txt", "Plain.TXT", false},
      {"FOLDER", "Folder", true},
      {"folder\\", "Folder", true},
      {"folder\\.\\gone\\..\\INNER.DAT", "Folder\\Inner.dat", false},
  };
  for (const auto& c : cases) {
    WinError error = platform::kErrorInvalidHandle;
    const auto identity = Files().Identify(Path(c.asked), &error);
    ASSERT_TRUE(identity) << c.asked << ": " << error;
    EXPECT_EQ(error, platform::kSuccess);
    // The drive letter and the folders above the scratch folder may come in another case.
    EXPECT_TRUE(SameTextAscii(identity->finalPath, Path(c.identified)))
        << c.asked << ": " << identity->finalPath;
    const std::string leaf =
        std::string(c.identified).substr(std::string(c.identified).rfind('\\') + 1);
    EXPECT_TRUE(identity->finalPath.ends_with("\\" + leaf)) << identity->finalPath;
    EXPECT_EQ(identity->attributes, Files().GetAttributes(Path(c.asked))) << c.asked;
    EXPECT_EQ((identity->attributes & platform::kAttrDirectory) != 0, c.directory) << c.asked;
  }
}

TEST_F(FileSystemContract, IdentifyFailsWhereGetAttributesFails) {
  using namespace std::string_literals;
  Put("plain.txt");
  const struct {
    std::string path;
    WinError error;
  } cases[] = {
      {Path("missing"), platform::kErrorFileNotFound},
      {Path("missing\\deeper"), platform::kErrorPathNotFound},
      {Path("plain.txt\\inner"), platform::kErrorPathNotFound},
      {Path("plain.txt") + "\0.bak"s, platform::kErrorInvalidName},
  };
  for (const auto& c : cases) {
    WinError identifyError = platform::kSuccess;
    WinError attributesError = platform::kSuccess;
    EXPECT_FALSE(Files().Identify(c.path, &identifyError)) << c.path;
    EXPECT_EQ(Files().GetAttributes(c.path, &attributesError), platform::kInvalidAttributes);
    EXPECT_EQ(identifyError, c.error) << c.path;
    EXPECT_EQ(attributesError, c.error) << c.path;
  }
  // A file named as a folder: not there for the attribute query, a bad name for the opening.
  WinError error = platform::kSuccess;
  EXPECT_EQ(Files().GetAttributes(Path("plain.txt\\"), &error), platform::kInvalidAttributes);
  EXPECT_EQ(error, platform::kErrorPathNotFound);
  EXPECT_FALSE(Files().Identify(Path("plain.txt\\"), &error));
  EXPECT_EQ(error, platform::kErrorInvalidName);
}

TEST_F(FileSystemContract, ScratchFilesAreNotProtectedBySystem) {
  Put("own.dll");
  EXPECT_FALSE(Files().IsSystemProtectedFile(Path("own.dll")));
  EXPECT_FALSE(Files().IsSystemProtectedFile(Path("missing.dll")));
}

// Links as Wine shows a Unix symbolic link (the fake's Wine mode must agree): a folder link is
// a folder and a reparse point, a file link is a plain file, and everything else about them
// is their target's.
class LinkContract : public FileSystemContract {
 protected:
  // realdir\sub\a.txt, real\file.txt, and the links dirlink -> realdir, filelink -> file.txt.
  bool MakeLinks() {
    Dir("realdir");
    Dir("realdir\\sub");
    Put("realdir\\sub\\a.txt", "a");
    Dir("real");
    Put("real\\file.txt", "content");
    return Link("dirlink", "realdir", true) && Link("filelink", "real\\file.txt", false);
  }
  bool Link(const std::string& below, const std::string& target, bool directory) {
    return env_->MakeLink(Path(below), Path(target), directory);
  }
  static constexpr platform::FileAttributes kFolderLink =
      platform::kAttrDirectory | platform::kAttrReparsePoint;
};

TEST_F(LinkContract, FolderLinksAreReparsePointsAndFileLinksPlainFiles) {
  if (!MakeLinks()) GTEST_SKIP() << env_->Backend() << " cannot make links";
  const struct {
    const char* path;
    platform::FileAttributes attributes;
  } cases[] = {
      {"dirlink", kFolderLink},
      {"DIRLINK", kFolderLink},
      {"dirlink\\", platform::kAttrDirectory},  // the folder behind the link
      {"filelink", platform::kAttrArchive},
      {"dirlink\\sub", platform::kAttrDirectory},
      {"dirlink\\sub\\a.txt", platform::kAttrArchive},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Files().GetAttributes(Path(c.path)), c.attributes) << c.path;
  }
  EXPECT_EQ(platform::ReadWholeFile(Files(), Path("filelink")), "content");
  EXPECT_EQ(platform::ReadWholeFile(Files(), Path("dirlink\\sub\\a.txt")), "a");

  struct Entry {
    std::string name;
    platform::FileAttributes attributes;
    std::uint64_t size;
    bool operator==(const Entry&) const = default;
  };
  std::vector<Entry> listed;
  for (auto search = Files().FindFirst(Path("*")); search;) {
    const platform::FindData& found = search->Current();
    listed.push_back({found.name, found.attributes, found.IsDirectory() ? 0 : found.size});
    if (!search->Next()) break;
  }
  const std::vector<Entry> expected = {
      {".", platform::kAttrDirectory, 0},    {"..", platform::kAttrDirectory, 0},
      {"dirlink", kFolderLink, 0},           {"filelink", platform::kAttrArchive, 7},
      {"real", platform::kAttrDirectory, 0}, {"realdir", platform::kAttrDirectory, 0},
  };
  ASSERT_EQ(listed.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(listed[i].name, expected[i].name) << i;
    EXPECT_EQ(listed[i].attributes, expected[i].attributes) << expected[i].name;
    EXPECT_EQ(listed[i].size, expected[i].size) << expected[i].name;
  }
}

TEST_F(LinkContract, IdentifyGoesThroughLinksToTheirTarget) {
  if (!MakeLinks()) GTEST_SKIP() << env_->Backend() << " cannot make links";
  const struct {
    const char* asked;
    const char* target;  // below the scratch folder
    platform::FileAttributes attributes;
  } cases[] = {
      {"dirlink", "realdir", platform::kAttrDirectory},
      {"dirlink\\", "realdir", platform::kAttrDirectory},
      {"filelink", "real\\file.txt", platform::kAttrArchive},
      {"DIRLINK\\SUB\\A.TXT", "realdir\\sub\\a.txt", platform::kAttrArchive},
  };
  for (const auto& c : cases) {
    WinError error = platform::kErrorInvalidHandle;
    const auto identity = Files().Identify(Path(c.asked), &error);
    ASSERT_TRUE(identity) << c.asked << ": " << error;
    EXPECT_TRUE(SameTextAscii(identity->finalPath, Path(c.target)))
        << c.asked << ": " << identity->finalPath;
    EXPECT_EQ(identity->attributes, c.attributes) << c.asked;
  }
}

// The dangerous one: deleting a file link deletes the file it leads to. The link stays behind,
// invisible while it leads nowhere, and comes back with its target.
TEST_F(LinkContract, RemovingAFileLinkDeletesItsTargetAndKeepsTheLink) {
  if (!MakeLinks()) GTEST_SKIP() << env_->Backend() << " cannot make links";
  ASSERT_EQ(Files().RemoveFile(Path("filelink")), platform::kSuccess);
  WinError error = platform::kSuccess;
  EXPECT_EQ(Files().GetAttributes(Path("real\\file.txt"), &error), platform::kInvalidAttributes);
  EXPECT_EQ(error, platform::kErrorFileNotFound);
  EXPECT_EQ(Files().GetAttributes(Path("filelink"), &error), platform::kInvalidAttributes);
  EXPECT_EQ(error, platform::kErrorFileNotFound);
  EXPECT_TRUE(Names(Path("file*")).empty());
  EXPECT_EQ(Files().RemoveFile(Path("filelink")), platform::kErrorFileNotFound);
  // The name is still taken.
  EXPECT_EQ(Files().MakeDir(Path("filelink")), platform::kErrorAlreadyExists);
  Put("real\\file.txt", "back");
  EXPECT_EQ(platform::ReadWholeFile(Files(), Path("filelink")), "back");
}

TEST_F(LinkContract, RemovingAFolderLinkRemovesAnEmptyTargetAndNothingElse) {
  const struct {
    const char* label;
    bool filled;
    WinError removeDir;
  } cases[] = {
      {"empty", false, platform::kSuccess},
      {"full", true, platform::kErrorDirNotEmpty},
  };
  for (const auto& c : cases) {
    const std::string target = std::string(c.label) + "target";
    const std::string link = std::string(c.label) + "link";
    Dir(target);
    if (c.filled) Put(target + "\\inside.txt", "kept");
    if (!Link(link, target, true)) GTEST_SKIP() << env_->Backend() << " cannot make links";
    EXPECT_EQ(Files().RemoveFile(Path(link)), platform::kErrorAccessDenied) << c.label;
    EXPECT_EQ(Files().RemoveDir(Path(link)), c.removeDir) << c.label;
    EXPECT_EQ(Files().MakeDir(Path(link)), platform::kErrorAlreadyExists) << c.label;
    if (c.filled) {
      EXPECT_EQ(platform::ReadWholeFile(Files(), Path(target + "\\inside.txt")), "kept");
      EXPECT_EQ(Files().GetAttributes(Path(link)), kFolderLink);
    } else {
      EXPECT_EQ(Files().GetAttributes(Path(target)), platform::kInvalidAttributes) << c.label;
      EXPECT_EQ(Files().GetAttributes(Path(link)), platform::kInvalidAttributes) << c.label;
      // The link was there all along.
      ASSERT_EQ(Files().MakeDir(Path(target)), platform::kSuccess);
      EXPECT_EQ(Files().GetAttributes(Path(link)), kFolderLink) << c.label;
    }
  }
}

}  // namespace
}  // namespace sv::testing
