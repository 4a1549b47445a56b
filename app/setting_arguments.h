// Settings given on the command line ("--set NAME=VALUE"), turned into descriptor items with
// the parameter table: NAME is a scripting name (any case) or a four-character key, VALUE is
// checked against the parameter's kind and range.
//   integer sliders and colour channels   whole numbers inside the range ("long")
//   light components                     numbers from -1 to 1 ("doub")
//   booleans                             true, false, 1 or 0 ("bool")
//   enumerations                         an index, a dialog or terminology name (any case) or a
//                                        code ("enum")
//   picture names                        a bare file name of at most 255 bytes ("TEXT")
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/descriptor.h"

namespace orichalcumite {

// The item for one "NAME=VALUE"; nothing, with a one-line reason, when the name is unknown
// (the reason then names the closest scripting names) or the value does not fit.
std::optional<DescriptorItem> settingItem(std::string_view assignment, std::string* error);

// Up to `limit` candidates close to `text`, closest first: by edit distance (ignoring case),
// or containing it.
std::vector<std::string> closeNames(std::string_view text,
                                    const std::vector<std::string>& candidates, size_t limit = 3);

// Levenshtein distance, ignoring case.
size_t editDistance(std::string_view a, std::string_view b);

}  // namespace orichalcumite
