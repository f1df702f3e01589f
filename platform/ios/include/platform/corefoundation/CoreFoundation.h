#pragma once

#include "platform/corefoundation/CFBase.h"
#include "platform/corefoundation/CFNotificationCenter.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"

#if ORVANE_STAND_IN
// No compiler here lays out constant strings: the face's own immortal ones stand in.
#define CFSTR(literal) (::NSString::constant("" literal ""))
#else
/// A constant string the compiler lays out, as CoreFoundation's own CFSTR does; a string literal only.
#define CFSTR(literal) (reinterpret_cast<CFStringRef>(const_cast<void*>( \
    static_cast<const void*>(__builtin___CFStringMakeConstantString("" literal "")))))
#endif
