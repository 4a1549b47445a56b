#include "app/enable_expression.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <vector>

#include "base/text_compare.h"

namespace orichalcumite {
namespace {

struct NamedValue {
  const char* name;
  int value;
};

constexpr NamedValue kModeNames[] = {
    {"BitmapMode", 0},       {"GrayScaleMode", 1}, {"IndexedMode", 2}, {"IndexedColorMode", 2},
    {"RGBMode", 3},          {"CMYKMode", 4},      {"HSLMode", 5},     {"HSBMode", 6},
    {"MultichannelMode", 7}, {"DuotoneMode", 8},   {"LabMode", 9},     {"Gray16Mode", 10},
    {"RGB48Mode", 11},       {"Lab48Mode", 12},    {"CMYK64Mode", 13}, {"DeepMultichannelMode", 14},
    {"Duotone16Mode", 15},   {"RGB96Mode", 16},    {"Gray32Mode", 17},
};

// Recursion limit for nested parentheses and negations.
constexpr int kMaxDepth = 64;

class Evaluator {
 public:
  Evaluator(std::string_view text, const EnableContext& context) : text_(text), context_(context) {}

  std::optional<bool> run(std::string* error) {
    std::optional<int64_t> value = orExpression(0);
    skipSpace();
    if (value && pos_ != text_.size())
      fail("unexpected text at \"" + std::string(text_.substr(pos_, 20)) + "\"");
    if (!error_.empty()) {
      if (error) *error = error_;
      return std::nullopt;
    }
    return *value != 0;
  }

 private:
  void fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
  }

  void skipSpace() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }

  bool accept(std::string_view token) {
    skipSpace();
    if (text_.substr(pos_, token.size()) != token) return false;
    pos_ += token.size();
    return true;
  }

  std::string_view identifier() {
    skipSpace();
    const size_t start = pos_;
    while (pos_ < text_.size() &&
           (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
      ++pos_;
    return text_.substr(start, pos_ - start);
  }

  std::optional<int64_t> orExpression(int depth) {
    std::optional<int64_t> left = andExpression(depth);
    while (left && accept("||")) {
      std::optional<int64_t> right = andExpression(depth);
      if (!right) return std::nullopt;
      left = (*left != 0 || *right != 0) ? 1 : 0;
    }
    return left;
  }

  std::optional<int64_t> andExpression(int depth) {
    std::optional<int64_t> left = unary(depth);
    while (left && accept("&&")) {
      std::optional<int64_t> right = unary(depth);
      if (!right) return std::nullopt;
      left = (*left != 0 && *right != 0) ? 1 : 0;
    }
    return left;
  }

  std::optional<int64_t> unary(int depth) {
    if (depth > kMaxDepth) {
      fail("the expression is nested too deeply");
      return std::nullopt;
    }
    skipSpace();
    if (text_.substr(pos_, 2) != "!=" && accept("!")) {
      std::optional<int64_t> v = unary(depth + 1);
      if (!v) return std::nullopt;
      return *v == 0 ? 1 : 0;
    }
    return comparison(depth);
  }

  std::optional<int64_t> comparison(int depth) {
    std::optional<int64_t> left = primary(depth);
    if (!left) return std::nullopt;
    static constexpr std::string_view kOperators[] = {"==", "!=", "<=", ">=", "<", ">"};
    for (std::string_view op : kOperators) {
      if (!accept(op)) continue;
      std::optional<int64_t> right = primary(depth);
      if (!right) return std::nullopt;
      if (op == "==") return *left == *right;
      if (op == "!=") return *left != *right;
      if (op == "<=") return *left <= *right;
      if (op == ">=") return *left >= *right;
      if (op == "<") return *left < *right;
      return *left > *right;
    }
    return left;
  }

  std::optional<int64_t> primary(int depth) {
    skipSpace();
    if (accept("(")) {
      std::optional<int64_t> v = orExpression(depth + 1);
      if (!v) return std::nullopt;
      if (!accept(")")) {
        fail("a \")\" is missing");
        return std::nullopt;
      }
      return v;
    }
    if (pos_ < text_.size() &&
        (std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '-'))
      return number();
    const size_t start = pos_;
    std::string_view name = identifier();
    if (name.empty()) {
      fail(pos_ < text_.size() ? "unexpected \"" + std::string(1, text_[pos_]) + "\""
                               : std::string("the expression ends too early"));
      return std::nullopt;
    }
    if (equalsIgnoringCase(name, "in")) {
      if (accept("(")) return inList(depth);
      pos_ = start;
      fail("\"in\" must be followed by a list in parentheses");
      return std::nullopt;
    }
    return named(name);
  }

  std::optional<int64_t> inList(int depth) {
    std::optional<int64_t> subject = orExpression(depth + 1);
    if (!subject) return std::nullopt;
    bool found = false;
    while (accept(",")) {
      std::optional<int64_t> candidate = orExpression(depth + 1);
      if (!candidate) return std::nullopt;
      found = found || *candidate == *subject;
    }
    if (!accept(")")) {
      fail("a \")\" is missing after an \"in\" list");
      return std::nullopt;
    }
    return found ? 1 : 0;
  }

  std::optional<int64_t> number() {
    skipSpace();
    int64_t v = 0;
    const char* begin = text_.data() + pos_;
    const char* end = text_.data() + text_.size();
    auto [next, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc()) {
      fail("a number cannot be read");
      return std::nullopt;
    }
    pos_ += size_t(next - begin);
    return v;
  }

  std::optional<int64_t> named(std::string_view name) {
    if (equalsIgnoringCase(name, "PSHOP_ImageMode")) return context_.imageMode;
    if (equalsIgnoringCase(name, "PSHOP_ImageDepth")) return context_.depth;
    if (equalsIgnoringCase(name, "true")) return 1;
    if (equalsIgnoringCase(name, "false")) return 0;
    for (const NamedValue& mode : kModeNames)
      if (equalsIgnoringCase(name, mode.name)) return mode.value;
    fail("the name \"" + std::string(name) + "\" is not known to this host");
    return std::nullopt;
  }

  std::string_view text_;
  const EnableContext& context_;
  size_t pos_ = 0;
  std::string error_;
};

}  // namespace

std::optional<bool> evaluateEnableExpression(std::string_view text, const EnableContext& context,
                                             std::string* error) {
  return Evaluator(text, context).run(error);
}

}  // namespace orichalcumite
