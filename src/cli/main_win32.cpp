// Entry point of sorvane-cli.exe: the wide command line in, UTF-8 text out.
#include <windows.h>
//
#include <shellapi.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"

int wmain() {
  int count = 0;
  const sv::win32::LocalMem argv(CommandLineToArgvW(GetCommandLineW(), &count));
  const auto* wide = static_cast<LPWSTR*>(argv.Get());
  std::vector<std::string> args;
  for (int i = 1; wide != nullptr && i < count; ++i) {
    args.push_back(sv::win32::Narrow(wide[i]));
  }
  // A console shows our UTF-8 as it is; a pipe or file receives the bytes unchanged anyway.
  SetConsoleOutputCP(CP_UTF8);

  sv::win32::Win32Platform machine;
  sv::platform::Platform platform = machine.Get();
  sv::cli::Context context{platform, std::cout, std::cerr};
  const int code = sv::cli::Run(context, args);
  std::cout.flush();
  return code;
}
