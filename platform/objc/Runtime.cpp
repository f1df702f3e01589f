#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/objc/Methods.h"
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

struct objc_ivar {
  std::string name;
  std::string types;
  ptrdiff_t offset;
  /// A data member of the class's C++ type rather than storage the runtime laid out.
  bool member = false;
};

struct objc_class {
  std::string name;
  Class superclass = nullptr;
  objc_allocator allocator = nullptr;
  bool registered = false;
  /// A metaclass holds the class methods of the class of the same name.
  bool meta = false;
  Class metaclass = nullptr;
  /// Bytes of an instance: the C++ object of the nearest allocator, then the instance variables.
  size_t instanceSize = sizeof(objc_object);
  /// The class's own instance variables, in declaration order.
  std::vector<std::unique_ptr<objc_ivar>> ivars;
  std::unordered_map<SEL, Method> methods;
  std::vector<Protocol*> protocols;
  /// Methods found along the chain, by selector. Emptied on every change of a method table.
  std::unordered_map<SEL, Method> cache;
};

namespace {

struct Association {
  id value;
  objc_AssociationPolicy policy;
};

struct Runtime {
  std::shared_mutex mutex;
  std::unordered_map<std::string, Class> classes;
  std::unordered_map<std::string, Protocol*> protocols;
  std::mutex selectorMutex;
  std::unordered_map<std::string, std::unique_ptr<objc_selector>> selectors;
  std::mutex associationMutex;
  std::unordered_map<const objc_object*, std::unordered_map<const void*, Association>> associations;
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
  for (auto& [name, cls] : state.classes) {
    cls->cache.clear();
    cls->metaclass->cache.clear();
  }
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

bool owns(objc_AssociationPolicy policy) { return policy != OBJC_ASSOCIATION_ASSIGN; }

void releaseAssociated(const std::vector<Association>& released) {
  for (const Association& association : released)
    if (owns(association.policy)) objc_release(association.value);
}

std::vector<Association> takeAssociations(const objc_object* object) {
  std::vector<Association> taken;
  Runtime& state = runtime();
  std::lock_guard lock(state.associationMutex);
  auto table = state.associations.find(object);
  if (table == state.associations.end()) return taken;
  for (auto& [key, association] : table->second) taken.push_back(association);
  state.associations.erase(table);
  return taken;
}

/// Objects made and not yet freed, immortal ones included.
std::atomic<size_t> liveObjects{0};

/// Runs the C++ destructor, releases the associated objects and frees the storage.
void dispose(id object) {
  liveObjects.fetch_sub(1, std::memory_order_relaxed);
  bool associated = object->hasAssociatedObjects.load(std::memory_order_acquire);
  object->~objc_object();
  if (associated) releaseAssociated(takeAssociations(object));
  ::operator delete(static_cast<void*>(object));
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
  // Instance variables are laid out after the superclass's, so it must be complete.
  if (superclass && !superclass->registered) return nullptr;
  Class cls = new objc_class;
  cls->name = name;
  cls->superclass = superclass;
  if (superclass) cls->instanceSize = superclass->instanceSize;
  // A root metaclass has no superclass: a class is not an object here, so the
  // root's instance methods cannot serve as its last class methods.
  cls->metaclass = new objc_class;
  cls->metaclass->name = name;
  cls->metaclass->meta = true;
  cls->metaclass->superclass = superclass ? superclass->metaclass : nullptr;
  state.classes.emplace(name, cls);
  return cls;
}

void objc_registerClassPair(Class cls) {
  if (!cls || cls->meta) return;
  std::unique_lock lock(runtime().mutex);
  cls->registered = true;
  cls->metaclass->registered = true;
}

Class objc_getMetaClass(const char* name) {
  Class cls = objc_getClass(name);
  return cls ? cls->metaclass : nullptr;
}

BOOL class_isMetaClass(Class cls) { return cls && cls->meta; }

BOOL class_addIvar(Class cls, const char* name, size_t size, uint8_t alignment, const char* types) {
  if (!cls || !name || alignment >= 16) return NO;
  size_t bytes = size_t{1} << alignment;
  if (bytes > alignof(std::max_align_t)) return NO;
  std::unique_lock lock(runtime().mutex);
  if (cls->registered) return NO;
  for (auto& ivar : cls->ivars)
    if (ivar->name == name) return NO;
  size_t offset = (cls->instanceSize + bytes - 1) / bytes * bytes;
  cls->ivars.push_back(std::make_unique<objc_ivar>(objc_ivar{name, types ? types : "", static_cast<ptrdiff_t>(offset)}));
  cls->instanceSize = offset + size;
  return YES;
}

Ivar class_getInstanceVariable(Class cls, const char* name) {
  if (!cls || !name) return nullptr;
  std::shared_lock lock(runtime().mutex);
  for (Class current = cls; current; current = current->superclass)
    for (auto& ivar : current->ivars)
      if (ivar->name == name) return ivar.get();
  return nullptr;
}

size_t class_getInstanceSize(Class cls) {
  if (!cls) return 0;
  std::shared_lock lock(runtime().mutex);
  return cls->instanceSize;
}

const char* ivar_getName(Ivar ivar) { return ivar ? ivar->name.c_str() : nullptr; }

const char* ivar_getTypeEncoding(Ivar ivar) { return ivar ? ivar->types.c_str() : nullptr; }

ptrdiff_t ivar_getOffset(Ivar ivar) { return ivar ? ivar->offset : 0; }

id object_getIvar(id object, Ivar ivar) {
  if (!object || !ivar) return nullptr;
  id value;
  std::memcpy(&value, reinterpret_cast<char*>(object) + ivar->offset, sizeof value);
  return value;
}

void object_setIvar(id object, Ivar ivar, id value) {
  if (!object || !ivar) return;
  std::memcpy(reinterpret_cast<char*>(object) + ivar->offset, &value, sizeof value);
}

void objc_setAssociatedObject(id object, const void* key, id value, objc_AssociationPolicy policy) {
  if (!object || !key) return;
  if (value && owns(policy)) {
    bool copies = (policy & 3) == OBJC_ASSOCIATION_COPY_NONATOMIC;
    value = copies ? objc_msgSend<id>(value, sel_registerName("copy")) : objc_retain(value);
  }
  std::vector<Association> replaced;
  {
    Runtime& state = runtime();
    std::lock_guard lock(state.associationMutex);
    auto& table = state.associations[object];
    auto found = table.find(key);
    if (found != table.end()) {
      replaced.push_back(found->second);
      table.erase(found);
    }
    if (value) table.emplace(key, Association{value, policy});
    if (table.empty()) state.associations.erase(object);
    else object->hasAssociatedObjects.store(true, std::memory_order_release);
  }
  releaseAssociated(replaced);
}

id objc_getAssociatedObject(id object, const void* key) {
  if (!object || !key || !object->hasAssociatedObjects.load(std::memory_order_acquire)) return nullptr;
  Association association{};
  {
    Runtime& state = runtime();
    std::lock_guard lock(state.associationMutex);
    auto table = state.associations.find(object);
    if (table == state.associations.end()) return nullptr;
    auto found = table->second.find(key);
    if (found == table->second.end()) return nullptr;
    association = found->second;
    // An atomic getter's value must outlive a concurrent replacement.
    if (owns(association.policy) && association.policy > OBJC_ASSOCIATION_COPY_NONATOMIC) objc_retain(association.value);
  }
  if (owns(association.policy) && association.policy > OBJC_ASSOCIATION_COPY_NONATOMIC) objc_autorelease(association.value);
  return association.value;
}

void objc_removeAssociatedObjects(id object) {
  if (!object) return;
  object->hasAssociatedObjects.store(false, std::memory_order_release);
  releaseAssociated(takeAssociations(object));
}

Protocol* objc_getProtocol(const char* name) {
  if (!name) return nullptr;
  Runtime& state = runtime();
  std::shared_lock lock(state.mutex);
  auto found = state.protocols.find(name);
  return found == state.protocols.end() || !found->second->registered ? nullptr : found->second;
}

Protocol* objc_allocateProtocol(const char* name) {
  if (!name) return nullptr;
  static Class protocolClass = [] {
    Class cls = objc_allocateClassPair(nullptr, "Protocol", 0);
    objc_registerClassPair(cls);
    return cls;
  }();
  Runtime& state = runtime();
  std::unique_lock lock(state.mutex);
  if (state.protocols.count(name)) return nullptr;
  auto* protocol = new Protocol;
  protocol->isa = protocolClass;
  protocol->name = name;
  objc_makeImmortal(protocol);
  state.protocols.emplace(name, protocol);
  return protocol;
}

void objc_registerProtocol(Protocol* protocol) {
  if (!protocol) return;
  std::unique_lock lock(runtime().mutex);
  protocol->registered = true;
}

const char* protocol_getName(Protocol* protocol) { return protocol ? protocol->name.c_str() : nullptr; }

BOOL class_addProtocol(Class cls, Protocol* protocol) {
  if (!cls || !protocol) return NO;
  std::unique_lock lock(runtime().mutex);
  if (std::find(cls->protocols.begin(), cls->protocols.end(), protocol) != cls->protocols.end()) return NO;
  cls->protocols.push_back(protocol);
  return YES;
}

BOOL class_conformsToProtocol(Class cls, Protocol* protocol) {
  if (!cls || !protocol) return NO;
  std::shared_lock lock(runtime().mutex);
  return std::find(cls->protocols.begin(), cls->protocols.end(), protocol) != cls->protocols.end();
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

id class_createInstance(Class cls, size_t extraBytes) {
  objc_allocator allocator = nullptr;
  size_t size = 0;
  {
    std::shared_lock lock(runtime().mutex);
    for (Class current = cls; current && !allocator; current = current->superclass) allocator = current->allocator;
    if (cls) size = cls->instanceSize + extraBytes;
  }
  if (!allocator) throw NSInvalidArgumentException(fmt::format("+[{} alloc]: the class has no allocator", class_getName(cls)));
  void* storage = ::operator new(size);
  std::memset(storage, 0, size);
  try {
    id object = allocator(cls, storage);
    liveObjects.fetch_add(1, std::memory_order_relaxed);
    return object;
  } catch (...) {
    ::operator delete(storage);
    throw;
  }
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
  if (object->retainCount.fetch_sub(1, std::memory_order_acq_rel) == 1) dispose(object);
}

namespace {
thread_local std::vector<id>* autoreleased = nullptr;
/// Pools pushed and not yet popped: an inner pool pushed while the outer one
/// is still empty has the same mark as the outer one, so marks cannot tell.
thread_local std::size_t openPools = 0;
}

id objc_autorelease(id object) {
  if (object && autoreleased) autoreleased->push_back(object);
  return object;
}

void* objc_autoreleasePoolPush(void) {
  if (!autoreleased) autoreleased = new std::vector<id>;
  ++openPools;
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
  if (openPools > 0) --openPools;
  if (openPools == 0) {
    delete autoreleased;
    autoreleased = nullptr;
  }
}

}  // extern "C"

void class_setAllocator(Class cls, objc_allocator allocator, size_t size) {
  if (!cls) return;
  std::unique_lock lock(runtime().mutex);
  bool declared = false;
  for (Class current = cls; current; current = current->superclass)
    for (auto& ivar : current->ivars) declared = declared || !ivar->member;
  if (declared)
    throw std::logic_error(fmt::format("class {}: a C++ type cannot follow instance variables declared with the runtime",
                                       cls->name));
  cls->allocator = allocator;
  cls->instanceSize = size;
}

BOOL class_addMemberIvar(Class cls, const char* name, ptrdiff_t offset, size_t size, const char* types) {
  if (!cls || !name || offset < static_cast<ptrdiff_t>(sizeof(objc_object))) return NO;
  std::unique_lock lock(runtime().mutex);
  if (!cls->allocator || static_cast<size_t>(offset) + size > cls->instanceSize) return NO;
  for (auto& ivar : cls->ivars)
    if (ivar->name == name) return NO;
  cls->ivars.push_back(std::make_unique<objc_ivar>(objc_ivar{name, types ? types : "", offset, true}));
  return YES;
}

namespace {

struct SyncLocks {
  std::mutex mutex;
  std::unordered_map<const objc_object*, std::unique_ptr<std::recursive_mutex>> locks;
};

std::recursive_mutex* syncLock(id object) {
  static auto* table = new SyncLocks;  // locks outlive every object that may still be synchronised on
  std::lock_guard lock(table->mutex);
  auto& slot = table->locks[object];
  if (!slot) slot = std::make_unique<std::recursive_mutex>();
  return slot.get();
}

}  // namespace

extern "C" int objc_sync_enter(id object) {
  if (object) syncLock(object)->lock();
  return 0;
}

// OBJC_SYNC_NOT_OWNING_THREAD_ERROR is not told apart: every exit here follows its enter.
extern "C" int objc_sync_exit(id object) {
  if (object) syncLock(object)->unlock();
  return 0;
}

size_t objc_liveObjectCount() { return liveObjects.load(std::memory_order_relaxed); }

id objc_makeImmortal(id object) {
  if (object) object->retainCount.store(-1, std::memory_order_relaxed);
  return object;
}

namespace objc {

void throwIvarMismatch(id object, const char* name, char expected) {
  Ivar ivar = class_getInstanceVariable(object_getClass(object), name);
  if (!ivar)
    throw NSInvalidArgumentException(fmt::format("{} has no instance variable {}", object_getClassName(object), name));
  throw NSInvalidArgumentException(fmt::format("instance variable {} of {} has type \"{}\", read as \"{}\"", name,
                                               object_getClassName(object), ivar_getTypeEncoding(ivar), expected));
}

namespace {

/// The method `cls` (a class, or a metaclass for a send to a class) answers
/// with, checked against the encoding of the send; raises as the platform does.
IMP checkedLookUp(const void* receiver, const char* receiverClass, Class cls, SEL selector, std::string_view expected) {
  bool toClass = cls && cls->meta;
  Method method = cls ? lookUpMethod(cls, selector) : nullptr;
  if (!method)
    throw NSInvalidArgumentException(fmt::format("{}[{} {}]: unrecognized selector sent to {} {}", toClass ? '+' : '-',
                                                 receiverClass, sel_getName(selector),
                                                 toClass ? "class" : "instance", receiver));
  if (method->bareTypes != expected && method->bareTypes != bareEncoding(std::string(expected).c_str()))
    throw NSInvalidArgumentException(fmt::format("{}[{} {}]: sent with signature \"{}\" but the method's type encoding is \"{}\"",
                                                 toClass ? '+' : '-', receiverClass, sel_getName(selector), expected,
                                                 method->types));
  return method->implementation.load(std::memory_order_acquire);
}

}  // namespace

IMP resolveSend(id receiver, Class cls, SEL selector, std::string_view expected) {
  return checkedLookUp(receiver, object_getClassName(receiver), cls, selector, expected);
}

IMP resolveClassSend(Class receiver, SEL selector, std::string_view expected) {
  return checkedLookUp(receiver, class_getName(receiver), receiver ? receiver->metaclass : nullptr, selector, expected);
}

}  // namespace objc

extern "C" {

IMP objc_lookUpForSend(id receiver, SEL selector, const char* types) {
  return objc::resolveSend(receiver, receiver->isa, selector, types);
}

IMP objc_lookUpClassForSend(Class receiver, SEL selector, const char* types) {
  return objc::resolveClassSend(receiver, selector, types);
}

IMP objc_lookUpSuperForSend(id receiver, Class start, SEL selector, const char* types) {
  return objc::resolveSend(receiver, start, selector, types);
}

void objc_throwIvarMismatch(id object, const char* name, char expected) {
  objc::throwIvarMismatch(object, name, expected);
}

}  // extern "C"
