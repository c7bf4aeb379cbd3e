// Entry point of svdb. On Windows the command line comes in as UTF-16 and is passed on as UTF-8.
#include <iostream>
#include <string>
#include <vector>

#include "svdb/svdb.h"

#ifdef _WIN32
#include "common/codepage.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view wide(argv[i]);
    args.push_back(sv::Utf16ToUtf8(std::u16string(wide.begin(), wide.end())));
  }
  return sv::svdb::Run(args, std::cout, std::cerr);
}
#else
int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return sv::svdb::Run(args, std::cout, std::cerr);
}
#endif
