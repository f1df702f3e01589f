#pragma once

#include <atomic>
#include <cstddef>
#include <stdexcept>
#include <string>

// The object runtime: classes by name, selectors, method tables with type
// encodings, and reference-counted objects.

struct objc_class;
struct objc_selector;
struct objc_method;
typedef struct objc_class* Class;
typedef const struct objc_selector* SEL;
typedef struct objc_method* Method;
/// An implementation; cast to its real signature, (id, SEL, ...), to call it.
typedef void (*IMP)(void);
typedef bool BOOL;
#define YES true
#define NO false

/// Every object. C++ classes of the platform and the product derive from it;
/// `isa` is the runtime class the object answers messages as.
struct objc_object {
  objc_object() = default;
  objc_object(const objc_object&) = delete;
  objc_object& operator=(const objc_object&) = delete;
  virtual ~objc_object() = default;

  /// The textual description that "%@" prints.
  virtual std::string description() const;

  Class isa = nullptr;
  /// Negative: immortal, never freed.
  std::atomic<long> retainCount{1};
};
typedef objc_object* id;

/// Raised for a message the receiver does not understand, or a send whose
/// argument and result types disagree with the method's type encoding.
class NSInvalidArgumentException : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

extern "C" {
Class objc_getClass(const char* name);
Class objc_allocateClassPair(Class superclass, const char* name, size_t extraBytes);
void objc_registerClassPair(Class cls);

const char* class_getName(Class cls);
Class class_getSuperclass(Class cls);
/// Adds a method the class does not implement itself; NO if it does.
BOOL class_addMethod(Class cls, SEL name, IMP implementation, const char* types);
/// Replaces (or adds) the class's own method; returns the previous own implementation.
IMP class_replaceMethod(Class cls, SEL name, IMP implementation, const char* types);
/// Looks the method up along the superclass chain.
Method class_getInstanceMethod(Class cls, SEL name);
/// The method the class itself implements, not an inherited one.
Method class_getOwnMethod(Class cls, SEL name);
IMP class_getMethodImplementation(Class cls, SEL name);
BOOL class_respondsToSelector(Class cls, SEL name);
BOOL class_isSubclassOf(Class cls, Class ancestor);
/// Makes a new instance of the class through the nearest C++ allocator on its chain.
id class_createInstance(Class cls, size_t extraBytes);

SEL method_getName(Method method);
IMP method_getImplementation(Method method);
IMP method_setImplementation(Method method, IMP implementation);
const char* method_getTypeEncoding(Method method);

SEL sel_registerName(const char* name);
const char* sel_getName(SEL selector);

Class object_getClass(id object);
const char* object_getClassName(id object);

id objc_retain(id object);
void objc_release(id object);
/// Hands the reference to the innermost autorelease pool of the thread,
/// which releases it when popped. Without a pool the object is never released.
id objc_autorelease(id object);
void* objc_autoreleasePoolPush(void);
void objc_autoreleasePoolPop(void* pool);
}

/// An autorelease pool for a scope.
class AutoreleasePool {
 public:
  AutoreleasePool() : pool_(objc_autoreleasePoolPush()) {}
  ~AutoreleasePool() { objc_autoreleasePoolPop(pool_); }
  AutoreleasePool(const AutoreleasePool&) = delete;
  AutoreleasePool& operator=(const AutoreleasePool&) = delete;

 private:
  void* pool_;
};

/// How a class backed by a C++ type makes its instances.
using objc_allocator = id (*)(Class cls);
void class_setAllocator(Class cls, objc_allocator allocator);

/// Marks an object as never freed (constants, interned names).
id objc_makeImmortal(id object);

/// Registers, or returns the already registered, class `name` whose instances
/// are C++ objects of type T.
template <class T>
Class objc_registerCppClass(const char* name, Class superclass) {
  if (Class existing = objc_getClass(name)) return existing;
  Class cls = objc_allocateClassPair(superclass, name, 0);
  class_setAllocator(cls, [](Class receiver) -> id {
    T* object = new T();
    object->isa = receiver;
    return object;
  });
  objc_registerClassPair(cls);
  return cls;
}

#define nil nullptr
