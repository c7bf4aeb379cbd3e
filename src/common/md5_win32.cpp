// Windows build: the CryptoAPI hash that every Windows version provides.
#include <windows.h>
// After <windows.h>, which it builds on.
#include <wincrypt.h>

#include <algorithm>

#include "common/md5.h"
#include "platform/win32/handles.h"

namespace sv {

std::string Md5Hex(std::string_view text) {
  win32::CryptProvider provider;
  if (!::CryptAcquireContextW(provider.Receive(), nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    return {};
  }
  win32::CryptHash hash;
  if (!::CryptCreateHash(provider.Get(), CALG_MD5, 0, 0, hash.Receive())) return {};
  // CryptHashData takes a DWORD length; feed long texts in pieces.
  std::string_view rest = text;
  do {
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 1u << 30));
    if (!::CryptHashData(hash.Get(), reinterpret_cast<const BYTE*>(rest.data()), piece, 0)) {
      return {};
    }
    rest.remove_prefix(piece);
  } while (!rest.empty());
  BYTE digest[16];
  DWORD length = sizeof digest;
  if (!::CryptGetHashParam(hash.Get(), HP_HASHVAL, digest, &length, 0) || length != 16) return {};
  return HexDigits(digest, length);
}

}  // namespace sv
