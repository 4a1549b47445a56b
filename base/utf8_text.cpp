#include "base/utf8_text.h"

#include <cstdint>

namespace orichalcumite {
namespace {

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the well-formed character at the start of `text`, or 0.
size_t characterLength(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  uint32_t value = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if (!isContinuation(byte(i))) return 0;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (overlong || surrogate || value > 0x10FFFF) return 0;
  return length;
}

}  // namespace

bool isUtf8(std::string_view text) {
  while (!text.empty()) {
    const size_t length = characterLength(text);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

size_t utf8PrefixLength(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  // Step back over at most three continuation bytes to the start of the character that the
  // limit would split; a longer run of them is not UTF-8, and the plain cut is as good as any.
  size_t end = maxBytes;
  while (end > 0 && maxBytes - end < 3 && isContinuation(static_cast<unsigned char>(text[end])))
    --end;
  if (isContinuation(static_cast<unsigned char>(text[end]))) return maxBytes;
  return end;
}

std::string messageExcerpt(std::string_view text, size_t maxCharacters) {
  std::string out;
  size_t characters = 0, i = 0;
  while (i < text.size() && characters < maxCharacters) {
    const size_t length = characterLength(text.substr(i));
    const size_t take = length == 0 ? 1 : length;
    for (size_t k = 0; k < take; ++k) {
      const char c = text[i + k];
      out += c == '\n' || c == '\r' ? ' ' : c;
    }
    i += take;
    ++characters;
  }
  if (i < text.size()) out += "...";
  return out;
}

}  // namespace orichalcumite
