#include "base/four_char_code.h"

namespace orichalcumite {

std::string fourCCText(uint32_t code) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[size_t(i)] = static_cast<char>((code >> (24 - 8 * i)) & 0xFF);
  return text;
}

std::string printableFourCCText(uint32_t code) {
  std::string text = fourCCText(code);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
  return text;
}

std::optional<uint32_t> fourCCFromText(std::string_view text) {
  if (text.size() != 4) return std::nullopt;
  uint32_t code = 0;
  for (char c : text) code = (code << 8) | static_cast<unsigned char>(c);
  return code;
}

}  // namespace orichalcumite
