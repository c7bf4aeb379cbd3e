#include "platform/listings.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "common/paths.h"
#include "common/text.h"

namespace sv::platform {
namespace {

bool IsPrintableAscii(char c) noexcept {
  const auto code = static_cast<unsigned char>(c);
  return code >= 0x20 && code < 0x7F;
}

}  // namespace

bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ')
    base.remove_suffix(1);
  const std::string folded = LowerAscii(base);
  static constexpr std::array<std::string_view, 6> kDevices{"con", "prn",    "aux",
                                                            "nul", "conin$", "conout$"};
  if (std::find(kDevices.begin(), kDevices.end(), folded) != kDevices.end()) return true;
  return folded.size() == 4 && (folded.starts_with("com") || folded.starts_with("lpt")) &&
         folded[3] >= '0' && folded[3] <= '9';
}

namespace {

// A last name that is looked up only through its folders: plain but for wildcards and
// short-name tildes, which only the system can match.
bool IsPlainPattern(std::string_view name) {
  if (name.empty() || name.front() == ' ' || name.back() == ' ' || name.back() == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return IsPrintableAscii(c) && std::string_view("\\/:\"<>|").find(c) == std::string_view::npos;
  });
}

// A key name that means the same to a listing and to the registry.
bool IsPlainKeyName(std::string_view name) {
  if (name.empty() || name.front() == ' ' || name.back() == ' ') return false;
  if (name.find_first_not_of('.') == std::string_view::npos) return false;
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return IsPrintableAscii(c) && c != '\\'; });
}

std::vector<std::string_view> Names(std::string_view path) {
  std::vector<std::string_view> names;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = path.find('\\', start);
    names.push_back(path.substr(start, slash == std::string_view::npos ? slash : slash - start));
    if (slash == std::string_view::npos) return names;
    start = slash + 1;
  }
}

// The names of "X:\a\b" ("a", "b"), empty ones kept; none for a path not below a drive letter.
std::optional<std::vector<std::string_view>> NamesBelowDrive(std::string_view path) {
  if (path.size() < 4 || path[1] != ':' || path[2] != '\\') return std::nullopt;
  const char drive = ToUpperAscii(path[0]);
  if (drive < 'A' || drive > 'Z') return std::nullopt;
  return Names(path.substr(3));
}

}  // namespace

bool IsPlainFileName(std::string_view name) noexcept {
  if (name.empty() || name.front() == ' ' || name.back() == ' ' || name.back() == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return IsPrintableAscii(c) &&
           std::string_view("\\/:*?\"<>|~").find(c) == std::string_view::npos;
  });
}

bool IsPlainDrivePath(std::string_view path) {
  const auto names = NamesBelowDrive(path);
  return names && std::all_of(names->begin(), names->end(), [](std::string_view name) {
           return IsPlainFileName(name) && !IsDeviceName(name);
         });
}

const NameListing& FolderListings::ListingOf(const std::string& folder) {
  const auto known = listings_.find(folder);
  if (known != listings_.end()) return known->second;
  NameListing listing;
  WinError error = kSuccess;
  auto search = files_.FindFirst(WithTrailingBackslash(folder) + "*", &error);
  if (search) {
    listing.usable = true;
    do {
      const std::string& name = search->Current().name;
      if (name == "." || name == "..") continue;
      // A name the listing cannot compare as the system does makes the folder unlistable.
      if (!IsPlainFileName(name)) {
        listing.usable = false;
        listing.foldedNames.clear();
        break;
      }
      listing.foldedNames.insert(LowerAscii(name));
    } while (search->Next());
  } else {
    // A missing folder holds nothing; any other failure is left to the system to answer.
    listing.usable = error == kErrorFileNotFound || error == kErrorPathNotFound;
  }
  return listings_.emplace(folder, std::move(listing)).first->second;
}

bool FolderListings::Exists(const std::string& folder, const std::string& name) {
  if (IsPlainFileName(name)) {
    const NameListing& listing = ListingOf(folder);
    if (listing.usable) return listing.foldedNames.contains(LowerAscii(name));
  }
  return files_.GetAttributes(WithTrailingBackslash(folder) + name) != kInvalidAttributes;
}

bool FolderListings::RulesOut(std::string_view path) {
  const auto parsed = NamesBelowDrive(path);
  if (!parsed) return false;
  const std::vector<std::string_view>& names = *parsed;
  // Every name must be read the same by both: a folder such as "..", "x." or "PROGRA~1" could
  // lead the system somewhere the listings do not show.
  for (std::size_t i = 0; i < names.size(); ++i) {
    const bool last = i + 1 == names.size();
    if (IsDeviceName(names[i])) return false;
    if (!IsPlainFileName(names[i]) && !(last && IsPlainPattern(names[i]))) return false;
  }
  std::string folder(path.substr(0, 2));
  for (const std::string_view name : names) {
    if (!IsPlainFileName(name)) return false;  // a pattern whose folders are all there
    const NameListing& listing = ListingOf(folder);
    if (!listing.usable) return false;
    if (!listing.foldedNames.contains(LowerAscii(name))) return true;
    folder += '\\';
    folder += name;
  }
  return false;
}

const NameListing& KeyListings::ListingOf(Hive hive, const std::string& path) {
  const std::string id = std::to_string(static_cast<int>(hive)) + '\\' + LowerAscii(path);
  const auto known = listings_.find(id);
  if (known != listings_.end()) return known->second;
  NameListing listing;
  WinError error = kSuccess;
  const auto key = registry_.OpenKey(hive, path, KeyAccess::Read, &error);
  if (key) {
    listing.usable = true;
    for (std::uint32_t index = 0;; ++index) {
      WinError enumError = kSuccess;
      const auto name = key->EnumKey(index, &enumError);
      if (!name) {
        // Only a listing that reached its end is whole.
        if (enumError != kErrorNoMoreItems) listing.usable = false;
        break;
      }
      if (!IsPlainKeyName(*name)) {
        listing.usable = false;
        break;
      }
      listing.foldedNames.insert(LowerAscii(*name));
    }
    if (!listing.usable) listing.foldedNames.clear();
  } else {
    // A missing key holds nothing; a key that cannot be read is left to the registry.
    listing.usable = error == kErrorFileNotFound;
  }
  return listings_.emplace(id, std::move(listing)).first->second;
}

bool KeyListings::RulesOut(Hive hive, std::string_view path) {
  if (!sameView_) return false;
  if (hive != Hive::LocalMachine && hive != Hive::CurrentUser && hive != Hive::Users) return false;
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  if (path.empty()) return false;  // the hive's root
  const std::vector<std::string_view> names = Names(path);
  if (!std::all_of(names.begin(), names.end(), IsPlainKeyName)) return false;
  std::string parent;
  for (const std::string_view name : names) {
    const NameListing& listing = ListingOf(hive, parent);
    if (!listing.usable) return false;
    if (!listing.foldedNames.contains(LowerAscii(name))) return true;
    if (!parent.empty()) parent += '\\';
    parent += name;
  }
  return false;
}

}  // namespace sv::platform
