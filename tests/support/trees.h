// Test helpers that clear away what a test built: whole key trees and folder trees.
#pragma once

#include <string>
#include <string_view>

#include "platform/filesystem.h"
#include "platform/registry.h"

namespace sv::testing {

// Deletes the key and everything below it; a missing key is fine.
void RemoveKeyTree(platform::Registry& registry, platform::Hive hive, const std::string& path);

// Deletes the folder and everything in it (read-only and hidden entries too); a missing
// folder is fine.
void RemoveFileTree(platform::FileSystem& files, const std::string& path);

// A name no other test run uses: process, time and a counter.
[[nodiscard]] std::string UniqueStamp();

}  // namespace sv::testing
