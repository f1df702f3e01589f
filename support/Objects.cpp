#include "support/Objects.h"

#include "platform/foundation/NSDictionary.h"

namespace orvane {

NSString* constantString(std::string_view text) {
  static NSMutableDictionary* const table = NSMutableDictionary::dictionary().leak();
  Retained<NSString> candidate = NSString::stringWithUTF8String(text);
  if (!candidate) return nullptr;
  // Any thread may ask; the first to add a text keeps it.
  objc_sync_enter(table);
  auto* kept = static_cast<NSString*>(table->objectForKey(candidate.get()));
  if (!kept) {
    table->setObject_forKey(candidate.get(), candidate.get());
    kept = candidate.get();
  }
  objc_sync_exit(table);
  return kept;
}

std::string utf8(const NSString* text) {
  const char* bytes = text ? text->UTF8String() : nullptr;
  return bytes ? std::string(bytes) : std::string();
}

std::string describe(const objc_object* object) {
  NSString* description = object ? static_cast<const NSObject*>(object)->description() : nullptr;
  return description ? utf8(description) : std::string("(null)");
}

}  // namespace orvane
