#pragma once

#include <stddef.h>
#include <stdint.h>

// The Objective-C runtime's plain types, the same on both targets. Each
// target's runtime.h adds BOOL, objc_object, id and Protocol, which differ.

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
