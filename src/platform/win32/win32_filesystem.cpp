#include "platform/win32/win32_filesystem.h"

#include <windows.h>
// After <windows.h>, which it builds on.
#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "common/paths.h"
#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"
#include "platform/win32/wide.h"

namespace sv::win32 {
namespace {

using platform::FileAttributes;
using platform::FileTimes;
using platform::WinError;

sv::FileTime FromFiletime(const FILETIME& time) noexcept {
  return {(static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime};
}

FILETIME ToFiletime(sv::FileTime time) noexcept {
  FILETIME result;
  result.dwLowDateTime = static_cast<DWORD>(time.ticks & 0xFFFFFFFFu);
  result.dwHighDateTime = static_cast<DWORD>(time.ticks >> 32);
  return result;
}

platform::FindData FromFindData(const WIN32_FIND_DATAW& data) {
  platform::FindData entry;
  entry.name = Narrow(data.cFileName);
  entry.attributes = data.dwFileAttributes;
  entry.times = {FromFiletime(data.ftCreationTime), FromFiletime(data.ftLastAccessTime),
                 FromFiletime(data.ftLastWriteTime)};
  entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return entry;
}

// A value inside a version block: where it starts and its length (bytes for binary values,
// characters for texts).
std::optional<std::pair<const void*, UINT>> QueryVersionValue(
    const std::vector<std::uint8_t>& block, std::string_view subBlock) {
  if (block.empty()) return std::nullopt;
  void* data = nullptr;
  UINT length = 0;
  // VerQueryValueW only reads the block, but its prototype asks for a writable pointer.
  auto* readable = const_cast<std::uint8_t*>(block.data());
  if (!::VerQueryValueW(readable, Widen(subBlock).c_str(), &data, &length) || data == nullptr) {
    return std::nullopt;
  }
  return std::pair<const void*, UINT>{data, length};
}

WinError Outcome(BOOL ok) noexcept {
  return ok ? platform::kSuccess : LastError();
}

// GetFinalPathNameByHandle's answer as the rest of the program writes paths: "\\?\C:\..." is
// "C:\...", "\\?\UNC\server\share\..." is "\\server\share\...". Anything else (Wine names
// places outside its drives "\\?\unix\...") stays as the system gave it.
std::wstring DosFinalPath(std::wstring path) {
  constexpr std::wstring_view kUnc = L"\\\\?\\UNC\\";
  constexpr std::wstring_view kLocal = L"\\\\?\\";
  const std::wstring_view view = path;
  if (view.starts_with(kUnc)) return L"\\\\" + std::wstring(view.substr(kUnc.size()));
  if (view.starts_with(kLocal) && view.size() >= kLocal.size() + 2 &&
      view[kLocal.size() + 1] == L':' &&
      (view.size() == kLocal.size() + 2 || view[kLocal.size() + 2] == L'\\')) {
    const wchar_t drive = view[kLocal.size()];
    if ((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z')) {
      return std::wstring(view.substr(kLocal.size()));
    }
  }
  return path;
}

using SfcIsFileProtectedFunction = BOOL(WINAPI*)(HANDLE, LPCWSTR);

// SfcIsFileProtected, looked up once per process; null where the system has none. The library
// stays loaded for as long as the program runs.
SfcIsFileProtectedFunction SfcIsFileProtectedEntry() {
  static const Module library(::LoadLibraryW(L"sfc.dll"));
  static const SfcIsFileProtectedFunction entry = [] {
    if (!library) return SfcIsFileProtectedFunction{nullptr};
    const FARPROC found = ::GetProcAddress(library.Get(), "SfcIsFileProtected");
    // Through the generic function type, which is how GCC lets a looked-up entry change type.
    return reinterpret_cast<SfcIsFileProtectedFunction>(reinterpret_cast<void (*)()>(found));
  }();
  return entry;
}

class Win32FileSearch final : public platform::FileSearch {
 public:
  Win32FileSearch(FindHandle handle, const WIN32_FIND_DATAW& first)
      : handle_(std::move(handle)), current_(FromFindData(first)) {}

  const platform::FindData& Current() const override { return current_; }

  bool Next() override {
    WIN32_FIND_DATAW data;
    if (!::FindNextFileW(handle_.Get(), &data)) return false;
    current_ = FromFindData(data);
    return true;
  }

 private:
  FindHandle handle_;
  platform::FindData current_;
};

class Win32File final : public platform::File {
 public:
  explicit Win32File(FileHandle handle) : handle_(std::move(handle)) {}

  std::optional<std::uint64_t> Size() const override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handle_.Get(), &size)) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  std::optional<std::string> ReadToEnd() override {
    std::string content;
    char chunk[64 * 1024];
    while (true) {
      DWORD read = 0;
      if (!::ReadFile(handle_.Get(), chunk, sizeof chunk, &read, nullptr)) return std::nullopt;
      if (read == 0) return content;
      content.append(chunk, read);
    }
  }

  WinError Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
      DWORD written = 0;
      if (!::WriteFile(handle_.Get(), bytes.data(), piece, &written, nullptr)) return LastError();
      if (written == 0) return ERROR_WRITE_FAULT;
      bytes.remove_prefix(written);
    }
    return platform::kSuccess;
  }

  std::optional<FileTimes> GetTimes() const override {
    FILETIME creation, access, write;
    if (!::GetFileTime(handle_.Get(), &creation, &access, &write)) return std::nullopt;
    return FileTimes{FromFiletime(creation), FromFiletime(access), FromFiletime(write)};
  }

  WinError SetTimes(const FileTimes& times) override {
    const FILETIME creation = ToFiletime(times.creation);
    const FILETIME access = ToFiletime(times.lastAccess);
    const FILETIME write = ToFiletime(times.lastWrite);
    return Outcome(::SetFileTime(handle_.Get(), &creation, &access, &write));
  }

 private:
  FileHandle handle_;
};

}  // namespace

std::unique_ptr<platform::FileSearch> Win32FileSystem::FindFirst(std::string_view pattern,
                                                                 WinError* error) {
  if (HoldsNul(pattern)) {
    if (error != nullptr) *error = platform::kErrorInvalidName;
    return nullptr;
  }
  WIN32_FIND_DATAW data;
  FindHandle handle(::FindFirstFileW(Widen(pattern).c_str(), &data));
  if (!handle) {
    if (error != nullptr) *error = LastError();
    return nullptr;
  }
  if (error != nullptr) *error = platform::kSuccess;
  return std::make_unique<Win32FileSearch>(std::move(handle), data);
}

std::optional<std::string> Win32FileSystem::ResolvePath(std::string_view path, WinError* error) {
  auto fail = [error](WinError code) -> std::optional<std::string> {
    if (error != nullptr) *error = code;
    return std::nullopt;
  };
  if (HoldsNul(path)) return fail(platform::kErrorInvalidName);
  std::string text(path);
  std::replace(text.begin(), text.end(), '/', '\\');
  // "\\?\C:\..." names the same place as "C:\..."; without the prefix the long-name lookup
  // works (Wine hands any path starting with two backslashes back unchanged).
  if (text.starts_with("\\\\?\\") && IsFullyQualifiedPath(std::string_view(text).substr(4)) &&
      text[5] == ':') {
    text.erase(0, 4);
  }
  // A relative path would be resolved against whatever drive and folder are current.
  if (!IsFullyQualifiedPath(text)) return fail(platform::kErrorBadPathName);
  const std::wstring wide = Widen(text);
  const std::wstring full = GrowingBuffer([&wide](wchar_t* buffer, std::size_t size) {
    return ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(size), buffer, nullptr);
  });
  if (full.empty()) return fail(LastError());
  // GetLongPathName fails unless the whole path exists: ask it about ever shorter heads and
  // keep the missing tail as it is.
  std::wstring head = full;
  std::wstring tail;
  while (true) {
    const std::wstring resolved = GrowingBuffer([&head](wchar_t* buffer, std::size_t size) {
      return ::GetLongPathNameW(head.c_str(), buffer, static_cast<DWORD>(size));
    });
    if (!resolved.empty()) {
      if (error != nullptr) *error = platform::kSuccess;
      return Narrow(resolved + tail);
    }
    const std::size_t from =
        head.size() >= 2 && head.back() == L'\\' ? head.size() - 2 : std::wstring::npos;
    const std::size_t cut = head.find_last_of(L'\\', from);
    // Not even the root exists (a drive that is not there): the full path is all we know.
    if (cut == std::wstring::npos || cut < 2) break;
    // A drive root keeps its backslash: "C:" would be the current folder of drive C.
    const std::size_t keep = cut == 2 && head[1] == L':' ? 3 : cut;
    tail = head.substr(keep) + tail;
    head.resize(keep);
  }
  if (error != nullptr) *error = platform::kSuccess;
  return Narrow(full);
}

std::optional<platform::PathIdentity> Win32FileSystem::Identify(std::string_view path,
                                                                WinError* error) {
  auto fail = [error](WinError code) -> std::optional<platform::PathIdentity> {
    Report(error, code);
    return std::nullopt;
  };
  if (HoldsNul(path)) return fail(platform::kErrorInvalidName);
  // Attributes only, sharing everything, so that opening disturbs no other user of the file;
  // folders need backup semantics; a link named last is opened as itself where the system
  // allows it.
  const FileHandle handle(
      ::CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return fail(LastError());
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(handle.Get(), &information)) return fail(LastError());
  std::wstring finalPath = GrowingBuffer([&handle](wchar_t* buffer, std::size_t size) {
    return ::GetFinalPathNameByHandleW(handle.Get(), buffer, static_cast<DWORD>(size),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  });
  if (finalPath.empty()) return fail(LastError());
  Report(error, platform::kSuccess);
  return platform::PathIdentity{Narrow(DosFinalPath(std::move(finalPath))),
                                information.dwFileAttributes};
}

bool Win32FileSystem::IsSystemProtectedFile(std::string_view path) {
  if (HoldsNul(path)) return false;
  const SfcIsFileProtectedFunction isProtected = SfcIsFileProtectedEntry();
  return isProtected != nullptr && isProtected(nullptr, Widen(path).c_str()) != FALSE;
}

FileAttributes Win32FileSystem::GetAttributes(std::string_view path, WinError* error) {
  if (HoldsNul(path)) {
    if (error != nullptr) *error = platform::kErrorInvalidName;
    return platform::kInvalidAttributes;
  }
  const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
  if (error != nullptr) {
    *error = attributes == INVALID_FILE_ATTRIBUTES ? LastError() : platform::kSuccess;
  }
  return attributes;
}

WinError Win32FileSystem::SetAttributes(std::string_view path, FileAttributes attributes) {
  if (HoldsNul(path)) return platform::kErrorInvalidName;
  return Outcome(::SetFileAttributesW(Widen(path).c_str(), attributes));
}

WinError Win32FileSystem::RemoveFile(std::string_view path) {
  if (HoldsNul(path)) return platform::kErrorInvalidName;
  return Outcome(::DeleteFileW(Widen(path).c_str()));
}

WinError Win32FileSystem::RemoveDir(std::string_view path) {
  if (HoldsNul(path)) return platform::kErrorInvalidName;
  return Outcome(::RemoveDirectoryW(Widen(path).c_str()));
}

WinError Win32FileSystem::MakeDir(std::string_view path) {
  if (HoldsNul(path)) return platform::kErrorInvalidName;
  return Outcome(::CreateDirectoryW(Widen(path).c_str(), nullptr));
}

std::unique_ptr<platform::File> Win32FileSystem::OpenFile(std::string_view path,
                                                          platform::FileAccess access,
                                                          unsigned share,
                                                          platform::Disposition disposition,
                                                          WinError* error) {
  if (HoldsNul(path)) {
    if (error != nullptr) *error = platform::kErrorInvalidName;
    return nullptr;
  }
  DWORD rights = 0;
  switch (access) {
    case platform::FileAccess::Read:
      rights = GENERIC_READ;
      break;
    case platform::FileAccess::Write:
      rights = GENERIC_WRITE;
      break;
    case platform::FileAccess::ReadWrite:
      rights = GENERIC_READ | GENERIC_WRITE;
      break;
  }
  DWORD shareMode = 0;
  if (share & platform::kShareRead) shareMode |= FILE_SHARE_READ;
  if (share & platform::kShareWrite) shareMode |= FILE_SHARE_WRITE;
  if (share & platform::kShareDelete) shareMode |= FILE_SHARE_DELETE;
  DWORD creation = OPEN_EXISTING;
  switch (disposition) {
    case platform::Disposition::CreateNew:
      creation = CREATE_NEW;
      break;
    case platform::Disposition::CreateAlways:
      creation = CREATE_ALWAYS;
      break;
    case platform::Disposition::OpenExisting:
      creation = OPEN_EXISTING;
      break;
    case platform::Disposition::OpenAlways:
      creation = OPEN_ALWAYS;
      break;
  }
  FileHandle handle(::CreateFileW(Widen(path).c_str(), rights, shareMode, nullptr, creation,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    if (error != nullptr) *error = LastError();
    return nullptr;
  }
  if (error != nullptr) *error = platform::kSuccess;
  return std::make_unique<Win32File>(std::move(handle));
}

std::optional<std::vector<std::uint8_t>> Win32FileSystem::ReadVersionResource(
    std::string_view path) {
  if (HoldsNul(path)) return std::nullopt;
  const std::wstring widePath = Widen(path);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(widePath.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<std::uint8_t> block(size);
  if (!::GetFileVersionInfoW(widePath.c_str(), 0, size, block.data())) return std::nullopt;
  return block;
}

std::vector<std::uint32_t> Win32FileSystem::QueryVersionTranslations(
    const std::vector<std::uint8_t>& block) {
  const auto value = QueryVersionValue(block, "\\VarFileInfo\\Translation");
  if (!value) return {};
  std::vector<std::uint32_t> pairs(value->second / sizeof(std::uint32_t));
  std::memcpy(pairs.data(), value->first, pairs.size() * sizeof(std::uint32_t));
  return pairs;
}

std::optional<std::string> Win32FileSystem::QueryVersionString(
    const std::vector<std::uint8_t>& block, std::string_view subBlock) {
  const auto value = QueryVersionValue(block, subBlock);
  if (!value) return std::nullopt;
  // The length counts characters and may include the terminator.
  std::wstring_view text(static_cast<const wchar_t*>(value->first), value->second);
  const auto end = text.find(L'\0');
  if (end != std::wstring_view::npos) text = text.substr(0, end);
  return Narrow(text);
}

platform::ExtractedIcons Win32FileSystem::ExtractIcons(std::string_view path, int index) {
  if (HoldsNul(path)) return {};
  HICON large = nullptr;
  HICON small = nullptr;
  // On failure (0, or UINT_MAX for a missing file) Wine leaves junk in both handles, which
  // must never reach DestroyIcon. On success the handles tell what was extracted: index -1
  // only counts the file's icons and extracts none.
  const UINT answer = ::ExtractIconExW(Widen(path).c_str(), index, &large, &small, 1);
  if (answer == 0 || answer == UINT_MAX) return {};
  // Owned at once, so an icon is never leaked whatever happens next.
  IconHandle largeOwner(large);
  IconHandle smallOwner(small);
  platform::ExtractedIcons icons;
  if (largeOwner) icons.large = std::make_unique<Win32Icon>(std::move(largeOwner));
  if (smallOwner) icons.small = std::make_unique<Win32Icon>(std::move(smallOwner));
  return icons;
}

}  // namespace sv::win32
