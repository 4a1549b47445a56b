// Action files: a recorded descriptor as JSON, so that a run can be replayed.
//
//   {
//     "descriptor": [
//       { "key": "0001", "type": "long", "value": 55 },
//       { "key": "SGky", "type": "enum", "enumType": "SGty", "value": "GL62" },
//       ...
//     ]
//   }
//
// Items keep descriptor order. Types: "long" (32-bit integer), "doub" (finite number), "bool"
// (true/false), "enum" (four-character "enumType" and "value"), "TEXT" (UTF-8 string), and
// "UntF" (number with a four-character "unit"). Keys, codes and units are exactly four
// printable ASCII characters. The text is written with a 2-space indent, members in a fixed
// order and numbers in their shortest exact form, so writing what was read gives the same bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/descriptor.h"

namespace orichalcumite {

// The descriptor of an action file's text; nothing, with a one-line reason naming the item at
// fault, for text that is not such a file.
std::optional<Descriptor> parseActionText(std::string_view text, std::string* error);
// The action-file text of a descriptor; nothing, with the reason, when an item has a type
// action files cannot hold, a number that is not finite or text that is not UTF-8.
std::optional<std::string> actionText(const Descriptor& descriptor, std::string* error);

// Reads an action file (at most 16 MiB).
std::optional<Descriptor> readActionFile(const std::string& path, std::string* error);
// Writes an action file; the target is replaced only when the whole file was written.
bool writeActionFile(const std::string& path, const Descriptor& descriptor, std::string* error);

}  // namespace orichalcumite
