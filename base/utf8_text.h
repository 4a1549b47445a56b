// UTF-8 text cut to a size without splitting a character. Descriptors, action files and the
// program's messages all carry UTF-8; a byte limit (a Pascal string's 255, a message's width)
// must never leave half a character behind, or the next reader refuses the whole text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orichalcumite {

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool isUtf8(std::string_view text);

// The length of the longest prefix of `text` of at most `maxBytes` bytes that ends on a
// character boundary. Text that is not UTF-8 is cut at `maxBytes`.
size_t utf8PrefixLength(std::string_view text, size_t maxBytes);

// `text` for quoting in a one-line message: at most `maxCharacters` characters, then "..."
// when there was more. Line breaks become spaces.
std::string messageExcerpt(std::string_view text, size_t maxCharacters = 60);

}  // namespace orichalcumite
