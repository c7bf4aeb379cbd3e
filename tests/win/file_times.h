// Setting a file's last-write time, so that a program's version (its file date) is older or
// newer than the one a test service knows.
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

}  // namespace sv::testing
