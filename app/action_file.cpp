#include "app/action_file.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unordered_set>

#include "base/replace_file.h"

namespace orichalcumite {
namespace {

using Json = nlohmann::ordered_json;

constexpr size_t kMaxFileBytes = size_t(16) << 20;

std::string codeText(uint32_t code) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[size_t(i)] = static_cast<char>(code >> (24 - 8 * i));
  return s;
}

std::optional<uint32_t> codeFromText(const std::string& text) {
  if (text.size() != 4) return std::nullopt;
  uint32_t code = 0;
  for (char c : text) {
    if (c < 0x20 || c > 0x7e) return std::nullopt;
    code = (code << 8) | static_cast<uint8_t>(c);
  }
  return code;
}

bool printableCode(uint32_t code) { return codeFromText(codeText(code)).has_value(); }

// "[json.exception.parse_error.101] parse error at ..." reads better without its tag.
std::string withoutTag(const char* what) {
  std::string s(what);
  if (!s.empty() && s[0] == '[') {
    const size_t end = s.find("] ");
    if (end != std::string::npos) s.erase(0, end + 2);
  }
  return s;
}

class ItemReader {
 public:
  ItemReader(const Json& item, size_t index)
      : item_(item), where_("item " + std::to_string(index + 1)) {}

  std::optional<std::string> error() const { return error_; }

  const Json* member(const char* name) {
    auto it = item_.find(name);
    if (it == item_.end()) {
      fail(std::string("has no \"") + name + "\"");
      return nullptr;
    }
    return &*it;
  }

  std::optional<uint32_t> code(const char* name) {
    const Json* m = member(name);
    if (!m) return std::nullopt;
    if (!m->is_string()) {
      fail(std::string("\"") + name + "\" must be a string");
      return std::nullopt;
    }
    auto code = codeFromText(m->get<std::string>());
    if (!code) fail(std::string("\"") + name + "\" must be four printable ASCII characters");
    return code;
  }

  void fail(const std::string& why) {
    if (!error_) error_ = where_ + " " + why;
  }

 private:
  const Json& item_;
  std::string where_;
  std::optional<std::string> error_;
};

std::optional<DescriptorItem> readItem(const Json& json, size_t index, std::string* error) {
  if (!json.is_object()) {
    *error = "item " + std::to_string(index + 1) + " is not an object";
    return std::nullopt;
  }
  ItemReader in(json, index);
  DescriptorItem item;
  const auto key = in.code("key");
  const auto type = in.code("type");
  const Json* value = key && type ? in.member("value") : nullptr;
  if (value) {
    item.key = *key;
    item.type = *type;
    switch (*type) {
      case ps::typeInteger:
        if (!value->is_number_integer()) {
          in.fail("\"value\" of a long must be a whole number");
        } else if (value->is_number_unsigned()
                       ? value->get<uint64_t>() > uint64_t(std::numeric_limits<int32_t>::max())
                       : (value->get<int64_t>() < std::numeric_limits<int32_t>::min() ||
                          value->get<int64_t>() > std::numeric_limits<int32_t>::max())) {
          in.fail("\"value\" of a long must fit in 32 bits");
        } else {
          item.integer = static_cast<int32_t>(value->get<int64_t>());
        }
        break;
      case ps::typeFloat:
      case ps::typeUnitFloat:
        // The parser already refuses a number beyond a double; this keeps the promise that
        // whatever an action file carries in a record can carry out (JSON cannot write an
        // infinity) should a parser ever let one through.
        if (!value->is_number()) {
          in.fail("\"value\" must be a number");
        } else if (!std::isfinite(value->get<double>())) {
          in.fail("\"value\" is too large for a number");
        } else {
          item.number = value->get<double>();
          if (*type == ps::typeUnitFloat)
            if (auto unit = in.code("unit")) item.code = *unit;
        }
        break;
      case ps::typeBoolean:
        if (!value->is_boolean())
          in.fail("\"value\" of a bool must be true or false");
        else
          item.integer = value->get<bool>() ? 1 : 0;
        break;
      case ps::typeEnumerated:
        if (auto enumType = in.code("enumType")) item.code = *enumType;
        if (auto code = in.code("value")) item.enumValue = *code;
        break;
      case ps::typeText:
        if (!value->is_string())
          in.fail("\"value\" of a TEXT must be a string");
        else
          item.bytes = value->get<std::string>();
        break;
      default:
        in.fail("has the type \"" + codeText(*type) + "\", which action files do not hold");
        break;
    }
  }
  if (auto why = in.error()) {
    *error = *why;
    return std::nullopt;
  }
  return item;
}

}  // namespace

std::optional<Descriptor> parseActionText(std::string_view text, std::string* error) {
  std::string why;
  try {
    const Json json = Json::parse(text.begin(), text.end());
    if (!json.is_object()) {
      why = "the file is not a JSON object";
    } else if (!json.contains("descriptor")) {
      why = "the file has no \"descriptor\"";
    } else if (!json["descriptor"].is_array()) {
      why = "\"descriptor\" is not a list";
    } else {
      Descriptor d;
      const Json& items = json["descriptor"];
      d.items.reserve(items.size());
      // The keys seen so far, so that a repeat is found in constant time: a file of many items
      // must not take time growing with the square of their number.
      std::unordered_set<uint32_t> keys;
      keys.reserve(items.size());
      for (size_t i = 0; i < items.size(); ++i) {
        auto item = readItem(items[i], i, &why);
        if (!item) break;
        if (!keys.insert(item->key).second) {
          why =
              "item " + std::to_string(i + 1) + " repeats the key \"" + codeText(item->key) + "\"";
          break;
        }
        d.items.push_back(std::move(*item));
      }
      if (why.empty()) return d;
    }
  } catch (const Json::exception& e) {
    why = withoutTag(e.what());
  } catch (const std::bad_alloc&) {
    why = "not enough memory";
  }
  if (error) *error = why;
  return std::nullopt;
}

std::optional<std::string> actionText(const Descriptor& descriptor, std::string* error) {
  auto fail = [&](const DescriptorItem& item,
                  const std::string& why) -> std::optional<std::string> {
    if (error) *error = "the key \"" + codeText(item.key) + "\" " + why;
    return std::nullopt;
  };
  Json items = Json::array();
  for (const DescriptorItem& item : descriptor.items) {
    if (!printableCode(item.key)) return fail(item, "is not four printable characters");
    Json j;
    j["key"] = codeText(item.key);
    j["type"] = codeText(item.type);
    switch (item.type) {
      case ps::typeInteger: j["value"] = item.integer; break;
      case ps::typeBoolean: j["value"] = item.integer != 0; break;
      case ps::typeFloat:
      case ps::typeUnitFloat:
        if (!std::isfinite(item.number)) return fail(item, "holds a number that is not finite");
        if (item.type == ps::typeUnitFloat) {
          if (!printableCode(item.code))
            return fail(item, "has a unit that is not four printable characters");
          j["unit"] = codeText(item.code);
        }
        j["value"] = item.number;
        break;
      case ps::typeEnumerated:
        if (!printableCode(item.code) || !printableCode(item.enumValue))
          return fail(item, "has an enumeration code that is not four printable characters");
        j["enumType"] = codeText(item.code);
        j["value"] = codeText(item.enumValue);
        break;
      case ps::typeText: j["value"] = item.bytes; break;
      default:
        return fail(item,
                    "has the type \"" + codeText(item.type) + "\", which action files do not hold");
    }
    items.push_back(std::move(j));
  }
  Json root;
  root["descriptor"] = std::move(items);
  try {
    return root.dump(2) + "\n";
  } catch (const Json::exception&) {
    if (error) *error = "a text value is not valid UTF-8";
    return std::nullopt;
  }
}

std::optional<Descriptor> readActionFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot open the action file " + path;
    return std::nullopt;
  }
  std::string text;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, size_t(in.gcount()));
    if (text.size() > kMaxFileBytes) {
      if (error) *error = "the action file " + path + " is larger than 16 MiB";
      return std::nullopt;
    }
  }
  if (in.bad()) {
    if (error) *error = "cannot read the action file " + path;
    return std::nullopt;
  }
  std::string why;
  auto descriptor = parseActionText(text, &why);
  if (!descriptor && error) *error = "the action file " + path + " is damaged: " + why;
  return descriptor;
}

bool writeActionFile(const std::string& path, const Descriptor& descriptor, std::string* error) {
  std::string why;
  auto text = actionText(descriptor, &why);
  if (!text) {
    if (error) *error = "cannot record the settings in " + path + ": " + why;
    return false;
  }
  const Status written = replaceFileContents(path, *text);
  if (!written && error) *error = written.message();
  return written.ok();
}

}  // namespace orichalcumite
