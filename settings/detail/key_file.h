// The text form of the settings key: a key file whose group is the key's path and whose
// entries are the key's values. Parsing and writing are kept apart from the files so that a
// test or a fuzzer can hand them bytes. No GLib type appears here.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace orichalcumite::detail {

// The values of `group` in the key-file text `text`: nothing when the text is not a key file
// (damaged, not UTF-8, a line outside every group); an empty map when the group is missing.
// Values are unescaped; values that are not valid text are left out.
std::optional<std::map<std::string, std::string>> keyFileValues(std::string_view text,
                                                                const std::string& group);

// `text` (a key file, or empty for a new one) with `name` in `group` set to `value`; comments
// and other groups are kept. Nothing when `text` is not a key file or `value` is not UTF-8.
std::optional<std::string> keyFileWithValue(std::string_view text, const std::string& group,
                                            const std::string& name, const std::string& value);

}  // namespace orichalcumite::detail
