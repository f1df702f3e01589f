#pragma once

#include <stddef.h>
#include <stdint.h>

// The Objective-C runtime of the device: libobjc.A.dylib's C functions,
// declared as objc4 declares them. An object is reached only through
// pointers; the C++ classes of this layer have no data of their own, so
// `this` is the runtime object itself.

struct objc_class;
struct objc_selector;
struct objc_method;
typedef struct objc_class* Class;
typedef struct objc_selector* SEL;
typedef struct objc_method* Method;
typedef struct objc_ivar* Ivar;
/// An implementation; cast to its real signature, (id, SEL, ...), to call it.
typedef void (*IMP)(void);
#if __LP64__
typedef bool BOOL;
#else
typedef signed char BOOL;
#endif
#define YES ((BOOL)1)
#define NO ((BOOL)0)

/// Every object. Empty on purpose: the runtime owns the layout.
struct objc_object {
  objc_object() = delete;
  objc_object(const objc_object&) = delete;
  objc_object& operator=(const objc_object&) = delete;
};
typedef objc_object* id;
/// A protocol, an object of the runtime (objc4's declaration outside Objective-C).
typedef struct objc_object Protocol;

typedef uintptr_t objc_AssociationPolicy;
enum : objc_AssociationPolicy {
  OBJC_ASSOCIATION_ASSIGN = 0,
  OBJC_ASSOCIATION_RETAIN_NONATOMIC = 1,
  OBJC_ASSOCIATION_COPY_NONATOMIC = 3,
  OBJC_ASSOCIATION_RETAIN = 01401,
  OBJC_ASSOCIATION_COPY = 01403,
};

extern "C" {
Class objc_getClass(const char* name);
Class objc_getMetaClass(const char* name);
Class objc_allocateClassPair(Class superclass, const char* name, size_t extraBytes);
void objc_registerClassPair(Class cls);

Protocol* objc_getProtocol(const char* name);
BOOL class_addProtocol(Class cls, Protocol* protocol);
BOOL class_conformsToProtocol(Class cls, Protocol* protocol);

const char* class_getName(Class cls);
Class class_getSuperclass(Class cls);
BOOL class_addMethod(Class cls, SEL name, IMP implementation, const char* types);
IMP class_replaceMethod(Class cls, SEL name, IMP implementation, const char* types);
BOOL class_addIvar(Class cls, const char* name, size_t size, uint8_t alignment, const char* types);
Ivar class_getInstanceVariable(Class cls, const char* name);
size_t class_getInstanceSize(Class cls);
id class_createInstance(Class cls, size_t extraBytes);
Method class_getInstanceMethod(Class cls, SEL name);
IMP class_getMethodImplementation(Class cls, SEL name);
BOOL class_respondsToSelector(Class cls, SEL name);

ptrdiff_t ivar_getOffset(Ivar ivar);
const char* ivar_getName(Ivar ivar);
const char* ivar_getTypeEncoding(Ivar ivar);
id object_getIvar(id object, Ivar ivar);
void object_setIvar(id object, Ivar ivar, id value);

SEL method_getName(Method method);
IMP method_getImplementation(Method method);
IMP method_setImplementation(Method method, IMP implementation);
const char* method_getTypeEncoding(Method method);

SEL sel_registerName(const char* name);
const char* sel_getName(SEL selector);

Class object_getClass(id object);
const char* object_getClassName(id object);

void objc_setAssociatedObject(id object, const void* key, id value, objc_AssociationPolicy policy);
id objc_getAssociatedObject(id object, const void* key);
void objc_removeAssociatedObjects(id object);

id objc_retain(id object);
void objc_release(id object);
id objc_autorelease(id object);
void* objc_autoreleasePoolPush(void);
void objc_autoreleasePoolPop(void* pool);
int objc_sync_enter(id object);
int objc_sync_exit(id object);

#if ORVANE_STAND_IN
// The simulated device's runtime: what a send reaches, found by selector and
// checked against the send's encoding (see objc::sendMessage).
IMP objc_lookUpForSend(id receiver, SEL selector, const char* types);
IMP objc_lookUpClassForSend(Class receiver, SEL selector, const char* types);
IMP objc_lookUpSuperForSend(id receiver, Class start, SEL selector, const char* types);
void objc_throwIvarMismatch(id object, const char* name, char expected);
#endif
}

namespace objc {

/// A misused instance variable; on the device the process stops (no exceptions here).
[[noreturn]] void throwIvarMismatch(id object, const char* name, char expected);

}  // namespace objc

/// A selector or class looked up by name once per call site and kept:
/// `ORVANE_SEL("count")`, `ORVANE_CLASS("UIView")`. (A lambda's own static,
/// not a template on the name: that would export the name's object.)
#define ORVANE_SEL(name)                                   \
  ([]() -> SEL {                                           \
    static SEL const cached = sel_registerName(name);      \
    return cached;                                         \
  }())
#define ORVANE_CLASS(name)                                 \
  ([]() -> Class {                                         \
    static Class const cached = objc_getClass(name);       \
    return cached;                                         \
  }())

#define nil nullptr
