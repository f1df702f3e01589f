#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

// The object runtime: classes by name, selectors, method tables with type
// encodings, and reference-counted objects.

#include "platform/objc/RuntimeTypes.h"

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
  /// Whether the object may have associated objects, to be released with it.
  std::atomic<bool> hasAssociatedObjects{false};
};
typedef objc_object* id;

/// A protocol: a name that classes declare they conform to. An object, as on
/// the platform; made once per name and never freed.
struct Protocol : objc_object {
  std::string name;
  bool registered = false;
};

/// Raised for a message the receiver does not understand, or a send whose
/// argument and result types disagree with the method's type encoding.
class NSInvalidArgumentException : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

#include "platform/objc/RuntimeFunctions.h"
#include "platform/objc/StandInSends.h"

// The stand-in's own, beyond what the product calls.
extern "C" {
BOOL class_isMetaClass(Class cls);
/// A new protocol, to be registered with objc_registerProtocol; nil if the name is taken.
Protocol* objc_allocateProtocol(const char* name);
void objc_registerProtocol(Protocol* protocol);
const char* protocol_getName(Protocol* protocol);
/// The method the class itself implements, not an inherited one.
Method class_getOwnMethod(Class cls, SEL name);
BOOL class_isSubclassOf(Class cls, Class ancestor);
}

#include "platform/objc/AutoreleasePool.h"

/// How a class backed by a C++ type makes its instances: constructs the C++
/// object in `storage`, zeroed and of the class's instance size, and gives it its class.
using objc_allocator = id (*)(Class cls, void* storage);
/// Makes `cls` a class backed by a C++ type of `size` bytes. Its instances and
/// those of its runtime-defined subclasses are made by `allocator`, their
/// instance variables placed after the C++ object. Throws std::logic_error if
/// the class or a superclass has instance variables the C++ type would overlap.
void class_setAllocator(Class cls, objc_allocator allocator, size_t size);
/// Gives a data member of the class's C++ type, `offset` bytes into the
/// object, to the runtime as the instance variable `name`, as the platform's
/// classes publish theirs. NO if the class has no C++ type or it does not hold the range.
BOOL class_addMemberIvar(Class cls, const char* name, ptrdiff_t offset, size_t size, const char* types);

/// Instances made by class_createInstance and not yet freed, immortal ones
/// included: what a leak check compares before and after.
extern "C" size_t objc_liveObjectCount();

/// Marks an object as never freed (constants, interned names).
id objc_makeImmortal(id object);

/// Registers, or returns the already registered, class `name` whose instances
/// are C++ objects of type T.
template <class T>
Class objc_registerCppClass(const char* name, Class superclass) {
  if (Class existing = objc_getClass(name)) return existing;
  static_assert(alignof(T) <= alignof(std::max_align_t));
  Class cls = objc_allocateClassPair(superclass, name, 0);
  class_setAllocator(
      cls,
      [](Class receiver, void* storage) -> id {
        T* object = new (storage) T();
        object->isa = receiver;
        return object;
      },
      sizeof(T));
  objc_registerClassPair(cls);
  return cls;
}

#define nil nullptr
