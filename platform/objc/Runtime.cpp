#include <fmt/format.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/objc/message.h"
#include "platform/objc/runtime.h"

struct objc_selector {
  std::string name;
};

struct objc_method {
  SEL name;
  std::atomic<IMP> implementation;
  std::string types;
  /// The encoding without offsets and qualifiers, as sends are checked against.
  std::string bareTypes;
};

struct objc_class {
  std::string name;
  Class superclass = nullptr;
  objc_allocator allocator = nullptr;
  bool registered = false;
  std::unordered_map<SEL, Method> methods;
  /// Methods found along the chain, by selector. Emptied on every change of a method table.
  std::unordered_map<SEL, Method> cache;
};

namespace {

struct Runtime {
  std::shared_mutex mutex;
  std::unordered_map<std::string, Class> classes;
  std::mutex selectorMutex;
  std::unordered_map<std::string, std::unique_ptr<objc_selector>> selectors;
};

Runtime& runtime() {
  static Runtime* instance = new Runtime;  // outlives every static destructor that may still send
  return *instance;
}

std::string bareEncoding(const char* types) {
  std::string bare;
  for (const char* c = types ? types : ""; *c; ++c) {
    if ((*c >= '0' && *c <= '9') || *c == 'r' || *c == 'n' || *c == 'N' || *c == 'o' || *c == 'O' || *c == 'R' ||
        *c == 'V')
      continue;
    if (*c == '^') {  // every pointer to a non-object compares as "^"
      bare += '^';
      while (c[1] == '^') ++c;
      if (c[1]) ++c;
      continue;
    }
    bare += *c;
  }
  return bare;
}

void flushCaches(Runtime& state) {
  for (auto& [name, cls] : state.classes) cls->cache.clear();
}

Method findMethodLocked(Class cls, SEL selector) {
  for (Class current = cls; current; current = current->superclass) {
    auto found = current->methods.find(selector);
    if (found != current->methods.end()) return found->second;
  }
  return nullptr;
}

Method lookUpMethod(Class cls, SEL selector) {
  Runtime& state = runtime();
  {
    std::shared_lock lock(state.mutex);
    auto cached = cls->cache.find(selector);
    if (cached != cls->cache.end()) return cached->second;
  }
  std::unique_lock lock(state.mutex);
  Method method = findMethodLocked(cls, selector);
  if (method) cls->cache.emplace(selector, method);
  return method;
}

Method addMethodLocked(Class cls, SEL selector, IMP implementation, const char* types) {
  auto* method = new objc_method{selector, {implementation}, types ? types : "", bareEncoding(types)};
  cls->methods.emplace(selector, method);
  flushCaches(runtime());
  return method;
}

}  // namespace

std::string objc_object::description() const {
  return fmt::format("<{}: {}>", isa ? isa->name : "?", static_cast<const void*>(this));
}

extern "C" {

Class objc_getClass(const char* name) {
  if (!name) return nullptr;
  Runtime& state = runtime();
  std::shared_lock lock(state.mutex);
  auto found = state.classes.find(name);
  return found == state.classes.end() || !found->second->registered ? nullptr : found->second;
}

Class objc_allocateClassPair(Class superclass, const char* name, size_t) {
  if (!name) return nullptr;
  Runtime& state = runtime();
  std::unique_lock lock(state.mutex);
  if (state.classes.count(name)) return nullptr;
  Class cls = new objc_class;
  cls->name = name;
  cls->superclass = superclass;
  state.classes.emplace(name, cls);
  return cls;
}

void objc_registerClassPair(Class cls) {
  if (!cls) return;
  std::unique_lock lock(runtime().mutex);
  cls->registered = true;
}

const char* class_getName(Class cls) { return cls ? cls->name.c_str() : "nil"; }

Class class_getSuperclass(Class cls) { return cls ? cls->superclass : nullptr; }

BOOL class_addMethod(Class cls, SEL name, IMP implementation, const char* types) {
  if (!cls || !name || !implementation) return NO;
  std::unique_lock lock(runtime().mutex);
  if (cls->methods.count(name)) return NO;
  addMethodLocked(cls, name, implementation, types);
  return YES;
}

IMP class_replaceMethod(Class cls, SEL name, IMP implementation, const char* types) {
  if (!cls || !name || !implementation) return nullptr;
  std::unique_lock lock(runtime().mutex);
  auto found = cls->methods.find(name);
  if (found == cls->methods.end()) {
    addMethodLocked(cls, name, implementation, types);
    return nullptr;
  }
  return found->second->implementation.exchange(implementation);
}

Method class_getInstanceMethod(Class cls, SEL name) {
  if (!cls || !name) return nullptr;
  return lookUpMethod(cls, name);
}

Method class_getOwnMethod(Class cls, SEL name) {
  if (!cls || !name) return nullptr;
  std::shared_lock lock(runtime().mutex);
  auto found = cls->methods.find(name);
  return found == cls->methods.end() ? nullptr : found->second;
}

IMP class_getMethodImplementation(Class cls, SEL name) {
  Method method = class_getInstanceMethod(cls, name);
  return method ? method->implementation.load() : nullptr;
}

BOOL class_respondsToSelector(Class cls, SEL name) { return class_getInstanceMethod(cls, name) != nullptr; }

BOOL class_isSubclassOf(Class cls, Class ancestor) {
  for (Class current = cls; current; current = current->superclass)
    if (current == ancestor) return YES;
  return NO;
}

id class_createInstance(Class cls, size_t) {
  objc_allocator allocator = nullptr;
  {
    std::shared_lock lock(runtime().mutex);
    for (Class current = cls; current && !allocator; current = current->superclass) allocator = current->allocator;
  }
  if (!allocator) throw NSInvalidArgumentException(fmt::format("+[{} alloc]: the class has no allocator", class_getName(cls)));
  return allocator(cls);
}

SEL method_getName(Method method) { return method ? method->name : nullptr; }

IMP method_getImplementation(Method method) { return method ? method->implementation.load() : nullptr; }

IMP method_setImplementation(Method method, IMP implementation) {
  if (!method || !implementation) return nullptr;
  return method->implementation.exchange(implementation);
}

const char* method_getTypeEncoding(Method method) { return method ? method->types.c_str() : nullptr; }

SEL sel_registerName(const char* name) {
  if (!name) return nullptr;
  Runtime& state = runtime();
  std::lock_guard lock(state.selectorMutex);
  auto& slot = state.selectors[name];
  if (!slot) slot.reset(new objc_selector{name});
  return slot.get();
}

const char* sel_getName(SEL selector) { return selector ? selector->name.c_str() : "<null selector>"; }

Class object_getClass(id object) { return object ? object->isa : nullptr; }

const char* object_getClassName(id object) { return class_getName(object_getClass(object)); }

id objc_retain(id object) {
  if (object && object->retainCount.load(std::memory_order_relaxed) >= 0)
    object->retainCount.fetch_add(1, std::memory_order_relaxed);
  return object;
}

void objc_release(id object) {
  if (!object || object->retainCount.load(std::memory_order_relaxed) < 0) return;
  if (object->retainCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete object;
}

namespace {
thread_local std::vector<id>* autoreleased = nullptr;
}

id objc_autorelease(id object) {
  if (object && autoreleased) autoreleased->push_back(object);
  return object;
}

void* objc_autoreleasePoolPush(void) {
  if (!autoreleased) autoreleased = new std::vector<id>;
  return reinterpret_cast<void*>(autoreleased->size() + 1);
}

void objc_autoreleasePoolPop(void* pool) {
  if (!autoreleased) return;
  auto mark = reinterpret_cast<std::size_t>(pool) - 1;
  // Releasing may autorelease more objects, so take them one at a time.
  while (autoreleased->size() > mark) {
    id object = autoreleased->back();
    autoreleased->pop_back();
    objc_release(object);
  }
  if (mark == 0) {
    delete autoreleased;
    autoreleased = nullptr;
  }
}

}  // extern "C"

void class_setAllocator(Class cls, objc_allocator allocator) {
  if (!cls) return;
  std::unique_lock lock(runtime().mutex);
  cls->allocator = allocator;
}

id objc_makeImmortal(id object) {
  if (object) object->retainCount.store(-1, std::memory_order_relaxed);
  return object;
}

namespace objc {

IMP resolveSend(id receiver, Class cls, SEL selector, const std::string& expected) {
  Method method = cls ? lookUpMethod(cls, selector) : nullptr;
  if (!method)
    throw NSInvalidArgumentException(fmt::format("-[{} {}]: unrecognized selector sent to instance {}",
                                                 object_getClassName(receiver), sel_getName(selector),
                                                 static_cast<const void*>(receiver)));
  if (method->bareTypes != expected)
    throw NSInvalidArgumentException(fmt::format("-[{} {}]: sent with signature \"{}\" but the method's type encoding is \"{}\"",
                                                 object_getClassName(receiver), sel_getName(selector), expected,
                                                 method->types));
  return method->implementation.load(std::memory_order_acquire);
}

}  // namespace objc
