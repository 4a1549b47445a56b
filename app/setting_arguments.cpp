#include "app/setting_arguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "base/text_compare.h"
#include "base/utf8_text.h"
#include "settings/enumerations.h"
#include "settings/parameter_table.h"

namespace orichalcumite {
namespace {

constexpr size_t kMaxPictureNameBytes = 255;

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::string quoted(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out.append(1, '"').append(s).append(1, '"');
  return out;
}

// What the user typed, quoted for a message: a long value is cut, so that the message stays
// one readable line whatever was given.
std::string echoed(std::string_view s) { return quoted(messageExcerpt(s)); }

std::string listOf(const std::vector<std::string>& names) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += i + 1 == names.size() ? " or " : ", ";
    out += quoted(names[i]);
  }
  return out;
}

std::string numberText(double v) {
  if (v == std::floor(v)) return std::to_string(static_cast<long long>(v));
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, end);
}

std::vector<std::string> parameterNames() {
  std::vector<std::string> names;
  for (const ParameterInfo& p : parameterTable()) names.emplace_back(p.name);
  return names;
}

std::vector<std::string> enumerationNames(Enumeration e) {
  std::vector<std::string> names;
  for (const EnumEntry& entry : enumEntries(e)) {
    names.emplace_back(entry.name);
    if (entry.terminologyName && !equalsIgnoringCase(entry.terminologyName, entry.name))
      names.emplace_back(entry.terminologyName);
  }
  return names;
}

std::optional<DescriptorItem> failWith(std::string* error, std::string why) {
  if (error) *error = std::move(why);
  return std::nullopt;
}

}  // namespace

size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> previous(b.size() + 1), current(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const bool same = asciiLower(a[i - 1]) == asciiLower(b[j - 1]);
      current[j] =
          std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
    }
    previous.swap(current);
  }
  return previous[b.size()];
}

std::vector<std::string> closeNames(std::string_view text,
                                    const std::vector<std::string>& candidates, size_t limit) {
  const std::string needle = asciiLowerText(text);
  const size_t allowed = std::max<size_t>(2, text.size() / 3);
  std::vector<std::pair<size_t, std::string>> scored;
  for (const std::string& candidate : candidates) {
    const size_t distance = editDistance(text, candidate);
    const bool contains =
        needle.size() >= 3 && asciiLowerText(candidate).find(needle) != std::string::npos;
    if (distance <= allowed || contains)
      scored.emplace_back(contains ? std::min(distance, allowed) : distance, candidate);
  }
  std::stable_sort(scored.begin(), scored.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<std::string> names;
  for (auto& [distance, name] : scored) {
    if (names.size() == limit) break;
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

std::optional<DescriptorItem> settingItem(std::string_view assignment, std::string* error) {
  const size_t equals = assignment.find('=');
  if (equals == std::string_view::npos)
    return failWith(error, "a setting must be given as NAME=VALUE, not " + echoed(assignment));
  const std::string_view name = trim(assignment.substr(0, equals));
  const std::string_view value = trim(assignment.substr(equals + 1));
  const ParameterInfo* p = parameterByName(name);
  if (!p) {
    const std::vector<std::string> close = closeNames(name, parameterNames());
    std::string why = "unknown setting " + echoed(name);
    why += close.empty() ? " (\"orichalcumite info\" lists every setting)"
                         : "; did you mean " + listOf(close) + "?";
    return failWith(error, why);
  }
  const std::string label = quoted(p->name);
  const std::string range = numberText(p->minimum) + " to " + numberText(p->maximum);

  switch (p->kind) {
    case ParameterKind::integer:
    case ParameterKind::colourChannel: {
      int64_t v = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
      const bool whole = !value.empty() && end == value.data() + value.size();
      // A whole number too long for 64 bits is still a whole number, just far out of range.
      if (whole && ec == std::errc::result_out_of_range)
        return failWith(
            error, label + " is out of range: it must be from " + range + ", not " + echoed(value));
      if (!whole || ec != std::errc())
        return failWith(error,
                        label + " takes a whole number from " + range + ", not " + echoed(value));
      if (double(v) < p->minimum || double(v) > p->maximum)
        return failWith(error, label + " must be from " + range + ", not " + echoed(value));
      return DescriptorItem::integerItem(p->key, static_cast<int32_t>(v));
    }
    case ParameterKind::lightComponent: {
      double v = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
      const bool number = !value.empty() && end == value.data() + value.size();
      if (number && ec == std::errc::result_out_of_range)
        return failWith(
            error, label + " is out of range: it must be from " + range + ", not " + echoed(value));
      if (!number || ec != std::errc() || !std::isfinite(v))
        return failWith(error, label + " takes a number from " + range + ", not " + echoed(value));
      if (v < p->minimum || v > p->maximum)
        return failWith(error, label + " must be from " + range + ", not " + echoed(value));
      return DescriptorItem::floatItem(p->key, v);
    }
    case ParameterKind::boolean: {
      const std::string v = asciiLowerText(value);
      if (v == "true" || v == "1") return DescriptorItem::booleanItem(p->key, true);
      if (v == "false" || v == "0") return DescriptorItem::booleanItem(p->key, false);
      return failWith(error, label + " takes true, false, 1 or 0, not " + echoed(value));
    }
    case ParameterKind::enumerated: {
      // A whole number is an index, as `orichalcumite info` lists them. No name or code of
      // any enumeration is a number, so nothing else is shadowed.
      int64_t number = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
      if (!value.empty() && end == value.data() + value.size() &&
          (ec == std::errc() || ec == std::errc::result_out_of_range)) {
        const auto count = static_cast<int64_t>(enumEntries(p->enumeration).size());
        if (ec != std::errc() || number < 1 || number > count)
          return failWith(error, label + " takes a choice from 1 to " + std::to_string(count) +
                                     " or its name, not " + echoed(value));
        return DescriptorItem::enumItem(
            p->key, enumTypeCode(p->enumeration),
            enumCodeFromIndex(static_cast<int>(number), p->enumeration));
      }
      const int index = enumIndexFromText(p->enumeration, value);
      const uint32_t code = index > 0 ? enumCodeFromIndex(index, p->enumeration) : 0;
      if (index <= 0 || code == fourCC("<NO>")) {
        const std::vector<std::string> close = closeNames(value, enumerationNames(p->enumeration));
        std::string why = label + " has no choice " + echoed(value);
        why += close.empty() ? " (\"orichalcumite info\" lists the choices)"
                             : "; did you mean " + listOf(close) + "?";
        return failWith(error, why);
      }
      return DescriptorItem::enumItem(p->key, enumTypeCode(p->enumeration), code);
    }
    case ParameterKind::pictureName: {
      if (value.size() > kMaxPictureNameBytes || value.find('\0') != std::string_view::npos)
        return failWith(error, label + " takes a file name of at most 255 bytes");
      // Whatever goes into a descriptor must come out of it into an action file, which holds
      // UTF-8 only.
      if (!isUtf8(value))
        return failWith(error, label + " takes a file name in UTF-8, not " + echoed(value));
      return DescriptorItem::textItem(p->key, std::string(value));
    }
  }
  return failWith(error, "the setting " + label + " cannot be given on the command line");
}

}  // namespace orichalcumite
