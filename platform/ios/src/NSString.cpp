#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"

NSString* NSString::intern(std::string_view text) {
  static NSMutableDictionary* const table = NSMutableDictionary::dictionary().leak();
  Retained<NSString> candidate = stringWithUTF8String(text);
  if (!candidate) return nullptr;
  objc_sync_enter(table);
  auto* kept = static_cast<NSString*>(table->objectForKey(candidate.get()));
  if (!kept) {
    table->setObject_forKey(candidate.get(), candidate.get());
    kept = candidate.get();
  }
  objc_sync_exit(table);
  return kept;
}
