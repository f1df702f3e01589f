#pragma once

#include "platform/corefoundation/CFBase.h"
#include "platform/corefoundation/CFNotificationCenter.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"

#if ORVANE_STAND_IN
// No compiler here lays out constant strings: CoreFoundation's function for
// them, which its header falls back on, makes them at run time.
extern "C" CFStringRef __CFStringMakeConstantString(const char* text);
#define CFSTR(literal) (::__CFStringMakeConstantString("" literal ""))
#else
/// A constant string the compiler lays out, as CoreFoundation's own CFSTR does; a string literal only.
#define CFSTR(literal) (reinterpret_cast<CFStringRef>(const_cast<void*>( \
    static_cast<const void*>(__builtin___CFStringMakeConstantString("" literal "")))))
#endif
