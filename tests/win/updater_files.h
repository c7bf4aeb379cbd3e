// What the update tests arrange on disk: a program's last-write time, so that its version (its
// file date) is older or newer than the one a test service knows, and the stand-in updater
// the build puts beside the test programs.
#pragma once

#include <windows.h>
//
#include <string>

namespace sv::testing {

// January 1st of `year`, UTC. False when the file cannot be opened or changed.
inline bool SetLastWriteYear(const std::wstring& path, WORD year) {
  const HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  SYSTEMTIME day = {};
  day.wYear = year;
  day.wMonth = 1;
  day.wDay = 1;
  FILETIME time;
  const bool set =
      ::SystemTimeToFileTime(&day, &time) && ::SetFileTime(file, nullptr, nullptr, &time);
  ::CloseHandle(file);
  return set;
}

// Copies the stand-in updater from beside this test program to `target` ("...\\Update.exe").
inline bool PutStandInUpdater(const std::wstring& target) {
  wchar_t self[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder(self, length);
  folder.resize(folder.find_last_of(L'\\') + 1);
  return ::CopyFileW((folder + L"sv-update-standin.exe").c_str(), target.c_str(), FALSE) != 0;
}

}  // namespace sv::testing
