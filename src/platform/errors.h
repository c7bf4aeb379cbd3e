// System error codes, with the numbers Windows uses, so that the fake platform and the real
// one report failures the same way.
#pragma once

#include <cstdint>

namespace sv::platform {

using WinError = std::uint32_t;

inline constexpr WinError kSuccess = 0;
inline constexpr WinError kErrorFileNotFound = 2;
inline constexpr WinError kErrorPathNotFound = 3;
inline constexpr WinError kErrorAccessDenied = 5;
inline constexpr WinError kErrorInvalidHandle = 6;
inline constexpr WinError kErrorNoMoreFiles = 18;
inline constexpr WinError kErrorSharingViolation = 32;
inline constexpr WinError kErrorBadNetPath = 53;
inline constexpr WinError kErrorFileExists = 80;
inline constexpr WinError kErrorInvalidParameter = 87;
inline constexpr WinError kErrorInsufficientBuffer = 122;
inline constexpr WinError kErrorInvalidName = 123;
inline constexpr WinError kErrorDirNotEmpty = 145;
inline constexpr WinError kErrorBadPathName = 161;
inline constexpr WinError kErrorAlreadyExists = 183;
inline constexpr WinError kErrorMoreData = 234;
inline constexpr WinError kErrorNoMoreItems = 259;
inline constexpr WinError kErrorDirectory = 267;  // "the directory name is invalid"
inline constexpr WinError kErrorKeyDeleted = 1018;
inline constexpr WinError kErrorResourceTypeNotFound = 1813;

}  // namespace sv::platform
