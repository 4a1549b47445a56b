#include "gallery/page_text.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace orichalcumite {
namespace {

// HTML 4's names of ISO-8859-1 characters 160..255, in order.
constexpr std::array<std::string_view, 96> kLatin1Entities = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// One character of a name: its code point and how many bytes it took. `wellFormed` is false
// for a byte that does not start a well-formed UTF-8 sequence; the code point is then that
// byte's value and the length 1.
struct Character {
  char32_t code;
  size_t length;
  bool wellFormed;
};

Character characterAt(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(at);
  if (lead < 0x80) return {lead, 1, true};
  size_t length = 0;
  char32_t code = 0;
  char32_t least = 0;  // the smallest code point of that length: anything less is overlong
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1Fu, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0Fu, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07u, least = 0x10000;
  } else {
    return {lead, 1, false};
  }
  if (at + length > text.size()) return {lead, 1, false};
  for (size_t i = 1; i < length; ++i) {
    const uint8_t next = byte(at + i);
    if ((next & 0xC0) != 0x80) return {lead, 1, false};
    code = (code << 6) | (next & 0x3Fu);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return {lead, 1, false};
  return {code, length, true};
}

}  // namespace

std::string_view latin1EntityName(int c) {
  if (c < 160 || c > 255) return {};
  return kLatin1Entities[static_cast<size_t>(c - 160)];
}

std::string entityEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const Character c = characterAt(text, at);
    at += c.length;
    switch (c.code) {
      case '"': out += "&quot;"; continue;
      case '&': out += "&amp;"; continue;
      case '<': out += "&lt;"; continue;
      case '>': out += "&gt;"; continue;
      default: break;
    }
    if (c.code < 123) {
      out += static_cast<char>(c.code);
    } else if (c.code < 160) {
      char reference[8];
      std::snprintf(reference, sizeof reference, "&#%03u;", static_cast<unsigned>(c.code));
      out += reference;
    } else if (c.code < 256) {
      out += '&';
      out += latin1EntityName(static_cast<int>(c.code));
      out += ';';
    } else {
      char reference[16];
      std::snprintf(reference, sizeof reference, "&#%u;", static_cast<unsigned>(c.code));
      out += reference;
    }
  }
  return out;
}

std::string urlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (const char ch : text) {
    const auto byte = static_cast<uint8_t>(ch);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                       (byte >= '0' && byte <= '9');
    if (plain) {
      out += ch;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02x", static_cast<unsigned>(byte));
      out += escaped;
    }
  }
  return out;
}

std::string sanitisedFileName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (size_t at = 0; at < name.size();) {
    const Character c = characterAt(name, at);
    if (!c.wellFormed) {
      // Folding the byte into the ASCII range keeps the name readable and valid UTF-8; a full
      // stop would add an extension, and a result past 126 would not be ASCII.
      const int folded = (static_cast<int>(c.code) & 127) + 32;
      out += (folded == '.' || folded > 126) ? '_' : static_cast<char>(folded);
    } else if (c.code < 32) {
      out += ' ';
    } else {
      out.append(name.substr(at, c.length));
    }
    at += c.length;
  }
  for (char& ch : out)
    if (ch == '\\' || ch == '/' || ch == ':') ch = '_';
  return out;
}

std::string thumbnailStem(std::string_view name) {
  return std::string(withoutExtension(sanitisedFileName(name)));
}

std::string_view withoutExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(0, dot);
}

}  // namespace orichalcumite
