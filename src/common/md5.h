// MD5 message digests (RFC 1321) for the validation codes of the web service exchanges.
#pragma once

#include <string>
#include <string_view>

namespace sv {

// The digest of exactly the bytes of `text`, as 32 lower-case hexadecimal digits, high digit
// of each byte first. Empty only if the system's hashing service fails.
[[nodiscard]] std::string Md5Hex(std::string_view text);

// 16 digest bytes as 32 lower-case hexadecimal digits.
[[nodiscard]] std::string HexDigits(const unsigned char* bytes, std::size_t count);

}  // namespace sv
