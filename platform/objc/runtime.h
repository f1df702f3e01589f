#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

// The object runtime: classes by name, selectors, method tables with type
// encodings, and reference-counted objects.

struct objc_class;
struct objc_selector;
struct objc_method;
struct objc_ivar;
typedef struct objc_class* Class;
typedef struct objc_selector* SEL;
typedef struct objc_method* Method;
typedef struct objc_ivar* Ivar;
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

/// How an associated object is held: OBJC_ASSOCIATION_ASSIGN does not own it;
/// the RETAIN policies take a reference, the COPY policies send it "copy".
/// The non-atomic ones hand it back as it is, the atomic ones retained and autoreleased.
typedef uintptr_t objc_AssociationPolicy;
enum : objc_AssociationPolicy {
  OBJC_ASSOCIATION_ASSIGN = 0,
  OBJC_ASSOCIATION_RETAIN_NONATOMIC = 1,
  OBJC_ASSOCIATION_COPY_NONATOMIC = 3,
  OBJC_ASSOCIATION_RETAIN = 01401,
  OBJC_ASSOCIATION_COPY = 01403,
};

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
/// The class whose methods answer sends to the class `name`; class methods are added to it.
Class objc_getMetaClass(const char* name);
BOOL class_isMetaClass(Class cls);

/// Declares an instance variable on a class made by objc_allocateClassPair and
/// not yet registered, after those of its superclasses; `alignment` is log2 of
/// the alignment in bytes. NO for a registered class or a name the class already has.
BOOL class_addIvar(Class cls, const char* name, size_t size, uint8_t alignment, const char* types);
/// Looks the instance variable up along the superclass chain.
Ivar class_getInstanceVariable(Class cls, const char* name);
/// Bytes of an instance, instance variables included.
size_t class_getInstanceSize(Class cls);
const char* ivar_getName(Ivar ivar);
const char* ivar_getTypeEncoding(Ivar ivar);
/// Bytes from the start of the object to the variable.
ptrdiff_t ivar_getOffset(Ivar ivar);
/// Reads and writes an object instance variable; neither retains nor releases.
id object_getIvar(id object, Ivar ivar);
void object_setIvar(id object, Ivar ivar, id value);

/// Associates `value` with the object under `key` (any address), replacing and
/// releasing what was there; nil removes the association. Associations are
/// released when the object is freed.
void objc_setAssociatedObject(id object, const void* key, id value, objc_AssociationPolicy policy);
id objc_getAssociatedObject(id object, const void* key);
void objc_removeAssociatedObjects(id object);

/// The registered protocol of that name, or nil.
Protocol* objc_getProtocol(const char* name);
/// A new protocol, to be registered with objc_registerProtocol; nil if the name is taken.
Protocol* objc_allocateProtocol(const char* name);
void objc_registerProtocol(Protocol* protocol);
const char* protocol_getName(Protocol* protocol);
/// Declares that the class conforms; NO if it already declares so itself.
BOOL class_addProtocol(Class cls, Protocol* protocol);
/// Whether the class itself declares the protocol (its superclasses are not asked).
BOOL class_conformsToProtocol(Class cls, Protocol* protocol);

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
/// A recursive lock per object, as @synchronized takes.
int objc_sync_enter(id object);
int objc_sync_exit(id object);

/// What the device face's sends reach on the simulated device, in place of
/// objc_msgSend's own search: the method found for the receiver (searched
/// from `start` for a send to super), checked against the send's encoding.
/// Raise NSInvalidArgumentException as a send does.
IMP objc_lookUpForSend(id receiver, SEL selector, const char* types);
IMP objc_lookUpClassForSend(Class receiver, SEL selector, const char* types);
IMP objc_lookUpSuperForSend(id receiver, Class start, SEL selector, const char* types);
void objc_throwIvarMismatch(id object, const char* name, char expected);
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
