#include "platform/foundation/PropertyListDescription.h"

#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"

#include <map>
#include <vector>

namespace foundation {
namespace {

std::string quoted(const std::string& text) {
  bool plain = !text.empty();
  for (unsigned char c : text)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
          c == '$' || c == '/' || c == ':'))
      plain = false;
  if (plain) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string describeNested(const objc_object* value, int level) {
  // One buffer, one pass, and an explicit stack: a value nested thousands
  // deep costs its size, not its size times its depth.
  struct Frame {
    const NSArray* array;
    const NSDictionary* dictionary;
    std::map<std::string, Retained<objc_object>>::const_iterator next;
    std::size_t index;
    int level;
  };
  std::string out;
  std::vector<Frame> stack;
  auto indent = [&](int depth) { out.append(static_cast<std::size_t>(depth) * 4, ' '); };
  // Writes an item; a container is opened and left on the stack to fill.
  auto open = [&](const objc_object* item, int depth) {
    if (auto* array = dynamic_cast<const NSArray*>(item)) {
      out += "(\n";
      stack.push_back({array, nullptr, {}, 0, depth});
      return true;
    }
    if (auto* dictionary = dynamic_cast<const NSDictionary*>(item)) {
      out += "{\n";
      stack.push_back({nullptr, dictionary, dictionary->entries().begin(), 0, depth});
      return true;
    }
    if (auto* string = dynamic_cast<const NSString*>(item); string && depth > 0) out += quoted(string->utf8());
    else out += describe(item);
    return false;
  };
  auto separator = [](const Frame& frame) -> const char* {
    if (frame.dictionary) return ";\n";
    return frame.index < frame.array->count() ? ",\n" : "\n";
  };
  open(value, level);
  while (!stack.empty() && out.size() <= descriptionMaximumLength) {
    Frame& frame = stack.back();
    int depth = frame.level;
    const objc_object* item = nullptr;
    if (frame.array && frame.index < frame.array->count()) {
      item = frame.array->objects()[frame.index++].get();
      indent(depth + 1);
    } else if (frame.dictionary && frame.next != frame.dictionary->entries().end()) {
      indent(depth + 1);
      out += quoted(frame.next->first) + " = ";
      item = (frame.next++)->second.get();
    } else {
      indent(depth);
      out += frame.array ? ")" : "}";
      stack.pop_back();
      if (!stack.empty()) out += separator(stack.back());
      continue;
    }
    const char* after = separator(frame);
    if (!open(item, depth + 1)) out += after;
  }
  if (out.size() > descriptionMaximumLength) {
    out.resize(descriptionMaximumLength);
    out += "...";
  }
  return out;
}

}  // namespace foundation
