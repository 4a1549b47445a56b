// The 8-bit character sets of settings files. Names inside those files are Windows-1252 (the
// older family's files may hold Mac OS Roman instead); names in memory are UTF-8, as Linux file
// names are. Every function here works on whole texts, byte by byte, and never fails.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orichalcumite {

// The Windows-1252 byte of a Mac OS Roman byte: 0..127 unchanged, a character without a
// Windows-1252 form (such as the Apple logo or the ligature fi) left unchanged.
uint8_t macRomanToWindows1252(uint8_t c);
std::string macRomanToWindows1252(std::string_view text);

// The Unicode code point of a Windows-1252 byte. The five bytes the set leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number, so that
// they survive a round trip.
char32_t windows1252ToUnicode(uint8_t c);
// The Windows-1252 byte of a code point; none when the set has no such character.
std::optional<uint8_t> unicodeToWindows1252(char32_t c);

// Windows-1252 text as UTF-8.
std::string windows1252ToUtf8(std::string_view text);
// UTF-8 text as Windows-1252. A character without a Windows-1252 form becomes '?', and so
// does every byte that is not part of a well-formed UTF-8 sequence (one '?' per such byte).
std::string utf8ToWindows1252(std::string_view text);

}  // namespace orichalcumite
