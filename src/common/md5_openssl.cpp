// Host build: OpenSSL's digest.
#include <openssl/evp.h>

#include "common/md5.h"

namespace sv {

std::string Md5Hex(std::string_view text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr) != 1 ||
      length != 16) {
    return {};
  }
  return HexDigits(digest, length);
}

}  // namespace sv
