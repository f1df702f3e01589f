#pragma once

// libobjc.A.dylib's C functions that the product calls, declared as objc4
// declares them, the same on both targets. Included by each target's
// runtime.h once BOOL, id and Protocol are declared.

extern "C" {
Class objc_getClass(const char* name);
/// The class whose methods answer sends to the class `name`; class methods are added to it.
Class objc_getMetaClass(const char* name);
Class objc_allocateClassPair(Class superclass, const char* name, size_t extraBytes);
void objc_registerClassPair(Class cls);

/// The registered protocol of that name, or nil.
Protocol* objc_getProtocol(const char* name);
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
/// Declares an instance variable on a class made by objc_allocateClassPair and
/// not yet registered, after those of its superclasses; `alignment` is log2 of
/// the alignment in bytes. NO for a registered class or a name the class already has.
BOOL class_addIvar(Class cls, const char* name, size_t size, uint8_t alignment, const char* types);
/// Looks the instance variable up along the superclass chain.
Ivar class_getInstanceVariable(Class cls, const char* name);
/// Bytes of an instance, instance variables included.
size_t class_getInstanceSize(Class cls);
id class_createInstance(Class cls, size_t extraBytes);
/// Looks the method up along the superclass chain.
Method class_getInstanceMethod(Class cls, SEL name);
IMP class_getMethodImplementation(Class cls, SEL name);
BOOL class_respondsToSelector(Class cls, SEL name);

/// Bytes from the start of the object to the variable.
ptrdiff_t ivar_getOffset(Ivar ivar);
const char* ivar_getName(Ivar ivar);
const char* ivar_getTypeEncoding(Ivar ivar);
/// Reads and writes an object instance variable; neither retains nor releases.
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

/// Associates `value` with the object under `key` (any address), replacing and
/// releasing what was there; nil removes the association. Associations are
/// released when the object is freed.
void objc_setAssociatedObject(id object, const void* key, id value, objc_AssociationPolicy policy);
id objc_getAssociatedObject(id object, const void* key);
void objc_removeAssociatedObjects(id object);

id objc_retain(id object);
void objc_release(id object);
/// Hands the reference to the innermost autorelease pool of the thread,
/// which releases it when popped.
id objc_autorelease(id object);
void* objc_autoreleasePoolPush(void);
void objc_autoreleasePoolPop(void* pool);
/// A recursive lock per object, as @synchronized takes.
int objc_sync_enter(id object);
int objc_sync_exit(id object);
}
