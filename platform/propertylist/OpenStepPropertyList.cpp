#include "platform/propertylist/OpenStepPropertyList.h"

#include "platform/propertylist/PropertyListText.h"

#include <fmt/format.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace foundation {
namespace {

using Type = PropertyListValue::Type;

// Containers hold their items as values or as shared values, as the format's
// header declares them; both are filled the same way here.
template <class Items>
void appendItem(Items& items, PropertyListValue item) {
  if constexpr (std::is_same_v<typename Items::value_type, PropertyListValue>) items.push_back(std::move(item));
  else items.push_back(std::make_shared<const PropertyListValue>(std::move(item)));
}

template <class Result = ParsedPropertyList>
Result parsed(PropertyListValue value) {
  Result result;
  using Held = decltype(result.value);
  if constexpr (std::is_same_v<Held, std::optional<PropertyListValue>>) result.value = std::move(value);
  else result.value = std::make_shared<const PropertyListValue>(std::move(value));
  return result;
}

bool isValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    std::uint32_t code = length == 1 ? byte : byte & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr std::uint32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < shortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

/// The characters a string may have without quotes.
bool isBare(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         c == '/' || c == ':' || c == '.' || c == '-';
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Parser {
 public:
  Parser(std::string_view text, const PropertyListLimits& limits) : text_(text), limits_(limits) {}

  /// The text as one value, or, as the platform falls back to, as the content of a dictionary.
  ParsedPropertyList parse() {
    auto whole = run(false);
    if (whole.value) return whole;
    position_ = 0;
    objects_ = 0;
    auto content = run(true);
    // Text of white space and comments alone is no dictionary.
    bool holdsKeys = content.value && !content.value->keys.empty();
    return holdsKeys ? std::move(content) : std::move(whole);
  }

 private:
  enum class State { Value, ArrayItem, AfterArrayItem, DictionaryKey, AfterKey, AfterDictionaryValue, End };

  struct Frame {
    PropertyListValue container;
    std::string key;
  };

  ParsedPropertyList run(bool braceless) {
    reason_.clear();
    std::vector<Frame> stack;
    std::optional<PropertyListValue> result;
    State state = State::Value;
    if (braceless) {
      stack.push_back({});
      state = State::DictionaryKey;
    }
    // A finished value goes into the open container, or is the result.
    auto finish = [&](PropertyListValue value) {
      if (stack.empty()) {
        result = std::move(value);
        state = State::End;
      } else if (stack.back().container.type == Type::Array) {
        appendItem(stack.back().container.items, std::move(value));
        state = State::AfterArrayItem;
      } else {
        stack.back().container.keys.push_back(std::move(stack.back().key));
        appendItem(stack.back().container.items, std::move(value));
        state = State::AfterDictionaryValue;
      }
    };
    auto close = [&] {
      PropertyListValue done = std::move(stack.back().container);
      stack.pop_back();
      finish(std::move(done));
    };
    for (;;) {
      if (!skipSpaceAndComments()) return failed();
      bool atEnd = position_ >= text_.size();
      char c = atEnd ? '\0' : text_[position_];
      switch (state) {
        case State::End:
          if (!atEnd) return fail("more follows the value");
          return parsed(std::move(*result));
        case State::ArrayItem:
          if (c == ')') {
            ++position_;
            close();
            break;
          }
          [[fallthrough]];
        case State::Value: {
          if (atEnd) return fail("a value is missing");
          if (c == '(' || c == '{') {
            if (stack.size() >= limits_.maxDepth)
              return fail(fmt::format("it is nested deeper than {} levels", limits_.maxDepth));
            if (!countValue()) return failed();
            ++position_;
            stack.push_back({});
            stack.back().container.type = c == '(' ? Type::Array : Type::Dictionary;
            state = c == '(' ? State::ArrayItem : State::DictionaryKey;
            break;
          }
          PropertyListValue value;
          if (!scalar(value)) return failed();
          finish(std::move(value));
          break;
        }
        case State::AfterArrayItem:
          if (c == ',') {
            ++position_;
            state = State::ArrayItem;
          } else if (c == ')') {
            ++position_;
            close();
          } else {
            return fail("',' or ')' is missing after an item of an array");
          }
          break;
        case State::DictionaryKey: {
          if (braceless && stack.size() == 1 && atEnd) {
            close();
            break;
          }
          if (c == '}' && !(braceless && stack.size() == 1)) {
            ++position_;
            close();
            break;
          }
          PropertyListValue key;
          if (atEnd) return fail("'}' is missing at the end of a dictionary");
          if (c != '"' && !isBare(c)) return fail("a dictionary's key is missing");
          if (!scalar(key)) return failed();
          stack.back().key = std::move(key.text);
          state = State::AfterKey;
          break;
        }
        case State::AfterKey:
          if (c != '=') return fail(fmt::format("'=' is missing after the key \"{}\"", stack.back().key));
          ++position_;
          state = State::Value;
          break;
        case State::AfterDictionaryValue:
          if (c != ';') return fail(fmt::format("';' is missing after the value of \"{}\"", stack.back().container.keys.back()));
          ++position_;
          state = State::DictionaryKey;
          break;
      }
    }
  }

  bool countValue() {
    if (++objects_ <= limits_.maxObjects) return true;
    failAt(fmt::format("it holds more than {} values", limits_.maxObjects));
    return false;
  }

  /// A string or data value at the position.
  bool scalar(PropertyListValue& value) {
    if (!countValue()) return false;
    char c = text_[position_];
    if (c == '"') return quoted(value);
    if (c == '<') return data(value);
    if (!isBare(c)) {
      failAt(fmt::format("'{}' begins no value", c));
      return false;
    }
    std::size_t start = position_;
    while (position_ < text_.size() && isBare(text_[position_])) ++position_;
    value.type = Type::String;
    value.text = std::string(text_.substr(start, position_ - start));
    return true;
  }

  bool quoted(PropertyListValue& value) {
    value.type = Type::String;
    std::size_t start = position_++;
    std::uint32_t pendingHigh = 0;  // a UTF-16 high surrogate waiting for its low half
    auto flush = [&] {
      if (pendingHigh) appendUtf8(value.text, 0xFFFD);
      pendingHigh = 0;
    };
    while (position_ < text_.size()) {
      char c = text_[position_++];
      if (c == '"') {
        flush();
        return true;
      }
      if (c != '\\') {
        flush();
        if (c == '\0') return failAt("a string holds a NUL character"), false;
        value.text += c;
        continue;
      }
      if (position_ >= text_.size()) break;
      char escaped = text_[position_++];
      if (static_cast<unsigned char>(escaped) >= 0x80) {  // an escaped character beyond ASCII is itself
        flush();
        value.text += escaped;
        continue;
      }
      std::uint32_t code = 0;
      // Octal escapes are taken as Latin-1, where the platform maps them through NeXTSTEP's encoding.
      if (escaped >= '0' && escaped <= '7') {
        code = static_cast<std::uint32_t>(escaped - '0');
        for (int digits = 1; digits < 3 && position_ < text_.size() && text_[position_] >= '0' && text_[position_] <= '7';
             ++digits)
          code = code * 8 + static_cast<std::uint32_t>(text_[position_++] - '0');
      } else if (escaped == 'U') {
        int digits = 0;
        while (digits < 4 && position_ < text_.size() && hexDigit(text_[position_]) >= 0)
          code = code * 16 + static_cast<std::uint32_t>(hexDigit(text_[position_++])), ++digits;
        if (digits == 0) return failAt("\\U is followed by no hexadecimal digit"), false;
      } else {
        static constexpr std::string_view from = "abfnrtv", to = "\a\b\f\n\r\t\v";
        auto found = from.find(escaped);
        code = static_cast<unsigned char>(found == std::string_view::npos ? escaped : to[found]);
      }
      if (code >= 0xDC00 && code <= 0xDFFF && pendingHigh) {
        appendUtf8(value.text, 0x10000 + ((pendingHigh - 0xD800) << 10) + (code - 0xDC00));
        pendingHigh = 0;
        continue;
      }
      flush();
      if (code == 0) return failAt("a string holds a NUL character"), false;
      if (code >= 0xD800 && code <= 0xDBFF) pendingHigh = code;
      else appendUtf8(value.text, code >= 0xDC00 && code <= 0xDFFF ? 0xFFFD : code);
    }
    position_ = start;
    failAt("a string's closing quote is missing");
    return false;
  }

  bool data(PropertyListValue& value) {
    value.type = Type::Data;
    std::size_t start = position_++;
    int high = -1;
    while (position_ < text_.size()) {
      char c = text_[position_++];
      if (c == '>') {
        if (high >= 0) return failAt("data holds an odd number of hexadecimal digits"), false;
        return true;
      }
      if (isSpace(c)) continue;
      int digit = hexDigit(c);
      if (digit < 0) return failAt(fmt::format("data holds '{}', which is no hexadecimal digit", c)), false;
      if (high < 0) {
        high = digit;
      } else {
        value.text += static_cast<char>(high * 16 + digit);
        high = -1;
      }
    }
    position_ = start;
    failAt("data's closing '>' is missing");
    return false;
  }

  bool skipSpaceAndComments() {
    while (position_ < text_.size()) {
      if (isSpace(text_[position_])) {
        ++position_;
      } else if (text_.substr(position_).starts_with("//")) {
        auto end = text_.find('\n', position_);
        position_ = end == std::string_view::npos ? text_.size() : end + 1;
      } else if (text_.substr(position_).starts_with("/*")) {
        auto end = text_.find("*/", position_ + 2);
        if (end == std::string_view::npos) {
          failAt("a comment is not closed");
          return false;
        }
        position_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  void failAt(std::string what) {
    auto line = 1 + std::count(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(std::min(position_, text_.size())), '\n');
    reason_ = fmt::format("line {}: {}", line, what);
  }
  ParsedPropertyList fail(std::string what) {
    failAt(std::move(what));
    return failed();
  }
  ParsedPropertyList failed() {
    ParsedPropertyList result;
    result.reason = reason_;
    return result;
  }

  std::string_view text_;
  const PropertyListLimits& limits_;
  std::size_t position_ = 0;
  std::size_t objects_ = 0;
  std::string reason_;
};

}  // namespace

bool isOpenStepPropertyList(std::string_view text) {
  auto first = std::find_if_not(text.begin(), text.end(), isSpace);
  return first == text.end() || *first != '<';
}

ParsedPropertyList parseOpenStepPropertyList(std::string_view text, const PropertyListLimits& limits) {
  if (text.size() > limits.maxBytes) {
    ParsedPropertyList refused;
    refused.reason = fmt::format("it is larger than {} bytes", limits.maxBytes);
    return refused;
  }
  if (!isValidUtf8(text)) {
    ParsedPropertyList refused;
    refused.reason = "it is not valid UTF-8";
    return refused;
  }
  return Parser(text, limits).parse();
}

}  // namespace foundation
