#include "platform/filesystem.h"

namespace sv::platform {

bool PathExists(FileSystem& files, std::string_view path) {
  return files.GetAttributes(path) != kInvalidAttributes;
}

bool DirectoryExists(FileSystem& files, std::string_view path) {
  const FileAttributes attributes = files.GetAttributes(path);
  return attributes != kInvalidAttributes && (attributes & kAttrDirectory) != 0;
}

std::optional<std::string> ReadWholeFile(FileSystem& files, std::string_view path,
                                         WinError* error) {
  const auto file =
      files.OpenFile(path, FileAccess::Read, kShareRead, Disposition::OpenExisting, error);
  if (!file) return std::nullopt;
  auto content = file->ReadToEnd();
  if (!content && error != nullptr) *error = kErrorAccessDenied;
  return content;
}

WinError WriteWholeFile(FileSystem& files, std::string_view path, std::string_view bytes,
                        Disposition disposition) {
  WinError error = kSuccess;
  const auto file = files.OpenFile(path, FileAccess::Write, kShareNone, disposition, &error);
  if (!file) return error;
  return file->Write(bytes);
}

}  // namespace sv::platform
