// sv-demo-app.exe: stands in for every program of the demo machine (kestrel.exe, tunebox.exe,
// ...). It carries an icon for the installed list and does nothing: it ends at once, or with
// "--wait N" after N seconds, so that it can be seen as a running process meanwhile.
#include <windows.h>
//
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>

#include "platform/win32/handles.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  const sv::win32::LocalMem argv(CommandLineToArgvW(GetCommandLineW(), &count));
  const auto* args = static_cast<LPWSTR*>(argv.Get());
  for (int i = 1; args != nullptr && i + 1 < count; ++i) {
    if (std::wcscmp(args[i], L"--wait") != 0) continue;
    const unsigned long seconds = std::wcstoul(args[i + 1], nullptr, 10);
    // At most a day: a typing mistake must not leave a process behind for weeks.
    Sleep(static_cast<DWORD>(seconds > 86400 ? 86400 : seconds) * 1000);
    break;
  }
  return 0;
}
