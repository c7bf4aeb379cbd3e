// A whole in-memory machine for tests: registry, drives, system services, message boxes,
// the service control manager and processes, laid out like a fresh Wine prefix where a test
// asks for the standard layout.
#pragma once

#include "platform/fake/fake_faults.h"
#include "platform/fake/fake_filesystem.h"
#include "platform/fake/fake_processes.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_services.h"
#include "platform/fake/fake_system.h"
#include "platform/platform.h"

namespace sv::fake {

class FakeMachine {
 public:
  enum class Layout {
    // An empty drive C and the registry's hive roots, nothing else.
    Empty,
    // The folders of a fresh Wine prefix run by "root": C:\windows with system32, the
    // Program Files folders, ProgramData, the user profile with its shell folders and start
    // menu, the public profile. The shell folders answer with those paths and are recorded
    // under "Shell Folders" in the registry as Windows does.
    Standard,
  };

  explicit FakeMachine(Layout layout = Layout::Empty);
  FakeMachine(const FakeMachine&) = delete;
  FakeMachine& operator=(const FakeMachine&) = delete;

  [[nodiscard]] platform::Platform Get() {
    return {registry, files, system, messages, services, processes};
  }

  Faults faults;
  FakeClock clock;
  FakeRegistry registry{faults};
  FakeFileSystem files{faults, clock};
  FakeSystem system{clock};
  RecordingMessages messages;
  FakeServices services{registry, faults};
  FakeProcesses processes{faults};

 private:
  void LayOutStandardFolders();
};

}  // namespace sv::fake
