// libFuzzer target for the database reader: the input is split into SV.dat and soft.dat (a
// 4-byte little-endian length of SV.dat, then its bytes, then soft.dat), put beside the program
// on a fake machine, and every query runs over them. A damaged file must never read outside
// its image, crash or hang.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "database/opUninstallFile.h"
#include "platform/fake/fake_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.size() < 4) return 0;
  std::size_t split = 0;
  for (int i = 3; i >= 0; --i)
    split = split * 256 + static_cast<unsigned char>(input[i]);
  const std::string_view rest = input.substr(4);
  split = std::min(split, rest.size());

  sv::fake::FakeMachine machine(sv::fake::FakeMachine::Layout::Empty);
  machine.files.PutDirectory("C:\\Sorvane");
  machine.files.PutDirectory("C:\\Program Files\\Acme\\p.default");
  machine.system.executablePath = "C:\\Sorvane\\Sorvane.exe";
  machine.files.PutFile("C:\\Sorvane\\SV.dat", rest.substr(0, split));
  machine.files.PutFile("C:\\Sorvane\\soft.dat", rest.substr(split));
  sv::platform::Platform platform = machine.Get();

  sv::database::TUFileOp db(platform);
  (void)db.GetDataVersion(0);
  (void)db.GetDataVersion(1);
  (void)db.GetSoftDataVersion(0);
  sv::database::StringList names, items, info, keys, values;
  for (std::uint16_t category = 0; category <= 11; category += 3) {
    (void)db.GetSoftNameList(names, category);
    (void)db.GetSoftCount(category);
  }
  db.GetSoftNameList(names, 0);
  for (const std::string& name : names) {
    (void)db.GetCategoryText(name);
    (void)db.GetSoftCategory(db.FindSoftId(name));
    for (std::uint16_t kind = 0; kind <= 5; ++kind) {
      (void)db.GetSoftItems(name, kind, kind % 2, items);
    }
    (void)db.GetSoftInfo(name, info, keys, values);
  }
  return 0;
}
