// The property-list reader and writer's side of the check against Python's
// plistlib (PlistlibCheck.py), each value in a plain JSON form both sides make:
//   property-list-corpus write COUNT SEED   one line for each of COUNT values:
//       {"value": its form (dates in whole seconds, as written), "plist": our
//       XML of it, or null where the writer refuses it}
//   property-list-corpus read               for each list on standard input (its
//       length in decimal, a line feed, its bytes), one line: {"value": ...} or
//       {"refused": reason}
#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <string>

#include "platform/propertylist/PropertyListFormat.h"
#include "platform/propertylist/PropertyListText.h"

namespace {

using foundation::PropertyListValue;
using Type = PropertyListValue::Type;
using nlohmann::json;

enum class Dates { AsHeld, AsWritten };

json plain(const PropertyListValue& value, Dates dates) {
  switch (value.type) {
    case Type::Boolean: return {{"bool", value.boolean}};
    case Type::Integer:
      return {{"integer", value.isUnsigned ? std::to_string(value.integer)
                                           : std::to_string(static_cast<std::int64_t>(value.integer))}};
    case Type::Real: {
      if (std::isnan(value.real)) return {{"real", "nan"}};
      std::uint64_t bits;
      std::memcpy(&bits, &value.real, sizeof bits);
      return {{"real", fmt::format("{:016x}", bits)}};
    }
    case Type::String: return {{"string", value.text}};
    case Type::Data: {
      std::string hex;
      for (char c : value.text) hex += fmt::format("{:02x}", static_cast<unsigned char>(c));
      return {{"data", hex}};
    }
    case Type::Date: {
      double seconds = dates == Dates::AsWritten ? std::floor(value.real) : value.real;
      return {{"date", seconds == std::floor(seconds) ? std::to_string(static_cast<std::int64_t>(seconds))
                                                      : fmt::format("{}", seconds)}};
    }
    case Type::Array: {
      json items = json::array();
      for (auto& item : value.items) items.push_back(plain(*item, dates));
      return {{"array", items}};
    }
    case Type::Dictionary: {
      json entries = json::array();
      for (std::size_t i = 0; i < value.items.size(); ++i)
        entries.push_back(json::array({value.keys[i], plain(value.item(i), dates)}));
      return {{"dict", entries}};
    }
  }
  return nullptr;
}

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  PropertyListValue value(int depth) {
    PropertyListValue value;
    switch (below(depth < 3 ? 8 : 6)) {
      case 0:
        value.type = Type::Boolean;
        value.boolean = below(2);
        break;
      case 1:
        value.type = Type::Integer;
        value.integer = random_();
        value.isUnsigned = below(4) == 0 && value.integer > std::uint64_t{INT64_MAX};
        if (below(2)) value.integer %= 1000;
        break;
      case 2: {
        value.type = Type::Real;
        static constexpr double specials[] = {0.0, -0.0, 0.1, 1e300, -2.5e-300, 5e-324,
                                              std::numeric_limits<double>::infinity(),
                                              -std::numeric_limits<double>::infinity(),
                                              std::numeric_limits<double>::quiet_NaN()};
        if (below(2)) {
          value.real = specials[below(std::size(specials))];
        } else {
          std::uint64_t bits = random_();
          std::memcpy(&value.real, &bits, sizeof bits);
          if (!std::isfinite(value.real)) value.real = 1.5;
        }
        break;
      }
      case 3:
        value.type = Type::Date;
        // Years 1 to 9999, in whole seconds or not.
        value.real = std::uniform_real_distribution<double>(-63113904000.0, 252423993599.0)(random_);
        if (below(2)) value.real = std::floor(value.real);
        break;
      case 4:
        value.type = Type::Data;
        for (std::size_t i = below(40); i > 0; --i) value.text += static_cast<char>(below(256));
        break;
      case 5:
        value.type = Type::String;
        value.text = text();
        break;
      case 6:
        value.type = Type::Array;
        for (std::size_t i = below(5); i > 0; --i) value.append(this->value(depth + 1));
        break;
      default: {
        value.type = Type::Dictionary;
        std::set<std::string> keys;
        for (std::size_t i = below(5); i > 0; --i)
          if (std::string key = text(); keys.insert(key).second) value.append(key, this->value(depth + 1));
      }
    }
    return value;
  }

 private:
  std::size_t below(std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_); }

  std::string text() {
    // Mostly what XML carries, markup and line ends among it; now and then what it cannot.
    static constexpr std::uint32_t common[] = {'a', 'Z', '0', ' ', '<', '>', '&', '"', '\'', ']', '\t', '\n', '\r',
                                               0xE9, 0x20AC, 0x1F514, 0xFFFD, 0xD7FF, 0xE000, 0x10FFFF, 0x85, 0x2028};
    static constexpr std::uint32_t refused[] = {0x01, 0x08, 0x0B, 0x0C, 0x1B, 0x1F, 0xFFFE, 0xFFFF};
    std::string out;
    for (std::size_t i = below(12); i > 0; --i)
      foundation::appendUtf8(out, below(60) == 0 ? refused[below(std::size(refused))] : common[below(std::size(common))]);
    return out;
  }

  std::mt19937_64 random_;
};

int write(int count, unsigned seed) {
  Generator generator(seed);
  for (int i = 0; i < count; ++i) {
    PropertyListValue value = generator.value(0);
    auto written = foundation::writeXmlPropertyList(value);
    json line = {{"value", plain(value, Dates::AsWritten)}, {"plist", written ? json(*written) : json(nullptr)}};
    std::cout << line.dump() << '\n';
  }
  return 0;
}

int read() {
  for (std::size_t length; std::cin >> length && std::cin.get() == '\n';) {
    std::string bytes(length, '\0');
    if (!std::cin.read(bytes.data(), static_cast<std::streamsize>(length))) return 1;
    auto parsed = foundation::parsePropertyList(bytes, {});
    json line = parsed.value ? json{{"value", plain(*parsed.value, Dates::AsHeld)}} : json{{"refused", parsed.reason}};
    std::cout << line.dump() << '\n';
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "write" && argc == 4) return write(std::stoi(argv[2]), static_cast<unsigned>(std::stoul(argv[3])));
  if (command == "read" && argc == 2) return read();
  std::cerr << "usage: property-list-corpus write COUNT SEED | read\n";
  return 2;
}
