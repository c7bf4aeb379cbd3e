// Windows code page 1252, the ANSI code page of the machines the database files are made on
// and of Wine under an English locale. Used where no Windows is at hand to convert for us
// (the host build and its fake platform, the database tool on Linux).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sv {

// Every byte maps to one character; the five bytes that code page 1252 leaves undefined map
// to the control characters of the same number, as Windows does.
[[nodiscard]] std::string Cp1252ToUtf8(std::string_view bytes);

// Characters that code page 1252 cannot hold, and bytes that are not valid UTF-8, become '?';
// `lossless` (when given) tells whether that happened.
[[nodiscard]] std::string Utf8ToCp1252(std::string_view text, bool* lossless = nullptr);

// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t codePoint);

// Decodes one UTF-8 sequence at `pos` and advances it. Returns U+FFFD for an invalid byte
// (advancing by one), so every input decodes.
[[nodiscard]] char32_t NextUtf8(std::string_view text, std::size_t& pos) noexcept;

}  // namespace sv

namespace sv {

// UTF-16 as the Windows structures store it; unpaired surrogates become U+FFFD.
[[nodiscard]] std::string Utf16ToUtf8(std::u16string_view text);
[[nodiscard]] std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace sv
