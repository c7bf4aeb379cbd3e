// Everything the program needs of the operating system, handed to the code above by reference.
#pragma once

#include "platform/filesystem.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/system.h"

namespace sv::platform {

struct Platform {
  Registry& registry;
  FileSystem& files;
  System& system;
  Messages& messages;
  Services& services;
  Processes& processes;
};

}  // namespace sv::platform
